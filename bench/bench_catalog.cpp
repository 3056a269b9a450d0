#include "bench/benchmark.h"
#include "catalog/photocatalog.h"
#include "core/folderlisting.h"
#include "core/xmpsidecar.h"

#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>

#include <algorithm>
#include <vector>

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

// ---- Mark writes through the catalog --------------------------------------

namespace {

// `count` empty photo files in a fresh folder: the catalog never decodes, so
// only the names and the sidecars beside them matter.
QStringList makeMarkFolder(const QString &root, const QString &name, int count)
{
    const QString dir = root + QLatin1Char('/') + name;
    QDir(dir).removeRecursively();
    QDir().mkpath(dir);
    QStringList files;
    for (int i = 0; i < count; ++i) {
        files.append(dir + QStringLiteral("/IMG_%1.JPG").arg(i, 5, 10, QLatin1Char('0')));
        QFile(files.last()).open(QIODevice::WriteOnly);
    }
    return files;
}

// Runs the event loop until `signal` of `sender` fires.
template <typename Signal>
void waitFor(const PhotoCatalog &catalog, Signal signal)
{
    QEventLoop loop;
    const QMetaObject::Connection connection = QObject::connect(&catalog, signal, &loop, &QEventLoop::quit);
    loop.exec();
    QObject::disconnect(connection);
}

void openAndScan(PhotoCatalog &catalog, const QStringList &files)
{
    catalog.openFiles(files);
    waitFor(catalog, &PhotoCatalog::summaryChanged);
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

} // namespace

// From the mark given to the sidecar on disk and the catalog showing it, with
// nothing else queued: the first mark of a photo creates its sidecar, the
// second updates it.
const BenchRegistration markToDisk{"catalog.markToDisk", [](const BenchContext &ctx) {
    const QStringList files = makeMarkFolder(ctx.dataDir, QStringLiteral("catalogmarks"), 100);
    PhotoCatalog catalog;
    openAndScan(catalog, files);
    std::vector<double> created, updated;
    for (int round = 0; round < 2; ++round) {
        for (int i = 0; i < files.size(); ++i) {
            catalog.select(files.at(i));
            QElapsedTimer timer;
            timer.start();
            catalog.setRating(1 + (i + round) % 5);
            waitFor(catalog, &PhotoCatalog::markWriteFinished);
            (round == 0 ? created : updated).push_back(timer.nsecsElapsed() / 1e6);
        }
    }
    // The same update written directly, without queue and thread hops.
    int n = 0;
    const double direct = bench::medianMs(100, [&] {
        PhotoCore::writeMetadata(files.at(n % files.size()), PhotoCore::Metadata{1 + n % 5, {}, false, 0});
        ++n;
    });
    std::vector<double> all = created;
    all.insert(all.end(), updated.begin(), updated.end());
    BenchResult r{median(all), QStringLiteral("ms"), {}};
    r.detail.insert(QStringLiteral("marks"), int(all.size()));
    r.detail.insert(QStringLiteral("create_median_ms"), median(created));
    r.detail.insert(QStringLiteral("update_median_ms"), median(updated));
    r.detail.insert(QStringLiteral("direct_write_ms"), direct);
    r.detail.insert(QStringLiteral("target_ms"), 5);
    return r;
}};

// One grid batch of 1,000 photos, from the command to the batch's report; the
// first run creates every sidecar, the others update them.
const BenchRegistration batch1000{"catalog.batch1000", [](const BenchContext &ctx) {
    const QStringList files = makeMarkFolder(ctx.dataDir, QStringLiteral("catalogbatch"), 1000);
    PhotoCatalog catalog;
    openAndScan(catalog, files);
    std::vector<double> runs;
    for (int run = 0; run < 5; ++run) {
        QElapsedTimer timer;
        timer.start();
        catalog.setRatingForFiles(files, 1 + run % 5);
        waitFor(catalog, &PhotoCatalog::metadataBatchFinished);
        runs.push_back(timer.nsecsElapsed() / 1e6);
    }
    const double create = runs.front();
    runs.erase(runs.begin());
    const double update = median(runs);
    // The same 1,000 updates written one after another directly, for what the
    // queue adds; on a shared machine the disk dominates both.
    QElapsedTimer direct;
    direct.start();
    for (const QString &path : files)
        PhotoCore::writeMetadata(path, PhotoCore::Metadata{2, {}, false, 0});
    BenchResult r{update, QStringLiteral("ms"), {}};
    r.detail.insert(QStringLiteral("marks"), 1000);
    r.detail.insert(QStringLiteral("create_ms"), create);
    r.detail.insert(QStringLiteral("per_mark_ms"), update / 1000);
    r.detail.insert(QStringLiteral("direct_ms"), direct.nsecsElapsed() / 1e6);
    return r;
}};
