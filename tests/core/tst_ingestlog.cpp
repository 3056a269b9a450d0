#include "core/ingestlog.h"

#include <QtTest>

using PhotoCore::IngestItem;

// The import log decides which photos of a card are new. A photo counts as
// imported only where a whole line records every one of its files; damage,
// fragments and lines of the earlier format that name too little make it new
// again, never lost.
namespace {

void writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

void appendTo(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::Append));
    QCOMPARE(file.write(bytes), bytes.size());
}

} // namespace

class TestIngestLog : public QObject
{
    Q_OBJECT

private slots:
    void importedBefore_data();
    void importedBefore();
};

void TestIngestLog::importedBefore_data()
{
    // The card holds A.JPG alone and the pair B.JPG + B.CR3 with B.xmp; the
    // earlier import went to a destination whose name holds a tab.
    QTest::addColumn<QString>("photo");  // "A" or "B"
    QTest::addColumn<QString>("change"); // what happened since that import
    QTest::addColumn<bool>("imported");
    QTest::newRow("recorded") << "A" << "" << true;
    QTest::newRow("recorded-pair") << "B" << "" << true;
    QTest::newRow("copy-culled-since") << "B" << "remove:copy/B.CR3" << true;
    QTest::newRow("copy-now-a-fragment") << "B" << "shorten:copy/B.CR3" << false;
    QTest::newRow("backup-now-a-fragment") << "A" << "shorten:backup/A.JPG" << false;
    QTest::newRow("sidecar-rewritten-by-marks") << "B" << "grow:copy/B.xmp" << true;
    QTest::newRow("partner-not-recorded") << "B" << "record-first-file-only" << false;
    QTest::newRow("line-torn") << "A" << "tear" << false;
    QTest::newRow("line-torn-then-another-import") << "B" << "tear,record-again" << true;
    QTest::newRow("earlier-format-one-file") << "A" << "earlier-format" << true;
    QTest::newRow("earlier-format-pair") << "B" << "earlier-format" << false;
    QTest::newRow("other-destination") << "A" << "other-destination" << false;
}

void TestIngestLog::importedBefore()
{
    QFETCH(QString, photo);
    QFETCH(QString, change);
    QFETCH(bool, imported);
    QTemporaryDir card, sandbox;
    const QString destination = sandbox.filePath("Pictures\twith tab");
    const QString backup = sandbox.filePath("backup");
    writeFile(card.filePath("A.JPG"), "photo A");
    writeFile(card.filePath("B.JPG"), "photo B");
    writeFile(card.filePath("B.CR3"), "raw of photo B");
    writeFile(card.filePath("B.xmp"), "<x:xmpmeta/>");
    const PhotoCore::IngestPlan plan = PhotoCore::planIngest(card.path(), {}, false, {});
    QCOMPARE(plan.items.size(), 2);
    const IngestItem item = plan.items.at(plan.items.at(0).baseName == photo ? 0 : 1);
    QCOMPARE(item.baseName, photo);

    // The earlier import, as the run leaves it.
    const QString logPath = sandbox.filePath("log.tsv");
    const auto record = [&](const IngestItem &what) {
        QStringList copies, backups;
        for (const QString &file : what.files) {
            copies.append(destination + '/' + QFileInfo(file).fileName());
            backups.append(backup + '/' + QFileInfo(file).fileName());
            QVERIFY(QFile::copy(file, copies.last()) || QFileInfo::exists(copies.last()));
            QVERIFY(QFile::copy(file, backups.last()) || QFileInfo::exists(backups.last()));
        }
        PhotoCore::IngestLog log(logPath);
        QVERIFY(log.add(what, destination, copies, backups));
    };
    QDir().mkpath(destination);
    QDir().mkpath(backup);
    const QStringList changes = change.split(',', Qt::SkipEmptyParts);
    if (changes.contains("record-first-file-only")) {
        IngestItem alone = item;
        alone.files = alone.files.mid(0, 1);
        alone.sizes = alone.sizes.mid(0, 1);
        record(alone);
    } else if (changes.contains("earlier-format")) {
        writeFile(logPath, QStringList{QFileInfo(item.files.first()).fileName(), QString::number(item.sizes.first()),
                                       item.captured.toString(Qt::ISODateWithMs), destination}
                               .join('\t')
                               .toUtf8()
                           + '\n');
    } else {
        record(item);
    }
    for (const QString &step : changes) {
        const QString what = step.section(':', 0, 0);
        const QString path = step.section(':', 1).replace("copy/", destination + '/').replace("backup/", backup + '/');
        if (what == "remove")
            QVERIFY(QFile::remove(path));
        else if (what == "shorten")
            QVERIFY(QFile::resize(path, 3));
        else if (what == "grow")
            appendTo(path, " rated");
        else if (what == "tear")
            QVERIFY(QFile::resize(logPath, QFileInfo(logPath).size() - 5));
        else if (what == "record-again")
            record(item);
    }
    const PhotoCore::IngestLog log(logPath);
    const QString asked = changes.contains("other-destination") ? backup : destination;
    QCOMPARE(log.contains(item, asked), imported);
}

QTEST_GUILESS_MAIN(TestIngestLog)
#include "tst_ingestlog.moc"
