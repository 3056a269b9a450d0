#include "viewer/viewerwidget.h"

#include "viewer/focuspointoverlay.h"
#include "viewer/photocanvas.h"

#include <QSettings>

namespace {

const QString focusPointsKey = QStringLiteral("view/focusPoints");
const QString followKey = QStringLiteral("view/followFocusPoint");
// Photos whose focus points are kept; reading them again is cheap.
constexpr int keptFocusRecords = 2048;

} // namespace

void ViewerWidget::setUpFocusPoints()
{
    focusOverlay = new FocusPointOverlay(canvas);
    focusOverlay->setObjectName(QStringLiteral("focusPointOverlay"));
    focusOverlay->setSource([this] { return shownFocusPoints(currentPath()); });
    pinnedFocusOverlay = new FocusPointOverlay(pinnedCanvas);
    pinnedFocusOverlay->setObjectName(QStringLiteral("pinnedFocusPointOverlay"));
    pinnedFocusOverlay->setSource([this] { return shownFocusPoints(comparePinned); });
    const QSettings settings;
    setFocusPointsShown(settings.value(focusPointsKey, false).toBool());
    followFocusPoint = settings.value(followKey, false).toBool();
}

const FocusPoints &ViewerWidget::focusPointsOf(const QString &path)
{
    auto it = focusByPath.find(path);
    if (it == focusByPath.end()) {
        if (focusByPath.size() >= keptFocusRecords)
            focusByPath.clear();
        it = focusByPath.insert(path, readFocusPoints(path));
    }
    return it.value();
}

FocusPoints ViewerWidget::shownFocusPoints(const QString &path)
{
    if (path.isEmpty())
        return {};
    return rotateFocusPoints(focusPointsOf(path), rotationByPath.value(path, 0));
}

QPointF ViewerWidget::focusCentre(const QString &path)
{
    const FocusPoints points = shownFocusPoints(path);
    const int primary = points.primaryIndex();
    if (primary < 0)
        return QPointF(0.5, 0.5);
    return QPointF(points.points.at(primary).x, points.points.at(primary).y);
}

void ViewerWidget::followFocusPointOf(const QString &path)
{
    const ZoomView view = canvas->requestedZoom();
    if (!followFocusPoint || view.isFit() || path.isEmpty() || shownFocusPoints(path).isEmpty())
        return;
    canvas->setZoom(ZoomView{view.scale, focusCentre(path)});
    syncPinnedZoom();
}

void ViewerWidget::setFocusPointsShown(bool shown)
{
    focusPointsShown = shown;
    focusOverlay->setVisible(shown);
    pinnedFocusOverlay->setVisible(shown);
    if (shown) {
        focusOverlay->raise();
        pinnedFocusOverlay->raise();
    }
    QSettings().setValue(focusPointsKey, shown);
}

void ViewerWidget::setFollowFocusPoint(bool follow)
{
    followFocusPoint = follow;
    QSettings().setValue(followKey, follow);
    if (follow)
        followFocusPointOf(currentPath());
}
