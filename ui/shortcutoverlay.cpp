#include "ui/shortcutoverlay.h"

#include <QAction>
#include <QCoreApplication>
#include <QMenu>
#include <QSet>

#include <algorithm>

namespace {

struct Group
{
    QString title;
    QStringList rows;
};

QString plainText(QString text)
{
    // "&&" stands for a literal ampersand; a single one marks the Alt letter.
    text.replace(QLatin1String("&&"), QChar(0xE000));
    text.remove(QLatin1Char('&'));
    text.replace(QChar(0xE000), QLatin1Char('&'));
    return text;
}

void addRow(const QAction *action, QSet<const QAction *> &pending, const QAction *toggleAction, QStringList &rows,
            const QString &rowTemplate)
{
    if (!pending.remove(action))
        return;
    const QKeySequence key = action->shortcut();
    if (key.isEmpty())
        return;
    // The toggle's own text flips between show and hide; the list names both.
    const QString label = action == toggleAction
                              ? QCoreApplication::translate("MainWindow", "Show / hide this overview")
                              : plainText(action->text());
    rows.append(rowTemplate.arg(label.toHtmlEscaped(), key.toString(QKeySequence::NativeText).toHtmlEscaped()));
}

void collect(const QMenu *menu, QSet<const QAction *> &pending, const QAction *toggleAction, QStringList &rows,
             const QString &rowTemplate)
{
    for (const QAction *action : menu->actions()) {
        if (const QMenu *submenu = action->menu())
            collect(submenu, pending, toggleAction, rows, rowTemplate);
        else
            addRow(action, pending, toggleAction, rows, rowTemplate);
    }
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

QString shortcutOverlayHtml(const QList<QMenu *> &menus, const QList<QAction *> &listed,
                            const QAction *toggleAction, int columns)
{
    const QString rowTemplate = QStringLiteral("<tr><td style='padding:2px 18px 2px 0;color:#c6ccd5;white-space:nowrap'>%1</td>"
                                               "<td style='padding:2px 0;white-space:nowrap'><b>%2</b></td></tr>");
    QSet<const QAction *> pending;
    for (const QAction *action : listed)
        pending.insert(action);

    QList<Group> groups;
    for (const QMenu *menu : menus) {
        Group group{plainText(menu->title()), {}};
        collect(menu, pending, toggleAction, group.rows, rowTemplate);
        if (!group.rows.isEmpty())
            groups.append(group);
    }
    Group other{QCoreApplication::translate("MainWindow", "Other"), {}};
    for (const QAction *action : listed)
        addRow(action, pending, toggleAction, other.rows, rowTemplate);
    if (!other.rows.isEmpty())
        groups.append(other);

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
             QCoreApplication::translate("MainWindow", "Press the shortcut again to close · Change keys in Preferences")
                 .toHtmlEscaped());
}
