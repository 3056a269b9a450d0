#include "imaging/quickpreview.h"

#include "imaging/decodesupport_p.h"

#include <cstring>

using namespace decodesupport;

namespace {

// Pictures above this many pixels take tens of milliseconds even when scaled
// while decoding; a quick preview must be on screen within a frame or two.
constexpr qint64 cheapArea = 2048LL * 1536;

constexpr quint16 mpEntryTag = 0xB002;
constexpr quint32 mpLargeThumbnailVga = 0x010001;
constexpr quint32 mpLargeThumbnailFullHd = 0x010002;

struct JpegLayout
{
    qint64 exifBase = -1; // TIFF header of the Exif APP1 segment
    qint64 exifLength = 0;
    qint64 mpfBase = -1; // TIFF header of the MPF APP2 segment
    qint64 mpfLength = 0;
};

// The APP segments before the first scan.
JpegLayout scanAppSegments(const uchar *bytes, qint64 length)
{
    JpegLayout layout;
    forEachJpegSegment(bytes, length, [&](uchar marker, const uchar *data, qint64 size) {
        const qint64 at = data - bytes;
        if (marker == 0xE1 && layout.exifBase < 0 && size > 14 && std::memcmp(data, "Exif\0\0", 6) == 0) {
            layout.exifBase = at + 6;
            layout.exifLength = size - 6;
        } else if (marker == 0xE2 && layout.mpfBase < 0 && size > 12 && std::memcmp(data, "MPF\0", 4) == 0) {
            layout.mpfBase = at + 4;
            layout.mpfLength = size - 4;
        }
    });
    return layout;
}

// MP entries of type "large thumbnail", from the MP index IFD.
void addMpfThumbnails(const uchar *bytes, qint64 length, qint64 base, qint64 size, QList<PreviewCandidate> &out)
{
    const uchar *tiff = bytes + base;
    if (size < 8)
        return;
    const bool le = tiff[0] == 'I' && tiff[1] == 'I';
    if (!le && !(tiff[0] == 'M' && tiff[1] == 'M'))
        return;
    const qint64 ifd = readU32(tiff, size, 4, le);
    const int count = readU16(tiff, size, ifd, le);
    for (int i = 0; i < count; ++i) {
        const qint64 entry = ifd + 2 + 12 * qint64(i);
        if (entry + 12 > size)
            break;
        if (readU16(tiff, size, entry, le) != mpEntryTag)
            continue;
        const quint32 bytesTotal = readU32(tiff, size, entry + 4, le);
        const qint64 list = readU32(tiff, size, entry + 8, le);
        for (quint32 k = 0; k + 16 <= bytesTotal && k < 16 * 64; k += 16) {
            const quint32 type = readU32(tiff, size, list + k, le) & 0xFFFFFF;
            const quint32 streamSize = readU32(tiff, size, list + k + 4, le);
            const quint32 offset = readU32(tiff, size, list + k + 8, le);
            if (offset == 0 || (type != mpLargeThumbnailVga && type != mpLargeThumbnailFullHd))
                continue;
            const qint64 start = base + offset;
            if (start + streamSize <= length && start < std::numeric_limits<quint32>::max())
                out.append({quint32(start), streamSize});
        }
        break;
    }
}

// The previews of a file with their header sizes: those of a RAW file from
// its IFDs, those of a JPEG from its APP segments.
QList<Ranked> rankedPreviews(const uchar *bytes, qint64 length, const QString &path)
{
    if (isRawPhotoPath(path))
        return probeAll(bytes, length, findEmbeddedJpegPreviews(bytes, length));
    return probeAll(bytes, length, findJpegEmbeddedPreviews(bytes, length));
}

int orientationOf(const uchar *bytes, qint64 length, const QString &path)
{
    return isRawPhotoPath(path) ? fileOrientation(bytes, length) : jpegExifOrientation(bytes, length);
}

} // namespace

QList<PreviewCandidate> findJpegEmbeddedPreviews(const uchar *bytes, qint64 length)
{
    QList<PreviewCandidate> out;
    if (!bytes)
        return out;
    const JpegLayout layout = scanAppSegments(bytes, length);
    if (layout.exifBase >= 0) {
        // Offsets in the Exif data count from its TIFF header.
        for (PreviewCandidate c : findEmbeddedJpegPreviews(bytes + layout.exifBase, layout.exifLength)) {
            c.offset += quint32(layout.exifBase);
            out.append(c);
        }
    }
    if (layout.mpfBase >= 0)
        addMpfThumbnails(bytes, length, layout.mpfBase, layout.mpfLength, out);
    return out;
}

QImage decodeQuickPreview(const QString &path, const QSize &fitBox)
{
    ensureAllocationLimit();
    MappedFile file;
    if (!file.open(path, 8))
        return QImage();
    const uchar *bytes = file.data();
    const qint64 length = file.size();
    QList<Ranked> ranked = rankedPreviews(bytes, length, path);
    // Largest cheap first, then the rest from the smallest up.
    std::stable_sort(ranked.begin(), ranked.end(), [](const Ranked &a, const Ranked &b) {
        const bool cheapA = areaOf(a.size) <= cheapArea, cheapB = areaOf(b.size) <= cheapArea;
        if (cheapA != cheapB)
            return cheapA;
        return cheapA ? areaOf(a.size) > areaOf(b.size) : areaOf(a.size) < areaOf(b.size);
    });
    const int orientation = orientationOf(bytes, length, path);
    const QSize box = storedBox(fitBox, orientation);
    for (const Ranked &r : std::as_const(ranked)) {
        if (areaOf(r.size) <= 0)
            continue;
        const Decoded d = decodeStream(bytes + r.candidate.offset, r.candidate.length, 0, box);
        if (!d.image.isNull())
            return orient(d, orientation);
    }
    return QImage();
}

QImage decodeEmbeddedThumbnail(const QString &path, int side)
{
    ensureAllocationLimit();
    side = clampSide(side);
    MappedFile file;
    if (!file.open(path, 8))
        return QImage();
    const uchar *bytes = file.data();
    const qint64 length = file.size();
    QList<Ranked> ranked = rankedPreviews(bytes, length, path);
    for (int i = chooseForSize(ranked, side); i >= 0; i = chooseForSize(ranked, side)) {
        // A picture smaller than the cell is kept at its own size: the grid
        // tells by its size whether the real thumbnail would add anything.
        const bool larger = extentOf(ranked[i].size) > side;
        const Decoded d = decodeStream(bytes + ranked[i].candidate.offset, ranked[i].candidate.length, larger ? side : 0);
        if (!d.image.isNull())
            return orient(d, orientationOf(bytes, length, path));
        ranked.removeAt(i);
    }
    return QImage();
}
