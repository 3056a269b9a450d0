#include "testphotos.h"
#include "testrecords.h"
#include "catalogtesting.h"
#include "catalog/photocatalog.h"
#include "catalog/phototransferjob.h"
#include "core/sidecarpaths.h"
#include "core/xmpsidecar.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

using PhotoCore::Metadata;

namespace {

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

QStringList namesIn(const QString &dir)
{
    return QDir(dir).entryList(QDir::Files, QDir::Name);
}

// Opens `folder` and waits until its sidecars are read.
void openFolderAndSettle(PhotoCatalog &catalog, const QString &folder, bool subfolders = false)
{
    QSignalSpy scanned(&catalog, &PhotoCatalog::summaryChanged);
    catalog.openFolder(folder, subfolders);
    QVERIFY(scanned.wait());
}

} // namespace

// RAW+JPEG pairs in the catalog, the photos that leave it at the end of a
// cull, and folders opened with their subfolders.
class TestCatalogPairs : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void pairsShowAsOne_data();
    void pairsShowAsOne();
    void markOnPairIsMarkOnBoth();
    void switchingPairsKeepsPhoto();
    void pairFileGoneShowsTheOther_data();
    void pairFileGoneShowsTheOther();
    void transferGroups_data();
    void transferGroups();
    void failedTransferLosesNothing_data();
    void failedTransferLosesNothing();
    void cancelledCopyLosesNothing();
    void subfoldersListedAndWatched();

private:
    // IMG_0001.jpg + IMG_0001.CR2 (a pair), IMG_0002.jpg, IMG_0003.NEF (a lone RAW).
    QString pairFolder();
    QTemporaryDir tmp;
};

void TestCatalogPairs::initTestCase()
{
    prepareCatalogTests();
    QVERIFY(tmp.isValid());
}

void TestCatalogPairs::init()
{
    resetCatalogSettings();
}

QString TestCatalogPairs::pairFolder()
{
    const QString dir = freshDir(tmp);
    makePhotos(dir, 2);
    // The catalog never decodes: any bytes stand in for a RAW file.
    writeFile(dir + QStringLiteral("/IMG_0001.CR2"), QByteArray(100, 'r'));
    writeFile(dir + QStringLiteral("/IMG_0003.NEF"), QByteArray(100, 'n'));
    return dir;
}

void TestCatalogPairs::pairsShowAsOne_data()
{
    QTest::addColumn<bool>("asOne");
    QTest::addColumn<QStringList>("shown");
    QTest::newRow("as-one") << true << QStringList{"IMG_0001.jpg", "IMG_0002.jpg", "IMG_0003.NEF"};
    QTest::newRow("apart") << false << QStringList{"IMG_0001.CR2", "IMG_0001.jpg", "IMG_0002.jpg", "IMG_0003.NEF"};
}

void TestCatalogPairs::pairsShowAsOne()
{
    QFETCH(bool, asOne);
    QFETCH(QStringList, shown);
    QSettings().setValue(QStringLiteral("view/pairRawJpeg"), asOne);
    const QString dir = pairFolder();
    PhotoCatalog catalog;
    QCOMPARE(catalog.pairsShownAsOne(), asOne);
    openFolderAndSettle(catalog, dir);

    QStringList names;
    for (const QString &path : catalog.visibleFiles())
        names.append(QFileInfo(path).fileName());
    QCOMPARE(names, shown);
    QCOMPARE(catalog.summary().total, int(shown.size()));
    QCOMPARE(catalog.listedFiles().size(), 4);
    const QString jpeg = dir + QStringLiteral("/IMG_0001.jpg");
    const QString raw = dir + QStringLiteral("/IMG_0001.CR2");
    QCOMPARE(catalog.pairPartner(jpeg), raw);
    QCOMPARE(catalog.filesOf(jpeg), asOne ? (QStringList{jpeg, raw}) : QStringList{jpeg});
    QCOMPARE(catalog.filesOf(dir + QStringLiteral("/IMG_0003.NEF")).size(), 1);

    // Counts and filters see the pair once, with the pair's marks.
    catalog.setRejectedForFiles({jpeg}, true);
    settle(catalog);
    QCOMPARE(catalog.summary().rejected, asOne ? 1 : 2);
    catalog.setFilter(QStringLiteral("rejected"));
    QCOMPARE(catalog.visibleFiles().size(), asOne ? 1 : 2);
}

void TestCatalogPairs::markOnPairIsMarkOnBoth()
{
    const QString dir = pairFolder();
    const QString jpeg = dir + QStringLiteral("/IMG_0001.jpg");
    const QString raw = dir + QStringLiteral("/IMG_0001.CR2");
    PhotoCatalog catalog;
    openFolderAndSettle(catalog, dir);
    QCOMPARE(catalog.currentPath(), jpeg);
    catalog.setRating(4);
    settle(catalog);
    QCOMPARE(PhotoCore::readMetadata(raw).rating, 4);
    // The RAW, hidden while the mark was made, shows it once shown on its own.
    catalog.setPairsShownAsOne(false);
    QCOMPARE(catalog.record(raw).rating, 4);
    catalog.setFilter(QStringLiteral("rating:4"));
    QCOMPARE(catalog.visibleFiles(), (QStringList{raw, jpeg}));
}

void TestCatalogPairs::switchingPairsKeepsPhoto()
{
    QSettings().setValue(QStringLiteral("view/pairRawJpeg"), false);
    const QString dir = pairFolder();
    const QString jpeg = dir + QStringLiteral("/IMG_0001.jpg");
    const QString raw = dir + QStringLiteral("/IMG_0001.CR2");
    const QString second = dir + QStringLiteral("/IMG_0002.jpg");
    PhotoCatalog catalog;
    openFolderAndSettle(catalog, dir);
    QCOMPARE(catalog.currentPath(), raw);
    QSignalSpy summaries(&catalog, &PhotoCatalog::summaryChanged);
    catalog.setPairsShownAsOne(true);
    // The RAW gives way to its own JPEG, not to the next photo.
    QCOMPARE(catalog.currentPath(), jpeg);
    QCOMPARE(summaries.count(), 1);
    QCOMPARE(summaries.last().at(0).toInt(), 3);
    catalog.select(second);
    catalog.setPairsShownAsOne(false);
    QCOMPARE(catalog.currentPath(), second);
    catalog.setPairsShownAsOne(true);
    // Asked for by the name of its hidden RAW, the pair is found.
    catalog.select(raw);
    QCOMPARE(catalog.currentPath(), jpeg);
    catalog.setPairsShownAsOne(false);
    QCOMPARE(catalog.visibleFiles().size(), 4);
}

void TestCatalogPairs::pairFileGoneShowsTheOther_data()
{
    QTest::addColumn<bool>("byRescan");
    QTest::newRow("removed-by-us") << false;
    QTest::newRow("deleted-by-another-program") << true;
}

void TestCatalogPairs::pairFileGoneShowsTheOther()
{
    QFETCH(bool, byRescan);
    const QString dir = pairFolder();
    const QString jpeg = dir + QStringLiteral("/IMG_0001.jpg");
    const QString raw = dir + QStringLiteral("/IMG_0001.CR2");
    PhotoCatalog catalog;
    openFolderAndSettle(catalog, dir);
    catalog.setRating(2);
    settle(catalog);
    QVERIFY(QFile::remove(jpeg));
    if (byRescan) {
        catalog.rescan();
        QTRY_VERIFY(catalog.visibleFiles().contains(raw));
    } else {
        catalog.removeFiles({jpeg});
    }
    QCOMPARE(catalog.visibleFiles().first(), raw);
    QCOMPARE(catalog.currentPath(), raw);
    QVERIFY(catalog.pairPartner(raw).isEmpty());
    QCOMPARE(catalog.record(raw).rating, 2);
    QCOMPARE(catalog.summary().total, 3);
}

void TestCatalogPairs::transferGroups_data()
{
    QTest::addColumn<bool>("asOne");
    QTest::addColumn<QStringList>("chosen");
    // Per group: its files' names joined by '+', then "|shared" when its sidecar stays.
    QTest::addColumn<QStringList>("groups");

    QTest::newRow("pair-travels-whole") << true << QStringList{"IMG_0001.jpg"} << QStringList{"IMG_0001.jpg+IMG_0001.CR2"};
    QTest::newRow("pair-whole-when-shown-apart")
        << false << QStringList{"IMG_0001.CR2"} << QStringList{"IMG_0001.CR2+IMG_0001.jpg"};
    QTest::newRow("both-of-pair-chosen-apart")
        << false << QStringList{"IMG_0001.CR2", "IMG_0001.jpg"} << QStringList{"IMG_0001.CR2+IMG_0001.jpg"};
    QTest::newRow("sidecar-shared-with-png-left-behind")
        << true << QStringList{"IMG_0002.jpg"} << QStringList{"IMG_0002.jpg|shared"};
    QTest::newRow("png-taken-along") << true << QStringList{"IMG_0002.jpg", "IMG_0002.png", "IMG_0003.NEF"}
                                     << QStringList{"IMG_0002.jpg+IMG_0002.png", "IMG_0003.NEF"};
    QTest::newRow("not-listed-skipped") << true << QStringList{"IMG_0009.jpg"} << QStringList{};
}

void TestCatalogPairs::transferGroups()
{
    QFETCH(bool, asOne);
    QFETCH(QStringList, chosen);
    QFETCH(QStringList, groups);
    QSettings().setValue(QStringLiteral("view/pairRawJpeg"), asOne);
    const QString dir = pairFolder();
    // Not a pair (PNG is no RAW), but one sidecar for both.
    QVERIFY(QFile::copy(dir + QStringLiteral("/IMG_0002.jpg"), dir + QStringLiteral("/IMG_0002.png")));
    PhotoCatalog catalog;
    openFolderAndSettle(catalog, dir);
    QStringList paths;
    for (const QString &name : chosen)
        paths.append(dir + QLatin1Char('/') + name);

    QStringList actual;
    for (const PhotoCore::TransferGroup &group : catalog.transferGroups(paths)) {
        QStringList names;
        for (const QString &file : group.files)
            names.append(QFileInfo(file).fileName());
        QCOMPARE(group.sidecar, PhotoCore::sidecarPathFor(group.files.first()));
        actual.append(names.join(QLatin1Char('+')) + (group.sidecarShared ? QStringLiteral("|shared") : QString()));
    }
    QCOMPARE(actual, groups);
}

void TestCatalogPairs::failedTransferLosesNothing_data()
{
    QTest::addColumn<int>("mode");
    QTest::newRow("copy") << int(PhotoCore::TransferMode::Copy);
    QTest::newRow("move") << int(PhotoCore::TransferMode::Move);
}

// A pair whose RAW vanished after it was chosen: the JPEG and the sidecar
// stay where they were, and the photos around it still arrive.
void TestCatalogPairs::failedTransferLosesNothing()
{
    QFETCH(int, mode);
    const QString dir = pairFolder();
    const QString target = freshDir(tmp);
    PhotoCatalog catalog;
    openFolderAndSettle(catalog, dir);
    catalog.setRatingForFiles(catalog.visibleFiles(), 5);
    settle(catalog);
    const QString jpeg = dir + QStringLiteral("/IMG_0001.jpg");
    const QByteArray jpegBytes = [&] {
        QFile f(jpeg);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }();
    const auto groups = catalog.transferGroups(catalog.visibleFiles());
    QCOMPARE(groups.size(), 3);
    QVERIFY(QFile::remove(dir + QStringLiteral("/IMG_0001.CR2")));

    PhotoTransferJob job;
    QSignalSpy finished(&job, &PhotoTransferJob::finished);
    job.start(groups, target, PhotoCore::TransferMode(mode));
    QVERIFY(finished.wait());
    const auto result = finished.first().first().value<PhotoCore::TransferResult>();

    QCOMPARE(result.photosDone, 2);
    QCOMPARE(result.failures.size(), 1);
    QCOMPARE(result.failures.first().path, dir + QStringLiteral("/IMG_0001.CR2"));
    QVERIFY(!result.cancelled);
    QCOMPARE(namesIn(target), (QStringList{"IMG_0002.jpg", "IMG_0002.xmp", "IMG_0003.NEF", "IMG_0003.xmp"}));
    QFile kept(jpeg);
    QVERIFY(kept.open(QIODevice::ReadOnly));
    QCOMPARE(kept.readAll(), jpegBytes);
    QCOMPARE(PhotoCore::readMetadata(jpeg).rating, 5);
    const bool moved = PhotoCore::TransferMode(mode) == PhotoCore::TransferMode::Move;
    QCOMPARE(QFileInfo::exists(dir + QStringLiteral("/IMG_0002.jpg")), !moved);
}

void TestCatalogPairs::cancelledCopyLosesNothing()
{
    const QString source = freshDir(tmp);
    const QString target = freshDir(tmp);
    // Large enough that the copy is still under way when the first report
    // reaches this thread; the cancel is seen within the next 8 MiB.
    const QByteArray bytes(12 * 1048576, 'p');
    const QByteArray sidecar("<x:xmpmeta xmlns:x='adobe:ns:meta/'/>");
    QList<PhotoCore::TransferGroup> groups;
    for (int i = 1; i <= 4; ++i) {
        const QString base = source + QStringLiteral("/IMG_%1").arg(i);
        writeFile(base + QStringLiteral(".JPG"), bytes);
        writeFile(base + QStringLiteral(".CR2"), bytes);
        writeFile(base + QStringLiteral(".xmp"), sidecar);
        groups.append({{base + QStringLiteral(".JPG"), base + QStringLiteral(".CR2")}, base + QStringLiteral(".xmp"), false});
    }
    const QStringList before = namesIn(source);

    PhotoTransferJob job;
    QSignalSpy finished(&job, &PhotoTransferJob::finished);
    connect(&job, &PhotoTransferJob::progress, &job, &PhotoTransferJob::cancel);
    job.start(groups, target, PhotoCore::TransferMode::Copy);
    QVERIFY(finished.wait(60000));
    const auto result = finished.first().first().value<PhotoCore::TransferResult>();

    QVERIFY(result.cancelled);
    QVERIFY(result.photosDone < groups.size());
    QVERIFY(result.failures.isEmpty());
    QCOMPARE(namesIn(source), before);
    for (const QString &name : before)
        QCOMPARE(QFileInfo(source + QLatin1Char('/') + name).size(), name.endsWith(QLatin1String(".xmp")) ? sidecar.size() : bytes.size());
    // Only whole groups arrived: three files each, every one complete.
    const QStringList arrived = namesIn(target);
    QCOMPARE(arrived.size(), result.photosDone * 3);
    for (const QString &name : arrived) {
        if (!name.endsWith(QLatin1String(".xmp")))
            QCOMPARE(QFileInfo(target + QLatin1Char('/') + name).size(), bytes.size());
    }
}

void TestCatalogPairs::subfoldersListedAndWatched()
{
    const QString dir = freshDir(tmp);
    makePhotos(dir, 1);
    QDir(dir).mkpath(QStringLiteral("day2/raw"));
    QVERIFY(QFile::copy(dir + QStringLiteral("/IMG_0001.jpg"), dir + QStringLiteral("/day2/IMG_0001.jpg")));
    writeFile(dir + QStringLiteral("/day2/IMG_0001.CR2"), "raw");
    PhotoCatalog catalog;
    openFolderAndSettle(catalog, dir, false);
    QCOMPARE(catalog.visibleFiles(), QStringList{dir + QStringLiteral("/IMG_0001.jpg")});
    QVERIFY(!catalog.includesSubfolders());

    openFolderAndSettle(catalog, dir, true);
    QVERIFY(catalog.includesSubfolders());
    QCOMPARE(catalog.folder(), dir);
    // Pairs are found in subfolders too, by folder and name.
    QCOMPARE(catalog.visibleFiles(),
             (QStringList{dir + QStringLiteral("/IMG_0001.jpg"), dir + QStringLiteral("/day2/IMG_0001.jpg")}));
    QCOMPARE(catalog.pairPartner(dir + QStringLiteral("/day2/IMG_0001.jpg")), dir + QStringLiteral("/day2/IMG_0001.CR2"));

    // A photo arriving two levels down is seen without being asked for.
    const QString late = dir + QStringLiteral("/day2/raw/IMG_0009.jpg");
    QVERIFY(QFile::copy(dir + QStringLiteral("/IMG_0001.jpg"), late));
    QTRY_VERIFY_WITH_TIMEOUT(catalog.visibleFiles().contains(late), 10000);
    // And one in a folder made after the opening, once the rescan has found the folder.
    const int rescans = catalog.rescanCount();
    QDir(dir).mkpath(QStringLiteral("day3"));
    QTRY_VERIFY_WITH_TIMEOUT(catalog.rescanCount() > rescans, 10000);
    catalog.scanThreadPool()->waitForDone();
    QCoreApplication::processEvents();
    const QString later = dir + QStringLiteral("/day3/IMG_0010.jpg");
    QVERIFY(QFile::copy(dir + QStringLiteral("/IMG_0001.jpg"), later));
    QTRY_VERIFY_WITH_TIMEOUT(catalog.visibleFiles().contains(later), 10000);
}

QTEST_MAIN(TestCatalogPairs)
#include "tst_catalogpairs.moc"
