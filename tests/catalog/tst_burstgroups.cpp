#include "testphotos.h"
#include "catalogtesting.h"
#include "catalog/burstgroups.h"
#include "catalog/keepbest.h"
#include "catalog/photocatalog.h"

#include <QFile>
#include <QFileInfo>
#include <QMutex>

#include <atomic>
#include <memory>

using PhotoCore::BurstFacts;
using PhotoCore::Metadata;

namespace {

// Facts by file name, standing in for the analysis of real pictures; counts
// the photos analysed.
struct FakeAnalysis
{
    QHash<QString, BurstFacts> byName;
    std::atomic<int> calls{0};

    void add(const QString &name, double seconds, quint64 hash, double sharpness)
    {
        BurstFacts facts;
        facts.captured = QDateTime(QDate(2024, 6, 1), QTime(9, 30)).addMSecs(qint64(seconds * 1000));
        facts.hash = hash;
        facts.hashed = true;
        facts.sharpness = sharpness;
        byName.insert(name, facts);
    }
    BurstGroups::Analyser analyser()
    {
        return [this](const QString &path) {
            ++calls;
            return byName.value(QFileInfo(path).fileName());
        };
    }
};

// Photos named against their capture order: three frames of one scene, two
// of another a moment later, one on its own.
void addScenes(FakeAnalysis &analysis)
{
    analysis.add(QStringLiteral("A.jpg"), 0.6, 0x00FF, 0.5);
    analysis.add(QStringLiteral("B.jpg"), 0.0, 0x00FF, 0.2);
    analysis.add(QStringLiteral("C.jpg"), 0.3, 0x01FF, 0.9);
    analysis.add(QStringLiteral("D.jpg"), 1.2, 0xFFFF0000FF00ULL, 0.4);
    analysis.add(QStringLiteral("E.jpg"), 1.5, 0xFFFF0000FF00ULL, 0.7);
    analysis.add(QStringLiteral("F.jpg"), 30.0, 0x00FF, 0.3);
}

QString makeFolder(const QTemporaryDir &tmp, const QStringList &names)
{
    const QString dir = freshDir(tmp);
    const QStringList made = makePhotos(dir, int(names.size()));
    for (int i = 0; i < names.size(); ++i)
        QFile::rename(made.at(i), dir + QLatin1Char('/') + names.at(i));
    return dir;
}

QStringList names(const QStringList &paths)
{
    QStringList result;
    for (const QString &path : paths)
        result.append(QFileInfo(path).fileName());
    return result;
}

void openAndGroup(PhotoCatalog &catalog, BurstGroups &groups, const QString &dir)
{
    QSignalSpy finished(&groups, &BurstGroups::finished);
    catalog.openFolder(dir);
    QTRY_VERIFY(catalog.isScanned());
    QVERIFY(finished.count() > 0 || finished.wait(10000));
}

} // namespace

class TestBurstGroups : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void groupsAndRanks();
    void gapPreference();
    void offAnalysesNothing();
    void pairIsOneFrame();
    void reopenedFolderFromCache();
    void cacheKeepsTheFolderOnly_data();
    void cacheKeepsTheFolderOnly();
    void keepBestPlan_data();
    void keepBestPlan();
    void keepBestIsOneUndoStep();

private:
    QTemporaryDir tmp;
};

void TestBurstGroups::initTestCase()
{
    prepareCatalogTests();
    QVERIFY(tmp.isValid());
}

void TestBurstGroups::init()
{
    resetCatalogSettings();
}

void TestBurstGroups::groupsAndRanks()
{
    FakeAnalysis analysis;
    addScenes(analysis);
    const QString dir = makeFolder(tmp, {"A.jpg", "B.jpg", "C.jpg", "D.jpg", "E.jpg", "F.jpg"});
    PhotoCatalog catalog;
    BurstGroups groups(&catalog, analysis.analyser());
    groups.setCacheDirectory(QString());
    openAndGroup(catalog, groups, dir);

    QCOMPARE(groups.groups().size(), 3);
    QCOMPARE(names(groups.groups().at(0)), (QStringList{"B.jpg", "C.jpg", "A.jpg"}));
    QCOMPARE(names(groups.groups().at(1)), (QStringList{"D.jpg", "E.jpg"}));
    QCOMPARE(names(groups.groups().at(2)), (QStringList{"F.jpg"}));
    const QString a = dir + QStringLiteral("/A.jpg");
    QCOMPARE(groups.rankOf(dir + QStringLiteral("/C.jpg")), 1);
    QCOMPARE(groups.rankOf(a), 2);
    QCOMPARE(groups.rankOf(dir + QStringLiteral("/B.jpg")), 3);
    QCOMPARE(groups.sharpestOf(a), dir + QStringLiteral("/C.jpg"));
    QCOMPARE(groups.sharpestOf(dir + QStringLiteral("/D.jpg")), dir + QStringLiteral("/E.jpg"));
    QCOMPARE(groups.groupIndexOf(dir + QStringLiteral("/F.jpg")), 2);
    QCOMPARE(groups.analysedCount(), 6);
    QCOMPARE(groups.frameCount(), 6);
    QCOMPARE(groups.sharpnessOf(a), 0.5);
}

void TestBurstGroups::gapPreference()
{
    FakeAnalysis analysis;
    addScenes(analysis);
    const QString dir = makeFolder(tmp, {"A.jpg", "B.jpg", "C.jpg"});
    PhotoCatalog catalog;
    BurstGroups groups(&catalog, analysis.analyser());
    groups.setCacheDirectory(QString());
    openAndGroup(catalog, groups, dir);
    QCOMPARE(groups.groups().size(), 1);

    QSignalSpy changed(&groups, &BurstGroups::groupsChanged);
    QSettings().setValue(QStringLiteral("groups/gapSeconds"), 0);
    groups.reloadSettings();
    QCOMPARE(changed.count(), 1);
    // Off: no groups at all, and nothing analysed anew (see offAnalysesNothing).
    QCOMPARE(groups.groups().size(), 0);
    QCOMPARE(groups.rankOf(dir + QStringLiteral("/A.jpg")), 0);
    QVERIFY(!groups.isRunning());
    // The frames are 0.3 s apart: a gap of exactly that joins them, a shorter one not.
    QSettings().setValue(QStringLiteral("groups/gapSeconds"), 0.3);
    groups.reloadSettings();
    QCOMPARE(groups.groups().size(), 1);
    QSettings().setValue(QStringLiteral("groups/gapSeconds"), 0.29);
    groups.reloadSettings();
    QCOMPARE(groups.groups().size(), 3);
}

// Grouping off costs nothing: no analysis, no cache file; switched on, the
// folder is analysed then.
void TestBurstGroups::offAnalysesNothing()
{
    FakeAnalysis analysis;
    addScenes(analysis);
    const QString dir = makeFolder(tmp, {"A.jpg", "B.jpg", "C.jpg"});
    QTemporaryDir cache;
    QSettings().setValue(QStringLiteral("groups/gapSeconds"), 0);
    PhotoCatalog catalog;
    BurstGroups groups(&catalog, analysis.analyser());
    groups.setCacheDirectory(cache.path());
    groups.reloadSettings();
    openAndGroup(catalog, groups, dir);
    catalog.rescan();
    QTRY_VERIFY(catalog.isScanned());
    QCOMPARE(analysis.calls.load(), 0);
    QVERIFY(groups.groups().isEmpty());
    catalog.openFolder(freshDir(tmp)); // leaving the folder saves what is known
    QTRY_VERIFY(catalog.isScanned());
    QCOMPARE(QDir(cache.path()).entryList(QDir::Files), QStringList());

    catalog.openFolder(dir);
    QTRY_VERIFY(catalog.isScanned());
    QSettings().setValue(QStringLiteral("groups/gapSeconds"), 2);
    groups.reloadSettings();
    QTRY_COMPARE(groups.analysedCount(), 3);
    QCOMPARE(analysis.calls.load(), 3);
    QCOMPARE(groups.groups().size(), 1);
    QSettings().remove(QStringLiteral("groups/gapSeconds"));
}

void TestBurstGroups::pairIsOneFrame()
{
    FakeAnalysis analysis;
    addScenes(analysis);
    const QString dir = makeFolder(tmp, {"A.jpg", "B.jpg"});
    QFile raw(dir + QStringLiteral("/A.CR2"));
    QVERIFY(raw.open(QIODevice::WriteOnly));
    raw.write(QByteArray(100, 'r'));
    raw.close();

    for (bool asOne : {true, false}) {
        QSettings().setValue(QStringLiteral("view/pairRawJpeg"), asOne);
        analysis.calls = 0;
        PhotoCatalog catalog;
        BurstGroups groups(&catalog, analysis.analyser());
        groups.setCacheDirectory(QString());
        openAndGroup(catalog, groups, dir);
        QCOMPARE(catalog.allFiles().size(), asOne ? 2 : 3);
        QCOMPARE(analysis.calls.load(), 2);
        QCOMPARE(groups.frameCount(), 2);
        QCOMPARE(groups.groups().size(), 1);
        QCOMPARE(groups.groups().first().size(), 2);
        QCOMPARE(groups.rankOf(raw.fileName()), groups.rankOf(dir + QStringLiteral("/A.jpg")));
        QCOMPARE(groups.groupIndexOf(raw.fileName()), 0);
    }
}

void TestBurstGroups::reopenedFolderFromCache()
{
    FakeAnalysis analysis;
    addScenes(analysis);
    const QString dir = makeFolder(tmp, {"A.jpg", "B.jpg", "C.jpg", "D.jpg"});
    const QString cache = freshDir(tmp);
    QList<QStringList> first;
    {
        PhotoCatalog catalog;
        BurstGroups groups(&catalog, analysis.analyser());
        groups.setCacheDirectory(cache);
        openAndGroup(catalog, groups, dir);
        first = groups.groups();
    }
    QCOMPARE(analysis.calls.load(), 4);
    QCOMPARE(QDir(cache).entryList(QDir::Files).size(), 1);

    // A photo changed since is analysed again; the others are not.
    const QString changed = dir + QStringLiteral("/D.jpg");
    QFile file(changed);
    QVERIFY(file.open(QIODevice::Append));
    file.write("more");
    file.close();
    analysis.calls = 0;
    PhotoCatalog catalog;
    BurstGroups groups(&catalog, analysis.analyser());
    groups.setCacheDirectory(cache);
    openAndGroup(catalog, groups, dir);
    QCOMPARE(analysis.calls.load(), 1);
    QCOMPARE(groups.groups(), first);
    QCOMPARE(groups.sharpnessOf(dir + QStringLiteral("/C.jpg")), 0.9);
}

void TestBurstGroups::cacheKeepsTheFolderOnly_data()
{
    // A first session analysed A–D and kept them; then:
    QTest::addColumn<QString>("since");
    QTest::addColumn<int>("analysed");    // in the second session
    QTest::addColumn<QStringList>("kept"); // in the cache file after it
    QTest::newRow("photo-deleted") << "delete C" << 0 << QStringList{"A.jpg", "B.jpg", "D.jpg"};
    QTest::newRow("oversized-file-is-absent") << "pad" << 4 << QStringList{"A.jpg", "B.jpg", "C.jpg", "D.jpg"};
}

void TestBurstGroups::cacheKeepsTheFolderOnly()
{
    QFETCH(QString, since);
    QFETCH(int, analysed);
    QFETCH(QStringList, kept);
    FakeAnalysis analysis;
    addScenes(analysis);
    const QString dir = makeFolder(tmp, {"A.jpg", "B.jpg", "C.jpg", "D.jpg"});
    const QString cache = freshDir(tmp);
    const QString file = BurstCacheFile::pathFor(cache, dir);
    {
        PhotoCatalog catalog;
        BurstGroups groups(&catalog, analysis.analyser());
        groups.setCacheDirectory(cache);
        openAndGroup(catalog, groups, dir);
    }
    QCOMPARE(BurstCacheFile::read(file).size(), 4);
    if (since == QLatin1String("delete C")) {
        QVERIFY(QFile::remove(dir + QStringLiteral("/C.jpg")));
    } else {
        // Still whole JSON, only too large to be a folder's facts.
        QFile padded(file);
        QVERIFY(padded.open(QIODevice::Append));
        QVERIFY(padded.write(QByteArray(BurstCacheFile::maxBytes, ' ')) > 0);
    }
    analysis.calls = 0;
    {
        PhotoCatalog catalog;
        BurstGroups groups(&catalog, analysis.analyser());
        groups.setCacheDirectory(cache);
        openAndGroup(catalog, groups, dir);
    }
    QCOMPARE(analysis.calls.load(), analysed);
    QStringList names = BurstCacheFile::read(file).keys();
    names.sort();
    QCOMPARE(names, kept);
}

void TestBurstGroups::keepBestPlan_data()
{
    QTest::addColumn<int>("pickRating");
    QTest::addColumn<bool>("rejectStarred");
    // Marks of the four frames "stars[r]" ("r" rejected), the second kept.
    QTest::addColumn<QStringList>("marks");
    // What is written, "frame:edit" in frame order.
    QTest::addColumn<QStringList>("edits");
    QTest::addColumn<int>("rejected");
    QTest::addColumn<int>("starredLeft");
    QTest::newRow("plain") << 0 << false << QStringList{"0", "0", "0", "0"} << QStringList{"0:reject", "2:reject", "3:reject"} << 3 << 0;
    QTest::newRow("pick-rating") << 2 << false << QStringList{"0", "0", "0", "0"}
                                 << QStringList{"1:2", "0:reject", "2:reject", "3:reject"} << 3 << 0;
    QTest::newRow("kept-has-stars") << 2 << false << QStringList{"0", "4", "0", "0"}
                                    << QStringList{"0:reject", "2:reject", "3:reject"} << 3 << 0;
    QTest::newRow("kept-was-rejected") << 0 << false << QStringList{"0", "0r", "0", "0"}
                                       << QStringList{"1:unreject", "0:reject", "2:reject", "3:reject"} << 3 << 0;
    QTest::newRow("already-rejected") << 0 << false << QStringList{"0r", "0", "0", "0r"} << QStringList{"2:reject"} << 3
                                      << 0;
    QTest::newRow("starred-left-alone") << 0 << false << QStringList{"3", "0", "0", "1"} << QStringList{"2:reject"} << 1
                                        << 2;
    QTest::newRow("starred-confirmed") << 0 << true << QStringList{"3", "0", "0", "1"}
                                       << QStringList{"0:reject", "2:reject", "3:reject"} << 3 << 0;
}

void TestBurstGroups::keepBestPlan()
{
    QFETCH(int, pickRating);
    QFETCH(bool, rejectStarred);
    QFETCH(QStringList, marks);
    QFETCH(QStringList, edits);
    QFETCH(int, rejected);
    QFETCH(int, starredLeft);
    QStringList group;
    QHash<QString, Metadata> records;
    for (int i = 0; i < marks.size(); ++i) {
        group.append(QStringLiteral("/f/%1.jpg").arg(i));
        records[group.last()].rating = marks.at(i).left(1).toInt();
        records[group.last()].rejected = marks.at(i).endsWith(QLatin1Char('r'));
    }
    const KeepBestPlan plan = planKeepBest(group, group.at(1), records, pickRating, rejectStarred);
    QStringList written;
    for (const MarkWriter::PhotoEdit &edit : plan.edits) {
        const QString frame = QString::number(group.indexOf(edit.first));
        if (edit.second.kind == MarkEdit::Reject)
            written.append(frame + QStringLiteral(":reject"));
        else if (edit.second.kind == MarkEdit::ClearRejection)
            written.append(frame + QStringLiteral(":unreject"));
        else
            written.append(frame + QLatin1Char(':') + QString::number(edit.second.value));
    }
    QCOMPARE(written, edits);
    QCOMPARE(plan.rejected, rejected);
    QCOMPARE(plan.starredLeft.size(), starredLeft);
    QCOMPARE(plan.groupSize, 4);
    QCOMPARE(plan.kept, group.at(1));
    QCOMPARE(starredOthers(group, group.at(1), records).size(), rejectStarred ? 2 : starredLeft);
}

void TestBurstGroups::keepBestIsOneUndoStep()
{
    const QString dir = freshDir(tmp);
    const QStringList photos = makePhotos(dir, 5);
    PhotoCatalog catalog;
    QSignalSpy scanned(&catalog, &PhotoCatalog::summaryChanged);
    catalog.openFolder(dir);
    QVERIFY(scanned.wait());
    // The fourth has stars from an earlier pass.
    catalog.setRatingForFiles({photos.at(3)}, 3);
    settle(catalog);
    QTRY_VERIFY(!catalog.isMetadataBatchBusy());
    const int depth = catalog.undoDepth();

    const KeepBestPlan plan = planKeepBest(photos, photos.at(2), catalog.records(), 2, false);
    catalog.markFilesEach(plan.edits, MarkEdit::reject());
    settle(catalog);
    QTRY_VERIFY(!catalog.isMetadataBatchBusy());
    QCOMPARE(catalog.undoDepth(), depth + 1);
    QCOMPARE(catalog.record(photos.at(2)).rating, 2);
    QVERIFY(!catalog.record(photos.at(2)).rejected);
    for (int i : {0, 1, 4})
        QVERIFY(catalog.record(photos.at(i)).rejected);
    QCOMPARE(catalog.record(photos.at(3)).rating, 3);
    QVERIFY(!catalog.record(photos.at(3)).rejected);

    // One undo takes all of it back, and only it.
    catalog.undo();
    settle(catalog);
    QTRY_COMPARE(catalog.undoDepth(), depth);
    for (int i : {0, 1, 2, 4})
        QCOMPARE(catalog.record(photos.at(i)), Metadata());
    QCOMPARE(catalog.record(photos.at(3)).rating, 3);
}

QTEST_MAIN(TestBurstGroups)
#include "tst_burstgroups.moc"
