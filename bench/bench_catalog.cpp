#include "bench/benchmark.h"
#include "core/foldercatalog.h"

#include <QDir>
#include <QFile>

namespace {

// 10,000 empty files: photos of every supported kind, sidecars and other files.
QString makeFolder(const QString &root)
{
    const QString dir = root + QStringLiteral("/catalog10k");
    if (QFile::exists(dir + QStringLiteral("/.complete")))
        return dir;
    QDir(dir).removeRecursively();
    QDir().mkpath(dir);
    const char *const kinds[] = {"JPG", "jpg", "NEF", "xmp", "CR3", "png", "txt", "dng"};
    for (int i = 0; i < 10000; ++i) {
        QFile f(dir + QStringLiteral("/IMG_%1.%2").arg(i, 5, 10, QLatin1Char('0')).arg(QLatin1String(kinds[i % 8])));
        f.open(QIODevice::WriteOnly);
    }
    QFile(dir + QStringLiteral("/.complete")).open(QIODevice::WriteOnly);
    return dir;
}

const BenchRegistration listing{"catalog.list10k", [](const BenchContext &ctx) {
    const QString dir = makeFolder(ctx.dataDir);
    int count = 0;
    PhotoCore::listPhotoFiles(dir); // warm the directory cache, as a second open would be
    const double ms = bench::medianMs(15, [&] { count = int(PhotoCore::listPhotoFiles(dir).size()); });
    const double lsMs = bench::commandMedianMs(15, QStringLiteral("ls"), {dir});
    BenchResult r{ms, QStringLiteral("ms"), {}};
    r.detail.insert(QStringLiteral("files"), 10000);
    r.detail.insert(QStringLiteral("listed"), count);
    r.detail.insert(QStringLiteral("target_ms"), 30);
    if (lsMs > 0) {
        r.detail.insert(QStringLiteral("ls_ms"), lsMs);
        r.detail.insert(QStringLiteral("ratio_to_ls"), ms / lsMs);
    }
    return r;
}};

} // namespace
