#pragma once

#include "catalog/markedit.h"
#include "catalog/sidecarkey.h"
#include "core/metadata.h"

#include <QMetaType>
#include <QObject>
#include <QString>
#include <QThreadPool>

#include <memory>

struct SidecarWriteResult
{
    enum Outcome {
        Written,      // the sidecar holds `after`
        Removed,      // the sidecar this queue had created was removed again
        Failed,       // nothing changed on disk
        PhotoMissing, // the photo is gone; no sidecar was written for it
    };

    quint64 id = 0;
    QString photoPath;
    Outcome outcome = Failed;
    PhotoCore::Metadata before; // the sidecar's marks before the write
    PhotoCore::Metadata after;  // its marks afterwards (Written, Removed)
    FileStamp stamp;            // the sidecar afterwards
};

Q_DECLARE_METATYPE(SidecarWriteResult)

// Every sidecar write of a window goes through one queue. Writes to one
// sidecar (photos differing only in extension share it) run one at a time in
// the order they were queued, each applying its edit to what the previous one
// left, so the last edit given is the one on disk. Interactive writes are
// taken before background ones queued earlier for other sidecars. All file
// work runs on the queue's own thread; results come back on the GUI thread.
class SidecarWriteQueue : public QObject
{
    Q_OBJECT
public:
    enum Priority { Interactive, Background };

    explicit SidecarWriteQueue(QObject *parent = nullptr);
    // Waits until everything queued is on disk: marks are never dropped.
    ~SidecarWriteQueue() override;

    // Queues `edit` for the photo's sidecar and returns the write's id.
    quint64 enqueue(const QString &photoPath, const MarkEdit &edit, Priority priority);
    // Queues writing back the marks the sidecar had before the write `write`
    // ran (`before`), or after it; it may be queued before that write has run.
    // Only the fields that write changed are written back; the others keep
    // what the sidecar holds by then. Restoring the state before a sidecar
    // existed removes the sidecar that `lastWrite` created, provided its bytes
    // are still the ones this queue last wrote there; otherwise the old marks
    // are written. `known` (a restore) stands in when the queue has long
    // forgotten `write`.
    quint64 enqueueRestore(const QString &photoPath, quint64 write, bool before, quint64 lastWrite,
                           const MarkEdit &known, Priority priority);

    // Writes queued or running whose result has not been delivered yet.
    int pendingCount() const { return m_pending; }
    // Blocks until every queued write is on disk; results are still delivered
    // through the event loop.
    void waitForDone();
    QThreadPool *threadPool() { return &m_pool; }

signals:
    void finished(const SidecarWriteResult &result);

private:
    struct Shared;
    struct Job;
    quint64 start(Job job);
    void deliver(const SidecarWriteResult &result);

    std::shared_ptr<Shared> m_shared;
    quint64 m_lastId = 0;
    int m_pending = 0;
    // Last, so that it is destroyed first, waiting for the running writes.
    QThreadPool m_pool;
};
