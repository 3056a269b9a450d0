#include "imaging/imageanalysis.h"

#include <QPainter>
#include <QPainterPath>
#include <QTest>

#include <cmath>

using namespace ImageAnalysis;

namespace {

constexpr QRgb tint = 0xffff00ffu;
constexpr QRgb blownMark = 0xffff0000u;
constexpr QRgb blockedMark = 0xff0000ffu;
constexpr QRgb channelMark = 0xffffff00u;

// A scene with edges of every direction and several contrasts: discs, bars
// and a few lines of text on a mid-grey ground, drawn crisp.
QImage sharpScene(const QSize &size = QSize(480, 320))
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(QColor(110, 110, 110));
    QPainter painter(&image);
    painter.setPen(Qt::NoPen);
    for (int i = 0; i < 6; ++i) {
        painter.setBrush(QColor(40 + 30 * i, 200 - 20 * i, 90 + 25 * i));
        painter.drawEllipse(QPoint(50 + 75 * i, 80), 28, 28);
        painter.fillRect(QRect(30 + 75 * i, 150, 18, 70), QColor(20 * i, 20 * i, 20 * i));
    }
    painter.setPen(Qt::white);
    QFont font = painter.font();
    font.setPixelSize(22);
    painter.setFont(font);
    painter.drawText(QRect(20, 240, size.width() - 40, 70), Qt::AlignLeft, QStringLiteral("Sharp where it matters 0123"));
    return image;
}

// `image` blurred as a lens out of focus would: a box blur of `radius`, twice.
QImage blurred(const QImage &image, int radius)
{
    QImage out = image.convertToFormat(QImage::Format_RGB32);
    for (int pass = 0; pass < 4; ++pass) {
        const bool horizontal = pass % 2 == 0;
        const QImage in = out;
        for (int y = 0; y < in.height(); ++y) {
            auto *line = reinterpret_cast<QRgb *>(out.scanLine(y));
            for (int x = 0; x < in.width(); ++x) {
                int r = 0, g = 0, b = 0, n = 0;
                for (int d = -radius; d <= radius; ++d) {
                    const int sx = horizontal ? std::clamp(x + d, 0, in.width() - 1) : x;
                    const int sy = horizontal ? y : std::clamp(y + d, 0, in.height() - 1);
                    const QRgb p = in.pixel(sx, sy);
                    r += qRed(p);
                    g += qGreen(p);
                    b += qBlue(p);
                    ++n;
                }
                line[x] = qRgb(r / n, g / n, b / n);
            }
        }
    }
    return out;
}

int countColour(const QImage &mask, QRgb colour)
{
    int n = 0;
    for (int y = 0; y < mask.height(); ++y)
        for (int x = 0; x < mask.width(); ++x)
            n += mask.pixel(x, y) == colour;
    return n;
}

} // namespace

class TestImageAnalysis : public QObject
{
    Q_OBJECT
private slots:
    void histogramCounts_data();
    void histogramCounts();
    void histogramSamplesLargePictures();
    void blockedSharesOfScenes_data();
    void blockedSharesOfScenes();
    void clipping_data();
    void clipping();
    void clippingRegion();
    void clippingFromAMask_data();
    void clippingFromAMask();
    void markedShareOfMasks_data();
    void markedShareOfMasks();
    void peakingSeparatesSharpFromBlurred_data();
    void peakingSeparatesSharpFromBlurred();
    void peakingMarksEdgesOnly();
    void peakingOfARegionUsesThePhotoAroundIt();
    void emptyInput();
};

void TestImageAnalysis::histogramCounts_data()
{
    QTest::addColumn<QImage>("image");
    QTest::addColumn<int>("redBin");
    QTest::addColumn<int>("greenBin");
    QTest::addColumn<int>("blueBin");
    QTest::addColumn<int>("lumaBin");
    QTest::addColumn<quint64>("blown");
    QTest::addColumn<quint64>("blocked");
    QTest::addColumn<quint64>("channelAtZero");

    // Every pixel of one colour lands in one bin per channel.
    const auto solid = [](QRgb colour, QImage::Format format) {
        QImage image(40, 25, format == QImage::Format_ARGB32 ? format : QImage::Format_RGB32);
        image.fill(colour);
        return image.convertToFormat(format);
    };
    const quint64 none = 0;
    const quint64 all = 1000;
    QTest::newRow("mid-grey") << solid(qRgb(128, 128, 128), QImage::Format_RGB32) << 128 << 128 << 128 << 128
                              << none << none << none;
    // Rec. 709 weights: pure green is far brighter than pure red or blue.
    QTest::newRow("pure-red") << solid(qRgb(255, 0, 0), QImage::Format_RGB32) << 255 << 0 << 0 << 54 << all << none
                              << all;
    // A colour with a channel at 0 is no blocked shadow, however saturated.
    QTest::newRow("pure-green") << solid(qRgb(0, 255, 0), QImage::Format_RGB32) << 0 << 255 << 0 << 182 << all
                                << none << all;
    QTest::newRow("orange") << solid(qRgb(240, 130, 0), QImage::Format_RGB32) << 240 << 130 << 0 << 144 << none
                            << none << all;
    QTest::newRow("dark-blue") << solid(qRgb(0, 0, 120), QImage::Format_RGB32) << 0 << 0 << 120 << 9 << none << none
                               << all;
    QTest::newRow("white") << solid(qRgb(255, 255, 255), QImage::Format_RGB32) << 255 << 255 << 255 << 255 << all
                           << none << none;
    QTest::newRow("black") << solid(qRgb(0, 0, 0), QImage::Format_RGB32) << 0 << 0 << 0 << 0 << none << all << none;
    // Darker than 2 % without any channel at 0: blocked all the same.
    QTest::newRow("near-black") << solid(qRgb(4, 4, 3), QImage::Format_RGB32) << 4 << 4 << 3 << 4 << none << all
                                << none;
    QTest::newRow("rgb888-converted") << solid(qRgb(10, 200, 30), QImage::Format_RGB888) << 10 << 200 << 30 << 147
                                      << none << none << none;
    QTest::newRow("grey8-converted") << solid(qRgb(77, 77, 77), QImage::Format_Grayscale8) << 77 << 77 << 77 << 77
                                     << none << none << none;
    QTest::newRow("argb-alpha-ignored") << solid(qRgba(90, 91, 92, 0), QImage::Format_ARGB32) << 90 << 91 << 92 << 91
                                        << none << none << none;
}

void TestImageAnalysis::histogramCounts()
{
    QFETCH(QImage, image);
    QFETCH(int, redBin);
    QFETCH(int, greenBin);
    QFETCH(int, blueBin);
    QFETCH(int, lumaBin);
    QFETCH(quint64, blown);
    QFETCH(quint64, blocked);
    QFETCH(quint64, channelAtZero);

    const Histogram h = histogram(image);
    const quint32 all = quint32(image.width() * image.height());
    QCOMPARE(h.samples, quint64(all));
    QCOMPARE(h.red[redBin], all);
    QCOMPARE(h.green[greenBin], all);
    QCOMPARE(h.blue[blueBin], all);
    QCOMPARE(h.luma[lumaBin], all);
    QCOMPARE(h.blown, blown);
    QCOMPARE(h.blocked, blocked);
    QCOMPARE(h.channelAtZero, channelAtZero);
    QCOMPARE(h.blownPercent(), 100.0 * double(blown) / all);
}

void TestImageAnalysis::histogramSamplesLargePictures()
{
    // A ramp of 256 columns repeated: sampled or not, every value keeps its share.
    QImage image(2048, 1200, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x)
            line[x] = qRgb(x % 256, x % 256, 255 - x % 256);
    }
    const Histogram full = histogram(image, 0);
    QCOMPARE(full.samples, quint64(2048 * 1200));
    QCOMPARE(full.red[17], quint32(8 * 1200));

    const Histogram sampled = histogram(image, 100'000);
    QVERIFY(sampled.samples <= 100'000);
    QVERIFY(sampled.samples >= 50'000);
    // Every other column at least is skipped, yet the shares hold within a few per cent.
    const double share0 = double(sampled.red[0] + sampled.red[1] + sampled.red[2] + sampled.red[3]) / sampled.samples;
    QVERIFY2(std::abs(share0 - 4.0 / 256) < 0.01, qPrintable(QString::number(share0)));
    QVERIFY(std::abs(sampled.blownPercent() - full.blownPercent()) < 0.5);
    QVERIFY(std::abs(sampled.blockedPercent() - full.blockedPercent()) < 0.5);
}

void TestImageAnalysis::blockedSharesOfScenes_data()
{
    QTest::addColumn<QImage>("scene");
    QTest::addColumn<double>("blockedPercent");
    QTest::addColumn<double>("channelPercent");
    QTest::addColumn<double>("tolerance");

    // An aurora: a night sky from deep blue to vivid green, its red channel
    // at 0 throughout, with a few black pixels (stars' gaps, a treeline).
    QImage aurora(400, 300, QImage::Format_RGB32);
    for (int y = 0; y < aurora.height(); ++y) {
        const double t = double(y) / (aurora.height() - 1);
        for (int x = 0; x < aurora.width(); ++x)
            aurora.setPixel(x, y, qRgb(0, int(12 + 200 * t * t), int(70 + 40 * std::sin(x / 40.0))));
    }
    for (int x = 0; x < 48; ++x)
        aurora.setPixel(x * 8, 299, qRgb(0, 0, 0));
    QTest::newRow("aurora") << aurora << 100.0 * 48 / 120000 << 100.0 * (120000 - 48) / 120000 << 1e-9;

    // The dark blue patch of a colour chart on screen, among light grey ones.
    QImage chart(240, 160, QImage::Format_RGB32);
    chart.fill(qRgb(160, 160, 160));
    QPainter(&chart).fillRect(QRect(80, 40, 80, 80), QColor(0, 40, 140));
    QTest::newRow("chart-blue-patch") << chart << 0.0 << 100.0 * 6400 / 38400 << 1e-9;

    // A truly black patch on a saturated blue ground is counted, the ground is not.
    QImage black(200, 100, QImage::Format_RGB32);
    black.fill(qRgb(10, 30, 200));
    QPainter(&black).fillRect(QRect(0, 0, 50, 40), Qt::black);
    QTest::newRow("black-on-saturated-blue") << black << 10.0 << 0.0 << 1e-9;

    // Large enough to be sampled: the shares hold.
    const QImage big = aurora.scaled(2400, 1800);
    QTest::newRow("aurora-sampled") << big << 0.04 << 99.96 << 0.1;
}

void TestImageAnalysis::blockedSharesOfScenes()
{
    QFETCH(QImage, scene);
    QFETCH(double, blockedPercent);
    QFETCH(double, channelPercent);
    QFETCH(double, tolerance);
    const Histogram h = histogram(scene);
    QVERIFY2(std::abs(h.blockedPercent() - blockedPercent) <= tolerance, qPrintable(QString::number(h.blockedPercent())));
    QVERIFY2(std::abs(h.channelAtZeroPercent() - channelPercent) <= tolerance,
             qPrintable(QString::number(h.channelAtZeroPercent())));
    // The overlay paints what the figures count.
    if (scene.width() * scene.height() <= 600'000) {
        const QImage mask = clippingMask(scene, scene.rect(), blownMark, blockedMark, channelMark);
        QCOMPARE(quint64(countColour(mask, blockedMark)), h.blocked);
        QCOMPARE(quint64(countColour(mask, channelMark)), h.channelAtZero);
    }
}

void TestImageAnalysis::clipping_data()
{
    QTest::addColumn<QRgb>("pixel");
    QTest::addColumn<QRgb>("expected");

    QTest::newRow("white-blown") << qRgb(255, 255, 255) << blownMark;
    QTest::newRow("one-channel-blown") << qRgb(120, 255, 130) << blownMark;
    QTest::newRow("black-blocked") << qRgb(0, 0, 0) << blockedMark;
    QTest::newRow("near-black-blocked") << qRgb(4, 4, 4) << blockedMark;
    QTest::newRow("just-above-blocked") << qRgb(5, 5, 5) << QRgb(0);
    // The deepest navy is dark by luminance; a little lighter, it is a colour.
    QTest::newRow("deepest-navy-blocked") << qRgb(0, 0, 55) << blockedMark;
    QTest::newRow("navy-channel-at-zero") << qRgb(0, 0, 70) << channelMark;
    QTest::newRow("dark-purple-channel-at-zero") << qRgb(60, 0, 80) << channelMark;
    QTest::newRow("dark-edge-channel-at-zero") << qRgb(0, 80, 60) << channelMark;
    QTest::newRow("bright-with-a-zero") << qRgb(0, 90, 60) << channelMark;
    QTest::newRow("saturated-orange") << qRgb(240, 130, 0) << channelMark;
    QTest::newRow("aurora-green") << qRgb(0, 210, 110) << channelMark;
    // Saturated red is at both ends at once: the highlight wins.
    QTest::newRow("both-ends") << qRgb(255, 0, 0) << blownMark;
    QTest::newRow("just-inside") << qRgb(254, 1, 254) << QRgb(0);
    QTest::newRow("mid") << qRgb(128, 128, 128) << QRgb(0);
    // The alpha byte plays no part, even at 0 or 255.
    QTest::newRow("transparent-mid") << qRgba(128, 128, 128, 0) << QRgb(0);
    QTest::newRow("transparent-black") << qRgba(0, 0, 0, 0) << blockedMark;
}

void TestImageAnalysis::clipping()
{
    QFETCH(QRgb, pixel);
    QFETCH(QRgb, expected);

    // The pixel alone, then surrounded by plain grey: only its place is marked.
    QImage image(7, 5, QImage::Format_ARGB32);
    image.fill(qRgb(100, 100, 100));
    image.setPixel(3, 2, pixel);
    const QImage mask = clippingMask(image, image.rect(), blownMark, blockedMark, channelMark);
    QCOMPARE(mask.size(), image.size());
    QCOMPARE(mask.format(), QImage::Format_ARGB32_Premultiplied);
    QCOMPARE(mask.pixel(3, 2), expected);
    QCOMPARE(countColour(mask, 0), expected ? 34 : 35);
    // Without a colour for them, channels at 0 are not marked.
    QCOMPARE(clippingMask(image, image.rect(), blownMark, blockedMark).pixel(3, 2),
             expected == channelMark ? QRgb(0) : expected);

    const Histogram h = histogram(image);
    QCOMPARE(h.blown, quint64(expected == blownMark));
    const bool dark = 0.2126 * qRed(pixel) + 0.7152 * qGreen(pixel) + 0.0722 * qBlue(pixel) < 4.5;
    const bool zero = qRed(pixel) == 0 || qGreen(pixel) == 0 || qBlue(pixel) == 0;
    QCOMPARE(h.blocked, quint64(dark));
    QCOMPARE(h.channelAtZero, quint64(zero && !dark));
}

void TestImageAnalysis::clippingRegion()
{
    // Known clipped pixels: a blown block of 10 × 10, a blocked one of 20 × 5.
    QImage image(100, 60, QImage::Format_RGB32);
    image.fill(qRgb(90, 100, 110));
    QPainter painter(&image);
    painter.fillRect(QRect(10, 10, 10, 10), Qt::white);
    painter.fillRect(QRect(60, 40, 20, 5), Qt::black);
    painter.end();

    const Histogram h = histogram(image);
    QCOMPARE(h.blown, quint64(100));
    QCOMPARE(h.blocked, quint64(100));
    QCOMPARE(h.blownPercent(), 100.0 * 100 / 6000);

    const QImage whole = clippingMask(image, image.rect(), blownMark, blockedMark);
    QCOMPARE(countColour(whole, blownMark), 100);
    QCOMPARE(countColour(whole, blockedMark), 100);

    // A region reaching past the photo is cut to it; its mask is in the region's own coordinates.
    const QImage part = clippingMask(image, QRect(15, 15, 200, 200), blownMark, blockedMark);
    QCOMPARE(part.size(), QSize(85, 45));
    QCOMPARE(countColour(part, blownMark), 25);
    QCOMPARE(part.pixel(0, 0), blownMark);
    QCOMPARE(countColour(part, blockedMark), 100);
}

void TestImageAnalysis::clippingFromAMask_data()
{
    QTest::addColumn<QRgb>("pixel");
    QTest::addColumn<bool>("maskSet");
    QTest::addColumn<QRgb>("want");
    // The mask alone says what is blown; the shown pixels still say what is blocked.
    QTest::newRow("white, mask clear") << qRgb(255, 255, 255) << false << QRgb(0);
    QTest::newRow("mid grey, mask set") << qRgb(128, 128, 128) << true << blownMark;
    QTest::newRow("black, mask clear") << qRgb(0, 0, 0) << false << blockedMark;
    QTest::newRow("black, mask set") << qRgb(0, 0, 0) << true << blownMark;
    QTest::newRow("near black, mask clear") << qRgb(3, 2, 4) << false << blockedMark;
    QTest::newRow("pure blue, mask clear") << qRgb(0, 0, 255) << false << channelMark;
    QTest::newRow("orange, mask clear") << qRgb(255, 140, 0) << false << channelMark;
}

void TestImageAnalysis::clippingFromAMask()
{
    QFETCH(QRgb, pixel);
    QFETCH(bool, maskSet);
    QFETCH(QRgb, want);
    QImage image(20, 10, QImage::Format_RGB32);
    image.fill(qRgb(128, 128, 128));
    image.setPixel(13, 6, pixel);
    const QRect region(10, 4, 6, 5);
    // A 1-bit mask of the region, as a RAW render gives it.
    QImage mask(region.size(), QImage::Format_Mono);
    mask.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
    mask.fill(0);
    if (maskSet)
        mask.setPixel(3, 2, 1);
    const QImage got = clippingMask(image, region, blownMark, blockedMark, mask, channelMark);
    QCOMPARE(got.size(), region.size());
    QCOMPARE(got.pixel(3, 2), want);
    for (int y = 0; y < got.height(); ++y)
        for (int x = 0; x < got.width(); ++x)
            if (x != 3 || y != 2)
                QCOMPARE(got.pixel(x, y), QRgb(0));

    // A mask that does not fit the region is no source of truth.
    const QImage unfit = clippingMask(image, region, blownMark, blockedMark, mask.copy(0, 0, 3, 3), channelMark);
    QCOMPARE(unfit, clippingMask(image, region, blownMark, blockedMark, channelMark));
}

void TestImageAnalysis::markedShareOfMasks_data()
{
    QTest::addColumn<QImage>("mask");
    QTest::addColumn<double>("share");
    // 13 pixels wide: the last byte of each 1-bit row is partly padding.
    const QList<QPoint> marks{{0, 0}, {7, 0}, {8, 1}, {12, 1}, {12, 2}};
    QImage grey(13, 3, QImage::Format_Grayscale8);
    grey.fill(0);
    for (const QPoint &p : marks)
        grey.setPixelColor(p, Qt::white);
    const QImage mono = grey.convertToFormat(QImage::Format_Mono, Qt::ThresholdDither);
    QImage inverted = mono;
    inverted.invertPixels();
    QList<QRgb> table = inverted.colorTable();
    std::swap(table[0], table[1]);
    inverted.setColorTable(table); // the same picture, white at index 0
    QImage padded = mono;
    for (int y = 0; y < padded.height(); ++y)
        padded.scanLine(y)[1] |= 0x07; // the padding bits set
    QTest::newRow("grey") << grey << 5.0 / 39.0;
    QTest::newRow("one bit") << mono << 5.0 / 39.0;
    QTest::newRow("one bit, white at 0") << inverted << 5.0 / 39.0;
    QTest::newRow("one bit, padding set") << padded << 5.0 / 39.0;
    QTest::newRow("one bit, lsb first") << mono.convertToFormat(QImage::Format_MonoLSB) << 5.0 / 39.0;
    QTest::newRow("null") << QImage() << 0.0;
}

void TestImageAnalysis::markedShareOfMasks()
{
    QFETCH(QImage, mask);
    QFETCH(double, share);
    QCOMPARE(markedShare(mask), share);
}

void TestImageAnalysis::peakingSeparatesSharpFromBlurred_data()
{
    QTest::addColumn<int>("radius");
    QTest::addColumn<double>("strengthRatio");
    QTest::addColumn<double>("shareRatio");

    // A blur the eye sees at once must leave much less marked; a slight one still less.
    QTest::newRow("slightly-soft") << 1 << 1.3 << 2.0;
    QTest::newRow("out-of-focus") << 3 << 2.5 << 10.0;
    QTest::newRow("far-out") << 6 << 4.0 << 50.0;
}

void TestImageAnalysis::peakingSeparatesSharpFromBlurred()
{
    QFETCH(int, radius);
    QFETCH(double, strengthRatio);
    QFETCH(double, shareRatio);

    const QImage sharp = sharpScene();
    const QImage soft = blurred(sharp, radius);
    const Peaking a = focusPeaking(sharp, sharp.rect(), tint);
    const Peaking b = focusPeaking(soft, soft.rect(), tint);
    const QString numbers = QStringLiteral("sharp: %1 %2 %3; blurred: %4 %5 %6")
                                .arg(a.strength)
                                .arg(a.markedShare)
                                .arg(a.threshold)
                                .arg(b.strength)
                                .arg(b.markedShare)
                                .arg(b.threshold);
    // The sharp scene shows an outline: some, but not most, of it marked.
    QVERIFY2(a.markedShare > 0.005 && a.markedShare <= peakingTopShare + 0.005, qPrintable(numbers));
    QVERIFY2(a.strength >= strengthRatio * b.strength, qPrintable(numbers));
    QVERIFY2(a.markedShare >= shareRatio * b.markedShare, qPrintable(numbers));
    QCOMPARE(countColour(a.mask, tint), qRound(a.markedShare * sharp.width() * sharp.height()));
}

void TestImageAnalysis::peakingMarksEdgesOnly()
{
    // One vertical edge from black to white: marked along it, nowhere else,
    // and a flat picture has nothing to mark, however the threshold falls.
    QImage image(64, 32, QImage::Format_RGB32);
    image.fill(Qt::black);
    QPainter(&image).fillRect(QRect(32, 0, 32, 32), Qt::white);
    const Peaking edge = focusPeaking(image, image.rect(), tint);
    QVERIFY(edge.threshold >= peakingFloor);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const bool nearEdge = x >= 30 && x <= 33;
            if (!nearEdge)
                QCOMPARE(edge.mask.pixel(x, y), QRgb(0));
        }
        QCOMPARE(edge.mask.pixel(31, y), tint);
        QCOMPARE(edge.mask.pixel(32, y), tint);
    }

    QImage flat(64, 32, QImage::Format_RGB32);
    flat.fill(qRgb(120, 130, 140));
    const Peaking none = focusPeaking(flat, flat.rect(), tint);
    QCOMPARE(none.markedShare, 0.0);
    QCOMPARE(none.strength, 0.0);

    // Faint noise (a few luma steps) stays below the floor.
    QImage noisy = flat;
    for (int y = 0; y < noisy.height(); ++y)
        for (int x = 0; x < noisy.width(); ++x)
            noisy.setPixel(x, y, qRgb(120 + (x * 7 + y * 13) % 5, 130 + (x * 11 + y * 3) % 5, 140));
    QCOMPARE(focusPeaking(noisy, noisy.rect(), tint).markedShare, 0.0);
}

void TestImageAnalysis::peakingOfARegionUsesThePhotoAroundIt()
{
    // An edge exactly on the region's border is found from the pixels beyond
    // it; the photo's own border is no edge.
    QImage image(64, 32, QImage::Format_RGB32);
    image.fill(Qt::black);
    QPainter(&image).fillRect(QRect(32, 0, 32, 32), Qt::white);
    const Peaking right = focusPeaking(image, QRect(32, 0, 32, 32), tint);
    QCOMPARE(right.mask.size(), QSize(32, 32));
    QCOMPARE(right.mask.pixel(0, 10), tint);
    QCOMPARE(right.mask.pixel(31, 10), QRgb(0));
    QCOMPARE(right.mask.pixel(20, 0), QRgb(0));

    const Peaking outside = focusPeaking(image, QRect(100, 100, 10, 10), tint);
    QVERIFY(outside.mask.isNull());
}

void TestImageAnalysis::emptyInput()
{
    QVERIFY(histogram(QImage()).isEmpty());
    QCOMPARE(histogram(QImage()).blownPercent(), 0.0);
    QVERIFY(clippingMask(QImage(), QRect(0, 0, 5, 5), blownMark, blockedMark).isNull());
    QVERIFY(focusPeaking(QImage(), QRect(0, 0, 5, 5), tint).mask.isNull());
    // A single pixel has neighbours only of itself.
    QImage dot(1, 1, QImage::Format_RGB32);
    dot.fill(Qt::white);
    QCOMPARE(focusPeaking(dot, dot.rect(), tint).markedShare, 0.0);
}

QTEST_MAIN(TestImageAnalysis)
#include "tst_imageanalysis.moc"
