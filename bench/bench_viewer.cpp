#include "bench/benchmark.h"
#include "bench/viewerbench.h"
#include "core/xmpsidecar.h"
#include "imaging/photodecoder.h"
#include "viewer/viewerwidget.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTimer>
#include <QWindow>

#include <algorithm>
#include <functional>
#include <optional>
#include <vector>

namespace {

const QSize viewSize = bench::viewerSize;
using bench::cacheHit;
using bench::showViewer;
using bench::tick;
constexpr int skimPhotos = 200;

// `count` camera photos; every tenth has a sidecar. With `restarts` the
// photos carry restart markers; empty when they cannot be made.
QStringList makeFolder(const QString &root, int count, bool restarts = false)
{
    QStringList sources;
    if (restarts) {
        sources = bench::cameraPhotosWithRestarts(root);
        if (sources.isEmpty())
            return {};
    }
    const QString name = (restarts ? QStringLiteral("viewercamrst%1") : QStringLiteral("viewercam%1")).arg(count);
    return bench::cameraFolder(
        root, name, count,
        [](const QString &photo, int i) {
            if (i % 10 == 5) {
                PhotoCore::Metadata marks;
                marks.rating = 1 + i % 5;
                PhotoCore::writeMetadata(photo, marks);
            }
        },
        sources);
}

// What the viewer shows of its current photo, as its status line tells: the
// decoded photo names where it came from ("cache" or the decode time), the
// file's own embedded picture says so and that the photo is still loading.
enum class Picture { None, Embedded, Photo };

Picture pictureShown(const ViewerWidget &viewer)
{
    if (viewer.catalog()->currentPath().isEmpty())
        return Picture::None;
    static const QRegularExpression decoded(QStringLiteral(" — (cache|\\d+ ms)( —|$)"));
    const QString status = viewer.statusText();
    if (decoded.match(status).hasMatch())
        return Picture::Photo;
    if (status.contains(QStringLiteral(" — embedded preview")))
        return Picture::Embedded;
    return Picture::None;
}

// The decode time the status line reports for a photo just decoded, or -1.
double decodeMsShown(const ViewerWidget &viewer)
{
    static const QRegularExpression decodeTime(QStringLiteral(" — (\\d+) ms( —|$)"));
    const QRegularExpressionMatch match = decodeTime.match(viewer.statusText());
    return match.hasMatch() ? match.captured(1).toDouble() : -1;
}

// Calls `painted` with what the viewer shows each time its window has reached the screen.
struct PaintWatch : bench::ScreenWatch
{
    PaintWatch(ViewerWidget &viewer, const std::function<void(Picture)> &painted)
        : ScreenWatch(&viewer, [&viewer, painted] { painted(pictureShown(viewer)); })
    {
    }
};

struct OpenTiming
{
    double firstPixelsMs = -1; // any picture of the photo: its embedded one or the photo
    double photoMs = -1;       // the decoded photo
    double scanDoneMs = -1;
    double decodeMs = -1;      // of the photo, as the viewer reports it
};

OpenTiming timeOpen(const QStringList &files)
{
    OpenTiming timing;
    PhotoCatalog catalog;
    ViewerWidget viewer(&catalog);
    showViewer(viewer);
    QElapsedTimer timer;
    PaintWatch watch(viewer, [&](Picture picture) {
        const double ms = timer.nsecsElapsed() / 1e6;
        if (picture != Picture::None && timing.firstPixelsMs < 0)
            timing.firstPixelsMs = ms;
        if (picture == Picture::Photo && timing.photoMs < 0) {
            timing.photoMs = ms;
            timing.decodeMs = decodeMsShown(viewer);
        }
    });
    QObject::connect(&catalog, &PhotoCatalog::summaryChanged, [&] {
        if (timing.scanDoneMs < 0)
            timing.scanDoneMs = timer.nsecsElapsed() / 1e6;
    });
    timer.start();
    catalog.openFiles(files);
    bench::waitFor([&] { return timing.photoMs >= 0 && timing.scanDoneMs >= 0; }, 120000);
    return timing;
}

OpenTiming median(const std::vector<OpenTiming> &runs)
{
    std::vector<double> pixels, photo, scan, decode;
    for (const OpenTiming &t : runs) {
        pixels.push_back(t.firstPixelsMs);
        photo.push_back(t.photoMs);
        scan.push_back(t.scanDoneMs);
        decode.push_back(t.decodeMs);
    }
    return {bench::percentile(pixels, 0.5), bench::percentile(photo, 0.5), bench::percentile(scan, 0.5),
            bench::percentile(decode, 0.5)};
}

OpenTiming medianOpen(const QStringList &files, int runs)
{
    timeOpen(files); // warms the page cache, as a second open of a folder would be
    std::vector<OpenTiming> timings;
    for (int i = 0; i < runs; ++i)
        timings.push_back(timeOpen(files));
    return median(timings);
}

// djpeg's decode of `photo`, in full or at a DCT scale ("1/4"), the peer
// figure for opening it; -1 without djpeg.
double djpegMs(const QString &photo, int runs = 5, const QString &scale = QString())
{
    QStringList args{QStringLiteral("-outfile"), QStringLiteral("/dev/null"), photo};
    if (!scale.isEmpty())
        args = QStringList{QStringLiteral("-scale"), scale} + args;
    return bench::commandMedianMs(runs, QStringLiteral("djpeg"), args);
}

// The DCT scale ("1/4") at which a camera photo covers the view.
QString screenScale()
{
    return QStringLiteral("1/%1").arg(jpegScaleDenominator(QSize(6000, 4000), viewSize));
}

double medianOrFailed(const std::vector<double> &values)
{
    return *std::min_element(values.begin(), values.end()) < 0 ? -1 : bench::percentile(values, 0.5);
}

struct FirstPhoto
{
    OpenTiming open;
    double djpegMs = -1;
    // djpeg at the DCT scale the view needs: what decoding for the screen
    // can save at best on this photo.
    double djpegScaledMs = -1;
    QString photo;
};

// Opening 200 camera JPEGs in a 1600 × 1000 view, each time followed by djpeg
// decoding the first of them in full, so that both meet the same machine load.
const FirstPhoto &firstPhoto(const BenchContext &ctx, bool restarts = false)
{
    static std::optional<FirstPhoto> results[2];
    std::optional<FirstPhoto> &result = results[restarts];
    if (!result) {
        const QStringList files = makeFolder(ctx.dataDir, skimPhotos, restarts);
        FirstPhoto r;
        if (files.isEmpty()) {
            result = r;
            return *result;
        }
        r.photo = QFileInfo(files.first()).symLinkTarget();
        timeOpen(files); // warms the page cache, as a second open of a folder would be
        std::vector<OpenTiming> opens;
        std::vector<double> djpeg, scaled;
        for (int i = 0; i < 7; ++i) {
            opens.push_back(timeOpen(files));
            djpeg.push_back(djpegMs(r.photo, 1));
            scaled.push_back(djpegMs(r.photo, 1, screenScale()));
        }
        r.open = median(opens);
        r.djpegMs = medianOrFailed(djpeg);
        r.djpegScaledMs = medianOrFailed(scaled);
        result = r;
    }
    return *result;
}

const OpenTiming &open10k(const BenchContext &ctx)
{
    static std::optional<OpenTiming> timing;
    if (!timing)
        timing = medianOpen(makeFolder(ctx.dataDir, 10000), 5);
    return *timing;
}

struct Skim
{
    int intervalMs = 0;
    int steps = 0;
    int hits = 0;
    std::vector<double> hitMs;       // a hit: the step itself, photo shown included
    std::vector<double> missStepMs;  // a miss: the step itself, embedded picture made included
    std::vector<double> missPixelsMs; // a miss: until its first picture is on screen
    std::vector<double> missPhotoMs;  // a miss: until its decoded photo is on screen
    std::vector<double> decodeMs;     // a miss: the decode time the viewer reports for it
    int blankMisses = 0;             // a miss that showed no picture at first
    int missesStillLoading = 0;      // a miss still without its photo at the next step
    double fitPeakRssMiB = -1;
    double peakRssMiB = -1;
    double djpegScaledMs = -1;
    int actualSizeSteps = 0;
};

// Opens the photos in a 1600 × 1000 view, lets the preloads settle, then steps
// forward through all of them, one step every `intervalMs`. With
// `thenActualSize` the view goes to 100 % at the end and steps back twelve
// photos at the same pace, which fills the cache with full-size decodes.
Skim skim(const QStringList &files, int intervalMs, bool thenActualSize)
{
    Skim result;
    result.intervalMs = intervalMs;
    PhotoCatalog catalog;
    ViewerWidget viewer(&catalog);
    showViewer(viewer);
    bool scanned = false;
    QObject::connect(&catalog, &PhotoCatalog::summaryChanged, [&] { scanned = true; });
    catalog.openFiles(files);
    bench::waitFor(
        [&] { return scanned && pictureShown(viewer) == Picture::Photo && viewer.pendingPreviewCount() == 0; },
        120000);

    bench::resetPeakRss();
    qint64 sampledKiB = bench::procStatusKiB("VmRSS");
    const auto sample = [&] { sampledKiB = std::max(sampledKiB, bench::procStatusKiB("VmRSS")); };
    const auto peakMiB = [&] { return double(std::max(bench::procStatusKiB("VmHWM"), sampledKiB)) / 1024.0; };

    // The latest step that missed the cache, until its photo is on screen.
    QElapsedTimer missTimer;
    bool missOpen = false;
    bool missPainted = false;
    PaintWatch watch(viewer, [&](Picture picture) {
        if (!missOpen)
            return;
        const double ms = missTimer.nsecsElapsed() / 1e6;
        if (!missPainted && picture != Picture::None) {
            result.missPixelsMs.push_back(ms);
            missPainted = true;
        }
        if (picture == Picture::Photo) {
            result.missPhotoMs.push_back(ms);
            const double decode = decodeMsShown(viewer);
            if (decode >= 0)
                result.decodeMs.push_back(decode);
            missOpen = false;
        }
    });
    tick(intervalMs, [&] {
        sample();
        if (catalog.isAtLast())
            return false;
        if (missOpen)
            ++result.missesStillLoading;
        missOpen = false;
        QElapsedTimer timer;
        timer.start();
        catalog.next();
        const double ms = timer.nsecsElapsed() / 1e6;
        ++result.steps;
        if (cacheHit(viewer)) {
            ++result.hits;
            result.hitMs.push_back(ms);
        } else {
            result.missStepMs.push_back(ms);
            missTimer = timer;
            missOpen = true;
            missPainted = false;
            if (pictureShown(viewer) == Picture::None)
                ++result.blankMisses;
        }
        return true;
    });
    missOpen = false;
    result.fitPeakRssMiB = peakMiB();
    // The peer decoding one of the photos at the scale the view needs, right
    // after: at ten steps a second, two decoding threads keep up only below 200 ms.
    result.djpegScaledMs = djpegMs(QFileInfo(files.first()).symLinkTarget(), 3, screenScale());

    if (thenActualSize) {
        viewer.setActualSizeMode();
        tick(intervalMs, [&] {
            sample();
            if (result.actualSizeSteps == 12)
                return false;
            catalog.previous();
            ++result.actualSizeSteps;
            return true;
        });
        bench::waitFor([&] {
            sample();
            return viewer.pendingPreviewCount() == 0;
        });
    }
    result.peakRssMiB = peakMiB();
    return result;
}

// Forward through the 200 photos at three a second, then twelve back at 100 %.
const Skim &stepping(const BenchContext &ctx)
{
    static std::optional<Skim> cached;
    if (!cached)
        cached = skim(makeFolder(ctx.dataDir, skimPhotos), 333, true);
    return *cached;
}

// Forward through the 200 photos at ten a second.
const Skim &fastSkim(const BenchContext &ctx)
{
    static std::optional<Skim> cached;
    if (!cached)
        cached = skim(makeFolder(ctx.dataDir, skimPhotos), 100, false);
    return *cached;
}

QJsonObject skimDetail(const Skim &s)
{
    QJsonObject d;
    d.insert(QStringLiteral("steps"), s.steps);
    d.insert(QStringLiteral("hits"), s.hits);
    d.insert(QStringLiteral("steps_per_second"), 1000.0 / s.intervalMs);
    d.insert(QStringLiteral("photos"), skimPhotos);
    d.insert(QStringLiteral("megapixels"), 24);
    d.insert(QStringLiteral("viewport"), QStringLiteral("1600x1000"));
    // Medians of what was seen at all; a step that never got so far adds nothing.
    const auto insertMedian = [&](const char *key, const std::vector<double> &values) {
        if (!values.empty())
            d.insert(QLatin1String(key), bench::percentile(values, 0.5));
    };
    insertMedian("miss_step_median_ms", s.missStepMs);
    insertMedian("miss_first_pixels_median_ms", s.missPixelsMs);
    insertMedian("miss_show_median_ms", s.missPhotoMs);
    insertMedian("miss_decode_median_ms", s.decodeMs);
    d.insert(QStringLiteral("djpeg_screen_scale_ms"), s.djpegScaledMs);
    d.insert(QStringLiteral("misses_blank"), s.blankMisses);
    d.insert(QStringLiteral("misses_still_loading_at_next_step"), s.missesStillLoading);
    return d;
}

// Jumps, each to a photo well away from the last one, in a view whose
// preloads have settled: misses on a quiet machine, one at a time.
struct Jumps
{
    int jumps = 0;
    int hits = 0;
    std::vector<double> missPixelsMs;
    int blankMisses = 0;
};

const Jumps &jumps(const BenchContext &ctx)
{
    static std::optional<Jumps> cached;
    if (cached)
        return *cached;
    const QStringList files = makeFolder(ctx.dataDir, skimPhotos);
    Jumps result;
    PhotoCatalog catalog;
    ViewerWidget viewer(&catalog);
    showViewer(viewer);
    catalog.openFiles(files);
    const auto settled = [&] { return pictureShown(viewer) == Picture::Photo && viewer.pendingPreviewCount() == 0; };
    bench::waitFor(settled, 120000);
    QElapsedTimer timer;
    bool waiting = false;
    PaintWatch watch(viewer, [&](Picture picture) {
        if (waiting && picture != Picture::None) {
            result.missPixelsMs.push_back(timer.nsecsElapsed() / 1e6);
            waiting = false;
        }
    });
    // 30, 60, … then 15, 45, …: every target lies beyond what the last jumps preloaded.
    for (int first : {30, 15}) {
        for (int i = first; i < files.size(); i += 30) {
            ++result.jumps;
            timer.start();
            catalog.select(files[i]);
            if (cacheHit(viewer)) {
                ++result.hits;
            } else {
                waiting = true;
                if (pictureShown(viewer) == Picture::None)
                    ++result.blankMisses;
            }
            bench::waitFor(settled, 120000);
            waiting = false;
        }
    }
    cached = result;
    return *cached;
}

const BenchRegistration firstPhoto200{"viewer.firstPhoto200", [](const BenchContext &ctx) {
    const FirstPhoto &f = firstPhoto(ctx);
    BenchResult r{f.open.photoMs, QStringLiteral("ms"), {}};
    r.detail.insert(QStringLiteral("files"), skimPhotos);
    r.detail.insert(QStringLiteral("viewport"), QStringLiteral("1600x1000"));
    r.detail.insert(QStringLiteral("first_pixels_ms"), f.open.firstPixelsMs);
    r.detail.insert(QStringLiteral("scan_done_ms"), f.open.scanDoneMs);
    if (f.djpegMs > 0) {
        r.detail.insert(QStringLiteral("djpeg_ms"), f.djpegMs);
        r.detail.insert(QStringLiteral("ratio_to_djpeg"), f.open.photoMs / f.djpegMs);
        r.detail.insert(QStringLiteral("target"), 0.5 * f.djpegMs);
    }
    return r;
}};

BenchResult firstPhotoRatio(const FirstPhoto &f)
{
    BenchResult r{f.djpegMs > 0 ? f.open.photoMs / f.djpegMs : -1, QStringLiteral("ratio"), {}};
    r.detail.insert(QStringLiteral("first_photo_ms"), f.open.photoMs);
    r.detail.insert(QStringLiteral("decode_ms"), f.open.decodeMs);
    r.detail.insert(QStringLiteral("djpeg_ms"), f.djpegMs);
    r.detail.insert(QStringLiteral("photo"), QFileInfo(f.photo).fileName());
    r.detail.insert(QStringLiteral("target"), 0.5);
    if (f.djpegScaledMs > 0 && f.djpegMs > 0) {
        r.detail.insert(QStringLiteral("djpeg_screen_scale"), screenScale());
        r.detail.insert(QStringLiteral("djpeg_screen_scale_ms"), f.djpegScaledMs);
        r.detail.insert(QStringLiteral("djpeg_screen_scale_to_full"), f.djpegScaledMs / f.djpegMs);
    }
    if (f.djpegMs <= 0)
        r.detail.insert(QStringLiteral("error"), QStringLiteral("djpeg or jpegtran is not installed or failed"));
    return r;
}

// Without restart markers the entropy decoder runs on one core, and the
// screen's DCT scale saves only what comes after it.
const BenchRegistration firstPhotoDjpegRatio{"viewer.firstPhotoDjpegRatio", [](const BenchContext &ctx) {
    return firstPhotoRatio(firstPhoto(ctx));
}};

// The same photos with a restart marker after every row of MCUs, which lets
// the photo decode in strips on every core.
const BenchRegistration firstPhotoRestartsDjpegRatio{"viewer.firstPhotoRestartsDjpegRatio", [](const BenchContext &ctx) {
    BenchResult r = firstPhotoRatio(firstPhoto(ctx, true));
    r.detail.insert(QStringLiteral("restart_interval"), QStringLiteral("1 MCU row"));
    return r;
}};

const BenchRegistration firstPhoto10k{"viewer.firstPhoto10k", [](const BenchContext &ctx) {
    BenchResult r{open10k(ctx).photoMs, QStringLiteral("ms"), {}};
    r.detail.insert(QStringLiteral("files"), 10000);
    r.detail.insert(QStringLiteral("first_pixels_ms"), open10k(ctx).firstPixelsMs);
    const double djpeg = djpegMs(bench::cameraPhotos(ctx.dataDir).first());
    if (djpeg > 0) {
        r.detail.insert(QStringLiteral("djpeg_ms"), djpeg);
        r.detail.insert(QStringLiteral("ratio_to_djpeg"), r.value / djpeg);
    }
    return r;
}};

const BenchRegistration scanDone10k{"viewer.scanDone10k", [](const BenchContext &ctx) {
    BenchResult r{open10k(ctx).scanDoneMs, QStringLiteral("ms"), {}};
    r.detail.insert(QStringLiteral("files"), 10000);
    r.detail.insert(QStringLiteral("sidecars"), 1000);
    return r;
}};

const BenchRegistration cacheHitShare{"viewer.cacheHitShare", [](const BenchContext &ctx) {
    const Skim &s = stepping(ctx);
    BenchResult r{s.steps ? 100.0 * s.hits / s.steps : 0, QStringLiteral("percent"), skimDetail(s)};
    r.detail.insert(QStringLiteral("target"), 90);
    return r;
}};

const BenchRegistration skimHitShare{"viewer.skimHitShare", [](const BenchContext &ctx) {
    const Skim &s = fastSkim(ctx);
    BenchResult r{s.steps ? 100.0 * s.hits / s.steps : 0, QStringLiteral("percent"), skimDetail(s)};
    r.detail.insert(QStringLiteral("target"), 90);
    return r;
}};

const BenchRegistration missFirstPixels{"viewer.missFirstPixels", [](const BenchContext &ctx) {
    const Skim &s = fastSkim(ctx);
    const Jumps &j = jumps(ctx);
    std::vector<double> all = s.missPixelsMs;
    all.insert(all.end(), j.missPixelsMs.begin(), j.missPixelsMs.end());
    BenchResult r{all.empty() ? -1 : bench::percentile(all, 0.5), QStringLiteral("ms"), {}};
    r.detail.insert(QStringLiteral("misses"), int(all.size()));
    r.detail.insert(QStringLiteral("p90_ms"), bench::percentile(all, 0.9));
    r.detail.insert(QStringLiteral("skim_misses"), int(s.missPixelsMs.size()));
    r.detail.insert(QStringLiteral("skim_median_ms"), bench::percentile(s.missPixelsMs, 0.5));
    r.detail.insert(QStringLiteral("skim_step_median_ms"), bench::percentile(s.missStepMs, 0.5));
    r.detail.insert(QStringLiteral("jump_misses"), int(j.missPixelsMs.size()));
    r.detail.insert(QStringLiteral("jump_median_ms"), bench::percentile(j.missPixelsMs, 0.5));
    r.detail.insert(QStringLiteral("jumps_that_hit"), j.hits);
    r.detail.insert(QStringLiteral("misses_blank"), s.blankMisses + j.blankMisses);
    r.detail.insert(QStringLiteral("target"), 15);
    if (all.empty())
        r.detail.insert(QStringLiteral("error"), QStringLiteral("no miss showed a picture"));
    return r;
}};

const BenchRegistration hitLatencyMedian{"viewer.hitLatencyMedian", [](const BenchContext &ctx) {
    const Skim &s = stepping(ctx);
    BenchResult r{bench::percentile(s.hitMs, 0.5), QStringLiteral("ms"), skimDetail(s)};
    r.detail.insert(QStringLiteral("target"), 40);
    return r;
}};

const BenchRegistration hitLatencyP95{"viewer.hitLatencyP95", [](const BenchContext &ctx) {
    const Skim &s = stepping(ctx);
    return BenchResult{bench::percentile(s.hitMs, 0.95), QStringLiteral("ms"), skimDetail(s)};
}};

const BenchRegistration peakRss{"viewer.peakRss", [](const BenchContext &ctx) {
    const Skim &s = stepping(ctx);
    BenchResult r{s.peakRssMiB, QStringLiteral("MiB"), skimDetail(s)};
    r.detail.insert(QStringLiteral("fit_peak_mib"), s.fitPeakRssMiB);
    r.detail.insert(QStringLiteral("actual_size_steps"), s.actualSizeSteps);
    r.detail.insert(QStringLiteral("target"), 512 + 300);
    return r;
}};

} // namespace
