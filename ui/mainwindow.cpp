#include "ui/mainwindow.h"
#include "ui/windowsize.h"

#include "catalog/burstgroups.h"
#include "catalog/photocatalog.h"
#include "grid/thumbnailgridwidget.h"
#include "imaging/burstanalysis.h"
#include "imaging/colourconversion.h"
#include "ui/aboutdialog.h"
#include "ui/comparecontroller.h"
#include "ui/filterscontroller.h"
#include "ui/folderscontroller.h"
#include "ui/groupscontroller.h"
#include "ui/helpdialog.h"
#include "ui/historycontroller.h"
#include "ui/importcontroller.h"
#include "ui/markscontroller.h"
#include "ui/menuplaces.h"
#include "ui/navigationcontroller.h"
#include "ui/preferencesdialog.h"
#include "ui/shortcutoverlay.h"
#include "ui/slideshowcontroller.h"
#include "ui/transfercontroller.h"
#include "ui/viewercontroller.h"
#include "ui/webaddress.h"
#include "ui/windowparts.h"
#include "ui/writeproblembar.h"
#include "viewer/viewerwidget.h"

#include <QAction>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QSettings>
#include <QStackedWidget>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

namespace {

const QString webSite = QStringLiteral("https://www.quillmark.net");
const int warningTimeoutMs = 12000;

} // namespace

const QString MainWindow::plainTitle = QStringLiteral("Quillmark Glanceway");

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent)
{
    catalog = new PhotoCatalog(this);
    catalog->setObjectName(QStringLiteral("catalog"));
    viewer = new ViewerWidget(catalog, this);
    grid = new ThumbnailGridWidget(this);
    bursts = new BurstGroups(catalog, &analyseBurstFrame, this);
    stack = new QStackedWidget(this);
    stack->setObjectName(QStringLiteral("stack"));
    stack->addWidget(viewer);
    stack->addWidget(grid);
    stack->setCurrentIndex(WindowParts::viewerPage);
    // The warning bar sits above both pages, so it is seen in the grid too.
    auto *central = new QWidget(this);
    auto *layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(new WriteProblemBar(catalog, central));
    layout->addWidget(stack, 1);
    setCentralWidget(central);
    setAcceptDrops(true);

    // Before any action reads its stored key.
    migrateHelpShortcuts();

    setWindowTitle(plainTitle);
    if (!restoreWindowPlacement(this))
        resizeWithinScreen(this, QSize(1200, 800));

    createControllers();
    createMenus();
    rebuildShortcutOverlay();

    summaryLabel = new QLabel(this);
    summaryLabel->setObjectName(QStringLiteral("summaryLabel"));
    // At its natural width, but never holding the window wider: an explicit
    // minimum stands in for the text's minimum size. (An Ignored width would
    // leave the label no room at all next to the bar's message.)
    summaryLabel->setMinimumWidth(1);
    summaryLabel->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    summaryLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    statusBar()->addPermanentWidget(summaryLabel);
    statusBar()->showMessage(tr("Open a folder to begin"));

    noticeTimer = new QTimer(this);
    noticeTimer->setSingleShot(true);
    connect(noticeTimer, &QTimer::timeout, this, &MainWindow::updateStatusAndTitle);

    connectPages();
    updateActionStates();
    QTimer::singleShot(0, folders, &FoldersController::restoreLastSession);
}

MainWindow::~MainWindow() = default;

void MainWindow::createControllers()
{
    registry = new ActionRegistry(this);
    WindowParts parts;
    parts.window = this;
    parts.catalog = catalog;
    parts.bursts = bursts;
    parts.viewer = viewer;
    parts.grid = grid;
    parts.pages = stack;
    parts.actions = registry;
    parts.openInViewer = [this](const QString &path) { openFromGrid(path); };
    parts.setFullScreen = [this](bool on) { setFullScreen(on); };
    // Every other feature pauses the show when it takes the photos elsewhere.
    slideshow = new SlideshowController(parts, this);
    parts.slideshow = slideshow;

    folders = new FoldersController(parts, this);
    import = new ImportController(parts, folders, this);
    history = new HistoryController(parts, this);
    transfer = new TransferController(parts, history, this);
    navigation = new NavigationController(parts, this);
    filters = new FiltersController(parts, this);
    marks = new MarksController(parts, this);
    groups = new GroupsController(parts, navigation, this);
    compare = new CompareController(parts, this);
    viewerOptions = new ViewerController(parts, this);

    // Notices of every feature share the one status line.
    connect(slideshow, &SlideshowController::notice, this, &MainWindow::showNotice);
    connect(history, &HistoryController::notice, this, &MainWindow::showNotice);
    connect(transfer, &TransferController::notice, this, &MainWindow::showNotice);
    connect(groups, &GroupsController::notice, this, &MainWindow::showNotice);
    connect(marks, &MarksController::notice, this, &MainWindow::showNotice);
    marks->setFramesBehind([this](const QString &cell) { return groups->framesBehind(cell); });
    connect(transfer, &TransferController::stateChanged, this, [this] {
        updateActionStates();
        updateStatusAndTitle();
    });
    connect(groups, &GroupsController::gridFilesChanged, this, &MainWindow::syncGridWithCatalog);
}

void MainWindow::createMenus()
{
    QMenuBar *bar = menuBar();

    QMenu *fileMenu = bar->addMenu(tr("&File"));
    folders->addOpenTo(fileMenu);
    import->addTo(fileMenu);
    folders->addRefreshTo(fileMenu);
    fileMenu->addSeparator();
    transfer->addTo(fileMenu);
    QAction *preferencesAction = registry->add(fileMenu, QStringLiteral("app.preferences"), tr("&Preferences…"),
                                              QKeySequence(QStringLiteral("Ctrl+Alt+S")));
    connect(preferencesAction, &QAction::triggered, this, &MainWindow::openPreferences);
    fileMenu->addSeparator();
    QAction *exitAction = fileMenu->addAction(tr("E&xit"));
    exitAction->setShortcut(QKeySequence(QKeySequence::Quit));
    connect(exitAction, &QAction::triggered, this, &QWidget::close);

    history->addTo(bar->addMenu(tr("&Edit")));

    QMenu *navigateMenu = bar->addMenu(tr("&Navigate"));
    navigation->addTo(navigateMenu);
    navigateMenu->addSeparator();
    filters->addResumeTo(navigateMenu);

    filters->addTo(bar->addMenu(tr("F&ilter")));

    QMenu *viewMenu = bar->addMenu(tr("&View"));
    fullScreenAction = registry->add(viewMenu, QStringLiteral("view.fullscreen"), tr("&Full Screen"),
                                    QKeySequence(Qt::Key_F));
    fullScreenAction->setObjectName(QStringLiteral("fullScreenAction"));
    connect(fullScreenAction, &QAction::triggered, this, &MainWindow::toggleFullScreen);
    gridAction = registry->add(viewMenu, QStringLiteral("view.grid"), tr("Thumbnail &Grid"), QKeySequence(Qt::Key_G));
    gridAction->setObjectName(QStringLiteral("gridAction"));
    gridAction->setCheckable(true);
    connect(gridAction, &QAction::triggered, this, &MainWindow::toggleGridView);
    QAction *smallerAction = registry->add(viewMenu, QStringLiteral("view.thumbnailsSmaller"),
                                          tr("&Smaller Thumbnails"), QKeySequence(QStringLiteral("Ctrl+-")));
    connect(smallerAction, &QAction::triggered, grid, &ThumbnailGridWidget::decreaseThumbnailSize);
    QAction *largerAction = registry->add(viewMenu, QStringLiteral("view.thumbnailsLarger"), tr("&Larger Thumbnails"),
                                         QKeySequence(QStringLiteral("Ctrl++")));
    connect(largerAction, &QAction::triggered, grid, &ThumbnailGridWidget::increaseThumbnailSize);
    viewMenu->addSeparator();
    viewerOptions->addZoomTo(viewMenu);
    compare->addTo(viewMenu);
    viewerOptions->addLayersTo(viewMenu);
    filters->addSortTo(viewMenu);

    QMenu *ratingMenu = bar->addMenu(tr("&Rating"));
    marks->addTo(ratingMenu);
    groups->addTo(viewMenu, navigateMenu, ratingMenu);

    slideshow->addTo(bar->addMenu(tr("&Slideshow")));

    QMenu *helpMenu = bar->addMenu(tr("&Help"));
    QAction *manualAction = registry->add(helpMenu, QStringLiteral("help.manual"), tr("&User Guide…"),
                                         QKeySequence(Qt::Key_F1));
    connect(manualAction, &QAction::triggered, this, [this] { HelpDialog(this).exec(); });
    shortcutsAction = registry->add(helpMenu, QStringLiteral("help.shortcuts"), tr("Show &Keyboard Shortcuts"),
                                   QKeySequence(QStringLiteral("Ctrl+F1")));
    shortcutsAction->setObjectName(QStringLiteral("shortcutsAction"));
    shortcutsAction->setCheckable(true);
    connect(shortcutsAction, &QAction::triggered, this, &MainWindow::toggleShortcutHelp);
    QAction *webHelpAction = helpMenu->addAction(tr("Help on the &Web…"));
    connect(webHelpAction, &QAction::triggered, this, [this] { openWebAddress(this, HelpDialog::onlineHelpUrl()); });
    QAction *feedbackAction = helpMenu->addAction(tr("Give F&eedback…"));
    feedbackAction->setObjectName(QStringLiteral("feedbackAction"));
    connect(feedbackAction, &QAction::triggered, this,
            [this] { openWebAddress(this, QUrl(webSite + QStringLiteral("/glanceway/test.html"))); });
    helpMenu->addSeparator();
    QAction *aboutAction = helpMenu->addAction(tr("&About %1…").arg(plainTitle));
    connect(aboutAction, &QAction::triggered, this, [this] { AboutDialog(this).exec(); });

    // Without a text it is never shown in a menu; it exists for its key alone.
    // Esc closes the shortcut overview first and leaves full screen next; it is
    // enabled only while there is one of them to close, and is otherwise the
    // focused widget's.
    leaveFullScreenAction = new QAction(this);
    leaveFullScreenAction->setObjectName(QStringLiteral("leaveFullScreenAction"));
    leaveFullScreenAction->setShortcut(QKeySequence(Qt::Key_Escape));
    leaveFullScreenAction->setEnabled(false);
    connect(leaveFullScreenAction, &QAction::triggered, this, [this] {
        // The overview is on screen only over the viewer page.
        if (viewer->isShortcutOverlayVisible() && !gridPageCurrent())
            toggleShortcutHelp();
        else if (isFullScreen())
            toggleFullScreen();
    });

    // The menu bar is hidden in full screen; these keys must keep working there.
    // (The controllers keep their own keys there.)
    addActions({manualAction, shortcutsAction, fullScreenAction, leaveFullScreenAction, gridAction, smallerAction,
                largerAction});
}

void MainWindow::connectPages()
{
    connect(viewer, &ViewerWidget::stateChanged, this, &MainWindow::updateStatusAndTitle);
    connect(catalog, &PhotoCatalog::catalogChanged, this, &MainWindow::syncGridWithCatalog);
    connect(catalog, &PhotoCatalog::currentChanged, this, &MainWindow::updateActionStates);
    connect(catalog, &PhotoCatalog::busyChanged, this, &MainWindow::updateActionStates);
    connect(catalog, &PhotoCatalog::summaryChanged, this, [this](int total, int reviewed, int rejected, int open) {
        summaryLabel->setText(
            tr("%1 total · %2 reviewed · %3 rejected · %4 open").arg(total).arg(reviewed).arg(rejected).arg(open));
    });
    const auto showWarning = [this](const QString &message) { showNotice(message, warningTimeoutMs); };
    connect(viewer, &ViewerWidget::warningRaised, this, showWarning);
    connect(catalog, &PhotoCatalog::warningRaised, this, showWarning);
    connect(catalog, &PhotoCatalog::metadataBatchBusyChanged, this, [this](bool busy) {
        updateActionStates();
        if (busy)
            statusBar()->showMessage(tr("Saving metadata for selected images…"));
        else
            updateStatusAndTitle();
    });
    connect(catalog, &PhotoCatalog::historyChanged, this, &MainWindow::updateActionStates);

    // Return on a collapsed group of bursts shows the group; on any other photo it opens it.
    connect(grid, &ThumbnailGridWidget::fileActivated, this, [this](const QString &path) {
        if (!groups->expandGroupAt(path))
            openFromGrid(path);
    });
    const auto followGrid = [this] {
        updateActionStates();
        updateStatusAndTitle();
    };
    connect(grid, &ThumbnailGridWidget::selectionChanged, this, followGrid);
    connect(grid, &ThumbnailGridWidget::previewAvailabilityChanged, this, followGrid);
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    saveWindowPlacement(this, maximizedBeforeFullScreen);
    QMainWindow::closeEvent(event);
}

void MainWindow::openPath(const QString &path)
{
    folders->openPath(path);
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
    slideshow->stop();
    openPath(urls.constFirst().toLocalFile());
}

// ---- Pages --------------------------------------------------------------

bool MainWindow::gridPageCurrent() const
{
    return stack->currentIndex() == WindowParts::gridPage;
}

void MainWindow::toggleGridView()
{
    if (gridAction->isChecked()) {
        slideshow->stop();
        syncGridWithCatalog();
        grid->setCurrentPath(catalog->currentPath());
        stack->setCurrentIndex(WindowParts::gridPage);
        updateActionStates();
        grid->setFocus(Qt::OtherFocusReason);
    } else {
        const QString path = grid->currentPath();
        if (!path.isEmpty())
            catalog->select(path);
        stack->setCurrentIndex(WindowParts::viewerPage);
        updateActionStates();
        grid->stopLoading();
        viewer->setFocus(Qt::OtherFocusReason);
    }
    updateStatusAndTitle();
}

void MainWindow::openFromGrid(const QString &path)
{
    catalog->select(path);
    stack->setCurrentIndex(WindowParts::viewerPage);
    gridAction->setChecked(false);
    updateActionStates();
    grid->stopLoading();
    viewer->setFocus(Qt::OtherFocusReason);
    // The viewer may report its state before the page changes (a photo from the
    // cache does so at once); the grid's selection message must not stay behind.
    updateStatusAndTitle();
}

void MainWindow::syncGridWithCatalog()
{
    const QString keep = gridPageCurrent() ? grid->currentPath() : catalog->currentPath();
    const QStringList visible = catalog->visibleFiles();
    grid->setLabels(catalog->includesSubfolders() ? catalog->folder() : QString(),
                    catalog->pairsShownAsOne() ? catalog->pairPartners() : QHash<QString, QString>());
    // Bursts collapsed leave one photo of each group in the grid, which stands for the others.
    const QStringList shown = groups->collapsedForGrid(visible);
    grid->setFiles(shown, catalog->records());
    const QString target = groups->shownInGrid(visible.contains(keep) ? keep : catalog->currentPath(), shown);
    if (!target.isEmpty() && target != grid->currentPath())
        grid->setCurrentPath(target);
    transfer->updateActions();
}

void MainWindow::toggleShortcutHelp()
{
    if (gridPageCurrent()) {
        catalog->select(grid->currentPath());
        stack->setCurrentIndex(WindowParts::viewerPage);
        gridAction->setChecked(false);
        grid->stopLoading();
        updateActionStates();
        updateStatusAndTitle();
        // Coming from the grid the overview is always shown, never hidden.
        if (viewer->isShortcutOverlayVisible())
            viewer->toggleShortcutOverlay();
    }
    // Built as it opens: the menu texts of some entries change with the page and the photos.
    if (!viewer->isShortcutOverlayVisible())
        rebuildShortcutOverlay();
    viewer->toggleShortcutOverlay();
    const bool visible = viewer->isShortcutOverlayVisible();
    shortcutsAction->setChecked(visible);
    shortcutsAction->setText(visible ? tr("Hide &Keyboard Shortcuts") : tr("Show &Keyboard Shortcuts"));
    leaveFullScreenAction->setEnabled(visible || isFullScreen());
    viewer->setFocus(Qt::OtherFocusReason);
}

void MainWindow::rebuildShortcutOverlay()
{
    viewer->setShortcutOverlayHtml(shortcutOverlayHtml(menuBarMenus(menuBar()), registry->actions().values(),
                                                       shortcutsAction, 3, {compare->keys()}));
}

// ---- Full screen ----------------------------------------------------------

void MainWindow::toggleFullScreen()
{
    if (isFullScreen()) {
        slideshow->stop();
        // Back to the window the user had: a maximized one stays maximized.
        if (maximizedBeforeFullScreen)
            showMaximized();
        else
            showNormal();
        menuBar()->show();
        statusBar()->show();
        fullScreenAction->setText(tr("&Full Screen"));
        leaveFullScreenAction->setEnabled(viewer->isShortcutOverlayVisible());
    } else {
        maximizedBeforeFullScreen = isMaximized();
        menuBar()->hide();
        statusBar()->hide();
        showFullScreen();
        fullScreenAction->setText(tr("E&xit Full Screen"));
        leaveFullScreenAction->setEnabled(true);
    }
    viewer->setFocus(Qt::OtherFocusReason);
}

void MainWindow::setFullScreen(bool on)
{
    if (on != isFullScreen())
        toggleFullScreen();
}

// ---- Status -------------------------------------------------------------

void MainWindow::updateStatusAndTitle()
{
    QString message;
    if (catalog->isMetadataBatchBusy()) {
        // Stays up until the batch ends, whatever else changes meanwhile.
        message = tr("Saving metadata for selected images…");
    } else if (noticeShown()) {
        message = notice;
    } else if (gridPageCurrent() && !catalog->visibleFiles().isEmpty()) {
        message = transfer->waitingText();
        if (message.isEmpty())
            message = tr("%1 image(s) selected — Ctrl-click and Shift-click to select — Enter to open")
                          .arg(grid->selectedCount());
    } else {
        message = viewer->statusText();
    }
    // Listed files the grid found nothing to show of would otherwise pass unnoticed.
    if (const int unshown = grid->failedCount(); unshown > 0 && !catalog->isMetadataBatchBusy() && !noticeShown()) {
        message += QStringLiteral(" — ")
                   + (unshown == 1 ? tr("1 file could not be shown") : tr("%1 files could not be shown").arg(unshown));
    }
    statusBar()->showMessage(message);

    viewerOptions->syncZoomChecks();

    // The title names the photo the user is on: in the grid, the one under the cursor.
    const QString current = gridPageCurrent() && !grid->currentPath().isEmpty() ? grid->currentPath()
                                                                                : catalog->currentPath();
    if (!current.isEmpty()) {
        // A filter shows in the title too, where the user looks for the photo's
        // name; with subfolders, so does the folder the tree starts at.
        const bool tree = catalog->includesSubfolders();
        QStringList parts{tree ? QDir(catalog->folder()).relativeFilePath(current) : QFileInfo(current).fileName()};
        if (catalog->filter() != QLatin1String("all"))
            parts.append(viewer->positionText());
        if (tree) {
            const QString top = QDir(catalog->folder()).dirName();
            parts.append(top.isEmpty() ? QDir::toNativeSeparators(catalog->folder()) : top);
        }
        parts.append(plainTitle);
        setWindowTitle(parts.join(QStringLiteral(" — ")));
    } else {
        setWindowTitle(plainTitle);
    }
}

bool MainWindow::event(QEvent *event)
{
    // Menu entries carry no status tips; hovering one would blank the pages'
    // text (the toolkit shows the empty tip) and nothing would bring it back.
    if (event->type() == QEvent::StatusTip && static_cast<QStatusTipEvent *>(event)->tip().isEmpty()) {
        updateStatusAndTitle();
        return true;
    }
    return QMainWindow::event(event);
}

void MainWindow::updateActionStates()
{
    marks->updateActions();
    groups->updateActions();
    transfer->updateActions();
    history->updateActions();
}

void MainWindow::showNotice(const QString &message, int timeoutMs)
{
    notice = message;
    noticePath = catalog->currentPath();
    noticeTimer->start(timeoutMs);
    statusBar()->showMessage(message);
}

bool MainWindow::noticeShown()
{
    if (noticeTimer->isActive() && catalog->currentPath() != noticePath)
        noticeTimer->stop();
    return noticeTimer->isActive();
}

// ---- Dialogs ------------------------------------------------------------

void MainWindow::openPreferences()
{
    const bool managed = colourManagementEnabled();
    PreferencesDialog dialog(registry->actions(), menuBarMenus(menuBar()), this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    rebuildShortcutOverlay();
    catalog->setPairsShownAsOne(QSettings().value(QStringLiteral("view/pairRawJpeg"), true).toBool());
    bursts->reloadSettings();
    viewer->refreshRawClipping();
    if (colourManagementEnabled() != managed) {
        viewer->refreshColours();
        grid->refreshColours();
    }
}
