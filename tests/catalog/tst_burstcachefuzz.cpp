#include "catalog/burstcachefile.h"
#include "bytemutations.h"
#include "testfiles.h"

#include <QtTest>

#include <cmath>

// Mutated burst cache files, generated from a fixed seed so that every
// failure is reproducible: the reader never crashes, and what it accepts
// describes a file (a size of at least 0) with facts the grouping can use
// (a finite sharpness, a finite or unknown exposure bias).
using testfiles::readAll;
using testfiles::writeFile;

namespace {

constexpr quint32 seed = 0xb0257;
constexpr int rounds = 2000;

QHash<QString, BurstCacheFile::Entry> seedEntries()
{
    QHash<QString, BurstCacheFile::Entry> entries;
    for (int i = 0; i < 6; ++i) {
        BurstCacheFile::Entry entry;
        entry.size = 1000000 + i * 4321;
        entry.modified = 1717225800000LL + i * 1000;
        entry.facts.captured = QDateTime(QDate(2024, 6, 1), QTime(9, 30)).addMSecs(i * 250);
        entry.facts.hashed = i != 3; // a picture that could not be decoded
        entry.facts.hash = entry.facts.hashed ? 0x0123456789abcdefULL * quint64(i + 1) : 0;
        entry.facts.sharpness = i * 0.125;
        if (i % 2 == 0)
            entry.facts.exposureBias = i * 0.5 - 1; // exact in the text the writer makes
        entries.insert(QStringLiteral("IMG_%1.JPG").arg(i), entry);
    }
    return entries;
}

const QList<QByteArray> snippets = {
    "{", "}", "[", "]", ",", ":", "\"", "null", "true", "-1", "1e999", "-1e999", "1e308", "NaN",
    "9223372036854775807", "18446744073709551616", "\"size\":", "\"modified\":", "\"sharpness\":",
    "\"bias\":", "\"hash\":\"ffffffffffffffffffff\"", "\"captured\":\"2024-13-45T99:99:99\"", "\"photos\":",
    "\"version\":\"bursts-1\"", "\"version\":\"bursts-0\"", "\"\":{}", "\xc3", "\x00", "\\u0000",
};

// Nesting deeper than any cache file holds.
QByteArray mutate(QByteArray bytes, QRandomGenerator &random)
{
    if (random.bounded(6u) != 0)
        return mutatedBytes(bytes, random, snippets);
    const int depth = int(random.bounded(1u, 3000u));
    bytes.insert(int(random.bounded(quint32(bytes.size() + 1))),
                 QByteArray("[").repeated(depth) + QByteArray("]").repeated(depth));
    return bytes;
}

} // namespace

class TestBurstCacheFuzz : public QObject
{
    Q_OBJECT

private slots:
    void mutatedFiles();
    void sizeLimit_data();
    void sizeLimit();
};

void TestBurstCacheFuzz::mutatedFiles()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("cache.json");
    const QHash<QString, BurstCacheFile::Entry> original = seedEntries();
    QVERIFY(BurstCacheFile::write(path, dir.path(), original));
    const QByteArray written = readAll(path);
    QCOMPARE(BurstCacheFile::read(path).size(), original.size());
    QRandomGenerator random(seed);
    int accepted = 0;
    for (int round = 0; round < rounds; ++round) {
        QByteArray bytes = written;
        for (int i = int(random.bounded(1u, 3u)); i > 0; --i)
            bytes = mutate(bytes, random);
        const QByteArray context = "round " + QByteArray::number(round);
        QVERIFY(writeFile(path, bytes));
        const auto entries = BurstCacheFile::read(path);
        accepted += entries.isEmpty() ? 0 : 1;
        for (auto it = entries.cbegin(); it != entries.cend(); ++it) {
            QVERIFY2(!it.key().isEmpty(), context);
            QVERIFY2(it->size >= 0, context);
            QVERIFY2(std::isfinite(it->facts.sharpness), context);
            QVERIFY2(qIsNaN(it->facts.exposureBias) || std::isfinite(it->facts.exposureBias), context);
            QVERIFY2(it->facts.hashed || it->facts.hash == 0, context);
        }
        // A mutation that left the document's meaning alone reads as the original.
        if (QJsonDocument::fromJson(bytes) == QJsonDocument::fromJson(written)) {
            QVERIFY2(entries.size() == original.size(), context);
            for (auto it = original.cbegin(); it != original.cend(); ++it)
                QVERIFY2(entries.value(it.key()).facts == it->facts, context);
        }
    }
    qInfo("%d mutations: %d read with entries", rounds, accepted);
    QVERIFY(accepted > rounds / 20);
    QVERIFY(accepted < rounds);
}

void TestBurstCacheFuzz::sizeLimit_data()
{
    QTest::addColumn<qint64>("padding"); // blanks after the document, up to the file size given
    QTest::addColumn<bool>("read");
    QTest::newRow("at-the-limit") << BurstCacheFile::maxBytes << true;
    QTest::newRow("over-the-limit") << BurstCacheFile::maxBytes + 1 << false;
}

void TestBurstCacheFuzz::sizeLimit()
{
    QFETCH(qint64, padding);
    QFETCH(bool, read);
    QTemporaryDir dir;
    const QString path = dir.filePath("cache.json");
    QVERIFY(BurstCacheFile::write(path, dir.path(), seedEntries()));
    QVERIFY(QFile::resize(path, padding));
    // resize() fills with zero bytes, which JSON does not allow after the document: blanks instead.
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadWrite));
    const qint64 end = readAll(path).indexOf('\0');
    QVERIFY(end > 0);
    QVERIFY(file.seek(end));
    QCOMPARE(file.write(QByteArray(padding - end, ' ')), padding - end);
    file.close();
    QCOMPARE(BurstCacheFile::read(path).isEmpty(), !read);
}

QTEST_GUILESS_MAIN(TestBurstCacheFuzz)
#include "tst_burstcachefuzz.moc"
