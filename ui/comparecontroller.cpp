#include "ui/comparecontroller.h"

#include "catalog/burstgroups.h"
#include "catalog/photocatalog.h"
#include "grid/thumbnailgridwidget.h"
#include "ui/actionregistry.h"
#include "ui/shortcutoverlay.h"
#include "ui/slideshowcontroller.h"
#include "ui/windowtexts.h"
#include "viewer/viewerwidget.h"

#include <QAction>
#include <QMenu>

CompareController::CompareController(const WindowParts &windowParts, QObject *parent)
    : QObject(parent)
    , parts(windowParts)
{
}

void CompareController::addTo(QMenu *viewMenu)
{
    action = parts.actions->add(viewMenu, QStringLiteral("view.compare"), WindowTexts::tr("&Compare Two Photos"),
                                QKeySequence(Qt::Key_N));
    action->setObjectName(QStringLiteral("compareAction"));
    action->setCheckable(true);
    parts.keepInFullScreen(action);
    connect(action, &QAction::triggered, this, &CompareController::toggle);
    connect(parts.viewer, &ViewerWidget::compareChanged, this,
            [this] { action->setChecked(parts.viewer->isComparing()); });
}

void CompareController::toggle()
{
    ViewerWidget *viewer = parts.viewer;
    if (viewer->isComparing()) {
        viewer->stopCompare();
        return;
    }
    QString pinned = parts.catalog->currentPath();
    QStringList candidates;
    if (parts.gridShown()) {
        const QStringList selected = parts.grid->selectedPaths();
        if (selected.size() >= 2) {
            candidates = selected;
            pinned = selected.first();
        } else if (!parts.grid->currentPath().isEmpty()) {
            pinned = parts.grid->currentPath();
        }
        if (!pinned.isEmpty())
            parts.openInViewer(pinned);
    }
    // Opened on a frame of a burst: its sharpest frame pinned, the candidates its group.
    if (candidates.isEmpty() && parts.bursts->groupOf(pinned).size() >= 2) {
        candidates = parts.bursts->groupOf(pinned);
        pinned = parts.bursts->sharpestOf(pinned);
        candidates.removeAll(pinned);
        candidates.prepend(pinned);
    }
    parts.slideshow->stop();
    viewer->startCompare(pinned, candidates);
    action->setChecked(viewer->isComparing());
}

ShortcutSection CompareController::keys() const
{
    // The candidates follow the navigation actions, whatever keys the user gave
    // them; Tab and Return are the viewer's own while it compares.
    const QAction *next = parts.actions->action(QStringLiteral("navigate.next"));
    const QAction *previous = parts.actions->action(QStringLiteral("navigate.previous"));
    return {WindowTexts::tr("In the compare view"),
            {{WindowTexts::tr("Next candidate"), next->shortcut()},
             {WindowTexts::tr("Previous candidate"), previous->shortcut()},
             {WindowTexts::tr("Switch the active pane"), QKeySequence(Qt::Key_Tab)},
             {WindowTexts::tr("Keep the candidate"), QKeySequence(Qt::Key_Return)}}};
}
