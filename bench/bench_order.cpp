#include "bench/benchmark.h"

#include "core/folderlisting.h"
#include "core/photoorder.h"
#include "imaging/exifsummary.h"

#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QtEndian>

// Reading capture times for the capture-time order: headers only, from a
// folder of 10,000 camera files (JPEGs with Exif and real RAW files).
namespace {

QByteArray be16(quint16 v) { QByteArray b(2, 0); qToBigEndian(v, b.data()); return b; }
QByteArray be32(quint32 v) { QByteArray b(4, 0); qToBigEndian(v, b.data()); return b; }

// A small JPEG whose Exif holds DateTimeOriginal, SubSecTimeOriginal and
// OffsetTimeOriginal, as a camera writes them.
QByteArray cameraJpeg(int index)
{
    const QByteArray when = QStringLiteral("2024:05:%1 %2:%3:%4")
                                .arg(1 + index / 3600 % 28, 2, 10, QLatin1Char('0'))
                                .arg(index / 60 % 24, 2, 10, QLatin1Char('0'))
                                .arg(index % 60, 2, 10, QLatin1Char('0'))
                                .arg(index * 7 % 60, 2, 10, QLatin1Char('0'))
                                .toLatin1() + '\0';
    const QByteArray sub("42\0", 3), offset("+02:00\0", 7);
    // Header, IFD0 (one entry: the Exif IFD), Exif IFD (three entries), then the values.
    const quint32 exifIfd = 8 + 2 + 12 + 4;
    const quint32 values = exifIfd + 2 + 3 * 12 + 4;
    QByteArray tiff = QByteArray("MM\0\x2A", 4) + be32(8);
    tiff += be16(1) + be16(34665) + be16(4) + be32(1) + be32(exifIfd) + be32(0);
    tiff += be16(3);
    tiff += be16(36867) + be16(2) + be32(quint32(when.size())) + be32(values);
    tiff += be16(36881) + be16(2) + be32(quint32(offset.size())) + be32(values + quint32(when.size()));
    tiff += be16(37521) + be16(2) + be32(quint32(sub.size())) + sub + QByteArray(1, '\0');
    tiff += be32(0) + when + offset;
    const QByteArray payload = QByteArray("Exif\0\0", 6) + tiff;

    static const QByteArray picture = [] {
        QImage image = bench::detailedPicture(1, QSize(320, 240));
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "JPEG", 85);
        return bytes;
    }();
    return picture.left(2) + "\xFF\xE1" + be16(quint16(payload.size() + 2)) + payload + picture.mid(2);
}

QStringList makeFolder(const BenchContext &ctx)
{
    const QString dir = ctx.dataDir + QStringLiteral("/captured10k");
    QDir folder(dir);
    QStringList paths;
    const QStringList raws{QStringLiteral("fixture-sony-zv-e10.arw"), QStringLiteral("fixture.cr3"),
                           QStringLiteral("fixture.nef"), QStringLiteral("fixture-Leica-M10.dng")};
    const bool complete = QFile::exists(folder.filePath(QStringLiteral(".complete")));
    if (!complete) {
        folder.removeRecursively();
        QDir().mkpath(dir);
    }
    for (int i = 0; i < 10000; ++i) {
        // One file in ten is a real RAW file of a camera.
        const QString raw = raws.at(i % raws.size());
        const bool isRaw = i % 10 == 9;
        const QString name = isRaw ? QStringLiteral("RAW_%1.%2").arg(i, 5, 10, QLatin1Char('0')).arg(raw.section('.', -1))
                                   : QStringLiteral("IMG_%1.jpg").arg(i, 5, 10, QLatin1Char('0'));
        const QString path = folder.filePath(name);
        paths.append(path);
        if (complete)
            continue;
        if (isRaw) {
            QFile::copy(ctx.testData + QStringLiteral("/fixtures/") + raw, path);
        } else {
            QFile file(path);
            file.open(QIODevice::WriteOnly);
            file.write(cameraJpeg(i));
        }
    }
    QFile(folder.filePath(QStringLiteral(".complete"))).open(QIODevice::WriteOnly);
    return paths;
}

const BenchRegistration captureTimes{"catalog.captureTimes10k", [](const BenchContext &ctx) {
    const QStringList paths = makeFolder(ctx);
    int found = 0;
    QHash<QString, QDateTime> times;
    const double ms = bench::medianMs(3, [&] {
        times.clear();
        for (const QString &path : paths)
            times.insert(path, readCaptureTime(path));
    });
    for (const QDateTime &t : std::as_const(times))
        found += t.isValid();
    QElapsedTimer sortTimer;
    sortTimer.start();
    const QStringList sorted = PhotoCore::sortedPhotos(paths, PhotoCore::SortOrder::CaptureTime, times);
    const double sortMs = sortTimer.nsecsElapsed() / 1e6;
    return BenchResult{ms, QStringLiteral("ms"),
                       {{QStringLiteral("files"), int(paths.size())}, {QStringLiteral("with_capture_time"), found},
                        {QStringLiteral("sort_ms"), sortMs}, {QStringLiteral("target_ms"), 3000}}};
}};

// 10,000 empty photo files in 100 folders of 100, two levels deep, against
// ls -R of the same tree in the same run.
QString makeTree(const QString &root)
{
    const QString dir = root + QStringLiteral("/tree10k");
    if (QFile::exists(dir + QStringLiteral("/.complete")))
        return dir;
    QDir(dir).removeRecursively();
    for (int f = 0; f < 100; ++f) {
        const QString folder = dir + QStringLiteral("/day%1/card%2").arg(f / 10).arg(f % 10);
        QDir().mkpath(folder);
        for (int i = 0; i < 100; ++i)
            QFile(folder + QStringLiteral("/IMG_%1.JPG").arg(f * 100 + i, 5, 10, QLatin1Char('0'))).open(QIODevice::WriteOnly);
    }
    QFile(dir + QStringLiteral("/.complete")).open(QIODevice::WriteOnly);
    return dir;
}

const BenchRegistration listTree{"catalog.listTree10k", [](const BenchContext &ctx) {
    const QString dir = makeTree(ctx.dataDir);
    int count = 0;
    PhotoCore::listPhotoTree(dir); // warm the directory cache, as a second open would be
    const double ms = bench::medianMs(15, [&] { count = int(PhotoCore::listPhotoTree(dir).size()); });
    const double lsMs = bench::commandMedianMs(15, QStringLiteral("ls"), {QStringLiteral("-R"), dir});
    BenchResult r{ms, QStringLiteral("ms"),
                  {{QStringLiteral("files"), 10000}, {QStringLiteral("folders"), 100},
                   {QStringLiteral("listed"), count}, {QStringLiteral("target_ms"), 100}}};
    if (lsMs > 0) {
        r.detail.insert(QStringLiteral("ls_ms"), lsMs);
        r.detail.insert(QStringLiteral("ratio_to_ls"), ms / lsMs);
        r.detail.insert(QStringLiteral("target_ratio"), 2.5);
    }
    return r;
}};

} // namespace
