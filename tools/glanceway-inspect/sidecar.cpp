#include "command.h"

#include "core/sidecarpaths.h"
#include "core/xmpsidecar.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstdio>

namespace {

// One JSON line per photo; keys in a fixed order so that scripts can compare
// lines textually.
QByteArray recordLine(const QString &photo, const QString &sidecar, const PhotoCore::Metadata &record)
{
    const auto str = [](const QString &s) {
        // QJsonDocument escapes a lone string only inside a container.
        const QByteArray array = QJsonDocument(QJsonArray{s}).toJson(QJsonDocument::Compact);
        return array.mid(1, array.size() - 2);
    };
    QByteArray line = "{\"photo\": " + str(photo);
    line += ", \"sidecar\": " + str(sidecar);
    line += ", \"rating\": " + QByteArray::number(record.rating);
    line += ", \"label\": " + str(record.label);
    line += ", \"rejected\": " + QByteArray(record.rejected ? "true" : "false");
    line += ", \"rotation\": " + QByteArray::number(record.rotation) + '}';
    return line;
}

int sidecarRead(const QStringList &args)
{
    if (args.isEmpty()) {
        std::fprintf(stderr, "sidecar-read: no photo given\n");
        return 2;
    }
    for (const QString &photo : args)
        printLine(recordLine(photo, PhotoCore::sidecarPathFor(photo), PhotoCore::readMetadata(photo)));
    return 0;
}

int sidecarWrite(const QStringList &args)
{
    if (args.size() != 5) {
        std::fprintf(stderr, "sidecar-write: expected PHOTO RATING LABEL REJECTED ROTATION\n");
        return 2;
    }
    bool ratingOk = false;
    bool rotationOk = false;
    PhotoCore::Metadata record;
    record.rating = args.at(1).toInt(&ratingOk);
    record.label = args.at(2);
    record.rotation = args.at(4).toInt(&rotationOk);
    const QString rejected = args.at(3);
    if (!ratingOk || !rotationOk || (rejected != QLatin1String("0") && rejected != QLatin1String("1"))) {
        std::fprintf(stderr, "sidecar-write: RATING and ROTATION are integers, REJECTED is 0 or 1\n");
        return 2;
    }
    record.rejected = rejected == QLatin1String("1");
    return PhotoCore::writeMetadata(args.at(0), record) ? 0 : 1;
}

const InspectCommand readCommand{"sidecar-read", "PHOTO...", sidecarRead};
const InspectCommand writeCommand{"sidecar-write", "PHOTO RATING LABEL REJECTED ROTATION", sidecarWrite};

} // namespace
