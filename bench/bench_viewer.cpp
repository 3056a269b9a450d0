#include "bench/benchmark.h"
#include "core/xmpsidecar.h"
#include "viewer/viewerwidget.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QImage>
#include <QTimer>

#include <algorithm>
#include <functional>
#include <optional>
#include <vector>

namespace {

constexpr int distinctPhotos = 24;
const QSize photoSize(6000, 4000);

// 24 MP JPEGs with fine detail, so that they decode like camera files rather
// than like flat colour.
QStringList makeDistinctPhotos(const QString &root)
{
    const QString dir = root + QStringLiteral("/viewer24mp");
    QStringList photos;
    for (int i = 0; i < distinctPhotos; ++i)
        photos.append(dir + QStringLiteral("/src%1.jpg").arg(i, 2, 10, QLatin1Char('0')));
    if (QFile::exists(dir + QStringLiteral("/.complete")))
        return photos;
    QDir(dir).removeRecursively();
    QDir().mkpath(dir);
    for (int i = 0; i < distinctPhotos; ++i) {
        const QImage image = bench::detailedPicture(i, photoSize);
        image.save(photos[i], "JPEG", 90);
    }
    QFile(dir + QStringLiteral("/.complete")).open(QIODevice::WriteOnly);
    return photos;
}

// `count` photos as links to the distinct ones; every tenth has a sidecar.
QStringList makeFolder(const QString &root, int count)
{
    const QStringList sources = makeDistinctPhotos(root);
    const QString dir = root + QStringLiteral("/viewer%1").arg(count);
    QStringList files;
    for (int i = 0; i < count; ++i)
        files.append(dir + QStringLiteral("/P%1.jpg").arg(i, 5, 10, QLatin1Char('0')));
    if (QFile::exists(dir + QStringLiteral("/.complete")))
        return files;
    QDir(dir).removeRecursively();
    QDir().mkpath(dir);
    for (int i = 0; i < count; ++i) {
        QFile::link(sources[i % distinctPhotos], files[i]);
        if (i % 10 == 5) {
            PhotoCore::Metadata marks;
            marks.rating = 1 + i % 5;
            PhotoCore::writeMetadata(files[i], marks);
        }
    }
    QFile(dir + QStringLiteral("/.complete")).open(QIODevice::WriteOnly);
    return files;
}

// Runs the event loop until `done` holds, without polling on a clock.
bool waitFor(const std::function<bool()> &done, int timeoutMs = 120000)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
    }
    return true;
}

bool isShown(const ViewerWidget &viewer)
{
    return !viewer.catalog()->currentPath().isEmpty() && !viewer.statusText().contains(QStringLiteral(" — loading"));
}

struct OpenTiming
{
    double firstPhotoMs = -1;
    double scanDoneMs = -1;
};

OpenTiming timeOpen(const QStringList &files)
{
    OpenTiming timing;
    PhotoCatalog catalog;
    ViewerWidget viewer(&catalog);
    viewer.resize(1600, 1000);
    viewer.show();
    QElapsedTimer timer;
    QObject::connect(&viewer, &ViewerWidget::stateChanged, [&] {
        if (timing.firstPhotoMs < 0 && isShown(viewer))
            timing.firstPhotoMs = timer.nsecsElapsed() / 1e6;
    });
    QObject::connect(&catalog, &PhotoCatalog::summaryChanged, [&] {
        if (timing.scanDoneMs < 0)
            timing.scanDoneMs = timer.nsecsElapsed() / 1e6;
    });
    timer.start();
    catalog.openFiles(files);
    waitFor([&] { return timing.firstPhotoMs >= 0 && timing.scanDoneMs >= 0; });
    return timing;
}

OpenTiming medianOpen(const QStringList &files, int runs)
{
    std::vector<double> first, scan;
    timeOpen(files); // warms the page cache, as a second open of a folder would be
    for (int i = 0; i < runs; ++i) {
        const OpenTiming t = timeOpen(files);
        first.push_back(t.firstPhotoMs);
        scan.push_back(t.scanDoneMs);
    }
    std::sort(first.begin(), first.end());
    std::sort(scan.begin(), scan.end());
    return {first[first.size() / 2], scan[scan.size() / 2]};
}

const OpenTiming &open10k(const BenchContext &ctx)
{
    static std::optional<OpenTiming> timing;
    if (!timing)
        timing = medianOpen(makeFolder(ctx.dataDir, 10000), 5);
    return *timing;
}

struct SteppingResult
{
    int steps = 0;
    int hits = 0;
    double hitMedianMs = 0;
    double hitP95Ms = 0;
    double missShowMedianMs = 0;
    int missesShownLate = 0; // still loading when the next step came
    double peakRssMiB = 0;
};

double percentile(std::vector<double> values, double p)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, size_t(p * double(values.size() - 1) + 0.5))];
}

// Steps forward through 200 photos at three a second in a 1600 × 1000 view.
const SteppingResult &stepping(const BenchContext &ctx)
{
    static std::optional<SteppingResult> cached;
    if (cached)
        return *cached;
    const QStringList files = makeFolder(ctx.dataDir, 200);
    SteppingResult result;
    std::vector<double> hitMs, missMs;
    {
        PhotoCatalog catalog;
        ViewerWidget viewer(&catalog);
        viewer.resize(1600, 1000);
        viewer.show();
        bool scanned = false;
        QObject::connect(&catalog, &PhotoCatalog::summaryChanged, [&] { scanned = true; });
        catalog.openFiles(files);
        waitFor([&] { return scanned && isShown(viewer) && viewer.pendingPreviewCount() == 0; });

        // Peak resident memory from here on (the kernel resets VmHWM on "5").
        QFile clear(QStringLiteral("/proc/self/clear_refs"));
        if (clear.open(QIODevice::WriteOnly))
            clear.write("5");
        clear.close();
        qint64 sampledPeakKiB = bench::procStatusKiB("VmRSS");

        QElapsedTimer missTimer;
        bool missOpen = false;
        QObject::connect(&viewer, &ViewerWidget::stateChanged, [&] {
            if (missOpen && isShown(viewer)) {
                missMs.push_back(missTimer.nsecsElapsed() / 1e6);
                missOpen = false;
            }
        });
        QTimer ticker;
        ticker.setTimerType(Qt::PreciseTimer);
        ticker.setInterval(333);
        QEventLoop loop;
        QObject::connect(&ticker, &QTimer::timeout, [&] {
            sampledPeakKiB = std::max(sampledPeakKiB, bench::procStatusKiB("VmRSS"));
            if (catalog.isAtLast()) {
                loop.quit();
                return;
            }
            if (missOpen)
                ++result.missesShownLate;
            missOpen = false;
            QElapsedTimer timer;
            timer.start();
            catalog.next();
            const double ms = timer.nsecsElapsed() / 1e6;
            ++result.steps;
            if (viewer.statusText().contains(QStringLiteral(" — cache"))) {
                ++result.hits;
                hitMs.push_back(ms);
            } else {
                missTimer.start();
                missOpen = true;
            }
        });
        ticker.start();
        loop.exec();
        const qint64 hwm = bench::procStatusKiB("VmHWM");
        result.peakRssMiB = double(std::max(hwm, sampledPeakKiB)) / 1024.0;
    }
    result.hitMedianMs = percentile(hitMs, 0.5);
    result.hitP95Ms = percentile(hitMs, 0.95);
    result.missShowMedianMs = percentile(missMs, 0.5);
    cached = result;
    return *cached;
}

QJsonObject steppingDetail(const SteppingResult &s)
{
    QJsonObject d;
    d.insert(QStringLiteral("steps"), s.steps);
    d.insert(QStringLiteral("hits"), s.hits);
    d.insert(QStringLiteral("photos"), 200);
    d.insert(QStringLiteral("megapixels"), 24);
    d.insert(QStringLiteral("viewport"), QStringLiteral("1600x1000"));
    d.insert(QStringLiteral("miss_show_median_ms"), s.missShowMedianMs);
    d.insert(QStringLiteral("misses_still_loading_at_next_step"), s.missesShownLate);
    return d;
}

// A peer decoder's time for one of the photos, to read the figures against.
void addPeerDecode(BenchResult &r, const BenchContext &ctx)
{
    const QString photo = makeDistinctPhotos(ctx.dataDir).first();
    const double djpegMs = bench::commandMedianMs(5, QStringLiteral("djpeg"),
                                                  {QStringLiteral("-outfile"), QStringLiteral("/dev/null"), photo});
    if (djpegMs > 0) {
        r.detail.insert(QStringLiteral("djpeg_ms"), djpegMs);
        r.detail.insert(QStringLiteral("ratio_to_djpeg"), r.value / djpegMs);
    }
}

const BenchRegistration firstPhoto200{"viewer.firstPhoto200", [](const BenchContext &ctx) {
    const OpenTiming t = medianOpen(makeFolder(ctx.dataDir, 200), 5);
    BenchResult r{t.firstPhotoMs, QStringLiteral("ms"), {}};
    r.detail.insert(QStringLiteral("files"), 200);
    r.detail.insert(QStringLiteral("scan_done_ms"), t.scanDoneMs);
    addPeerDecode(r, ctx);
    return r;
}};

const BenchRegistration firstPhoto10k{"viewer.firstPhoto10k", [](const BenchContext &ctx) {
    BenchResult r{open10k(ctx).firstPhotoMs, QStringLiteral("ms"), {}};
    r.detail.insert(QStringLiteral("files"), 10000);
    addPeerDecode(r, ctx);
    return r;
}};

const BenchRegistration scanDone10k{"viewer.scanDone10k", [](const BenchContext &ctx) {
    BenchResult r{open10k(ctx).scanDoneMs, QStringLiteral("ms"), {}};
    r.detail.insert(QStringLiteral("files"), 10000);
    r.detail.insert(QStringLiteral("sidecars"), 1000);
    return r;
}};

const BenchRegistration cacheHitShare{"viewer.cacheHitShare", [](const BenchContext &ctx) {
    const SteppingResult &s = stepping(ctx);
    BenchResult r{s.steps ? 100.0 * s.hits / s.steps : 0, QStringLiteral("percent"), steppingDetail(s)};
    r.detail.insert(QStringLiteral("target_percent"), 90);
    return r;
}};

const BenchRegistration hitLatencyMedian{"viewer.hitLatencyMedian", [](const BenchContext &ctx) {
    const SteppingResult &s = stepping(ctx);
    BenchResult r{s.hitMedianMs, QStringLiteral("ms"), steppingDetail(s)};
    r.detail.insert(QStringLiteral("target_ms"), 40);
    return r;
}};

const BenchRegistration hitLatencyP95{"viewer.hitLatencyP95", [](const BenchContext &ctx) {
    const SteppingResult &s = stepping(ctx);
    return BenchResult{s.hitP95Ms, QStringLiteral("ms"), steppingDetail(s)};
}};

const BenchRegistration peakRss{"viewer.peakRss", [](const BenchContext &ctx) {
    const SteppingResult &s = stepping(ctx);
    BenchResult r{s.peakRssMiB, QStringLiteral("MiB"), steppingDetail(s)};
    r.detail.insert(QStringLiteral("target_mib"), 512 + 300);
    return r;
}};

} // namespace
