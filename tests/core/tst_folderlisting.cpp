#include "permissionbits.h"
#include "core/folderlisting.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

class TestFolderListing : public QObject
{
    Q_OBJECT

private slots:
    void listing_data();
    void listing();
    void pathsAsGiven_data();
    void pathsAsGiven();
    void subfoldersAndLinks();
    void tree_data();
    void tree();
    void missingFolder();
    void unreadableFileSkipped();

private:
    static void touch(const QString &path)
    {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("x");
    }
};

void TestFolderListing::listing_data()
{
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("every format, any case")
        << QStringList{"f.Rw2", "d.Tiff", "b.jpeg", "A.JPG", "e.nef", "c.PnG"}
        << QStringList{"A.JPG", "b.jpeg", "c.PnG", "d.Tiff", "e.nef", "f.Rw2"};
    QTest::newRow("all fourteen extensions")
        << QStringList{"a.jpg", "b.jpeg", "c.png", "d.tif", "e.tiff", "f.bmp", "g.dng", "h.cr2", "i.cr3",
                       "j.nef", "k.arw", "l.orf", "m.raf", "n.rw2"}
        << QStringList{"a.jpg", "b.jpeg", "c.png", "d.tif", "e.tiff", "f.bmp", "g.dng", "h.cr2", "i.cr3",
                       "j.nef", "k.arw", "l.orf", "m.raf", "n.rw2"};
    QTest::newRow("non-photos dropped")
        << QStringList{"notes.txt", "IMG_1.jpg.xmp", "IMG_1.xmp", "IMG_1", "IMG_1.jpg", "IMG_0001.jpe",
                       "IMG_0001.jpg.bak", "archive.tar.jpg", "README"}
        << QStringList{"archive.tar.jpg", "IMG_1.jpg"};
    QTest::newRow("hidden file skipped") << QStringList{".IMG_2.jpg", "IMG_3.jpg"} << QStringList{"IMG_3.jpg"};
    QTest::newRow("pair sharing a sidecar") << QStringList{"DSC_0123.NEF", "DSC_0123.JPG"}
                                            << QStringList{"DSC_0123.JPG", "DSC_0123.NEF"};
    QTest::newRow("no numeric awareness") << QStringList{"IMG_2.jpg", "IMG_10.jpg", "img_1.jpg"}
                                          << QStringList{"img_1.jpg", "IMG_10.jpg", "IMG_2.jpg"};
    QTest::newRow("full stop before underscore") << QStringList{"a_b.jpg", "a.jpg"} << QStringList{"a.jpg", "a_b.jpg"};
    QTest::newRow("underscore before folded letters") << QStringList{"IMGA.jpg", "IMG_A.jpg"}
                                                      << QStringList{"IMG_A.jpg", "IMGA.jpg"};
    QTest::newRow("raw before jpeg of same name") << QStringList{"IMG_0001.JPG", "IMG_0001.CR2"}
                                                  << QStringList{"IMG_0001.CR2", "IMG_0001.JPG"};
    QTest::newRow("empty folder") << QStringList{} << QStringList{};
}

void TestFolderListing::listing()
{
    QFETCH(QStringList, files);
    QFETCH(QStringList, expected);

    QTemporaryDir dir;
    for (const QString &name : files)
        touch(dir.filePath(name));

    QStringList expectedPaths;
    for (const QString &name : expected)
        expectedPaths << dir.path() + '/' + name;
    QCOMPARE(PhotoCore::listPhotoFiles(dir.path()), expectedPaths);
}

// Photo paths are identities elsewhere: the folder text is kept as passed,
// with exactly one separator before the name.
void TestFolderListing::pathsAsGiven_data()
{
    QTest::addColumn<QString>("suffix");      // appended to the temporary folder's path
    QTest::addColumn<QString>("listedAs");    // expected path prefix after that folder

    QTest::newRow("plain") << QString() << QStringLiteral("/sub/");
    QTest::newRow("trailing separator") << QStringLiteral("/") << QStringLiteral("/sub/");
    QTest::newRow("unclean steps kept") << QStringLiteral("/./x/..") << QStringLiteral("/sub/./x/../");
}

void TestFolderListing::pathsAsGiven()
{
    QFETCH(QString, suffix);
    QFETCH(QString, listedAs);

    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkpath("sub/x"));
    touch(dir.filePath("sub/a.jpg"));
    const QString folder = dir.path() + "/sub" + suffix;
    QCOMPARE(PhotoCore::listPhotoFiles(folder), QStringList{dir.path() + listedAs + "a.jpg"});
}

void TestFolderListing::subfoldersAndLinks()
{
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkpath("photos"));
    QVERIFY(QDir(dir.path()).mkpath("folder.jpg"));  // a directory with a photo's name
    touch(dir.filePath("photos/IMG_1.jpg"));
    QCOMPARE(PhotoCore::listPhotoFiles(dir.path()), QStringList{});
#ifndef Q_OS_UNIX
    QSKIP("QFile::link makes shortcut files here, not links");
#endif

    // A link to a file is listed under the link's own path; a dangling one is not.
    QVERIFY(QFile::link(dir.filePath("photos/IMG_1.jpg"), dir.filePath("linked.jpg")));
    QVERIFY(QFile::link(dir.filePath("gone.jpg"), dir.filePath("dangling.jpg")));
    QCOMPARE(PhotoCore::listPhotoFiles(dir.path()), QStringList{dir.path() + "/linked.jpg"});
}

void TestFolderListing::tree_data()
{
    // Entries "a/b.jpg" are files; "name -> target" are links to folders
    // (targets relative to the top folder).
    QTest::addColumn<QStringList>("entries");
    QTest::addColumn<int>("depth");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("own-photos-first-then-folders-by-name")
        << QStringList{"z.jpg", "b/2.jpg", "A/1.jpg", "A/deep/3.jpg", "b/notes.txt"} << 8
        << QStringList{"z.jpg", "A/1.jpg", "A/deep/3.jpg", "b/2.jpg"};
    QTest::newRow("hidden-folder-skipped") << QStringList{".thumbs/x.jpg", "keep/y.jpg"} << 8
                                           << QStringList{"keep/y.jpg"};
    QTest::newRow("depth-limit") << QStringList{"1/a.jpg", "1/2/b.jpg", "1/2/3/c.jpg"} << 2
                                 << QStringList{"1/a.jpg", "1/2/b.jpg"};
    QTest::newRow("depth-zero-is-the-folder-alone") << QStringList{"top.jpg", "sub/a.jpg"} << 0
                                                    << QStringList{"top.jpg"};
    QTest::newRow("link-loop-not-repeated") << QStringList{"sub/a.jpg", "sub/up -> ."} << 8 << QStringList{"sub/a.jpg"};
    // "in" comes first by name: its link is followed, and "out" is then not listed again.
    QTest::newRow("folder-reached-twice-listed-once") << QStringList{"out/o.jpg", "in/link -> out"} << 8
                                                      << QStringList{"in/link/o.jpg"};
}

void TestFolderListing::tree()
{
    QFETCH(QStringList, entries);
    QFETCH(int, depth);
    QFETCH(QStringList, expected);
    QTemporaryDir dir;
    const QDir top(dir.path());
    for (const QString &entry : entries) {
        if (entry.contains(QLatin1String(" -> "))) {
#ifndef Q_OS_UNIX
            QSKIP("QFile::link makes shortcut files here, not links");
#endif
            const QString link = entry.section(QLatin1String(" -> "), 0, 0);
            QVERIFY(top.mkpath(QFileInfo(link).path()));
            QVERIFY(QFile::link(top.absoluteFilePath(entry.section(QLatin1String(" -> "), 1)), top.filePath(link)));
        } else {
            QVERIFY(top.mkpath(QFileInfo(entry).path()));
            touch(top.filePath(entry));
        }
    }
    QStringList listed = PhotoCore::listPhotoTree(dir.path(), depth);
    for (QString &path : listed)
        path = top.relativeFilePath(path);
    QCOMPARE(listed, expected);
}

void TestFolderListing::missingFolder()
{
    QTemporaryDir dir;
    const QString gone = dir.path() + "/vanished";
    QCOMPARE(PhotoCore::listPhotoFiles(gone), QStringList{});
    touch(dir.filePath("file.jpg"));
    QCOMPARE(PhotoCore::listPhotoFiles(dir.filePath("file.jpg")), QStringList{});
}

void TestFolderListing::unreadableFileSkipped()
{
    if (!permissionBitsRestrict())
        QSKIP("a file without read permission cannot be made here");
    QTemporaryDir dir;
    touch(dir.filePath("locked.jpg"));
    touch(dir.filePath("open.jpg"));
    QVERIFY(QFile::setPermissions(dir.filePath("locked.jpg"), QFileDevice::WriteOwner));
    QCOMPARE(PhotoCore::listPhotoFiles(dir.path()), QStringList{dir.path() + "/open.jpg"});
}

QTEST_GUILESS_MAIN(TestFolderListing)
#include "tst_folderlisting.moc"
