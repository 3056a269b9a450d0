#pragma once

#include "imaging/focuspoints.h"

#include <QPointer>
#include <QWidget>

#include <functional>

class PhotoCanvas;

// The camera's focus points drawn over the photo of one canvas, following its
// fit and zoom: points in focus solid, chosen points outlined (also those of
// cameras that record no more than the one point), the others faint. It
// lies over the whole canvas and lets every mouse event through.
class FocusPointOverlay : public QWidget
{
    Q_OBJECT
public:
    explicit FocusPointOverlay(PhotoCanvas *canvas);

    // Gives the points of the photo the canvas shows (upright and turned);
    // asked at each repaint, so the points follow every step and turn.
    void setSource(std::function<FocusPoints()> source);
    FocusPoints points() const { return m_source ? m_source() : FocusPoints(); }

    // The overlay line for people: "1 of 61 points in focus (Canon AFInfo2)".
    static QString summaryText(const FocusPoints &points);

    // Where each of `points` is drawn in the canvas, in their order.
    QList<QRectF> pointRects(const FocusPoints &points) const;

protected:
    void paintEvent(QPaintEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QPointer<PhotoCanvas> m_canvas;
    std::function<FocusPoints()> m_source;
};
