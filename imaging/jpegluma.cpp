#include "imaging/jpegluma.h"

#include "imaging/jpegentropy_p.h"

#include <algorithm>
#include <atomic>
#include <memory>
#include <new>
#include <system_error>
#include <thread>

using namespace jpegentropy;

namespace {

// Below this much coded data a second thread costs more than it saves.
constexpr qint64 minBytesPerRange = 256 * 1024;

// A gigapixel; beyond, the general decoder's limits apply.
constexpr qint64 maxLumaBlocks = (qint64(1) << 30) / 64;

struct LumaBlock
{
    std::int32_t dc;   // the running DC value, not yet dequantised
    std::int16_t a1;   // the lowest horizontal frequency
    std::int16_t a2;   // the lowest vertical one
    std::int16_t a4;   // both
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
            *luma = {dc[block.component], 0, 0, 0};
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

// What one thread decoded from its range's first bit on. Each range holds its
// own bytes of the scan, unstuffed by the thread that decodes them, and some
// of the next range's, where it meets that one.
struct Range
{
    qint64 rawFirst = 0;    // its bytes in the file
    qint64 rawEnd = 0;
    Scan scan;
    std::unique_ptr<std::uint64_t[]> starts;  // of each MCU decoded, in bits
    std::unique_ptr<std::uint64_t[]> ends;
    std::unique_ptr<LumaBlock[]> luma;
    std::atomic<qint64> published{0};          // MCUs whose start is readable by the range before
    std::atomic<bool> finished{false};
    qint64 count = 0;
    qint64 meetHere = -1;   // its MCU that the next range also decoded, as that one's
    qint64 meetThere = -1;  // MCU number `meetThere`
    bool failed = false;
};

struct Job
{
    const Layout *layout;
    const std::uint8_t *bytes;
    qint64 length;
    qint64 capacity;
    std::vector<Range> ranges;
};

// How far into the next range's bytes a range may run to meet it: many times
// what falling into step takes.
constexpr qint64 meetingBytes = 256 * 1024;

void decodeRange(Job &job, size_t index)
{
    Range &range = job.ranges[index];
    Range *next = index + 1 < job.ranges.size() ? &job.ranges[index + 1] : nullptr;
    const bool exact = index == 0;
    const Layout &layout = *job.layout;
    const qint64 limit = exact ? layout.mcus : job.capacity;
    range.scan = unstuffedScan(job.bytes, job.length, range.rawFirst, range.rawEnd,
                               next ? range.rawEnd + meetingBytes : job.length);
    if (!range.scan.data) {
        range.failed = true;
        range.finished.store(true, std::memory_order_release);
        return;
    }
    const std::uint8_t *data = range.scan.data.get();
    const qint64 bits = range.scan.bits;
    // Where the next range's bits begin, in this range's.
    const std::uint64_t nextFirst = std::uint64_t(range.scan.ownBits);
    BitReader reader(data, 0);
    std::int32_t dc[4] = {};
    qint64 seen = 0; // MCUs of the next range known to start before `pos`
    qint64 count = 0;
    while (count < limit) {
        std::uint64_t pos = reader.position();
        if (qint64(pos) >= bits)
            break;
        if (next && pos >= nextFirst) {
            qint64 available = next->published.load(std::memory_order_acquire);
            for (;;) {
                while (seen < available && next->starts[size_t(seen)] < pos - nextFirst)
                    ++seen;
                if (seen < available || next->finished.load(std::memory_order_acquire))
                    break;
                std::this_thread::yield();
                available = next->published.load(std::memory_order_acquire);
            }
            if (seen < available && next->starts[size_t(seen)] == pos - nextFirst) {
                range.meetHere = count;
                range.meetThere = seen;
            } else if (seen >= available) {
                next = nullptr; // it ended without a block here: decode on
            }
        }
        if (!decodeMcu(layout, reader, dc, range.luma.get() + count * layout.lumaPerMcu)) {
            if (exact) {
                range.failed = true;
                break;
            }
            // Not in step with the stream yet: on from the next bit.
            reader = BitReader(data, reader.position() + 1);
            continue;
        }
        range.starts[size_t(count)] = pos;
        range.ends[size_t(count)] = reader.position();
        ++count;
        range.published.store(count, std::memory_order_release);
        if (range.meetHere >= 0)
            break;
    }
    range.count = count;
    range.finished.store(true, std::memory_order_release);
}

// A run of MCUs one range decoded in step with the stream.
struct Segment
{
    const Range *range;
    qint64 first;          // its first MCU, as the range numbers them
    qint64 count;
    std::int32_t offset;   // to add to the range's DC values
};

// The ranges' work as consecutive segments covering every MCU of the scan, or
// nothing when the pieces do not join up.
std::vector<Segment> joined(const Job &job)
{
    const Layout &layout = *job.layout;
    const int per = layout.lumaPerMcu;
    std::vector<Segment> segments;
    qint64 global = 0;
    qint64 local = 0;
    std::int32_t offset = 0;
    for (size_t k = 0; k < job.ranges.size() && global < layout.mcus; ++k) {
        const Range &r = job.ranges[k];
        if (r.failed)
            return {};
        const bool meets = r.meetHere >= 0 && k + 1 < job.ranges.size();
        const qint64 end = meets ? r.meetHere : local + (layout.mcus - global);
        if (end < local || end > r.count)
            return {};
        // Decoded one after the other, without a failure between.
        for (qint64 i = local + 1; i < end; ++i) {
            if (r.starts[size_t(i)] != r.ends[size_t(i - 1)])
                return {};
        }
        // The last piece ends where the image does, having read nothing beyond.
        if (!meets && (r.scan.end != ScanEnd::Image || (end > local && qint64(r.ends[size_t(end - 1)]) > r.scan.bits)))
            return {};
        segments.push_back({&r, local, end - local, offset});
        global += end - local;
        if (!meets)
            break;
        const Range &n = job.ranges[k + 1];
        const std::int32_t truth = wrappingAdd(r.luma[size_t(r.meetHere * per)].dc, offset);
        offset = std::int32_t(std::uint32_t(truth) - std::uint32_t(n.luma[size_t(r.meetThere * per)].dc));
        local = r.meetThere;
    }
    if (global != layout.mcus)
        return {};
    return segments;
}

uchar pixel(qint64 fixed)
{
    return uchar(std::clamp<qint64>(fixed >> 16, 0, 255));
}

QImage picture(const Stream &s, const Layout &layout, const std::vector<Segment> &segments, int denominator)
{
    QImage image((s.width + denominator - 1) / denominator, (s.height + denominator - 1) / denominator,
                 QImage::Format_Grayscale8);
    if (image.isNull())
        return image;
    const auto &q = s.quant[size_t(s.components[0].quantTable)];
    const int side = 8 / denominator;
    const int per = layout.lumaPerMcu;
    // A quarter's mean of the 8 × 8 inverse transform, from the four lowest
    // frequencies: DC / 8, ±0.11327 per first harmonic, ±0.10262 for both,
    // in 16-bit fixed point.
    constexpr qint64 first = 7423;
    constexpr qint64 both = 6726;
    uchar *const pixels = image.bits();
    const qsizetype stride = image.bytesPerLine();
    const qint64 width = image.width();
    const qint64 height = image.height();
    qint64 mx = 0;
    qint64 my = 0;
    for (const Segment &segment : segments) {
        const LumaBlock *blocks = segment.range->luma.get() + segment.first * per;
        for (qint64 m = 0; m < segment.count; ++m, blocks += per) {
            for (int b = 0; b < per; ++b) {
                const LumaBlock &block = blocks[b];
                const qint64 x = (mx * layout.lumaAcross + b % layout.lumaAcross) * side;
                const qint64 y = (my * layout.lumaDown + b / layout.lumaAcross) * side;
                if (x >= width || y >= height)
                    continue;
                const qint64 base = qint64(wrappingAdd(block.dc, segment.offset)) * q[0] * 8192 + (qint64(128) << 16) + 32768;
                uchar *at = pixels + y * stride + x;
                if (side == 1) {
                    *at = pixel(base);
                    continue;
                }
                const qint64 h = first * block.a1 * q[1];
                const qint64 v = first * block.a2 * q[2];
                const qint64 d = both * block.a4 * q[4];
                const bool right = x + 1 < width;
                at[0] = pixel(base + h + v + d);
                if (right)
                    at[1] = pixel(base - h + v - d);
                if (y + 1 < height) {
                    at[stride] = pixel(base + h - v - d);
                    if (right)
                        at[stride + 1] = pixel(base - h - v + d);
                }
            }
            if (++mx == layout.mcusAcross) {
                mx = 0;
                ++my;
            }
        }
    }
    return image;
}

} // namespace

QImage decodeJpegLuma(const uchar *bytes, qint64 length, int denominator, int threads)
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
    const size_t count = size_t(std::clamp<qint64>(qMin<qint64>(threads, coded / minBytesPerRange), 1, 16));
    Job job{&layout, bytes, length, layout.mcus + 64, std::vector<Range>(count)};
    qint64 previous = stream.scanStart;
    for (size_t k = 0; k < count; ++k) {
        Range &r = job.ranges[k];
        r.rawFirst = previous;
        qint64 cut = k + 1 < count ? stream.scanStart + coded * qint64(k + 1) / qint64(count) : length;
        while (cut < length && bytes[cut - 1] == 0xFF)
            ++cut; // never inside a stuffed pair
        r.rawEnd = previous = qMax(cut, r.rawFirst);
        const qint64 room = k == 0 ? layout.mcus : job.capacity;
        r.starts.reset(new (std::nothrow) std::uint64_t[size_t(room)]);
        r.ends.reset(new (std::nothrow) std::uint64_t[size_t(room)]);
        r.luma.reset(new (std::nothrow) LumaBlock[size_t(room * layout.lumaPerMcu)]);
        if (!r.starts || !r.ends || !r.luma)
            return QImage();
    }
    std::vector<std::thread> helpers;
    for (size_t k = 1; k < job.ranges.size(); ++k) {
        try {
            helpers.emplace_back([&job, k] { decodeRange(job, k); });
        } catch (const std::system_error &) {
            // No thread to be had: the range is left out, the one before decodes on.
            job.ranges[k].failed = true;
            job.ranges[k].finished.store(true, std::memory_order_release);
        }
    }
    decodeRange(job, 0);
    for (std::thread &t : helpers)
        t.join();

    const std::vector<Segment> segments = joined(job);
    // Where the ranges did not join up (data after the image, a range that
    // never fell into step), one thread decodes the whole scan.
    if (segments.empty())
        return threads > 1 && count > 1 ? decodeJpegLuma(bytes, length, denominator, 1) : QImage();
    return picture(stream, layout, segments, denominator);
}
