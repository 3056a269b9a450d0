#include "core/filemoves.h"

#include <QFile>
#include <QSemaphore>
#include <QThread>
#include <QTemporaryDir>
#include <QtTest>

#include <thread>

using PhotoCore::RenameOutcome;

// Renames within a folder while another reader has the file open, as the
// program's own decodes of the neighbouring photos do.
class TestFileMoves : public QObject
{
    Q_OBJECT

private slots:
    void renameWhileRead_data();
    void renameWhileRead();
};

void TestFileMoves::renameWhileRead_data()
{
    QTest::addColumn<int>("heldMs");       // how long a reader keeps the photo open; -1: nobody reads it
    QTest::addColumn<bool>("targetTaken"); // a file of that name is already there
    QTest::addColumn<bool>("renamed");

    QTest::newRow("nobody-reads") << -1 << false << true;
    QTest::newRow("read-for-a-moment") << 300 << false << true;
    QTest::newRow("name-taken") << -1 << true << false;
    QTest::newRow("name-taken-while-read") << 300 << true << false;
    // A reader that does not let go: Windows refuses after a while, instead of
    // waiting for ever; other systems rename an open file.
#ifdef Q_OS_WIN
    QTest::newRow("read-throughout") << 3500 << false << false;
#else
    QTest::newRow("read-throughout") << 3500 << false << true;
#endif
}

void TestFileMoves::renameWhileRead()
{
    QFETCH(int, heldMs);
    QFETCH(bool, targetTaken);
    QFETCH(bool, renamed);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString source = dir.filePath(QStringLiteral("IMG_0001.JPG"));
    const QString target = dir.filePath(QStringLiteral("picked.JPG"));
    {
        QFile photo(source);
        QVERIFY(photo.open(QIODevice::WriteOnly));
        photo.write("photo");
    }
    if (targetTaken) {
        QFile other(target);
        QVERIFY(other.open(QIODevice::WriteOnly));
        other.write("other");
    }

    QSemaphore opened;
    std::thread reader;
    if (heldMs >= 0) {
        reader = std::thread([&] {
            QFile photo(source);
            const bool open = photo.open(QIODevice::ReadOnly);
            opened.release();
            if (open)
                QThread::msleep(heldMs);
        });
        opened.acquire();
    }
    QString error;
    const RenameOutcome outcome = PhotoCore::renameWithin(source, target, &error);
    if (reader.joinable())
        reader.join();

    QCOMPARE(outcome, renamed ? RenameOutcome::Renamed : RenameOutcome::Failed);
    QCOMPARE(error.isEmpty(), renamed);
    QCOMPARE(QFile::exists(source), !renamed);
    if (!renamed && !targetTaken) {
        QVERIFY(!QFile::exists(target));
        return;
    }
    QFile there(target);
    QVERIFY(there.open(QIODevice::ReadOnly));
    QCOMPARE(there.readAll(), QByteArray(renamed ? "photo" : "other"));
}

QTEST_GUILESS_MAIN(TestFileMoves)
#include "tst_filemoves.moc"
