#pragma once

#include "viewer/zoomgeometry.h"

#include <QImage>
#include <QPointF>
#include <QString>
#include <QWidget>

#include <optional>

// Draws one photo at Fit or zoomed, painting only the part in view, with a
// navigator in a corner while zoomed; or a message when there is no photo.
// A click, a drag and Ctrl+wheel change the zoom and are reported with
// `zoomChangedByUser`; the plain wheel is left to whoever filters its events.
//
// It holds two pictures of the same photo, both already in the display's
// colours: the fit picture, scaled for the whole view, and the full picture at
// the photo's own resolution. Zoomed, it draws the full picture; while that is
// not there yet, the fit picture stands in, enlarged to the same zoom and
// place, so that stepping through photos at a zoom never shows a fitted
// frame in between. The zoom outlives the pictures, so the next photo appears
// at the same zoom and relative point.
class PhotoCanvas : public QWidget
{
    Q_OBJECT
public:
    explicit PhotoCanvas(QWidget *parent = nullptr);

    // Shown alone, centred, until a picture is set.
    void setMessage(const QString &text);
    QString text() const { return m_message; }

    void setFitPicture(const QImage &picture);
    void setFullPicture(const QImage &picture);
    // The photo's own size, upright, for zoom steps taken and the fit picture
    // enlarged before the full picture has arrived; the fit picture's size
    // when not set, and then the fit picture is not enlarged.
    void setPhotoSize(const QSize &size);
    QImage fitPicture() const { return m_fit; }
    QImage fullPicture() const { return m_full; }
    // What the view draws now: the full picture when zoomed and there, else the fit picture.
    QImage shownPicture() const;
    // Whether the fit picture stands in for the full one at a zoom.
    bool isStandingIn() const;

    // A line at the top left over the photo (a pane's file name and marks),
    // and a frame that tells the active pane of two.
    void setCaption(const QString &text);
    QString caption() const { return m_caption; }
    void setFramed(bool framed);
    bool isFramed() const { return m_framed; }

    // The zoom as shown: clamped to the full picture and the view.
    ZoomView zoom() const;
    // The zoom as asked for, before it meets the photo's size.
    ZoomView requestedZoom() const { return m_zoom; }
    void setZoom(const ZoomView &zoom);
    // Zooms to `scale` (0: fit) keeping the photo point under `viewPoint` there.
    // Before the photo's size is known, the point is remembered and kept
    // once the full picture comes.
    void zoomAt(double scale, const QPointF &viewPoint);
    // Moves the zoomed photo by `delta` view pixels; false when it could not move.
    bool panBy(const QPointF &delta);

    // A wheel event at zoom: Ctrl zooms in steps at the pointer, otherwise it
    // pans (Shift: sideways). False when it is left to the caller (the plain
    // wheel at Fit).
    bool handleWheel(class QWheelEvent *event);

    // The part of the photo in view, in its own pixels; empty at Fit and
    // while nothing is drawn at the zoom.
    QRectF visibleSource() const;
    // Where the whole photo lies in the view (reaching past its edges when
    // zoomed), for what is drawn over it; empty while no picture is drawn.
    QRectF photoArea() const;
    // Where the navigator is drawn; empty when it is not shown.
    QRect navigatorRect() const;

signals:
    // A press and release without a drag.
    void clicked(const QPointF &viewPoint);
    // The user changed the zoom or position (Shift held: `alone`).
    void zoomChangedByUser(const ZoomView &zoom, bool alone);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    // The size the arithmetic works with: the full picture's, else the
    // photo's as set, else the fit picture's.
    QSizeF photoSize() const;
    // Whether the photo's size is known, so that a zoom can be laid out.
    bool knowsPhotoSize() const { return !m_full.isNull() || !m_photoSize.isEmpty(); }
    void drawContent(class QPainter &painter);
    void drawZoomed(QPainter &painter);
    void drawStandIn(QPainter &painter);
    void drawNavigator(QPainter &painter);
    const QImage &reducedFull(double scale);

    struct Anchor
    {
        QPointF relative;
        QPointF viewPoint;
    };

    QString m_message;
    QString m_caption;
    bool m_framed = false;
    QImage m_fit;
    QImage m_full;
    QSize m_photoSize;
    ZoomView m_zoom;
    std::optional<Anchor> m_anchor;

    // The full picture smoothly reduced for a zoom below 100 %, made once per scale.
    QImage m_reduced;
    qint64 m_reducedKey = 0;
    double m_reducedScale = 0;
    QImage m_navigatorThumb;
    qint64 m_navigatorKey = 0;

    QPointF m_pressPos;
    QPointF m_lastPos;
    bool m_pressed = false;
    bool m_dragging = false;
};
