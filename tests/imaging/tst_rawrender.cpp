#include "imaging/photodecoder.h"
#include "imaging/rawrender.h"
#include "tests/imaging/dngbuilder.h"

#include <QColorSpace>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

// Rendering RAW sensor data: sizes and turns against what exiftool reads,
// colours after the demosaic, brightness against the preview, and files
// that lie about themselves.

namespace {

const QString cr2 = QStringLiteral("/usr/share/doc/rawtran/IMG_5952.CR2");

// exiftool's values for the tags, by name; empty when it is not installed.
QHash<QString, int> exiftoolInts(const QString &path, const QStringList &tags)
{
    QHash<QString, int> values;
    if (QStandardPaths::findExecutable(QStringLiteral("exiftool")).isEmpty())
        return values;
    QStringList args{QStringLiteral("-s"), QStringLiteral("-n")};
    for (const QString &tag : tags)
        args.append(QLatin1Char('-') + tag);
    args.append(path);
    QProcess p;
    p.start(QStringLiteral("exiftool"), args);
    p.waitForFinished(30000);
    for (const QByteArray &line : p.readAllStandardOutput().split('\n')) {
        const QList<QByteArray> parts = line.split(':');
        if (parts.size() == 2)
            values.insert(QString::fromLatin1(parts[0].trimmed()), parts[1].trimmed().toInt());
    }
    return values;
}

double meanLuma(const QImage &image)
{
    const QImage small = image.scaled(64, 64, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                             .convertToFormat(QImage::Format_Grayscale8);
    double sum = 0;
    for (int y = 0; y < small.height(); ++y)
        for (int x = 0; x < small.width(); ++x)
            sum += small.constScanLine(y)[x];
    return sum / (64.0 * 64.0);
}

} // namespace

class TestRawRender : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void canonSensorAgainstExiftool();
    void dngDemosaicAndTurn_data();
    void dngDemosaicAndTurn();
    void previewShortfall_data();
    void previewShortfall();
    void gainMatchesReference();
    void hostileFiles_data();
    void hostileFiles();
    void cancelStopsTheRender();
    void rawClippingAtWhiteLevel_data();
    void rawClippingAtWhiteLevel();

private:
    QTemporaryDir dir;
    QString write(const QString &name, const QByteArray &bytes)
    {
        const QString path = dir.filePath(name);
        testimg::writeFile(path, bytes);
        return path;
    }
};

void TestRawRender::initTestCase()
{
    QVERIFY(dir.isValid());
}

void TestRawRender::canonSensorAgainstExiftool()
{
    if (!QFile::exists(cr2))
        QSKIP("the Canon EOS 30D file of Debian's rawtran-doc package is not installed");
    // exiftool, a Linux program, cannot be started by the Windows build under
    // Wine; the render is checked against the preview there all the same.
    const bool haveExiftool = !QStandardPaths::findExecutable(QStringLiteral("exiftool")).isEmpty();
    const QHash<QString, int> exif =
        exiftoolInts(cr2, {QStringLiteral("SensorWidth"), QStringLiteral("SensorHeight"),
                           QStringLiteral("SensorLeftBorder"), QStringLiteral("SensorRightBorder"),
                           QStringLiteral("SensorTopBorder"), QStringLiteral("SensorBottomBorder")});
    if (haveExiftool)
        QVERIFY2(exif.size() == 6, "exiftool must report the sensor's size and borders");
    else
        qInfo("exiftool cannot be run here: the sensor's borders are not compared");

    QSize previewStored;
    const QImage preview = decodeLargestEmbeddedPreview(cr2, QSize(), nullptr, &previewStored);
    QCOMPARE(preview.size(), QSize(1728, 1152));

    RawDecoder decoder;
    QVERIFY2(decoder.open(cr2), qPrintable(decoder.errorString()));
    // The developed area lies between the sensor's active borders and its whole.
    const QSize size = decoder.size();
    if (haveExiftool) {
        QVERIFY(size.width() <= exif[QStringLiteral("SensorWidth")]);
        QVERIFY(size.height() <= exif[QStringLiteral("SensorHeight")]);
        QVERIFY(size.width() >= exif[QStringLiteral("SensorRightBorder")] - exif[QStringLiteral("SensorLeftBorder")]);
        QVERIFY(size.height() >= exif[QStringLiteral("SensorBottomBorder")] - exif[QStringLiteral("SensorTopBorder")]);
    }
    QVERIFY(previewFallsShort(preview.size(), size));

    RawDecoder::Options options;
    options.reference = preview;
    const QImage picture = decoder.render(options);
    QVERIFY2(!picture.isNull(), qPrintable(decoder.errorString()));
    QCOMPARE(picture.size(), size);
    QCOMPARE(picture.colorSpace(), QColorSpace(QColorSpace::SRgb));
    // Upright as the preview: landscape, the same shape within a percent.
    QVERIFY(qAbs(double(picture.width()) / picture.height() - 1.5) < 0.015);
    // As bright as the preview: its mean luma within a tenth.
    const double previewLuma = meanLuma(preview);
    QVERIFY2(qAbs(meanLuma(picture) - previewLuma) < 0.1 * previewLuma,
             qPrintable(QStringLiteral("%1 vs %2").arg(meanLuma(picture)).arg(previewLuma)));

    // What 100 % shows of it is this render.
    bool rendered = false;
    QString error;
    QCOMPARE(decodeFullPicture(cr2, rawMemoryLimitMiB, &error, &rendered).size(), size);
    QVERIFY(rendered);
    QVERIFY(error.isEmpty());
}

void TestRawRender::dngDemosaicAndTurn_data()
{
    QTest::addColumn<int>("orientation");
    QTest::addColumn<QSize>("upright");
    QTest::addColumn<QByteArray>("corners");
    QTest::newRow("as-stored") << 1 << QSize(64, 48) << QByteArray("RGBW");
    QTest::newRow("half-turn") << 3 << QSize(64, 48) << QByteArray("WBGR");
    QTest::newRow("clockwise") << 6 << QSize(48, 64) << QByteArray("BRWG");
    QTest::newRow("counter-clockwise") << 8 << QSize(48, 64) << QByteArray("GWRB");
    QTest::newRow("mirrored") << 2 << QSize(64, 48) << QByteArray("GRWB");
}

void TestRawRender::dngDemosaicAndTurn()
{
    QFETCH(int, orientation);
    QFETCH(QSize, upright);
    QFETCH(QByteArray, corners);
    testdng::Options o;
    o.orientation = quint16(orientation);
    const QString path = write(QStringLiteral("turn%1.dng").arg(orientation), testdng::build(o));

    const QHash<QString, int> exif = exiftoolInts(path, {QStringLiteral("ImageWidth"), QStringLiteral("ImageHeight")});
    if (!exif.isEmpty())
        QCOMPARE(QSize(exif[QStringLiteral("ImageWidth")], exif[QStringLiteral("ImageHeight")]), QSize(64, 48));

    RawDecoder decoder;
    QVERIFY2(decoder.open(path), qPrintable(decoder.errorString()));
    QCOMPARE(decoder.size(), upright);
    const QImage picture = decoder.render({});
    QVERIFY2(!picture.isNull(), qPrintable(decoder.errorString()));
    QCOMPARE(picture.size(), upright);
    QCOMPARE(testimg::corners(picture), corners);

    // Away from the quadrants' edges the demosaic gives the pure colours back.
    const QImage stored = applyOrientation(picture, orientation == 6 ? 8 : orientation == 8 ? 6 : orientation);
    const struct { QPoint at; QRgb want; } patches[] = {
        {{16, 12}, qRgb(255, 0, 0)}, {{48, 12}, qRgb(0, 255, 0)},
        {{16, 36}, qRgb(0, 0, 255)}, {{48, 36}, qRgb(255, 255, 255)}};
    for (const auto &patch : patches) {
        const QRgb got = stored.pixel(patch.at);
        QVERIFY2(qAbs(qRed(got) - qRed(patch.want)) <= 12 && qAbs(qGreen(got) - qGreen(patch.want)) <= 12
                     && qAbs(qBlue(got) - qBlue(patch.want)) <= 12,
                 qPrintable(QStringLiteral("at %1,%2: %3").arg(patch.at.x()).arg(patch.at.y())
                                .arg(QString::number(got, 16))));
    }
}

void TestRawRender::previewShortfall_data()
{
    QTest::addColumn<QSize>("preview");
    QTest::addColumn<QSize>("sensor");
    QTest::addColumn<bool>("shortfall");
    QTest::newRow("canon-half") << QSize(1728, 1152) << QSize(3522, 2348) << true;
    QTest::newRow("sony-small") << QSize(1616, 1080) << QSize(6000, 4000) << true;
    QTest::newRow("full-preview") << QSize(6000, 4000) << QSize(6024, 4024) << false;
    QTest::newRow("ten-percent") << QSize(1000, 600) << QSize(1100, 660) << false;
    QTest::newRow("just-over") << QSize(1000, 600) << QSize(1101, 661) << true;
    QTest::newRow("portrait-preview") << QSize(1080, 1616) << QSize(6000, 4000) << true;
    QTest::newRow("no-preview") << QSize() << QSize(6000, 4000) << false;
    QTest::newRow("no-sensor") << QSize(1616, 1080) << QSize() << false;
}

void TestRawRender::previewShortfall()
{
    QFETCH(QSize, preview);
    QFETCH(QSize, sensor);
    QFETCH(bool, shortfall);
    QCOMPARE(previewFallsShort(preview, sensor), shortfall);
}

void TestRawRender::gainMatchesReference()
{
    QImage dark(40, 30, QImage::Format_RGB32);
    dark.fill(qRgb(80, 80, 80));
    QImage bright(80, 60, QImage::Format_RGB32);
    bright.fill(qRgb(120, 120, 120));
    const double gain = brightnessGain(dark, bright);
    QVERIFY(gain > 1);
    applyGain(dark, gain);
    QVERIFY2(qAbs(qGray(dark.pixel(5, 5)) - 120) <= 1, qPrintable(QString::number(qGray(dark.pixel(5, 5)))));
    // Never more than four times, and nothing from black.
    QImage black(10, 10, QImage::Format_RGB32);
    black.fill(Qt::black);
    QCOMPARE(brightnessGain(black, bright), 1.0);
    QImage white(10, 10, QImage::Format_RGB32);
    white.fill(Qt::white);
    QCOMPARE(brightnessGain(white, black), 1.0);
    QImage faint(10, 10, QImage::Format_RGB32);
    faint.fill(qRgb(4, 4, 4));
    QCOMPARE(brightnessGain(faint, white), 4.0);
}

void TestRawRender::hostileFiles_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("opens"); // the headers are read; the render fails
    testdng::Options declaredHuge;
    declaredHuge.declared = QSize(60000, 60000);
    testdng::Options cutStrip;
    cutStrip.stripBytes = 64 * 10 * 2;
    testdng::Options wrongSize;
    wrongSize.declared = QSize(128, 96);
    const QByteArray whole = testdng::build();
    QTest::newRow("empty") << QByteArray() << false;
    QTest::newRow("tiff-header-only") << QByteArray("II*\0\x08\0\0\0", 8) << false;
    QTest::newRow("zeros") << QByteArray(4096, 0) << false;
    QTest::newRow("truncated-in-ifd") << whole.left(60) << false;
    QTest::newRow("huge-declared-size") << testdng::build(declaredHuge) << true;
    QTest::newRow("strip-shorter-than-declared") << testdng::build(cutStrip) << true;
    QTest::newRow("declared-larger-than-data") << testdng::build(wrongSize) << true;
    if (QFile::exists(cr2)) {
        QFile file(cr2);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray canon = file.readAll();
        QTest::newRow("canon-cut-in-sensor-data") << canon.left(3 * 1024 * 1024) << true;
        QTest::newRow("canon-cut-after-headers") << canon.left(80000) << false;
    }
}

// Whatever a file claims, the decoder says why it cannot render it, within
// seconds, without touching memory it does not own (the sanitizer build).
void TestRawRender::hostileFiles()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, opens);
    const QString path = write(QStringLiteral("hostile-%1.dng").arg(QTest::currentDataTag()), bytes);
    QElapsedTimer timer;
    timer.start();
    RawDecoder decoder;
    const bool opened = decoder.open(path);
    QCOMPARE(opened, opens);
    if (!opened) {
        QVERIFY(!decoder.errorString().isEmpty());
        QVERIFY(decoder.size().isEmpty());
        return;
    }
    const QImage picture = decoder.render({});
    QVERIFY2(timer.elapsed() < 10000, "a hostile file held the decoder for more than ten seconds");
    QVERIFY(picture.isNull());
    QVERIFY(!decoder.wasCancelled());
    QVERIFY(!decoder.errorString().isEmpty());
}

void TestRawRender::cancelStopsTheRender()
{
    const QString path = write(QStringLiteral("cancel.dng"), testdng::build());
    RawDecoder decoder;
    QVERIFY(decoder.open(path));
    int asked = 0;
    RawDecoder::Options options;
    options.cancelled = [&] { return ++asked > 1; };
    QVERIFY(decoder.render(options).isNull());
    QVERIFY(decoder.wasCancelled());
    QVERIFY(decoder.errorString().isEmpty());
}

QTEST_GUILESS_MAIN(TestRawRender)
#include "tst_rawrender.moc"

void TestRawRender::rawClippingAtWhiteLevel_data()
{
    QTest::addColumn<int>("orientation");
    QTest::newRow("as-stored") << 1;
    QTest::newRow("half-turn") << 3;
    QTest::newRow("clockwise") << 6;
    QTest::newRow("counter-clockwise") << 8;
    QTest::newRow("mirrored") << 2;
}

void TestRawRender::rawClippingAtWhiteLevel()
{
    QFETCH(int, orientation);
    // A red, a green and a blue photosite at the white level, well apart;
    // others just below it and at zero are not clipped.
    testdng::Options o;
    o.orientation = quint16(orientation);
    o.flatLevel = 1200;
    const QList<QPoint> clipped{{10, 10}, {31, 20}, {41, 33}};
    for (const QPoint &at : clipped)
        o.sites.append({at, quint16(testdng::white)});
    o.sites.append({QPoint(50, 8), quint16(testdng::white - 1)});
    o.sites.append({QPoint(20, 40), quint16(0)});
    const QString path = write(QStringLiteral("clip%1.dng").arg(orientation), testdng::build(o));

    RawDecoder decoder;
    QVERIFY2(decoder.open(path), qPrintable(decoder.errorString()));
    const QImage picture = decoder.render({});
    QVERIFY2(!picture.isNull(), qPrintable(decoder.errorString()));
    const QImage mask = decoder.rawClipping();
    QCOMPARE(mask.size(), picture.size());

    // Each clipped photosite marks the pixels whose 2 × 2 cell holds it, in
    // the stored picture; turned as the render is.
    QImage stored(o.size, QImage::Format_Grayscale8);
    stored.fill(0);
    for (const QPoint &at : clipped)
        for (int dy = -1; dy <= 0; ++dy)
            for (int dx = -1; dx <= 0; ++dx)
                stored.setPixel(at.x() + dx, at.y() + dy, 255);
    const QImage want = applyOrientation(stored, orientation);
    const QImage got = mask.convertToFormat(QImage::Format_Grayscale8);
    QCOMPARE(got.size(), want.size());
    int marked = 0;
    for (int y = 0; y < want.height(); ++y) {
        for (int x = 0; x < want.width(); ++x) {
            const bool wanted = want.constScanLine(y)[x] != 0;
            const bool found = got.constScanLine(y)[x] != 0;
            QVERIFY2(found == wanted, qPrintable(QStringLiteral("at %1,%2: %3").arg(x).arg(y).arg(found)));
            marked += found;
        }
    }
    QCOMPARE(marked, 4 * int(clipped.size()));

    // The quadrants' white and primaries sit at the white level: clipped.
    RawDecoder quadrants;
    QVERIFY(quadrants.open(write(QStringLiteral("quadrants.dng"), testdng::build())));
    QVERIFY(!quadrants.render({}).isNull());
    QVERIFY(quadrants.rawClipping().pixelColor(48, 36) == Qt::white);
}
