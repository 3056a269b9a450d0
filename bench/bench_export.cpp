#include "bench/benchmark.h"

#include "core/phototransfer.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>

// Copying the picks of a cull into another folder, against cp of the same
// 200 photos of 6 MB in the same run.
namespace {

constexpr int photoCount = 200;
constexpr qint64 photoBytes = 6 * 1000 * 1000;

QStringList makePhotos(const QString &dataDir)
{
    const QString dir = dataDir + QStringLiteral("/export200");
    QStringList files;
    const bool complete = QFile::exists(dir + QStringLiteral("/.complete"));
    if (!complete) {
        QDir(dir).removeRecursively();
        QDir().mkpath(dir);
    }
    QRandomGenerator random(200);
    QByteArray bytes(photoBytes, Qt::Uninitialized);
    for (int i = 0; i < photoCount; ++i) {
        const QString path = dir + QStringLiteral("/IMG_%1.JPG").arg(i, 4, 10, QLatin1Char('0'));
        files.append(path);
        if (complete)
            continue;
        random.fillRange(reinterpret_cast<quint32 *>(bytes.data()), bytes.size() / 4);
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write(bytes);
    }
    QFile(dir + QStringLiteral("/.complete")).open(QIODevice::WriteOnly);
    return files;
}

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
    const QStringList files = makePhotos(ctx.dataDir);
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
        theirs.push_back(bench::commandMedianMs(1, QStringLiteral("cp"), QStringList(files) << target));
    }
    QDir(target).removeRecursively();
    std::sort(ours.begin(), ours.end());
    std::sort(theirs.begin(), theirs.end());
    t.ours = ours[1];
    t.cp = theirs[1];
    return t;
}

const BenchRegistration copy200{"export.copy200", [](const BenchContext &ctx) {
    return BenchResult{timings(ctx).ours, QStringLiteral("ms"),
                       {{QStringLiteral("photos"), photoCount}, {QStringLiteral("bytes_each"), photoBytes}}};
}};

const BenchRegistration copyRatio{"export.copyRatio", [](const BenchContext &ctx) {
    const Timings &t = timings(ctx);
    if (t.cp <= 0)
        return BenchResult{-1, QStringLiteral("ratio"), {{QStringLiteral("error"), QStringLiteral("cp failed")}}};
    return BenchResult{t.ours / t.cp, QStringLiteral("ratio"),
                       {{QStringLiteral("ours_ms"), t.ours}, {QStringLiteral("cp_ms"), t.cp},
                        {QStringLiteral("target"), 1.3}}};
}};

} // namespace
