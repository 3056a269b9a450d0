#pragma once

#include <QKeySequence>
#include <QList>
#include <QString>

class QAction;
class QMenu;

// Keys a view handles itself, with no action behind them, listed in the
// overview as a group of their own.
struct ShortcutSection
{
    struct Row
    {
        QString label;
        QKeySequence key;
    };
    QString title;
    QList<Row> rows;
};

// The HTML of the keyboard-shortcut overview: every action of `menus` that has
// a key, grouped under the titles of the menus in menu order (entries of a
// submenu belong to its top-level menu); then those of `others` that have a key
// and appear in no menu, under "Other"; then `sections`. A row shows an
// action's first key only. The groups are laid out in up to `columns` columns
// of similar height, each group kept whole, so the panel can be sized to its
// content. `toggleAction` is listed as "Show / hide this overview" whatever
// its text.
QString shortcutOverlayHtml(const QList<QMenu *> &menus, const QList<QAction *> &others,
                            const QAction *toggleAction, int columns = 3,
                            const QList<ShortcutSection> &sections = {});
