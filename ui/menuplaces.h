#pragma once

#include <QList>
#include <QString>
#include <QStringList>

class QAction;
class QMenu;
class QMenuBar;

// Where the menus show a command: what the shortcut overview and the
// preferences group their rows by, so that both read the menus alike.
struct MenuPlace
{
    QAction *action = nullptr;
    // The titles from the menu bar down to the menu that holds the action, as
    // read: {"View", "Sort by"}.
    QStringList path;
};

// Every command of `menus`, depth first in menu order; an action shown in
// several places counts at its first. Separators, the entries that open
// submenus and hidden entries are left out.
QList<MenuPlace> menuPlaces(const QList<QMenu *> &menus);

// The menus of `bar`, in order.
QList<QMenu *> menuBarMenus(const QMenuBar *bar);

// A menu text as read: without its mnemonic marker, "&&" a literal ampersand.
QString plainMenuText(QString text);

// `name` behind its menu path: "Filter › 1 Star".
QString menuPathText(const QStringList &path, const QString &name);
