#include "ui/navigationcontroller.h"

#include "catalog/photocatalog.h"
#include "grid/thumbnailgridwidget.h"
#include "ui/actionregistry.h"
#include "ui/slideshowcontroller.h"
#include "ui/windowtexts.h"
#include "viewer/viewerwidget.h"

#include <QAction>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QListView>
#include <QMenu>

namespace {

// Photos skipped by Page Up and Page Down on the viewer page.
const int pageStep = 10;

} // namespace

NavigationController::NavigationController(const WindowParts &windowParts, QObject *parent)
    : QObject(parent)
    , parts(windowParts)
{
    connect(parts.viewer, &ViewerWidget::manualNavigationRequested, this, [this](int direction) {
        parts.slideshow->stop();
        step(direction);
    });
}

void NavigationController::addTo(QMenu *navigateMenu)
{
    PhotoCatalog *catalog = parts.catalog;
    ThumbnailGridWidget *grid = parts.grid;
    // On the grid page the moves keep their meaning in the list of thumbnails.
    addMove(navigateMenu, QStringLiteral("navigate.previous"), WindowTexts::tr("&Previous Image"),
            {QKeySequence(Qt::Key_Left), QKeySequence(Qt::Key_Less)}, [this] { step(-1); },
            [grid] { grid->moveSelection(-1); });
    addMove(navigateMenu, QStringLiteral("navigate.next"), WindowTexts::tr("&Next Image"),
            {QKeySequence(Qt::Key_Right), QKeySequence(Qt::Key_Greater)}, [this] { step(+1); },
            [grid] { grid->moveSelection(+1); });
    addMove(navigateMenu, QStringLiteral("navigate.first"), WindowTexts::tr("&First Image"),
            {QKeySequence(Qt::Key_Home)}, [catalog] { catalog->first(); }, gridKey(Qt::Key_Home));
    addMove(navigateMenu, QStringLiteral("navigate.last"), WindowTexts::tr("&Last Image"),
            {QKeySequence(Qt::Key_End)}, [catalog] { catalog->last(); }, gridKey(Qt::Key_End));
    addMove(navigateMenu, QStringLiteral("navigate.pageBack"), WindowTexts::tr("&Back %1 Images").arg(pageStep),
            {QKeySequence(Qt::Key_PageUp)}, [catalog] { catalog->moveBy(-pageStep); }, gridKey(Qt::Key_PageUp));
    addMove(navigateMenu, QStringLiteral("navigate.pageForward"), WindowTexts::tr("F&orward %1 Images").arg(pageStep),
            {QKeySequence(Qt::Key_PageDown)}, [catalog] { catalog->moveBy(pageStep); }, gridKey(Qt::Key_PageDown));
}

QAction *NavigationController::addMove(QMenu *menu, const QString &id, const QString &text,
                                       const QList<QKeySequence> &keys, const std::function<void()> &onViewer,
                                       const std::function<void()> &onGrid)
{
    QAction *action = menu->addAction(text);
    action->setShortcuts(keys);
    action->setShortcutContext(Qt::WindowShortcut);
    parts.actions->enter(id, action, keys.constFirst());
    connect(action, &QAction::triggered, this, [this, onViewer, onGrid] {
        parts.slideshow->stop();
        if (parts.gridShown())
            onGrid();
        else
            onViewer();
    });
    moves.append(action);
    parts.keepInFullScreen(action);
    return action;
}

std::function<void()> NavigationController::gridKey(Qt::Key key)
{
    // Sent to the view itself. A key sent to a widget passes the window's
    // shortcuts first: the moves step aside meanwhile, or the key would
    // come straight back here.
    return [this, key] {
        for (QAction *action : std::as_const(moves))
            action->setEnabled(false);
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
        QCoreApplication::sendEvent(parts.grid->listView(), &press);
        for (QAction *action : std::as_const(moves))
            action->setEnabled(true);
    };
}

void NavigationController::step(int direction)
{
    if (parts.viewer->stepCandidate(direction))
        return;
    if (direction < 0)
        parts.catalog->previous();
    else
        parts.catalog->next();
}
