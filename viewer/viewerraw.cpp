#include "viewer/viewerwidget.h"

#include "imaging/photodecoder.h"
#include "imaging/previewimagecache.h"
#include "imaging/rawrender.h"
#include "viewer/analysisoverlay.h"
#include "viewer/photocanvas.h"

#include <QFileInfo>
#include <QMutexLocker>

// RAW files at a zoom: many cameras embed a preview far smaller than the
// sensor, which says nothing about focus at 100 %. Zoomed, such a file is
// rendered from its sensor data; until the render is there its preview
// stands in, enlarged to the sensor's size. At Fit no RAW data is read, and a
// file whose preview covers the sensor never gets further than its headers.

void ViewerWidget::developRaw(PreviewResult &result, const std::shared_ptr<WantedPreviews> &wanted,
                              const std::function<void(const PreviewResult &)> &postInterim)
{
    result.rawChecked = true;
    RawDecoder decoder;
    if (!decoder.open(result.path))
        return; // nothing in it to render: the preview is all there is
    if (!result.image.isNull() && !previewFallsShort(result.image.size(), decoder.size()))
        return;
    if (!result.image.isNull()) {
        PreviewResult interim = result;
        interim.rawInterim = true;
        interim.reduced = true;
        interim.fullSize = decoder.size();
        postInterim(interim);
    }
    const QString path = result.path;
    RawDecoder::Options options;
    options.memoryLimitMiB = rawMemoryLimitMiB;
    options.reference = result.image;
    options.cancelled = [wanted, path] {
        QMutexLocker lock(&wanted->mutex);
        return !wanted->renders.contains(path);
    };
    const QImage picture = decoder.render(options);
    if (decoder.wasCancelled()) {
        result.rawCancelled = true;
        result.image = QImage();
        return;
    }
    if (picture.isNull()) {
        result.rawError = decoder.errorString();
        return;
    }
    result.image = picture;
    result.rawClipping = decoder.rawClipping();
    result.reduced = false;
    result.fullSize = picture.size();
    result.rawRendered = true;
}

bool ViewerWidget::awaitsRawDecode(const QString &path) const
{
    return reducedPaths.contains(path) || (isRawPhotoPath(path) && !rawCheckedPaths.contains(path));
}

bool ViewerWidget::takeRawResult(const PreviewResult &result)
{
    if (result.rawInterim) {
        // The render goes on: the path stays pending.
        rawRenderingPaths.insert(result.path);
        rawRenderedPaths.remove(result.path);
        return true;
    }
    pendingPreviews.remove(result.path);
    rawRenderingPaths.remove(result.path);
    if (result.rawCancelled) {
        // The preview stays cached; coming back to the photo renders again.
        if (result.path == currentPath() && zoomed())
            requestPreview(result.path, 100);
        return false;
    }
    if (result.rawChecked)
        rawCheckedPaths.insert(result.path);
    if (result.rawRendered)
        rawRenderedPaths.insert(result.path);
    else
        rawRenderedPaths.remove(result.path);
    // A mask lives as long as its render is cached.
    for (auto it = rawClippingByPath.begin(); it != rawClippingByPath.end();) {
        if (it.key() != result.path && !previewCache->contains(it.key()))
            it = rawClippingByPath.erase(it);
        else
            ++it;
    }
    if (result.rawRendered && !result.rawClipping.isNull())
        rawClippingByPath.insert(result.path, result.rawClipping);
    else
        rawClippingByPath.remove(result.path);
    if (!result.rawError.isEmpty() && result.path == currentPath())
        emit warningRaised(tr("%1: %2 Its embedded preview is shown instead.")
                               .arg(QFileInfo(result.path).fileName(), result.rawError));
    return true;
}

bool ViewerWidget::showsRawRender() const
{
    const QString path = currentPath();
    return zoomed() && rawRenderedPaths.contains(path) && !canvas->fullPicture().isNull()
           && previewCache->contains(path);
}

QString ViewerWidget::rawZoomText(const QString &path, const QString &zoom) const
{
    const QSize sensor = uprightPhotoSize(path, QImage());
    if (rawRenderingPaths.contains(path) && !sensor.isEmpty())
        return tr("%1 — Rendering RAW… — Sensor %2 × %3").arg(zoom).arg(sensor.width()).arg(sensor.height());
    // A RAW file is otherwise zoomed through its largest embedded preview,
    // which may be smaller than what the sensor recorded.
    const QImage full = isPinnedPaneActive() ? pinnedCanvas->fullPicture() : canvas->fullPicture();
    if (full.isNull())
        return zoom;
    if (rawRenderedPaths.contains(path))
        return tr("%1 — Sensor %2 × %3").arg(zoom).arg(full.width()).arg(full.height());
    return tr("%1 — Preview %2 × %3").arg(zoom).arg(full.width()).arg(full.height());
}

QImage ViewerWidget::rawBlownFor(const QString &path) const
{
    if (path.isEmpty() || !rawRenderedPaths.contains(path) || !rawClippingPreferred())
        return QImage();
    const QImage mask = rawClippingByPath.value(path);
    const int rotation = rotationByPath.value(path, 0);
    if (mask.isNull() || rotation == 0)
        return mask;
    TurnedMask &turned = turnedRawClipping;
    if (turned.sourceKey != mask.cacheKey() || turned.rotation != rotation) {
        turned.sourceKey = mask.cacheKey();
        turned.rotation = rotation;
        turned.mask = mask.transformed(QTransform().rotate(rotation)).convertToFormat(QImage::Format_Mono,
                                                                                      Qt::ThresholdDither);
    }
    return turned.mask;
}

void ViewerWidget::refreshRawClipping()
{
    if (!canvasAnalysis)
        return;
    canvasAnalysis->setRawBlown(rawBlownFor(currentPath()));
    pinnedAnalysis->setRawBlown(isComparing() ? rawBlownFor(comparePinned) : QImage());
}
