#include "command.h"

#include "imaging/exifsummary.h"
#include "imaging/photodecoder.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstdio>

namespace {

QJsonArray sizeOf(const QImage &image)
{
    return image.isNull() ? QJsonArray{0, 0} : QJsonArray{image.width(), image.height()};
}

QJsonObject exifJson(const ExifSummary &s)
{
    return {{QStringLiteral("make"), s.make},
            {QStringLiteral("model"), s.model},
            {QStringLiteral("lens"), s.lens},
            {QStringLiteral("captured"), s.captured},
            {QStringLiteral("exposure"), s.exposure},
            {QStringLiteral("aperture"), s.aperture},
            {QStringLiteral("iso"), s.iso},
            {QStringLiteral("focalLength"), s.focalLength},
            {QStringLiteral("compensation"), s.compensation},
            {QStringLiteral("pixelWidth"), s.pixelWidth},
            {QStringLiteral("pixelHeight"), s.pixelHeight},
            {QStringLiteral("fileSize"), double(s.fileSize)}};
}

// Keys in a fixed order, so lines of different files can be compared as text.
QByteArray describe(const QString &path)
{
    QJsonArray candidates;
    int orientation = 1;
    QFile file(path);
    if (file.open(QIODevice::ReadOnly) && file.size() > 0) {
        if (const uchar *bytes = file.map(0, file.size())) {
            for (const PreviewCandidate &c : findEmbeddedJpegPreviews(bytes, file.size()))
                candidates.append(QJsonArray{double(c.offset), double(c.length)});
            orientation = readTiffOrientation(bytes, file.size());
            file.unmap(const_cast<uchar *>(bytes));
        }
    }
    const auto compact = [](const auto &value) { return QJsonDocument(value).toJson(QJsonDocument::Compact); };
    const QJsonArray pathValue{path};
    QByteArray line = "{\"path\": " + compact(pathValue).mid(1).chopped(1);
    line += ", \"photo\": " + compact(sizeOf(decodePhoto(path)));
    line += ", \"thumbnail\": " + compact(sizeOf(decodeThumbnail(path, 512)));
    line += ", \"candidates\": " + compact(candidates);
    line += ", \"orientation\": " + QByteArray::number(orientation);
    const QJsonObject exif = exifJson(readExifSummary(path));
    static const char *const order[] = {"make", "model", "lens", "captured", "exposure", "aperture", "iso",
                                        "focalLength", "compensation", "pixelWidth", "pixelHeight", "fileSize"};
    line += ", \"exif\": {";
    bool first = true;
    for (const char *key : order) {
        const QJsonArray value{exif.value(QLatin1String(key))};
        line += (first ? "\"" : ", \"") + QByteArray(key) + "\": " + compact(value).mid(1).chopped(1);
        first = false;
    }
    line += "}}";
    return line;
}

int runDecode(const QStringList &args)
{
    if (args.isEmpty()) {
        std::fprintf(stderr, "usage: glanceway-inspect decode FILE...\n");
        return 2;
    }
    int status = 0;
    for (const QString &path : args) {
        if (!QFileInfo(path).isFile())
            status = 1;
        printLine(describe(QFileInfo(path).absoluteFilePath()));
    }
    return status;
}

const InspectCommand decodeCommand{"decode", "FILE...", runDecode};

} // namespace
