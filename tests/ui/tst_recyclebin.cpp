#include "shellrecycles.h"
#include "smalldisk.h"
#include "ui/recyclebin.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

namespace {

void writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly), qPrintable(path));
    file.write(content);
}

QStringList namesIn(const QString &dir)
{
    return QDir(dir).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name);
}

} // namespace

class TestRecycleBin : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void movePhotos_data();
    void movePhotos();
    void fullDiskKeepsPhotos();

private:
    QTemporaryDir sandbox{QStringLiteral(GLANCEWAY_BINARY_DIR "/tst_recyclebin-XXXXXX")};
    std::unique_ptr<QTemporaryDir> root;
    QString previousCwd;
    QByteArray previousDataHome;
};

void TestRecycleBin::initTestCase()
{
    // Never the real user's trash, also when started by hand outside CTest.
    QVERIFY(sandbox.isValid());
    qputenv("HOME", QFile::encodeName(sandbox.path()));
}

void TestRecycleBin::init()
{
    // Inside the private test home, so the trash used is the one below
    // XDG_DATA_HOME (set per row) and never a trash of another device.
    root = std::make_unique<QTemporaryDir>(QDir::homePath() + QStringLiteral("/recyclebin-XXXXXX"));
    QVERIFY(root->isValid());
    QVERIFY(QDir(root->path()).mkpath(QStringLiteral("photos")));
    QVERIFY(QDir(root->path()).mkpath(QStringLiteral("cwd")));
    previousCwd = QDir::currentPath();
    previousDataHome = qgetenv("XDG_DATA_HOME");
    QVERIFY(QDir::setCurrent(root->filePath(QStringLiteral("cwd"))));
}

void TestRecycleBin::cleanup()
{
    QDir::setCurrent(previousCwd);
    qputenv("XDG_DATA_HOME", previousDataHome);
    root.reset();
}

void TestRecycleBin::movePhotos_data()
{
    QTest::addColumn<QString>("trash");       // state of the per-user data folder
    QTest::addColumn<QStringList>("folder");  // files in the photo folder; photos are the non-XMP ones
    QTest::addColumn<QStringList>("selected");
    QTest::addColumn<int>("sidecarsAsked");
    QTest::addColumn<QStringList>("moved");
    QTest::addColumn<QStringList>("failures");
    QTest::addColumn<QStringList>("left");
    QTest::addColumn<QStringList>("inTrash");

    const QStringList pair{"IMG_1.JPG", "IMG_1.NEF", "IMG_1.xmp", "IMG_2.JPG"};
    QTest::newRow("jpeg-of-pair-leaves-shared-sidecar")
        << "ready" << pair << QStringList{"IMG_1.JPG"} << 0 << QStringList{"IMG_1.JPG"} << QStringList{}
        << QStringList{"IMG_1.NEF", "IMG_1.xmp", "IMG_2.JPG"} << QStringList{"IMG_1.JPG"};
    QTest::newRow("whole-pair-takes-sidecar-once")
        << "ready" << pair << QStringList{"IMG_1.JPG", "IMG_1.NEF"} << 1 << QStringList{"IMG_1.JPG", "IMG_1.NEF"}
        << QStringList{} << QStringList{"IMG_2.JPG"} << QStringList{"IMG_1.JPG", "IMG_1.NEF", "IMG_1.xmp"};
    QTest::newRow("upper-case-sidecar")
        << "ready" << QStringList{"a.jpg", "a.XMP", "b.jpg", "b.xmp"} << QStringList{"a.jpg"} << 1
        << QStringList{"a.jpg"} << QStringList{} << QStringList{"b.jpg", "b.xmp"} << QStringList{"a.XMP", "a.jpg"};
    QTest::newRow("no-sidecar-on-disk")
        << "ready" << QStringList{"a.jpg", "b.jpg"} << QStringList{"a.jpg", "b.jpg"} << 0
        << QStringList{"a.jpg", "b.jpg"} << QStringList{} << QStringList{} << QStringList{"a.jpg", "b.jpg"};
#ifndef Q_OS_WIN
    // The per-user trash lives below the data folder (~/.local/share/Trash),
    // which a fresh account may not have yet.
    QTest::newRow("data-folder-not-created-yet")
        << "missing" << QStringList{"a.jpg", "a.xmp"} << QStringList{"a.jpg"} << 1 << QStringList{"a.jpg"}
        << QStringList{} << QStringList{} << QStringList{"a.jpg", "a.xmp"};
    // The trash cannot be set up (its "files" folder is a file): every move is
    // refused and nothing leaves the folder; a photo that stays keeps its sidecar.
    QTest::newRow("trash-refuses-everything")
        << "files-blocked" << pair << QStringList{"IMG_1.JPG", "IMG_1.NEF", "IMG_2.JPG"} << 1 << QStringList{}
        << QStringList{"IMG_1.JPG (photo)", "IMG_1.NEF (photo)", "IMG_2.JPG (photo)"} << pair << QStringList{};
    // No trash folder can be established at all: the toolkit would put the
    // photo below the working directory and still report success.
    QTest::newRow("no-trash-location")
        << "trash-blocked" << QStringList{"a.jpg", "a.xmp", "b.jpg"} << QStringList{"a.jpg"} << 1 << QStringList{}
        << QStringList{"a.jpg (photo)"} << QStringList{"a.jpg", "a.xmp", "b.jpg"} << QStringList{};
#endif
}

void TestRecycleBin::movePhotos()
{
    QFETCH(QString, trash);
    QFETCH(QStringList, folder);
    QFETCH(QStringList, selected);
    QFETCH(int, sidecarsAsked);
    QFETCH(QStringList, moved);
    QFETCH(QStringList, failures);
    QFETCH(QStringList, left);
    QFETCH(QStringList, inTrash);

    const QString dataHome = root->filePath(QStringLiteral("data"));
    qputenv("XDG_DATA_HOME", QFile::encodeName(dataHome));
    const QString trashFiles = dataHome + QStringLiteral("/Trash/files");
    if (trash == QLatin1String("ready")) {
        QVERIFY(QDir().mkpath(trashFiles));
    } else if (trash == QLatin1String("files-blocked")) {
        QVERIFY(QDir().mkpath(dataHome + QStringLiteral("/Trash")));
        writeFile(trashFiles, "not a folder");
    } else if (trash == QLatin1String("trash-blocked")) {
        QVERIFY(QDir().mkpath(dataHome));
        writeFile(dataHome + QStringLiteral("/Trash"), "not a folder");
    }

    const QString photos = root->filePath(QStringLiteral("photos"));
    QStringList allFiles;
    for (const QString &name : folder) {
        writeFile(photos + QLatin1Char('/') + name, name.toUtf8());
        if (!name.endsWith(QLatin1String(".xmp"), Qt::CaseInsensitive))
            allFiles.append(photos + QLatin1Char('/') + name);
    }
    auto paths = [&](const QStringList &names) {
        QStringList result;
        for (const QString &name : names)
            result.append(photos + QLatin1Char('/') + name);
        return result;
    };

#ifdef Q_OS_WIN
    // The recycle bin is the shell's; where a shell refuses, nothing may be lost.
    if (!shellRecycles(root->path())) {
        qWarning("The shell refuses to move files to the recycle bin here");
        left = namesIn(photos);
        failures.clear();
        for (const QString &name : selected)
            failures.append(name + QStringLiteral(" (photo)"));
        moved.clear();
    }
    inTrash.clear();
#endif

    QCOMPARE(RecycleBin::existingSidecarCount(allFiles, paths(selected)), sidecarsAsked);
    const RecycleBin::Outcome outcome = RecycleBin::movePhotos(allFiles, paths(selected));
    QCOMPARE(outcome.moved, paths(moved));
    QCOMPARE(outcome.failures, failures);
    QCOMPARE(namesIn(photos), left);
    if (!inTrash.isEmpty()) {
        QCOMPARE(namesIn(trashFiles), inTrash);
        // Moved, not copied: the trash holds the original content.
        QFile first(trashFiles + QLatin1Char('/') + inTrash.first());
        QVERIFY(first.open(QIODevice::ReadOnly));
        QCOMPARE(first.readAll(), inTrash.first().toUtf8());
    }
    // Nothing may end up below the working directory, which stays where it is.
    QVERIFY(QFileInfo(root->filePath(QStringLiteral("cwd"))).isDir());
    QCOMPARE(namesIn(QDir::currentPath()), QStringList{});
}

void TestRecycleBin::fullDiskKeepsPhotos()
{
#ifdef Q_OS_WIN
    QSKIP("the recycle bin is the shell's");
#else
    // The trash is on the photos' own disk, which has no room left for the
    // record of where a photo came from.
    SmallDisk disk(256);
    if (!disk.isMounted())
        QSKIP("mounting a small tmpfs is not allowed here (needs root)");
    const QString dataHome = disk.filePath(QStringLiteral("data"));
    const QString photos = disk.filePath(QStringLiteral("photos"));
    QVERIFY(QDir().mkpath(dataHome + QStringLiteral("/Trash/files")));
    QVERIFY(QDir().mkpath(dataHome + QStringLiteral("/Trash/info")));
    QVERIFY(QDir().mkpath(photos));
    qputenv("XDG_DATA_HOME", QFile::encodeName(dataHome));
    writeFile(photos + QStringLiteral("/a.jpg"), "photo");
    writeFile(photos + QStringLiteral("/a.xmp"), "sidecar");
    disk.fill(0);
    QCOMPARE(disk.freeBytes(), qint64(0));

    const QStringList photo{photos + QStringLiteral("/a.jpg")};
    const RecycleBin::Outcome outcome = RecycleBin::movePhotos(photo, photo);
    QCOMPARE(outcome.moved, QStringList());
    QCOMPARE(outcome.failures, QStringList{QStringLiteral("a.jpg (photo)")});
    QCOMPARE(namesIn(photos), (QStringList{"a.jpg", "a.xmp"}));
    QCOMPARE(namesIn(dataHome + QStringLiteral("/Trash/files")), QStringList());
    QCOMPARE(namesIn(dataHome + QStringLiteral("/Trash/info")), QStringList());
#endif
}

QTEST_GUILESS_MAIN(TestRecycleBin)
#include "tst_recyclebin.moc"
