#include "app/commandline.h"

#include <QFileInfo>
#include <QUrl>

#include <utility>

QString pathToOpen(const QStringList &arguments)
{
    QStringList items;
    bool optionsEnded = false;
    for (const QString &argument : arguments) {
        if (!optionsEnded && argument == QLatin1String("--")) {
            optionsEnded = true;
            continue;
        }
        if (!optionsEnded && argument.startsWith(QLatin1Char('-')))
            continue;
        if (argument.isEmpty())
            continue;
        if (argument.startsWith(QLatin1String("file:"), Qt::CaseInsensitive)) {
            const QUrl url(argument);
            if (url.isLocalFile()) {
                items << url.toLocalFile();
                continue;
            }
        }
        items << argument;
    }
    for (const QString &item : std::as_const(items)) {
        if (QFileInfo::exists(item))
            return item;
    }
    return items.value(0);
}
