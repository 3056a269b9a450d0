#pragma once

#include <QPointF>
#include <QRectF>
#include <QSizeF>

// The arithmetic of a zoomed photo in a view, apart from any widget. A view
// is a scale (photo pixels to view pixels; 0 means "fit") and the point of the
// photo at the middle of the view, relative to the photo's size (0…1 on each
// axis), so that the same view can be carried to a photo of another size or
// orientation and shows the same part of it.
struct ZoomView
{
    double scale = 0; // 0: the whole photo fits the view
    QPointF centre{0.5, 0.5};

    bool isFit() const { return scale <= 0; }
    friend bool operator==(const ZoomView &a, const ZoomView &b)
    {
        return a.scale == b.scale && a.centre == b.centre;
    }
};

namespace Zoom {

// The steps Ctrl+wheel goes through above the fit.
inline constexpr double steps[] = {0.25, 0.5, 1.0, 2.0, 4.0};

// The scale at which `photo` fits `view` whole, at most 1 (a photo smaller
// than the view is shown at its own size); 0 when either is empty.
double fitScale(const QSizeF &photo, const QSizeF &view);

// The scale a view stands for: its own, or the fit's.
double effectiveScale(const ZoomView &zoom, const QSizeF &photo, const QSizeF &view);

// The view moved so that the photo never leaves a gap it could fill: along
// an axis where the scaled photo is smaller than the view it is centred.
ZoomView clamped(const ZoomView &zoom, const QSizeF &photo, const QSizeF &view);

// The rectangle the scaled photo covers in view coordinates.
QRectF photoRect(const ZoomView &zoom, const QSizeF &photo, const QSizeF &view);

// The point of the photo, relative to its size, under `viewPoint`.
QPointF relativePointAt(const ZoomView &zoom, const QSizeF &photo, const QSizeF &view, const QPointF &viewPoint);

// The view at `scale` that keeps the photo's relative point `relative` under
// `viewPoint`, clamped.
ZoomView anchoredAt(double scale, const QPointF &relative, const QPointF &viewPoint, const QSizeF &photo,
                    const QSizeF &view);

// `zoom` at `scale`, keeping the photo point under `viewPoint` where it is.
ZoomView zoomedAt(const ZoomView &zoom, double scale, const QPointF &viewPoint, const QSizeF &photo,
                  const QSizeF &view);

// `zoom` moved by `delta` view pixels (the photo follows the pointer), clamped.
ZoomView panned(const ZoomView &zoom, const QPointF &delta, const QSizeF &photo, const QSizeF &view);

// The next step from `zoom` in `direction` (+1 closer, -1 farther): the fit,
// then each step larger than the fit. Going below the fit gives the fit;
// beyond the last step it stays there.
double nextStep(const ZoomView &zoom, int direction, const QSizeF &photo, const QSizeF &view);

// The part of the photo, in photo pixels, that the view shows.
QRectF visibleSource(const ZoomView &zoom, const QSizeF &photo, const QSizeF &view);

} // namespace Zoom
