#include "imaging/exifsummary.h"

#include "imaging/photodecoder.h"
#include "imaging/tiffview_p.h"

#include <QFile>
#include <QList>
#include <QRegularExpression>

#include <climits>
#include <cmath>
#include <cstring>

namespace {

using namespace tiffview;

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
