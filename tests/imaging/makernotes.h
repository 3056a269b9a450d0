#pragma once

// Camera JPEGs with maker notes laid out as each maker writes them, for the
// focus point tests: an Exif IFD with a maker note, built around a record
// whose fields the test chooses.

#include "imaging/tiffbuilder.h"

#include <QList>

#include <functional>

namespace testnotes {

using testimg::TiffBuilder;

struct Tag
{
    quint16 tag;
    quint16 type;
    quint32 count;
    QByteArray data; // the value's bytes in the block's byte order
};

inline QByteArray shorts(const QList<int> &values, bool le = true)
{
    QByteArray b(2 * values.size(), 0);
    for (int i = 0; i < values.size(); ++i)
        testimg::putU16(b, 2 * i, quint16(values[i]), le);
    return b;
}

inline QByteArray rationals(const QList<QPair<qint64, qint64>> &values, bool le = true)
{
    QByteArray b(8 * values.size(), 0);
    for (int i = 0; i < values.size(); ++i) {
        testimg::putU32(b, 8 * i, quint32(values[i].first), le);
        testimg::putU32(b, 8 * i + 4, quint32(values[i].second), le);
    }
    return b;
}

inline Tag shortTag(quint16 tag, const QList<int> &values, bool le = true)
{
    return {tag, 3, quint32(values.size()), shorts(values, le)};
}

// An IFD and, after it, the values that do not fit into an entry. `at` is the
// block's offset from the base its offsets count from.
inline QByteArray ifdBlock(const QList<Tag> &tags, quint32 at, bool le = true)
{
    const int dirSize = 2 + 12 * int(tags.size()) + 4;
    QByteArray dir(dirSize, 0), data;
    testimg::putU16(dir, 0, quint16(tags.size()), le);
    for (int i = 0; i < tags.size(); ++i) {
        const Tag &t = tags[i];
        const int e = 2 + 12 * i;
        testimg::putU16(dir, e, t.tag, le);
        testimg::putU16(dir, e + 2, t.type, le);
        testimg::putU32(dir, e + 4, t.count, le);
        if (t.data.size() <= 4) {
            dir.replace(e + 8, int(t.data.size()), t.data);
        } else {
            testimg::putU32(dir, e + 8, quint32(at + dirSize + data.size()), le);
            data += t.data;
            if (data.size() & 1)
                data += '\0';
        }
    }
    return dir + data;
}

struct Camera
{
    QByteArray make;
    QByteArray model;
    int orientation = 1;
    int width = 6000;
    int height = 4000;
    QList<Tag> exifTags; // besides the pixel size and the maker note
};

// A JPEG whose Exif holds the maker note that `note` builds for the offset
// (from the TIFF header) where it will stand; no maker note when it gives nothing.
inline QByteArray cameraJpeg(const Camera &camera, const std::function<QByteArray(quint32 at)> &note)
{
    const auto build = [&](quint32 at, quint32 *noteAt) {
        TiffBuilder t(true);
        const int ifd0 = t.addIfd();
        const int exif = t.addIfd();
        t.entry(ifd0, 271, 2, quint32(camera.make.size() + 1), TiffBuilder::blob(t.addBlob(camera.make + '\0')));
        t.entry(ifd0, 272, 2, quint32(camera.model.size() + 1), TiffBuilder::blob(t.addBlob(camera.model + '\0')));
        t.orientation(ifd0, quint16(camera.orientation));
        t.subIfds(ifd0, {exif}, 34665);
        t.entry(exif, 40962, 4, 1, TiffBuilder::lit(quint32(camera.width)));
        t.entry(exif, 40963, 4, 1, TiffBuilder::lit(quint32(camera.height)));
        for (const Tag &tag : camera.exifTags) {
            QByteArray value = tag.data;
            if (value.size() > 4) {
                t.entry(exif, tag.tag, tag.type, tag.count, TiffBuilder::blob(t.addBlob(value)));
            } else {
                value = value.leftJustified(4, '\0');
                quint32 v = 0;
                for (int i = 0; i < 4; ++i)
                    v |= quint32(uchar(value[i])) << (8 * i);
                t.entry(exif, tag.tag, tag.type, tag.count, TiffBuilder::lit(v));
            }
        }
        const QByteArray bytes = note(at);
        if (!bytes.isEmpty()) {
            const int blob = t.addBlob(bytes);
            t.entry(exif, 37500, 7, quint32(bytes.size()), TiffBuilder::blob(blob));
            *noteAt = t.blobOffset(blob);
        }
        return t.build();
    };
    quint32 at = 0;
    build(0, &at); // the layout does not depend on the note's offsets
    quint32 unused = 0;
    const QByteArray tiff = build(at, &unused);
    const QByteArray payload = QByteArray("Exif\0\0", 6) + tiff;
    QByteArray jpeg("\xFF\xD8\xFF\xE1", 4);
    jpeg += char((payload.size() + 2) >> 8);
    jpeg += char((payload.size() + 2) & 0xFF);
    return jpeg + payload + QByteArray("\xFF\xD9", 2);
}

// Canon AFInfo2 of `n` points of which the first `valid` are listed.
struct CanonAf
{
    int n = 9;
    int valid = 9;
    int afWidth = 6000;
    int afHeight = 4000;
    QList<int> widths, heights, xs, ys; // `valid` each; the rest are zero
    quint32 inFocus = 0;                // bit i: point i
    quint32 selected = 0;
    int sizeWord = -1;                  // the record's own size, when it lies
    int countCut = 0;                   // words missing from the entry's count
};

inline QByteArray canonAfInfo2(const CanonAf &af)
{
    const int bitWords = (af.n + 15) / 16;
    QList<int> w{0, 2, af.n, af.valid, af.afWidth, af.afHeight, af.afWidth, af.afHeight};
    for (const QList<int> *list : {&af.widths, &af.heights, &af.xs, &af.ys}) {
        for (int i = 0; i < af.n; ++i)
            w.append(i < list->size() ? list->at(i) : 0);
    }
    for (quint32 bits : {af.inFocus, af.selected}) {
        for (int i = 0; i < bitWords; ++i)
            w.append(i < 2 ? int((bits >> (16 * i)) & 0xFFFF) : 0);
    }
    w.append(0);
    w[0] = af.sizeWord >= 0 ? af.sizeWord : int(2 * w.size());
    return shorts(w);
}

// Canon's maker note: an IFD with offsets from the TIFF header.
inline std::function<QByteArray(quint32)> canonNote(const QByteArray &afInfo2, int countCut = 0)
{
    return [=](quint32 at) {
        return ifdBlock({{0x0026, 3, quint32(afInfo2.size() / 2 - countCut), afInfo2}}, at);
    };
}

// Nikon's maker note: "Nikon\0\2", then a TIFF structure of its own (big-endian).
inline QByteArray nikonNote(const QByteArray &afInfo2)
{
    TiffBuilder inner(false);
    const int ifd = inner.addIfd();
    inner.entry(ifd, 0x00B7, 7, quint32(afInfo2.size()), TiffBuilder::blob(inner.addBlob(afInfo2)));
    return QByteArray("Nikon\0\x02\x10\0\0", 10) + inner.build();
}

// A Nikon AFInfo2 record of `version` with the AF image size and area at `at`.
inline QByteArray nikonAfInfo2(const char *version, int contrastDetect, int at, const QList<int> &area, int inFocusAt = -1,
                               int inFocus = 0)
{
    QByteArray b(0x60, 0);
    b.replace(0, 4, version);
    b[4] = char(contrastDetect);
    for (int i = 0; i < area.size(); ++i)
        testimg::putU16(b, at + 2 * i, quint16(area[i]), false);
    if (inFocusAt >= 0)
        b[inFocusAt] = char(inFocus);
    return b;
}

inline std::function<QByteArray(quint32)> sonyNote(const QList<int> &location, const QList<int> &frame = {})
{
    return [=](quint32 at) {
        QList<Tag> tags{shortTag(0x2027, location)};
        if (!frame.isEmpty())
            tags.append(shortTag(0x2037, frame));
        return QByteArray("SONY DSC \0\0\0", 12) + ifdBlock(tags, at + 12);
    };
}

// Fujifilm: "FUJIFILM", the IFD's offset, offsets from the note's start, little-endian.
inline QByteArray fujifilmNote(const QList<int> &pixel)
{
    QByteArray head("FUJIFILM\x0C\0\0\0", 12);
    return head + ifdBlock({shortTag(0x1023, pixel)}, 12);
}

// Olympus (new form) and OM System: a header with the byte order, offsets from the
// note's start, AFPointSelected in the CameraSettings IFD.
inline QByteArray olympusNote(const QList<QPair<qint64, qint64>> &corners, bool omSystem = false)
{
    const QByteArray head = omSystem ? QByteArray("OM SYSTEM\0\0\0II\x04\0", 16) : QByteArray("OLYMPUS\0II\x03\0", 12);
    const quint32 mainAt = quint32(head.size());
    const quint32 mainSize = 2 + 12 + 4;
    const QByteArray settings = ifdBlock({{0x0305, 10, 5, rationals(QList<QPair<qint64, qint64>>{{0, 0}} + corners)}},
                                         mainAt + mainSize);
    QByteArray main = ifdBlock({{0x2020, 13, 1, QByteArray()}}, mainAt);
    testimg::putU32(main, 2 + 8, mainAt + mainSize, true);
    return head + main + settings;
}

inline std::function<QByteArray(quint32)> panasonicNote(const QList<QPair<qint64, qint64>> &position)
{
    return [=](quint32 at) {
        return QByteArray("Panasonic\0\0\0", 12) + ifdBlock({{0x004D, 5, 2, rationals(position)}}, at + 12);
    };
}

inline std::function<QByteArray(quint32)> fixedNote(const QByteArray &bytes)
{
    return [=](quint32) { return bytes; };
}

// A camera JPEG as other software resizes it: the Exif and maker note kept,
// the picture itself `width` by `height`.
inline QByteArray withFrame(QByteArray jpeg, int width, int height)
{
    QByteArray sof("\xFF\xC0\x00\x0B\x08", 5);
    sof += char(height >> 8);
    sof += char(height & 0xFF);
    sof += char(width >> 8);
    sof += char(width & 0xFF);
    sof += QByteArray("\x01\x01\x11\x00", 4);
    return jpeg.insert(jpeg.size() - 2, sof);
}

// A DNG converted from a camera's RAW: IFD0 the camera's make, model and the
// Exif IFD (without a maker note), the raw sub-IFD with its default crop, and
// DNGPrivateData keeping the maker note that `note` builds for its offset
// `originalAt` in the original file.
inline QByteArray convertedDng(const Camera &camera, int cropWidth, int cropHeight, quint32 originalAt,
                               const std::function<QByteArray(quint32 at)> &note)
{
    TiffBuilder t(true);
    const int ifd0 = t.addIfd();
    const int exif = t.addIfd();
    const int raw = t.addIfd();
    t.entry(ifd0, 254, 4, 1, TiffBuilder::lit(1));
    t.entry(ifd0, 271, 2, quint32(camera.make.size() + 1), TiffBuilder::blob(t.addBlob(camera.make + '\0')));
    t.entry(ifd0, 272, 2, quint32(camera.model.size() + 1), TiffBuilder::blob(t.addBlob(camera.model + '\0')));
    t.orientation(ifd0, quint16(camera.orientation));
    t.subIfds(ifd0, {raw});
    t.subIfds(ifd0, {exif}, 34665);
    const QByteArray bytes = note(originalAt);
    QByteArray privateData("Adobe\0MakN\0\0\0\0II\0\0\0\0", 20);
    testimg::putU32(privateData, 10, quint32(bytes.size() + 6), false);
    testimg::putU32(privateData, 16, originalAt, false);
    privateData += bytes;
    t.entry(ifd0, 50740, 1, quint32(privateData.size()), TiffBuilder::blob(t.addBlob(privateData)));
    t.entry(exif, 33434, 4, 1, TiffBuilder::lit(0));
    t.entry(raw, 254, 4, 1, TiffBuilder::lit(0));
    t.entry(raw, 50720, 4, 2, TiffBuilder::blob(t.addBlob(shorts({cropWidth, 0, cropHeight, 0}))));
    return t.build();
}

// A RW2: IFD0 of its own magic number and, in JpgFromRaw, a JPEG whose Exif
// holds the maker note.
inline QByteArray rw2WithJpeg(const QByteArray &jpeg)
{
    TiffBuilder t(true, 0x55);
    const int ifd0 = t.addIfd();
    t.entry(ifd0, 271, 2, 10, TiffBuilder::blob(t.addBlob(QByteArray("Panasonic\0", 10))));
    t.entry(ifd0, 0x2E, 7, quint32(jpeg.size()), TiffBuilder::blob(t.addBlob(jpeg)));
    return t.build();
}

} // namespace testnotes
