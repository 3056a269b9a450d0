#include "imaging/exifsummary.h"

#include "imaging/photodecoder.h"

#include <QFile>
#include <QList>
#include <QRegularExpression>

#include <climits>
#include <cmath>
#include <cstring>

namespace {

constexpr qint64 exifSearchLimit = 1048576;
constexpr qint64 maxTextBytes = 4096;

struct IfdEntry
{
    int type = 0;
    quint32 count = 0;
    qint64 position = -1; // absolute position of the value
};

// Reads one TIFF structure in place; every read is tested against the mapped length.
class TiffView
{
public:
    TiffView(const uchar *bytes, qint64 length, qint64 base, bool littleEndian)
        : m_bytes(bytes), m_length(length), m_base(base), m_le(littleEndian)
    {
    }

    quint16 u16(qint64 pos) const { return readU16(m_bytes, m_length, pos, m_le); }
    quint32 u32(qint64 pos) const { return readU32(m_bytes, m_length, pos, m_le); }
    qint64 base() const { return m_base; }

    // The first valid entry with the tag; with `onlyType` set, entries of other
    // types are passed over, so a later entry of the right type can still match.
    IfdEntry findEntry(quint32 ifdOffset, quint16 tag, int onlyType = 0) const
    {
        const qint64 dir = m_base + ifdOffset;
        if (dir < 0 || dir + 2 > m_length)
            return {};
        const int count = u16(dir);
        for (int i = 0; i < count; ++i) {
            const qint64 entry = dir + 2 + 12 * qint64(i);
            if (entry + 12 > m_length)
                break;
            if (u16(entry) != tag)
                continue;
            const int type = u16(entry + 2);
            if (onlyType != 0 && type != onlyType)
                continue;
            const quint32 n = u32(entry + 4);
            const qint64 bytes = qint64(n) * elementSize(type);
            const qint64 position = bytes > 4 ? m_base + u32(entry + 8) : entry + 8;
            if (elementSize(type) != 0 && position >= 0 && position + bytes <= m_length)
                return {type, n, position};
        }
        return {};
    }

    QByteArray blob(const IfdEntry &e) const
    {
        if (e.position < 0 || e.count == 0 || (e.type != 1 && e.type != 7))
            return {};
        return QByteArray(reinterpret_cast<const char *>(m_bytes + e.position), qsizetype(e.count));
    }

    QString ascii(const IfdEntry &e) const
    {
        if (e.type != 2 || e.count == 0 || e.position < 0)
            return {};
        const qint64 n = qMin<qint64>(e.count, maxTextBytes);
        const char *text = reinterpret_cast<const char *>(m_bytes + e.position);
        const void *nul = std::memchr(text, 0, size_t(n));
        const qint64 used = nul ? static_cast<const char *>(nul) - text : n;
        return QString::fromLatin1(text, qsizetype(used)).trimmed();
    }

    // SHORT or LONG as an unsigned integer; 0 for any other type.
    quint32 integer(const IfdEntry &e) const
    {
        if (e.position < 0 || e.count == 0)
            return 0;
        if (e.type == 3)
            return u16(e.position);
        if (e.type == 4)
            return u32(e.position);
        return 0;
    }

    // An unsigned RATIONAL; false when the type, range or denominator is wrong.
    bool rational(const IfdEntry &e, double *value) const
    {
        if (e.type != 5 || e.count == 0 || e.position < 0 || e.position + 8 > m_length)
            return false;
        const quint32 num = u32(e.position);
        const quint32 den = u32(e.position + 4);
        if (den == 0)
            return false;
        *value = double(num) / double(den);
        return true;
    }

    double signedRational(const IfdEntry &e) const
    {
        if (e.type != 10 || e.count == 0 || e.position < 0 || e.position + 8 > m_length)
            return 0;
        const auto num = qint32(u32(e.position));
        const auto den = qint32(u32(e.position + 4));
        return den == 0 ? 0 : double(num) / double(den);
    }

private:
    static int elementSize(int type)
    {
        switch (type) {
        case 1: case 2: case 7: return 1;
        case 3: return 2;
        case 4: case 9: return 4;
        case 5: case 10: return 8;
        default: return 0;
        }
    }

    const uchar *m_bytes;
    qint64 m_length;
    qint64 m_base;
    bool m_le;
};

// The TIFF base: 0 for a file that starts like TIFF, otherwise just past the
// first "Exif\0\0" within the first MiB; -1 when there is none.
qint64 findTiffBase(const uchar *bytes, qint64 length)
{
    if ((bytes[0] == 'I' && bytes[1] == 'I') || (bytes[0] == 'M' && bytes[1] == 'M'))
        return 0;
    static const char marker[] = {'E', 'x', 'i', 'f', 0, 0};
    const qint64 end = qMin(length - 6, exifSearchLimit);
    for (qint64 p = 0; p < end;) {
        const void *hit = std::memchr(bytes + p, 'E', size_t(end - p));
        if (!hit)
            break;
        p = static_cast<const uchar *>(hit) - bytes;
        if (std::memcmp(bytes + p, marker, sizeof marker) == 0)
            return p + 6;
        ++p;
    }
    return -1;
}

QString formatExposure(double t)
{
    if (t <= 0)
        return {};
    if (t < 1)
        return QStringLiteral("1/%1 s").arg(qint64(std::llround(1.0 / t)));
    return QStringLiteral("%1 s").arg(t, 0, 'g', 3);
}

void readIfd0Fields(const TiffView &tiff, quint32 ifd0, ExifSummary &s)
{
    s.make = tiff.ascii(tiff.findEntry(ifd0, 271, 2));
    s.model = tiff.ascii(tiff.findEntry(ifd0, 272, 2));
    s.captured = tiff.ascii(tiff.findEntry(ifd0, 306, 2));
}

void readExifFields(const TiffView &tiff, quint32 exif, ExifSummary &s)
{
    const QString original = tiff.ascii(tiff.findEntry(exif, 36867, 2));
    if (!original.isEmpty()) {
        s.captured = original;
        s.subSecond = tiff.ascii(tiff.findEntry(exif, 37521, 2));
        s.offset = tiff.ascii(tiff.findEntry(exif, 36881, 2));
    }
    s.lens = tiff.ascii(tiff.findEntry(exif, 42036, 2));

    double value = 0;
    if (tiff.rational(tiff.findEntry(exif, 33434), &value))
        s.exposure = formatExposure(value);
    if (tiff.rational(tiff.findEntry(exif, 33437), &value) && value > 0)
        s.aperture = QStringLiteral("f/%1").arg(value, 0, 'g', 3);
    if (const quint32 iso = tiff.integer(tiff.findEntry(exif, 34855)))
        s.iso = QString::number(iso);
    if (tiff.rational(tiff.findEntry(exif, 37386), &value) && value > 0)
        s.focalLength = QStringLiteral("%1 mm").arg(value, 0, 'g', 4);
    const double bias = tiff.signedRational(tiff.findEntry(exif, 37380));
    if (std::fabs(bias) > 0.0001)
        s.compensation = QStringLiteral("%1 EV").arg(bias, 0, 'g', 3);
    s.pixelWidth = int(qMin<quint32>(tiff.integer(tiff.findEntry(exif, 40962)), quint32(INT_MAX)));
    s.pixelHeight = int(qMin<quint32>(tiff.integer(tiff.findEntry(exif, 40963)), quint32(INT_MAX)));
    s.colourSpace = int(tiff.integer(tiff.findEntry(exif, 40961)));
    if (const quint32 interop = tiff.integer(tiff.findEntry(exif, 40965)))
        s.interopIndex = tiff.ascii(tiff.findEntry(interop, 1, 2));
}

// The size of the full-resolution image of a TIFF-structured RAW file (DNG
// among them) that has no Exif pixel dimensions: the IFD marked as the main
// image (NewSubfileType 0), IFD0 or one of its SubIFDs, by its default crop
// where given, else by its width and height.
void readRawImageSize(const TiffView &tiff, quint32 ifd0, ExifSummary &s)
{
    QList<quint32> ifds{ifd0};
    const IfdEntry subs = tiff.findEntry(ifd0, 330);
    for (quint32 i = 0; i < subs.count && i < 16 && subs.position >= 0; ++i)
        ifds.append(subs.type == 4 || subs.type == 13 ? tiff.u32(subs.position + 4 * i) : 0);
    for (const quint32 ifd : std::as_const(ifds)) {
        if (ifd == 0 || tiff.integer(tiff.findEntry(ifd, 254)) != 0)
            continue;
        int width = 0, height = 0;
        const IfdEntry crop = tiff.findEntry(ifd, 50720);
        if (crop.count == 2 && (crop.type == 3 || crop.type == 4)) {
            const int step = crop.type == 3 ? 2 : 4;
            width = int(crop.type == 3 ? tiff.u16(crop.position) : tiff.u32(crop.position));
            height = int(crop.type == 3 ? tiff.u16(crop.position + step) : tiff.u32(crop.position + step));
        } else if (crop.count == 2 && crop.type == 5) {
            double w = 0, h = 0;
            IfdEntry second = crop;
            second.position += 8;
            if (tiff.rational(crop, &w) && tiff.rational(second, &h)) {
                width = int(std::lround(w));
                height = int(std::lround(h));
            }
        }
        if (width <= 0 || height <= 0) {
            width = int(qMin<quint32>(tiff.integer(tiff.findEntry(ifd, 256)), quint32(INT_MAX)));
            height = int(qMin<quint32>(tiff.integer(tiff.findEntry(ifd, 257)), quint32(INT_MAX)));
        }
        if (width > 0 && height > 0) {
            s.pixelWidth = width;
            s.pixelHeight = height;
            return;
        }
    }
}

// A TIFF header at base: its byte order and first IFD offset; false when the
// header is not "II"/"MM" with 42.
bool readTiffHeader(const uchar *bytes, qint64 length, qint64 base, bool *le, quint32 *ifd0)
{
    if (base < 0 || base + 2 > length)
        return false;
    *le = bytes[base] == 'I' && bytes[base + 1] == 'I';
    const bool be = bytes[base] == 'M' && bytes[base + 1] == 'M';
    if ((!*le && !be) || readU16(bytes, length, base + 2, *le) != 42)
        return false;
    *ifd0 = base + 8 <= length ? readU32(bytes, length, base + 4, *le) : 0;
    return true;
}

// ISO media RAW files keep IFD0 and the Exif IFD as two TIFF structures, each in
// its own box ("CMT1", "CMT2") near the start of the file: the box's data begins
// with a TIFF header. Gives the position of that data, or -1.
qint64 findMetadataBox(const uchar *bytes, qint64 length, const char *name)
{
    const qint64 end = qMin(length - 8, exifSearchLimit);
    for (qint64 p = 4; p < end; ++p) {
        if (std::memcmp(bytes + p, name, 4) == 0 && readU32(bytes, length, p - 4, false) > 16)
            return p + 4;
    }
    return -1;
}

void readMediaBoxes(const uchar *bytes, qint64 length, ExifSummary &s)
{
    bool le = true;
    quint32 ifd = 0;
    const qint64 ifd0Base = findMetadataBox(bytes, length, "CMT1");
    if (readTiffHeader(bytes, length, ifd0Base, &le, &ifd) && ifd != 0)
        readIfd0Fields(TiffView(bytes, length, ifd0Base, le), ifd, s);
    const qint64 exifBase = findMetadataBox(bytes, length, "CMT2");
    if (readTiffHeader(bytes, length, exifBase, &le, &ifd) && ifd != 0)
        readExifFields(TiffView(bytes, length, exifBase, le), ifd, s);
}

} // namespace

ExifSummary readExifSummary(const uchar *bytes, qint64 length)
{
    ExifSummary summary;
    summary.fileSize = qMax<qint64>(length, 0);
    if (!bytes || length <= 7)
        return summary;
    const qint64 base = findTiffBase(bytes, length);
    bool le = true;
    quint32 ifd0 = 0;
    if (readTiffHeader(bytes, length, base, &le, &ifd0)) {
        if (ifd0 != 0) {
            const TiffView tiff(bytes, length, base, le);
            readIfd0Fields(tiff, ifd0, summary);
            const quint32 exif = tiff.integer(tiff.findEntry(ifd0, 34665));
            if (exif != 0)
                readExifFields(tiff, exif, summary);
            if (summary.pixelWidth <= 0 || summary.pixelHeight <= 0)
                readRawImageSize(tiff, ifd0, summary);
        }
    } else if (base < 0 && std::memcmp(bytes + 4, "ftyp", 4) == 0) {
        readMediaBoxes(bytes, length, summary);
    }
    return summary;
}

ExifSummary readExifSummary(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return ExifSummary();
    const qint64 size = file.size();
    ExifSummary summary;
    summary.fileSize = size;
    if (size <= 7)
        return summary;
    if (const uchar *bytes = file.map(0, size)) {
        summary = readExifSummary(bytes, size);
        file.unmap(const_cast<uchar *>(bytes));
    }
    return summary;
}

QByteArray readIfd0Bytes(const uchar *bytes, qint64 length, quint16 tag)
{
    if (!bytes || length <= 7)
        return {};
    const qint64 base = findTiffBase(bytes, length);
    bool le = true;
    quint32 ifd0 = 0;
    if (!readTiffHeader(bytes, length, base, &le, &ifd0) || ifd0 == 0)
        return {};
    const TiffView tiff(bytes, length, base, le);
    return tiff.blob(tiff.findEntry(ifd0, tag));
}

QString cameraName(const ExifSummary &summary)
{
    const QString make = summary.make.trimmed();
    const QString model = summary.model.trimmed();
    if (make.isEmpty() || model.isEmpty())
        return (make + model).trimmed();
    const QString firstWord = make.section(QLatin1Char(' '), 0, 0);
    if (model.startsWith(make, Qt::CaseInsensitive) || model.startsWith(firstWord, Qt::CaseInsensitive))
        return model;
    return make + QLatin1Char(' ') + model;
}

QDateTime captureTime(const ExifSummary &summary)
{
    QDateTime time = QDateTime::fromString(summary.captured.left(19), QStringLiteral("yyyy:MM:dd HH:mm:ss"));
    if (!time.isValid())
        return {};
    bool ok = false;
    const QString digits = summary.subSecond.trimmed().left(3);
    const int fraction = digits.toInt(&ok);
    if (ok && fraction > 0)
        time = time.addMSecs(qint64(fraction) * (digits.size() == 1 ? 100 : digits.size() == 2 ? 10 : 1));
    static const QRegularExpression offsetPattern(QStringLiteral("^([+-])(\\d\\d):(\\d\\d)$"));
    const QRegularExpressionMatch m = offsetPattern.match(summary.offset.trimmed());
    if (m.hasMatch()) {
        const int seconds = (m.captured(2).toInt() * 60 + m.captured(3).toInt()) * 60;
        if (seconds <= 14 * 3600)
            time.setOffsetFromUtc(m.captured(1) == QLatin1String("-") ? -seconds : seconds);
    }
    return time;
}

QDateTime readCaptureTime(const QString &path)
{
    return captureTime(readExifSummary(path));
}

QString formatCaptureTime(const ExifSummary &summary, const QLocale &locale)
{
    const QDateTime time = captureTime(summary);
    if (!time.isValid())
        return summary.captured;
    QString timeFormat = locale.timeFormat(QLocale::LongFormat);
    timeFormat.remove(QLatin1Char('t'));
    QString text = locale.toString(time.date(), QLocale::ShortFormat) + QLatin1Char(' ')
                   + locale.toString(time.time(), timeFormat.trimmed());
    if (time.timeSpec() == Qt::OffsetFromUTC)
        text += QStringLiteral(" UTC") + summary.offset.trimmed().replace(QLatin1Char('-'), QChar(0x2212));
    return text;
}
