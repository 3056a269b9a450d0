#pragma once

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QSize>

// Many cameras and phones write JPEGs with restart markers. Where a restart
// falls at the start of a row of MCUs, the rows below it depend on nothing
// above: the file can be cut there into self-contained JPEG streams that
// decode side by side, which is how a photo decodes faster than one core can
// run the entropy decoder.

// Each stream also decodes a row of MCUs beyond its share where there is one,
// above and below: the decoder smooths colour across rows, so a strip's
// edge rows come out as in the whole image only with their neighbours there.
// A plan refers to the bytes it was made from, which must outlive it.
struct JpegStripPlan
{
    QSize size;                 // of the whole image, as stored
    // Per strip, top to bottom:
    QList<int> heights;         // height of its stream in pixels, as stored
    QList<int> skipTop;         // rows above its share, decoded for context
    QList<int> keep;            // rows of its share
    QList<int> firstInterval;   // its restart intervals: [first, last)
    QList<int> lastInterval;

    const uchar *bytes = nullptr;
    qint64 scanStart = 0;       // the header is everything before
    qint64 sofHeightPos = 0;
    qint64 scanEnd = 0;         // the end-of-image marker
    QList<qint64> restarts;     // each restart marker's first byte

    qsizetype count() const { return heights.size(); }
};

// Cuts a baseline or extended sequential JPEG with one interleaved scan into
// at most `maxStrips` streams of whole MCU rows, of as equal a share of the
// coded bytes as its restart markers allow. Empty (no strips) when the stream cannot be cut: no restart
// interval, progressive or lossless coding, several scans, a height given
// only at the end of the scan, restart markers missing, out of order or not
// where the interval puts them, no end-of-image marker, or more segments than
// the decoders accept. A plan with one stream is never returned: the caller
// decodes such a file as it is.
JpegStripPlan planJpegStrips(const uchar *bytes, qint64 length, int maxStrips);

// Strip `index` of the plan as a complete JPEG stream: the header with the
// strip's height, its intervals with their restart markers numbered afresh.
QByteArray jpegStripStream(const JpegStripPlan &plan, int index);

// Decodes the plan's streams on several threads (the calling thread takes
// one), each at 1/`denominator` of its size (1, 2, 4 or 8), and joins them.
// Null when any stream fails to decode or the pieces do not fit together, and
// (before decoding) when Qt's reader would refuse the joined image, the whole
// photo at that scale, for its allocation limit: each strip alone is below it.
QImage decodeJpegStrips(const JpegStripPlan &plan, int denominator);

// Decodes a JPEG file in strips when it can be cut and is large enough to
// gain from it, at the DCT scale that still covers `box` (in full when `box`
// is not valid), with its Exif orientation applied. Null when the file is not
// such a JPEG or anything fails: the caller then decodes it in one piece.
// `stored` (when given) receives the photo's size as stored.
QImage decodeJpegFileInStrips(const QString &path, const QSize &box, bool *scaled = nullptr,
                              QSize *stored = nullptr);
