#include "imaging/imageanalysis.h"

#include <QtAlgorithms>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

namespace ImageAnalysis {

namespace {

// Rec. 709 luma weights in 1/256.
constexpr int lumaRed = 54;
constexpr int lumaGreen = 183;
constexpr int lumaBlue = 19;

inline int lumaOf(QRgb pixel)
{
    return (lumaRed * qRed(pixel) + lumaGreen * qGreen(pixel) + lumaBlue * qBlue(pixel) + 128) >> 8;
}

// The pixels as 32-bit RGB, read in place where they already are. An
// alpha channel is ignored: what is shown of the photo is its colour.
QImage asRgb32(const QImage &image)
{
    switch (image.format()) {
    case QImage::Format_RGB32:
    case QImage::Format_ARGB32:
    case QImage::Format_ARGB32_Premultiplied:
        return image;
    default:
        return image.convertToFormat(QImage::Format_RGB32);
    }
}

// Whether any of the three colour bytes of `rgb` (the top byte set) is zero.
inline quint32 anyZeroByte(quint32 rgb)
{
    return (rgb - 0x01010101u) & ~rgb & 0x80808080u;
}

// Luma (in 1/256) below which a pixel is a blocked shadow: the rounded
// luma below blockedBelowLuma.
constexpr int darkLimit = blockedBelowLuma * 256 - 128;

inline bool isDark(int r, int g, int b)
{
    return lumaRed * r + lumaGreen * g + lumaBlue * b < darkLimit;
}

// `blocked` for a truly dark pixel, else `channelAtZero` where a channel is
// at 0, else 0. Kept to arithmetic and masks, which the vectoriser takes whole.
inline QRgb lowColour(QRgb pixel, QRgb blocked, QRgb channelAtZero)
{
    const int luma = lumaRed * int(qRed(pixel)) + lumaGreen * int(qGreen(pixel)) + lumaBlue * int(qBlue(pixel));
    const quint32 dark = 0u - (quint32(luma - darkLimit) >> 31);
    // The alpha byte set, so that only the colour bytes can be found zero.
    const quint32 zero = 0u - quint32(anyZeroByte(pixel | 0xff000000u) != 0);
    return (blocked & dark) | (channelAtZero & zero & ~dark);
}

inline QRgb clipColour(QRgb pixel, QRgb blown, QRgb blocked, QRgb channelAtZero)
{
    const quint32 high = 0u - quint32(anyZeroByte(~pixel | 0xff000000u) != 0);
    return (blown & high) | (lowColour(pixel, blocked, channelAtZero) & ~high);
}

} // namespace

Histogram histogram(const QImage &source, qint64 maxSamples)
{
    Histogram result;
    if (source.isNull())
        return result;
    const QImage image = asRgb32(source);
    const int width = image.width();
    const int height = image.height();
    // The same step along both axes keeps the sample grid square.
    int step = 1;
    while (maxSamples > 0 && qint64((width + step - 1) / step) * ((height + step - 1) / step) > maxSamples)
        ++step;

    // Two sets of counters, taken in turn, so that neighbouring pixels of the
    // same value do not wait on each other's increment.
    std::array<std::array<quint32, 256>, 2> red{}, green{}, blue{}, luma{};
    quint64 blown = 0;
    quint64 blocked = 0;
    quint64 channelAtZero = 0;
    for (int y = 0; y < height; y += step) {
        const auto *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        int lane = 0;
        for (int x = 0; x < width; x += step, lane ^= 1) {
            const QRgb pixel = line[x];
            const int r = qRed(pixel);
            const int g = qGreen(pixel);
            const int b = qBlue(pixel);
            ++red[lane][r];
            ++green[lane][g];
            ++blue[lane][b];
            ++luma[lane][(lumaRed * r + lumaGreen * g + lumaBlue * b + 128) >> 8];
            blown += (r == 255) | (g == 255) | (b == 255);
            const bool dark = isDark(r, g, b);
            blocked += dark;
            channelAtZero += ((r == 0) | (g == 0) | (b == 0)) & !dark;
        }
        result.samples += quint64((width + step - 1) / step);
    }
    for (int i = 0; i < 256; ++i) {
        result.red[i] = red[0][i] + red[1][i];
        result.green[i] = green[0][i] + green[1][i];
        result.blue[i] = blue[0][i] + blue[1][i];
        result.luma[i] = luma[0][i] + luma[1][i];
    }
    result.blown = blown;
    result.blocked = blocked;
    result.channelAtZero = channelAtZero;
    return result;
}

QImage clippingMask(const QImage &source, const QRect &wanted, QRgb blown, QRgb blocked, QRgb channelAtZero)
{
    const QRect region = wanted.intersected(source.rect());
    if (region.isEmpty())
        return QImage();
    const QImage image = asRgb32(source);
    QImage mask(region.size(), QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < region.height(); ++y) {
        const QRgb *in = reinterpret_cast<const QRgb *>(image.constScanLine(region.y() + y)) + region.x();
        auto *out = reinterpret_cast<QRgb *>(mask.scanLine(y));
        for (int x = 0; x < region.width(); ++x) {
            out[x] = clipColour(in[x], blown, blocked, channelAtZero);
        }
    }
    return mask;
}

QImage clippingMask(const QImage &source, const QRect &wanted, QRgb blown, QRgb blocked, const QImage &blownMask,
                    QRgb channelAtZero)
{
    const QRect region = wanted.intersected(source.rect());
    if (region.isEmpty() || blownMask.size() != region.size())
        return clippingMask(source, wanted, blown, blocked, channelAtZero);
    const QImage image = asRgb32(source);
    const QImage marks = blownMask.format() == QImage::Format_Grayscale8
                             ? blownMask
                             : blownMask.convertToFormat(QImage::Format_Grayscale8);
    QImage mask(region.size(), QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < region.height(); ++y) {
        const QRgb *in = reinterpret_cast<const QRgb *>(image.constScanLine(region.y() + y)) + region.x();
        const uchar *marked = marks.constScanLine(y);
        auto *out = reinterpret_cast<QRgb *>(mask.scanLine(y));
        for (int x = 0; x < region.width(); ++x) {
            // Only the mask says blown: pure blue, at 255 and 0, is a
            // channel at 0 unless the sensor clipped there.
            out[x] = marked[x] ? blown : lowColour(in[x], blocked, channelAtZero);
        }
    }
    return mask;
}

double markedShare(const QImage &mask)
{
    if (mask.isNull())
        return 0;
    quint64 marked = 0;
    if (mask.format() == QImage::Format_Mono || mask.format() == QImage::Format_MonoLSB) {
        // Which index is white depends on how the mask was made.
        const QList<QRgb> table = mask.colorTable();
        const bool oneIsWhite = table.size() < 2 || qGray(table[1]) > qGray(table[0]);
        const int width = mask.width();
        const int fullBytes = width / 8;
        const int rest = width % 8;
        const uchar tailBits = mask.format() == QImage::Format_Mono ? uchar(0xff00 >> rest) : uchar((1u << rest) - 1);
        for (int y = 0; y < mask.height(); ++y) {
            const uchar *line = mask.constScanLine(y);
            for (int i = 0; i < fullBytes; ++i)
                marked += quint64(qPopulationCount(quint8(oneIsWhite ? line[i] : ~line[i])));
            if (rest)
                marked += quint64(
                    qPopulationCount(quint8((oneIsWhite ? line[fullBytes] : ~line[fullBytes]) & tailBits)));
        }
    } else {
        const QImage grey = mask.format() == QImage::Format_Grayscale8 ? mask
                                                                       : mask.convertToFormat(QImage::Format_Grayscale8);
        for (int y = 0; y < grey.height(); ++y) {
            const uchar *line = grey.constScanLine(y);
            for (int x = 0; x < grey.width(); ++x)
                marked += line[x] != 0;
        }
    }
    return double(marked) / (double(mask.width()) * double(mask.height()));
}

Peaking focusPeaking(const QImage &source, const QRect &wanted, QRgb colour, double topShare)
{
    Peaking result;
    const QRect region = wanted.intersected(source.rect());
    if (region.isEmpty())
        return result;
    const QImage image = asRgb32(source);
    const int w = region.width();
    const int h = region.height();
    // The blur and the gradient each reach one pixel out: the luma is taken
    // two pixels beyond the region, from the photo around it where there is
    // photo, repeating its edge where there is none.
    constexpr int border = 2;
    const int lw = w + 2 * border;
    const int bw = lw - 2; // the blurred rows: one pixel beyond the region
    std::vector<int> columns(lw);
    for (int i = 0; i < lw; ++i)
        columns[i] = std::clamp(region.x() - border + i, 0, image.width() - 1);
    const int firstInside = std::clamp(border - region.x(), 0, lw);
    const int endInside = std::clamp(image.width() - region.x() + border, firstInside, lw);

    // Rows flow through two rings of three: the horizontal [1 2 1] pass of the
    // luma (0…1020), then the vertical one (the blurred luma in 1/16, 0…4080),
    // so that every row is read while it is still in the cache.
    std::vector<quint8> lumaRow(lw);
    std::array<quint32, 256> tones{};
    std::vector<quint16> acrossRing(size_t(bw) * 3);
    std::vector<quint16> blurredRing(size_t(bw) * 3);
    const auto across = [&](int j) { return acrossRing.data() + size_t(j % 3) * bw; };
    const auto blurred = [&](int j) { return blurredRing.data() + size_t(j % 3) * bw; };
    const auto makeAcross = [&](int j) {
        const int y = std::clamp(region.y() - border + j, 0, image.height() - 1);
        const QRgb *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        const QRgb *inside = line + columns[firstInside] - firstInside;
        quint8 *l = lumaRow.data();
        for (int i = firstInside; i < endInside; ++i)
            l[i] = quint8(lumaOf(inside[i]));
        for (int i = 0; i < firstInside; ++i)
            l[i] = quint8(lumaOf(line[columns[i]]));
        for (int i = endInside; i < lw; ++i)
            l[i] = quint8(lumaOf(line[columns[i]]));
        if (j >= border && j < h + border && j % 2 == 0) {
            for (int i = border; i < w + border; i += 2)
                ++tones[l[i]];
        }
        quint16 *out = across(j);
        for (int i = 0; i < bw; ++i)
            out[i] = quint16(l[i] + 2 * l[i + 1] + l[i + 2]);
    };
    const auto makeBlurred = [&](int j) {
        const quint16 *a = across(j);
        const quint16 *b = across(j + 1);
        const quint16 *c = across(j + 2);
        quint16 *out = blurred(j);
        for (int i = 0; i < bw; ++i)
            out[i] = quint16(a[i] + 2 * b[i] + c[i]);
    };

    // Central differences of the blurred luma, |gx| + |gy| back in luma steps,
    // kept to 0…255: no threshold ever comes near the top.
    constexpr int bins = 256;
    std::vector<quint8> magnitude(size_t(w) * h);
    std::array<quint32, bins> counts{};
    makeAcross(0);
    makeAcross(1);
    makeAcross(2);
    makeBlurred(0);
    makeAcross(3);
    makeBlurred(1);
    for (int y = 0; y < h; ++y) {
        makeAcross(y + 4);
        makeBlurred(y + 2);
        const quint16 *above = blurred(y);
        const quint16 *row = blurred(y + 1);
        const quint16 *below = blurred(y + 2);
        quint8 *out = magnitude.data() + size_t(y) * w;
        for (int x = 0; x < w; ++x) {
            const int gx = int(row[x + 2]) - int(row[x]);
            const int gy = int(below[x + 1]) - int(above[x + 1]);
            out[x] = quint8(std::min((std::abs(gx) + std::abs(gy)) >> 4, bins - 1));
        }
        // Every other row and column is enough to place the threshold.
        if (y % 2 == 0) {
            for (int x = 0; x < w; x += 2)
                ++counts[out[x]];
        }
    }
    quint64 counted = 0;
    for (quint32 n : counts)
        counted += n;

    // The threshold: the largest magnitude that `topShare` of the pixels
    // reach (more where many share it: a clean edge is marked whole), but no
    // less than a share of the picture's tonal range. Blurring leaves the
    // range as it was and flattens the edges, so a blurred copy has far
    // fewer edges that reach it; a flat, foggy picture gets a lower one.
    const auto reaching = quint64(std::llround(std::clamp(topShare, 0.0, 1.0) * double(counted)));
    int threshold = bins - 1;
    quint64 above = counts[threshold];
    while (threshold > 1 && above < reaching)
        above += counts[--threshold];
    quint64 toneCount = 0;
    for (quint32 n : tones)
        toneCount += n;
    // The darkest and brightest half per cent are specks, not the range.
    const quint64 speck = toneCount / 200;
    int darkest = 0;
    for (quint64 seen = tones[0]; darkest < 255 && seen <= speck;)
        seen += tones[++darkest];
    int brightest = 255;
    for (quint64 seen = tones[255]; brightest > 0 && seen <= speck;)
        seen += tones[--brightest];
    const int rangeThreshold = int(peakingRangeShare * std::max(0, brightest - darkest));
    threshold = std::max({threshold, rangeThreshold, peakingFloor});
    result.threshold = threshold;

    // Strength: the mean of the steepest 1 %.
    const quint64 steepest = std::max<quint64>(1, counted / 100);
    quint64 taken = 0;
    double sum = 0;
    for (int m = bins - 1; m >= 0 && taken < steepest; --m) {
        const quint64 n = std::min<quint64>(counts[m], steepest - taken);
        taken += n;
        sum += double(n) * m;
    }
    result.strength = sum / double(taken);

    result.mask = QImage(region.size(), QImage::Format_ARGB32_Premultiplied);
    const quint8 limit = quint8(threshold);
    quint64 marked = 0;
    for (int y = 0; y < h; ++y) {
        const quint8 *in = magnitude.data() + size_t(y) * w;
        auto *out = reinterpret_cast<QRgb *>(result.mask.scanLine(y));
        int rowMarked = 0;
        for (int x = 0; x < w; ++x) {
            const QRgb on = in[x] >= limit ? 0xffffffffu : 0u;
            out[x] = colour & on;
            rowMarked += int(on & 1u);
        }
        marked += quint64(rowMarked);
    }
    const quint64 pixels = quint64(w) * h;
    result.markedShare = double(marked) / double(pixels);
    return result;
}

} // namespace ImageAnalysis
