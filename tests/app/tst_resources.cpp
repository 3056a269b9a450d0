#include "app/applicationidentity.h"

#include <QApplication>
#include <QBuffer>
#include <QFile>
#include <QIcon>
#include <QImage>
#include <QImageReader>
#include <QResource>
#include <QSettings>
#include <QStandardPaths>
#include <QTest>
#include <QtEndian>

// The compiled-in resources and the identity the program starts with.
class TestResources : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void iconHoldsEverySize();
    void storage_data();
    void storage();
    void identity();
};

void TestResources::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
}

void TestResources::iconHoldsEverySize()
{
    QFile file(":/icons/quillmark-glanceway.ico");
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray data = file.readAll();
    QVERIFY(data.size() > 6);
    const auto u16 = [&](qsizetype at) { return qFromLittleEndian<quint16>(data.constData() + at); };
    const auto u32 = [&](qsizetype at) { return qFromLittleEndian<quint32>(data.constData() + at); };
    QCOMPARE(u16(0), quint16(0));
    QCOMPARE(u16(2), quint16(1));  // icon, not cursor
    const int count = u16(4);
    QCOMPARE(count, 15);

    const QList<int> expected{16, 20, 24, 30, 32, 36, 40, 48, 60, 64, 72, 80, 96, 128, 256};
    QList<int> sizes;
    for (int i = 0; i < count; ++i) {
        const qsizetype entry = 6 + 16 * i;
        QVERIFY(entry + 16 <= data.size());
        const int width = quint8(data[entry]) ? quint8(data[entry]) : 256;
        const int height = quint8(data[entry + 1]) ? quint8(data[entry + 1]) : 256;
        QCOMPARE(width, height);
        QCOMPARE(u16(entry + 6), quint16(32));  // bits per pixel
        const quint32 length = u32(entry + 8);
        const quint32 offset = u32(entry + 12);
        QVERIFY(qint64(offset) + length <= data.size());

        // Each image is a PNG of the size the directory claims, with alpha.
        const QByteArray png = data.mid(offset, length);
        QVERIFY(png.startsWith("\x89PNG\r\n\x1a\n"));
        QImage image;
        QVERIFY(image.loadFromData(png, "PNG"));
        QCOMPARE(image.size(), QSize(width, height));
        QVERIFY(image.hasAlphaChannel());
        // Not blank: the corners are transparent, the middle is drawn.
        QCOMPARE(qAlpha(image.pixel(0, 0)), 0);
        QVERIFY(qAlpha(image.pixel(width / 2, height / 2)) > 200);
        sizes << width;
    }
    QCOMPARE(sizes, expected);
}

void TestResources::storage_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("compressed");
    QTest::newRow("application catalogue") << ":/translations/glanceway_de.qm" << false;
    QTest::newRow("toolkit catalogue") << ":/translations/qtbase_de.qm" << true;
    QTest::newRow("icon") << ":/icons/quillmark-glanceway.ico" << false;
    QTest::newRow("style sheet") << ":/styles/dark.qss" << false;
}

void TestResources::storage()
{
    QFETCH(QString, path);
    QFETCH(bool, compressed);
    QResource resource(path);
    QVERIFY2(resource.isValid(), qPrintable(path));
    QVERIFY(resource.size() > 0);
    QCOMPARE(resource.compressionAlgorithm(),
             compressed ? QResource::ZlibCompression : QResource::NoCompression);
}

void TestResources::identity()
{
    applyApplicationIdentity();
    QCOMPARE(QCoreApplication::applicationName(), QString("Glanceway"));
    QCOMPARE(QGuiApplication::applicationDisplayName(), QString("Quillmark Glanceway"));
    QCOMPARE(QCoreApplication::organizationName(), QString("Quillmark"));
    QCOMPARE(QCoreApplication::organizationDomain(), QString("quillmark.net"));
    // The version the program reports is the one the build is made as.
    QCOMPARE(QCoreApplication::applicationVersion(), QString(GLANCEWAY_PROJECT_VERSION));
    QVERIFY(!QGuiApplication::windowIcon().isNull());
    QVERIFY(QGuiApplication::windowIcon().availableSizes().contains(QSize(256, 256)));
    // The import ran against the store the identity names.
    QVERIFY(QSettings().value("migration/pellowickImported").toBool());
}

QTEST_MAIN(TestResources)
#include "tst_resources.moc"
