#include "ui/mainwindow.h"

#include "catalog/photocatalog.h"

#include <QAction>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QMimeData>
#include <QSettings>
#include <QStandardPaths>

// Which folder is open: chosen, dropped, named on the command line, refreshed
// or returned to from the last session.

void MainWindow::openFolder(const QString &path, const QString &fileToSelect)
{
    const QFileInfo info(path);
    if (path.isEmpty() || !info.exists() || !info.isDir() || !info.isReadable()
        || !QDir(path).isReadable()) {
        QMessageBox::warning(this, tr("Folder unavailable"),
                             tr("The folder cannot be opened:\n%1\n\nCheck the drive, network connection, and "
                                "permissions.")
                                 .arg(path));
        return;
    }
    QSettings().setValue(QStringLiteral("lastDirectory"), path);
    const bool subfolders = subfoldersRemembered(path);
    includeSubfoldersAction->setChecked(subfolders);
    catalog->openFolder(path, subfolders);
    if (!fileToSelect.isEmpty())
        catalog->select(fileToSelect);
}

void MainWindow::openPath(const QString &path)
{
    restoreSession = false;
    const QFileInfo info(path);
    if (info.isDir())
        openFolder(info.absoluteFilePath(), QString());
    else if (info.exists())
        openFolder(info.absolutePath(), info.absoluteFilePath());
    else
        openFolder(info.absoluteFilePath(), QString()); // says that it cannot be opened
}

void MainWindow::dragEnterEvent(QDragEnterEvent *event)
{
    const QList<QUrl> urls = event->mimeData()->urls();
    if (!urls.isEmpty() && urls.constFirst().isLocalFile())
        event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent *event)
{
    const QList<QUrl> urls = event->mimeData()->urls();
    if (urls.isEmpty() || !urls.constFirst().isLocalFile())
        return;
    event->acceptProposedAction();
    stopSlideshow();
    openPath(urls.constFirst().toLocalFile());
}

void MainWindow::chooseFolder()
{
    // In full screen the dialog would open over a window without its menus.
    if (isFullScreen())
        toggleFullScreen();
    QString start = QSettings().value(QStringLiteral("lastDirectory")).toString();
    if (start.isEmpty() || !QDir(start).exists())
        start = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    if (!QDir(start).exists())
        start = QDir::homePath();
    const QString folder = QFileDialog::getExistingDirectory(this, tr("Open Photo Folder"), start,
                                                             QFileDialog::ShowDirsOnly);
    if (!folder.isEmpty())
        openFolder(folder, QString());
}

void MainWindow::refreshFolder()
{
    const QString last = QSettings().value(QStringLiteral("lastDirectory")).toString();
    if (last.isEmpty())
        return;
    openFolder(last, catalog->currentPath());
}

void MainWindow::restoreLastSession()
{
    if (!restoreSession)
        return;
    QSettings settings;
    const QString last = settings.value(QStringLiteral("lastDirectory")).toString();
    // A folder that has gone away since the last run is skipped silently.
    if (last.isEmpty() || !QDir(last).exists())
        return;
    openFolder(last, settings.value(QStringLiteral("lastFile")).toString());
}
