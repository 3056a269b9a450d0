#include "imaging/jpegstrips.h"

#include "imaging/damagereport.h"
#include "imaging/decodesupport_p.h"
#include "imaging/photodecoder.h"

#include <QBuffer>
#include <QColorSpace>
#include <QImageReader>
#include <QSemaphore>
#include <QThreadPool>

#include <atomic>
#include <cstring>
#include <memory>

using namespace decodesupport;

namespace {

// Below this many pixels a photo decodes in a few milliseconds, less than
// what handing strips to other threads costs.
constexpr qint64 minStripPixels = 4'000'000;
constexpr int maxStripCount = 8;

struct Header
{
    qint64 sofHeightPos = -1; // where the frame header's two height bytes are
    qint64 scanStart = -1;    // first byte of entropy-coded data
    int width = 0;
    int height = 0;
    int mcuWidth = 0;
    int mcuHeight = 0;
    int restartInterval = 0;
};

bool isSequentialHuffmanFrame(uchar marker)
{
    return marker == 0xC0 || marker == 0xC1;
}

// Walks the segments from start-of-image to the first scan header.
bool readHeader(const uchar *bytes, qint64 length, Header *h)
{
    if (length < 4 || bytes[0] != 0xFF || bytes[1] != 0xD8)
        return false;
    int components = 0;
    int segments = 0;
    qint64 pos = 2;
    while (pos + 4 <= length) {
        if (bytes[pos] != 0xFF)
            return false;
        const uchar marker = bytes[pos + 1];
        if (marker == 0xFF) { // fill byte
            ++pos;
            continue;
        }
        const qint64 size = readU16(bytes, length, pos + 2, false);
        // The strips repeat this header; a scan with restart markers holds no
        // other segment, so it is every segment a strip has.
        if (size < 2 || pos + 2 + size > length || ++segments > maxJpegSegments)
            return false;
        const uchar *data = bytes + pos + 4;
        const qint64 dataSize = size - 2;
        if (isOtherFrame(marker))
            return false;
        if (isSequentialHuffmanFrame(marker)) {
            if (dataSize < 6)
                return false;
            h->sofHeightPos = pos + 5;
            h->height = (data[1] << 8) | data[2];
            h->width = (data[3] << 8) | data[4];
            components = data[5];
            if (components < 1 || dataSize < 6 + 3 * components || h->width == 0 || h->height == 0)
                return false;
            int hMax = 1;
            int vMax = 1;
            for (int c = 0; c < components; ++c) {
                const uchar factors = data[6 + 3 * c + 1];
                hMax = qMax(hMax, factors >> 4);
                vMax = qMax(vMax, factors & 0x0F);
            }
            // A single component is coded block by block, whatever its factors.
            h->mcuWidth = components == 1 ? 8 : 8 * hMax;
            h->mcuHeight = components == 1 ? 8 : 8 * vMax;
        } else if (marker == 0xDD) {
            if (dataSize < 2)
                return false;
            h->restartInterval = (data[0] << 8) | data[1];
        } else if (marker == 0xDA) {
            // One scan holding every component, or nothing to cut.
            if (h->sofHeightPos < 0 || dataSize < 1 || data[0] != components)
                return false;
            h->scanStart = pos + 2 + size;
            return h->restartInterval > 0;
        }
        pos += 2 + size;
    }
    return false;
}

// Positions of the restart markers in the scan, in order, and of the
// end-of-image marker; false when a marker is out of sequence, there are more
// than `most`, or another marker (a second scan, a height given late)
// interrupts the data.
bool findRestarts(const uchar *bytes, qint64 length, qint64 from, qint64 most, QList<qint64> *restarts, qint64 *end)
{
    qint64 pos = from;
    while (pos < length) {
        const void *found = std::memchr(bytes + pos, 0xFF, size_t(length - pos));
        if (!found)
            return false;
        pos = static_cast<const uchar *>(found) - bytes;
        qint64 next = pos + 1;
        while (next < length && bytes[next] == 0xFF)
            ++next;
        if (next >= length)
            return false;
        const uchar marker = bytes[next];
        if (marker == 0x00) {
            pos = next + 1;
        } else if (marker >= 0xD0 && marker <= 0xD7) {
            if (marker - 0xD0 != restarts->size() % 8 || restarts->size() >= most)
                return false;
            restarts->append(next - 1);
            pos = next + 1;
        } else if (marker == 0xD9) {
            *end = next - 1;
            return true;
        } else {
            return false;
        }
    }
    return false;
}

QThreadPool &stripPool()
{
    // The thread that asks decodes one strip itself, so one thread fewer.
    static QThreadPool *pool = [] {
        auto *p = new QThreadPool;
        p->setMaxThreadCount(qMax(1, QThread::idealThreadCount() - 1));
        return p;
    }();
    return *pool;
}

// Strips are claimed one at a time by whichever thread is free, the asking
// thread included, so that a busy pool never leaves it waiting for a strip
// nobody has begun.
struct StripJob
{
    const JpegStripPlan *plan = nullptr; // read only while strips are unclaimed
    int count = 0;
    int denominator = 1;
    QList<QImage> images;
    std::atomic<bool> damaged{false};
    std::atomic<int> next{0};
    QSemaphore done;

    void runAvailable()
    {
        for (int i = next++; i < count; i = next++) {
            QByteArray stream = jpegStripStream(*plan, i);
            QBuffer buffer(&stream);
            buffer.open(QIODevice::ReadOnly);
            QImageReader reader(&buffer, "JPEG");
            reader.setAutoTransform(false);
            if (denominator > 1)
                reader.setScaledSize(QSize(plan->size.width() / denominator, plan->heights[i] / denominator));
            resetDamageReport();
            images[i] = reader.read();
            if (damageReported())
                damaged = true;
            done.release();
        }
    }
};

} // namespace

JpegStripPlan planJpegStrips(const uchar *bytes, qint64 length, int maxStrips)
{
    JpegStripPlan plan;
    Header h;
    if (!bytes || maxStrips < 2 || !readHeader(bytes, length, &h))
        return plan;
    const qint64 perRow = (h.width + h.mcuWidth - 1) / h.mcuWidth;
    const qint64 rows = (h.height + h.mcuHeight - 1) / h.mcuHeight;
    const qint64 intervals = (perRow * rows + h.restartInterval - 1) / h.restartInterval;
    // The frame gives the number of restart markers: a scan of nothing else
    // holds half a million in a megabyte.
    QList<qint64> restarts;
    qint64 end = -1;
    if (!findRestarts(bytes, length, h.scanStart, intervals - 1, &restarts, &end) || restarts.size() + 1 != intervals)
        return plan;

    const auto aligned = [&](qint64 row) { return (row * perRow) % h.restartInterval == 0; };
    const auto intervalStart = [&](qint64 interval) {
        return interval == 0 ? h.scanStart : restarts[interval - 1] + 2;
    };
    // Cut before the row nearest each equal share of the coded bytes whose
    // first MCU opens a restart interval: a sky codes in far fewer bytes, and
    // decodes faster, than a forest.
    QList<qint64> cutRows{0};
    const int strips = int(qMin<qint64>(maxStrips, rows));
    for (int s = 1; s < strips; ++s) {
        const qint64 wanted = h.scanStart + (end - h.scanStart) * s / strips;
        qint64 best = -1;
        qint64 bestDistance = 0;
        for (qint64 row = cutRows.last() + 1; row < rows; ++row) {
            if (!aligned(row))
                continue;
            const qint64 at = intervalStart(row * perRow / h.restartInterval);
            if (best < 0 || qAbs(at - wanted) < bestDistance) {
                best = row;
                bestDistance = qAbs(at - wanted);
            }
            if (at >= wanted)
                break;
        }
        if (best > cutRows.last())
            cutRows.append(best);
    }
    if (cutRows.size() < 2)
        return plan;
    cutRows.append(rows);

    plan.size = QSize(h.width, h.height);
    plan.bytes = bytes;
    plan.scanStart = h.scanStart;
    plan.sofHeightPos = h.sofHeightPos;
    plan.scanEnd = end;
    plan.restarts = restarts;
    const auto pixelRow = [&](qint64 row) { return int(qMin<qint64>(row * h.mcuHeight, h.height)); };
    for (int s = 0; s + 1 < cutRows.size(); ++s) {
        qint64 top = cutRows[s] == 0 ? 0 : cutRows[s] - 1;
        while (!aligned(top))
            --top;
        qint64 bottom = qMin(cutRows[s + 1] + 1, rows);
        while (bottom < rows && !aligned(bottom))
            ++bottom;
        plan.firstInterval.append(int(top * perRow / h.restartInterval));
        plan.lastInterval.append(int((bottom * perRow + h.restartInterval - 1) / h.restartInterval));
        plan.heights.append(pixelRow(bottom) - pixelRow(top));
        plan.skipTop.append(pixelRow(cutRows[s]) - pixelRow(top));
        plan.keep.append(pixelRow(cutRows[s + 1]) - pixelRow(cutRows[s]));
    }
    return plan;
}

QByteArray jpegStripStream(const JpegStripPlan &plan, int index)
{
    if (!plan.bytes || index < 0 || index >= plan.count())
        return QByteArray();
    const int first = plan.firstInterval[index];
    const int last = plan.lastInterval[index];
    const int height = plan.heights[index];
    const qint64 begin = first == 0 ? plan.scanStart : plan.restarts[first - 1] + 2;
    const qint64 stop = last - 1 < plan.restarts.size() ? plan.restarts[last - 1] : plan.scanEnd;
    QByteArray stream;
    stream.reserve(qsizetype(plan.scanStart + (stop - begin) + 2));
    stream.append(reinterpret_cast<const char *>(plan.bytes), qsizetype(plan.scanStart));
    stream[plan.sofHeightPos] = char(height >> 8);
    stream[plan.sofHeightPos + 1] = char(height & 0xFF);
    const qsizetype dataStart = stream.size();
    stream.append(reinterpret_cast<const char *>(plan.bytes + begin), qsizetype(stop - begin));
    char *data = stream.data() + dataStart;
    for (int i = first; i < last - 1; ++i)
        data[plan.restarts[i] - begin + 1] = char(0xD0 + (i - first) % 8);
    stream.append("\xFF\xD9", 2);
    return stream;
}

QImage decodeJpegStrips(const JpegStripPlan &plan, int denominator)
{
    const int count = int(plan.count());
    if (count < 1 || plan.skipTop.size() != count || plan.keep.size() != count || plan.firstInterval.size() != count
        || plan.lastInterval.size() != count
        || (denominator != 1 && denominator != 2 && denominator != 4 && denominator != 8)
        || plan.size.width() % denominator != 0 || plan.size.height() % denominator != 0)
        return QImage();
    ensureAllocationLimit();
    // The joined image is made here, not by a reader, and each strip passes
    // the reader's limit alone: the whole photo must pass it as Qt would
    // check it when decoding the file in one piece. Qt's JPEG reader checks
    // at four bytes a pixel, grey pictures too.
    const QSize joinedSize = plan.size / denominator;
    if (!withinAllocationLimit(joinedSize, 32))
        return QImage();
    auto job = std::make_shared<StripJob>();
    job->plan = &plan;
    job->count = count;
    job->denominator = denominator;
    job->images.resize(count);
    for (int i = 1; i < count; ++i)
        stripPool().start([job] { job->runAvailable(); });
    job->runAvailable();
    job->done.acquire(count);
    if (job->damaged)
        reportDamage();
    // A helper that starts only now finds every strip claimed and leaves
    // without touching the plan.

    const QImage &first = job->images.constFirst();
    if (first.isNull())
        return QImage();
    const int width = joinedSize.width();
    QImage joined(joinedSize, first.format());
    if (joined.isNull())
        return QImage();
    joined.setColorSpace(first.colorSpace());
    int y = 0;
    for (int i = 0; i < count; ++i) {
        const QImage &piece = job->images[i];
        const int skip = plan.skipTop[i] / denominator;
        const int keep = plan.keep[i] / denominator;
        if (piece.format() != first.format() || piece.width() != width
            || piece.height() != plan.heights[i] / denominator || skip + keep > piece.height()
            || y + keep > joined.height())
            return QImage();
        const qsizetype rowBytes = qMin(piece.bytesPerLine(), joined.bytesPerLine());
        for (int row = skip; row < skip + keep; ++row, ++y)
            std::memcpy(joined.scanLine(y), piece.constScanLine(row), size_t(rowBytes));
    }
    return y == joined.height() ? joined : QImage();
}

QImage decodeJpegFileInStrips(const QString &path, const QSize &box, bool *scaled, QSize *stored)
{
    const int threads = qMin(maxStripCount, QThread::idealThreadCount());
    if (threads < 2)
        return QImage();
    MappedFile file;
    if (!file.open(path, 4))
        return QImage();
    const uchar *bytes = file.data();
    const qint64 length = file.size();
    if (bytes[0] != 0xFF || bytes[1] != 0xD8)
        return QImage();
    const JpegStripPlan plan = planJpegStrips(bytes, length, threads);
    if (plan.count() == 0 || qint64(plan.size.width()) * plan.size.height() < minStripPixels)
        return QImage();
    const int orientation = jpegExifOrientation(bytes, length);
    const int denominator = box.isValid() ? jpegScaleDenominator(plan.size, storedBox(box, orientation)) : 1;
    const QImage image = decodeJpegStrips(plan, denominator);
    if (image.isNull())
        return image;
    if (scaled)
        *scaled = denominator > 1;
    if (stored)
        *stored = plan.size;
    return applyOrientation(image, orientation);
}
