#include "imaging/jpegentropy_p.h"

#include "imaging/decodesupport_p.h"

#include <cstring>
#include <memory>
#include <new>

namespace jpegentropy {

bool HuffmanTable::build(const std::uint8_t *counts, const std::uint8_t *symbols, int symbolCount)
{
    fast.fill(0);
    maxCode.fill(-1);
    valueOffset.fill(0);
    values.fill(0);
    std::int32_t code = 0;
    int index = 0;
    for (int length = 1; length <= 16; ++length) {
        const int count = counts[length - 1];
        if (index + count > symbolCount || index + count > 256)
            return false;
        // The codes of one length must fit beside the shorter ones, and no
        // code may be all ones: checked before any is written, since the
        // lookup has room for exactly the code space.
        if (code + count >= (1 << length))
            return false;
        valueOffset[size_t(length)] = index - code;
        for (int i = 0; i < count; ++i) {
            values[size_t(index)] = symbols[index];
            if (length <= fastBits) {
                const int shift = fastBits - length;
                const std::uint16_t entry = std::uint16_t((length << 8) | symbols[index]);
                for (int fill = 0; fill < (1 << shift); ++fill)
                    fast[size_t((code << shift) | fill)] = entry;
            }
            ++code;
            ++index;
        }
        if (count)
            maxCode[size_t(length)] = code - 1;
        code <<= 1;
    }
    for (size_t prefix = 0; prefix < fast.size(); ++prefix) {
        fastValue[prefix] = 0;
        const int length = fast[prefix] >> 8;
        const int symbol = fast[prefix] & 0xFF;
        const int size = symbol & 15;
        if (length == 0 || length + size > fastBits)
            continue;
        int value = 0;
        if (size) {
            const int raw = int(prefix >> (fastBits - length - size)) & ((1 << size) - 1);
            value = raw < (1 << (size - 1)) ? raw - (1 << size) + 1 : raw;
        }
        fastValue[prefix] = std::int32_t(std::uint32_t(value) << 16) | ((symbol >> 4) << 8) | (length + size);
    }
    defined = true;
    return true;
}

namespace {

int be16(const std::uint8_t *p)
{
    return (p[0] << 8) | p[1];
}

bool readFrame(const std::uint8_t *p, int length, Stream *s)
{
    if (length < 6 || p[0] != 8)
        return false;
    s->height = be16(p + 1);
    s->width = be16(p + 3);
    const int count = p[5];
    if (s->width == 0 || s->height == 0 || (count != 1 && count != 3) || length < 6 + 3 * count)
        return false;
    s->components.clear();
    for (int i = 0; i < count; ++i) {
        Component c;
        c.id = p[6 + 3 * i];
        c.h = p[7 + 3 * i] >> 4;
        c.v = p[7 + 3 * i] & 15;
        c.quantTable = p[8 + 3 * i];
        if (c.h < 1 || c.h > 4 || c.v < 1 || c.v > 4 || c.quantTable > 3)
            return false;
        s->components.push_back(c);
    }
    // Only a Y component at the full resolution gives the luma at the sizes promised.
    for (const Component &c : s->components) {
        if (c.h > s->components[0].h || c.v > s->components[0].v)
            return false;
    }
    // Components named R, G and B are colour channels, not YCbCr.
    return !(count == 3 && s->components[0].id == 'R' && s->components[1].id == 'G' && s->components[2].id == 'B');
}

bool readHuffman(const std::uint8_t *p, int length, Stream *s)
{
    int at = 0;
    while (at < length) {
        if (at + 17 > length)
            return false;
        const int cls = p[at] >> 4;
        const int id = p[at] & 15;
        if (cls > 1 || id > 3)
            return false;
        int total = 0;
        for (int i = 1; i <= 16; ++i)
            total += p[at + i];
        if (at + 17 + total > length)
            return false;
        HuffmanTable &table = cls == 0 ? s->dc[size_t(id)] : s->ac[size_t(id)];
        if (!table.build(p + at + 1, p + at + 17, total))
            return false;
        at += 17 + total;
    }
    return true;
}

bool readQuant(const std::uint8_t *p, int length, Stream *s)
{
    int at = 0;
    while (at < length) {
        const int precision = p[at] >> 4;
        const int id = p[at] & 15;
        const int size = precision ? 128 : 64;
        if (precision > 1 || id > 3 || at + 1 + size > length)
            return false;
        for (int i = 0; i < 64; ++i)
            s->quant[size_t(id)][size_t(i)] = std::uint16_t(precision ? be16(p + at + 1 + 2 * i) : p[at + 1 + i]);
        s->quantDefined[size_t(id)] = true;
        at += 1 + size;
    }
    return true;
}

bool readScan(const std::uint8_t *p, int length, Stream *s)
{
    if (length < 1 || s->components.empty())
        return false;
    const int count = p[0];
    // The header is exactly as long as its components need: a longer one
    // would have the coded data start inside it.
    if (count != int(s->components.size()) || length != 4 + 2 * count)
        return false;
    s->scanOrder.clear();
    for (int i = 0; i < count; ++i) {
        int found = -1;
        for (int c = 0; c < int(s->components.size()); ++c) {
            if (s->components[size_t(c)].id == p[1 + 2 * i])
                found = c;
        }
        for (int already : s->scanOrder) {
            if (already == found)
                found = -1;
        }
        if (found < 0)
            return false;
        Component &c = s->components[size_t(found)];
        c.dcTable = p[2 + 2 * i] >> 4;
        c.acTable = p[2 + 2 * i] & 15;
        if (c.dcTable > 3 || c.acTable > 3 || !s->dc[size_t(c.dcTable)].defined
            || !s->ac[size_t(c.acTable)].defined || !s->quantDefined[size_t(c.quantTable)])
            return false;
        s->scanOrder.push_back(found);
    }
    const std::uint8_t *tail = p + 1 + 2 * count;
    // The whole spectrum at full precision: a sequential scan.
    if (tail[0] != 0 || tail[1] != 63 || tail[2] != 0)
        return false;
    int blocks = 0;
    for (const Component &c : s->components)
        blocks += c.h * c.v;
    return count == 1 || blocks <= 10;
}

} // namespace

bool readStream(const std::uint8_t *bytes, qint64 length, Stream *s)
{
    if (length < 4 || bytes[0] != 0xFF || bytes[1] != 0xD8)
        return false;
    qint64 at = 2;
    bool frame = false;
    while (at + 4 <= length) {
        if (bytes[at] != 0xFF)
            return false;
        const int marker = bytes[at + 1];
        if (marker == 0xFF) {
            ++at; // fill byte
            continue;
        }
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {
            at += 2;
            continue;
        }
        const int size = be16(bytes + at + 2);
        if (size < 2 || at + 2 + size > length)
            return false;
        const std::uint8_t *p = bytes + at + 4;
        const int body = size - 2;
        switch (marker) {
        case 0xC0:
        case 0xC1:
            if (frame || !readFrame(p, body, s))
                return false;
            frame = true;
            break;
        case 0xC4:
            if (!readHuffman(p, body, s))
                return false;
            break;
        case 0xDB:
            if (!readQuant(p, body, s))
                return false;
            break;
        case 0xDD:
            // Restart intervals would need their markers honoured; such files
            // decode in strips elsewhere.
            if (body < 2 || be16(p) != 0)
                return false;
            break;
        case 0xEE:
            // An Adobe segment saying the colour is not transformed: RGB or CMYK.
            if (body >= 12 && std::memcmp(p, "Adobe", 5) == 0 && p[11] == 0 && s->components.size() != 1)
                return false;
            break;
        case 0xDA:
            if (!frame || !readScan(p, body, s))
                return false;
            s->scanStart = at + 2 + size;
            return true;
        case 0xD8:
        case 0xD9:
            return false;
        default:
            // Other frame types, and the hierarchical ones' DHP and EXP segments.
            if (decodesupport::isOtherFrame(uchar(marker)) || marker == 0xDE || marker == 0xDF)
                return false;
            break;
        }
        at += 2 + size;
    }
    return false;
}

namespace {

// Copies [from, end) to `to` without stuffed bytes, on to the first marker.
ScanEnd unstuffPart(const std::uint8_t *&from, const std::uint8_t *end, const std::uint8_t *fileEnd,
                    std::uint8_t *&to)
{
    constexpr std::uint64_t ones = 0x0101010101010101ULL;
    constexpr std::uint64_t highs = 0x8080808080808080ULL;
    for (;;) {
        // Eight bytes at a time while none of them is 0xFF.
        while (end - from >= 8) {
            std::uint64_t word;
            std::memcpy(&word, from, 8);
            const std::uint64_t inverted = ~word;
            if ((inverted - ones) & ~inverted & highs)
                break;
            std::memcpy(to, from, 8);
            to += 8;
            from += 8;
        }
        while (from < end && *from != 0xFF)
            *to++ = *from++;
        if (from >= end)
            return ScanEnd::Limit;
        if (from + 1 < fileEnd && from[1] == 0x00) {
            *to++ = 0xFF; // stuffed
            from += 2;
            continue;
        }
        // Fill bytes, then the marker that ends the scan.
        while (from < fileEnd && *from == 0xFF)
            ++from;
        return from < fileEnd && *from == 0xD9 ? ScanEnd::Image : ScanEnd::Marker;
    }
}

} // namespace

Scan unstuffedScan(const std::uint8_t *bytes, qint64 length, qint64 from, qint64 ownEnd, qint64 limit)
{
    Scan scan;
    limit = qMin(limit, length);
    ownEnd = qBound(from, ownEnd, limit);
    if (from >= limit)
        return scan;
    // Not value-initialised: every byte is written before it is read.
    scan.data.reset(new (std::nothrow) std::uint8_t[size_t(limit - from) + 1 + scanPadding]);
    if (!scan.data)
        return scan;
    std::uint8_t *to = scan.data.get();
    const std::uint8_t *at = bytes + from;
    const std::uint8_t *fileEnd = bytes + length;
    scan.end = unstuffPart(at, bytes + ownEnd, fileEnd, to);
    scan.ownBits = qint64(to - scan.data.get()) * 8;
    if (scan.end == ScanEnd::Limit && at < bytes + limit)
        scan.end = unstuffPart(at, bytes + limit, fileEnd, to);
    if (scan.end == ScanEnd::Limit && limit == length)
        scan.end = ScanEnd::Marker; // the file ends inside the scan
    std::memset(to, 0, scanPadding);
    scan.bits = qint64(to - scan.data.get()) * 8;
    return scan;
}

} // namespace jpegentropy
