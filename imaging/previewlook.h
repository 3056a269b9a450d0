#pragma once

#include <QImage>
#include <QRgb>
#include <QString>

#include <array>

// The tone and colour a camera gave its own preview, fitted so that a render
// of the same photo's sensor data takes them on: one monotone curve per
// channel on the render's 8-bit sRGB values, then a 3 × 3 matrix whose rows
// add up to 1 (greys stay grey; colours gain or lose saturation). Fitted on
// both pictures reduced to a common grid, the preview's frame stretched over
// the render's (a preview may be a little cropped: it lines up by proportion),
// leaving out what either clipped and what is too detailed to line up.
// A pure value: no thread, no I/O.
class PreviewLook
{
public:
    // The look of `preview` (upright as `render`, of the same framing within
    // a few percent, any size) for `render` (Format_RGB888 or RGB32). Not
    // valid when there is too little to fit or the fit explains the preview
    // poorly; refusal() says why.
    static PreviewLook fit(const QImage &render, const QImage &preview);

    bool isValid() const { return m_valid; }
    // Why the fit was refused (for diagnostics, not for users); empty when valid.
    QString refusal() const { return m_refusal; }
    // The root mean square difference, in 8-bit levels, between the preview
    // and the fitted render on the grid cells the fit used.
    double residual() const { return m_residual; }

    QRgb map(int r, int g, int b) const
    {
        return qRgb(clamp(m_table[0][0][r] + m_table[0][1][g] + m_table[0][2][b]),
                    clamp(m_table[1][0][r] + m_table[1][1][g] + m_table[1][2][b]),
                    clamp(m_table[2][0][r] + m_table[2][1][g] + m_table[2][2][b]));
    }
    // Maps every pixel of `picture` (converted to RGB32 when it is not 32-bit).
    void apply(QImage &picture) const;

private:
    static constexpr int fixedShift = 12;
    static int clamp(int v) { return v <= 0 ? 0 : v >= (255 << fixedShift) ? 255 : (v + (1 << (fixedShift - 1))) >> fixedShift; }
    void build(const std::array<std::array<double, 256>, 3> &curves, const std::array<double, 9> &matrix);

    // m_table[out][in][value]: the part input channel `in` at `value` gives
    // output channel `out`, in fixed point.
    std::array<std::array<std::array<int, 256>, 3>, 3> m_table{};
    bool m_valid = false;
    double m_residual = 0;
    QString m_refusal;
};
