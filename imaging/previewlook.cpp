#include "imaging/previewlook.h"

#include "imaging/decodesupport_p.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

// A channel at or beyond these in either picture has lost what the other
// one shows: the cell tells nothing about the mapping there.
constexpr int clippedAbove = 250;
constexpr int clippedBelow = 2;

// Curves never flatten below this slope, so that detail the render holds is
// not merged away where the preview had few cells to fit, nor steepen beyond
// the other, so that noise is not blown up.
constexpr double minSlope = 0.2;
constexpr double maxSlope = 6.0;

// Beyond this difference (8-bit levels, root mean square) the preview is not
// this render's photo in another look: another frame, another crop, a
// picture style that no curve and matrix describe. The plain render is the
// honest picture then.
constexpr double maxResidual = 14.0;

struct Cell
{
    double render[3] = {0, 0, 0};
    double preview[3] = {0, 0, 0};
    double previewLumaSquares = 0;
    int renderCount = 0;
    int previewCount = 0;
    bool clipped = false;
    double detail = 0; // the preview's luma standard deviation in the cell
};

int grey(int r, int g, int b)
{
    return (r * 54 + g * 183 + b * 19) >> 8;
}

// Sums of `image` over a grid of cells × rows cells, the picture's whole
// frame stretched over the grid, every `step`th row and column.
void accumulate(const QImage &image, int columns, int rows, int step, std::vector<Cell> &cells, bool isPreview)
{
    const int width = image.width();
    const int height = image.height();
    std::vector<int> cellOfColumn(static_cast<size_t>(width));
    for (int x = 0; x < width; ++x)
        cellOfColumn[size_t(x)] = std::min(columns - 1, int(qint64(x) * columns / width));
    const bool packed = image.format() == QImage::Format_RGB888;
    for (int y = step / 2; y < height; y += step) {
        const int row = std::min(rows - 1, int(qint64(y) * rows / height));
        const uchar *line = image.constScanLine(y);
        Cell *rowCells = cells.data() + size_t(row) * size_t(columns);
        for (int x = step / 2; x < width; x += step) {
            int r, g, b;
            decodesupport::rgbAt(line, x, packed, r, g, b);
            Cell &cell = rowCells[cellOfColumn[size_t(x)]];
            const int high = std::max({r, g, b});
            const int low = std::min({r, g, b});
            if (high >= clippedAbove || (isPreview && low <= clippedBelow && high > 3 * clippedBelow))
                cell.clipped = true;
            double *sum = isPreview ? cell.preview : cell.render;
            sum[0] += r;
            sum[1] += g;
            sum[2] += b;
            if (isPreview) {
                const double l = grey(r, g, b);
                cell.previewLumaSquares += l * l;
                ++cell.previewCount;
            } else {
                ++cell.renderCount;
            }
        }
    }
}

// Non-decreasing least squares fit of `y` (weights `w`) in place: pool
// adjacent violators.
void isotonic(std::vector<double> &y, std::vector<double> w)
{
    std::vector<size_t> start;
    std::vector<double> value, weight;
    for (size_t i = 0; i < y.size(); ++i) {
        start.push_back(i);
        value.push_back(y[i]);
        weight.push_back(w[i]);
        while (value.size() > 1 && value[value.size() - 2] > value.back()) {
            const size_t k = value.size() - 1;
            const double total = weight[k - 1] + weight[k];
            value[k - 1] = (value[k - 1] * weight[k - 1] + value[k] * weight[k]) / total;
            weight[k - 1] = total;
            value.pop_back();
            weight.pop_back();
            start.pop_back();
        }
    }
    for (size_t b = 0; b < start.size(); ++b) {
        const size_t end = b + 1 < start.size() ? start[b + 1] : y.size();
        for (size_t i = start[b]; i < end; ++i)
            y[i] = value[b];
    }
}

// A monotone curve through the points (x, y), 0 → 0 and 255 → 255 where
// nothing was seen, as a table of 256.
std::array<double, 256> monotoneCurve(const std::vector<double> &xs, const std::vector<double> &ys)
{
    constexpr int bins = 64;
    std::array<double, bins> sx{}, sy{}, n{};
    for (size_t i = 0; i < xs.size(); ++i) {
        const int b = std::clamp(int(xs[i] * bins / 256.0), 0, bins - 1);
        sx[size_t(b)] += xs[i];
        sy[size_t(b)] += ys[i];
        n[size_t(b)] += 1;
    }
    std::vector<double> kx, ky, kw;
    for (int b = 0; b < bins; ++b) {
        // A bin of one or two cells is as likely a misaligned edge as a tone.
        if (n[size_t(b)] < 3)
            continue;
        kx.push_back(sx[size_t(b)] / n[size_t(b)]);
        ky.push_back(sy[size_t(b)] / n[size_t(b)]);
        kw.push_back(n[size_t(b)]);
    }
    isotonic(ky, kw);
    kx.insert(kx.begin(), 0.0);
    ky.insert(ky.begin(), 0.0);
    if (kx.back() < 255) {
        kx.push_back(255.0);
        ky.push_back(std::max(255.0, ky.back()));
    }
    for (size_t i = 1; i < kx.size(); ++i) {
        const double dx = kx[i] - kx[i - 1];
        ky[i] = std::clamp(ky[i], ky[i - 1] + minSlope * dx, ky[i - 1] + maxSlope * dx);
    }
    // The top of the range comes back to white, still rising.
    ky.back() = std::min(ky.back(), 255.0);
    for (size_t i = kx.size() - 1; i > 0; --i)
        ky[i - 1] = std::min(ky[i - 1], ky[i] - minSlope * (kx[i] - kx[i - 1]));
    std::array<double, 256> curve{};
    size_t k = 1;
    for (int v = 0; v < 256; ++v) {
        while (k + 1 < kx.size() && kx[k] < v)
            ++k;
        const double t = kx[k] > kx[k - 1] ? (v - kx[k - 1]) / (kx[k] - kx[k - 1]) : 1.0;
        curve[size_t(v)] = std::clamp(ky[k - 1] + std::clamp(t, 0.0, 1.0) * (ky[k] - ky[k - 1]), 0.0, 255.0);
    }
    return curve;
}

double lookUp(const std::array<double, 256> &curve, double v)
{
    const double c = std::clamp(v, 0.0, 255.0);
    const int i = std::min(254, int(c));
    return curve[size_t(i)] + (c - i) * (curve[size_t(i) + 1] - curve[size_t(i)]);
}

// The matrix (rows adding up to 1) taking `from` to `to` in least squares,
// drawn towards the identity where the colours give little to go by.
std::array<double, 9> neutralMatrix(const std::vector<std::array<double, 3>> &from,
                                    const std::vector<std::array<double, 3>> &to)
{
    std::array<double, 9> m{1, 0, 0, 0, 1, 0, 0, 0, 1};
    for (int r = 0; r < 3; ++r) {
        // to[r] - from[2] = a (from[0] - from[2]) + b (from[1] - from[2])
        double a00 = 0, a01 = 0, a11 = 0, b0 = 0, b1 = 0;
        for (size_t i = 0; i < from.size(); ++i) {
            const double u = from[i][0] - from[i][2];
            const double v = from[i][1] - from[i][2];
            const double t = to[i][size_t(r)] - from[i][2];
            a00 += u * u;
            a01 += u * v;
            a11 += v * v;
            b0 += u * t;
            b1 += v * t;
        }
        const double lambda = 0.002 * (a00 + a11) / 2 + 1.0;
        a00 += lambda;
        a11 += lambda;
        b0 += lambda * (r == 0 ? 1 : 0);
        b1 += lambda * (r == 1 ? 1 : 0);
        const double det = a00 * a11 - a01 * a01;
        if (std::abs(det) < 1e-9)
            continue;
        const double a = (b0 * a11 - b1 * a01) / det;
        const double b = (a00 * b1 - a01 * b0) / det;
        m[size_t(3 * r)] = a;
        m[size_t(3 * r + 1)] = b;
        m[size_t(3 * r + 2)] = 1 - a - b;
    }
    return m;
}

bool invert(const std::array<double, 9> &m, std::array<double, 9> &inverse)
{
    const double det = m[0] * (m[4] * m[8] - m[5] * m[7]) - m[1] * (m[3] * m[8] - m[5] * m[6])
                       + m[2] * (m[3] * m[7] - m[4] * m[6]);
    if (std::abs(det) < 0.05)
        return false;
    inverse = {(m[4] * m[8] - m[5] * m[7]) / det, (m[2] * m[7] - m[1] * m[8]) / det, (m[1] * m[5] - m[2] * m[4]) / det,
               (m[5] * m[6] - m[3] * m[8]) / det, (m[0] * m[8] - m[2] * m[6]) / det, (m[2] * m[3] - m[0] * m[5]) / det,
               (m[3] * m[7] - m[4] * m[6]) / det, (m[1] * m[6] - m[0] * m[7]) / det, (m[0] * m[4] - m[1] * m[3]) / det};
    return true;
}

// A matrix that turns colours into others (a picture style beyond a
// saturation change, or a fit led astray) is not taken.
bool plausible(const std::array<double, 9> &m)
{
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c) {
            const double v = m[size_t(3 * r + c)];
            if (r == c ? (v < 0.4 || v > 3.0) : std::abs(v) > 1.5)
                return false;
        }
    }
    return true;
}

} // namespace

PreviewLook PreviewLook::fit(const QImage &render, const QImage &preview)
{
    PreviewLook look;
    if (render.isNull() || preview.isNull() || preview.width() < 32 || preview.height() < 32) {
        look.m_refusal = QStringLiteral("no preview to fit to");
        return look;
    }
    const QImage source = render.format() == QImage::Format_RGB888 || render.format() == QImage::Format_RGB32
                                  || render.format() == QImage::Format_ARGB32
                              ? render
                              : render.convertToFormat(QImage::Format_RGB32);
    const QImage target = preview.format() == QImage::Format_RGB888 || preview.format() == QImage::Format_RGB32
                                  || preview.format() == QImage::Format_ARGB32
                              ? preview
                              : preview.convertToFormat(QImage::Format_RGB32);
    // Cells of about 16 preview pixels: large enough that a frame off by a
    // few pixels still lines up, small enough for thousands of them.
    const int columns = std::clamp(target.width() / 16, 8, 128);
    const int rows = std::clamp(int(std::lround(double(columns) * target.height() / target.width())), 4, 128);
    std::vector<Cell> cells(size_t(columns) * size_t(rows));
    // Some 8 × 8 samples of each cell in either picture are plenty for its mean.
    const int renderStep = std::max(1, source.width() / (columns * 8));
    const int previewStep = std::max(1, target.width() / (columns * 8));
    accumulate(source, columns, rows, renderStep, cells, false);
    accumulate(target, columns, rows, previewStep, cells, true);

    std::vector<const Cell *> kept;
    std::vector<double> details;
    for (Cell &cell : cells) {
        if (cell.clipped || cell.renderCount == 0 || cell.previewCount == 0)
            continue;
        for (int c = 0; c < 3; ++c) {
            cell.render[c] /= cell.renderCount;
            cell.preview[c] /= cell.previewCount;
        }
        const double mean = grey(int(cell.preview[0]), int(cell.preview[1]), int(cell.preview[2]));
        cell.detail = std::sqrt(std::max(0.0, cell.previewLumaSquares / cell.previewCount - mean * mean));
        kept.push_back(&cell);
        details.push_back(cell.detail);
    }
    // The most detailed quarter is where a small misalignment makes the most difference.
    if (details.size() >= 16) {
        std::vector<double> sorted = details;
        const size_t at = sorted.size() * 3 / 4;
        std::nth_element(sorted.begin(), sorted.begin() + std::ptrdiff_t(at), sorted.end());
        const double limit = sorted[at];
        kept.erase(std::remove_if(kept.begin(), kept.end(), [&](const Cell *c) { return c->detail > limit; }),
                   kept.end());
    }
    if (kept.size() < 48 || kept.size() * 20 < cells.size()) {
        look.m_refusal = QStringLiteral("too few cells unclipped and smooth enough to fit on");
        return look;
    }

    std::vector<std::array<double, 3>> from(kept.size()), to(kept.size()), wanted(kept.size());
    for (size_t i = 0; i < kept.size(); ++i) {
        for (int c = 0; c < 3; ++c) {
            from[i][size_t(c)] = kept[i]->render[c];
            to[i][size_t(c)] = kept[i]->preview[c];
        }
    }
    // Curves against what the matrix leaves the curves to do, and the matrix
    // against the curves, in turn until they settle.
    std::array<std::array<double, 256>, 3> curves{};
    std::array<double, 9> matrix{1, 0, 0, 0, 1, 0, 0, 0, 1};
    wanted = to;
    std::vector<std::array<double, 3>> curved(kept.size());
    for (int round = 0; round < 4; ++round) {
        for (int c = 0; c < 3; ++c) {
            std::vector<double> xs(kept.size()), ys(kept.size());
            for (size_t i = 0; i < kept.size(); ++i) {
                xs[i] = from[i][size_t(c)];
                ys[i] = wanted[i][size_t(c)];
            }
            curves[size_t(c)] = monotoneCurve(xs, ys);
        }
        for (size_t i = 0; i < kept.size(); ++i)
            for (int c = 0; c < 3; ++c)
                curved[i][size_t(c)] = lookUp(curves[size_t(c)], from[i][size_t(c)]);
        matrix = neutralMatrix(curved, to);
        std::array<double, 9> inverse{};
        if (!plausible(matrix) || !invert(matrix, inverse)) {
            look.m_refusal = QStringLiteral("the colours fit no plausible matrix");
            return look;
        }
        for (size_t i = 0; i < kept.size(); ++i)
            for (int r = 0; r < 3; ++r)
                wanted[i][size_t(r)] = inverse[size_t(3 * r)] * to[i][0] + inverse[size_t(3 * r + 1)] * to[i][1]
                                       + inverse[size_t(3 * r + 2)] * to[i][2];
    }

    double squares = 0;
    for (size_t i = 0; i < kept.size(); ++i) {
        for (int r = 0; r < 3; ++r) {
            const double v = matrix[size_t(3 * r)] * curved[i][0] + matrix[size_t(3 * r + 1)] * curved[i][1]
                             + matrix[size_t(3 * r + 2)] * curved[i][2];
            const double d = std::clamp(v, 0.0, 255.0) - to[i][size_t(r)];
            squares += d * d;
        }
    }
    look.m_residual = std::sqrt(squares / double(3 * kept.size()));
    if (look.m_residual > maxResidual) {
        look.m_refusal = QStringLiteral("the preview differs from the render by %1 levels after the fit")
                             .arg(look.m_residual, 0, 'f', 1);
        return look;
    }
    look.build(curves, matrix);
    look.m_valid = true;
    return look;
}

void PreviewLook::build(const std::array<std::array<double, 256>, 3> &curves, const std::array<double, 9> &matrix)
{
    for (int out = 0; out < 3; ++out)
        for (int in = 0; in < 3; ++in)
            for (int v = 0; v < 256; ++v)
                m_table[size_t(out)][size_t(in)][size_t(v)] =
                    int(std::lround(matrix[size_t(3 * out + in)] * curves[size_t(in)][size_t(v)] * (1 << fixedShift)));
}

void PreviewLook::apply(QImage &picture) const
{
    if (!m_valid || picture.isNull())
        return;
    if (picture.format() != QImage::Format_RGB32 && picture.format() != QImage::Format_ARGB32)
        picture = picture.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < picture.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(picture.scanLine(y));
        for (int x = 0; x < picture.width(); ++x)
            line[x] = (line[x] & 0xff000000u) | (map(qRed(line[x]), qGreen(line[x]), qBlue(line[x])) & 0x00ffffffu);
    }
}
