#include <QtTest>

#include <QJsonDocument>
#include <QJsonObject>

// glanceway-inspect transfer, run as a script would run it.
namespace {

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

QStringList namesIn(const QString &dir)
{
    return QDir(dir).entryList(QDir::Files | QDir::NoDotAndDotDot, QDir::Name);
}

QStringList fileNames(const QJsonValue &paths)
{
    QStringList names;
    for (const QJsonValue &path : paths.toArray())
        names.append(QFileInfo(path.toString()).fileName());
    return names;
}

} // namespace

class TestInspectTransfer : public QObject
{
    Q_OBJECT

private slots:
    void transfer_data();
    void transfer();
};

void TestInspectTransfer::transfer_data()
{
    // The source folder holds A.JPG + A.CR3 (a pair) with A.xmp, B.JPG and notes.txt.
    QTest::addColumn<QString>("how");
    QTest::addColumn<bool>("intoSource");     // the target is the source folder itself
    QTest::addColumn<QStringList>("present"); // already in the target
    QTest::addColumn<QStringList>("photos");
    QTest::addColumn<QStringList>("lines");   // per line: "files>to ok"
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QStringList>("left");    // the source folder afterwards
    const QStringList all{"A.CR3", "A.JPG", "A.xmp", "B.JPG", "notes.txt"};
    QTest::newRow("move-pair-with-sidecar")
        << "move" << false << QStringList() << QStringList{"A.JPG"}
        << QStringList{"A.JPG,A.CR3,A.xmp>A.JPG,A.CR3,A.xmp true"} << 0 << QStringList{"B.JPG", "notes.txt"};
    QTest::newRow("copy-beside-a-strangers-raw")
        << "copy" << false << QStringList{"B.ARW"} << QStringList{"B.JPG"}
        << QStringList{"B.JPG>B (2).JPG true"} << 0 << all;
    QTest::newRow("not-a-photo")
        << "copy" << false << QStringList() << QStringList{"notes.txt", "B.JPG"}
        << QStringList{"B.JPG>B.JPG true", "notes.txt> false"} << 1 << all;
    QTest::newRow("move-into-its-own-folder")
        << "move" << true << QStringList() << QStringList{"B.JPG"} << QStringList{"B.JPG>B (2).JPG false"} << 1 << all;
    QTest::newRow("copy-into-its-own-folder")
        << "copy" << true << QStringList() << QStringList{"A.JPG"} << QStringList{"A.JPG,A.CR3,A.xmp>A (2).JPG,A (2).CR3,A (2).xmp false"}
        << 1 << all;
}

void TestInspectTransfer::transfer()
{
    QFETCH(QString, how);
    QFETCH(bool, intoSource);
    QFETCH(QStringList, present);
    QFETCH(QStringList, photos);
    QFETCH(QStringList, lines);
    QFETCH(int, exitCode);
    QFETCH(QStringList, left);
    QTemporaryDir source, target;
    for (const char *name : {"A.CR3", "A.JPG", "A.xmp", "B.JPG", "notes.txt"})
        writeFile(source.filePath(QLatin1String(name)), QByteArray(name).repeated(100));
    for (const QString &name : std::as_const(present))
        writeFile(target.filePath(name), "theirs");
    const QString targetDir = intoSource ? source.path() : target.path();
    QStringList args{QStringLiteral("transfer"), how, targetDir};
    for (const QString &photo : std::as_const(photos))
        args.append(source.filePath(photo));

    QProcess inspect;
    inspect.start(QStringLiteral(GLANCEWAY_BINARY_DIR "/glanceway-inspect"), args);
    QVERIFY(inspect.waitForFinished(60000));
    QCOMPARE(inspect.exitStatus(), QProcess::NormalExit);
    QCOMPARE(inspect.exitCode(), exitCode);
    QStringList actual;
    for (const QByteArray &line : inspect.readAllStandardOutput().split('\n')) {
        if (line.isEmpty())
            continue;
        QJsonParseError error;
        const QJsonObject object = QJsonDocument::fromJson(line, &error).object();
        QVERIFY2(error.error == QJsonParseError::NoError, line.constData());
        QCOMPARE(object.keys(), (QStringList{"files", "ok", "reason", "to"}));
        QCOMPARE(object.value("reason").toString().isEmpty(), object.value("ok").toBool());
        actual.append(fileNames(object.value("files")).join(',') + '>' + fileNames(object.value("to")).join(',') + ' '
                      + (object.value("ok").toBool() ? "true" : "false"));
    }
    QCOMPARE(actual, lines);
    QCOMPARE(namesIn(source.path()), left);
}

QTEST_GUILESS_MAIN(TestInspectTransfer)
#include "tst_inspecttransfer.moc"
