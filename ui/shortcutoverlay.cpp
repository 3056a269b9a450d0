#include "ui/shortcutoverlay.h"

#include <QAction>
#include <QCoreApplication>

#include <algorithm>

QString shortcutOverlayHtml(const QList<QAction *> &actions, const QAction *toggleAction)
{
    QList<QAction *> sorted = actions;
    std::stable_sort(sorted.begin(), sorted.end(), [](const QAction *a, const QAction *b) {
        return QString::localeAwareCompare(a->text(), b->text()) < 0;
    });

    const QString cellTemplate = QStringLiteral(
        "<td style='padding:3px 18px 3px 0;color:#c6ccd5'>%1</td><td style='padding:3px 34px 3px 0'><b>%2</b></td>");
    QStringList cells;
    for (const QAction *action : std::as_const(sorted)) {
        const QKeySequence key = action->shortcut();
        if (key.isEmpty())
            continue;
        // The toggle's own text flips between show and hide; the list names both.
        const QString label = action == toggleAction
                                  ? QCoreApplication::translate("MainWindow", "Show / hide this overview")
                                  : QString(action->text()).remove(QLatin1Char('&'));
        cells.append(cellTemplate.arg(label.toHtmlEscaped(), key.toString(QKeySequence::NativeText).toHtmlEscaped()));
    }

    const qsizetype count = cells.size();
    const qsizetype rows = (count + 1) / 2;
    QString table;
    for (qsizetype i = 0; i < rows; ++i) {
        const QString right = rows + i < count ? cells.at(rows + i) : QString();
        table += QStringLiteral("<tr>%1%2</tr>").arg(cells.at(i), right);
    }

    return QStringLiteral("<div style='font-size:18px;font-weight:600;margin-bottom:10px'>%1</div>"
                          "<table cellspacing='0'>%2</table>"
                          "<div style='color:#9da6b2;margin-top:12px'>%3</div>")
        .arg(QCoreApplication::translate("MainWindow", "Keyboard Shortcuts").toHtmlEscaped(), table,
             QCoreApplication::translate("MainWindow", "Press the shortcut again to close · Change keys in Preferences")
                 .toHtmlEscaped());
}
