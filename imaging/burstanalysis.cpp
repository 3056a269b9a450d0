#include "imaging/burstanalysis.h"

#include "core/photopairs.h"
#include "imaging/decodesupport_p.h"
#include "imaging/exifsummary.h"
#include "imaging/jpegluma.h"
#include "imaging/photodecoder.h"

#include <QImageReader>
#include <QScopeGuard>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <limits>
#include <vector>

namespace {

QImage toLuma(const QImage &image)
{
    if (image.isNull() || image.format() == QImage::Format_Grayscale8)
        return image;
    return image.convertToFormat(QImage::Format_Grayscale8);
}

// The DCT scale denominator giving a side nearest `width` from above, never
// below two thirds of it: 6000 px gives 1/4 (1500 px), 4000 px 1/4 (1000 px).
int scaleDenominator(int storedWidth, int width)
{
    int denominator = 1;
    for (int d : {2, 4, 8}) {
        if ((storedWidth + d - 1) / d * 3 >= width * 2)
            denominator = d;
    }
    return denominator;
}

// Analyses running now, on any thread.
std::atomic<int> analysesRunning{0};

// At 1/4 and 1/8 the luma comes straight from the coefficients: the entropy
// decoding is all that is left of the cost. It takes the cores that other
// analyses leave idle: one photo looked at alone gets them all; a folder,
// analysed on every core at once, one each, with no threads of its own at
// another priority than the workers'.
QImage lumaFromCoefficients(const uchar *stream, qint64 length, int denominator)
{
    const int running = ++analysesRunning;
    const auto done = qScopeGuard([] { --analysesRunning; });
    const int threads = qBound(1, QThread::idealThreadCount() / running, 4);
    return decodeJpegLuma(stream, length, denominator, threads);
}

QImage jpegLumaFromCoefficients(const QString &path, int denominator)
{
    decodesupport::MappedFile file;
    if (!file.open(path, 4))
        return QImage();
    const QImage luma = lumaFromCoefficients(file.data(), file.size(), denominator);
    return luma.isNull() ? luma : applyOrientation(luma, decodesupport::jpegExifOrientation(file.data(), file.size()));
}

// The largest JPEG preview a RAW file holds, when it is large enough for the
// decode from coefficients; null otherwise.
QImage rawLumaFromCoefficients(const QString &path, int width)
{
    using namespace decodesupport;
    MappedFile file;
    if (!file.open(path, 8))
        return QImage();
    const uchar *bytes = file.data();
    const qint64 length = file.size();
    const QList<Ranked> ranked = probeAll(bytes, length, findEmbeddedJpegPreviews(bytes, length));
    const auto largest = std::max_element(ranked.cbegin(), ranked.cend(), [](const Ranked &a, const Ranked &b) {
        return areaOf(a.size) < areaOf(b.size);
    });
    if (largest == ranked.cend() || areaOf(largest->size) <= 0)
        return QImage();
    const int denominator = scaleDenominator(extentOf(largest->size), width);
    if (denominator < 4)
        return QImage();
    const uchar *stream = bytes + largest->candidate.offset;
    const QImage luma = lumaFromCoefficients(stream, largest->candidate.length, denominator);
    if (luma.isNull())
        return luma;
    // A preview that carries its own turn is shown by it, as the viewer does.
    const int own = jpegExifOrientation(stream, largest->candidate.length);
    return applyOrientation(luma, own > 1 ? own : fileOrientation(bytes, length));
}

QImage reducedJpeg(const QString &path, int width)
{
    QImageReader reader(path, "jpeg");
    reader.setAutoTransform(true);
    const QSize stored = reader.size();
    if (!stored.isValid())
        return QImage();
    // The longer side, so that an upright portrait photo is reduced as its landscape twin is.
    const int d = scaleDenominator(qMax(stored.width(), stored.height()), width);
    if (d >= 4) {
        const QImage luma = jpegLumaFromCoefficients(path, d);
        if (!luma.isNull())
            return luma;
    }
    // Exactly the size libjpeg gives at 1/d, so that the reader scales no further.
    if (d > 1)
        reader.setScaledSize(QSize((stored.width() + d - 1) / d, (stored.height() + d - 1) / d));
    return reader.read();
}

QImage reducedOther(const QString &path, int width)
{
    QImageReader reader(path);
    reader.setAutoTransform(true);
    const QSize stored = reader.size();
    if (stored.isValid() && stored.width() > width)
        reader.setScaledSize(QSize(width, qMax(1, int(qint64(stored.height()) * width / stored.width()))));
    return reader.read();
}

double blockMean(const QImage &luma, int x0, int y0, int x1, int y1)
{
    quint64 sum = 0;
    for (int y = y0; y < y1; ++y) {
        const uchar *row = luma.constScanLine(y);
        for (int x = x0; x < x1; ++x)
            sum += row[x];
    }
    const qint64 count = qint64(x1 - x0) * (y1 - y0);
    return count > 0 ? double(sum) / double(count) : 0.0;
}

// The picture at half its size, each pixel the mean of a 2 × 2 block: the
// second, coarser band the focus measure looks at, where noise is averaged
// to a quarter while a blurred frame still differs from a sharp one.
QImage halved(const QImage &luma)
{
    QImage half(luma.width() / 2, luma.height() / 2, QImage::Format_Grayscale8);
    if (half.isNull())
        return half;
    for (int y = 0; y < half.height(); ++y) {
        const uchar *top = luma.constScanLine(2 * y);
        const uchar *bottom = luma.constScanLine(2 * y + 1);
        uchar *out = half.scanLine(y);
        for (int x = 0; x < half.width(); ++x)
            out[x] = uchar((top[2 * x] + top[2 * x + 1] + bottom[2 * x] + bottom[2 * x + 1] + 2) >> 2);
    }
    return half;
}

struct LaplaceSums
{
    double sum = 0;
    double squares = 0;
    qint64 count = 0;
    double variance() const
    {
        if (count < 2)
            return 0;
        const double mean = sum / double(count);
        return qMax(0.0, squares / double(count) - mean * mean);
    }
};

// Sums of the 4-neighbour Laplacian over rows [y0, y1) and columns [x0, x1),
// kept one pixel inside the picture.
LaplaceSums laplaceSums(const QImage &luma, int x0, int y0, int x1, int y1)
{
    LaplaceSums s;
    x0 = qMax(x0, 1);
    y0 = qMax(y0, 1);
    x1 = qMin(x1, luma.width() - 1);
    y1 = qMin(y1, luma.height() - 1);
    const qsizetype stride = luma.bytesPerLine();
    for (int y = y0; y < y1; ++y) {
        const uchar *row = luma.constScanLine(y);
        qint64 sum = 0;
        qint64 squares = 0;
        for (int x = x0; x < x1; ++x) {
            const int l = 4 * row[x] - row[x - 1] - row[x + 1] - row[x - stride] - row[x + stride];
            sum += l;
            squares += qint64(l) * l;
        }
        s.sum += double(sum);
        s.squares += double(squares);
        s.count += qMax(0, x1 - x0);
    }
    return s;
}

// The variance of pixel noise over rows [y0, y1) and columns [x0, x1) of the
// full-size luma, from the 3 × 3 mask that is the difference of two
// Laplacians: blind to brightness, gradients and smooth curvature, so that
// what it sees is mostly noise (Immerkær's estimate, with squares instead of
// absolute values). Every fourth row is enough for a variance.
double noiseVariance(const QImage &luma, int x0, int y0, int x1, int y1)
{
    x0 = qMax(x0, 1);
    y0 = qMax(y0, 1);
    x1 = qMin(x1, luma.width() - 1);
    y1 = qMin(y1, luma.height() - 1);
    if (x1 <= x0 || y1 <= y0)
        return 0;
    const qsizetype stride = luma.bytesPerLine();
    double squares = 0;
    qint64 count = 0;
    for (int y = y0; y < y1; y += 4) {
        const uchar *p = luma.constScanLine(y);
        qint64 rowSquares = 0;
        for (int x = x0; x < x1; ++x) {
            const uchar *a = p + x - stride;
            const uchar *b = p + x + stride;
            const int m = a[-1] + a[1] + b[-1] + b[1] - 2 * (a[0] + b[0] + p[x - 1] + p[x + 1]) + 4 * p[x];
            rowSquares += qint64(m) * m;
        }
        squares += double(rowSquares);
        count += x1 - x0;
    }
    // The mask's squared weights add up to 36.
    return count ? squares / double(count) / 36.0 : 0;
}

// What white noise of variance v puts into the Laplacian's variance: its
// squared weights add up to 20; at half size the noise is v / 4 first.
constexpr double noiseInFull = 20.0;
constexpr double noiseInHalf = 20.0 / 4.0;
// The coarser band counts for less: alone it hardly tells a sharp frame from
// one softened by half a pixel; it speaks where the fine band is drowned.
constexpr double halfBandWeight = 0.15;

// A band's Laplacian variance less the noise's share, shrunk by how far it
// stands above that share (e² / (e + n / 2)): detail no stronger than the
// noise it has to be told from counts for little, so that neither the noise
// itself nor an error in its estimate passes for sharpness.
double reliableEnergy(double variance, double noise)
{
    const double e = variance - noise;
    return e > 0 ? e * e / (e + noise / 2) : 0.0;
}

// The focus energy of a rectangle of the full-size picture: both bands, each
// with the rectangle's own noise discounted.
double bandEnergy(const QImage &luma, const QImage &half, int x0, int y0, int x1, int y1)
{
    const double noise = noiseVariance(luma, x0, y0, x1, y1);
    const double fine = laplaceSums(luma, x0, y0, x1, y1).variance();
    const double coarse = laplaceSums(half, x0 / 2, y0 / 2, x1 / 2, y1 / 2).variance();
    return reliableEnergy(fine, noiseInFull * noise) + halfBandWeight * reliableEnergy(coarse, noiseInHalf * noise);
}

double parseExposureBias(const QString &compensation)
{
    // "-0.667 EV"; absent when the camera recorded none or zero.
    if (compensation.isEmpty())
        return 0.0;
    bool ok = false;
    const double value = compensation.section(QLatin1Char(' '), 0, 0).toDouble(&ok);
    return ok ? value : std::numeric_limits<double>::quiet_NaN();
}

} // namespace

QImage reducedLuma(const QString &path, int width)
{
    QImage image;
    if (isRawPhotoPath(path)) {
        image = rawLumaFromCoefficients(path, width);
        if (image.isNull())
            image = decodeLargestEmbeddedPreview(path, QSize(width, width));
    } else if (PhotoCore::isJpegPhoto(path)) {
        image = reducedJpeg(path, width);
    }
    if (image.isNull())
        image = reducedOther(path, width);
    return toLuma(image);
}

quint64 differenceHash(const QImage &source)
{
    const QImage luma = toLuma(source);
    if (luma.isNull() || luma.width() < 9 || luma.height() < 8)
        return 0;
    double cells[8][9];
    for (int r = 0; r < 8; ++r) {
        const int y0 = r * luma.height() / 8;
        const int y1 = (r + 1) * luma.height() / 8;
        for (int c = 0; c < 9; ++c) {
            const int x0 = c * luma.width() / 9;
            const int x1 = (c + 1) * luma.width() / 9;
            cells[r][c] = blockMean(luma, x0, y0, x1, y1);
        }
    }
    quint64 hash = 0;
    for (int r = 0; r < 8; ++r) {
        for (int c = 0; c < 8; ++c) {
            hash <<= 1;
            if (cells[r][c] < cells[r][c + 1])
                hash |= 1;
        }
    }
    return hash;
}

double sharpness(const QImage &source, const QRectF &region)
{
    const QImage luma = toLuma(source);
    if (luma.width() < 6 || luma.height() < 6)
        return 0;
    const double mean = blockMean(luma, 0, 0, luma.width(), luma.height());
    // Against division by near black: a dark frame is not infinitely sharp.
    const double norm = qMax(mean, 16.0) * qMax(mean, 16.0);
    const QImage half = halved(luma);
    if (half.isNull())
        return 0;

    const QRectF unit(0, 0, 1, 1);
    const QRectF within = region.isValid() && !region.isEmpty() ? region.intersected(unit) : QRectF();
    if (!within.isEmpty()) {
        return bandEnergy(luma, half, int(within.left() * luma.width()), int(within.top() * luma.height()),
                          int(std::ceil(within.right() * luma.width())),
                          int(std::ceil(within.bottom() * luma.height())))
               / norm;
    }

    constexpr int columns = 8;
    constexpr int rows = 6;
    std::vector<double> tiles;
    tiles.reserve(columns * rows);
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < columns; ++c) {
            tiles.push_back(bandEnergy(luma, half, c * luma.width() / columns, r * luma.height() / rows,
                                       (c + 1) * luma.width() / columns, (r + 1) * luma.height() / rows));
        }
    }
    const size_t best = tiles.size() / 8;
    std::partial_sort(tiles.begin(), tiles.begin() + std::ptrdiff_t(best), tiles.end(), std::greater<double>());
    double sum = 0;
    for (size_t i = 0; i < best; ++i)
        sum += tiles[i];
    return sum / double(best) / norm;
}

QRectF focusRegion(const FocusPoints &focus)
{
    if (focus.isEmpty())
        return QRectF();
    QList<FocusPoint> chosen;
    for (const FocusPoint &point : focus.points) {
        if (point.inFocus.value_or(false))
            chosen.append(point);
    }
    for (const FocusPoint &point : focus.points) {
        if (chosen.isEmpty() && point.selected.value_or(false))
            chosen.append(point);
    }
    if (chosen.isEmpty() && focus.primaryIndex() >= 0)
        chosen.append(focus.points.at(focus.primaryIndex()));
    QRectF region;
    for (const FocusPoint &point : std::as_const(chosen)) {
        const double w = qMax(point.w, 0.1);
        const double h = qMax(point.h, 0.1);
        region |= QRectF(point.x - w / 2, point.y - h / 2, w, h);
    }
    return region.intersected(QRectF(0, 0, 1, 1));
}

PhotoCore::BurstFacts analyseBurstFrame(const QString &path)
{
    const QRectF region = focusRegion(readFocusPoints(path));
    PhotoCore::BurstFacts facts;
    const ExifSummary exif = readExifSummary(path);
    facts.captured = captureTime(exif);
    if (!exif.captured.isEmpty())
        facts.exposureBias = parseExposureBias(exif.compensation);
    const QImage luma = reducedLuma(path);
    if (!luma.isNull()) {
        facts.hash = differenceHash(luma);
        facts.hashed = true;
        facts.sharpness = sharpness(luma, region);
    }
    return facts;
}
