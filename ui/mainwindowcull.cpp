#include "ui/mainwindow.h"

#include "catalog/photocatalog.h"
#include "grid/thumbnailgridwidget.h"
#include "ui/recyclebin.h"
#include "ui/transfertexts.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QMessageBox>
#include <QScopedValueRollback>
#include <QSettings>
#include <QTimer>

#include <algorithm>

// The end of a cull (the rejected photos to the recycle bin, the picks copied
// or moved elsewhere) and whether a folder is shown with its subfolders.

namespace {

const int cullMessageTimeoutMs = 6000;
// Failures listed by name in a message box; the rest are counted.
const int listedFailures = 10;
// Folders remembered as shown with their subfolders, the latest first.
const int rememberedFolders = 50;

const QString subfolderFoldersKey = QStringLiteral("view/foldersWithSubfolders");

QString folderKey(const QString &folder)
{
    return QDir::cleanPath(QFileInfo(folder).absoluteFilePath());
}

} // namespace

// ---- Subfolders -----------------------------------------------------------

bool MainWindow::subfoldersRemembered(const QString &folder)
{
    return QSettings().value(subfolderFoldersKey).toStringList().contains(folderKey(folder));
}

void MainWindow::rememberSubfolders(const QString &folder, bool include)
{
    QSettings settings;
    QStringList folders = settings.value(subfolderFoldersKey).toStringList();
    const QString key = folderKey(folder);
    folders.removeAll(key);
    if (include)
        folders.prepend(key);
    settings.setValue(subfolderFoldersKey, folders.mid(0, rememberedFolders));
}

void MainWindow::addSubfoldersAction(QMenu *fileMenu)
{
    includeSubfoldersAction = fileMenu->addAction(tr("Include &Subfolders"));
    includeSubfoldersAction->setObjectName(QStringLiteral("includeSubfoldersAction"));
    includeSubfoldersAction->setCheckable(true);
    connect(includeSubfoldersAction, &QAction::triggered, this, &MainWindow::setIncludeSubfolders);
}

void MainWindow::setIncludeSubfolders(bool include)
{
    const QString folder = catalog->folder();
    if (folder.isEmpty()) {
        // Nothing open (or single files): there is no folder to remember it for.
        includeSubfoldersAction->setChecked(false);
        return;
    }
    rememberSubfolders(folder, include);
    stopSlideshow();
    openFolder(folder, catalog->currentPath());
}

// ---- Actions --------------------------------------------------------------

void MainWindow::addCullActions(QMenu *fileMenu)
{
    moveRejectedAction = fileMenu->addAction(tr("Move Re&jected Photos to Recycle Bin…"));
    moveRejectedAction->setObjectName(QStringLiteral("moveRejectedAction"));
    connect(moveRejectedAction, &QAction::triggered, this, &MainWindow::moveRejectedToRecycleBin);
    copyToAction = fileMenu->addAction(TransferTexts::menuText(false, 0, false));
    copyToAction->setObjectName(QStringLiteral("copyToAction"));
    connect(copyToAction, &QAction::triggered, this, &MainWindow::copyPhotosTo);
    moveToAction = fileMenu->addAction(TransferTexts::menuText(true, 0, false));
    moveToAction->setObjectName(QStringLiteral("moveToAction"));
    connect(moveToAction, &QAction::triggered, this, &MainWindow::movePhotosTo);
    fileMenu->addSeparator();
}

void MainWindow::updateCullActionStates()
{
    if (!moveRejectedAction)
        return;
    const bool busy = catalog->isMetadataBatchBusy();
    // Both entries say what they take, in the grid and in the single view alike.
    bool selected = false;
    const int count = int(photosToTransfer(&selected).size());
    copyToAction->setText(TransferTexts::menuText(false, count, selected));
    moveToAction->setText(TransferTexts::menuText(true, count, selected));
    copyToAction->setEnabled(count > 0 && !busy);
    moveToAction->setEnabled(count > 0 && !busy);
    // Which photos are rejected is known once the folder's sidecars are read.
    moveRejectedAction->setEnabled(!busy && catalog->isScanned() && !catalog->allFiles().isEmpty());
}

// ---- Recycle bin ------------------------------------------------------------

void MainWindow::moveSelectionToRecycleBin()
{
    const bool onGrid = gridPageCurrent();
    const QStringList selected = onGrid ? grid->selectedPaths() : QStringList{catalog->currentPath()};
    if (selected.isEmpty() || selected.constFirst().isEmpty())
        return;
    stopSlideshow();
    // The user should have seen what goes: rows without a picture yet are
    // loaded first, wherever they are, and the confirmation follows.
    const QStringList withoutPreview = onGrid ? grid->selectedPathsWithoutPreview() : QStringList();
    if (!withoutPreview.isEmpty()) {
        deletionWaiting = true;
        grid->loadPreviewsOf(withoutPreview);
        updateStatusAndTitle();
        return;
    }
    // The single view moves the photo on screen, which nobody selected.
    moveToRecycleBin(selected, onGrid ? Selection : OnScreen);
}

void MainWindow::moveRejectedToRecycleBin()
{
    if (catalog->isMetadataBatchBusy() || !catalog->isScanned())
        return;
    const QStringList rejected = catalog->rejectedPhotos();
    if (rejected.isEmpty()) {
        showNotice(tr("No photo in this folder is rejected"), cullMessageTimeoutMs);
        return;
    }
    stopSlideshow();
    moveToRecycleBin(rejected, Rejected);
}

void MainWindow::moveToRecycleBin(const QStringList &photos, RecycleReason reason)
{
    QStringList files;
    for (const QString &photo : photos)
        files += catalog->filesOf(photo);
    const QStringList listed = catalog->listedFiles();
    const int sidecars = RecycleBin::existingSidecarCount(listed, files);
    const auto answer = QMessageBox::question(
        this, reason == Rejected ? tr("Move rejected photos to Recycle Bin?") : tr("Move photos to Recycle Bin?"),
        RecycleBin::confirmationText(int(photos.size()), int(files.size()), sidecars, reason == Selection,
                                     photos.size() == 1 ? QFileInfo(photos.first()).fileName() : QString()),
        QMessageBox::Yes | QMessageBox::Cancel, QMessageBox::Cancel);
    if (answer != QMessageBox::Yes)
        return;

    const RecycleBin::Outcome outcome = RecycleBin::movePhotos(listed, files);

    // The viewer shows the photo that took the current one's place.
    const QString next = gridPageCurrent() ? grid->pathAfterRemoval(outcome.moved) : QString();
    if (!next.isEmpty())
        catalog->select(next);
    // A photo counts as moved when all its files went; a pair's file that
    // stayed behind is shown on its own.
    const int photosMoved = photosMovedCount(photos, outcome.moved);
    removeOwnFiles(outcome.moved);
    if (!outcome.trashed.isEmpty())
        fileUndo.push({FileUndo::Kind::Recycled, outcome.trashed, photosMoved, QString(),
                       catalog->newestUndoStepId()});
    updateActionStates();

    if (!outcome.failures.isEmpty()) {
        QMessageBox::warning(this, tr("Some files could not be moved"),
                             tr("%1 file(s) could not be moved to the Recycle Bin:\n\n%2")
                                 .arg(outcome.failures.size())
                                 .arg(outcome.failures.mid(0, listedFailures).join(QLatin1Char('\n'))));
    }
    showNotice(tr("%1 photo(s) moved to the Recycle Bin").arg(photosMoved), cullMessageTimeoutMs);
}

int MainWindow::photosMovedCount(const QStringList &photos, const QStringList &movedFiles) const
{
    const QSet<QString> moved(movedFiles.cbegin(), movedFiles.cend());
    int count = 0;
    for (const QString &photo : photos) {
        const QStringList own = catalog->filesOf(photo);
        count += std::all_of(own.cbegin(), own.cend(), [&](const QString &f) { return moved.contains(f); });
    }
    return count;
}

// ---- Photos leaving the folder ------------------------------------------------

void MainWindow::removeOwnFiles(const QStringList &files)
{
    const QScopedValueRollback<bool> own(removingOwnFiles, true);
    catalog->removeFiles(files);
}

void MainWindow::noteRemovedByOthers(const QStringList &paths)
{
    if (removingOwnFiles || paths.isEmpty())
        return;
    // Not silently: the photo the user was about to judge may be among them.
    const QString text = paths.size() == 1
                             ? tr("%1 was removed from the folder").arg(QFileInfo(paths.first()).fileName())
                             : tr("%1 photos were removed from the folder").arg(paths.size());
    // Once the catalog has moved on to the photo that takes the removed one's
    // place: a notice belongs to the photo it is shown on.
    QTimer::singleShot(0, this, [this, text] { showNotice(text, cullMessageTimeoutMs); });
}

// ---- Undo of photos moved away --------------------------------------------------

void MainWindow::undoFileStep()
{
    const FileUndo::Step step = fileUndo.last();
    const QString photosText = tr("%n photo(s)", nullptr, step.photos);
    QString problem;
    if (step.kind == FileUndo::Kind::Recycled) {
        if (!RecycleBin::canRestore(step.files)) {
            // Nothing else is taken back in its stead. Once said, the step
            // gives way, so that the marks before it can still be undone.
            fileUndo.dropLast();
            showWarning(tr("The move to the Recycle Bin cannot be undone here"));
            updateActionStates();
            return;
        }
        problem = RecycleBin::restore(step.files);
    } else {
        QList<QPair<QString, QString>> back;
        for (const auto &[was, now] : step.files)
            back.append({now, was});
        const PhotoCore::TransferResult result = PhotoCore::moveExactly(back);
        if (!result.failures.isEmpty())
            problem = tr("%1: %2").arg(QDir::toNativeSeparators(result.failures.first().path),
                                       result.failures.first().reason);
    }
    if (!problem.isEmpty()) {
        QMessageBox::warning(this, tr("Cannot Undo"),
                             tr("The photos were not put back; they are where they were.\n\n%1").arg(problem));
        return;
    }
    fileUndo.dropLast();
    // The photos are back in the folder; the listing finds them with their marks.
    catalog->rescan();
    showNotice(step.kind == FileUndo::Kind::Recycled
                   ? tr("Undone: %1 moved to the Recycle Bin").arg(photosText)
                   : tr("Undone: %1 moved to %2").arg(photosText, QDir::toNativeSeparators(step.where)),
               cullMessageTimeoutMs);
    updateActionStates();
}
