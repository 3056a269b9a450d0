#pragma once

#include "catalog/markedit.h"
#include "catalog/markhistory.h"
#include "catalog/sidecarwritequeue.h"
#include "core/metadata.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QPair>
#include <QSet>
#include <QString>
#include <QStringList>

// What one operation (a mark, a rotation, a batch, an undo or a redo) came to
// once every write it issued was back.
struct MarkReport
{
    enum Kind { Mark, Rotation, Batch, Undo, Redo };

    // A sidecar the operation changed, named by the photo it was written for.
    // `marks` and `stamp` are what the sidecar holds by now as far as any
    // write knows: a later write to it that came back first wins over the
    // operation's own, so that applying reports in the order they come never
    // puts an older mark over a newer one.
    struct Written
    {
        QString photoPath;
        PhotoCore::Metadata marks;
        FileStamp stamp;
    };

    Kind kind = Mark;
    // A mark or rotation, and an undo or redo of one photo: that photo.
    QString path;
    // As given to MarkWriter::setNavigationSerial; 0 when never given.
    quint64 navigationSerial = 0;
    QList<Written> written;
    QStringList failures; // nothing changed on disk for these
    QStringList missing;  // gone before their write; no sidecar was made for them
    // This was the batch that kept others from starting, and it is over.
    bool batchEnded = false;
    // Then the photos asked for whose sidecar was not written, in the order asked.
    QStringList batchFailures;
};

// Every mark write of a catalog and the undo history they make. A mark, a
// batch, an undo or a redo is an operation: its writes go through the one
// queue, and once all are back it reports, once, what happened on disk. The
// writer holds no marks itself and knows no folder, list or position: its
// caller keeps the marks shown and applies the reports to them. Lives on the
// GUI thread; only the queue's writes run elsewhere.
class MarkWriter : public QObject
{
    Q_OBJECT
public:
    // What an undo or redo set off; no operation when there was no step.
    struct HistoryStep
    {
        quint64 operation = 0;
        MarkEdit edit;
        QStringList photos; // in the order of the step's changes
    };

    explicit MarkWriter(QObject *parent = nullptr);
    // Waits for every queued write to reach the disk.
    ~MarkWriter() override;

    // Queues `edit` for one photo as a step of its own (`kind` Mark or
    // Rotation) and returns the operation.
    quint64 markPhoto(const QString &path, const MarkEdit &edit, MarkReport::Kind kind);
    // Gives `edit` to `files` in one step, with one write per sidecar: photos
    // sharing one get the marks written for the first of them. Background
    // priority, one batch at a time: false, and nothing queued, while one
    // runs or for no files.
    bool runBatch(const QStringList &files, const MarkEdit &edit);
    // The same with an edit for each photo (keeping one frame of a burst and
    // rejecting the others), in one step that `described` names.
    using PhotoEdit = QPair<QString, MarkEdit>;
    bool runBatch(const QList<PhotoEdit> &edits, const MarkEdit &described);
    // Queues writing back the next step to undo (or redo) and moves it to
    // the other stack at once, so that repeated undos go further back while
    // the writes are on their way.
    HistoryStep applyHistory(bool undo);
    // The position right after `operation` was issued, handed back in its
    // report so that the caller can tell whether the user has moved since.
    void setNavigationSerial(quint64 operation, quint64 serial);

    bool isBatchRunning() const { return m_batchOperation != 0; }
    int pendingCount() const { return m_writes.pendingCount(); }
    bool hasPendingWrite(const QString &path) const;
    // Rises with every write queued. A read of sidecars begun at serial `s`
    // may have missed a write to `key` when writtenSince(key, s): one is on
    // its way or was queued after the read began.
    quint64 writeSerial() const { return m_writeSerial; }
    bool writtenSince(const QString &key, quint64 writeSerial) const;

    const MarkHistory &history() const { return m_history; }
    // Adds to the failures counted; the caller counts those it reported.
    void countFailures(int count) { m_failedWrites += count; }
    int failedWrites() const { return m_failedWrites; }
    // Whether there were any to dismiss.
    bool dismissFailures();

    // Another list replaces the photos: no history and no failures, and the
    // running batch no longer ends in its report (its writes still finish
    // and report what they changed). Returns whether a batch was running.
    bool startOver();
    // Takes these photos out of the history; steps left empty go.
    void forget(const QSet<QString> &photoPaths);

    SidecarWriteQueue *queue() { return &m_writes; }

signals:
    // The history changed by itself as writes came back: a mark that changed
    // nothing on disk is dropped, an undo (redo) that failed goes back to be
    // undone (redone). Changes made by a call are the caller's to announce.
    void historyChanged();
    void operationFinished(const MarkReport &report);

private:
    struct Operation
    {
        MarkReport report;
        int remaining = 0;
        quint64 stepId = 0;
        QStringList requested;     // Batch: the photos asked for
        QStringList writtenPhotos; // written or removed, in the order they came back
    };
    struct OnDisk
    {
        PhotoCore::Metadata marks;
        FileStamp stamp;
    };

    quint64 newOperation(MarkReport::Kind kind);
    quint64 queueWrite(quint64 operation, const QString &path, const MarkEdit &edit,
                       SidecarWriteQueue::Priority priority);
    quint64 queueRestore(quint64 operation, const MarkChange &change, bool undo, SidecarWriteQueue::Priority priority);
    void noteWrite(quint64 operation, const QString &path, quint64 write);
    void onWriteFinished(const SidecarWriteResult &result);
    void noteHistoryResult(Operation &operation, const SidecarWriteResult &result);
    void finishOperation(quint64 id);

    // Writes: how many are queued per sidecar key, and the serial of the last.
    QHash<QString, int> m_pendingByKey;
    QHash<QString, quint64> m_lastWriteByKey;
    quint64 m_writeSerial = 0;
    QHash<quint64, quint64> m_operationOfWrite;
    QHash<quint64, Operation> m_operations;
    quint64 m_lastOperation = 0;
    quint64 m_batchOperation = 0;
    // By sidecar key, the latest write that changed it, while an operation is
    // open that may report it.
    QHash<QString, OnDisk> m_latestByKey;

    MarkHistory m_history;
    int m_failedWrites = 0;

    SidecarWriteQueue m_writes;
};
