#pragma once

#include <QImage>
#include <QRect>
#include <QRgb>

#include <array>

// What a photo as shown tells about its exposure and focus: pure functions of
// the pixels on screen (after colour management), with no thread, no I/O and
// no widget, so that the viewer runs them in the background and the tests on
// made-up pictures. Any image format is taken; 32-bit RGB is read in place,
// others are converted first.
namespace ImageAnalysis {

// How many pixels have each channel value, and the luminance (Rec. 709
// weights on the encoded values, as a histogram on screen shows it).
struct Histogram
{
    std::array<quint32, 256> red{};
    std::array<quint32, 256> green{};
    std::array<quint32, 256> blue{};
    std::array<quint32, 256> luma{};
    quint64 samples = 0;
    // Of the samples, those with any channel at 255 (blown highlights), and the
    // dark ones (luma below `blockedBelowLuma`) with any channel at 0
    // (blocked shadows); a pixel such as pure red is counted in both.
    quint64 blown = 0;
    quint64 blocked = 0;

    bool isEmpty() const { return samples == 0; }
    double blownPercent() const { return samples ? 100.0 * double(blown) / double(samples) : 0.0; }
    double blockedPercent() const { return samples ? 100.0 * double(blocked) / double(samples) : 0.0; }
};

// Every pixel of `image` while there are at most `maxSamples`; a larger
// picture is sampled on an even grid of rows and columns, which keeps the
// shares and the shape and bounds the time whatever the photo's size.
Histogram histogram(const QImage &image, qint64 maxSamples = 600'000);

// A channel at 0 is a blocked shadow only in a dark pixel: a bright,
// saturated colour such as orange has a channel at 0 too, and is no shadow.
inline constexpr int blockedBelowLuma = 64;

// The clipped pixels of `region` of `image` (clipped to the image) as a
// picture of the region's size: `blown` where any channel is at 255,
// otherwise `blocked` where a dark pixel has any channel at 0, transparent
// elsewhere.
// The colours are premultiplied ARGB, as is the result.
QImage clippingMask(const QImage &image, const QRect &region, QRgb blown, QRgb blocked);

// The same, with the blown highlights taken from `blownMask` instead of the
// 255 test: a picture of the region's size (any format, such as a RAW
// file's own clipping), blown where it is not black. Blocked shadows are
// still found in `image`, where the mask is black. A mask of another size
// is ignored: the 255 test stands.
QImage clippingMask(const QImage &image, const QRect &region, QRgb blown, QRgb blocked, const QImage &blownMask);

// The share (0…1) of `mask`'s pixels that are not black: of a Format_Mono
// mask its white ones, counted in place.
double markedShare(const QImage &mask);

// Focus peaking of `region` of `image`: the gradient magnitude of the luma,
// after a light blur against noise and JPEG artefacts, marked where it
// reaches a threshold of this picture's own: the gradient that only the
// steepest `topShare` of the pixels reach, but never below a share of the
// picture's tonal range (nor below a floor above noise). A sharp picture
// shows a thin outline where it is sharpest; a blurred copy of it, with the
// same range but flatter edges, clearly less.
struct Peaking
{
    QImage mask;            // the region's size, premultiplied ARGB: `colour` on marked pixels
    int threshold = 0;      // gradient magnitude (0…255, in luma steps) from which a pixel is marked
    double markedShare = 0; // marked pixels, as a share (0…1) of the region
    // Mean gradient magnitude of the steepest 1 % of the pixels: how sharp
    // the sharpest part of the picture is, comparable between photos.
    double strength = 0;
};

// The gradient of a crisp edge is about three quarters of its height in
// luma steps, so the range share asks for crisp edges across about half the
// picture's range (its darkest and brightest half per cent left out), or
// softer ones across more; no noise of a few steps reaches the floor.
inline constexpr double peakingRangeShare = 0.35;
inline constexpr int peakingFloor = 16;
inline constexpr double peakingTopShare = 0.015;

Peaking focusPeaking(const QImage &image, const QRect &region, QRgb colour, double topShare = peakingTopShare);

} // namespace ImageAnalysis
