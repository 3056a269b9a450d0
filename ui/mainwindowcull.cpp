#include "ui/mainwindow.h"

#include "catalog/photocatalog.h"
#include "catalog/phototransferjob.h"
#include "grid/thumbnailgridwidget.h"
#include "ui/recyclebin.h"

#include <QAction>
#include <QDir>
#include <QEventLoop>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>
#include <QMessageBox>
#include <QProgressDialog>
#include <QSettings>

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
    QSettings settings;
    QStringList folders = settings.value(subfolderFoldersKey).toStringList();
    const QString key = folderKey(folder);
    folders.removeAll(key);
    if (include)
        folders.prepend(key);
    settings.setValue(subfolderFoldersKey, folders.mid(0, rememberedFolders));
    stopSlideshow();
    openFolder(folder, catalog->currentPath());
}

// ---- Actions --------------------------------------------------------------

void MainWindow::addCullActions(QMenu *fileMenu)
{
    moveRejectedAction = fileMenu->addAction(tr("Move Re&jected Photos to Recycle Bin…"));
    moveRejectedAction->setObjectName(QStringLiteral("moveRejectedAction"));
    connect(moveRejectedAction, &QAction::triggered, this, &MainWindow::moveRejectedToRecycleBin);
    copyToAction = fileMenu->addAction(tr("&Copy Photos To…"));
    copyToAction->setObjectName(QStringLiteral("copyToAction"));
    connect(copyToAction, &QAction::triggered, this, &MainWindow::copyPhotosTo);
    moveToAction = fileMenu->addAction(tr("Mo&ve Photos To…"));
    moveToAction->setObjectName(QStringLiteral("moveToAction"));
    connect(moveToAction, &QAction::triggered, this, &MainWindow::movePhotosTo);
    fileMenu->addSeparator();
}

void MainWindow::updateCullActionStates()
{
    if (!moveRejectedAction)
        return;
    const bool busy = catalog->isMetadataBatchBusy();
    const bool any = gridPageCurrent() ? grid->selectedCount() > 0 : !catalog->visibleFiles().isEmpty();
    copyToAction->setEnabled(any && !busy);
    moveToAction->setEnabled(any && !busy);
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
        RecycleBin::confirmationText(int(photos.size()), int(files.size()), sidecars, reason == Selection),
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
    const QSet<QString> moved(outcome.moved.cbegin(), outcome.moved.cend());
    int photosMoved = 0;
    for (const QString &photo : photos) {
        const QStringList own = catalog->filesOf(photo);
        photosMoved += std::all_of(own.cbegin(), own.cend(), [&](const QString &f) { return moved.contains(f); });
    }
    catalog->removeFiles(outcome.moved);

    if (!outcome.failures.isEmpty()) {
        QMessageBox::warning(this, tr("Some files could not be moved"),
                             tr("%1 file(s) could not be moved to the Recycle Bin:\n\n%2")
                                 .arg(outcome.failures.size())
                                 .arg(outcome.failures.mid(0, listedFailures).join(QLatin1Char('\n'))));
    }
    showNotice(tr("%1 photo(s) moved to the Recycle Bin").arg(photosMoved), cullMessageTimeoutMs);
}

// ---- Copy and move ------------------------------------------------------------

void MainWindow::copyPhotosTo()
{
    transferPhotos(false);
}

void MainWindow::movePhotosTo()
{
    transferPhotos(true);
}

void MainWindow::transferPhotos(bool move)
{
    const QStringList photos = gridPageCurrent() ? grid->selectedPaths() : catalog->visibleFiles();
    if (photos.isEmpty() || catalog->isMetadataBatchBusy())
        return;
    stopSlideshow();
    QSettings settings;
    const QString start = settings.value(QStringLiteral("transfer/lastFolder"), catalog->folder()).toString();
    const QString target = QFileDialog::getExistingDirectory(this, move ? tr("Move Photos To") : tr("Copy Photos To"), start);
    if (target.isEmpty())
        return;
    settings.setValue(QStringLiteral("transfer/lastFolder"), target);

    const QList<PhotoCore::TransferGroup> groups = catalog->transferGroups(photos);
    if (move) {
        // Moving a photo into its own folder would only rename it; a link to
        // the folder is the folder.
        const auto resolved = [](const QString &folder) {
            const QString canonical = QFileInfo(folder).canonicalFilePath();
            return canonical.isEmpty() ? folderKey(folder) : canonical;
        };
        const QString targetKey = resolved(target);
        for (const PhotoCore::TransferGroup &group : groups) {
            if (resolved(QFileInfo(group.files.constFirst()).absolutePath()) == targetKey) {
                QMessageBox::information(this, tr("Move Photos To"),
                                         tr("Some of the photos are already in this folder:\n%1\n\nChoose another "
                                            "folder.")
                                             .arg(QDir::toNativeSeparators(target)));
                return;
            }
        }
    }
    // The marks still on their way belong in the sidecars that travel.
    catalog->writeQueue()->waitForDone();

    QProgressDialog progress(move ? tr("Moving photos…") : tr("Copying photos…"), tr("Cancel"), 0, 1000, this);
    progress.setWindowTitle(move ? tr("Move Photos To") : tr("Copy Photos To"));
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
                progress.setLabelText(move ? tr("Moving %1…").arg(name) : tr("Copying %1…").arg(name));
            });
    connect(&progress, &QProgressDialog::canceled, &job, &PhotoTransferJob::cancel);
    connect(&job, &PhotoTransferJob::finished, &loop, [&](const PhotoCore::TransferResult &r) {
        result = r;
        loop.quit();
    });
    job.start(groups, target, move ? PhotoCore::TransferMode::Move : PhotoCore::TransferMode::Copy);
    loop.exec();
    progress.close();

    if (move) {
        // Whatever left its place is gone from the folder, whole groups or not.
        QStringList gone;
        for (const PhotoCore::TransferGroup &group : groups) {
            for (const QString &file : group.files) {
                if (!QFileInfo::exists(file))
                    gone.append(file);
            }
        }
        catalog->removeFiles(gone);
    }

    const QString where = QDir::toNativeSeparators(target);
    if (!result.failures.isEmpty()) {
        QStringList lines;
        for (const PhotoCore::TransferFailure &failure : std::as_const(result.failures).mid(0, listedFailures))
            lines.append(tr("%1: %2").arg(QFileInfo(failure.path).fileName(), failure.reason));
        if (result.failures.size() > listedFailures)
            lines.append(tr("…and %1 more").arg(result.failures.size() - listedFailures));
        QMessageBox::warning(this, move ? tr("Some photos could not be moved") : tr("Some photos could not be copied"),
                             (move ? tr("These files were not moved to %1; they are still where they were:\n\n%2")
                                   : tr("These files were not copied to %1:\n\n%2"))
                                 .arg(where, lines.join(QLatin1Char('\n'))));
    }
    const QString done = move ? tr("%1 of %2 photo(s) moved to %3") : tr("%1 of %2 photo(s) copied to %3");
    const QString summary = done.arg(result.photosDone).arg(groups.size()).arg(where);
    showNotice(result.cancelled ? tr("Cancelled: %1").arg(summary) : summary, cullMessageTimeoutMs);
}
