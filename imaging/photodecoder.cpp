#include "imaging/photodecoder.h"

#include "core/photopairs.h"
#include "imaging/damagereport.h"
#include "imaging/decodesupport_p.h"
#include "imaging/jpegstrips.h"
#include "imaging/rawlibrarypreview.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QTransform>

#include <algorithm>
#include <cstring>
#include <limits>

using namespace decodesupport;

namespace {

// Qt's own reader: format from suffix and content, the file's Exif orientation
// applied, scaled while decoding when `side` > 0 and the image is larger.
QImage readWithQt(const QString &path, int side, const QSize &box = QSize(), bool *scaled = nullptr,
                  QSize *stored = nullptr)
{
    {
        // Whatever its name, JPEG content goes to the JPEG reader.
        MappedFile file;
        if (file.open(path, 4) && !jpegSegmentsWithinLimit(file.data(), file.size())) {
            reportDamage();
            return QImage();
        }
    }
    QImageReader reader(path);
    reader.setAutoTransform(true);
    if (stored)
        *stored = reader.size();
    if (side > 0) {
        const QSize size = reader.size();
        if (size.isValid() && (size.width() > side || size.height() > side))
            reader.setScaledSize(size.scaled(side, side, Qt::KeepAspectRatio));
    } else if (box.isValid() && reader.format() == "jpeg") {
        // Only the JPEG reader scales while decoding; others would decode in
        // full and then scale with less care than the viewer does.
        const bool turned = reader.transformation() & QImageIOHandler::TransformationRotate90;
        const bool reduced = scaleForBox(reader, turned ? box.transposed() : box);
        if (scaled)
            *scaled = reduced;
    }
    return reader.read();
}

// Whether the stream's frame is lossless (SOF3, 7, 11, 15): sensor data.
bool losslessJpeg(const uchar *bytes, qint64 length)
{
    bool lossless = false;
    forEachJpegSegment(bytes, length, [&](uchar marker, const uchar *, qint64) {
        lossless = lossless || marker == 0xC3 || marker == 0xC7 || marker == 0xCB || marker == 0xCF;
    });
    return lossless;
}

} // namespace

quint16 readU16(const uchar *bytes, qint64 length, qint64 pos, bool littleEndian)
{
    if (!bytes || pos < 0 || pos > length - 2)
        return 0;
    const uchar *p = bytes + pos;
    return littleEndian ? quint16(p[0] | (p[1] << 8)) : quint16((p[0] << 8) | p[1]);
}

quint32 readU32(const uchar *bytes, qint64 length, qint64 pos, bool littleEndian)
{
    if (!bytes || pos < 0 || pos > length - 4)
        return 0;
    const uchar *p = bytes + pos;
    if (littleEndian)
        return quint32(p[0]) | (quint32(p[1]) << 8) | (quint32(p[2]) << 16) | (quint32(p[3]) << 24);
    return (quint32(p[0]) << 24) | (quint32(p[1]) << 16) | (quint32(p[2]) << 8) | quint32(p[3]);
}

bool isRawPhotoPath(const QString &path)
{
    return PhotoCore::isRawSuffix(QFileInfo(path).suffix());
}

QList<PreviewCandidate> findEmbeddedJpegPreviews(const uchar *bytes, qint64 length)
{
    QList<PreviewCandidate> result;
    bool le = true;
    quint16 magic = 0;
    if (!hasTiffHeader(bytes, length, &le, &magic) || magic != 42)
        return result;
    const auto u16 = [&](qint64 pos) { return readU16(bytes, length, pos, le); };
    const auto u32 = [&](qint64 pos) { return readU32(bytes, length, pos, le); };
    const auto fits = [&](quint32 offset, quint32 size) {
        return offset != 0 && size >= minStreamLength && qint64(offset) + qint64(size) <= length;
    };

    // At most maxVisitedIfds are read, but each may list thousands of
    // pointers, and IFDs that overlap list the same ones over and over:
    // beyond maxPendingIfds waiting, pointers are dropped.
    QList<quint32> stack{u32(4)};
    const auto push = [&](quint32 ifd) {
        if (stack.size() < maxPendingIfds)
            stack.append(ifd);
    };
    QList<quint32> visited;
    while (!stack.isEmpty()) {
        if (visited.size() >= maxVisitedIfds)
            break;
        const quint32 ifd = stack.takeLast();
        if (ifd == 0 || visited.contains(ifd) || qint64(ifd) + 2 > length)
            continue;
        visited.append(ifd);
        const int count = u16(ifd);
        quint32 jpegOffset = 0;
        quint32 jpegLength = 0;
        // A single strip: its position and size, with the number of strips.
        quint32 stripOffset = 0, stripLength = 0, stripOffsetCount = 0, stripLengthCount = 0;
        for (int i = 0; i < count; ++i) {
            const qint64 entry = qint64(ifd) + 2 + 12 * qint64(i);
            if (entry + 12 > length)
                break;
            const quint16 tag = u16(entry);
            const quint16 type = u16(entry + 2);
            const quint32 n = u32(entry + 4);
            const quint32 value = u32(entry + 8);
            switch (tag) {
            case JpegInterchangeFormat:
                jpegOffset = value;
                break;
            case JpegInterchangeFormatLength:
                jpegLength = value;
                break;
            case StripOffsets:
            case StripByteCounts: {
                const quint32 v = type == 3 ? u16(entry + 8) : type == 4 ? value : 0;
                (tag == StripOffsets ? stripOffset : stripLength) = v;
                (tag == StripOffsets ? stripOffsetCount : stripLengthCount) = n;
                break;
            }
            case SubIfds:
            case ExifIfd:
                if (type != 4 || n < 1 || n > maxPointersPerEntry)
                    break;
                if (n == 1) {
                    push(value);
                } else {
                    for (quint32 k = 0; k < n && stack.size() < maxPendingIfds; ++k) {
                        if (const quint32 sub = u32(qint64(value) + 4 * qint64(k)))
                            push(sub);
                    }
                }
                break;
            default:
                break;
            }
        }
        if (fits(jpegOffset, jpegLength))
            result.append({jpegOffset, jpegLength});
        // Previews stored as one JPEG-compressed strip (large previews of some
        // makers, previews in sub-IFDs). Sensor data may be a lossless JPEG
        // (Canon CR2), which no picture decoder reads: it is no preview.
        if (stripOffsetCount == 1 && stripLengthCount == 1 && fits(stripOffset, stripLength)
            && bytes[stripOffset] == 0xFF && bytes[stripOffset + 1] == 0xD8
            && !(jpegOffset == stripOffset && jpegLength == stripLength)
            && !losslessJpeg(bytes + stripOffset, stripLength))
            result.append({stripOffset, stripLength});
        if (const quint32 next = u32(qint64(ifd) + 2 + 12 * qint64(count)))
            push(next);
    }
    return result;
}

namespace {

// jpegStreamLength, charging each segment and each byte of coded data it
// walks to `budget`; 0 once the budget is spent.
qint64 streamLength(const uchar *bytes, qint64 length, qint64 *budget)
{
    if (!bytes || length < 4 || bytes[0] != 0xFF || bytes[1] != 0xD8)
        return 0;
    qint64 p = 2;
    for (;;) {
        if (--*budget < 0)
            return 0;
        if (p >= length || bytes[p] != 0xFF)
            return 0;
        while (p < length && bytes[p] == 0xFF)
            ++p; // fill bytes
        if (p >= length)
            return 0;
        const uchar marker = bytes[p++];
        if (marker == 0xD9)
            return p;
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7))
            continue; // markers without a segment
        if (marker == 0x00 || marker == 0xD8 || p + 2 > length)
            return 0;
        const int segment = (bytes[p] << 8) | bytes[p + 1];
        if (segment < 2)
            return 0;
        p += segment;
        if (marker != 0xDA)
            continue;
        // Entropy-coded data runs to the next marker that is neither a stuffed
        // zero nor a restart marker.
        for (;;) {
            if (p >= length)
                return 0;
            const void *hit = std::memchr(bytes + p, 0xFF, size_t(length - p));
            if (!hit)
                return 0;
            qint64 q = static_cast<const uchar *>(hit) - bytes + 1;
            while (q < length && bytes[q] == 0xFF)
                ++q;
            *budget -= q - p;
            if (*budget < 0)
                return 0;
            if (q >= length)
                return 0;
            if (bytes[q] == 0x00 || (bytes[q] >= 0xD0 && bytes[q] <= 0xD7)) {
                p = q + 1;
                continue;
            }
            p = q - 1;
            break;
        }
    }
}

} // namespace

qint64 jpegStreamLength(const uchar *bytes, qint64 length)
{
    qint64 unlimited = std::numeric_limits<qint64>::max();
    return streamLength(bytes, length, &unlimited);
}

QList<PreviewCandidate> scanJpegStreams(const uchar *bytes, qint64 length)
{
    QList<PreviewCandidate> result;
    if (!bytes)
        return result;
    // Segment lengths can lead the walk from every start-of-image marker over
    // all the starts after it, to the end of the file: the streams found and
    // the walks that failed may together touch each byte a few times, no more.
    qint64 budget = 4 * length + 65536;
    qint64 p = 0;
    while (p + 3 < length && budget > 0) {
        const void *hit = std::memchr(bytes + p, 0xFF, size_t(length - 3 - p));
        if (!hit)
            break;
        p = static_cast<const uchar *>(hit) - bytes;
        if (bytes[p + 1] == 0xD8 && bytes[p + 2] == 0xFF) {
            if (const qint64 n = streamLength(bytes + p, length - p, &budget)) {
                if (n >= minStreamLength && p + n <= std::numeric_limits<quint32>::max())
                    result.append({quint32(p), quint32(n)});
                p += n;
                continue;
            }
        }
        ++p;
    }
    return result;
}

int readTiffOrientation(const uchar *bytes, qint64 length)
{
    bool le = true;
    quint16 magic = 0;
    if (!hasTiffHeader(bytes, length, &le, &magic) || magic != 42)
        return 1;
    return ifdOrientation(bytes, length, readU32(bytes, length, 4, le), le);
}

QImage applyOrientation(const QImage &image, int orientation)
{
    if (image.isNull())
        return image;
    const auto rotated = [](const QImage &img, qreal angle) { return img.transformed(QTransform().rotate(angle)); };
    switch (orientation) {
    case 2: return image.mirrored(true, false);
    case 3: return rotated(image, 180);
    case 4: return image.mirrored(false, true);
    case 5: return rotated(image.mirrored(true, false), -90);
    case 6: return rotated(image, 90);
    case 7: return rotated(image.mirrored(true, false), 90);
    case 8: return rotated(image, -90);
    default: return image;
    }
}

QImage decodeJpegBytes(const uchar *bytes, qint64 length)
{
    if (!bytes)
        return QImage();
    ensureAllocationLimit();
    return decodeStream(bytes, length, 0).image;
}

QImage decodeLargestEmbeddedPreview(const QString &path, const QSize &fitBox, bool *scaled, QSize *stored)
{
    ensureAllocationLimit();
    MappedFile file;
    if (!file.open(path, 4))
        return QImage();
    const uchar *bytes = file.data();
    const qint64 length = file.size();
    const int orientation = fileOrientation(bytes, length);
    const QSize box = storedBox(fitBox, orientation);
    Decoded best = decodeLargest(bytes, length, findEmbeddedJpegPreviews(bytes, length), box);
    if (best.image.isNull())
        best = decodeLargest(bytes, length, scanJpegStreams(bytes, length), box);
    if (scaled)
        *scaled = best.scaled;
    if (stored)
        *stored = best.stored;
    return orient(best, orientation);
}

QImage decodeEmbeddedPreviewForSize(const QString &path, int target)
{
    ensureAllocationLimit();
    target = clampSide(target);
    MappedFile file;
    if (!file.open(path, 8))
        return QImage();
    const uchar *bytes = file.data();
    const qint64 length = file.size();
    const int orientation = fileOrientation(bytes, length);
    Decoded chosen = decodeForSize(bytes, probeAll(bytes, length, findEmbeddedJpegPreviews(bytes, length)), target);
    if (chosen.image.isNull())
        chosen = decodeForSize(bytes, probeAll(bytes, length, scanJpegStreams(bytes, length)), target);
    return orient(chosen, orientation);
}

QImage decodePhoto(const QString &path, const QSize &fitBox, bool *scaled, QSize *fullSize)
{
    ensureAllocationLimit();
    bool reduced = false;
    QSize stored;
    QImage image;
    // Qt's TIFF reader would give the small first-IFD thumbnail of a RAW file,
    // so RAW files try their embedded previews first.
    if (isRawPhotoPath(path)) {
        image = decodeLargestEmbeddedPreview(path, fitBox, &reduced, &stored);
        if (image.isNull()) {
            // Before Qt's TIFF reader, which gives the first IFD's small thumbnail.
            const RawLibraryPreview::Result raw =
                RawLibraryPreview::decode(path, fitBox.isValid() ? std::max(fitBox.width(), fitBox.height()) : 0);
            image = raw.image;
            stored = raw.sensor;
            reduced = !image.isNull() && stored.isValid()
                      && std::max(image.width(), image.height()) < std::max(stored.width(), stored.height());
        }
        if (image.isNull())
            image = readWithQt(path, 0);
    } else {
        image = decodeJpegFileInStrips(path, fitBox, &reduced, &stored);
        if (image.isNull())
            image = readWithQt(path, 0, fitBox, &reduced, &stored);
        if (image.isNull())
            image = decodeLargestEmbeddedPreview(path, fitBox, &reduced, &stored);
    }
    reduced = reduced && !image.isNull();
    if (scaled)
        *scaled = reduced;
    if (fullSize) {
        // The stored size is the decoder's before orientation; the image tells which way up.
        if (reduced && stored.isValid()) {
            if ((stored.width() > stored.height()) != (image.width() > image.height()))
                stored.transpose();
            *fullSize = stored;
        } else {
            *fullSize = image.size();
        }
    }
    return image;
}

int jpegScaleDenominator(const QSize &stored, const QSize &box)
{
    if (!stored.isValid() || stored.isEmpty() || !box.isValid() || box.isEmpty())
        return 1;
    const QSize fit = stored.scaled(box, Qt::KeepAspectRatio);
    for (const int denominator : {8, 4, 2}) {
        if (stored.width() / denominator >= fit.width() && stored.height() / denominator >= fit.height())
            return denominator;
    }
    return 1;
}

QImage decodeThumbnail(const QString &path, int side)
{
    ensureAllocationLimit();
    side = clampSide(side);
    QImage image;
    if (isRawPhotoPath(path)) {
        image = decodeEmbeddedPreviewForSize(path, side);
        if (image.isNull())
            image = RawLibraryPreview::decode(path, side).image;
        if (image.isNull())
            image = readWithQt(path, side);
    } else {
        image = readWithQt(path, side);
        if (image.isNull())
            image = decodeEmbeddedPreviewForSize(path, side);
    }
    if (!image.isNull() && (image.width() > side || image.height() > side))
        image = image.scaled(side, side, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    return image;
}
