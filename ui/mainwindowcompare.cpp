#include "ui/mainwindow.h"

#include "catalog/burstgroups.h"
#include "catalog/photocatalog.h"
#include "grid/thumbnailgridwidget.h"
#include "ui/shortcutoverlay.h"
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
    // Opened on a frame of a burst: its sharpest frame pinned, the candidates its group.
    if (candidates.isEmpty() && bursts->groupOf(pinned).size() >= 2) {
        candidates = bursts->groupOf(pinned);
        pinned = bursts->sharpestOf(pinned);
        candidates.removeAll(pinned);
        candidates.prepend(pinned);
    }
    stopSlideshow();
    viewer->startCompare(pinned, candidates);
    compareAction->setChecked(viewer->isComparing());
}

ShortcutSection MainWindow::compareKeys() const
{
    // The candidates follow the navigation actions, whatever keys the user gave
    // them; Tab and Return are the viewer's own while it compares.
    return {tr("In the compare view"),
            {{tr("Next candidate"), nextAction->shortcut()},
             {tr("Previous candidate"), previousAction->shortcut()},
             {tr("Switch the active pane"), QKeySequence(Qt::Key_Tab)},
             {tr("Keep the candidate"), QKeySequence(Qt::Key_Return)}}};
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
