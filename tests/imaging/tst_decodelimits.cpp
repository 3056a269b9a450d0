#include "imaging/jpegstrips.h"
#include "imaging/photodecoder.h"
#include "imaging/quickpreview.h"
#include "imaging/tiffbuilder.h"

#include <QBuffer>
#include <QImageReader>
#include <QTemporaryDir>
#include <QtTest>

// Files that declare more than the decoders should take on: a picture larger
// than the allocation limit that restart markers would let through in
// strips, and floods of segments whose cost grows with their square.
namespace {

using namespace testimg;

// Collects bits most significant first, stuffing a zero after each 0xFF byte.
struct BitWriter
{
    QByteArray out;
    quint32 byte = 0;
    int count = 0;

    void put(quint32 code, int length)
    {
        for (int i = length - 1; i >= 0; --i) {
            byte = (byte << 1) | ((code >> i) & 1);
            if (++count == 8) {
                out += char(byte);
                if (byte == 0xFF)
                    out += '\0';
                byte = 0;
                count = 0;
            }
        }
    }
    void padWithOnes()
    {
        while (count != 0)
            put(1, 1);
    }
};

// A flat grey JPEG of any declared size, a restart interval for each row of
// MCUs: a few bytes per MCU, so a small file declares a large picture. The
// header is Qt's (grey: one block per MCU; colour: 4:2:0) with the standard
// Huffman tables, in which a zero DC difference is 00 and an empty block's
// end is 1010 for luminance and 00 for chrominance.
QByteArray flatRestartJpeg(const QSize &size, bool grey)
{
    QImage tiny(16, 16, grey ? QImage::Format_Grayscale8 : QImage::Format_RGB32);
    tiny.fill(Qt::gray);
    QByteArray file = encode(tiny, "JPEG", 75);
    const qsizetype sof = file.indexOf("\xFF\xC0");
    const qsizetype sos = file.indexOf("\xFF\xDA");
    if (sof < 0 || sos < 0 || uchar(file[sof + 9]) != (grey ? 1 : 3) || (!grey && uchar(file[sof + 11]) != 0x22))
        return QByteArray();
    file.truncate(sos + 2 + ((uchar(file[sos + 2]) << 8) | uchar(file[sos + 3])));
    putU16(file, sof + 5, quint16(size.height()), false);
    putU16(file, sof + 7, quint16(size.width()), false);
    const int mcu = grey ? 8 : 16;
    const int perRow = (size.width() + mcu - 1) / mcu;
    const int rows = (size.height() + mcu - 1) / mcu;
    QByteArray interval("\xFF\xDD\x00\x04\x00\x00", 6);
    putU16(interval, 4, quint16(perRow), false);
    file.insert(sos, interval);
    for (int row = 0; row < rows; ++row) {
        BitWriter bits;
        for (int m = 0; m < perRow; ++m) {
            for (int luma = 0; luma < (grey ? 1 : 4); ++luma) {
                bits.put(0b00, 2);
                bits.put(0b1010, 4);
            }
            if (!grey)
                bits.put(0, 8); // Cb and Cr: DC 00, end of block 00
        }
        bits.padWithOnes();
        file += bits.out;
        if (row + 1 < rows)
            file += QByteArray("\xFF") + char(0xD0 + row % 8);
    }
    return file + QByteArray("\xFF\xD9", 2);
}

// `count` tiny APP2 segments inserted at `at` (negative: from the end).
QByteArray flooded(const QByteArray &jpegFile, int count, int at = 2)
{
    const QByteArray segment("\xFF\xE2\x00\x04xy", 6);
    QByteArray file = jpegFile;
    file.insert(at < 0 ? file.size() + at : at, segment.repeated(count));
    return file;
}

QImage qtDecode(QByteArray bytes, int denominator)
{
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "JPEG");
    reader.setScaledSize(reader.size() / denominator);
    return reader.read();
}

// Qt's allocation limit lowered for one test; the decoders raise it once, on
// first use, which has happened by then (initTestCase).
struct LoweredLimit
{
    explicit LoweredLimit(int mib) { QImageReader::setAllocationLimit(mib); }
    ~LoweredLimit() { QImageReader::setAllocationLimit(saved); }
    const int saved = QImageReader::allocationLimit();
};

} // namespace

class TestDecodeLimits : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void stripsKeepToTheLimit_data();
    void stripsKeepToTheLimit();
    void fileInStripsKeepsToTheLimit();
    void segmentFloodsAreRefused_data();
    void segmentFloodsAreRefused();

private:
    QTemporaryDir m_dir;
};

void TestDecodeLimits::initTestCase()
{
    QVERIFY(m_dir.isValid());
    const QByteArray small = jpeg(64, 48);
    QVERIFY(!decodeJpegBytes(reinterpret_cast<const uchar *>(small.constData()), small.size()).isNull());
    QCOMPARE(QImageReader::allocationLimit(), photoAllocationLimitMiB);
}

void TestDecodeLimits::stripsKeepToTheLimit_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<bool>("grey");
    QTest::addColumn<int>("denominator");
    QTest::addColumn<bool>("decodes");
    // Under a limit of 8 MiB; each strip alone is always below it.
    QTest::newRow("colour above") << QSize(1600, 1400) << false << 1 << false;
    QTest::newRow("colour above, half scale below") << QSize(1600, 1400) << false << 2 << true;
    QTest::newRow("colour just below") << QSize(1440, 1440) << false << 1 << true;
    // Grey too is checked at four bytes a pixel.
    QTest::newRow("grey just below") << QSize(1440, 1440) << true << 1 << true;
    QTest::newRow("grey above") << QSize(1600, 1400) << true << 1 << false;
}

// The strips of a photo are refused exactly when Qt refuses the whole photo.
void TestDecodeLimits::stripsKeepToTheLimit()
{
    QFETCH(QSize, size);
    QFETCH(bool, grey);
    QFETCH(int, denominator);
    QFETCH(bool, decodes);
    const QByteArray file = flatRestartJpeg(size, grey);
    QVERIFY(!file.isEmpty());
    const LoweredLimit limit(8);
    QCOMPARE(qtDecode(file, denominator).isNull(), !decodes);
    const JpegStripPlan plan = planJpegStrips(reinterpret_cast<const uchar *>(file.constData()), file.size(), 4);
    QCOMPARE(plan.count(), 4);
    const QImage joined = decodeJpegStrips(plan, denominator);
    QCOMPARE(joined.isNull(), !decodes);
    if (decodes)
        QCOMPARE(joined.size(), size / denominator);
}

void TestDecodeLimits::fileInStripsKeepsToTheLimit()
{
    if (QThread::idealThreadCount() < 2)
        QSKIP("one core: photos are never cut");
    const QString path = m_dir.filePath(QStringLiteral("large.jpg"));
    QVERIFY(writeFile(path, flatRestartJpeg(QSize(2400, 2000), false)));
    const LoweredLimit limit(16); // the photo needs 18.3 MiB, half of it in each of two strips
    QVERIFY(decodeJpegFileInStrips(path, QSize()).isNull());
    QVERIFY(decodePhoto(path).isNull());
    bool scaled = false;
    QCOMPARE(decodeJpegFileInStrips(path, QSize(1200, 1000), &scaled).size(), QSize(1200, 1000));
    QVERIFY(scaled);
}

void TestDecodeLimits::segmentFloodsAreRefused_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("entry");
    QTest::addColumn<bool>("refused");
    const QByteArray plain = jpeg(320, 240);
    const QByteArray restarts = flatRestartJpeg(QSize(2400, 2000), false);
    // 255: as many as a colour profile brings in its largest number of chunks.
    for (const char *entry : {"photo", "thumbnail", "bytes", "strips"}) {
        const QByteArray &base = QByteArray(entry) == "strips" ? restarts : plain;
        QTest::addRow("%s: 255 segments", entry) << flooded(base, 255) << entry << false;
        QTest::addRow("%s: 20000 before the frame", entry) << flooded(base, 20000) << entry << true;
    }
    for (const char *entry : {"photo", "bytes"})
        QTest::addRow("%s: 20000 after the scan", entry) << flooded(plain, 20000, -2) << entry << true;
    // The Exif thumbnail of a sound photo, within the segment's 64 KB.
    const QByteArray thumbnail = jpeg(160, 120);
    for (const char *entry : {"quick", "embedded"}) {
        QTest::addRow("%s: 255 segments", entry)
            << jpegWithExifThumbnail(plain, flooded(thumbnail, 255)) << entry << false;
        QTest::addRow("%s: 5000 segments", entry)
            << jpegWithExifThumbnail(plain, flooded(thumbnail, 5000)) << entry << true;
    }
}

// Refused as undecodable, before the decoder spends seconds on them.
void TestDecodeLimits::segmentFloodsAreRefused()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, entry);
    QFETCH(bool, refused);
    const QString path = m_dir.filePath(QStringLiteral("flood.jpg"));
    QVERIFY(writeFile(path, file));
    QImage image;
    if (entry == QLatin1String("photo")) {
        image = decodePhoto(path);
    } else if (entry == QLatin1String("thumbnail")) {
        image = decodeThumbnail(path, 128);
    } else if (entry == QLatin1String("embedded")) {
        image = decodeEmbeddedThumbnail(path, 128);
    } else if (entry == QLatin1String("quick")) {
        image = decodeQuickPreview(path, QSize(800, 600));
    } else if (entry == QLatin1String("bytes")) {
        image = decodeJpegBytes(reinterpret_cast<const uchar *>(file.constData()), file.size());
    } else if (entry == QLatin1String("strips")) {
        const JpegStripPlan plan = planJpegStrips(reinterpret_cast<const uchar *>(file.constData()), file.size(), 2);
        QCOMPARE(plan.count() == 0, refused);
        image = decodeJpegStrips(plan, 8);
    }
    QCOMPARE(image.isNull(), refused);
}

QTEST_GUILESS_MAIN(TestDecodeLimits)
#include "tst_decodelimits.moc"
