#pragma once

#include "core/workerpool.h"
#include "imaging/imageanalysis.h"

#include <QImage>
#include <QPointer>
#include <QRect>
#include <QWidget>

class PhotoCanvas;

// Which analyses of the shown photo are drawn over it.
struct AnalysisLayers
{
    bool peaking = false;   // the sharpest edges tinted
    bool histogram = false; // a small RGB and luminance histogram in a corner
    bool clipping = false;  // blown highlights and blocked shadows marked

    bool any() const { return peaking || histogram || clipping; }
    friend bool operator==(const AnalysisLayers &a, const AnalysisLayers &b)
    {
        return a.peaking == b.peaking && a.histogram == b.histogram && a.clipping == b.clipping;
    }
    friend bool operator!=(const AnalysisLayers &a, const AnalysisLayers &b) { return !(a == b); }
};

// Focus peaking, clipping and the histogram over the photo of one canvas,
// for what the canvas shows now: the fit picture at Fit, the part of the
// full picture in view at a zoom. It lies over the whole canvas, lets every
// mouse event through and never decodes: it works on the canvas's own
// pictures, already in the display's colours.
//
// The analyses run on a thread of the overlay's own, one at a time. When
// the canvas shows something else (another photo, another part of it) the
// overlay asks again once the running one is done; a result for a picture
// no longer shown is dropped. A result for the same picture keeps being
// drawn where that part of the photo now lies, so panning never shows the
// tint adrift.
class AnalysisOverlay : public QWidget
{
    Q_OBJECT
public:
    explicit AnalysisOverlay(PhotoCanvas *canvas);
    ~AnalysisOverlay() override;

    void setLayers(const AnalysisLayers &layers);
    AnalysisLayers layers() const { return m_layers; }
    // The blown highlights of the canvas's full picture as its RAW data
    // has them (a mask of the full picture's size, blown where not black,
    // such as RawDecoder::rawClipping()): while that picture is shown, the
    // clipping and the histogram's blown share come from it instead of
    // the 255 test. Null: the shown pixels decide.
    void setRawBlown(const QImage &mask);
    QImage rawBlown() const { return m_rawBlown; }

    // Whether what is drawn was made for what the canvas shows now.
    bool isCurrent() const;
    // The shown photo's histogram, once made (while the histogram or the
    // clipping is on); empty before.
    ImageAnalysis::Histogram histogram() const { return m_result.histogram; }
    // Where the histogram is drawn in the canvas; empty while it is not.
    QRect histogramRect() const;
    // The clipped shares as the histogram writes them: "Blown: 2.4 %".
    QString blownText() const;
    QString blockedText() const;
    QString channelAtZeroText() const;

    // One figure under the histogram, while the clipping is on: its colour
    // on the photo, its text, and where the two are drawn in the canvas.
    struct LegendEntry
    {
        QRgb colour = 0;
        QString text;
        QRect box;
    };
    QList<LegendEntry> legend() const;

    static constexpr QRgb peakingColour = 0xffff40ffu;
    static constexpr QRgb blownColour = 0xffff3030u;
    static constexpr QRgb blockedColour = 0xff3070ffu;
    // A channel at 0 in a pixel that is not dark: a saturated colour.
    static constexpr QRgb channelAtZeroColour = 0xffffc800u;

signals:
    // A result came in and is drawn.
    void analysed();

protected:
    void paintEvent(QPaintEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // What is asked of one run: the part of a picture, and the whole photo
    // for the histogram. Two requests with equal keys give the same result.
    struct Request
    {
        QImage picture;
        QRect source;      // in the picture's pixels
        QSize scaledTo;    // where the view shows the part reduced: its size there
        QImage whole;      // for the histogram; null when it is not wanted
        QImage rawBlown;   // of `picture`, when the RAW data's clipping stands in
        AnalysisLayers layers;

        bool sameAs(const Request &other) const;
    };
    struct Result
    {
        qint64 pictureKey = 0;
        QRect source;
        QSize scaledTo;
        QImage overlay; // premultiplied ARGB: what is drawn over `source`
        AnalysisLayers layers;
        qint64 wholeKey = 0;
        qint64 rawKey = 0;
        ImageAnalysis::Histogram histogram;
    };

    // What the canvas shows now; a null picture when nothing.
    Request wanted() const;
    void askAgain();
    void start(const Request &request);
    void take(const Result &result);
    static Result analyse(const Request &request);
    // The part of the view the result lies on.
    QRectF resultArea() const;
    // The histogram's panel: its size, and its figures placed in it.
    struct PanelLayout
    {
        QSize size;
        QList<LegendEntry> legend;
    };
    PanelLayout panelLayout() const;
    void drawHistogram(class QPainter &painter);
    QImage histogramPanel() const;

    QPointer<PhotoCanvas> m_canvas;
    AnalysisLayers m_layers;
    QImage m_rawBlown;
    Result m_result;
    Request m_running;
    bool m_busy = false;
    bool m_askAgain = false;
    QImage m_panel;
    bool m_panelStale = true;

    // Declared last so that it is destroyed first, dropping the queued run.
    WorkerPool m_pool{1};
};
