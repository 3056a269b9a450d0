#include "imaging/colourconversion.h"

#include <QColorTransform>
#include <QHash>
#include <QMutex>
#include <QSettings>

namespace {

// Building a transform parses nothing but fills lookup tables on first use;
// keeping a few alive keeps those tables. Photos of one folder use a handful
// of spaces at most.
constexpr int maxCachedTransforms = 32;

QColorTransform transformFor(const QColorSpace &from, const QColorSpace &to)
{
    static QMutex mutex;
    static QHash<QByteArray, QColorTransform> cache;
    const QByteArray key = from.iccProfile() + QByteArrayLiteral("\0->\0") + to.iccProfile();
    QMutexLocker lock(&mutex);
    auto it = cache.constFind(key);
    if (it != cache.constEnd())
        return it.value();
    if (cache.size() >= maxCachedTransforms)
        cache.clear();
    const QColorTransform transform = from.transformationToColorSpace(to);
    cache.insert(key, transform);
    return transform;
}

} // namespace

bool needsConversion(const QColorSpace &from, const QColorSpace &to)
{
    return from.isValid() && to.isValid() && from != to;
}

QImage convertColours(const QImage &image, const QColorSpace &from, const QColorSpace &to)
{
    if (image.isNull() || !needsConversion(from, to))
        return image;
    QImage converted = image;
    switch (converted.format()) {
    case QImage::Format_RGB32:
    case QImage::Format_ARGB32:
    case QImage::Format_ARGB32_Premultiplied:
    case QImage::Format_RGBA64:
    case QImage::Format_RGBA64_Premultiplied:
        break;
    default:
        // Grey and indexed pictures hold no colour to map; they stay as they are.
        if (converted.isGrayscale())
            return image;
        converted = converted.convertToFormat(converted.hasAlphaChannel() ? QImage::Format_ARGB32
                                                                          : QImage::Format_RGB32);
        break;
    }
    converted.applyColorTransform(transformFor(from, to));
    converted.setColorSpace(to);
    return converted;
}

bool colourManagementEnabled()
{
    return QSettings().value(QStringLiteral("view/colourManagement"), true).toBool();
}

QImage toColourSpace(const QImage &decoded, const SourceColour &source, const QColorSpace &target, bool manage)
{
    if (!manage || !source.applied)
        return decoded;
    return convertColours(decoded, source.space, target);
}

QImage renderForDisplay(const QImage &decoded, const SourceColour &source, const QSize &box,
                        const QColorSpace &display, bool manage)
{
    if (decoded.isNull() || box.isEmpty())
        return QImage();
    const QImage fitted = decoded.scaled(box, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    return toColourSpace(fitted, source, display, manage);
}
