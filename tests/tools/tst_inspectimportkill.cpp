#include "testfiles.h"

#include <QtTest>

#include <QJsonDocument>
#include <QJsonObject>

// An import killed part-way (SIGKILL, as a crash or a pulled plug would end
// it) and run again: every photo, partner, sidecar and backup ends up whole
// and byte for byte the card's, nothing half-written is left or counted, and
// only what really arrived the first time is reported "skipped".
using testfiles::filesBelow;

namespace {

const QString inspect = QStringLiteral(GLANCEWAY_BINARY_DIR "/glanceway-inspect");
const QString day = QStringLiteral("2024/2024-05-01/");

QByteArray bytesOf(int seed, int size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i)
        bytes[i] = char((i * 131 + seed * 17) >> 3);
    return bytes;
}

QByteArray contentOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

} // namespace

class TestInspectImportKill : public QObject
{
    Q_OBJECT

private slots:
    void killedAndRunAgain_data();
    void killedAndRunAgain();
};

void TestInspectImportKill::killedAndRunAgain_data()
{
    // The card: IMG_0001 as JPEG (5 MiB), RAW (6 MiB) and sidecar, then IMG_0002.JPG (5 MiB);
    // the copy moves in blocks of 4 MiB, so the larger files are cut within.
    QTest::addColumn<QString>("pauseAt"); // "DEST/…" or "BACKUP/…" being written, or "CARD/…" about to begin
    QTest::addColumn<QStringList>("statuses"); // of the second run
    QTest::newRow("photo") << "DEST/" + day + "IMG_0001.JPG" << QStringList{"imported", "imported"};
    QTest::newRow("partner") << "DEST/" + day + "IMG_0001.CR3" << QStringList{"imported", "imported"};
    QTest::newRow("sidecar") << "DEST/" + day + "IMG_0001.xmp" << QStringList{"imported", "imported"};
    QTest::newRow("backup-copy") << "BACKUP/" + day + "IMG_0001.CR3" << QStringList{"imported", "imported"};
    QTest::newRow("between-photos") << "CARD/IMG_0002.JPG" << QStringList{"skipped", "imported"};
}

void TestInspectImportKill::killedAndRunAgain()
{
    QFETCH(QString, pauseAt);
    QFETCH(QStringList, statuses);
    QTemporaryDir card, destination, backup, data;
    const QString folder = card.filePath("DCIM/100CANON/");
    QVERIFY(QDir().mkpath(folder));
    const QHash<QString, QByteArray> files{{"IMG_0001.JPG", bytesOf(1, 5 * 1048576)},
                                           {"IMG_0001.CR3", bytesOf(2, 6 * 1048576)},
                                           {"IMG_0001.xmp", "<x:xmpmeta/>"},
                                           {"IMG_0002.JPG", bytesOf(3, 5 * 1048576)}};
    for (auto it = files.cbegin(); it != files.cend(); ++it) {
        QFile file(folder + it.key());
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(file.write(it.value()), it.value().size());
        const int minute = it.key().startsWith("IMG_0002") ? 1 : 0;
        QVERIFY(file.setFileTime(QDateTime(QDate(2024, 5, 1), QTime(12, minute)), QFileDevice::FileModificationTime));
    }
    const QStringList args{"import", card.path(), destination.path(), "--backup", backup.path(), "--log",
                           data.filePath("log.tsv")};
    pauseAt.replace("DEST", destination.path()).replace("BACKUP", backup.path()).replace("CARD", folder.chopped(1));

    QProcess first;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("GLANCEWAY_INSPECT_IMPORT_PAUSE", pauseAt);
    first.setProcessEnvironment(environment);
    first.setReadChannel(QProcess::StandardError);
    first.start(inspect, args);
    QByteArray said;
    while (!said.contains("paused")) {
        QVERIFY2(first.waitForReadyRead(60000), said.constData());
        said += first.readAll();
    }
    // Where it stands: nothing of the photo at hand carries a final name yet.
    if (!pauseAt.startsWith(card.path())) {
        QVERIFY(!QFileInfo::exists(pauseAt));
        const QStringList partial = QDir(QFileInfo(pauseAt).path())
                                        .entryList({".glanceway-part-*-" + QFileInfo(pauseAt).fileName()},
                                                   QDir::Files | QDir::Hidden);
        QCOMPARE(partial.size(), 1);
        for (const QString &name : filesBelow(destination.path()))
            QVERIFY2(QFileInfo(name).fileName().startsWith(".glanceway-part-"), qPrintable(name));
    }
    first.kill();
    QVERIFY(first.waitForFinished(60000));
    QCOMPARE(first.exitStatus(), QProcess::CrashExit);

    QProcess second;
    second.start(inspect, args);
    QVERIFY(second.waitForFinished(60000));
    QCOMPARE(second.exitCode(), 0);
    QStringList reported;
    for (const QByteArray &line : second.readAllStandardOutput().split('\n')) {
        if (!line.isEmpty())
            reported.append(QJsonDocument::fromJson(line).object().value("status").toString());
    }
    QCOMPARE(reported, statuses);
    // Each file once, under its own name, whole; no leftovers, no "(2)".
    QStringList expected;
    for (auto it = files.cbegin(); it != files.cend(); ++it)
        expected.append(day + it.key());
    expected.sort();
    for (const QString &root : {destination.path(), backup.path()}) {
        QCOMPARE(filesBelow(root), expected);
        for (auto it = files.cbegin(); it != files.cend(); ++it)
            QVERIFY2(contentOf(root + '/' + day + it.key()) == it.value(), qPrintable(root + ": " + it.key()));
    }
}

QTEST_GUILESS_MAIN(TestInspectImportKill)
#include "tst_inspectimportkill.moc"
