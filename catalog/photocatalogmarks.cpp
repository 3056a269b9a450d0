#include "catalog/photocatalog.h"

#include <QFileInfo>
#include <QSettings>

// Marks, their writes and the undo history. Every write goes through the one
// queue; a group of writes (one mark, a batch, an undo) is an operation that
// reports once all its writes are back. Records change only on a write's
// success, so a failed mark is never shown as saved.

namespace {

QString fileName(const QString &path)
{
    return QFileInfo(path).fileName();
}

} // namespace

quint64 PhotoCatalog::queueWrite(quint64 operation, const QString &path, const MarkEdit &edit,
                                 SidecarWriteQueue::Priority priority)
{
    const quint64 write = m_writes.enqueue(path, edit, priority);
    noteWrite(operation, path, write);
    return write;
}

quint64 PhotoCatalog::queueRestore(quint64 operation, const MarkChange &change, bool undo,
                                   SidecarWriteQueue::Priority priority)
{
    const MarkEdit known = MarkEdit::restore(undo ? change.before : change.after,
                                             MarkEdit::differingFields(change.before, change.after));
    const quint64 write = m_writes.enqueueRestore(change.photoPath, change.markWrite, undo, change.lastWrite, known,
                                                  priority);
    noteWrite(operation, change.photoPath, write);
    return write;
}

void PhotoCatalog::noteWrite(quint64 operation, const QString &path, quint64 write)
{
    const QString key = sidecarKey(path);
    ++m_pendingByKey[key];
    m_lastWriteByKey.insert(key, ++m_writeSerial);
    m_operationOfWrite.insert(write, operation);
    ++m_operations[operation].remaining;
}

quint64 PhotoCatalog::markPhoto(const QString &path, const MarkEdit &edit, Operation::Kind kind)
{
    const quint64 id = ++m_lastOperation;
    m_operations[id].kind = kind;
    m_operations[id].path = path;
    MarkChange change;
    change.photoPath = path;
    change.markWrite = change.lastWrite = queueWrite(id, path, edit, SidecarWriteQueue::Interactive);
    m_operations[id].stepId = m_history.push(edit, {change});
    emit historyChanged();
    return id;
}

void PhotoCatalog::markCurrent(const MarkEdit &edit)
{
    const QString path = currentPath();
    if (path.isEmpty())
        return;
    const quint64 id = markPhoto(path, edit, Operation::Mark);
    // The user moves on at once; should the write fail, the photo comes back.
    if (m_filter == QLatin1String("all")
        && QSettings().value(QStringLiteral("rating/autoAdvance"), true).toBool())
        next();
    m_operations[id].navigationSerial = m_navigationSerial;
}

void PhotoCatalog::setRating(int rating)
{
    markCurrent(MarkEdit::rating(rating));
}

void PhotoCatalog::setColorLabel(const QString &label)
{
    markCurrent(MarkEdit::colorLabel(label));
}

void PhotoCatalog::rejectCurrent()
{
    markCurrent(MarkEdit::reject());
}

void PhotoCatalog::clearRejection()
{
    markCurrent(MarkEdit::clearRejection());
}

void PhotoCatalog::clearColorLabel()
{
    markCurrent(MarkEdit::clearLabel());
}

void PhotoCatalog::clearAllMarks()
{
    markCurrent(MarkEdit::clearAll());
}

void PhotoCatalog::setRotation(const QString &path, int degrees)
{
    if (contains(path))
        markPhoto(path, MarkEdit::rotation(degrees), Operation::Rotation);
}

void PhotoCatalog::setRatingForFiles(const QStringList &files, int rating)
{
    runBatch(files, MarkEdit::rating(rating));
}

void PhotoCatalog::setColorLabelForFiles(const QStringList &files, const QString &label)
{
    runBatch(files, MarkEdit::colorLabel(label));
}

void PhotoCatalog::setRejectedForFiles(const QStringList &files, bool rejected)
{
    runBatch(files, rejected ? MarkEdit::reject() : MarkEdit::clearRejection());
}

void PhotoCatalog::clearColorLabelForFiles(const QStringList &files)
{
    runBatch(files, MarkEdit::clearLabel());
}

void PhotoCatalog::clearAllMarksForFiles(const QStringList &files)
{
    runBatch(files, MarkEdit::clearAll());
}

void PhotoCatalog::runBatch(const QStringList &files, const MarkEdit &edit)
{
    if (files.isEmpty() || m_batchOperation != 0)
        return;
    // One write per sidecar: two selected photos sharing one get the same marks.
    QStringList keys;
    QHash<QString, QStringList> requestedByKey;
    QStringList requested;
    for (const QString &path : files) {
        if (!contains(path))
            continue;
        const QString key = sidecarKey(path);
        if (!requestedByKey.contains(key))
            keys.append(key);
        requestedByKey[key].append(path);
        requested.append(path);
    }
    if (keys.isEmpty())
        return;

    const quint64 id = ++m_lastOperation;
    m_operations[id].kind = Operation::Batch;
    m_operations[id].requested = requested;
    m_batchOperation = id;
    emit metadataBatchBusyChanged(true);

    QList<MarkChange> changes;
    for (const QString &key : std::as_const(keys)) {
        MarkChange change;
        change.photoPath = requestedByKey.value(key).first();
        change.markWrite = change.lastWrite = queueWrite(id, change.photoPath, edit, SidecarWriteQueue::Background);
        changes.append(change);
    }
    m_operations[id].stepId = m_history.push(edit, changes);
    emit historyChanged();
}

void PhotoCatalog::onWriteFinished(const SidecarWriteResult &result)
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
        // A write queued for an earlier folder may land in this one's list.
        if (contains(result.photoPath)) {
            const QStringList photos = photosOfKey(key);
            for (const QString &photo : photos)
                m_records.insert(photo, result.after);
            m_stamps.insert(key, result.stamp);
            operation.changed += photos;
        }
        if (!m_folderProblem.isEmpty() && QFileInfo(result.photoPath).absolutePath() == m_folder) {
            m_folderProblem.clear();
            emit writeProblemsChanged();
        }
        break;
    case SidecarWriteResult::Failed:
        operation.failures.append(result.photoPath);
        break;
    case SidecarWriteResult::PhotoMissing:
        operation.missing.append(result.photoPath);
        break;
    }
    noteHistoryResult(operation, result);
    if (--operation.remaining == 0)
        finishOperation(operationId);
}

void PhotoCatalog::noteHistoryResult(Operation &operation, const SidecarWriteResult &result)
{
    // Undo and redo know what they write; a mark learns what it changed.
    if (operation.kind == Operation::Undo || operation.kind == Operation::Redo)
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

void PhotoCatalog::finishOperation(quint64 id)
{
    const Operation operation = m_operations.take(id);

    QStringList gone;
    for (const QString &path : operation.missing) {
        if (contains(path))
            gone.append(path);
    }
    const int position = m_visible.currentIndex();
    dropFiles(gone);
    if (!operation.failures.isEmpty())
        countFailures(int(operation.failures.size()));
    if (!operation.changed.isEmpty())
        emit recordsChanged(operation.changed);

    const bool single = operation.kind != Operation::Batch && !operation.path.isEmpty();
    const bool saved = operation.failures.isEmpty() && operation.missing.isEmpty();
    bool goBack = false;
    bool batchReported = false;
    switch (operation.kind) {
    case Operation::Mark:
    case Operation::Rotation:
        // The user was moved on by this mark and has not moved since: back to
        // the photo whose mark failed.
        goBack = operation.kind == Operation::Mark && !operation.failures.isEmpty()
                 && operation.navigationSerial == m_navigationSerial;
        break;
    case Operation::Batch:
        if (m_batchOperation == id) {
            batchReported = true;
            m_batchOperation = 0;
            emit metadataBatchBusyChanged(false);
        }
        break;
    case Operation::Undo:
    case Operation::Redo:
        // An undo that did not reach the disk stays to be undone (a redo to be
        // redone); the writes that did succeed are harmless to repeat.
        if (!operation.failures.isEmpty()) {
            const bool undo = operation.kind == Operation::Undo;
            const MarkStep *moved = undo ? m_history.nextRedo() : m_history.nextUndo();
            if (moved && moved->id == operation.stepId) {
                undo ? m_history.moveToUndo() : m_history.moveToRedo();
                emit historyChanged();
            }
        }
        goBack = single && operation.navigationSerial == m_navigationSerial;
        break;
    }

    if (!operation.changed.isEmpty() || !gone.isEmpty()) {
        updateSummary();
        if (!gone.isEmpty())
            rebuildVisibleList(position);
        else if (m_filter != QLatin1String("all"))
            rebuildVisibleList(-1);
        else
            emit catalogChanged();
    }
    if (goBack && currentPath() != operation.path && m_visible.files().contains(operation.path)) {
        m_visible.setCurrentIndex(int(m_visible.files().indexOf(operation.path)));
        announceCurrent();
    }
    // Warnings last, about the photo now current.
    for (const QString &path : std::as_const(gone)) {
        emit warningRaised(tr("%1 is gone: another program deleted or renamed it. Its mark was not saved, "
                              "and it was taken off the list.")
                               .arg(fileName(path)));
    }
    // A batch reports its failures in one list instead.
    if (operation.kind == Operation::Rotation && !operation.failures.isEmpty()) {
        emit warningRaised(tr("Could not save rotation for %1.").arg(operation.path));
    } else if (operation.kind != Operation::Batch) {
        for (const QString &path : operation.failures)
            emit warningRaised(writeFailureText(path));
    }
    if (single && operation.missing.isEmpty())
        emit markWriteFinished(operation.path, saved, operation.kind == Operation::Rotation);

    if (batchReported) {
        QStringList failures;
        QSet<QString> failedKeys;
        for (const QString &path : operation.failures + operation.missing)
            failedKeys.insert(sidecarKey(path));
        for (const QString &path : operation.requested) {
            if (failedKeys.contains(sidecarKey(path)))
                failures.append(path);
        }
        emit metadataBatchFinished(failures);
    }
}

void PhotoCatalog::countFailures(int count)
{
    m_failedWrites += count;
    // A folder that took writes at first may refuse them now (a card's lock,
    // a medium remounted read-only).
    probeFolder();
    emit writeProblemsChanged();
}

void PhotoCatalog::dismissWriteFailures()
{
    if (m_failedWrites == 0)
        return;
    m_failedWrites = 0;
    emit writeProblemsChanged();
}

QString PhotoCatalog::writeFailureText(const QString &path) const
{
    return tr("Could not write XMP sidecar for %1. The file may be damaged or use an unsupported XMP structure. "
              "Check write permissions and storage availability. Existing data was not overwritten.")
        .arg(path);
}

// ---------------------------------------------------------------------------
// Undo and redo

void PhotoCatalog::undo()
{
    applyHistory(true);
}

void PhotoCatalog::redo()
{
    applyHistory(false);
}

void PhotoCatalog::applyHistory(bool undo)
{
    MarkStep *step = undo ? m_history.nextUndo() : m_history.nextRedo();
    if (!step)
        return;
    // The step's own writes may still be on their way: the queue resolves
    // what to write back once they have run, as they run first.
    const quint64 id = ++m_lastOperation;
    m_operations[id].kind = undo ? Operation::Undo : Operation::Redo;
    m_operations[id].stepId = step->id;
    const SidecarWriteQueue::Priority priority =
        step->changes.size() == 1 ? SidecarWriteQueue::Interactive : SidecarWriteQueue::Background;
    QStringList photos;
    for (int n = 0; n < step->changes.size(); ++n) {
        // Undo goes backwards through the step, redo forwards.
        MarkChange &change = step->changes[undo ? step->changes.size() - 1 - n : n];
        change.lastWrite = queueRestore(id, change, undo, priority);
        photos.append(change.photoPath);
    }
    const MarkEdit edit = step->edit;
    undo ? m_history.moveToRedo() : m_history.moveToUndo();

    // The photo whose mark this was comes on screen.
    if (photos.size() == 1) {
        m_operations[id].path = photos.first();
        select(photos.first());
    }
    m_operations[id].navigationSerial = m_navigationSerial;
    const QString target = photos.size() == 1 ? fileName(photos.first()) : tr("%1 photos").arg(photos.size());
    emit historyApplied((undo ? tr("Undone: %1 on %2") : tr("Redone: %1 on %2")).arg(edit.description(), target),
                        photos);
    emit historyChanged();
}
