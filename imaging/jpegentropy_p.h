#pragma once

// Headers and Huffman decoding of sequential JPEG scans, for decoders that
// need the coefficients rather than the picture (see jpegluma.h).

#include <QtGlobal>

#include <array>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

namespace jpegentropy {

constexpr int fastBits = 11;

// A Huffman table as canonical codes: codes up to `fastBits` long are found
// by one lookup, longer ones by their length's range.
struct HuffmanTable
{
    bool defined = false;
    // (code length << 8) | symbol; 0 where the prefix starts a longer code.
    std::array<std::uint16_t, 1 << fastBits> fast{};
    std::array<std::int32_t, 18> maxCode{}; // per length; -1 where none
    std::array<std::int32_t, 17> valueOffset{};
    std::array<std::uint8_t, 256> values{};
    // For prefixes holding a whole code and the value bits after it:
    // (value << 16) | (run << 8) | bits used; 0 where not. A value of 0 marks
    // a symbol without value bits: end of block, or 16 zeros when run is 15.
    std::array<std::int32_t, 1 << fastBits> fastValue{};

    // From a DHT segment's 16 counts and its symbols; false when the counts
    // overflow the code space or exceed the symbols given.
    bool build(const std::uint8_t *counts, const std::uint8_t *symbols, int symbolCount);
};

struct Component
{
    int id = 0;
    int h = 1;
    int v = 1;
    int quantTable = 0;
    int dcTable = 0;
    int acTable = 0;
};

struct Stream
{
    int width = 0;
    int height = 0;
    std::vector<Component> components;  // in frame order; [0] is luma
    std::vector<int> scanOrder;         // indices into components, as the scan lists them
    std::array<std::array<std::uint16_t, 64>, 4> quant{}; // in zig-zag order
    std::array<bool, 4> quantDefined{};
    std::array<HuffmanTable, 4> dc;
    std::array<HuffmanTable, 4> ac;
    qint64 scanStart = 0;               // first byte of entropy-coded data
};

// Reads the markers up to the first scan. False for anything the luma decoder
// does not take (see jpegluma.h).
bool readStream(const std::uint8_t *bytes, qint64 length, Stream *stream);

// Zero bytes after an unstuffed scan: more than one MCU of ten blocks can
// take, so that a decoder checking for the end between MCUs never reads
// beyond them.
constexpr int scanPadding = 4096;

enum class ScanEnd
{
    Image,   // the end-of-image marker
    Marker,  // another marker, or the file's end
    Limit,   // the bytes asked for
};

// Part of a scan's entropy-coded data without its stuffed bytes.
struct Scan
{
    std::unique_ptr<std::uint8_t[]> data; // followed by `scanPadding` zero bytes
    qint64 bits = 0;                      // before them
    qint64 ownBits = 0;                   // of those, from the bytes before `ownEnd`
    ScanEnd end = ScanEnd::Limit;
};

// The scan's data from byte `from` of the file up to `limit` (a stuffed byte
// pair may run one past it), or up to the first marker. `from` must not follow
// an 0xFF byte, nor `ownEnd`: a cut there would split a pair.
Scan unstuffedScan(const std::uint8_t *bytes, qint64 length, qint64 from, qint64 ownEnd, qint64 limit);

// Reads an unstuffed scan most significant bit first, 32 bits or more
// always at hand. Reads up to 8 bytes past the bit it is at.
class BitReader
{
public:
    BitReader(const std::uint8_t *data, std::uint64_t bit)
        : m_data(data)
        , m_next(data + (bit >> 3))
    {
        refill();
        consume(int(bit & 7));
    }

    std::uint64_t position() const { return std::uint64_t(m_next - m_data) * 8 - m_count; }

    // Decodes one symbol with the `symbol & 15` bits of value that follow it,
    // as run (symbol >> 4) and value; the value is 0 only where the symbol has
    // no value bits. False for a bit pattern that is no code of the table.
    bool next(const HuffmanTable &table, int &run, int &value, int &symbol)
    {
        if (m_count < 32)
            refill();
        const std::int32_t entry = table.fastValue[size_t(m_buffer >> (64 - fastBits))];
        if (entry) {
            consume(entry & 0xFF);
            run = (entry >> 8) & 0xFF;
            value = entry >> 16;
            symbol = -1;
            return true;
        }
        const std::uint32_t bits = std::uint32_t(m_buffer >> 32);
        int length;
        const std::uint16_t fast = table.fast[bits >> (32 - fastBits)];
        if (fast) {
            length = fast >> 8;
            symbol = fast & 0xFF;
        } else {
            length = fastBits + 1;
            while (length <= 16 && std::int32_t(bits >> (32 - length)) > table.maxCode[size_t(length)])
                ++length;
            if (length > 16)
                return false;
            symbol = table.values[size_t(table.valueOffset[size_t(length)] + std::int32_t(bits >> (32 - length)))];
        }
        const int size = symbol & 15;
        if (size) {
            const int raw = int((bits << length) >> (32 - size));
            value = raw < (1 << (size - 1)) ? raw - (1 << size) + 1 : raw;
        } else {
            value = 0;
        }
        run = symbol >> 4;
        consume(length + size);
        return true;
    }

private:
    void refill()
    {
        std::uint64_t word;
        std::memcpy(&word, m_next, sizeof word);
        m_buffer |= __builtin_bswap64(word) >> m_count;
        m_next += (63 - m_count) >> 3;
        m_count |= 56;
    }
    void consume(int bits)
    {
        m_buffer <<= bits;
        m_count -= bits;
    }

    const std::uint8_t *m_data;
    const std::uint8_t *m_next;
    std::uint64_t m_buffer = 0;
    int m_count = 0;
};

} // namespace jpegentropy
