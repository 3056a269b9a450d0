#include "imaging/photodecoder.h"
#include "imaging/rawlibrarypreview.h"
#include "tests/imaging/dngbuilder.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

// RAW files the TIFF walk and the stream scan find no preview in, shown
// through the RAW library: its thumbnail when large enough, else a half-size
// develop; damaged files give nothing.

namespace {

const QString cr2 = QStringLiteral("/usr/share/doc/rawtran/IMG_5952.CR2");

// The colour of the picture at a fraction of its width and height.
QColor at(const QImage &image, double x, double y)
{
    return image.pixelColor(int(x * (image.width() - 1)), int(y * (image.height() - 1)));
}

bool near(const QColor &c, int r, int g, int b)
{
    return qAbs(c.red() - r) < 60 && qAbs(c.green() - g) < 60 && qAbs(c.blue() - b) < 60;
}

} // namespace

class TestRawLibraryPreview : public QObject
{
    Q_OBJECT

private slots:
    void sensorDataOnly_data();
    void sensorDataOnly();
    void cameraFile_data();
    void cameraFile();
    void damagedFilesGiveNothing_data();
    void damagedFilesGiveNothing();

private:
    QString write(const QString &name, const QByteArray &bytes);
    QTemporaryDir m_dir;
};

QString TestRawLibraryPreview::write(const QString &name, const QByteArray &bytes)
{
    const QString path = m_dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        return QString();
    return path;
}

void TestRawLibraryPreview::sensorDataOnly_data()
{
    QTest::addColumn<quint16>("orientation");
    QTest::addColumn<QSize>("upright");
    QTest::newRow("level") << quint16(1) << QSize(64, 48);
    QTest::newRow("turned-right") << quint16(6) << QSize(48, 64);
    QTest::newRow("upside-down") << quint16(3) << QSize(64, 48);
}

// A DNG of sensor data alone: the thumbnail grid and the viewer both get a
// half-size develop, upright, in the photo's colours.
void TestRawLibraryPreview::sensorDataOnly()
{
    QFETCH(quint16, orientation);
    QFETCH(QSize, upright);
    testdng::Options options;
    options.orientation = orientation;
    const QString path = write(QStringLiteral("only-%1.dng").arg(orientation), testdng::build(options));
    QVERIFY(!path.isEmpty());

    const RawLibraryPreview::Result result = RawLibraryPreview::decode(path, 256);
    QVERIFY(result.rendered);
    QCOMPARE(result.sensor, upright);
    QCOMPARE(result.image.size(), upright / 2);

    // The quadrants as the file says they are seen: red, green / blue, white when level.
    const QImage level = applyOrientation(testimg::quadrants(64, 48), orientation);
    for (const auto &[x, y] : {std::pair{0.1, 0.1}, {0.9, 0.1}, {0.1, 0.9}, {0.9, 0.9}}) {
        const QColor want = at(level, x, y);
        const QColor got = at(result.image, x, y);
        QVERIFY2(near(got, want.red(), want.green(), want.blue()),
                 qPrintable(QStringLiteral("at %1,%2: %3 for %4").arg(x).arg(y).arg(got.name(), want.name())));
    }

    const QImage thumbnail = decodeThumbnail(path, 256);
    QCOMPARE(thumbnail.size(), upright / 2);
    bool scaled = false;
    QSize full;
    const QImage shown = decodePhoto(path, QSize(800, 600), &scaled, &full);
    QCOMPARE(shown.size(), upright / 2);
    QVERIFY(scaled);
    QCOMPARE(full, upright);
}

void TestRawLibraryPreview::cameraFile_data()
{
    QTest::addColumn<int>("side");
    QTest::addColumn<bool>("rendered");
    QTest::addColumn<QSize>("size");
    QTest::newRow("thumbnail-large-enough") << 512 << false << QSize(1728, 1152);
    QTest::newRow("thumbnail-short-of-half-size") << 0 << true << QSize(1761, 1174);
}

// A real camera file: the library's own thumbnail (1728 × 1152 JPEG) or,
// asked for more, the half-size develop of its 3522 × 2348 sensor.
void TestRawLibraryPreview::cameraFile()
{
    if (!QFile::exists(cr2))
        QSKIP("the Canon EOS 30D file of Debian's rawtran-doc package is not installed");
    QFETCH(int, side);
    QFETCH(bool, rendered);
    QFETCH(QSize, size);
    const RawLibraryPreview::Result result = RawLibraryPreview::decode(cr2, side);
    QCOMPARE(result.rendered, rendered);
    QCOMPARE(result.sensor, QSize(3522, 2348));
    QCOMPARE(result.image.size(), size);
}

void TestRawLibraryPreview::damagedFilesGiveNothing_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes");
    QByteArray cut = testdng::build();
    cut.truncate(cut.size() / 2);
    QTest::newRow("sensor-data-cut-short") << "cut.dng" << cut;
    QTest::newRow("text-named-as-raw") << "notes.kdc" << QByteArray("not a photo at all, only some words\n").repeated(8);
    QTest::newRow("zeros") << "IMG_0001.CRW" << QByteArray(4096, '\0');
}

// Listed but not shown: the thumbnail loader reports these as failures.
void TestRawLibraryPreview::damagedFilesGiveNothing()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    const QString path = write(name, bytes);
    QVERIFY(!path.isEmpty());
    QVERIFY(RawLibraryPreview::decode(path, 256).image.isNull());
    QVERIFY(decodeThumbnail(path, 256).isNull());
    QVERIFY(decodePhoto(path, QSize(800, 600)).isNull());
}

QTEST_MAIN(TestRawLibraryPreview)
#include "tst_rawlibrarypreview.moc"
