#include "viewer/analysisoverlay.h"
#include "viewer/photocanvas.h"

#include <QFontMetrics>
#include <QLocale>
#include <QPainter>
#include <QSignalSpy>
#include <QTest>
#include <QTranslator>

Q_DECLARE_METATYPE(AnalysisLayers)

namespace {

const QSize viewSize(400, 300);

// A photo with a crisp dark-to-light edge at `edgeX` (a share of the
// width), with, in its corners, a blown block at the top left and a blocked
// one at the bottom right, each a tenth of the width and height, on mid-grey.
QImage testPhoto(const QSize &size, double edgeX, bool corners = true)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(qRgb(120, 120, 120));
    QPainter painter(&image);
    const int x = int(edgeX * size.width());
    const int bar = size.width() / 16;
    painter.fillRect(QRect(x - bar, size.height() / 4, bar, size.height() / 2), QColor(30, 30, 30));
    painter.fillRect(QRect(x, size.height() / 4, bar, size.height() / 2), QColor(230, 230, 230));
    if (corners) {
        painter.fillRect(QRect(0, 0, size.width() / 10, size.height() / 10), Qt::white);
        painter.fillRect(QRect(size.width() * 9 / 10, size.height() * 9 / 10, size.width() / 10, size.height() / 10),
                         Qt::black);
    }
    return image;
}

struct Counts
{
    int peaking = 0;
    int blown = 0;
    int blocked = 0;
    int channelAtZero = 0;
    // The leftmost and rightmost column with a peaking mark.
    int firstPeak = -1;
    int lastPeak = -1;
};

// The marks drawn over the photo, outside `skipped` (the histogram, whose
// key shows the clipping colours).
Counts countMarks(const QImage &shot, const QRect &skipped = QRect())
{
    Counts counts;
    for (int y = 0; y < shot.height(); ++y) {
        for (int x = 0; x < shot.width(); ++x) {
            if (skipped.contains(x, y))
                continue;
            const QRgb p = shot.pixel(x, y) | 0xff000000u;
            if (p == AnalysisOverlay::peakingColour) {
                ++counts.peaking;
                counts.firstPeak = counts.firstPeak < 0 ? x : std::min(counts.firstPeak, x);
                counts.lastPeak = std::max(counts.lastPeak, x);
            }
            counts.blown += p == AnalysisOverlay::blownColour;
            counts.blocked += p == AnalysisOverlay::blockedColour;
            counts.channelAtZero += p == AnalysisOverlay::channelAtZeroColour;
        }
    }
    return counts;
}

struct Pane
{
    PhotoCanvas canvas;
    AnalysisOverlay *overlay = nullptr;

    Pane()
    {
        canvas.resize(viewSize);
        overlay = new AnalysisOverlay(&canvas);
        canvas.show();
    }
    // Waits until what is drawn belongs to what the canvas shows.
    bool settle()
    {
        canvas.repaint();
        return QTest::qWaitFor([this] { return overlay->isCurrent(); }, 10000);
    }
    Counts marks() { return countMarks(canvas.grab().toImage(), overlay->histogramRect()); }
    bool peakingAt(int x, int y) { return (canvas.grab().toImage().pixel(x, y) | 0xff000000u) == AnalysisOverlay::peakingColour; }
};

} // namespace

class TestAnalysisOverlay : public QObject
{
    Q_OBJECT
private slots:
    void layers_data();
    void layers();
    void steppingDropsTheEarlierPhotosResult();
    void zoomedAnalysesThePartInView();
    void histogramFollowsThePhotoWhileZoomed();
    void saturatedColourIsNoShadow();
    void histogramPanelHidesTheTint();
    void legendFitsItsPanel_data();
    void legendFitsItsPanel();
};

void TestAnalysisOverlay::layers_data()
{
    QTest::addColumn<AnalysisLayers>("layers");
    QTest::addColumn<bool>("peaks");
    QTest::addColumn<bool>("clips");
    QTest::addColumn<bool>("histogramShown");

    QTest::newRow("off") << AnalysisLayers{} << false << false << false;
    QTest::newRow("peaking") << AnalysisLayers{true, false, false} << true << false << false;
    QTest::newRow("histogram") << AnalysisLayers{false, true, false} << false << false << true;
    QTest::newRow("clipping") << AnalysisLayers{false, false, true} << false << true << false;
    QTest::newRow("all") << AnalysisLayers{true, true, true} << true << true << true;
}

void TestAnalysisOverlay::layers()
{
    QFETCH(AnalysisLayers, layers);
    QFETCH(bool, peaks);
    QFETCH(bool, clips);
    QFETCH(bool, histogramShown);

    Pane pane;
    const QImage photo = testPhoto(QSize(400, 300), 0.5);
    pane.canvas.setFitPicture(photo);
    pane.overlay->setLayers(layers);
    QCOMPARE(pane.overlay->isVisible(), layers.any());
    QVERIFY(pane.settle());

    const Counts marks = pane.marks();
    QCOMPARE(marks.peaking > 0, peaks);
    // The edge between dark and light, above the histogram.
    QCOMPARE(pane.peakingAt(199, 100) || pane.peakingAt(200, 100), peaks);
    // 40 × 30 pixels each.
    QCOMPARE(marks.blown, clips ? 1200 : 0);
    QCOMPARE(marks.blocked, clips ? 1200 : 0);
    QCOMPARE(marks.channelAtZero, 0);
    QCOMPARE(!pane.overlay->histogramRect().isEmpty(), histogramShown);
    if (histogramShown) {
        QCOMPARE(pane.overlay->histogram().samples, quint64(400 * 300));
        QCOMPARE(pane.overlay->blownText(), QStringLiteral("Blown: 1.0 %"));
        QCOMPARE(pane.overlay->blockedText(), QStringLiteral("Blocked: 1.0 %"));
        // With the clipping on, the histogram is taller: it writes the shares.
        const int plain = pane.overlay->histogramRect().height();
        AnalysisLayers other = layers;
        other.clipping = !layers.clipping;
        pane.overlay->setLayers(other);
        QVERIFY(pane.settle());
        QCOMPARE(pane.overlay->histogramRect().height() > plain, other.clipping);
    }

    // Turned off, nothing of it stays on the photo.
    pane.overlay->setLayers(AnalysisLayers{});
    QVERIFY(!pane.overlay->isVisible());
    const Counts after = pane.marks();
    QCOMPARE(after.peaking + after.blown + after.blocked, 0);
}

void TestAnalysisOverlay::steppingDropsTheEarlierPhotosResult()
{
    // The edge on the left, then at once another photo with it on the right:
    // only the second one's peaking is ever drawn once it settles.
    Pane pane;
    QSignalSpy analysed(pane.overlay, &AnalysisOverlay::analysed);
    pane.overlay->setLayers(AnalysisLayers{true, false, false});
    pane.canvas.setFitPicture(testPhoto(viewSize, 0.25, false));
    pane.canvas.repaint();
    pane.canvas.setFitPicture(testPhoto(viewSize, 0.75, false));
    QVERIFY(pane.settle());
    const Counts marks = pane.marks();
    QVERIFY(marks.peaking > 0);
    QVERIFY2(marks.firstPeak > viewSize.width() / 2, qPrintable(QString::number(marks.firstPeak)));
    QVERIFY(pane.peakingAt(300, 150) || pane.peakingAt(299, 150));
    QVERIFY(analysed.count() >= 1);
}

void TestAnalysisOverlay::zoomedAnalysesThePartInView()
{
    // At 100 % the part in view is analysed at the photo's own pixels: the
    // edge in the middle of a 1600 × 1200 photo is in the middle of the view.
    Pane pane;
    const QImage full = testPhoto(QSize(1600, 1200), 0.5);
    pane.canvas.setFitPicture(full.scaled(viewSize, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    pane.canvas.setFullPicture(full);
    pane.canvas.setZoom(ZoomView{1.0, QPointF(0.5, 0.5)});
    pane.overlay->setLayers(AnalysisLayers{true, false, true});
    QVERIFY(pane.settle());
    Counts marks = pane.marks();
    QVERIFY(pane.peakingAt(199, 150) || pane.peakingAt(200, 150));
    // Bars 100 pixels wide at the photo's own scale: nothing marked beyond them.
    QVERIFY2(marks.firstPeak >= 95 && marks.lastPeak <= 305,
             qPrintable(QStringLiteral("%1 %2").arg(marks.firstPeak).arg(marks.lastPeak)));
    // The blown and blocked corners are outside the view.
    QCOMPARE(marks.blown + marks.blocked, 0);

    // Moved to the top left corner, the blown block comes into view, and
    // the overlay follows the photo.
    pane.canvas.setZoom(ZoomView{1.0, QPointF(0, 0)});
    QVERIFY(pane.settle());
    marks = pane.marks();
    QCOMPARE(marks.blown, 160 * 120);
    QCOMPARE(marks.blocked, 0);
}

void TestAnalysisOverlay::histogramFollowsThePhotoWhileZoomed()
{
    // Zoomed into a part without clipping, the histogram is still the whole photo's.
    Pane pane;
    const QImage full = testPhoto(QSize(1600, 1200), 0.5);
    pane.canvas.setFitPicture(full.scaled(viewSize, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    pane.canvas.setFullPicture(full);
    pane.canvas.setZoom(ZoomView{1.0, QPointF(0.5, 0.5)});
    pane.overlay->setLayers(AnalysisLayers{false, true, true});
    QVERIFY(pane.settle());
    QCOMPARE(pane.overlay->histogram().samples, quint64(viewSize.width() * viewSize.height()));
    QVERIFY(pane.overlay->histogram().blownPercent() > 0.5);
    QVERIFY(pane.overlay->histogram().blockedPercent() > 0.5);
}

void TestAnalysisOverlay::saturatedColourIsNoShadow()
{
    // The left half a deep saturated blue, as a chart's blue patch shows on
    // screen, the right half black: only the black is a blocked shadow, the
    // blue has its own colour, drawn apart, and its own figure.
    Pane pane;
    QImage photo(viewSize, QImage::Format_RGB32);
    photo.fill(Qt::black);
    QPainter(&photo).fillRect(QRect(0, 0, viewSize.width() / 2, viewSize.height()), QColor(0, 40, 140));
    pane.canvas.setFitPicture(photo);
    pane.overlay->setLayers(AnalysisLayers{false, true, true});
    QVERIFY(pane.settle());
    // Every pixel outside the histogram, which lies across both halves.
    const QRect left(0, 0, viewSize.width() / 2, viewSize.height());
    const QRect right = left.translated(left.width(), 0);
    const QRect box = pane.overlay->histogramRect();
    const auto outside = [&box](const QRect &half) {
        const QRect hidden = half.intersected(box);
        return half.width() * half.height() - hidden.width() * hidden.height();
    };
    const Counts marks = pane.marks();
    QCOMPARE(marks.blocked, outside(right));
    // The blue is striped, a third of it marked: the photo shows between the stripes.
    QVERIFY2(std::abs(3 * marks.channelAtZero - outside(left)) < outside(left) / 20,
             qPrintable(QStringLiteral("%1 of %2").arg(marks.channelAtZero).arg(outside(left))));
    const QImage shot = pane.canvas.grab().toImage();
    int blue = 0;
    for (int y = 0; y < viewSize.height(); ++y)
        for (int x = 0; x < viewSize.width() / 2; ++x)
            blue += !box.contains(x, y) && shot.pixelColor(x, y) == QColor(0, 40, 140);
    QCOMPARE(blue + marks.channelAtZero, outside(left));
    QCOMPARE(marks.blown, 0);
    QCOMPARE(pane.overlay->blockedText(), QStringLiteral("Blocked: 50.0 %"));
    QCOMPARE(pane.overlay->channelAtZeroText(), QStringLiteral("Channel at 0: 50.0 %"));
}

void TestAnalysisOverlay::histogramPanelHidesTheTint()
{
    // A white photo is blown all over: the panel's ground stays its own
    // colour, the tint neither shows through it nor is drawn under it.
    Pane pane;
    QImage photo(viewSize, QImage::Format_RGB32);
    photo.fill(Qt::white);
    pane.canvas.setFitPicture(photo);
    pane.overlay->setLayers(AnalysisLayers{true, true, true});
    QVERIFY(pane.settle());
    const QRect box = pane.overlay->histogramRect();
    QVERIFY(!box.isEmpty());
    const QImage shot = pane.canvas.grab().toImage();
    // Just inside the rounded corners, above the plot, and between the plot and the figures.
    for (const QPoint &p : {box.topLeft() + QPoint(5, 5), box.topRight() + QPoint(-5, 5), box.center() - QPoint(0, 40),
                            box.bottomLeft() + QPoint(5, -3), box.bottomRight() + QPoint(-5, -3)})
        QCOMPARE(shot.pixelColor(p), QColor(15, 17, 20));
    // Beside it, the photo is tinted.
    QCOMPARE(shot.pixel(box.right() + 3, box.center().y()) | 0xff000000u, AnalysisOverlay::blownColour);
}

void TestAnalysisOverlay::legendFitsItsPanel_data()
{
    QTest::addColumn<QString>("catalogue");
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<QStringList>("starts");
    QTest::newRow("en") << QString() << QLocale(QLocale::English, QLocale::UnitedStates)
                        << QStringList{"Blown: < 0.1 %", "Blocked: 0.0 %", "Channel at 0: "};
    QTest::newRow("de") << QStringLiteral(":/translations/glanceway_de.qm") << QLocale(QLocale::German, QLocale::Germany)
                        << QStringList{"Ausgefressen: < 0,1 %", "Abgesoffen: 0,0 %", "Kanal auf 0: "};
}

void TestAnalysisOverlay::legendFitsItsPanel()
{
    QFETCH(QString, catalogue);
    QFETCH(QLocale, locale);
    QFETCH(QStringList, starts);
    QTranslator translator;
    if (!catalogue.isEmpty()) {
        QVERIFY(translator.load(catalogue));
        QCoreApplication::installTranslator(&translator);
    }
    const QLocale before;
    QLocale::setDefault(locale);
    const auto restore = qScopeGuard([&] {
        QCoreApplication::removeTranslator(&translator);
        QLocale::setDefault(before);
    });

    // The longest figures: a few blown pixels, the rest a saturated colour.
    Pane pane;
    QImage photo(viewSize, QImage::Format_RGB32);
    photo.fill(qRgb(0, 120, 200));
    photo.setPixel(5, 5, qRgb(255, 255, 255));
    pane.canvas.setFitPicture(photo);
    pane.overlay->setLayers(AnalysisLayers{false, true, true});
    QVERIFY(pane.settle());

    const QRect panel = pane.overlay->histogramRect();
    const QList<AnalysisOverlay::LegendEntry> legend = pane.overlay->legend();
    QCOMPARE(legend.size(), 3);
    const QFontMetrics metrics(pane.overlay->font());
    for (int i = 0; i < legend.size(); ++i) {
        const AnalysisOverlay::LegendEntry &entry = legend.at(i);
        QVERIFY2(entry.text.startsWith(starts.at(i)), qPrintable(entry.text));
        // Its swatch and its whole text, inside the panel and its padding.
        QVERIFY2(entry.box.width() >= 15 + metrics.horizontalAdvance(entry.text), qPrintable(entry.text));
        QVERIFY2(entry.box.height() >= metrics.height(), qPrintable(entry.text));
        QVERIFY2(panel.adjusted(8, 8, -8, -8).contains(entry.box), qPrintable(entry.text));
        for (int j = 0; j < i; ++j)
            QVERIFY2(!legend.at(j).box.intersects(entry.box), qPrintable(entry.text));
    }
    QCOMPARE(legend.at(0).colour, AnalysisOverlay::blownColour);
    QCOMPARE(legend.at(1).colour, AnalysisOverlay::blockedColour);
    QCOMPARE(legend.at(2).colour, AnalysisOverlay::channelAtZeroColour);
    // The figures lie below the plot, and the panel ends below them.
    QVERIFY(legend.at(0).box.top() >= panel.top() + 90);
}

QTEST_MAIN(TestAnalysisOverlay)
#include "tst_analysisoverlay.moc"
