#include "bench/benchmark.h"
#include "bench/viewerbench.h"
#include "viewer/photocanvas.h"
#include "viewer/viewerwidget.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTest>

#include <optional>
#include <vector>

// Checking focus: zooming at a point, panning and stepping at 100 %, in a
// 1600 × 1000 view of 24 MP camera photos. A frame is timed from the input
// to the end of a synchronous repaint of the view.

namespace {

constexpr int photos = 200;
const QPoint focusPoint(1050, 380);

struct ZoomBench
{
    std::vector<double> toggleMs;
    std::vector<double> panMs;
    std::vector<double> stepMs;
    int steps = 0;
    int stepHits = 0;
    double pannedPixels = 0;
};

struct ZoomedSkim
{
    int steps = 0;
    int hits = 0;
    double peakRssMiB = -1;
    double startRssMiB = -1;
};

QStringList folder(const BenchContext &ctx)
{
    return bench::cameraFolder(ctx.dataDir, QStringLiteral("zoomcam%1").arg(photos), photos);
}

// A viewer of the benchmarks' size with the folder open and at rest.
struct OpenViewer
{
    PhotoCatalog catalog;
    ViewerWidget viewer{&catalog};
    PhotoCanvas *canvas = nullptr;

    explicit OpenViewer(const QStringList &files)
    {
        bench::showViewer(viewer);
        canvas = viewer.findChild<PhotoCanvas *>(QStringLiteral("photoCanvas"));
        catalog.openFiles(files);
        settle();
    }

    // At rest: the current photo shown in full where zoomed, nothing left to decode.
    void settle()
    {
        bench::waitFor(
            [&] {
                const bool shown =
                    viewer.zoom().isFit() ? !canvas->fitPicture().isNull() : !canvas->fullPicture().isNull();
                return shown && viewer.pendingPreviewCount() == 0;
            },
            120000, 20);
    }

    void clickAtFocus() { QTest::mouseClick(canvas, Qt::LeftButton, Qt::NoModifier, focusPoint); }
};

double timed(const std::function<void()> &input, QWidget &view)
{
    QElapsedTimer timer;
    timer.start();
    input();
    view.repaint();
    return timer.nsecsElapsed() / 1e6;
}

const ZoomBench &zoomBench(const BenchContext &ctx)
{
    static std::optional<ZoomBench> cached;
    if (cached)
        return *cached;
    ZoomBench result;
    OpenViewer open(folder(ctx));
    PhotoCatalog &catalog = open.catalog;
    ViewerWidget &viewer = open.viewer;
    PhotoCanvas *canvas = open.canvas;

    // Fit → 100 % at a point on a photo whose full decode is cached: the first
    // zoom decodes it, the timed ones find it.
    open.clickAtFocus();
    open.settle();
    for (int i = 0; i < 15; ++i) {
        open.clickAtFocus();
        viewer.repaint();
        open.settle();
        result.toggleMs.push_back(timed([&] { open.clickAtFocus(); }, viewer));
        open.settle();
    }

    // A drag across the photo and back, 6 px a frame.
    QPoint at(800, 500);
    QTest::mousePress(canvas, Qt::LeftButton, Qt::NoModifier, at);
    for (int frame = 0; frame < 240; ++frame) {
        const QPoint step = frame % 120 < 60 ? QPoint(-6, -3) : QPoint(6, 3);
        at += step;
        const QPointF before = viewer.zoom().centre;
        result.panMs.push_back(timed(
            [&] {
                QMouseEvent move(QEvent::MouseMove, at, canvas->mapToGlobal(at), Qt::NoButton, Qt::LeftButton,
                                 Qt::NoModifier);
                QCoreApplication::sendEvent(canvas, &move);
            },
            viewer));
        const QPointF moved = viewer.zoom().centre - before;
        result.pannedPixels += std::abs(moved.x()) * 6000 + std::abs(moved.y()) * 4000;
    }
    QTest::mouseRelease(canvas, Qt::LeftButton, Qt::NoModifier, at);

    // Next photo at 100 %, same point, each time once the preloads have settled.
    for (int i = 0; i < 20 && !catalog.isAtLast(); ++i) {
        open.settle();
        ++result.steps;
        const double ms = timed([&] { catalog.next(); }, viewer);
        if (bench::cacheHit(viewer) && !canvas->fullPicture().isNull()) {
            ++result.stepHits;
            result.stepMs.push_back(ms);
        }
    }
    cached = result;
    return *cached;
}

// Forward through every photo at 100 %, three steps a second.
const ZoomedSkim &zoomedSkim(const BenchContext &ctx)
{
    static std::optional<ZoomedSkim> cached;
    if (cached)
        return *cached;
    ZoomedSkim result;
    OpenViewer open(folder(ctx));
    open.clickAtFocus();
    open.settle();
    PhotoCatalog &catalog = open.catalog;
    ViewerWidget &viewer = open.viewer;
    bench::resetPeakRss();
    result.startRssMiB = bench::procStatusKiB("VmRSS") / 1024.0;
    qint64 sampledKiB = 0;
    bench::tick(333, [&] {
        sampledKiB = std::max(sampledKiB, bench::procStatusKiB("VmRSS"));
        if (catalog.isAtLast())
            return false;
        catalog.next();
        ++result.steps;
        if (bench::cacheHit(viewer))
            ++result.hits;
        return true;
    });
    bench::waitFor([&] {
        sampledKiB = std::max(sampledKiB, bench::procStatusKiB("VmRSS"));
        return viewer.pendingPreviewCount() == 0;
    });
    result.peakRssMiB = std::max(bench::procStatusKiB("VmHWM"), sampledKiB) / 1024.0;
    cached = result;
    return *cached;
}

QJsonObject detail()
{
    QJsonObject d;
    d.insert(QStringLiteral("viewport"), QStringLiteral("1600x1000"));
    d.insert(QStringLiteral("megapixels"), 24);
    return d;
}

const BenchRegistration zoomToggle{"viewer.zoomToggle", [](const BenchContext &ctx) {
    const ZoomBench &z = zoomBench(ctx);
    BenchResult r{bench::percentile(z.toggleMs, 0.5), QStringLiteral("ms"), detail()};
    r.detail.insert(QStringLiteral("p95_ms"), bench::percentile(z.toggleMs, 0.95));
    r.detail.insert(QStringLiteral("runs"), int(z.toggleMs.size()));
    r.detail.insert(QStringLiteral("target"), 30);
    return r;
}};

const BenchRegistration panFrame{"viewer.panFrame", [](const BenchContext &ctx) {
    const ZoomBench &z = zoomBench(ctx);
    BenchResult r{bench::percentile(z.panMs, 0.5), QStringLiteral("ms"), detail()};
    r.detail.insert(QStringLiteral("p95_ms"), bench::percentile(z.panMs, 0.95));
    r.detail.insert(QStringLiteral("frames"), int(z.panMs.size()));
    r.detail.insert(QStringLiteral("photo_pixels_moved"), z.pannedPixels);
    r.detail.insert(QStringLiteral("target"), 8);
    r.detail.insert(QStringLiteral("target_p95"), 16);
    if (z.pannedPixels <= 0)
        r.detail.insert(QStringLiteral("error"), QStringLiteral("the drag did not move the photo"));
    return r;
}};

const BenchRegistration zoomedStep{"viewer.zoomedStep", [](const BenchContext &ctx) {
    const ZoomBench &z = zoomBench(ctx);
    BenchResult r{z.stepMs.empty() ? -1 : bench::percentile(z.stepMs, 0.5), QStringLiteral("ms"), detail()};
    r.detail.insert(QStringLiteral("p95_ms"), bench::percentile(z.stepMs, 0.95));
    r.detail.insert(QStringLiteral("steps"), z.steps);
    r.detail.insert(QStringLiteral("cached_steps"), z.stepHits);
    r.detail.insert(QStringLiteral("target"), 30);
    return r;
}};

const BenchRegistration zoomedPeakRss{"viewer.zoomedPeakRss", [](const BenchContext &ctx) {
    const ZoomedSkim &s = zoomedSkim(ctx);
    BenchResult r{s.peakRssMiB, QStringLiteral("MiB"), detail()};
    r.detail.insert(QStringLiteral("steps"), s.steps);
    r.detail.insert(QStringLiteral("hits"), s.hits);
    r.detail.insert(QStringLiteral("start_rss_mib"), s.startRssMiB);
    r.detail.insert(QStringLiteral("steps_per_second"), 3);
    // The single view's ceiling at Fit and 100 % (viewer.peakRss) plus 150 MiB.
    r.detail.insert(QStringLiteral("target"), 812 + 150);
    return r;
}};

} // namespace
