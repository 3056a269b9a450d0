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
    // Of the samples, those with any channel at 255 (blown highlights); the
    // truly dark ones, by luminance (blocked shadows); and those not truly
    // dark with a channel at 0 all the same: a saturated colour, whose
    // channel is clipped but whose tone is not. Pure red is blown and has a
    // channel at 0.
    quint64 blown = 0;
    quint64 blocked = 0;
    quint64 channelAtZero = 0;

    bool isEmpty() const { return samples == 0; }
    double blownPercent() const { return share(blown); }
    double blockedPercent() const { return share(blocked); }
    double channelAtZeroPercent() const { return share(channelAtZero); }

private:
    double share(quint64 count) const { return samples ? 100.0 * double(count) / double(samples) : 0.0; }
};

// Every pixel of `image` while there are at most `maxSamples`; a larger
// picture is sampled on an even grid of rows and columns, which keeps the
// shares and the shape and bounds the time whatever the photo's size.
Histogram histogram(const QImage &image, qint64 maxSamples = 600'000);

// A blocked shadow is a pixel whose luma (0…255) is below this, under 2 %
// of full scale, whatever its channels: black, or so dark that no tone is
// left. A channel at 0 alone is no shadow: a well-exposed saturated blue
// or green has one.
inline constexpr int blockedBelowLuma = 5;

// The clipped pixels of `region` of `image` (clipped to the image) as a
// picture of the region's size: `blown` where any channel is at 255,
// otherwise `blocked` where the pixel is truly dark (see blockedBelowLuma),
// otherwise `channelAtZero` where a channel is at 0, transparent elsewhere
// (and where the colour given is 0).
// The colours are premultiplied ARGB, as is the result.
QImage clippingMask(const QImage &image, const QRect &region, QRgb blown, QRgb blocked, QRgb channelAtZero = 0);

// The same, with the blown highlights taken from `blownMask` instead of the
// 255 test: a picture of the region's size (any format, such as a RAW
// file's own clipping), blown where it is not black. Blocked shadows and
// channels at 0 are still found in `image`, where the mask is black. A mask
// of another size is ignored: the 255 test stands.
QImage clippingMask(const QImage &image, const QRect &region, QRgb blown, QRgb blocked, const QImage &blownMask,
                    QRgb channelAtZero = 0);

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
