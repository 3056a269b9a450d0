#include "bench/benchmark.h"
#include "bench/viewerbench.h"

#include "imaging/colourconversion.h"
#include "imaging/imageanalysis.h"
#include "imaging/photodecoder.h"

#include <QElapsedTimer>
#include <QRect>

#include <algorithm>
#include <ctime>
#include <vector>

// Focus peaking, the histogram and the clipping overlay, timed on what the
// viewer hands them: the picture already shown (the fit picture the viewer
// made from the cached decode, or the part of the full decode in view at
// 100 %). Neither decode nor scaling is part of the times; the viewer has
// both before any of these starts.
namespace {

struct Shown
{
    QImage full;   // the cached decode at full size
    QImage fitted; // as the viewer shows it at Fit
};

const Shown &shownPhoto(const BenchContext &ctx)
{
    static Shown shown;
    if (shown.full.isNull()) {
        const QString path = bench::cameraPhotos(ctx.dataDir).constFirst();
        shown.full = decodePhoto(path);
        shown.fitted = renderForDisplay(shown.full, sourceColourOf(shown.full, path), bench::viewerSize,
                                        QColorSpace(QColorSpace::SRgb), true);
    }
    return shown;
}

// Median wall time and median processor time of `runs` runs, in ms. On a
// machine busy with other work the wall time waits for a processor; the
// processor time is what the work itself costs, as it would on a quiet one.
struct Timing
{
    double wallMs = 0;
    double cpuMs = 0;
};

Timing timeRuns(int runs, const std::function<void()> &fn)
{
    std::vector<double> wall, cpu;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        const std::clock_t started = std::clock();
        timer.start();
        fn();
        wall.push_back(timer.nsecsElapsed() / 1e6);
        cpu.push_back(1000.0 * double(std::clock() - started) / CLOCKS_PER_SEC);
    }
    return {bench::percentile(wall, 0.5), bench::percentile(cpu, 0.5)};
}

BenchResult timed(const Timing &timing, double goalMs, const QImage &input, const QString &what)
{
    return {timing.wallMs, QStringLiteral("ms"),
            {{QStringLiteral("target"), goalMs},
             {QStringLiteral("cpu_ms"), timing.cpuMs},
             {QStringLiteral("what"), what},
             {QStringLiteral("input"), QStringLiteral("%1x%2").arg(input.width()).arg(input.height())}}};
}

constexpr int runs = 31;
constexpr QRgb tint = 0xffffe600;

const BenchRegistration peakingFit{"focus.peakingFit", [](const BenchContext &ctx) {
    const QImage &fitted = shownPhoto(ctx).fitted;
    double share = 0;
    const Timing ms = timeRuns(runs, [&] {
        share = ImageAnalysis::focusPeaking(fitted, fitted.rect(), tint).markedShare;
    });
    BenchResult r = timed(ms, 15, fitted, QStringLiteral("peaking of a 24 MP photo's fit picture in a 1600x1000 view"));
    r.detail.insert(QStringLiteral("marked_percent"), 100 * share);
    return r;
}};

const BenchRegistration peakingZoomed{"focus.peakingZoomed", [](const BenchContext &ctx) {
    const QImage &full = shownPhoto(ctx).full;
    QRect visible(QPoint(), bench::viewerSize);
    visible.moveCenter(full.rect().center());
    double share = 0;
    const Timing ms = timeRuns(runs, [&] {
        share = ImageAnalysis::focusPeaking(full, visible, tint).markedShare;
    });
    BenchResult r = timed(ms, 15, full, QStringLiteral("peaking of the 1600x1000 part in view of a 24 MP photo at 100 %"));
    r.detail.insert(QStringLiteral("marked_percent"), 100 * share);
    return r;
}};

const BenchRegistration histogramFit{"histogram.fit", [](const BenchContext &ctx) {
    const QImage &fitted = shownPhoto(ctx).fitted;
    quint64 samples = 0;
    const Timing ms = timeRuns(runs, [&] { samples = ImageAnalysis::histogram(fitted).samples; });
    BenchResult r = timed(ms, 3, fitted, QStringLiteral("RGB and luminance histogram of a 24 MP photo's fit picture"));
    r.detail.insert(QStringLiteral("samples"), double(samples));
    return r;
}};

const BenchRegistration clippingFit{"clipping.fit", [](const BenchContext &ctx) {
    const QImage &fitted = shownPhoto(ctx).fitted;
    const Timing ms = timeRuns(runs, [&] {
        (void)ImageAnalysis::clippingMask(fitted, fitted.rect(), 0xffff2020, 0xff2060ff);
    });
    return timed(ms, 8, fitted, QStringLiteral("clipping overlay of a 24 MP photo's fit picture"));
}};

} // namespace
