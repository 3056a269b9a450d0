#include "imaging/decodesupport_p.h"

#include "imaging/damagereport.h"

#include <QTransform>

#include <algorithm>
#include <cstring>

namespace decodesupport {

void ensureAllocationLimit()
{
    static const bool raised = [] {
        if (QImageReader::allocationLimit() < photoAllocationLimitMiB)
            QImageReader::setAllocationLimit(photoAllocationLimitMiB);
        return true;
    }();
    Q_UNUSED(raised);
}

bool jpegSegmentsWithinLimit(const uchar *bytes, qint64 length)
{
    if (!bytes || length < 4 || bytes[0] != 0xFF || bytes[1] != 0xD8)
        return true;
    int count = 0;
    qint64 pos = 2;
    while (pos < length) {
        // Coded data and whatever else lies between segments are skipped to
        // the next marker, as the decoder skips them.
        const void *hit = std::memchr(bytes + pos, 0xFF, size_t(length - pos));
        if (!hit)
            break;
        pos = static_cast<const uchar *>(hit) - bytes + 1;
        while (pos < length && bytes[pos] == 0xFF)
            ++pos; // fill bytes
        if (pos >= length)
            break;
        const uchar marker = bytes[pos++];
        if (marker == 0xD9)
            break;
        // Stuffed zeros, restart markers and the other markers without a length.
        if (marker == 0x00 || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD8))
            continue;
        const qint64 size = readU16(bytes, length, pos, false);
        if (size < 2)
            break; // the decoder gives up here too
        if (++count > maxJpegSegments)
            return false;
        pos += size;
    }
    return true;
}

bool withinAllocationLimit(const QSize &size, int depth)
{
    const qint64 limitMiB = QImageReader::allocationLimit();
    if (limitMiB <= 0 || size.isEmpty())
        return true;
    // Rows are padded to whole 32-bit words, as in every QImage.
    const qint64 bytesPerLine = (qint64(size.width()) * depth + 31) / 32 * 4;
    return bytesPerLine * size.height() <= limitMiB * 1024 * 1024;
}

int clampSide(int side)
{
    return qMax(qMin(side, maxThumbnailSide), minThumbnailSide);
}

bool validStreamLength(qint64 length)
{
    return length >= 1 && length <= std::numeric_limits<qint32>::max();
}

QSize probeJpegSize(const uchar *bytes, qint64 length, const PreviewCandidate &c)
{
    if (qint32(c.length) < 1 || qint64(c.offset) + c.length > length
        || !jpegSegmentsWithinLimit(bytes + c.offset, c.length))
        return QSize();
    JpegSource source(bytes + c.offset, c.length);
    return source.reader().size();
}

bool scaleForBox(QImageReader &reader, const QSize &box)
{
    const QSize size = reader.size();
    const int denominator = jpegScaleDenominator(size, box);
    if (denominator > 1)
        reader.setScaledSize(QSize(size.width() / denominator, size.height() / denominator));
    return denominator > 1;
}

QSize storedBox(const QSize &box, int orientation)
{
    return orientation >= 5 && orientation <= 8 ? box.transposed() : box;
}

Decoded decodeStream(const uchar *bytes, qint64 length, int target, const QSize &box)
{
    if (!validStreamLength(length))
        return {};
    if (!jpegSegmentsWithinLimit(bytes, length)) {
        reportDamage();
        return {};
    }
    JpegSource source(bytes, length);
    QImageReader &reader = source.reader();
    reader.setAutoTransform(true);
    if (target > 0) {
        const QSize size = reader.size();
        if (size.isValid())
            reader.setScaledSize(size.scaled(target, target, Qt::KeepAspectRatio));
    }
    Decoded result;
    result.stored = reader.size();
    if (target <= 0 && box.isValid())
        result.scaled = scaleForBox(reader, box);
    result.image = reader.read();
    result.selfOriented = !result.image.isNull() && reader.transformation() != QImageIOHandler::TransformationNone;
    return result;
}

QList<Ranked> probeAll(const uchar *bytes, qint64 length, const QList<PreviewCandidate> &candidates)
{
    QList<Ranked> ranked;
    ranked.reserve(candidates.size());
    for (const PreviewCandidate &c : candidates)
        ranked.append({c, probeJpegSize(bytes, length, c)});
    return ranked;
}

qint64 areaOf(const QSize &size)
{
    return size.isValid() ? qint64(size.width()) * size.height() : 0;
}

int extentOf(const QSize &size)
{
    return size.isValid() ? qMax(size.width(), size.height()) : -1;
}

Decoded decodeLargest(const uchar *bytes, qint64 length, const QList<PreviewCandidate> &candidates,
                      const QSize &box)
{
    QList<Ranked> ranked = probeAll(bytes, length, candidates);
    std::stable_sort(ranked.begin(), ranked.end(),
                     [](const Ranked &a, const Ranked &b) { return areaOf(a.size) > areaOf(b.size); });
    for (const Ranked &r : ranked) {
        if (areaOf(r.size) <= 0)
            break;
        Decoded d = decodeStream(bytes + r.candidate.offset, r.candidate.length, 0, box);
        if (!d.image.isNull())
            return d;
    }
    return {};
}

int chooseForSize(const QList<Ranked> &ranked, int target)
{
    int covering = -1;
    int largest = -1;
    for (int i = 0; i < ranked.size(); ++i) {
        const int extent = extentOf(ranked[i].size);
        if (extent <= 0)
            continue;
        if (extent >= target && (covering < 0 || extent < extentOf(ranked[covering].size)))
            covering = i;
        if (largest < 0 || extent > extentOf(ranked[largest].size))
            largest = i;
    }
    return covering >= 0 ? covering : largest;
}

Decoded decodeForSize(const uchar *bytes, QList<Ranked> ranked, int target)
{
    for (int i = chooseForSize(ranked, target); i >= 0; i = chooseForSize(ranked, target)) {
        Decoded d = decodeStream(bytes + ranked[i].candidate.offset, ranked[i].candidate.length, target);
        if (!d.image.isNull())
            return d;
        ranked.removeAt(i);
    }
    return {};
}

bool hasTiffHeader(const uchar *bytes, qint64 length, bool *littleEndian, quint16 *magic)
{
    if (!bytes || length <= 7)
        return false;
    if (bytes[0] == 'I' && bytes[1] == 'I')
        *littleEndian = true;
    else if (bytes[0] == 'M' && bytes[1] == 'M')
        *littleEndian = false;
    else
        return false;
    *magic = readU16(bytes, length, 2, *littleEndian);
    return true;
}

int ifdOrientation(const uchar *bytes, qint64 length, qint64 ifdOffset, bool le)
{
    if (ifdOffset + 2 > length)
        return 1;
    const int count = readU16(bytes, length, ifdOffset, le);
    for (int i = 0; i < count; ++i) {
        const qint64 entry = ifdOffset + 2 + 12 * qint64(i);
        if (entry + 12 > length)
            break;
        if (readU16(bytes, length, entry, le) == Orientation && readU16(bytes, length, entry + 2, le) == 3
            && readU32(bytes, length, entry + 4, le) != 0) {
            const int value = readU16(bytes, length, entry + 8, le);
            return value >= 2 && value <= 8 ? value : 1;
        }
    }
    return 1;
}

int fileOrientation(const uchar *bytes, qint64 length)
{
    bool le = true;
    quint16 magic = 0;
    if (hasTiffHeader(bytes, length, &le, &magic)) {
        if (magic == 42)
            return readTiffOrientation(bytes, length);
        return ifdOrientation(bytes, length, readU32(bytes, length, 4, le), le);
    }
    if (length > 12 && std::memcmp(bytes + 4, "ftyp", 4) == 0) {
        const qint64 end = qMin<qint64>(length - 8, 1 << 20);
        for (qint64 p = 4; p < end; ++p) {
            if (std::memcmp(bytes + p, "CMT1", 4) != 0)
                continue;
            const qint64 boxSize = readU32(bytes, length, p - 4, false);
            const qint64 tiffLength = qMin(boxSize - 8, length - (p + 4));
            return tiffLength > 7 ? readTiffOrientation(bytes + p + 4, tiffLength) : 1;
        }
    }
    return 1;
}

int jpegExifOrientation(const uchar *bytes, qint64 length)
{
    int orientation = 1;
    bool seen = false;
    forEachJpegSegment(bytes, length, [&](uchar marker, const uchar *data, qint64 size) {
        if (!seen && marker == 0xE1 && size > 14 && std::memcmp(data, "Exif\0\0", 6) == 0) {
            seen = true;
            orientation = readTiffOrientation(data + 6, size - 6);
        }
    });
    return orientation;
}

QImage orient(const Decoded &d, int orientation)
{
    return d.selfOriented ? d.image : applyOrientation(d.image, orientation);
}

void forEachJpegSegment(const uchar *bytes, qint64 length,
                        const std::function<void(uchar marker, const uchar *data, qint64 size)> &visit)
{
    if (!bytes || length < 4 || bytes[0] != 0xFF || bytes[1] != 0xD8)
        return;
    qint64 pos = 2;
    while (pos + 4 <= length && bytes[pos] == 0xFF) {
        const uchar marker = bytes[pos + 1];
        if (marker == 0xFF) { // fill byte
            ++pos;
            continue;
        }
        if (marker == 0xDA || marker == 0xD9)
            break;
        const qint64 segment = readU16(bytes, length, pos + 2, false);
        if (segment < 2 || pos + 2 + segment > length)
            break;
        visit(marker, bytes + pos + 4, segment - 2);
        pos += 2 + segment;
    }
}

} // namespace decodesupport
