#include "viewer/photocanvas.h"
#include "viewer/viewerwidget.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QSettings>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

// The photos ahead must survive their own preloading: with today's large photos
// the decoded-preview budget holds only a few, so the preload window has to
// shrink to what fits, and photos in it must outrank the ones already viewed.
class TestPreloadWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void offsets_data();
    void offsets();
    void steppingThroughLargePhotosHitsTheCache_data();
    void steppingThroughLargePhotosHitsTheCache();
    void steppingAtActualSizeFindsFullPictures_data();
    void steppingAtActualSizeFindsFullPictures();

private:
    QTemporaryDir tmp;
};

void TestPreloadWindow::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QCoreApplication::setOrganizationName(QStringLiteral("Quillmark"));
    QCoreApplication::setApplicationName(QStringLiteral("Glanceway"));
    QSettings().clear();
    QVERIFY(tmp.isValid());
}

void TestPreloadWindow::offsets_data()
{
    const qint64 budget = 512 * 1024;
    QTest::addColumn<int>("direction");
    QTest::addColumn<qint64>("costKiB");
    QTest::addColumn<QList<int>>("expected");
    const QList<int> forwards{1, 2, 3, 4, 5, 6, -1, 7, 8, 9, 10, 11, 12, -2, -3, -4, -5, -6};
    QList<int> backwards;
    for (int offset : forwards)
        backwards.append(-offset);
    QTest::newRow("small-photo-full-window") << 1 << qint64(12000) << forwards;
    QTest::newRow("backwards-full-window") << -1 << qint64(12000) << backwards;
    QTest::newRow("unknown-cost-full-window") << 1 << qint64(0) << forwards;
    // A 24 MP photo decoded for a 1600 x 1000 view (1500 x 1000): the whole window fits.
    QTest::newRow("24mp-for-the-screen") << 1 << qint64(1500 * 1000 * 4 / 1024) << forwards;
    QTest::newRow("seven-fit-exactly") << 1 << budget / 8 << QList<int>{1, 2, 3, 4, 5, 6, -1};
    QTest::newRow("one-too-many") << 1 << budget / 8 + 1 << QList<int>{1, 2, 3, 4, 5, 6};
    QTest::newRow("24mp-full-size") << 1 << qint64(6000 * 4000 * 4 / 1024) << QList<int>{1, 2, 3, 4};
    QTest::newRow("20mp-backwards") << -1 << qint64(5472 * 3648 * 4 / 1024) << QList<int>{-1, -2, -3, -4, -5};
    QTest::newRow("half-budget") << 1 << budget / 2 << QList<int>{1};
    QTest::newRow("larger-than-budget") << 1 << budget + 1 << QList<int>{};
}

void TestPreloadWindow::offsets()
{
    QFETCH(int, direction);
    QFETCH(qint64, costKiB);
    QFETCH(QList<int>, expected);
    QCOMPARE(preloadOffsets(direction, costKiB, 512 * 1024), expected);
}

void TestPreloadWindow::steppingThroughLargePhotosHitsTheCache_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<int>("count");
    QTest::newRow("24mp") << QSize(6000, 4000) << 14;
    QTest::newRow("20mp") << QSize(5472, 3648) << 14;
}

void TestPreloadWindow::steppingThroughLargePhotosHitsTheCache()
{
    QFETCH(QSize, size);
    QFETCH(int, count);
    const QString dir = tmp.filePath(QString::fromLatin1(QTest::currentDataTag()));
    QVERIFY(QDir().mkpath(dir));
    QImage image(size, QImage::Format_RGB32);
    image.fill(QColor(90, 110, 130));
    const QString first = dir + QStringLiteral("/P0.jpg");
    QVERIFY(image.save(first, "JPEG", 50));
    QStringList files{first};
    for (int i = 1; i < count; ++i) {
        files.append(dir + QStringLiteral("/P%1.jpg").arg(i));
        QVERIFY(QFile::copy(first, files.last()));
    }

    PhotoCatalog catalog;
    ViewerWidget viewer(&catalog);
    viewer.resize(1600, 1000);
    catalog.openFiles(files);
    QTRY_VERIFY_WITH_TIMEOUT(!viewer.statusText().contains(QStringLiteral("loading")), 30000);
    for (int step = 1; step < count; ++step) {
        // Stepping slowly: every preload has finished before the next step.
        QTRY_COMPARE_WITH_TIMEOUT(viewer.pendingPreviewCount(), 0, 30000);
        catalog.next();
        QVERIFY2(viewer.statusText().contains(QStringLiteral(" — cache")),
                 qPrintable(QStringLiteral("step %1: %2").arg(step).arg(viewer.statusText())));
    }
    // Going back a few photos at once finds them decoded still.
    for (int step = 1; step <= 5; ++step) {
        catalog.previous();
        QVERIFY2(viewer.statusText().contains(QStringLiteral(" — cache")),
                 qPrintable(QStringLiteral("back %1: %2").arg(step).arg(viewer.statusText())));
    }
    // 100 % decodes the photo in full, in place of its decode for the screen.
    viewer.setActualSizeMode();
    auto *canvas = viewer.findChild<PhotoCanvas *>(QStringLiteral("photoCanvas"));
    QTRY_COMPARE_WITH_TIMEOUT(canvas->shownPicture().size(), size, 30000);
}

void TestPreloadWindow::steppingAtActualSizeFindsFullPictures_data()
{
    // At 100 % the photos ahead are decoded in full, and where their colours
    // are not the display's, converted too: the next photo is shown in full
    // the moment it becomes current, never first fitted or as a stand-in.
    QTest::addColumn<QSize>("size");
    QTest::addColumn<bool>("adobeRgb");
    QTest::newRow("24mp") << QSize(6000, 4000) << false;
    QTest::newRow("adobe-rgb") << QSize(3000, 2000) << true;
}

void TestPreloadWindow::steppingAtActualSizeFindsFullPictures()
{
    QFETCH(QSize, size);
    QFETCH(bool, adobeRgb);
    const QString dir = tmp.filePath(QStringLiteral("full-") + QString::fromLatin1(QTest::currentDataTag()));
    QVERIFY(QDir().mkpath(dir));
    QImage image(size, QImage::Format_RGB32);
    image.fill(QColor(200, 60, 60));
    if (adobeRgb)
        image.setColorSpace(QColorSpace::AdobeRgb);
    const QString first = dir + QStringLiteral("/P0.jpg");
    QVERIFY(image.save(first, "JPEG", 50));
    QStringList files{first};
    for (int i = 1; i < 7; ++i) {
        files.append(dir + QStringLiteral("/P%1.jpg").arg(i));
        QVERIFY(QFile::copy(first, files.last()));
    }

    PhotoCatalog catalog;
    ViewerWidget viewer(&catalog);
    viewer.resize(1600, 1000);
    catalog.openFiles(files);
    QTRY_VERIFY_WITH_TIMEOUT(!viewer.statusText().contains(QStringLiteral("loading")), 30000);
    // Decoded for the screen first; the zoom has the photos ahead decoded again.
    QTRY_COMPARE_WITH_TIMEOUT(viewer.pendingPreviewCount(), 0, 30000);
    viewer.setActualSizeMode();
    auto *canvas = viewer.findChild<PhotoCanvas *>(QStringLiteral("photoCanvas"));
    QTRY_COMPARE_WITH_TIMEOUT(canvas->fullPicture().size(), size, 30000);
    for (int step = 1; step < files.size(); ++step) {
        QTRY_COMPARE_WITH_TIMEOUT(viewer.pendingPreviewCount(), 0, 30000);
        catalog.next();
        QVERIFY2(canvas->fullPicture().size() == size && viewer.statusText().contains(QStringLiteral(" — cache")),
                 qPrintable(QStringLiteral("step %1: %2").arg(step).arg(viewer.statusText())));
    }
}

QTEST_MAIN(TestPreloadWindow)
#include "tst_preloadwindow.moc"
