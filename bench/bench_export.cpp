#include "bench/benchmark.h"
#include "bench/copyanchor.h"

#include "core/phototransfer.h"

#include <QDir>
#include <QFile>

// Copying the picks of a cull into another folder, against cp + sync + cmp
// of the same 200 photos of 6 MB in the same run: the copy is flushed and
// checked, so it is measured against tools doing the same.
namespace {

constexpr int photoCount = 200;
constexpr qint64 photoBytes = 6 * 1000 * 1000;

struct Timings
{
    double ours = 0;
    double cp = -1;
};

const Timings &timings(const BenchContext &ctx)
{
    static Timings t;
    static bool measured = false;
    if (measured)
        return t;
    measured = true;
    const QStringList files = bench::randomPhotos(ctx.dataDir, QStringLiteral("export200"), photoCount, photoBytes);
    QList<PhotoCore::TransferGroup> groups;
    for (const QString &file : files)
        groups.append({{file}, QString(), false});
    const QString target = ctx.dataDir + QStringLiteral("/export-target");
    const auto fresh = [&] {
        QDir(target).removeRecursively();
        QDir().mkpath(target);
    };
    // Alternate the two, so that neither gets a quieter moment of the machine.
    std::vector<double> ours, theirs;
    for (int run = 0; run < 3; ++run) {
        fresh();
        ours.push_back(bench::medianMs(1, [&] { PhotoCore::transferPhotos(groups, target, PhotoCore::TransferMode::Copy); }));
        fresh();
        theirs.push_back(bench::copySyncCompareMs(files, target));
    }
    QDir(target).removeRecursively();
    std::sort(ours.begin(), ours.end());
    std::sort(theirs.begin(), theirs.end());
    t.ours = ours[1];
    t.cp = theirs.front() < 0 ? -1 : theirs[1];
    return t;
}

const BenchRegistration copy200{"export.copy200", [](const BenchContext &ctx) {
    return BenchResult{timings(ctx).ours, QStringLiteral("ms"),
                       {{QStringLiteral("photos"), photoCount}, {QStringLiteral("bytes_each"), photoBytes}}};
}};

const BenchRegistration copyRatio{"export.copyRatio", [](const BenchContext &ctx) {
    const Timings &t = timings(ctx);
    if (t.cp <= 0)
        return BenchResult{-1, QStringLiteral("ratio"), {{QStringLiteral("error"), QStringLiteral("cp, sync or cmp failed")}}};
    return BenchResult{t.ours / t.cp, QStringLiteral("ratio"),
                       {{QStringLiteral("ours_ms"), t.ours}, {QStringLiteral("cp_sync_cmp_ms"), t.cp},
                        {QStringLiteral("target"), 1.2}}};
}};

} // namespace
