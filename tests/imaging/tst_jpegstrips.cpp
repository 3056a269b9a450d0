#include "imaging/damagereport.h"
#include "imaging/jpegstrips.h"
#include "imaging/photodecoder.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// Camera files that carry restart markers: every 10th MCU (a phone, with an
// Exif orientation), every 4th (two cameras).
const char *const phone = "Apple_iPhone-13-Pro_IMG_8568.JPG";
const char *const camera = "Pentax_ist-DL_IMGP6666.JPG";
const char *const compact = "HP_C200_DSC00001.JPG";

QByteArray cameraFile(const char *name)
{
    QFile file(QStringLiteral(GLANCEWAY_TESTDATA "/cameras/") + QLatin1String(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

JpegStripPlan plan(const QByteArray &bytes, int strips)
{
    return planJpegStrips(reinterpret_cast<const uchar *>(bytes.constData()), bytes.size(), strips);
}

// Qt's reader on the whole stream, as stored, at 1/`denominator`.
QImage wholeDecode(QByteArray bytes, int denominator)
{
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "JPEG");
    reader.setAutoTransform(false);
    if (denominator > 1)
        reader.setScaledSize(reader.size() / denominator);
    return reader.read();
}

// Offset of the `n`th restart marker's second byte in the scan.
qsizetype restartMarker(const QByteArray &bytes, int n)
{
    qsizetype pos = bytes.indexOf("\xFF\xDA");
    for (int seen = 0; pos >= 0; ++pos) {
        pos = bytes.indexOf('\xFF', pos);
        if (pos < 0 || pos + 1 >= bytes.size())
            return -1;
        const uchar next = uchar(bytes[pos + 1]);
        if (next >= 0xD0 && next <= 0xD7 && seen++ == n)
            return pos + 1;
    }
    return -1;
}

// Offsets of the second bytes of the scan's last two restart markers.
QPair<qsizetype, qsizetype> lastRestartMarkers(const QByteArray &bytes)
{
    QList<qsizetype> found;
    for (qsizetype pos = bytes.size() - 2; pos > 0 && found.size() < 2; --pos) {
        if (uchar(bytes[pos]) == 0xFF && uchar(bytes[pos + 1]) >= 0xD0 && uchar(bytes[pos + 1]) <= 0xD7)
            found.append(pos + 1);
    }
    return found.size() == 2 ? qMakePair(found[1], found[0]) : qMakePair(qsizetype(-1), qsizetype(-1));
}

} // namespace

class TestJpegStrips : public QObject
{
    Q_OBJECT

private slots:
    void stripsMatchTheWholeDecode_data();
    void stripsMatchTheWholeDecode();
    void uncuttableStreams_data();
    void uncuttableStreams();
    void damageInAnyStripIsReported();
    void fileDecodeIsUprightAndScaled();
};

void TestJpegStrips::stripsMatchTheWholeDecode_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<int>("strips");
    QTest::addColumn<int>("denominator");
    for (const char *name : {phone, camera, compact}) {
        for (int strips : {2, 3, 8}) {
            for (int denominator : {1, 2, 4}) {
                QTest::addRow("%s-%d-strips-1/%d", name, strips, denominator)
                    << QByteArray(name) << strips << denominator;
            }
        }
    }
}

// Pixel for pixel, edges of the strips included: each strip decodes its
// neighbours' rows for the decoder's smoothing across rows.
void TestJpegStrips::stripsMatchTheWholeDecode()
{
    QFETCH(QByteArray, file);
    QFETCH(int, strips);
    QFETCH(int, denominator);
    const QByteArray bytes = cameraFile(file.constData());
    QVERIFY(!bytes.isEmpty());
    const JpegStripPlan p = plan(bytes, strips);
    QVERIFY(p.count() >= 2);
    QVERIFY(p.count() <= strips);
    int kept = 0;
    for (int k : p.keep)
        kept += k;
    QCOMPARE(kept, p.size.height());
    const QImage expected = wholeDecode(bytes, denominator);
    QVERIFY(!expected.isNull());
    const QImage joined = decodeJpegStrips(p, denominator);
    QCOMPARE(joined.size(), expected.size());
    QCOMPARE(joined.format(), expected.format());
    for (int y = 0; y < expected.height(); ++y) {
        if (std::memcmp(joined.constScanLine(y), expected.constScanLine(y), size_t(expected.width()) * 4) != 0)
            QFAIL(qPrintable(QStringLiteral("row %1 differs").arg(y)));
    }
}

void TestJpegStrips::uncuttableStreams_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("strips");
    const QByteArray good = cameraFile(camera);
    QTest::newRow("no restart markers") << cameraFile("Canon_EOS-RP__MG_0633.JPG") << 4;
    QTest::newRow("one strip asked for") << good << 1;

    QByteArray outOfOrder = good;
    outOfOrder[restartMarker(good, 5)] = char(0xD0 + (5 + 3) % 8);
    QTest::newRow("restart marker out of order") << outOfOrder << 4;

    QByteArray missing = good;
    missing[restartMarker(good, 5)] = char(0x00); // stuffing, as if the marker were lost
    QTest::newRow("restart marker missing") << missing << 4;

    QTest::newRow("no end of image") << good.left(good.size() - 2) << 4;
    QTest::newRow("cut in the middle") << good.left(good.size() / 2) << 4;

    QByteArray progressive = good;
    progressive[progressive.lastIndexOf("\xFF\xC0") + 1] = char(0xC2);
    QTest::newRow("progressive frame") << progressive << 4;

    QByteArray alien = good;
    alien.insert(restartMarker(good, 7) + 1, QByteArray("\xFF\xDB\x00\x02", 4));
    QTest::newRow("other marker inside the scan") << alien << 4;

    QTest::newRow("empty") << QByteArray() << 4;
    QTest::newRow("header only") << good.left(good.indexOf("\xFF\xDA")) << 4;
}

// Any doubt about the stream and the caller decodes it in one piece.
void TestJpegStrips::uncuttableStreams()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, strips);
    const JpegStripPlan p = plan(bytes, strips);
    QVERIFY(p.count() == 0);
    QVERIFY(decodeJpegStrips(p, 1).isNull());
}

// A strip often decodes on another thread, whose decoder warnings would be
// lost to the thread that asked.
void TestJpegStrips::damageInAnyStripIsReported()
{
    QByteArray bytes = cameraFile(camera);
    const JpegStripPlan clean = plan(bytes, 2);
    QCOMPARE(clean.count(), 2);
    resetDamageReport();
    QVERIFY(!decodeJpegStrips(clean, 1).isNull());
    QVERIFY(!damageReported());

    // Garbage in the last restart interval: the lower strip only.
    const auto [before, last] = lastRestartMarkers(bytes);
    QVERIFY(before > 0 && last - before > 8);
    for (qsizetype i = before + 1; i < last - 1; ++i)
        bytes[i] = char(0x5A);
    for (int run = 0; run < 5; ++run) {
        resetDamageReport();
        const QImage image = decodeJpegStrips(plan(bytes, 2), 1);
        QVERIFY(!image.isNull());
        QVERIFY(damageReported());
    }
}

// The file path: the phone's Exif orientation is applied, and the scale
// chosen still covers the box as the photo is shown (upright).
void TestJpegStrips::fileDecodeIsUprightAndScaled()
{
    if (QThread::idealThreadCount() < 2)
        QSKIP("one core: photos are never cut");
    const QString path = QStringLiteral(GLANCEWAY_TESTDATA "/cameras/") + QLatin1String(phone);
    QImageReader reader(path);
    reader.setAutoTransform(true);
    reader.setScaledSize(reader.size() / 2);
    const QImage expected = reader.read();
    QCOMPARE(expected.size(), QSize(1512, 2016)); // upright: portrait

    bool scaled = false;
    const QImage image = decodeJpegFileInStrips(path, QSize(1000, 1500), &scaled);
    QVERIFY(scaled);
    QCOMPARE(image.size(), expected.size());
    QCOMPARE(image.convertToFormat(expected.format()), expected);
    QCOMPARE(decodeJpegFileInStrips(path, QSize(), &scaled).size(), QSize(3024, 4032));
    QVERIFY(decodeJpegFileInStrips(QStringLiteral(GLANCEWAY_TESTDATA "/cameras/") + QLatin1String(camera), QSize())
                .isNull()); // too small to be worth cutting
}

QTEST_GUILESS_MAIN(TestJpegStrips)
#include "tst_jpegstrips.moc"
