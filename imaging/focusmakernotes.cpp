#include "imaging/focusmakernotes_p.h"

#include <cmath>
#include <cstring>

using namespace tiffview;

namespace focusnotes {
namespace {

// More points than any body records (Canon's largest grids list 143, of which
// at most some 65 are valid); a record beyond this is damaged.
constexpr int maxPoints = 512;
// An IFD of a maker note with more entries is taken to be in the other byte order.
constexpr int maxIfdEntries = 512;

bool startsWith(const uchar *bytes, qint64 length, qint64 pos, const char *text, qint64 n)
{
    return pos >= 0 && pos + n <= length && std::memcmp(bytes + pos, text, size_t(n)) == 0;
}

bool plausibleIfd(const TiffView &t, quint32 ifd)
{
    const qint64 dir = t.base() + ifd;
    if (dir < 0 || dir + 2 > t.length())
        return false;
    const int count = t.u16(dir);
    return count > 0 && count <= maxIfdEntries && dir + 2 + 12 * qint64(count) <= t.length();
}

// A view of the maker-note IFD at absolute `dir` with offsets from `base`, in
// the byte order `le` unless its entry count only makes sense in the other.
TiffView guessOrder(const TiffView &tiff, qint64 base, qint64 dir, bool le)
{
    const TiffView first(tiff.bytes(), tiff.length(), base, le);
    if (plausibleIfd(first, quint32(dir - base)))
        return first;
    const TiffView other(tiff.bytes(), tiff.length(), base, !le);
    return plausibleIfd(other, quint32(dir - base)) ? other : first;
}

FocusPoint area(double cx, double cy, double w, double h, double width, double height)
{
    FocusPoint p;
    p.x = cx / width;
    p.y = cy / height;
    p.w = w / width;
    p.h = h / height;
    return p;
}

bool bit(const TiffView &t, qint64 words, int index)
{
    return (t.u16(words + 2 * qint64(index / 16)) >> (index % 16)) & 1;
}

// Canon AFInfo2 (also AFInfo3): a size word, then counts, the AF image size,
// per-point widths, heights, x and y from the centre (y upwards on EOS bodies,
// downwards on compacts), and bit sets of the points in focus and, on EOS
// bodies, of the selected ones.
FocusPoints canonAfInfo2(const TiffView &t, const IfdEntry &e, const Photo &photo, bool eos, const QString &source)
{
    if (e.type != 3 || e.count < 8 || e.position < 0)
        return {};
    const auto word = [&](qint64 i) { return t.u16(e.position + 2 * i); };
    if (word(0) != e.count * 2)
        return {};
    const qint64 n = word(2), valid = word(3);
    const qint64 bitWords = (n + 15) / 16;
    if (n == 0 || valid == 0 || valid > n || 8 + 4 * n + bitWords > qint64(e.count))
        return {};
    const bool hasSelected = eos && 8 + 4 * n + 2 * bitWords <= qint64(e.count);
    double width = word(6), height = word(7);
    if (width == 0 || height == 0) {
        width = word(4);
        height = word(5);
    }
    if (width == 0 || height == 0 || !fitsFrame(width, height, photo))
        return {};
    const qint64 focusBits = e.position + 2 * (8 + 4 * n);
    FocusPoints result;
    result.source = source;
    for (qint64 i = 0; i < valid; ++i) {
        const int w = t.s16(e.position + 2 * (8 + i));
        const int h = t.s16(e.position + 2 * (8 + n + i));
        const int x = t.s16(e.position + 2 * (8 + 2 * n + i));
        const int y = t.s16(e.position + 2 * (8 + 3 * n + i));
        if (w <= 0 || h <= 0)
            continue;
        FocusPoint p = area(width / 2 + x, eos ? height / 2 - y : height / 2 + y, w, h, width, height);
        p.inFocus = bit(t, focusBits, int(i));
        if (hasSelected)
            p.selected = bit(t, focusBits + 2 * bitWords, int(i));
        result.points.append(p);
    }
    return result;
}

// Canon AFInfo of older bodies: no size word, one area size for all points.
// Bodies that record only the point numbers write the same position for
// every point, which is no position at all.
FocusPoints canonAfInfo(const TiffView &t, const IfdEntry &e, const Photo &photo, bool eos)
{
    if (e.type != 3 || e.count < 8 || e.position < 0)
        return {};
    const auto word = [&](qint64 i) { return t.u16(e.position + 2 * i); };
    const qint64 n = word(0), valid = word(1);
    const qint64 bitWords = (n + 15) / 16;
    if (n == 0 || valid == 0 || valid > n || 8 + 2 * n + bitWords > qint64(e.count))
        return {};
    double width = word(4), height = word(5);
    if (width == 0 || height == 0) {
        width = word(2);
        height = word(3);
    }
    const int w = t.s16(e.position + 12), h = t.s16(e.position + 14);
    if (width == 0 || height == 0 || w <= 0 || h <= 0 || !fitsFrame(width, height, photo))
        return {};
    FocusPoints result;
    result.source = QStringLiteral("Canon AFInfo");
    bool distinct = valid == 1;
    for (qint64 i = 0; i < valid; ++i) {
        const int x = t.s16(e.position + 2 * (8 + i));
        const int y = t.s16(e.position + 2 * (8 + n + i));
        distinct = distinct || x != t.s16(e.position + 16) || y != t.s16(e.position + 2 * (8 + n));
        FocusPoint p = area(width / 2 + x, eos ? height / 2 - y : height / 2 + y, w, h, width, height);
        p.inFocus = bit(t, e.position + 2 * (8 + 2 * n), int(i));
        result.points.append(p);
    }
    return distinct ? result : FocusPoints();
}

// Nikon AFInfo2: the layout depends on its version; only the versions that
// record an AF image size and an area in it give a position. The older
// phase-detect records name the point ("C6") and are left alone.
FocusPoints nikonAfInfo2(const TiffView &t, const IfdEntry &e)
{
    if (e.type != 7 || e.count < 8 || e.position < 0)
        return {};
    const uchar *b = t.bytes() + e.position;
    const qint64 size = e.count;
    const QByteArray version(reinterpret_cast<const char *>(b), 4);
    const int contrastDetect = b[4];
    int at = -1;              // offset of the AF image width; height, x, y, w, h follow
    int inFocusAt = -1;       // offset of the in-focus byte
    if (version == "0100") {
        at = 0x10;
        inFocusAt = 0x1c;
    } else if (version == "0101" && contrastDetect == 1) {
        at = 0x46;
        inFocusAt = 0x52;
    } else if (version.startsWith("03") && (contrastDetect == 2 || (contrastDetect == 1 && version == "0301"))) {
        at = 0x2a;
    } else if (version.startsWith("04")) {
        at = 0x3e;
        inFocusAt = 0x4a;
    }
    if (at < 0 || at + 12 > size || inFocusAt >= size)
        return {};
    const auto u16 = [&](int offset) { return t.u16(e.position + offset); };
    const double width = u16(at), height = u16(at + 2);
    const double x = u16(at + 4), y = u16(at + 6), w = u16(at + 8), h = u16(at + 10);
    if (width == 0 || height == 0 || x == 0 || y == 0 || w == 0 || h == 0)
        return {};
    FocusPoints result;
    result.source = QStringLiteral("Nikon AFInfo2");
    FocusPoint p = area(x, y, w, h, width, height);
    if (inFocusAt >= 0)
        p.inFocus = b[inFocusAt] == 1;
    result.points.append(p);
    return result;
}

FocusPoints readNikon(const TiffView &tiff, qint64 note, qint64 length)
{
    if (!startsWith(tiff.bytes(), tiff.length(), note, "Nikon\0\x02", 7) || length < 18)
        return {};
    bool le = true;
    quint32 ifd = 0;
    if (!readTiffHeader(tiff.bytes(), tiff.length(), note + 10, &le, &ifd) || ifd == 0)
        return {};
    const TiffView inner(tiff.bytes(), tiff.length(), note + 10, le);
    return nikonAfInfo2(inner, inner.findEntry(ifd, 0x00B7, 7));
}

// Sony FocusLocation: the image size it refers to and the point, from the
// top left; FocusFrameSize, where the body records one, the area around it.
FocusPoints readSony(const TiffView &tiff, qint64 note, const Photo &photo)
{
    const uchar *bytes = tiff.bytes();
    qint64 dir = -1;
    if (startsWith(bytes, tiff.length(), note, "SONY DSC \0", 10) || startsWith(bytes, tiff.length(), note, "SONY CAM \0", 10)
        || startsWith(bytes, tiff.length(), note, "SONY MOBILE\0", 12))
        dir = note + 12;
    else if (photo.make.startsWith(QLatin1String("SONY"), Qt::CaseInsensitive) && !startsWith(bytes, tiff.length(), note, "\x01\x00", 2))
        dir = note;
    if (dir < 0)
        return {};
    const TiffView t = guessOrder(tiff, tiff.base(), dir, tiff.littleEndian());
    const quint32 ifd = quint32(dir - tiff.base());
    const IfdEntry location = t.findEntry(ifd, 0x2027, 3);
    if (location.count != 4)
        return {};
    const double width = t.u16(location.position), height = t.u16(location.position + 2);
    const double x = t.u16(location.position + 4), y = t.u16(location.position + 6);
    if (width == 0 || height == 0 || x > width || y > height)
        return {};
    double w = 0, h = 0;
    const IfdEntry frame = t.findEntry(ifd, 0x2037);
    if (frame.position >= 0 && (frame.type == 3 ? frame.count == 3 : frame.type == 7 && frame.count == 6)
        && t.u16(frame.position + 4) != 0) {
        w = t.u16(frame.position);
        h = t.u16(frame.position + 2);
    }
    FocusPoints result;
    result.source = QStringLiteral("Sony FocusLocation");
    result.points.append(area(x, y, w, h, width, height));
    return result;
}

// Fujifilm FocusPixel: the point in pixels of the photo. The maker note is a
// little-endian IFD at an offset from its own start, which is also the base.
FocusPoints readFujifilm(const TiffView &tiff, qint64 note, const Photo &photo)
{
    if (!startsWith(tiff.bytes(), tiff.length(), note, "FUJIFILM", 8) || photo.width <= 0 || photo.height <= 0)
        return {};
    const TiffView t(tiff.bytes(), tiff.length(), note, true);
    const quint32 ifd = t.u32(note + 8);
    const IfdEntry pixel = t.findEntry(ifd, 0x1023, 3);
    if (pixel.count != 2)
        return {};
    const double x = t.u16(pixel.position), y = t.u16(pixel.position + 2);
    if (x >= photo.width || y >= photo.height)
        return {};
    FocusPoints result;
    result.source = QStringLiteral("Fujifilm FocusPixel");
    result.points.append(area(x, y, 0, 0, photo.width, photo.height));
    return result;
}

bool rationalAt(const TiffView &t, qint64 pos, bool isSigned, double *value)
{
    if (pos < 0 || pos + 8 > t.length())
        return false;
    const quint32 num = t.u32(pos), den = t.u32(pos + 4);
    if (den == 0 || (isSigned && qint32(den) == 0))
        return false;
    *value = isSigned ? double(qint32(num)) / double(qint32(den)) : double(num) / double(den);
    return std::isfinite(*value);
}

// Olympus and OM System AFPointSelected, in the CameraSettings IFD: the top
// left and bottom right corners of the AF area as fractions of the photo,
// after one unused value.
FocusPoints readOlympus(const TiffView &tiff, qint64 note, qint64 length)
{
    const uchar *bytes = tiff.bytes();
    qint64 base = tiff.base(), dir = -1;
    bool le = tiff.littleEndian();
    if (startsWith(bytes, tiff.length(), note, "OLYMPUS\0", 8) && length > 12) {
        base = note;
        dir = note + 12;
        le = bytes[note + 8] == 'I';
    } else if (startsWith(bytes, tiff.length(), note, "OM SYSTEM\0", 10) && length > 16) {
        base = note;
        dir = note + 16;
        le = bytes[note + 12] == 'I';
    } else if (startsWith(bytes, tiff.length(), note, "OLYMP\0", 6) || startsWith(bytes, tiff.length(), note, "EPSON\0", 6)) {
        dir = note + 8;
    }
    if (dir < 0)
        return {};
    const TiffView t = guessOrder(tiff, base, dir, le);
    const IfdEntry settings = t.findEntry(quint32(dir - base), 0x2020);
    quint32 sub = 0;
    if (settings.type == 13 || settings.type == 4)
        sub = t.u32(settings.position);
    else if (settings.type == 7 && settings.position >= base)
        sub = quint32(settings.position - base);
    if (sub == 0 || !plausibleIfd(t, sub))
        return {};
    const IfdEntry selected = t.findEntry(sub, 0x0305);
    if ((selected.type != 10 && selected.type != 5) || selected.count != 5)
        return {};
    double c[4];
    for (int i = 0; i < 4; ++i) {
        if (!rationalAt(t, selected.position + 8 * (i + 1), selected.type == 10, &c[i]))
            return {};
    }
    if (c[0] > c[2] || c[1] > c[3] || (c[2] == 0 && c[3] == 0))
        return {};
    FocusPoints result;
    result.source = QStringLiteral("Olympus AFPointSelected");
    result.points.append(area((c[0] + c[2]) / 2, (c[1] + c[3]) / 2, c[2] - c[0], c[3] - c[1], 1, 1));
    return result;
}

// Panasonic AFPointPosition: the centre of the primary AF area as fractions;
// values beyond 1 mean none.
FocusPoints readPanasonic(const TiffView &tiff, qint64 note)
{
    qint64 dir = -1;
    if (startsWith(tiff.bytes(), tiff.length(), note, "Panasonic\0", 10))
        dir = note + 12;
    else if (startsWith(tiff.bytes(), tiff.length(), note, "LEICA\0\0\0", 8))
        dir = note + 8;
    if (dir < 0)
        return {};
    const TiffView t = guessOrder(tiff, tiff.base(), dir, tiff.littleEndian());
    const IfdEntry position = t.findEntry(quint32(dir - tiff.base()), 0x004D, 5);
    double x = 0, y = 0;
    if (position.count != 2 || !rationalAt(t, position.position, false, &x)
        || !rationalAt(t, position.position + 8, false, &y) || x > 1 || y > 1)
        return {};
    FocusPoints result;
    result.source = QStringLiteral("Panasonic AFPointPosition");
    result.points.append(area(x, y, 0, 0, 1, 1));
    return result;
}

} // namespace

bool fitsFrame(double width, double height, const Photo &photo)
{
    if (photo.frameWidth <= 0 || photo.frameHeight <= 0)
        return true;
    const double ratio = (width / height) / (double(photo.frameWidth) / photo.frameHeight);
    return std::abs(ratio - 1) <= 0.01;
}

FocusPoints readCanonIfd(const TiffView &tiff, quint32 ifd, const Photo &photo)
{
    if (!plausibleIfd(tiff, ifd))
        return {};
    const bool eos = photo.model.contains(QLatin1String("EOS"), Qt::CaseInsensitive);
    FocusPoints points = canonAfInfo2(tiff, tiff.findEntry(ifd, 0x0026, 3), photo, eos, QStringLiteral("Canon AFInfo2"));
    if (points.isEmpty())
        points = canonAfInfo2(tiff, tiff.findEntry(ifd, 0x003C, 3), photo, eos, QStringLiteral("Canon AFInfo3"));
    if (points.isEmpty())
        points = canonAfInfo(tiff, tiff.findEntry(ifd, 0x0012, 3), photo, eos);
    return points;
}

FocusPoints readMakerNote(const TiffView &tiff, qint64 note, qint64 length, const Photo &photo)
{
    if (note < 0 || length < 8 || note + length > tiff.length())
        return {};
    const QString make = photo.make.trimmed();
    if (make.startsWith(QLatin1String("Canon"), Qt::CaseInsensitive))
        return readCanonIfd(tiff, quint32(note - tiff.base()), photo);
    if (startsWith(tiff.bytes(), tiff.length(), note, "Nikon\0", 6))
        return readNikon(tiff, note, length);
    if (startsWith(tiff.bytes(), tiff.length(), note, "FUJIFILM", 8))
        return readFujifilm(tiff, note, photo);
    if (make.startsWith(QLatin1String("OLYMPUS"), Qt::CaseInsensitive) || make.startsWith(QLatin1String("OM Digital"), Qt::CaseInsensitive)
        || startsWith(tiff.bytes(), tiff.length(), note, "OLYMP", 5) || startsWith(tiff.bytes(), tiff.length(), note, "OM SYSTEM", 9))
        return readOlympus(tiff, note, length);
    if (startsWith(tiff.bytes(), tiff.length(), note, "Panasonic", 9) || startsWith(tiff.bytes(), tiff.length(), note, "LEICA\0\0\0", 8))
        return readPanasonic(tiff, note);
    if (make.startsWith(QLatin1String("SONY"), Qt::CaseInsensitive) || startsWith(tiff.bytes(), tiff.length(), note, "SONY", 4))
        return readSony(tiff, note, photo);
    return {};
}

FocusPoints readSubjectArea(const TiffView &tiff, quint32 exifIfd, const Photo &photo)
{
    if (photo.width <= 0 || photo.height <= 0)
        return {};
    const IfdEntry e = tiff.findEntry(exifIfd, 37396, 3);
    if (e.count < 2 || e.count > 4)
        return {};
    double v[4] = {0, 0, 0, 0};
    for (quint32 i = 0; i < e.count; ++i)
        v[i] = tiff.u16(e.position + 2 * qint64(i));
    const double w = e.count == 2 ? 0 : v[2];
    const double h = e.count == 2 ? 0 : e.count == 3 ? v[2] : v[3];
    FocusPoints result;
    result.source = QStringLiteral("EXIF SubjectArea");
    result.points.append(area(v[0], v[1], w, h, photo.width, photo.height));
    return result;
}

FocusPoints checkedPoints(FocusPoints points)
{
    if (points.points.isEmpty() || points.points.size() > maxPoints)
        return {};
    const auto inUnit = [](double v) { return std::isfinite(v) && v >= 0 && v <= 1; };
    for (const FocusPoint &p : std::as_const(points.points)) {
        if (!inUnit(p.x) || !inUnit(p.y) || !inUnit(p.w) || !inUnit(p.h))
            return {};
    }
    return points;
}

} // namespace focusnotes
