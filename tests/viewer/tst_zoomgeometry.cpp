#include "viewer/zoomgeometry.h"

#include <QTest>

Q_DECLARE_METATYPE(ZoomView)

namespace {

bool near(const QPointF &a, const QPointF &b, double tolerance = 1e-9)
{
    return qAbs(a.x() - b.x()) <= tolerance && qAbs(a.y() - b.y()) <= tolerance;
}

QString text(const QPointF &p)
{
    return QStringLiteral("(%1, %2)").arg(p.x(), 0, 'g', 12).arg(p.y(), 0, 'g', 12);
}

} // namespace

class TestZoomGeometry : public QObject
{
    Q_OBJECT

private slots:
    void pointStaysUnderPointer_data();
    void pointStaysUnderPointer();
    void clampedAtEdges_data();
    void clampedAtEdges();
    void steps_data();
    void steps();
    void fitRect_data();
    void fitRect();
    void visibleSource_data();
    void visibleSource();
};

void TestZoomGeometry::pointStaysUnderPointer_data()
{
    // The photo point under the pointer before a zoom is under it after,
    // wherever the zoom starts, unless an edge of the photo would show a gap.
    QTest::addColumn<QSizeF>("photo");
    QTest::addColumn<QSizeF>("view");
    QTest::addColumn<ZoomView>("from");
    QTest::addColumn<double>("scale");
    QTest::addColumn<QPointF>("pointer");
    const QSizeF camera(6000, 4000);
    const QSizeF window(1600, 1000);
    QTest::newRow("fit-to-100-middle") << camera << window << ZoomView{} << 1.0 << QPointF(800, 500);
    QTest::newRow("fit-to-100-off-centre") << camera << window << ZoomView{} << 1.0 << QPointF(400, 700);
    QTest::newRow("fit-to-400") << camera << window << ZoomView{} << 4.0 << QPointF(1203, 77);
    QTest::newRow("100-to-200") << camera << window << ZoomView{1.0, {0.4, 0.6}} << 2.0 << QPointF(300, 200);
    QTest::newRow("200-to-50") << camera << window << ZoomView{2.0, {0.5, 0.5}} << 0.5 << QPointF(900, 500);
    QTest::newRow("portrait-fit-to-100") << QSizeF(4000, 6000) << window << ZoomView{} << 1.0 << QPointF(820, 330);
    QTest::newRow("letterboxed-odd-size") << QSizeF(4321, 2345) << QSizeF(1280, 1024) << ZoomView{} << 2.0
                                          << QPointF(640, 600);
}

void TestZoomGeometry::pointStaysUnderPointer()
{
    QFETCH(QSizeF, photo);
    QFETCH(QSizeF, view);
    QFETCH(ZoomView, from);
    QFETCH(double, scale);
    QFETCH(QPointF, pointer);
    const QPointF before = Zoom::relativePointAt(from, photo, view, pointer);
    const ZoomView to = Zoom::zoomedAt(from, scale, pointer, photo, view);
    QCOMPARE(to.scale, scale);
    const QPointF after = Zoom::relativePointAt(to, photo, view, pointer);
    QVERIFY2(near(before, after), qPrintable(text(before) + QStringLiteral(" became ") + text(after)));
    // And the rectangle drawn agrees with it.
    const QRectF drawn = Zoom::photoRect(to, photo, view);
    QVERIFY(qFuzzyCompare(drawn.width(), photo.width() * scale));
    QVERIFY(near(drawn.topLeft() + QPointF(before.x() * drawn.width(), before.y() * drawn.height()), pointer, 1e-6));
}

void TestZoomGeometry::clampedAtEdges_data()
{
    // The view never shows past the photo's edge where the photo could fill
    // it, and centres an axis the scaled photo cannot fill.
    QTest::addColumn<QSizeF>("photo");
    QTest::addColumn<ZoomView>("asked");
    QTest::addColumn<QPointF>("centre");
    const QSizeF camera(6000, 4000);
    QTest::newRow("inside") << camera << ZoomView{1.0, {0.3, 0.7}} << QPointF(0.3, 0.7);
    QTest::newRow("top-left-corner") << camera << ZoomView{1.0, {0, 0}} << QPointF(800.0 / 6000, 500.0 / 4000);
    QTest::newRow("beyond-bottom-right") << camera << ZoomView{1.0, {1.4, 1.2}}
                                         << QPointF(1 - 800.0 / 6000, 1 - 500.0 / 4000);
    QTest::newRow("25-percent-narrow-axis") << camera << ZoomView{0.25, {0.1, 0.9}} << QPointF(0.5, 0.5);
    QTest::newRow("small-photo-centred") << QSizeF(800, 600) << ZoomView{1.0, {0.0, 1.0}} << QPointF(0.5, 0.5);
    QTest::newRow("tall-photo-one-axis") << QSizeF(1000, 6000) << ZoomView{1.0, {0.9, 0.95}}
                                         << QPointF(0.5, 1 - 500.0 / 6000);
}

void TestZoomGeometry::clampedAtEdges()
{
    QFETCH(QSizeF, photo);
    QFETCH(ZoomView, asked);
    QFETCH(QPointF, centre);
    const QSizeF view(1600, 1000);
    const ZoomView got = Zoom::clamped(asked, photo, view);
    QVERIFY2(near(got.centre, centre), qPrintable(text(got.centre)));
    QCOMPARE(got.scale, asked.scale);
    // Panning from there by far more than the photo still stays inside.
    const ZoomView dragged = Zoom::panned(got, QPointF(-1e6, 1e6), photo, view);
    const QRectF drawn = Zoom::photoRect(dragged, photo, view);
    if (drawn.width() >= view.width())
        QVERIFY(drawn.left() <= 1e-6 && drawn.right() >= view.width() - 1e-6);
    if (drawn.height() >= view.height())
        QVERIFY(drawn.top() <= 1e-6 && drawn.bottom() >= view.height() - 1e-6);
}

void TestZoomGeometry::steps_data()
{
    // Fit, then the steps above it: 25, 50, 100, 200, 400 %.
    QTest::addColumn<QSizeF>("photo");
    QTest::addColumn<double>("from"); // 0: fit
    QTest::addColumn<int>("direction");
    QTest::addColumn<double>("to");
    const QSizeF camera(6000, 4000);    // fits at 25 %
    const QSizeF phone(4032, 3024);     // fits at about 33 %
    const QSizeF small(640, 480);       // would fit at 208 %: shown at 100 %
    QTest::newRow("camera-fit-in") << camera << 0.0 << +1 << 0.5;
    QTest::newRow("camera-50-out") << camera << 0.5 << -1 << 0.0;
    QTest::newRow("phone-fit-in-skips-25") << phone << 0.0 << +1 << 0.5;
    QTest::newRow("phone-50-out-is-fit") << phone << 0.5 << -1 << 0.0;
    QTest::newRow("phone-100-in") << phone << 1.0 << +1 << 2.0;
    QTest::newRow("phone-100-out") << phone << 1.0 << -1 << 0.5;
    QTest::newRow("phone-25-in") << phone << 0.25 << +1 << 0.5;
    QTest::newRow("400-in-stays") << phone << 4.0 << +1 << 4.0;
    QTest::newRow("fit-out-stays") << phone << 0.0 << -1 << 0.0;
    QTest::newRow("between-steps-in") << phone << 0.7 << +1 << 1.0;
    QTest::newRow("between-steps-out") << phone << 0.7 << -1 << 0.5;
    // A small photo's fit is its own size: the next step in is the next above 100 %.
    QTest::newRow("small-fit-in") << small << 0.0 << +1 << 2.0;
    QTest::newRow("small-100-out-is-fit") << small << 1.0 << -1 << 0.0;
}

void TestZoomGeometry::steps()
{
    QFETCH(QSizeF, photo);
    QFETCH(double, from);
    QFETCH(int, direction);
    QFETCH(double, to);
    QCOMPARE(Zoom::nextStep(ZoomView{from}, direction, photo, QSizeF(1600, 1000)), to);
}

void TestZoomGeometry::fitRect_data()
{
    QTest::addColumn<QSizeF>("photo");
    QTest::addColumn<QRectF>("drawn"); // in a 1600 × 1000 view
    QTest::newRow("camera-reduced") << QSizeF(6000, 4000) << QRectF(50, 0, 1500, 1000);
    QTest::newRow("exactly-fits") << QSizeF(1600, 1000) << QRectF(0, 0, 1600, 1000);
    QTest::newRow("small-at-own-size") << QSizeF(640, 480) << QRectF(480, 260, 640, 480);
    QTest::newRow("small-one-axis-larger") << QSizeF(2000, 500) << QRectF(0, 300, 1600, 400);
}

void TestZoomGeometry::fitRect()
{
    QFETCH(QSizeF, photo);
    QFETCH(QRectF, drawn);
    QCOMPARE(Zoom::photoRect(ZoomView{}, photo, QSizeF(1600, 1000)), drawn);
}

void TestZoomGeometry::visibleSource_data()
{
    QTest::addColumn<QSizeF>("photo");
    QTest::addColumn<ZoomView>("zoom");
    QTest::addColumn<QRectF>("source");
    const QSizeF camera(6000, 4000);
    QTest::newRow("fit-whole") << camera << ZoomView{} << QRectF(0, 0, 6000, 4000);
    QTest::newRow("100-middle") << camera << ZoomView{1.0} << QRectF(2200, 1500, 1600, 1000);
    QTest::newRow("200-corner") << camera << ZoomView{2.0, {0, 0}} << QRectF(0, 0, 800, 500);
    QTest::newRow("50-middle") << camera << ZoomView{0.5, {0.5, 0.5}} << QRectF(1400, 1000, 3200, 2000);
    QTest::newRow("25-letterboxed") << camera << ZoomView{0.25, {0.2, 0.2}} << QRectF(0, 0, 6000, 4000);
    QTest::newRow("small-at-100") << QSizeF(800, 600) << ZoomView{1.0} << QRectF(0, 0, 800, 600);
}

void TestZoomGeometry::visibleSource()
{
    QFETCH(QSizeF, photo);
    QFETCH(ZoomView, zoom);
    QFETCH(QRectF, source);
    const QSizeF view(1600, 1000);
    const QRectF got = Zoom::visibleSource(Zoom::clamped(zoom, photo, view), photo, view);
    QVERIFY2(near(got.topLeft(), source.topLeft(), 1e-6) && near(QPointF(got.width(), got.height()),
                                                               QPointF(source.width(), source.height()), 1e-6),
             qPrintable(text(got.topLeft()) + text(QPointF(got.width(), got.height()))));
}

QTEST_APPLESS_MAIN(TestZoomGeometry)
#include "tst_zoomgeometry.moc"
