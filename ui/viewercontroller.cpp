#include "ui/viewercontroller.h"

#include "ui/actionregistry.h"
#include "ui/windowtexts.h"
#include "viewer/viewerwidget.h"

#include <QAction>
#include <QMenu>
#include <QSettings>

namespace {

// The analysis layers: three switches over the viewer's photo.
struct AnalysisSwitch
{
    const char *id;
    const char *text;
    Qt::Key key;
    const char *setting;
    bool AnalysisLayers::*layer;
};

const AnalysisSwitch analysisSwitches[] = {
    {"view.focusPeaking", QT_TRANSLATE_NOOP("MainWindow", "Focus Pea&king"), Qt::Key_P, "view/focusPeaking",
     &AnalysisLayers::peaking},
    {"view.histogram", QT_TRANSLATE_NOOP("MainWindow", "&Histogram"), Qt::Key_H, "view/histogram",
     &AnalysisLayers::histogram},
    {"view.clipping", QT_TRANSLATE_NOOP("MainWindow", "Clipp&ing Warning"), Qt::Key_J, "view/clipping",
     &AnalysisLayers::clipping},
};

} // namespace

ViewerController::ViewerController(const WindowParts &windowParts, QObject *parent)
    : QObject(parent)
    , parts(windowParts)
{
}

void ViewerController::addZoomTo(QMenu *viewMenu)
{
    ViewerWidget *viewer = parts.viewer;
    fitAction = parts.actions->add(viewMenu, QStringLiteral("view.fit"), WindowTexts::tr("Fit to &Window"),
                                   QKeySequence(QStringLiteral("Ctrl+0")));
    fitAction->setObjectName(QStringLiteral("fitAction"));
    fitAction->setCheckable(true);
    connect(fitAction, &QAction::triggered, viewer, &ViewerWidget::setFitMode);
    actualSizeAction = parts.actions->add(viewMenu, QStringLiteral("view.actualSize"),
                                          WindowTexts::tr("&Actual Size (100%)"), QKeySequence(QStringLiteral("Ctrl+1")));
    actualSizeAction->setObjectName(QStringLiteral("actualSizeAction"));
    actualSizeAction->setCheckable(true);
    connect(actualSizeAction, &QAction::triggered, viewer, &ViewerWidget::setActualSizeMode);
    QAction *toggleSizeAction = parts.actions->add(viewMenu, QStringLiteral("view.toggleSize"),
                                                   WindowTexts::tr("&Toggle Fit / 100%"), QKeySequence(Qt::Key_Z));
    connect(toggleSizeAction, &QAction::triggered, viewer, &ViewerWidget::toggleViewMode);
    // A click on an already checked mode must not leave it unchecked.
    for (QAction *action : {fitAction, actualSizeAction, toggleSizeAction}) {
        connect(action, &QAction::triggered, this, &ViewerController::syncZoomChecks);
        parts.keepInFullScreen(action);
    }
}

void ViewerController::syncZoomChecks()
{
    if (!fitAction)
        return;
    fitAction->setChecked(parts.viewer->viewMode() == 0);
    actualSizeAction->setChecked(parts.viewer->viewMode() == 1);
}

void ViewerController::addLayersTo(QMenu *viewMenu)
{
    ViewerWidget *viewer = parts.viewer;
    viewMenu->addSeparator();
    QAction *rotateLeftAction = parts.actions->add(viewMenu, QStringLiteral("view.rotateLeft"),
                                                   WindowTexts::tr("R&otate Left 90°"), QKeySequence(QStringLiteral("Ctrl+,")));
    connect(rotateLeftAction, &QAction::triggered, viewer, &ViewerWidget::rotateCounterClockwise);
    QAction *rotateRightAction = parts.actions->add(viewMenu, QStringLiteral("view.rotateRight"),
                                                    WindowTexts::tr("Rotate &Right 90°"), QKeySequence(QStringLiteral("Ctrl+.")));
    connect(rotateRightAction, &QAction::triggered, viewer, &ViewerWidget::rotateClockwise);
    parts.keepInFullScreen(rotateLeftAction);
    parts.keepInFullScreen(rotateRightAction);
    viewMenu->addSeparator();
    addFocusActions(viewMenu);
    QAction *exifAction = parts.actions->add(viewMenu, QStringLiteral("view.exifOverlay"),
                                             WindowTexts::tr("Show &EXIF Overlay"), QKeySequence(QStringLiteral("?")));
    exifAction->setObjectName(QStringLiteral("exifAction"));
    exifAction->setCheckable(true);
    connect(exifAction, &QAction::triggered, this, [viewer, exifAction] {
        viewer->toggleExifOverlay();
        exifAction->setChecked(viewer->isExifOverlayVisible());
    });
    parts.keepInFullScreen(exifAction);
    addAnalysisActions(viewMenu);
}

void ViewerController::addFocusActions(QMenu *viewMenu)
{
    ViewerWidget *viewer = parts.viewer;
    QAction *focusPointsAction = parts.actions->add(viewMenu, QStringLiteral("view.focusPoints"),
                                                    WindowTexts::tr("Show Focus &Points"), QKeySequence(Qt::Key_A));
    focusPointsAction->setObjectName(QStringLiteral("focusPointsAction"));
    focusPointsAction->setCheckable(true);
    focusPointsAction->setChecked(viewer->areFocusPointsShown());
    connect(focusPointsAction, &QAction::toggled, viewer, &ViewerWidget::setFocusPointsShown);
    QAction *followFocusAction = parts.actions->add(viewMenu, QStringLiteral("view.followFocusPoint"),
                                                    WindowTexts::tr("Follow Focus Point When Zoo&med"),
                                                    QKeySequence(QStringLiteral("Shift+A")));
    followFocusAction->setObjectName(QStringLiteral("followFocusAction"));
    followFocusAction->setCheckable(true);
    followFocusAction->setChecked(viewer->followsFocusPoint());
    connect(followFocusAction, &QAction::toggled, viewer, &ViewerWidget::setFollowFocusPoint);
    parts.keepInFullScreen(focusPointsAction);
    parts.keepInFullScreen(followFocusAction);
}

void ViewerController::addAnalysisActions(QMenu *viewMenu)
{
    ViewerWidget *viewer = parts.viewer;
    AnalysisLayers layers;
    const QSettings settings;
    for (const AnalysisSwitch &entry : analysisSwitches) {
        QAction *action = parts.actions->add(viewMenu, QString::fromLatin1(entry.id), WindowTexts::tr(entry.text),
                                             QKeySequence(entry.key));
        action->setObjectName(QString::fromLatin1(entry.id));
        action->setCheckable(true);
        const QString key = QString::fromLatin1(entry.setting);
        action->setChecked(settings.value(key, false).toBool());
        layers.*entry.layer = action->isChecked();
        parts.keepInFullScreen(action);
        const auto layer = entry.layer;
        connect(action, &QAction::toggled, this, [viewer, key, layer](bool on) {
            QSettings().setValue(key, on);
            AnalysisLayers shown = viewer->analysisLayers();
            shown.*layer = on;
            viewer->setAnalysisLayers(shown);
        });
    }
    viewer->setAnalysisLayers(layers);
}
