#include "ui/transfercontroller.h"

#include "catalog/photocatalog.h"
#include "catalog/phototransferjob.h"
#include "core/copyundo.h"
#include "grid/thumbnailgridwidget.h"
#include "ui/historycontroller.h"
#include "ui/recyclebin.h"
#include "ui/slideshowcontroller.h"
#include "ui/transferdialog.h"
#include "ui/transfertexts.h"
#include "ui/windowtexts.h"

#include <QAction>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QMainWindow>
#include <QMenu>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QSettings>
#include <QTimer>

#include <algorithm>

namespace {

const int messageTimeoutMs = 6000;
const int warningTimeoutMs = 12000;
// Failures listed by name in a message box; the rest are counted.
const int listedFailures = 10;

} // namespace

TransferController::TransferController(const WindowParts &windowParts, HistoryController *undoHistory,
                                       QObject *parent)
    : QObject(parent)
    , parts(windowParts)
    , history(undoHistory)
{
    connect(parts.catalog, &PhotoCatalog::filesRemoved, this, &TransferController::noteRemovedByOthers);
    // A deletion waits for the selection it was asked for, not another one.
    connect(parts.grid, &ThumbnailGridWidget::selectionChanged, this, &TransferController::stopWaitingForDeletion);
    connect(parts.grid, &ThumbnailGridWidget::previewAvailabilityChanged, this, [this] {
        if (deletionWaiting && parts.grid->selectedPathsWithoutPreview().isEmpty()) {
            deletionWaiting = false;
            QTimer::singleShot(0, this, &TransferController::moveSelectionToRecycleBin);
        }
    });
}

void TransferController::addTo(QMenu *fileMenu)
{
    moveToTrashAction = fileMenu->addAction(WindowTexts::tr("&Move Selected Photos to Recycle Bin…"));
    moveToTrashAction->setObjectName(QStringLiteral("moveToTrashAction"));
    moveToTrashAction->setShortcut(QKeySequence(QKeySequence::Delete));
    moveToTrashAction->setShortcutContext(Qt::WindowShortcut);
    connect(moveToTrashAction, &QAction::triggered, this, &TransferController::moveSelectionToRecycleBin);
    parts.keepInFullScreen(moveToTrashAction);
    moveRejectedAction = fileMenu->addAction(WindowTexts::tr("Move Re&jected Photos to Recycle Bin…"));
    moveRejectedAction->setObjectName(QStringLiteral("moveRejectedAction"));
    connect(moveRejectedAction, &QAction::triggered, this, &TransferController::moveRejectedToRecycleBin);
    copyToAction = fileMenu->addAction(TransferTexts::menuText(false, 0, false));
    copyToAction->setObjectName(QStringLiteral("copyToAction"));
    connect(copyToAction, &QAction::triggered, this, &TransferController::copyPhotosTo);
    moveToAction = fileMenu->addAction(TransferTexts::menuText(true, 0, false));
    moveToAction->setObjectName(QStringLiteral("moveToAction"));
    connect(moveToAction, &QAction::triggered, this, &TransferController::movePhotosTo);
    fileMenu->addSeparator();
}

void TransferController::updateActions()
{
    if (!moveToTrashAction)
        return;
    const bool busy = parts.catalog->isMetadataBatchBusy();
    const bool onGrid = parts.gridShown();
    const bool photoChosen = onGrid ? parts.grid->selectedCount() >= 1 : !parts.catalog->currentPath().isEmpty();
    moveToTrashAction->setEnabled(photoChosen && !busy);
    // The single view moves the photo on screen; the grid, what is selected.
    moveToTrashAction->setText(onGrid ? WindowTexts::tr("&Move Selected Photos to Recycle Bin…")
                                      : WindowTexts::tr("&Move Photo to Recycle Bin…"));
    // Copy and Move say what they take, in the grid and in the single view alike.
    bool selected = false;
    const int count = int(photosToTransfer(&selected).size());
    copyToAction->setText(TransferTexts::menuText(false, count, selected));
    moveToAction->setText(TransferTexts::menuText(true, count, selected));
    copyToAction->setEnabled(count > 0 && !busy);
    moveToAction->setEnabled(count > 0 && !busy);
    // Which photos are rejected is known once the folder's sidecars are read.
    moveRejectedAction->setEnabled(!busy && parts.catalog->isScanned() && !parts.catalog->allFiles().isEmpty());
}

QString TransferController::waitingText() const
{
    if (!deletionWaiting)
        return QString();
    return WindowTexts::tr("%1 image(s) selected — loading %2 preview(s) before moving them to the Recycle Bin…")
        .arg(parts.grid->selectedCount())
        .arg(parts.grid->selectedPathsWithoutPreview().size());
}

// ---- Recycle bin ------------------------------------------------------------

void TransferController::moveSelectionToRecycleBin()
{
    const bool onGrid = parts.gridShown();
    const QStringList selected = onGrid ? parts.grid->selectedPaths() : QStringList{parts.catalog->currentPath()};
    if (selected.isEmpty() || selected.constFirst().isEmpty())
        return;
    parts.slideshow->stop();
    // The user should have seen what goes: rows without a picture yet are
    // loaded first, wherever they are, and the confirmation follows.
    const QStringList withoutPreview = onGrid ? parts.grid->selectedPathsWithoutPreview() : QStringList();
    if (!withoutPreview.isEmpty()) {
        deletionWaiting = true;
        parts.grid->loadPreviewsOf(withoutPreview);
        emit stateChanged();
        return;
    }
    // The single view moves the photo on screen, which nobody selected.
    moveToRecycleBin(selected, onGrid ? Selection : OnScreen);
}

void TransferController::moveRejectedToRecycleBin()
{
    if (parts.catalog->isMetadataBatchBusy() || !parts.catalog->isScanned())
        return;
    const QStringList rejected = parts.catalog->rejectedPhotos();
    if (rejected.isEmpty()) {
        emit notice(WindowTexts::tr("No photo in this folder is rejected"), messageTimeoutMs);
        return;
    }
    parts.slideshow->stop();
    moveToRecycleBin(rejected, Rejected);
}

void TransferController::stopWaitingForDeletion()
{
    if (!deletionWaiting)
        return;
    deletionWaiting = false;
    parts.grid->loadPreviewsOf({});
}

void TransferController::moveToRecycleBin(const QStringList &photos, RecycleReason reason)
{
    PhotoCatalog *catalog = parts.catalog;
    QStringList files;
    for (const QString &photo : photos)
        files += catalog->filesOf(photo);
    const QStringList listed = catalog->listedFiles();
    const int sidecars = RecycleBin::existingSidecarCount(listed, files);
    const auto answer = QMessageBox::question(
        parts.window,
        reason == Rejected ? WindowTexts::tr("Move rejected photos to Recycle Bin?")
                           : WindowTexts::tr("Move photos to Recycle Bin?"),
        RecycleBin::confirmationText(int(photos.size()), int(files.size()), sidecars, reason == Selection,
                                     photos.size() == 1 ? QFileInfo(photos.first()).fileName() : QString()),
        QMessageBox::Yes | QMessageBox::Cancel, QMessageBox::Cancel);
    if (answer != QMessageBox::Yes)
        return;

    const RecycleBin::Outcome outcome = RecycleBin::movePhotos(listed, files);

    // The viewer shows the photo that took the current one's place.
    const QString next = parts.gridShown() ? parts.grid->pathAfterRemoval(outcome.moved) : QString();
    if (!next.isEmpty())
        catalog->select(next);
    // A photo counts as moved when all its files went; a pair's file that
    // stayed behind is shown on its own.
    const int photosMoved = photosMovedCount(photos, outcome.moved);
    removeOwnFiles(outcome.moved);
    if (!outcome.trashed.isEmpty()) {
        const MovedAway step{true, outcome.trashed, photosMoved, QString()};
        history->addStep([this, step] { return takeBack(step); });
    }
    emit stateChanged();

    if (!outcome.failures.isEmpty()) {
        QMessageBox::warning(parts.window, WindowTexts::tr("Some files could not be moved"),
                             WindowTexts::tr("%1 file(s) could not be moved to the Recycle Bin:\n\n%2")
                                 .arg(outcome.failures.size())
                                 .arg(outcome.failures.mid(0, listedFailures).join(QLatin1Char('\n'))));
    }
    emit notice(WindowTexts::tr("%1 photo(s) moved to the Recycle Bin").arg(photosMoved), messageTimeoutMs);
}

int TransferController::photosMovedCount(const QStringList &photos, const QStringList &movedFiles) const
{
    const QSet<QString> moved(movedFiles.cbegin(), movedFiles.cend());
    int count = 0;
    for (const QString &photo : photos) {
        const QStringList own = parts.catalog->filesOf(photo);
        count += std::all_of(own.cbegin(), own.cend(), [&](const QString &f) { return moved.contains(f); });
    }
    return count;
}

// ---- Photos leaving the folder ------------------------------------------------

void TransferController::removeOwnFiles(const QStringList &files)
{
    const QScopedValueRollback<bool> own(removingOwnFiles, true);
    parts.catalog->removeFiles(files);
}

void TransferController::noteRemovedByOthers(const QStringList &paths)
{
    if (removingOwnFiles || paths.isEmpty())
        return;
    // Not silently: the photo the user was about to judge may be among them.
    const QString text = paths.size() == 1
                             ? WindowTexts::tr("%1 was removed from the folder").arg(QFileInfo(paths.first()).fileName())
                             : WindowTexts::tr("%1 photos were removed from the folder").arg(paths.size());
    // Once the catalog has moved on to the photo that takes the removed one's
    // place: a notice belongs to the photo it is shown on.
    QTimer::singleShot(0, this, [this, text] { emit notice(text, messageTimeoutMs); });
}

// ---- Undo of photos moved away --------------------------------------------------

bool TransferController::takeBack(const MovedAway &step)
{
    const QString photosText = WindowTexts::tr("%n photo(s)", nullptr, step.photos);
    QString problem;
    if (step.recycled) {
        if (!RecycleBin::canRestore(step.files)) {
            // Nothing else is taken back in its stead. Once said, the step
            // gives way, so that the marks before it can still be undone.
            emit notice(WindowTexts::tr("The move to the Recycle Bin cannot be undone here"), warningTimeoutMs);
            return true;
        }
        problem = RecycleBin::restore(step.files);
    } else {
        QList<QPair<QString, QString>> back;
        for (const auto &[was, now] : step.files)
            back.append({now, was});
        const PhotoCore::TransferResult result = PhotoCore::moveExactly(back);
        if (!result.failures.isEmpty())
            problem = WindowTexts::tr("%1: %2").arg(QDir::toNativeSeparators(result.failures.first().path),
                                                    result.failures.first().reason);
    }
    if (!problem.isEmpty()) {
        QMessageBox::warning(parts.window, WindowTexts::tr("Cannot Undo"),
                             WindowTexts::tr("The photos were not put back; they are where they were.\n\n%1")
                                 .arg(problem));
        return false;
    }
    // The photos are back in the folder; the listing finds them with their marks.
    parts.catalog->rescan();
    emit notice(step.recycled
                    ? WindowTexts::tr("Undone: %1 moved to the Recycle Bin").arg(photosText)
                    : WindowTexts::tr("Undone: %1 moved to %2").arg(photosText, QDir::toNativeSeparators(step.where)),
                messageTimeoutMs);
    return true;
}

bool TransferController::takeBackCopies(const PhotoCore::MadeCopies &copies, const QString &where, bool madeFolder)
{
    const PhotoCore::CopiesRemoved removed = PhotoCore::removeUnchangedCopies(copies);
    if (madeFolder)
        QDir().rmdir(where); // only while empty
    const QString whereText = QDir::toNativeSeparators(where);
    if (!removed.kept.isEmpty()) {
        QStringList lines;
        for (const PhotoCore::TransferFailure &kept : std::as_const(removed.kept).mid(0, listedFailures))
            lines.append(WindowTexts::tr("%1: %2").arg(QFileInfo(kept.path).fileName(), kept.reason));
        if (removed.kept.size() > listedFailures)
            lines.append(WindowTexts::tr("…and %1 more").arg(removed.kept.size() - listedFailures));
        QMessageBox::warning(parts.window, WindowTexts::tr("Some copies were kept"),
                             WindowTexts::tr("These copies in %1 were kept:\n\n%2").arg(whereText, lines.join(QLatin1Char('\n'))));
    }
    // Said and done as far as it goes: the step gives way either way.
    emit notice(WindowTexts::tr("Undone: %1 copied to %2")
                    .arg(WindowTexts::tr("%n photo(s)", nullptr, removed.photos), whereText),
                messageTimeoutMs);
    return true;
}

// ---- Copy and move into another folder ------------------------------------------

void TransferController::copyPhotosTo()
{
    transferPhotos(false);
}

void TransferController::movePhotosTo()
{
    transferPhotos(true);
}

QStringList TransferController::photosToTransfer(bool *selected) const
{
    // A selection of one is only where the cursor is; two or more were chosen.
    const QStringList chosen = parts.grid->selectedPaths();
    *selected = chosen.size() >= 2;
    return *selected ? chosen : parts.catalog->visibleFiles();
}

void TransferController::transferPhotos(bool move)
{
    PhotoCatalog *catalog = parts.catalog;
    bool selected = false;
    const QStringList photos = photosToTransfer(&selected);
    if (photos.isEmpty() || catalog->isMetadataBatchBusy())
        return;
    parts.slideshow->stop();
    // The marks still on their way belong in the sidecars that travel.
    catalog->writeQueue()->waitForDone();
    const QList<PhotoCore::TransferGroup> groups = catalog->transferGroups(photos);
    int sidecars = 0;
    for (const PhotoCore::TransferGroup &group : groups)
        sidecars += !group.sidecar.isEmpty() && QFileInfo(group.sidecar).isFile() ? 1 : 0;

    QSettings settings;
    // The last folder used, never the photos' own: a copy there would only
    // duplicate them, and a move is refused.
    QString start = settings.value(QStringLiteral("transfer/lastFolder")).toString();
    if (!start.isEmpty() && PhotoCore::resolvedFolder(start) == PhotoCore::resolvedFolder(catalog->folder()))
        start.clear();
    TransferDialog dialog(move, TransferTexts::summary(int(photos.size()), selected, catalog->filter(), sidecars),
                          start, catalog->folder(), parts.window);
    if (dialog.exec() != QDialog::Accepted)
        return;
    const QString target = dialog.folder();
    settings.setValue(QStringLiteral("transfer/lastFolder"), target);

    if (move) {
        // Moving a photo into its own folder would only rename it; a link to
        // the folder is the folder.
        const QString targetKey = PhotoCore::resolvedFolder(target);
        for (const PhotoCore::TransferGroup &group : groups) {
            if (PhotoCore::resolvedFolder(QFileInfo(group.files.constFirst()).absolutePath()) == targetKey) {
                QMessageBox::information(parts.window, WindowTexts::tr("Move Photos To"),
                                         WindowTexts::tr("Some of the photos are already in this folder:\n%1\n\n"
                                                         "Choose another folder.")
                                             .arg(QDir::toNativeSeparators(target)));
                return;
            }
        }
        QMessageBox question(QMessageBox::Question, WindowTexts::tr("Move Photos To"),
                             TransferTexts::moveQuestion(int(photos.size()), sidecars, target), QMessageBox::NoButton,
                             parts.window);
        QPushButton *moveButton = question.addButton(WindowTexts::tr("&Move"), QMessageBox::AcceptRole);
        question.setDefaultButton(question.addButton(QMessageBox::Cancel));
        question.exec();
        if (question.clickedButton() != moveButton) {
            if (dialog.createdFolder())
                QDir().rmdir(target); // only while still empty
            return;
        }
    }
    const PhotoCore::TransferResult result =
        runTransfer(groups, target, move ? PhotoCore::TransferMode::Move : PhotoCore::TransferMode::Copy);
    if (move) {
        noteMovedAway(groups);
        // What moved can be moved back by Undo; a shared sidecar was only copied.
        MovedAway step{false, {}, 0, target};
        for (const PhotoCore::TransferOutcome &outcome : std::as_const(result.outcomes)) {
            if (!outcome.ok)
                continue;
            ++step.photos;
            for (int i = 0; i < outcome.files.size(); ++i) {
                if (!QFileInfo::exists(outcome.files.at(i)))
                    step.files.append({outcome.files.at(i), outcome.to.at(i)});
            }
        }
        if (!step.files.isEmpty()) {
            history->addStep([this, step] { return takeBack(step); });
            emit stateChanged();
        }
    } else {
        const PhotoCore::MadeCopies copies = PhotoCore::madeCopies(result);
        if (!copies.photos.isEmpty()) {
            const bool madeFolder = dialog.createdFolder();
            history->addStep([this, copies, target, madeFolder] { return takeBackCopies(copies, target, madeFolder); });
            emit stateChanged();
        }
    }

    const QString where = QDir::toNativeSeparators(target);
    reportTransferFailures(result, move, where);
    const QString done = move ? WindowTexts::tr("%1 of %2 photo(s) moved to %3")
                              : WindowTexts::tr("%1 of %2 photo(s) copied to %3");
    const QString summary = done.arg(result.photosDone).arg(groups.size()).arg(where);
    emit notice(result.cancelled ? WindowTexts::tr("Cancelled: %1").arg(summary) : summary, messageTimeoutMs);
}

PhotoCore::TransferResult TransferController::runTransfer(const QList<PhotoCore::TransferGroup> &groups,
                                                          const QString &target, PhotoCore::TransferMode mode)
{
    const bool move = mode == PhotoCore::TransferMode::Move;
    QProgressDialog progress(move ? WindowTexts::tr("Moving photos…") : WindowTexts::tr("Copying photos…"),
                             WindowTexts::tr("Cancel"), 0, 1000, parts.window);
    progress.setWindowTitle(move ? WindowTexts::tr("Move Photos To") : WindowTexts::tr("Copy Photos To"));
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(300);
    progress.setAutoClose(false);
    progress.setAutoReset(false);
    progress.setValue(0);

    PhotoTransferJob job;
    PhotoCore::TransferResult result;
    QEventLoop loop;
    connect(&job, &PhotoTransferJob::progress, &progress,
            [&progress, move](qint64 done, qint64 total, const QString &file) {
                progress.setValue(total > 0 ? int(done * 1000 / total) : 0);
                const QString name = QFileInfo(file).fileName();
                progress.setLabelText(move ? WindowTexts::tr("Moving %1…").arg(name)
                                           : WindowTexts::tr("Copying %1…").arg(name));
            });
    connect(&progress, &QProgressDialog::canceled, &job, &PhotoTransferJob::cancel);
    connect(&job, &PhotoTransferJob::finished, &loop, [&](const PhotoCore::TransferResult &r) {
        result = r;
        loop.quit();
    });
    job.start(groups, target, mode);
    loop.exec();
    progress.close();
    return result;
}

void TransferController::noteMovedAway(const QList<PhotoCore::TransferGroup> &groups)
{
    // Whatever left its place is gone from the folder, whole groups or not.
    QStringList gone;
    for (const PhotoCore::TransferGroup &group : groups) {
        for (const QString &file : group.files) {
            if (!QFileInfo::exists(file))
                gone.append(file);
        }
    }
    removeOwnFiles(gone);
}

void TransferController::reportTransferFailures(const PhotoCore::TransferResult &result, bool move,
                                                 const QString &where)
{
    if (result.failures.isEmpty())
        return;
    QStringList lines;
    for (const PhotoCore::TransferFailure &failure : std::as_const(result.failures).mid(0, listedFailures))
        lines.append(WindowTexts::tr("%1: %2").arg(QFileInfo(failure.path).fileName(), failure.reason));
    if (result.failures.size() > listedFailures)
        lines.append(WindowTexts::tr("…and %1 more").arg(result.failures.size() - listedFailures));
    QMessageBox::warning(parts.window,
                         move ? WindowTexts::tr("Some photos could not be moved")
                              : WindowTexts::tr("Some photos could not be copied"),
                         (move ? WindowTexts::tr("These files were not moved to %1; they are still where they were:\n\n%2")
                               : WindowTexts::tr("These files were not copied to %1:\n\n%2"))
                             .arg(where, lines.join(QLatin1Char('\n'))));
}
