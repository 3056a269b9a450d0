#include "bench/benchmark.h"
#include "bench/viewerbench.h"
#include "catalog/photocatalog.h"
#include "imaging/rawrender.h"
#include "viewer/viewerwidget.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <optional>
#include <vector>

// RAW files whose embedded preview is smaller than the sensor, rendered from
// their sensor data for 100 %: a Canon EOS 30D file (sensor 3596 × 2360,
// preview 1728 × 1152), from Debian's rawtran-doc package.

namespace {

const QString cr2 = QStringLiteral("/usr/share/doc/rawtran/IMG_5952.CR2");

QJsonObject missing()
{
    QJsonObject d;
    d.insert(QStringLiteral("error"), QStringLiteral("%1 is missing (Debian package rawtran-doc)").arg(cr2));
    return d;
}

struct RenderTimes
{
    double oursMs = -1;
    double dcrawMs = -1;
    QSize size;
};

// Ours and the library's own tool in turns, so that both meet the same load.
const RenderTimes &renderTimes()
{
    static std::optional<RenderTimes> cached;
    if (cached)
        return *cached;
    RenderTimes t;
    std::vector<double> ours, theirs;
    bool toolFailed = false;
    for (int round = 0; round < 7; ++round) {
        QImage picture;
        ours.push_back(bench::medianMs(1, [&] { picture = decodeFullPicture(cr2, rawMemoryLimitMiB); }));
        t.size = picture.size();
        // The same demosaic (-q 0, linear), camera white balance, sRGB, 8 bits, to standard output.
        const double ms = bench::commandMedianMs(1, QStringLiteral("dcraw_emu"),
                                                 {QStringLiteral("-q"), QStringLiteral("0"), QStringLiteral("-w"),
                                                  QStringLiteral("-o"), QStringLiteral("1"), QStringLiteral("-mmap"),
                                                  QStringLiteral("-Z"), QStringLiteral("-"), cr2});
        if (ms < 0)
            toolFailed = true;
        else
            theirs.push_back(ms);
    }
    t.oursMs = bench::percentile(ours, 0.5);
    t.dcrawMs = toolFailed ? -1 : bench::percentile(theirs, 0.5);
    cached = t;
    return *cached;
}

const BenchRegistration fullRender{"raw.fullRender", [](const BenchContext &) {
    if (!QFile::exists(cr2))
        return BenchResult{-1, QStringLiteral("ms"), missing()};
    const RenderTimes &t = renderTimes();
    BenchResult r{t.oursMs, QStringLiteral("ms"), {}};
    r.detail.insert(QStringLiteral("photo"), QStringLiteral("Canon EOS 30D CR2, 8.3 MP"));
    r.detail.insert(QStringLiteral("width"), t.size.width());
    r.detail.insert(QStringLiteral("height"), t.size.height());
    r.detail.insert(QStringLiteral("dcraw_emu_ms"), t.dcrawMs);
    return r;
}};

const BenchRegistration fullRenderRatio{"raw.fullRenderRatio", [](const BenchContext &) {
    if (!QFile::exists(cr2))
        return BenchResult{-1, QStringLiteral("ratio"), missing()};
    const RenderTimes &t = renderTimes();
    BenchResult r{t.dcrawMs > 0 ? t.oursMs / t.dcrawMs : -1, QStringLiteral("ratio"), {}};
    r.detail.insert(QStringLiteral("ours_ms"), t.oursMs);
    r.detail.insert(QStringLiteral("dcraw_emu_ms"), t.dcrawMs);
    r.detail.insert(QStringLiteral("dcraw_emu_args"), QStringLiteral("-q 0 -w -o 1 -mmap -Z -"));
    if (t.dcrawMs < 0)
        r.detail.insert(QStringLiteral("error"), QStringLiteral("dcraw_emu missing or failed (Debian package libraw-bin)"));
    r.detail.insert(QStringLiteral("target"), 1.2);
    return r;
}};

// Forward through 20 such RAW files at 100 %, one a second: the share of
// steps that show the sensor's render at once, without waiting.
const BenchRegistration zoomedHitShare{"raw.zoomedHitShare", [](const BenchContext &ctx) {
    if (!QFile::exists(cr2))
        return BenchResult{-1, QStringLiteral("%"), missing()};
    const QString dir = ctx.dataDir + QStringLiteral("/raw20");
    QStringList files;
    bench::prepareOnce(dir, [&] {
        QDir().mkpath(dir);
        for (int i = 0; i < 20; ++i)
            QFile::copy(cr2, QStringLiteral("%1/IMG_%2.CR2").arg(dir).arg(i, 4, 10, QLatin1Char('0')));
    });
    for (int i = 0; i < 20; ++i)
        files.append(QStringLiteral("%1/IMG_%2.CR2").arg(dir).arg(i, 4, 10, QLatin1Char('0')));

    PhotoCatalog catalog;
    ViewerWidget viewer(&catalog);
    bench::showViewer(viewer);
    catalog.openFiles(files);
    bench::waitFor([&] { return viewer.pendingPreviewCount() == 0 && !viewer.statusText().isEmpty(); }, 60000, 20);
    viewer.setActualSizeMode();
    const bool first = bench::waitFor([&] { return viewer.showsRawRender(); }, 60000, 20);
    int steps = 0;
    int hits = 0;
    bench::tick(1000, [&] {
        if (catalog.isAtLast())
            return false;
        catalog.next();
        QCoreApplication::processEvents();
        ++steps;
        if (viewer.showsRawRender())
            ++hits;
        return true;
    });
    BenchResult r{steps ? 100.0 * hits / steps : -1, QStringLiteral("%"), {}};
    r.detail.insert(QStringLiteral("steps"), steps);
    r.detail.insert(QStringLiteral("hits"), hits);
    r.detail.insert(QStringLiteral("first_rendered"), first);
    r.detail.insert(QStringLiteral("steps_per_second"), 1);
    r.detail.insert(QStringLiteral("target"), 90);
    return r;
}};

} // namespace
