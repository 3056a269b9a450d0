#include "imaging/jpegluma.h"
#include "imaging/jpegluma_p.h"

#include "tiffbuilder.h"

#include <QBuffer>
#include <QImageReader>
#include <QRandomGenerator>
#include <QtTest>

#include <memory>

namespace {

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray cameraPhoto(const char *name)
{
    return readAll(QStringLiteral(GLANCEWAY_TESTDATA "/cameras/") + QString::fromLatin1(name));
}

// A photo enlarged to 3000 × 2000 with grain: several MB of coded data, enough
// for the scan to be cut into many ranges.
const QByteArray &grainyPhoto(QImage::Format format = QImage::Format_RGB32)
{
    static QHash<int, QByteArray> made;
    QByteArray &bytes = made[int(format)];
    if (bytes.isEmpty()) {
        QImage image = QImage::fromData(cameraPhoto("Canon_EOS-RP__MG_0633.JPG"))
                           .scaled(3000, 2000, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                           .convertToFormat(QImage::Format_RGB32);
        QRandomGenerator rng(7);
        for (int y = 0; y < image.height(); ++y) {
            auto *row = reinterpret_cast<QRgb *>(image.scanLine(y));
            for (int x = 0; x < image.width(); ++x) {
                const int g = int(rng.bounded(41)) - 20;
                const QRgb p = row[x];
                row[x] = qRgb(qBound(0, qRed(p) + g, 255), qBound(0, qGreen(p) + g, 255), qBound(0, qBlue(p) + g, 255));
            }
        }
        bytes = testimg::encode(image.convertToFormat(format), "JPEG", 95);
    }
    return bytes;
}

// A heap copy of exactly the stream's length, so that a sanitizer build
// reports any read beyond it.
QImage decode(const QByteArray &bytes, int denominator, int threads)
{
    std::unique_ptr<uchar[]> copy(new uchar[size_t(qMax<qsizetype>(bytes.size(), 1))]);
    memcpy(copy.get(), bytes.constData(), size_t(bytes.size()));
    return decodeJpegLuma(copy.get(), bytes.size(), denominator, threads);
}

// What the general decoder makes of the same stream at the same scale, as
// luma: Y of its RGB, or its own grey.
QImage referenceLuma(const QByteArray &bytes, int denominator)
{
    QBuffer buffer;
    buffer.setData(bytes);
    QImageReader reader(&buffer, "jpeg");
    reader.setAutoTransform(false);
    const QSize size = reader.size();
    reader.setScaledSize(QSize((size.width() + denominator - 1) / denominator,
                               (size.height() + denominator - 1) / denominator));
    const QImage image = reader.read();
    if (image.format() == QImage::Format_Grayscale8)
        return image;
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    QImage luma(rgb.size(), QImage::Format_Grayscale8);
    for (int y = 0; y < rgb.height(); ++y) {
        const auto *from = reinterpret_cast<const QRgb *>(rgb.constScanLine(y));
        uchar *to = luma.scanLine(y);
        for (int x = 0; x < rgb.width(); ++x)
            to[x] = uchar((19595 * qRed(from[x]) + 38470 * qGreen(from[x]) + 7471 * qBlue(from[x]) + 32768) >> 16);
    }
    return luma;
}

// A DHT segment defining table `id` of class `cls` from its 16 counts, with
// as many symbols as the counts ask (all 0).
QByteArray huffmanSegment(int cls, int id, const QList<int> &counts)
{
    QByteArray body(1, char((cls << 4) | id));
    int total = 0;
    for (int length = 0; length < 16; ++length) {
        const int count = length < counts.size() ? counts[length] : 0;
        body += char(count);
        total += count;
    }
    body += QByteArray(total, '\0');
    const int size = int(body.size()) + 2;
    return QByteArray("\xFF\xC4", 2) + char(size >> 8) + char(size & 0xFF) + body;
}

// A grey JPEG whose every block is a 1-bit DC code and a 2-bit end of block,
// all zero bits: 3 bits a block. A range cut at a byte that is no multiple of
// 3 bits from the start decodes sound-looking blocks that never meet the true
// ones.
QByteArray threeBitBlocks(int width, int height)
{
    QByteArray bytes("\xFF\xD8", 2);
    bytes += QByteArray("\xFF\xDB\x00\x43\x00", 5) + QByteArray(64, '\1');
    bytes += QByteArray("\xFF\xC0\x00\x0B\x08", 5) + char(height >> 8) + char(height & 0xFF) + char(width >> 8)
           + char(width & 0xFF) + QByteArray("\x01\x01\x11\x00", 4);
    bytes += huffmanSegment(0, 0, {1}) + huffmanSegment(1, 0, {0, 1});
    bytes += QByteArray("\xFF\xDA\x00\x08\x01\x01\x00\x00\x3F\x00", 10);
    const qint64 blocks = qint64((width + 7) / 8) * ((height + 7) / 8);
    bytes += QByteArray(qsizetype((blocks * 3 + 7) / 8), '\0');
    return bytes + QByteArray("\xFF\xD9", 2);
}

QImage decodeCut(const QByteArray &bytes, int denominator, int threads, const jpegluma::Cutting &cutting)
{
    std::unique_ptr<uchar[]> copy(new uchar[size_t(qMax<qsizetype>(bytes.size(), 1))]);
    memcpy(copy.get(), bytes.constData(), size_t(bytes.size()));
    return jpegluma::decode(copy.get(), bytes.size(), denominator, threads, cutting);
}

QByteArray withSegmentBeforeScan(QByteArray bytes, const QByteArray &segment)
{
    const qsizetype sos = bytes.indexOf(QByteArray("\xFF\xDA", 2));
    bytes.insert(sos, segment);
    return bytes;
}

} // namespace

class TestJpegLuma : public QObject
{
    Q_OBJECT

private slots:
    void matchesTheGeneralDecoder_data();
    void matchesTheGeneralDecoder();
    void sameForAnyNumberOfThreads_data();
    void sameForAnyNumberOfThreads();
    void sameWhereverTheScanIsCut_data();
    void sameWhereverTheScanIsCut();
    void refused_data();
    void refused();
    void damagedStreamsStayInBounds();
};

void TestJpegLuma::matchesTheGeneralDecoder_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("denominator");
    QTest::addColumn<double>("meanLimit");
    // Mean differences: the reduced transforms differ (ours takes four
    // frequencies, the general one more), and Y from RGB rounds twice.
    const struct
    {
        const char *name;
        QByteArray bytes;
    } streams[] = {
        {"canon", cameraPhoto("Canon_EOS-RP__MG_0633.JPG")},
        {"sony", cameraPhoto("Sony_DSC-P5_DSC00001.JPG")},
        {"olympus", cameraPhoto("Olympus_C-3000_P1010006.JPG")},
        {"nikon", cameraPhoto("Nikon_CoolPix-4300_DSCN0869.JPG")},
        {"kodak", cameraPhoto("Kodak_DC210_DCP15612.JPG")},
        {"grainy", grainyPhoto()},
        {"grey", grainyPhoto(QImage::Format_Grayscale8)},
    };
    for (const auto &s : streams) {
        QTest::newRow(qPrintable(QStringLiteral("%1 1/4").arg(QLatin1String(s.name)))) << s.bytes << 4 << 1.5;
        QTest::newRow(qPrintable(QStringLiteral("%1 1/8").arg(QLatin1String(s.name)))) << s.bytes << 8 << 1.0;
    }
}

void TestJpegLuma::matchesTheGeneralDecoder()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, denominator);
    QFETCH(double, meanLimit);
    QVERIFY(!bytes.isEmpty());
    const QImage ours = decode(bytes, denominator, 2);
    const QImage reference = referenceLuma(bytes, denominator);
    QVERIFY(!ours.isNull());
    QCOMPARE(ours.format(), QImage::Format_Grayscale8);
    QCOMPARE(ours.size(), reference.size());
    qint64 sum = 0;
    qint64 far = 0;
    for (int y = 0; y < ours.height(); ++y) {
        for (int x = 0; x < ours.width(); ++x) {
            const int d = qAbs(ours.constScanLine(y)[x] - reference.constScanLine(y)[x]);
            sum += d;
            far += d > 16;
        }
    }
    const qint64 pixels = qint64(ours.width()) * ours.height();
    const double mean = double(sum) / double(pixels);
    QVERIFY2(mean < meanLimit, qPrintable(QString::number(mean)));
    // Large differences only at a few sharp edges.
    QVERIFY2(far * 200 < pixels, qPrintable(QString::number(far)));
}

void TestJpegLuma::sameForAnyNumberOfThreads_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("denominator");
    QByteArray withTrailer = grainyPhoto();
    // Cameras append previews after the image's end: the last ranges start in them.
    withTrailer += testimg::encode(QImage::fromData(cameraPhoto("Canon_EOS-RP__MG_0633.JPG")), "JPEG", 90).repeated(3);
    QTest::newRow("grainy 1/4") << grainyPhoto() << 4;
    QTest::newRow("grainy 1/8") << grainyPhoto() << 8;
    QTest::newRow("grey") << grainyPhoto(QImage::Format_Grayscale8) << 4;
    QTest::newRow("trailer") << withTrailer << 4;
    QTest::newRow("camera") << cameraPhoto("Canon_EOS-RP__MG_0633.JPG") << 4;
}

void TestJpegLuma::sameForAnyNumberOfThreads()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, denominator);
    const QImage one = decode(bytes, denominator, 1);
    QVERIFY(!one.isNull());
    for (int threads : {2, 3, 5, 8, 16}) {
        const QImage many = decode(bytes, denominator, threads);
        QVERIFY2(many == one, qPrintable(QString::number(threads)));
    }
}

// Ranges cut every few bytes, running a few bytes into the next: the
// meetings fall at every bit position near the end of a range's data, where
// an MCU runs into the zero padding after it.
void TestJpegLuma::sameWhereverTheScanIsCut_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("denominator");
    const QImage photo = QImage::fromData(grainyPhoto()).scaled(96, 64);
    QTest::newRow("colour") << testimg::encode(photo, "JPEG", 90) << 4;
    QTest::newRow("colour 1/8") << testimg::encode(photo, "JPEG", 90) << 8;
    QTest::newRow("grey") << testimg::encode(photo.convertToFormat(QImage::Format_Grayscale8), "JPEG", 95) << 4;
    // Flat blocks of random grey: a DC code and its bits, then an end of
    // block, a few bits in all, so that ranges fall into step at once and an
    // MCU straddles every bit position of a range's last bytes.
    QImage flat(256, 128, QImage::Format_Grayscale8);
    QRandomGenerator rng(11);
    for (int by = 0; by < flat.height(); by += 8) {
        for (int bx = 0; bx < flat.width(); bx += 8) {
            const int grey = int(rng.bounded(256));
            for (int y = by; y < by + 8; ++y)
                memset(flat.scanLine(y) + bx, grey, 8);
        }
    }
    QTest::newRow("flat blocks") << testimg::encode(flat, "JPEG", 95) << 8;
    QTest::newRow("ranges never in step") << threeBitBlocks(1024, 512) << 4;
}

void TestJpegLuma::sameWhereverTheScanIsCut()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, denominator);
    const QImage one = decode(bytes, denominator, 1);
    QVERIFY(!one.isNull());
    for (int threads : {2, 3, 4}) {
        for (int meeting = 1; meeting <= 96; ++meeting) {
            const QImage many = decodeCut(bytes, denominator, threads, {16, meeting});
            QVERIFY2(many == one, qPrintable(QStringLiteral("%1 threads, %2 bytes").arg(threads).arg(meeting)));
        }
    }
}

void TestJpegLuma::refused_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("denominator");
    const QByteArray sound = testimg::encode(QImage::fromData(cameraPhoto("Olympus_C-3000_P1010006.JPG")), "JPEG", 90);
    QByteArray cut = sound.left(sound.size() / 2);
    QByteArray cutWithEnd = cut + QByteArray("\xFF\xD9", 2);
    QByteArray noEnd = sound;
    noEnd.chop(2);
    const qsizetype frame = sound.indexOf(QByteArray("\xFF\xC0", 2));
    QByteArray sixteenBit = sound;
    sixteenBit[frame + 4] = char(12);
    // 65535 × 65535: far more blocks than the scan's bytes can hold.
    QByteArray huge = sound;
    huge.replace(frame + 5, 4, QByteArray("\xFF\xFF\xFF\xFF", 4));
    QTest::newRow("progressive") << testimg::encode(QImage::fromData(sound), "JPEG", 90, true) << 4;
    QTest::newRow("restart intervals") << withSegmentBeforeScan(sound, QByteArray("\xFF\xDD\x00\x04\x00\x10", 6)) << 4;
    QTest::newRow("half scale") << sound << 2;
    QTest::newRow("full scale") << sound << 1;
    QTest::newRow("cut short") << cut << 4;
    QTest::newRow("cut short, end marker added") << cutWithEnd << 4;
    QTest::newRow("no end marker") << noEnd << 8;
    QTest::newRow("12-bit") << sixteenBit << 4;
    QTest::newRow("size beyond the data") << huge << 4;
    QTest::newRow("restart marker in the scan")
        << sound.left(sound.size() / 2) + QByteArray("\xFF\xD0", 2) + sound.mid(sound.size() / 2) << 4;
    // Tables declaring more codes of one length than the code space holds.
    QTest::newRow("255 codes of length 1") << withSegmentBeforeScan(sound, huffmanSegment(0, 0, {255})) << 4;
    QTest::newRow("two codes of length 1") << withSegmentBeforeScan(sound, huffmanSegment(1, 0, {2})) << 4;
    QTest::newRow("over-full at length 7") << withSegmentBeforeScan(sound, huffmanSegment(1, 1, {0, 0, 0, 0, 0, 0, 255})) << 4;
    QTest::newRow("over-full at length 16") << withSegmentBeforeScan(sound, huffmanSegment(1, 0, {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 2})) << 4;
    QByteArray longScanHeader = sound;
    const qsizetype sos = sound.indexOf(QByteArray("\xFF\xDA", 2));
    longScanHeader[sos + 3] = char(longScanHeader[sos + 3] + 3);
    QTest::newRow("scan header longer than its components") << longScanHeader << 4;
    QTest::newRow("not a jpeg") << cameraPhoto("Olympus_C-3000_P1010006.JPG").mid(2) << 4;
    QTest::newRow("empty") << QByteArray() << 4;
    // Control: an interval of 0 is no restart interval.
    QTest::newRow("zero interval (decodes)") << withSegmentBeforeScan(sound, QByteArray("\xFF\xDD\x00\x04\x00\x00", 6)) << 4;
}

void TestJpegLuma::refused()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, denominator);
    const bool decodes = QString::fromLatin1(QTest::currentDataTag()).endsWith(QLatin1String("(decodes)"));
    for (int threads : {1, 4})
        QCOMPARE(decode(bytes, denominator, threads).isNull(), !decodes);
}

// Flipped bytes and planted markers in the coded data: whatever comes out, no
// read outside the stream (a sanitizer build checks), and the same picture
// whether one thread decodes or several.
void TestJpegLuma::damagedStreamsStayInBounds()
{
    const QByteArray sound = testimg::encode(QImage::fromData(grainyPhoto()).scaled(1200, 800), "JPEG", 95);
    const qsizetype scan = sound.indexOf(QByteArray("\xFF\xDA", 2)) + 20;
    QRandomGenerator rng(20261208);
    int decoded = 0;
    for (int round = 0; round < 60; ++round) {
        QByteArray bytes = sound;
        const int changes = 1 + int(rng.bounded(6));
        for (int c = 0; c < changes; ++c) {
            const qsizetype at = scan + qsizetype(rng.bounded(quint32(bytes.size() - scan - 2)));
            switch (rng.bounded(4)) {
            case 0:
                bytes[at] = char(rng.bounded(256));
                break;
            case 1:
                bytes[at] = char(0xFF);
                break;
            case 2:
                bytes.remove(at, qsizetype(rng.bounded(64)));
                break;
            default:
                bytes.insert(at, bytes.mid(at - 100, qsizetype(rng.bounded(100))));
                break;
            }
        }
        const QImage one = decode(bytes, 4, 1);
        const QImage several = decode(bytes, 4, 3);
        QCOMPARE(several, one);
        if (!one.isNull()) {
            QCOMPARE(one.size(), QSize(300, 200));
            ++decoded;
        }
    }
    qInfo("%d of 60 damaged streams still decoded", decoded);
}

QTEST_MAIN(TestJpegLuma)
#include "tst_jpegluma.moc"
