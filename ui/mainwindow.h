#pragma once

#include "core/phototransfer.h"
#include "grid/thumbnaillistmodel.h"
#include "ui/fileundo.h"

#include <QKeySequence>
#include <QList>
#include <QMainWindow>
#include <QMap>
#include <QString>
#include <QStringList>

#include <functional>

class QAction;
class QActionGroup;
class QDragEnterEvent;
class QDropEvent;
class QLabel;
class QMenu;
class QStackedWidget;
class PhotoCatalog;
class BurstGroups;
class QTimer;
class ThumbnailGridWidget;
class ViewerWidget;
struct ShortcutSection;

// The program's only top-level window: the single-photo viewer (page 0) and the
// thumbnail grid (page 1) in a stack, every command as an action with a
// configurable key, and the culling workflow that ties the two pages together.
// Closing the window ends the program. It takes folders and photos dropped on
// it, and keeps the pages' status text when a menu entry is hovered.
class MainWindow : public QMainWindow
{
    Q_OBJECT
public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    // The configurable actions by identifier ("file.open", "view.grid", ...).
    // Every entry carries its default key sequence, in portable text, in the
    // dynamic property "defaultShortcut".
    const QMap<QString, QAction *> &registeredActions() const { return actionsById; }

    // Opens what the command line or a drop names: a folder, or a photo's
    // folder at that photo. Replaces the restore of the last session.
    void openPath(const QString &path);

    // Copies the user's stored help shortcuts from the swapped pre-1.0.1
    // defaults (F1 overview, Ctrl+F1 manual) to the current ones, once per user.
    static void migrateHelpShortcuts();

protected:
    bool event(QEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private slots:
    void openFolder(const QString &path, const QString &fileToSelect);
    void chooseFolder();
    void refreshFolder();
    void restoreLastSession();
    void applyFilter();

    void toggleGridView();
    void openFromGrid(const QString &path);
    void toggleShortcutHelp();
    void toggleFullScreen();
    void toggleSlideshow();
    void advanceSlideshow();
    void skipUndisplayableSlide(const QString &path);

    void updateStatusAndTitle();
    void updateActionStates();
    void syncGridWithCatalog();
    void showWarning(const QString &message);
    void showHistoryApplied(const QString &message, const QStringList &photos);
    void reportBatchFailures(const QStringList &failures);
    void openPreferences();
    void openUserGuide();
    void openAbout();
    void rebuildShortcutOverlay();
    void moveSelectionToRecycleBin();
    void moveRejectedToRecycleBin();
    void copyPhotosTo();
    void movePhotosTo();
    void setIncludeSubfolders(bool include);

private:
    void createActions();
    void addWindowLevelActions();
    void connectPages();
    // Gives `action` its stored key, if the user chose one, and enters it in
    // the registry. `action` already carries `defaultSequence`.
    void registerShortcut(const QString &id, QAction *action, const QKeySequence &defaultSequence);
    QAction *addRegisteredAction(QMenu *menu, const QString &id, const QString &text, const QKeySequence &key);
    // A move through the photos: `onViewer` on the viewer page, `onGrid` on the grid page.
    QAction *addNavigationAction(QMenu *menu, const QString &id, const QString &text, const QList<QKeySequence> &keys,
                                 const std::function<void()> &onViewer, const std::function<void()> &onGrid);
    // A marking action: `onCurrent` on the viewer page, `onSelection` with the
    // grid's selected paths on the grid page.
    QAction *addMarkAction(QMenu *menu, const QString &id, const QString &text, const QKeySequence &key,
                           const std::function<void()> &onCurrent,
                           const std::function<void(const QStringList &)> &onSelection);
    void syncViewModeChecks();
    // Bursts: grouping, ranks and keeping the best (mainwindowgroups.cpp).
    void addGroupActions(QMenu *viewMenu, QMenu *navigateMenu, QMenu *ratingMenu);
    void updateGroupStatus();
    void keepBestOfGroup();
    // The first photo of the next (+1) or previous (-1) group from `from`, in
    // the page's list; empty at either end.
    QString groupStepTarget(const QString &from, int direction) const;
    // The grid's photos: with groups collapsed, one per group.
    QStringList gridFiles() const;
    QStringList collapsedForGrid(const QStringList &visible) const;
    // `path`, or the photo of its group that stands for it among `shown`.
    QString shownInGrid(const QString &path, const QStringList &shown) const;
    // Shows the collapsed group of `path` whole; false when there is none.
    bool expandGroupAt(const QString &path);
    QString sharpnessRankText(const QString &path) const;
    static QString ordinalText(int n);
    // What the grid's cells show of the bursts.
    QHash<QString, ThumbnailListModel::BurstCell> burstCells() const;
    // View › Compare Two Photos (mainwindowcompare.cpp).
    void addCompareAction(QMenu *viewMenu);
    void toggleCompare();
    // The keys of the compare view, for the shortcut overview.
    ShortcutSection compareKeys() const;
    // Next (+1) or previous (-1) photo; while comparing, the next candidate.
    void stepPhoto(int direction);
    // View › Focus Peaking, Histogram, Clipping Warning (mainwindowanalysis.cpp).
    void addAnalysisActions(QMenu *viewMenu);
    // View › Sort by (mainwindoworder.cpp).
    void addSortMenu(QMenu *viewMenu);
    // The end of a cull and the folder's extent (mainwindowcull.cpp).
    void addSubfoldersAction(QMenu *fileMenu);
    void addCullActions(QMenu *fileMenu);
    void updateCullActionStates();
    // View › Show Focus Points, Follow Focus Point (mainwindowfocus.cpp).
    void addFocusActions(QMenu *viewMenu);
    // Asks, then moves `photos` (shown photos, pairs whole) to the recycle bin.
    // `reason` says how they were chosen, which the question names: the grid's
    // selection, the photo on screen in the single view, or the folder's
    // rejected photos.
    enum RecycleReason { Selection, OnScreen, Rejected };
    void moveToRecycleBin(const QStringList &photos, RecycleReason reason);
    void transferPhotos(bool move);
    // Takes back the newest step of photos moved away (to a folder or the recycle bin).
    void undoFileStep();
    // How many of `photos` went whole, all of their files among `movedFiles`.
    int photosMovedCount(const QStringList &photos, const QStringList &movedFiles) const;
    // Takes photos that the program itself moved away out of the folder's list.
    void removeOwnFiles(const QStringList &files);
    // Says which photos left the folder through another program.
    void noteRemovedByOthers(const QStringList &paths);
    // What Copy and Move take: a grid selection of two or more photos, else the photos shown.
    QStringList photosToTransfer(bool *selected) const;
    PhotoCore::TransferResult runTransfer(const QList<PhotoCore::TransferGroup> &groups, const QString &target,
                                          PhotoCore::TransferMode mode);
    void noteMovedAway(const QList<PhotoCore::TransferGroup> &groups);
    void reportTransferFailures(const PhotoCore::TransferResult &result, bool move, const QString &where);
    // File › Import from Card… (mainwindowimport.cpp).
    void addImportAction(QMenu *fileMenu);
    void importFromCard();
    // Opens what an import made: its one folder, or the folder above its
    // several folders with its subfolders.
    void openImportedFolders(const QStringList &folders);
    // Shows `folder` with (or without) its subfolders from its next opening on.
    static void rememberSubfolders(const QString &folder, bool include);
    // Whether `folder` was last shown with its subfolders.
    static bool subfoldersRemembered(const QString &folder);
    // Shows `message` in the status bar for `timeoutMs`, or until another
    // photo becomes current, over whatever the pages report meanwhile.
    void showNotice(const QString &message, int timeoutMs);
    bool noticeShown();
    void stopWaitingForDeletion();

    static const QString plainTitle;
    void stopSlideshow();
    bool gridPageCurrent() const;

    PhotoCatalog *catalog = nullptr;
    BurstGroups *bursts = nullptr;
    QLabel *groupLabel = nullptr;
    QAction *collapseGroupsAction = nullptr;
    QList<int> expandedGroups; // of BurstGroups, shown whole while collapsed
    ViewerWidget *viewer = nullptr;
    ThumbnailGridWidget *grid = nullptr;
    QStackedWidget *stack = nullptr;
    QTimer *slideshowTimer = nullptr;
    QTimer *noticeTimer = nullptr;
    QString notice;
    QString noticePath;
    // The recycle bin was asked for while selected rows had no picture yet.
    bool deletionWaiting = false;
    QLabel *summaryLabel = nullptr;

    QMap<QString, QAction *> actionsById;
    QList<QAction *> markActions;
    QList<QAction *> navigationActions;
    QList<QAction *> filterActions;
    bool restoreSession = true;
    // Photos the running slideshow skipped in a row because they could not be shown.
    int slideshowSkips = 0;

    QAction *gridAction = nullptr;
    QAction *fullScreenAction = nullptr;
    QAction *leaveFullScreenAction = nullptr;
    bool maximizedBeforeFullScreen = false;
    bool removingOwnFiles = false;
    FileUndo fileUndo;
    QAction *fitAction = nullptr;
    QAction *actualSizeAction = nullptr;
    QAction *slideshowAction = nullptr;
    QAction *compareAction = nullptr;
    QAction *shortcutsAction = nullptr;
    QAction *allImagesAction = nullptr;
    QAction *moveToTrashAction = nullptr;
    QAction *moveRejectedAction = nullptr;
    QAction *copyToAction = nullptr;
    QAction *moveToAction = nullptr;
    QAction *includeSubfoldersAction = nullptr;
    QAction *undoAction = nullptr;
    QAction *redoAction = nullptr;
    QActionGroup *filterGroup = nullptr;
    // Further actions that are also added to the window itself.
    QAction *previousAction = nullptr;
    QAction *nextAction = nullptr;
    QAction *resumeAction = nullptr;
    QAction *smallerAction = nullptr;
    QAction *largerAction = nullptr;
    QAction *toggleSizeAction = nullptr;
    QAction *rotateLeftAction = nullptr;
    QAction *rotateRightAction = nullptr;
    QAction *exifAction = nullptr;
    QAction *focusPointsAction = nullptr;
    QAction *followFocusAction = nullptr;
    QAction *manualAction = nullptr;
    QAction *excludeFilterAction = nullptr;
};
