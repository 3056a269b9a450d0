#include "ui/shortcutoverlay.h"
#include "ui/menuplaces.h"

#include <QAction>
#include <QCoreApplication>
#include <QSet>

#include <algorithm>

namespace {

struct Group
{
    QString title;
    QStringList rows;
};

QString keyText(const QKeySequence &key)
{
    return key.toString(QKeySequence::NativeText);
}

QString rowHtml(const QString &label, const QKeySequence &key)
{
    return QStringLiteral("<tr><td style='padding:1px 18px 1px 0;color:#c6ccd5;white-space:nowrap'>%1</td>"
                          "<td style='padding:1px 0;white-space:nowrap'><b>%2</b></td></tr>")
        .arg(label.toHtmlEscaped(), keyText(key).toHtmlEscaped());
}

QString actionRow(const QAction *action, const QAction *toggleAction)
{
    // The toggle's own text flips between show and hide; the list names both.
    const QString label = action == toggleAction
                              ? QCoreApplication::translate("MainWindow", "Show / hide this overview")
                              : plainMenuText(action->text());
    return rowHtml(label, action->shortcut());
}

// A heading is about as tall as two rows of keys.
int heightOf(const Group &group)
{
    return int(group.rows.size()) + 2;
}

// Splits the groups, in order, into at most `columns` runs whose tallest is
// as short as possible; returns the index where each run starts.
QList<int> balancedColumns(const QList<Group> &groups, int columns)
{
    const auto fits = [&](int limit, QList<int> *starts) {
        int used = 0;
        int run = 0;
        for (int i = 0; i < groups.size(); ++i) {
            const int h = heightOf(groups.at(i));
            if (i == 0 || used + h > limit) {
                if (++run > columns)
                    return false;
                if (starts)
                    starts->append(i);
                used = 0;
            }
            used += h;
        }
        return true;
    };
    int low = 0;
    int high = 0;
    for (const Group &group : groups) {
        low = std::max(low, heightOf(group));
        high += heightOf(group);
    }
    while (low < high) {
        const int mid = (low + high) / 2;
        if (fits(mid, nullptr))
            high = mid;
        else
            low = mid + 1;
    }
    QList<int> starts;
    fits(low, &starts);
    return starts;
}

} // namespace

QString shortcutOverlayHtml(const QList<QMenu *> &menus, const QList<QAction *> &others,
                            const QAction *toggleAction, int columns, const QList<ShortcutSection> &sections)
{
    QList<Group> groups;
    QSet<const QAction *> inMenus;
    for (const MenuPlace &place : menuPlaces(menus)) {
        inMenus.insert(place.action);
        if (place.action->shortcut().isEmpty())
            continue;
        const QString &title = place.path.constFirst();
        // Places come menu by menu, so a menu's rows are always the last group.
        if (groups.isEmpty() || groups.constLast().title != title)
            groups.append({title, {}});
        groups.last().rows.append(actionRow(place.action, toggleAction));
    }
    Group other{QCoreApplication::translate("MainWindow", "Other"), {}};
    for (const QAction *action : others) {
        if (!action->shortcut().isEmpty() && !inMenus.contains(action)) {
            inMenus.insert(action);
            other.rows.append(actionRow(action, toggleAction));
        }
    }
    if (!other.rows.isEmpty())
        groups.append(other);
    for (const ShortcutSection &section : sections) {
        Group group{section.title, {}};
        for (const ShortcutSection::Row &row : section.rows) {
            if (!row.key.isEmpty())
                group.rows.append(rowHtml(row.label, row.key));
        }
        if (!group.rows.isEmpty())
            groups.append(group);
    }

    QString body;
    if (!groups.isEmpty()) {
        const QList<int> starts = balancedColumns(groups, std::max(1, columns));
        body = QStringLiteral("<table cellspacing='0'><tr>");
        for (int c = 0; c < starts.size(); ++c) {
            const int end = c + 1 < starts.size() ? starts.at(c + 1) : int(groups.size());
            const QString padding = c + 1 < starts.size() ? QStringLiteral("0 44px 0 0") : QStringLiteral("0");
            // One table per column, so the keys of all its groups line up.
            body += QStringLiteral("<td valign='top' style='padding:%1'><table cellspacing='0'>").arg(padding);
            for (int g = starts.at(c); g < end; ++g) {
                body += QStringLiteral("<tr><td colspan='2' style='font-weight:600;color:#8fb4ff;"
                                       "padding:%1px 0 3px 0'>%2</td></tr>%3")
                            .arg(g == starts.at(c) ? 0 : 12)
                            .arg(groups.at(g).title.toHtmlEscaped(), groups.at(g).rows.join(QString()));
            }
            body += QStringLiteral("</table>");
            body += QStringLiteral("</td>");
        }
        body += QStringLiteral("</tr></table>");
    }

    return QStringLiteral("<div style='font-size:18px;font-weight:600;margin-bottom:10px'>%1</div>%2"
                          "<div style='color:#9da6b2;margin-top:12px'>%3</div>")
        .arg(QCoreApplication::translate("MainWindow", "Keyboard Shortcuts").toHtmlEscaped(), body,
             QCoreApplication::translate("MainWindow",
                                         "Press Esc or the shortcut again to close · Change keys in Preferences")
                 .toHtmlEscaped());
}
