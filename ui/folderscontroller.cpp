#include "ui/folderscontroller.h"

#include "catalog/photocatalog.h"
#include "ui/actionregistry.h"
#include "ui/slideshowcontroller.h"
#include "ui/windowtexts.h"

#include <QAction>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMainWindow>
#include <QMenu>
#include <QMessageBox>
#include <QSettings>
#include <QStandardPaths>

namespace {

// Folders remembered as shown with their subfolders, the latest first.
const int rememberedFolders = 50;

const QString subfolderFoldersKey = QStringLiteral("view/foldersWithSubfolders");

QString folderKey(const QString &folder)
{
    return QDir::cleanPath(QFileInfo(folder).absoluteFilePath());
}

} // namespace

FoldersController::FoldersController(const WindowParts &windowParts, QObject *parent)
    : QObject(parent)
    , parts(windowParts)
{
    // The next start resumes the folder at the photo the user was on.
    connect(parts.catalog, &PhotoCatalog::currentChanged, this, [this] {
        const QString current = parts.catalog->currentPath();
        if (!current.isEmpty())
            QSettings().setValue(QStringLiteral("lastFile"), current);
    });
}

void FoldersController::addOpenTo(QMenu *fileMenu)
{
    QAction *openAction = parts.actions->add(fileMenu, QStringLiteral("file.open"), WindowTexts::tr("&Open Folder…"),
                                             QKeySequence(QKeySequence::Open));
    connect(openAction, &QAction::triggered, this, &FoldersController::chooseFolder);
    parts.keepInFullScreen(openAction);
}

void FoldersController::addRefreshTo(QMenu *fileMenu)
{
    includeSubfoldersAction = fileMenu->addAction(WindowTexts::tr("Include &Subfolders"));
    includeSubfoldersAction->setObjectName(QStringLiteral("includeSubfoldersAction"));
    includeSubfoldersAction->setCheckable(true);
    connect(includeSubfoldersAction, &QAction::triggered, this, &FoldersController::setIncludeSubfolders);
    QAction *reloadAction = parts.actions->add(fileMenu, QStringLiteral("metadata.reload"),
                                               WindowTexts::tr("&Refresh Folder and Metadata"),
                                               QKeySequence(QKeySequence::Refresh));
    connect(reloadAction, &QAction::triggered, this, &FoldersController::refreshFolder);
    parts.keepInFullScreen(reloadAction);
}

void FoldersController::openFolder(const QString &path, const QString &fileToSelect)
{
    const QFileInfo info(path);
    if (path.isEmpty() || !info.exists() || !info.isDir() || !info.isReadable() || !QDir(path).isReadable()) {
        QMessageBox::warning(parts.window, WindowTexts::tr("Folder unavailable"),
                             WindowTexts::tr("The folder cannot be opened:\n%1\n\nCheck the drive, network "
                                             "connection, and permissions.")
                                 .arg(path));
        return;
    }
    QSettings().setValue(QStringLiteral("lastDirectory"), path);
    const bool subfolders = subfoldersRemembered(path);
    includeSubfoldersAction->setChecked(subfolders);
    parts.catalog->openFolder(path, subfolders);
    if (!fileToSelect.isEmpty())
        parts.catalog->select(fileToSelect);
}

void FoldersController::openPath(const QString &path)
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

void FoldersController::chooseFolder()
{
    // In full screen the dialog would open over a window without its menus.
    if (parts.window->isFullScreen())
        parts.setFullScreen(false);
    QString start = QSettings().value(QStringLiteral("lastDirectory")).toString();
    if (start.isEmpty() || !QDir(start).exists())
        start = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    if (!QDir(start).exists())
        start = QDir::homePath();
    const QString folder = QFileDialog::getExistingDirectory(parts.window, WindowTexts::tr("Open Photo Folder"), start,
                                                             QFileDialog::ShowDirsOnly);
    if (!folder.isEmpty())
        openFolder(folder, QString());
}

void FoldersController::refreshFolder()
{
    const QString last = QSettings().value(QStringLiteral("lastDirectory")).toString();
    if (last.isEmpty())
        return;
    openFolder(last, parts.catalog->currentPath());
}

void FoldersController::restoreLastSession()
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

// ---- Subfolders -----------------------------------------------------------

bool FoldersController::subfoldersRemembered(const QString &folder)
{
    return QSettings().value(subfolderFoldersKey).toStringList().contains(folderKey(folder));
}

void FoldersController::rememberSubfolders(const QString &folder, bool include)
{
    QSettings settings;
    QStringList folders = settings.value(subfolderFoldersKey).toStringList();
    const QString key = folderKey(folder);
    folders.removeAll(key);
    if (include)
        folders.prepend(key);
    settings.setValue(subfolderFoldersKey, folders.mid(0, rememberedFolders));
}

void FoldersController::setIncludeSubfolders(bool include)
{
    const QString folder = parts.catalog->folder();
    if (folder.isEmpty()) {
        // Nothing open (or single files): there is no folder to remember it for.
        includeSubfoldersAction->setChecked(false);
        return;
    }
    rememberSubfolders(folder, include);
    parts.slideshow->stop();
    openFolder(folder, parts.catalog->currentPath());
}
