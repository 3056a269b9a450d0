#include "ui/mainwindow.h"

#include "catalog/photocatalog.h"
#include "grid/thumbnailgridwidget.h"
#include "ui/helpdialog.h"
#include "ui/webaddress.h"
#include "viewer/viewerwidget.h"

#include <QAction>
#include <QActionGroup>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QListView>
#include <QMenu>
#include <QMenuBar>
#include <QSettings>
#include <QUrl>

// The menus and every configurable action with its key.

namespace {

const QString webSite = QStringLiteral("https://www.quillmark.net");
// Photos skipped by Page Up and Page Down on the viewer page.
const int pageStep = 10;

} // namespace

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
    QMenu *fileMenu = bar->addMenu(tr("&File"));
    QAction *openAction = addRegisteredAction(fileMenu, QStringLiteral("file.open"), tr("&Open Folder…"),
                                              QKeySequence(QKeySequence::Open));
    connect(openAction, &QAction::triggered, this, &MainWindow::chooseFolder);
    addImportAction(fileMenu);
    addSubfoldersAction(fileMenu);
    QAction *reloadAction = addRegisteredAction(fileMenu, QStringLiteral("metadata.reload"),
                                                tr("&Refresh Folder and Metadata"),
                                                QKeySequence(QKeySequence::Refresh));
    connect(reloadAction, &QAction::triggered, this, &MainWindow::refreshFolder);
    fileMenu->addSeparator();
    moveToTrashAction = fileMenu->addAction(tr("&Move Selected Photos to Recycle Bin…"));
    moveToTrashAction->setObjectName(QStringLiteral("moveToTrashAction"));
    moveToTrashAction->setShortcut(QKeySequence(QKeySequence::Delete));
    moveToTrashAction->setShortcutContext(Qt::WindowShortcut);
    connect(moveToTrashAction, &QAction::triggered, this, &MainWindow::moveSelectionToRecycleBin);
    addCullActions(fileMenu);
    QAction *preferencesAction = addRegisteredAction(fileMenu, QStringLiteral("app.preferences"),
                                                     tr("&Preferences…"), QKeySequence(QStringLiteral("Ctrl+Alt+S")));
    connect(preferencesAction, &QAction::triggered, this, &MainWindow::openPreferences);
    fileMenu->addSeparator();
    QAction *exitAction = fileMenu->addAction(tr("E&xit"));
    exitAction->setShortcut(QKeySequence(QKeySequence::Quit));
    connect(exitAction, &QAction::triggered, this, &QWidget::close);

    // Edit
    QMenu *editMenu = bar->addMenu(tr("&Edit"));
    undoAction = addRegisteredAction(editMenu, QStringLiteral("edit.undo"), tr("&Undo"),
                                     QKeySequence(QStringLiteral("Ctrl+Z")));
    undoAction->setObjectName(QStringLiteral("undoAction"));
    // Undo and redo pause a slideshow, as navigation does: the photo they
    // concern comes on screen.
    const auto historyStep = [this](void (PhotoCatalog::*step)()) {
        return [this, step] {
            stopSlideshow();
            (catalog->*step)();
        };
    };
    // One Undo for marks and for photos moved away, newest first.
    connect(undoAction, &QAction::triggered, this, [this] {
        stopSlideshow();
        if (fileUndo.isNext(catalog->newestUndoStepId()))
            undoFileStep();
        else
            catalog->undo();
    });
    redoAction = editMenu->addAction(tr("&Redo"));
    redoAction->setObjectName(QStringLiteral("redoAction"));
    redoAction->setShortcuts({QKeySequence(QStringLiteral("Ctrl+Shift+Z")), QKeySequence(QStringLiteral("Ctrl+Y"))});
    registerShortcut(QStringLiteral("edit.redo"), redoAction, QKeySequence(QStringLiteral("Ctrl+Shift+Z")));
    connect(redoAction, &QAction::triggered, this, historyStep(&PhotoCatalog::redo));

    // Navigate
    QMenu *navigateMenu = bar->addMenu(tr("&Navigate"));
    // On the grid page the moves keep their meaning in the list of thumbnails.
    previousAction = addNavigationAction(navigateMenu, QStringLiteral("navigate.previous"), tr("&Previous Image"),
                                         {QKeySequence(Qt::Key_Left), QKeySequence(Qt::Key_Less)},
                                         [this] { stepPhoto(-1); },
                                         [this] { grid->moveSelection(-1); });
    nextAction = addNavigationAction(navigateMenu, QStringLiteral("navigate.next"), tr("&Next Image"),
                                     {QKeySequence(Qt::Key_Right), QKeySequence(Qt::Key_Greater)},
                                     [this] { stepPhoto(+1); },
                                     [this] { grid->moveSelection(+1); });
    const auto gridKey = [this](Qt::Key key) {
        // Sent to the view itself. A key sent to a widget passes the window's
        // shortcuts first: the moves step aside meanwhile, or the key would
        // come straight back here.
        return [this, key] {
            for (QAction *action : std::as_const(navigationActions))
                action->setEnabled(false);
            QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
            QCoreApplication::sendEvent(grid->listView(), &press);
            for (QAction *action : std::as_const(navigationActions))
                action->setEnabled(true);
        };
    };
    addNavigationAction(navigateMenu, QStringLiteral("navigate.first"), tr("&First Image"),
                        {QKeySequence(Qt::Key_Home)}, [this] { catalog->first(); }, gridKey(Qt::Key_Home));
    addNavigationAction(navigateMenu, QStringLiteral("navigate.last"), tr("&Last Image"), {QKeySequence(Qt::Key_End)},
                        [this] { catalog->last(); }, gridKey(Qt::Key_End));
    addNavigationAction(navigateMenu, QStringLiteral("navigate.pageBack"), tr("&Back %1 Images").arg(pageStep),
                        {QKeySequence(Qt::Key_PageUp)}, [this] { catalog->moveBy(-pageStep); },
                        gridKey(Qt::Key_PageUp));
    addNavigationAction(navigateMenu, QStringLiteral("navigate.pageForward"), tr("F&orward %1 Images").arg(pageStep),
                        {QKeySequence(Qt::Key_PageDown)}, [this] { catalog->moveBy(pageStep); },
                        gridKey(Qt::Key_PageDown));
    navigateMenu->addSeparator();
    resumeAction = addRegisteredAction(navigateMenu, QStringLiteral("navigate.resumeReview"),
                                       tr("&Resume Review"), QKeySequence(Qt::Key_L));
    connect(resumeAction, &QAction::triggered, this, [this] {
        stopSlideshow();
        // The catalog returns to "all" by itself; the menu only follows.
        allImagesAction->setChecked(true);
        catalog->resumeReview();
    });

    // Filter
    QMenu *filterMenu = bar->addMenu(tr("F&ilter"));
    filterGroup = new QActionGroup(this);
    filterGroup->setExclusive(true);
    struct FilterEntry
    {
        const char *filter;
        const char *id;
        const char *text;
        const char *key;
    };
    // Ratings on Ctrl+Shift and Alt with the digit of the rating key, colours
    // on Ctrl+Shift with the digit of the colour key.
    static const FilterEntry filters[] = {
        {"all", "filter.all", QT_TRANSLATE_NOOP("Filter", "&All Images"), "Ctrl+Shift+A"},
        {"zerostars", "filter.zeroStars", QT_TRANSLATE_NOOP("Filter", "&Zero Stars"), "Ctrl+Shift+0"},
        {"unrated", "filter.unreviewed", QT_TRANSLATE_NOOP("Filter", "&Unreviewed"), "Ctrl+Shift+U"},
        {"rejected", "filter.rejected", QT_TRANSLATE_NOOP("Filter", "R&ejected"), "Ctrl+Shift+X"},
        {"rating:1", "filter.rating1", QT_TRANSLATE_NOOP("Filter", "&1 Star"), "Ctrl+Shift+1"},
        {"rating:2", "filter.rating2", QT_TRANSLATE_NOOP("Filter", "&2 Stars"), "Ctrl+Shift+2"},
        {"rating:3", "filter.rating3", QT_TRANSLATE_NOOP("Filter", "&3 Stars"), "Ctrl+Shift+3"},
        {"rating:4", "filter.rating4", QT_TRANSLATE_NOOP("Filter", "&4 Stars"), "Ctrl+Shift+4"},
        {"rating:5", "filter.rating5", QT_TRANSLATE_NOOP("Filter", "&5 Stars"), "Ctrl+Shift+5"},
        {"rating>=:1", "filter.atLeast1", QT_TRANSLATE_NOOP("Filter", "1 Star or &More"), "Alt+1"},
        {"rating>=:2", "filter.atLeast2", QT_TRANSLATE_NOOP("Filter", "2 Stars or Mo&re"), "Alt+2"},
        {"rating>=:3", "filter.atLeast3", QT_TRANSLATE_NOOP("Filter", "3 Stars or M&ore"), "Alt+3"},
        {"rating>=:4", "filter.atLeast4", QT_TRANSLATE_NOOP("Filter", "4 S&tars or More"), "Alt+4"},
        {"rating>=:5", "filter.atLeast5", QT_TRANSLATE_NOOP("Filter", "5 &Stars or More"), "Alt+5"},
        {"color:Red", "filter.red", QT_TRANSLATE_NOOP("Filter", "Re&d"), "Ctrl+Shift+6"},
        {"color:Yellow", "filter.yellow", QT_TRANSLATE_NOOP("Filter", "&Yellow"), "Ctrl+Shift+7"},
        {"color:Green", "filter.green", QT_TRANSLATE_NOOP("Filter", "&Green"), "Ctrl+Shift+8"},
        {"color:Blue", "filter.blue", QT_TRANSLATE_NOOP("Filter", "B&lue"), "Ctrl+Shift+9"},
    };
    for (const FilterEntry &entry : filters) {
        QAction *action = addRegisteredAction(filterMenu, QString::fromLatin1(entry.id),
                                              QCoreApplication::translate("Filter", entry.text),
                                              QKeySequence(QString::fromLatin1(entry.key)));
        action->setCheckable(true);
        action->setData(QString::fromLatin1(entry.filter));
        filterGroup->addAction(action);
        filterActions.append(action);
        if (!allImagesAction) {
            allImagesAction = action;
            allImagesAction->setObjectName(QStringLiteral("allImagesAction"));
            allImagesAction->setChecked(true);
        }
    }
    connect(filterGroup, &QActionGroup::triggered, this, &MainWindow::applyFilter);
    filterMenu->addSeparator();
    excludeFilterAction = addRegisteredAction(filterMenu, QStringLiteral("filter.exclude"),
                                              tr("E&xclude selected filter"), QKeySequence(QStringLiteral("Ctrl+Shift+E")));
    excludeFilterAction->setObjectName(QStringLiteral("excludeFilterAction"));
    excludeFilterAction->setCheckable(true);
    filterActions.append(excludeFilterAction);
    connect(excludeFilterAction, &QAction::toggled, this, &MainWindow::applyFilter);

    // View
    QMenu *viewMenu = bar->addMenu(tr("&View"));
    fullScreenAction = addRegisteredAction(viewMenu, QStringLiteral("view.fullscreen"), tr("&Full Screen"),
                                           QKeySequence(Qt::Key_F));
    fullScreenAction->setObjectName(QStringLiteral("fullScreenAction"));
    connect(fullScreenAction, &QAction::triggered, this, &MainWindow::toggleFullScreen);
    gridAction = addRegisteredAction(viewMenu, QStringLiteral("view.grid"), tr("Thumbnail &Grid"),
                                     QKeySequence(Qt::Key_G));
    gridAction->setObjectName(QStringLiteral("gridAction"));
    gridAction->setCheckable(true);
    connect(gridAction, &QAction::triggered, this, &MainWindow::toggleGridView);
    smallerAction = addRegisteredAction(viewMenu, QStringLiteral("view.thumbnailsSmaller"),
                                        tr("&Smaller Thumbnails"), QKeySequence(QStringLiteral("Ctrl+-")));
    connect(smallerAction, &QAction::triggered, grid, &ThumbnailGridWidget::decreaseThumbnailSize);
    largerAction = addRegisteredAction(viewMenu, QStringLiteral("view.thumbnailsLarger"),
                                       tr("&Larger Thumbnails"), QKeySequence(QStringLiteral("Ctrl++")));
    connect(largerAction, &QAction::triggered, grid, &ThumbnailGridWidget::increaseThumbnailSize);
    viewMenu->addSeparator();
    fitAction = addRegisteredAction(viewMenu, QStringLiteral("view.fit"), tr("Fit to &Window"),
                                    QKeySequence(QStringLiteral("Ctrl+0")));
    fitAction->setObjectName(QStringLiteral("fitAction"));
    fitAction->setCheckable(true);
    connect(fitAction, &QAction::triggered, viewer, &ViewerWidget::setFitMode);
    actualSizeAction = addRegisteredAction(viewMenu, QStringLiteral("view.actualSize"), tr("&Actual Size (100%)"),
                                           QKeySequence(QStringLiteral("Ctrl+1")));
    actualSizeAction->setObjectName(QStringLiteral("actualSizeAction"));
    actualSizeAction->setCheckable(true);
    connect(actualSizeAction, &QAction::triggered, viewer, &ViewerWidget::setActualSizeMode);
    toggleSizeAction = addRegisteredAction(viewMenu, QStringLiteral("view.toggleSize"), tr("&Toggle Fit / 100%"),
                                           QKeySequence(Qt::Key_Z));
    connect(toggleSizeAction, &QAction::triggered, viewer, &ViewerWidget::toggleViewMode);
    // A click on an already checked mode must not leave it unchecked.
    for (QAction *action : {fitAction, actualSizeAction, toggleSizeAction})
        connect(action, &QAction::triggered, this, &MainWindow::syncViewModeChecks);
    addCompareAction(viewMenu);
    viewMenu->addSeparator();
    rotateLeftAction = addRegisteredAction(viewMenu, QStringLiteral("view.rotateLeft"), tr("R&otate Left 90°"),
                                           QKeySequence(QStringLiteral("Ctrl+,")));
    connect(rotateLeftAction, &QAction::triggered, viewer, &ViewerWidget::rotateCounterClockwise);
    rotateRightAction = addRegisteredAction(viewMenu, QStringLiteral("view.rotateRight"), tr("Rotate &Right 90°"),
                                            QKeySequence(QStringLiteral("Ctrl+.")));
    connect(rotateRightAction, &QAction::triggered, viewer, &ViewerWidget::rotateClockwise);
    viewMenu->addSeparator();
    addFocusActions(viewMenu);
    exifAction = addRegisteredAction(viewMenu, QStringLiteral("view.exifOverlay"), tr("Show &EXIF Overlay"),
                                     QKeySequence(QStringLiteral("?")));
    exifAction->setObjectName(QStringLiteral("exifAction"));
    exifAction->setCheckable(true);
    connect(exifAction, &QAction::triggered, this, [this] {
        viewer->toggleExifOverlay();
        exifAction->setChecked(viewer->isExifOverlayVisible());
    });
    addAnalysisActions(viewMenu);
    addSortMenu(viewMenu);

    // Rating
    QMenu *ratingMenu = bar->addMenu(tr("&Rating"));
    for (int stars = 0; stars <= 5; ++stars) {
        const QString text = stars == 0 ? tr("&Clear Rating") : tr("&%n Star(s)", nullptr, stars);
        addMarkAction(
            ratingMenu, QStringLiteral("rating.%1").arg(stars), text, QKeySequence(Qt::Key_0 + stars),
            [this, stars] { catalog->setRating(stars); },
            [this, stars](const QStringList &files) { catalog->setRatingForFiles(files, stars); });
    }
    ratingMenu->addSeparator();
    // Each entry is its own text, so that every language can give each a letter of its own.
    static const char *const colours[][2] = {{"Red", QT_TR_NOOP("Color: &Red")},
                                             {"Yellow", QT_TR_NOOP("Color: &Yellow")},
                                             {"Green", QT_TR_NOOP("Color: &Green")},
                                             {"Blue", QT_TR_NOOP("Color: &Blue")}};
    for (int i = 0; i < 4; ++i) {
        // The catalog always receives the English name; only the text is translated.
        const QString name = QString::fromLatin1(colours[i][0]);
        addMarkAction(
            ratingMenu, QStringLiteral("color.%1").arg(name.toLower()), tr(colours[i][1]),
            QKeySequence(Qt::Key_6 + i), [this, name] { catalog->setColorLabel(name); },
            [this, name](const QStringList &files) { catalog->setColorLabelForFiles(files, name); });
    }
    ratingMenu->addSeparator();
    addMarkAction(
        ratingMenu, QStringLiteral("rating.reject"), tr("Re&ject"), QKeySequence(Qt::Key_X),
        [this] { catalog->rejectCurrent(); },
        [this](const QStringList &files) { catalog->setRejectedForFiles(files, true); });
    addMarkAction(
        ratingMenu, QStringLiteral("rating.clearReject"), tr("Clear Rejec&tion"), QKeySequence(Qt::Key_U),
        [this] { catalog->clearRejection(); },
        [this](const QStringList &files) { catalog->setRejectedForFiles(files, false); });
    addMarkAction(
        ratingMenu, QStringLiteral("rating.clearColor"), tr("Clear Color &Label"), QKeySequence(Qt::Key_C),
        [this] { catalog->clearColorLabel(); },
        [this](const QStringList &files) { catalog->clearColorLabelForFiles(files); });
    addMarkAction(
        ratingMenu, QStringLiteral("rating.clearAll"), tr("Clear &All Marks"),
        QKeySequence(QStringLiteral("Shift+0")), [this] { catalog->clearAllMarks(); },
        [this](const QStringList &files) { catalog->clearAllMarksForFiles(files); });
    addGroupActions(viewMenu, navigateMenu, ratingMenu);

    // Slideshow
    QMenu *slideshowMenu = bar->addMenu(tr("&Slideshow"));
    slideshowAction = addRegisteredAction(slideshowMenu, QStringLiteral("slideshow.toggle"), tr("&Start Slideshow"),
                                          QKeySequence(Qt::Key_S));
    slideshowAction->setObjectName(QStringLiteral("slideshowAction"));
    connect(slideshowAction, &QAction::triggered, this, &MainWindow::toggleSlideshow);

    // Help
    QMenu *helpMenu = bar->addMenu(tr("&Help"));
    manualAction = addRegisteredAction(helpMenu, QStringLiteral("help.manual"), tr("&User Guide…"),
                                       QKeySequence(Qt::Key_F1));
    connect(manualAction, &QAction::triggered, this, &MainWindow::openUserGuide);
    shortcutsAction = addRegisteredAction(helpMenu, QStringLiteral("help.shortcuts"), tr("Show &Keyboard Shortcuts"),
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
    connect(aboutAction, &QAction::triggered, this, &MainWindow::openAbout);

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
}

QAction *MainWindow::addNavigationAction(QMenu *menu, const QString &id, const QString &text,
                                         const QList<QKeySequence> &keys, const std::function<void()> &onViewer,
                                         const std::function<void()> &onGrid)
{
    QAction *action = menu->addAction(text);
    action->setShortcuts(keys);
    action->setShortcutContext(Qt::WindowShortcut);
    registerShortcut(id, action, keys.constFirst());
    connect(action, &QAction::triggered, this, [this, onViewer, onGrid] {
        stopSlideshow();
        if (gridPageCurrent())
            onGrid();
        else
            onViewer();
    });
    navigationActions.append(action);
    return action;
}

QAction *MainWindow::addMarkAction(QMenu *menu, const QString &id, const QString &text, const QKeySequence &key,
                                   const std::function<void()> &onCurrent,
                                   const std::function<void(const QStringList &)> &onSelection)
{
    QAction *action = addRegisteredAction(menu, id, text, key);
    connect(action, &QAction::triggered, this, [this, onCurrent, onSelection] {
        if (gridPageCurrent()) {
            onSelection(grid->selectedPaths());
        } else if (viewer->isComparing()) {
            // The active pane's photo; marking never moves on from it, which
            // would put another photo beside the pinned one (or the pinned one itself).
            onSelection({viewer->activePath()});
        } else {
            // The preference as it stands at this mark, wherever it was last changed.
            catalog->setAutoAdvance(QSettings().value(QStringLiteral("rating/autoAdvance"), true).toBool());
            onCurrent();
        }
    });
    markActions.append(action);
    return action;
}

void MainWindow::addWindowLevelActions()
{
    // The menu bar is hidden in full screen; these keys must keep working there.
    addAction(moveToTrashAction);
    addAction(actionsById.value(QStringLiteral("file.open")));
    addAction(actionsById.value(QStringLiteral("metadata.reload")));
    addActions(navigationActions);
    addActions(filterActions);
    addAction(resumeAction);
    addActions(markActions);
    addAction(undoAction);
    addAction(redoAction);
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
