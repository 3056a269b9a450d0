#include "viewer/focuspointoverlay.h"

#include "viewer/photocanvas.h"

#include <QEvent>
#include <QPainter>

namespace {

// A point recorded without an area is drawn at this size, and no area smaller.
constexpr double pointSide = 28;
constexpr double minimumSide = 10;
constexpr double largeArea = 140 * 140;

const QColor inFocusColour(0x5c, 0xe0, 0x6b);
const QColor chosenColour(0xff, 0xd5, 0x4f);

} // namespace

FocusPointOverlay::FocusPointOverlay(PhotoCanvas *canvas)
    : QWidget(canvas)
    , m_canvas(canvas)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    setFocusPolicy(Qt::NoFocus);
    setGeometry(canvas->rect());
    canvas->installEventFilter(this);
    hide();
}

void FocusPointOverlay::setSource(std::function<FocusPoints()> source)
{
    m_source = std::move(source);
    update();
}

QString FocusPointOverlay::summaryText(const FocusPoints &points)
{
    if (points.isEmpty())
        return tr("not recorded");
    if (points.recordsFocus())
        return tr("%1 of %2 points in focus (%3)").arg(points.inFocusCount()).arg(points.points.size()).arg(points.source);
    if (points.points.size() == 1)
        return tr("1 point (%1)").arg(points.source);
    return tr("%1 points (%2)").arg(points.points.size()).arg(points.source);
}

QList<QRectF> FocusPointOverlay::pointRects(const FocusPoints &points) const
{
    QList<QRectF> rects;
    const QRectF photo = m_canvas ? m_canvas->photoArea() : QRectF();
    if (photo.isEmpty())
        return rects;
    for (const FocusPoint &p : points.points) {
        const QPointF centre(photo.left() + p.x * photo.width(), photo.top() + p.y * photo.height());
        const bool bare = p.w <= 0 && p.h <= 0;
        const double w = bare ? pointSide : qMax(minimumSide, p.w * photo.width());
        const double h = bare ? pointSide : qMax(minimumSide, p.h * photo.height());
        rects.append(QRectF(centre.x() - w / 2, centre.y() - h / 2, w, h));
    }
    return rects;
}

void FocusPointOverlay::paintEvent(QPaintEvent *)
{
    const FocusPoints shown = points();
    const QList<QRectF> rects = pointRects(shown);
    if (rects.isEmpty())
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    // The faint ones first, so that the chosen ones lie on top.
    for (int pass = 0; pass < 3; ++pass) {
        for (int i = 0; i < rects.size(); ++i) {
            const FocusPoint &p = shown.points.at(i);
            const bool inFocus = p.inFocus.value_or(false);
            // A camera that records neither flag recorded only the point it chose.
            const bool chosen = !inFocus && (p.selected.value_or(false) || (!p.inFocus && !p.selected));
            const int kind = inFocus ? 2 : chosen ? 1 : 0;
            if (kind != pass)
                continue;
            const QRectF r = rects.at(i);
            // A dark edge under each frame keeps it visible on light photos.
            if (kind == 2) {
                painter.setPen(QPen(QColor(0, 0, 0, 150), 4));
                painter.setBrush(Qt::NoBrush);
                painter.drawRect(r);
                // Tinted at a glance; left clear where it is large enough
                // to judge its sharpness through.
                QColor fill = inFocusColour;
                fill.setAlpha(r.width() * r.height() < largeArea ? 70 : 0);
                painter.setPen(QPen(inFocusColour, 3));
                painter.setBrush(fill);
                painter.drawRect(r);
            } else if (kind == 1) {
                painter.setPen(QPen(QColor(0, 0, 0, 150), 4));
                painter.setBrush(Qt::NoBrush);
                painter.drawRect(r);
                painter.setPen(QPen(chosenColour, 2));
                painter.drawRect(r);
            } else {
                painter.setPen(QPen(QColor(255, 255, 255, 80), 1));
                painter.setBrush(Qt::NoBrush);
                painter.drawRect(r);
            }
            if (p.w <= 0 && p.h <= 0) {
                painter.setPen(QPen(kind == 2 ? inFocusColour : chosenColour, 2));
                painter.drawLine(QPointF(r.center().x(), r.top() + 6), QPointF(r.center().x(), r.bottom() - 6));
                painter.drawLine(QPointF(r.left() + 6, r.center().y()), QPointF(r.right() - 6, r.center().y()));
            }
        }
    }
}

bool FocusPointOverlay::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_canvas && event->type() == QEvent::Resize)
        setGeometry(m_canvas->rect());
    return QWidget::eventFilter(watched, event);
}
