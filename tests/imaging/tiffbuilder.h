#pragma once

// Writers of small TIFF-structured files and camera-like containers for the
// imaging tests: IFD chains, sub-IFDs, Exif IFDs, JPEG streams and strips.

#include <QBuffer>
#include <QByteArray>
#include <QColor>
#include <QFile>
#include <QImage>
#include <QImageWriter>
#include <QList>
#include <QPainter>
#include <QString>

#include <utility>

namespace testimg {

// A picture whose four quadrants are red (top left), green (top right), blue
// (bottom left) and white (bottom right), so any turn or mirror can be told apart.
inline QImage quadrants(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    QPainter p(&image);
    const int w = width / 2, h = height / 2;
    p.fillRect(0, 0, w, h, Qt::red);
    p.fillRect(w, 0, width - w, h, Qt::green);
    p.fillRect(0, h, w, height - h, Qt::blue);
    p.fillRect(w, h, width - w, height - h, Qt::white);
    return image;
}

inline QByteArray encode(const QImage &image, const char *format = "JPEG", int quality = 85, bool progressive = false)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    writer.setQuality(quality);
    writer.setProgressiveScanWrite(progressive);
    writer.write(image);
    return bytes;
}

// A JPEG of the given size: quadrant colours, or one flat colour.
inline QByteArray jpeg(int width, int height, QColor flat = QColor())
{
    QImage image = quadrants(width, height);
    if (flat.isValid())
        image.fill(flat);
    return encode(image);
}

// Names the nearest of red, green, blue, white, black for a decoded pixel.
inline char colourName(QRgb c)
{
    const int r = qRed(c), g = qGreen(c), b = qBlue(c);
    if (r > 160 && g > 160 && b > 160)
        return 'W';
    if (r > 128 && g < 100 && b < 100)
        return 'R';
    if (g > 128 && r < 100 && b < 100)
        return 'G';
    if (b > 128 && r < 100 && g < 100)
        return 'B';
    if (r < 60 && g < 60 && b < 60)
        return 'K';
    return '?';
}

// Colours of the four corners (top left, top right, bottom left, bottom right),
// sampled a little inside so JPEG edges do not matter.
inline QByteArray corners(const QImage &image)
{
    if (image.isNull())
        return QByteArray();
    const int dx = qMax(1, image.width() / 8), dy = qMax(1, image.height() / 8);
    const int x1 = image.width() - 1 - dx, y1 = image.height() - 1 - dy;
    const char c[4] = {colourName(image.pixel(dx, dy)), colourName(image.pixel(x1, dy)),
                       colourName(image.pixel(dx, y1)), colourName(image.pixel(x1, y1))};
    return QByteArray(c, 4);
}

inline void putU16(QByteArray &b, qsizetype pos, quint16 v, bool le)
{
    b[pos] = char(le ? v & 0xFF : v >> 8);
    b[pos + 1] = char(le ? v >> 8 : v & 0xFF);
}

inline void putU32(QByteArray &b, qsizetype pos, quint32 v, bool le)
{
    for (int i = 0; i < 4; ++i)
        b[pos + i] = char(le ? (v >> (8 * i)) & 0xFF : (v >> (8 * (3 - i))) & 0xFF);
}

inline QByteArray u32be(quint32 v)
{
    QByteArray b(4, 0);
    putU32(b, 0, v, false);
    return b;
}

// Builds a TIFF-structured file. IFDs and blobs (JPEG streams, strips, arrays)
// are referred to by index; their offsets are resolved when the file is built.
// Layout: 8-byte header, then the IFDs in index order, then the blobs.
class TiffBuilder
{
public:
    enum Kind { Literal, Short, IfdOffset, BlobOffset, BlobSize, IfdArray };
    struct Value
    {
        Kind kind = Literal;
        quint32 literal = 0;
        QList<int> refs;
    };
    static Value lit(quint32 v) { return {Literal, v, {}}; }
    static Value shortValue(quint16 v) { return {Short, v, {}}; }
    static Value ifd(int index) { return {IfdOffset, 0, {index}}; }
    static Value blob(int index) { return {BlobOffset, 0, {index}}; }
    static Value blobSize(int index) { return {BlobSize, 0, {index}}; }
    // Offsets of these IFDs stored in an array blob; -1 writes a zero offset.
    static Value ifdArray(QList<int> indexes) { return {IfdArray, 0, std::move(indexes)}; }

    explicit TiffBuilder(bool littleEndian = true, quint16 magic = 42) : m_le(littleEndian), m_magic(magic) {}

    bool littleEndian() const { return m_le; }

    int addIfd()
    {
        m_ifds.append(Ifd());
        return int(m_ifds.size() - 1);
    }
    int addBlob(const QByteArray &bytes)
    {
        m_blobs.append(bytes);
        return int(m_blobs.size() - 1);
    }
    void entry(int ifdIndex, quint16 tag, quint16 type, quint32 count, const Value &value)
    {
        m_ifds[ifdIndex].entries.append({tag, type, count, value});
    }
    void setNext(int ifdIndex, const Value &value) { m_ifds[ifdIndex].next = value; }
    // Overrides IFD0's position in the header.
    void setFirstIfd(const Value &value) { m_first = value; m_firstSet = true; }

    // Convenience entries.
    void jpegInterchange(int ifdIndex, int blobIndex)
    {
        entry(ifdIndex, 513, 4, 1, blob(blobIndex));
        entry(ifdIndex, 514, 4, 1, blobSize(blobIndex));
    }
    void strip(int ifdIndex, int blobIndex, quint16 type = 4)
    {
        entry(ifdIndex, 273, type, 1, type == 3 ? Value{Short, 0, {blobIndex}} : blob(blobIndex));
        entry(ifdIndex, 279, type, 1, type == 3 ? Value{Short, 1, {blobIndex}} : blobSize(blobIndex));
    }
    void subIfds(int ifdIndex, const QList<int> &subs, quint16 tag = 330)
    {
        entry(ifdIndex, tag, 4, quint32(subs.size()), subs.size() == 1 ? ifd(subs.first()) : ifdArray(subs));
    }
    void orientation(int ifdIndex, quint16 value) { entry(ifdIndex, 274, 3, 1, shortValue(value)); }

    QByteArray build() const
    {
        // IFD positions, then blobs (array blobs for IfdArray values last).
        QList<quint32> ifdPos;
        quint32 pos = 8;
        for (const Ifd &d : m_ifds) {
            ifdPos.append(pos);
            pos += 2 + 12 * quint32(d.entries.size()) + 4;
        }
        QList<QByteArray> blobs = m_blobs;
        QList<QPair<int, int>> arrayOf; // (ifd, entry) → index of its array blob
        QList<int> arrayBlob;
        for (int i = 0; i < m_ifds.size(); ++i) {
            for (int e = 0; e < m_ifds[i].entries.size(); ++e) {
                if (m_ifds[i].entries[e].value.kind == IfdArray) {
                    arrayOf.append({i, e});
                    arrayBlob.append(int(blobs.size()));
                    blobs.append(QByteArray(4 * m_ifds[i].entries[e].value.refs.size(), 0));
                }
            }
        }
        QList<quint32> blobPos;
        for (const QByteArray &b : blobs) {
            pos += pos & 1;
            blobPos.append(pos);
            pos += quint32(b.size());
        }
        for (int a = 0; a < arrayOf.size(); ++a) {
            const Value &v = m_ifds[arrayOf[a].first].entries[arrayOf[a].second].value;
            for (int k = 0; k < v.refs.size(); ++k)
                putU32(blobs[arrayBlob[a]], 4 * k, v.refs[k] < 0 ? 0 : ifdPos[v.refs[k]], m_le);
        }

        QByteArray out(pos, 0);
        out[0] = out[1] = m_le ? 'I' : 'M';
        putU16(out, 2, m_magic, m_le);
        const auto resolve = [&](const Value &v, int ifdIndex, int entryIndex) -> quint32 {
            switch (v.kind) {
            case Literal: case Short: return v.literal;
            case IfdOffset: return ifdPos[v.refs.first()];
            case BlobOffset: return blobPos[v.refs.first()];
            case BlobSize: return quint32(blobs[v.refs.first()].size());
            case IfdArray: return blobPos[arrayBlob[arrayOf.indexOf(qMakePair(ifdIndex, entryIndex))]];
            }
            return 0;
        };
        putU32(out, 4, m_firstSet ? resolve(m_first, -1, -1) : (m_ifds.isEmpty() ? 0 : ifdPos.first()), m_le);
        for (int i = 0; i < m_ifds.size(); ++i) {
            const Ifd &d = m_ifds[i];
            quint32 p = ifdPos[i];
            putU16(out, p, quint16(d.entries.size()), m_le);
            p += 2;
            for (int e = 0; e < d.entries.size(); ++e, p += 12) {
                const Entry &en = d.entries[e];
                putU16(out, p, en.tag, m_le);
                putU16(out, p + 2, en.type, m_le);
                putU32(out, p + 4, en.count, m_le);
                if (en.value.kind == Short && en.value.refs.isEmpty()) {
                    putU16(out, p + 8, quint16(en.value.literal), m_le);
                } else if (en.value.kind == Short) {
                    // A strip's SHORT offset (literal 0) or byte count (literal 1).
                    const int b = en.value.refs.first();
                    putU16(out, p + 8, quint16(en.value.literal ? blobs[b].size() : blobPos[b]), m_le);
                } else {
                    putU32(out, p + 8, resolve(en.value, i, e), m_le);
                }
            }
            putU32(out, p, resolve(d.next, i, -1), m_le);
        }
        for (int b = 0; b < blobs.size(); ++b)
            out.replace(blobPos[b], blobs[b].size(), blobs[b]);
        return out;
    }

    // Offset of a blob in the built file (the layout does not depend on values).
    quint32 blobOffset(int index) const
    {
        quint32 pos = 8;
        for (const Ifd &d : m_ifds)
            pos += 2 + 12 * quint32(d.entries.size()) + 4;
        for (int b = 0; b <= index; ++b) {
            pos += pos & 1;
            if (b == index)
                return pos;
            pos += quint32(m_blobs[b].size());
        }
        return 0;
    }

private:
    struct Entry
    {
        quint16 tag;
        quint16 type;
        quint32 count;
        Value value;
    };
    struct Ifd
    {
        QList<Entry> entries;
        Value next;
    };
    bool m_le;
    quint16 m_magic;
    QList<Ifd> m_ifds;
    QList<QByteArray> m_blobs;
    Value m_first;
    bool m_firstSet = false;
};

// An uncompressed RGB strip image as a TIFF reader sees it: what a RAW file's
// first IFD holds as its small thumbnail.
inline void rgbThumbnail(TiffBuilder &t, int ifdIndex, int width, int height)
{
    const int pixels = t.addBlob(QByteArray(width * height * 3, char(0x80)));
    const int bits = t.addBlob(t.littleEndian() ? QByteArray("\x08\0\x08\0\x08\0", 6)
                                                : QByteArray("\0\x08\0\x08\0\x08", 6));
    t.entry(ifdIndex, 254, 4, 1, TiffBuilder::lit(1));
    t.entry(ifdIndex, 256, 4, 1, TiffBuilder::lit(quint32(width)));
    t.entry(ifdIndex, 257, 4, 1, TiffBuilder::lit(quint32(height)));
    t.entry(ifdIndex, 258, 3, 3, TiffBuilder::blob(bits));
    t.entry(ifdIndex, 259, 3, 1, TiffBuilder::shortValue(1));
    t.entry(ifdIndex, 262, 3, 1, TiffBuilder::shortValue(2));
    t.entry(ifdIndex, 273, 4, 1, TiffBuilder::blob(pixels));
    t.entry(ifdIndex, 277, 3, 1, TiffBuilder::shortValue(3));
    t.entry(ifdIndex, 278, 4, 1, TiffBuilder::lit(quint32(height)));
    t.entry(ifdIndex, 279, 4, 1, TiffBuilder::blobSize(pixels));
}

// An ISO media box.
inline QByteArray box(const char *type, const QByteArray &payload)
{
    return u32be(quint32(8 + payload.size())) + QByteArray(type, 4) + payload;
}

// A JPEG whose APP1 Exif segment carries its own small JPEG thumbnail (and an
// orientation, when given), as camera JPEGs do.
inline QByteArray jpegWithExifThumbnail(const QByteArray &main, const QByteArray &thumbnail, quint16 orientation = 0)
{
    TiffBuilder t(false);
    const int ifd0 = t.addIfd();
    const int ifd1 = t.addIfd();
    if (orientation)
        t.orientation(ifd0, orientation);
    t.setNext(ifd0, TiffBuilder::ifd(ifd1));
    t.jpegInterchange(ifd1, t.addBlob(thumbnail));
    const QByteArray exif = QByteArray("Exif\0\0", 6) + t.build();
    QByteArray app1("\xFF\xE1", 2);
    app1 += char((exif.size() + 2) >> 8);
    app1 += char((exif.size() + 2) & 0xFF);
    return main.left(2) + app1 + exif + main.mid(2);
}

inline bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// Files laid out as the cameras' RAW formats are, each with the previews named
// by the sizes below (distinct aspect ratios, so a result tells which one it was).
namespace layouts {

inline const QSize fullSize(960, 640);  // 3:2, the full-size preview
inline const QSize midSize(640, 360);   // 16:9, a medium preview
inline const QSize thumbSize(160, 120); // 4:3, the small thumbnail

inline QByteArray jpegOf(QSize s) { return testimg::jpeg(s.width(), s.height()); }

// Bytes that no JPEG reader accepts but that fill a strip like sensor data.
inline QByteArray sensorData(int n)
{
    QByteArray b(n, 0);
    for (int i = 0; i < n; ++i)
        b[i] = char((i * 7 + 3) & 0x7F);
    return b;
}

inline QByteArray paddedTo(QByteArray b, int n)
{
    b.append(QByteArray(qMax(0, n - int(b.size())), 0));
    return b;
}

// IFD0 holds an uncompressed 160×120 thumbnail, a sub-IFD the full-size JPEG.
inline QByteArray nefLike(quint16 orientation = 1, bool le = false)
{
    TiffBuilder t(le);
    const int ifd0 = t.addIfd();
    const int full = t.addIfd();
    const int raw = t.addIfd();
    testimg::rgbThumbnail(t, ifd0, thumbSize.width(), thumbSize.height());
    t.orientation(ifd0, orientation);
    t.subIfds(ifd0, {full, raw});
    t.jpegInterchange(full, t.addBlob(jpegOf(fullSize)));
    t.strip(raw, t.addBlob(sensorData(4096)));
    return t.build();
}

// IFD0 an uncompressed thumbnail; sub-IFDs with sensor data and two JPEG-strip previews.
inline QByteArray dngLike()
{
    TiffBuilder t(true);
    const int ifd0 = t.addIfd();
    const int raw = t.addIfd();
    const int mid = t.addIfd();
    const int full = t.addIfd();
    testimg::rgbThumbnail(t, ifd0, 256, 171);
    t.subIfds(ifd0, {raw, mid, full});
    t.strip(raw, t.addBlob(sensorData(8192)));
    t.strip(mid, t.addBlob(jpegOf(midSize)));
    t.strip(full, t.addBlob(jpegOf(fullSize)));
    return t.build();
}

// IFD0 the large preview as one JPEG strip, IFD1 a small JPEG thumbnail,
// IFD2 an uncompressed image, IFD3 sensor data.
inline QByteArray cr2Like()
{
    TiffBuilder t(true);
    const int ifd0 = t.addIfd();
    const int ifd1 = t.addIfd();
    const int ifd2 = t.addIfd();
    const int ifd3 = t.addIfd();
    t.strip(ifd0, t.addBlob(jpegOf(fullSize)));
    t.orientation(ifd0, 1);
    t.setNext(ifd0, TiffBuilder::ifd(ifd1));
    t.jpegInterchange(ifd1, t.addBlob(jpegOf(thumbSize)));
    t.setNext(ifd1, TiffBuilder::ifd(ifd2));
    testimg::rgbThumbnail(t, ifd2, 64, 48);
    t.setNext(ifd2, TiffBuilder::ifd(ifd3));
    t.strip(ifd3, t.addBlob(sensorData(8192)));
    return t.build();
}

// IFD0 a medium JPEG preview, a sub-IFD with sensor data, IFD1 a thumbnail.
inline QByteArray arwLike()
{
    TiffBuilder t(true);
    const int ifd0 = t.addIfd();
    const int ifd1 = t.addIfd();
    const int raw = t.addIfd();
    t.jpegInterchange(ifd0, t.addBlob(jpegOf(midSize)));
    t.subIfds(ifd0, {raw});
    t.setNext(ifd0, TiffBuilder::ifd(ifd1));
    t.jpegInterchange(ifd1, t.addBlob(jpegOf(thumbSize)));
    t.strip(raw, t.addBlob(sensorData(8192)));
    return t.build();
}

// ISO media boxes: IFD0 metadata and a thumbnail in the movie box, a medium
// preview in its own box, the full-size JPEG in the media data.
inline QByteArray cr3Like(quint16 orientation = 1)
{
    TiffBuilder ifd0(true);
    ifd0.orientation(ifd0.addIfd(), orientation);
    const QByteArray ftyp = testimg::box("ftyp", QByteArray("crx \0\0\0\x01", 8) + QByteArray("crx isom", 8));
    const QByteArray thmb = testimg::box("THMB", QByteArray(16, 0) + jpegOf(thumbSize));
    const QByteArray moov = testimg::box("moov", testimg::box("uuid", QByteArray(16, 'u') + testimg::box("CMT1", ifd0.build()) + thmb));
    const QByteArray prvw = testimg::box("uuid", QByteArray(16, 'p') + testimg::box("PRVW", QByteArray(16, 0) + jpegOf(midSize)));
    const QByteArray mdat = testimg::box("mdat", jpegOf(fullSize) + sensorData(20000));
    return ftyp + moov + prvw + mdat;
}

// A fixed header with the preview's position, then the JPEG (whose Exif segment
// carries its own thumbnail), then sensor data.
inline QByteArray rafLike(quint16 jpegOrientation = 0)
{
    const QByteArray preview = testimg::jpegWithExifThumbnail(jpegOf(fullSize), jpegOf(thumbSize), jpegOrientation);
    QByteArray header = paddedTo("FUJIFILMCCD-RAW 0201FF393101", 84);
    header += testimg::u32be(256) + testimg::u32be(quint32(preview.size()));
    return paddedTo(header, 256) + preview + sensorData(30000);
}

// A TIFF-like header with another magic number and the JPEG behind a private tag.
inline QByteArray rw2Like()
{
    TiffBuilder t(true, 0x55);
    const int ifd0 = t.addIfd();
    const int jpg = t.addBlob(jpegOf(fullSize));
    t.entry(ifd0, 0x2E, 7, 0, TiffBuilder::blob(jpg));
    t.orientation(ifd0, 1);
    return t.build();
}

inline QByteArray orfLike()
{
    TiffBuilder t(true, 0x4F52);
    const int ifd0 = t.addIfd();
    const int ifd1 = t.addIfd();
    testimg::rgbThumbnail(t, ifd0, thumbSize.width(), thumbSize.height());
    t.entry(ifd0, 0x927C, 7, 0, TiffBuilder::blob(t.addBlob(QByteArray("OLYMPUS\0", 8) + jpegOf(midSize))));
    t.setNext(ifd0, TiffBuilder::ifd(ifd1));
    t.jpegInterchange(ifd1, t.addBlob(jpegOf(thumbSize)));
    return t.build();
}

} // namespace layouts

} // namespace testimg
