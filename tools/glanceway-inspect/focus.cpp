#include "command.h"

#include "imaging/focuspoints.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <cstdio>

namespace {

QByteArray jsonString(const QString &s)
{
    // QJsonDocument escapes a lone string only inside a container.
    const QByteArray array = QJsonDocument(QJsonArray{s}).toJson(QJsonDocument::Compact);
    return array.mid(1, array.size() - 2);
}

QByteArray number(double v)
{
    return QByteArray::number(v, 'g', 6);
}

QByteArray flag(const std::optional<bool> &v)
{
    return !v.has_value() ? QByteArray("null") : *v ? QByteArray("true") : QByteArray("false");
}

// One line per photo, keys in a fixed order so that lines compare textually.
QByteArray focusLine(const QString &path, const FocusPoints &focus)
{
    QByteArray line = "{\"path\":" + jsonString(path) + ",\"points\":[";
    for (int i = 0; i < focus.points.size(); ++i) {
        const FocusPoint &p = focus.points.at(i);
        if (i > 0)
            line += ',';
        line += "{\"x\":" + number(p.x) + ",\"y\":" + number(p.y) + ",\"w\":" + number(p.w) + ",\"h\":" + number(p.h)
                + ",\"inFocus\":" + flag(p.inFocus) + ",\"selected\":" + flag(p.selected) + '}';
    }
    return line + "],\"source\":" + jsonString(focus.source) + '}';
}

int focus(const QStringList &args)
{
    if (args.isEmpty()) {
        std::fprintf(stderr, "focus: no photo given\n");
        return 2;
    }
    for (const QString &photo : args)
        printLine(focusLine(photo, readFocusPoints(photo)));
    return 0;
}

const InspectCommand focusCommand{"focus", "PHOTO...", focus};

} // namespace
