#include "bench/benchmark.h"
#include "imaging/exifsummary.h"
#include "imaging/photodecoder.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QImageWriter>

#include <functional>

namespace {

constexpr int fileCount = 4;
constexpr int runs = 5;

// A 6000×4000 picture with gradients and fine texture, so that it compresses
// like a photo rather than like a flat fill.
QImage photoLike(int seed)
{
    QImage image(6000, 4000, QImage::Format_RGB32);
    quint32 noise = 2463534242u + quint32(seed);
    for (int y = 0; y < image.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            noise ^= noise << 13;
            noise ^= noise >> 17;
            noise ^= noise << 5;
            const int n = int(noise & 31);
            line[x] = qRgb((x / 24 + n + seed * 40) & 255, (y / 16 + n) & 255, ((x + y) / 40 + 2 * n) & 255);
        }
    }
    return image;
}

QByteArray encodeJpeg(const QImage &image, int quality)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "JPEG");
    writer.setQuality(quality);
    writer.write(image);
    return bytes;
}

void appendU16(QByteArray &b, quint16 v) { b.append(char(v & 0xFF)).append(char(v >> 8)); }
void appendU32(QByteArray &b, quint32 v)
{
    appendU16(b, quint16(v & 0xFFFF));
    appendU16(b, quint16(v >> 16));
}

// A NEF-like file: IFD0 with an uncompressed 160×120 thumbnail and a medium JPEG
// preview, a sub-IFD with the full-size JPEG, then 16 MB of sensor-like data.
QByteArray rawLike(const QByteArray &fullJpeg, const QByteArray &mediumJpeg)
{
    struct E { quint16 tag, type; quint32 count, value; };
    const quint32 ifd0 = 8, ifd0Entries = 11, sub = ifd0 + 2 + 12 * ifd0Entries + 4, subEntries = 2;
    const quint32 thumbPos = sub + 2 + 12 * subEntries + 4;
    const quint32 thumbBytes = 160 * 120 * 3;
    const quint32 mediumPos = thumbPos + thumbBytes;
    const quint32 fullPos = mediumPos + quint32(mediumJpeg.size());
    const QList<E> first = {{254, 4, 1, 1},          {256, 4, 1, 160},       {257, 4, 1, 120},
                            {259, 3, 1, 1},          {262, 3, 1, 2},         {273, 4, 1, thumbPos},
                            {277, 3, 1, 3},          {279, 4, 1, thumbBytes}, {330, 4, 1, sub},
                            {513, 4, 1, mediumPos},  {514, 4, 1, quint32(mediumJpeg.size())}};
    QByteArray b("II*\0", 4);
    appendU32(b, ifd0);
    const auto writeIfd = [&](const QList<E> &entries) {
        appendU16(b, quint16(entries.size()));
        for (const E &e : entries) {
            appendU16(b, e.tag);
            appendU16(b, e.type);
            appendU32(b, e.count);
            appendU32(b, e.value);
        }
        appendU32(b, 0);
    };
    writeIfd(first);
    writeIfd({{513, 4, 1, fullPos}, {514, 4, 1, quint32(fullJpeg.size())}});
    b.append(QByteArray(int(thumbBytes), char(0x60)));
    b.append(mediumJpeg);
    b.append(fullJpeg);
    QByteArray sensor(16 << 20, 0);
    quint32 noise = 88172645u;
    for (char &c : sensor) {
        noise ^= noise << 13;
        noise ^= noise >> 17;
        noise ^= noise << 5;
        c = char(noise & 0x7F); // never a marker byte
    }
    b.append(sensor);
    return b;
}

struct DataSet
{
    QStringList jpegs;
    QStringList raws;
};

const DataSet &dataSet(const QString &root)
{
    static DataSet set;
    if (!set.jpegs.isEmpty())
        return set;
    const QString dir = root + QStringLiteral("/imaging24mp");
    QDir().mkpath(dir);
    const bool complete = QFile::exists(dir + QStringLiteral("/.complete"));
    for (int i = 0; i < fileCount; ++i) {
        const QString jpeg = dir + QStringLiteral("/photo%1.jpg").arg(i);
        const QString raw = dir + QStringLiteral("/photo%1.nef").arg(i);
        set.jpegs.append(jpeg);
        set.raws.append(raw);
        if (complete)
            continue;
        const QImage image = photoLike(i);
        const QByteArray full = encodeJpeg(image, 90);
        QFile f(jpeg);
        f.open(QIODevice::WriteOnly);
        f.write(full);
        f.close();
        QFile r(raw);
        r.open(QIODevice::WriteOnly);
        r.write(rawLike(full, encodeJpeg(image.scaled(640, 427, Qt::KeepAspectRatio, Qt::SmoothTransformation), 90)));
    }
    QFile(dir + QStringLiteral("/.complete")).open(QIODevice::WriteOnly);
    return set;
}

// Median time per file in ms, over `runs` passes through all files.
double perFileMs(const QStringList &files, const std::function<void(const QString &)> &fn)
{
    return bench::medianMs(runs, [&] {
        for (const QString &f : files)
            fn(f);
    }) / files.size();
}

double toolPerFileMs(const QStringList &files, const QString &program,
                     const std::function<QStringList(const QString &)> &args)
{
    double total = 0;
    for (const QString &f : files) {
        const double ms = bench::commandMedianMs(runs, program, args(f));
        if (ms < 0)
            return -1;
        total += ms;
    }
    return total / files.size();
}

BenchResult result(double value, const char *unit, QJsonObject detail = {})
{
    return {value, QString::fromLatin1(unit), detail};
}

double ourThumbnailMs(const DataSet &d) { return perFileMs(d.jpegs, [](const QString &f) { decodeThumbnail(f, 512); }); }
double ourPhotoMs(const DataSet &d) { return perFileMs(d.jpegs, [](const QString &f) { decodePhoto(f); }); }
double ourLargestPreviewMs(const DataSet &d)
{
    return perFileMs(d.raws, [](const QString &f) { decodeLargestEmbeddedPreview(f); });
}

const BenchRegistration thumbnailJpeg{"thumbnail.jpeg24mp", [](const BenchContext &ctx) {
    const DataSet &d = dataSet(ctx.dataDir);
    const double ms = ourThumbnailMs(d);
    return result(ms, "ms", {{QStringLiteral("thumbnails_per_second"), 1000.0 / ms},
                             {QStringLiteral("size"), decodeThumbnail(d.jpegs.first(), 512).width()}});
}};

const BenchRegistration thumbnailVips{"thumbnail.vipsRatio", [](const BenchContext &ctx) {
    const DataSet &d = dataSet(ctx.dataDir);
    const QString out = ctx.dataDir + QStringLiteral("/vips-out");
    QDir().mkpath(out);
    const double vips = toolPerFileMs(d.jpegs, QStringLiteral("vipsthumbnail"), [&](const QString &f) {
        return QStringList{QStringLiteral("-s"), QStringLiteral("512"), QStringLiteral("-o"), out + QStringLiteral("/%s.jpg"), f};
    });
    const double ours = ourThumbnailMs(d);
    if (vips <= 0)
        return result(-1, "ratio", {{QStringLiteral("error"), QStringLiteral("vipsthumbnail missing or failed")}});
    return result(ours / vips, "ratio", {{QStringLiteral("ours_ms"), ours}, {QStringLiteral("vipsthumbnail_ms"), vips},
                                         {QStringLiteral("target"), 0.85}});
}};

const BenchRegistration thumbnailRaw{"thumbnail.raw", [](const BenchContext &ctx) {
    const DataSet &d = dataSet(ctx.dataDir);
    const double ms = perFileMs(d.raws, [](const QString &f) { decodeThumbnail(f, 512); });
    return result(ms, "ms", {{QStringLiteral("thumbnails_per_second"), 1000.0 / ms},
                             {QStringLiteral("size"), decodeThumbnail(d.raws.first(), 512).width()}});
}};

const BenchRegistration photoJpeg{"photo.jpeg24mp", [](const BenchContext &ctx) {
    const DataSet &d = dataSet(ctx.dataDir);
    return result(ourPhotoMs(d), "ms", {{QStringLiteral("width"), decodePhoto(d.jpegs.first()).width()}});
}};

const BenchRegistration photoDjpeg{"photo.djpegRatio", [](const BenchContext &ctx) {
    const DataSet &d = dataSet(ctx.dataDir);
    const double djpeg = toolPerFileMs(d.jpegs, QStringLiteral("djpeg"), [](const QString &f) {
        return QStringList{QStringLiteral("-outfile"), QStringLiteral("/dev/null"), f};
    });
    const double ours = ourPhotoMs(d);
    if (djpeg <= 0)
        return result(-1, "ratio", {{QStringLiteral("error"), QStringLiteral("djpeg missing or failed")}});
    return result(ours / djpeg, "ratio", {{QStringLiteral("ours_ms"), ours}, {QStringLiteral("djpeg_ms"), djpeg},
                                          {QStringLiteral("target"), 1.5}});
}};

const BenchRegistration rawLargest{"raw.largestPreview", [](const BenchContext &ctx) {
    const DataSet &d = dataSet(ctx.dataDir);
    return result(ourLargestPreviewMs(d), "ms",
                  {{QStringLiteral("width"), decodeLargestEmbeddedPreview(d.raws.first()).width()}});
}};

// The other tool extracts the previews to files; a decode of the largest one
// with the same JPEG reader completes the comparison.
const BenchRegistration rawExiv2{"raw.exiv2Ratio", [](const BenchContext &ctx) {
    const DataSet &d = dataSet(ctx.dataDir);
    const QString out = ctx.dataDir + QStringLiteral("/exiv2-out");
    QDir().mkpath(out);
    const double extract = toolPerFileMs(d.raws, QStringLiteral("exiv2"), [&](const QString &f) {
        return QStringList{QStringLiteral("-q"), QStringLiteral("-f"), QStringLiteral("-ep"), QStringLiteral("-l"), out, f};
    });
    if (extract <= 0)
        return result(-1, "ratio", {{QStringLiteral("error"), QStringLiteral("exiv2 missing or failed")}});
    QStringList extracted;
    for (const QString &raw : d.raws) {
        QString largest;
        qint64 largestSize = 0;
        const QString stem = QFileInfo(raw).completeBaseName();
        for (const QFileInfo &fi : QDir(out).entryInfoList({stem + QStringLiteral("-preview*")}, QDir::Files)) {
            if (fi.size() > largestSize) {
                largestSize = fi.size();
                largest = fi.filePath();
            }
        }
        extracted.append(largest);
    }
    const double decode = perFileMs(extracted, [](const QString &f) { QImageReader(f).read(); });
    const double ours = ourLargestPreviewMs(d);
    return result((extract + decode) / ours, "ratio",
                  {{QStringLiteral("ours_ms"), ours}, {QStringLiteral("exiv2_ms"), extract},
                   {QStringLiteral("decode_ms"), decode}, {QStringLiteral("target"), 1.0}});
}};

const BenchRegistration exifSummary{"exif.summary", [](const BenchContext &ctx) {
    QStringList files;
    const QDir cameras(ctx.testData + QStringLiteral("/cameras"));
    for (const QString &name : cameras.entryList(QDir::Files))
        files.append(cameras.filePath(name));
    // Many calls per timing: one call is far below the timer's useful resolution.
    const double ms = bench::medianMs(runs, [&] {
        for (int i = 0; i < 50; ++i) {
            for (const QString &f : files)
                readExifSummary(f);
        }
    }) / (50.0 * files.size());
    return result(ms, "ms", {{QStringLiteral("files"), int(files.size())}, {QStringLiteral("target_ms"), 1.0}});
}};

} // namespace
