#pragma once

// Bounds-checked reading of TIFF structures (IFD0 of a TIFF-based file, the
// Exif data of a JPEG, the TIFF boxes of ISO media RAW files), shared by the
// EXIF and focus point readers of this module; not for other layers.

#include "imaging/photodecoder.h"

#include <QByteArray>
#include <QString>

#include <cstring>

namespace tiffview {

inline constexpr qint64 exifSearchLimit = 1048576;
inline constexpr qint64 maxTextBytes = 4096;

struct IfdEntry
{
    int type = 0;
    quint32 count = 0;
    qint64 position = -1; // absolute position of the value
};

// Reads one TIFF structure in place; every read is tested against the mapped length.
class TiffView
{
public:
    TiffView(const uchar *bytes, qint64 length, qint64 base, bool littleEndian)
        : m_bytes(bytes), m_length(length), m_base(base), m_le(littleEndian)
    {
    }

    quint16 u16(qint64 pos) const { return readU16(m_bytes, m_length, pos, m_le); }
    qint16 s16(qint64 pos) const { return qint16(u16(pos)); }
    quint32 u32(qint64 pos) const { return readU32(m_bytes, m_length, pos, m_le); }
    qint64 base() const { return m_base; }
    qint64 length() const { return m_length; }
    const uchar *bytes() const { return m_bytes; }
    bool littleEndian() const { return m_le; }

    // The first valid entry with the tag; with `onlyType` set, entries of other
    // types are passed over, so a later entry of the right type can still match.
    IfdEntry findEntry(quint32 ifdOffset, quint16 tag, int onlyType = 0) const
    {
        const qint64 dir = m_base + ifdOffset;
        if (dir < 0 || dir + 2 > m_length)
            return {};
        const int count = u16(dir);
        for (int i = 0; i < count; ++i) {
            const qint64 entry = dir + 2 + 12 * qint64(i);
            if (entry + 12 > m_length)
                break;
            if (u16(entry) != tag)
                continue;
            const int type = u16(entry + 2);
            if (onlyType != 0 && type != onlyType)
                continue;
            const quint32 n = u32(entry + 4);
            const qint64 bytes = qint64(n) * elementSize(type);
            const qint64 position = bytes > 4 ? m_base + u32(entry + 8) : entry + 8;
            if (elementSize(type) != 0 && position >= 0 && position + bytes <= m_length)
                return {type, n, position};
        }
        return {};
    }

    QByteArray blob(const IfdEntry &e) const
    {
        if (e.position < 0 || e.count == 0 || (e.type != 1 && e.type != 7))
            return {};
        return QByteArray(reinterpret_cast<const char *>(m_bytes + e.position), qsizetype(e.count));
    }

    QString ascii(const IfdEntry &e) const
    {
        if (e.type != 2 || e.count == 0 || e.position < 0)
            return {};
        const qint64 n = qMin<qint64>(e.count, maxTextBytes);
        const char *text = reinterpret_cast<const char *>(m_bytes + e.position);
        const void *nul = std::memchr(text, 0, size_t(n));
        const qint64 used = nul ? static_cast<const char *>(nul) - text : n;
        return QString::fromLatin1(text, qsizetype(used)).trimmed();
    }

    // SHORT or LONG as an unsigned integer; 0 for any other type.
    quint32 integer(const IfdEntry &e) const
    {
        if (e.position < 0 || e.count == 0)
            return 0;
        if (e.type == 3)
            return u16(e.position);
        if (e.type == 4)
            return u32(e.position);
        return 0;
    }

    // An unsigned RATIONAL; false when the type, range or denominator is wrong.
    bool rational(const IfdEntry &e, double *value) const
    {
        if (e.type != 5 || e.count == 0 || e.position < 0 || e.position + 8 > m_length)
            return false;
        const quint32 num = u32(e.position);
        const quint32 den = u32(e.position + 4);
        if (den == 0)
            return false;
        *value = double(num) / double(den);
        return true;
    }

    double signedRational(const IfdEntry &e) const
    {
        if (e.type != 10 || e.count == 0 || e.position < 0 || e.position + 8 > m_length)
            return 0;
        const auto num = qint32(u32(e.position));
        const auto den = qint32(u32(e.position + 4));
        return den == 0 ? 0 : double(num) / double(den);
    }

public:
    // Bytes of one value of a TIFF type; 0 for an unknown type.
    static int elementSize(int type)
    {
        switch (type) {
        case 1: case 2: case 6: case 7: return 1;
        case 3: case 8: return 2;
        case 4: case 9: case 11: case 13: return 4;
        case 5: case 10: case 12: return 8;
        default: return 0;
        }
    }

private:
    const uchar *m_bytes;
    qint64 m_length;
    qint64 m_base;
    bool m_le;
};

// The TIFF base: 0 for a file that starts like TIFF, otherwise just past the
// first "Exif\0\0" within the first MiB; -1 when there is none.
inline qint64 findTiffBase(const uchar *bytes, qint64 length)
{
    if ((bytes[0] == 'I' && bytes[1] == 'I') || (bytes[0] == 'M' && bytes[1] == 'M'))
        return 0;
    static const char marker[] = {'E', 'x', 'i', 'f', 0, 0};
    const qint64 end = qMin(length - 6, exifSearchLimit);
    for (qint64 p = 0; p < end;) {
        const void *hit = std::memchr(bytes + p, 'E', size_t(end - p));
        if (!hit)
            break;
        p = static_cast<const uchar *>(hit) - bytes;
        if (std::memcmp(bytes + p, marker, sizeof marker) == 0)
            return p + 6;
        ++p;
    }
    return -1;
}

// A TIFF header at base: its byte order and first IFD offset; false when the
// header is not "II"/"MM" with 42.
inline bool readTiffHeader(const uchar *bytes, qint64 length, qint64 base, bool *le, quint32 *ifd0)
{
    if (base < 0 || base + 2 > length)
        return false;
    *le = bytes[base] == 'I' && bytes[base + 1] == 'I';
    const bool be = bytes[base] == 'M' && bytes[base + 1] == 'M';
    if ((!*le && !be) || readU16(bytes, length, base + 2, *le) != 42)
        return false;
    *ifd0 = base + 8 <= length ? readU32(bytes, length, base + 4, *le) : 0;
    return true;
}

// ISO media RAW files keep IFD0 and the Exif IFD as two TIFF structures, each in
// its own box ("CMT1", "CMT2") near the start of the file: the box's data begins
// with a TIFF header. Gives the position of that data, or -1.
inline qint64 findMetadataBox(const uchar *bytes, qint64 length, const char *name)
{
    const qint64 end = qMin(length - 8, exifSearchLimit);
    for (qint64 p = 4; p < end; ++p) {
        if (std::memcmp(bytes + p, name, 4) == 0 && readU32(bytes, length, p - 4, false) > 16)
            return p + 4;
    }
    return -1;
}

} // namespace tiffview
