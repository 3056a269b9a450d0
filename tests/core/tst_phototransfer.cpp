#include "smalldisk.h"
#include "core/copyundo.h"
#include "core/phototransfer.h"

#include <QtTest>

#include <optional>

using PhotoCore::TransferGroup;
using PhotoCore::TransferMode;

namespace {

QByteArray contentOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

QStringList namesIn(const QString &dir)
{
    return QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

} // namespace

class TestPhotoTransfer : public QObject
{
    Q_OBJECT

private slots:
    void transfer_data();
    void transfer();
    void cancelKeepsWholeGroups();
    void moveAcrossFileSystems_data();
    void moveAcrossFileSystems();
    void transferIntoOwnFolderThroughLink();
    void undoCopy_data();
    void undoCopy();
    void moveExactly_data();
    void moveExactly();
    void transferGroupsFor_data();
    void transferGroupsFor();
    void freeBaseName_data();
    void freeBaseName();
};

void TestPhotoTransfer::transfer_data()
{
    // Sources are IMG_1.JPG + IMG_1.CR3 with IMG_1.xmp, and IMG_2.JPG alone.
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("target");     // "same", "other-disk", "full-disk"
    QTest::addColumn<QStringList>("present"); // already in the target folder
    QTest::addColumn<bool>("sidecarShared");
    QTest::addColumn<QStringList>("expected"); // target folder afterwards
    QTest::addColumn<QStringList>("left");     // source folder afterwards
    const QStringList all{"IMG_1.CR3", "IMG_1.JPG", "IMG_1.xmp", "IMG_2.JPG"};
    QTest::newRow("copy") << int(TransferMode::Copy) << "same" << QStringList() << false << all << all;
    QTest::newRow("copy-name-taken")
        << int(TransferMode::Copy) << "same" << QStringList{"img_1.jpg"} << false
        << QStringList{"IMG_1 (2).CR3", "IMG_1 (2).JPG", "IMG_1 (2).xmp", "IMG_2.JPG", "img_1.jpg"} << all;
    QTest::newRow("copy-sidecar-name-taken")
        << int(TransferMode::Copy) << "same" << QStringList{"IMG_1.xmp", "IMG_1 (2).CR3"} << false
        << QStringList{"IMG_1 (2).CR3", "IMG_1 (3).CR3", "IMG_1 (3).JPG", "IMG_1 (3).xmp", "IMG_1.xmp", "IMG_2.JPG"}
        << all;
    // Any file of the target with the photo's base name would pair with it
    // or lend it its marks: the whole group takes a new name.
    QTest::newRow("copy-foreign-raw-there")
        << int(TransferMode::Copy) << "same" << QStringList{"IMG_1.ARW"} << false
        << QStringList{"IMG_1 (2).CR3", "IMG_1 (2).JPG", "IMG_1 (2).xmp", "IMG_1.ARW", "IMG_2.JPG"} << all;
    QTest::newRow("move-foreign-sidecar-there")
        << int(TransferMode::Move) << "same" << QStringList{"img_2.XMP"} << false
        << QStringList{"IMG_1.CR3", "IMG_1.JPG", "IMG_1.xmp", "IMG_2 (2).JPG", "img_2.XMP"} << QStringList();
    QTest::newRow("copy-name-without-extension-there")
        << int(TransferMode::Copy) << "same" << QStringList{"IMG_2"} << false
        << QStringList{"IMG_1.CR3", "IMG_1.JPG", "IMG_1.xmp", "IMG_2", "IMG_2 (2).JPG"} << all;
    QTest::newRow("move-renames") << int(TransferMode::Move) << "same" << QStringList() << false << all << QStringList();
    QTest::newRow("move-shared-sidecar-stays") << int(TransferMode::Move) << "same" << QStringList() << true << all
                                               << QStringList{"IMG_1.xmp"};
    QTest::newRow("move-to-other-disk") << int(TransferMode::Move) << "other-disk" << QStringList() << false << all
                                        << QStringList();
    // The first group does not fit: nothing of it is left in the target and
    // its sources stay; the small second one still arrives.
    QTest::newRow("move-disk-full") << int(TransferMode::Move) << "full-disk" << QStringList() << false
                                    << QStringList{"IMG_2.JPG"} << QStringList{"IMG_1.CR3", "IMG_1.JPG", "IMG_1.xmp"};
}

void TestPhotoTransfer::transfer()
{
    QFETCH(int, mode);
    QFETCH(QString, target);
    QFETCH(QStringList, present);
    QFETCH(bool, sidecarShared);
    QFETCH(QStringList, expected);
    QFETCH(QStringList, left);
    QTemporaryDir source;
    QTemporaryDir sameDisk;
    std::optional<SmallDisk> disk;
    QString targetDir = sameDisk.path();
    if (target != QLatin1String("same")) {
        disk.emplace(target == QLatin1String("full-disk") ? 96 : 2048);
        if (!disk->isMounted())
            QSKIP("mounting a small tmpfs is not allowed here (needs root)");
        targetDir = disk->path();
    }
    const QHash<QString, QByteArray> contents{{"IMG_1.JPG", QByteArray(40000, 'j')},
                                              {"IMG_1.CR3", QByteArray(200000, 'r')},
                                              {"IMG_1.xmp", QByteArray("<x:xmpmeta/>")},
                                              {"IMG_2.JPG", QByteArray(3000, '2')}};
    const QDateTime taken(QDate(2023, 8, 14), QTime(9, 30), Qt::UTC);
    for (auto it = contents.cbegin(); it != contents.cend(); ++it) {
        writeFile(source.filePath(it.key()), it.value());
        QFile file(source.filePath(it.key()));
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.setFileTime(taken, QFileDevice::FileModificationTime));
    }
    for (const QString &name : present)
        writeFile(QDir(targetDir).filePath(name), "theirs");

    const QList<TransferGroup> groups{
        {{source.filePath("IMG_1.JPG"), source.filePath("IMG_1.CR3")}, source.filePath("IMG_1.xmp"), sidecarShared},
        {{source.filePath("IMG_2.JPG")}, QString(), false}};
    const PhotoCore::TransferResult result = PhotoCore::transferPhotos(groups, targetDir, TransferMode(mode));

    QCOMPARE(namesIn(targetDir), expected);
    QCOMPARE(namesIn(source.path()), left);
    QCOMPARE(result.photosDone, target == QLatin1String("full-disk") ? 1 : 2);
    QCOMPARE(result.failures.isEmpty(), target != QLatin1String("full-disk"));
    for (const QString &name : present)
        QCOMPARE(contentOf(QDir(targetDir).filePath(name)), QByteArray("theirs")); // never overwritten
    for (const QString &written : result.written) {
        QString original = QFileInfo(written).fileName();
        original.replace(QRegularExpression(QStringLiteral(" \\(\\d+\\)")), QString());
        QCOMPARE(contentOf(written), contents.value(original));
        QCOMPARE(QFileInfo(written).lastModified().toUTC(), taken);
    }
}

void TestPhotoTransfer::cancelKeepsWholeGroups()
{
    QTemporaryDir source, target;
    QList<TransferGroup> groups;
    for (int i = 1; i <= 3; ++i) {
        const QString name = source.filePath(QStringLiteral("IMG_%1.JPG").arg(i));
        writeFile(name, QByteArray(1000 * i, 'x'));
        groups.append({{name}, QString(), false});
    }
    // Cancelled as the second photo begins.
    const auto progress = [&](qint64, qint64, const QString &file) { return !file.endsWith(QLatin1String("IMG_2.JPG")); };
    const auto result = PhotoCore::transferPhotos(groups, target.path(), TransferMode::Move, progress);
    QVERIFY(result.cancelled);
    QCOMPARE(result.photosDone, 1);
    QCOMPARE(namesIn(target.path()), QStringList{"IMG_1.JPG"});
    QCOMPARE(namesIn(source.path()), (QStringList{"IMG_2.JPG", "IMG_3.JPG"}));
}

void TestPhotoTransfer::moveAcrossFileSystems_data()
{
    // Groups, in order: A.JPG on the target's own disk; B.JPG with its
    // sidecar on another file system; C.JPG on the target's disk with its
    // partner C.CR3 on the other file system.
    QTest::addColumn<qint64>("leaveFree"); // bytes left free on the target's disk; -1: plenty
    QTest::addColumn<QList<bool>>("arrives");
    QTest::newRow("everything-fits") << qint64(-1) << QList<bool>{true, true, true};
    QTest::newRow("photo-does-not-fit") << qint64(65536) << QList<bool>{true, false, false};
    // B.JPG takes exactly its 19 pages; its sidecar finds none left.
    QTest::newRow("sidecar-does-not-fit") << qint64(19 * 4096) << QList<bool>{true, false, false};
}

void TestPhotoTransfer::moveAcrossFileSystems()
{
    QFETCH(qint64, leaveFree);
    QFETCH(QList<bool>, arrives);
    SmallDisk disk(512);
    if (!disk.isMounted())
        QSKIP("mounting a small tmpfs is not allowed here (needs root)");
    QTemporaryDir other;
    QVERIFY(QDir().mkpath(disk.filePath("src")) && QDir().mkpath(disk.filePath("target")));
    const QString near = disk.filePath("src");
    const QString target = disk.filePath("target");
    QByteArray photoB(76780, Qt::Uninitialized);
    for (int i = 0; i < photoB.size(); ++i)
        photoB[i] = char((i * 7919) >> 3);
    const QByteArray sidecarB = "<x:xmpmeta xmlns:x='adobe:ns:meta/'><rdf:RDF xmlns:rdf='http://www.w3.org/1999/02/"
                                "22-rdf-syntax-ns#'><rdf:Description xmlns:xmp='http://ns.adobe.com/xap/1.0/' "
                                "xmp:Rating='5' xmp:Label='Red'/></rdf:RDF></x:xmpmeta>";
    const QHash<QString, QByteArray> files{{near + "/A.JPG", QByteArray(10000, 'a')},
                                           {other.filePath("B.JPG"), photoB},
                                           {other.filePath("B.xmp"), sidecarB},
                                           {near + "/C.JPG", QByteArray(5000, 'c')},
                                           {other.filePath("C.CR3"), QByteArray(100000, 'r')}};
    for (auto it = files.cbegin(); it != files.cend(); ++it)
        writeFile(it.key(), it.value());
    if (leaveFree >= 0) {
        disk.fill(leaveFree);
        QCOMPARE(disk.freeBytes(), leaveFree);
    }
    const QList<TransferGroup> groups{{{near + "/A.JPG"}, near + "/A.xmp", false},
                                      {{other.filePath("B.JPG")}, other.filePath("B.xmp"), false},
                                      {{near + "/C.JPG", other.filePath("C.CR3")}, near + "/C.xmp", false}};
    const PhotoCore::TransferResult result = PhotoCore::transferPhotos(groups, target, TransferMode::Move);

    const QList<QStringList> names{{"A.JPG"}, {"B.JPG", "B.xmp"}, {"C.CR3", "C.JPG"}};
    QStringList expectedTarget;
    int done = 0;
    for (int g = 0; g < groups.size(); ++g) {
        QCOMPARE(result.outcomes.value(g).ok, arrives.at(g));
        done += arrives.at(g) ? 1 : 0;
        QStringList sources = groups.at(g).files;
        if (g == 1)
            sources.append(groups.at(g).sidecar);
        for (const QString &source : std::as_const(sources)) {
            const QString name = QFileInfo(source).fileName();
            // Whole in exactly one place: the target when the group arrived, else where it was.
            const QString there = QDir(target).filePath(name);
            QCOMPARE(QFileInfo::exists(source), !arrives.at(g));
            QCOMPARE(contentOf(arrives.at(g) ? there : source), files.value(source));
        }
        if (arrives.at(g))
            expectedTarget += names.at(g);
    }
    expectedTarget.sort();
    QCOMPARE(namesIn(target), expectedTarget); // nothing partial left behind
    QCOMPARE(result.photosDone, done);
    QCOMPARE(result.failures.size(), groups.size() - done);
    if (leaveFree >= 0) {
        QCOMPARE(result.failures.first().path, other.filePath(leaveFree == 65536 ? "B.JPG" : "B.xmp"));
        QVERIFY2(result.failures.first().reason.contains(QLatin1String("No space left on device")),
                 qPrintable(result.failures.first().reason));
    }
}

void TestPhotoTransfer::transferIntoOwnFolderThroughLink()
{
    QTemporaryDir dir;
    QVERIFY(QDir().mkpath(dir.filePath("photos")));
    writeFile(dir.filePath("photos/IMG_1.JPG"), "photo");
    // On Windows QFile::link makes a shortcut, which is a file and leads nowhere for the file system.
    if (!QFile::link(dir.filePath("photos"), dir.filePath("link")) || !QFileInfo(dir.filePath("link")).isDir())
        QSKIP("links to folders cannot be made here");
    const QList<TransferGroup> groups{{{dir.filePath("photos/IMG_1.JPG")}, dir.filePath("photos/IMG_1.xmp"), false}};
    // Neither makes anything beside the photo: a copy there would only duplicate it.
    for (TransferMode mode : {TransferMode::Move, TransferMode::Copy}) {
        const auto result = PhotoCore::transferPhotos(groups, dir.filePath("link"), mode);
        QCOMPARE(result.photosDone, 0);
        QCOMPARE(result.failures.size(), 1);
        QCOMPARE(result.failures.first().reason, QStringLiteral("it is already in this folder"));
        QCOMPARE(namesIn(dir.filePath("photos")), QStringList{"IMG_1.JPG"});
    }
}

void TestPhotoTransfer::undoCopy_data()
{
    QTest::addColumn<QString>("meanwhile"); // what happens to the copies of A before the undo
    QTest::addColumn<QStringList>("left");  // in the target afterwards
    QTest::addColumn<int>("removed");
    QTest::newRow("unchanged") << "" << QStringList() << 2;
    QTest::newRow("sidecar-marked-elsewhere") << "rewrite A.xmp" << QStringList{"A.JPG", "A.xmp"} << 1;
    QTest::newRow("same-size-later") << "touch A.JPG" << QStringList{"A.JPG", "A.xmp"} << 1;
    QTest::newRow("photo-removed-meanwhile") << "remove A.JPG" << QStringList() << 2;
}

void TestPhotoTransfer::undoCopy()
{
    QFETCH(QString, meanwhile);
    QFETCH(QStringList, left);
    QFETCH(int, removed);
    QTemporaryDir source, target;
    for (const char *name : {"A.JPG", "A.xmp", "B.JPG"})
        writeFile(source.filePath(QLatin1String(name)), QByteArray(name).repeated(50));
    const QList<TransferGroup> groups{{{source.filePath("A.JPG")}, source.filePath("A.xmp"), false},
                                      {{source.filePath("B.JPG")}, QString(), false}};
    const auto result = PhotoCore::transferPhotos(groups, target.path(), TransferMode::Copy);
    QCOMPARE(result.photosDone, 2);
    const PhotoCore::MadeCopies copies = PhotoCore::madeCopies(result);

    const QString changed = target.filePath(meanwhile.section(' ', 1));
    if (meanwhile.startsWith(QLatin1String("rewrite")))
        writeFile(changed, "<x:xmpmeta/>");
    else if (meanwhile.startsWith(QLatin1String("touch"))) {
        QFile file(changed);
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.setFileTime(QDateTime::currentDateTime().addSecs(30), QFileDevice::FileModificationTime));
    }
    else if (meanwhile.startsWith(QLatin1String("remove")))
        QVERIFY(QFile::remove(changed));

    const PhotoCore::CopiesRemoved undone = PhotoCore::removeUnchangedCopies(copies);
    QCOMPARE(undone.photos, removed);
    QCOMPARE(namesIn(target.path()), left);
    QCOMPARE(undone.kept.size(), left.isEmpty() ? 0 : 1);
    if (!left.isEmpty())
        QCOMPARE(undone.kept.first().path, changed);
    // The originals are never touched.
    QCOMPARE(namesIn(source.path()), (QStringList{"A.JPG", "A.xmp", "B.JPG"}));
}

void TestPhotoTransfer::moveExactly_data()
{
    // Back from "moved/" (IMG_1.JPG, IMG_1.xmp) to "home/" under the same names.
    QTest::addColumn<QString>("home");            // "same" or "other-disk"
    QTest::addColumn<QStringList>("presentAtHome"); // names taken there meanwhile
    QTest::addColumn<bool>("ok");
    QTest::newRow("same-disk") << "same" << QStringList() << true;
    QTest::newRow("other-disk") << "other-disk" << QStringList() << true;
    QTest::newRow("sidecar-name-taken") << "same" << QStringList{"IMG_1.xmp"} << false;
    QTest::newRow("photo-name-taken-on-other-disk") << "other-disk" << QStringList{"IMG_1.JPG"} << false;
}

void TestPhotoTransfer::moveExactly()
{
    QFETCH(QString, home);
    QFETCH(QStringList, presentAtHome);
    QFETCH(bool, ok);
    QTemporaryDir moved, sameDisk;
    std::optional<SmallDisk> disk;
    QString homeDir = sameDisk.path();
    if (home != QLatin1String("same")) {
        disk.emplace(1024);
        if (!disk->isMounted())
            QSKIP("mounting a small tmpfs is not allowed here (needs root)");
        homeDir = disk->path();
    }
    writeFile(moved.filePath("IMG_1.JPG"), QByteArray(30000, 'j'));
    writeFile(moved.filePath("IMG_1.xmp"), "<x:xmpmeta/>");
    for (const QString &name : std::as_const(presentAtHome))
        writeFile(QDir(homeDir).filePath(name), "theirs");
    const QList<QPair<QString, QString>> moves{{moved.filePath("IMG_1.JPG"), QDir(homeDir).filePath("IMG_1.JPG")},
                                               {moved.filePath("IMG_1.xmp"), QDir(homeDir).filePath("IMG_1.xmp")}};
    const PhotoCore::TransferResult result = PhotoCore::moveExactly(moves);
    QCOMPARE(result.failures.isEmpty(), ok);
    QCOMPARE(result.photosDone, ok ? 2 : 0);
    QCOMPARE(namesIn(moved.path()), ok ? QStringList() : (QStringList{"IMG_1.JPG", "IMG_1.xmp"}));
    if (ok) {
        QCOMPARE(contentOf(QDir(homeDir).filePath("IMG_1.JPG")), QByteArray(30000, 'j'));
        QCOMPARE(contentOf(QDir(homeDir).filePath("IMG_1.xmp")), QByteArray("<x:xmpmeta/>"));
    } else {
        // Nothing of ours arrived, and what was there is untouched.
        QCOMPARE(namesIn(homeDir), presentAtHome);
        QCOMPARE(contentOf(QDir(homeDir).filePath(presentAtHome.first())), QByteArray("theirs"));
    }
}

void TestPhotoTransfer::transferGroupsFor_data()
{
    // The folder holds A.JPG + A.CR3 (a pair), B.JPG, B.TIF (one sidecar, no pair) and C.JPG.
    QTest::addColumn<QStringList>("photos");
    QTest::addColumn<QStringList>("groups"); // "files|sidecar-shared" per group
    QTest::newRow("pair-travels-whole") << QStringList{"A.JPG"} << QStringList{"A.JPG,A.CR3|0"};
    QTest::newRow("raw-brings-its-jpeg") << QStringList{"A.CR3"} << QStringList{"A.CR3,A.JPG|0"};
    QTest::newRow("sidecar-stays-for-the-other") << QStringList{"B.JPG"} << QStringList{"B.JPG|1"};
    QTest::newRow("both-users-leave") << QStringList{"B.JPG", "C.JPG", "B.TIF"}
                                      << QStringList{"B.JPG,B.TIF|0", "C.JPG|0"};
    QTest::newRow("unlisted-skipped") << QStringList{"D.JPG", "C.JPG"} << QStringList{"C.JPG|0"};
}

void TestPhotoTransfer::transferGroupsFor()
{
    QFETCH(QStringList, photos);
    QFETCH(QStringList, groups);
    // Absolute on every system: on Windows with the current drive's letter.
    const QString folder = QFileInfo(QStringLiteral("/photos")).absoluteFilePath() + QLatin1Char('/');
    QStringList listed;
    for (const char *name : {"A.CR3", "A.JPG", "B.JPG", "B.TIF", "C.JPG"})
        listed.append(folder + QLatin1String(name));
    const QHash<QString, QString> partners{{folder + "A.JPG", folder + "A.CR3"}, {folder + "A.CR3", folder + "A.JPG"}};
    QStringList paths;
    for (const QString &photo : std::as_const(photos))
        paths.append(folder + photo);
    QStringList actual;
    for (const TransferGroup &group : PhotoCore::transferGroupsFor(paths, listed, partners)) {
        QStringList names;
        for (const QString &file : group.files)
            names.append(QFileInfo(file).fileName());
        QCOMPARE(group.sidecar, folder + QFileInfo(group.files.first()).completeBaseName() + ".xmp");
        actual.append(names.join(',') + (group.sidecarShared ? "|1" : "|0"));
    }
    QCOMPARE(actual, groups);
}

void TestPhotoTransfer::freeBaseName_data()
{
    QTest::addColumn<QStringList>("takenStems");
    QTest::addColumn<QString>("expected");
    QTest::newRow("free") << QStringList{"other"} << "IMG_1";
    QTest::newRow("taken") << QStringList{"img_1"} << "IMG_1 (2)";
    QTest::newRow("several-taken") << QStringList{"img_1", "img_1 (2)", "img_1 (3)"} << "IMG_1 (4)";
    QTest::newRow("gap") << QStringList{"img_1", "img_1 (3)"} << "IMG_1 (2)";
    QTest::newRow("longer-name-is-other") << QStringList{"img_10", "img_1 (2) copy"} << "IMG_1";
}

void TestPhotoTransfer::freeBaseName()
{
    QFETCH(QStringList, takenStems);
    QFETCH(QString, expected);
    const QSet<QString> set(takenStems.cbegin(), takenStems.cend());
    QCOMPARE(PhotoCore::freeBaseName(QStringLiteral("IMG_1"), set), expected);
}

QTEST_GUILESS_MAIN(TestPhotoTransfer)
#include "tst_phototransfer.moc"
