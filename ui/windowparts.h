#pragma once

#include <QString>

#include <functional>

class ActionRegistry;
class QAction;
class BurstGroups;
class PhotoCatalog;
class QMainWindow;
class QStackedWidget;
class SlideshowController;
class ThumbnailGridWidget;
class ViewerWidget;

// What the window hands each feature controller: the models, the pages and
// the registry, plus the few things only the window itself can do. The
// window owns all of it and outlives every controller.
struct WindowParts
{
    static const int viewerPage = 0;
    static const int gridPage = 1;

    QMainWindow *window = nullptr; // parent of dialogs; its actions keep their keys in full screen
    PhotoCatalog *catalog = nullptr;
    BurstGroups *bursts = nullptr;
    ViewerWidget *viewer = nullptr;
    ThumbnailGridWidget *grid = nullptr;
    QStackedWidget *pages = nullptr;
    ActionRegistry *actions = nullptr;
    SlideshowController *slideshow = nullptr;

    // Leaves the grid for the single view of `path`.
    std::function<void(const QString &path)> openInViewer;
    std::function<void(bool on)> setFullScreen;

    bool gridShown() const;
    // The photo the user is on: in the grid, the one under the cursor.
    QString focusedPath() const;
    // Marks never wait for thumbnails: the user chose the photos, and a mark
    // can be undone. They wait only for a batch being written, and in the
    // grid for a selection.
    bool markable() const;
    // Makes `action` a key of the window itself: the menu bar is hidden in
    // full screen, and its keys must keep working there.
    void keepInFullScreen(QAction *action) const;
};
