#include "core/photoorder.h"

#include <QtTest>

using PhotoCore::SortOrder;

class TestPhotoOrder : public QObject
{
    Q_OBJECT

private slots:
    void order_data();
    void order();
    void ids();
};

void TestPhotoOrder::order_data()
{
    QTest::addColumn<int>("order");
    QTest::addColumn<QStringList>("names");
    // "name=ISO time" capture times, or modification times for the modified order.
    QTest::addColumn<QStringList>("times");
    QTest::addColumn<QStringList>("expected");
    const QStringList mixed{"IMG_10.jpg", "img_2.JPG", "IMG_1.jpg", "IMG_2.NEF"};
    QTest::newRow("name") << int(SortOrder::FileName) << mixed << QStringList()
                          << QStringList{"IMG_1.jpg", "IMG_10.jpg", "img_2.JPG", "IMG_2.NEF"};
    QTest::newRow("natural") << int(SortOrder::NaturalName) << mixed << QStringList()
                             << QStringList{"IMG_1.jpg", "img_2.JPG", "IMG_2.NEF", "IMG_10.jpg"};
    QTest::newRow("natural-leading-zeros") << int(SortOrder::NaturalName) << QStringList{"a10.jpg", "a009.jpg", "A1.jpg"}
                                           << QStringList() << QStringList{"A1.jpg", "a009.jpg", "a10.jpg"};
    // Two cameras in one folder; one photo without a capture time goes after.
    QTest::newRow("captured") << int(SortOrder::CaptureTime)
                              << QStringList{"DSC_0001.jpg", "IMG_0001.jpg", "DSC_0002.jpg", "scan.jpg", "IMG_0002.jpg"}
                              << QStringList{"DSC_0001.jpg=2024-05-01T10:00:05", "IMG_0001.jpg=2024-05-01T10:00:01",
                                             "DSC_0002.jpg=2024-05-01T10:00:09", "IMG_0002.jpg=2024-05-01T10:00:07"}
                              << QStringList{"IMG_0001.jpg", "DSC_0001.jpg", "IMG_0002.jpg", "DSC_0002.jpg", "scan.jpg"};
    QTest::newRow("captured-equal-and-missing")
        << int(SortOrder::CaptureTime) << QStringList{"c.jpg", "b.jpg", "z.jpg", "a.jpg", "y.jpg"}
        << QStringList{"c.jpg=2024-05-01T10:00:00.250", "b.jpg=2024-05-01T10:00:00.250", "a.jpg=2024-05-01T10:00:00.500"}
        << QStringList{"b.jpg", "c.jpg", "a.jpg", "y.jpg", "z.jpg"};
    QTest::newRow("captured-offsets") << int(SortOrder::CaptureTime) << QStringList{"home.jpg", "abroad.jpg"}
                                      << QStringList{"home.jpg=2024-05-01T09:30:00+00:00",
                                                     "abroad.jpg=2024-05-01T10:00:00+02:00"}
                                      << QStringList{"abroad.jpg", "home.jpg"};
    QTest::newRow("modified") << int(SortOrder::ModifiedTime) << QStringList{"a.jpg", "b.jpg", "c.jpg"}
                              << QStringList{"a.jpg=2024-01-03T00:00:00Z", "b.jpg=2024-01-01T00:00:00Z",
                                             "c.jpg=2024-01-02T00:00:00Z"}
                              << QStringList{"b.jpg", "c.jpg", "a.jpg"};
}

void TestPhotoOrder::order()
{
    QFETCH(int, order);
    QFETCH(QStringList, names);
    QFETCH(QStringList, times);
    QFETCH(QStringList, expected);
    QTemporaryDir dir;
    QHash<QString, QDateTime> captured;
    QStringList paths;
    for (const QString &name : names) {
        QFile file(dir.filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
        paths.append(dir.filePath(name));
    }
    for (const QString &entry : times) {
        const QString path = dir.filePath(entry.section(QLatin1Char('='), 0, 0));
        const QDateTime time = QDateTime::fromString(entry.section(QLatin1Char('='), 1), Qt::ISODateWithMs);
        QVERIFY(time.isValid());
        if (SortOrder(order) == SortOrder::ModifiedTime) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::ReadWrite));
            QVERIFY(file.setFileTime(time, QFileDevice::FileModificationTime));
        } else {
            captured.insert(path, time);
        }
    }
    QStringList want;
    for (const QString &name : expected)
        want.append(dir.filePath(name));
    QCOMPARE(PhotoCore::sortedPhotos(paths, SortOrder(order), captured), want);
    // The same whatever order the paths came in.
    std::reverse(paths.begin(), paths.end());
    QCOMPARE(PhotoCore::sortedPhotos(paths, SortOrder(order), captured), want);
}

void TestPhotoOrder::ids()
{
    for (SortOrder order : {SortOrder::FileName, SortOrder::NaturalName, SortOrder::CaptureTime, SortOrder::ModifiedTime})
        QCOMPARE(PhotoCore::sortOrderFromId(PhotoCore::sortOrderId(order)), order);
    QCOMPARE(PhotoCore::sortOrderFromId(QStringLiteral("bogus")), SortOrder::FileName);
}

QTEST_GUILESS_MAIN(TestPhotoOrder)
#include "tst_photoorder.moc"
