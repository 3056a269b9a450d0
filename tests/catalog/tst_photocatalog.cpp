#include "testphotos.h"
#include "testrecords.h"
#include "catalogtesting.h"
#include "catalog/photocatalog.h"
#include "core/sidecarpaths.h"
#include "core/xmpsidecar.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

using PhotoCore::Metadata;

class TestPhotoCatalog : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void markDuringScanSurvivesIt_data();
    void markDuringScanSurvivesIt();
    void scanOfEarlierFolderIsDropped();
    void firstUnreviewedAfterScan_data();
    void firstUnreviewedAfterScan();
    void navigationAtEndsEmitsNothing_data();
    void navigationAtEndsEmitsNothing();
    void markMovesOn_data();
    void markMovesOn();
    void advanceByKind_data();
    void advanceByKind();
    void markEditsRecord_data();
    void markEditsRecord();
    void photosSharingASidecarShareMarks();
    void batchOneAtATimeAndFailuresInOrder();
    void batchOutsideFolderDoesNothing();
    void batchOfEarlierFolderIsDropped();
    void resumeReview_data();
    void resumeReview();
    void folderSpellingsRescanQuietly_data();
    void folderSpellingsRescanQuietly();
    void removeFiles_data();
    void removeFiles();

private:
    QTemporaryDir tmp;
};

void TestPhotoCatalog::initTestCase()
{
    prepareCatalogTests();
    QVERIFY(tmp.isValid());
}

void TestPhotoCatalog::init()
{
    resetCatalogSettings();
}

// ---- Scans, navigation and marks ----------------------------------------

void TestPhotoCatalog::markDuringScanSurvivesIt_data()
{
    QTest::addColumn<bool>("reload");
    QTest::newRow("first-scan") << false;
    QTest::newRow("reload") << true;
}

void TestPhotoCatalog::markDuringScanSurvivesIt()
{
    QFETCH(bool, reload);
    const QStringList files = makePhotos(freshDir(tmp), 4);
    QVERIFY(PhotoCore::writeMetadata(files[0], record(1)));
    PhotoCatalog catalog;
    if (reload)
        openAndSettle(catalog, files);
    QSignalSpy scanned(&catalog, &PhotoCatalog::summaryChanged);
    if (reload)
        catalog.reloadMetadata();
    else
        catalog.openFiles(files);

    // The scan has read the old rating 1; its result has not arrived yet.
    catalog.scanThreadPool()->waitForDone();
    catalog.setRating(4);
    settle(catalog);
    QVERIFY(scanned.count() >= 1);
    QCOMPARE(catalog.record(files[0]).rating, 4);
    QCOMPARE(PhotoCore::readMetadata(files[0]).rating, 4);
    QCOMPARE(scanned.last().at(1).toInt(), 1); // reviewed
}

void TestPhotoCatalog::scanOfEarlierFolderIsDropped()
{
    const QStringList first = makePhotos(freshDir(tmp), 3);
    QVERIFY(PhotoCore::writeMetadata(first[0], record(5)));
    QVERIFY(PhotoCore::writeMetadata(first[1], record(5)));
    const QStringList second = makePhotos(freshDir(tmp), 2);
    PhotoCatalog catalog;
    QSignalSpy summaries(&catalog, &PhotoCatalog::summaryChanged);
    catalog.openFiles(first);
    catalog.scanThreadPool()->waitForDone(); // the first result is on its way
    catalog.openFiles(second);
    QTRY_COMPARE(summaries.count(), 1);
    QCOMPARE(summaries.first().at(0).toInt(), 2);
    QCOMPARE(summaries.first().at(1).toInt(), 0);
    for (const QString &path : first)
        QVERIFY(!catalog.records().contains(path));
    QCOMPARE(catalog.visibleFiles(), second);
}

void TestPhotoCatalog::firstUnreviewedAfterScan_data()
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

void TestPhotoCatalog::firstUnreviewedAfterScan()
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
    PhotoCatalog catalog;
    catalog.setFilter(filter);
    openAndSettle(catalog, files);
    QStringList expectedVisible;
    for (int i : visible)
        expectedVisible.append(files[i]);
    QTRY_COMPARE(catalog.visibleFiles(), expectedVisible);
    QCOMPARE(catalog.currentPath(), files[expected]);
    QCOMPARE(catalog.busy(), PhotoCatalog::Busy::None);

    // The next mark brings a filter left aside back into force.
    catalog.setRating(2);
    settle(catalog);
    if (filter != QLatin1String("all")) {
        QStringList rated;
        for (int i = 0; i < files.size(); ++i) {
            if (reviewed.contains(i) || i == expected)
                rated.append(files[i]);
        }
        QCOMPARE(catalog.visibleFiles(), rated);
        QCOMPARE(catalog.currentPath(), files[expected]);
    }
}

void TestPhotoCatalog::navigationAtEndsEmitsNothing_data()
{
    // Moves through 25 photos: "next", "previous", "first", "last" or a signed page step.
    QTest::addColumn<int>("start");
    QTest::addColumn<QString>("move");
    QTest::addColumn<int>("expected");
    QTest::addColumn<bool>("emits");
    QTest::newRow("previous-at-first") << 0 << "previous" << 0 << false;
    QTest::newRow("next-at-last") << 24 << "next" << 24 << false;
    QTest::newRow("next-in-middle") << 1 << "next" << 2 << true;
    QTest::newRow("previous-in-middle") << 1 << "previous" << 0 << true;
    QTest::newRow("first-from-middle") << 17 << "first" << 0 << true;
    QTest::newRow("first-at-first") << 0 << "first" << 0 << false;
    QTest::newRow("last-from-first") << 0 << "last" << 24 << true;
    QTest::newRow("last-at-last") << 24 << "last" << 24 << false;
    QTest::newRow("page-forward") << 3 << "+10" << 13 << true;
    QTest::newRow("page-forward-stops-at-last") << 20 << "+10" << 24 << true;
    QTest::newRow("page-forward-at-last") << 24 << "+10" << 24 << false;
    QTest::newRow("page-back") << 13 << "-10" << 3 << true;
    QTest::newRow("page-back-stops-at-first") << 4 << "-10" << 0 << true;
    QTest::newRow("page-back-at-first") << 0 << "-10" << 0 << false;
}

void TestPhotoCatalog::navigationAtEndsEmitsNothing()
{
    QFETCH(int, start);
    QFETCH(QString, move);
    QFETCH(int, expected);
    QFETCH(bool, emits);
    const QStringList files = makePhotos(freshDir(tmp), 25);
    PhotoCatalog catalog;
    openAndSettle(catalog, files);
    catalog.select(files[start]);
    QSignalSpy current(&catalog, &PhotoCatalog::currentChanged);
    QSignalSpy changes(&catalog, &PhotoCatalog::catalogChanged);
    if (move == QLatin1String("next"))
        catalog.next();
    else if (move == QLatin1String("previous"))
        catalog.previous();
    else if (move == QLatin1String("first"))
        catalog.first();
    else if (move == QLatin1String("last"))
        catalog.last();
    else
        catalog.moveBy(move.toInt());
    QCOMPARE(catalog.currentPath(), files[expected]);
    QCOMPARE(current.count() > 0, emits);
    QCOMPARE(changes.count(), 0);
    QCOMPARE(catalog.isAtLast(), expected == 24);
}

void TestPhotoCatalog::markMovesOn_data()
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

void TestPhotoCatalog::markMovesOn()
{
    QFETCH(bool, autoAdvance);
    QFETCH(QString, filter);
    QFETCH(QList<int>, rated);
    QFETCH(int, start);
    QFETCH(int, expected);
    const QStringList files = makePhotos(freshDir(tmp), 5);
    for (int i : rated)
        QVERIFY(PhotoCore::writeMetadata(files[i], record(2)));
    PhotoCatalog catalog;
    catalog.setAutoAdvance(autoAdvance);
    openAndSettle(catalog, files);
    catalog.setFilter(filter);
    catalog.select(files[start]);
    QCOMPARE(catalog.currentPath(), files[start]);

    if (filter == QLatin1String("zerostars"))
        catalog.setColorLabel(QStringLiteral("Blue"));
    else
        catalog.setRating(3);
    settle(catalog);
    QCOMPARE(catalog.currentPath(), files[expected]);
    QVERIFY(PhotoCore::readMetadata(files[start]) != Metadata());
}

void TestPhotoCatalog::advanceByKind_data()
{
    QTest::addColumn<int>("advancing"); // MarkEdit::Fields
    QTest::addColumn<QString>("mark");
    QTest::addColumn<bool>("movesOn");
    const int starsAndReject = MarkEdit::RatingField | MarkEdit::RejectedField;
    QTest::newRow("stars-on") << starsAndReject << "stars" << true;
    QTest::newRow("label-off") << starsAndReject << "label" << false;
    QTest::newRow("clear-label-follows-label") << starsAndReject << "clear-label" << false;
    QTest::newRow("reject-on") << starsAndReject << "reject" << true;
    QTest::newRow("label-alone-on") << int(MarkEdit::LabelField) << "label" << true;
    QTest::newRow("stars-off") << int(MarkEdit::LabelField) << "stars" << false;
    QTest::newRow("reject-off") << int(MarkEdit::RatingField) << "reject" << false;
    QTest::newRow("clear-all-follows-stars") << int(MarkEdit::RatingField) << "clear-all" << true;
}

void TestPhotoCatalog::advanceByKind()
{
    QFETCH(int, advancing);
    QFETCH(QString, mark);
    QFETCH(bool, movesOn);
    const QStringList files = makePhotos(freshDir(tmp), 3);
    PhotoCatalog catalog;
    catalog.setAdvanceAfter(MarkEdit::Fields(advancing));
    openAndSettle(catalog, files);
    catalog.select(files[1]);
    if (mark == QLatin1String("stars"))
        catalog.setRating(2);
    else if (mark == QLatin1String("label"))
        catalog.setColorLabel(QStringLiteral("Green"));
    else if (mark == QLatin1String("clear-label"))
        catalog.clearColorLabel();
    else if (mark == QLatin1String("reject"))
        catalog.rejectCurrent();
    else
        catalog.clearAllMarks();
    settle(catalog);
    QCOMPARE(catalog.currentPath(), files[movesOn ? 2 : 1]);
}

void TestPhotoCatalog::markEditsRecord_data()
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

void TestPhotoCatalog::markEditsRecord()
{
    QFETCH(Metadata, before);
    QFETCH(QString, operation);
    QFETCH(Metadata, after);
    const QStringList files = makePhotos(freshDir(tmp), 2);
    QVERIFY(PhotoCore::writeMetadata(files[0], before));
    PhotoCatalog catalog;
    openAndSettle(catalog, files);
    QSignalSpy summary(&catalog, &PhotoCatalog::summaryChanged);
    const QString arg = operation.section(QLatin1Char(':'), 1);
    if (operation.startsWith(QLatin1String("rating:")))
        catalog.setRating(arg.toInt());
    else if (operation.startsWith(QLatin1String("label:")))
        catalog.setColorLabel(arg);
    else if (operation == QLatin1String("reject"))
        catalog.rejectCurrent();
    else if (operation == QLatin1String("clearRejection"))
        catalog.clearRejection();
    else if (operation == QLatin1String("clearLabel"))
        catalog.clearColorLabel();
    else
        catalog.clearAllMarks();
    // Marks shown are marks on disk: nothing changes before the write is back.
    QCOMPARE(catalog.record(files[0]), before);
    settle(catalog);
    QCOMPARE(catalog.record(files[0]), after);
    QCOMPARE(PhotoCore::readMetadata(files[0]), after);
    QCOMPARE(summary.count(), 1);
    QCOMPARE(catalog.currentPath(), files[0]);
}

void TestPhotoCatalog::photosSharingASidecarShareMarks()
{
    const QString dir = freshDir(tmp);
    const QStringList jpegs = makePhotos(dir, 1);
    const QString png = dir + QStringLiteral("/IMG_0001.png");
    QVERIFY(QImage(jpegs[0]).save(png, "PNG"));
    const QStringList files{jpegs[0], png};
    PhotoCatalog catalog;
    openAndSettle(catalog, files);
    catalog.setRating(3);
    settle(catalog);
    QCOMPARE(catalog.record(png).rating, 3);
    catalog.next();
    catalog.setColorLabel(QStringLiteral("Red"));
    settle(catalog);
    // The label write must not take the stars of the other photo away.
    QCOMPARE(PhotoCore::readMetadata(png), record(3, QStringLiteral("Red")));
    QCOMPARE(catalog.record(jpegs[0]), record(3, QStringLiteral("Red")));
}

void TestPhotoCatalog::batchOneAtATimeAndFailuresInOrder()
{
    const QStringList files = makePhotos(freshDir(tmp), 4);
    QVERIFY(PhotoCore::writeMetadata(files[0], record(0, QStringLiteral("Blue"))));
    QVERIFY(QDir().mkpath(PhotoCore::sidecarPathFor(files[2])));
    PhotoCatalog catalog;
    openAndSettle(catalog, files);
    QSignalSpy busy(&catalog, &PhotoCatalog::metadataBatchBusyChanged);
    QSignalSpy finished(&catalog, &PhotoCatalog::metadataBatchFinished);
    const QString current = catalog.currentPath();

    catalog.setRatingForFiles({files[3], files[2], files[0], QStringLiteral("/elsewhere/x.jpg")}, 4);
    QVERIFY(catalog.isMetadataBatchBusy());
    catalog.clearAllMarksForFiles(files); // ignored while the first runs
    QVERIFY(finished.wait());
    QCOMPARE(finished.count(), 1);
    QCOMPARE(finished.first().first().toStringList(), QStringList{files[2]});
    QCOMPARE(busy.count(), 2);
    QCOMPARE(busy.at(0).first().toBool(), true);
    QCOMPARE(busy.at(1).first().toBool(), false);
    QVERIFY(!catalog.isMetadataBatchBusy());

    QCOMPARE(PhotoCore::readMetadata(files[0]), record(4, QStringLiteral("Blue")));
    QCOMPARE(PhotoCore::readMetadata(files[3]).rating, 4);
    QCOMPARE(PhotoCore::readMetadata(files[1]), Metadata());
    QCOMPARE(catalog.record(files[3]).rating, 4);
    QCOMPARE(catalog.record(files[2]), Metadata());
    QCOMPARE(catalog.currentPath(), current);

    catalog.setRejectedForFiles({files[3]}, true);
    QVERIFY(finished.wait());
    QCOMPARE(catalog.record(files[3]), record(0, {}, true));
}

void TestPhotoCatalog::batchOutsideFolderDoesNothing()
{
    const QStringList files = makePhotos(freshDir(tmp), 2);
    PhotoCatalog catalog;
    openAndSettle(catalog, files);
    QSignalSpy busy(&catalog, &PhotoCatalog::metadataBatchBusyChanged);
    catalog.setColorLabelForFiles({QStringLiteral("/nowhere/a.jpg")}, QStringLiteral("Red"));
    catalog.clearColorLabelForFiles({});
    QCOMPARE(busy.count(), 0);
    QVERIFY(!catalog.isMetadataBatchBusy());
    QVERIFY(!catalog.canUndo());
}

void TestPhotoCatalog::batchOfEarlierFolderIsDropped()
{
    const QStringList first = makePhotos(freshDir(tmp), 3);
    const QStringList second = makePhotos(freshDir(tmp), 2);
    PhotoCatalog catalog;
    openAndSettle(catalog, first);
    QSignalSpy busy(&catalog, &PhotoCatalog::metadataBatchBusyChanged);
    QSignalSpy finished(&catalog, &PhotoCatalog::metadataBatchFinished);
    catalog.setRatingForFiles(first, 2);
    openAndSettle(catalog, second);
    QVERIFY(!catalog.isMetadataBatchBusy());
    QCOMPARE(busy.count(), 2);
    QCOMPARE(busy.last().first().toBool(), false);

    // A new batch runs; the old one's result, whenever it came, left no trace.
    catalog.setRatingForFiles({second[1]}, 1);
    QVERIFY(finished.wait());
    QCOMPARE(finished.count(), 1);
    for (const QString &path : first)
        QVERIFY(!catalog.records().contains(path));
    QCOMPARE(catalog.record(second[1]).rating, 1);
    // The marks asked for in the first folder still reached its sidecars.
    settle(catalog);
    QCOMPARE(PhotoCore::readMetadata(first[2]).rating, 2);
}

void TestPhotoCatalog::resumeReview_data()
{
    QTest::addColumn<QList<int>>("reviewed");
    QTest::addColumn<int>("expected");
    QTest::newRow("none-reviewed") << QList<int>{} << 0;
    QTest::newRow("after-last-reviewed") << QList<int>{0, 2} << 3;
    QTest::newRow("all-reviewed") << QList<int>{0, 1, 2, 3, 4} << 4;
    QTest::newRow("last-reviewed") << QList<int>{4} << 4;
}

void TestPhotoCatalog::resumeReview()
{
    QFETCH(QList<int>, reviewed);
    QFETCH(int, expected);
    const QStringList files = makePhotos(freshDir(tmp), 5);
    for (int i : reviewed)
        QVERIFY(PhotoCore::writeMetadata(files[i], record(0, {}, true)));
    PhotoCatalog catalog;
    openAndSettle(catalog, files);
    catalog.setFilter(QStringLiteral("rejected"));
    QSignalSpy changes(&catalog, &PhotoCatalog::catalogChanged);
    catalog.resumeReview();
    QCOMPARE(catalog.currentPath(), files[expected]);
    QCOMPARE(catalog.visibleFiles(), files);
    QVERIFY(changes.count() >= 1);
}

void TestPhotoCatalog::removeFiles_data()
{
    QTest::addColumn<int>("current");
    QTest::addColumn<QList<int>>("removed");
    QTest::addColumn<int>("expected");
    QTest::newRow("middle-takes-following") << 2 << QList<int>{2} << 3;
    QTest::newRow("last-takes-new-last") << 4 << QList<int>{4} << 3;
    QTest::newRow("other-keeps-current") << 3 << QList<int>{0, 1} << 3;
    QTest::newRow("all-removed") << 0 << QList<int>{0, 1, 2, 3, 4} << -1;
}

void TestPhotoCatalog::folderSpellingsRescanQuietly_data()
{
    QTest::addColumn<QString>("suffix"); // appended to the folder's path
    QTest::newRow("as-is") << QString();
    QTest::newRow("trailing-slash") << QStringLiteral("/");
    QTest::newRow("dot") << QStringLiteral("/.");
    QTest::newRow("dot-dot") << QStringLiteral("/../") + QStringLiteral("%1");
}

void TestPhotoCatalog::folderSpellingsRescanQuietly()
{
    QFETCH(QString, suffix);
    const QString dir = freshDir(tmp);
    const QStringList files = makePhotos(dir, 3);
    PhotoCatalog catalog;
    QSignalSpy scanned(&catalog, &PhotoCatalog::summaryChanged);
    catalog.openFolder(dir + suffix.arg(QFileInfo(dir).fileName()));
    QVERIFY(scanned.wait());
    QCOMPARE(catalog.allFiles(), files);
    catalog.next();
    QSignalSpy removed(&catalog, &PhotoCatalog::filesRemoved);
    const int rescans = catalog.rescanCount();
    catalog.rescan();
    QTRY_VERIFY(catalog.rescanCount() > rescans);
    QTest::qWait(50); // a rescan's result arrives as a queued call
    QCOMPARE(removed.count(), 0);
    QCOMPARE(catalog.allFiles(), files);
    QCOMPARE(catalog.currentPath(), files.at(1));
}

void TestPhotoCatalog::removeFiles()
{
    QFETCH(int, current);
    QFETCH(QList<int>, removed);
    QFETCH(int, expected);
    const QStringList files = makePhotos(freshDir(tmp), 5);
    PhotoCatalog catalog;
    openAndSettle(catalog, files);
    catalog.select(files[current]);
    QStringList gone;
    for (int i : removed)
        gone.append(files[i]);
    QSignalSpy summary(&catalog, &PhotoCatalog::summaryChanged);
    catalog.removeFiles(gone);
    QCOMPARE(catalog.currentPath(), expected < 0 ? QString() : files[expected]);
    QCOMPARE(catalog.allFiles().size(), files.size() - gone.size());
    QCOMPARE(summary.count(), 1);
    QCOMPARE(summary.first().first().toInt(), int(files.size() - gone.size()));
}

QTEST_MAIN(TestPhotoCatalog)
#include "tst_photocatalog.moc"
