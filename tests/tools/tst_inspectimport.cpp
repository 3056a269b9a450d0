#include <QtTest>

#include <QJsonDocument>
#include <QJsonObject>

// glanceway-inspect import, run as a script would run it: one line per
// photo, and an exit code that tells whether everything arrived.
namespace {

const QString cameras = QStringLiteral(GLANCEWAY_TESTDATA "/cameras/");

struct Run
{
    int exitCode = -1;
    QStringList lines; // per photo: "source>destination|backup status"
};

Run inspectImport(const QStringList &args)
{
    Run run;
    QProcess inspect;
    inspect.start(QStringLiteral(GLANCEWAY_BINARY_DIR "/glanceway-inspect"), QStringList{"import"} + args);
    if (!inspect.waitForFinished(60000) || inspect.exitStatus() != QProcess::NormalExit)
        return run;
    run.exitCode = inspect.exitCode();
    const auto name = [](const QJsonValue &path) { return path.isNull() ? QString("-") : QDir(path.toString()).dirName(); };
    const auto dayAndName = [](const QJsonValue &path) {
        return path.isNull() ? QString("-")
                             : QFileInfo(path.toString()).dir().dirName() + '/' + QFileInfo(path.toString()).fileName();
    };
    for (const QByteArray &line : inspect.readAllStandardOutput().split('\n')) {
        if (line.isEmpty())
            continue;
        const QJsonObject object = QJsonDocument::fromJson(line).object();
        run.lines.append(name(object.value("source")) + '>' + dayAndName(object.value("destination")) + '|'
                         + dayAndName(object.value("backup")) + ' ' + object.value("status").toString()
                         + (object.value("reason").toString().isEmpty() ? "" : " (reason)"));
    }
    return run;
}

} // namespace

class TestInspectImport : public QObject
{
    Q_OBJECT

private slots:
    void import_data();
    void import();
};

void TestInspectImport::import_data()
{
    // The card holds DCIM/100CANON/IMG_0633.JPG (taken 2020-02-18) and DSC00001.JPG (2023-07-11).
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<bool>("blockSecondDay"); // a file stands where the second day's folder must go
    QTest::addColumn<int>("runs");
    QTest::addColumn<QStringList>("lines"); // of the last run
    QTest::addColumn<int>("exitCode");
    QTest::newRow("with-backup")
        << QStringList{"--backup", "BACKUP"} << false << 1
        << QStringList{"IMG_0633.JPG>2020-02-18/IMG_0633.JPG|2020-02-18/IMG_0633.JPG imported",
                       "DSC00001.JPG>2023-07-11/DSC00001.JPG|2023-07-11/DSC00001.JPG imported"}
        << 0;
    QTest::newRow("templates")
        << QStringList{"--folders", "{camera}", "--names", "{date}_{sequence}"} << false << 1
        << QStringList{"IMG_0633.JPG>Canon EOS RP/20200218_0001.JPG|- imported",
                       "DSC00001.JPG>SONY CYBERSHOT/20230711_0002.JPG|- imported"}
        << 0;
    QTest::newRow("second-run-imports-nothing")
        << QStringList() << false << 2
        << QStringList{"IMG_0633.JPG>-|- skipped", "DSC00001.JPG>-|- skipped"} << 0;
    // Copies that would land on each other are refused before anything is copied.
    QTest::newRow("backup-is-destination") << QStringList{"--backup", "DEST"} << false << 1 << QStringList() << 2;
    QTest::newRow("backup-inside-destination")
        << QStringList{"--backup", "DEST/backup"} << false << 1 << QStringList() << 2;
    QTest::newRow("destination-inside-backup") << QStringList{"--backup", "DEST/.."} << false << 1 << QStringList() << 2;
    QTest::newRow("one-fails") << QStringList() << true << 1
                               << QStringList{"IMG_0633.JPG>2020-02-18/IMG_0633.JPG|- imported",
                                              "DSC00001.JPG>2023-07-11/DSC00001.JPG|- failed (reason)"}
                               << 1;
}

void TestInspectImport::import()
{
    QFETCH(QStringList, options);
    QFETCH(bool, blockSecondDay);
    QFETCH(int, runs);
    QFETCH(QStringList, lines);
    QFETCH(int, exitCode);
    QTemporaryDir card, destination, backup, data;
    QVERIFY(QDir().mkpath(card.filePath("DCIM/100CANON")));
    QVERIFY(QFile::copy(cameras + "Canon_EOS-RP__MG_0633.JPG", card.filePath("DCIM/100CANON/IMG_0633.JPG")));
    QVERIFY(QFile::copy(cameras + "Sony_DSC-P5_DSC00001.JPG", card.filePath("DCIM/100CANON/DSC00001.JPG")));
    if (blockSecondDay) {
        QVERIFY(QDir().mkpath(destination.filePath("2023")));
        QFile blocker(destination.filePath("2023/2023-07-11"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
    }
    options.replaceInStrings(QStringLiteral("BACKUP"), backup.path());
    options.replaceInStrings(QStringLiteral("DEST"), destination.path());
    Run run;
    for (int i = 0; i < runs; ++i)
        run = inspectImport(QStringList{card.path(), destination.path(), "--log", data.filePath("log.tsv")} + options);
    QCOMPARE(run.lines, lines);
    QCOMPARE(run.exitCode, exitCode);
    if (lines.isEmpty())
        QVERIFY(QDir(destination.path()).isEmpty());
}

QTEST_GUILESS_MAIN(TestInspectImport)
#include "tst_inspectimport.moc"
