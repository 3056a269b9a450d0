#include "viewer/zoomgeometry.h"

#include <algorithm>

namespace Zoom {

namespace {

// Scales closer than this count as the same level: a photo whose fit is
// 100.0001 % is not zoomed by the 100 % step.
constexpr double sameLevel = 1e-6;

double clampAxis(double centre, double scaledLength, double viewLength)
{
    if (scaledLength <= viewLength)
        return 0.5;
    const double half = viewLength / 2.0 / scaledLength;
    return std::clamp(centre, half, 1.0 - half);
}

} // namespace

double fitScale(const QSizeF &photo, const QSizeF &view)
{
    if (photo.isEmpty() || view.isEmpty())
        return 0;
    // Never above 100 %: a small photo enlarged only looks soft.
    return std::min({1.0, view.width() / photo.width(), view.height() / photo.height()});
}

double effectiveScale(const ZoomView &zoom, const QSizeF &photo, const QSizeF &view)
{
    return zoom.isFit() ? fitScale(photo, view) : zoom.scale;
}

ZoomView clamped(const ZoomView &zoom, const QSizeF &photo, const QSizeF &view)
{
    if (zoom.isFit())
        return ZoomView{};
    if (photo.isEmpty() || view.isEmpty())
        return zoom;
    ZoomView result = zoom;
    result.centre.setX(clampAxis(zoom.centre.x(), photo.width() * zoom.scale, view.width()));
    result.centre.setY(clampAxis(zoom.centre.y(), photo.height() * zoom.scale, view.height()));
    return result;
}

QRectF photoRect(const ZoomView &zoom, const QSizeF &photo, const QSizeF &view)
{
    const double scale = effectiveScale(zoom, photo, view);
    const QSizeF scaled = photo * scale;
    const QPointF centre = zoom.isFit() ? QPointF(0.5, 0.5) : zoom.centre;
    const QPointF topLeft(view.width() / 2.0 - centre.x() * scaled.width(),
                          view.height() / 2.0 - centre.y() * scaled.height());
    return QRectF(topLeft, scaled);
}

QPointF relativePointAt(const ZoomView &zoom, const QSizeF &photo, const QSizeF &view, const QPointF &viewPoint)
{
    const QRectF rect = photoRect(zoom, photo, view);
    if (rect.isEmpty())
        return QPointF(0.5, 0.5);
    return QPointF(std::clamp((viewPoint.x() - rect.left()) / rect.width(), 0.0, 1.0),
                   std::clamp((viewPoint.y() - rect.top()) / rect.height(), 0.0, 1.0));
}

ZoomView anchoredAt(double scale, const QPointF &relative, const QPointF &viewPoint, const QSizeF &photo,
                    const QSizeF &view)
{
    if (scale <= 0)
        return ZoomView{};
    if (photo.isEmpty() || view.isEmpty())
        return ZoomView{scale, relative};
    const QSizeF scaled = photo * scale;
    const QPointF centre(relative.x() + (view.width() / 2.0 - viewPoint.x()) / scaled.width(),
                         relative.y() + (view.height() / 2.0 - viewPoint.y()) / scaled.height());
    return clamped(ZoomView{scale, centre}, photo, view);
}

ZoomView zoomedAt(const ZoomView &zoom, double scale, const QPointF &viewPoint, const QSizeF &photo,
                  const QSizeF &view)
{
    return anchoredAt(scale, relativePointAt(zoom, photo, view, viewPoint), viewPoint, photo, view);
}

ZoomView panned(const ZoomView &zoom, const QPointF &delta, const QSizeF &photo, const QSizeF &view)
{
    if (zoom.isFit() || photo.isEmpty())
        return zoom;
    const QSizeF scaled = photo * zoom.scale;
    const ZoomView moved{zoom.scale, zoom.centre - QPointF(delta.x() / scaled.width(), delta.y() / scaled.height())};
    return clamped(moved, photo, view);
}

double nextStep(const ZoomView &zoom, int direction, const QSizeF &photo, const QSizeF &view)
{
    const double fit = fitScale(photo, view);
    const double current = zoom.isFit() ? fit : zoom.scale;
    if (direction > 0) {
        for (double step : steps) {
            if (step > fit * (1 + sameLevel) && step > current * (1 + sameLevel))
                return step;
        }
        return zoom.scale;
    }
    double below = 0;
    for (double step : steps) {
        if (step > fit * (1 + sameLevel) && step < current * (1 - sameLevel))
            below = step;
    }
    return below;
}

QRectF visibleSource(const ZoomView &zoom, const QSizeF &photo, const QSizeF &view)
{
    const QRectF rect = photoRect(zoom, photo, view);
    const QRectF shown = rect.intersected(QRectF(QPointF(0, 0), view));
    if (shown.isEmpty() || rect.isEmpty())
        return QRectF();
    const double scale = rect.width() / photo.width();
    return QRectF((shown.topLeft() - rect.topLeft()) / scale, shown.size() / scale);
}

} // namespace Zoom
