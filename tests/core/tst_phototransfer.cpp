#include "smalldisk.h"
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

void TestPhotoTransfer::freeBaseName_data()
{
    QTest::addColumn<QStringList>("taken");
    QTest::addColumn<QString>("expected");
    QTest::newRow("free") << QStringList{"other.jpg"} << "IMG_1";
    QTest::newRow("photo-taken") << QStringList{"img_1.jpg"} << "IMG_1 (2)";
    QTest::newRow("partner-taken") << QStringList{"img_1.nef"} << "IMG_1 (2)";
    QTest::newRow("several-taken") << QStringList{"img_1.jpg", "img_1 (2).xmp", "img_1 (3).nef"} << "IMG_1 (4)";
}

void TestPhotoTransfer::freeBaseName()
{
    QFETCH(QStringList, taken);
    QFETCH(QString, expected);
    const QSet<QString> set(taken.cbegin(), taken.cend());
    QCOMPARE(PhotoCore::freeBaseName(QStringLiteral("IMG_1"), {".JPG", ".NEF", ".xmp"}, set), expected);
}

QTEST_GUILESS_MAIN(TestPhotoTransfer)
#include "tst_phototransfer.moc"
