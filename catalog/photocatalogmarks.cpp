#include "catalog/photocatalog.h"

#include <QFileInfo>

// Marks as the user gives them, and what their writes report. The writer
// does the writing and keeps the history; an operation (one mark, a batch,
// an undo) reports once all its writes are back, and only then do records
// change, so a failed mark is never shown as saved.

namespace {

QString fileName(const QString &path)
{
    return QFileInfo(path).fileName();
}

// The kind of mark an edit gives, as the advance preference names them.
MarkEdit::Field advanceKind(MarkEdit::Kind kind)
{
    switch (kind) {
    case MarkEdit::Label:
    case MarkEdit::ClearLabel:
        return MarkEdit::LabelField;
    case MarkEdit::Reject:
    case MarkEdit::ClearRejection:
        return MarkEdit::RejectedField;
    case MarkEdit::Rotation:
        return MarkEdit::RotationField;
    default:
        return MarkEdit::RatingField;
    }
}

} // namespace

void PhotoCatalog::markCurrent(const MarkEdit &edit)
{
    const QString path = currentPath();
    if (path.isEmpty())
        return;
    const quint64 id = m_writer.markPhoto(path, edit, MarkReport::Mark);
    emit historyChanged();
    // The user moves on at once; should the write fail, the photo comes back.
    if (m_advanceAfter.testFlag(advanceKind(edit.kind)) && m_filter == QLatin1String("all"))
        next();
    m_writer.setNavigationSerial(id, m_navigationSerial);
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
    if (!contains(path))
        return;
    m_writer.markPhoto(path, MarkEdit::rotation(degrees), MarkReport::Rotation);
    emit historyChanged();
}

void PhotoCatalog::setRatingForFiles(const QStringList &files, int rating)
{
    markFiles(files, MarkEdit::rating(rating));
}

void PhotoCatalog::setColorLabelForFiles(const QStringList &files, const QString &label)
{
    markFiles(files, MarkEdit::colorLabel(label));
}

void PhotoCatalog::setRejectedForFiles(const QStringList &files, bool rejected)
{
    markFiles(files, rejected ? MarkEdit::reject() : MarkEdit::clearRejection());
}

void PhotoCatalog::clearColorLabelForFiles(const QStringList &files)
{
    markFiles(files, MarkEdit::clearLabel());
}

void PhotoCatalog::clearAllMarksForFiles(const QStringList &files)
{
    markFiles(files, MarkEdit::clearAll());
}

void PhotoCatalog::markFiles(const QStringList &files, const MarkEdit &edit)
{
    QStringList listed;
    for (const QString &path : files) {
        if (contains(path))
            listed.append(path);
    }
    if (!m_writer.runBatch(listed, edit))
        return;
    emit metadataBatchBusyChanged(true);
    emit historyChanged();
}

void PhotoCatalog::markFilesEach(const QList<MarkWriter::PhotoEdit> &edits, const MarkEdit &described)
{
    QList<MarkWriter::PhotoEdit> listed;
    for (const MarkWriter::PhotoEdit &edit : edits) {
        if (contains(edit.first))
            listed.append(edit);
    }
    if (!m_writer.runBatch(listed, described))
        return;
    emit metadataBatchBusyChanged(true);
    emit historyChanged();
}

void PhotoCatalog::applyMarkReport(const MarkReport &report)
{
    QStringList changed;
    for (const MarkReport::Written &written : report.written) {
        // A write queued for an earlier folder may land in this one's list.
        if (contains(written.photoPath)) {
            const QString key = sidecarKey(written.photoPath);
            const QStringList photos = photosOfKey(key);
            for (const QString &photo : photos)
                m_records.insert(photo, written.marks);
            m_stamps.insert(key, written.stamp);
            changed += photos;
        }
        if (!m_folderProblem.isEmpty() && QFileInfo(written.photoPath).absolutePath() == m_folder) {
            m_folderProblem.clear();
            emit writeProblemsChanged();
        }
    }

    QStringList gone;
    for (const QString &path : report.missing) {
        if (contains(path))
            gone.append(path);
    }
    const int position = m_visible.currentIndex();
    dropFiles(gone);
    if (!report.failures.isEmpty()) {
        m_writer.countFailures(int(report.failures.size()));
        // A folder that took writes at first may refuse them now (a card's
        // lock, a medium remounted read-only).
        probeFolder();
        emit writeProblemsChanged();
    }
    if (!changed.isEmpty())
        emit recordsChanged(changed);

    const bool single = report.kind != MarkReport::Batch && !report.path.isEmpty();
    const bool saved = report.failures.isEmpty() && report.missing.isEmpty();
    // The user was moved on by this mark (or undo) and has not moved since:
    // back to the photo whose mark failed (or was undone).
    const bool undoOrRedo = report.kind == MarkReport::Undo || report.kind == MarkReport::Redo;
    const bool goBack = ((report.kind == MarkReport::Mark && !report.failures.isEmpty()) || (undoOrRedo && single))
                        && report.navigationSerial == m_navigationSerial;
    if (report.batchEnded)
        emit metadataBatchBusyChanged(false);

    if (!changed.isEmpty() || !gone.isEmpty()) {
        updateSummary();
        if (!gone.isEmpty())
            rebuildVisibleList(position);
        else if (m_filter != QLatin1String("all"))
            rebuildVisibleList(-1);
        else
            emit catalogChanged();
    }
    if (goBack && currentPath() != report.path && m_visible.files().contains(report.path)) {
        m_visible.setCurrentIndex(int(m_visible.files().indexOf(report.path)));
        announceCurrent();
    }
    // Warnings last, about the photo now current.
    for (const QString &path : std::as_const(gone)) {
        emit warningRaised(tr("%1 is gone: another program deleted or renamed it. Its mark was not saved, "
                              "and it was taken off the list.")
                               .arg(fileName(path)));
    }
    // A batch reports its failures in one list instead.
    if (report.kind == MarkReport::Rotation && !report.failures.isEmpty()) {
        emit warningRaised(tr("Could not save rotation for %1.").arg(report.path));
    } else if (report.kind != MarkReport::Batch) {
        for (const QString &path : report.failures) {
            // Where the folder itself refuses writes, the bar above the photo
            // says so and counts the failures: the status would only repeat
            // it, and blame the file.
            if (!m_folderProblem.isEmpty() && QFileInfo(path).absolutePath() == m_folder)
                continue;
            emit warningRaised(writeFailureText(path));
        }
    }
    if (single && report.missing.isEmpty())
        emit markWriteFinished(report.path, saved, report.kind == MarkReport::Rotation);
    if (report.batchEnded)
        emit metadataBatchFinished(report.batchFailures);
}

void PhotoCatalog::dismissWriteFailures()
{
    if (m_writer.dismissFailures())
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
    stepHistory(true);
}

void PhotoCatalog::redo()
{
    stepHistory(false);
}

void PhotoCatalog::stepHistory(bool undo)
{
    const MarkWriter::HistoryStep step = m_writer.applyHistory(undo);
    if (step.operation == 0)
        return;
    const QStringList &photos = step.photos;
    // The photo whose mark this was comes on screen.
    if (photos.size() == 1)
        select(photos.first());
    m_writer.setNavigationSerial(step.operation, m_navigationSerial);
    const QString target = photos.size() == 1 ? fileName(photos.first()) : tr("%1 photos").arg(photos.size());
    emit historyApplied((undo ? tr("Undone: %1 on %2") : tr("Redone: %1 on %2")).arg(step.edit.description(), target),
                        photos);
    emit historyChanged();
}
