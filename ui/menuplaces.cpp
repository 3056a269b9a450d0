#include "ui/menuplaces.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QSet>

namespace {

void collect(const QMenu *menu, QStringList &path, QSet<const QAction *> &seen, QList<MenuPlace> &places)
{
    path.append(plainMenuText(menu->title()));
    for (QAction *action : menu->actions()) {
        if (action->isSeparator() || !action->isVisible())
            continue;
        if (const QMenu *submenu = action->menu())
            collect(submenu, path, seen, places);
        else if (!seen.contains(action)) {
            seen.insert(action);
            places.append({action, path});
        }
    }
    path.removeLast();
}

} // namespace

QList<MenuPlace> menuPlaces(const QList<QMenu *> &menus)
{
    QList<MenuPlace> places;
    QSet<const QAction *> seen;
    QStringList path;
    for (const QMenu *menu : menus)
        collect(menu, path, seen, places);
    return places;
}

QList<QMenu *> menuBarMenus(const QMenuBar *bar)
{
    QList<QMenu *> menus;
    for (const QAction *entry : bar->actions()) {
        if (entry->menu())
            menus.append(entry->menu());
    }
    return menus;
}

QString plainMenuText(QString text)
{
    // U+E000 is private use: no menu text holds it.
    text.replace(QLatin1String("&&"), QChar(0xE000));
    text.remove(QLatin1Char('&'));
    text.replace(QChar(0xE000), QLatin1Char('&'));
    return text;
}

QString menuPathText(const QStringList &path, const QString &name)
{
    return (QStringList(path) << name).join(QStringLiteral(" › "));
}
