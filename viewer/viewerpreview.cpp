#include "viewer/viewerwidget.h"

#include "catalog/guithread.h"
#include "catalog/photocatalog.h"
#include "imaging/colourconversion.h"
#include "imaging/damagereport.h"
#include "imaging/displaycolour.h"
#include "imaging/photodecoder.h"
#include "imaging/quickpreview.h"
#include "imaging/previewimagecache.h"
#include "viewer/photocanvas.h"

#include <QElapsedTimer>
#include <QImageReader>
#include <QLabel>
#include <QMutex>
#include <QScopeGuard>
#include <QStackedLayout>
#include <QTransform>

#include <algorithm>

// The preview pipeline: the current photo decoded with the highest priority,
// the next ones in the direction of travel and one behind decoded ahead, all
// kept in the preview cache within its budget. Zoomed, the photos ahead are
// decoded in full and made ready in the display's colours, so that stepping
// at a zoom finds the next photo's full picture there.

namespace {

// The photo's size as its header gives it, upright; empty when the reader
// cannot tell (a RAW file, shown through its preview).
QSize headerPhotoSize(const QString &path)
{
    QImageReader reader(path);
    QSize size = reader.size();
    if (reader.transformation() & QImageIOHandler::TransformationRotate90)
        size.transpose();
    return size;
}

} // namespace

QList<int> preloadOffsets(int direction, qint64 currentCostKiB, qint64 budgetKiB, int maxAhead, int maxBehind)
{
    const int dir = direction < 0 ? -1 : +1;
    // The nearest ahead first; one behind early, for a quick look back; then
    // the rest ahead, then the rest behind.
    QList<int> offsets;
    for (int i = 1; i <= maxAhead; ++i) {
        offsets.append(i * dir);
        if (i == qMin(6, maxAhead) && maxBehind > 0)
            offsets.append(-dir);
    }
    for (int i = 2; i <= maxBehind; ++i)
        offsets.append(-i * dir);
    if (currentCostKiB <= 0)
        return offsets;
    const qint64 room = budgetKiB - currentCostKiB;
    const qint64 fitting = room > 0 ? room / currentCostKiB : 0;
    return offsets.mid(0, int(std::min<qint64>(fitting, offsets.size())));
}

int ViewerWidget::pendingPreviewCount() const
{
    return int(pendingPreviews.size());
}

void ViewerWidget::showCurrent()
{
    const QString path = currentPath();
    if (path.isEmpty()) {
        currentImage = QImage();
        displayedImage = QImage();
        preloadWindow.clear();
        canvas->setMessage(QString());
        messageLabel->setText(m_catalog->allFiles().isEmpty()
                                  ? tr("No supported images in this folder.\n\nChoose another folder with File → Open Folder… (Ctrl+O).")
                                  : tr("No images match the active filter.\n\nChoose Filter → All Images to see your photos again."));
        marksOverlay->hide();
        exifOverlay->hide();
        stackedLayout->setCurrentWidget(messageLabel);
        emit stateChanged();
        return;
    }

    loadStoredRotation(path);
    followFocusPointOf(path);

    writeErrorTag.clear();
    updateMarksOverlay();
    updateExifOverlay();
    updateCaptions();

    currentImage = previewCache->lookup(path);
    if (currentImage.isNull()) {
        displayedImage = QImage();
        actualSizeImage = QImage();
        sourceTag = tr("loading");
        // Preloads still in flight are kept when they belong to the new window.
        planPreloadWindow(plannedCostKiB());
        touchPreloadWindow();
        // The decode starts before the embedded picture is made and shown.
        requestPreview(path, 100);
        if (!showQuickPreview(path))
            canvas->setMessage(tr("Loading preview…"));
        stackedLayout->setCurrentWidget(photoPage);
        emit stateChanged();
        return;
    }

    sourceTag = tr("cache");
    refreshDisplayedImage();
    stackedLayout->setCurrentWidget(photoPage);
    emit stateChanged();
    preloadNeighbours();
}

void ViewerWidget::loadStoredRotation(const QString &path)
{
    if (rotationByPath.contains(path))
        return;
    const int stored = m_catalog->record(path).rotation;
    rotationByPath.insert(path, stored);
    storedRotationByPath.insert(path, stored);
}

QSize ViewerWidget::uprightPhotoSize(const QString &path, const QImage &decoded) const
{
    QSize size = fullSizeByPath.value(path, decoded.size());
    if (rotationByPath.value(path, 0) % 180)
        size.transpose();
    return size;
}

void ViewerWidget::requestPreview(const QString &path, int priority)
{
    // Zoomed only a full decode will do; at Fit a decode for the screen.
    const bool full = zoomed();
    if (path.isEmpty() || pendingPreviews.contains(path))
        return;
    if (previewCache->contains(path) && !(full && awaitsRawDecode(path)))
        return;
    pendingPreviews.insert(path);
    const QPointer<ViewerWidget> self(this);
    const quint64 generation = previewGeneration;
    // The photo is also scaled for the view as it is now, off the GUI thread,
    // so that showing it from the cache later costs no scaling.
    const QSize fitSize = canvas->size();
    const QSize decodeBox = full ? QSize() : fitSize * devicePixelRatioF();
    const std::shared_ptr<WantedPreviews> wanted = wantedPreviews;
    const QColorSpace display = displaySpace;
    const bool manage = colourManagementEnabled();
    previewPool.start(
        [self, path, generation, fitSize, decodeBox, wanted, display, manage] {
            PreviewResult result;
            {
                // A queued preload cannot be taken back cheaply, so it checks
                // whether the user is still heading its way before decoding.
                QMutexLocker lock(&wanted->mutex);
                result.skipped = !wanted->paths.contains(path);
            }
            if (result.skipped) {
                result.path = path;
                result.generation = generation;
                postToGuiThread([self, result] {
                    if (self)
                        self->onPreviewDecoded(result);
                });
                return;
            }
            QElapsedTimer timer;
            timer.start();
            const auto post = [&](PreviewResult done) {
                done.elapsedMs = timer.elapsed();
                if (!done.image.isNull()) {
                    done.source = sourceColourOf(done.image, path);
                    // The cached photo keeps its own colours; what is shown is
                    // converted after scaling, here, off the GUI thread.
                    if (!fitSize.isEmpty())
                        done.fitted = renderForDisplay(done.image, done.source, fitSize, display, manage);
                    // Decoded for a zoom, the full picture is converted here too:
                    // on the GUI thread's turn it would keep the photo from showing.
                    if (decodeBox.isEmpty() && !done.reduced && done.source.applied && manage
                        && needsConversion(done.source.space, display))
                        done.actual = toColourSpace(done.image, done.source, display, manage);
                }
                postToGuiThread([self, done] {
                    if (self)
                        self->onPreviewDecoded(done);
                });
            };
            resetDamageReport();
            result.image = decodePhoto(path, decodeBox, &result.reduced, &result.fullSize);
            result.damaged = damageReported();
            result.path = path;
            result.generation = generation;
            // A RAW file gets its sensor data rendered at a zoom where its
            // preview falls short, and at any zoom when it has no preview.
            if (isRawPhotoPath(path) && (decodeBox.isEmpty() || result.image.isNull()))
                developRaw(result, wanted, post);
            post(result);
        },
        priority);
}

QList<int> ViewerWidget::planPreloadWindow(qint64 currentCostKiB)
{
    const int direction = m_catalog->direction();
    const qint64 budget = previewCache->maxCostKiB() - (isComparing() ? std::max<qint64>(currentCostKiB, 0) : 0);
    const QList<int> offsets = preloadOffsets(direction, currentCostKiB, budget);
    const QStringList visible = m_catalog->visibleFiles();
    const int currentIndex = m_catalog->currentIndex();
    preloadWindow = QStringList{currentPath()};
    QList<int> priorities;
    // The pinned photo is shown as much as the current one.
    if (isComparing() && comparePinned != currentPath()) {
        preloadWindow.append(comparePinned);
        priorities.append(90);
    }
    for (int offset : offsets) {
        const QString path = visible.value(currentIndex + offset);
        if (path.isEmpty() || path == comparePinned)
            continue;
        preloadWindow.append(path);
        priorities.append(offset * direction > 0 ? 20 - std::abs(offset) : 5);
    }
    {
        QMutexLocker lock(&wantedPreviews->mutex);
        wantedPreviews->paths = QSet<QString>(preloadWindow.cbegin(), preloadWindow.cend());
        wantedPreviews->renders = {currentPath(), comparePinned};
        for (int offset : offsets) {
            if (offset * direction > 0)
                wantedPreviews->renders.insert(visible.value(currentIndex + offset));
        }
    }
    for (auto it = fittedByPath.begin(); it != fittedByPath.end();) {
        if (preloadWindow.contains(it.key()))
            ++it;
        else
            it = fittedByPath.erase(it);
    }
    for (auto it = actualByPath.begin(); it != actualByPath.end();) {
        if (preloadWindow.contains(it.key()))
            ++it;
        else
            it = actualByPath.erase(it);
    }
    return priorities;
}

bool ViewerWidget::needsDisplayConversion(const QString &path) const
{
    const auto source = sourceByPath.constFind(path);
    return source != sourceByPath.constEnd() && source->applied && colourManagementEnabled()
           && needsConversion(source->space, displaySpace);
}

qint64 ViewerWidget::plannedCostKiB() const
{
    if (currentImage.isNull())
        return lastDecodedCostKiB;
    qint64 cost = PreviewImageCache::costKiB(currentImage);
    if (!zoomed())
        return cost;
    const QString path = currentPath();
    if (reducedPaths.contains(path)) {
        const QSize full = fullSizeByPath.value(path);
        const qint64 bytes = qint64(full.width()) * full.height() * std::max(1, currentImage.depth() / 8);
        cost = std::max(cost, (bytes + 1023) / 1024);
    }
    return needsDisplayConversion(path) ? 2 * cost : cost;
}

bool ViewerWidget::awaitingZoomPictures() const
{
    if (!zoomed())
        return false;
    if (!currentImage.isNull() && canvas->fullPicture().isNull())
        return true;
    return isComparing() && pinnedCanvas->fullPicture().isNull();
}

void ViewerWidget::preloadNeighbours()
{
    if (currentPath().isEmpty())
        return;
    const QList<int> priorities = planPreloadWindow(plannedCostKiB());
    // Photos already cached must outlive the decodes queued next, which would
    // otherwise evict the nearest photos first.
    touchPreloadWindow();
    for (int i = 1; i < preloadWindow.size(); ++i)
        requestPreview(preloadWindow.at(i), priorities.at(i - 1));
}

qint64 ViewerWidget::windowCachedCostKiB() const
{
    qint64 total = 0;
    for (const QString &path : preloadWindow) {
        if (previewCache->contains(path))
            total += costByPath.value(path);
    }
    return total;
}

void ViewerWidget::touchPreloadWindow()
{
    for (int i = int(preloadWindow.size()) - 1; i >= 0; --i) {
        if (previewCache->contains(preloadWindow.at(i)))
            previewCache->lookup(preloadWindow.at(i));
    }
}

void ViewerWidget::onPreviewDecoded(const PreviewResult &result)
{
    if (result.generation != previewGeneration)
        return;
    if (result.rawInterim || result.rawChecked) {
        if (!takeRawResult(result))
            return;
    } else {
        pendingPreviews.remove(result.path);
    }
    if (result.skipped) {
        // The window may have come back to the photo after the task looked.
        if (result.path == currentPath())
            requestPreview(result.path, 100);
        else if (preloadWindow.contains(result.path) && !pendingPreviews.contains(currentPath()))
            preloadNeighbours();
        return;
    }

    if (!result.image.isNull()) {
        sourceByPath.insert(result.path, result.source);
        if (result.damaged)
            damagedPaths.insert(result.path);
        else
            damagedPaths.remove(result.path);
        const int cost = PreviewImageCache::costKiB(result.image);
        lastDecodedCostKiB = cost;
        costByPath.insert(result.path, cost);
        if (result.reduced) {
            reducedPaths.insert(result.path);
            fullSizeByPath.insert(result.path, result.fullSize);
        } else {
            reducedPaths.remove(result.path);
            fullSizeByPath.remove(result.path);
        }
        bool cached = false;
        if (preloadWindow.contains(result.path)) {
            previewCache->insert(result.path, result.image);
            // The newest decode is the farthest ahead: the nearer photos must
            // not be the first to go when the next one comes in.
            touchPreloadWindow();
            cached = true;
        } else if (windowCachedCostKiB() + cost <= previewCache->maxCostKiB()) {
            // A photo the user has moved away from may displace only photos
            // outside the window, and ranks behind the window.
            previewCache->insert(result.path, result.image);
            touchPreloadWindow();
        }
        if (cached && !result.fitted.isNull())
            fittedByPath.insert(result.path, result.fitted);
        if (cached && !result.actual.isNull())
            actualByPath.insert(result.path, DisplayPicture{result.image.cacheKey(), result.actual});
        else
            actualByPath.remove(result.path);
    }

    if (isComparing() && result.path == comparePinned) {
        pinnedSourceKey = 0;
        refreshPinnedPane();
        emit stateChanged();
    }
    if (result.path != currentPath()) {
        // Decoded for the screen before the view was zoomed: decoded again
        // in full, before the user gets there.
        if (result.reduced && !result.rawInterim && zoomed() && preloadWindow.contains(result.path)
            && !pendingPreviews.contains(currentPath()))
            preloadNeighbours();
        return;
    }

    sourceTag = tr("%1 ms").arg(result.elapsedMs);
    currentImage = result.image;
    if (currentImage.isNull()) {
        canvas->setMessage(tr("This photo could not be displayed.\n%1\n\nCheck that the file and drive are available. "
                               "The file may be damaged or contain no supported preview.\n"
                               "Use the arrow keys to continue to the next photo.")
                                .arg(result.path));
        emit warningRaised(tr("Could not read preview: %1").arg(result.path));
        emit displayFailed(result.path);
    } else {
        refreshDisplayedImage();
        updateExifOverlay();
        if (result.damaged)
            emit warningRaised(damagedText());
    }
    emit stateChanged();
    preloadNeighbours();
}

void ViewerWidget::refreshDisplayedImage()
{
    if (currentImage.isNull()) {
        displayedImage = QImage();
        return;
    }
    const int r = rotationByPath.value(currentPath(), 0);
    displayedImage = r != 0 ? currentImage.transformed(QTransform().rotate(r)) : currentImage;
    actualSizeImage = QImage();
    refreshPixmap();
}

void ViewerWidget::refreshPixmap()
{
    // Whatever the pane shows now, the analysis hears which clipping goes with it.
    const auto rawClipping = qScopeGuard([this] { refreshRawClipping(); });
    if (displayedImage.isNull())
        return;
    const QString path = currentPath();
    const SourceColour source = sourceByPath.value(path, SourceColour{});
    const bool manage = colourManagementEnabled();
    const QSize target = canvas->size();
    const QImage fitted = fittedByPath.value(path);
    const bool unturned = displayedImage.cacheKey() == currentImage.cacheKey();
    const bool prepared = unturned && !fitted.isNull()
                          && fitted.size() == currentImage.size().scaled(target, Qt::KeepAspectRatio);
    canvas->setPhotoSize(uprightPhotoSize(path, currentImage));
    if (!zoomed()) {
        canvas->setFullPicture(QImage());
        canvas->setFitPicture(prepared ? fitted
                                       : renderForDisplay(displayedImage, source, target, displaySpace, manage));
        return;
    }
    // Until the full picture is there, the canvas shows the fit picture
    // enlarged to the zoom: the previous photo's must not stand in for this one.
    const auto standIn = [&] {
        canvas->setFullPicture(QImage());
        canvas->setFitPicture(prepared ? fitted
                                       : renderForDisplay(displayedImage, source, target, displaySpace, manage));
    };
    if (awaitsRawDecode(path)) {
        // Decoded for the screen only, or a RAW file's preview: the full
        // decode, or the render of its sensor data, replaces it.
        standIn();
        sourceTag = tr("loading");
        requestPreview(path, 100);
        return;
    }
    if (actualSizeImage.isNull() && source.applied && manage && needsConversion(source.space, displaySpace)) {
        const DisplayPicture made = actualByPath.value(path);
        if (unturned && made.sourceKey == currentImage.cacheKey() && !made.picture.isNull()) {
            actualSizeImage = made.picture;
        } else {
            standIn();
            convertForActualSize(source, manage);
            return;
        }
    }
    // The fit picture is what the navigator is made from; never worth
    // scaling a full photo for.
    canvas->setFitPicture(prepared ? fitted : QImage());
    canvas->setFullPicture(actualSizeImage.isNull() ? displayedImage : actualSizeImage);
}

void ViewerWidget::convertForActualSize(const SourceColour &source, bool manage)
{
    const QPointer<ViewerWidget> self(this);
    const QString path = currentPath();
    const QImage full = displayedImage;
    const QColorSpace display = displaySpace;
    const quint64 generation = previewGeneration;
    previewPool.start(
        [self, path, full, source, display, manage, generation] {
            const QImage converted = toColourSpace(full, source, display, manage);
            postToGuiThread([self, path, full, converted, generation] {
                // Only for the photo, turn and view it was made for.
                if (!self || generation != self->previewGeneration || path != self->currentPath()
                    || full.cacheKey() != self->displayedImage.cacheKey() || !self->zoomed())
                    return;
                self->actualSizeImage = converted.isNull() ? full : converted;
                self->refreshPixmap();
                emit self->stateChanged();
            });
        },
        200);
}

void ViewerWidget::refreshColours()
{
    fittedByPath.clear();
    actualByPath.clear();
    actualSizeImage = QImage();
    refreshPixmap();
    updateExifOverlay();
}

void ViewerWidget::updateDisplaySpace()
{
    const QColorSpace display = displayColourSpace(screen());
    if (display == displaySpace)
        return;
    displaySpace = display;
    refreshColours();
}

bool ViewerWidget::showQuickPreview(const QString &path)
{
    const QSize target = canvas->size();
    if (target.isEmpty())
        return false;
    // Zoomed, the embedded picture stands in enlarged to the zoom, for which
    // the photo's own size must be known.
    QSize photoSize;
    if (zoomed()) {
        photoSize = fullSizeByPath.value(path, headerPhotoSize(path));
        if (photoSize.isEmpty())
            return false;
        if (rotationByPath.value(path, 0) % 180)
            photoSize.transpose();
    }
    QImage quick = decodeQuickPreview(path, target * devicePixelRatioF());
    if (quick.isNull())
        return false;
    if (const int r = rotationByPath.value(path, 0))
        quick = quick.transformed(QTransform().rotate(r));
    // A thumbnail with bars of its own would be stretched out of place.
    if (!photoSize.isEmpty()
        && std::abs(double(quick.width()) / quick.height() - double(photoSize.width()) / photoSize.height())
               > 0.02 * photoSize.width() / photoSize.height())
        return false;
    canvas->setFullPicture(QImage());
    canvas->setPhotoSize(photoSize);
    canvas->setFitPicture(
        renderForDisplay(quick, sourceColourOf(quick, path), target, displaySpace, colourManagementEnabled()));
    sourceTag = tr("embedded preview, loading");
    return true;
}

QString ViewerWidget::damagedText()
{
    return tr("This file is damaged; only part of it could be shown");
}
