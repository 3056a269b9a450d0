#include "bench/benchmark.h"
#include "bench/copyanchor.h"

#include "core/ingest.h"
#include "imaging/ingestfacts.h"

#include <QDir>
#include <QFile>

#include <algorithm>

// Importing 200 photos of 6 MB from a "card" folder into dated folders, each
// copy flushed and read back from the device, against cp + sync + cmp of the
// same files in the same run.
namespace {

constexpr int photoCount = 200;
constexpr qint64 photoBytes = 6 * 1000 * 1000;

struct Timings
{
    double ours = 0;
    double anchor = -1;
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
    // Alternate the two, so that neither gets a quieter moment of the machine.
    std::vector<double> ours, theirs;
    for (int run = 0; run < 3; ++run) {
        fresh();
        ours.push_back(bench::medianMs(1, [&] {
            PhotoCore::IngestLog importLog(log);
            const PhotoCore::IngestPlan plan = PhotoCore::planIngest(
                source, {}, false, &readIngestFacts,
                [&](const PhotoCore::IngestItem &item) { return importLog.contains(item, target); });
            t.imported = PhotoCore::runIngest(plan, target, QString(), &importLog).imported;
        }));
        fresh();
        theirs.push_back(bench::copySyncCompareMs(files, target));
    }
    fresh();
    QDir(target).removeRecursively();
    std::sort(ours.begin(), ours.end());
    std::sort(theirs.begin(), theirs.end());
    t.ours = ours[1];
    t.anchor = theirs.front() < 0 ? -1 : theirs[1];
    return t;
}

const BenchRegistration copy200{"ingest.copy200", [](const BenchContext &ctx) {
    const Timings &t = timings(ctx);
    return BenchResult{t.ours, QStringLiteral("ms"),
                       {{QStringLiteral("photos"), photoCount}, {QStringLiteral("bytes_each"), photoBytes},
                        {QStringLiteral("imported"), t.imported}}};
}};

const BenchRegistration copyRatio{"ingest.copyRatio", [](const BenchContext &ctx) {
    const Timings &t = timings(ctx);
    if (t.anchor <= 0)
        return BenchResult{-1, QStringLiteral("ratio"), {{QStringLiteral("error"), QStringLiteral("cp, sync or cmp failed")}}};
    return BenchResult{t.ours / t.anchor, QStringLiteral("ratio"),
                       {{QStringLiteral("ours_ms"), t.ours}, {QStringLiteral("cp_sync_cmp_ms"), t.anchor},
                        {QStringLiteral("target"), 1.2}}};
}};

} // namespace
