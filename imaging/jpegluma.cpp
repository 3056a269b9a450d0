#include "imaging/jpegluma.h"

#include "imaging/jpegentropy_p.h"
#include "imaging/jpegluma_p.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstring>
#include <memory>
#include <new>
#include <system_error>
#include <thread>

using namespace jpegentropy;

namespace {

// A gigapixel; beyond, the general decoder's limits apply.
constexpr qint64 maxLumaBlocks = (qint64(1) << 30) / 64;

// A luma block's DC (the running value of whoever decoded it) and its three
// lowest frequencies. DC values are kept to 16 bits, which a sound stream's
// never leave, so that the offsets fixing them up wrap alike however the scan
// was cut.
struct LumaBlock
{
    std::int16_t dc;
    std::int16_t a1; // the lowest horizontal frequency
    std::int16_t a2; // the lowest vertical one
    std::int16_t a4; // both
};

// The blocks of one MCU in coding order.
struct Layout
{
    struct Block
    {
        const HuffmanTable *dc;
        const HuffmanTable *ac;
        int component;
        int luma;          // its index among the MCU's luma blocks; -1 for chroma
    };
    std::vector<Block> blocks;
    int lumaPerMcu = 1;
    int lumaAcross = 1;    // luma blocks of an MCU, across and down
    int lumaDown = 1;
    int mcusAcross = 0;
    qint64 mcus = 0;
};

Layout layoutOf(const Stream &s)
{
    Layout layout;
    const Component &y = s.components[0];
    if (s.components.size() == 1) {
        // A scan of one component has one block per MCU whatever its sampling.
        layout.mcusAcross = (s.width + 7) / 8;
        layout.mcus = qint64(layout.mcusAcross) * ((s.height + 7) / 8);
        layout.blocks.push_back({&s.dc[size_t(y.dcTable)], &s.ac[size_t(y.acTable)], 0, 0});
        return layout;
    }
    layout.lumaAcross = y.h;
    layout.lumaDown = y.v;
    layout.lumaPerMcu = y.h * y.v;
    layout.mcusAcross = (s.width + 8 * y.h - 1) / (8 * y.h);
    layout.mcus = qint64(layout.mcusAcross) * ((s.height + 8 * y.v - 1) / (8 * y.v));
    for (int index : s.scanOrder) {
        const Component &c = s.components[size_t(index)];
        for (int i = 0; i < c.h * c.v; ++i)
            layout.blocks.push_back({&s.dc[size_t(c.dcTable)], &s.ac[size_t(c.acTable)], index, index == 0 ? i : -1});
    }
    return layout;
}

// Running DC values wrap rather than overflow: a damaged stream's may run
// away, a sound stream's never leave 16 bits.
std::int32_t wrappingAdd(std::int32_t a, std::int32_t b)
{
    return std::int32_t(std::uint32_t(a) + std::uint32_t(b));
}

std::int16_t wrap16(std::int32_t value)
{
    return std::int16_t(std::uint16_t(std::uint32_t(value)));
}

// One MCU, its luma blocks' coefficients to `out`, the running DC values in
// `dc`. False on a bit pattern that is no code or on coefficients beyond a
// block's 64: never in a sound stream, soon in a misaligned one.
bool decodeMcu(const Layout &layout, BitReader &reader, std::int32_t *dc, LumaBlock *out)
{
    for (const Layout::Block &block : layout.blocks) {
        int run;
        int value;
        int symbol;
        if (!reader.next(*block.dc, run, value, symbol) || run != 0 || symbol > 11)
            return false;
        dc[block.component] = wrappingAdd(dc[block.component], value);
        LumaBlock *luma = block.luma >= 0 ? out + block.luma : nullptr;
        if (luma)
            *luma = {wrap16(dc[block.component]), 0, 0, 0};
        int k = 1;
        while (k < 64) {
            if (!reader.next(*block.ac, run, value, symbol))
                return false;
            if (value == 0) {
                if (run != 15)
                    break;
                k += 16;
                continue;
            }
            k += run;
            if (luma && k <= 4) {
                if (k == 1)
                    luma->a1 = std::int16_t(value);
                else if (k == 2)
                    luma->a2 = std::int16_t(value);
                else if (k == 4)
                    luma->a4 = std::int16_t(value);
            }
            ++k;
        }
        if (k > 64)
            return false;
    }
    return true;
}

// Writes MCUs as pixels, one after the other in scan order.
class Painter
{
public:
    Painter(QImage &image, const Stream &s, const Layout &layout, int denominator)
        : m_layout(layout)
        , m_q(s.quant[size_t(s.components[0].quantTable)])
        , m_side(8 / denominator)
        , m_pixels(image.bits())
        , m_stride(image.bytesPerLine())
        , m_width(image.width())
        , m_height(image.height())
    {
    }

    void seek(qint64 mcu)
    {
        m_mx = mcu % m_layout.mcusAcross;
        m_my = mcu / m_layout.mcusAcross;
    }

    // One MCU's luma blocks, their DC values moved by `offset`.
    void paint(const LumaBlock *blocks, std::int16_t offset)
    {
        // A quarter's mean of the 8 × 8 inverse transform, from the four
        // lowest frequencies: DC / 8, ±0.11327 per first harmonic, ±0.10262
        // for both, in 16-bit fixed point.
        constexpr qint64 first = 7423;
        constexpr qint64 both = 6726;
        for (int b = 0; b < m_layout.lumaPerMcu; ++b) {
            const LumaBlock &block = blocks[b];
            const qint64 x = (m_mx * m_layout.lumaAcross + b % m_layout.lumaAcross) * m_side;
            const qint64 y = (m_my * m_layout.lumaDown + b / m_layout.lumaAcross) * m_side;
            if (x >= m_width || y >= m_height)
                continue;
            const qint64 dc = wrap16(std::int32_t(block.dc) + offset);
            const qint64 base = dc * m_q[0] * 8192 + (qint64(128) << 16) + 32768;
            uchar *at = m_pixels + y * m_stride + x;
            if (m_side == 1) {
                *at = pixel(base);
                continue;
            }
            const qint64 h = first * block.a1 * m_q[1];
            const qint64 v = first * block.a2 * m_q[2];
            const qint64 d = both * block.a4 * m_q[4];
            const bool right = x + 1 < m_width;
            at[0] = pixel(base + h + v + d);
            if (right)
                at[1] = pixel(base - h + v - d);
            if (y + 1 < m_height) {
                at[m_stride] = pixel(base + h - v - d);
                if (right)
                    at[m_stride + 1] = pixel(base - h - v + d);
            }
        }
        if (++m_mx == m_layout.mcusAcross) {
            m_mx = 0;
            ++m_my;
        }
    }

private:
    static uchar pixel(qint64 fixed) { return uchar(std::clamp<qint64>(fixed >> 16, 0, 255)); }

    const Layout &m_layout;
    const std::array<std::uint16_t, 64> &m_q;
    const int m_side;
    uchar *const m_pixels;
    const qsizetype m_stride;
    const qint64 m_width;
    const qint64 m_height;
    qint64 m_mx = 0;
    qint64 m_my = 0;
};

// The luma blocks a range decoded before it is known where they go, in
// chunks taken as it goes: what is held is what was decoded, never what the
// header promises. At 1/8 only the DC values are kept.
class BlockStore
{
public:
    void setUp(int perMcu, int fields)
    {
        m_perMcu = perMcu;
        m_fields = fields;
    }

    // False when the memory cannot be had.
    bool put(qint64 mcu, const LumaBlock *blocks)
    {
        const size_t chunk = size_t(mcu / chunkMcus);
        if (chunk >= m_chunks.size()) {
            m_chunks.emplace_back(new (std::nothrow) std::int16_t[size_t(chunkMcus * m_perMcu * m_fields)]);
            if (!m_chunks.back())
                return false;
        }
        std::int16_t *to = m_chunks[chunk].get() + (mcu % chunkMcus) * m_perMcu * m_fields;
        for (int b = 0; b < m_perMcu; ++b, to += m_fields)
            std::memcpy(to, &blocks[b], size_t(m_fields) * sizeof(std::int16_t));
        return true;
    }

    // One MCU's blocks, into `out`.
    void get(qint64 mcu, LumaBlock *out) const
    {
        const std::int16_t *from = m_chunks[size_t(mcu / chunkMcus)].get() + (mcu % chunkMcus) * m_perMcu * m_fields;
        for (int b = 0; b < m_perMcu; ++b, from += m_fields) {
            out[b] = {0, 0, 0, 0};
            std::memcpy(&out[b], from, size_t(m_fields) * sizeof(std::int16_t));
        }
    }

private:
    static constexpr qint64 chunkMcus = 16384;
    std::vector<std::unique_ptr<std::int16_t[]>> m_chunks;
    int m_perMcu = 1;
    int m_fields = 4;
};

// What one thread decoded from its range's first bit on. Each range holds its
// own bytes of the scan, unstuffed by the thread that decodes them, and some
// of the next range's, where it meets that one. The first range paints what
// it decodes; the others keep it until their place and DC offset are known.
struct Range
{
    qint64 rawFirst = 0;    // its bytes in the file
    qint64 rawEnd = 0;
    Scan scan;
    BlockStore blocks;
    // Where its MCUs start, in bits, while they start within what the range
    // before may run into; read by that range while it looks for a meeting.
    std::unique_ptr<std::uint32_t[]> starts;
    qint64 startsCapacity = 0;
    std::atomic<qint64> published{0};
    std::atomic<bool> startsDone{false};  // no more starts will be published
    qint64 count = 0;
    qint64 lastResync = 0;  // the first MCU decoded after its last failure
    qint64 meetHere = -1;   // its MCU that the next range also decoded, as that one's
    qint64 meetThere = -1;  // MCU number `meetThere`
    std::int16_t meetDc = 0; // its DC value of that MCU's first luma block
    bool failed = false;
};

struct Job
{
    const Layout *layout;
    const std::uint8_t *bytes;
    qint64 length;
    qint64 meetingBytes;
    Painter *painter;
    std::vector<Range> ranges;
    std::atomic<bool> abandoned{false}; // the ranges cannot join up: stop early
};

void finish(Range &range, qint64 count)
{
    range.count = count;
    range.startsDone.store(true, std::memory_order_release);
}

// The first MCU of the next range that starts at or after `target` bits into
// its data, from `seen` on; `available` when it has none and publishes no more.
qint64 nextStartFrom(const Range &next, qint64 seen, std::uint64_t target)
{
    for (;;) {
        qint64 available = next.published.load(std::memory_order_acquire);
        while (seen < available && next.starts[size_t(seen)] < target)
            ++seen;
        if (seen < available)
            return seen;
        if (next.startsDone.load(std::memory_order_acquire)) {
            available = next.published.load(std::memory_order_acquire);
            while (seen < available && next.starts[size_t(seen)] < target)
                ++seen;
            return seen;
        }
        std::this_thread::yield();
    }
}

void decodeRange(Job &job, size_t index)
{
    Range &range = job.ranges[index];
    Range *next = index + 1 < job.ranges.size() ? &job.ranges[index + 1] : nullptr;
    const bool exact = index == 0;
    const Layout &layout = *job.layout;
    const qint64 limit = exact ? layout.mcus : layout.mcus + 64;
    range.scan = unstuffedScan(job.bytes, job.length, range.rawFirst, range.rawEnd,
                               next ? range.rawEnd + job.meetingBytes : job.length);
    if (!range.scan.data) {
        range.failed = true;
        job.abandoned.store(true, std::memory_order_relaxed);
        finish(range, 0);
        return;
    }
    const std::uint8_t *data = range.scan.data.get();
    const std::uint64_t bits = std::uint64_t(range.scan.bits);
    // Where the next range's bits begin, in this range's.
    const std::uint64_t nextFirst = std::uint64_t(range.scan.ownBits);
    const std::uint64_t window = std::uint64_t(job.meetingBytes) * 8;
    BitReader reader(data, 0);
    std::int32_t dc[4] = {};
    LumaBlock mcu[16];
    qint64 seen = 0;
    qint64 count = 0;
    while (count < limit) {
        if ((count & 4095) == 0 && job.abandoned.load(std::memory_order_relaxed)) {
            range.failed = true;
            break;
        }
        const std::uint64_t pos = reader.position();
        if (pos >= bits)
            break;
        bool meeting = false;
        if (next && pos >= nextFirst) {
            seen = nextStartFrom(*next, seen, pos - nextFirst);
            if (seen < next->published.load(std::memory_order_acquire))
                meeting = next->starts[size_t(seen)] == pos - nextFirst;
            else
                next = nullptr; // it has no block here nor beyond: decode on
        }
        if (!decodeMcu(layout, reader, dc, mcu)) {
            if (exact) {
                range.failed = true;
                break;
            }
            // Not in step with the stream yet: on from the next bit.
            reader = BitReader(data, reader.position() + 1);
            range.lastResync = count;
            continue;
        }
        // An MCU that ran into the padding is not taken, least of all as the
        // meeting whose DC value fixes up the next range's.
        if (reader.position() > bits)
            break;
        if (exact)
            job.painter->paint(mcu, 0);
        else if (!range.blocks.put(count, mcu)) {
            range.failed = true;
            break;
        }
        if (count < range.startsCapacity && pos < window) {
            range.starts[size_t(count)] = std::uint32_t(pos);
            range.published.store(count + 1, std::memory_order_release);
        } else if (range.starts) {
            range.startsDone.store(true, std::memory_order_release);
        }
        if (meeting) {
            range.meetHere = count;
            range.meetThere = seen;
            range.meetDc = mcu[0].dc;
            ++count;
            break;
        }
        ++count;
    }
    // Where the first range neither met the next one nor reached the image's
    // end, a gap is left that nothing fills: the others need not go on.
    if (exact && (range.failed || (range.meetHere < 0 && range.scan.end != ScanEnd::Image && count < limit)))
        job.abandoned.store(true, std::memory_order_relaxed);
    finish(range, count);
}

// A run of MCUs one range decoded in step with the stream.
struct Segment
{
    const Range *range;
    qint64 first;          // its first MCU, as the range numbers them
    qint64 count;
    std::int16_t offset;   // to add to the range's DC values
};

// The ranges' work as consecutive segments covering every MCU of the scan, or
// nothing when the pieces do not join up.
std::vector<Segment> joined(const Job &job)
{
    const Layout &layout = *job.layout;
    std::vector<Segment> segments;
    qint64 global = 0;
    qint64 local = 0;
    std::int16_t offset = 0;
    LumaBlock mcu[16];
    for (size_t k = 0; k < job.ranges.size() && global < layout.mcus; ++k) {
        const Range &r = job.ranges[k];
        if (r.failed)
            return {};
        const bool meets = r.meetHere >= 0 && k + 1 < job.ranges.size();
        const qint64 end = meets ? r.meetHere : local + (layout.mcus - global);
        if (end < local || end > r.count)
            return {};
        // Decoded one after the other, without a failure between, from the
        // first MCU taken up to the meeting.
        if (r.lastResync > local)
            return {};
        // The last piece ends where the image does.
        if (!meets && r.scan.end != ScanEnd::Image)
            return {};
        segments.push_back({&r, local, end - local, offset});
        global += end - local;
        if (!meets)
            break;
        const Range &n = job.ranges[k + 1];
        const std::int16_t truth = wrap16(std::int32_t(r.meetDc) + offset);
        n.blocks.get(r.meetThere, mcu);
        offset = wrap16(std::int32_t(truth) - mcu[0].dc);
        local = r.meetThere;
    }
    if (global != layout.mcus)
        return {};
    return segments;
}

// Cuts the scan into `count` ranges decoded side by side. The first range
// paints its part as it goes; false when the ranges did not join up (data
// after the image, a range that never fell into step), and then what was
// painted is not the picture. Everything the attempt held is released on return.
bool decodeInRanges(const Stream &stream, const Layout &layout, const uchar *bytes, qint64 length, size_t count,
                    const jpegluma::Cutting &cutting, int denominator, QImage &image)
{
    Painter painter(image, stream, layout, denominator);
    Job job{&layout, bytes, length, cutting.meetingBytes, &painter, std::vector<Range>(count)};
    const qint64 coded = length - stream.scanStart;
    // Each block takes two bits at least: a DC code and an end of block.
    const qint64 startsCapacity = qMin(layout.mcus + 64, cutting.meetingBytes * 8 / (2 * qint64(layout.blocks.size())) + 2);
    qint64 previous = stream.scanStart;
    for (size_t k = 0; k < count; ++k) {
        Range &r = job.ranges[k];
        r.rawFirst = previous;
        qint64 cut = k + 1 < count ? stream.scanStart + coded * qint64(k + 1) / qint64(count) : length;
        while (cut < length && bytes[cut - 1] == 0xFF)
            ++cut; // never inside a stuffed pair
        r.rawEnd = previous = qMax(cut, r.rawFirst);
        r.blocks.setUp(layout.lumaPerMcu, denominator == 8 ? 1 : 4);
        if (k > 0) {
            r.starts.reset(new (std::nothrow) std::uint32_t[size_t(startsCapacity)]);
            if (!r.starts)
                return false;
            r.startsCapacity = startsCapacity;
        }
    }
    std::vector<std::thread> helpers;
    for (size_t k = 1; k < job.ranges.size(); ++k) {
        try {
            helpers.emplace_back([&job, k] { decodeRange(job, k); });
        } catch (const std::system_error &) {
            // No thread to be had: the attempt is given up.
            job.ranges[k].failed = true;
            job.abandoned.store(true);
            finish(job.ranges[k], 0);
        }
    }
    decodeRange(job, 0);
    for (std::thread &t : helpers)
        t.join();

    const std::vector<Segment> segments = joined(job);
    if (segments.empty())
        return false;
    LumaBlock mcu[16];
    qint64 at = segments.front().count; // the first range's part is painted
    for (auto s = segments.begin() + 1; s != segments.end(); ++s) {
        painter.seek(at);
        for (qint64 m = 0; m < s->count; ++m) {
            s->range->blocks.get(s->first + m, mcu);
            painter.paint(mcu, s->offset);
        }
        at += s->count;
    }
    return true;
}

} // namespace

namespace jpegluma {

QImage decode(const uchar *bytes, qint64 length, int denominator, int threads, const Cutting &cutting)
{
    if (!bytes || (denominator != 4 && denominator != 8))
        return QImage();
    Stream stream;
    if (!readStream(bytes, length, &stream))
        return QImage();
    const Layout layout = layoutOf(stream);
    const qint64 coded = length - stream.scanStart;
    // Every block takes two bits at least (a DC code and an end of block): a
    // header declaring more blocks than the file can hold is not believed,
    // and nothing is set aside for them.
    if (layout.mcus * qint64(layout.blocks.size()) * 2 > coded * 8 || layout.mcus * layout.lumaPerMcu > maxLumaBlocks)
        return QImage();
    QImage image((stream.width + denominator - 1) / denominator, (stream.height + denominator - 1) / denominator,
                 QImage::Format_Grayscale8);
    if (image.isNull())
        return image;
    const size_t count = size_t(std::clamp<qint64>(qMin<qint64>(threads, coded / qMax<qint64>(1, cutting.minBytesPerRange)), 1, 16));
    if (count > 1 && decodeInRanges(stream, layout, bytes, length, count, cutting, denominator, image))
        return image;
    // One range for the whole scan, after the ranges' memory is given back.
    if (decodeInRanges(stream, layout, bytes, length, 1, cutting, denominator, image))
        return image;
    return QImage();
}

} // namespace jpegluma

QImage decodeJpegLuma(const uchar *bytes, qint64 length, int denominator, int threads)
{
    return jpegluma::decode(bytes, length, denominator, threads, jpegluma::Cutting());
}
