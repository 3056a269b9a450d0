#include "bench/benchmark.h"
#include "grid/thumbnaildiskcache.h"
#include "grid/thumbnailgridwidget.h"
#include "grid/thumbnaillistmodel.h"
#include "imaging/photodecoder.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QListView>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QtEndian>

#include <algorithm>
#include <functional>
#include <optional>

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {

constexpr int folderSize = 5000;
constexpr int distinctRaws = 8;
constexpr int screenFolderSize = 300;
const QSize photoSize(6000, 4000);
const QSize gridSize(1600, 1000);
constexpr int cellSize = 192;

// A camera RAW in the usual TIFF layout: IFD0 carries a 160-pixel thumbnail,
// its sub-IFD the full-size JPEG preview, followed by stand-in sensor data.
QByteArray rawFile(const QImage &picture)
{
    const QByteArray thumb = bench::jpegBytes(picture.scaled(160, 120, Qt::KeepAspectRatio), 85);
    const QByteArray preview = bench::jpegBytes(picture, 90);
    QByteArray file(8 + 2 + 5 * 12 + 4 + 2 + 3 * 12 + 4, '\0');
    auto put16 = [&](int at, quint16 v) { qToLittleEndian(v, file.data() + at); };
    auto put32 = [&](int at, quint32 v) { qToLittleEndian(v, file.data() + at); };
    auto entry = [&](int at, quint16 tag, quint16 type, quint32 value) {
        put16(at, tag);
        put16(at + 2, type);
        put32(at + 4, 1);
        if (type == 3)
            put16(at + 8, quint16(value));
        else
            put32(at + 8, value);
    };
    const int ifd0 = 8, sub = ifd0 + 2 + 5 * 12 + 4;
    const quint32 thumbAt = quint32(file.size()), previewAt = thumbAt + quint32(thumb.size());
    file[0] = 'I';
    file[1] = 'I';
    put16(2, 42);
    put32(4, ifd0);
    put16(ifd0, 5);
    entry(ifd0 + 2, 254, 4, 1);
    entry(ifd0 + 14, 274, 3, 1);
    entry(ifd0 + 26, 330, 4, quint32(sub));
    entry(ifd0 + 38, 513, 4, thumbAt);
    entry(ifd0 + 50, 514, 4, quint32(thumb.size()));
    put16(sub, 3);
    entry(sub + 2, 254, 4, 0);
    entry(sub + 14, 513, 4, previewAt);
    entry(sub + 26, 514, 4, quint32(preview.size()));
    file += thumb;
    file += preview;
    file += QByteArray(12 << 20, '\x5a');
    return file;
}

struct DataSet
{
    QStringList folder;   // folderSize paths, each its own cache entry
    QStringList jpegs;    // the distinct camera JPEGs
    QStringList raws;     // the distinct RAW sources
};

DataSet makeDataSet(const QString &root)
{
    DataSet set;
    set.jpegs = bench::cameraPhotos(root);
    const QString sources = root + QStringLiteral("/gridraw24mp");
    for (int i = 0; i < distinctRaws; ++i)
        set.raws << sources + QStringLiteral("/src%1.nef").arg(i, 2, 10, QLatin1Char('0'));
    bench::prepareOnce(sources, [&] {
        for (int i = 0; i < distinctRaws; ++i) {
            QFile raw(set.raws[i]);
            if (raw.open(QIODevice::WriteOnly))
                raw.write(rawFile(bench::detailedPicture(100 + i, photoSize)));
        }
    });

    // Every fifth photo is a RAW file, as in a folder shot RAW+JPEG now and then.
    const QString dir = root + QStringLiteral("/gridcam%1").arg(folderSize);
    for (int i = 0; i < folderSize; ++i) {
        const bool raw = i % 5 == 4;
        set.folder << dir + QStringLiteral("/P%1.%2").arg(i, 5, 10, QLatin1Char('0')).arg(raw ? "NEF" : "JPG");
    }
    bench::prepareOnce(dir, [&] {
        for (int i = 0; i < folderSize; ++i) {
            const bool raw = i % 5 == 4;
            QFile::link(raw ? set.raws[i % distinctRaws] : set.jpegs[i % set.jpegs.size()], set.folder[i]);
        }
    });
    return set;
}

// Rows whose cells intersect the viewport.
QPair<int, int> visibleRows(const ThumbnailGridWidget &grid)
{
    const QListView *view = grid.listView();
    const QRect viewport = view->viewport()->rect();
    const int first = view->indexAt(QPoint(1, 1)).row();
    int last = first;
    const int count = grid.model()->rowCount();
    while (last + 1 < count && view->visualRect(grid.model()->index(last + 1)).intersects(viewport))
        ++last;
    return {first, last};
}

bool visibleAllShown(const ThumbnailGridWidget &grid)
{
    const QPair<int, int> rows = visibleRows(grid);
    if (rows.first < 0)
        return false;
    for (int row = rows.first; row <= rows.second; ++row) {
        const int state = grid.model()->stateOf(grid.model()->pathAt(row));
        if (state != Ready && state != Failed)
            return false;
    }
    return true;
}

void clearCache()
{
    ThumbnailDiskCache().clearAll();
}

// Single-thread cost of one cold thumbnail (decode and store) and one warm one
// (disk cache), as the loader's single thread pays them.
struct PerThumbnail
{
    double coldJpegMs = 0, coldRawMs = 0, warmMs = 0, coldAllMs = 0;
    double vipsMs = -1, vipsOneThreadMs = -1;
    int jpegs = 0, raws = 0;
};

const PerThumbnail &perThumbnail(const BenchContext &ctx)
{
    static std::optional<PerThumbnail> result;
    if (result)
        return *result;
    const DataSet set = makeDataSet(ctx.dataDir);
    clearCache();
    PerThumbnail r;
    const ThumbnailDiskCache cache(QString(), ThumbnailDiskCache::configuredBudgetBytes());
    QStringList sample;
    for (int i = 0; i < 80; ++i)
        sample << set.folder[i];
    for (const QString &path : sample) { // page cache warm, as for a folder just copied in
        QFile f(path);
        f.open(QIODevice::ReadOnly);
        f.readAll();
    }
    QElapsedTimer timer;
    double jpegNs = 0, rawNs = 0;
    for (const QString &path : sample) {
        timer.start();
        const QImage image = decodeThumbnail(path, ThumbnailGridWidget::decodeSide);
        cache.store(path, image);
        const double ns = double(timer.nsecsElapsed());
        if (path.endsWith(QLatin1String(".NEF"))) {
            rawNs += ns;
            ++r.raws;
        } else {
            jpegNs += ns;
            ++r.jpegs;
        }
    }
    r.coldJpegMs = jpegNs / r.jpegs / 1e6;
    r.coldRawMs = rawNs / r.raws / 1e6;
    r.coldAllMs = (jpegNs + rawNs) / sample.size() / 1e6;
    timer.start();
    for (const QString &path : sample)
        cache.load(path);
    r.warmMs = timer.nsecsElapsed() / 1e6 / sample.size();

    // The same JPEG files through vipsthumbnail, in one process as it is meant to run.
    QStringList jpegSample;
    for (const QString &path : sample) {
        if (!path.endsWith(QLatin1String(".NEF")))
            jpegSample << path;
    }
    QTemporaryDir out;
    const QStringList args = QStringList{QStringLiteral("-s"), QStringLiteral("512"), QStringLiteral("-o"),
                                         out.path() + QStringLiteral("/%s.jpg[Q=86]")} + jpegSample;
    const double vips = bench::commandMedianMs(3, QStringLiteral("vipsthumbnail"), args);
    if (vips > 0)
        r.vipsMs = vips / jpegSample.size();
    qputenv("VIPS_CONCURRENCY", "1");
    const double vipsOne = bench::commandMedianMs(3, QStringLiteral("vipsthumbnail"), args);
    qunsetenv("VIPS_CONCURRENCY");
    if (vipsOne > 0)
        r.vipsOneThreadMs = vipsOne / jpegSample.size();
    clearCache();
    result = r;
    return *result;
}

QJsonObject perThumbnailDetail(const PerThumbnail &p)
{
    return QJsonObject{{QStringLiteral("cold_jpeg_ms"), p.coldJpegMs},
                       {QStringLiteral("cold_raw_ms"), p.coldRawMs},
                       {QStringLiteral("cold_mixed_ms"), p.coldAllMs},
                       {QStringLiteral("warm_ms"), p.warmMs},
                       {QStringLiteral("vips_ms"), p.vipsMs},
                       {QStringLiteral("vips_one_thread_ms"), p.vipsOneThreadMs},
                       {QStringLiteral("jpegs"), p.jpegs},
                       {QStringLiteral("raws"), p.raws},
                       {QStringLiteral("photo"), QStringLiteral("6000x4000")}};
}

// Runs the event loop until every cell on screen shows a picture and the
// window has put it on screen; the time of `timer` then, or -1.
double waitUntilShown(ThumbnailGridWidget &grid, const QElapsedTimer &timer)
{
    double ms = -1;
    bench::ScreenWatch watch(&grid, [&] {
        if (ms < 0 && visibleAllShown(grid))
            ms = timer.nsecsElapsed() / 1e6;
    });
    bool repaintAsked = false;
    bench::waitFor([&] {
        // Should the last pictures have been painted before the watch began,
        // or by an expose rather than an update, one more update tells.
        if (!repaintAsked && ms < 0 && visibleAllShown(grid)) {
            grid.listView()->viewport()->update();
            repaintAsked = true;
        }
        return ms >= 0;
    });
    return ms;
}

void setUpGrid(ThumbnailGridWidget &grid, const QStringList &paths)
{
    grid.resize(gridSize);
    grid.setThumbnailSize(cellSize);
    grid.setFiles(paths, {});
    grid.show();
}

// A new 1600 × 1000 grid at 192 px showing `paths` from the top: the time
// until every cell on screen shows a picture on screen.
struct Screen
{
    double ms = -1;
    QStringList visible;
    int embedded = 0; // cells showing the file's embedded picture, not yet refined
};

Screen firstScreen(const QStringList &paths)
{
    Screen s;
    ThumbnailGridWidget grid;
    QElapsedTimer timer;
    timer.start();
    setUpGrid(grid, paths);
    s.ms = waitUntilShown(grid, timer);
    const QPair<int, int> rows = visibleRows(grid);
    for (int row = rows.first; row >= 0 && row <= rows.second; ++row) {
        s.visible << grid.model()->pathAt(row);
        const QImage image =
            grid.model()->data(grid.model()->index(row), ThumbnailListModel::ThumbnailRole).value<QImage>();
        if (!image.isNull() && std::max(image.width(), image.height()) < ThumbnailGridWidget::decodeSide)
            ++s.embedded;
    }
    grid.stopLoading();
    grid.loaderThreadPool()->waitForDone();
    return s;
}

// The 5,000 photos with the disk cache cold, then warm.
struct WindowTiming
{
    double coldMs = -1, warmMs = -1;
    int visible = 0;
};

const WindowTiming &windowTiming(const BenchContext &ctx)
{
    static std::optional<WindowTiming> result;
    if (result)
        return *result;
    const DataSet set = makeDataSet(ctx.dataDir);
    clearCache();
    WindowTiming r;
    const Screen cold = firstScreen(set.folder);
    r.coldMs = cold.ms;
    r.visible = int(cold.visible.size());
    r.warmMs = firstScreen(set.folder).ms;
    result = r;
    return *result;
}

// Drops the files' pages from the page cache, as after a restart.
void evictFromPageCache(const QStringList &paths)
{
    for (const QString &path : paths) {
        const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY);
        if (fd < 0)
            continue;
        ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
        ::close(fd);
    }
}

void readAll(const QStringList &paths)
{
    for (const QString &path : paths) {
        QFile f(path);
        if (f.open(QIODevice::ReadOnly))
            f.readAll();
    }
}

// A folder of 300 camera JPEGs opened with the disk cache cold (the files in
// the page cache, as for a folder just copied in), and once more with the
// files out of the page cache too; vipsthumbnail making the visible cells'
// thumbnails in the same run, for comparison.
struct ColdScreen
{
    double ms = -1, pageCacheColdMs = -1, vipsMs = -1;
    int visible = 0, embedded = 0, runs = 3;
};

const ColdScreen &coldScreen(const BenchContext &ctx)
{
    static std::optional<ColdScreen> result;
    if (result)
        return *result;
    const QStringList files = bench::cameraFolder(ctx.dataDir, QStringLiteral("gridcam300"), screenFolderSize);
    const QStringList sources = bench::cameraPhotos(ctx.dataDir);
    readAll(sources);
    ColdScreen r;
    std::vector<double> times;
    Screen screen;
    for (int i = 0; i < r.runs; ++i) {
        clearCache();
        screen = firstScreen(files);
        times.push_back(screen.ms);
    }
    r.ms = bench::percentile(times, 0.5);
    r.visible = int(screen.visible.size());
    r.embedded = screen.embedded;
    clearCache();
    evictFromPageCache(sources);
    r.pageCacheColdMs = firstScreen(files).ms;
    clearCache();

    QTemporaryDir out;
    const QStringList args = QStringList{QStringLiteral("-s"), QString::number(cellSize), QStringLiteral("-o"),
                                         out.path() + QStringLiteral("/%s.jpg")}
                             + screen.visible;
    r.vipsMs = bench::commandMedianMs(3, QStringLiteral("vipsthumbnail"), args);
    result = r;
    return *result;
}

// CPU time of the calling thread so far.
double threadCpuMs()
{
    rusage usage{};
    if (getrusage(RUSAGE_THREAD, &usage) != 0)
        return -1;
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3
           + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
}

// Cold cache: the grid at the top, then the scroll bar dragged to the bottom.
// Its goal is the time the cells it ends on take in a grid of their own, cold,
// plus 0.3 s.
struct JumpTiming
{
    double ms = -1, ownColdMs = -1, fullDecodeMs = -1, dragMs = -1, guiCpuMs = -1;
    quint64 staleJobs = 0, executed = 0;
    int visible = 0, window = 0;
};

const JumpTiming &jumpTiming(const BenchContext &ctx)
{
    static std::optional<JumpTiming> result;
    if (result)
        return *result;
    const DataSet set = makeDataSet(ctx.dataDir);
    clearCache();
    JumpTiming r;
    ThumbnailGridWidget grid;
    setUpGrid(grid, set.folder);
    bench::waitFor([&] { return grid.model()->stateOf(set.folder.first()) == Ready; });

    // A drag passes through many windows on its way down.
    QScrollBar *bar = grid.listView()->verticalScrollBar();
    const ThumbnailGridWidget::LoaderStats before = grid.loaderStats();
    const double guiCpuBefore = threadCpuMs();
    QElapsedTimer timer;
    timer.start();
    for (int step = 1; step <= 40; ++step) {
        bar->setValue(bar->maximum() * step / 40);
        QCoreApplication::processEvents();
    }
    r.dragMs = timer.nsecsElapsed() / 1e6;
    r.ms = waitUntilShown(grid, timer);
    r.guiCpuMs = threadCpuMs() - guiCpuBefore;
    const QPair<int, int> rows = visibleRows(grid);
    r.visible = rows.second - rows.first + 1;
    r.window = grid.loadWindow().second - grid.loadWindow().first + 1;
    grid.loaderThreadPool()->waitForDone();
    QCoreApplication::processEvents();
    r.staleJobs = grid.loaderStats().deliveredOutsideWindow - before.deliveredOutsideWindow;
    r.executed = grid.loaderStats().executed - before.executed;
    grid.stopLoading();
    grid.loaderThreadPool()->waitForDone();

    // The same cells' own cold time, right away under the same machine load:
    // in a grid of their own, and decoded in full one after the other.
    const QStringList visible = set.folder.mid(rows.first, r.visible);
    clearCache();
    r.ownColdMs = firstScreen(visible).ms;
    {
        QTemporaryDir coldDir;
        const ThumbnailDiskCache cold(coldDir.path(), ThumbnailDiskCache::configuredBudgetBytes());
        QElapsedTimer own;
        own.start();
        for (const QString &path : visible)
            cold.store(path, decodeThumbnail(path, ThumbnailGridWidget::decodeSide));
        r.fullDecodeMs = own.nsecsElapsed() / 1e6;
    }
    clearCache();
    result = r;
    return *result;
}

// Scrolling from top to bottom a viewport at a time, letting each window load
// from the disk cache or by decoding for a moment, as a user skimming would.
struct ScrollMemory
{
    double peakRssMiB = -1, startRssMiB = -1;
    int maxHeld = 0, maxWindow = 0, steps = 0;
};

const ScrollMemory &scrollMemory(const BenchContext &ctx)
{
    static std::optional<ScrollMemory> result;
    if (result)
        return *result;
    const DataSet set = makeDataSet(ctx.dataDir);
    ScrollMemory r;
    ThumbnailGridWidget grid;
    setUpGrid(grid, set.folder);
    bench::waitFor([&] { return visibleAllShown(grid); });

    bench::resetPeakRss();
    r.startRssMiB = bench::procStatusKiB("VmRSS") / 1024.0;
    qint64 sampled = 0;
    QScrollBar *bar = grid.listView()->verticalScrollBar();
    const int page = grid.listView()->viewport()->height();
    for (int value = 0; value <= bar->maximum(); value += page) {
        bar->setValue(value);
        // Each window gets as long as six cold thumbnails take, then the user moves on.
        const quint64 target = grid.loaderStats().delivered + 6;
        bench::waitFor([&] { return grid.loaderStats().delivered >= target || visibleAllShown(grid); }, 5000);
        r.maxHeld = std::max(r.maxHeld, grid.model()->heldThumbnailCount());
        r.maxWindow = std::max(r.maxWindow, grid.loadWindow().second - grid.loadWindow().first + 1);
        sampled = std::max(sampled, bench::procStatusKiB("VmRSS"));
        ++r.steps;
    }
    r.peakRssMiB = std::max(bench::procStatusKiB("VmHWM"), sampled) / 1024.0;
    grid.stopLoading();
    grid.loaderThreadPool()->waitForDone();
    result = r;
    return *result;
}

const BenchRegistration coldPerSecond{"grid.coldPerSecond", [](const BenchContext &ctx) {
    const PerThumbnail &p = perThumbnail(ctx);
    return BenchResult{1000.0 / p.coldAllMs, QStringLiteral("thumbnails/s"), perThumbnailDetail(p)};
}};

const BenchRegistration vipsRatio{"grid.vipsRatio", [](const BenchContext &ctx) {
    const PerThumbnail &p = perThumbnail(ctx);
    BenchResult r{p.vipsMs > 0 ? p.coldJpegMs / p.vipsMs : -1, QStringLiteral("ratio"), perThumbnailDetail(p)};
    r.detail.insert(QStringLiteral("target"), 0.9);
    if (p.vipsOneThreadMs > 0)
        r.detail.insert(QStringLiteral("ratio_to_vips_one_thread"), p.coldJpegMs / p.vipsOneThreadMs);
    return r;
}};

const BenchRegistration warmPerSecond{"grid.warmPerSecond", [](const BenchContext &ctx) {
    const PerThumbnail &p = perThumbnail(ctx);
    return BenchResult{1000.0 / p.warmMs, QStringLiteral("thumbnails/s"), perThumbnailDetail(p)};
}};

const BenchRegistration warmWindow{"grid.warmWindow", [](const BenchContext &ctx) {
    const WindowTiming &w = windowTiming(ctx);
    return BenchResult{w.warmMs, QStringLiteral("ms"),
                       QJsonObject{{QStringLiteral("cold_ms"), w.coldMs},
                                   {QStringLiteral("visible_cells"), w.visible},
                                   {QStringLiteral("target"), 200},
                                   {QStringLiteral("grid"), QStringLiteral("1600x1000 at 192")}}};
}};

QJsonObject jumpDetail(const JumpTiming &j)
{
    return QJsonObject{{QStringLiteral("jump_ms"), j.ms},
                       {QStringLiteral("visible_own_cold_ms"), j.ownColdMs},
                       {QStringLiteral("target"), j.ownColdMs + 300},
                       {QStringLiteral("visible_full_decode_ms"), j.fullDecodeMs},
                       {QStringLiteral("drag_ms"), j.dragMs},
                       {QStringLiteral("gui_thread_cpu_ms"), j.guiCpuMs},
                       {QStringLiteral("visible_cells"), j.visible},
                       {QStringLiteral("window_cells"), j.window},
                       {QStringLiteral("stale_jobs"), double(j.staleJobs)},
                       {QStringLiteral("jobs_run"), double(j.executed)},
                       {QStringLiteral("scroll_steps"), 40}};
}

const BenchRegistration jumpToBottom{"grid.jumpToBottom", [](const BenchContext &ctx) {
    const JumpTiming &j = jumpTiming(ctx);
    return BenchResult{j.ms, QStringLiteral("ms"), jumpDetail(j)};
}};

const BenchRegistration coldFirstScreen{"grid.coldFirstScreen", [](const BenchContext &ctx) {
    const ColdScreen &c = coldScreen(ctx);
    BenchResult r{c.ms, QStringLiteral("ms"), {}};
    r.detail.insert(QStringLiteral("target"), 300);
    r.detail.insert(QStringLiteral("visible_cells"), c.visible);
    r.detail.insert(QStringLiteral("cells_embedded_picture"), c.embedded);
    r.detail.insert(QStringLiteral("page_cache_cold_ms"), c.pageCacheColdMs);
    r.detail.insert(QStringLiteral("runs"), c.runs);
    r.detail.insert(QStringLiteral("photos"), screenFolderSize);
    r.detail.insert(QStringLiteral("photo"), QStringLiteral("6000x4000 JPEG, 160x120 Exif thumbnail"));
    r.detail.insert(QStringLiteral("grid"), QStringLiteral("1600x1000 at 192"));
    if (c.vipsMs > 0) {
        r.detail.insert(QStringLiteral("vipsthumbnail_visible_ms"), c.vipsMs);
        r.detail.insert(QStringLiteral("ratio_to_vipsthumbnail"), c.ms / c.vipsMs);
    }
    return r;
}};

const BenchRegistration staleJobs{"grid.staleJobs", [](const BenchContext &ctx) {
    const JumpTiming &j = jumpTiming(ctx);
    return BenchResult{double(j.staleJobs), QStringLiteral("jobs"), jumpDetail(j)};
}};

const BenchRegistration peakRss{"grid.peakRss", [](const BenchContext &ctx) {
    const ScrollMemory &m = scrollMemory(ctx);
    return BenchResult{m.peakRssMiB, QStringLiteral("MiB"),
                       QJsonObject{{QStringLiteral("start_rss_mib"), m.startRssMiB},
                                   {QStringLiteral("max_thumbnails_held"), m.maxHeld},
                                   {QStringLiteral("max_window_rows"), m.maxWindow},
                                   {QStringLiteral("steps"), m.steps}}};
}};

} // namespace
