#include "testphotos.h"
#include "testrecords.h"
#include "catalog/markwriter.h"
#include "core/sidecarpaths.h"
#include "core/xmpsidecar.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>

using PhotoCore::Metadata;

namespace {

// Every report the writer gives, in the order given.
struct Reports
{
    explicit Reports(MarkWriter &writer)
    {
        QObject::connect(&writer, &MarkWriter::operationFinished, [this](const MarkReport &r) { all.append(r); });
    }
    QList<MarkReport> all;
};

void settle(const MarkWriter &writer)
{
    QTRY_COMPARE_WITH_TIMEOUT(writer.pendingCount(), 0, 60000);
}

QStringList photosOf(const QList<MarkReport::Written> &written)
{
    QStringList photos;
    for (const MarkReport::Written &w : written)
        photos.append(w.photoPath);
    return photos;
}

} // namespace

// The writes and their history without a catalog: what the reports say when
// writes interleave, fail or find their photo gone.
class TestMarkWriter : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(tmp.isValid()); }
    void reportsAppliedInOrderShowTheDisk_data();
    void reportsAppliedInOrderShowTheDisk();
    void markThatChangedNothing_data();
    void markThatChangedNothing();
    void batchWithFailuresAndItsUndo();

private:
    QTemporaryDir tmp;
};

void TestMarkWriter::reportsAppliedInOrderShowTheDisk_data()
{
    // "batch:<n>" n stars on every photo, "<n>" stars and "Red" a label on the
    // first photo, "u" undo, "r" redo; all issued before any write is back.
    QTest::addColumn<QStringList>("commands");
    QTest::newRow("marks-overtake-a-batch") << QStringList{"batch:2", "Red", "5"};
    QTest::newRow("batch-after-a-mark") << QStringList{"3", "batch:2"};
    QTest::newRow("undo-before-the-batch-is-written") << QStringList{"batch:2", "u"};
    QTest::newRow("undo-and-redo-through-a-batch") << QStringList{"batch:2", "Red", "u", "u", "r"};
}

void TestMarkWriter::reportsAppliedInOrderShowTheDisk()
{
    QFETCH(QStringList, commands);
    const QStringList files = makePhotos(freshDir(tmp), 20);
    MarkWriter writer;
    Reports reports(writer);
    int operations = 0;
    for (const QString &command : std::as_const(commands)) {
        if (command.startsWith(QLatin1String("batch:")))
            operations += writer.runBatch(files, MarkEdit::rating(command.mid(6).toInt()));
        else if (command == QLatin1String("u") || command == QLatin1String("r"))
            operations += writer.applyHistory(command == QLatin1String("u")).operation != 0;
        else if (command == QLatin1String("Red"))
            operations += writer.markPhoto(files[0], MarkEdit::colorLabel(command), MarkReport::Mark) != 0;
        else
            operations += writer.markPhoto(files[0], MarkEdit::rating(command.toInt()), MarkReport::Mark) != 0;
    }
    settle(writer);
    QCOMPARE(reports.all.size(), operations);
    // As a catalog shows them: every report applied over the one before.
    QHash<QString, Metadata> shown;
    for (const MarkReport &report : std::as_const(reports.all)) {
        for (const MarkReport::Written &written : report.written)
            shown.insert(written.photoPath, written.marks);
    }
    for (const QString &photo : files)
        QCOMPARE(shown.value(photo), PhotoCore::readMetadata(photo));
}

void TestMarkWriter::markThatChangedNothing_data()
{
    QTest::addColumn<bool>("photoGone"); // else its sidecar cannot be written
    QTest::newRow("photo-gone") << true;
    QTest::newRow("write-failed") << false;
}

void TestMarkWriter::markThatChangedNothing()
{
    QFETCH(bool, photoGone);
    const QStringList files = makePhotos(freshDir(tmp), 2);
    const QString sidecar = PhotoCore::sidecarPathFor(files[0]);
    QVERIFY(photoGone ? QFile::remove(files[0]) : QDir().mkpath(sidecar));
    MarkWriter writer;
    Reports reports(writer);
    QSignalSpy history(&writer, &MarkWriter::historyChanged);
    writer.setNavigationSerial(writer.markPhoto(files[0], MarkEdit::rating(3), MarkReport::Mark), 7);
    QCOMPARE(writer.history().undoCount(), 1);
    settle(writer);

    QCOMPARE(reports.all.size(), 1);
    const MarkReport &report = reports.all.first();
    QCOMPARE(report.path, files[0]);
    QCOMPARE(report.navigationSerial, quint64(7));
    QVERIFY(report.written.isEmpty());
    QCOMPARE(report.missing, photoGone ? QStringList{files[0]} : QStringList());
    QCOMPARE(report.failures, photoGone ? QStringList() : QStringList{files[0]});
    // Nothing to take back: the step is gone, and the writer said so.
    QCOMPARE(writer.history().undoCount(), 0);
    QCOMPARE(history.count(), 1);
    QCOMPARE(QFileInfo::exists(sidecar), !photoGone);
}

void TestMarkWriter::batchWithFailuresAndItsUndo()
{
    const QString dir = freshDir(tmp);
    const QStringList jpegs = makePhotos(dir, 4);
    const QString png = dir + QStringLiteral("/IMG_0001.png"); // shares the first photo's sidecar
    QVERIFY(QFile::copy(jpegs[0], png));
    QVERIFY(QDir().mkpath(PhotoCore::sidecarPathFor(jpegs[1]))); // cannot be written
    QVERIFY(QFile::remove(jpegs[2]));                            // gone before its write
    MarkWriter writer;
    Reports reports(writer);
    QSignalSpy history(&writer, &MarkWriter::historyChanged);
    QVERIFY(writer.runBatch({jpegs[2], png, jpegs[1], jpegs[0], jpegs[3]}, MarkEdit::rating(4)));
    QVERIFY(!writer.runBatch({jpegs[3]}, MarkEdit::rating(1))); // one batch at a time
    settle(writer);

    QCOMPARE(reports.all.size(), 1);
    const MarkReport batch = reports.all.first();
    QVERIFY(batch.batchEnded);
    QVERIFY(!writer.isBatchRunning());
    QCOMPARE(photosOf(batch.written), (QStringList{png, jpegs[3]}));
    QCOMPARE(batch.batchFailures, (QStringList{jpegs[2], jpegs[1]}));
    QCOMPARE(history.count(), 0); // two of four sidecars changed: the step stays

    // The undo writes back only what the batch wrote, and fails where the
    // sidecar cannot be written any more: it stays to be undone.
    QVERIFY(QFile::remove(PhotoCore::sidecarPathFor(jpegs[3])));
    QVERIFY(QDir().mkpath(PhotoCore::sidecarPathFor(jpegs[3])));
    QCOMPARE(writer.applyHistory(true).photos, (QStringList{jpegs[3], png}));
    QVERIFY(writer.history().canRedo());
    settle(writer);
    const MarkReport undo = reports.all.last();
    QCOMPARE(undo.kind, MarkReport::Undo);
    QCOMPARE(undo.failures, QStringList{jpegs[3]});
    QCOMPARE(photosOf(undo.written), QStringList{png});
    QCOMPARE(PhotoCore::readMetadata(jpegs[0]), Metadata());
    QVERIFY(writer.history().canUndo());
    QVERIFY(!writer.history().canRedo());
    QCOMPARE(history.count(), 1);

    QVERIFY(QDir().rmdir(PhotoCore::sidecarPathFor(jpegs[3])));
    QVERIFY(PhotoCore::writeMetadata(jpegs[3], record(4, QStringLiteral("Blue"))));
    writer.applyHistory(true);
    settle(writer);
    QVERIFY(reports.all.last().failures.isEmpty());
    QCOMPARE(PhotoCore::readMetadata(jpegs[3]), record(0, QStringLiteral("Blue")));
    QVERIFY(writer.history().canRedo());
    QVERIFY(!writer.history().canUndo());
}

QTEST_MAIN(TestMarkWriter)
#include "tst_markwriter.moc"
