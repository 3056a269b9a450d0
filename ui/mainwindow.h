#pragma once

#include "ui/actionregistry.h"

#include <QMainWindow>
#include <QMap>
#include <QString>

class QAction;
class QDragEnterEvent;
class QDropEvent;
class QLabel;
class QMenu;
class QStackedWidget;
class QTimer;
class BurstGroups;
class CompareController;
class FiltersController;
class FoldersController;
class GroupsController;
class HistoryController;
class ImportController;
class MarksController;
class NavigationController;
class PhotoCatalog;
class SlideshowController;
class ThumbnailGridWidget;
class TransferController;
class ViewerController;
class ViewerWidget;

// The program's only top-level window, and the composition root of its
// features: it builds the single-photo viewer (page 0) and the thumbnail grid
// (page 1) in a stack, the menus, and one controller per feature, which owns
// that feature's actions and state. The window itself switches the pages and
// full screen, opens its dialogs and routes the status line: the pages' text,
// the controllers' notices over it, the title. Closing the window ends the
// program. It takes folders and photos dropped on it.
class MainWindow : public QMainWindow
{
    Q_OBJECT
public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    // The configurable actions by identifier ("file.open", "view.grid", ...).
    // Every entry carries its default key sequence, in portable text, in the
    // dynamic property "defaultShortcut".
    const QMap<QString, QAction *> &registeredActions() const { return registry->actions(); }

    // Opens what the command line or a drop names: a folder, or a photo's
    // folder at that photo. Replaces the restore of the last session.
    void openPath(const QString &path);

    // Copies the user's stored help shortcuts from the swapped pre-1.0.1
    // defaults (F1 overview, Ctrl+F1 manual) to the current ones, once per user.
    static void migrateHelpShortcuts() { ActionRegistry::migrateHelpShortcuts(); }

protected:
    bool event(QEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private slots:
    void toggleGridView();
    void openFromGrid(const QString &path);
    void toggleShortcutHelp();
    void toggleFullScreen();
    void updateStatusAndTitle();
    void updateActionStates();
    void syncGridWithCatalog();
    void openPreferences();
    void rebuildShortcutOverlay();

private:
    void createControllers();
    void createMenus();
    void connectPages();
    void setFullScreen(bool on);
    bool gridPageCurrent() const;
    // Shows `message` in the status bar for `timeoutMs`, or until another
    // photo becomes current, over whatever the pages report meanwhile.
    void showNotice(const QString &message, int timeoutMs);
    bool noticeShown();

    static const QString plainTitle;

    PhotoCatalog *catalog = nullptr;
    BurstGroups *bursts = nullptr;
    ViewerWidget *viewer = nullptr;
    ThumbnailGridWidget *grid = nullptr;
    QStackedWidget *stack = nullptr;
    ActionRegistry *registry = nullptr;

    FoldersController *folders = nullptr;
    ImportController *import = nullptr;
    SlideshowController *slideshow = nullptr;
    HistoryController *history = nullptr;
    TransferController *transfer = nullptr;
    NavigationController *navigation = nullptr;
    FiltersController *filters = nullptr;
    MarksController *marks = nullptr;
    GroupsController *groups = nullptr;
    CompareController *compare = nullptr;
    ViewerController *viewerOptions = nullptr;

    QTimer *noticeTimer = nullptr;
    QString notice;
    QString noticePath;
    QLabel *summaryLabel = nullptr;

    QAction *gridAction = nullptr;
    QAction *fullScreenAction = nullptr;
    QAction *leaveFullScreenAction = nullptr;
    QAction *shortcutsAction = nullptr;
    bool maximizedBeforeFullScreen = false;
};
