#include "ui/mainwindow.h"

#include "viewer/viewerwidget.h"

#include <QAction>
#include <QMenu>

// ---- The camera's focus points ------------------------------------------

void MainWindow::addFocusActions(QMenu *viewMenu)
{
    focusPointsAction = addRegisteredAction(viewMenu, QStringLiteral("view.focusPoints"), tr("Show Focus &Points"),
                                            QKeySequence(Qt::Key_A));
    focusPointsAction->setObjectName(QStringLiteral("focusPointsAction"));
    focusPointsAction->setCheckable(true);
    focusPointsAction->setChecked(viewer->areFocusPointsShown());
    connect(focusPointsAction, &QAction::toggled, viewer, &ViewerWidget::setFocusPointsShown);
    followFocusAction = addRegisteredAction(viewMenu, QStringLiteral("view.followFocusPoint"),
                                            tr("Follow Focus Point When Zoo&med"), QKeySequence(QStringLiteral("Shift+A")));
    followFocusAction->setObjectName(QStringLiteral("followFocusAction"));
    followFocusAction->setCheckable(true);
    followFocusAction->setChecked(viewer->followsFocusPoint());
    connect(followFocusAction, &QAction::toggled, viewer, &ViewerWidget::setFollowFocusPoint);
    // The menu bar is hidden in full screen; the keys must still work there.
    addAction(focusPointsAction);
    addAction(followFocusAction);
}
