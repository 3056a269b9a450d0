#include "smalldisk.h"
#include "grid/thumbnaildiskcache.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <optional>

namespace {

void writeFile(const QString &path, const QByteArray &bytes, const QDateTime &modified = QDateTime())
{
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly), qPrintable(path));
    file.write(bytes);
    file.flush(); // otherwise the write at close would stamp the time again
    if (modified.isValid())
        QVERIFY(file.setFileTime(modified, QFileDevice::FileModificationTime));
}

QImage sampleImage(int width = 48, int height = 32, QColor colour = QColor(200, 40, 40))
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

QStringList entriesIn(const QString &dir)
{
    return QDir(dir).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name);
}

// Makes a file that even root cannot delete; false where the file system or the
// user's rights do not allow it.
bool makeUndeletable(const QString &path, bool on)
{
    return QProcess::execute(QStringLiteral("chattr"), {on ? QStringLiteral("+i") : QStringLiteral("-i"), path}) == 0;
}

struct Undeletable
{
    QString path;
    ~Undeletable()
    {
        if (!path.isEmpty())
            makeUndeletable(path, false);
    }
};

} // namespace

class TestThumbnailDiskCache : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void keyText_data();
    void keyText();
    void changedPhotoMisses();
    void undecodableEntryIsDeletedByLoad_data();
    void undecodableEntryIsDeletedByLoad();
    void pruneRunsOnEvery64thStore();
    void pruneContinuesPastUndeletableFile();
    void clearAll_data();
    void clearAll();
    void failedStoreLeavesNothing_data();
    void failedStoreLeavesNothing();
    void budgetFromSettings_data();
    void budgetFromSettings();
};

void TestThumbnailDiskCache::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QCoreApplication::setOrganizationName(QStringLiteral("Quillmark"));
    QCoreApplication::setApplicationName(QStringLiteral("Glanceway"));
    const QString dir = ThumbnailDiskCache().directory();
    QCOMPARE(dir, QStandardPaths::writableLocation(QStandardPaths::CacheLocation) + QStringLiteral("/thumbnails-v1"));
}

void TestThumbnailDiskCache::keyText_data()
{
    QTest::addColumn<QString>("spelling"); // how the photo path is written, relative to the folder
    QTest::newRow("plain") << QStringLiteral("%1/photo.jpg");
    QTest::newRow("dot-segment") << QStringLiteral("%1/./photo.jpg");
    QTest::newRow("doubled-separator") << QStringLiteral("%1//photo.jpg");
    QTest::newRow("parent-segment") << QStringLiteral("%1/sub/../photo.jpg");
    QTest::newRow("relative") << QStringLiteral("photo.jpg");
}

void TestThumbnailDiskCache::keyText()
{
    QFETCH(QString, spelling);
    QTemporaryDir temp;
    const QString folder = QDir(temp.path()).canonicalPath();
    QDir(folder).mkdir(QStringLiteral("sub"));
    const QString photo = folder + QStringLiteral("/photo.jpg");
    const QDateTime modified = QDateTime::fromMSecsSinceEpoch(1700000000123LL);
    writeFile(photo, QByteArray(1234, 'x'), modified);

    const QString previous = QDir::currentPath();
    QDir::setCurrent(folder);
    const QString written = spelling.contains(QLatin1String("%1")) ? spelling.arg(folder) : spelling;
    const QByteArray key = ThumbnailDiskCache::keyFor(written);
    const ThumbnailDiskCache cache(temp.path() + QStringLiteral("/cache"), 1 << 20);
    const QString entry = cache.entryPathFor(written);
    QDir::setCurrent(previous);

    const QByteArray expectedKey = folder.toUtf8() + "/photo.jpg\n1234\n1700000000123\nv2-srgb";
    QCOMPARE(key, expectedKey);
    // Entries of the first format held unconverted colours: they must not hit.
    const QByteArray firstFormat = QCryptographicHash::hash(folder.toUtf8() + "/photo.jpg\n1234\n1700000000123\nv1",
                                                            QCryptographicHash::Sha256);
    QVERIFY(!entry.contains(QString::fromLatin1(firstFormat.toHex())));
    const QString hex = QString::fromLatin1(QCryptographicHash::hash(expectedKey, QCryptographicHash::Sha256).toHex());
    QCOMPARE(entry, temp.path() + QStringLiteral("/cache/") + hex + QStringLiteral(".jpg"));
    QVERIFY(QFileInfo(entry).fileName().contains(QRegularExpression(QStringLiteral("^[0-9a-f]{64}\\.jpg$"))));
}

void TestThumbnailDiskCache::changedPhotoMisses()
{
    QTemporaryDir temp;
    const QString photo = temp.filePath(QStringLiteral("photo.jpg"));
    writeFile(photo, "original", QDateTime::fromMSecsSinceEpoch(1600000000000LL));
    const ThumbnailDiskCache cache(temp.filePath(QStringLiteral("cache")), 1 << 20);

    QVERIFY(cache.load(photo).isNull());
    QVERIFY(cache.store(photo, sampleImage(64, 40)));
    const QImage hit = cache.load(photo);
    QCOMPARE(hit.size(), QSize(64, 40));
    const QColor centre = hit.pixelColor(32, 20);
    QVERIFY2(qAbs(centre.red() - 200) < 12 && qAbs(centre.green() - 40) < 12, qPrintable(centre.name()));

    // Touching the photo changes its key: a miss, and a second entry beside the old one.
    const QString oldEntry = cache.entryPathFor(photo);
    QFile file(photo);
    QVERIFY(file.open(QIODevice::ReadWrite));
    QVERIFY(file.setFileTime(QDateTime::fromMSecsSinceEpoch(1600000005000LL), QFileDevice::FileModificationTime));
    file.close();
    QVERIFY(cache.entryPathFor(photo) != oldEntry);
    QVERIFY(cache.load(photo).isNull());
    QVERIFY(QFile::exists(oldEntry));
    QVERIFY(cache.store(photo, sampleImage(64, 40)));
    QCOMPARE(entriesIn(cache.directory()).size(), 2);

    // Same time, different size: a miss as well.
    writeFile(photo, "changed content", QDateTime::fromMSecsSinceEpoch(1600000005000LL));
    QVERIFY(cache.load(photo).isNull());
}

void TestThumbnailDiskCache::undecodableEntryIsDeletedByLoad_data()
{
    // Either a whole replacement of the entry, or a change made to a real
    // stored entry: damage of the kinds that still decode partly, grey or
    // garbled, and would otherwise be shown for as long as the photo stays.
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("damage");
    QByteArray png;
    {
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        sampleImage().save(&buffer, "PNG");
    }
    QTest::newRow("garbage") << QByteArray("this is not a picture at all, just text") << QString();
    QTest::newRow("empty-file") << QByteArray() << QString();
    QTest::newRow("png-bytes") << png << QString();
    QTest::newRow("jpeg-header-only") << QByteArray("\xFF\xD8\xFF\xE0\x00\x10JFIF\x00", 11) << QString();
    for (const char *damage : {"truncated-25", "truncated-50", "truncated-90", "end-marker-cut", "zeroed-4k",
                               "random-64", "size-byte", "jpeg-without-checksum"})
        QTest::newRow(damage) << QByteArray() << QString::fromLatin1(damage);
}

void TestThumbnailDiskCache::undecodableEntryIsDeletedByLoad()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, damage);
    QTemporaryDir temp;
    const QString photo = temp.filePath(QStringLiteral("photo.jpg"));
    writeFile(photo, "photo");
    const ThumbnailDiskCache cache(temp.filePath(QStringLiteral("cache")), 1 << 24);
    QVERIFY(QDir().mkpath(cache.directory()));
    const QString entry = cache.entryPathFor(photo);
    if (!damage.isEmpty()) {
        // A detailed picture, so that the entry is well over 4 KiB.
        QImage detailed(256, 192, QImage::Format_RGB32);
        QRandomGenerator random(7);
        for (int y = 0; y < detailed.height(); ++y)
            for (int x = 0; x < detailed.width(); ++x)
                detailed.setPixel(x, y, random.generate() | 0xff000000u);
        QVERIFY(cache.store(photo, detailed));
        QVERIFY(!cache.load(photo).isNull());
        QFile file(entry);
        QVERIFY(file.open(QIODevice::ReadOnly));
        content = file.readAll();
        QVERIFY(content.size() > 3 * 4096);
        const qsizetype eoi = content.lastIndexOf(QByteArray("\xFF\xD9", 2));
        QVERIFY(eoi > 0);
        if (damage.startsWith(QLatin1String("truncated-")))
            content.truncate(content.size() * damage.mid(10).toInt() / 100);
        else if (damage == QLatin1String("end-marker-cut"))
            content.remove(eoi, 2);
        else if (damage == QLatin1String("zeroed-4k"))
            content.replace(content.size() / 2, 4096, QByteArray(4096, '\0'));
        else if (damage == QLatin1String("random-64"))
            for (int i = 0; i < 64; ++i)
                content[content.size() / 3 + i] = char(random.bounded(256));
        else if (damage == QLatin1String("size-byte")) {
            const qsizetype sof = content.indexOf(QByteArray("\xFF\xC0", 2));
            QVERIFY(sof > 0);
            content[sof + 5] = char(content.at(sof + 5) ^ 0x01); // the height's high byte
        } else if (damage == QLatin1String("jpeg-without-checksum"))
            content.truncate(eoi + 2);
    }
    writeFile(entry, content);

    QVERIFY(cache.load(photo).isNull());
    QVERIFY(!QFile::exists(entry));
    // The next store rebuilds it and the load after that hits.
    QVERIFY(cache.store(photo, sampleImage()));
    QVERIFY(!cache.load(photo).isNull());
}

void TestThumbnailDiskCache::pruneRunsOnEvery64thStore()
{
    QTemporaryDir temp;
    const QString photo = temp.filePath(QStringLiteral("photo.jpg"));
    writeFile(photo, "photo");

    // Bring the process-wide counter to 62 modulo 64 with stores elsewhere.
    const ThumbnailDiskCache elsewhere(temp.filePath(QStringLiteral("elsewhere")), qint64(1) << 40);
    while (ThumbnailDiskCache::storeCount() % 64 != 62)
        QVERIFY(elsewhere.store(photo, sampleImage()));

    // Ten 10,000-byte entries written a minute apart, oldest first, and foreign files.
    const QString dir = temp.filePath(QStringLiteral("cache"));
    QVERIFY(QDir().mkpath(dir + QStringLiteral("/sub.jpg")));
    const QDateTime base = QDateTime::currentDateTime().addDays(-1);
    for (int i = 0; i < 10; ++i)
        writeFile(dir + QStringLiteral("/old%1.jpg").arg(i), QByteArray(10000, 'j'), base.addSecs(60 * i));
    writeFile(dir + QStringLiteral("/notes.txt"), QByteArray(50000, 't'), base.addDays(-10));
    const ThumbnailDiskCache cache(dir, 65000);

    QVERIFY(cache.store(photo, sampleImage())); // 63rd: no pruning
    QCOMPARE(ThumbnailDiskCache::storeCount() % 64, 63u);
    for (int i = 0; i < 10; ++i)
        QVERIFY(QFile::exists(dir + QStringLiteral("/old%1.jpg").arg(i)));

    const QString second = temp.filePath(QStringLiteral("second.jpg"));
    writeFile(second, "second photo");
    QVERIFY(cache.store(second, sampleImage())); // 64th: prune down to the budget, oldest first
    QCOMPARE(ThumbnailDiskCache::storeCount() % 64, 0u);

    qint64 total = 0;
    const QFileInfoList left = QDir(dir).entryInfoList({QStringLiteral("*.jpg")}, QDir::Files);
    for (const QFileInfo &info : left)
        total += info.size();
    QVERIFY2(total <= 65000, qPrintable(QString::number(total)));
    const qint64 fresh = QFileInfo(cache.entryPathFor(photo)).size() + QFileInfo(cache.entryPathFor(second)).size();
    // Exactly the oldest entries went: the fewest that bring the sum within the budget.
    const int removed = int(std::ceil((100000 + fresh - 65000) / 10000.0));
    for (int i = 0; i < 10; ++i)
        QCOMPARE(QFile::exists(dir + QStringLiteral("/old%1.jpg").arg(i)), i >= removed);
    QVERIFY(QFile::exists(cache.entryPathFor(photo)));
    QVERIFY(QFile::exists(cache.entryPathFor(second)));
    QVERIFY(QFile::exists(dir + QStringLiteral("/notes.txt")));
    QVERIFY(QFileInfo(dir + QStringLiteral("/sub.jpg")).isDir());
}

void TestThumbnailDiskCache::pruneContinuesPastUndeletableFile()
{
    QTemporaryDir temp;
    const QString dir = temp.filePath(QStringLiteral("cache"));
    QVERIFY(QDir().mkpath(dir));
    const QDateTime base = QDateTime::currentDateTime().addDays(-1);
    for (int i = 0; i < 6; ++i)
        writeFile(dir + QStringLiteral("/e%1.jpg").arg(i), QByteArray(1000, 'j'), base.addSecs(60 * i));
    Undeletable guard;
    if (!makeUndeletable(dir + QStringLiteral("/e0.jpg"), true))
        QSKIP("cannot make a file undeletable here (needs root and a file system with chattr +i)");
    guard.path = dir + QStringLiteral("/e0.jpg");

    // 6000 bytes against 3500: e0 (oldest) stays and is still counted, so e1, e2
    // and e3 must go to reach 3000.
    ThumbnailDiskCache(dir, 3500).prune();
    const QStringList expected{QStringLiteral("e0.jpg"), QStringLiteral("e4.jpg"), QStringLiteral("e5.jpg")};
    QCOMPARE(entriesIn(dir), expected);

    // clearAll goes on after the failure and reports it.
    QVERIFY(!ThumbnailDiskCache(dir, 1).clearAll());
    QCOMPARE(entriesIn(dir), QStringList{QStringLiteral("e0.jpg")});
}

void TestThumbnailDiskCache::clearAll_data()
{
    QTest::addColumn<QStringList>("files"); // created before clearing; a trailing "/" makes a folder
    QTest::addColumn<QStringList>("left");
    QTest::addColumn<bool>("createDirectory");
    QTest::newRow("entries-and-foreign-files")
        << QStringList{"a.jpg", "b.jpg", "notes.txt", "c.jpeg", "sub/", "folder.jpg/"}
        << QStringList{"c.jpeg", "folder.jpg", "notes.txt", "sub"} << true;
    QTest::newRow("only-entries") << QStringList{"a.jpg", "b.jpg"} << QStringList{} << true;
    QTest::newRow("empty-directory") << QStringList{} << QStringList{} << true;
    QTest::newRow("missing-directory") << QStringList{} << QStringList{} << false;
}

void TestThumbnailDiskCache::clearAll()
{
    QFETCH(QStringList, files);
    QFETCH(QStringList, left);
    QFETCH(bool, createDirectory);
    QTemporaryDir temp;
    const QString dir = temp.filePath(QStringLiteral("cache"));
    if (createDirectory)
        QVERIFY(QDir().mkpath(dir));
    for (const QString &name : files) {
        if (name.endsWith(QLatin1Char('/')))
            QVERIFY(QDir().mkpath(dir + QLatin1Char('/') + name));
        else
            writeFile(dir + QLatin1Char('/') + name, "x");
    }
    QVERIFY(ThumbnailDiskCache(dir, 1).clearAll());
    QCOMPARE(entriesIn(dir), left);
}

void TestThumbnailDiskCache::failedStoreLeavesNothing_data()
{
    QTest::addColumn<QString>("blocker"); // what stands in the way
    QTest::newRow("file-where-cache-directory-belongs") << QStringLiteral("cache-is-file");
    QTest::newRow("file-where-parent-directory-belongs") << QStringLiteral("parent-is-file");
    QTest::newRow("directory-where-entry-belongs") << QStringLiteral("entry-is-directory");
    QTest::newRow("null-image") << QStringLiteral("null-image");
    QTest::newRow("disk-full") << QStringLiteral("disk-full");
}

void TestThumbnailDiskCache::failedStoreLeavesNothing()
{
    QFETCH(QString, blocker);
    QTemporaryDir temp;
    const QString photo = temp.filePath(QStringLiteral("photo.jpg"));
    writeFile(photo, "photo");
    QString dir = temp.filePath(QStringLiteral("cache"));
    QImage image = sampleImage();
    std::optional<SmallDisk> disk;
    if (blocker == QLatin1String("disk-full")) {
        disk.emplace(32);
        if (!disk->isMounted())
            QSKIP("mounting a small tmpfs is not allowed here (needs root)");
        dir = disk->filePath(QStringLiteral("cache"));
        QVERIFY(QDir().mkpath(dir));
        disk->fill(0);
    } else if (blocker == QLatin1String("cache-is-file")) {
        writeFile(dir, "in the way");
    } else if (blocker == QLatin1String("parent-is-file")) {
        writeFile(dir, "in the way");
        dir += QStringLiteral("/thumbnails-v1");
    } else if (blocker == QLatin1String("entry-is-directory")) {
        QVERIFY(QDir().mkpath(ThumbnailDiskCache(dir, 1).entryPathFor(photo)));
    } else {
        image = QImage();
    }
    const QStringList before = entriesIn(temp.path());
    const QStringList cacheBefore = entriesIn(dir);
    const quint32 stores = ThumbnailDiskCache::storeCount();

    const ThumbnailDiskCache cache(dir, 1 << 20);
    QVERIFY(!cache.store(photo, image));
    QCOMPARE(ThumbnailDiskCache::storeCount(), stores);
    QCOMPARE(entriesIn(temp.path()), before);
    QCOMPARE(entriesIn(dir), cacheBefore); // no temporary or partial file left behind
    QVERIFY(cache.load(photo).isNull());
}

void TestThumbnailDiskCache::budgetFromSettings_data()
{
    QTest::addColumn<QVariant>("stored");
    QTest::addColumn<qint64>("bytes");
    QTest::newRow("absent") << QVariant() << 1024LL * 1048576;
    QTest::newRow("below-range") << QVariant(100) << 256LL * 1048576;
    QTest::newRow("in-range") << QVariant(768) << 768LL * 1048576;
    QTest::newRow("above-range") << QVariant(5000) << 2048LL * 1048576;
    QTest::newRow("text-number") << QVariant(QStringLiteral("512")) << 512LL * 1048576;
    QTest::newRow("not-a-number") << QVariant(QStringLiteral("lots")) << 256LL * 1048576;
}

void TestThumbnailDiskCache::budgetFromSettings()
{
    QFETCH(QVariant, stored);
    QFETCH(qint64, bytes);
    QSettings settings;
    if (stored.isValid())
        settings.setValue(QStringLiteral("grid/cacheMB"), stored);
    else
        settings.remove(QStringLiteral("grid/cacheMB"));
    QCOMPARE(ThumbnailDiskCache::configuredBudgetBytes(), bytes);
    settings.remove(QStringLiteral("grid/cacheMB"));
}

QTEST_GUILESS_MAIN(TestThumbnailDiskCache)
#include "tst_thumbnaildiskcache.moc"
