#pragma once

#include <QImage>
#include <QList>
#include <QSize>
#include <QString>
#include <QtGlobal>

// Turning a photo file into an upright QImage, directly or through a JPEG preview
// embedded in a camera RAW file. Every function is stateless and reentrant: each
// call opens and maps the file itself, so any number of worker threads may call
// them at once. A null QImage is the only failure signal.

// One embedded JPEG stream: its byte range from the start of the file.
struct PreviewCandidate
{
    quint32 offset = 0;
    quint32 length = 0;

    friend bool operator==(const PreviewCandidate &a, const PreviewCandidate &b)
    {
        return a.offset == b.offset && a.length == b.length;
    }
};

// Display-oriented image; null if nothing could be decoded. RAW files (see
// isRawPhotoPath) are shown through their largest embedded preview first,
// else through the RAW library (RawLibraryPreview); other formats go through Qt's reader first. Full resolution without a
// `fitBox`; with one (the view's size in device pixels), JPEG data is decoded
// at the smallest DCT scale (1/2, 1/4, 1/8) that still covers the photo's fit
// in that box, so scaling the result to the box gives the same picture;
// `scaled` (when given) tells whether it was decoded at a reduced scale, and
// `fullSize` the size of the same picture decoded in full, display-oriented.
QImage decodePhoto(const QString &path, const QSize &fitBox = QSize(), bool *scaled = nullptr,
                   QSize *fullSize = nullptr);

// The DCT scale denominator (1, 2, 4 or 8) for a JPEG of `stored` size whose
// fit in `box` (same orientation) must still be covered by the decoded size
// (stored / denominator, rounded down); 1 when either size is empty.
int jpegScaleDenominator(const QSize &stored, const QSize &box);

// An image whose sides are each at most `side`, clamped to 64..1024; null if
// nothing could be decoded.
QImage decodeThumbnail(const QString &path, int side);

// The embedded JPEG with the largest pixel area, oriented by IFD0; null if none.
// With a `fitBox`, decoded at the covering DCT scale as decodePhoto does.
// Falls back to a marker scan of the whole file when the IFD walk yields nothing.
// `stored` (when given) receives the preview's size as stored, before scaling.
QImage decodeLargestEmbeddedPreview(const QString &path, const QSize &fitBox = QSize(), bool *scaled = nullptr,
                                    QSize *stored = nullptr);

// The smallest embedded JPEG whose longer side covers `target` (clamped to
// 64..1024), else the largest; decoded scaled to fit target × target, oriented.
// Sizes are probed from headers; only the chosen stream is decoded.
QImage decodeEmbeddedPreviewForSize(const QString &path, int target);

// Embedded JPEG streams of a TIFF-structured file, in IFD walk order: IFD chain
// first, then sub-IFDs (Exif IFD before SubIFDs, each list in reverse order).
// Collects JPEGInterchangeFormat streams and single JPEG strips. Empty when the
// bytes are not TIFF-structured.
QList<PreviewCandidate> findEmbeddedJpegPreviews(const uchar *bytes, qint64 length);

// Complete JPEG streams (start-of-image to the matching end-of-image, at least
// 512 bytes) found by scanning the bytes for markers, in file order. A stream's
// end is found by walking its segments and entropy-coded data, so thumbnails
// nested in its APP segments do not cut it short.
QList<PreviewCandidate> scanJpegStreams(const uchar *bytes, qint64 length);

// Length of the JPEG stream that starts at `bytes` (with FF D8), up to and
// including its end-of-image marker; 0 when no well-formed end is found.
qint64 jpegStreamLength(const uchar *bytes, qint64 length);

// Orientation (1..8) from tag 274 of IFD0; 1 when absent or not TIFF-structured.
int readTiffOrientation(const uchar *bytes, qint64 length);

// New image with an Exif orientation applied; values outside 2..8 change nothing.
QImage applyOrientation(const QImage &image, int orientation);

// Decodes the bytes as JPEG (with the stream's own Exif orientation applied);
// null on failure. The bytes are not copied.
QImage decodeJpegBytes(const uchar *bytes, qint64 length);

// Values in the given byte order; 0 when pos is negative or the value would not
// fit inside `length`.
quint16 readU16(const uchar *bytes, qint64 length, qint64 pos, bool littleEndian);
quint32 readU32(const uchar *bytes, qint64 length, qint64 pos, bool littleEndian);

// True for the camera RAW suffixes shown through embedded previews
// (dng, cr2, cr3, nef, arw, orf, raf, rw2), in any letter case.
bool isRawPhotoPath(const QString &path);

// Image allocation limit, in MiB, for the readers of this module: large enough
// for photos of 120 MP and more, still refusing absurd header sizes.
constexpr int photoAllocationLimitMiB = 1024;
