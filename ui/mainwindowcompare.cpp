#include "ui/mainwindow.h"

#include "catalog/photocatalog.h"
#include "grid/thumbnailgridwidget.h"
#include "viewer/viewerwidget.h"

#include <QAction>
#include <QMenu>

// View › Compare Two Photos: the viewer's two panes, started from the single
// view (the current photo is pinned) or from the grid (a selection of
// several photos is the set of candidates).

void MainWindow::addCompareAction(QMenu *viewMenu)
{
    compareAction = addRegisteredAction(viewMenu, QStringLiteral("view.compare"), tr("&Compare Two Photos"),
                                        QKeySequence(Qt::Key_N));
    compareAction->setObjectName(QStringLiteral("compareAction"));
    compareAction->setCheckable(true);
    // The menu bar is hidden in full screen; the key must still work there.
    addAction(compareAction);
    connect(compareAction, &QAction::triggered, this, &MainWindow::toggleCompare);
    connect(viewer, &ViewerWidget::compareChanged, this,
            [this] { compareAction->setChecked(viewer->isComparing()); });
}

void MainWindow::toggleCompare()
{
    if (viewer->isComparing()) {
        viewer->stopCompare();
        return;
    }
    QString pinned = catalog->currentPath();
    QStringList candidates;
    if (gridPageCurrent()) {
        const QStringList selected = grid->selectedPaths();
        if (selected.size() >= 2) {
            candidates = selected;
            pinned = selected.first();
        } else if (!grid->currentPath().isEmpty()) {
            pinned = grid->currentPath();
        }
        if (!pinned.isEmpty())
            openFromGrid(pinned);
    }
    stopSlideshow();
    viewer->startCompare(pinned, candidates);
    compareAction->setChecked(viewer->isComparing());
}

void MainWindow::stepPhoto(int direction)
{
    if (viewer->stepCandidate(direction))
        return;
    if (direction < 0)
        catalog->previous();
    else
        catalog->next();
}
