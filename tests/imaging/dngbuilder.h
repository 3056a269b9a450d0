#pragma once

// Small DNG files for the RAW render tests: a Bayer mosaic (RGGB, 16-bit
// containers, white at 4095) of the four-colour quadrants, with a colour
// matrix that makes the camera's RGB linear sRGB and neutral white balance,
// so that the developed picture's colours are known; optionally an embedded
// JPEG preview in a second IFD.

#include "tests/imaging/tiffbuilder.h"

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QPoint>
#include <QSize>

#include <cmath>
#include <utility>

namespace testdng {

constexpr int white = 4095;

struct Options
{
    QSize size{64, 48};
    quint16 orientation = 1;
    QSize preview;              // none when empty
    QSize declared;             // the size written in the tags; `size` when empty
    int stripBytes = -1;        // the strip's length; the mosaic's when negative
    // Every photosite at `flatLevel` instead of the quadrants when it is not
    // negative, but for the `sites` given (as stored, with their level).
    int flatLevel = -1;
    QList<std::pair<QPoint, quint16>> sites;
};

// The mosaic of testimg::quadrants(size): each photosite takes its colour's
// channel, 0 or white.
inline QByteArray mosaic(const QSize &size)
{
    const QImage picture = testimg::quadrants(size.width(), size.height());
    QByteArray data(size.width() * size.height() * 2, 0);
    for (int y = 0; y < size.height(); ++y) {
        for (int x = 0; x < size.width(); ++x) {
            const QRgb c = picture.pixel(x, y);
            // R G / G B
            const int v = (y % 2 == 0) ? (x % 2 == 0 ? qRed(c) : qGreen(c)) : (x % 2 == 0 ? qGreen(c) : qBlue(c));
            const quint16 level = quint16(v * white / 255);
            testimg::putU16(data, 2 * (qsizetype(y) * size.width() + x), level, true);
        }
    }
    return data;
}

// A flat mosaic with some photosites at levels of their own.
inline QByteArray flatMosaic(const Options &o)
{
    QByteArray data(o.size.width() * o.size.height() * 2, 0);
    for (int i = 0; i < o.size.width() * o.size.height(); ++i)
        testimg::putU16(data, 2 * i, quint16(o.flatLevel), true);
    for (const auto &[at, level] : o.sites)
        testimg::putU16(data, 2 * (qsizetype(at.y()) * o.size.width() + at.x()), level, true);
    return data;
}

inline QByteArray rationals(const QList<double> &values, bool isSigned)
{
    QByteArray b(values.size() * 8, 0);
    for (int i = 0; i < values.size(); ++i) {
        const qint64 n = std::llround(values[i] * 1000000);
        testimg::putU32(b, 8 * i, isSigned ? quint32(qint32(n)) : quint32(n), true);
        testimg::putU32(b, 8 * i + 4, 1000000, true);
    }
    return b;
}

// A JPEG of at least 512 bytes (the smallest stream taken for a preview).
inline QByteArray previewJpeg(const QSize &size)
{
    QByteArray jpeg = testimg::encode(testimg::quadrants(size.width(), size.height()), "JPEG", 95);
    if (jpeg.size() < 600) {
        QByteArray comment("\xFF\xFE", 2);
        comment.append(char(0x02)).append(char(0x60)); // a 608-byte comment segment
        comment.append(QByteArray(606, 'x'));
        jpeg.insert(2, comment);
    }
    return jpeg;
}

inline QByteArray build(const Options &o = {})
{
    using T = testimg::TiffBuilder;
    T t(true);
    const QSize declared = o.declared.isEmpty() ? o.size : o.declared;
    QByteArray data = o.flatLevel >= 0 ? flatMosaic(o) : mosaic(o.size);
    if (o.stripBytes >= 0)
        data.truncate(o.stripBytes);
    const int raw = t.addIfd();
    const int pixels = t.addBlob(data);
    const int make = t.addBlob(QByteArray("Testmaker", 10));
    const int model = t.addBlob(QByteArray("Mosaic One", 11));
    const int unique = t.addBlob(QByteArray("Testmaker Mosaic One", 21));
    // XYZ (D65) to linear sRGB: the camera's channels are sRGB's.
    const int matrix = t.addBlob(rationals({3.2404542, -1.5371385, -0.4985314, -0.9692660, 1.8760108, 0.0415560,
                                            0.0556434, -0.2040259, 1.0572252},
                                           true));
    const int neutral = t.addBlob(rationals({1, 1, 1}, false));
    t.entry(raw, 254, 4, 1, T::lit(0));
    t.entry(raw, 256, 4, 1, T::lit(quint32(declared.width())));
    t.entry(raw, 257, 4, 1, T::lit(quint32(declared.height())));
    t.entry(raw, 258, 3, 1, T::shortValue(16));
    t.entry(raw, 259, 3, 1, T::shortValue(1));
    t.entry(raw, 262, 3, 1, T::shortValue(32803)); // colour filter array
    t.entry(raw, 271, 2, 10, T::blob(make));
    t.entry(raw, 272, 2, 11, T::blob(model));
    t.entry(raw, 273, 4, 1, T::blob(pixels));
    t.orientation(raw, o.orientation);
    t.entry(raw, 277, 3, 1, T::shortValue(1));
    t.entry(raw, 278, 4, 1, T::lit(quint32(declared.height())));
    t.entry(raw, 279, 4, 1, T::blobSize(pixels));
    t.entry(raw, 284, 3, 1, T::shortValue(1));
    t.entry(raw, 33421, 3, 2, T::lit(2u | (2u << 16)));                     // 2 × 2 pattern
    t.entry(raw, 33422, 1, 4, T::lit(0u | (1u << 8) | (1u << 16) | (2u << 24))); // R G G B
    t.entry(raw, 50706, 1, 4, T::lit(1u | (4u << 8)));                       // DNG 1.4
    t.entry(raw, 50708, 2, 21, T::blob(unique));
    t.entry(raw, 50714, 4, 1, T::lit(0));
    t.entry(raw, 50717, 4, 1, T::lit(white));
    t.entry(raw, 50721, 10, 9, T::blob(matrix));
    t.entry(raw, 50728, 5, 3, T::blob(neutral));
    t.entry(raw, 50778, 3, 1, T::shortValue(21)); // D65
    if (!o.preview.isEmpty()) {
        const int thumb = t.addIfd();
        const int jpeg = t.addBlob(previewJpeg(o.preview));
        t.entry(thumb, 254, 4, 1, T::lit(1));
        t.jpegInterchange(thumb, jpeg);
        t.setNext(raw, T::ifd(thumb));
    }
    return t.build();
}

} // namespace testdng
