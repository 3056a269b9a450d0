#include "bench/benchmark.h"
#include "bench/viewerbench.h"
#include "imaging/exifsummary.h"
#include "imaging/focuspoints.h"
#include "viewer/photocanvas.h"
#include "viewer/viewerwidget.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QtEndian>

#include <optional>
#include <vector>

// The camera's focus points: reading them from a 24 MP camera JPEG, and
// stepping at 100 % while the view follows each photo's focus point.

namespace {

constexpr int runs = 15;
constexpr int followPhotos = 40;

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The picture of a camera JPEG without its first APP1 (Exif) segment: what
// follows the start-of-image marker and that segment.
QByteArray pictureAfterExif(const QByteArray &jpeg)
{
    if (jpeg.size() < 6 || uchar(jpeg[2]) != 0xFF || uchar(jpeg[3]) != 0xE1)
        return jpeg.mid(2);
    return jpeg.mid(4 + qFromBigEndian<quint16>(jpeg.constData() + 4));
}

QByteArray app1Of(const QByteArray &jpeg)
{
    if (jpeg.size() < 6 || uchar(jpeg[2]) != 0xFF || uchar(jpeg[3]) != 0xE1)
        return {};
    return jpeg.mid(2, 2 + qFromBigEndian<quint16>(jpeg.constData() + 4));
}

void entry(QByteArray &b, quint16 tag, quint16 type, quint32 count, quint32 value)
{
    bench::putLe16(b, tag);
    bench::putLe16(b, type);
    bench::putLe32(b, count);
    bench::putLe32(b, value);
}

// An Exif APP1 as a Sony body writes its focus location: IFD0 with the
// make, the Exif IFD with the maker note, whose IFD holds FocusLocation.
QByteArray sonyApp1(int x, int y)
{
    const quint32 ifd0 = 8, makeAt = ifd0 + 2 + 2 * 12 + 4, exif = makeAt + 8;
    const quint32 noteAt = exif + 2 + 12 + 4, locationAt = noteAt + 12 + 2 + 12 + 4;
    QByteArray t("II*\0", 4);
    bench::putLe32(t, ifd0);
    bench::putLe16(t, 2);
    entry(t, 271, 2, 5, makeAt);
    entry(t, 34665, 4, 1, exif);
    bench::putLe32(t, 0);
    t.append("SONY\0\0\0\0", 8);
    bench::putLe16(t, 1);
    entry(t, 37500, 7, locationAt + 8 - noteAt, noteAt);
    bench::putLe32(t, 0);
    t.append("SONY DSC \0\0\0", 12);
    bench::putLe16(t, 1);
    entry(t, 0x2027, 3, 4, locationAt);
    bench::putLe32(t, 0);
    for (int v : {6000, 4000, x, y})
        bench::putLe16(t, quint16(v));
    const QByteArray payload = QByteArray("Exif\0\0", 6) + t;
    QByteArray app1("\xFF\xE1", 2);
    app1.append(char((payload.size() + 2) >> 8));
    app1.append(char((payload.size() + 2) & 0xFF));
    return app1 + payload;
}

// A 24 MP camera JPEG carrying the Exif segment, maker notes and all, of the
// Canon EOS RP photo of the tests.
QString canonPhoto(const BenchContext &ctx)
{
    const QString dir = ctx.dataDir + QStringLiteral("/focus24mp");
    const QString path = dir + QStringLiteral("/canon.jpg");
    bench::prepareOnce(dir, [&] {
        const QByteArray canon = readAll(ctx.testData + QStringLiteral("/cameras/Canon_EOS-RP__MG_0633.JPG"));
        const QByteArray camera = readAll(bench::cameraPhotos(ctx.dataDir).first());
        QFile f(path);
        if (f.open(QIODevice::WriteOnly))
            f.write(QByteArray("\xFF\xD8", 2) + app1Of(canon) + pictureAfterExif(camera));
    });
    return path;
}

// The focus point of photo `i` of the folder followed at 100 %, in 6000 × 4000 pixels.
QPoint followedPoint(int i)
{
    return QPoint(900 + (i * 1370) % 4200, 700 + (i * 910) % 2600);
}

QStringList followFolder(const BenchContext &ctx)
{
    const QStringList sources = bench::cameraPhotos(ctx.dataDir);
    const QString dir = ctx.dataDir + QStringLiteral("/focusfollow%1").arg(followPhotos);
    QStringList files;
    for (int i = 0; i < followPhotos; ++i)
        files << dir + QStringLiteral("/F%1.jpg").arg(i, 3, 10, QLatin1Char('0'));
    bench::prepareOnce(dir, [&] {
        for (int i = 0; i < followPhotos; ++i) {
            const QPoint at = followedPoint(i);
            QFile f(files[i]);
            if (f.open(QIODevice::WriteOnly))
                f.write(QByteArray("\xFF\xD8", 2) + sonyApp1(at.x(), at.y())
                        + pictureAfterExif(readAll(sources[i % sources.size()])));
        }
    });
    return files;
}

const BenchRegistration focusRead{"focus.read", [](const BenchContext &ctx) {
    const QString path = canonPhoto(ctx);
    int points = 0;
    // Many calls per timing: one call is far below the timer's useful resolution.
    const double ms = bench::medianMs(runs, [&] {
        for (int i = 0; i < 200; ++i)
            points = int(readFocusPoints(path).points.size());
    }) / 200.0;
    const double exifMs = bench::medianMs(runs, [&] {
        for (int i = 0; i < 200; ++i)
            readExifSummary(path);
    }) / 200.0;
    BenchResult r{ms, QStringLiteral("ms"), {}};
    r.detail.insert(QStringLiteral("photo"), QStringLiteral("6000x4000 JPEG with a Canon EOS RP's Exif and maker notes"));
    r.detail.insert(QStringLiteral("points"), points);
    r.detail.insert(QStringLiteral("exif_summary_ms"), exifMs);
    r.detail.insert(QStringLiteral("target_ms"), 0.3);
    return r;
}};

// Next photo at 100 % with the view following each photo's focus point,
// timed as viewer.zoomedStep is: from the key to the end of a synchronous
// repaint, once the preloads have settled.
const BenchRegistration followedStep{"viewer.zoomedStepFollowingFocus", [](const BenchContext &ctx) {
    const QStringList files = followFolder(ctx);
    PhotoCatalog catalog;
    ViewerWidget viewer(&catalog);
    bench::showViewer(viewer);
    auto *canvas = viewer.findChild<PhotoCanvas *>(QStringLiteral("photoCanvas"));
    const auto settle = [&] {
        bench::waitFor(
            [&] {
                const bool shown = viewer.zoom().isFit() ? !canvas->fitPicture().isNull() : !canvas->fullPicture().isNull();
                return shown && viewer.pendingPreviewCount() == 0;
            },
            120000, 20);
    };
    const bool followed = viewer.followsFocusPoint();
    viewer.setFollowFocusPoint(true);
    viewer.setFocusPointsShown(true);
    catalog.openFiles(files);
    settle();
    viewer.toggleViewMode();
    settle();
    std::vector<double> stepMs;
    int steps = 0, onPoint = 0;
    for (int i = 1; i <= 20 && !catalog.isAtLast(); ++i) {
        settle();
        ++steps;
        QElapsedTimer timer;
        timer.start();
        catalog.next();
        viewer.repaint();
        const double ms = timer.nsecsElapsed() / 1e6;
        if (bench::cacheHit(viewer) && !canvas->fullPicture().isNull())
            stepMs.push_back(ms);
        const QPointF expected(followedPoint(i).x() / 6000.0, followedPoint(i).y() / 4000.0);
        onPoint += (viewer.zoom().centre - expected).manhattanLength() < 1e-3 ? 1 : 0;
    }
    viewer.setFollowFocusPoint(followed);
    viewer.setFocusPointsShown(false);
    BenchResult r{stepMs.empty() ? -1 : bench::percentile(stepMs, 0.5), QStringLiteral("ms"), {}};
    r.detail.insert(QStringLiteral("p95_ms"), bench::percentile(stepMs, 0.95));
    r.detail.insert(QStringLiteral("steps"), steps);
    r.detail.insert(QStringLiteral("cached_steps"), int(stepMs.size()));
    r.detail.insert(QStringLiteral("centred_on_focus_point"), onPoint);
    r.detail.insert(QStringLiteral("view"), QStringLiteral("1600x1000, 24 MP photos"));
    r.detail.insert(QStringLiteral("target"), 30);
    return r;
}};

} // namespace
