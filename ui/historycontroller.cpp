#include "ui/historycontroller.h"

#include "catalog/photocatalog.h"
#include "grid/thumbnailgridwidget.h"
#include "ui/actionregistry.h"
#include "ui/slideshowcontroller.h"
#include "ui/windowtexts.h"

#include <QAction>
#include <QMenu>

namespace {

const int historyMessageTimeoutMs = 6000;

} // namespace

HistoryController::HistoryController(const WindowParts &windowParts, QObject *parent)
    : QObject(parent)
    , parts(windowParts)
{
    // Another folder: what left the last one is no longer this one's to undo.
    connect(parts.catalog, &PhotoCatalog::folderOpened, this, [this] { steps.clear(); });
    connect(parts.catalog, &PhotoCatalog::historyApplied, this,
            [this](const QString &message, const QStringList &photos) {
                if (parts.gridShown() && photos.size() == 1)
                    parts.grid->setCurrentPath(photos.first());
                emit notice(message, historyMessageTimeoutMs);
            });
}

void HistoryController::addTo(QMenu *editMenu)
{
    undoAction = parts.actions->add(editMenu, QStringLiteral("edit.undo"), WindowTexts::tr("&Undo"),
                                    QKeySequence(QStringLiteral("Ctrl+Z")));
    undoAction->setObjectName(QStringLiteral("undoAction"));
    // Undo and redo pause a slideshow, as navigation does: the photo they
    // concern comes on screen.
    connect(undoAction, &QAction::triggered, this, [this] {
        parts.slideshow->stop();
        undo();
    });
    redoAction = editMenu->addAction(WindowTexts::tr("&Redo"));
    redoAction->setObjectName(QStringLiteral("redoAction"));
    redoAction->setShortcuts({QKeySequence(QStringLiteral("Ctrl+Shift+Z")), QKeySequence(QStringLiteral("Ctrl+Y"))});
    parts.actions->enter(QStringLiteral("edit.redo"), redoAction, QKeySequence(QStringLiteral("Ctrl+Shift+Z")));
    connect(redoAction, &QAction::triggered, this, [this] {
        parts.slideshow->stop();
        parts.catalog->redo();
    });
    parts.keepInFullScreen(undoAction);
    parts.keepInFullScreen(redoAction);
}

void HistoryController::addStep(const TakeBack &takeBack)
{
    steps.append({takeBack, parts.catalog->newestUndoStepId()});
    updateActions();
}

bool HistoryController::canUndo() const
{
    return parts.catalog->canUndo() || !steps.isEmpty();
}

void HistoryController::undo()
{
    // A step of ours goes first when no mark step still to undo is newer.
    if (steps.isEmpty() || parts.catalog->newestUndoStepId() > steps.last().newestMarkStep) {
        parts.catalog->undo();
        return;
    }
    // Off the history while it runs: what it sets off sees the history without it.
    const Step step = steps.takeLast();
    if (!step.takeBack())
        steps.append(step);
    updateActions();
}

void HistoryController::updateActions()
{
    if (!undoAction)
        return;
    const bool busy = parts.catalog->isMetadataBatchBusy();
    undoAction->setEnabled(canUndo() && !busy);
    redoAction->setEnabled(parts.catalog->canRedo() && !busy);
}
