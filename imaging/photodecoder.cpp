#include "imaging/photodecoder.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QTransform>

#include <cstring>
#include <limits>

namespace {

constexpr int maxVisitedIfds = 64;
constexpr quint32 maxPointersPerEntry = 63;
constexpr quint32 minStreamLength = 512;
constexpr int minThumbnailSide = 64;
constexpr int maxThumbnailSide = 1024;

enum Tag : quint16 {
    StripOffsets = 273,
    Orientation = 274,
    StripByteCounts = 279,
    SubIfds = 330,
    JpegInterchangeFormat = 513,
    JpegInterchangeFormatLength = 514,
    ExifIfd = 34665,
};

// Qt's default of 128 MB refuses photos above about 30 MP. The limit is process-wide
// in Qt, so it is raised once, before the first read, and never lowered.
void ensureAllocationLimit()
{
    static const bool raised = [] {
        if (QImageReader::allocationLimit() < photoAllocationLimitMiB)
            QImageReader::setAllocationLimit(photoAllocationLimitMiB);
        return true;
    }();
    Q_UNUSED(raised);
}

int clampSide(int side)
{
    return qMax(qMin(side, maxThumbnailSide), minThumbnailSide);
}

// The whole file, mapped read-only for the lifetime of this object.
class MappedFile
{
public:
    bool open(const QString &path, qint64 minimumSize)
    {
        m_file.setFileName(path);
        if (!m_file.open(QIODevice::ReadOnly))
            return false;
        const qint64 size = m_file.size();
        if (size < minimumSize)
            return false;
        m_data = m_file.map(0, size);
        m_size = m_data ? size : 0;
        return m_data != nullptr;
    }
    ~MappedFile()
    {
        if (m_data)
            m_file.unmap(m_data);
    }
    const uchar *data() const { return m_data; }
    qint64 size() const { return m_size; }

private:
    QFile m_file;
    uchar *m_data = nullptr;
    qint64 m_size = 0;
};

// A JPEG stream wrapped without copying, for one reader.
class JpegSource
{
public:
    JpegSource(const uchar *bytes, qint64 length)
        : m_data(QByteArray::fromRawData(reinterpret_cast<const char *>(bytes), qsizetype(length)))
        , m_buffer(&m_data)
    {
        m_buffer.open(QIODevice::ReadOnly);
        m_reader.setDevice(&m_buffer);
        m_reader.setFormat("JPEG");
    }
    QImageReader &reader() { return m_reader; }

private:
    QByteArray m_data;
    QBuffer m_buffer;
    QImageReader m_reader;
};

bool validStreamLength(qint64 length)
{
    return length >= 1 && length <= std::numeric_limits<qint32>::max();
}

// Header size of a candidate without decoding it; invalid when unreadable.
QSize probeJpegSize(const uchar *bytes, qint64 length, const PreviewCandidate &c)
{
    if (qint32(c.length) < 1 || qint64(c.offset) + c.length > length)
        return QSize();
    JpegSource source(bytes + c.offset, c.length);
    return source.reader().size();
}

struct Decoded
{
    QImage image;
    bool selfOriented = false; // the stream carried its own orientation, already applied
};

// For a view of `box` (in the stored orientation): the reader decodes at the
// largest DCT scale that still covers the photo's fit in it.
void scaleForBox(QImageReader &reader, const QSize &box)
{
    const QSize size = reader.size();
    const int denominator = jpegScaleDenominator(size, box);
    if (denominator > 1)
        reader.setScaledSize(QSize(size.width() / denominator, size.height() / denominator));
}

QSize storedBox(const QSize &box, int orientation)
{
    return orientation >= 5 && orientation <= 8 ? box.transposed() : box;
}

// Decodes a stream, scaled while decoding to fit target × target when target > 0,
// or at the DCT scale that covers `box` when that is valid.
Decoded decodeStream(const uchar *bytes, qint64 length, int target, const QSize &box = QSize())
{
    if (!validStreamLength(length))
        return {};
    JpegSource source(bytes, length);
    QImageReader &reader = source.reader();
    reader.setAutoTransform(true);
    if (target > 0) {
        const QSize size = reader.size();
        if (size.isValid())
            reader.setScaledSize(size.scaled(target, target, Qt::KeepAspectRatio));
    } else if (box.isValid()) {
        scaleForBox(reader, box);
    }
    Decoded result;
    result.image = reader.read();
    result.selfOriented = !result.image.isNull() && reader.transformation() != QImageIOHandler::TransformationNone;
    return result;
}

struct Ranked
{
    PreviewCandidate candidate;
    QSize size;
};

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

// Largest area first, the earlier candidate on ties; the first stream that
// decodes wins, so a damaged large preview gives way to the next one.
Decoded decodeLargest(const uchar *bytes, qint64 length, const QList<PreviewCandidate> &candidates,
                      const QSize &box = QSize())
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

// Index of the smallest extent that covers the target, else of the largest extent;
// the earlier candidate on ties; -1 when no extent is positive.
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

// Orientation tag 274 of the IFD at ifdOffset; 1 when absent or out of range.
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

// Orientation of the photo, also for containers whose IFD0 is not at a standard
// TIFF header: the TIFF-like headers of some makers (other magic numbers) and the
// IFD0 box of ISO media RAW files.
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

QImage orient(const Decoded &d, int orientation)
{
    return d.selfOriented ? d.image : applyOrientation(d.image, orientation);
}

// Qt's own reader: format from suffix and content, the file's Exif orientation
// applied, scaled while decoding when `side` > 0 and the image is larger.
QImage readWithQt(const QString &path, int side, const QSize &box = QSize())
{
    QImageReader reader(path);
    reader.setAutoTransform(true);
    if (side > 0) {
        const QSize size = reader.size();
        if (size.isValid() && (size.width() > side || size.height() > side))
            reader.setScaledSize(size.scaled(side, side, Qt::KeepAspectRatio));
    } else if (box.isValid() && reader.format() == "jpeg") {
        // Only the JPEG reader scales while decoding; others would decode in
        // full and then scale with less care than the viewer does.
        const bool turned = reader.transformation() & QImageIOHandler::TransformationRotate90;
        scaleForBox(reader, turned ? box.transposed() : box);
    }
    return reader.read();
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
    static const char *const suffixes[] = {"dng", "cr2", "cr3", "nef", "arw", "orf", "raf", "rw2"};
    const QString suffix = QFileInfo(path).suffix();
    for (const char *s : suffixes) {
        if (suffix.compare(QLatin1String(s), Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
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

    QList<quint32> stack{u32(4)};
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
                    stack.append(value);
                } else {
                    for (quint32 k = 0; k < n; ++k) {
                        if (const quint32 sub = u32(qint64(value) + 4 * qint64(k)))
                            stack.append(sub);
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
        // makers, previews in sub-IFDs); compressed sensor data never starts with SOI.
        if (stripOffsetCount == 1 && stripLengthCount == 1 && fits(stripOffset, stripLength)
            && bytes[stripOffset] == 0xFF && bytes[stripOffset + 1] == 0xD8
            && !(jpegOffset == stripOffset && jpegLength == stripLength))
            result.append({stripOffset, stripLength});
        if (const quint32 next = u32(qint64(ifd) + 2 + 12 * qint64(count)))
            stack.append(next);
    }
    return result;
}

qint64 jpegStreamLength(const uchar *bytes, qint64 length)
{
    if (!bytes || length < 4 || bytes[0] != 0xFF || bytes[1] != 0xD8)
        return 0;
    qint64 p = 2;
    for (;;) {
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

QList<PreviewCandidate> scanJpegStreams(const uchar *bytes, qint64 length)
{
    QList<PreviewCandidate> result;
    if (!bytes)
        return result;
    qint64 p = 0;
    while (p + 3 < length) {
        const void *hit = std::memchr(bytes + p, 0xFF, size_t(length - 3 - p));
        if (!hit)
            break;
        p = static_cast<const uchar *>(hit) - bytes;
        if (bytes[p + 1] == 0xD8 && bytes[p + 2] == 0xFF) {
            if (const qint64 n = jpegStreamLength(bytes + p, length - p)) {
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

QImage decodeLargestEmbeddedPreview(const QString &path, const QSize &fitBox)
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

QImage decodePhoto(const QString &path, const QSize &fitBox)
{
    ensureAllocationLimit();
    // Qt's TIFF reader would give the small first-IFD thumbnail of a RAW file,
    // so RAW files try their embedded previews first.
    if (isRawPhotoPath(path)) {
        const QImage preview = decodeLargestEmbeddedPreview(path, fitBox);
        return preview.isNull() ? readWithQt(path, 0) : preview;
    }
    const QImage image = readWithQt(path, 0, fitBox);
    return image.isNull() ? decodeLargestEmbeddedPreview(path, fitBox) : image;
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
