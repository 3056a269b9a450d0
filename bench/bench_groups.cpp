#include "bench/benchmark.h"
#include "catalog/burstgroups.h"
#include "catalog/photocatalog.h"
#include "imaging/burstanalysis.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QSet>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <random>
#include <thread>
#include <vector>

// Bursts: the analysis of one frame against djpeg's full decode, a folder of
// 1,000 photos grouped cold and reopened, and how well bursts made from real
// photos are found and ranked.

namespace {

constexpr int analyseFiles = 8;

double medianOf(std::vector<double> values)
{
    return bench::percentile(std::move(values), 0.5);
}

struct AnalyseTimes
{
    double oursMs = -1;
    double djpegMs = -1;
};

// Both measured in one run over the same 24 MP camera JPEGs, one file after
// another, so that the ratio compares like with like.
const AnalyseTimes &analyseTimes(const BenchContext &ctx)
{
    static AnalyseTimes times;
    static bool measured = false;
    if (measured)
        return times;
    measured = true;
    const QStringList photos = bench::cameraPhotos(ctx.dataDir).mid(0, analyseFiles);
    std::vector<double> ours;
    std::vector<double> djpeg;
    for (const QString &photo : photos) {
        ours.push_back(bench::medianMs(3, [&] { analyseBurstFrame(photo); }));
        djpeg.push_back(bench::commandMedianMs(3, QStringLiteral("djpeg"),
                                               {QStringLiteral("-outfile"), QStringLiteral("/dev/null"), photo}));
    }
    times.oursMs = medianOf(ours);
    if (std::all_of(djpeg.cbegin(), djpeg.cend(), [](double ms) { return ms > 0; }))
        times.djpegMs = medianOf(djpeg);
    return times;
}

const BenchRegistration analyse{"groups.analyse", [](const BenchContext &ctx) {
    const AnalyseTimes &t = analyseTimes(ctx);
    const QString photo = bench::cameraPhotos(ctx.dataDir).first();
    BenchResult r{t.oursMs, QStringLiteral("ms"), {}};
    r.detail.insert(QStringLiteral("files"), analyseFiles);
    r.detail.insert(QStringLiteral("decoded_width"), reducedLuma(photo).width());
    r.detail.insert(QStringLiteral("what"), QStringLiteral("capture time, reduced decode, hash and sharpness"));
    return r;
}};

const BenchRegistration analyseDjpegRatio{"groups.analyseDjpegRatio", [](const BenchContext &ctx) {
    const AnalyseTimes &t = analyseTimes(ctx);
    if (t.djpegMs <= 0)
        return BenchResult{-1, QStringLiteral("ratio"), {{QStringLiteral("error"), QStringLiteral("djpeg missing or failed")}}};
    return BenchResult{t.oursMs / t.djpegMs, QStringLiteral("ratio"),
                       {{QStringLiteral("ours_ms"), t.oursMs}, {QStringLiteral("djpeg_ms"), t.djpegMs},
                        {QStringLiteral("target"), 0.5}}};
}};

// Opens `folder` in a catalog and waits until its groups are complete.
double groupFolderMs(const QString &folder, const QString &cacheDir, int *groups)
{
    PhotoCatalog catalog;
    BurstGroups bursts(&catalog, &analyseBurstFrame);
    bursts.setCacheDirectory(cacheDir);
    // The program analyses at idle priority; measured so, a machine busy with
    // other work would time that work instead.
    bursts.setIdlePriority(false);
    bool done = false;
    QObject::connect(&bursts, &BurstGroups::finished, [&] { done = true; });
    QElapsedTimer timer;
    timer.start();
    catalog.openFolder(folder);
    if (!bench::waitFor([&] { return done; }, 600000, 20))
        return -1;
    const double ms = double(timer.nsecsElapsed()) / 1e6;
    *groups = int(bursts.groups().size());
    return ms;
}

struct FolderTimes
{
    double coldMs = -1;
    double reopenedMs = -1;
    int groups = 0;
};

const FolderTimes &folderTimes(const BenchContext &ctx)
{
    static FolderTimes times;
    static bool measured = false;
    if (measured)
        return times;
    measured = true;
    const QStringList photos = bench::cameraFolder(ctx.dataDir, QStringLiteral("groups1000"), 1000);
    const QString folder = QFileInfo(photos.first()).absolutePath();
    QTemporaryDir cache;
    times.coldMs = groupFolderMs(folder, cache.path(), &times.groups);
    times.reopenedMs = groupFolderMs(folder, cache.path(), &times.groups);
    return times;
}

const BenchRegistration folder1000{"groups.folder1000", [](const BenchContext &ctx) {
    const FolderTimes &t = folderTimes(ctx);
    return BenchResult{t.coldMs / 1000.0, QStringLiteral("s"),
                       {{QStringLiteral("photos"), 1000},
                        {QStringLiteral("threads"), QThread::idealThreadCount()},
                        {QStringLiteral("priority"), QStringLiteral("normal")},
                        {QStringLiteral("reopened_ms"), t.reopenedMs},
                        {QStringLiteral("groups"), t.groups},
                        {QStringLiteral("target_s"), 60},
                        {QStringLiteral("target_reopened_ms"), 1000}}};
}};

// ---------------------------------------------------------------------------
// Accuracy on bursts made from real photos

QImage gaussianBlur(const QImage &source, double sigma)
{
    if (sigma <= 0)
        return source;
    const int radius = int(std::ceil(3 * sigma));
    std::vector<double> kernel(size_t(2 * radius + 1));
    double sum = 0;
    for (int i = -radius; i <= radius; ++i)
        sum += kernel[size_t(i + radius)] = std::exp(-i * i / (2 * sigma * sigma));
    for (double &k : kernel)
        k /= sum;
    QImage image = source.convertToFormat(QImage::Format_RGB32);
    for (int pass = 0; pass < 2; ++pass) {
        QImage out(image.size(), QImage::Format_RGB32);
        const int w = image.width();
        const int h = image.height();
        for (int y = 0; y < h; ++y) {
            auto *target = reinterpret_cast<QRgb *>(out.scanLine(y));
            for (int x = 0; x < w; ++x) {
                double r = 0, g = 0, b = 0;
                for (int i = -radius; i <= radius; ++i) {
                    const int sx = pass == 0 ? qBound(0, x + i, w - 1) : x;
                    const int sy = pass == 1 ? qBound(0, y + i, h - 1) : y;
                    const QRgb p = reinterpret_cast<const QRgb *>(image.constScanLine(sy))[sx];
                    const double k = kernel[size_t(i + radius)];
                    r += k * qRed(p);
                    g += k * qGreen(p);
                    b += k * qBlue(p);
                }
                target[x] = qRgb(int(r + 0.5), int(g + 0.5), int(b + 0.5));
            }
        }
        image = out;
    }
    return image;
}

// The camera moving `length` pixels along `angle` degrees while exposing.
QImage motionBlur(const QImage &source, int length, double angle)
{
    const QImage image = source.convertToFormat(QImage::Format_RGB32);
    QImage out(image.size(), QImage::Format_RGB32);
    const double dx = std::cos(angle * M_PI / 180);
    const double dy = std::sin(angle * M_PI / 180);
    for (int y = 0; y < image.height(); ++y) {
        auto *target = reinterpret_cast<QRgb *>(out.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            int r = 0, g = 0, b = 0;
            for (int i = 0; i < length; ++i) {
                const int sx = qBound(0, x + int(std::lround((i - length / 2) * dx)), image.width() - 1);
                const int sy = qBound(0, y + int(std::lround((i - length / 2) * dy)), image.height() - 1);
                const QRgb p = reinterpret_cast<const QRgb *>(image.constScanLine(sy))[sx];
                r += qRed(p);
                g += qGreen(p);
                b += qBlue(p);
            }
            target[x] = qRgb(r / length, g / length, b / length);
        }
    }
    return out;
}

QImage exposed(const QImage &source, double factor)
{
    QImage image = source.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = line[x];
            line[x] = qRgb(qMin(255, int(qRed(p) * factor)), qMin(255, int(qGreen(p) * factor)),
                           qMin(255, int(qBlue(p) * factor)));
        }
    }
    return image;
}

// The view of a hand-held camera moved by (dx, dy) between frames: a window
// of the scene `margin` pixels inside its edges, shifted, so that new content
// comes in at one side as it does in a burst.
QImage framed(const QImage &scene, int margin, int dx, int dy)
{
    return scene.copy(margin + dx, margin + dy, scene.width() - 2 * margin, scene.height() - 2 * margin);
}

struct Frame
{
    QString path;
    double seconds = 0;
    int scene = 0;
    bool sharp = false;
};

// Hand-held frames of a burst move by up to this fraction of the width either
// way (1 %: two frames differ by up to 2 %). At 2 % either way a few bursts
// move far enough for their hash to call them another scene.
constexpr int shiftDivisor = 100;

// Scenes: the real photos of the test data that are large enough, each also
// as two crops of its own, in a shuffled order. Each becomes a burst of 4 to
// 7 frames 0.2 to 0.5 s apart, one of them the unblurred frame, the others
// shifted by up to 1 %, blurred (Gaussian or motion, of growing strength) and
// exposed up to 10 % differently. The next scene follows 1 to 6 s later, so
// about one scene change in five is within the default gap and must be told
// by the pictures alone.
QList<Frame> makeBursts(const BenchContext &ctx)
{
    const QString dir = ctx.dataDir + QStringLiteral("/bursts-accuracy-%1").arg(shiftDivisor);
    QList<Frame> frames;
    QRandomGenerator random(20240601);
    QList<QImage> scenes;
    const QDir cameras(ctx.testData + QStringLiteral("/cameras"));
    for (const QString &name : cameras.entryList({QStringLiteral("*.JPG")}, QDir::Files, QDir::Name)) {
        QImageReader reader(cameras.filePath(name));
        reader.setAutoTransform(true);
        const QImage photo = reader.read();
        if (photo.width() < 1000)
            continue;
        const QImage scene = photo.scaledToWidth(1600, Qt::SmoothTransformation);
        scenes << scene;
        const int w = scene.width() * 2 / 3;
        const int h = scene.height() * 2 / 3;
        scenes << scene.copy(0, 0, w, h).scaledToWidth(1600, Qt::SmoothTransformation);
        scenes << scene.copy(scene.width() - w, scene.height() - h, w, h).scaledToWidth(1600, Qt::SmoothTransformation);
    }
    std::vector<int> order(size_t(scenes.size()));
    for (int i = 0; i < int(order.size()); ++i)
        order[size_t(i)] = i;
    std::shuffle(order.begin(), order.end(), std::mt19937(7));

    double seconds = 0;
    QList<std::function<void()>> writes;
    for (int s = 0; s < int(order.size()); ++s) {
        const QImage &scene = scenes.at(order[size_t(s)]);
        const int count = 4 + random.bounded(4);
        const int sharpAt = random.bounded(count);
        int blurStep = 0;
        for (int f = 0; f < count; ++f) {
            Frame frame;
            frame.path = dir + QStringLiteral("/S%1_F%2.jpg").arg(s, 2, 10, QLatin1Char('0')).arg(f);
            frame.seconds = seconds;
            frame.scene = s;
            frame.sharp = f == sharpAt;
            frames << frame;
            seconds += 0.2 + random.bounded(0.3);
            const int maxShift = scene.width() / shiftDivisor;
            const int dx = frame.sharp ? 0 : random.bounded(2 * maxShift + 1) - maxShift;
            const int dy = frame.sharp ? 0 : random.bounded(maxShift + 1) - maxShift / 2;
            const double exposure = frame.sharp ? 1.0 : 0.9 + random.bounded(0.2);
            const bool motion = random.bounded(2) == 1;
            const double strength = 1 + blurStep++ % 4; // 1…4, growing through the burst
            const double angle = random.bounded(180.0);
            writes << [frame, scene, maxShift, dx, dy, exposure, motion, strength, angle] {
                QImage image = framed(scene, maxShift, dx, dy);
                if (!frame.sharp) {
                    image = motion ? motionBlur(image, int(2 + 2 * strength), angle)
                                   : gaussianBlur(image, 0.4 + 0.4 * strength);
                    image = exposed(image, exposure);
                }
                image.save(frame.path, "JPEG", 92);
            };
        }
        seconds += 1.0 + random.bounded(5.0);
    }
    bench::prepareOnce(dir, [&] {
        QDir().mkpath(dir);
        std::atomic<int> next{0};
        const auto work = [&] {
            for (int i = next++; i < writes.size(); i = next++)
                writes[i]();
        };
        std::thread helper(work);
        work();
        helper.join();
    });
    return frames;
}

struct Accuracy
{
    int trueBoundaries = 0;
    int foundBoundaries = 0;
    int correctBoundaries = 0;
    int groups = 0;
    int sharpFirst = 0;
    int frames = 0;
    int sceneChangesWithinGap = 0;
};

const Accuracy &accuracy(const BenchContext &ctx)
{
    static Accuracy a;
    static bool measured = false;
    if (measured)
        return a;
    measured = true;
    const QList<Frame> frames = makeBursts(ctx);
    a.frames = int(frames.size());
    // The files carry no capture time: the schedule gives it, as a camera would.
    QList<PhotoCore::BurstFacts> facts;
    const QDateTime start(QDate(2024, 6, 1), QTime(15, 0));
    for (const Frame &frame : frames) {
        PhotoCore::BurstFacts f = analyseBurstFrame(frame.path);
        f.captured = start.addMSecs(qint64(frame.seconds * 1000));
        facts << f;
    }
    const PhotoCore::BurstRules rules;
    QSet<int> truth;
    for (int i = 1; i < frames.size(); ++i) {
        if (frames.at(i).scene != frames.at(i - 1).scene) {
            truth.insert(i);
            if (frames.at(i).seconds - frames.at(i - 1).seconds <= rules.maxGapSeconds)
                ++a.sceneChangesWithinGap;
        }
    }
    QSet<int> found;
    for (const QList<int> &group : PhotoCore::groupBursts(facts, rules)) {
        if (group.first() > 0)
            found.insert(group.first());
    }
    a.trueBoundaries = int(truth.size());
    a.foundBoundaries = int(found.size());
    a.correctBoundaries = int((truth & found).size());

    // Ranks within each scene's burst.
    int begin = 0;
    for (int i = 1; i <= frames.size(); ++i) {
        if (i < frames.size() && frames.at(i).scene == frames.at(begin).scene)
            continue;
        QList<double> scores;
        for (int k = begin; k < i; ++k)
            scores << facts.at(k).sharpness;
        const QList<int> ranks = PhotoCore::sharpnessRanks(scores);
        for (int k = begin; k < i; ++k) {
            if (frames.at(k).sharp && ranks.at(k - begin) == 1)
                ++a.sharpFirst;
        }
        ++a.groups;
        begin = i;
    }
    return a;
}

QJsonObject accuracyDetail(const Accuracy &a)
{
    return {{QStringLiteral("frames"), a.frames},
            {QStringLiteral("bursts"), a.groups},
            {QStringLiteral("true_boundaries"), a.trueBoundaries},
            {QStringLiteral("found_boundaries"), a.foundBoundaries},
            {QStringLiteral("correct_boundaries"), a.correctBoundaries},
            {QStringLiteral("scene_changes_within_gap"), a.sceneChangesWithinGap},
            {QStringLiteral("max_shift_percent"), 100.0 / shiftDivisor},
            {QStringLiteral("target"), 95}};
}

const BenchRegistration boundaryPrecision{"groups.boundaryPrecision", [](const BenchContext &ctx) {
    const Accuracy &a = accuracy(ctx);
    return BenchResult{a.foundBoundaries ? 100.0 * a.correctBoundaries / a.foundBoundaries : 0,
                       QStringLiteral("percent"), accuracyDetail(a)};
}};

const BenchRegistration boundaryRecall{"groups.boundaryRecall", [](const BenchContext &ctx) {
    const Accuracy &a = accuracy(ctx);
    return BenchResult{a.trueBoundaries ? 100.0 * a.correctBoundaries / a.trueBoundaries : 0,
                       QStringLiteral("percent"), accuracyDetail(a)};
}};

const BenchRegistration sharpFirst{"groups.sharpFirst", [](const BenchContext &ctx) {
    const Accuracy &a = accuracy(ctx);
    return BenchResult{a.groups ? 100.0 * a.sharpFirst / a.groups : 0, QStringLiteral("percent"), accuracyDetail(a)};
}};

} // namespace
