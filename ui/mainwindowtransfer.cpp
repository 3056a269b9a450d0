#include "ui/mainwindow.h"

#include "catalog/photocatalog.h"
#include "catalog/phototransferjob.h"
#include "grid/thumbnailgridwidget.h"
#include "ui/transferdialog.h"
#include "ui/transfertexts.h"

#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QSettings>

// Copying or moving the picks into another folder, each photo with its pair
// partner and its sidecar.

namespace {

const int transferMessageTimeoutMs = 6000;
// Failures listed by name in a message box; the rest are counted.
const int listedFailures = 10;

} // namespace

void MainWindow::copyPhotosTo()
{
    transferPhotos(false);
}

void MainWindow::movePhotosTo()
{
    transferPhotos(true);
}

QStringList MainWindow::photosToTransfer(bool *selected) const
{
    // A selection of one is only where the cursor is; two or more were chosen.
    const QStringList chosen = grid->selectedPaths();
    *selected = chosen.size() >= 2;
    return *selected ? chosen : catalog->visibleFiles();
}

void MainWindow::transferPhotos(bool move)
{
    bool selected = false;
    const QStringList photos = photosToTransfer(&selected);
    if (photos.isEmpty() || catalog->isMetadataBatchBusy())
        return;
    stopSlideshow();
    // The marks still on their way belong in the sidecars that travel.
    catalog->writeQueue()->waitForDone();
    const QList<PhotoCore::TransferGroup> groups = catalog->transferGroups(photos);
    int sidecars = 0;
    for (const PhotoCore::TransferGroup &group : groups)
        sidecars += !group.sidecar.isEmpty() && QFileInfo(group.sidecar).isFile() ? 1 : 0;

    QSettings settings;
    const QString start = settings.value(QStringLiteral("transfer/lastFolder"), catalog->folder()).toString();
    TransferDialog dialog(move, TransferTexts::summary(int(photos.size()), selected, catalog->filter(), sidecars),
                          start, catalog->folder(), this);
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
                QMessageBox::information(this, tr("Move Photos To"),
                                         tr("Some of the photos are already in this folder:\n%1\n\nChoose another "
                                            "folder.")
                                             .arg(QDir::toNativeSeparators(target)));
                return;
            }
        }
        QMessageBox question(QMessageBox::Question, tr("Move Photos To"),
                             TransferTexts::moveQuestion(int(photos.size()), sidecars, target), QMessageBox::NoButton,
                             this);
        QPushButton *moveButton = question.addButton(tr("&Move"), QMessageBox::AcceptRole);
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
        FileUndo::Step step{FileUndo::Kind::MovedTo, {}, 0, target, catalog->newestUndoStepId()};
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
            fileUndo.push(step);
            updateActionStates();
        }
    }

    const QString where = QDir::toNativeSeparators(target);
    reportTransferFailures(result, move, where);
    const QString done = move ? tr("%1 of %2 photo(s) moved to %3") : tr("%1 of %2 photo(s) copied to %3");
    const QString summary = done.arg(result.photosDone).arg(groups.size()).arg(where);
    showNotice(result.cancelled ? tr("Cancelled: %1").arg(summary) : summary, transferMessageTimeoutMs);
}

PhotoCore::TransferResult MainWindow::runTransfer(const QList<PhotoCore::TransferGroup> &groups,
                                                  const QString &target, PhotoCore::TransferMode mode)
{
    const bool move = mode == PhotoCore::TransferMode::Move;
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
    job.start(groups, target, mode);
    loop.exec();
    progress.close();
    return result;
}

void MainWindow::noteMovedAway(const QList<PhotoCore::TransferGroup> &groups)
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

void MainWindow::reportTransferFailures(const PhotoCore::TransferResult &result, bool move, const QString &where)
{
    if (result.failures.isEmpty())
        return;
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
