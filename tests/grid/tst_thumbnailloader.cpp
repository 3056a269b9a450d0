#include "grid/thumbnaildiskcache.h"
#include "grid/thumbnailloader.h"
#include "imaging/tiffbuilder.h"
#include "poolgate.h"

#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// Paths in reporting order, failures included.
struct Reports
{
    explicit Reports(ThumbnailLoader *loader)
    {
        QObject::connect(loader, &ThumbnailLoader::thumbnailLoaded, loader,
                         [this](const QString &path, const QImage &image, ThumbnailLoader::Stage stage) {
                             paths << path;
                             images << image;
                             stages << stage;
                         });
        QObject::connect(loader, &ThumbnailLoader::thumbnailFailed, loader, [this](const QString &path) {
            paths << path;
            images << QImage();
            stages << -1;
        });
    }
    QStringList paths;
    QList<QImage> images;
    QList<int> stages;
};

// Runs what is queued and delivers what it reported.
void drain(ThumbnailLoader &loader)
{
    loader.threadPool()->waitForDone();
    QCoreApplication::processEvents();
}

QString photo(const QTemporaryDir &dir, const QString &name)
{
    const QString path = dir.filePath(name);
    QFile::copy(QStringLiteral(GLANCEWAY_TESTDATA "/fixtures/fixture.jpg"), path);
    return path;
}

} // namespace

class TestThumbnailLoader : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cancelledOrStaleNeverReports_data();
    void cancelledOrStaleNeverReports();
    void failedPathIsNotRetried_data();
    void failedPathIsNotRetried();
    void pinnedPathsSurviveWindowChange();
    void interimHasPhotoShape_data();
    void interimHasPhotoShape();
};

void TestThumbnailLoader::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QCoreApplication::setOrganizationName(QStringLiteral("Quillmark"));
    QCoreApplication::setApplicationName(QStringLiteral("Glanceway"));
}

void TestThumbnailLoader::init()
{
    // The previous test's loads may still be storing a thumbnail, which
    // Windows does not let anyone remove until it is written.
    QTRY_VERIFY(ThumbnailDiskCache().clearAll());
}

void TestThumbnailLoader::cancelledOrStaleNeverReports_data()
{
    QTest::addColumn<bool>("ran"); // the job had done its work before the action
    QTest::addColumn<QString>("action");
    QTest::addColumn<bool>("reports");
    QTest::newRow("queued-window-change") << false << "cancelQueued" << false;
    QTest::newRow("queued-stop") << false << "stop" << false;
    QTest::newRow("queued-folder-change") << false << "reset" << false;
    QTest::newRow("ran-stop") << true << "stop" << false;
    QTest::newRow("ran-folder-change") << true << "reset" << false;
    QTest::newRow("ran-colour-change") << true << "reload" << false;
    // Too late to cancel: a window change still takes the picture.
    QTest::newRow("ran-window-change") << true << "cancelQueued" << true;
}

void TestThumbnailLoader::cancelledOrStaleNeverReports()
{
    QFETCH(bool, ran);
    QFETCH(QString, action);
    QFETCH(bool, reports);
    QTemporaryDir dir;
    const QString path = photo(dir, QStringLiteral("IMG_0001.jpg"));
    ThumbnailLoader loader;
    Reports reported(&loader);
    PoolGate gate(loader.threadPool());
    QVERIFY(loader.request(path));
    QVERIFY(!loader.request(path)); // in flight
    if (ran) {
        gate.release();
        loader.threadPool()->waitForDone(); // done, its report not yet delivered
        QCOMPARE(loader.stats().executed, 1u);
    }

    QStringList cancelled;
    if (action == QLatin1String("cancelQueued"))
        cancelled = loader.cancelQueued();
    else
        QMetaObject::invokeMethod(&loader, action.toLatin1().constData());
    gate.release();
    drain(loader);
    QCOMPARE(reported.paths, reports ? QStringList{path} : QStringList());
    if (action == QLatin1String("cancelQueued"))
        QCOMPARE(cancelled, !ran ? QStringList{path} : QStringList());
    QCOMPARE(loader.stats().executed, ran ? 1u : 0u);

    // Nothing is left waiting for the dropped job: the path can be asked for again.
    QVERIFY(!loader.isInFlight(path));
    QVERIFY(loader.request(path));
    drain(loader);
    QCOMPARE(reported.paths.size(), reports ? 2 : 1);
}

void TestThumbnailLoader::failedPathIsNotRetried_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<bool>("retried");
    QTest::newRow("asked-again") << QString() << false;
    QTest::newRow("window-change") << "cancelQueued" << false;
    QTest::newRow("stop") << "stop" << false;
    QTest::newRow("colour-change") << "reload" << true;
    QTest::newRow("folder-change") << "reset" << true;
}

void TestThumbnailLoader::failedPathIsNotRetried()
{
    QFETCH(QString, action);
    QFETCH(bool, retried);
    QTemporaryDir dir;
    const QString broken = dir.filePath(QStringLiteral("broken.jpg"));
    QVERIFY(testimg::writeFile(broken, QByteArray("not a picture")));
    ThumbnailLoader loader;
    Reports reported(&loader);
    QVERIFY(loader.request(broken));
    drain(loader);
    QCOMPARE(reported.stages, QList<int>{-1});
    QVERIFY(loader.hasFailed(broken));

    if (!action.isEmpty())
        QMetaObject::invokeMethod(&loader, action.toLatin1().constData());
    const quint64 requested = loader.stats().requested;
    QCOMPARE(loader.request(broken), retried);
    QVERIFY(!loader.request(broken));
    drain(loader);
    QCOMPARE(loader.stats().requested, requested + (retried ? 1 : 0));
    QCOMPARE(reported.paths.size(), retried ? 2 : 1);
}

void TestThumbnailLoader::pinnedPathsSurviveWindowChange()
{
    QTemporaryDir dir;
    const QString a = photo(dir, QStringLiteral("a.jpg")), b = photo(dir, QStringLiteral("b.jpg"));
    const QString c = photo(dir, QStringLiteral("c.jpg"));
    ThumbnailLoader loader;
    Reports reported(&loader);
    PoolGate gate(loader.threadPool());
    loader.pin({a, b});
    QVERIFY(loader.request(c));
    // Pinned, and now in the window too: it moves ahead of the other pin.
    QVERIFY(loader.request(b, ThumbnailLoader::windowPriority));

    QCOMPARE(loader.cancelQueued(), QStringList{c});
    QVERIFY(loader.isInFlight(a) && loader.isInFlight(b));
    gate.release();
    drain(loader);
    QCOMPARE(reported.paths, (QStringList{b, a}));
    QVERIFY(loader.pinnedPaths().isEmpty()); // each reported

    // Stopping drops their jobs but not the wish.
    loader.pin({c});
    loader.stop();
    QVERIFY(!loader.isInFlight(c));
    QCOMPARE(loader.pinnedPaths(), QStringList{c});
}

void TestThumbnailLoader::interimHasPhotoShape_data()
{
    QTest::addColumn<QSize>("stored"); // the photo as its pixels are stored
    QTest::addColumn<int>("orientation");
    QTest::addColumn<QSize>("interim");
    QTest::addColumn<QSize>("final");
    // The Exif thumbnail is 160 × 120 in every file.
    QTest::newRow("3:2-photo") << QSize(600, 400) << 0 << QSize(160, 107) << QSize(512, 341);
    QTest::newRow("3:2-photo-turned") << QSize(600, 400) << 6 << QSize(107, 160) << QSize(341, 512);
    QTest::newRow("16:9-photo") << QSize(640, 360) << 0 << QSize(160, 90) << QSize(512, 288);
    QTest::newRow("same-shape") << QSize(640, 480) << 0 << QSize(160, 120) << QSize(512, 384);
    // Lying the other way round, it does not show the photo as it is shown.
    QTest::newRow("thumbnail-across") << QSize(400, 600) << 0 << QSize(160, 120) << QSize(341, 512);
}

void TestThumbnailLoader::interimHasPhotoShape()
{
    QFETCH(QSize, stored);
    QFETCH(int, orientation);
    QFETCH(QSize, interim);
    QFETCH(QSize, final);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("IMG_0001.jpg"));
    QVERIFY(testimg::writeFile(path, testimg::jpegWithExifThumbnail(testimg::jpeg(stored.width(), stored.height()),
                                                                    testimg::jpeg(160, 120), quint16(orientation))));
    ThumbnailLoader loader;
    Reports reported(&loader);
    QVERIFY(loader.request(path));
    drain(loader);
    QCOMPARE(reported.stages, QList<int>{ThumbnailLoader::Interim});
    QCOMPARE(reported.images.at(0).size(), interim);
    QVERIFY(loader.isInterim(path));

    QVERIFY(loader.requestRefinement(path));
    QVERIFY(!loader.requestRefinement(path)); // in flight
    drain(loader);
    QCOMPARE(reported.stages, (QList<int>{ThumbnailLoader::Interim, ThumbnailLoader::Refinement}));
    QCOMPARE(reported.images.at(1).size(), final);
    QVERIFY(!loader.isInterim(path));
}

QTEST_MAIN(TestThumbnailLoader)
#include "tst_thumbnailloader.moc"
