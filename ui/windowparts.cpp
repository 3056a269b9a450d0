#include "ui/windowparts.h"

#include "catalog/photocatalog.h"
#include "grid/thumbnailgridwidget.h"

#include <QAction>
#include <QMainWindow>
#include <QStackedWidget>

bool WindowParts::gridShown() const
{
    return pages->currentIndex() == gridPage;
}

QString WindowParts::focusedPath() const
{
    return gridShown() ? grid->currentPath() : catalog->currentPath();
}

bool WindowParts::markable() const
{
    return !catalog->isMetadataBatchBusy() && (!gridShown() || grid->selectedCount() > 0);
}

void WindowParts::keepInFullScreen(QAction *action) const
{
    window->addAction(action);
}
