#include "command.h"

#include "imaging/colourconversion.h"
#include "imaging/colourprofile.h"
#include "imaging/photodecoder.h"
#include "imaging/rawrender.h"

#include <QImageWriter>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstdio>

namespace {

// The picture as the viewer shows it at Fit in a SIZE × SIZE window on an
// sRGB display, written as PNG with an sRGB profile, so that our colour
// conversion can be compared with other colour-managed software. With
// --full, what 100 % shows instead: the whole photo at its full size, for a
// RAW file with a small preview rendered from its sensor data.
int render(QStringList args)
{
    const bool full = !args.isEmpty() && args.first() == QLatin1String("--full");
    if (full)
        args.removeFirst();
    if (args.size() < 2 || args.size() > 3 || (full && args.size() != 2)) {
        std::fprintf(stderr, "usage: glanceway-inspect render [--full] PHOTO OUT.png [SIZE]\n");
        return 2;
    }
    bool ok = true;
    const int side = args.size() == 3 ? args.at(2).toInt(&ok) : 1024;
    if (!ok || side < 1 || side > 16384) {
        std::fprintf(stderr, "SIZE must be a number from 1 to 16384\n");
        return 2;
    }
    QString rawError;
    bool rendered = false;
    const QImage decoded = full ? decodeFullPicture(args.at(0), rawMemoryLimitMiB, &rawError, &rendered)
                                : decodePhoto(args.at(0));
    if (!rawError.isEmpty())
        std::fprintf(stderr, "%s: %s\n", qPrintable(args.at(0)), qPrintable(rawError));
    if (decoded.isNull()) {
        std::fprintf(stderr, "%s: cannot be decoded\n", qPrintable(args.at(0)));
        return 1;
    }
    const SourceColour source = sourceColourOf(decoded, args.at(0));
    const QColorSpace srgb(QColorSpace::SRgb);
    QImage shown = full ? toColourSpace(decoded, source, srgb, true)
                        : renderForDisplay(decoded, source, QSize(side, side), srgb, true);
    // Unconverted pixels are shown as if they were sRGB; the file says so.
    shown.setColorSpace(srgb);
    QImageWriter writer(args.at(1), "png");
    if (!writer.write(shown)) {
        std::fprintf(stderr, "%s: %s\n", qPrintable(args.at(1)), qPrintable(writer.errorString()));
        return 1;
    }
    printLine(QJsonDocument(QJsonObject{{QStringLiteral("file"), args.at(0)},
                                        {QStringLiteral("source"), source.name},
                                        {QStringLiteral("applied"), source.applied},
                                        {QStringLiteral("width"), shown.width()},
                                        {QStringLiteral("height"), shown.height()},
                                        {QStringLiteral("raw"), rendered}})
                  .toJson(QJsonDocument::Compact));
    return 0;
}

const InspectCommand command{"render", "[--full] PHOTO OUT.png [SIZE]", render};

} // namespace
