#include "imaging/previewimagecache.h"

#include <QtTest>

#include <atomic>
#include <thread>
#include <vector>

namespace {

// An 8-bit image whose pixel data has exactly `bytes` bytes.
QImage imageOfBytes(int bytes)
{
    static std::vector<uchar> storage(4 << 20, 0x7F);
    return QImage(storage.data(), bytes, 1, bytes, QImage::Format_Grayscale8);
}

// An image costing exactly `kib` KiB.
QImage imageOfKiB(int kib, uchar shade = 0)
{
    QImage image(1024, kib, QImage::Format_Grayscale8);
    image.fill(shade);
    return image;
}

} // namespace

class TestPreviewImageCache : public QObject
{
    Q_OBJECT

private slots:
    void cost_data();
    void cost();
    void budget_data();
    void budget();
    void lookupAndEviction();
    void containsDoesNotRefresh();
    void tooLargeReplacesNothing();
    void replaceAdjustsCost();
    void keysAreCaseSensitive();
    void sharedPixels();
    void concurrentUse();
};

void TestPreviewImageCache::cost_data()
{
    QTest::addColumn<int>("bytes");
    QTest::addColumn<int>("kib");
    QTest::newRow("100-bytes") << 100 << 1;
    QTest::newRow("1024-bytes") << 1024 << 1;
    QTest::newRow("2048-bytes") << 2048 << 2;
    QTest::newRow("2049-bytes") << 2049 << 3;
    QTest::newRow("3-MiB") << (3 << 20) << 3072;
}

void TestPreviewImageCache::cost()
{
    QFETCH(int, bytes);
    QFETCH(int, kib);
    const QImage image = imageOfBytes(bytes);
    QCOMPARE(image.sizeInBytes(), qsizetype(bytes));
    QCOMPARE(PreviewImageCache::costKiB(image), kib);
    PreviewImageCache cache(16);
    cache.insert(QStringLiteral("/p"), image);
    QCOMPARE(cache.totalCostKiB(), kib);
}

void TestPreviewImageCache::budget_data()
{
    QTest::addColumn<int>("mib");
    QTest::addColumn<int>("maxKiB");
    QTest::newRow("viewer-512") << 512 << 524288;
    QTest::newRow("zero-is-1") << 0 << 1024;
    QTest::newRow("negative-is-1") << -7 << 1024;
    QTest::newRow("huge-capped") << 3000000 << 2147483647;
}

void TestPreviewImageCache::budget()
{
    QFETCH(int, mib);
    QFETCH(int, maxKiB);
    QCOMPARE(PreviewImageCache(mib).maxCostKiB(), maxKiB);
}

// A lookup makes an image the most recent, so it outlives an untouched older one.
void TestPreviewImageCache::lookupAndEviction()
{
    PreviewImageCache cache(1); // 1024 KiB
    cache.insert(QStringLiteral("/a"), imageOfKiB(400, 1));
    cache.insert(QStringLiteral("/b"), imageOfKiB(400, 2));
    QCOMPARE(cache.lookup(QStringLiteral("/a")).constScanLine(0)[0], 1);
    cache.insert(QStringLiteral("/c"), imageOfKiB(400, 3));
    QVERIFY(cache.contains(QStringLiteral("/a")));
    QVERIFY(!cache.contains(QStringLiteral("/b")));
    QVERIFY(cache.contains(QStringLiteral("/c")));
    QCOMPARE(cache.totalCostKiB(), 800);
    QVERIFY(cache.lookup(QStringLiteral("/b")).isNull());
    cache.insert(QStringLiteral("/null"), QImage());
    QCOMPARE(cache.count(), 2);
    cache.clear();
    QCOMPARE(cache.count(), 0);
    QCOMPARE(cache.totalCostKiB(), 0);
}

void TestPreviewImageCache::containsDoesNotRefresh()
{
    PreviewImageCache cache(1);
    cache.insert(QStringLiteral("/a"), imageOfKiB(400));
    cache.insert(QStringLiteral("/b"), imageOfKiB(400));
    QVERIFY(cache.contains(QStringLiteral("/a")));
    cache.insert(QStringLiteral("/c"), imageOfKiB(400));
    QVERIFY(!cache.contains(QStringLiteral("/a")));
    QVERIFY(cache.contains(QStringLiteral("/b")));
}

void TestPreviewImageCache::tooLargeReplacesNothing()
{
    PreviewImageCache cache(1);
    cache.insert(QStringLiteral("/a"), imageOfKiB(100));
    cache.insert(QStringLiteral("/b"), imageOfKiB(100));
    cache.insert(QStringLiteral("/a"), imageOfKiB(1025));
    QVERIFY(!cache.contains(QStringLiteral("/a")));
    QVERIFY(cache.contains(QStringLiteral("/b")));
    QCOMPARE(cache.totalCostKiB(), 100);
    cache.insert(QStringLiteral("/whole"), imageOfKiB(1024));
    QCOMPARE(cache.count(), 1);
    QCOMPARE(cache.totalCostKiB(), 1024);
}

void TestPreviewImageCache::replaceAdjustsCost()
{
    PreviewImageCache cache(1);
    cache.insert(QStringLiteral("/a"), imageOfKiB(300, 1));
    cache.insert(QStringLiteral("/b"), imageOfKiB(300, 2));
    cache.insert(QStringLiteral("/a"), imageOfKiB(500, 3));
    QCOMPARE(cache.totalCostKiB(), 800);
    QCOMPARE(cache.lookup(QStringLiteral("/a")).constScanLine(0)[0], 3);
    // Replacing made /a the most recent: /b goes first.
    cache.insert(QStringLiteral("/c"), imageOfKiB(300));
    QVERIFY(!cache.contains(QStringLiteral("/b")));
    QVERIFY(cache.contains(QStringLiteral("/a")));
}

void TestPreviewImageCache::keysAreCaseSensitive()
{
    PreviewImageCache cache(4);
    cache.insert(QStringLiteral("/photos/IMG_1.JPG"), imageOfKiB(1));
    QVERIFY(cache.lookup(QStringLiteral("/photos/img_1.jpg")).isNull());
    QVERIFY(!cache.contains(QStringLiteral("/photos/IMG_1.jpg")));
    QVERIFY(!cache.lookup(QStringLiteral("/photos/IMG_1.JPG")).isNull());
}

void TestPreviewImageCache::sharedPixels()
{
    PreviewImageCache cache(4);
    const QImage image = imageOfKiB(8);
    cache.insert(QStringLiteral("/a"), image);
    QCOMPARE(cache.lookup(QStringLiteral("/a")).constBits(), image.constBits());
}

// Several threads at once: the budget holds and nothing is lost or torn.
void TestPreviewImageCache::concurrentUse()
{
    PreviewImageCache cache(2);
    std::atomic<int> wrongPixels{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 500; ++i) {
                const int key = (i * 7 + t) % 20;
                const QString path = QStringLiteral("/p%1").arg(key);
                if (i % 3 == 0) {
                    cache.insert(path, imageOfKiB(100 + key, uchar(key)));
                } else {
                    const QImage hit = cache.lookup(path);
                    if (!hit.isNull() && hit.constScanLine(0)[0] != key)
                        ++wrongPixels;
                }
            }
        });
    }
    for (std::thread &t : threads)
        t.join();
    QCOMPARE(wrongPixels.load(), 0);
    QVERIFY(cache.totalCostKiB() <= cache.maxCostKiB());
    QVERIFY(cache.count() > 0);
}

QTEST_MAIN(TestPreviewImageCache)
#include "tst_previewimagecache.moc"
