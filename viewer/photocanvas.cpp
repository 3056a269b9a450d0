#include "viewer/photocanvas.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QPaintEvent>
#include <QWheelEvent>

#include <cmath>

namespace {

const QColor background(0x17, 0x19, 0x1c);
const QSize navigatorBox(180, 120);
constexpr int navigatorMargin = 16;
// Pixels moved per wheel notch when the wheel pans.
constexpr double wheelPanStep = 120.0;

} // namespace

PhotoCanvas::PhotoCanvas(QWidget *parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(false);
}

void PhotoCanvas::setMessage(const QString &text)
{
    m_message = text;
    m_photoSize = QSize();
    m_fit = QImage();
    m_full = QImage();
    update();
}

void PhotoCanvas::setFitPicture(const QImage &picture)
{
    if (!picture.isNull())
        m_message.clear();
    if (picture.cacheKey() == m_fit.cacheKey())
        return;
    m_fit = picture;
    update();
}

void PhotoCanvas::setFullPicture(const QImage &picture)
{
    if (!picture.isNull())
        m_message.clear();
    if (picture.cacheKey() == m_full.cacheKey())
        return;
    m_full = picture;
    if (!m_full.isNull() && m_anchor) {
        m_zoom = Zoom::anchoredAt(m_zoom.scale, m_anchor->relative, m_anchor->viewPoint, m_full.size(), size());
        m_anchor.reset();
    }
    update();
}

void PhotoCanvas::setPhotoSize(const QSize &size)
{
    if (size == m_photoSize)
        return;
    m_photoSize = size;
    // A point waiting for a photo of unknown size was meant for another one.
    if (!size.isEmpty())
        m_anchor.reset();
    if (m_full.isNull() && !m_zoom.isFit())
        update();
}

void PhotoCanvas::setCaption(const QString &text)
{
    if (text == m_caption)
        return;
    m_caption = text;
    update();
}

void PhotoCanvas::setFramed(bool framed)
{
    if (framed == m_framed)
        return;
    m_framed = framed;
    update();
}

QImage PhotoCanvas::shownPicture() const
{
    return !m_zoom.isFit() && !m_full.isNull() ? m_full : m_fit;
}

bool PhotoCanvas::isStandingIn() const
{
    return !m_zoom.isFit() && m_full.isNull() && !m_fit.isNull() && !m_photoSize.isEmpty();
}

QSizeF PhotoCanvas::photoSize() const
{
    if (!m_full.isNull())
        return m_full.size();
    return !m_photoSize.isEmpty() ? QSizeF(m_photoSize) : QSizeF(m_fit.size());
}

ZoomView PhotoCanvas::zoom() const
{
    if (!knowsPhotoSize())
        return m_zoom;
    return Zoom::clamped(m_zoom, photoSize(), size());
}

void PhotoCanvas::setZoom(const ZoomView &zoom)
{
    m_anchor.reset();
    if (zoom == m_zoom)
        return;
    m_zoom = zoom.isFit() ? ZoomView{} : zoom;
    update();
}

void PhotoCanvas::zoomAt(double scale, const QPointF &viewPoint)
{
    if (scale <= 0) {
        setZoom(ZoomView{});
        return;
    }
    // Without the photo's size the point is found on the fit picture, which
    // has the photo's proportions, and its place is settled once the full
    // picture is there. (Only for this photo: the next one takes the zoom as
    // a relative point, as every step does.)
    const ZoomView shown = knowsPhotoSize() ? zoom() : ZoomView{};
    const QPointF relative = Zoom::relativePointAt(shown, photoSize(), size(), viewPoint);
    if (knowsPhotoSize()) {
        m_zoom = Zoom::anchoredAt(scale, relative, viewPoint, photoSize(), size());
        m_anchor.reset();
    } else {
        m_zoom = ZoomView{scale, relative};
        m_anchor = Anchor{relative, viewPoint};
    }
    update();
}

bool PhotoCanvas::panBy(const QPointF &delta)
{
    if (m_zoom.isFit() || !knowsPhotoSize())
        return false;
    // A photo that cannot move keeps the point asked for, for the next photo.
    const ZoomView moved = Zoom::panned(zoom(), delta, photoSize(), size());
    if (moved == zoom())
        return false;
    m_zoom = moved;
    // Where the user moved to wins over a point still waiting for the full picture.
    m_anchor.reset();
    update();
    return true;
}

bool PhotoCanvas::handleWheel(QWheelEvent *event)
{
    const bool zoomKey = event->modifiers() & Qt::ControlModifier;
    if (!zoomKey && m_zoom.isFit())
        return false;
    QPointF notches = QPointF(event->angleDelta()) / 120.0;
    if (event->angleDelta().isNull())
        notches = QPointF(event->pixelDelta()) / wheelPanStep;
    if (zoomKey) {
        if (notches.y() == 0)
            return true;
        const ZoomView before = zoom();
        const double scale = Zoom::nextStep(before, notches.y() > 0 ? +1 : -1, photoSize(), size());
        if (scale != before.scale) {
            zoomAt(scale, event->position());
            emit zoomChangedByUser(zoom(), false);
        }
        return true;
    }
    // A horizontal wheel and Shift with a vertical one both move sideways.
    QPointF delta = notches * wheelPanStep;
    if (event->modifiers() & Qt::ShiftModifier)
        delta = QPointF(delta.y() != 0 ? delta.y() : delta.x(), 0);
    if (panBy(delta))
        emit zoomChangedByUser(zoom(), false);
    return true;
}

QRectF PhotoCanvas::visibleSource() const
{
    if (m_zoom.isFit() || (m_full.isNull() && !isStandingIn()))
        return QRectF();
    return Zoom::visibleSource(zoom(), photoSize(), size());
}

QRectF PhotoCanvas::photoArea() const
{
    if (!m_zoom.isFit() && (!m_full.isNull() || isStandingIn()))
        return Zoom::photoRect(zoom(), photoSize(), size());
    if (m_fit.isNull())
        return QRectF();
    QSizeF shown = QSizeF(m_fit.size()).scaled(size(), Qt::KeepAspectRatio);
    if (shown.width() > photoSize().width() || shown.height() > photoSize().height())
        shown = QSizeF(m_fit.size()).scaled(photoSize(), Qt::KeepAspectRatio);
    QRectF area(QPointF(0, 0), shown);
    area.moveCenter(QRectF(rect()).center());
    return area;
}

QRect PhotoCanvas::navigatorRect() const
{
    const QRectF source = visibleSource();
    if (source.isEmpty())
        return QRect();
    // Nothing to find one's way in when the whole photo is in view.
    const QSizeF photo = photoSize();
    if (source.width() >= photo.width() - 0.5 && source.height() >= photo.height() - 0.5)
        return QRect();
    const QSize box = photo.toSize().scaled(navigatorBox, Qt::KeepAspectRatio);
    return QRect(QPoint(width() - box.width() - navigatorMargin, height() - box.height() - navigatorMargin), box);
}

const QImage &PhotoCanvas::reducedFull(double scale)
{
    if (m_reducedKey != m_full.cacheKey() || m_reducedScale != scale) {
        const QSize size(std::max(1, int(std::lround(m_full.width() * scale))),
                         std::max(1, int(std::lround(m_full.height() * scale))));
        m_reduced = m_full.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        m_reducedKey = m_full.cacheKey();
        m_reducedScale = scale;
    }
    return m_reduced;
}

void PhotoCanvas::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    painter.fillRect(event->rect(), background);
    drawContent(painter);
    if (!m_caption.isEmpty()) {
        QFont font = painter.font();
        font.setPixelSize(15);
        painter.setFont(font);
        const QRect text = painter.fontMetrics().boundingRect(m_caption).adjusted(-10, -6, 10, 6);
        const QRect box(QPoint(12, 12), text.size());
        painter.fillRect(box, QColor(15, 17, 20, 215));
        painter.setPen(Qt::white);
        painter.drawText(box, Qt::AlignCenter, m_caption);
    }
    if (m_framed) {
        painter.setPen(QPen(QColor(0x4f, 0xa3, 0xff), 4));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(QRectF(rect()).adjusted(2, 2, -2, -2));
    }
}

void PhotoCanvas::drawContent(QPainter &painter)
{
    if (!m_zoom.isFit() && !m_full.isNull()) {
        drawZoomed(painter);
        drawNavigator(painter);
        return;
    }
    if (isStandingIn()) {
        drawStandIn(painter);
        drawNavigator(painter);
        return;
    }
    if (!m_fit.isNull()) {
        QSizeF shown = QSizeF(m_fit.size()).scaled(size(), Qt::KeepAspectRatio);
        // A photo smaller than the view is shown at its own size: enlarged, it only looks soft.
        if (shown.width() > photoSize().width() || shown.height() > photoSize().height())
            shown = QSizeF(m_fit.size()).scaled(photoSize(), Qt::KeepAspectRatio);
        QRectF target(QPointF(0, 0), shown);
        target.moveCenter(QRectF(rect()).center());
        if (target.size().toSize() == m_fit.size()) {
            painter.drawImage(target.topLeft().toPoint(), m_fit);
        } else {
            // The view changed size since the picture was made for it.
            painter.setRenderHint(QPainter::SmoothPixmapTransform);
            painter.drawImage(target, m_fit);
        }
        return;
    }
    if (!m_message.isEmpty()) {
        painter.setPen(palette().color(QPalette::WindowText));
        painter.drawText(rect().adjusted(24, 24, -24, -24), Qt::AlignCenter | Qt::TextWordWrap, m_message);
    }
}

void PhotoCanvas::drawZoomed(QPainter &painter)
{
    const ZoomView view = zoom();
    const QRectF target = Zoom::photoRect(view, m_full.size(), size()).intersected(QRectF(rect()));
    const QRectF source = Zoom::visibleSource(view, m_full.size(), size());
    if (target.isEmpty() || source.isEmpty())
        return;
    if (view.scale == 1.0) {
        // One photo pixel to one view pixel: a plain copy of the part in view.
        const QPoint origin = target.topLeft().toPoint();
        const QRect pixels(source.topLeft().toPoint(), target.size().toSize());
        painter.drawImage(origin, m_full, pixels);
    } else if (view.scale > 1.0) {
        // Enlarged for checking focus: every photo pixel stays a sharp square.
        painter.drawImage(target, m_full, source);
    } else {
        const QImage &reduced = reducedFull(view.scale);
        const QRectF reducedSource(source.topLeft() * view.scale, target.size());
        painter.drawImage(target.topLeft().toPoint(), reduced, reducedSource.toRect());
    }
}

void PhotoCanvas::drawStandIn(QPainter &painter)
{
    const QSizeF photo = photoSize();
    const ZoomView view = zoom();
    const QRectF target = Zoom::photoRect(view, photo, size()).intersected(QRectF(rect()));
    const QRectF source = Zoom::visibleSource(view, photo, size());
    if (target.isEmpty() || source.isEmpty())
        return;
    // The same part of the photo, found on the smaller picture; soft rather
    // than blocky, as it is blurred anyway.
    const double sx = m_fit.width() / photo.width();
    const double sy = m_fit.height() / photo.height();
    const QRectF fitSource(source.x() * sx, source.y() * sy, source.width() * sx, source.height() * sy);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(target, m_fit, fitSource);
}

void PhotoCanvas::drawNavigator(QPainter &painter)
{
    const QRect box = navigatorRect();
    if (box.isEmpty())
        return;
    // From the fit picture where there is one: far fewer pixels to reduce.
    const QImage &from = !m_fit.isNull() ? m_fit : m_full;
    if (m_navigatorKey != from.cacheKey() || m_navigatorThumb.size() != box.size()) {
        m_navigatorThumb = from.scaled(box.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        m_navigatorKey = from.cacheKey();
    }
    painter.fillRect(box.adjusted(-3, -3, 3, 3), QColor(15, 17, 20, 215));
    painter.drawImage(box.topLeft(), m_navigatorThumb);
    const QRectF source = visibleSource();
    const double scale = double(box.width()) / photoSize().width();
    const QRectF shown(box.topLeft() + source.topLeft() * scale, source.size() * scale);
    painter.setPen(QPen(QColor(255, 255, 255), 1.5));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(shown.adjusted(0.5, 0.5, -0.5, -0.5));
}

void PhotoCanvas::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    m_pressed = true;
    m_dragging = false;
    m_pressPos = event->position();
    m_lastPos = event->position();
    event->accept();
}

void PhotoCanvas::mouseMoveEvent(QMouseEvent *event)
{
    if (!m_pressed)
        return;
    if (!m_dragging && (event->position() - m_pressPos).manhattanLength() < QApplication::startDragDistance())
        return;
    if (!m_dragging) {
        m_dragging = true;
        setCursor(Qt::ClosedHandCursor);
    }
    const QPointF delta = event->position() - m_lastPos;
    m_lastPos = event->position();
    if (panBy(delta))
        emit zoomChangedByUser(zoom(), event->modifiers() & Qt::ShiftModifier);
}

void PhotoCanvas::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || !m_pressed) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    m_pressed = false;
    if (m_dragging) {
        m_dragging = false;
        unsetCursor();
        return;
    }
    emit clicked(event->position());
}
