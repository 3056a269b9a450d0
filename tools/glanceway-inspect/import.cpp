#include "command.h"

#include "core/ingest.h"
#include "imaging/ingestfacts.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstdio>

// File › Import from Card… for scripts: the same plan, the same checked
// copies and the same import log (in the program's data folder unless --log
// names another), one JSON line per photo.

namespace {

QByteArray outcomeLine(const PhotoCore::IngestOutcome &outcome)
{
    const auto native = [](const QStringList &paths, int at) {
        return paths.size() > at ? QJsonValue(QDir::toNativeSeparators(paths.at(at))) : QJsonValue();
    };
    static const char *const states[] = {"imported", "skipped", "failed", "failed"};
    QJsonArray with;
    for (const QString &file : outcome.sources.mid(1))
        with.append(QDir::toNativeSeparators(file));
    // Keys in a fixed order, so that lines compare textually.
    QByteArray line;
    const auto field = [&line](const char *key, const QJsonValue &value) {
        const QByteArray text = QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact);
        line += (line.isEmpty() ? "{\"" : ",\"") + QByteArray(key) + "\":" + text.mid(1, text.size() - 2);
    };
    field("source", native(outcome.sources, 0));
    field("destination", native(outcome.destinations, 0));
    field("backup", native(outcome.backups, 0));
    field("status", QString::fromLatin1(states[int(outcome.state)]));
    field("reason", outcome.reason);
    field("with", with);
    return line + '}';
}

// For the tests that kill an import part-way: GLANCEWAY_INSPECT_IMPORT_PAUSE
// names a file being written (its final path) or, for the moment between
// photos, the card file of the photo about to begin. There the import says
// "paused" on stderr and waits for a line on stdin, so that the test can kill
// it at exactly that point.
PhotoCore::IngestProgressFunction pauseAt()
{
    const QString at = QDir::cleanPath(qEnvironmentVariable("GLANCEWAY_INSPECT_IMPORT_PAUSE"));
    if (at.isEmpty() || at == QLatin1String("."))
        return {};
    return [at](const PhotoCore::IngestProgress &progress) {
        if (progress.target.isEmpty() ? progress.file == at : progress.target == at) {
            std::fprintf(stderr, "paused\n");
            std::fflush(stderr);
            char line[16];
            if (!std::fgets(line, sizeof line, stdin))
                return false;
        }
        return true;
    };
}

int import(const QStringList &given)
{
    QStringList args = given;
    QString backup, folders = PhotoCore::IngestTemplates::defaultFolderTemplate(), names, logPath;
    bool videos = false;
    for (int i = 0; i < args.size();) {
        const QString arg = args.at(i);
        const auto value = [&](QString &into) {
            into = args.value(i + 1);
            args.remove(i, 2);
        };
        if (arg == QLatin1String("--backup"))
            value(backup);
        else if (arg == QLatin1String("--folders"))
            value(folders);
        else if (arg == QLatin1String("--names"))
            value(names);
        else if (arg == QLatin1String("--log"))
            value(logPath);
        else if (arg == QLatin1String("--videos"))
            videos = true, args.remove(i);
        else
            ++i;
    }
    if (args.size() != 2 || !QFileInfo(args.at(0)).isDir()) {
        std::fprintf(stderr, "import: expected SOURCE DEST [--backup DIR] [--folders TEMPLATE] [--names TEMPLATE] "
                             "[--videos] [--log FILE]\n");
        return 2;
    }
    // The program's own log, so that the window and scripts agree on what is new.
    QCoreApplication::setOrganizationName(QStringLiteral("Quillmark"));
    QCoreApplication::setApplicationName(QStringLiteral("Glanceway"));
    const QString card = PhotoCore::dcimFolder(args.at(0));
    const QString source = QDir::cleanPath(QFileInfo(card.isEmpty() ? args.at(0) : card).absoluteFilePath());
    const QString destination = QDir::cleanPath(QFileInfo(args.at(1)).absoluteFilePath());
    if (!backup.isEmpty())
        backup = QDir::cleanPath(QFileInfo(backup).absoluteFilePath());
    switch (PhotoCore::ingestFolderClash(source, destination, backup)) {
    case PhotoCore::IngestFolderClash::OnSource:
        std::fprintf(stderr, "import: the destination and the backup cannot lie in the folder imported from, %s\n",
                     qPrintable(QDir::toNativeSeparators(source)));
        return 2;
    case PhotoCore::IngestFolderClash::BackupOverlaps:
        std::fprintf(stderr, "import: the backup %s needs a folder of its own, outside the destination %s\n",
                     qPrintable(QDir::toNativeSeparators(backup)), qPrintable(QDir::toNativeSeparators(destination)));
        return 2;
    case PhotoCore::IngestFolderClash::None:
        break;
    }
    PhotoCore::IngestLog log(logPath.isEmpty() ? PhotoCore::IngestLog::defaultPath() : logPath);
    const PhotoCore::IngestPlan plan = PhotoCore::planIngest(
        source, {folders, names}, videos, &readIngestFacts,
        [&](const PhotoCore::IngestItem &item) { return log.contains(item, destination); });
    const PhotoCore::IngestResult result = PhotoCore::runIngest(plan, destination, backup, &log, pauseAt());
    for (const PhotoCore::IngestOutcome &outcome : result.outcomes)
        printLine(outcomeLine(outcome));
    if (!result.stopped.isEmpty())
        std::fprintf(stderr, "import: %s\n", qPrintable(result.stopped));
    return result.allImported() ? 0 : 1;
}

const InspectCommand importCommand{"import",
                                   "SOURCE DEST [--backup DIR] [--folders TEMPLATE] [--names TEMPLATE] [--videos] "
                                   "[--log FILE]",
                                   import};

} // namespace
