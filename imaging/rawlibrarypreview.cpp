#include "imaging/rawlibrarypreview.h"

#include "imaging/decodesupport_p.h"
#include "imaging/photodecoder.h"
#include "imaging/rawrender.h"

#include <QColorSpace>
#include <QMutex>

#include <libraw.h>

#include <algorithm>
#include <memory>

using namespace decodesupport;

namespace {

// Files with nothing but sensor data are rare, and a half-size develop holds
// a few hundred MiB at its peak: one at a time keeps the process within
// what a full render is allowed beside it.
QMutex renderLock;

qint64 mib(qint64 bytes)
{
    return (bytes + (1 << 20) - 1) >> 20;
}

struct ProcessedImage
{
    void operator()(libraw_processed_image_t *image) const { LibRaw::dcraw_clear_mem(image); }
};
using Processed = std::unique_ptr<libraw_processed_image_t, ProcessedImage>;

QImage fromProcessed(const libraw_processed_image_t *image)
{
    if (!image)
        return QImage();
    if (image->type == LIBRAW_IMAGE_JPEG)
        return decodeJpegBytes(image->data, qint64(image->data_size));
    if (image->type != LIBRAW_IMAGE_BITMAP || image->bits != 8 || (image->colors != 3 && image->colors != 1))
        return QImage();
    const QSize size(image->width, image->height);
    const qint64 stride = qint64(image->width) * image->colors;
    if (size.isEmpty() || stride * image->height > qint64(image->data_size) || !withinAllocationLimit(size, 32))
        return QImage();
    const QImage::Format format = image->colors == 3 ? QImage::Format_RGB888 : QImage::Format_Grayscale8;
    // The processed image owns its bytes: the view is copied before it goes.
    QImage picture = QImage(image->data, size.width(), size.height(), int(stride), format).convertToFormat(QImage::Format_RGB32);
    picture.setColorSpace(QColorSpace::SRgb);
    return picture;
}

QImage thumbnail(LibRaw &raw, int orientation)
{
    if (raw.unpack_thumb() != LIBRAW_SUCCESS)
        return QImage();
    int code = LIBRAW_SUCCESS;
    const Processed processed(raw.dcraw_make_mem_thumb(&code));
    if (code != LIBRAW_SUCCESS)
        return QImage();
    return applyOrientation(fromProcessed(processed.get()), orientation);
}

QImage halfSizeRender(LibRaw &raw)
{
    const libraw_image_sizes_t &sizes = raw.imgdata.sizes;
    const bool mosaic = raw.imgdata.idata.filters != 0;
    const qint64 half = qint64(sizes.width / 2 + 1) * (sizes.height / 2 + 1);
    // The raw data, the four-channel working picture, the 8-bit result and ours.
    const qint64 need = qint64(sizes.raw_width) * sizes.raw_height * (mosaic ? 2 : 8) + half * (8 + 3 + 4);
    if (mib(need) > rawMemoryLimitMiB)
        return QImage();
    QMutexLocker lock(&renderLock);
    libraw_output_params_t &params = raw.imgdata.params;
    params.max_raw_memory_mb = unsigned(rawMemoryLimitMiB);
    params.half_size = 1;
    params.use_camera_wb = 1;
    params.use_camera_matrix = 1;
    params.output_color = 1; // sRGB primaries
    params.output_bps = 8;
    params.gamm[0] = 1 / 2.4;
    params.gamm[1] = 12.92;
    if (raw.unpack() != LIBRAW_SUCCESS || raw.error_count() > 0)
        return QImage(); // data that ran out reads on as zeros: no picture of the photo
    if (raw.dcraw_process() != LIBRAW_SUCCESS)
        return QImage();
    int code = LIBRAW_SUCCESS;
    const Processed processed(raw.dcraw_make_mem_image(&code));
    if (code != LIBRAW_SUCCESS)
        return QImage();
    return fromProcessed(processed.get()); // turned by the library as the file says
}

} // namespace

RawLibraryPreview::Result RawLibraryPreview::decode(const QString &path, int side)
{
    ensureAllocationLimit();
    Result result;
    MappedFile file;
    if (!file.open(path, 64))
        return result;
    auto raw = std::make_unique<LibRaw>(LIBRAW_OPIONS_NO_MEMERR_CALLBACK | LIBRAW_OPIONS_NO_DATAERR_CALLBACK);
    if (raw->open_buffer(const_cast<uchar *>(file.data()), size_t(file.size())) != LIBRAW_SUCCESS)
        return result;
    const libraw_image_sizes_t &sizes = raw->imgdata.sizes;
    if (sizes.width == 0 || sizes.height == 0)
        return result;
    const int orientation = orientationOfFlip(sizes.flip);
    result.sensor = QSize(sizes.width, sizes.height);
    if (orientation >= 5)
        result.sensor.transpose();

    const libraw_thumbnail_t &thumb = raw->imgdata.thumbnail;
    const int thumbSide = std::max<int>(thumb.twidth, thumb.theight);
    const int halfSide = std::max(result.sensor.width(), result.sensor.height()) / 2;
    const bool thumbEnough = thumb.tlength > 0 && thumbSide >= (side > 0 ? std::min(side, halfSide) : halfSide);
    if (thumbEnough)
        result.image = thumbnail(*raw, orientation);
    if (result.image.isNull()) {
        result.image = halfSizeRender(*raw);
        result.rendered = !result.image.isNull();
    }
    if (result.image.isNull() && !thumbEnough && thumb.tlength > 0) {
        // The render failed; a small picture of the photo still beats none.
        raw->recycle();
        if (raw->open_buffer(const_cast<uchar *>(file.data()), size_t(file.size())) == LIBRAW_SUCCESS)
            result.image = thumbnail(*raw, orientation);
    }
    return result;
}
