#pragma once

#include "ui/windowparts.h"

#include <QObject>

class QAction;
class QMenu;

// Which folder is open: chosen, dropped, named on the command line, refreshed
// or returned to from the last session, and whether it is shown with its
// subfolders (remembered per folder).
class FoldersController : public QObject
{
    Q_OBJECT
public:
    FoldersController(const WindowParts &parts, QObject *parent);

    // File › Open Folder…
    void addOpenTo(QMenu *fileMenu);
    // File › Include Subfolders, Refresh Folder and Metadata.
    void addRefreshTo(QMenu *fileMenu);

    void openFolder(const QString &path, const QString &fileToSelect);
    // A folder, or a photo's folder at that photo. Replaces the restore of the
    // last session.
    void openPath(const QString &path);
    // Opens the folder of the last session at its last photo, unless a path was opened first.
    void restoreLastSession();

    // Shows `folder` with (or without) its subfolders from its next opening on.
    static void rememberSubfolders(const QString &folder, bool include);
    // Whether `folder` was last shown with its subfolders.
    static bool subfoldersRemembered(const QString &folder);

private:
    void chooseFolder();
    void refreshFolder();
    void setIncludeSubfolders(bool include);

    WindowParts parts;
    QAction *includeSubfoldersAction = nullptr;
    bool restoreSession = true;
};
