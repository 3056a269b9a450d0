#include "core/ingestlog.h"
#include "bytemutations.h"
#include "testfiles.h"

#include <QtTest>

using PhotoCore::IngestItem;

// Mutated import logs, generated from a fixed seed so that every failure is
// reproducible: the reader never crashes; a photo counts as imported only
// where the line that recorded it still begins as it was written (damage
// never proves an import); and whatever the damage, a photo imported next is
// recorded so that it is found again.
using testfiles::readAll;
using testfiles::writeFile;

namespace {

constexpr quint32 seed = 0x1060f;
constexpr int rounds = 1500;

const QList<QByteArray> snippets = {
    "\t", "\n", "\r\n", "\\", "\\t", "\\x", "glanceway-import/2\t", "glanceway-import/2", "-1", "0",
    "99999999999999999999", "2147483648", "\t\t\t\t", "/", "\xc3", "\xff\xfe", "IMG_0001.JPG",
};



// Whether `log` holds a line that begins with `start`.
bool hasLineStarting(const QByteArray &log, const QByteArray &start)
{
    return log.startsWith(start) || log.contains('\n' + start);
}

} // namespace

class TestIngestLogFuzz : public QObject
{
    Q_OBJECT

private slots:
    void mutatedLogs();
};

void TestIngestLogFuzz::mutatedLogs()
{
    QTemporaryDir card, sandbox;
    const QString destination = sandbox.filePath("Pictures");
    for (const char *name : {"A.JPG", "B.JPG", "B.CR3", "B.xmp", "C.CR3", "D.JPG", "E.JPG"}) {
        QVERIFY(writeFile(card.filePath(name), QByteArray("bytes of ") + name));
    }
    const PhotoCore::IngestPlan plan = PhotoCore::planIngest(card.path(), {}, false, {});
    QCOMPARE(plan.items.size(), 5);
    const QList<IngestItem> recorded = plan.items.mid(0, 4);
    const IngestItem next = plan.items.last();

    // The log as the run writes it (the copies are not on disk: culled), one
    // line per photo; D in the earlier format.
    const QString path = sandbox.filePath("log.tsv");
    QList<QByteArray> starts; // of each photo's line, up to its count of files
    {
        PhotoCore::IngestLog log(path);
        for (const IngestItem &item : recorded) {
            const qsizetype before = readAll(path).size();
            if (item.baseName == QLatin1String("D")) {
                QFile file(path);
                QVERIFY(file.open(QIODevice::Append));
                file.write("D.JPG\t" + QByteArray::number(item.sizes.first()) + '\t'
                           + item.captured.toString(Qt::ISODateWithMs).toUtf8() + '\t'
                           + QDir::cleanPath(QFileInfo(destination).absoluteFilePath()).toUtf8() + '\n');
                starts.append(QByteArray());
                continue;
            }
            QStringList copies;
            for (const QString &file : item.files)
                copies.append(destination + '/' + QFileInfo(file).fileName());
            QVERIFY(log.add(item, destination, copies, {}));
            const QByteArray line = readAll(path).mid(before);
            qsizetype end = -1;
            for (int tabs = 0; tabs < 6; ++tabs)
                end = line.indexOf('\t', end + 1);
            starts.append(line.left(end + 1));
        }
    }
    const QByteArray written = readAll(path);
    for (const IngestItem &item : recorded)
        QVERIFY(PhotoCore::IngestLog(path).contains(item, destination));

    QRandomGenerator random(seed);
    int proved = 0;
    for (int round = 0; round < rounds; ++round) {
        QByteArray bytes = written;
        for (int i = int(random.bounded(1u, 3u)); i > 0; --i)
            bytes = mutatedBytes(bytes, random, snippets);
        const QByteArray context = "round " + QByteArray::number(round);
        QVERIFY(writeFile(path, bytes));
        PhotoCore::IngestLog log(path);
        QVERIFY2(log.entryCount() <= bytes.count('\n'), context);
        for (int i = 0; i < recorded.size(); ++i) {
            if (!log.contains(recorded.at(i), destination) || starts.at(i).isEmpty())
                continue;
            ++proved;
            QVERIFY2(hasLineStarting(bytes, starts.at(i)), context + " " + recorded.at(i).baseName.toUtf8());
        }
        QVERIFY2(log.add(next, destination, {destination + "/E.JPG"}, {}), context);
        QVERIFY2(PhotoCore::IngestLog(path).contains(next, destination), context);
    }
    qInfo("%d mutations: %d photos still proved", rounds, proved);
    QVERIFY(proved > rounds / 10);
}

QTEST_GUILESS_MAIN(TestIngestLogFuzz)
#include "tst_ingestlogfuzz.moc"
