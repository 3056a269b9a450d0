#include "smalldisk.h"
#include "testfiles.h"
#include "core/ingest.h"

#include <QtTest>

#include <optional>

using PhotoCore::IngestOutcome;
using PhotoCore::IngestState;

// Importing from a card: what reaches the destination is whole, what does
// not leaves nothing behind, and the card is only read.
using testfiles::filesBelow;

namespace {

QByteArray contentOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

QByteArray photoBytes(int index, int size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i)
        bytes[i] = char((i * 31 + index * 7) >> 2);
    return bytes;
}

// A card DCIM/100CANON with `count` photos IMG_0001.JPG… of `size` bytes,
// the first with a RAW partner and a sidecar. Returns each file's bytes by path.
QHash<QString, QByteArray> makeCard(const QString &root, int count, int size)
{
    QHash<QString, QByteArray> files;
    const QString folder = root + QStringLiteral("/DCIM/100CANON/");
    for (int i = 1; i <= count; ++i)
        files.insert(folder + QStringLiteral("IMG_%1.JPG").arg(i, 4, 10, QLatin1Char('0')), photoBytes(i, size));
    files.insert(folder + QStringLiteral("IMG_0001.CR3"), photoBytes(99, size / 2));
    files.insert(folder + QStringLiteral("IMG_0001.xmp"), "<x:xmpmeta/>");
    for (auto it = files.cbegin(); it != files.cend(); ++it)
        writeFile(it.key(), it.value());
    return files;
}

// Capture times a minute apart in file-name order, all on one day.
PhotoCore::IngestFacts factsOf(const QString &path)
{
    const int number = QFileInfo(path).completeBaseName().mid(4).toInt();
    return {QDateTime(QDate(2024, 5, 1), QTime(10, 0)).addSecs(60 * number), QStringLiteral("Canon EOS RP")};
}

PhotoCore::IngestPlan planFor(const QString &card, PhotoCore::IngestLog &log, const QString &destination,
                              const PhotoCore::IngestTemplates &templates = {})
{
    return PhotoCore::planIngest(card + QStringLiteral("/DCIM"), templates, false, &factsOf,
                                 [&](const PhotoCore::IngestItem &item) { return log.contains(item, destination); });
}

// The checks every import must pass: each photo counted as imported is whole
// in the destination and the backup, nothing else is there, and the card
// still holds what it held.
void verifyWholeAndNothingElse(const PhotoCore::IngestResult &result, const QString &destination,
                               const QString &backup, const QHash<QString, QByteArray> &card)
{
    QStringList expected, expectedBackup;
    for (const IngestOutcome &outcome : result.outcomes) {
        if (outcome.state != IngestState::Imported)
            continue;
        for (int i = 0; i < outcome.sources.size(); ++i) {
            QCOMPARE(contentOf(outcome.destinations.at(i)), card.value(outcome.sources.at(i)));
            expected.append(QDir(destination).relativeFilePath(outcome.destinations.at(i)));
            if (!backup.isEmpty()) {
                QCOMPARE(contentOf(outcome.backups.at(i)), card.value(outcome.sources.at(i)));
                expectedBackup.append(QDir(backup).relativeFilePath(outcome.backups.at(i)));
            }
        }
    }
    const auto mine = [](QStringList files) {
        files.removeAll(QStringLiteral(".filler"));
        return files;
    };
    expected.sort();
    QCOMPARE(mine(filesBelow(destination)), expected);
    if (!backup.isEmpty()) {
        expectedBackup.sort();
        QCOMPARE(mine(filesBelow(backup)), expectedBackup);
    }
    for (auto it = card.cbegin(); it != card.cend(); ++it) {
        if (QFileInfo::exists(it.key()))
            QCOMPARE(contentOf(it.key()), it.value());
    }
}

} // namespace

class TestIngest : public QObject
{
    Q_OBJECT

private slots:
    void importsWithBackup();
    void fullDisk_data();
    void fullDisk();
    void sourceVanishes_data();
    void sourceVanishes();
    void nameClashNeverOverwrites();
    void cancelLeavesWholePhotos();
    void sameNameRunAgain_data();
    void sameNameRunAgain();
    void cardFileEndsEarly();
    void folderClash_data();
    void folderClash();
    void leftoverPartialCopies_data();
    void leftoverPartialCopies();
};

void TestIngest::importsWithBackup()
{
    QTemporaryDir card, destination, backup, data;
    const auto files = makeCard(card.path(), 3, 20000);
    PhotoCore::IngestLog log(data.filePath("log.tsv"));
    const auto result = PhotoCore::runIngest(planFor(card.path(), log, destination.path()), destination.path(),
                                             backup.path(), &log);
    QCOMPARE(result.imported, 3);
    QVERIFY(result.allImported());
    QCOMPARE(result.folders, QStringList{destination.filePath("2024/2024-05-01")});
    verifyWholeAndNothingElse(result, destination.path(), backup.path(), files);
    QCOMPARE(filesBelow(destination.path()),
             (QStringList{"2024/2024-05-01/IMG_0001.CR3", "2024/2024-05-01/IMG_0001.JPG",
                          "2024/2024-05-01/IMG_0001.xmp", "2024/2024-05-01/IMG_0002.JPG",
                          "2024/2024-05-01/IMG_0003.JPG"}));

    // Running it again, with a fresh log read from disk, brings nothing new.
    PhotoCore::IngestLog again(data.filePath("log.tsv"));
    const auto second = PhotoCore::runIngest(planFor(card.path(), again, destination.path()), destination.path(),
                                             backup.path(), &again);
    QCOMPARE(second.imported, 0);
    QCOMPARE(second.skipped, 3);
    verifyWholeAndNothingElse(result, destination.path(), backup.path(), files);
}

void TestIngest::fullDisk_data()
{
    QTest::addColumn<bool>("backupFull"); // else the destination is
    QTest::newRow("destination-full") << false;
    QTest::newRow("backup-full") << true;
}

void TestIngest::fullDisk()
{
    QFETCH(bool, backupFull);
    SmallDisk disk(256);
    if (!disk.isMounted())
        QSKIP("mounting a small tmpfs is not allowed here (needs root)");
    QTemporaryDir card, roomy, data;
    const auto files = makeCard(card.path(), 6, 60000);
    const QString destination = backupFull ? roomy.path() : disk.path();
    const QString backup = backupFull ? disk.path() : roomy.path();
    PhotoCore::IngestLog log(data.filePath("log.tsv"));
    const auto result = PhotoCore::runIngest(planFor(card.path(), log, destination), destination, backup, &log);

    QVERIFY2(result.imported >= 1 && result.imported < 6, qPrintable(QString::number(result.imported)));
    QCOMPARE(result.failed, 1);
    QCOMPARE(result.imported + result.failed + result.notCopied, 6);
    QVERIFY2(result.stopped.contains(backupFull ? QLatin1String("backup") : QLatin1String("destination"))
                 && result.stopped.contains(QLatin1String("full")),
             qPrintable(result.stopped));
    verifyWholeAndNothingElse(result, destination, backup, files);
    // Only what arrived whole is in the log: the rest is new next time.
    PhotoCore::IngestLog after(data.filePath("log.tsv"));
    QCOMPARE(planFor(card.path(), after, destination).newCount(), 6 - result.imported);
}

void TestIngest::sourceVanishes_data()
{
    QTest::addColumn<bool>("unmount"); // else the card's files are deleted
    QTest::newRow("files-deleted") << false;
    QTest::newRow("card-unmounted") << true;
}

void TestIngest::sourceVanishes()
{
    QFETCH(bool, unmount);
    SmallDisk card(2048);
    if (!card.isMounted())
        QSKIP("mounting a small tmpfs is not allowed here (needs root)");
    QTemporaryDir destination, data;
    const auto files = makeCard(card.path(), 5, 50000);
    PhotoCore::IngestLog log(data.filePath("log.tsv"));
    const PhotoCore::IngestPlan plan = planFor(card.path(), log, destination.path());
    // The card goes as the third photo begins.
    bool gone = false;
    const auto progress = [&](const PhotoCore::IngestProgress &at) {
        if (!gone && at.file.endsWith(QLatin1String("IMG_0003.JPG"))) {
            gone = true;
            if (unmount)
                QProcess::execute(QStringLiteral("umount"), {QStringLiteral("-l"), card.path()});
            else
                QDir(card.filePath("DCIM")).removeRecursively();
        }
        return true;
    };
    const auto result = PhotoCore::runIngest(plan, destination.path(), QString(), &log, progress);
    QVERIFY(gone);
    QCOMPARE(result.imported, 2);
    QCOMPARE(result.failed, 1);
    QCOMPARE(result.notCopied, 2);
    QVERIFY2(result.stopped.contains(QLatin1String("no longer be read")), qPrintable(result.stopped));
    verifyWholeAndNothingElse(result, destination.path(), QString(), files);
}

void TestIngest::nameClashNeverOverwrites()
{
    QTemporaryDir card, destination, backup, data;
    const auto files = makeCard(card.path(), 2, 1000);
    // Someone else's files under our names: a photo in the destination, a
    // sidecar in the backup.
    writeFile(destination.filePath("2024/2024-05-01/IMG_0002.JPG"), "theirs");
    writeFile(backup.filePath("2024/2024-05-01/IMG_0001.xmp"), "theirs");
    PhotoCore::IngestLog log(data.filePath("log.tsv"));
    const auto result = PhotoCore::runIngest(planFor(card.path(), log, destination.path()), destination.path(),
                                             backup.path(), &log);
    QCOMPARE(result.imported, 2);
    QCOMPARE(contentOf(destination.filePath("2024/2024-05-01/IMG_0002.JPG")), QByteArray("theirs"));
    QCOMPARE(contentOf(backup.filePath("2024/2024-05-01/IMG_0001.xmp")), QByteArray("theirs"));
    // Renamed alike, in both places, with the pair and the sidecar.
    const QStringList day{"IMG_0001 (2).CR3", "IMG_0001 (2).JPG", "IMG_0001 (2).xmp", "IMG_0002 (2).JPG"};
    const auto sorted = [](QStringList names) {
        names.sort();
        return names;
    };
    QCOMPARE(filesBelow(destination.filePath("2024/2024-05-01")), sorted(QStringList(day) << "IMG_0002.JPG"));
    QCOMPARE(filesBelow(backup.filePath("2024/2024-05-01")), sorted(QStringList(day) << "IMG_0001.xmp"));
    for (const IngestOutcome &outcome : result.outcomes) {
        for (int i = 0; i < outcome.sources.size(); ++i)
            QCOMPARE(contentOf(outcome.backups.at(i)), files.value(outcome.sources.at(i)));
    }
}

void TestIngest::cancelLeavesWholePhotos()
{
    QTemporaryDir card, destination, data;
    const auto files = makeCard(card.path(), 4, 9 * 1048576 / 2);
    PhotoCore::IngestLog log(data.filePath("log.tsv"));
    // Cancelled within the second photo, which is larger than one block of the copy.
    int reports = 0;
    const auto progress = [&](const PhotoCore::IngestProgress &at) {
        return !(at.file.endsWith(QLatin1String("IMG_0002.JPG")) && ++reports == 2);
    };
    const auto result = PhotoCore::runIngest(planFor(card.path(), log, destination.path()), destination.path(),
                                             QString(), &log, progress);
    QVERIFY(result.cancelled);
    QCOMPARE(result.imported, 1);
    QCOMPARE(result.failed, 0);
    QCOMPARE(result.notCopied, 3);
    verifyWholeAndNothingElse(result, destination.path(), QString(), files);
}

void TestIngest::sameNameRunAgain_data()
{
    // Two photos of one second and one size, named alike by "{date}"; the
    // first run brings only the first.
    QTest::addColumn<QString>("firstRunEnds");
    QTest::newRow("disk-full") << "full";
    QTest::newRow("cancelled") << "cancel";
}

void TestIngest::sameNameRunAgain()
{
    QFETCH(QString, firstRunEnds);
    const bool full = firstRunEnds == QLatin1String("full");
    SmallDisk disk(320);
    if (full && !disk.isMounted())
        QSKIP("mounting a small tmpfs is not allowed here (needs root)");
    QTemporaryDir card, roomy, data;
    const QString destination = full ? disk.path() : roomy.path();
    const QString folder = card.filePath("DCIM/100CANON/");
    const QDateTime second(QDate(2024, 5, 1), QTime(10, 0, 2));
    QHash<QString, QByteArray> files;
    for (int i = 1; i <= 2; ++i) {
        const QString path = folder + QStringLiteral("IMG_%1.CR3").arg(i);
        files.insert(path, photoBytes(i, 100000));
        writeFile(path, files.value(path));
        QFile stamp(path);
        QVERIFY(stamp.open(QIODevice::ReadWrite) && stamp.setFileTime(second, QFileDevice::FileModificationTime));
    }
    const auto facts = [&](const QString &) { return PhotoCore::IngestFacts{second, QStringLiteral("X")}; };
    const PhotoCore::IngestTemplates templates{QStringLiteral("{year}"), QStringLiteral("{date}")};
    const auto plan = [&](PhotoCore::IngestLog &log) {
        return PhotoCore::planIngest(card.filePath("DCIM"), templates, false, facts,
                                     [&](const PhotoCore::IngestItem &item) { return log.contains(item, destination); });
    };
    {
        if (full)
            disk.fill(150000);
        PhotoCore::IngestLog log(data.filePath("log.tsv"));
        const auto progress = [](const PhotoCore::IngestProgress &at) { return !at.file.endsWith("IMG_2.CR3"); };
        const auto result = PhotoCore::runIngest(plan(log), destination, QString(), &log,
                                                 full ? PhotoCore::IngestProgressFunction() : progress);
        QVERIFY2(result.imported == 1, qPrintable(result.outcomes.first().reason + result.stopped));
        QCOMPARE(result.outcomes.at(1).state, full ? IngestState::Failed : IngestState::NotCopied);
    }
    QFile::remove(disk.filePath(".filler"));
    PhotoCore::IngestLog log(data.filePath("log.tsv"));
    const PhotoCore::IngestPlan again = plan(log);
    QCOMPARE(again.newCount(), 1);
    const auto result = PhotoCore::runIngest(again, destination, QString(), &log);
    QCOMPARE(result.skipped, 1);
    QCOMPARE(result.imported, 1);
    QCOMPARE(filesBelow(destination + "/2024"), (QStringList{"20240501 (2).CR3", "20240501.CR3"}));
    QCOMPARE(contentOf(destination + "/2024/20240501.CR3"), files.value(folder + "IMG_1.CR3"));
    QCOMPARE(contentOf(destination + "/2024/20240501 (2).CR3"), files.value(folder + "IMG_2.CR3"));
}

void TestIngest::cardFileEndsEarly()
{
    QTemporaryDir card, destination, data;
    const auto files = makeCard(card.path(), 2, 5 * 1048576);
    const QString shrinking = card.filePath("DCIM/100CANON/IMG_0002.JPG");
    // The card file is cut short once the first block of its copy is out.
    const auto progress = [&](const PhotoCore::IngestProgress &at) {
        if (at.file == shrinking && !at.target.isEmpty())
            QFile::resize(shrinking, 1048576);
        return true;
    };
    PhotoCore::IngestLog log(data.filePath("log.tsv"));
    const auto result = PhotoCore::runIngest(planFor(card.path(), log, destination.path()), destination.path(),
                                             QString(), &log, progress);
    QCOMPARE(result.imported, 1);
    QCOMPARE(result.outcomes.at(1).state, IngestState::Failed);
    QCOMPARE(result.outcomes.at(1).reason,
             QStringLiteral("IMG_0002.JPG: the file on the card ended before its size; the copy was refused"));
    QCOMPARE(filesBelow(destination.path()),
             (QStringList{"2024/2024-05-01/IMG_0001.CR3", "2024/2024-05-01/IMG_0001.JPG",
                          "2024/2024-05-01/IMG_0001.xmp"}));
    Q_UNUSED(files);
}

void TestIngest::folderClash_data()
{
    // Folders below one sandbox; "link" is a symbolic link to "photos".
    QTest::addColumn<QString>("destination");
    QTest::addColumn<QString>("backup");
    QTest::addColumn<int>("clash");
    const int none = int(PhotoCore::IngestFolderClash::None);
    const int onSource = int(PhotoCore::IngestFolderClash::OnSource);
    const int overlaps = int(PhotoCore::IngestFolderClash::BackupOverlaps);
    QTest::newRow("apart") << "photos" << "backup" << none;
    QTest::newRow("no-backup") << "photos" << "" << none;
    QTest::newRow("same-name-prefix") << "photos" << "photos2" << none;
    QTest::newRow("backup-is-destination") << "photos" << "photos/" << overlaps;
    QTest::newRow("backup-inside-destination") << "photos" << "photos/backup" << overlaps;
    QTest::newRow("destination-inside-backup") << "backup/photos" << "backup" << overlaps;
    QTest::newRow("backup-through-link") << "photos" << "link/not-yet/made" << overlaps;
    QTest::newRow("destination-on-card") << "card/DCIM/out" << "" << onSource;
    QTest::newRow("backup-on-card") << "photos" << "card/DCIM" << onSource;
}

void TestIngest::folderClash()
{
    QFETCH(QString, destination);
    QFETCH(QString, backup);
    QFETCH(int, clash);
    QTemporaryDir sandbox, data;
    QVERIFY(QDir().mkpath(sandbox.filePath("photos")));
    QVERIFY(QFile::link(sandbox.filePath("photos"), sandbox.filePath("link")));
    const auto files = makeCard(sandbox.filePath("card"), 1, 1000);
    const QString into = sandbox.filePath(destination);
    const QString second = backup.isEmpty() ? QString() : sandbox.filePath(backup);
    QCOMPARE(int(PhotoCore::ingestFolderClash(sandbox.filePath("card/DCIM"), into, second)), clash);
    // The run refuses such folders by itself, before it copies anything.
    PhotoCore::IngestLog log(data.filePath("log.tsv"));
    const auto result = PhotoCore::runIngest(planFor(sandbox.filePath("card"), log, into), into, second, &log);
    QCOMPARE(result.imported, clash == int(PhotoCore::IngestFolderClash::None) ? 1 : 0);
    QCOMPARE(result.stopped.isEmpty(), clash == int(PhotoCore::IngestFolderClash::None));
    Q_UNUSED(files);
}

void TestIngest::leftoverPartialCopies_data()
{
    QTest::addColumn<bool>("writerRuns");
    QTest::newRow("writer-gone") << false;
    QTest::newRow("writer-still-running") << true;
}

void TestIngest::leftoverPartialCopies()
{
    QFETCH(bool, writerRuns);
    QTemporaryDir card, destination, data;
    makeCard(card.path(), 1, 1000);
    QProcess writer;
    writer.start(QStringLiteral("cat"));
    QVERIFY(writer.waitForStarted());
    const qint64 pid = writer.processId();
    if (!writerRuns) {
        writer.closeWriteChannel();
        QVERIFY(writer.waitForFinished());
    }
    // What that writer left of the photo the plan puts in the same place.
    const QString partial = destination.filePath(QStringLiteral("2024/2024-05-01/.glanceway-part-%1-IMG_0001.JPG").arg(pid));
    writeFile(partial, "fragment");
    PhotoCore::IngestLog log(data.filePath("log.tsv"));
    const auto result = PhotoCore::runIngest(planFor(card.path(), log, destination.path()), destination.path(),
                                             QString(), &log);
    QCOMPARE(result.imported, 1);
    QCOMPARE(QFileInfo::exists(partial), writerRuns);
    // Never a taken name: the photo keeps its own.
    QVERIFY(QFileInfo::exists(destination.filePath("2024/2024-05-01/IMG_0001.JPG")));
    writer.closeWriteChannel();
    writer.waitForFinished();
}

QTEST_GUILESS_MAIN(TestIngest)
#include "tst_ingest.moc"
