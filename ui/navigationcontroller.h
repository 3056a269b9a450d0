#pragma once

#include "ui/windowparts.h"

#include <QKeySequence>
#include <QList>
#include <QObject>

#include <functional>

class QAction;
class QMenu;

// Navigate: moves through the photos, on either page in the list that page
// shows. Every move pauses a slideshow.
class NavigationController : public QObject
{
    Q_OBJECT
public:
    NavigationController(const WindowParts &parts, QObject *parent);

    // Previous, Next, First, Last, Back and Forward a page.
    void addTo(QMenu *navigateMenu);
    // A move of another feature: `onViewer` on the viewer page, `onGrid` on
    // the grid page. Registered under `id` with the first of `keys` as its default.
    QAction *addMove(QMenu *menu, const QString &id, const QString &text, const QList<QKeySequence> &keys,
                     const std::function<void()> &onViewer, const std::function<void()> &onGrid);
    // Next (+1) or previous (-1) photo; while comparing, the next candidate.
    void step(int direction);

private:
    // The grid view's own handling of `key`.
    std::function<void()> gridKey(Qt::Key key);

    WindowParts parts;
    QList<QAction *> moves;
};
