#include "imaging/imageanalysis.h"
#include "imaging/photodecoder.h"
#include "imaging/rawrender.h"
#include "tests/imaging/dngbuilder.h"
#include "tests/imaging/lookscene.h"

#include <QColorSpace>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cmath>

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

// Mean HSV saturation, luma standard deviation (0…1) and the shares of
// blown and blocked pixels (percent) of the central half of a picture.
struct LookFigures
{
    double saturation = 0;
    double spread = 0;
    double blown = 0;
    double blocked = 0;
};

LookFigures lookFigures(const QImage &image)
{
    const QImage crop = image.copy(image.width() / 4, image.height() / 4, image.width() / 2, image.height() / 2)
                            .convertToFormat(QImage::Format_RGB32);
    double saturation = 0, sum = 0, squares = 0;
    const double n = double(crop.width()) * crop.height();
    for (int y = 0; y < crop.height(); ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(crop.constScanLine(y));
        for (int x = 0; x < crop.width(); ++x) {
            const int r = qRed(line[x]), g = qGreen(line[x]), b = qBlue(line[x]);
            const int high = std::max({r, g, b});
            saturation += high ? double(high - std::min({r, g, b})) / high : 0.0;
            const double l = (0.2126 * r + 0.7152 * g + 0.0722 * b) / 255.0;
            sum += l;
            squares += l * l;
        }
    }
    const double mean = sum / n;
    const ImageAnalysis::Histogram histogram = ImageAnalysis::histogram(crop);
    return {saturation / n, std::sqrt(std::max(0.0, squares / n - mean * mean)), histogram.blownPercent(),
            histogram.blockedPercent()};
}

// A DNG of `scene`'s colours as sensor data (camera RGB is linear sRGB, its
// white a little above the scene's), with `preview` as its embedded JPEG.
QByteArray sceneDng(const QImage &scene, const QImage &preview, quint16 orientation)
{
    using T = testimg::TiffBuilder;
    QByteArray data(scene.width() * scene.height() * 2, 0);
    for (int y = 0; y < scene.height(); ++y) {
        for (int x = 0; x < scene.width(); ++x) {
            const QRgb c = scene.pixel(x, y);
            const int v = (y % 2 == 0) ? (x % 2 == 0 ? qRed(c) : qGreen(c)) : (x % 2 == 0 ? qGreen(c) : qBlue(c));
            const double linear = v <= 10 ? v / 255.0 / 12.92 : std::pow((v / 255.0 + 0.055) / 1.055, 2.4);
            testimg::putU16(data, 2 * (qsizetype(y) * scene.width() + x), quint16(linear * 0.85 * testdng::white), true);
        }
    }
    T t(true);
    const int raw = t.addIfd();
    const int pixels = t.addBlob(data);
    const int make = t.addBlob(QByteArray("Testmaker", 10));
    const int model = t.addBlob(QByteArray("Mosaic One", 11));
    const int unique = t.addBlob(QByteArray("Testmaker Mosaic One", 21));
    const int matrix = t.addBlob(testdng::rationals({3.2404542, -1.5371385, -0.4985314, -0.9692660, 1.8760108,
                                                     0.0415560, 0.0556434, -0.2040259, 1.0572252}, true));
    const int neutral = t.addBlob(testdng::rationals({1, 1, 1}, false));
    t.entry(raw, 254, 4, 1, T::lit(0));
    t.entry(raw, 256, 4, 1, T::lit(quint32(scene.width())));
    t.entry(raw, 257, 4, 1, T::lit(quint32(scene.height())));
    t.entry(raw, 258, 3, 1, T::shortValue(16));
    t.entry(raw, 259, 3, 1, T::shortValue(1));
    t.entry(raw, 262, 3, 1, T::shortValue(32803));
    t.entry(raw, 271, 2, 10, T::blob(make));
    t.entry(raw, 272, 2, 11, T::blob(model));
    t.entry(raw, 273, 4, 1, T::blob(pixels));
    t.orientation(raw, orientation);
    t.entry(raw, 277, 3, 1, T::shortValue(1));
    t.entry(raw, 278, 4, 1, T::lit(quint32(scene.height())));
    t.entry(raw, 279, 4, 1, T::blobSize(pixels));
    t.entry(raw, 284, 3, 1, T::shortValue(1));
    t.entry(raw, 33421, 3, 2, T::lit(2u | (2u << 16)));
    t.entry(raw, 33422, 1, 4, T::lit(0u | (1u << 8) | (1u << 16) | (2u << 24)));
    t.entry(raw, 50706, 1, 4, T::lit(1u | (4u << 8)));
    t.entry(raw, 50708, 2, 21, T::blob(unique));
    t.entry(raw, 50714, 4, 1, T::lit(0));
    t.entry(raw, 50717, 4, 1, T::lit(testdng::white));
    t.entry(raw, 50721, 10, 9, T::blob(matrix));
    t.entry(raw, 50728, 5, 3, T::blob(neutral));
    t.entry(raw, 50778, 3, 1, T::shortValue(21));
    const int thumb = t.addIfd();
    t.entry(thumb, 254, 4, 1, T::lit(1));
    t.jpegInterchange(thumb, t.addBlob(testimg::encode(preview, "JPEG", 92)));
    t.setNext(raw, T::ifd(thumb));
    return t.build();
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
    void renderTakesPreviewLook_data();
    void renderTakesPreviewLook();

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

void TestRawRender::renderTakesPreviewLook_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("differsPlain"); // the plain render looks other than the preview
    QTest::newRow("canon-30d") << cr2 << true;
    const QImage scene = testlook::colourfulScene(QSize(480, 320));
    const struct { const char *name; double contrast, saturation; quint16 orientation; } dngs[] = {
        {"dng-punchy", 1.35, 1.6, 1}, {"dng-punchy-turned", 1.35, 1.6, 6},
        {"dng-soft", 0.8, 0.7, 1}, {"dng-as-rendered", 1.0, 1.0, 3}};
    for (const auto &d : dngs) {
        const QImage stored = testlook::styled(scene, d.contrast, d.saturation)
                                  .scaled(240, 160, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        // Stored unturned, as the sensor data is.
        QTest::newRow(d.name) << write(QStringLiteral("%1.dng").arg(QLatin1String(d.name)),
                                       sceneDng(scene, stored, d.orientation))
                              << (d.contrast != 1.0);
    }
}

// The render at 100 % keeps the look of the preview shown at Fit: the same
// crop's saturation and tonal spread within a tenth, and its clipping.
void TestRawRender::renderTakesPreviewLook()
{
    QFETCH(QString, path);
    QFETCH(bool, differsPlain);
    if (!QFile::exists(path))
        QSKIP("the Canon EOS 30D file of Debian's rawtran-doc package is not installed");
    const QImage preview = decodeLargestEmbeddedPreview(path, QSize());
    QVERIFY(!preview.isNull());
    RawDecoder decoder;
    QVERIFY(decoder.open(path));
    RawDecoder::Options options;
    options.reference = preview;
    const QImage picture = decoder.render(options);
    QVERIFY2(!picture.isNull(), qPrintable(decoder.errorString()));
    QVERIFY2(decoder.look().isValid(), qPrintable(decoder.look().refusal()));
    RawDecoder plainDecoder;
    QVERIFY(plainDecoder.open(path));
    const QImage plain = plainDecoder.render({});

    const auto atPreviewSize = [&](const QImage &image) {
        return image.scaled(preview.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    };
    const LookFigures want = lookFigures(preview);
    const LookFigures got = lookFigures(atPreviewSize(picture));
    const LookFigures before = lookFigures(atPreviewSize(plain));
    qInfo("preview: saturation %.3f spread %.3f blown %.2f %% blocked %.2f %%; render: %.3f %.3f %.2f %% %.2f %%; "
          "plain render: %.3f %.3f; fit residual %.1f",
          want.saturation, want.spread, want.blown, want.blocked, got.saturation, got.spread, got.blown, got.blocked,
          before.saturation, before.spread, decoder.look().residual());
    if (differsPlain)
        QVERIFY(qAbs(before.saturation / want.saturation - 1) > 0.1 || qAbs(before.spread / want.spread - 1) > 0.1);
    QVERIFY2(qAbs(got.saturation / want.saturation - 1) <= 0.1, "saturation");
    QVERIFY2(qAbs(got.spread / want.spread - 1) <= 0.1, "tonal spread");
    QVERIFY2(got.blown <= want.blown + 0.5, "blown highlights");
    // The sensor's shadow noise, which the camera's JPEG smooths, takes a
    // little more below the blocked threshold; no more than that.
    QVERIFY2(qAbs(got.blocked - want.blocked) <= 1.0, "blocked shadows");
}
