#pragma once

#include "imaging/previewlook.h"

#include <QCoreApplication>
#include <QImage>
#include <QSize>
#include <QString>

#include <functional>
#include <memory>

// The sensor data of a camera RAW file, developed into a picture for checking
// focus at 100 %: camera white balance, the fastest demosaic, sRGB, upright
// like the file's embedded preview. Each RawDecoder owns its own decoder
// handle and its own mapping of the file, so any number of threads may each
// use one of their own; one object must not be shared between threads.
class RawDecoder
{
    Q_DECLARE_TR_FUNCTIONS(RawDecoder)
public:
    struct Options
    {
        // Memory the decode may use in all (the raw data, the working
        // picture and the result); a file that needs more is refused before
        // any pixel is read.
        int memoryLimitMiB = 512;
        // The file's embedded preview at any size, upright: the render takes
        // on its tone and colour (see PreviewLook), or, where that cannot be
        // fitted, its mean brightness. Without one the decoder's own
        // automatic brightness stands.
        QImage reference;
        // Asked between the stages of the decode and by the decoder itself;
        // true ends the decode as soon as it can stop.
        std::function<bool()> cancelled;
    };

    RawDecoder();
    ~RawDecoder();
    RawDecoder(const RawDecoder &) = delete;
    RawDecoder &operator=(const RawDecoder &) = delete;

    // Reads the file's headers only: no pixel is decoded. False with
    // errorString() when the file holds no raw data this decoder can develop.
    bool open(const QString &path);
    // The size render() gives, upright; empty before a successful open().
    QSize size() const { return m_size; }

    // The developed picture (Format_RGB32, tagged sRGB, upright); null with
    // errorString() on failure, or with wasCancelled() when cancelled.
    // Call once, after open().
    QImage render(const Options &options);

    // After a successful render(): the pixels whose raw data reached the
    // sensor's white level in any channel, as a Format_Mono picture of the
    // render's size and orientation, 1 (white) where clipped. What an
    // embedded JPEG's tone curve hides shows here. Null when the render
    // failed or its geometry cannot be traced back to the sensor.
    QImage rawClipping() const { return m_rawClipping; }

    // After a render() with a reference: the look taken from it; not valid
    // (with its refusal()) where only the brightness was matched.
    const PreviewLook &look() const { return m_look; }

    QString errorString() const { return m_error; }
    bool wasCancelled() const { return m_cancelled; }

private:
    struct Private;
    std::unique_ptr<Private> d;
    QSize m_size;
    QImage m_rawClipping;
    PreviewLook m_look;
    QString m_error;
    bool m_cancelled = false;
};

// Whether a RAW file's clipping warning comes from its raw data where that
// has been rendered anyway (the setting "view/rawClipping", on by default).
bool rawClippingPreferred();
inline constexpr char rawClippingSetting[] = "view/rawClipping";

// Working memory the RAW renders of the process may hold together: the
// viewer's decoded-picture budget once more, and no more.
constexpr int rawMemoryLimitMiB = 512;

// What 100 % shows of a photo: decodePhoto()'s picture in full, or, for a RAW
// file whose largest embedded preview falls short of its sensor (or that has
// none), its sensor data rendered in the preview's tone and colour.
// When that render fails the preview is returned, and `rawError` says why.
QImage decodeFullPicture(const QString &path, int memoryLimitMiB, QString *rawError = nullptr,
                         bool *rendered = nullptr);

// Whether a preview of `preview` size (upright) shows less than the sensor's
// `sensor` size: shorter by more than a tenth on its longer side. Either size
// empty: false.
bool previewFallsShort(const QSize &preview, const QSize &sensor);

// The Exif orientation (1..8) matching a LibRaw-style flip code (0, 3, 5, 6 and
// the mirrored ones); 1 for anything else.
int orientationOfFlip(int flip);

// Gain that brings the mean linear-light luma of `picture` to that of
// `reference`, kept within 1/4..4; 1 when either is null or black.
double brightnessGain(const QImage &picture, const QImage &reference);

// Multiplies every channel of an 8-bit sRGB-coded picture (RGB32) by `gain`
// in linear light, clipping at white.
void applyGain(QImage &picture, double gain);
