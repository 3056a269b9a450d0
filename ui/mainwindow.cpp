#include "ui/mainwindow.h"
#include "ui/windowsize.h"

#include "core/foldercatalog.h"
#include "grid/thumbnailgridwidget.h"
#include "ui/aboutdialog.h"
#include "ui/helpdialog.h"
#include "ui/preferencesdialog.h"
#include "ui/recyclebin.h"
#include "ui/shortcutoverlay.h"
#include "viewer/viewerwidget.h"

#include <QAction>
#include <QActionGroup>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QSettings>
#include <QStackedWidget>
#include <QStatusBar>
#include <QTimer>
#include <QUrl>

#include <algorithm>

namespace {

const QString plainTitle = QStringLiteral("Quillmark Glanceway");
const QString webSite = QStringLiteral("https://www.quillmark.net");

const int viewerPage = 0;
const int gridPage = 1;

const int warningTimeoutMs = 12000;
const int trashMessageTimeoutMs = 8000;

} // namespace

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent)
{
    viewer = new ViewerWidget(this);
    grid = new ThumbnailGridWidget(this);
    stack = new QStackedWidget(this);
    stack->setObjectName(QStringLiteral("stack"));
    stack->addWidget(viewer);
    stack->addWidget(grid);
    stack->setCurrentIndex(viewerPage);
    setCentralWidget(stack);

    // Before any action reads its stored key.
    migrateHelpShortcuts();

    setWindowTitle(plainTitle);
    resizeWithinScreen(this, QSize(1200, 800));

    createActions();
    rebuildShortcutOverlay();
    addWindowLevelActions();

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

    slideshowTimer = new QTimer(this);
    slideshowTimer->setObjectName(QStringLiteral("slideshowTimer"));
    slideshowTimer->setTimerType(Qt::PreciseTimer);
    slideshowTimer->setSingleShot(false);

    connectPages();
    updateActionStates();
    QTimer::singleShot(0, this, &MainWindow::restoreLastSession);
}

MainWindow::~MainWindow() = default;

// ---- Actions and shortcuts ----------------------------------------------

void MainWindow::migrateHelpShortcuts()
{
    QSettings settings;
    if (settings.value(QStringLiteral("migrations/helpShortcuts101"), false).toBool())
        return;
    const QString overviewKey = QStringLiteral("shortcuts/help.shortcuts");
    const QString manualKey = QStringLiteral("shortcuts/help.manual");
    if (settings.value(overviewKey, QStringLiteral("F1")).toString() == QLatin1String("F1")
        && settings.value(manualKey, QStringLiteral("Ctrl+F1")).toString() == QLatin1String("Ctrl+F1")) {
        if (settings.contains(overviewKey))
            settings.setValue(overviewKey, QStringLiteral("Ctrl+F1"));
        if (settings.contains(manualKey))
            settings.setValue(manualKey, QStringLiteral("F1"));
    }
    settings.setValue(QStringLiteral("migrations/helpShortcuts101"), true);
}

void MainWindow::registerShortcut(const QString &id, QAction *action, const QKeySequence &defaultSequence)
{
    action->setProperty("defaultShortcut", defaultSequence.toString(QKeySequence::PortableText));
    const QString stored = QSettings().value(QStringLiteral("shortcuts/") + id).toString();
    if (!stored.isEmpty())
        action->setShortcut(QKeySequence::fromString(stored, QKeySequence::PortableText));
    actionsById.insert(id, action);
}

QAction *MainWindow::addRegisteredAction(QMenu *menu, const QString &id, const QString &text,
                                         const QKeySequence &key)
{
    QAction *action = menu->addAction(text);
    action->setShortcut(key);
    registerShortcut(id, action, key);
    return action;
}

void MainWindow::createActions()
{
    QMenuBar *bar = menuBar();

    // File
    QMenu *fileMenu = bar->addMenu(tr("File"));
    QAction *openAction = addRegisteredAction(fileMenu, QStringLiteral("file.open"), tr("Open Folder…"),
                                              QKeySequence(QKeySequence::Open));
    connect(openAction, &QAction::triggered, this, &MainWindow::chooseFolder);
    QAction *reloadAction = addRegisteredAction(fileMenu, QStringLiteral("metadata.reload"),
                                                tr("Refresh Folder and Metadata"),
                                                QKeySequence(QKeySequence::Refresh));
    connect(reloadAction, &QAction::triggered, this, &MainWindow::refreshFolder);
    moveToTrashAction = fileMenu->addAction(tr("Move Selected Photos to Recycle Bin…"));
    moveToTrashAction->setObjectName(QStringLiteral("moveToTrashAction"));
    moveToTrashAction->setShortcut(QKeySequence(QKeySequence::Delete));
    moveToTrashAction->setShortcutContext(Qt::WindowShortcut);
    connect(moveToTrashAction, &QAction::triggered, this, &MainWindow::moveSelectionToRecycleBin);
    QAction *preferencesAction = addRegisteredAction(fileMenu, QStringLiteral("app.preferences"),
                                                     tr("Preferences…"), QKeySequence(QStringLiteral("Ctrl+Alt+S")));
    connect(preferencesAction, &QAction::triggered, this, &MainWindow::openPreferences);
    fileMenu->addSeparator();
    QAction *exitAction = fileMenu->addAction(tr("Exit"));
    exitAction->setShortcut(QKeySequence(QKeySequence::Quit));
    connect(exitAction, &QAction::triggered, this, &QWidget::close);

    // Navigate
    QMenu *navigateMenu = bar->addMenu(tr("Navigate"));
    previousAction = navigateMenu->addAction(tr("Previous Image"));
    previousAction->setShortcuts({QKeySequence(Qt::Key_Left), QKeySequence(Qt::Key_Less)});
    previousAction->setShortcutContext(Qt::WindowShortcut);
    registerShortcut(QStringLiteral("navigate.previous"), previousAction, QKeySequence(Qt::Key_Left));
    connect(previousAction, &QAction::triggered, this, [this] {
        stopSlideshow();
        if (gridPageCurrent())
            grid->moveSelection(-1);
        else
            viewer->previousImage();
    });
    nextAction = navigateMenu->addAction(tr("Next Image"));
    nextAction->setShortcuts({QKeySequence(Qt::Key_Right), QKeySequence(Qt::Key_Greater)});
    nextAction->setShortcutContext(Qt::WindowShortcut);
    registerShortcut(QStringLiteral("navigate.next"), nextAction, QKeySequence(Qt::Key_Right));
    connect(nextAction, &QAction::triggered, this, [this] {
        stopSlideshow();
        if (gridPageCurrent())
            grid->moveSelection(+1);
        else
            viewer->nextImage();
    });
    navigateMenu->addSeparator();
    resumeAction = addRegisteredAction(navigateMenu, QStringLiteral("navigate.resumeReview"),
                                       tr("Resume Review"), QKeySequence(Qt::Key_L));
    connect(resumeAction, &QAction::triggered, this, [this] {
        stopSlideshow();
        // The viewer returns to "all" by itself; the menu only follows.
        allImagesAction->setChecked(true);
        viewer->resumeReview();
    });

    // Filter
    QMenu *filterMenu = bar->addMenu(tr("Filter"));
    filterGroup = new QActionGroup(this);
    filterGroup->setExclusive(true);
    struct FilterEntry
    {
        const char *id;
        const char *text;
    };
    static const FilterEntry filters[] = {
        {"all", QT_TRANSLATE_NOOP("Filter", "All Images")},
        {"zerostars", QT_TRANSLATE_NOOP("Filter", "Zero Stars")},
        {"unrated", QT_TRANSLATE_NOOP("Filter", "Unreviewed")},
        {"rejected", QT_TRANSLATE_NOOP("Filter", "Rejected")},
        {"rating:1", QT_TRANSLATE_NOOP("Filter", "1 Star")},
        {"rating:2", QT_TRANSLATE_NOOP("Filter", "2 Stars")},
        {"rating:3", QT_TRANSLATE_NOOP("Filter", "3 Stars")},
        {"rating:4", QT_TRANSLATE_NOOP("Filter", "4 Stars")},
        {"rating:5", QT_TRANSLATE_NOOP("Filter", "5 Stars")},
        {"color:Red", QT_TRANSLATE_NOOP("Filter", "Red")},
        {"color:Yellow", QT_TRANSLATE_NOOP("Filter", "Yellow")},
        {"color:Green", QT_TRANSLATE_NOOP("Filter", "Green")},
        {"color:Blue", QT_TRANSLATE_NOOP("Filter", "Blue")},
    };
    for (const FilterEntry &entry : filters) {
        QAction *action = filterMenu->addAction(QCoreApplication::translate("Filter", entry.text));
        action->setCheckable(true);
        action->setData(QString::fromLatin1(entry.id));
        filterGroup->addAction(action);
        if (!allImagesAction) {
            allImagesAction = action;
            allImagesAction->setObjectName(QStringLiteral("allImagesAction"));
            allImagesAction->setChecked(true);
        }
    }
    connect(filterGroup, &QActionGroup::triggered, this, &MainWindow::applyFilter);
    filterMenu->addSeparator();
    excludeFilterAction = filterMenu->addAction(tr("Exclude selected filter"));
    excludeFilterAction->setObjectName(QStringLiteral("excludeFilterAction"));
    excludeFilterAction->setCheckable(true);
    connect(excludeFilterAction, &QAction::toggled, this, &MainWindow::applyFilter);

    // View
    QMenu *viewMenu = bar->addMenu(tr("View"));
    fullScreenAction = addRegisteredAction(viewMenu, QStringLiteral("view.fullscreen"), tr("Full Screen"),
                                           QKeySequence(Qt::Key_F));
    fullScreenAction->setObjectName(QStringLiteral("fullScreenAction"));
    connect(fullScreenAction, &QAction::triggered, this, &MainWindow::toggleFullScreen);
    gridAction = addRegisteredAction(viewMenu, QStringLiteral("view.grid"), tr("Thumbnail Grid"),
                                     QKeySequence(Qt::Key_G));
    gridAction->setObjectName(QStringLiteral("gridAction"));
    gridAction->setCheckable(true);
    connect(gridAction, &QAction::triggered, this, &MainWindow::toggleGridView);
    smallerAction = addRegisteredAction(viewMenu, QStringLiteral("view.thumbnailsSmaller"),
                                        tr("Smaller Thumbnails"), QKeySequence(QStringLiteral("Ctrl+-")));
    connect(smallerAction, &QAction::triggered, grid, &ThumbnailGridWidget::decreaseThumbnailSize);
    largerAction = addRegisteredAction(viewMenu, QStringLiteral("view.thumbnailsLarger"),
                                       tr("Larger Thumbnails"), QKeySequence(QStringLiteral("Ctrl++")));
    connect(largerAction, &QAction::triggered, grid, &ThumbnailGridWidget::increaseThumbnailSize);
    viewMenu->addSeparator();
    fitAction = addRegisteredAction(viewMenu, QStringLiteral("view.fit"), tr("Fit to Window"),
                                    QKeySequence(QStringLiteral("Ctrl+0")));
    fitAction->setObjectName(QStringLiteral("fitAction"));
    fitAction->setCheckable(true);
    connect(fitAction, &QAction::triggered, viewer, &ViewerWidget::setFitMode);
    actualSizeAction = addRegisteredAction(viewMenu, QStringLiteral("view.actualSize"), tr("Actual Size (100%)"),
                                           QKeySequence(QStringLiteral("Ctrl+1")));
    actualSizeAction->setObjectName(QStringLiteral("actualSizeAction"));
    actualSizeAction->setCheckable(true);
    connect(actualSizeAction, &QAction::triggered, viewer, &ViewerWidget::setActualSizeMode);
    toggleSizeAction = addRegisteredAction(viewMenu, QStringLiteral("view.toggleSize"), tr("Toggle Fit / 100%"),
                                           QKeySequence(Qt::Key_Z));
    connect(toggleSizeAction, &QAction::triggered, viewer, &ViewerWidget::toggleViewMode);
    // A click on an already checked mode must not leave it unchecked.
    for (QAction *action : {fitAction, actualSizeAction, toggleSizeAction})
        connect(action, &QAction::triggered, this, &MainWindow::syncViewModeChecks);
    viewMenu->addSeparator();
    rotateLeftAction = addRegisteredAction(viewMenu, QStringLiteral("view.rotateLeft"), tr("Rotate Left 90°"),
                                           QKeySequence(QStringLiteral("Ctrl+,")));
    connect(rotateLeftAction, &QAction::triggered, viewer, &ViewerWidget::rotateCounterClockwise);
    rotateRightAction = addRegisteredAction(viewMenu, QStringLiteral("view.rotateRight"), tr("Rotate Right 90°"),
                                            QKeySequence(QStringLiteral("Ctrl+.")));
    connect(rotateRightAction, &QAction::triggered, viewer, &ViewerWidget::rotateClockwise);
    viewMenu->addSeparator();
    exifAction = addRegisteredAction(viewMenu, QStringLiteral("view.exifOverlay"), tr("Show EXIF Overlay"),
                                     QKeySequence(QStringLiteral("?")));
    connect(exifAction, &QAction::triggered, viewer, &ViewerWidget::toggleExifOverlay);

    // Rating
    QMenu *ratingMenu = bar->addMenu(tr("Rating"));
    for (int stars = 0; stars <= 5; ++stars) {
        const QString text = stars == 0 ? tr("Clear Rating") : tr("%1 Star(s)").arg(stars);
        addMarkAction(
            ratingMenu, QStringLiteral("rating.%1").arg(stars), text, QKeySequence(Qt::Key_0 + stars),
            [this, stars] { viewer->setRating(stars); },
            [this, stars](const QStringList &files) { viewer->setRatingForFiles(files, stars); });
    }
    ratingMenu->addSeparator();
    static const char *const colours[] = {QT_TRANSLATE_NOOP("ColorLabel", "Red"),
                                          QT_TRANSLATE_NOOP("ColorLabel", "Yellow"),
                                          QT_TRANSLATE_NOOP("ColorLabel", "Green"),
                                          QT_TRANSLATE_NOOP("ColorLabel", "Blue")};
    for (int i = 0; i < 4; ++i) {
        // The viewer always receives the English name; only the text is translated.
        const QString name = QString::fromLatin1(colours[i]);
        addMarkAction(
            ratingMenu, QStringLiteral("color.%1").arg(name.toLower()),
            tr("Color: %1").arg(QCoreApplication::translate("ColorLabel", colours[i])),
            QKeySequence(Qt::Key_6 + i), [this, name] { viewer->setColorLabel(name); },
            [this, name](const QStringList &files) { viewer->setColorLabelForFiles(files, name); });
    }
    ratingMenu->addSeparator();
    addMarkAction(
        ratingMenu, QStringLiteral("rating.reject"), tr("Reject"), QKeySequence(Qt::Key_X),
        [this] { viewer->rejectImage(); },
        [this](const QStringList &files) { viewer->setRejectedForFiles(files, true); });
    addMarkAction(
        ratingMenu, QStringLiteral("rating.clearReject"), tr("Clear Rejection"), QKeySequence(Qt::Key_U),
        [this] { viewer->clearRejection(); },
        [this](const QStringList &files) { viewer->setRejectedForFiles(files, false); });
    addMarkAction(
        ratingMenu, QStringLiteral("rating.clearColor"), tr("Clear Color Label"), QKeySequence(Qt::Key_C),
        [this] { viewer->clearColorLabel(); },
        [this](const QStringList &files) { viewer->clearColorLabelForFiles(files); });
    addMarkAction(
        ratingMenu, QStringLiteral("rating.clearAll"), tr("Clear All Marks"),
        QKeySequence(QStringLiteral("Shift+0")), [this] { viewer->clearAllMarks(); },
        [this](const QStringList &files) { viewer->clearAllMarksForFiles(files); });

    // Slideshow
    QMenu *slideshowMenu = bar->addMenu(tr("Slideshow"));
    slideshowAction = addRegisteredAction(slideshowMenu, QStringLiteral("slideshow.toggle"), tr("Start Slideshow"),
                                          QKeySequence(Qt::Key_S));
    slideshowAction->setObjectName(QStringLiteral("slideshowAction"));
    connect(slideshowAction, &QAction::triggered, this, &MainWindow::toggleSlideshow);

    // Help
    QMenu *helpMenu = bar->addMenu(tr("Help"));
    manualAction = addRegisteredAction(helpMenu, QStringLiteral("help.manual"), tr("User Guide…"),
                                       QKeySequence(Qt::Key_F1));
    connect(manualAction, &QAction::triggered, this, &MainWindow::openUserGuide);
    shortcutsAction = addRegisteredAction(helpMenu, QStringLiteral("help.shortcuts"), tr("Show Keyboard Shortcuts"),
                                          QKeySequence(QStringLiteral("Ctrl+F1")));
    shortcutsAction->setObjectName(QStringLiteral("shortcutsAction"));
    shortcutsAction->setCheckable(true);
    connect(shortcutsAction, &QAction::triggered, this, &MainWindow::toggleShortcutHelp);
    QAction *webHelpAction = helpMenu->addAction(tr("Help on the Web…"));
    connect(webHelpAction, &QAction::triggered, this,
            [] { QDesktopServices::openUrl(QUrl(webSite + QStringLiteral("/glanceway/hilfe.html"))); });
    QAction *feedbackAction = helpMenu->addAction(tr("Give Feedback…"));
    feedbackAction->setObjectName(QStringLiteral("feedbackAction"));
    connect(feedbackAction, &QAction::triggered, this,
            [] { QDesktopServices::openUrl(QUrl(webSite + QStringLiteral("/glanceway/test.html"))); });
    helpMenu->addSeparator();
    QAction *aboutAction = helpMenu->addAction(tr("About %1…").arg(plainTitle));
    connect(aboutAction, &QAction::triggered, this, &MainWindow::openAbout);

    // Without a text it is never shown in a menu; it exists for its key alone.
    leaveFullScreenAction = new QAction(this);
    leaveFullScreenAction->setObjectName(QStringLiteral("leaveFullScreenAction"));
    leaveFullScreenAction->setShortcut(QKeySequence(Qt::Key_Escape));
    leaveFullScreenAction->setEnabled(false);
    connect(leaveFullScreenAction, &QAction::triggered, this, &MainWindow::toggleFullScreen);
}

QAction *MainWindow::addMarkAction(QMenu *menu, const QString &id, const QString &text, const QKeySequence &key,
                                   const std::function<void()> &onCurrent,
                                   const std::function<void(const QStringList &)> &onSelection)
{
    QAction *action = addRegisteredAction(menu, id, text, key);
    connect(action, &QAction::triggered, this, [this, onCurrent, onSelection] {
        if (gridPageCurrent())
            onSelection(grid->selectedPaths());
        else
            onCurrent();
    });
    markActions.append(action);
    return action;
}

void MainWindow::addWindowLevelActions()
{
    // The menu bar is hidden in full screen; these keys must keep working there.
    addAction(moveToTrashAction);
    addAction(previousAction);
    addAction(nextAction);
    addAction(resumeAction);
    addActions(markActions);
    addAction(slideshowAction);
    addAction(manualAction);
    addAction(shortcutsAction);
    addAction(fullScreenAction);
    addAction(leaveFullScreenAction);
    addAction(fitAction);
    addAction(actualSizeAction);
    addAction(toggleSizeAction);
    addAction(rotateLeftAction);
    addAction(rotateRightAction);
    addAction(exifAction);
    addAction(gridAction);
    addAction(smallerAction);
    addAction(largerAction);
}

void MainWindow::connectPages()
{
    connect(viewer, &ViewerWidget::stateChanged, this, &MainWindow::updateStatusAndTitle);
    connect(viewer, &ViewerWidget::catalogChanged, this, &MainWindow::syncGridWithViewer);
    connect(viewer, &ViewerWidget::summaryChanged, this,
            [this](int total, int reviewed, int rejected, int open) {
                summaryLabel->setText(tr("%1 total · %2 reviewed · %3 rejected · %4 open")
                                          .arg(total)
                                          .arg(reviewed)
                                          .arg(rejected)
                                          .arg(open));
            });
    connect(viewer, &ViewerWidget::warningRaised, this,
            [this](const QString &message) { statusBar()->showMessage(message, warningTimeoutMs); });
    connect(viewer, &ViewerWidget::manualNavigationRequested, this, [this](int direction) {
        stopSlideshow();
        if (direction < 0)
            viewer->previousImage();
        else
            viewer->nextImage();
    });
    connect(viewer, &ViewerWidget::metadataBatchBusyChanged, this, [this](bool busy) {
        updateActionStates();
        if (busy)
            statusBar()->showMessage(tr("Saving metadata for selected images…"));
        else
            updateStatusAndTitle();
    });
    connect(viewer, &ViewerWidget::metadataBatchFinished, this, &MainWindow::reportBatchFailures);

    connect(grid, &ThumbnailGridWidget::fileActivated, this, &MainWindow::openFromGrid);
    connect(grid, &ThumbnailGridWidget::selectionChanged, this, [this] {
        updateActionStates();
        updateStatusAndTitle();
    });
    connect(grid, &ThumbnailGridWidget::previewAvailabilityChanged, this, [this] {
        updateActionStates();
        updateStatusAndTitle();
    });

    connect(slideshowTimer, &QTimer::timeout, this, &MainWindow::advanceSlideshow);
}

// ---- Folders ------------------------------------------------------------

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
    viewer->openFiles(PhotoCore::listPhotoFiles(path));
    syncGridWithViewer();
    if (!fileToSelect.isEmpty())
        viewer->selectFile(fileToSelect);
}

void MainWindow::chooseFolder()
{
    const QString start = QSettings().value(QStringLiteral("lastDirectory")).toString();
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
    openFolder(last, viewer->currentFilePath());
}

void MainWindow::restoreLastSession()
{
    QSettings settings;
    const QString last = settings.value(QStringLiteral("lastDirectory")).toString();
    // A folder that has gone away since the last run is skipped silently.
    if (last.isEmpty() || !QDir(last).exists())
        return;
    openFolder(last, settings.value(QStringLiteral("lastFile")).toString());
}

void MainWindow::applyFilter()
{
    const QAction *checked = filterGroup->checkedAction();
    if (!checked)
        return;
    QString id = checked->data().toString();
    if (excludeFilterAction->isChecked() && id != QLatin1String("all"))
        id.prepend(QStringLiteral("not:"));
    viewer->setFilter(id);
}

// ---- Pages --------------------------------------------------------------

bool MainWindow::gridPageCurrent() const
{
    return stack->currentIndex() == gridPage;
}

void MainWindow::toggleGridView()
{
    if (gridAction->isChecked()) {
        stopSlideshow();
        syncGridWithViewer();
        grid->setCurrentPath(viewer->currentFilePath());
        stack->setCurrentIndex(gridPage);
        updateActionStates();
        grid->setFocus(Qt::OtherFocusReason);
    } else {
        const QString path = grid->currentPath();
        if (!path.isEmpty())
            viewer->selectFile(path);
        stack->setCurrentIndex(viewerPage);
        updateActionStates();
        grid->stopLoading();
        viewer->setFocus(Qt::OtherFocusReason);
    }
    updateStatusAndTitle();
}

void MainWindow::openFromGrid(const QString &path)
{
    viewer->selectFile(path);
    stack->setCurrentIndex(viewerPage);
    gridAction->setChecked(false);
    updateActionStates();
    grid->stopLoading();
    viewer->setFocus(Qt::OtherFocusReason);
    // The viewer may report its state before the page changes (a photo from the
    // cache does so at once); the grid's selection message must not stay behind.
    updateStatusAndTitle();
}

void MainWindow::toggleShortcutHelp()
{
    if (gridPageCurrent()) {
        viewer->selectFile(grid->currentPath());
        stack->setCurrentIndex(viewerPage);
        gridAction->setChecked(false);
        grid->stopLoading();
        updateActionStates();
        updateStatusAndTitle();
        // Coming from the grid the overview is always shown, never hidden.
        if (viewer->isShortcutOverlayVisible())
            viewer->toggleShortcutOverlay();
    }
    viewer->toggleShortcutOverlay();
    const bool visible = viewer->isShortcutOverlayVisible();
    shortcutsAction->setChecked(visible);
    shortcutsAction->setText(visible ? tr("Hide Keyboard Shortcuts") : tr("Show Keyboard Shortcuts"));
    viewer->setFocus(Qt::OtherFocusReason);
}

void MainWindow::syncViewModeChecks()
{
    fitAction->setChecked(viewer->viewMode() == 0);
    actualSizeAction->setChecked(viewer->viewMode() == 1);
}

// ---- Full screen and slideshow ------------------------------------------

void MainWindow::toggleFullScreen()
{
    if (isFullScreen()) {
        if (slideshowTimer->isActive())
            toggleSlideshow();
        showNormal();
        menuBar()->show();
        statusBar()->show();
        fullScreenAction->setText(tr("Full Screen"));
        leaveFullScreenAction->setEnabled(false);
    } else {
        menuBar()->hide();
        statusBar()->hide();
        showFullScreen();
        fullScreenAction->setText(tr("Exit Full Screen"));
        leaveFullScreenAction->setEnabled(true);
    }
    viewer->setFocus(Qt::OtherFocusReason);
}

void MainWindow::stopSlideshow()
{
    if (slideshowTimer->isActive())
        toggleSlideshow();
}

void MainWindow::toggleSlideshow()
{
    if (slideshowTimer->isActive()) {
        slideshowTimer->stop();
        slideshowAction->setText(tr("Start Slideshow"));
        return;
    }
    if (viewer->currentFilePath().isEmpty())
        return;
    const int seconds = std::clamp(QSettings().value(QStringLiteral("slideshow/seconds"), 4).toInt(), 1, 300);
    slideshowTimer->start(seconds * 1000);
    slideshowAction->setText(tr("Pause Slideshow"));
    if (!isFullScreen())
        toggleFullScreen();
}

void MainWindow::advanceSlideshow()
{
    if (!viewer->isAtLastImage()) {
        viewer->nextImage();
        return;
    }
    if (QSettings().value(QStringLiteral("slideshow/loop"), false).toBool())
        viewer->firstImage();
    else
        toggleSlideshow();
}

// ---- Status -------------------------------------------------------------

void MainWindow::updateStatusAndTitle()
{
    QString message;
    if (viewer->isMetadataBatchBusy()) {
        // Stays up until the batch ends, whatever else changes meanwhile.
        message = tr("Saving metadata for selected images…");
    } else if (gridPageCurrent() && !viewer->visibleFiles().isEmpty()) {
        const int selected = grid->selectedCount();
        const int withoutPreview = int(grid->selectedPathsWithoutPreview().size());
        if (withoutPreview < 1)
            message = tr("%1 image(s) selected — Ctrl-click and Shift-click to select — Enter to open").arg(selected);
        else
            message = tr("%1 image(s) selected — %2 preview(s) not visible yet — rating and deletion paused")
                          .arg(selected)
                          .arg(withoutPreview);
    } else {
        message = viewer->statusText();
    }
    statusBar()->showMessage(message);

    syncViewModeChecks();

    const QString current = viewer->currentFilePath();
    if (!current.isEmpty()) {
        QSettings().setValue(QStringLiteral("lastFile"), current);
        setWindowTitle(QStringLiteral("%1 — %2").arg(QFileInfo(current).fileName(), plainTitle));
    } else {
        setWindowTitle(plainTitle);
    }
}

void MainWindow::updateActionStates()
{
    const bool busy = viewer->isMetadataBatchBusy();
    const bool markable = !busy && (!gridPageCurrent() || grid->selectedPreviewsReady());
    for (QAction *action : std::as_const(markActions))
        action->setEnabled(markable);
    moveToTrashAction->setEnabled(gridPageCurrent() && grid->selectedCount() >= 1 && !busy);
}

void MainWindow::syncGridWithViewer()
{
    const QString keep = gridPageCurrent() ? grid->currentPath() : viewer->currentFilePath();
    const QStringList visible = viewer->visibleFiles();
    grid->setFiles(visible, viewer->metadataSnapshot());
    const QString target = visible.contains(keep) ? keep : viewer->currentFilePath();
    if (!target.isEmpty() && target != grid->currentPath())
        grid->setCurrentPath(target);
}

void MainWindow::reportBatchFailures(const QStringList &failures)
{
    if (failures.isEmpty())
        return;
    const int shown = 8;
    QStringList names;
    for (int i = 0; i < failures.size() && i < shown; ++i)
        names.append(QFileInfo(failures.at(i)).fileName());
    const QString more = failures.size() > shown ? tr("\n…and more") : QString();
    QMessageBox::warning(this, tr("Some metadata could not be saved"),
                         tr("The XMP data could not be written for %1 image(s):\n\n%2%3")
                             .arg(failures.size())
                             .arg(names.join(QLatin1Char('\n')), more));
}

// ---- Dialogs ------------------------------------------------------------

void MainWindow::openPreferences()
{
    PreferencesDialog dialog(actionsById, this);
    if (dialog.exec() == QDialog::Accepted)
        rebuildShortcutOverlay();
}

void MainWindow::openUserGuide()
{
    HelpDialog dialog(this);
    dialog.exec();
}

void MainWindow::openAbout()
{
    AboutDialog dialog(this);
    dialog.exec();
}

void MainWindow::rebuildShortcutOverlay()
{
    viewer->setShortcutOverlayHtml(shortcutOverlayHtml(actionsById.values(), shortcutsAction));
}

// ---- Recycle bin --------------------------------------------------------

void MainWindow::moveSelectionToRecycleBin()
{
    if (!gridPageCurrent())
        return;
    const QStringList selected = grid->selectedPaths();
    if (selected.isEmpty())
        return;
    const QStringList withoutPreview = grid->selectedPathsWithoutPreview();
    if (!withoutPreview.isEmpty()) {
        QMessageBox::information(this, tr("Previews not visible yet"),
                                 tr("%1 selected photo(s) do not have a visible preview yet.\n\nPlease wait until "
                                    "every selected photo is visible before deleting it.")
                                     .arg(withoutPreview.size()));
        return;
    }
    const QStringList allFiles = viewer->allFiles();
    const int sidecars = RecycleBin::existingSidecarCount(allFiles, selected);
    const auto answer = QMessageBox::question(
        this, tr("Move photos to Recycle Bin?"),
        tr("Move %1 selected photo(s) and %2 associated XMP sidecar(s) to the Recycle Bin?\n\nThe files will not be "
           "permanently deleted.")
            .arg(selected.size())
            .arg(sidecars),
        QMessageBox::Yes | QMessageBox::Cancel, QMessageBox::Cancel);
    if (answer != QMessageBox::Yes)
        return;

    const RecycleBin::Outcome outcome = RecycleBin::movePhotos(allFiles, selected);

    const QString next = grid->pathAfterRemoval(outcome.moved);
    if (!next.isEmpty())
        viewer->selectFile(next);
    viewer->removeFiles(outcome.moved);
    syncGridWithViewer();

    if (!outcome.failures.isEmpty()) {
        QMessageBox::warning(this, tr("Some files could not be moved"),
                             tr("%1 file(s) could not be moved to the Recycle Bin:\n\n%2")
                                 .arg(outcome.failures.size())
                                 .arg(outcome.failures.mid(0, 10).join(QLatin1Char('\n'))));
    }
    statusBar()->showMessage(tr("%1 photo(s) moved to the Recycle Bin").arg(outcome.moved.size()),
                             trashMessageTimeoutMs);
}
