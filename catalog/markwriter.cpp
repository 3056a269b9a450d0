#include "catalog/markwriter.h"

#include "catalog/sidecarkey.h"

// Writes to one sidecar run in the order they were queued and come back in
// that order; an operation reports when the last of its writes is back. A
// mark learns what it changed from its write's result, which is what its
// undo writes back.

MarkWriter::MarkWriter(QObject *parent)
    : QObject(parent)
{
    connect(&m_writes, &SidecarWriteQueue::finished, this, &MarkWriter::onWriteFinished);
}

MarkWriter::~MarkWriter()
{
    m_writes.waitForDone();
}

quint64 MarkWriter::newOperation(MarkReport::Kind kind)
{
    const quint64 id = ++m_lastOperation;
    m_operations[id].report.kind = kind;
    return id;
}

quint64 MarkWriter::queueWrite(quint64 operation, const QString &path, const MarkEdit &edit,
                               SidecarWriteQueue::Priority priority)
{
    const quint64 write = m_writes.enqueue(path, edit, priority);
    noteWrite(operation, path, write);
    return write;
}

quint64 MarkWriter::queueRestore(quint64 operation, const MarkChange &change, bool undo,
                                 SidecarWriteQueue::Priority priority)
{
    const MarkEdit known = MarkEdit::restore(undo ? change.before : change.after,
                                             MarkEdit::differingFields(change.before, change.after));
    const quint64 write = m_writes.enqueueRestore(change.photoPath, change.markWrite, undo, change.lastWrite, known,
                                                  priority);
    noteWrite(operation, change.photoPath, write);
    return write;
}

void MarkWriter::noteWrite(quint64 operation, const QString &path, quint64 write)
{
    const QString key = sidecarKey(path);
    ++m_pendingByKey[key];
    m_lastWriteByKey.insert(key, ++m_writeSerial);
    m_operationOfWrite.insert(write, operation);
    ++m_operations[operation].remaining;
}

bool MarkWriter::hasPendingWrite(const QString &path) const
{
    return m_pendingByKey.contains(sidecarKey(path));
}

bool MarkWriter::writtenSince(const QString &key, quint64 writeSerial) const
{
    return m_pendingByKey.value(key) > 0 || m_lastWriteByKey.value(key) > writeSerial;
}

quint64 MarkWriter::markPhoto(const QString &path, const MarkEdit &edit, MarkReport::Kind kind)
{
    const quint64 id = newOperation(kind);
    m_operations[id].report.path = path;
    MarkChange change;
    change.photoPath = path;
    change.markWrite = change.lastWrite = queueWrite(id, path, edit, SidecarWriteQueue::Interactive);
    m_operations[id].stepId = m_history.push(edit, {change});
    return id;
}

void MarkWriter::setNavigationSerial(quint64 operation, quint64 serial)
{
    const auto found = m_operations.find(operation);
    if (found != m_operations.end())
        found->report.navigationSerial = serial;
}

bool MarkWriter::runBatch(const QStringList &files, const MarkEdit &edit)
{
    QList<PhotoEdit> edits;
    edits.reserve(files.size());
    for (const QString &path : files)
        edits.append({path, edit});
    return runBatch(edits, edit);
}

bool MarkWriter::runBatch(const QList<PhotoEdit> &edits, const MarkEdit &described)
{
    if (edits.isEmpty() || m_batchOperation != 0)
        return false;
    QList<PhotoEdit> firstOfKey;
    QSet<QString> keys;
    QStringList files;
    for (const PhotoEdit &edit : edits) {
        files.append(edit.first);
        if (!keys.contains(sidecarKey(edit.first))) {
            keys.insert(sidecarKey(edit.first));
            firstOfKey.append(edit);
        }
    }

    const quint64 id = newOperation(MarkReport::Batch);
    m_operations[id].requested = files;
    m_batchOperation = id;
    QList<MarkChange> changes;
    changes.reserve(firstOfKey.size());
    for (const PhotoEdit &edit : std::as_const(firstOfKey)) {
        MarkChange change;
        change.photoPath = edit.first;
        change.markWrite = change.lastWrite =
            queueWrite(id, change.photoPath, edit.second, SidecarWriteQueue::Background);
        changes.append(change);
    }
    m_operations[id].stepId = m_history.push(described, changes);
    return true;
}

MarkWriter::HistoryStep MarkWriter::applyHistory(bool undo)
{
    MarkStep *step = undo ? m_history.nextUndo() : m_history.nextRedo();
    if (!step)
        return {};
    // The step's own writes may still be on their way: the queue resolves
    // what to write back once they have run, as they run first.
    HistoryStep applied;
    applied.operation = newOperation(undo ? MarkReport::Undo : MarkReport::Redo);
    applied.edit = step->edit;
    m_operations[applied.operation].stepId = step->id;
    const SidecarWriteQueue::Priority priority =
        step->changes.size() == 1 ? SidecarWriteQueue::Interactive : SidecarWriteQueue::Background;
    for (int n = 0; n < step->changes.size(); ++n) {
        // Undo goes backwards through the step, redo forwards.
        MarkChange &change = step->changes[undo ? step->changes.size() - 1 - n : n];
        change.lastWrite = queueRestore(applied.operation, change, undo, priority);
        applied.photos.append(change.photoPath);
    }
    undo ? m_history.moveToRedo() : m_history.moveToUndo();
    if (applied.photos.size() == 1)
        m_operations[applied.operation].report.path = applied.photos.first();
    return applied;
}

void MarkWriter::onWriteFinished(const SidecarWriteResult &result)
{
    const QString key = sidecarKey(result.photoPath);
    if (--m_pendingByKey[key] <= 0)
        m_pendingByKey.remove(key);
    const quint64 operationId = m_operationOfWrite.take(result.id);
    const auto found = m_operations.find(operationId);
    if (found == m_operations.end())
        return;
    Operation &operation = *found;

    switch (result.outcome) {
    case SidecarWriteResult::Written:
    case SidecarWriteResult::Removed:
        m_latestByKey.insert(key, {result.after, result.stamp});
        operation.writtenPhotos.append(result.photoPath);
        break;
    case SidecarWriteResult::Failed:
        operation.report.failures.append(result.photoPath);
        break;
    case SidecarWriteResult::PhotoMissing:
        operation.report.missing.append(result.photoPath);
        break;
    }
    noteHistoryResult(operation, result);
    if (--operation.remaining == 0)
        finishOperation(operationId);
}

void MarkWriter::noteHistoryResult(Operation &operation, const SidecarWriteResult &result)
{
    // Undo and redo know what they write; a mark learns what it changed.
    if (operation.report.kind == MarkReport::Undo || operation.report.kind == MarkReport::Redo)
        return;
    MarkStep *step = m_history.find(operation.stepId);
    MarkChange *change = step ? step->changeOfMark(result.id) : nullptr;
    if (!change)
        return;
    if (result.outcome == SidecarWriteResult::Written) {
        change->before = result.before;
        change->after = result.after;
        return;
    }
    // Nothing changed on disk: there is nothing to take back.
    step->changes.removeIf([&](const MarkChange &c) { return c.markWrite == result.id; });
    if (step->changes.isEmpty()) {
        m_history.remove(step->id);
        emit historyChanged();
    }
}

void MarkWriter::finishOperation(quint64 id)
{
    Operation operation = m_operations.take(id);
    MarkReport &report = operation.report;
    report.written.reserve(operation.writtenPhotos.size());
    for (const QString &path : std::as_const(operation.writtenPhotos)) {
        const OnDisk latest = m_latestByKey.value(sidecarKey(path));
        report.written.append({path, latest.marks, latest.stamp});
    }
    // No open operation can report an older write any more.
    if (m_operations.isEmpty())
        m_latestByKey.clear();

    switch (report.kind) {
    case MarkReport::Mark:
    case MarkReport::Rotation:
        break;
    case MarkReport::Batch:
        if (m_batchOperation == id) {
            m_batchOperation = 0;
            report.batchEnded = true;
            QSet<QString> failedKeys;
            for (const QString &path : report.failures + report.missing)
                failedKeys.insert(sidecarKey(path));
            for (const QString &path : std::as_const(operation.requested)) {
                if (failedKeys.contains(sidecarKey(path)))
                    report.batchFailures.append(path);
            }
        }
        break;
    case MarkReport::Undo:
    case MarkReport::Redo:
        // An undo that did not reach the disk stays to be undone (a redo to be
        // redone); the writes that did succeed are harmless to repeat.
        if (!report.failures.isEmpty()) {
            const bool undo = report.kind == MarkReport::Undo;
            const MarkStep *moved = undo ? m_history.nextRedo() : m_history.nextUndo();
            if (moved && moved->id == operation.stepId) {
                undo ? m_history.moveToUndo() : m_history.moveToRedo();
                emit historyChanged();
            }
        }
        break;
    }
    emit operationFinished(report);
}

bool MarkWriter::dismissFailures()
{
    if (m_failedWrites == 0)
        return false;
    m_failedWrites = 0;
    return true;
}

bool MarkWriter::startOver()
{
    const bool batchRunning = m_batchOperation != 0;
    m_batchOperation = 0;
    m_history.clear();
    m_failedWrites = 0;
    return batchRunning;
}

void MarkWriter::forget(const QSet<QString> &photoPaths)
{
    m_history.forget(photoPaths);
}
