#include "ui/mainwindow.h"
#include "ui/windowsize.h"

#include "catalog/burstgroups.h"
#include "catalog/photocatalog.h"
#include "grid/thumbnailgridwidget.h"
#include "imaging/colourconversion.h"
#include "ui/aboutdialog.h"
#include "ui/helpdialog.h"
#include "ui/menuplaces.h"
#include "ui/preferencesdialog.h"
#include "ui/recyclebin.h"
#include "ui/shortcutoverlay.h"
#include "ui/writeproblembar.h"
#include "viewer/viewerwidget.h"

#include <QAction>
#include <QActionGroup>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QSettings>
#include <QStackedWidget>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

namespace {


const int viewerPage = 0;
const int gridPage = 1;

const int warningTimeoutMs = 12000;
const int historyMessageTimeoutMs = 6000;

} // namespace

const QString MainWindow::plainTitle = QStringLiteral("Quillmark Glanceway");

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent)
{
    catalog = new PhotoCatalog(this);
    catalog->setObjectName(QStringLiteral("catalog"));
    viewer = new ViewerWidget(catalog, this);
    grid = new ThumbnailGridWidget(this);
    stack = new QStackedWidget(this);
    stack->setObjectName(QStringLiteral("stack"));
    stack->addWidget(viewer);
    stack->addWidget(grid);
    stack->setCurrentIndex(viewerPage);
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
    noticeTimer = new QTimer(this);
    noticeTimer->setSingleShot(true);
    connect(noticeTimer, &QTimer::timeout, this, &MainWindow::updateStatusAndTitle);

    connectPages();
    updateActionStates();
    QTimer::singleShot(0, this, &MainWindow::restoreLastSession);
}

MainWindow::~MainWindow() = default;

void MainWindow::closeEvent(QCloseEvent *event)
{
    saveWindowPlacement(this, maximizedBeforeFullScreen);
    QMainWindow::closeEvent(event);
}

void MainWindow::connectPages()
{
    connect(viewer, &ViewerWidget::stateChanged, this, &MainWindow::updateStatusAndTitle);
    connect(catalog, &PhotoCatalog::catalogChanged, this, &MainWindow::syncGridWithCatalog);
    connect(catalog, &PhotoCatalog::currentChanged, this, &MainWindow::updateActionStates);
    // The next start resumes the folder at the photo the user was on.
    connect(catalog, &PhotoCatalog::currentChanged, this, [this] {
        const QString current = catalog->currentPath();
        if (!current.isEmpty())
            QSettings().setValue(QStringLiteral("lastFile"), current);
    });
    connect(catalog, &PhotoCatalog::busyChanged, this, &MainWindow::updateActionStates);
    connect(catalog, &PhotoCatalog::summaryChanged, this,
            [this](int total, int reviewed, int rejected, int open) {
                summaryLabel->setText(tr("%1 total · %2 reviewed · %3 rejected · %4 open")
                                          .arg(total)
                                          .arg(reviewed)
                                          .arg(rejected)
                                          .arg(open));
            });
    connect(viewer, &ViewerWidget::warningRaised, this, &MainWindow::showWarning);
    connect(viewer, &ViewerWidget::displayFailed, this, &MainWindow::skipUndisplayableSlide);
    connect(catalog, &PhotoCatalog::warningRaised, this, &MainWindow::showWarning);
    connect(catalog, &PhotoCatalog::filesRemoved, this, &MainWindow::noteRemovedByOthers);
    // Another folder: what left the last one is no longer this one's to undo.
    connect(catalog, &PhotoCatalog::folderOpened, this, [this] { fileUndo.clear(); });
    connect(viewer, &ViewerWidget::manualNavigationRequested, this, [this](int direction) {
        stopSlideshow();
        stepPhoto(direction);
    });
    connect(catalog, &PhotoCatalog::metadataBatchBusyChanged, this, [this](bool busy) {
        updateActionStates();
        if (busy)
            statusBar()->showMessage(tr("Saving metadata for selected images…"));
        else
            updateStatusAndTitle();
    });
    connect(catalog, &PhotoCatalog::metadataBatchFinished, this, &MainWindow::reportBatchFailures);
    connect(catalog, &PhotoCatalog::historyChanged, this, &MainWindow::updateActionStates);
    connect(catalog, &PhotoCatalog::historyApplied, this, &MainWindow::showHistoryApplied);

    // Return on a collapsed group of bursts shows the group; on any other photo it opens it.
    connect(grid, &ThumbnailGridWidget::fileActivated, this, [this](const QString &path) {
        if (!expandGroupAt(path))
            openFromGrid(path);
    });
    connect(grid, &ThumbnailGridWidget::selectionChanged, this, [this] {
        // A deletion waits for the selection it was asked for, not another one.
        stopWaitingForDeletion();
        updateActionStates();
        updateStatusAndTitle();
    });
    connect(grid, &ThumbnailGridWidget::previewAvailabilityChanged, this, [this] {
        if (deletionWaiting && grid->selectedPathsWithoutPreview().isEmpty()) {
            deletionWaiting = false;
            QTimer::singleShot(0, this, &MainWindow::moveSelectionToRecycleBin);
        }
        updateActionStates();
        updateStatusAndTitle();
    });

    connect(slideshowTimer, &QTimer::timeout, this, [this] {
        slideshowSkips = 0;
        advanceSlideshow();
    });
}

void MainWindow::applyFilter()
{
    const QAction *checked = filterGroup->checkedAction();
    if (!checked)
        return;
    QString id = checked->data().toString();
    if (excludeFilterAction->isChecked() && id != QLatin1String("all"))
        id.prepend(QStringLiteral("not:"));
    catalog->setFilter(id);
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
        syncGridWithCatalog();
        grid->setCurrentPath(catalog->currentPath());
        stack->setCurrentIndex(gridPage);
        updateActionStates();
        grid->setFocus(Qt::OtherFocusReason);
    } else {
        const QString path = grid->currentPath();
        if (!path.isEmpty())
            catalog->select(path);
        stack->setCurrentIndex(viewerPage);
        updateActionStates();
        grid->stopLoading();
        viewer->setFocus(Qt::OtherFocusReason);
    }
    updateStatusAndTitle();
}

void MainWindow::openFromGrid(const QString &path)
{
    catalog->select(path);
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
        catalog->select(grid->currentPath());
        stack->setCurrentIndex(viewerPage);
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

void MainWindow::stopSlideshow()
{
    if (slideshowTimer->isActive())
        toggleSlideshow();
}

void MainWindow::toggleSlideshow()
{
    if (slideshowTimer->isActive()) {
        slideshowTimer->stop();
        slideshowAction->setText(tr("&Start Slideshow"));
        viewer->setSlideshowRunning(false);
        return;
    }
    if (catalog->currentPath().isEmpty())
        return;
    const int seconds = std::clamp(QSettings().value(QStringLiteral("slideshow/seconds"), 4).toInt(), 1, 300);
    slideshowSkips = 0;
    slideshowTimer->start(seconds * 1000);
    slideshowAction->setText(tr("&Pause Slideshow"));
    viewer->setSlideshowRunning(true);
    if (!isFullScreen())
        toggleFullScreen();
}

void MainWindow::advanceSlideshow()
{
    if (!catalog->isAtLast()) {
        catalog->next();
        return;
    }
    if (QSettings().value(QStringLiteral("slideshow/loop"), false).toBool()) {
        catalog->first();
        return;
    }
    toggleSlideshow();
    // The status bar is hidden in full screen; the end of the show must be seen.
    if (isFullScreen())
        toggleFullScreen();
    showNotice(tr("Slideshow finished"), historyMessageTimeoutMs);
}

void MainWindow::skipUndisplayableSlide(const QString &path)
{
    if (!slideshowTimer->isActive() || path != catalog->currentPath())
        return;
    // A folder in which no photo can be shown ends the show instead of circling.
    if (++slideshowSkips > catalog->visibleFiles().size()) {
        toggleSlideshow();
        return;
    }
    // The next photo gets its full time on screen.
    slideshowTimer->start();
    advanceSlideshow();
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
        const int selected = grid->selectedCount();
        if (deletionWaiting)
            message = tr("%1 image(s) selected — loading %2 preview(s) before moving them to the Recycle Bin…")
                          .arg(selected)
                          .arg(grid->selectedPathsWithoutPreview().size());
        else
            message = tr("%1 image(s) selected — Ctrl-click and Shift-click to select — Enter to open").arg(selected);
    } else {
        message = viewer->statusText();
    }
    statusBar()->showMessage(message);

    syncViewModeChecks();

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
    const bool busy = catalog->isMetadataBatchBusy();
    // Marks never wait for thumbnails: the user chose the photos, and a mark can be undone.
    const bool markable = !busy && (!gridPageCurrent() || grid->selectedCount() > 0);
    for (QAction *action : std::as_const(markActions))
        action->setEnabled(markable);
    const bool photoChosen = gridPageCurrent() ? grid->selectedCount() >= 1 : !catalog->currentPath().isEmpty();
    moveToTrashAction->setEnabled(photoChosen && !busy);
    // The single view moves the photo on screen; the grid, what is selected.
    moveToTrashAction->setText(gridPageCurrent() ? tr("&Move Selected Photos to Recycle Bin…")
                                                 : tr("&Move Photo to Recycle Bin…"));
    undoAction->setEnabled((catalog->canUndo() || !fileUndo.isEmpty()) && !busy);
    redoAction->setEnabled(catalog->canRedo() && !busy);
    updateCullActionStates();
}

void MainWindow::syncGridWithCatalog()
{
    const QString keep = gridPageCurrent() ? grid->currentPath() : catalog->currentPath();
    const QStringList visible = catalog->visibleFiles();
    grid->setLabels(catalog->includesSubfolders() ? catalog->folder() : QString(),
                    catalog->pairsShownAsOne() ? catalog->pairPartners() : QHash<QString, QString>());
    // Bursts collapsed leave one photo of each group in the grid, which stands for the others.
    const QStringList shown = collapsedForGrid(visible);
    grid->setFiles(shown, catalog->records());
    const QString target = shownInGrid(visible.contains(keep) ? keep : catalog->currentPath(), shown);
    if (!target.isEmpty() && target != grid->currentPath())
        grid->setCurrentPath(target);
    updateCullActionStates();
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

void MainWindow::showWarning(const QString &message)
{
    showNotice(message, warningTimeoutMs);
}

void MainWindow::showHistoryApplied(const QString &message, const QStringList &photos)
{
    if (gridPageCurrent() && photos.size() == 1)
        grid->setCurrentPath(photos.first());
    showNotice(message, historyMessageTimeoutMs);
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
    const bool managed = colourManagementEnabled();
    PreferencesDialog dialog(actionsById, menuBarMenus(menuBar()), this);
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
    viewer->setShortcutOverlayHtml(
        shortcutOverlayHtml(menuBarMenus(menuBar()), actionsById.values(), shortcutsAction, 3, {compareKeys()}));
}

// ---- Recycle bin --------------------------------------------------------

void MainWindow::stopWaitingForDeletion()
{
    if (!deletionWaiting)
        return;
    deletionWaiting = false;
    grid->loadPreviewsOf({});
}
