#include "smalldisk.h"
#include "testrecords.h"
#include "core/folderlisting.h"
#include "core/safefileio.h"
#include "core/xmpsidecar.h"

#include <QtTest>

#include <sys/stat.h>

namespace {

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QStringList entries(const QString &dir)
{
    return QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

// A valid sidecar of about `size` bytes, padded with a foreign property.
QByteArray sidecarOfSize(int size)
{
    QByteArray xml = "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\"><rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\">"
                     "<rdf:Description rdf:about=\"\" xmlns:xmp=\"http://ns.adobe.com/xap/1.0/\" "
                     "xmlns:dc=\"http://purl.org/dc/elements/1.1/\" xmp:Rating=\"2\"><dc:source>";
    const QByteArray tail = "</dc:source></rdf:Description></rdf:RDF></x:xmpmeta>\n";
    xml += QByteArray(qMax(0, size - int(xml.size() + tail.size())), 'p');
    return xml + tail;
}

} // namespace

class TestSafeFileIo : public QObject
{
    Q_OBJECT

private slots:
    void fullDiskLeavesSidecar_data();
    void fullDiskLeavesSidecar();
    void nonRegularSidecar_data();
    void nonRegularSidecar();
    void readLimit_data();
    void readLimit();
    void unusualPaths_data();
    void unusualPaths();
};

void TestSafeFileIo::fullDiskLeavesSidecar_data()
{
    QTest::addColumn<int>("existingBytes"); // 0: no sidecar yet
    QTest::addColumn<qint64>("leaveFree");
    QTest::newRow("existing-sidecar-disk-full") << 4440 << qint64(0);
    QTest::newRow("no-sidecar-disk-full") << 0 << qint64(0);
    QTest::newRow("existing-sidecar-some-space-left") << 4440 << qint64(4096);
}

void TestSafeFileIo::fullDiskLeavesSidecar()
{
    QFETCH(int, existingBytes);
    QFETCH(qint64, leaveFree);
    SmallDisk disk(64);
    if (!disk.isMounted())
        QSKIP("mounting a small tmpfs is not allowed here (needs root); the full-disk cases are not run");
    const QString photo = disk.filePath("IMG_0001.jpg");
    const QString sidecar = disk.filePath("IMG_0001.xmp");
    QVERIFY(writeFile(photo, "photo"));
    const QByteArray before = existingBytes ? sidecarOfSize(existingBytes) : QByteArray();
    if (existingBytes)
        QVERIFY(writeFile(sidecar, before));
    disk.fill(leaveFree);
    QVERIFY(disk.freeBytes() <= leaveFree);
    const QStringList listed = entries(disk.path());

    QVERIFY(!PhotoCore::writeMetadata(photo, record(5, "Red")));
    QCOMPARE(entries(disk.path()), listed); // no temporary file left
    QCOMPARE(QFileInfo::exists(sidecar), existingBytes > 0);
    QCOMPARE(readAll(sidecar), before);

    // With room again, the same sidecar takes the mark: nothing was damaged.
    QVERIFY(QFile::remove(disk.filePath(".filler")));
    QVERIFY(PhotoCore::writeMetadata(photo, record(5, "Red")));
    QCOMPARE(PhotoCore::readMetadata(photo), record(5, "Red"));
}

void TestSafeFileIo::nonRegularSidecar_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("fifo") << QStringLiteral("fifo");
    QTest::newRow("link-to-fifo") << QStringLiteral("link-to-fifo");
    QTest::newRow("link-to-dev-zero") << QStringLiteral("link-to-dev-zero");
    QTest::newRow("dangling-link") << QStringLiteral("dangling-link");
}

void TestSafeFileIo::nonRegularSidecar()
{
    // Reading must neither block (a FIFO without writer) nor read without end
    // (a device); writing is refused and leaves the node as it was.
    QFETCH(QString, kind);
#ifndef Q_OS_UNIX
    Q_UNUSED(kind);
    QSKIP("FIFOs, devices and symbolic links as Unix has them");
#else
    QTemporaryDir dir;
    const QString photo = dir.filePath("IMG_0001.jpg");
    const QString sidecar = dir.filePath("IMG_0001.xmp");
    const QString fifo = dir.filePath("pipe");
    if (kind.contains(QLatin1String("fifo")) && ::mkfifo(QFile::encodeName(fifo).constData(), 0644) != 0)
        QSKIP("FIFOs cannot be made here");
    if (kind == QLatin1String("fifo"))
        QVERIFY(QFile::rename(fifo, sidecar));
    else if (kind == QLatin1String("link-to-fifo"))
        QVERIFY(QFile::link(fifo, sidecar));
    else if (kind == QLatin1String("link-to-dev-zero"))
        QVERIFY(QFile::link("/dev/zero", sidecar));
    else
        QVERIFY(QFile::link(dir.filePath("gone.xmp"), sidecar));
    const QStringList listed = entries(dir.path());

    QByteArray bytes;
    QCOMPARE(PhotoCore::readRegularFile(sidecar, 1 << 20, bytes),
             kind == QLatin1String("dangling-link") ? PhotoCore::FileReadResult::Missing
                                                    : PhotoCore::FileReadResult::Refused);
    QVERIFY(bytes.isEmpty());
    QCOMPARE(PhotoCore::readMetadata(photo), PhotoCore::Metadata());
    QVERIFY(!PhotoCore::writeMetadata(photo, record(3)));
    QCOMPARE(entries(dir.path()), listed);
    QCOMPARE(QFileInfo(sidecar).isFile(), false);
#endif
}

void TestSafeFileIo::readLimit_data()
{
    QTest::addColumn<int>("size");
    QTest::addColumn<bool>("read");
    QTest::newRow("empty") << 0 << true;
    QTest::newRow("at-limit") << 1000 << true;
    QTest::newRow("one-over") << 1001 << false;
    QTest::newRow("far-over") << 300000 << false;
}

void TestSafeFileIo::readLimit()
{
    QFETCH(int, size);
    QFETCH(bool, read);
    QTemporaryDir dir;
    const QString path = dir.filePath("file");
    const QByteArray content(size, 'x');
    QVERIFY(writeFile(path, content));
    QByteArray bytes("stale");
    QCOMPARE(PhotoCore::readRegularFile(path, 1000, bytes),
             read ? PhotoCore::FileReadResult::Read : PhotoCore::FileReadResult::Refused);
    QCOMPARE(bytes, read ? content : QByteArray());
}

void TestSafeFileIo::unusualPaths_data()
{
    QTest::addColumn<QString>("folder"); // below the temporary folder
    QTest::addColumn<QString>("name");
    QString deep;
    while (deep.size() < 300) // past the 260 characters of the old Windows limit
        deep += QStringLiteral("/a-folder-name-forty-characters-long-xyz");
    QTest::newRow("long-path") << deep << "IMG_0001.jpg";
    QTest::newRow("non-ascii") << QStringLiteral("/Fotos Überprüfung – 写真") << QStringLiteral("Straße_01.jpg");
    QTest::newRow("spaces-and-dots") << "/a b. c" << "IMG 0001.final.jpg";
}

void TestSafeFileIo::unusualPaths()
{
    QFETCH(QString, folder);
    QFETCH(QString, name);
    QTemporaryDir dir;
    const QString where = dir.path() + folder;
    QVERIFY(QDir().mkpath(where));
    const QString photo = where + QLatin1Char('/') + name;
    QVERIFY(writeFile(photo, "photo"));

    QVERIFY(PhotoCore::writeMetadata(photo, record(4, "Blue")));
    QCOMPARE(PhotoCore::readMetadata(photo), record(4, "Blue"));
    QCOMPARE(PhotoCore::listPhotoFiles(where), QStringList{photo});
    const QString sidecar = QFileInfo(name).completeBaseName() + QStringLiteral(".xmp");
    QCOMPARE(entries(where), (QStringList{name, sidecar}));
}

QTEST_GUILESS_MAIN(TestSafeFileIo)
#include "tst_safefileio.moc"
