#pragma once

#include "core/phototransfer.h"

#include <QObject>
#include <QString>
#include <QThreadPool>

#include <atomic>
#include <memory>

// One copy or move of photos into a folder, run on a thread of its own so
// that the window stays responsive; progress and the result come back on the
// GUI thread. A job runs once.
class PhotoTransferJob : public QObject
{
    Q_OBJECT
public:
    explicit PhotoTransferJob(QObject *parent = nullptr);
    // Cancels and waits: the files of a group being copied are cleaned up, not abandoned.
    ~PhotoTransferJob() override;

    void start(const QList<PhotoCore::TransferGroup> &groups, const QString &targetDir, PhotoCore::TransferMode mode);
    bool isRunning() const { return m_running; }
    // Waits until the transfer has ended; `finished` is still delivered by the event loop.
    void waitForDone() { m_pool.waitForDone(); }

public slots:
    // Takes effect between files and within large ones; what was done stays.
    void cancel();

signals:
    // `file` is the source at hand. Reports are thinned out: at most one is
    // on its way to the GUI thread at a time.
    void progress(qint64 doneBytes, qint64 totalBytes, const QString &file);
    void finished(const PhotoCore::TransferResult &result);

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

Q_DECLARE_METATYPE(PhotoCore::TransferResult)
