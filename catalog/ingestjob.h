#pragma once

#include "core/ingest.h"

#include <QObject>
#include <QString>
#include <QThreadPool>

#include <atomic>
#include <memory>

// One import from a card, run on a thread of its own so that the window
// stays responsive; progress and the result come back on the GUI thread.
// A job runs once.
class IngestJob : public QObject
{
    Q_OBJECT
public:
    explicit IngestJob(QObject *parent = nullptr);
    // Cancels and waits: the files of a photo being copied are cleaned up, not abandoned.
    ~IngestJob() override;

    // Copies the new photos of `plan`; imported photos go into the log at `logPath`.
    void start(const PhotoCore::IngestPlan &plan, const QString &destination, const QString &backup,
               const QString &logPath);
    bool isRunning() const { return m_running; }

public slots:
    // Takes effect between files and within large ones; what was imported stays.
    void cancel();

signals:
    // At most one report is on its way to the GUI thread at a time.
    void progress(const PhotoCore::IngestProgress &progress);
    void finished(const PhotoCore::IngestResult &result);

private:
    struct Shared
    {
        std::atomic<bool> cancelled{false};
        std::atomic<bool> reportPending{false};
    };
    std::shared_ptr<Shared> m_shared = std::make_shared<Shared>();
    bool m_running = false;
    QThreadPool m_pool;
};

Q_DECLARE_METATYPE(PhotoCore::IngestProgress)
Q_DECLARE_METATYPE(PhotoCore::IngestResult)
