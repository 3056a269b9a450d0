#include "imaging/rawrender.h"

#include "imaging/decodesupport_p.h"
#include "imaging/photodecoder.h"
#include "imaging/previewlook.h"

#include <QColorSpace>
#include <QMutex>
#include <QSettings>
#include <QWaitCondition>

#include <libraw.h>

#include <algorithm>
#include <array>
#include <cmath>

using namespace decodesupport;

namespace {

// sRGB coding, both ways, for 8-bit values.
struct SrgbTables
{
    std::array<float, 256> linear{};
    SrgbTables()
    {
        for (int v = 0; v < 256; ++v) {
            const double c = v / 255.0;
            linear[v] = float(c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4));
        }
    }
    static int encode(double l)
    {
        l = std::clamp(l, 0.0, 1.0);
        const double c = l <= 0.0031308 ? 12.92 * l : 1.055 * std::pow(l, 1 / 2.4) - 0.055;
        return std::clamp(int(std::lround(c * 255)), 0, 255);
    }
};

const SrgbTables &srgb()
{
    static const SrgbTables tables;
    return tables;
}

// Mean linear-light luma over about 64 thousand pixels spread over the picture.
double meanLinearLuma(const QImage &image)
{
    if (image.isNull())
        return 0;
    const QImage rgb = image.format() == QImage::Format_RGB32 || image.format() == QImage::Format_ARGB32
                               || image.format() == QImage::Format_RGB888
                           ? image
                           : image.convertToFormat(QImage::Format_RGB32);
    const bool packed = rgb.format() == QImage::Format_RGB888;
    const int step = std::max(1, int(std::sqrt(double(rgb.width()) * rgb.height() / 65536.0)));
    const auto &lin = srgb().linear;
    double sum = 0;
    qint64 n = 0;
    for (int y = step / 2; y < rgb.height(); y += step) {
        const uchar *line = rgb.constScanLine(y);
        for (int x = step / 2; x < rgb.width(); x += step) {
            int r, g, b;
            decodesupport::rgbAt(line, x, packed, r, g, b);
            sum += 0.2126 * lin[r] + 0.7152 * lin[g] + 0.0722 * lin[b];
            ++n;
        }
    }
    return n ? sum / double(n) : 0;
}

// 8-bit sRGB values multiplied by `gain` in linear light.
std::array<uchar, 256> gainCurve(double gain)
{
    std::array<uchar, 256> curve{};
    for (int v = 0; v < 256; ++v)
        curve[v] = uchar(gain == 1.0 ? v : SrgbTables::encode(srgb().linear[v] * gain));
    return curve;
}

// Working memory of the RAW decodes of the whole process, within the limit
// each one is given: held from before the raw data is read until the result
// is made.
class MemoryReservation
{
public:
    MemoryReservation(qint64 mib, qint64 limitMiB, const std::function<bool()> &cancelled) : m_mib(mib)
    {
        QMutexLocker lock(&s_mutex);
        // Alone, a decode always gets its turn: it is within the limit by itself.
        while (s_heldMiB > 0 && s_heldMiB + mib > limitMiB) {
            if (cancelled && cancelled())
                return;
            s_freed.wait(&s_mutex, 50);
        }
        s_heldMiB += mib;
        m_held = true;
    }
    ~MemoryReservation()
    {
        if (!m_held)
            return;
        QMutexLocker lock(&s_mutex);
        s_heldMiB -= m_mib;
        s_freed.wakeAll();
    }
    bool held() const { return m_held; }

private:
    static inline QMutex s_mutex;
    static inline QWaitCondition s_freed;
    static inline qint64 s_heldMiB = 0;
    qint64 m_mib;
    bool m_held = false;
};

// The photosites at or above the sensor's white level, spread over the
// 2 × 2 cell the demosaic makes each pixel of, so that a pixel is marked
// when any channel it is made of clipped: Format_Grayscale8, 255 where
// clipped, of the visible area as stored (not turned). Read after unpack(),
// before processing changes the data. Null for data not in a form read here
// (floating point, a sensor turned 45 degrees) or without a white level.
QImage rawClippedSites(LibRaw &raw)
{
    const libraw_rawdata_t &data = raw.imgdata.rawdata;
    const libraw_image_sizes_t &sizes = data.sizes;
    const unsigned maximum = raw.imgdata.color.maximum;
    if (maximum == 0 || raw.is_fuji_rotated() || sizes.width == 0 || sizes.height == 0
        || sizes.top_margin + sizes.height > sizes.raw_height || sizes.left_margin + sizes.width > sizes.raw_width)
        return QImage();
    // A channel's own white level where the file gives one below the
    // sensor's: that channel clips first.
    std::array<unsigned, 4> white{};
    for (int c = 0; c < 4; ++c) {
        const long own = raw.imgdata.color.linear_max[c];
        white[c] = own > long(raw.imgdata.color.black) && own < long(maximum) ? unsigned(own) : maximum;
    }
    const int width = sizes.width;
    const int height = sizes.height;
    QImage sites(width, height, QImage::Format_Grayscale8);
    if (sites.isNull())
        return QImage();
    if (data.raw_image && raw.imgdata.idata.filters) {
        const size_t pitch = sizes.raw_pitch / 2;
        // Patterns larger than 2 × 8 (such as 6 × 6) are looked up per photosite.
        const bool irregular = raw.imgdata.idata.filters < 1000;
        for (int y = 0; y < height; ++y) {
            const ushort *in = data.raw_image + (size_t(y) + sizes.top_margin) * pitch + sizes.left_margin;
            uchar *out = sites.scanLine(y);
            if (irregular) {
                for (int x = 0; x < width; ++x)
                    out[x] = in[x] >= white[raw.COLOR(y, x) & 3] ? 255 : 0;
                continue;
            }
            // A Bayer pattern repeats every second column.
            const unsigned even = white[raw.COLOR(y, 0) & 3];
            const unsigned odd = white[raw.COLOR(y, 1) & 3];
            int x = 0;
            for (; x + 1 < width; x += 2) {
                out[x] = in[x] >= even ? 255 : 0;
                out[x + 1] = in[x + 1] >= odd ? 255 : 0;
            }
            if (x < width)
                out[x] = in[x] >= even ? 255 : 0;
        }
    } else if (data.color4_image || data.color3_image) {
        const int channels = data.color4_image ? 4 : 3;
        const ushort *base = data.color4_image ? &data.color4_image[0][0] : &data.color3_image[0][0];
        const size_t pitch = sizes.raw_pitch / 2;
        for (int y = 0; y < height; ++y) {
            const ushort *in = base + (size_t(y) + sizes.top_margin) * pitch + size_t(sizes.left_margin) * channels;
            uchar *out = sites.scanLine(y);
            for (int x = 0; x < width; ++x, in += channels) {
                bool clipped = false;
                for (int c = 0; c < channels; ++c)
                    clipped = clipped || in[c] >= white[c];
                out[x] = clipped ? 255 : 0;
            }
        }
        return sites; // every pixel has all its channels: nothing to spread
    } else {
        return QImage();
    }
    // A pixel takes its missing channels from the cell to its right and below.
    for (int y = 0; y < height; ++y) {
        uchar *line = sites.scanLine(y);
        const uchar *below = sites.constScanLine(std::min(y + 1, height - 1));
        for (int x = 0; x + 1 < width; ++x)
            line[x] = line[x] | line[x + 1] | below[x] | below[x + 1];
        line[width - 1] |= below[width - 1];
    }
    return sites;
}

// A mask of 0 and 255 as one bit a pixel, white where 255.
QImage packedMask(const QImage &grey)
{
    QImage mask(grey.size(), QImage::Format_Mono);
    if (mask.isNull())
        return mask;
    mask.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
    const int width = grey.width();
    for (int y = 0; y < grey.height(); ++y) {
        const uchar *in = grey.constScanLine(y);
        uchar *out = mask.scanLine(y);
        for (int byte = 0; byte * 8 < width; ++byte) {
            uchar bits = 0;
            const int end = std::min(8, width - byte * 8);
            for (int b = 0; b < end; ++b)
                bits |= uchar((in[byte * 8 + b] >> 7) << (7 - b));
            out[byte] = bits;
        }
    }
    return mask;
}

// The orientation that turns a picture turned by `orientation` back: a
// quarter turn each way undoes the other, the rest undo themselves.
int undoneOrientation(int orientation)
{
    return orientation == 6 ? 8 : orientation == 8 ? 6 : orientation;
}

qint64 mib(qint64 bytes)
{
    return (bytes + (1 << 20) - 1) >> 20;
}

} // namespace

struct RawDecoder::Private
{
    MappedFile file;
    // The decoder's state is large; it lives on the heap, one per decoder.
    std::unique_ptr<LibRaw> raw = std::make_unique<LibRaw>(LIBRAW_OPTIONS_NONE);
    int orientation = 1;
    const std::function<bool()> *cancelled = nullptr;

    static int progress(void *data, enum LibRaw_progress, int, int)
    {
        const auto *self = static_cast<Private *>(data);
        return self->cancelled && *self->cancelled && (*self->cancelled)() ? 1 : 0;
    }
};

RawDecoder::RawDecoder() : d(std::make_unique<Private>())
{
    d->raw->set_progress_handler(&Private::progress, d.get());
    // Damaged data is reported through error_count(), not on the console.
    d->raw->set_dataerror_handler([](void *, const char *, const int) {}, nullptr);
}

RawDecoder::~RawDecoder() = default;

bool RawDecoder::open(const QString &path)
{
    m_size = QSize();
    if (!d->file.open(path, 16)) {
        m_error = tr("The file cannot be read.");
        return false;
    }
    const int result = d->raw->open_buffer(const_cast<uchar *>(d->file.data()), size_t(d->file.size()));
    const libraw_image_sizes_t &sizes = d->raw->imgdata.sizes;
    if (result != LIBRAW_SUCCESS || sizes.width == 0 || sizes.height == 0 || sizes.raw_width == 0) {
        m_error = tr("The file holds no RAW data that can be decoded.");
        return false;
    }
    // Upright the way the embedded preview is, so that one stands in for the other.
    d->orientation = fileOrientation(d->file.data(), d->file.size());
    if (d->orientation == 1)
        d->orientation = orientationOfFlip(sizes.flip);
    m_size = QSize(sizes.width, sizes.height);
    if (d->orientation >= 5)
        m_size.transpose();
    return true;
}

QImage RawDecoder::render(const Options &options)
{
    m_cancelled = false;
    m_rawClipping = QImage();
    m_look = PreviewLook();
    if (m_size.isEmpty()) {
        if (m_error.isEmpty())
            m_error = tr("The file holds no RAW data that can be decoded.");
        return QImage();
    }
    LibRaw &raw = *d->raw;
    d->cancelled = &options.cancelled;
    const auto stop = [&](int code) {
        d->cancelled = nullptr;
        if (code == LIBRAW_CANCELLED_BY_CALLBACK || (options.cancelled && options.cancelled())) {
            m_cancelled = true;
            m_error.clear();
        } else if (code == LIBRAW_UNSUFFICIENT_MEMORY || code == LIBRAW_TOO_BIG) {
            m_error = tr("The RAW data needs more memory than the %1 MiB allowed.").arg(options.memoryLimitMiB);
        } else if (code == LIBRAW_FILE_UNSUPPORTED || code == LIBRAW_NOT_IMPLEMENTED) {
            m_error = tr("The file holds no RAW data that can be decoded.");
        } else {
            m_error = tr("The RAW data is damaged or incomplete.");
        }
        raw.recycle();
        return QImage();
    };

    // What the decode holds at its peak: the raw data, the four-channel
    // working picture, the decoder's 8-bit result and ours.
    const libraw_image_sizes_t &sizes = raw.imgdata.sizes;
    const bool mosaic = raw.imgdata.idata.filters != 0;
    const qint64 pixels = qint64(sizes.width) * sizes.height;
    const qint64 need = qint64(sizes.raw_width) * sizes.raw_height * (mosaic ? 2 : 8)
                        + qint64(sizes.iwidth) * sizes.iheight * 8 + pixels * 3 + pixels * 4
                        + (d->orientation != 1 ? pixels * 4 : 0) + pixels * 2;
    if (mib(need) > options.memoryLimitMiB)
        return stop(LIBRAW_TOO_BIG);
    // Decodes running at once share the limit: a second one waits for room.
    MemoryReservation reservation(mib(need), options.memoryLimitMiB, options.cancelled);
    if (!reservation.held())
        return stop(LIBRAW_CANCELLED_BY_CALLBACK);

    libraw_output_params_t &params = raw.imgdata.params;
    params.max_raw_memory_mb = unsigned(std::max(1, options.memoryLimitMiB));
    params.use_camera_wb = 1;
    params.use_camera_matrix = 1;
    params.user_qual = 0; // linear interpolation: the fastest, enough to judge focus
    params.half_size = 0;
    params.output_color = 1; // sRGB primaries
    params.output_bps = 8;
    params.gamm[0] = 1 / 2.4; // the sRGB curve, so that the picture is what its tag says
    params.gamm[1] = 12.92;
    // Fitted to a preview, the render's brightness comes from the preview's
    // curves; the decoder's own would push a percent of the photo to white,
    // more than the camera clipped.
    params.no_auto_bright = options.reference.isNull() ? 0 : 1;
    params.user_flip = 0; // turned below, as the preview is

    if (options.cancelled && options.cancelled())
        return stop(LIBRAW_CANCELLED_BY_CALLBACK);
    if (const int r = raw.unpack(); r != LIBRAW_SUCCESS)
        return stop(r);
    // Data that ran out or did not decode is read on as zeros: a picture
    // with holes, which must not pass for the photo.
    if (raw.error_count() > 0)
        return stop(LIBRAW_DATA_ERROR);
    if (options.cancelled && options.cancelled())
        return stop(LIBRAW_CANCELLED_BY_CALLBACK);
    QImage clippedSites = rawClippedSites(raw);
    if (const int r = raw.dcraw_process(); r != LIBRAW_SUCCESS)
        return stop(r);
    int code = LIBRAW_SUCCESS;
    libraw_processed_image_t *made = raw.dcraw_make_mem_image(&code);
    if (!made)
        return stop(code != LIBRAW_SUCCESS ? code : LIBRAW_UNSUFFICIENT_MEMORY);
    const std::unique_ptr<libraw_processed_image_t, void (*)(libraw_processed_image_t *)> owned(
        made, [](libraw_processed_image_t *p) { LibRaw::dcraw_clear_mem(p); });
    if (made->type != LIBRAW_IMAGE_BITMAP || made->bits != 8 || (made->colors != 3 && made->colors != 1)
        || made->width == 0 || made->height == 0)
        return stop(LIBRAW_DATA_ERROR);
    d->cancelled = nullptr;

    const int colours = made->colors;
    const QImage wrapped(made->data, made->width, made->height, made->width * colours,
                         colours == 3 ? QImage::Format_RGB888 : QImage::Format_Grayscale8);
    // The preview as stored, so that it lines up with the render before its turn.
    const QImage reference = options.reference.isNull() || colours != 3
                                 ? QImage()
                                 : applyOrientation(options.reference, undoneOrientation(d->orientation));
    m_look = reference.isNull() ? PreviewLook() : PreviewLook::fit(wrapped, reference);
    // Without a look to take on, the render is only brought to the preview's brightness.
    const double gain = options.reference.isNull() || m_look.isValid() ? 1.0
                                                                        : brightnessGain(wrapped, options.reference);
    const std::array<uchar, 256> curve = gainCurve(gain);
    QImage picture(made->width, made->height, QImage::Format_RGB32);
    if (picture.isNull())
        return stop(LIBRAW_UNSUFFICIENT_MEMORY);
    for (int y = 0; y < picture.height(); ++y) {
        const uchar *in = wrapped.constScanLine(y);
        auto *out = reinterpret_cast<QRgb *>(picture.scanLine(y));
        if (m_look.isValid()) {
            for (int x = 0; x < picture.width(); ++x, in += 3)
                out[x] = m_look.map(in[0], in[1], in[2]);
            continue;
        }
        for (int x = 0; x < picture.width(); ++x, in += colours) {
            const uchar r = curve[in[0]];
            out[x] = colours == 3 ? qRgb(r, curve[in[1]], curve[in[2]]) : qRgb(r, r, r);
        }
    }
    raw.recycle();
    picture.setColorSpace(QColorSpace(QColorSpace::SRgb));
    // A render stretched or turned by the decoder no longer lines up with the sensor.
    if (clippedSites.size() == picture.size())
        m_rawClipping = packedMask(applyOrientation(clippedSites, d->orientation));
    return applyOrientation(picture, d->orientation);
}

QImage decodeFullPicture(const QString &path, int memoryLimitMiB, QString *rawError, bool *rendered)
{
    if (rendered)
        *rendered = false;
    const QImage preview = decodePhoto(path);
    if (!isRawPhotoPath(path))
        return preview;
    RawDecoder decoder;
    if (!decoder.open(path))
        return preview; // nothing better to show than the preview, if any
    if (!preview.isNull() && !previewFallsShort(preview.size(), decoder.size()))
        return preview;
    RawDecoder::Options options;
    options.memoryLimitMiB = memoryLimitMiB;
    options.reference = preview;
    const QImage picture = decoder.render(options);
    if (picture.isNull()) {
        if (rawError)
            *rawError = decoder.errorString();
        return preview;
    }
    if (rendered)
        *rendered = true;
    return picture;
}

bool rawClippingPreferred()
{
    return QSettings().value(QLatin1String(rawClippingSetting), true).toBool();
}

bool previewFallsShort(const QSize &preview, const QSize &sensor)
{
    if (preview.isEmpty() || sensor.isEmpty())
        return false;
    return std::max(sensor.width(), sensor.height()) > 1.1 * std::max(preview.width(), preview.height());
}

int orientationOfFlip(int flip)
{
    switch (flip) {
    case 1: return 2;
    case 2: return 4;
    case 3: return 3;
    case 4: return 5;
    case 5: return 8;
    case 6: return 6;
    case 7: return 7;
    default: return 1;
    }
}

double brightnessGain(const QImage &picture, const QImage &reference)
{
    const double have = meanLinearLuma(picture);
    const double want = meanLinearLuma(reference);
    if (have <= 1e-6 || want <= 1e-6)
        return 1.0;
    return std::clamp(want / have, 0.25, 4.0);
}

void applyGain(QImage &picture, double gain)
{
    if (picture.isNull() || gain == 1.0)
        return;
    if (picture.format() != QImage::Format_RGB32)
        picture = picture.convertToFormat(QImage::Format_RGB32);
    const std::array<uchar, 256> curve = gainCurve(gain);
    for (int y = 0; y < picture.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(picture.scanLine(y));
        for (int x = 0; x < picture.width(); ++x)
            line[x] = qRgb(curve[qRed(line[x])], curve[qGreen(line[x])], curve[qBlue(line[x])]);
    }
}
