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

const bench::CopyTimes &timings(const BenchContext &ctx)
{
    static bench::CopyTimes t;
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
    t = bench::timeAgainstCopyAnchor(files, target, fresh, [&] {
        PhotoCore::transferPhotos(groups, target, PhotoCore::TransferMode::Copy);
    });
    QDir(target).removeRecursively();
    return t;
}

const BenchRegistration copy200{"export.copy200", [](const BenchContext &ctx) {
    return BenchResult{timings(ctx).ours, QStringLiteral("ms"),
                       {{QStringLiteral("photos"), photoCount}, {QStringLiteral("bytes_each"), photoBytes}}};
}};

const BenchRegistration copyRatio{"export.copyRatio",
                                  [](const BenchContext &ctx) { return bench::copyRatioResult(timings(ctx)); }};

} // namespace
