#include "imaging/burstanalysis.h"
#include "imaging/photodecoder.h"
#include "tiffbuilder.h"

#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>

Q_DECLARE_METATYPE(FocusPoints)

namespace {

QString cameraPhoto(const char *name)
{
    return QStringLiteral(GLANCEWAY_TESTDATA "/cameras/") + QString::fromLatin1(name);
}

// The luma of a real photo, about 1,000 px wide.
QImage scene(const char *name)
{
    const QImage image(cameraPhoto(name));
    return image.scaledToWidth(1000, Qt::SmoothTransformation).convertToFormat(QImage::Format_Grayscale8);
}

// `passes` horizontal and vertical box blurs of radius 1: a Gaussian of
// growing width as passes add up.
QImage blurred(QImage luma, int passes)
{
    for (int p = 0; p < passes; ++p) {
        QImage out = luma;
        for (int y = 1; y < luma.height() - 1; ++y) {
            const uchar *above = luma.constScanLine(y - 1);
            const uchar *row = luma.constScanLine(y);
            const uchar *below = luma.constScanLine(y + 1);
            uchar *target = out.scanLine(y);
            for (int x = 1; x < luma.width() - 1; ++x) {
                const int horizontal = row[x - 1] + row[x] + row[x + 1];
                const int vertical = above[x] + row[x] + below[x];
                target[x] = uchar((horizontal + vertical + 3) / 6);
            }
        }
        luma = out;
    }
    return luma;
}

QImage brighter(const QImage &luma, double factor)
{
    QImage out = luma;
    for (int y = 0; y < out.height(); ++y) {
        uchar *row = out.scanLine(y);
        for (int x = 0; x < out.width(); ++x)
            row[x] = uchar(qMin(255.0, row[x] * factor));
    }
    return out;
}

QImage shifted(const QImage &luma, int dx, int dy)
{
    return luma.copy(dx, dy, luma.width() - qAbs(dx), luma.height() - qAbs(dy));
}

// A separable Gaussian blur of standard deviation `sigma` pixels.
QImage gaussian(const QImage &luma, double sigma)
{
    const int radius = int(std::ceil(3 * sigma));
    QVector<double> kernel(2 * radius + 1);
    double total = 0;
    for (int i = -radius; i <= radius; ++i)
        total += kernel[i + radius] = std::exp(-i * i / (2 * sigma * sigma));
    QImage in = luma;
    for (int pass = 0; pass < 2; ++pass) {
        QImage out(in.size(), QImage::Format_Grayscale8);
        for (int y = 0; y < in.height(); ++y) {
            for (int x = 0; x < in.width(); ++x) {
                double v = 0;
                for (int i = -radius; i <= radius; ++i) {
                    const int sx = pass == 0 ? qBound(0, x + i, in.width() - 1) : x;
                    const int sy = pass == 1 ? qBound(0, y + i, in.height() - 1) : y;
                    v += kernel[i + radius] * in.constScanLine(sy)[sx];
                }
                out.scanLine(y)[x] = uchar(qBound(0, int(std::lround(v / total)), 255));
            }
        }
        in = out;
    }
    return in;
}

// Gaussian pixel noise of standard deviation `sigma` levels, as a high ISO adds.
QImage withNoise(const QImage &luma, double sigma)
{
    QRandomGenerator random(1234);
    QImage out = luma;
    for (int y = 0; y < out.height(); ++y) {
        uchar *row = out.scanLine(y);
        for (int x = 0; x < out.width(); ++x) {
            const double u = qMax(random.generateDouble(), 1e-12);
            const double n = std::sqrt(-2 * std::log(u)) * std::cos(2 * M_PI * random.generateDouble());
            row[x] = uchar(qBound(0, int(std::lround(row[x] + sigma * n)), 255));
        }
    }
    return out;
}

} // namespace

class TestBurstAnalysis : public QObject
{
    Q_OBJECT

private slots:
    void hashDistances_data();
    void hashDistances();
    void sharpnessFallsWithBlur_data();
    void sharpnessFallsWithBlur();
    void sharpnessIgnoresBrightness();
    void noiseDoesNotPassForDetail_data();
    void noiseDoesNotPassForDetail();
    void focusRegionDecides();
    void degenerateImages();
    void regionOfFocusPoints_data();
    void regionOfFocusPoints();
    void reducedDecode_data();
    void reducedDecode();
    void largeFramesRankBySharpness();
    void rawPreviewTurned_data();
    void rawPreviewTurned();
    void subSecondCaptureTime();
};

void TestBurstAnalysis::hashDistances_data()
{
    QTest::addColumn<QImage>("a");
    QTest::addColumn<QImage>("b");
    QTest::addColumn<int>("minDistance");
    QTest::addColumn<int>("maxDistance");
    const QImage canon = scene("Canon_EOS-RP__MG_0633.JPG");
    const QImage nikon = scene("Nikon_CoolPix-4300_DSCN0869.JPG");
    const int same = PhotoCore::BurstRules::defaultHashDistance;
    QTest::newRow("identical") << canon << canon << 0 << 0;
    QTest::newRow("blurred") << canon << blurred(canon, 6) << 0 << same;
    QTest::newRow("brighter") << canon << brighter(canon, 1.25) << 0 << same;
    QTest::newRow("shifted-1pc") << canon << shifted(canon, 10, 5) << 0 << same;
    // Scenes of like composition (sky above, land below) can come closer:
    // the capture times keep those apart.
    QTest::newRow("other-scene") << canon << scene("Epson_PhotoPC-3100Z_EPSN0001.JPG") << same + 1 << 64;
    QTest::newRow("other-scene-2") << nikon << scene("Sony_DSC-P5_DSC00001.JPG") << same + 1 << 64;
}

void TestBurstAnalysis::hashDistances()
{
    QFETCH(QImage, a);
    QFETCH(QImage, b);
    QFETCH(int, minDistance);
    QFETCH(int, maxDistance);
    const int distance = PhotoCore::hashDistance(differenceHash(a), differenceHash(b));
    QVERIFY2(distance >= minDistance && distance <= maxDistance, qPrintable(QString::number(distance)));
}

void TestBurstAnalysis::sharpnessFallsWithBlur_data()
{
    QTest::addColumn<QString>("photo");
    for (const char *name : {"Canon_EOS-RP__MG_0633.JPG", "Nikon_CoolPix-4300_DSCN0869.JPG",
                             "Apple_iPhone-13-Pro_IMG_8568.JPG", "Sony_DSC-P5_DSC00001.JPG"})
        QTest::newRow(name) << QString::fromLatin1(name);
}

void TestBurstAnalysis::sharpnessFallsWithBlur()
{
    QFETCH(QString, photo);
    const QImage luma = scene(photo.toLatin1().constData());
    double previous = sharpness(luma);
    QVERIFY(previous > 0);
    for (int passes : {1, 2, 4, 8}) {
        const double score = sharpness(blurred(luma, passes));
        QVERIFY2(score < previous, qPrintable(QStringLiteral("%1 passes: %2 after %3").arg(passes).arg(score).arg(previous)));
        previous = score;
    }
}

void TestBurstAnalysis::sharpnessIgnoresBrightness()
{
    // A frame exposed a little brighter or darker still ranks below the sharp
    // one once it is softened even slightly.
    const QImage luma = scene("Canon_EOS-RP__MG_0633.JPG");
    const double sharp = sharpness(luma);
    for (double factor : {0.8, 1.2}) {
        const double exposed = sharpness(brighter(luma, factor));
        QVERIFY2(qAbs(exposed / sharp - 1) < 0.25, qPrintable(QString::number(exposed / sharp)));
        QVERIFY(sharpness(brighter(blurred(luma, 1), factor)) < sharp);
    }
}

void TestBurstAnalysis::noiseDoesNotPassForDetail_data()
{
    QTest::addColumn<QString>("photo");
    QTest::addColumn<double>("noise");
    QTest::addColumn<QRectF>("region");
    const QRectF tiles;
    const QRectF centre(0.3, 0.3, 0.4, 0.4);
    QTest::newRow("canon-noise-4") << "Canon_EOS-RP__MG_0633.JPG" << 4.0 << tiles;
    QTest::newRow("canon-noise-8") << "Canon_EOS-RP__MG_0633.JPG" << 8.0 << tiles;
    QTest::newRow("nikon-noise-6") << "Nikon_CoolPix-4300_DSCN0869.JPG" << 6.0 << tiles;
    QTest::newRow("iphone-noise-6") << "Apple_iPhone-13-Pro_IMG_8568.JPG" << 6.0 << tiles;
    QTest::newRow("sony-noise-4") << "Sony_DSC-P5_DSC00001.JPG" << 4.0 << tiles;
    QTest::newRow("nikon-noise-6-region") << "Nikon_CoolPix-4300_DSCN0869.JPG" << 6.0 << centre;
}

// A frame blurred by 2 px with a high ISO's noise on it ranks below a clean
// one blurred by 1.5 px, and in a burst noisy throughout the sharp frame
// still ranks well above the blurred one.
void TestBurstAnalysis::noiseDoesNotPassForDetail()
{
    QFETCH(QString, photo);
    QFETCH(double, noise);
    QFETCH(QRectF, region);
    const QImage luma = scene(photo.toLatin1().constData());
    const double clean = sharpness(gaussian(luma, 1.5), region);
    const double noisy = sharpness(withNoise(gaussian(luma, 2.0), noise), region);
    QVERIFY2(noisy < clean, qPrintable(QStringLiteral("noisy %1, clean %2").arg(noisy).arg(clean)));
    const double noisySharp = sharpness(withNoise(luma, noise), region);
    QVERIFY2(noisySharp > noisy * 1.5, qPrintable(QStringLiteral("sharp %1, blurred %2").arg(noisySharp).arg(noisy)));
}

void TestBurstAnalysis::focusRegionDecides()
{
    // Left half detailed, right half flat: the region picks which counts.
    const QImage luma = scene("Nikon_CoolPix-4300_DSCN0869.JPG");
    QImage half = luma;
    for (int y = 0; y < half.height(); ++y)
        memset(half.scanLine(y) + half.width() / 2, 128, size_t(half.width() - half.width() / 2));
    const double left = sharpness(half, QRectF(0.1, 0.1, 0.3, 0.8));
    const double right = sharpness(half, QRectF(0.6, 0.1, 0.3, 0.8));
    QVERIFY(left > 0);
    QCOMPARE(right, 0.0);
    // The best tiles find the detailed half without being told.
    QVERIFY(sharpness(half) >= left * 0.9);
}

void TestBurstAnalysis::degenerateImages()
{
    QCOMPARE(differenceHash(QImage()), quint64(0));
    QCOMPARE(sharpness(QImage()), 0.0);
    QImage flat(100, 80, QImage::Format_Grayscale8);
    flat.fill(90);
    QCOMPARE(differenceHash(flat), quint64(0));
    QCOMPARE(sharpness(flat), 0.0);
    QImage tiny(2, 2, QImage::Format_Grayscale8);
    tiny.fill(0);
    QCOMPARE(sharpness(tiny), 0.0);
    QCOMPARE(sharpness(flat, QRectF(2, 2, 1, 1)), 0.0); // a region outside the picture
}

void TestBurstAnalysis::regionOfFocusPoints_data()
{
    QTest::addColumn<FocusPoints>("focus");
    QTest::addColumn<QRectF>("region");
    FocusPoints none;
    QTest::newRow("none") << none << QRectF();
    FocusPoints inFocus;
    inFocus.points = {FocusPoint{0.2, 0.2, 0.2, 0.2, false, true}, FocusPoint{0.7, 0.5, 0.2, 0.2, true, false}};
    QTest::newRow("in-focus-wins") << inFocus << QRectF(0.6, 0.4, 0.2, 0.2);
    FocusPoints selected;
    selected.points = {FocusPoint{0.2, 0.2, 0.2, 0.2, {}, true}, FocusPoint{0.7, 0.5, 0.2, 0.2, {}, false}};
    QTest::newRow("selected") << selected << QRectF(0.1, 0.1, 0.2, 0.2);
    // A point without an area gets a tenth of the picture, kept inside it.
    FocusPoints corner;
    corner.points = {FocusPoint{0.99, 0.5, 0, 0, {}, {}}};
    QTest::newRow("point-at-edge") << corner << QRectF(0.94, 0.45, 0.06, 0.1);
}

void TestBurstAnalysis::regionOfFocusPoints()
{
    QFETCH(FocusPoints, focus);
    QFETCH(QRectF, region);
    const QRectF found = focusRegion(focus);
    QCOMPARE(found.isValid(), region.isValid());
    if (region.isValid()) {
        QVERIFY2(qAbs(found.left() - region.left()) < 1e-9 && qAbs(found.top() - region.top()) < 1e-9
                     && qAbs(found.width() - region.width()) < 1e-9 && qAbs(found.height() - region.height()) < 1e-9,
                 qPrintable(QStringLiteral("%1 %2 %3 %4").arg(found.left()).arg(found.top()).arg(found.width()).arg(found.height())));
    }
}

void TestBurstAnalysis::reducedDecode_data()
{
    QTest::addColumn<QString>("photo");
    QTest::addColumn<int>("minWidth");
    QTest::addColumn<int>("maxWidth");
    // 4160 px at 1/2, 4032 at 1/2, small photos as they are.
    QTest::newRow("canon") << cameraPhoto("Canon_EOS-RP__MG_0633.JPG") << 1000 << 2080;
    QTest::newRow("iphone") << cameraPhoto("Apple_iPhone-13-Pro_IMG_8568.JPG") << 1000 << 2016;
    QTest::newRow("small") << cameraPhoto("HP_C200_DSC00001.JPG") << 576 << 576;
}

void TestBurstAnalysis::reducedDecode()
{
    QFETCH(QString, photo);
    QFETCH(int, minWidth);
    QFETCH(int, maxWidth);
    const QImage luma = reducedLuma(photo);
    QCOMPARE(luma.format(), QImage::Format_Grayscale8);
    // The longer side: the photo comes upright, a portrait one narrower.
    const int side = qMax(luma.width(), luma.height());
    QVERIFY2(side >= minWidth && side <= maxWidth, qPrintable(QString::number(side)));
    QVERIFY(reducedLuma(QStringLiteral("/nonexistent/photo.jpg")).isNull());
}

// Frames of a camera's size go through the decode straight from the
// coefficients: a frame softened at full size must still rank below the
// sharp one, and the more softened below the less.
void TestBurstAnalysis::largeFramesRankBySharpness()
{
    QTemporaryDir tmp;
    const QImage sharp = QImage(cameraPhoto("Canon_EOS-RP__MG_0633.JPG")).convertToFormat(QImage::Format_RGB32);
    QList<double> scores;
    for (int softening : {1, 2, 3}) {
        // Down and up again: detail finer than `softening` pixels is gone.
        const QImage frame = softening == 1
            ? sharp
            : sharp.scaled(sharp.size() / softening, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                  .scaled(sharp.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        const QString path = tmp.filePath(QStringLiteral("frame%1.jpg").arg(softening));
        QVERIFY(frame.save(path, "JPEG", 92));
        const QImage luma = reducedLuma(path);
        QCOMPARE(luma.size(), QSize(1040, 692));
        const PhotoCore::BurstFacts facts = analyseBurstFrame(path);
        QVERIFY(facts.hashed);
        scores << facts.sharpness;
    }
    QVERIFY2(scores[0] > scores[1] * 1.2 && scores[1] > scores[2] * 1.2,
             qPrintable(QStringLiteral("%1 %2 %3").arg(scores[0]).arg(scores[1]).arg(scores[2])));
}

void TestBurstAnalysis::rawPreviewTurned_data()
{
    QTest::addColumn<int>("fileOrientation");
    QTest::addColumn<int>("previewOrientation");
    QTest::addColumn<int>("expected");
    QTest::newRow("upright") << 1 << 0 << 1;
    QTest::newRow("turned by the file") << 6 << 0 << 6;
    QTest::newRow("the preview's own turn first") << 6 << 8 << 8;
}

// A RAW file's full-size preview (here 4000 px wide, so decoded at 1/4) comes
// as the same preview alone would, turned as the viewer turns it.
void TestBurstAnalysis::rawPreviewTurned()
{
    QFETCH(int, fileOrientation);
    QFETCH(int, previewOrientation);
    QFETCH(int, expected);
    QTemporaryDir tmp;
    QImage photo(cameraPhoto("Canon_EOS-RP__MG_0633.JPG"));
    photo = photo.scaled(4000, 3000, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    const QString alone = tmp.filePath(QStringLiteral("preview.jpg"));
    QVERIFY(photo.save(alone, "JPEG", 90));
    QFile aloneFile(alone);
    QVERIFY(aloneFile.open(QIODevice::ReadOnly));
    QByteArray preview = aloneFile.readAll();
    if (previewOrientation)
        preview = testimg::jpegWithExifThumbnail(preview, testimg::jpeg(160, 120), quint16(previewOrientation));

    testimg::TiffBuilder t(false);
    const int ifd0 = t.addIfd();
    const int full = t.addIfd();
    const int raw = t.addIfd();
    testimg::rgbThumbnail(t, ifd0, 160, 120);
    t.orientation(ifd0, quint16(fileOrientation));
    t.subIfds(ifd0, {full, raw});
    t.jpegInterchange(full, t.addBlob(preview));
    t.strip(raw, t.addBlob(testimg::layouts::sensorData(4096)));
    const QString nef = tmp.filePath(QStringLiteral("frame.nef"));
    QVERIFY(testimg::writeFile(nef, t.build()));

    const QImage fromRaw = reducedLuma(nef);
    QVERIFY(!fromRaw.isNull());
    QCOMPARE(fromRaw, applyOrientation(reducedLuma(alone), expected));
}

void TestBurstAnalysis::subSecondCaptureTime()
{
    const QString exiftool = QStandardPaths::findExecutable(QStringLiteral("exiftool"));
    if (exiftool.isEmpty())
        QSKIP("exiftool is not installed");
    QTemporaryDir tmp;
    const QString copy = tmp.filePath(QStringLiteral("frame.jpg"));
    QVERIFY(QFile::copy(cameraPhoto("Nikon_CoolPix-4300_DSCN0869.JPG"), copy));
    QCOMPARE(QProcess::execute(exiftool, {QStringLiteral("-q"), QStringLiteral("-overwrite_original"),
                                          QStringLiteral("-SubSecTimeOriginal=25"),
                                          QStringLiteral("-ExposureCompensation=-0.7"), copy}),
             0);
    const PhotoCore::BurstFacts facts = analyseBurstFrame(copy);
    QCOMPARE(facts.captured.time(), QTime(14, 44, 58, 250));
    QVERIFY(facts.hashed);
    QVERIFY(facts.sharpness > 0);
    QVERIFY(qAbs(facts.exposureBias + 0.7) < 0.01);
}

QTEST_MAIN(TestBurstAnalysis)
#include "tst_burstanalysis.moc"
