#include "bench/benchmark.h"
#include "bench/viewerbench.h"
#include "viewer/photocanvas.h"
#include "viewer/viewerwidget.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <optional>
#include <vector>

// The compare view at Fit in a 1600 × 1000 window of 24 MP camera photos:
// the first photo pinned, the candidate stepped through the others.

namespace {

constexpr int photos = 200;

struct CompareRun
{
    std::vector<double> stepMs; // a settled step that found its candidate cached
    int settledSteps = 0;
    int skimSteps = 0;
    int skimHits = 0;
    int pinnedMissing = 0; // steps after which the pinned pane had no picture
    double peakRssMiB = -1;
};

struct Session
{
    PhotoCatalog catalog;
    ViewerWidget viewer{&catalog};
    PhotoCanvas *pinned = nullptr;

    explicit Session(const QStringList &files)
    {
        bench::showViewer(viewer);
        pinned = viewer.findChild<PhotoCanvas *>(QStringLiteral("pinnedCanvas"));
        catalog.openFiles(files);
        bench::waitFor([&] { return bench::cacheHit(viewer) || viewer.statusText().contains(QStringLiteral(" ms")); }, 120000);
        viewer.startCompare(files.first());
        settle();
    }

    void settle()
    {
        bench::waitFor([&] { return viewer.pendingPreviewCount() == 0 && !pinned->fitPicture().isNull(); }, 120000, 20);
    }
};

const CompareRun &compareRun(const BenchContext &ctx)
{
    static std::optional<CompareRun> cached;
    if (cached)
        return *cached;
    CompareRun result;
    const QStringList files = bench::cameraFolder(ctx.dataDir, QStringLiteral("zoomcam%1").arg(photos), photos);
    {
        Session s(files);
        for (int i = 0; i < 20; ++i) {
            s.settle();
            ++result.settledSteps;
            QElapsedTimer timer;
            timer.start();
            s.viewer.stepCandidate(+1);
            s.viewer.repaint();
            const double ms = timer.nsecsElapsed() / 1e6;
            if (bench::cacheHit(s.viewer))
                result.stepMs.push_back(ms);
        }
    }
    {
        Session s(files);
        bench::resetPeakRss();
        bench::tick(333, [&] {
            if (s.catalog.isAtLast())
                return false;
            s.viewer.stepCandidate(+1);
            ++result.skimSteps;
            if (bench::cacheHit(s.viewer))
                ++result.skimHits;
            if (s.pinned->fitPicture().isNull())
                ++result.pinnedMissing;
            return true;
        });
        result.peakRssMiB = bench::procStatusKiB("VmHWM") / 1024.0;
    }
    cached = result;
    return *cached;
}

QJsonObject detail(const CompareRun &r)
{
    QJsonObject d;
    d.insert(QStringLiteral("viewport"), QStringLiteral("1600x1000"));
    d.insert(QStringLiteral("megapixels"), 24);
    d.insert(QStringLiteral("settled_steps"), r.settledSteps);
    d.insert(QStringLiteral("settled_steps_cached"), int(r.stepMs.size()));
    d.insert(QStringLiteral("skim_steps"), r.skimSteps);
    d.insert(QStringLiteral("skim_hits"), r.skimHits);
    d.insert(QStringLiteral("steps_without_pinned_picture"), r.pinnedMissing);
    d.insert(QStringLiteral("peak_rss_mib"), r.peakRssMiB);
    return d;
}

const BenchRegistration compareStep{"compare.step", [](const BenchContext &ctx) {
    const CompareRun &r = compareRun(ctx);
    BenchResult result{r.stepMs.empty() ? -1 : bench::percentile(r.stepMs, 0.5), QStringLiteral("ms"), detail(r)};
    result.detail.insert(QStringLiteral("p95_ms"), bench::percentile(r.stepMs, 0.95));
    result.detail.insert(QStringLiteral("target"), 40);
    return result;
}};

const BenchRegistration compareCacheHitShare{"compare.cacheHitShare", [](const BenchContext &ctx) {
    const CompareRun &r = compareRun(ctx);
    BenchResult result{r.skimSteps ? 100.0 * r.skimHits / r.skimSteps : 0, QStringLiteral("percent"), detail(r)};
    result.detail.insert(QStringLiteral("steps_per_second"), 3);
    result.detail.insert(QStringLiteral("target"), 90);
    return result;
}};

} // namespace
