#include "command.h"

#include <QGuiApplication>

#include <cstdio>
#include <map>

namespace {
struct Entry
{
    QString usage;
    InspectFunction fn;
};

std::map<QString, Entry> &commands()
{
    static std::map<QString, Entry> all;
    return all;
}
} // namespace

InspectCommand::InspectCommand(const char *name, const char *usage, InspectFunction fn)
{
    commands().emplace(QString::fromLatin1(name), Entry{QString::fromLatin1(usage), std::move(fn)});
}

void printLine(const QByteArray &line)
{
    std::fwrite(line.constData(), 1, size_t(line.size()), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    const auto it = args.isEmpty() ? commands().end() : commands().find(args.first());
    if (it == commands().end()) {
        std::fprintf(stderr, "usage:\n");
        for (const auto &[name, entry] : commands())
            std::fprintf(stderr, "  glanceway-inspect %s %s\n", qPrintable(name), qPrintable(entry.usage));
        return 2;
    }
    return it->second.fn(args.mid(1));
}
