#pragma once

#include "ui/windowparts.h"

#include <QObject>

class QAction;
class QMenu;
struct ShortcutSection;

// View › Compare Two Photos: the viewer's two panes, started from the single
// view (the current photo is pinned), from the grid (a selection of several
// photos is the set of candidates) or on a burst (its sharpest frame pinned).
class CompareController : public QObject
{
    Q_OBJECT
public:
    CompareController(const WindowParts &parts, QObject *parent);

    void addTo(QMenu *viewMenu);
    // The keys of the compare view, for the shortcut overview.
    ShortcutSection keys() const;

private:
    void toggle();

    WindowParts parts;
    QAction *action = nullptr;
};
