#include "catalogtesting.h"
#include "catalog/photocatalog.h"

#include <QFile>
#include <QSemaphore>

using PhotoCore::SortOrder;

// The order of the photos as the catalog shows them: the current photo stays
// current, capture times arrive in the background, and the order is remembered.
class TestCatalogOrder : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { prepareCatalogTests(); }
    void init() { resetCatalogSettings(); }
    void orders_data();
    void orders();
    void rememberedAndAppliedToNextFolder();
    void opensAtStartOfOrder_data();
    void opensAtStartOfOrder();

private:
    QTemporaryDir tmp;
};

void TestCatalogOrder::orders_data()
{
    QTest::addColumn<int>("order");
    QTest::addColumn<QStringList>("expected");
    // IMG_10 was taken first, IMG_2 has no capture time.
    QTest::newRow("file-name") << int(SortOrder::FileName) << QStringList{"IMG_1.jpg", "IMG_10.jpg", "IMG_2.jpg", "IMG_3.jpg"};
    QTest::newRow("natural") << int(SortOrder::NaturalName) << QStringList{"IMG_1.jpg", "IMG_2.jpg", "IMG_3.jpg", "IMG_10.jpg"};
    QTest::newRow("capture-time") << int(SortOrder::CaptureTime) << QStringList{"IMG_10.jpg", "IMG_3.jpg", "IMG_1.jpg", "IMG_2.jpg"};
}

void TestCatalogOrder::orders()
{
    QFETCH(int, order);
    QFETCH(QStringList, expected);
    QTemporaryDir dir;
    const QStringList names{"IMG_1.jpg", "IMG_10.jpg", "IMG_2.jpg", "IMG_3.jpg"};
    for (const QString &name : names)
        QFile(dir.filePath(name)).open(QIODevice::WriteOnly);
    const QHash<QString, QDateTime> taken{
        {dir.filePath("IMG_10.jpg"), QDateTime(QDate(2024, 5, 1), QTime(9, 0))},
        {dir.filePath("IMG_3.jpg"), QDateTime(QDate(2024, 5, 1), QTime(9, 5))},
        {dir.filePath("IMG_1.jpg"), QDateTime(QDate(2024, 5, 1), QTime(9, 7))}};
    PhotoCatalog catalog;
    catalog.setCaptureTimeReader([taken](const QString &path) { return taken.value(path); });
    QSignalSpy scanned(&catalog, &PhotoCatalog::summaryChanged);
    catalog.openFolder(dir.path());
    QVERIFY(scanned.wait());
    catalog.select(dir.filePath("IMG_3.jpg"));

    catalog.setSortOrder(SortOrder(order));
    QStringList want;
    for (const QString &name : expected)
        want.append(dir.filePath(name));
    QTRY_COMPARE(catalog.visibleFiles(), want);
    QCOMPARE(catalog.currentPath(), dir.filePath("IMG_3.jpg"));
    // A filter keeps the order.
    catalog.setFilter(QStringLiteral("unrated"));
    QCOMPARE(catalog.visibleFiles(), want);
}

void TestCatalogOrder::rememberedAndAppliedToNextFolder()
{
    const QString folder = tmp.filePath("next");
    QDir().mkpath(folder);
    for (const char *name : {"b10.jpg", "b9.jpg"})
        QFile(folder + '/' + QLatin1String(name)).open(QIODevice::WriteOnly);
    {
        PhotoCatalog catalog;
        catalog.setSortOrder(SortOrder::NaturalName);
    }
    PhotoCatalog catalog;
    QCOMPARE(catalog.sortOrder(), SortOrder::NaturalName);
    catalog.openFolder(folder);
    QCOMPARE(catalog.visibleFiles(), (QStringList{folder + "/b9.jpg", folder + "/b10.jpg"}));
}

QTEST_GUILESS_MAIN(TestCatalogOrder)
#include "tst_catalogorder.moc"

void TestCatalogOrder::opensAtStartOfOrder_data()
{
    // The capture times arrive after what the user did meanwhile.
    QTest::addColumn<QString>("meanwhile");
    QTest::addColumn<QString>("current");
    QTest::newRow("nothing") << "" << "IMG_10.jpg";
    QTest::newRow("returned-to-a-photo") << "select:IMG_2.jpg" << "IMG_2.jpg";
    QTest::newRow("stepped-on") << "next" << "IMG_10.jpg"; // the second by name, wherever it now stands
    QTest::newRow("chose-a-filter") << "filter" << "IMG_1.jpg";
    QTest::newRow("resumed-review") << "resume" << "IMG_1.jpg";
}

void TestCatalogOrder::opensAtStartOfOrder()
{
    QFETCH(QString, meanwhile);
    QFETCH(QString, current);
    QTemporaryDir dir;
    for (const char *name : {"IMG_1.jpg", "IMG_10.jpg", "IMG_2.jpg"})
        QFile(dir.filePath(QLatin1String(name))).open(QIODevice::WriteOnly);
    const QHash<QString, QDateTime> taken{{dir.filePath("IMG_10.jpg"), QDateTime(QDate(2024, 5, 1), QTime(9, 0))},
                                          {dir.filePath("IMG_2.jpg"), QDateTime(QDate(2024, 5, 1), QTime(9, 5))},
                                          {dir.filePath("IMG_1.jpg"), QDateTime(QDate(2024, 5, 1), QTime(9, 7))}};
    auto gate = std::make_shared<QSemaphore>(0);
    PhotoCatalog catalog;
    catalog.setSortOrder(SortOrder::CaptureTime);
    catalog.setCaptureTimeReader([taken, gate](const QString &path) {
        gate->acquire();
        gate->release();
        return taken.value(path);
    });
    catalog.openFolder(dir.path());
    QCOMPARE(catalog.currentPath(), dir.filePath("IMG_1.jpg")); // by name until the times are read
    if (meanwhile.startsWith(QLatin1String("select:")))
        catalog.select(dir.filePath(meanwhile.mid(7)));
    else if (meanwhile == QLatin1String("next"))
        catalog.next();
    else if (meanwhile == QLatin1String("filter"))
        catalog.setFilter(QStringLiteral("all"));
    else if (meanwhile == QLatin1String("resume"))
        catalog.resumeReview(); // nothing reviewed yet: stays on the first by name
    gate->release();
    const QStringList byTime{dir.filePath("IMG_10.jpg"), dir.filePath("IMG_2.jpg"), dir.filePath("IMG_1.jpg")};
    QTRY_COMPARE(catalog.visibleFiles(), byTime);
    QCOMPARE(catalog.currentPath(), dir.filePath(current));
}
