#pragma once

// Pictures for the tests of taking on a camera preview's look: a colourful
// scene and the same in a camera's picture style.

#include <QColor>
#include <QImage>
#include <QSize>

#include <algorithm>
#include <cmath>

namespace testlook {

// A smooth scene of many hues, saturations and tones (sRGB), with some
// darker patches, as a photo's colours might be.
inline QImage colourfulScene(const QSize &size)
{
    QImage image(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y) {
        for (int x = 0; x < size.width(); ++x) {
            const double u = double(x) / size.width();
            const double v = double(y) / size.height();
            const bool patch = (x / (size.width() / 6) + y / (size.height() / 4)) % 3 == 0;
            const QColor c = QColor::fromHsvF(std::fmod(u * 1.7 + v * 0.3, 1.0), 0.15 + 0.5 * v,
                                              (patch ? 0.35 : 0.55) + 0.35 * std::sin(3.1 * u) * (1 - v));
            image.setPixel(x, y, c.rgb());
        }
    }
    return image;
}

// A camera's picture style: an S-shaped tone curve and colours pushed away
// from grey by `saturation`.
inline QImage styled(const QImage &image, double contrast, double saturation)
{
    QImage out = image.convertToFormat(QImage::Format_RGB32);
    const auto curve = [contrast](double v) {
        const double t = 0.5 + (v / 255.0 - 0.5) * contrast;
        return 255.0 * std::clamp(t + 0.6 * (contrast - 1) * t * (1 - t) * (t - 0.5), 0.0, 1.0);
    };
    for (int y = 0; y < out.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(out.scanLine(y));
        for (int x = 0; x < out.width(); ++x) {
            const double r = curve(qRed(line[x])), g = curve(qGreen(line[x])), b = curve(qBlue(line[x]));
            const double l = 0.2126 * r + 0.7152 * g + 0.0722 * b;
            const auto push = [&](double c) { return qBound(0, int(std::lround(l + (c - l) * saturation)), 255); };
            line[x] = qRgb(push(r), push(g), push(b));
        }
    }
    return out;
}

} // namespace testlook
