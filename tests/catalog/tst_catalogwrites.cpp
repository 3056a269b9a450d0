#include "folderlock.h"
#include "testphotos.h"
#include "testrecords.h"
#include "catalogtesting.h"
#include "catalog/photocatalog.h"
#include "core/sidecarpaths.h"
#include "core/xmpsidecar.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <chrono>
#include <filesystem>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

using PhotoCore::Metadata;

namespace {

QByteArray readBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Sets a folder's modification time, which neither QFile nor (with MinGW)
// std::filesystem can do on Windows.
bool setFolderTime(const QString &path, const QDateTime &time)
{
#ifdef Q_OS_WIN
    const std::wstring native = QDir::toNativeSeparators(path).toStdWString();
    const HANDLE folder = ::CreateFileW(native.c_str(), FILE_WRITE_ATTRIBUTES,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                        OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (folder == INVALID_HANDLE_VALUE)
        return false;
    // 100 ns steps since 1601.
    const quint64 ticks = quint64(time.toMSecsSinceEpoch()) * 10000 + Q_UINT64_C(116444736000000000);
    const FILETIME written{DWORD(ticks & 0xffffffffu), DWORD(ticks >> 32)};
    const bool set = ::SetFileTime(folder, nullptr, nullptr, &written);
    ::CloseHandle(folder);
    return set;
#else
    namespace fs = std::filesystem;
    std::error_code error;
    fs::last_write_time(fs::path(path.toStdString()),
                        fs::file_time_type::clock::now()
                            - std::chrono::milliseconds(time.msecsTo(QDateTime::currentDateTimeUtc())),
                        error);
    return !error;
#endif
}

} // namespace

// What the catalog writes: undo and redo, the order of writes, and what
// happens when a folder or a photo does not take them.
class TestCatalogWrites : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void undoRedo_data();
    void undoRedo();
    void undoShowsThePhotoAndSaysWhat();
    void historyDepthAndFolderChange();
    void failedUndoStaysUndoable();
    void interleavedWritesEndWithTheLastMark();
    void readOnlyFolder();
    void photoGoneBeforeItsMark();
    void folderChangedByOthers();
    void leftoversOfInterruptedWrites_data();
    void leftoversOfInterruptedWrites();

private:
    QTemporaryDir tmp;
};

void TestCatalogWrites::initTestCase()
{
    prepareCatalogTests();
    QVERIFY(tmp.isValid());
}

void TestCatalogWrites::init()
{
    resetCatalogSettings();
}

// ---- Undo and redo ------------------------------------------------------

void TestCatalogWrites::undoRedo_data()
{
    // Commands in order: "3" stars, "Red" label, "x" reject, "rot:90" a
    // rotation of the first photo, "batch:5" on every photo, "u" undo, "r"
    // redo, "foreign" another program rewrites the first photo's sidecar with
    // rating 1, "foreign:<field>=<value>" another program changes just that
    // field (rating, label) of the first photo's sidecar.
    QTest::addColumn<Metadata>("start");          // the first photo's sidecar before opening; none: no sidecar
    QTest::addColumn<QStringList>("commands");
    QTest::addColumn<Metadata>("first");          // the first photo's marks at the end
    QTest::addColumn<Metadata>("second");
    QTest::addColumn<bool>("firstSidecar");       // whether its sidecar exists at the end
    QTest::addColumn<int>("undoable");

    const Metadata none;
    QTest::newRow("undo-removes-created-sidecar") << none << QStringList{"3", "u"} << none << none << false << 0;
    QTest::newRow("redo-recreates") << none << QStringList{"3", "u", "r"} << record(3) << none << true << 1;
    QTest::newRow("two-steps-back-and-forth") << none << QStringList{"3", "Red", "u", "u", "r"} << record(3) << none
                                              << true << 1;
    QTest::newRow("new-mark-drops-redo") << none << QStringList{"3", "u", "x", "r"} << record(0, {}, true) << none
                                         << true << 1;
    QTest::newRow("batch-is-one-step") << none << QStringList{"Red", "batch:5", "u"} << record(0, "Red") << none
                                       << true << 1;
    QTest::newRow("batch-redo") << none << QStringList{"batch:5", "u", "r"} << record(5) << record(5) << true << 1;
    QTest::newRow("changed-by-other-is-kept") << none << QStringList{"3", "foreign", "u"} << none << none << true << 0;

    // Undo and redo write back only the fields their step changed; what
    // another program changed meanwhile in other fields stays.
    const Metadata blue4 = record(4, "Blue");
    QTest::newRow("undo-rating-keeps-foreign-label")
        << blue4 << QStringList{"3", "foreign:label=Green", "u"} << record(4, "Green") << none << true << 0;
    QTest::newRow("redo-rating-keeps-foreign-label")
        << blue4 << QStringList{"3", "u", "foreign:label=Green", "r"} << record(3, "Green") << none << true << 1;
    QTest::newRow("undo-label-keeps-foreign-rating")
        << blue4 << QStringList{"Red", "foreign:rating=2", "u"} << record(2, "Blue") << none << true << 0;
    QTest::newRow("redo-label-keeps-foreign-rating")
        << blue4 << QStringList{"Red", "u", "foreign:rating=2", "r"} << record(2, "Red") << none << true << 1;
    QTest::newRow("undo-reject-keeps-foreign-label")
        << blue4 << QStringList{"x", "foreign:label=Green", "u"} << record(4, "Green") << none << true << 0;
    QTest::newRow("redo-reject-keeps-foreign-label")
        << blue4 << QStringList{"x", "u", "foreign:label=Green", "r"} << record(0, "Green", true) << none << true << 1;
    QTest::newRow("undo-rotation-keeps-foreign-rating")
        << blue4 << QStringList{"rot:90", "foreign:rating=2", "u"} << record(2, "Blue") << none << true << 0;
    QTest::newRow("redo-rotation-keeps-foreign-rating")
        << blue4 << QStringList{"rot:90", "u", "foreign:rating=2", "r"} << record(2, "Blue", false, 90) << none << true
        << 1;
    QTest::newRow("undo-batch-keeps-foreign-label")
        << blue4 << QStringList{"batch:5", "foreign:label=Green", "u"} << record(4, "Green") << none << true << 0;
    QTest::newRow("redo-batch-keeps-foreign-label")
        << blue4 << QStringList{"batch:5", "u", "foreign:label=Green", "r"} << record(5, "Green") << record(5) << true
        << 1;
    QTest::newRow("undo-of-created-sidecar-keeps-foreign-label")
        << none << QStringList{"3", "foreign:label=Green", "u"} << record(0, "Green") << none << true << 0;
}

void TestCatalogWrites::undoRedo()
{
    QFETCH(Metadata, start);
    QFETCH(QStringList, commands);
    QFETCH(Metadata, first);
    QFETCH(Metadata, second);
    QFETCH(bool, firstSidecar);
    QFETCH(int, undoable);
    const QStringList files = makePhotos(freshDir(tmp), 2);
    if (start != Metadata())
        QVERIFY(PhotoCore::writeMetadata(files[0], start));
    PhotoCatalog catalog;
    openAndSettle(catalog, files);
    for (const QString &command : std::as_const(commands)) {
        if (command == QLatin1String("u"))
            catalog.undo();
        else if (command == QLatin1String("r"))
            catalog.redo();
        else if (command == QLatin1String("x"))
            catalog.rejectCurrent();
        else if (command == QLatin1String("Red"))
            catalog.setColorLabel(command);
        else if (command.startsWith(QLatin1String("rot:")))
            catalog.setRotation(files[0], command.mid(4).toInt());
        else if (command.startsWith(QLatin1String("batch:")))
            catalog.setRatingForFiles(files, command.mid(6).toInt());
        else if (command == QLatin1String("foreign")) {
            settle(catalog); // after our own write
            QVERIFY(PhotoCore::writeMetadata(files[0], record(1)));
        } else if (command.startsWith(QLatin1String("foreign:"))) {
            settle(catalog);
            const QString field = command.mid(8).section(QLatin1Char('='), 0, 0);
            const QString value = command.section(QLatin1Char('='), 1);
            Metadata onDisk = PhotoCore::readMetadata(files[0]);
            if (field == QLatin1String("rating"))
                onDisk.rating = value.toInt();
            else
                onDisk.label = value;
            QVERIFY(PhotoCore::writeMetadata(files[0], onDisk));
        } else {
            catalog.setRating(command.toInt());
        }
        // No settling between commands: an undo may be queued before the mark
        // it takes back has been written.
    }
    settle(catalog);
    QCOMPARE(catalog.record(files[0]), first);
    QCOMPARE(PhotoCore::readMetadata(files[0]), first);
    QCOMPARE(catalog.record(files[1]), second);
    QCOMPARE(QFile::exists(PhotoCore::sidecarPathFor(files[0])), firstSidecar);
    QCOMPARE(catalog.undoDepth(), undoable);
}

void TestCatalogWrites::undoShowsThePhotoAndSaysWhat()
{
    const QString dir = freshDir(tmp);
    const QStringList jpegs = makePhotos(dir, 3);
    const QString raw = dir + QStringLiteral("/IMG_0002.png"); // shares IMG_0002's sidecar
    QVERIFY(QImage(jpegs[0]).save(raw, "PNG"));
    const QStringList files{jpegs[0], jpegs[1], raw, jpegs[2]};
    // Foreign properties in the sidecar survive an undo.
    const QString sidecar = PhotoCore::sidecarPathFor(raw);
    QFile foreign(sidecar);
    QVERIFY(foreign.open(QIODevice::WriteOnly));
    foreign.write("<x:xmpmeta xmlns:x=\"adobe:ns:meta/\"><rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\">"
                  "<rdf:Description rdf:about=\"\" xmlns:xmp=\"http://ns.adobe.com/xap/1.0/\" "
                  "xmlns:dc=\"http://purl.org/dc/elements/1.1/\" xmp:Rating=\"2\" dc:format=\"image/x-raw\"/>"
                  "</rdf:RDF></x:xmpmeta>");
    foreign.close();
    PhotoCatalog catalog;
    catalog.setAutoAdvance(true);
    openAndSettle(catalog, files);
    catalog.select(raw);
    catalog.setRating(3);
    QCOMPARE(catalog.currentPath(), jpegs[2]); // moved on
    catalog.next();
    QSignalSpy applied(&catalog, &PhotoCatalog::historyApplied);
    catalog.undo();
    settle(catalog);
    QCOMPARE(applied.count(), 1);
    QCOMPARE(applied.first().first().toString(), QStringLiteral("Undone: 3 stars on IMG_0002.png"));
    QCOMPARE(catalog.currentPath(), raw);
    QCOMPARE(catalog.record(jpegs[1]).rating, 2); // the photo sharing the sidecar too
    QVERIFY(readBytes(sidecar).contains("dc:format=\"image/x-raw\""));

    catalog.redo();
    settle(catalog);
    QCOMPARE(applied.last().first().toString(), QStringLiteral("Redone: 3 stars on IMG_0002.png"));
    QCOMPARE(catalog.record(jpegs[1]).rating, 3);

    catalog.setColorLabelForFiles({jpegs[0], jpegs[2]}, QStringLiteral("Green"));
    settle(catalog);
    catalog.undo();
    QCOMPARE(applied.last().first().toString(), QStringLiteral("Undone: label Green on 2 photos"));
}

void TestCatalogWrites::historyDepthAndFolderChange()
{
    const QStringList files = makePhotos(freshDir(tmp), 3);
    PhotoCatalog catalog;
    openAndSettle(catalog, files);
    for (int i = 0; i < 230; ++i)
        catalog.setRating(i % 5 + 1);
    settle(catalog);
    QVERIFY(catalog.undoDepth() >= 200);
    for (int i = 0; i < 200; ++i)
        catalog.undo();
    settle(catalog);
    // 30 marks remain: the last of them was the 30th, 5 stars.
    QCOMPARE(catalog.record(files[0]).rating, 5);
    QVERIFY(catalog.canRedo());

    QSignalSpy history(&catalog, &PhotoCatalog::historyChanged);
    openAndSettle(catalog, makePhotos(freshDir(tmp), 1));
    QVERIFY(!catalog.canUndo());
    QVERIFY(!catalog.canRedo());
    QVERIFY(history.count() >= 1);
}

void TestCatalogWrites::failedUndoStaysUndoable()
{
    const QStringList files = makePhotos(freshDir(tmp), 2);
    QVERIFY(PhotoCore::writeMetadata(files[0], record(1)));
    PhotoCatalog catalog;
    openAndSettle(catalog, files);
    catalog.setRating(4);
    settle(catalog);
    // Something that cannot be replaced now stands where the sidecar was.
    const QString sidecar = PhotoCore::sidecarPathFor(files[0]);
    QVERIFY(QFile::remove(sidecar));
    QVERIFY(QDir().mkpath(sidecar));

    QSignalSpy warnings(&catalog, &PhotoCatalog::warningRaised);
    catalog.undo();
    settle(catalog);
    QCOMPARE(warnings.count(), 1);
    QCOMPARE(catalog.failedWriteCount(), 1);
    QVERIFY(catalog.canUndo());
    QVERIFY(!catalog.canRedo());
    QCOMPARE(catalog.record(files[0]).rating, 4);

    QVERIFY(QDir().rmdir(sidecar));
    QVERIFY(PhotoCore::writeMetadata(files[0], record(4)));
    catalog.undo();
    settle(catalog);
    QCOMPARE(PhotoCore::readMetadata(files[0]).rating, 1);
    QVERIFY(catalog.canRedo());
    catalog.dismissWriteFailures();
    QCOMPARE(catalog.failedWriteCount(), 0);
}

// ---- Writes -------------------------------------------------------------

void TestCatalogWrites::interleavedWritesEndWithTheLastMark()
{
    const QStringList files = makePhotos(freshDir(tmp), 60);
    PhotoCatalog catalog;
    openAndSettle(catalog, files);
    // A batch is queued behind the waiting writer; single marks given meanwhile
    // overtake it for other sidecars, never for their own.
    catalog.setRatingForFiles(files, 2);
    catalog.setColorLabel(QStringLiteral("Red"));
    catalog.setRating(5);
    catalog.clearRejection();
    settle(catalog);
    QCOMPARE(PhotoCore::readMetadata(files[0]), record(5, QStringLiteral("Red")));
    QCOMPARE(catalog.record(files[0]), record(5, QStringLiteral("Red")));
    QCOMPARE(PhotoCore::readMetadata(files[59]).rating, 2);
}

void TestCatalogWrites::readOnlyFolder()
{
    const QString dir = freshDir(tmp);
    const QStringList files = makePhotos(dir, 2);
    QVERIFY(PhotoCore::writeMetadata(files[1], record(2)));
    {
        FolderLock lock(dir);
        if (!lock.isLocked())
            QSKIP("this system cannot make a folder refuse new files");
        PhotoCatalog catalog;
        QSignalSpy problems(&catalog, &PhotoCatalog::writeProblemsChanged);
        catalog.openFolder(dir);
        QVERIFY(!catalog.folderWriteProblem().isEmpty());
        QVERIFY(problems.count() >= 1);
        QTRY_VERIFY(catalog.isScanned());

        QSignalSpy warnings(&catalog, &PhotoCatalog::warningRaised);
        catalog.setRating(4);
        catalog.select(files[1]);
        catalog.setColorLabel(QStringLiteral("Blue"));
        settle(catalog);
        QCOMPARE(catalog.failedWriteCount(), 2);
        // Why is the folder's problem, told once where the failures are counted:
        // no warning per mark blaming the file.
        QCOMPARE(warnings.count(), 0);
        QCOMPARE(catalog.record(files[0]), Metadata());
        QCOMPARE(catalog.record(files[1]), record(2));
        QVERIFY(!catalog.canUndo());
        catalog.dismissWriteFailures();
        QCOMPARE(catalog.failedWriteCount(), 0);
    }
    QVERIFY(!QFile::exists(PhotoCore::sidecarPathFor(files[0])));
}

void TestCatalogWrites::photoGoneBeforeItsMark()
{
    const QStringList files = makePhotos(freshDir(tmp), 3);
    PhotoCatalog catalog;
    openAndSettle(catalog, files);
    catalog.select(files[1]);
    QVERIFY(QFile::rename(files[1], files[1] + QStringLiteral(".moved"))); // another program renames it
    QSignalSpy warnings(&catalog, &PhotoCatalog::warningRaised);
    // The warning comes once the list no longer shows the photo, so that it
    // is about the photo then on screen.
    QString currentAtWarning;
    connect(&catalog, &PhotoCatalog::warningRaised, this, [&] { currentAtWarning = catalog.currentPath(); });
    catalog.setRating(4);
    settle(catalog);
    QCOMPARE(warnings.count(), 1);
    QVERIFY(warnings.first().first().toString().startsWith(QStringLiteral("IMG_0002.jpg is gone")));
    QCOMPARE(currentAtWarning, files[2]);
    QVERIFY(!QFile::exists(PhotoCore::sidecarPathFor(files[1])));
    QCOMPARE(catalog.allFiles(), (QStringList{files[0], files[2]}));
    QCOMPARE(catalog.currentPath(), files[2]);
    QCOMPARE(catalog.summary().total, 2);
    QCOMPARE(catalog.failedWriteCount(), 0);
}

void TestCatalogWrites::folderChangedByOthers()
{
    const QString dir = freshDir(tmp);
    const QStringList files = makePhotos(dir, 4);
    PhotoCatalog catalog;
    catalog.openFolder(dir);
    QTRY_VERIFY(catalog.isScanned());
    catalog.setFilter(QStringLiteral("not:rejected"));
    catalog.select(files[2]);

    // A card reader copies many photos at once, a file manager removes one
    // and another program rates one: one rescan brings all of it.
    for (int i = 0; i < 300; ++i)
        QVERIFY(QFile::copy(files[0], dir + QStringLiteral("/NEW_%1.jpg").arg(i, 4, 10, QLatin1Char('0'))));
    QVERIFY(QFile::remove(files[0]));
    QVERIFY(PhotoCore::writeMetadata(files[3], record(0, {}, true)));
    QTRY_COMPARE(catalog.allFiles().size(), 303);
    QCOMPARE(catalog.rescanCount(), 1);
    QCOMPARE(catalog.currentPath(), files[2]);
    QCOMPARE(catalog.filter(), QStringLiteral("not:rejected"));
    QVERIFY(!catalog.allFiles().contains(files[0]));
    QCOMPARE(catalog.record(files[3]), record(0, {}, true));
    QVERIFY(!catalog.visibleFiles().contains(files[3]));

    // Our own mark is not mistaken for someone else's.
    catalog.setRating(4);
    settle(catalog);
    QTRY_VERIFY(catalog.rescanCount() >= 2);
    QCOMPARE(catalog.record(files[2]).rating, 4);
    QCOMPARE(catalog.currentPath(), files[2]);
}

void TestCatalogWrites::leftoversOfInterruptedWrites_data()
{
    // Beside IMG_0001.jpg and its sidecar IMG_0001.xmp.
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("kind"); // "file", "dir" or "link" (to an old file)
    QTest::addColumn<int>("ageSeconds");
    QTest::addColumn<bool>("removed");

    QTest::newRow("old-temp-of-sidecar") << "IMG_0001.xmp.ptXDnn" << "file" << 600 << true;
    QTest::newRow("old-temp-of-upper-case-sidecar") << "IMG_0001.XMP.AbcDef" << "file" << 600 << true;
    QTest::newRow("old-temp-without-its-photo") << "IMG_0457.xmp.qwErty" << "file" << 90 << true;
    QTest::newRow("days-old-temp") << "IMG_0001.xmp.zzZZzz" << "file" << 5 * 86400 << true;
    QTest::newRow("fresh-temp") << "IMG_0001.xmp.ptXDnn" << "file" << 0 << false;
    QTest::newRow("temp-of-half-a-minute") << "IMG_0001.xmp.ptXDnn" << "file" << 30 << false;
    QTest::newRow("backup") << "IMG_0001.xmp.bak" << "file" << 600 << false;
    QTest::newRow("seven-letters") << "IMG_0001.xmp.abcdefg" << "file" << 600 << false;
    QTest::newRow("five-letters") << "IMG_0001.xmp.abcde" << "file" << 600 << false;
    QTest::newRow("digit-in-suffix") << "IMG_0001.xmp.abc1ef" << "file" << 600 << false;
    QTest::newRow("mixed-case-extension") << "IMG_0001.Xmp.ptXDnn" << "file" << 600 << false;
    QTest::newRow("temp-of-a-photo") << "IMG_0001.jpg.ptXDnn" << "file" << 600 << false;
    QTest::newRow("no-stem") << ".xmp.ptXDnn" << "file" << 600 << false;
    QTest::newRow("sidecar-itself") << "IMG_0001.xmp" << "file" << 600 << false;
    QTest::newRow("directory") << "IMG_0001.xmp.ptXDnn" << "dir" << 600 << false;
    QTest::newRow("link") << "IMG_0001.xmp.ptXDnn" << "link" << 600 << false;
}

void TestCatalogWrites::leftoversOfInterruptedWrites()
{
    QFETCH(QString, name);
    QFETCH(QString, kind);
    QFETCH(int, ageSeconds);
    QFETCH(bool, removed);
    const QString dir = freshDir(tmp);
    const QStringList files = makePhotos(dir, 1);
    QVERIFY(PhotoCore::writeMetadata(files[0], record(3)));
    const QString path = dir + QLatin1Char('/') + name;
    const QDateTime then = QDateTime::currentDateTimeUtc().addSecs(-ageSeconds);
    if (kind == QLatin1String("dir")) {
        QVERIFY(QDir().mkdir(path));
        QVERIFY(setFolderTime(path, then));
        QVERIFY(QFileInfo(path).lastModified().secsTo(QDateTime::currentDateTime()) >= ageSeconds - 5);
    } else if (kind == QLatin1String("link")) {
#ifdef Q_OS_UNIX
        const QString target = tmp.filePath(QStringLiteral("link-target"));
        QFile old(target);
        QVERIFY(old.open(QIODevice::WriteOnly));
        QVERIFY(old.setFileTime(then, QFileDevice::FileModificationTime));
        old.close();
        QVERIFY(QFile::link(target, path));
#else
        QSKIP("links are files of their own here");
#endif
    } else {
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadWrite)); // the sidecar keeps its bytes
        if (!name.endsWith(QLatin1String(".xmp")))
            file.write("<x:xmpmeta");
        QVERIFY(file.flush());
        QVERIFY(file.setFileTime(then, QFileDevice::FileModificationTime));
    }

    PhotoCatalog catalog;
    catalog.openFolder(dir);
    // The leftovers are dealt with before the first scan reports.
    QTRY_VERIFY(catalog.isScanned());
    QCOMPARE(!QFileInfo(path).exists() && !QFileInfo(path).isSymLink(), removed);
    QCOMPARE(QFile::exists(files[0]), true);
    QCOMPARE(catalog.record(files[0]), record(3));
}

QTEST_MAIN(TestCatalogWrites)
#include "tst_catalogwrites.moc"
