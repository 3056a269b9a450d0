#include "testrecords.h"
#include "core/xmpsidecar.h"
#include "imaging/exifsummary.h"
#include "viewer/viewerwidget.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QScrollArea>
#include <QSettings>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>
#include <QWheelEvent>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

using PhotoCore::Metadata;

namespace PhotoCore {
char *toString(const Metadata &m)
{
    return qstrdup(QStringLiteral("{rating %1, label \"%2\", rejected %3, rotation %4}")
                       .arg(m.rating).arg(m.label).arg(m.rejected).arg(m.rotation).toUtf8().constData());
}
} // namespace PhotoCore

namespace {

const QString star = QString(QChar(0x2605));

// A folder of small JPEGs named IMG_0001.jpg, IMG_0002.jpg, ...
QStringList makePhotos(const QString &dir, int count, QSize size = QSize(64, 48))
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    const QString first = dir + QStringLiteral("/IMG_0001.jpg");
    image.save(first, "JPEG");
    QStringList files{first};
    for (int i = 2; i <= count; ++i) {
        const QString path = dir + QStringLiteral("/IMG_%1.jpg").arg(i, 4, 10, QLatin1Char('0'));
        QFile::copy(first, path);
        files.append(path);
    }
    return files;
}

bool isLoading(const ViewerWidget &viewer)
{
    return viewer.statusText().contains(QStringLiteral("loading"));
}

// Holds a sidecar scan at the photo whose sidecar is a FIFO: the scan's read
// of it waits until the test closes the other end.
class ScanGate
{
public:
    explicit ScanGate(const QString &photoPath) : fifo(PhotoCore::sidecarPathFor(photoPath))
    {
#ifdef Q_OS_UNIX
        ok = ::mkfifo(QFile::encodeName(fifo).constData(), 0600) == 0;
#endif
    }
    ~ScanGate() { release(); }
    bool isValid() const { return ok; }

    // True once the scan has read every sidecar before the gate and waits in
    // it; it stays there until release().
    bool reached()
    {
#ifdef Q_OS_UNIX
        if (fd < 0)
            fd = ::open(QFile::encodeName(fifo).constData(), O_WRONLY | O_NONBLOCK);
#endif
        return fd >= 0;
    }

    // The waiting read ends with an empty file.
    void release()
    {
#ifdef Q_OS_UNIX
        if (fd >= 0)
            ::close(fd);
#endif
        fd = -1;
        if (ok)
            QFile::remove(fifo);
        ok = false;
    }

private:
    QString fifo;
    int fd = -1;
    bool ok = false;
};

} // namespace

#ifdef Q_OS_UNIX
#define REQUIRE_GATE(gate) QVERIFY((gate).isValid())
#else
#define REQUIRE_GATE(gate) QSKIP("holding a scan needs a FIFO")
#endif

class TestViewerWidget : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void markDuringScanSurvivesIt_data();
    void markDuringScanSurvivesIt();
    void scanOfEarlierFolderIsDropped();
    void filterChosenDuringScanAppliesOnArrival();
    void resumeRequestedDuringScan();
    void firstUnreviewedAfterScan_data();
    void firstUnreviewedAfterScan();

    void navigationAtEndsEmitsNothing_data();
    void navigationAtEndsEmitsNothing();
    void markMovesOn_data();
    void markMovesOn();
    void markEditsRecord_data();
    void markEditsRecord();
    void writeFailureKeepsMarks();
    void photosSharingASidecarShareMarks();
    void rotation_data();
    void rotation();
    void batchOneAtATimeAndFailuresInOrder();
    void batchOutsideFolderDoesNothing();
    void batchOfEarlierFolderIsDropped();
    void resumeReview_data();
    void resumeReview();
    void removeFiles_data();
    void removeFiles();

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
    void viewModes();
    void rapidJumpsEndOnTheShownPhoto();
    void undecodablePhoto();

private:
    // Opens `files` and waits until the first photo is shown and the scan applied.
    void openAndSettle(ViewerWidget &viewer, const QStringList &files);

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
    QSignalSpy scanned(&viewer, &ViewerWidget::summaryChanged);
    viewer.openFiles(files);
    QVERIFY(scanned.wait());
    QTRY_VERIFY(!isLoading(viewer));
}

static QString freshDir(const QTemporaryDir &tmp)
{
    static int counter = 0;
    const QString dir = tmp.filePath(QStringLiteral("case%1").arg(++counter));
    QDir().mkpath(dir);
    return dir;
}

void TestViewerWidget::markDuringScanSurvivesIt_data()
{
    QTest::addColumn<bool>("reload");
    QTest::newRow("first-scan") << false;
    QTest::newRow("reload") << true;
}

void TestViewerWidget::markDuringScanSurvivesIt()
{
    QFETCH(bool, reload);
    const QStringList files = makePhotos(freshDir(tmp), 4);
    QVERIFY(PhotoCore::writeMetadata(files[0], record(1)));
    ViewerWidget viewer;
    if (reload)
        openAndSettle(viewer, files);
    ScanGate gate(files.last());
    REQUIRE_GATE(gate);
    if (reload)
        viewer.reloadMetadata();
    else
        viewer.openFiles(files);

    QTRY_VERIFY(gate.reached()); // the scan has read the old rating 1
    viewer.setRating(4);
    QSignalSpy scanned(&viewer, &ViewerWidget::summaryChanged);
    gate.release();
    QVERIFY(scanned.wait());
    QCOMPARE(viewer.metadataSnapshot().value(files[0]).rating, 4);
    QCOMPARE(PhotoCore::readMetadata(files[0]).rating, 4);
    QCOMPARE(scanned.last().at(1).toInt(), 1); // reviewed
}

void TestViewerWidget::scanOfEarlierFolderIsDropped()
{
    const QStringList first = makePhotos(freshDir(tmp), 3);
    QVERIFY(PhotoCore::writeMetadata(first[0], record(5)));
    QVERIFY(PhotoCore::writeMetadata(first[1], record(5)));
    const QStringList second = makePhotos(freshDir(tmp), 2);
    ViewerWidget viewer;
    QSignalSpy summaries(&viewer, &ViewerWidget::summaryChanged);
    {
        ScanGate gate(first.last());
        REQUIRE_GATE(gate);
        viewer.openFiles(first);
        QTRY_VERIFY(gate.reached());
        viewer.openFiles(second);
        gate.release();
    }
    QTRY_COMPARE(summaries.count(), 1);
    QCOMPARE(summaries.first().at(0).toInt(), 2);
    QCOMPARE(summaries.first().at(1).toInt(), 0);
    for (const QString &path : first)
        QVERIFY(!viewer.metadataSnapshot().contains(path));
    QCOMPARE(viewer.visibleFiles(), second);
}

void TestViewerWidget::filterChosenDuringScanAppliesOnArrival()
{
    const QStringList files = makePhotos(freshDir(tmp), 5);
    QVERIFY(PhotoCore::writeMetadata(files[1], record(3)));
    QVERIFY(PhotoCore::writeMetadata(files[3], record(3)));
    ViewerWidget viewer;
    ScanGate gate(files.last());
    REQUIRE_GATE(gate);
    viewer.openFiles(files);
    viewer.setFilter(QStringLiteral("rating:3"));
    QVERIFY(viewer.statusText().contains(QStringLiteral("preparing filter")));
    QCOMPARE(viewer.visibleFiles(), files);

    QSignalSpy catalog(&viewer, &ViewerWidget::catalogChanged);
    QTRY_VERIFY(gate.reached());
    gate.release();
    QTRY_COMPARE(viewer.visibleFiles(), (QStringList{files[1], files[3]}));
    QCOMPARE(viewer.currentFilePath(), files[1]);
    QVERIFY(!viewer.statusText().contains(QStringLiteral("preparing filter")));
    QVERIFY(catalog.count() >= 1);
}

void TestViewerWidget::resumeRequestedDuringScan()
{
    const QStringList files = makePhotos(freshDir(tmp), 5);
    QVERIFY(PhotoCore::writeMetadata(files[2], record(0, QStringLiteral("Green"))));
    ViewerWidget viewer;
    ScanGate gate(files.last());
    REQUIRE_GATE(gate);
    viewer.openFiles(files);
    viewer.resumeReview();
    QVERIFY(viewer.statusText().contains(QStringLiteral("preparing resume position")));
    // A filter chosen and taken back meanwhile leaves the resume still pending.
    viewer.setFilter(QStringLiteral("rating:3"));
    QVERIFY(viewer.statusText().contains(QStringLiteral("preparing filter")));
    viewer.setFilter(QStringLiteral("all"));
    QVERIFY(viewer.statusText().contains(QStringLiteral("preparing resume position")));
    QCOMPARE(viewer.currentFilePath(), files[0]);
    QTRY_VERIFY(gate.reached());
    gate.release();
    QTRY_COMPARE(viewer.currentFilePath(), files[3]);
    QVERIFY(!viewer.statusText().contains(QStringLiteral("preparing")));
}

void TestViewerWidget::firstUnreviewedAfterScan_data()
{
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<QString>("filter"); // left from the folder before
    QTest::addColumn<QList<int>>("reviewed"); // photos rated 2 on disk
    QTest::addColumn<int>("expected"); // folder position current after the scan
    QTest::addColumn<QList<int>>("visible");
    const QList<int> all{0, 1, 2, 3, 4};
    QTest::newRow("off") << false << "all" << QList<int>{0, 1} << 0 << all;
    QTest::newRow("skips-reviewed") << true << "all" << QList<int>{0, 1, 3} << 2 << all;
    QTest::newRow("all-reviewed-stays-first") << true << "all" << all << 0 << all;
    QTest::newRow("filter-left-shows-whole-folder") << true << "rating:2" << QList<int>{0, 1} << 2 << all;
    QTest::newRow("off-filter-applies") << false << "rating:2" << QList<int>{0, 1} << 0 << QList<int>{0, 1};
}

void TestViewerWidget::firstUnreviewedAfterScan()
{
    QFETCH(bool, enabled);
    QFETCH(QString, filter);
    QFETCH(QList<int>, reviewed);
    QFETCH(int, expected);
    QFETCH(QList<int>, visible);
    QSettings().setValue(QStringLiteral("session/firstUnreviewed"), enabled);
    const QStringList files = makePhotos(freshDir(tmp), 5);
    for (int i : reviewed)
        QVERIFY(PhotoCore::writeMetadata(files[i], record(2)));
    ViewerWidget viewer;
    viewer.setFilter(filter);
    openAndSettle(viewer, files);
    QStringList expectedVisible;
    for (int i : visible)
        expectedVisible.append(files[i]);
    QTRY_COMPARE(viewer.visibleFiles(), expectedVisible);
    QCOMPARE(viewer.currentFilePath(), files[expected]);
    QVERIFY(!viewer.statusText().contains(QStringLiteral("preparing")));

    // The next mark brings a filter left aside back into force.
    viewer.setRating(2);
    if (filter != QLatin1String("all")) {
        QStringList rated;
        for (int i = 0; i < files.size(); ++i) {
            if (reviewed.contains(i) || i == expected)
                rated.append(files[i]);
        }
        QCOMPARE(viewer.visibleFiles(), rated);
        QCOMPARE(viewer.currentFilePath(), files[expected]);
    }
}

void TestViewerWidget::navigationAtEndsEmitsNothing_data()
{
    QTest::addColumn<int>("start");
    QTest::addColumn<bool>("forward");
    QTest::addColumn<int>("expected");
    QTest::addColumn<bool>("emits");
    QTest::newRow("previous-at-first") << 0 << false << 0 << false;
    QTest::newRow("next-at-last") << 2 << true << 2 << false;
    QTest::newRow("next-in-middle") << 1 << true << 2 << true;
    QTest::newRow("previous-in-middle") << 1 << false << 0 << true;
}

void TestViewerWidget::navigationAtEndsEmitsNothing()
{
    QFETCH(int, start);
    QFETCH(bool, forward);
    QFETCH(int, expected);
    QFETCH(bool, emits);
    const QStringList files = makePhotos(freshDir(tmp), 3);
    ViewerWidget viewer;
    openAndSettle(viewer, files);
    viewer.selectFile(files[start]);
    QSignalSpy state(&viewer, &ViewerWidget::stateChanged);
    QSignalSpy catalog(&viewer, &ViewerWidget::catalogChanged);
    forward ? viewer.nextImage() : viewer.previousImage();
    QCOMPARE(viewer.currentFilePath(), files[expected]);
    QCOMPARE(state.count() > 0, emits);
    QCOMPARE(catalog.count(), 0);
    QCOMPARE(viewer.isAtLastImage(), expected == 2);
}

void TestViewerWidget::markMovesOn_data()
{
    QTest::addColumn<bool>("autoAdvance");
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QList<int>>("rated"); // photos rated 2 before the mark
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("expected"); // folder position of the photo current afterwards

    QTest::newRow("advance-on") << true << "all" << QList<int>{} << 1 << 2;
    QTest::newRow("advance-off") << false << "all" << QList<int>{} << 1 << 1;
    QTest::newRow("advance-on-at-last") << true << "all" << QList<int>{} << 4 << 4;
    QTest::newRow("filter-left-tie-takes-later") << true << "unrated" << QList<int>{} << 2 << 3;
    QTest::newRow("filter-left-nearest-before") << true << "unrated" << QList<int>{3} << 2 << 1;
    QTest::newRow("filter-left-at-end") << false << "unrated" << QList<int>{} << 4 << 3;
    QTest::newRow("filter-still-passes") << true << "zerostars" << QList<int>{} << 2 << 2;
}

void TestViewerWidget::markMovesOn()
{
    QFETCH(bool, autoAdvance);
    QFETCH(QString, filter);
    QFETCH(QList<int>, rated);
    QFETCH(int, start);
    QFETCH(int, expected);
    QSettings().setValue(QStringLiteral("rating/autoAdvance"), autoAdvance);
    const QStringList files = makePhotos(freshDir(tmp), 5);
    for (int i : rated)
        QVERIFY(PhotoCore::writeMetadata(files[i], record(2)));
    ViewerWidget viewer;
    openAndSettle(viewer, files);
    viewer.setFilter(filter);
    viewer.selectFile(files[start]);
    QCOMPARE(viewer.currentFilePath(), files[start]);

    if (filter == QLatin1String("zerostars"))
        viewer.setColorLabel(QStringLiteral("Blue"));
    else
        viewer.setRating(3);
    QCOMPARE(viewer.currentFilePath(), files[expected]);
    QVERIFY(PhotoCore::readMetadata(files[start]) != Metadata());
}

void TestViewerWidget::markEditsRecord_data()
{
    QTest::addColumn<Metadata>("before");
    QTest::addColumn<QString>("operation");
    QTest::addColumn<Metadata>("after");
    const Metadata marked = record(4, QStringLiteral("Green"), false, 90);
    QTest::newRow("rating-clamped-high") << Metadata() << "rating:7" << record(5);
    QTest::newRow("rating-clamped-low") << record(2) << "rating:-2" << record(0);
    QTest::newRow("rating-clears-rejection") << record(0, {}, true) << "rating:2" << record(2);
    QTest::newRow("reject-keeps-label") << marked << "reject" << record(0, QStringLiteral("Green"), true, 90);
    QTest::newRow("clear-rejection") << record(0, QStringLiteral("Red"), true) << "clearRejection"
                                     << record(0, QStringLiteral("Red"));
    QTest::newRow("clear-label") << marked << "clearLabel" << record(4, {}, false, 90);
    QTest::newRow("clear-all-keeps-rotation") << marked << "clearAll" << record(0, {}, false, 90);
    QTest::newRow("label-unchecked") << record(1) << "label:Magenta" << record(1, QStringLiteral("Magenta"));
}

void TestViewerWidget::markEditsRecord()
{
    QFETCH(Metadata, before);
    QFETCH(QString, operation);
    QFETCH(Metadata, after);
    const QStringList files = makePhotos(freshDir(tmp), 2);
    QVERIFY(PhotoCore::writeMetadata(files[0], before));
    ViewerWidget viewer;
    openAndSettle(viewer, files);
    QSignalSpy summary(&viewer, &ViewerWidget::summaryChanged);
    const QString arg = operation.section(QLatin1Char(':'), 1);
    if (operation.startsWith(QLatin1String("rating:")))
        viewer.setRating(arg.toInt());
    else if (operation.startsWith(QLatin1String("label:")))
        viewer.setColorLabel(arg);
    else if (operation == QLatin1String("reject"))
        viewer.rejectImage();
    else if (operation == QLatin1String("clearRejection"))
        viewer.clearRejection();
    else if (operation == QLatin1String("clearLabel"))
        viewer.clearColorLabel();
    else
        viewer.clearAllMarks();
    QCOMPARE(viewer.metadataSnapshot().value(files[0]), after);
    QCOMPARE(PhotoCore::readMetadata(files[0]), after);
    QCOMPARE(summary.count(), 1);
    QCOMPARE(viewer.currentFilePath(), files[0]);
}

void TestViewerWidget::writeFailureKeepsMarks()
{
    const QStringList files = makePhotos(freshDir(tmp), 3);
    const QString sidecar = PhotoCore::sidecarPathFor(files[1]);
    QVERIFY(QDir().mkpath(sidecar)); // a directory where the sidecar belongs fails for root too
    QSettings().setValue(QStringLiteral("rating/autoAdvance"), true);
    ViewerWidget viewer;
    openAndSettle(viewer, files);
    viewer.selectFile(files[1]);
    QTRY_VERIFY(!isLoading(viewer));

    QSignalSpy warnings(&viewer, &ViewerWidget::warningRaised);
    QSignalSpy summary(&viewer, &ViewerWidget::summaryChanged);
    viewer.setRating(5);
    QCOMPARE(warnings.count(), 1);
    QVERIFY(warnings.first().first().toString().startsWith(QStringLiteral("Could not write XMP sidecar for %1.").arg(files[1])));
    QCOMPARE(viewer.currentFilePath(), files[1]);
    QCOMPARE(viewer.metadataSnapshot().value(files[1]), Metadata());
    QCOMPARE(summary.count(), 0);
    QVERIFY(viewer.statusText().contains(QStringLiteral("XMP write failed")));

    viewer.nextImage(); // another photo clears the tag
    QVERIFY(!viewer.statusText().contains(QStringLiteral("XMP write failed")));
    viewer.previousImage();
    viewer.setColorLabel(QStringLiteral("Red"));
    QVERIFY(viewer.statusText().contains(QStringLiteral("XMP write failed")));

    QVERIFY(QDir().rmdir(sidecar));
    QSettings().setValue(QStringLiteral("rating/autoAdvance"), false);
    viewer.setRating(5);
    QCOMPARE(viewer.currentFilePath(), files[1]);
    QCOMPARE(viewer.metadataSnapshot().value(files[1]).rating, 5);
    QVERIFY(!viewer.statusText().contains(QStringLiteral("XMP write failed")));
}

void TestViewerWidget::photosSharingASidecarShareMarks()
{
    const QString dir = freshDir(tmp);
    const QStringList jpegs = makePhotos(dir, 1);
    const QString png = dir + QStringLiteral("/IMG_0001.png");
    QVERIFY(QImage(jpegs[0]).save(png, "PNG"));
    const QStringList files{jpegs[0], png};
    ViewerWidget viewer;
    openAndSettle(viewer, files);
    viewer.setRating(3);
    QCOMPARE(viewer.metadataSnapshot().value(png).rating, 3);
    viewer.nextImage();
    viewer.setColorLabel(QStringLiteral("Red"));
    // The label write must not take the stars of the other photo away.
    QCOMPARE(PhotoCore::readMetadata(png), record(3, QStringLiteral("Red")));
    QCOMPARE(viewer.metadataSnapshot().value(jpegs[0]), record(3, QStringLiteral("Red")));
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
    ViewerWidget viewer;
    openAndSettle(viewer, files);
    QSignalSpy state(&viewer, &ViewerWidget::stateChanged);
    viewer.rotateClockwise();
    QVERIFY(viewer.statusText().contains(QStringLiteral(" — rotated 90°")));
    QCOMPARE(viewer.currentFilePath(), files[0]);
    QCOMPARE(state.count(), 1);
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
    viewer.nextImage();
    viewer.previousImage();
    QVERIFY(viewer.statusText().contains(QStringLiteral(" — rotated 90°")));
    openAndSettle(viewer, files);
    QCOMPARE(viewer.statusText().contains(QStringLiteral(" — rotated 90°")), remember);
}

void TestViewerWidget::batchOneAtATimeAndFailuresInOrder()
{
    const QStringList files = makePhotos(freshDir(tmp), 4);
    QVERIFY(PhotoCore::writeMetadata(files[0], record(0, QStringLiteral("Blue"))));
    QVERIFY(QDir().mkpath(PhotoCore::sidecarPathFor(files[2])));
    ViewerWidget viewer;
    openAndSettle(viewer, files);
    QSignalSpy busy(&viewer, &ViewerWidget::metadataBatchBusyChanged);
    QSignalSpy finished(&viewer, &ViewerWidget::metadataBatchFinished);
    const QString current = viewer.currentFilePath();

    viewer.setRatingForFiles({files[3], files[2], files[0], QStringLiteral("/elsewhere/x.jpg")}, 4);
    QVERIFY(viewer.isMetadataBatchBusy());
    viewer.clearAllMarksForFiles(files); // ignored while the first runs
    QVERIFY(finished.wait());
    QCOMPARE(finished.count(), 1);
    QCOMPARE(finished.first().first().toStringList(), QStringList{files[2]});
    QCOMPARE(busy.count(), 2);
    QCOMPARE(busy.at(0).first().toBool(), true);
    QCOMPARE(busy.at(1).first().toBool(), false);
    QVERIFY(!viewer.isMetadataBatchBusy());

    QCOMPARE(PhotoCore::readMetadata(files[0]), record(4, QStringLiteral("Blue")));
    QCOMPARE(PhotoCore::readMetadata(files[3]).rating, 4);
    QCOMPARE(PhotoCore::readMetadata(files[1]), Metadata());
    QCOMPARE(viewer.metadataSnapshot().value(files[3]).rating, 4);
    QCOMPARE(viewer.metadataSnapshot().value(files[2]), Metadata());
    QCOMPARE(viewer.currentFilePath(), current);

    viewer.setRejectedForFiles({files[3]}, true);
    QVERIFY(finished.wait());
    QCOMPARE(viewer.metadataSnapshot().value(files[3]), record(0, {}, true));
}

void TestViewerWidget::batchOutsideFolderDoesNothing()
{
    const QStringList files = makePhotos(freshDir(tmp), 2);
    ViewerWidget viewer;
    openAndSettle(viewer, files);
    QSignalSpy busy(&viewer, &ViewerWidget::metadataBatchBusyChanged);
    viewer.setColorLabelForFiles({QStringLiteral("/nowhere/a.jpg")}, QStringLiteral("Red"));
    viewer.clearColorLabelForFiles({});
    QCOMPARE(busy.count(), 0);
    QVERIFY(!viewer.isMetadataBatchBusy());
}

void TestViewerWidget::batchOfEarlierFolderIsDropped()
{
    const QStringList first = makePhotos(freshDir(tmp), 3);
    const QStringList second = makePhotos(freshDir(tmp), 2);
    ViewerWidget viewer;
    openAndSettle(viewer, first);
    QSignalSpy busy(&viewer, &ViewerWidget::metadataBatchBusyChanged);
    QSignalSpy finished(&viewer, &ViewerWidget::metadataBatchFinished);
    viewer.setRatingForFiles(first, 2);
    openAndSettle(viewer, second);
    QVERIFY(!viewer.isMetadataBatchBusy());
    QCOMPARE(busy.count(), 2);
    QCOMPARE(busy.last().first().toBool(), false);

    // A new batch runs; the old one's result, whenever it came, left no trace.
    viewer.setRatingForFiles({second[1]}, 1);
    QVERIFY(finished.wait());
    QCOMPARE(finished.count(), 1);
    for (const QString &path : first)
        QVERIFY(!viewer.metadataSnapshot().contains(path));
    QCOMPARE(viewer.metadataSnapshot().value(second[1]).rating, 1);
}

void TestViewerWidget::resumeReview_data()
{
    QTest::addColumn<QList<int>>("reviewed");
    QTest::addColumn<int>("expected");
    QTest::newRow("none-reviewed") << QList<int>{} << 0;
    QTest::newRow("after-last-reviewed") << QList<int>{0, 2} << 3;
    QTest::newRow("all-reviewed") << QList<int>{0, 1, 2, 3, 4} << 4;
    QTest::newRow("last-reviewed") << QList<int>{4} << 4;
}

void TestViewerWidget::resumeReview()
{
    QFETCH(QList<int>, reviewed);
    QFETCH(int, expected);
    const QStringList files = makePhotos(freshDir(tmp), 5);
    for (int i : reviewed)
        QVERIFY(PhotoCore::writeMetadata(files[i], record(0, {}, true)));
    ViewerWidget viewer;
    openAndSettle(viewer, files);
    viewer.setFilter(QStringLiteral("rejected"));
    QSignalSpy catalog(&viewer, &ViewerWidget::catalogChanged);
    viewer.resumeReview();
    QCOMPARE(viewer.currentFilePath(), files[expected]);
    QCOMPARE(viewer.visibleFiles(), files);
    QVERIFY(catalog.count() >= 1);
}

void TestViewerWidget::removeFiles_data()
{
    QTest::addColumn<int>("current");
    QTest::addColumn<QList<int>>("removed");
    QTest::addColumn<int>("expected");
    QTest::newRow("middle-takes-following") << 2 << QList<int>{2} << 3;
    QTest::newRow("last-takes-new-last") << 4 << QList<int>{4} << 3;
    QTest::newRow("other-keeps-current") << 3 << QList<int>{0, 1} << 3;
    QTest::newRow("all-removed") << 0 << QList<int>{0, 1, 2, 3, 4} << -1;
}

void TestViewerWidget::removeFiles()
{
    QFETCH(int, current);
    QFETCH(QList<int>, removed);
    QFETCH(int, expected);
    const QStringList files = makePhotos(freshDir(tmp), 5);
    ViewerWidget viewer;
    openAndSettle(viewer, files);
    viewer.selectFile(files[current]);
    QStringList gone;
    for (int i : removed)
        gone.append(files[i]);
    QSignalSpy summary(&viewer, &ViewerWidget::summaryChanged);
    viewer.removeFiles(gone);
    QCOMPARE(viewer.currentFilePath(), expected < 0 ? QString() : files[expected]);
    QCOMPARE(viewer.allFiles().size(), files.size() - gone.size());
    QCOMPARE(summary.count(), 1);
    QCOMPARE(summary.first().first().toInt(), int(files.size() - gone.size()));
    if (expected >= 0) // the photos are decoded afresh
        QTRY_VERIFY(!isLoading(viewer));
}

void TestViewerWidget::statusTextOfExample()
{
    const QStringList files = makePhotos(freshDir(tmp), 120);
    QVERIFY(PhotoCore::writeMetadata(files[2], record(3, QStringLiteral("Red"))));
    ViewerWidget viewer;
    ScanGate gate(files.last());
    REQUIRE_GATE(gate);
    viewer.openFiles(files);
    QTRY_VERIFY(!isLoading(viewer));
    QTRY_COMPARE(viewer.pendingPreviewCount(), 0);
    viewer.nextImage();
    viewer.nextImage();
    QCOMPARE(viewer.statusText(), QStringLiteral("Image 3 of 120 — Fit — cache — %1 · Red — scanning ratings — "
                                                 "Left/Right to navigate")
                                      .arg(star.repeated(3)));
    QTRY_VERIFY(gate.reached());
    gate.release();
    QTRY_COMPARE(viewer.statusText(),
                 QStringLiteral("Image 3 of 120 — Fit — cache — %1 · Red — Left/Right to navigate").arg(star.repeated(3)));
    viewer.toggleViewMode();
    QVERIFY(viewer.statusText().startsWith(QStringLiteral("Image 3 of 120 — 100% — cache")));
}

void TestViewerWidget::emptyStates_data()
{
    QTest::addColumn<int>("photos");
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QString>("status");
    QTest::addColumn<QString>("message");
    QTest::newRow("no-folder") << -1 << "all" << "No supported images found" << "Open a folder to start viewing photos.";
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
    ViewerWidget viewer;
    viewer.toggleExifOverlay();
    if (photos >= 0) {
        const QStringList files = photos > 0 ? makePhotos(freshDir(tmp), photos) : QStringList();
        if (photos > 0)
            QVERIFY(PhotoCore::writeMetadata(files[0], record(2)));
        QSignalSpy scanned(&viewer, &ViewerWidget::summaryChanged);
        viewer.openFiles(files);
        QVERIFY(scanned.wait());
        viewer.setFilter(filter);
    }
    QCOMPARE(viewer.statusText(), status);
    QCOMPARE(viewer.currentFilePath(), QString());
    QVERIFY(viewer.findChild<QLabel *>(QStringLiteral("messageLabel"))->text().startsWith(message));
    QVERIFY(viewer.findChild<QLabel *>(QStringLiteral("marksOverlay"))->isHidden());
    QVERIFY(viewer.findChild<QLabel *>(QStringLiteral("exifOverlay"))->isHidden());

    QSignalSpy state(&viewer, &ViewerWidget::stateChanged);
    viewer.reloadMetadata();
    viewer.resumeReview();
    viewer.nextImage();
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
    ViewerWidget viewer;
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
    ViewerWidget viewer;
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
                                           "<tr><td style='color:#aeb6c2;padding-right:12px'>File size</td><td><b>%1</b></td></tr>"
                                           "<tr><td style='color:#aeb6c2;padding-right:12px'>File</td><td><b>IMG_0001.jpg</b></td></tr>"
                                           "</table>")
                                .arg(size));
    QCOMPARE(label->pos(), QPoint(22, 22));
    viewer.nextImage();
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
    ViewerWidget viewer;
    viewer.toggleExifOverlay();
    openAndSettle(viewer, {photo});
    const QString text = viewer.findChild<QLabel *>(QStringLiteral("exifOverlay"))->text();
    QVERIFY2(text.contains(QStringLiteral("Camera</td><td><b>%1</b>").arg((exif.make + QLatin1Char(' ') + exif.model).trimmed())),
             qPrintable(text));
    QVERIFY(!text.contains(QStringLiteral("No EXIF data available")));
    // Rows keep their order; rows without a value are left out.
    const QStringList order{"Camera", "Lens", "Captured", "Exposure", "Aperture", "ISO",
                            "Focal length", "Compensation", "Dimensions", "File size", "File"};
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
    QTest::addColumn<QRect>("expected");
    QTest::addColumn<QRect>("grown"); // after the viewer grew by 100 × 100
    QTest::newRow("ordinary") << QSize(800, 600) << QRect(16, 16, 768, 568) << QRect(16, 30, 868, 640);
    QTest::newRow("large-capped") << QSize(2000, 1000) << QRect(500, 180, 1000, 640) << QRect(550, 230, 1000, 640);
    QTest::newRow("tiny-at-least-1") << QSize(20, 21) << QRect(9, 10, 1, 1) << QRect(16, 16, 88, 89);
}

void TestViewerWidget::shortcutOverlayPlacement()
{
    QFETCH(QSize, viewerSize);
    QFETCH(QRect, expected);
    QFETCH(QRect, grown);
    QWidget host; // a child may be smaller than a window's minimum size
    host.resize(2200, 1200);
    ViewerWidget viewer(&host);
    viewer.resize(viewerSize);
    host.show();
    auto *overlay = viewer.findChild<QTextBrowser *>(QStringLiteral("shortcutOverlay"));
    viewer.setShortcutOverlayHtml(QStringLiteral("<table><tr><td>Ctrl+O</td></tr></table>"));
    QVERIFY(overlay->isHidden());
    QCOMPARE(overlay->geometry(), expected);
    QCOMPARE(overlay->focusPolicy(), Qt::NoFocus);

    QSignalSpy state(&viewer, &ViewerWidget::stateChanged);
    viewer.toggleShortcutOverlay();
    QVERIFY(viewer.isShortcutOverlayVisible());
    QVERIFY(!overlay->isHidden());
    viewer.resize(viewerSize + QSize(100, 100));
    QCOMPARE(overlay->geometry(), grown);
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
    ViewerWidget viewer;
    viewer.resize(400, 300);
    viewer.show();
    QVERIFY(QTest::qWaitForWindowActive(&viewer));
    openAndSettle(viewer, files);
    viewer.selectFile(files[1]);
    QTRY_VERIFY(!isLoading(viewer));
    viewer.setActualSizeMode(); // the photo is larger than the view and can scroll
    // Clicking the photo must not take the keys away from the viewer.
    QTest::mouseClick(viewer.findChild<QLabel *>(QStringLiteral("imageLabel")), Qt::LeftButton);
    QVERIFY(QApplication::focusWidget());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key(key), Qt::KeyboardModifiers(modifiers));
    QCOMPARE(viewer.currentFilePath(), files[expected]);
}

void TestViewerWidget::wheel_data()
{
    QTest::addColumn<QList<QPoint>>("angles");
    QTest::addColumn<QList<QPoint>>("pixels");
    QTest::addColumn<QList<int>>("requests");
    const QPoint none;
    QTest::newRow("three-small-notches") << QList<QPoint>{{0, 40}, {0, 40}, {0, 40}} << QList<QPoint>{none, none, none}
                                         << QList<int>{-1};
    QTest::newRow("towards-user") << QList<QPoint>{{0, -120}, {0, -240}} << QList<QPoint>{none, none} << QList<int>{1, 1};
    QTest::newRow("reversal-resets") << QList<QPoint>{{0, 80}, {0, -40}, {0, 80}} << QList<QPoint>{none, none, none}
                                     << QList<int>{};
    QTest::newRow("horizontal-swallowed") << QList<QPoint>{{120, 0}, {0, 60}, {240, 0}, {0, 60}}
                                          << QList<QPoint>{none, none, none, none} << QList<int>{-1};
    QTest::newRow("pixel-delta-tripled") << QList<QPoint>{none, none} << QList<QPoint>{{0, -20}, {0, -20}}
                                         << QList<int>{1};
    QTest::newRow("nothing") << QList<QPoint>{none} << QList<QPoint>{none} << QList<int>{};
}

void TestViewerWidget::wheel()
{
    QFETCH(QList<QPoint>, angles);
    QFETCH(QList<QPoint>, pixels);
    QFETCH(QList<int>, requests);
    const QStringList files = makePhotos(freshDir(tmp), 3);
    ViewerWidget viewer;
    viewer.resize(400, 300);
    openAndSettle(viewer, files);
    auto *area = viewer.findChild<QScrollArea *>(QStringLiteral("scrollArea"));
    QSignalSpy spy(&viewer, &ViewerWidget::manualNavigationRequested);
    for (int i = 0; i < angles.size(); ++i) {
        QWidget *target = i % 2 ? static_cast<QWidget *>(area->viewport())
                                : viewer.findChild<QLabel *>(QStringLiteral("imageLabel"));
        QWheelEvent event(QPointF(5, 5), QPointF(5, 5), pixels[i], angles[i], Qt::NoButton, Qt::NoModifier,
                          Qt::NoScrollPhase, false);
        QVERIFY(QApplication::sendEvent(target, &event));
    }
    QList<int> got;
    for (const auto &args : spy)
        got.append(args.first().toInt());
    QCOMPARE(got, requests);
    QCOMPARE(viewer.currentFilePath(), files[0]); // the viewer never moves by itself
}

void TestViewerWidget::viewModes()
{
    const QString dir = freshDir(tmp);
    const QStringList files = makePhotos(dir, 2, QSize(400, 300));
    ViewerWidget viewer;
    viewer.resize(1600, 1200);
    viewer.show();
    QVERIFY(QTest::qWaitForWindowExposed(&viewer));
    openAndSettle(viewer, files);
    auto *label = viewer.findChild<QLabel *>(QStringLiteral("imageLabel"));
    QCOMPARE(label->pixmap().size(), QSize(1600, 1200));

    QSignalSpy state(&viewer, &ViewerWidget::stateChanged);
    viewer.setFitMode();
    QCOMPARE(state.count(), 0);
    viewer.setActualSizeMode();
    QCOMPARE(viewer.viewMode(), int(ViewerWidget::ActualSize));
    QCOMPARE(label->pixmap().size(), QSize(400, 300));
    viewer.rotateClockwise();
    QCOMPARE(label->pixmap().size(), QSize(300, 400));
    viewer.toggleViewMode();
    QCOMPARE(viewer.viewMode(), int(ViewerWidget::Fit));
    QCOMPARE(label->pixmap().size(), QSize(900, 1200));
    QCOMPARE(state.count(), 3);
}

void TestViewerWidget::rapidJumpsEndOnTheShownPhoto()
{
    const QStringList files = makePhotos(freshDir(tmp), 40, QSize(1200, 800));
    ViewerWidget viewer;
    openAndSettle(viewer, files);
    // Jumps far apart and back, faster than decodes finish: preloads of windows
    // left behind are dropped, and the photo finally current is still decoded.
    const QList<int> jumps{30, 5, 22, 30, 12, 39, 31, 30, 8, 9, 30};
    for (int i = 0; i < jumps.size(); ++i) {
        viewer.selectFile(files[jumps[i]]);
        if (i % 3 == 2)
            QCoreApplication::processEvents();
    }
    QCOMPARE(viewer.currentFilePath(), files[30]);
    QTRY_VERIFY(!isLoading(viewer));
    QVERIFY(!viewer.findChild<QLabel *>(QStringLiteral("imageLabel"))->pixmap().isNull());
    QTRY_COMPARE(viewer.pendingPreviewCount(), 0);
    viewer.nextImage();
    QVERIFY(viewer.statusText().contains(QStringLiteral(" — cache")));
}

void TestViewerWidget::undecodablePhoto()
{
    const QString dir = freshDir(tmp);
    QStringList files = makePhotos(dir, 2);
    QFile broken(files[0]);
    QVERIFY(broken.open(QIODevice::WriteOnly | QIODevice::Truncate));
    broken.write("not a photo at all");
    broken.close();
    ViewerWidget viewer;
    QSignalSpy warnings(&viewer, &ViewerWidget::warningRaised);
    openAndSettle(viewer, files);
    QCOMPARE(warnings.count(), 1);
    QCOMPARE(warnings.first().first().toString(), QStringLiteral("Could not read preview: %1").arg(files[0]));
    QVERIFY(viewer.findChild<QLabel *>(QStringLiteral("imageLabel"))->text().startsWith(QStringLiteral("This photo could not be displayed.\n") + files[0]));
    QVERIFY(viewer.statusText().contains(QStringLiteral(" ms")));
    viewer.rotateClockwise(); // nothing to turn
    QVERIFY(!viewer.statusText().contains(QStringLiteral("rotated")));
    QTRY_COMPARE(viewer.pendingPreviewCount(), 0);
    viewer.nextImage();
    QVERIFY(viewer.statusText().contains(QStringLiteral("cache")));
}

QTEST_MAIN(TestViewerWidget)
#include "tst_viewerwidget.moc"
