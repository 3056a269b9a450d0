#include "catalog/photocatalog.h"
#include "imaging/imageanalysis.h"
#include "imaging/rawrender.h"
#include "tests/imaging/dngbuilder.h"
#include "viewer/analysisoverlay.h"
#include "viewer/photocanvas.h"
#include "viewer/viewerwidget.h"

#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

// A RAW file at 100 %: from its preview while that holds the sensor's
// pixels, otherwise from its sensor data once rendered, with the preview
// standing in meanwhile and kept when the sensor data cannot be read.

namespace {

struct Seen
{
    QStringList statuses;
    bool stoodInWhileRendering = false;
};

} // namespace

class TestRawZoom : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void actualSize_data();
    void actualSize();
    void fitReadsNoSensorData();
    void clippingFromRawData_data();
    void clippingFromRawData();

private:
    QTemporaryDir dir;
};

void TestRawZoom::initTestCase()
{
    QVERIFY(dir.isValid());
    QSettings().clear();
}

void TestRawZoom::actualSize_data()
{
    QTest::addColumn<QByteArray>("dng");
    QTest::addColumn<bool>("rendered");
    QTest::addColumn<QSize>("shown");
    QTest::addColumn<QString>("status");
    QTest::addColumn<QString>("warning");

    testdng::Options small;
    small.preview = QSize(32, 24);
    testdng::Options covering;
    covering.preview = QSize(64, 48);
    testdng::Options damaged = small;
    damaged.stripBytes = 64 * 8 * 2;
    testdng::Options huge = small;
    huge.declared = QSize(60000, 40000);
    testdng::Options turned = small;
    turned.orientation = 6;

    QTest::newRow("small-preview") << testdng::build(small) << true << QSize(64, 48)
                                   << QStringLiteral("100 % — Sensor 64 × 48") << QString();
    QTest::newRow("small-preview-turned") << testdng::build(turned) << true << QSize(48, 64)
                                          << QStringLiteral("100 % — Sensor 48 × 64") << QString();
    QTest::newRow("preview-covers-sensor") << testdng::build(covering) << false << QSize(64, 48)
                                           << QStringLiteral("100 % — Preview 64 × 48") << QString();
    QTest::newRow("damaged-sensor-data") << testdng::build(damaged) << false << QSize(32, 24)
                                         << QStringLiteral("100 % — Preview 32 × 24")
                                         << QStringLiteral("The RAW data is damaged or incomplete.");
    QTest::newRow("huge-declared-size") << testdng::build(huge) << false << QSize(32, 24)
                                        << QStringLiteral("100 % — Preview 32 × 24")
                                        << QStringLiteral("needs more memory");
}

void TestRawZoom::actualSize()
{
    QFETCH(QByteArray, dng);
    QFETCH(bool, rendered);
    QFETCH(QSize, shown);
    QFETCH(QString, status);
    QFETCH(QString, warning);
    const QString path = dir.filePath(QStringLiteral("%1.dng").arg(QTest::currentDataTag()));
    QVERIFY(testimg::writeFile(path, dng));

    PhotoCatalog catalog;
    ViewerWidget viewer(&catalog);
    viewer.resize(800, 600);
    viewer.show();
    QVERIFY(QTest::qWaitForWindowExposed(&viewer));
    auto *canvas = viewer.findChild<PhotoCanvas *>(QStringLiteral("photoCanvas"));
    QVERIFY(canvas);
    catalog.openFiles({path});
    QTRY_VERIFY(!canvas->fitPicture().isNull() && viewer.pendingPreviewCount() == 0);

    Seen seen;
    connect(&viewer, &ViewerWidget::stateChanged, this, [&] {
        const QString text = viewer.statusText();
        seen.statuses.append(text);
        if (text.contains(QStringLiteral("Rendering RAW…")) && canvas->isStandingIn() && canvas->fullPicture().isNull())
            seen.stoodInWhileRendering = true;
    });
    QSignalSpy warnings(&viewer, &ViewerWidget::warningRaised);
    viewer.setActualSizeMode();
    QTRY_VERIFY_WITH_TIMEOUT(!canvas->fullPicture().isNull() && viewer.pendingPreviewCount() == 0, 20000);

    QCOMPARE(canvas->fullPicture().size(), shown);
    QCOMPARE(viewer.showsRawRender(), rendered);
    QVERIFY2(viewer.statusText().contains(status), qPrintable(viewer.statusText()));
    const bool rendering = !seen.statuses.filter(QStringLiteral("Rendering RAW…")).isEmpty();
    // Rendered or refused, the sensor data was asked for; a covering preview never asks.
    QCOMPARE(rendering, rendered || !warning.isEmpty());
    if (rendered)
        QVERIFY(seen.stoodInWhileRendering);
    if (warning.isEmpty()) {
        QCOMPARE(warnings.count(), 0);
    } else {
        QCOMPARE(warnings.count(), 1);
        const QString message = warnings.first().first().toString();
        QVERIFY2(message.contains(warning) && message.contains(QStringLiteral("embedded preview is shown instead")),
                 qPrintable(message));
    }

    // Back at Fit the preview is what is shown; at 100 % again the render is still there.
    viewer.setFitMode();
    QVERIFY(!viewer.showsRawRender());
    viewer.setActualSizeMode();
    QTRY_COMPARE(canvas->fullPicture().size(), shown);
    QCOMPARE(viewer.showsRawRender(), rendered);
}

void TestRawZoom::fitReadsNoSensorData()
{
    testdng::Options small;
    small.preview = QSize(32, 24);
    const QString path = dir.filePath(QStringLiteral("fit.dng"));
    QVERIFY(testimg::writeFile(path, testdng::build(small)));

    PhotoCatalog catalog;
    ViewerWidget viewer(&catalog);
    viewer.resize(800, 600);
    viewer.show();
    QVERIFY(QTest::qWaitForWindowExposed(&viewer));
    auto *canvas = viewer.findChild<PhotoCanvas *>(QStringLiteral("photoCanvas"));
    QStringList statuses;
    connect(&viewer, &ViewerWidget::stateChanged, this, [&] { statuses.append(viewer.statusText()); });
    catalog.openFiles({path});
    QTRY_VERIFY(!canvas->fitPicture().isNull() && viewer.pendingPreviewCount() == 0);
    viewer.previewThreadPool()->waitForDone();
    QCoreApplication::processEvents();
    QVERIFY(!viewer.showsRawRender());
    // Had Fit rendered the sensor data, 100 % would find it ready.
    statuses.clear();
    viewer.setActualSizeMode();
    QTRY_VERIFY_WITH_TIMEOUT(viewer.showsRawRender(), 20000);
    QVERIFY(!statuses.filter(QStringLiteral("Rendering RAW")).isEmpty());
}

void TestRawZoom::clippingFromRawData_data()
{
    QTest::addColumn<bool>("preferred");
    QTest::addColumn<bool>("turned");
    QTest::newRow("from the raw data") << true << false;
    QTest::newRow("from the raw data, turned by the user") << true << true;
    QTest::newRow("from the shown pixels") << false << false;
}

void TestRawZoom::clippingFromRawData()
{
    QFETCH(bool, preferred);
    QFETCH(bool, turned);
    // Mid-grey sensor data with three photosites at the white level; the
    // preview (the quadrants) has whole quarters at 255 that the render lacks.
    testdng::Options o;
    o.preview = QSize(32, 24);
    o.flatLevel = 1200;
    const QList<QPoint> clipped{{10, 10}, {31, 20}, {41, 33}};
    for (const QPoint &at : clipped)
        o.sites.append({at, quint16(testdng::white)});
    const QString path = dir.filePath(QStringLiteral("clipped-%1-%2.dng").arg(preferred).arg(turned));
    QVERIFY(testimg::writeFile(path, testdng::build(o)));
    QSettings().setValue(QLatin1String(rawClippingSetting), true);

    PhotoCatalog catalog;
    ViewerWidget viewer(&catalog);
    viewer.resize(800, 600);
    viewer.show();
    QVERIFY(QTest::qWaitForWindowExposed(&viewer));
    auto *canvas = viewer.findChild<PhotoCanvas *>(QStringLiteral("photoCanvas"));
    QVERIFY(canvas);
    AnalysisLayers layers;
    layers.clipping = true;
    layers.histogram = true;
    viewer.setAnalysisLayers(layers);
    AnalysisOverlay *overlay = viewer.analysisOverlay();
    QVERIFY(overlay);
    catalog.openFiles({path});
    QTRY_VERIFY(!canvas->fitPicture().isNull() && viewer.pendingPreviewCount() == 0);
    // At Fit the preview is shown: its own pixels decide.
    QTRY_VERIFY(overlay->isCurrent() && !overlay->histogram().isEmpty());
    const quint64 fitBlown = ImageAnalysis::histogram(canvas->fitPicture()).blown;
    QVERIFY(fitBlown > 0);
    QCOMPARE(overlay->histogram().blown, fitBlown);

    viewer.setActualSizeMode();
    QTRY_VERIFY_WITH_TIMEOUT(viewer.showsRawRender() && viewer.pendingPreviewCount() == 0, 20000);
    QSettings().setValue(QLatin1String(rawClippingSetting), preferred);
    viewer.refreshRawClipping();
    if (turned) {
        viewer.rotateClockwise();
        QTRY_COMPARE(canvas->fullPicture().size(), QSize(48, 64));
    }
    QTRY_VERIFY(overlay->isCurrent() && !overlay->histogram().isEmpty());
    QCOMPARE(overlay->rawBlown().isNull(), !preferred);

    const QImage full = canvas->fullPicture();
    const QRectF area = canvas->photoArea();
    QCOMPARE(area.size(), QSizeF(full.size()));
    const QImage drawn = overlay->grab().toImage().convertToFormat(QImage::Format_RGB32);
    // Where a stored pixel is shown.
    const auto placed = [&](const QPoint &at) { return turned ? QPoint(47 - at.y(), at.x()) : at; };
    const auto markedAt = [&](const QPoint &at) {
        return drawn.pixel(area.topLeft().toPoint() + placed(at))
               == (AnalysisOverlay::blownColour | 0xff000000u);
    };
    const ImageAnalysis::Histogram shown = ImageAnalysis::histogram(full);
    if (preferred) {
        // Each clipped photosite marks its 2 × 2 cell; nothing else is blown.
        const double share = 4.0 * clipped.size() / (64.0 * 48.0);
        QCOMPARE(ImageAnalysis::markedShare(overlay->rawBlown()), share);
        const ImageAnalysis::Histogram h = overlay->histogram();
        QVERIFY2(qAbs(h.blownPercent() - 100 * share) < 0.05, qPrintable(overlay->blownText()));
        for (const QPoint &at : clipped)
            QVERIFY2(markedAt(at), qPrintable(QStringLiteral("%1,%2").arg(at.x()).arg(at.y())));
        QVERIFY(!markedAt(QPoint(20, 30)));
    } else {
        // The histogram is the fit picture's, the marks the shown pixels'.
        QCOMPARE(overlay->histogram().blown, ImageAnalysis::histogram(canvas->fitPicture()).blown);
        for (const QPoint &at : clipped) {
            const QRgb pixel = full.pixel(placed(at));
            const bool at255 = qRed(pixel) == 255 || qGreen(pixel) == 255 || qBlue(pixel) == 255;
            QCOMPARE(markedAt(at), at255);
        }
    }
    QVERIFY(shown.samples > 0);
}

QTEST_MAIN(TestRawZoom)
#include "tst_rawzoom.moc"
