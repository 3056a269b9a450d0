#include "imaging/quickpreview.h"
#include "imaging/tiffbuilder.h"

#include <QTemporaryDir>
#include <QtTest>

namespace {

using namespace testimg;

// A camera JPEG: Exif thumbnail in APP1, an MPF index in APP2 naming further
// streams stored after the primary image, each with its MP type.
QByteArray jpegWithMpf(const QSize &primary, const QList<QPair<quint32, QSize>> &extras)
{
    QByteArray main = jpegWithExifThumbnail(jpeg(primary.width(), primary.height()), jpeg(160, 120));
    QList<QByteArray> streams;
    for (const auto &extra : extras)
        streams.append(jpeg(extra.second.width(), extra.second.height()));
    const int entries = int(extras.size()) + 1;
    // MPF: TIFF header (big endian), one IFD with the MP entry list, then the list.
    const int listOffset = 8 + 2 + 12 + 4;
    QByteArray mpf("MM\0\x2A\0\0\0\x08", 8);
    mpf += QByteArray("\0\x01", 2);
    mpf += QByteArray("\xB0\x02\0\x07", 4) + u32be(quint32(16 * entries)) + u32be(quint32(listOffset));
    mpf += u32be(0);
    const int segmentLength = 2 + 4 + int(mpf.size()) + 16 * entries;
    const qint64 mpBase = 2 + 4 + 4; // SOI, APP2 marker and length, "MPF\0"
    qint64 position = main.size() + segmentLength + 2;
    QByteArray list = u32be(0x030000) + u32be(quint32(main.size())) + u32be(0) + u32be(0);
    for (int i = 0; i < extras.size(); ++i) {
        list += u32be(extras.at(i).first) + u32be(quint32(streams.at(i).size())) + u32be(quint32(position - mpBase))
                + u32be(0);
        position += streams.at(i).size();
    }
    QByteArray app2("\xFF\xE2", 2);
    app2 += char(segmentLength >> 8);
    app2 += char(segmentLength & 0xFF);
    app2 += QByteArray("MPF\0", 4) + mpf + list;
    QByteArray file = main.left(2) + app2 + main.mid(2);
    for (const QByteArray &s : streams)
        file += s;
    return file;
}

QByteArray cameraFile(const char *name)
{
    QFile file(QStringLiteral(GLANCEWAY_TESTDATA "/cameras/") + QLatin1String(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestQuickPreview : public QObject
{
    Q_OBJECT

private slots:
    void pictures_data();
    void pictures();
};

void TestQuickPreview::pictures_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("suffix");
    QTest::addColumn<QSize>("quick");     // for a 1600 × 1000 view; invalid: none
    QTest::addColumn<QSize>("thumbnail"); // for a 192 px cell
    const QSize none;
    QTest::newRow("mpf-large-thumbnail-wins")
        << jpegWithMpf({2400, 1600}, {{0x010002, {1620, 1080}}}) << "jpg" << QSize(1620, 1080) << QSize(192, 128);
    QTest::newRow("gain-map-is-not-a-preview")
        << jpegWithMpf({2400, 1600}, {{0x000000, {1200, 800}}}) << "jpg" << QSize(160, 120) << QSize(160, 120);
    QTest::newRow("vga-thumbnail-covers-cell")
        << jpegWithMpf({2400, 1600}, {{0x010001, {640, 480}}, {0x010002, {1920, 1280}}}) << "jpg" << QSize(1920, 1280)
        << QSize(192, 144);
    QTest::newRow("exif-thumbnail-upright") << jpegWithExifThumbnail(jpeg(800, 600), jpeg(160, 120), 6) << "jpg"
                                            << QSize(120, 160) << QSize(120, 160);
    QTest::newRow("plain-jpeg") << jpeg(800, 600) << "jpg" << none << none;
    QTest::newRow("raw-largest-cheap") << layouts::nefLike() << "nef" << layouts::fullSize << QSize(192, 128);
    QTest::newRow("raw-turned") << layouts::nefLike(8) << "nef" << layouts::fullSize.transposed() << QSize(128, 192);
    // Real files: the phone's second MPF image is a gain map, so its Exif
    // thumbnail is shown; the camera has a full-HD-class MPF thumbnail.
    QTest::newRow("phone") << cameraFile("Apple_iPhone-13-Pro_IMG_8568.JPG") << "jpg" << QSize(120, 160)
                           << QSize(120, 160);
    QTest::newRow("camera") << cameraFile("Canon_EOS-RP__MG_0633.JPG") << "jpg" << QSize(1620, 1080)
                            << QSize(192, 128);
    QTest::newRow("no-thumbnail") << cameraFile("Kodak_DC210_DCP15612.JPG") << "jpg" << none << none;
}

void TestQuickPreview::pictures()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, suffix);
    QFETCH(QSize, quick);
    QFETCH(QSize, thumbnail);
    QVERIFY(!file.isEmpty());
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("photo.") + suffix);
    QVERIFY(writeFile(path, file));
    const QImage preview = decodeQuickPreview(path, QSize(1600, 1000));
    QCOMPARE(preview.isNull() ? QSize() : preview.size(), quick);
    const QImage cell = decodeEmbeddedThumbnail(path, 192);
    QCOMPARE(cell.isNull() ? QSize() : cell.size(), thumbnail);
}

QTEST_MAIN(TestQuickPreview)
#include "tst_quickpreview.moc"
