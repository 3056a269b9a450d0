#include "app/commandline.h"

#include <QFileInfo>
#include <QUrl>

#include <utility>

namespace {

// Explorer fills a folder entry's "%V" or "%1" in quotes; a drive root's
// "D:\" then reaches the program as D:" (a backslash before a quote escapes
// it), as does any path given with a trailing backslash. A quote is never
// part of a Windows file name.
QString withEscapedQuoteUndone(const QString &argument)
{
#ifdef Q_OS_WIN
    if (argument.endsWith(QLatin1Char('"')))
        return argument.chopped(1) + QLatin1Char('\\');
#endif
    return argument;
}

} // namespace

QString pathToOpen(const QStringList &arguments)
{
    QStringList items;
    bool optionsEnded = false;
    for (const QString &given : arguments) {
        const QString argument = withEscapedQuoteUndone(given);
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
