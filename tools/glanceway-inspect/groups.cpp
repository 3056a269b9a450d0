#include "command.h"

#include "catalog/burstgroups.h"
#include "catalog/photocatalog.h"
#include "imaging/burstanalysis.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>

#include <cstdio>

namespace {

// One JSON line per group, in capture-time order: its photos (paths from the
// folder), their sharpness and their rank (1: the sharpest). The program's
// default rules and pairing, whatever the user set; its cache of analyses.
int groups(const QStringList &args)
{
    if (args.size() != 1 || !QFileInfo(args.first()).isDir()) {
        std::fprintf(stderr, "groups: expected one FOLDER\n");
        return 2;
    }
    QCoreApplication::setOrganizationName(QStringLiteral("Quillmark"));
    QCoreApplication::setApplicationName(QStringLiteral("Glanceway"));
    const QDir folder(args.first());

    PhotoCatalog catalog;
    catalog.setPairsShownAsOne(true);
    BurstGroups bursts(&catalog, &analyseBurstFrame);
    bursts.setRules(PhotoCore::BurstRules());
    QEventLoop loop;
    QObject::connect(&bursts, &BurstGroups::finished, &loop, &QEventLoop::quit);
    catalog.openFolder(folder.absolutePath());
    if (!catalog.allFiles().isEmpty())
        loop.exec();

    // Keys in the order scripts are told, not the alphabetical one of QJsonObject.
    const auto array = [](const QJsonArray &values) { return QJsonDocument(values).toJson(QJsonDocument::Compact); };
    for (const QStringList &group : bursts.groups()) {
        QJsonArray photos;
        QJsonArray sharpness;
        QJsonArray ranks;
        for (const QString &path : group) {
            photos.append(folder.relativeFilePath(path));
            sharpness.append(bursts.sharpnessOf(path));
            ranks.append(bursts.rankOf(path));
        }
        printLine("{\"photos\":" + array(photos) + ",\"sharpness\":" + array(sharpness) + ",\"rank\":" + array(ranks)
                  + '}');
    }
    return 0;
}

const InspectCommand command{"groups", "FOLDER", groups};

} // namespace
