#include "bench/benchmark.h"

#include "grid/thumbnailgridwidget.h"
#include "imaging/colourconversion.h"
#include "imaging/colourprofile.h"
#include "imaging/photodecoder.h"

#include <QDir>
#include <QFileInfo>

// What colour management adds to showing a photo: the colour-space lookup and
// the conversion, timed on their own and set against the decode they follow,
// for an Adobe RGB 24 MP camera-like JPEG.
namespace {

const QSize photoSize(6000, 4000);
const QSize fitBox(1600, 1000);

QString adobePhoto(const QString &dataDir)
{
    const QString dir = dataDir + QStringLiteral("/colour");
    const QString path = dir + QStringLiteral("/adobe-24mp.jpg");
    if (!QFileInfo::exists(path)) {
        QDir().mkpath(dir);
        QImage picture = bench::detailedPicture(3, photoSize);
        picture.setColorSpace(QColorSpace::AdobeRgb);
        picture.save(path, "JPEG", 92);
    }
    return path;
}

BenchResult addedPercent(double decodeMs, double colourMs, const char *what)
{
    return {100.0 * colourMs / decodeMs, QStringLiteral("percent"),
            {{QStringLiteral("decode_ms"), decodeMs}, {QStringLiteral("colour_ms"), colourMs},
             {QStringLiteral("what"), QString::fromLatin1(what)}}};
}

const BenchRegistration fitConvert{"colour.fitConvert", [](const BenchContext &ctx) {
    const QString path = adobePhoto(ctx.dataDir);
    const QColorSpace display(QColorSpace::SRgb);
    QImage decoded;
    const double decodeMs = bench::medianMs(5, [&] {
        decoded = decodePhoto(path);
        (void)renderForDisplay(decoded, SourceColour{display, QString(), true}, fitBox, display, true);
    });
    const QImage fitted = decoded.scaled(fitBox, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    const double colourMs = bench::medianMs(15, [&] {
        const SourceColour source = sourceColourOf(decoded, path);
        (void)toColourSpace(fitted, source, display, true);
    });
    BenchResult r = addedPercent(decodeMs, colourMs, "24 MP Adobe RGB at fit in 1600x1000, converted to sRGB");
    r.detail.insert(QStringLiteral("target"), 10);
    return r;
}};

const BenchRegistration thumbnailConvert{"colour.thumbnail", [](const BenchContext &ctx) {
    const QString path = adobePhoto(ctx.dataDir);
    const QColorSpace srgb(QColorSpace::SRgb);
    QImage thumbnail;
    const double decodeMs = bench::medianMs(5, [&] { thumbnail = decodeThumbnail(path, ThumbnailGridWidget::decodeSide); });
    const double colourMs = bench::medianMs(25, [&] {
        (void)toColourSpace(thumbnail, sourceColourOf(thumbnail, path), srgb, true);
    });
    BenchResult r = addedPercent(decodeMs, colourMs, "grid thumbnail (decoded at 512 px, shown at 192) of a 24 MP Adobe RGB JPEG, converted to sRGB");
    r.detail.insert(QStringLiteral("target"), 5);
    return r;
}};

} // namespace
