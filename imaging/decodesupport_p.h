#pragma once

// Building blocks shared by the decoders of this module; not for other layers.

#include "imaging/photodecoder.h"

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QList>
#include <QSize>

#include <functional>
#include <limits>

namespace decodesupport {

constexpr int maxVisitedIfds = 64;
constexpr quint32 maxPointersPerEntry = 63;
constexpr qsizetype maxPendingIfds = maxVisitedIfds * (maxPointersPerEntry + 2);
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

struct Decoded
{
    QImage image;
    bool selfOriented = false; // the stream carried its own orientation, already applied
    bool scaled = false;       // decoded at a reduced DCT scale for a view
    QSize stored;              // the stream's size as stored, before any scaling
};

struct Ranked
{
    PreviewCandidate candidate;
    QSize size;
};

// The JPEG decoder keeps a stream's text and profile segments in a list that
// it walks to the end for each new one, wherever they stand, after the scan
// too: time grows with the square of their number, 50,000 tiny segments took
// 18 s, 4,096 take some 50 ms. Cameras write a few dozen; a colour profile
// split into APP2 chunks adds at most 255, an extended XMP packet one per
// 64 KB, a progressive file two or three per scan. Streams with more are
// refused, as damaged, before they reach the decoder.
constexpr int maxJpegSegments = 4096;

// Every start-of-frame marker but sequential Huffman coding's (0xC0, 0xC1):
// progressive, lossless, hierarchical and arithmetic coding.
inline bool isOtherFrame(uchar marker)
{
    return marker >= 0xC2 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

// False when the JPEG stream at `bytes` (from its start-of-image marker) holds
// more than maxJpegSegments segments, counted the way the decoder meets them:
// before, between and after its scans, up to its end-of-image marker. True
// for bytes that are not a JPEG stream.
bool jpegSegmentsWithinLimit(const uchar *bytes, qint64 length);

// Whether Qt's readers would allocate an image of `size` at `depth` bits a
// pixel under the allocation limit now in force.
bool withinAllocationLimit(const QSize &size, int depth);

// Qt's default of 128 MB refuses photos above about 30 MP. The limit is process-wide
// in Qt, so it is raised once, before the first read, and never lowered.
void ensureAllocationLimit();

int clampSide(int side);

bool validStreamLength(qint64 length);

// Header size of a candidate without decoding it; invalid when unreadable.
QSize probeJpegSize(const uchar *bytes, qint64 length, const PreviewCandidate &c);

// For a view of `box` (in the stored orientation): the reader decodes at the
// largest DCT scale that still covers the photo's fit in it.
// True when it asked the reader for a reduced scale.
bool scaleForBox(QImageReader &reader, const QSize &box);

QSize storedBox(const QSize &box, int orientation);

// Decodes a stream, scaled while decoding to fit target × target when target > 0,
// or at the DCT scale that covers `box` when that is valid.
Decoded decodeStream(const uchar *bytes, qint64 length, int target, const QSize &box = QSize());

QList<Ranked> probeAll(const uchar *bytes, qint64 length, const QList<PreviewCandidate> &candidates);

qint64 areaOf(const QSize &size);

int extentOf(const QSize &size);

// Largest area first, the earlier candidate on ties; the first stream that
// decodes wins, so a damaged large preview gives way to the next one.
Decoded decodeLargest(const uchar *bytes, qint64 length, const QList<PreviewCandidate> &candidates,
                      const QSize &box = QSize());

// Index of the smallest extent that covers the target, else of the largest extent;
// the earlier candidate on ties; -1 when no extent is positive.
int chooseForSize(const QList<Ranked> &ranked, int target);

Decoded decodeForSize(const uchar *bytes, QList<Ranked> ranked, int target);

bool hasTiffHeader(const uchar *bytes, qint64 length, bool *littleEndian, quint16 *magic);

// Orientation tag 274 of the IFD at ifdOffset; 1 when absent or out of range.
int ifdOrientation(const uchar *bytes, qint64 length, qint64 ifdOffset, bool le);

// Orientation of the photo, also for containers whose IFD0 is not at a standard
// TIFF header: the TIFF-like headers of some makers (other magic numbers) and the
// IFD0 box of ISO media RAW files.
int fileOrientation(const uchar *bytes, qint64 length);

// Orientation (1..8) from the first Exif segment of a JPEG stream; 1 without one.
int jpegExifOrientation(const uchar *bytes, qint64 length);

QImage orient(const Decoded &d, int orientation);

// Calls `visit` with the marker, the data and the data's length of every
// segment of a JPEG stream before its first scan; stops at the first segment
// that does not fit the bytes.
void forEachJpegSegment(const uchar *bytes, qint64 length,
                        const std::function<void(uchar marker, const uchar *data, qint64 size)> &visit);

// The channels of pixel `x` of a scan line: RGB888 where `packed`, else 32-bit RGB.
inline void rgbAt(const uchar *line, int x, bool packed, int &r, int &g, int &b)
{
    if (packed) {
        r = line[3 * x];
        g = line[3 * x + 1];
        b = line[3 * x + 2];
        return;
    }
    const QRgb c = reinterpret_cast<const QRgb *>(line)[x];
    r = qRed(c);
    g = qGreen(c);
    b = qBlue(c);
}

} // namespace decodesupport
