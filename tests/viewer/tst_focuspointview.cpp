#include "testphotos.h"
#include "imaging/makernotes.h"
#include "viewer/focuspointoverlay.h"
#include "viewer/photocanvas.h"
#include "viewer/viewerwidget.h"

#include <QLabel>
#include <QSettings>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

namespace {

// A decodable 1600 × 1200 photo whose Exif carries a Sony maker note with the
// focus location at `focus` (relative), or no maker note when `focus` is null.
bool savePhoto(const QString &path, const QPointF &focus)
{
    using namespace testnotes;
    const QByteArray picture = testimg::jpeg(1600, 1200, QColor(40, 90, 110));
    const Camera camera{"SONY", "ILCE-7M3", 1, 1600, 1200};
    const QByteArray exifJpeg = cameraJpeg(camera, focus.isNull() ? fixedNote({})
                                                                  : sonyNote({1600, 1200, int(focus.x() * 1600),
                                                                              int(focus.y() * 1200)}));
    // Its APP1 segment, put right after the picture's start-of-image marker.
    const QByteArray app1 = exifJpeg.mid(2, exifJpeg.size() - 4);
    return testimg::writeFile(path, picture.left(2) + app1 + picture.mid(2));
}

bool near(const QPointF &a, const QPointF &b)
{
    return qAbs(a.x() - b.x()) < 1e-3 && qAbs(a.y() - b.y()) < 1e-3;
}

} // namespace

class TestFocusPointView : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void pointsDrawnOverEachPhoto();
    void zoomKeyCentresOnFocusPoint_data();
    void zoomKeyCentresOnFocusPoint();
    void steppingAtZoom_data();
    void steppingAtZoom();
    void bothComparePanes();
    void exifOverlayNamesTheSource();

private:
    // Three photos: focused top left, focused right of the middle, without focus data.
    QStringList threePhotos();
    void showAndOpen(ViewerWidget &viewer, const QStringList &files);

    QTemporaryDir tmp;
};

void TestFocusPointView::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QCoreApplication::setOrganizationName(QStringLiteral("Quillmark"));
    QCoreApplication::setApplicationName(QStringLiteral("Glanceway"));
    QLocale::setDefault(QLocale::c());
    QVERIFY(tmp.isValid());
}

void TestFocusPointView::init()
{
    QSettings().clear();
    QSettings().setValue(QStringLiteral("rating/autoAdvance"), false);
}

QStringList TestFocusPointView::threePhotos()
{
    const QString dir = freshDir(tmp);
    const QStringList files{dir + QStringLiteral("/A.jpg"), dir + QStringLiteral("/B.jpg"), dir + QStringLiteral("/C.jpg")};
    if (!savePhoto(files[0], QPointF(0.3, 0.3)) || !savePhoto(files[1], QPointF(0.7, 0.6)) || !savePhoto(files[2], QPointF()))
        return {};
    return files;
}

void TestFocusPointView::showAndOpen(ViewerWidget &viewer, const QStringList &files)
{
    viewer.resize(800, 600);
    viewer.show();
    QVERIFY(QTest::qWaitForWindowExposed(&viewer));
    QSignalSpy scanned(viewer.catalog(), &PhotoCatalog::summaryChanged);
    viewer.catalog()->openFiles(files);
    QVERIFY(scanned.wait());
    QTRY_VERIFY(!viewer.statusText().contains(QStringLiteral("loading")));
}

// The frame lies where the camera focused, in the photo as fitted, and
// follows each step and turn.
void TestFocusPointView::pointsDrawnOverEachPhoto()
{
    const QStringList files = threePhotos();
    QVERIFY(!files.isEmpty());
    PhotoCatalog catalog;
    ViewerWidget viewer(&catalog);
    showAndOpen(viewer, files);
    auto *overlay = viewer.findChild<FocusPointOverlay *>(QStringLiteral("focusPointOverlay"));
    auto *canvas = viewer.findChild<PhotoCanvas *>(QStringLiteral("photoCanvas"));
    QVERIFY(overlay && canvas);
    QVERIFY(!overlay->isVisible());
    viewer.setFocusPointsShown(true);
    QVERIFY(overlay->isVisible());

    const auto frameCentre = [&] {
        const QList<QRectF> rects = overlay->pointRects(overlay->points());
        return rects.size() == 1 ? rects.first().center() : QPointF(-1, -1);
    };
    const QRectF photo = canvas->photoArea();
    QVERIFY(!photo.isEmpty());
    QVERIFY(near(frameCentre(), photo.topLeft() + QPointF(0.3 * photo.width(), 0.3 * photo.height())));
    // Drawn: the frame's left edge shows the outline's colour, not the photo's.
    const QImage shot = canvas->grab().toImage();
    const QRgb edge = shot.pixel(overlay->pointRects(overlay->points()).first().left(), frameCentre().y());
    QVERIFY2(qRed(edge) > 200 && qGreen(edge) > 160, qPrintable(QString::number(edge, 16)));

    catalog.next();
    QTRY_VERIFY(near(frameCentre(), photo.topLeft() + QPointF(0.7 * photo.width(), 0.6 * photo.height())));
    viewer.rotateClockwise();
    const QRectF turned = canvas->photoArea();
    QTRY_VERIFY(near(frameCentre(), turned.topLeft() + QPointF(0.4 * turned.width(), 0.7 * turned.height())));
    catalog.next();
    QTRY_VERIFY(overlay->points().isEmpty());
}

void TestFocusPointView::zoomKeyCentresOnFocusPoint_data()
{
    QTest::addColumn<int>("photo");
    QTest::addColumn<QPointF>("centre");
    QTest::newRow("focus-point") << 0 << QPointF(0.3, 0.3);
    QTest::newRow("no-focus-data-middle") << 2 << QPointF(0.5, 0.5);
}

void TestFocusPointView::zoomKeyCentresOnFocusPoint()
{
    QFETCH(int, photo);
    QFETCH(QPointF, centre);
    const QStringList files = threePhotos();
    PhotoCatalog catalog;
    ViewerWidget viewer(&catalog);
    showAndOpen(viewer, files);
    for (int i = 0; i < photo; ++i)
        catalog.next();
    viewer.toggleViewMode();
    QCOMPARE(viewer.viewMode(), int(ViewerWidget::ActualSize));
    QVERIFY(near(viewer.zoom().centre, centre));
    viewer.toggleViewMode();
    QCOMPARE(viewer.viewMode(), int(ViewerWidget::Fit));
}

// At 100 %, stepping keeps the framing unless following is on; then each
// photo's own focus point comes to the middle, and one without focus data
// keeps the framing it got.
void TestFocusPointView::steppingAtZoom_data()
{
    QTest::addColumn<bool>("follow");
    QTest::addColumn<QPointF>("onSecond");
    QTest::newRow("following") << true << QPointF(0.7, 0.6);
    QTest::newRow("not-following") << false << QPointF(0.3, 0.3);
}

void TestFocusPointView::steppingAtZoom()
{
    QFETCH(bool, follow);
    QFETCH(QPointF, onSecond);
    const QStringList files = threePhotos();
    {
        PhotoCatalog catalog;
        ViewerWidget viewer(&catalog);
        QVERIFY(!viewer.followsFocusPoint());
        viewer.setFollowFocusPoint(follow);
    }
    // The choice is kept for the next start.
    PhotoCatalog catalog;
    ViewerWidget viewer(&catalog);
    QCOMPARE(viewer.followsFocusPoint(), follow);
    showAndOpen(viewer, files);
    viewer.toggleViewMode();
    QVERIFY(near(viewer.zoom().centre, QPointF(0.3, 0.3)));
    catalog.next();
    QVERIFY(near(viewer.zoom().centre, onSecond));
    catalog.next();
    QVERIFY(near(viewer.zoom().centre, onSecond));
    QCOMPARE(viewer.viewMode(), int(ViewerWidget::ActualSize));
}

void TestFocusPointView::bothComparePanes()
{
    const QStringList files = threePhotos();
    PhotoCatalog catalog;
    ViewerWidget viewer(&catalog);
    showAndOpen(viewer, files);
    viewer.setFocusPointsShown(true);
    viewer.startCompare(files[0]);
    auto *pinned = viewer.findChild<FocusPointOverlay *>(QStringLiteral("pinnedFocusPointOverlay"));
    auto *candidate = viewer.findChild<FocusPointOverlay *>(QStringLiteral("focusPointOverlay"));
    QVERIFY(pinned->isVisible() && candidate->isVisible());
    QVERIFY(qAbs(pinned->points().points.value(0).x - 0.3) < 1e-9);
    QVERIFY(qAbs(candidate->points().points.value(0).x - 0.7) < 1e-9);
    QVERIFY(viewer.stepCandidate(+1));
    QTRY_VERIFY(candidate->points().isEmpty());
    QVERIFY(qAbs(pinned->points().points.value(0).x - 0.3) < 1e-9);
}

void TestFocusPointView::exifOverlayNamesTheSource()
{
    const QStringList files = threePhotos();
    PhotoCatalog catalog;
    ViewerWidget viewer(&catalog);
    showAndOpen(viewer, files);
    viewer.toggleExifOverlay();
    auto *exif = viewer.findChild<QLabel *>(QStringLiteral("exifOverlay"));
    QVERIFY(exif->text().contains(QStringLiteral("1 point (Sony FocusLocation)")));
    catalog.next();
    catalog.next();
    QTRY_VERIFY(exif->text().contains(QStringLiteral("not recorded")));
}

QTEST_MAIN(TestFocusPointView)
#include "tst_focuspointview.moc"
