#include "bench/benchmark.h"
#include "bench/copyanchor.h"

#include "core/ingest.h"
#include "imaging/ingestfacts.h"

#include <QDir>
#include <QFile>

// Importing 200 photos of 6 MB from a "card" folder into dated folders, each
// copy flushed and read back from the device, against cp + sync + cmp of the
// same files in the same run.
namespace {

constexpr int photoCount = 200;
constexpr qint64 photoBytes = 6 * 1000 * 1000;

struct Timings
{
    bench::CopyTimes times;
    int imported = 0;
};

const Timings &timings(const BenchContext &ctx)
{
    static Timings t;
    static bool measured = false;
    if (measured)
        return t;
    measured = true;
    const QStringList files = bench::randomPhotos(ctx.dataDir, QStringLiteral("ingest200/DCIM/100CANON"), photoCount,
                                                  photoBytes);
    const QString source = ctx.dataDir + QStringLiteral("/ingest200/DCIM");
    const QString target = ctx.dataDir + QStringLiteral("/ingest-target");
    const QString log = ctx.dataDir + QStringLiteral("/ingest-log.tsv");
    const auto fresh = [&] {
        QDir(target).removeRecursively();
        QDir().mkpath(target);
        QFile::remove(log);
    };
    t.times = bench::timeAgainstCopyAnchor(files, target, fresh, [&] {
        PhotoCore::IngestLog importLog(log);
        const PhotoCore::IngestPlan plan = PhotoCore::planIngest(
            source, {}, false, &readIngestFacts,
            [&](const PhotoCore::IngestItem &item) { return importLog.contains(item, target); });
        t.imported = PhotoCore::runIngest(plan, target, QString(), &importLog).imported;
    });
    fresh();
    QDir(target).removeRecursively();
    return t;
}

const BenchRegistration copy200{"ingest.copy200", [](const BenchContext &ctx) {
    const Timings &t = timings(ctx);
    return BenchResult{t.times.ours, QStringLiteral("ms"),
                       {{QStringLiteral("photos"), photoCount}, {QStringLiteral("bytes_each"), photoBytes},
                        {QStringLiteral("imported"), t.imported}}};
}};

const BenchRegistration copyRatio{"ingest.copyRatio",
                                  [](const BenchContext &ctx) { return bench::copyRatioResult(timings(ctx).times); }};

} // namespace
