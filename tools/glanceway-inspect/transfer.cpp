#include "command.h"

#include "core/folderlisting.h"
#include "core/photopairs.h"
#include "core/phototransfer.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstdio>

// The copy or move that File › Copy/Move Photos To… runs, for scripts: each
// photo's folder is listed and paired as the open folder would be, so that
// pairs and sidecars travel along exactly as they do from the window.

namespace {

QByteArray outcomeLine(const PhotoCore::TransferOutcome &outcome)
{
    const auto native = [](const QStringList &paths) {
        QJsonArray array;
        for (const QString &path : paths)
            array.append(QDir::toNativeSeparators(path));
        return array;
    };
    // Keys in a fixed order, so that lines compare textually.
    QByteArray line = "{\"files\":" + QJsonDocument(native(outcome.files)).toJson(QJsonDocument::Compact);
    line += ",\"to\":" + QJsonDocument(native(outcome.to)).toJson(QJsonDocument::Compact);
    line += ",\"ok\":" + QByteArray(outcome.ok ? "true" : "false");
    const QByteArray reason = QJsonDocument(QJsonArray{outcome.reason}).toJson(QJsonDocument::Compact);
    line += ",\"reason\":" + reason.mid(1, reason.size() - 2) + '}';
    return line;
}

int transfer(const QStringList &args)
{
    const QString how = args.value(0);
    if (args.size() < 3 || (how != QLatin1String("copy") && how != QLatin1String("move"))) {
        std::fprintf(stderr, "transfer: expected copy|move TARGET PHOTO...\n");
        return 2;
    }
    const QString target = QDir::cleanPath(QFileInfo(args.at(1)).absoluteFilePath());
    if (!QFileInfo(target).isDir()) {
        std::fprintf(stderr, "transfer: %s is not a folder\n", qPrintable(QDir::toNativeSeparators(target)));
        return 2;
    }
    QStringList photos, listed, folders;
    QSet<QString> listedSet;
    QList<PhotoCore::TransferOutcome> refused;
    for (const QString &arg : args.mid(2)) {
        const QFileInfo info(arg);
        const QString folder = QDir::cleanPath(info.absolutePath());
        if (!folders.contains(folder)) {
            folders.append(folder);
            const QStringList files = PhotoCore::listPhotoFiles(folder);
            listed += files;
            listedSet.unite(QSet<QString>(files.cbegin(), files.cend()));
        }
        const QString photo = QDir(folder).filePath(info.fileName());
        if (listedSet.contains(photo))
            photos.append(photo);
        else
            refused.append({{photo}, {}, false, QStringLiteral("not a photo this program shows")});
    }
    const PhotoCore::PhotoPairs pairs = PhotoCore::pairRawWithJpeg(listed);
    const QList<PhotoCore::TransferGroup> groups = PhotoCore::transferGroupsFor(photos, listed, pairs.partners);
    const PhotoCore::TransferResult result = PhotoCore::transferPhotos(
        groups, target, how == QLatin1String("move") ? PhotoCore::TransferMode::Move : PhotoCore::TransferMode::Copy);
    bool allOk = refused.isEmpty();
    for (const PhotoCore::TransferOutcome &outcome : std::as_const(result.outcomes)) {
        printLine(outcomeLine(outcome));
        allOk = allOk && outcome.ok;
    }
    for (const PhotoCore::TransferOutcome &outcome : std::as_const(refused))
        printLine(outcomeLine(outcome));
    // A failure after the group arrived (an original that cannot be deleted) fails the run too.
    return allOk && result.failures.isEmpty() ? 0 : 1;
}

const InspectCommand transferCommand{"transfer", "copy|move TARGET PHOTO...", transfer};

} // namespace
