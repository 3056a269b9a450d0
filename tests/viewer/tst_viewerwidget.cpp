#include "poolgate.h"
#include "testphotos.h"
#include "testrecords.h"
#include "core/sidecarpaths.h"
#include "core/xmpsidecar.h"
#include "imaging/exifsummary.h"
#include "viewer/photocanvas.h"
#include "viewer/viewerwidget.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QSettings>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>
#include <QWheelEvent>
#include <QMouseEvent>

using PhotoCore::Metadata;

namespace {

const QString star = QString(QChar(0x2605));

bool isLoading(const ViewerWidget &viewer)
{
    return viewer.statusText().contains(QStringLiteral("loading"));
}

// A photo in four flat quadrants split at `split` (relative to its size):
// `colours` top left, top right, bottom left, bottom right.
bool saveQuadrantPhoto(const QString &path, const QSize &size, const QList<QColor> &colours, const QPointF &split)
{
    QImage image(size, QImage::Format_RGB32);
    const int x = qRound(size.width() * split.x());
    const int y = qRound(size.height() * split.y());
    QPainter painter(&image);
    painter.fillRect(QRect(0, 0, x, y), colours[0]);
    painter.fillRect(QRect(x, 0, size.width() - x, y), colours[1]);
    painter.fillRect(QRect(0, y, x, size.height() - y), colours[2]);
    painter.fillRect(QRect(x, y, size.width() - x, size.height() - y), colours[3]);
    painter.end();
    return image.save(path, "JPEG", 95);
}

bool similar(QRgb a, QRgb b)
{
    return qAbs(qRed(a) - qRed(b)) <= 30 && qAbs(qGreen(a) - qGreen(b)) <= 30 && qAbs(qBlue(a) - qBlue(b)) <= 30;
}

} // namespace

class TestViewerWidget : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void filterChosenDuringScanAppliesOnArrival();
    void resumeRequestedDuringScan();

    void writeFailureKeepsMarks();
    void rotation_data();
    void rotation();

    void statusTextOfExample();
    void emptyStates_data();
    void emptyStates();
    void marksOverlay_data();
    void marksOverlay();
    void exifOverlay();
    void exifOverlayOfCameraFile();
    void shortcutOverlayPlacement_data();
    void shortcutOverlayPlacement();
    void keys_data();
    void keys();
    void wheel_data();
    void wheel();
    void zoomKeptWhileStepping_data();
    void zoomKeptWhileStepping();
    void zoomedFramingHeldWhileDecoding_data();
    void zoomedFramingHeldWhileDecoding();
    void compareZoomLinked();
    void compareZoomNamedOnceShown_data();
    void compareZoomNamedOnceShown();
    void compareCandidates_data();
    void compareCandidates();
    void slideshowIndicator_data();
    void slideshowIndicator();
    void rawPreviewNamedWhenZoomed_data();
    void rawPreviewNamedWhenZoomed();
    void viewModes();
    void rapidJumpsEndOnTheShownPhoto();
    void undecodablePhoto();
    void shownInDisplayColours_data();
    void shownInDisplayColours();

private:
    // Opens `files` and waits until the first photo is shown and the scan applied.
    void openAndSettle(ViewerWidget &viewer, const QStringList &files);
    // The same in a shown window of `size`, as pointer input needs.
    void showAndOpen(ViewerWidget &viewer, const QSize &size, const QStringList &files);
    // Waits until every mark written is on disk and reported back.
    void settleWrites(PhotoCatalog &catalog);

    QTemporaryDir tmp;
};

void TestViewerWidget::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QCoreApplication::setOrganizationName(QStringLiteral("Quillmark"));
    QCoreApplication::setApplicationName(QStringLiteral("Glanceway"));
    QLocale::setDefault(QLocale::c());
    QVERIFY(tmp.isValid());
}

void TestViewerWidget::init()
{
    QSettings().clear();
    QSettings().setValue(QStringLiteral("rating/autoAdvance"), false);
}

void TestViewerWidget::openAndSettle(ViewerWidget &viewer, const QStringList &files)
{
    QSignalSpy scanned(viewer.catalog(), &PhotoCatalog::summaryChanged);
    viewer.catalog()->openFiles(files);
    QVERIFY(scanned.wait());
    QTRY_VERIFY(!isLoading(viewer));
}

void TestViewerWidget::showAndOpen(ViewerWidget &viewer, const QSize &size, const QStringList &files)
{
    viewer.resize(size);
    viewer.show();
    QVERIFY(QTest::qWaitForWindowExposed(&viewer));
    openAndSettle(viewer, files);
}

void TestViewerWidget::settleWrites(PhotoCatalog &catalog)
{
    QTRY_COMPARE(catalog.pendingWriteCount(), 0);
}

void TestViewerWidget::filterChosenDuringScanAppliesOnArrival()
{
    const QStringList files = makePhotos(freshDir(tmp), 5);
    QVERIFY(PhotoCore::writeMetadata(files[1], record(3)));
    QVERIFY(PhotoCore::writeMetadata(files[3], record(3)));
    PhotoCatalog catalog;
    ViewerWidget viewer(&catalog);
    PoolGate gate(catalog.scanThreadPool());
    catalog.openFiles(files);
    catalog.setFilter(QStringLiteral("rating:3"));
    QVERIFY(viewer.statusText().contains(QStringLiteral("preparing filter")));
    QCOMPARE(catalog.visibleFiles(), files);

    QSignalSpy changes(&catalog, &PhotoCatalog::catalogChanged);
    gate.release();
    QTRY_COMPARE(catalog.visibleFiles(), (QStringList{files[1], files[3]}));
    QCOMPARE(catalog.currentPath(), files[1]);
    QVERIFY(!viewer.statusText().contains(QStringLiteral("preparing filter")));
    QVERIFY(changes.count() >= 1);
}

void TestViewerWidget::resumeRequestedDuringScan()
{
    const QStringList files = makePhotos(freshDir(tmp), 5);
    QVERIFY(PhotoCore::writeMetadata(files[2], record(0, QStringLiteral("Green"))));
    PhotoCatalog catalog;
    ViewerWidget viewer(&catalog);
    PoolGate gate(catalog.scanThreadPool());
    catalog.openFiles(files);
    catalog.resumeReview();
    QVERIFY(viewer.statusText().contains(QStringLiteral("preparing resume position")));
    // A filter chosen and taken back meanwhile leaves the resume still pending.
    catalog.setFilter(QStringLiteral("rating:3"));
    QVERIFY(viewer.statusText().contains(QStringLiteral("preparing filter")));
    catalog.setFilter(QStringLiteral("all"));
    QVERIFY(viewer.statusText().contains(QStringLiteral("preparing resume position")));
    QCOMPARE(catalog.currentPath(), files[0]);
    gate.release();
    QTRY_COMPARE(catalog.currentPath(), files[3]);
    QVERIFY(!viewer.statusText().contains(QStringLiteral("preparing")));
}

void TestViewerWidget::writeFailureKeepsMarks()
{
    const QStringList files = makePhotos(freshDir(tmp), 3);
    const QString sidecar = PhotoCore::sidecarPathFor(files[1]);
    QVERIFY(QDir().mkpath(sidecar)); // a directory where the sidecar belongs fails for root too
    PhotoCatalog catalog;
    catalog.setAutoAdvance(true);
    ViewerWidget viewer(&catalog);
    openAndSettle(viewer, files);
    catalog.select(files[1]);
    QTRY_VERIFY(!isLoading(viewer));

    QSignalSpy warnings(&catalog, &PhotoCatalog::warningRaised);
    QSignalSpy summary(&catalog, &PhotoCatalog::summaryChanged);
    catalog.setRating(5);
    // The mark moves on at once; when its write fails, the photo comes back.
    QVERIFY(warnings.wait());
    QCOMPARE(warnings.count(), 1);
    QVERIFY(warnings.first().first().toString().startsWith(QStringLiteral("Could not write XMP sidecar for %1.").arg(files[1])));
    QCOMPARE(catalog.currentPath(), files[1]);
    QCOMPARE(catalog.record(files[1]), Metadata());
    QCOMPARE(summary.count(), 0);
    QVERIFY(viewer.statusText().contains(QStringLiteral("XMP write failed")));

    catalog.next(); // another photo clears the tag
    QVERIFY(!viewer.statusText().contains(QStringLiteral("XMP write failed")));
    catalog.previous();
    catalog.setColorLabel(QStringLiteral("Red"));
    QTRY_VERIFY(viewer.statusText().contains(QStringLiteral("XMP write failed")));
    QCOMPARE(catalog.currentPath(), files[1]);

    QVERIFY(QDir().rmdir(sidecar));
    catalog.setAutoAdvance(false);
    catalog.setRating(5);
    QTRY_COMPARE(catalog.record(files[1]).rating, 5);
    QCOMPARE(catalog.currentPath(), files[1]);
    QVERIFY(!viewer.statusText().contains(QStringLiteral("XMP write failed")));
}

void TestViewerWidget::rotation_data()
{
    QTest::addColumn<bool>("remember");
    QTest::newRow("remembered") << true;
    QTest::newRow("display-only") << false;
}

void TestViewerWidget::rotation()
{
    QFETCH(bool, remember);
    QSettings().setValue(QStringLiteral("metadata/rememberRotations"), remember);
    const QStringList files = makePhotos(freshDir(tmp), 2);
    PhotoCatalog catalog;
    ViewerWidget viewer(&catalog);
    openAndSettle(viewer, files);
    QSignalSpy state(&viewer, &ViewerWidget::stateChanged);
    viewer.rotateClockwise();
    QVERIFY(viewer.statusText().contains(QStringLiteral(" — rotated 90°")));
    QCOMPARE(catalog.currentPath(), files[0]);
    QCOMPARE(state.count(), 1);
    settleWrites(catalog);
    QCOMPARE(QFile::exists(PhotoCore::sidecarPathFor(files[0])), remember);
    if (remember)
        QCOMPARE(PhotoCore::readMetadata(files[0]).rotation, 90);

    viewer.rotateCounterClockwise();
    viewer.rotateCounterClockwise();
    QVERIFY(viewer.statusText().contains(QStringLiteral(" — rotated 270°")));
    for (int i = 0; i < 4; ++i)
        viewer.rotateClockwise();
    QVERIFY(viewer.statusText().contains(QStringLiteral(" — rotated 270°")));
    viewer.rotateClockwise();
    QVERIFY(!viewer.statusText().contains(QStringLiteral("rotated")));

    viewer.rotateClockwise();
    catalog.next();
    catalog.previous();
    QVERIFY(viewer.statusText().contains(QStringLiteral(" — rotated 90°")));
    settleWrites(catalog);
    QVERIFY(viewer.statusText().contains(QStringLiteral(" — rotated 90°")));
    openAndSettle(viewer, files);
    QCOMPARE(viewer.statusText().contains(QStringLiteral(" — rotated 90°")), remember);
}

void TestViewerWidget::statusTextOfExample()
{
    const QStringList files = makePhotos(freshDir(tmp), 120);
    QVERIFY(PhotoCore::writeMetadata(files[2], record(3, QStringLiteral("Red"))));
    PhotoCatalog catalog;
    ViewerWidget viewer(&catalog);
    PoolGate gate(catalog.scanThreadPool());
    catalog.openFiles(files);
    QTRY_VERIFY(!isLoading(viewer));
    QTRY_COMPARE(viewer.pendingPreviewCount(), 0);
    catalog.next();
    catalog.next();
    QCOMPARE(viewer.statusText(), QStringLiteral("Image 3 of 120 — Fit — cache — %1 · Red — scanning ratings — "
                                                 "Left/Right to navigate")
                                      .arg(star.repeated(3)));
    gate.release();
    QTRY_COMPARE(viewer.statusText(),
                 QStringLiteral("Image 3 of 120 — Fit — cache — %1 · Red — Left/Right to navigate").arg(star.repeated(3)));
    viewer.toggleViewMode();
    QVERIFY(viewer.statusText().startsWith(QStringLiteral("Image 3 of 120 — 100 % — cache")));
}

void TestViewerWidget::emptyStates_data()
{
    QTest::addColumn<int>("photos");
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QString>("status");
    QTest::addColumn<QString>("message");
    // Nothing opened yet: nothing was searched, so nothing was not found.
    QTest::newRow("no-folder") << -1 << "all" << "Open a folder to begin" << "Open a folder to start viewing photos.";
    QTest::newRow("empty-folder") << 0 << "all" << "No supported images found" << "No supported images in this folder.";
    QTest::newRow("no-match") << 2 << "rejected" << "No images match the active filter"
                              << "No images match the active filter.";
}

void TestViewerWidget::emptyStates()
{
    QFETCH(int, photos);
    QFETCH(QString, filter);
    QFETCH(QString, status);
    QFETCH(QString, message);
    PhotoCatalog catalog;
    ViewerWidget viewer(&catalog);
    viewer.toggleExifOverlay();
    if (photos >= 0) {
        const QStringList files = photos > 0 ? makePhotos(freshDir(tmp), photos) : QStringList();
        if (photos > 0)
            QVERIFY(PhotoCore::writeMetadata(files[0], record(2)));
        QSignalSpy scanned(&catalog, &PhotoCatalog::summaryChanged);
        catalog.openFiles(files);
        QVERIFY(scanned.wait());
        catalog.setFilter(filter);
    }
    QCOMPARE(viewer.statusText(), status);
    QCOMPARE(catalog.currentPath(), QString());
    QVERIFY(viewer.findChild<QLabel *>(QStringLiteral("messageLabel"))->text().startsWith(message));
    QVERIFY(viewer.findChild<QLabel *>(QStringLiteral("marksOverlay"))->isHidden());
    QVERIFY(viewer.findChild<QLabel *>(QStringLiteral("exifOverlay"))->isHidden());

    QSignalSpy state(&viewer, &ViewerWidget::stateChanged);
    catalog.reloadMetadata();
    catalog.resumeReview();
    catalog.next();
    viewer.rotateClockwise();
    if (photos <= 0)
        QCOMPARE(state.count(), 0);
}

void TestViewerWidget::marksOverlay_data()
{
    QTest::addColumn<Metadata>("marks");
    QTest::addColumn<QString>("overlay"); // empty: hidden
    QTest::addColumn<QString>("statusMarks");
    QTest::newRow("unmarked") << Metadata() << QString() << QString();
    QTest::newRow("rotation-only") << record(0, {}, false, 90) << QString() << QString();
    QTest::newRow("rejected-with-label") << record(0, QStringLiteral("Red"), true)
                                         << "<b style='color:#ff7043'>REJECTED</b>  \u00b7  <b style='color:#ff5252'>RED</b>"
                                         << " — Rejected · Red";
    QTest::newRow("stars") << record(2) << "<span style='color:#ffffff'>" + star.repeated(2) + "</span>"
                           << " — " + star.repeated(2);
    QTest::newRow("purple") << record(0, QStringLiteral("Purple")) << "<b style='color:#ce93d8'>PURPLE</b>" << " — Purple";
    QTest::newRow("foreign-label-white") << record(1, QStringLiteral("Rot<1>"))
                                         << "<span style='color:#ffffff'>" + star + "</span>  \u00b7  "
                                                "<b style='color:#ffffff'>ROT&lt;1&gt;</b>"
                                         << " — " + star + " · Rot<1>";
}

void TestViewerWidget::marksOverlay()
{
    QFETCH(Metadata, marks);
    QFETCH(QString, overlay);
    QFETCH(QString, statusMarks);
    const QStringList files = makePhotos(freshDir(tmp), 2);
    QVERIFY(PhotoCore::writeMetadata(files[0], marks));
    PhotoCatalog catalog;
    ViewerWidget viewer(&catalog);
    viewer.resize(800, 600);
    openAndSettle(viewer, files);
    auto *label = viewer.findChild<QLabel *>(QStringLiteral("marksOverlay"));
    QCOMPARE(label->isHidden(), overlay.isEmpty());
    if (!overlay.isEmpty()) {
        QCOMPARE(label->text(), overlay);
        QCOMPARE(label->geometry().topRight(), QPoint(800 - 22 - 1, 22));
    }
    const QString status = viewer.statusText();
    const QString rotated = marks.rotation ? QStringLiteral(" — rotated 90°") : QString();
    QVERIFY2(status.startsWith(QStringLiteral("Image 1 of 2 — Fit") + rotated + QStringLiteral(" — ")), qPrintable(status));
    QVERIFY2(status.endsWith(QStringLiteral(" ms") + statusMarks + QStringLiteral(" — Left/Right to navigate")),
             qPrintable(status));
}

void TestViewerWidget::exifOverlay()
{
    const QStringList files = makePhotos(freshDir(tmp), 2);
    PhotoCatalog catalog;
    ViewerWidget viewer(&catalog);
    openAndSettle(viewer, files);
    auto *label = viewer.findChild<QLabel *>(QStringLiteral("exifOverlay"));
    QVERIFY(label->isHidden());
    QSignalSpy state(&viewer, &ViewerWidget::stateChanged);
    viewer.toggleExifOverlay();
    QVERIFY(!label->isHidden());
    QCOMPARE(state.count(), 0);
    // A photo without EXIF data says so and still lists its size and name.
    const QString size = QLocale().formattedDataSize(QFileInfo(files[0]).size(), 2, QLocale::DataSizeIecFormat);
    QCOMPARE(label->text(), QStringLiteral("<table cellspacing='2'>"
                                           "<tr><td colspan='2' style='color:#aeb6c2'>No EXIF data available</td></tr>"
                                           "<tr><td style='color:#aeb6c2;padding-right:12px'>Colours</td><td><b>sRGB</b></td></tr>"
                                           "<tr><td style='color:#aeb6c2;padding-right:12px'>File size</td><td><b>%1</b></td></tr>"
                                           "<tr><td style='color:#aeb6c2;padding-right:12px'>File</td><td><b>IMG_0001.jpg</b></td></tr>"
                                           "</table>")
                                .arg(size));
    QCOMPARE(label->pos(), QPoint(22, 22));
    catalog.next();
    QVERIFY(label->text().contains(QStringLiteral("IMG_0002.jpg")));
    viewer.toggleExifOverlay();
    QVERIFY(label->isHidden());
}

void TestViewerWidget::exifOverlayOfCameraFile()
{
    const QString dir = freshDir(tmp);
    const QString photo = dir + QStringLiteral("/camera.jpg");
    QVERIFY(QFile::copy(QStringLiteral(GLANCEWAY_TESTDATA "/cameras/Canon_EOS-RP__MG_0633.JPG"), photo));
    const ExifSummary exif = readExifSummary(photo);
    QVERIFY(!exif.make.isEmpty());
    PhotoCatalog catalog;
    ViewerWidget viewer(&catalog);
    viewer.toggleExifOverlay();
    openAndSettle(viewer, {photo});
    const QString text = viewer.findChild<QLabel *>(QStringLiteral("exifOverlay"))->text();
    // The maker is not repeated; the colour space comes from the camera's Exif.
    QVERIFY2(text.contains(QStringLiteral("Camera</td><td><b>Canon EOS RP</b>")), qPrintable(text));
    QVERIFY2(text.contains(QStringLiteral("Colours</td><td><b>Adobe RGB (1998)</b>")), qPrintable(text));
    QVERIFY(!text.contains(QStringLiteral("No EXIF data available")));
    // Rows keep their order; rows without a value are left out.
    const QStringList order{"Camera", "Lens", "Captured", "Exposure", "Aperture", "ISO",
                            "Focal length", "Compensation", "Dimensions", "Colours", "File size", "File"};
    int last = -1;
    for (const QString &label : order) {
        const int at = int(text.indexOf(QStringLiteral(">%1</td>").arg(label)));
        if (at < 0)
            continue;
        QVERIFY2(at > last, qPrintable(label));
        last = at;
    }
    QVERIFY(text.contains(QStringLiteral(">File</td><td><b>camera.jpg</b>")));
    if (exif.exposure.isEmpty())
        QVERIFY(!text.contains(QStringLiteral(">Exposure</td>")));
}

void TestViewerWidget::shortcutOverlayPlacement_data()
{
    QTest::addColumn<QSize>("viewerSize");
    QTest::addColumn<int>("rows");           // rows of keys in the overview
    QTest::addColumn<int>("labelLength");    // characters of each row's label
    QTest::addColumn<bool>("capped");        // the content exceeds the view
    QTest::newRow("fits") << QSize(800, 600) << 3 << 12 << false;
    QTest::newRow("tall-content") << QSize(800, 600) << 90 << 12 << true;
    QTest::newRow("wide-content") << QSize(800, 600) << 3 << 200 << true;
    QTest::newRow("tiny-view-at-least-1") << QSize(20, 21) << 3 << 12 << true;
}

void TestViewerWidget::shortcutOverlayPlacement()
{
    QFETCH(QSize, viewerSize);
    QFETCH(int, rows);
    QFETCH(int, labelLength);
    QFETCH(bool, capped);
    QWidget host; // a child may be smaller than a window's minimum size
    host.resize(2200, 1200);
    PhotoCatalog catalog;
    ViewerWidget viewer(&catalog, &host);
    viewer.resize(viewerSize);
    host.show();
    QVERIFY(QTest::qWaitForWindowExposed(&host));
    auto *overlay = viewer.findChild<QTextBrowser *>(QStringLiteral("shortcutOverlay"));
    QString html = QStringLiteral("<table>");
    for (int i = 0; i < rows; ++i)
        html += QStringLiteral("<tr><td style='white-space:nowrap'>%1</td><td>Ctrl+%2</td></tr>")
                    .arg(QString(labelLength, QLatin1Char('W')))
                    .arg(i);
    viewer.setShortcutOverlayHtml(html + QStringLiteral("</table>"));
    QVERIFY(overlay->isHidden());
    QCOMPARE(overlay->focusPolicy(), Qt::NoFocus);

    QSignalSpy state(&viewer, &ViewerWidget::stateChanged);
    viewer.toggleShortcutOverlay();
    QVERIFY(viewer.isShortcutOverlayVisible());
    QVERIFY(!overlay->isHidden());
    QSize contentSize;
    for (const QSize &size : {viewerSize, viewerSize + QSize(100, 100)}) {
        viewer.resize(size);
        QCoreApplication::processEvents();
        const QRect g = overlay->geometry();
        const QSize room(std::max(1, size.width() - 32), std::max(1, size.height() - 32));
        QVERIFY2(g.width() <= room.width() && g.height() <= room.height(),
                 qPrintable(QStringLiteral("%1×%2 in %3×%4").arg(g.width()).arg(g.height()).arg(size.width()).arg(size.height())));
        QVERIFY(g.width() >= 1 && g.height() >= 1);
        // Centred, to the pixel the halving leaves.
        QVERIFY(std::abs(g.left() - (size.width() - g.right() - 1)) <= 1);
        QVERIFY(std::abs(g.top() - (size.height() - g.bottom() - 1)) <= 1);
        if (capped) {
            QVERIFY(g.width() == room.width() || g.height() == room.height());
        } else {
            // Sized to the content: nothing to scroll, and the same size in a larger view.
            QCOMPARE(overlay->verticalScrollBar()->maximum(), 0);
            QCOMPARE(overlay->horizontalScrollBar()->maximum(), 0);
            QVERIFY(g.width() < room.width() && g.height() < room.height());
            if (contentSize.isValid())
                QCOMPARE(g.size(), contentSize);
            contentSize = g.size();
        }
    }
    viewer.toggleShortcutOverlay();
    QVERIFY(!viewer.isShortcutOverlayVisible());
    QVERIFY(overlay->isHidden());
    QCOMPARE(state.count(), 0);
}

void TestViewerWidget::keys_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<int>("expected"); // from the middle one of three photos
    QTest::newRow("space") << int(Qt::Key_Space) << int(Qt::NoModifier) << 2;
    QTest::newRow("shift-space") << int(Qt::Key_Space) << int(Qt::ShiftModifier) << 2;
    QTest::newRow("right") << int(Qt::Key_Right) << int(Qt::NoModifier) << 2;
    QTest::newRow("ctrl-right") << int(Qt::Key_Right) << int(Qt::ControlModifier) << 2;
    QTest::newRow("left") << int(Qt::Key_Left) << int(Qt::NoModifier) << 0;
    QTest::newRow("backspace") << int(Qt::Key_Backspace) << int(Qt::NoModifier) << 0;
    QTest::newRow("other-key") << int(Qt::Key_Down) << int(Qt::NoModifier) << 1;
}

void TestViewerWidget::keys()
{
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(int, expected);
    const QStringList files = makePhotos(freshDir(tmp), 3, QSize(900, 700));
    PhotoCatalog catalog;
    ViewerWidget viewer(&catalog);
    viewer.resize(400, 300);
    viewer.show();
    QVERIFY(QTest::qWaitForWindowActive(&viewer));
    openAndSettle(viewer, files);
    catalog.select(files[1]);
    QTRY_VERIFY(!isLoading(viewer));
    viewer.setActualSizeMode(); // the photo is larger than the view and can scroll
    // Clicking the photo must not take the keys away from the viewer.
    QTest::mouseClick(viewer.findChild<PhotoCanvas *>(QStringLiteral("photoCanvas")), Qt::LeftButton);
    QVERIFY(QApplication::focusWidget());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key(key), Qt::KeyboardModifiers(modifiers));
    QCOMPARE(catalog.currentPath(), files[expected]);
}

void TestViewerWidget::wheel_data()
{
    // At Fit the wheel changes photo; zoomed it moves the photo (Shift:
    // sideways); with Ctrl it zooms in steps, at any zoom. The photo is
    // 1600 × 1200 in a 400 × 300 view: its fit is 25 %.
    QTest::addColumn<double>("zoom");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<QList<QPoint>>("angles");
    QTest::addColumn<QList<QPoint>>("pixels");
    QTest::addColumn<QList<int>>("requests");
    QTest::addColumn<double>("scale");   // the zoom afterwards
    QTest::addColumn<QPointF>("moved"); // the sign of the move of the view's middle over the photo
    const QPoint none;
    const int plain = int(Qt::NoModifier);
    QTest::newRow("three-small-notches") << 0.0 << plain << QList<QPoint>{{0, 40}, {0, 40}, {0, 40}}
                                         << QList<QPoint>{none, none, none} << QList<int>{-1} << 0.0 << QPointF();
    QTest::newRow("towards-user") << 0.0 << plain << QList<QPoint>{{0, -120}, {0, -240}} << QList<QPoint>{none, none}
                                  << QList<int>{1, 1} << 0.0 << QPointF();
    QTest::newRow("reversal-resets") << 0.0 << plain << QList<QPoint>{{0, 80}, {0, -40}, {0, 80}}
                                     << QList<QPoint>{none, none, none} << QList<int>{} << 0.0 << QPointF();
    QTest::newRow("horizontal-swallowed") << 0.0 << plain << QList<QPoint>{{120, 0}, {0, 60}, {240, 0}, {0, 60}}
                                          << QList<QPoint>{none, none, none, none} << QList<int>{-1} << 0.0
                                          << QPointF();
    QTest::newRow("pixel-delta-tripled") << 0.0 << plain << QList<QPoint>{none, none}
                                         << QList<QPoint>{{0, -20}, {0, -20}} << QList<int>{1} << 0.0 << QPointF();
    QTest::newRow("nothing") << 0.0 << plain << QList<QPoint>{none} << QList<QPoint>{none} << QList<int>{} << 0.0
                             << QPointF();
    QTest::newRow("100-pans-down") << 1.0 << plain << QList<QPoint>{{0, -120}, {0, -120}}
                                   << QList<QPoint>{none, none} << QList<int>{} << 1.0 << QPointF(0, 1);
    QTest::newRow("100-pans-up") << 1.0 << plain << QList<QPoint>{{0, 120}} << QList<QPoint>{none} << QList<int>{}
                                 << 1.0 << QPointF(0, -1);
    QTest::newRow("100-shift-sideways") << 1.0 << int(Qt::ShiftModifier) << QList<QPoint>{{0, -120}}
                                        << QList<QPoint>{none} << QList<int>{} << 1.0 << QPointF(1, 0);
    QTest::newRow("200-touchpad-pans") << 2.0 << plain << QList<QPoint>{none} << QList<QPoint>{{30, -40}}
                                       << QList<int>{} << 2.0 << QPointF(-1, 1);
    QTest::newRow("ctrl-in-from-fit") << 0.0 << int(Qt::ControlModifier) << QList<QPoint>{{0, 120}}
                                      << QList<QPoint>{none} << QList<int>{} << 0.5 << QPointF();
    QTest::newRow("ctrl-in-twice") << 0.0 << int(Qt::ControlModifier) << QList<QPoint>{{0, 120}, {0, 120}}
                                   << QList<QPoint>{none, none} << QList<int>{} << 1.0 << QPointF();
    QTest::newRow("ctrl-out-to-fit") << 1.0 << int(Qt::ControlModifier) << QList<QPoint>{{0, -120}, {0, -120}}
                                     << QList<QPoint>{none, none} << QList<int>{} << 0.0 << QPointF();
    QTest::newRow("ctrl-stays-at-400") << 4.0 << int(Qt::ControlModifier) << QList<QPoint>{{0, 120}}
                                       << QList<QPoint>{none} << QList<int>{} << 4.0 << QPointF();
}

void TestViewerWidget::wheel()
{
    QFETCH(double, zoom);
    QFETCH(int, modifiers);
    QFETCH(QList<QPoint>, angles);
    QFETCH(QList<QPoint>, pixels);
    QFETCH(QList<int>, requests);
    QFETCH(double, scale);
    QFETCH(QPointF, moved);
    const QStringList files = makePhotos(freshDir(tmp), 3, QSize(1600, 1200));
    PhotoCatalog catalog;
    ViewerWidget viewer(&catalog);
    showAndOpen(viewer, QSize(400, 300), files);
    auto *canvas = viewer.findChild<PhotoCanvas *>(QStringLiteral("photoCanvas"));
    viewer.setZoom(ZoomView{zoom});
    if (zoom > 0)
        QTRY_VERIFY(!canvas->fullPicture().isNull());
    const QPointF before = viewer.zoom().centre;
    QSignalSpy spy(&viewer, &ViewerWidget::manualNavigationRequested);
    for (int i = 0; i < angles.size(); ++i) {
        QWheelEvent event(QPointF(5, 5), QPointF(5, 5), pixels[i], angles[i], Qt::NoButton,
                          Qt::KeyboardModifiers(modifiers), Qt::NoScrollPhase, false);
        QVERIFY(QApplication::sendEvent(canvas, &event));
    }
    QList<int> got;
    for (const auto &args : spy)
        got.append(args.first().toInt());
    QCOMPARE(got, requests);
    QCOMPARE(catalog.currentPath(), files[0]); // the viewer never moves by itself
    QCOMPARE(viewer.zoom().scale, scale);
    const QPointF shift = viewer.zoom().centre - before;
    const auto sign = [](double v) { return qFuzzyIsNull(v) ? 0.0 : v > 0 ? 1.0 : -1.0; };
    if (scale == zoom)
        QCOMPARE(QPointF(sign(shift.x()), sign(shift.y())), moved);
}

void TestViewerWidget::zoomKeptWhileStepping_data()
{
    // The same relative point stays in the middle of the view on photos of
    // other sizes and orientations; a photo too small for it is centred.
    QTest::addColumn<QSize>("nextSize");
    QTest::addColumn<QPointF>("centre");
    QTest::newRow("same-size") << QSize(1600, 1200) << QPointF(0.3, 0.7);
    QTest::newRow("larger") << QSize(3200, 2400) << QPointF(0.3, 0.7);
    QTest::newRow("portrait") << QSize(1200, 1600) << QPointF(0.3, 0.7);
    QTest::newRow("narrower-than-view") << QSize(300, 1600) << QPointF(0.5, 0.7);
}

void TestViewerWidget::zoomKeptWhileStepping()
{
    QFETCH(QSize, nextSize);
    QFETCH(QPointF, centre);
    const QString dir = freshDir(tmp);
    QStringList files = makePhotos(dir, 1, QSize(1600, 1200));
    files.append(dir + QStringLiteral("/IMG_0002.jpg"));
    QImage next(nextSize, QImage::Format_RGB32);
    next.fill(Qt::darkGreen);
    QVERIFY(next.save(files.last(), "JPEG"));
    PhotoCatalog catalog;
    ViewerWidget viewer(&catalog);
    showAndOpen(viewer, QSize(400, 300), files);
    auto *canvas = viewer.findChild<PhotoCanvas *>(QStringLiteral("photoCanvas"));
    // A click at Fit zooms to 100 % with the photo point under the pointer kept there.
    const QPoint at(120, 210);
    QTest::mouseClick(canvas, Qt::LeftButton, Qt::NoModifier, at);
    QCOMPARE(viewer.viewMode(), int(ViewerWidget::ActualSize));
    QTRY_VERIFY(!canvas->fullPicture().isNull());
    QCOMPARE(canvas->size(), QSize(400, 300));
    const QPointF under = Zoom::relativePointAt(viewer.zoom(), QSizeF(1600, 1200), canvas->size(), at);
    QVERIFY2(qAbs(under.x() - 0.3) < 1e-9 && qAbs(under.y() - 0.7) < 1e-9,
             qPrintable(QStringLiteral("%1, %2").arg(under.x()).arg(under.y())));
    QVERIFY(viewer.statusText().contains(QStringLiteral(" — 100 % — ")));

    viewer.setZoom(ZoomView{1.0, QPointF(0.3, 0.7)});
    catalog.next();
    QTRY_COMPARE(canvas->fullPicture().size(), nextSize);
    QCOMPARE(viewer.zoom().scale, 1.0);
    QVERIFY(qAbs(viewer.zoom().centre.x() - centre.x()) < 1e-9);
    QVERIFY(qAbs(viewer.zoom().centre.y() - centre.y()) < 1e-9);
    // A click when zoomed returns to Fit.
    QTest::mouseClick(canvas, Qt::LeftButton, Qt::NoModifier, at);
    QCOMPARE(viewer.viewMode(), int(ViewerWidget::Fit));
    QVERIFY(canvas->fullPicture().isNull());
}

void TestViewerWidget::zoomedFramingHeldWhileDecoding_data()
{
    // At 100 % the photo's full decode is held back; meanwhile the view must
    // show the same part of the same photo, only softer, as it does once the
    // full picture is there. A fitted frame leaves bars beside the photo at the
    // points sampled; the previous photo left in place has other colours.
    QTest::addColumn<int>("start");    // the photo clicked at Fit
    QTest::addColumn<int>("key");      // then stepped with; 0: the click's own photo
    QTest::addColumn<int>("rotation"); // the stored turn of the photo shown
    QTest::newRow("first-click") << 0 << 0 << 0;
    QTest::newRow("next") << 0 << int(Qt::Key_Right) << 0;
    QTest::newRow("previous") << 1 << int(Qt::Key_Left) << 0;
    QTest::newRow("next-turned") << 0 << int(Qt::Key_Right) << 90;
}

void TestViewerWidget::zoomedFramingHeldWhileDecoding()
{
    QFETCH(int, start);
    QFETCH(int, key);
    QFETCH(int, rotation);
    const QString dir = freshDir(tmp);
    const QList<QList<QColor>> colours{{Qt::red, Qt::green, Qt::blue, Qt::yellow},
                                       {Qt::cyan, Qt::magenta, QColor(240, 240, 240), QColor(255, 128, 0)},
                                       {QColor(128, 0, 128), QColor(0, 128, 0), QColor(128, 128, 0), Qt::black}};
    QStringList files;
    for (int i = 0; i < 3; ++i) {
        files.append(dir + QStringLiteral("/IMG_%1.jpg").arg(i));
        QVERIFY(saveQuadrantPhoto(files.last(), QSize(1600, 1200), colours[i], QPointF(0.4, 0.45)));
    }
    const int shown = key == Qt::Key_Right ? start + 1 : key == Qt::Key_Left ? start - 1 : start;
    if (rotation)
        QVERIFY(PhotoCore::writeMetadata(files[shown], record(0, {}, false, rotation)));
    PhotoCatalog catalog;
    ViewerWidget viewer(&catalog);
    // Wider than the photo's proportions: at Fit there are bars left and right.
    showAndOpen(viewer, QSize(500, 300), files);
    catalog.select(files[start]);
    QTRY_VERIFY(!isLoading(viewer));
    QTRY_COMPARE(viewer.pendingPreviewCount(), 0);
    auto *canvas = viewer.findChild<PhotoCanvas *>(QStringLiteral("photoCanvas"));
    QCOMPARE(canvas->size(), QSize(500, 300));

    // Both decode threads held: nothing decoded in full gets through.
    auto first = std::make_unique<PoolGate>(viewer.previewThreadPool());
    auto second = std::make_unique<PoolGate>(viewer.previewThreadPool());
    QTest::mouseClick(canvas, Qt::LeftButton, Qt::NoModifier, QPoint(150, 100));
    if (key)
        QTest::keyClick(&viewer, Qt::Key(key));
    QCOMPARE(catalog.currentPath(), files[shown]);
    QCOMPARE(viewer.viewMode(), int(ViewerWidget::ActualSize));
    QVERIFY(canvas->fullPicture().isNull());
    QVERIFY(isLoading(viewer));
    const QImage standIn = canvas->grab().toImage();

    first->release();
    second->release();
    const QSize upright = rotation % 180 ? QSize(1200, 1600) : QSize(1600, 1200);
    QTRY_COMPARE(canvas->fullPicture().size(), upright);
    QCOMPARE(viewer.viewMode(), int(ViewerWidget::ActualSize));
    const QImage full = canvas->grab().toImage();
    // Near the corners, in the bars of a fitted frame, well clear of the
    // quadrants' edges; bottom right, the navigator.
    for (const QPoint at : {QPoint(20, 60), QPoint(480, 60), QPoint(20, 275), QPoint(480, 275), QPoint(250, 20)}) {
        const QRgb was = standIn.pixel(at);
        const QRgb is = full.pixel(at);
        QVERIFY2(similar(was, is), qPrintable(QStringLiteral("at %1,%2: %3 while decoding, %4 decoded")
                                                  .arg(at.x())
                                                  .arg(at.y())
                                                  .arg(QColor(was).name(), QColor(is).name())));
    }
}

namespace {

// A drag on `canvas` from `from` by `by`, in a few moves, with `modifiers` held.
void drag(QWidget *canvas, QPoint from, QPoint by, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    const auto send = [&](QEvent::Type type, QPoint at, Qt::MouseButtons buttons) {
        QMouseEvent event(type, at, canvas->mapToGlobal(at), Qt::LeftButton, buttons, modifiers);
        QApplication::sendEvent(canvas, &event);
    };
    send(QEvent::MouseButtonPress, from, Qt::LeftButton);
    for (int i = 1; i <= 4; ++i)
        send(QEvent::MouseMove, from + by * i / 4, Qt::LeftButton);
    send(QEvent::MouseButtonRelease, from + by, Qt::NoButton);
}

} // namespace

void TestViewerWidget::compareZoomLinked()
{
    const QStringList files = makePhotos(freshDir(tmp), 3, QSize(1600, 1200));
    PhotoCatalog catalog;
    ViewerWidget viewer(&catalog);
    showAndOpen(viewer, QSize(804, 300), files);
    viewer.startCompare(files[0]);
    QCOMPARE(catalog.currentPath(), files[1]);
    auto *candidate = viewer.findChild<PhotoCanvas *>(QStringLiteral("photoCanvas"));
    auto *pinned = viewer.findChild<PhotoCanvas *>(QStringLiteral("pinnedCanvas"));
    QVERIFY(pinned->isVisible());
    QCOMPARE(candidate->width(), pinned->width());
    viewer.setZoom(ZoomView{1.0});
    QTRY_VERIFY(!candidate->fullPicture().isNull() && !pinned->fullPicture().isNull());
    QCOMPARE(pinned->zoom(), candidate->zoom());

    // Panned together; Shift moves one pane alone, and the two stay that far apart.
    drag(candidate, QPoint(200, 150), QPoint(-80, -40));
    QVERIFY(candidate->zoom().centre.x() > 0.5);
    QCOMPARE(pinned->zoom(), candidate->zoom());
    drag(pinned, QPoint(200, 150), QPoint(60, 0), Qt::ShiftModifier);
    const QPointF offset = pinned->zoom().centre - candidate->zoom().centre;
    QVERIFY(offset.x() < -0.01);
    QCOMPARE(offset.y(), 0.0);
    drag(candidate, QPoint(200, 150), QPoint(0, -60));
    QVERIFY(qAbs((pinned->zoom().centre - candidate->zoom().centre - offset).manhattanLength()) < 1e-9);

    // The next candidate comes at the same zoom and point; the pinned photo stays.
    const ZoomView before = candidate->requestedZoom();
    catalog.next();
    QCOMPARE(viewer.pinnedPath(), files[0]);
    QCOMPARE(candidate->requestedZoom(), before);
    QVERIFY(!pinned->fullPicture().isNull());
    // Fit in one pane is Fit in both.
    viewer.setFitMode();
    QVERIFY(pinned->zoom().isFit());
    // A turn applies to the active pane's photo alone.
    viewer.setPinnedPaneActive(true);
    viewer.rotateClockwise();
    QTRY_VERIFY(pinned->fitPicture().height() > pinned->fitPicture().width());
    QVERIFY(candidate->fitPicture().width() > candidate->fitPicture().height());
    QVERIFY(viewer.statusText().contains(QStringLiteral("rotated 90°")));
    viewer.stopCompare();
    QVERIFY(pinned->isHidden());
}

void TestViewerWidget::compareZoomNamedOnceShown_data()
{
    QTest::addColumn<QString>("pane"); // the pane clicked to zoom
    QTest::newRow("candidate") << "photoCanvas";
    QTest::newRow("pinned") << "pinnedCanvas";
}

void TestViewerWidget::compareZoomNamedOnceShown()
{
    // The first click zooms both panes to 100 %. Until both show the photos
    // at 100 %, the status line says that they are loading; once they do, it
    // is told so.
    QFETCH(QString, pane);
    const QStringList files = makePhotos(freshDir(tmp), 3, QSize(3000, 2000));
    PhotoCatalog catalog;
    ViewerWidget viewer(&catalog);
    showAndOpen(viewer, QSize(804, 300), files);
    viewer.startCompare(files[0]);
    QTRY_COMPARE(viewer.pendingPreviewCount(), 0);
    QTRY_VERIFY(!isLoading(viewer));
    auto *candidate = viewer.findChild<PhotoCanvas *>(QStringLiteral("photoCanvas"));
    auto *pinned = viewer.findChild<PhotoCanvas *>(QStringLiteral("pinnedCanvas"));
    QString announced;
    QStringList early; // what the line said while a pane was not yet at 100 %, without saying so
    connect(&viewer, &ViewerWidget::stateChanged, &viewer, [&] {
        announced = viewer.statusText();
        const bool shown = !candidate->fullPicture().isNull() && !pinned->fullPicture().isNull();
        if (viewer.viewMode() != ViewerWidget::Fit && !shown && !announced.contains(QStringLiteral("loading")))
            early.append(announced);
    });

    auto first = std::make_unique<PoolGate>(viewer.previewThreadPool());
    auto second = std::make_unique<PoolGate>(viewer.previewThreadPool());
    QTest::mouseClick(viewer.findChild<PhotoCanvas *>(pane), Qt::LeftButton, Qt::NoModifier, QPoint(200, 150));
    QCOMPARE(viewer.viewMode(), int(ViewerWidget::ActualSize));
    QVERIFY2(announced.contains(QStringLiteral(" — 100 % — loading")), qPrintable(announced));
    // One decode at a time: the candidate's first, the pinned photo's after it.
    QSignalSpy state(&viewer, &ViewerWidget::stateChanged);
    first->release();
    QVERIFY(state.wait());
    QTRY_VERIFY(!candidate->fullPicture().isNull() && !pinned->fullPicture().isNull());
    second->release();
    QTRY_VERIFY2(!announced.contains(QStringLiteral("loading")), qPrintable(announced));
    QVERIFY2(announced.contains(QStringLiteral(" — 100 % — ")), qPrintable(announced));
    QCOMPARE(early, QStringList());
}

void TestViewerWidget::compareCandidates_data()
{
    // Five photos; the candidates after starting and after each step, and the
    // position the status line gives for each. Step 0 rejects the candidate.
    QTest::addColumn<QList<int>>("rejected");
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QList<int>>("selection"); // chosen to compare; empty: the filtered list
    QTest::addColumn<int>("pinned");
    QTest::addColumn<QList<int>>("steps");
    QTest::addColumn<QList<int>>("candidates");
    QTest::addColumn<QStringList>("positions");
    QTest::newRow("skips-rejected") << QList<int>{1, 3} << "all" << QList<int>{} << 0 << QList<int>{1, 1, -1}
                                    << QList<int>{2, 4, 4, 2}
                                    << QStringList{"Candidate 1 of 2", "Candidate 2 of 2", "Candidate 2 of 2",
                                                   "Candidate 1 of 2"};
    QTest::newRow("pinned-in-the-middle") << QList<int>{} << "all" << QList<int>{} << 2 << QList<int>{1, -1, -1}
                                          << QList<int>{3, 4, 3, 1}
                                          << QStringList{"Candidate 3 of 4", "Candidate 4 of 4", "Candidate 3 of 4",
                                                         "Candidate 2 of 4"};
    QTest::newRow("rejected-beside-last-pinned") << QList<int>{3} << "all" << QList<int>{} << 4 << QList<int>{}
                                                 << QList<int>{2} << QStringList{"Candidate 3 of 3"};
    QTest::newRow("rejected-filter-keeps-them")
        << QList<int>{1, 3, 4} << "rejected" << QList<int>{} << 1 << QList<int>{1, -1} << QList<int>{3, 4, 3}
        << QStringList{"Filter: rejected — candidate 1 of 2", "Filter: rejected — candidate 2 of 2",
                       "Filter: rejected — candidate 1 of 2"};
    QTest::newRow("other-filter") << QList<int>{1} << "not:rejected" << QList<int>{} << 0 << QList<int>{1}
                                  << QList<int>{2, 3}
                                  << QStringList{"Filter: not rejected — candidate 1 of 3",
                                                 "Filter: not rejected — candidate 2 of 3"};
    QTest::newRow("selection-keeps-rejected") << QList<int>{2} << "all" << QList<int>{0, 2, 4} << 0 << QList<int>{1}
                                              << QList<int>{2, 4}
                                              << QStringList{"Candidate 1 of 2", "Candidate 2 of 2"};
    QTest::newRow("rejected-while-shown") << QList<int>{} << "all" << QList<int>{} << 0 << QList<int>{0, 1, -1}
                                          << QList<int>{1, 1, 2, 2}
                                          << QStringList{"Candidate 1 of 4", "Candidate 1 of 4", "Candidate 1 of 3",
                                                         "Candidate 1 of 3"};
}

void TestViewerWidget::compareCandidates()
{
    QFETCH(QList<int>, rejected);
    QFETCH(QString, filter);
    QFETCH(QList<int>, selection);
    QFETCH(int, pinned);
    QFETCH(QList<int>, steps);
    QFETCH(QList<int>, candidates);
    QFETCH(QStringList, positions);
    const QStringList files = makePhotos(freshDir(tmp), 5);
    for (int i : rejected)
        QVERIFY(PhotoCore::writeMetadata(files[i], record(0, {}, true)));
    PhotoCatalog catalog;
    ViewerWidget viewer(&catalog);
    openAndSettle(viewer, files);
    catalog.setFilter(filter);
    catalog.select(files[pinned]);
    QStringList chosen;
    for (int i : selection)
        chosen.append(files[i]);
    viewer.startCompare(files[pinned], chosen);
    QVERIFY(viewer.isComparing());
    const auto check = [&](int at) {
        QCOMPARE(catalog.currentPath(), files[candidates[at]]);
        QVERIFY2(viewer.statusText().startsWith(positions[at] + QStringLiteral(" — ")), qPrintable(viewer.statusText()));
        QCOMPARE(viewer.positionText(), positions[at]);
    };
    check(0);
    for (int i = 0; i < steps.size() && !QTest::currentTestFailed(); ++i) {
        if (steps[i] == 0) {
            catalog.rejectCurrent();
            QTRY_COMPARE(catalog.pendingWriteCount(), 0);
        } else {
            QVERIFY(viewer.stepCandidate(steps[i]));
        }
        check(i + 1);
    }
    if (QTest::currentTestFailed())
        return;
    QCOMPARE(viewer.pinnedPath(), files[pinned]);
    viewer.setPinnedPaneActive(true);
    QVERIFY(viewer.positionText().contains(QStringLiteral("inned photo")));
}

void TestViewerWidget::slideshowIndicator_data()
{
    // What the corner says after the window started or stopped the show,
    // in full screen or not; empty: nothing is shown.
    QTest::addColumn<QList<bool>>("running");
    QTest::addColumn<bool>("fullScreen");
    QTest::addColumn<QString>("shown");
    QTest::newRow("never-started") << QList<bool>{} << true << QString();
    QTest::newRow("playing") << QList<bool>{true} << true << QStringLiteral("▶ Slideshow");
    QTest::newRow("paused-in-full-screen") << QList<bool>{true, false} << true << QStringLiteral("❚❚ Paused");
    QTest::newRow("resumed") << QList<bool>{true, false, true} << true << QStringLiteral("▶ Slideshow");
    QTest::newRow("stopped-in-a-window") << QList<bool>{true, false} << false << QString();
}

void TestViewerWidget::slideshowIndicator()
{
    QFETCH(QList<bool>, running);
    QFETCH(bool, fullScreen);
    QFETCH(QString, shown);
    const QStringList files = makePhotos(freshDir(tmp), 2);
    PhotoCatalog catalog;
    ViewerWidget viewer(&catalog);
    if (fullScreen)
        viewer.showFullScreen();
    else
        viewer.show();
    QVERIFY(QTest::qWaitForWindowExposed(&viewer));
    openAndSettle(viewer, files);
    auto *label = viewer.findChild<QLabel *>(QStringLiteral("slideshowOverlay"));
    QSignalSpy state(&viewer, &ViewerWidget::stateChanged);
    for (bool on : running)
        viewer.setSlideshowRunning(on);
    QCOMPARE(label->isVisible(), !shown.isEmpty());
    QCOMPARE(state.count(), 0);
    if (shown.isEmpty())
        return;
    QCOMPARE(label->text(), shown);
    // In the bottom left corner, clear of the navigator drawn bottom right.
    QCOMPARE(label->geometry().bottomLeft(), QPoint(22, viewer.height() - 22 - 1));
    // Leaving full screen ends a paused show; a running one carries on.
    viewer.showNormal();
    QCOMPARE(label->isVisible(), running.last());
}

void TestViewerWidget::rawPreviewNamedWhenZoomed_data()
{
    // Zoomed, a RAW file shows its embedded preview, whose size the status
    // line gives so that it is not taken for the sensor's.
    QTest::addColumn<QString>("file");
    QTest::addColumn<bool>("zoom");
    QTest::addColumn<bool>("named");
    QTest::newRow("raw-at-100") << "fixtures/fixture-sony-zv-e10.arw" << true << true;
    QTest::newRow("raw-at-fit") << "fixtures/fixture-sony-zv-e10.arw" << false << false;
    QTest::newRow("jpeg-at-100") << "cameras/Canon_EOS-RP__MG_0633.JPG" << true << false;
}

void TestViewerWidget::rawPreviewNamedWhenZoomed()
{
    QFETCH(QString, file);
    QFETCH(bool, zoom);
    QFETCH(bool, named);
    const QString photo = freshDir(tmp) + QLatin1Char('/') + QFileInfo(file).fileName();
    QVERIFY(QFile::copy(QStringLiteral(GLANCEWAY_TESTDATA "/") + file, photo));
    PhotoCatalog catalog;
    ViewerWidget viewer(&catalog);
    viewer.resize(600, 400);
    openAndSettle(viewer, {photo});
    auto *canvas = viewer.findChild<PhotoCanvas *>(QStringLiteral("photoCanvas"));
    if (zoom) {
        viewer.setActualSizeMode();
        QTRY_VERIFY(!canvas->fullPicture().isNull());
    }
    const QSize shown = zoom ? canvas->fullPicture().size() : QSize();
    const QString status = viewer.statusText();
    QVERIFY2(status.contains(QStringLiteral(" — Preview ")) == named, qPrintable(status));
    if (named)
        QVERIFY2(status.contains(QStringLiteral("100 % — Preview %1 × %2").arg(shown.width()).arg(shown.height())),
                 qPrintable(status));
}

void TestViewerWidget::viewModes()
{
    const QString dir = freshDir(tmp);
    const QStringList files = makePhotos(dir, 2, QSize(400, 300));
    PhotoCatalog catalog;
    ViewerWidget viewer(&catalog);
    showAndOpen(viewer, QSize(1600, 1200), files);
    auto *canvas = viewer.findChild<PhotoCanvas *>(QStringLiteral("photoCanvas"));
    QCOMPARE(canvas->shownPicture().size(), QSize(1600, 1200));

    QSignalSpy state(&viewer, &ViewerWidget::stateChanged);
    viewer.setFitMode();
    QCOMPARE(state.count(), 0);
    viewer.setActualSizeMode();
    QCOMPARE(viewer.viewMode(), int(ViewerWidget::ActualSize));
    QCOMPARE(canvas->shownPicture().size(), QSize(400, 300));
    viewer.rotateClockwise();
    QCOMPARE(canvas->shownPicture().size(), QSize(300, 400));
    viewer.toggleViewMode();
    QCOMPARE(viewer.viewMode(), int(ViewerWidget::Fit));
    QCOMPARE(canvas->shownPicture().size(), QSize(900, 1200));
    QCOMPARE(state.count(), 3);
}

void TestViewerWidget::rapidJumpsEndOnTheShownPhoto()
{
    const QStringList files = makePhotos(freshDir(tmp), 40, QSize(1200, 800));
    PhotoCatalog catalog;
    ViewerWidget viewer(&catalog);
    openAndSettle(viewer, files);
    // Jumps far apart and back, faster than decodes finish: preloads of windows
    // left behind are dropped, and the photo finally current is still decoded.
    const QList<int> jumps{30, 5, 22, 30, 12, 39, 31, 30, 8, 9, 30};
    for (int i = 0; i < jumps.size(); ++i) {
        catalog.select(files[jumps[i]]);
        if (i % 3 == 2)
            QCoreApplication::processEvents();
    }
    QCOMPARE(catalog.currentPath(), files[30]);
    QTRY_VERIFY(!isLoading(viewer));
    QVERIFY(!viewer.findChild<PhotoCanvas *>(QStringLiteral("photoCanvas"))->shownPicture().isNull());
    QTRY_COMPARE(viewer.pendingPreviewCount(), 0);
    catalog.next();
    QVERIFY(viewer.statusText().contains(QStringLiteral(" — cache")));
}

void TestViewerWidget::shownInDisplayColours_data()
{
    // A flat Adobe RGB patch: converted at Fit and at 100 % when colour
    // management is on, shown as stored when it is off; a damaged file says so.
    QTest::addColumn<bool>("manage");
    QTest::addColumn<bool>("damaged");
    QTest::addColumn<bool>("actualSize");
    QTest::newRow("managed-fit") << true << false << false;
    QTest::newRow("managed-100") << true << false << true;
    QTest::newRow("unmanaged") << false << false << false;
    QTest::newRow("damaged") << true << true << false;
}

void TestViewerWidget::shownInDisplayColours()
{
    QFETCH(bool, manage);
    QFETCH(bool, damaged);
    QFETCH(bool, actualSize);
    QSettings().setValue(QStringLiteral("view/colourManagement"), manage);
    const QString photo = freshDir(tmp) + QStringLiteral("/adobe.jpg");
    QImage patch(240, 160, QImage::Format_RGB32);
    patch.fill(qRgb(200, 60, 60));
    patch.setColorSpace(QColorSpace::AdobeRgb);
    QVERIFY(patch.save(photo, "JPEG", 100));
    if (damaged) {
        QFile file(photo);
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.resize(file.size() * 2 / 3));
    }
    PhotoCatalog catalog;
    ViewerWidget viewer(&catalog);
    viewer.resize(480, 320);
    openAndSettle(viewer, {photo});
    auto *canvas = viewer.findChild<PhotoCanvas *>(QStringLiteral("photoCanvas"));
    QTRY_VERIFY(!canvas->shownPicture().isNull());
    if (actualSize) {
        viewer.setActualSizeMode();
        QTRY_COMPARE(canvas->shownPicture().size(), QSize(240, 160));
    }
    const QRgb shown = canvas->shownPicture().pixel(canvas->shownPicture().width() / 2, 10);
    // Adobe RGB (200, 60, 60) is about (220, 50, 56) in sRGB.
    const int red = qRed(shown);
    if (manage)
        QVERIFY2(red >= 214, qPrintable(QColor(shown).name()));
    else
        QVERIFY2(qAbs(red - 200) <= 3, qPrintable(QColor(shown).name()));
    QCOMPARE(viewer.statusText().contains(QStringLiteral("This file is damaged; only part of it could be shown")),
             damaged);
}

void TestViewerWidget::undecodablePhoto()
{
    const QString dir = freshDir(tmp);
    QStringList files = makePhotos(dir, 2);
    QFile broken(files[0]);
    QVERIFY(broken.open(QIODevice::WriteOnly | QIODevice::Truncate));
    broken.write("not a photo at all");
    broken.close();
    PhotoCatalog catalog;
    ViewerWidget viewer(&catalog);
    QSignalSpy warnings(&viewer, &ViewerWidget::warningRaised);
    openAndSettle(viewer, files);
    QCOMPARE(warnings.count(), 1);
    QCOMPARE(warnings.first().first().toString(), QStringLiteral("Could not read preview: %1").arg(files[0]));
    QVERIFY(viewer.findChild<PhotoCanvas *>(QStringLiteral("photoCanvas"))->text().startsWith(QStringLiteral("This photo could not be displayed.\n") + files[0]));
    QVERIFY(viewer.statusText().contains(QStringLiteral(" ms")));
    viewer.rotateClockwise(); // nothing to turn
    QVERIFY(!viewer.statusText().contains(QStringLiteral("rotated")));
    QTRY_COMPARE(viewer.pendingPreviewCount(), 0);
    catalog.next();
    QVERIFY(viewer.statusText().contains(QStringLiteral("cache")));
}

QTEST_MAIN(TestViewerWidget)
#include "tst_viewerwidget.moc"
