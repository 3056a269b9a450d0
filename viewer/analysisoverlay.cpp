#include "viewer/analysisoverlay.h"

#include "catalog/guithread.h"
#include "viewer/photocanvas.h"

#include <QEvent>
#include <QFontMetrics>
#include <QLocale>
#include <QPainter>
#include <QPainterPath>
#include <QPaintEvent>

#include <algorithm>
#include <cmath>

namespace {

constexpr int panelMargin = 16;
constexpr int panelPadding = 10;
constexpr int plotHeight = 90;
constexpr int plotWidth = 256;
// The figures under the plot: a swatch of the colour on the photo, then the text.
constexpr int legendGap = 6;
constexpr int swatchSize = 10;
constexpr int swatchGap = 5;
constexpr int entryGap = 14;
// Opaque: the tint on the photo must never show through as if it were data.
const QColor panelColour(15, 17, 20);
// The stripes of a channel at 0: this many pixels on in every period, along the diagonal.
constexpr int stripePeriod = 6;
constexpr int stripeWidth = 2;
// A part shown this much smaller than the picture holds it is analysed as shown.
constexpr double reducedBelow = 0.9;

QString percentText(double percent)
{
    if (percent > 0 && percent < 0.1)
        return QStringLiteral("< %1").arg(QLocale().toString(0.1, 'f', 1));
    return QLocale().toString(percent, 'f', 1);
}

} // namespace

AnalysisOverlay::AnalysisOverlay(PhotoCanvas *canvas)
    : QWidget(canvas)
    , m_canvas(canvas)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    setFocusPolicy(Qt::NoFocus);
    setObjectName(QStringLiteral("analysisOverlay"));
    setGeometry(canvas->rect());
    canvas->installEventFilter(this);
    // Below whatever else is drawn over the photo, such as its focus points.
    lower();
    hide();
}

AnalysisOverlay::~AnalysisOverlay() = default;

void AnalysisOverlay::setLayers(const AnalysisLayers &layers)
{
    if (layers == m_layers)
        return;
    m_layers = layers;
    m_panelStale = true;
    setVisible(layers.any());
    update();
}

void AnalysisOverlay::setRawBlown(const QImage &mask)
{
    if (mask.cacheKey() == m_rawBlown.cacheKey())
        return;
    m_rawBlown = mask;
    m_panelStale = true;
    askAgain();
    update();
}

bool AnalysisOverlay::Request::sameAs(const Request &other) const
{
    return picture.cacheKey() == other.picture.cacheKey() && rawBlown.cacheKey() == other.rawBlown.cacheKey() && source == other.source && scaledTo == other.scaledTo
           && whole.cacheKey() == other.whole.cacheKey() && layers.peaking == other.layers.peaking
           && layers.clipping == other.layers.clipping;
}

AnalysisOverlay::Request AnalysisOverlay::wanted() const
{
    Request request;
    request.layers = m_layers;
    if (!m_canvas)
        return request;
    const QImage shown = m_canvas->shownPicture();
    const QRectF area = m_canvas->photoArea();
    if (shown.isNull() || area.isEmpty())
        return request;
    // Only for the picture it was made for, and only when it is shown itself.
    const QImage full = m_canvas->fullPicture();
    if ((m_layers.clipping || m_layers.histogram) && !m_rawBlown.isNull() && !full.isNull()
        && shown.cacheKey() == full.cacheKey() && m_rawBlown.size() == full.size())
        request.rawBlown = m_rawBlown;
    if (m_layers.peaking || m_layers.clipping) {
        const QRectF visible = area.intersected(QRectF(m_canvas->rect()));
        const double sx = shown.width() / area.width();
        const double sy = shown.height() / area.height();
        const QRect source = QRectF((visible.x() - area.x()) * sx, (visible.y() - area.y()) * sy,
                                    visible.width() * sx, visible.height() * sy)
                                 .toAlignedRect()
                                 .intersected(shown.rect());
        if (!source.isEmpty()) {
            request.picture = shown;
            request.source = source;
            const QSize onScreen = QSizeF(source.width() / sx, source.height() / sy).toSize();
            if (onScreen.width() < reducedBelow * source.width() && !onScreen.isEmpty())
                request.scaledTo = onScreen;
        }
    }
    // The histogram is the whole photo's, at a zoom too: from the fit picture
    // where there is one, which has far fewer pixels to count.
    if (m_layers.histogram)
        request.whole = !m_canvas->fitPicture().isNull() ? m_canvas->fitPicture() : shown;
    return request;
}

bool AnalysisOverlay::isCurrent() const
{
    if (m_busy)
        return false;
    const Request want = wanted();
    const bool partDone = want.picture.isNull()
                          || (want.picture.cacheKey() == m_result.pictureKey && want.source == m_result.source
                              && want.scaledTo == m_result.scaledTo && want.layers.peaking == m_result.layers.peaking
                              && want.layers.clipping == m_result.layers.clipping);
    const bool wholeDone = want.whole.isNull() || want.whole.cacheKey() == m_result.wholeKey;
    if (want.rawBlown.cacheKey() != m_result.rawKey)
        return false;
    return partDone && wholeDone;
}

void AnalysisOverlay::askAgain()
{
    if (!m_layers.any())
        return;
    const Request want = wanted();
    if (m_busy) {
        m_askAgain = m_askAgain || !want.sameAs(m_running);
        return;
    }
    if (isCurrent() || (want.picture.isNull() && want.whole.isNull()))
        return;
    start(want);
}

void AnalysisOverlay::start(const Request &request)
{
    m_busy = true;
    m_askAgain = false;
    m_running = request;
    const QPointer<AnalysisOverlay> self(this);
    m_pool.start([self, request] {
        const Result result = analyse(request);
        postToGuiThread([self, result] {
            if (self)
                self->take(result);
        });
    });
}

void AnalysisOverlay::take(const Result &result)
{
    m_busy = false;
    m_running = Request();
    const Request want = wanted();
    // Made for a picture no longer shown: dropped. For the same picture it
    // is kept even when the view moved on meanwhile, and drawn where that
    // part now lies until the next one comes.
    const bool rawSame = result.rawKey == want.rawBlown.cacheKey();
    const bool pictureShown = result.pictureKey != 0 && result.pictureKey == want.picture.cacheKey() && rawSame;
    const bool photoShown = result.wholeKey != 0 && result.wholeKey == want.whole.cacheKey() && rawSame;
    if (pictureShown || photoShown)
        m_result.rawKey = result.rawKey;
    if (pictureShown) {
        m_result.pictureKey = result.pictureKey;
        m_result.source = result.source;
        m_result.scaledTo = result.scaledTo;
        m_result.layers = result.layers;
        m_result.overlay = result.overlay;
    }
    if (photoShown) {
        m_result.wholeKey = result.wholeKey;
        m_result.histogram = result.histogram;
        m_panelStale = true;
    }
    if (pictureShown || photoShown) {
        update();
        emit analysed();
    }
    askAgain();
}

AnalysisOverlay::Result AnalysisOverlay::analyse(const Request &request)
{
    Result result;
    result.pictureKey = request.picture.cacheKey();
    result.source = request.source;
    result.scaledTo = request.scaledTo;
    result.layers = request.layers;
    result.wholeKey = request.whole.cacheKey();
    result.rawKey = request.rawBlown.cacheKey();
    if (!request.picture.isNull() && (request.layers.peaking || request.layers.clipping)) {
        // Reduced in the view, the part is analysed at the size it is shown:
        // what is sharp on screen, and no more pixels than the screen has.
        QImage part = request.picture;
        QRect region = request.source;
        QImage rawPart;
        if (!request.rawBlown.isNull() && request.layers.clipping)
            rawPart = request.rawBlown.copy(region).convertToFormat(QImage::Format_Grayscale8);
        if (request.scaledTo.isValid()) {
            part = request.picture.copy(region).scaled(request.scaledTo, Qt::IgnoreAspectRatio,
                                                       Qt::SmoothTransformation);
            region = part.rect();
            // Averaged down, a pixel touched by any clipped one stays marked.
            if (!rawPart.isNull())
                rawPart = rawPart.scaled(request.scaledTo, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        }
        if (request.layers.peaking)
            result.overlay = ImageAnalysis::focusPeaking(part, region, peakingColour).mask;
        if (request.layers.clipping) {
            const QImage clipped =
                rawPart.isNull()
                    ? ImageAnalysis::clippingMask(part, region, blownColour, blockedColour, channelAtZeroColour)
                    : ImageAnalysis::clippingMask(part, region, blownColour, blockedColour, rawPart,
                                                  channelAtZeroColour);
            if (result.overlay.isNull()) {
                result.overlay = QImage(clipped.size(), QImage::Format_ARGB32_Premultiplied);
                result.overlay.fill(Qt::transparent);
            }
            // A channel at 0 is drawn in diagonal stripes, anchored to the
            // photo: a saturated sky or field can fill most of the frame,
            // and it must stay visible beneath. Clipping wins over peaking:
            // a blown edge is blown first.
            const QPoint anchor = request.scaledTo.isValid()
                                      ? QPoint(request.source.x() * request.scaledTo.width() / request.source.width(),
                                               request.source.y() * request.scaledTo.height() / request.source.height())
                                      : request.source.topLeft();
            for (int y = 0; y < clipped.height(); ++y) {
                const auto *in = reinterpret_cast<const QRgb *>(clipped.constScanLine(y));
                auto *out = reinterpret_cast<QRgb *>(result.overlay.scanLine(y));
                const int phase = anchor.x() + anchor.y() + y;
                for (int x = 0; x < clipped.width(); ++x) {
                    const bool off = in[x] == channelAtZeroColour && (phase + x) % stripePeriod >= stripeWidth;
                    out[x] = in[x] && !off ? in[x] : out[x];
                }
            }
        }
    }
    if (!request.whole.isNull()) {
        result.histogram = ImageAnalysis::histogram(request.whole);
        if (!request.rawBlown.isNull())
            result.histogram.blown = quint64(std::llround(ImageAnalysis::markedShare(request.rawBlown)
                                                          * double(result.histogram.samples)));
    }
    return result;
}

QRectF AnalysisOverlay::resultArea() const
{
    const QImage shown = m_canvas->shownPicture();
    const QRectF area = m_canvas->photoArea();
    if (shown.isNull() || area.isEmpty())
        return QRectF();
    const double sx = area.width() / shown.width();
    const double sy = area.height() / shown.height();
    return QRectF(area.x() + m_result.source.x() * sx, area.y() + m_result.source.y() * sy,
                  m_result.source.width() * sx, m_result.source.height() * sy);
}

void AnalysisOverlay::paintEvent(QPaintEvent *)
{
    if (!m_canvas)
        return;
    askAgain();
    QPainter painter(this);
    const bool tinted = m_layers.peaking || m_layers.clipping;
    if (tinted && !m_result.overlay.isNull() && m_result.pictureKey == m_canvas->shownPicture().cacheKey()
        && m_result.layers.peaking == m_layers.peaking && m_result.layers.clipping == m_layers.clipping) {
        // Over the photo only, and never over the navigator drawn on it.
        QRegion clip(m_canvas->photoArea().intersected(QRectF(rect())).toAlignedRect());
        const QRect navigator = m_canvas->navigatorRect();
        if (!navigator.isEmpty())
            clip -= navigator.adjusted(-3, -3, 3, 3);
        if (m_layers.histogram)
            clip -= histogramRect();
        painter.setClipRegion(clip);
        painter.drawImage(resultArea(), m_result.overlay);
        painter.setClipping(false);
    }
    if (m_layers.histogram)
        drawHistogram(painter);
}

QRect AnalysisOverlay::histogramRect() const
{
    if (!m_layers.histogram || m_result.histogram.isEmpty() || !m_canvas)
        return QRect();
    const QSize size = panelLayout().size;
    return QRect(QPoint(panelMargin, height() - panelMargin - size.height()), size);
}

QString AnalysisOverlay::blownText() const
{
    return tr("Blown: %1 %").arg(percentText(m_result.histogram.blownPercent()));
}

QString AnalysisOverlay::blockedText() const
{
    return tr("Blocked: %1 %").arg(percentText(m_result.histogram.blockedPercent()));
}

QString AnalysisOverlay::channelAtZeroText() const
{
    return tr("Channel at 0: %1 %").arg(percentText(m_result.histogram.channelAtZeroPercent()));
}

AnalysisOverlay::PanelLayout AnalysisOverlay::panelLayout() const
{
    PanelLayout layout;
    int width = plotWidth;
    int height = plotHeight;
    if (m_layers.clipping) {
        layout.legend = {{blownColour, blownText(), {}},
                         {blockedColour, blockedText(), {}},
                         {channelAtZeroColour, channelAtZeroText(), {}}};
        // In the widget's own font, which follows the user's choice: the
        // entries flow in lines as wide as the plot, each whole, and the
        // panel widens for one that a line cannot hold.
        const QFontMetrics metrics(font());
        const int lineHeight = std::max(metrics.height(), swatchSize) + 4;
        for (LegendEntry &entry : layout.legend) {
            entry.box.setSize(QSize(swatchSize + swatchGap + metrics.horizontalAdvance(entry.text), lineHeight));
            width = std::max(width, entry.box.width());
        }
        QPoint at(panelPadding, panelPadding + plotHeight + legendGap);
        for (LegendEntry &entry : layout.legend) {
            if (at.x() > panelPadding && at.x() + entry.box.width() > panelPadding + width)
                at = QPoint(panelPadding, at.y() + lineHeight);
            entry.box.moveTopLeft(at);
            at.rx() += entry.box.width() + entryGap;
        }
        height = layout.legend.constLast().box.bottom() + 1 - panelPadding;
    }
    layout.size = QSize(width + 2 * panelPadding, height + 2 * panelPadding);
    return layout;
}

QList<AnalysisOverlay::LegendEntry> AnalysisOverlay::legend() const
{
    const QRect box = histogramRect();
    if (box.isEmpty())
        return {};
    QList<LegendEntry> entries = panelLayout().legend;
    for (LegendEntry &entry : entries)
        entry.box.translate(box.topLeft());
    return entries;
}

void AnalysisOverlay::drawHistogram(QPainter &painter)
{
    const QRect box = histogramRect();
    if (box.isEmpty())
        return;
    if (m_panelStale || m_panel.size() != box.size()) {
        m_panel = histogramPanel();
        m_panelStale = false;
    }
    painter.drawImage(box.topLeft(), m_panel);
}

QImage AnalysisOverlay::histogramPanel() const
{
    const PanelLayout layout = panelLayout();
    QImage panel(layout.size, QImage::Format_ARGB32_Premultiplied);
    panel.fill(Qt::transparent);
    QPainter painter(&panel);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(panelColour);
    painter.drawRoundedRect(QRectF(panel.rect()), 7, 7);

    const ImageAnalysis::Histogram &h = m_result.histogram;
    // Scaled to the tallest bar inside the range, smoothed over three values:
    // spikes at the ends, where clipped pixels pile up, and the comb of a
    // stretched photo would flatten everything else; they are cut at the top.
    double tallest = 0;
    for (const auto *counts : {&h.red, &h.green, &h.blue, &h.luma}) {
        for (int i = 2; i < 254; ++i)
            tallest = std::max(tallest, ((*counts)[i - 1] + (*counts)[i] + (*counts)[i + 1]) / 3.0);
    }
    if (tallest <= 0)
        tallest = 1;
    const QRectF plot(panelPadding, panelPadding, plotWidth, plotHeight);
    const auto outline = [&](const std::array<quint32, 256> &counts, bool closed) {
        QPainterPath path;
        for (int i = 0; i < 256; ++i) {
            const QPointF top(plot.left() + i + 0.5, plot.bottom() - std::min(1.0, counts[i] / tallest) * plot.height());
            if (i == 0 && closed)
                path.moveTo(plot.left(), plot.bottom());
            if (i == 0 && !closed)
                path.moveTo(top);
            else
                path.lineTo(top);
        }
        if (closed) {
            path.lineTo(plot.right(), plot.bottom());
            path.closeSubpath();
        }
        return path;
    };
    // Added up, the three channels are grey where they agree.
    painter.setCompositionMode(QPainter::CompositionMode_Plus);
    painter.setBrush(QColor(150, 0, 0, 150));
    painter.drawPath(outline(h.red, true));
    painter.setBrush(QColor(0, 150, 0, 150));
    painter.drawPath(outline(h.green, true));
    painter.setBrush(QColor(0, 0, 150, 150));
    painter.drawPath(outline(h.blue, true));
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(QColor(235, 235, 235, 230), 1.2));
    painter.drawPath(outline(h.luma, false));

    painter.setFont(font());
    for (const LegendEntry &entry : layout.legend) {
        const QRect swatch(entry.box.left(), entry.box.center().y() - swatchSize / 2 + 1, swatchSize, swatchSize);
        if (entry.colour == channelAtZeroColour) {
            // Striped as on the photo.
            QImage stripes(swatch.size(), QImage::Format_ARGB32_Premultiplied);
            for (int y = 0; y < stripes.height(); ++y)
                for (int x = 0; x < stripes.width(); ++x)
                    stripes.setPixel(x, y, (x + y) % stripePeriod < stripeWidth ? entry.colour : 0xff5a4a10u);
            painter.drawImage(swatch.topLeft(), stripes);
        } else {
            painter.fillRect(swatch, QColor::fromRgba(entry.colour));
        }
        painter.setPen(QColor(235, 235, 235));
        painter.drawText(entry.box.adjusted(swatchSize + swatchGap, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter,
                         entry.text);
    }
    return panel;
}

bool AnalysisOverlay::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_canvas && event->type() == QEvent::Resize)
        setGeometry(m_canvas->rect());
    return QWidget::eventFilter(watched, event);
}
