#pragma once

#include <QList>
#include <QString>

class QAction;
class QMenu;

// The HTML of the keyboard-shortcut overview: the listed actions that have a
// key, grouped under the titles of the menus they appear in, in menu order
// (entries of a submenu belong to its top-level menu). Listed actions found in
// no menu close the overview under "Other". The groups are laid out in up to
// `columns` columns of similar height, each group kept whole, so the panel can
// be sized to its content. `toggleAction` is listed as "Show / hide this
// overview" whatever its text.
QString shortcutOverlayHtml(const QList<QMenu *> &menus, const QList<QAction *> &listed,
                            const QAction *toggleAction, int columns = 3);
