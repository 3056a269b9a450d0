#include "bench/benchmark.h"
#include "core/sidecarpaths.h"
#include "core/xmpsidecar.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>

#ifdef Q_OS_UNIX
#include <time.h>
#endif

namespace {

constexpr int folderSize = 10000;

QByteArray readFixture(const BenchContext &ctx, const char *name)
{
    QFile file(ctx.testData + QStringLiteral("/xmp/") + QLatin1String(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString photoPath(const QString &dir, int i)
{
    return dir + QStringLiteral("/DSC_%1.NEF").arg(i, 5, 10, QLatin1Char('0'));
}

// 10,000 sidecars of 1–3 KB in the shapes other programs and we write: packet
// wrapped with camera-raw settings, keywords, element form and our own.
QString makeFolder(const BenchContext &ctx)
{
    const QString dir = ctx.dataDir + QStringLiteral("/sidecars10k");
    if (QFile::exists(dir + QStringLiteral("/.complete")))
        return dir;
    QDir(dir).removeRecursively();
    QDir().mkpath(dir);
    const QByteArray shapes[] = {readFixture(ctx, "camera-raw.xmp"), readFixture(ctx, "keywords.xmp"),
                                 readFixture(ctx, "element-form.xmp"), readFixture(ctx, "multi-description.xmp")};
    for (int i = 0; i < folderSize; ++i) {
        const QString photo = photoPath(dir, i);
        QFile sidecar(PhotoCore::sidecarPathFor(photo));
        if (!sidecar.open(QIODevice::WriteOnly))
            return QString();
        sidecar.write(shapes[i % 4]);
        sidecar.close();
        if (i % 8 == 0) {
            // Our own updates of the same shapes, with every kind of mark.
            PhotoCore::Metadata m;
            m.rating = i % 6;
            m.label = i % 3 ? QStringLiteral("Red") : QString();
            m.rejected = i % 7 == 0;
            m.rotation = (i % 4) * 90;
            PhotoCore::writeMetadata(photo, m);
        }
    }
    QFile(dir + QStringLiteral("/.complete")).open(QIODevice::WriteOnly);
    return dir;
}

double readFolderMs(const QString &dir, int runs, int *rated)
{
    return bench::medianMs(runs, [&] {
        int count = 0;
        for (int i = 0; i < folderSize; ++i)
            count += PhotoCore::readMetadata(photoPath(dir, i)).rating > 0;
        *rated = count;
    });
}

// CPU time of this thread for `fn` in ms (-1 where not available): unlike the
// wall time it does not grow when other processes load the machine.
double threadCpuMs(const std::function<void()> &fn)
{
#ifdef Q_OS_UNIX
    timespec start{};
    timespec end{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &start);
    fn();
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &end);
    return (end.tv_sec - start.tv_sec) * 1e3 + (end.tv_nsec - start.tv_nsec) / 1e6;
#else
    fn();
    return -1;
#endif
}

QStringList exiftoolArgs(const QString &dir)
{
    return {QStringLiteral("-fast"), QStringLiteral("-ext"), QStringLiteral("xmp"), QStringLiteral("-csv"),
            QStringLiteral("-XMP-xmp:Rating"), QStringLiteral("-XMP-xmp:Label"), dir};
}

const BenchRegistration read10k{"sidecar.read10k", [](const BenchContext &ctx) {
    const QString dir = makeFolder(ctx);
    int rated = 0;
    readFolderMs(dir, 1, &rated); // warm the page cache, as the folder scan after opening would find it
    const double ms = readFolderMs(dir, 5, &rated);
    const double cpuMs = threadCpuMs([&] { readFolderMs(dir, 1, &rated); });
    BenchResult r{ms, QStringLiteral("ms"), {}};
    r.detail.insert(QStringLiteral("cpu_ms"), cpuMs);
    r.detail.insert(QStringLiteral("files"), folderSize);
    r.detail.insert(QStringLiteral("rated"), rated);
    r.detail.insert(QStringLiteral("target_ms"), 500);
    return r;
}};

const BenchRegistration exiftoolRatio{"sidecar.exiftoolRatio", [](const BenchContext &ctx) {
    const QString dir = makeFolder(ctx);
    int rated = 0;
    readFolderMs(dir, 1, &rated);
    const double ourMs = readFolderMs(dir, 3, &rated);
    const double exiftoolMs = bench::commandMedianMs(1, QStringLiteral("exiftool"), exiftoolArgs(dir));
    BenchResult r{exiftoolMs > 0 ? exiftoolMs / ourMs : -1, QStringLiteral("x"), {}};
    r.detail.insert(QStringLiteral("ours_ms"), ourMs);
    r.detail.insert(QStringLiteral("exiftool_ms"), exiftoolMs);
    r.detail.insert(QStringLiteral("target_min"), 15);
    return r;
}};

// Marks written one after another into existing 1–3 KB sidecars, each through
// a safe-save file (written, flushed to disk and renamed).
const BenchRegistration writes{"sidecar.writePerSecond", [](const BenchContext &ctx) {
    const QString dir = ctx.dataDir + QStringLiteral("/sidecar-writes");
    QDir(dir).removeRecursively();
    QDir().mkpath(dir);
    const QByteArray shape = readFixture(ctx, "camera-raw.xmp");
    constexpr int photos = 50;
    for (int i = 0; i < photos; ++i) {
        QFile sidecar(PhotoCore::sidecarPathFor(photoPath(dir, i)));
        if (sidecar.open(QIODevice::WriteOnly))
            sidecar.write(shape);
    }
    int failed = 0;
    QElapsedTimer timer;
    timer.start();
    constexpr int total = 200;
    for (int n = 0; n < total; ++n) {
        PhotoCore::Metadata m;
        m.rating = n % 6;
        m.label = n % 2 ? QStringLiteral("Green") : QString();
        failed += !PhotoCore::writeMetadata(photoPath(dir, n % photos), m);
    }
    const double seconds = timer.nsecsElapsed() / 1e9;
    QByteArray rendered;
    const double renderMs = bench::medianMs(5, [&] {
        for (int n = 0; n < 1000; ++n)
            PhotoCore::renderSidecar(&shape, PhotoCore::Metadata(), rendered);
    });
    BenchResult r{total / seconds, QStringLiteral("writes/s"), {}};
    r.detail.insert(QStringLiteral("writes"), total);
    r.detail.insert(QStringLiteral("failed"), failed);
    r.detail.insert(QStringLiteral("render_only_per_s"), 1000.0 / (renderMs / 1000.0));
    QDir(dir).removeRecursively();
    return r;
}};

} // namespace
