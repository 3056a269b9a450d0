#include "bench/benchmark.h"
#include "catalog/photocatalog.h"
#include "core/xmpsidecar.h"
#include "grid/thumbnaildiskcache.h"
#include "grid/thumbnailgridwidget.h"
#include "grid/thumbnaillistmodel.h"
#include "ui/mainwindow.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QListView>
#include <QSettings>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>

#include <optional>

// Marking a whole cold folder from the grid of the real main window, as a
// user does right after opening it: Ctrl+A, then 3.
namespace {

constexpr int photoCount = 300;

int sidecarsIn(const QString &dir)
{
    return int(QDir(dir).entryList({QStringLiteral("*.xmp")}, QDir::Files).size());
}

struct MarkRun
{
    double ms = -1;            // Ctrl+A to the last sidecar on disk
    int sidecars = 0;          // on disk at the end
    int rated = 0;             // of the photos, read back with three stars
    int thumbnailsAtKeys = 0;  // rows with a picture when the keys were pressed
    QString statusAfterKeys;   // what the status bar said right after them
    double exiftoolMs = -1;
};

const MarkRun &markRun(const BenchContext &ctx)
{
    static std::optional<MarkRun> result;
    if (result)
        return *result;
    const QStringList files = bench::cameraFolder(ctx.dataDir, QStringLiteral("marks300"), photoCount);
    const QString dir = QFileInfo(files.first()).absolutePath();
    // Unmarked photos and a cold thumbnail cache, every run.
    for (const QString &name : QDir(dir).entryList({QStringLiteral("*.xmp")}, QDir::Files))
        QFile::remove(dir + QLatin1Char('/') + name);
    ThumbnailDiskCache().clearAll();

    MarkRun r;
    QSettings().setValue(QStringLiteral("lastDirectory"), dir);
    {
        MainWindow window;
        window.resize(1600, 1000);
        window.show();
        QApplication::setActiveWindow(&window);
        auto *catalog = window.findChild<PhotoCatalog *>();
        auto *grid = window.findChild<ThumbnailGridWidget *>();
        bench::waitFor([&] { return catalog->isScanned() && catalog->allFiles().size() == photoCount; }, 60000);
        window.findChild<QAction *>(QStringLiteral("gridAction"))->trigger();
        QCoreApplication::processEvents();
        QListView *view = grid->listView();
        view->setFocus();

        QElapsedTimer timer;
        timer.start();
        QTest::keyClick(view, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(view, Qt::Key_3);
        r.statusAfterKeys = window.statusBar()->currentMessage();
        for (int row = 0; row < grid->model()->rowCount(); ++row) {
            const int state = grid->model()->stateOf(grid->model()->pathAt(row));
            r.thumbnailsAtKeys += state == Ready || state == Failed;
        }
        if (bench::waitFor([&] { return sidecarsIn(dir) >= photoCount; }, 20000, 10))
            r.ms = timer.nsecsElapsed() / 1e6;
        bench::waitFor([&] { return catalog->pendingWriteCount() == 0 && !catalog->isMetadataBatchBusy(); }, 60000);
    }
    QSettings().remove(QStringLiteral("lastDirectory"));
    r.sidecars = sidecarsIn(dir);
    for (const QString &photo : files)
        r.rated += PhotoCore::readMetadata(photo).rating == 3;

    // The peer: exiftool writing the same 300 sidecars in one process.
    QTemporaryDir out;
    r.exiftoolMs = bench::commandMedianMs(1, QStringLiteral("exiftool"),
                                          QStringList{QStringLiteral("-q"), QStringLiteral("-q"), QStringLiteral("-o"),
                                                      out.path() + QStringLiteral("/%f.xmp"),
                                                      QStringLiteral("-XMP-xmp:Rating=3")}
                                              + files);
    result = r;
    return *result;
}

const BenchRegistration selectAllMark300{"grid.selectAllMark300", [](const BenchContext &ctx) {
    const MarkRun &m = markRun(ctx);
    // A time counts only when every photo reads back the mark.
    BenchResult r{m.ms > 0 && m.rated == photoCount ? m.ms : -1, QStringLiteral("ms"), {}};
    r.detail.insert(QStringLiteral("target"), 3000);
    r.detail.insert(QStringLiteral("photos"), photoCount);
    r.detail.insert(QStringLiteral("sidecars_on_disk"), m.sidecars);
    r.detail.insert(QStringLiteral("rated_three"), m.rated);
    r.detail.insert(QStringLiteral("thumbnails_at_keys"), m.thumbnailsAtKeys);
    r.detail.insert(QStringLiteral("status_after_keys"), m.statusAfterKeys);
    if (m.exiftoolMs > 0) {
        r.detail.insert(QStringLiteral("exiftool_ms"), m.exiftoolMs);
        if (m.ms > 0)
            r.detail.insert(QStringLiteral("ratio_to_exiftool"), m.ms / m.exiftoolMs);
    }
    if (m.ms < 0) {
        r.detail.insert(QStringLiteral("error"),
                        QStringLiteral("%1 of %2 sidecars on disk 20 s after Ctrl+A, 3; the status bar said: %3")
                            .arg(m.sidecars)
                            .arg(photoCount)
                            .arg(m.statusAfterKeys));
    } else if (m.rated != photoCount) {
        r.detail.insert(QStringLiteral("sidecars_ms"), m.ms);
        r.detail.insert(QStringLiteral("error"),
                        QStringLiteral("only %1 of %2 sidecars read back three stars").arg(m.rated).arg(photoCount));
    }
    return r;
}};

} // namespace
