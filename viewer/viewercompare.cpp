#include "viewer/viewerwidget.h"

#include "catalog/photocatalog.h"
#include "imaging/colourconversion.h"
#include "imaging/previewimagecache.h"
#include "viewer/photocanvas.h"

#include <QLabel>
#include <QScopeGuard>
#include <QSet>
#include <QTransform>

// Two photos side by side. The candidate is the catalog's current photo and
// goes through the single view's pipeline unchanged; the pinned photo is
// taken from the same preview cache, where the preload window keeps it.

QString ViewerWidget::activePath() const
{
    return isPinnedPaneActive() ? comparePinned : currentPath();
}

void ViewerWidget::startCompare(const QString &pinned, const QStringList &candidates)
{
    const QStringList visible = m_catalog->visibleFiles();
    if (pinned.isEmpty() || !visible.contains(pinned) || visible.size() < 2)
        return;
    comparePinned = pinned;
    candidateList.clear();
    // A grid selection may hold a whole large folder: looked up, not searched.
    const QSet<QString> shown(visible.cbegin(), visible.cend());
    QSet<QString> taken;
    for (const QString &path : candidates) {
        if (shown.contains(path) && !taken.contains(path)) {
            taken.insert(path);
            candidateList.append(path);
        }
    }
    if (candidateList.size() < 2)
        candidateList.clear();
    pinnedActive = false;
    pinnedOffset = QPointF();
    pinnedSourceKey = 0;
    pinnedCanvas->show();
    marksOverlay->hide();
    // The pane is half the width now: what was scaled for the whole view no longer fits.
    fittedByPath.clear();
    if (currentPath() == pinned || (!candidateList.isEmpty() && !candidateList.contains(currentPath()))
        || !offeredAsCandidate(currentPath(), rejectedCandidatesShown())) {
        m_catalog->select(pinned);
        if (!moveCandidate(+1) && !moveCandidate(-1)) {
            if (m_catalog->isAtLast())
                m_catalog->previous();
            else
                m_catalog->next();
        }
    }
    syncPinnedZoom();
    refreshPinnedPane();
    refreshPixmap();
    updateCaptions();
    preloadNeighbours();
    emit compareChanged();
    emit stateChanged();
}

void ViewerWidget::stopCompare()
{
    if (!isComparing())
        return;
    comparePinned.clear();
    candidateList.clear();
    pinnedActive = false;
    pinnedCanvas->hide();
    pinnedCanvas->setMessage(QString());
    canvas->setCaption(QString());
    canvas->setFramed(false);
    fittedByPath.clear();
    refreshPixmap();
    updateMarksOverlay();
    updateExifOverlay();
    emit compareChanged();
    emit stateChanged();
}

bool ViewerWidget::stepCandidate(int direction)
{
    if (!isComparing())
        return false;
    // At the end of the list nothing moves, as in the single view.
    moveCandidate(direction);
    return true;
}

bool ViewerWidget::rejectedCandidatesShown() const
{
    const PhotoCore::ParsedFilter filter = PhotoCore::parseFilter(m_catalog->filter());
    return filter.kind == PhotoCore::FilterKind::Rejected && !filter.exclude;
}

bool ViewerWidget::offeredAsCandidate(const QString &path, bool rejectedShown) const
{
    // The pinned photo is never its own candidate.
    if (path == comparePinned)
        return false;
    // Photos chosen to compare are compared, whatever their marks.
    if (!candidateList.isEmpty())
        return true;
    // A rejected photo is out of the running, unless the user is going
    // through the rejected photos themselves.
    return rejectedShown || !m_catalog->record(path).rejected;
}

bool ViewerWidget::moveCandidate(int direction)
{
    const QStringList list = candidateList.isEmpty() ? m_catalog->visibleFiles() : candidateList;
    int at = int(list.indexOf(currentPath()));
    if (at < 0)
        at = direction > 0 ? -1 : int(list.size());
    const bool rejectedShown = rejectedCandidatesShown();
    for (int i = at + direction; i >= 0 && i < list.size(); i += direction) {
        if (offeredAsCandidate(list.at(i), rejectedShown)) {
            m_catalog->select(list.at(i));
            return true;
        }
    }
    return false;
}

void ViewerWidget::setPinnedPaneActive(bool active)
{
    if (!isComparing() || active == pinnedActive)
        return;
    pinnedActive = active;
    updateCaptions();
    updateExifOverlay();
    emit stateChanged();
}

void ViewerWidget::pinCandidate()
{
    const QString candidate = currentPath();
    if (!isComparing() || candidate.isEmpty() || candidate == comparePinned)
        return;
    const QString old = comparePinned;
    comparePinned = candidate;
    pinnedOffset = QPointF();
    pinnedSourceKey = 0;
    // Go on through the burst from where the new pinned photo is.
    if (!moveCandidate(+1) && !moveCandidate(-1))
        m_catalog->select(old);
    syncPinnedZoom();
    refreshPinnedPane();
    updateCaptions();
    preloadNeighbours();
    emit stateChanged();
}

void ViewerWidget::updateCaptions()
{
    if (!isComparing())
        return;
    pinnedCanvas->setCaption(captionFor(comparePinned));
    canvas->setCaption(currentPath().isEmpty() ? QString() : captionFor(currentPath()));
    pinnedCanvas->setFramed(pinnedActive);
    canvas->setFramed(!pinnedActive);
}

void ViewerWidget::syncPinnedZoom()
{
    if (!isComparing())
        return;
    const ZoomView candidate = canvas->requestedZoom();
    pinnedCanvas->setZoom(candidate.isFit() ? ZoomView{} : ZoomView{candidate.scale, candidate.centre + pinnedOffset});
    if (candidate.isFit() != !pinnedWasZoomed)
        refreshPinnedPane();
}

void ViewerWidget::onCandidateZoomMoved(const ZoomView &zoom, bool alone)
{
    if (!isComparing())
        return;
    if (alone && !zoom.isFit())
        pinnedOffset = pinnedCanvas->requestedZoom().centre - zoom.centre;
    else
        syncPinnedZoom();
}

void ViewerWidget::onPinnedZoomChanged(const ZoomView &zoom, bool alone)
{
    if (alone && !zoom.isFit()) {
        pinnedOffset = zoom.centre - canvas->requestedZoom().centre;
        return;
    }
    if (!pinnedActive)
        setPinnedPaneActive(true);
    canvas->setZoom(zoom.isFit() ? ZoomView{} : ZoomView{zoom.scale, zoom.centre - pinnedOffset});
    zoomChanged();
}

void ViewerWidget::onPinnedClicked(const QPointF &viewPoint)
{
    setPinnedPaneActive(true);
    if (zoomed()) {
        canvas->setZoom(ZoomView{});
    } else {
        pinnedCanvas->zoomAt(1.0, viewPoint);
        canvas->setZoom(ZoomView{1.0, pinnedCanvas->requestedZoom().centre - pinnedOffset});
    }
    zoomChanged();
}

void ViewerWidget::refreshPinnedPane()
{
    // Whatever the pane shows now, the analysis hears which clipping goes with it.
    const auto rawClipping = qScopeGuard([this] { refreshRawClipping(); });
    if (!isComparing())
        return;
    const QString path = comparePinned;
    const QImage image = previewCache->lookup(path);
    pinnedWasZoomed = zoomed();
    if (image.isNull()) {
        pinnedSourceKey = 0;
        pinnedCanvas->setMessage(tr("Loading preview…"));
        requestPreview(path, 90);
        return;
    }
    loadStoredRotation(path);
    const int rotation = rotationByPath.value(path, 0);
    // Zoomed, only the full decode will do; it is asked for until it is there.
    const bool full = zoomed() && !awaitsRawDecode(path);
    if (zoomed() && !full)
        requestPreview(path, 90);
    // Made again only when the photo, its turn, the pane or the zoom's need changed.
    const qint64 key = image.cacheKey() ^ (qint64(rotation) << 56) ^ (qint64(full) << 60);
    if (key == pinnedSourceKey && pinnedPaneSize == pinnedCanvas->size())
        return;
    pinnedSourceKey = key;
    pinnedPaneSize = pinnedCanvas->size();
    const QImage upright = rotation ? image.transformed(QTransform().rotate(rotation)) : image;
    const SourceColour source = sourceByPath.value(path, SourceColour{});
    const bool manage = colourManagementEnabled();
    pinnedCanvas->setPhotoSize(uprightPhotoSize(path, image));
    pinnedCanvas->setFitPicture(renderForDisplay(upright, source, pinnedCanvas->size(), displaySpace, manage));
    if (full) {
        const bool convert = source.applied && manage && needsConversion(source.space, displaySpace);
        pinnedCanvas->setFullPicture(convert ? toColourSpace(upright, source, displaySpace, manage) : upright);
    } else {
        pinnedCanvas->setFullPicture(QImage());
    }
}
