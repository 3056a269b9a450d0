#include "imaging/previewlook.h"
#include "tests/imaging/lookscene.h"

#include <QTest>

// Fitting a preview's look: styles recovered from a reduced preview, and
// previews that cannot be fitted left alone.

class TestPreviewLook : public QObject
{
    Q_OBJECT
private slots:
    void lookFitRecoversStyle_data();
    void lookFitRecoversStyle();
    void lookFitRefused_data();
    void lookFitRefused();
};

void TestPreviewLook::lookFitRecoversStyle_data()
{
    QTest::addColumn<double>("contrast");
    QTest::addColumn<double>("saturation");
    QTest::newRow("identity") << 1.0 << 1.0;
    QTest::newRow("s-curve") << 1.4 << 1.0;
    QTest::newRow("saturated") << 1.0 << 1.7;
    QTest::newRow("punchy") << 1.3 << 1.5;
    QTest::newRow("soft") << 0.75 << 0.6;
}

// Fitted at a quarter of the size, the look maps the full picture as the
// style itself does, within a few levels.
void TestPreviewLook::lookFitRecoversStyle()
{
    QFETCH(double, contrast);
    QFETCH(double, saturation);
    const QImage render = testlook::colourfulScene(QSize(600, 400));
    const QImage want = testlook::styled(render, contrast, saturation);
    const PreviewLook look =
        PreviewLook::fit(render, want.scaled(300, 200, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
    QVERIFY2(look.isValid(), qPrintable(look.refusal()));
    QImage got = render;
    look.apply(got);
    double error = 0;
    for (int y = 0; y < got.height(); ++y)
        for (int x = 0; x < got.width(); ++x)
            for (int shift : {0, 8, 16})
                error += qAbs(int((got.pixel(x, y) >> shift) & 0xff) - int((want.pixel(x, y) >> shift) & 0xff));
    error /= 3.0 * got.width() * got.height();
    QVERIFY2(error < 4, qPrintable(QStringLiteral("mean error %1 levels").arg(error)));
}

void TestPreviewLook::lookFitRefused_data()
{
    QTest::addColumn<QImage>("render");
    QTest::addColumn<QImage>("preview");
    const QImage scene = testlook::colourfulScene(QSize(600, 400));
    QImage white(300, 200, QImage::Format_RGB32);
    white.fill(Qt::white);
    QImage grey(300, 200, QImage::Format_RGB32);
    grey.fill(qRgb(128, 128, 128));
    QTest::newRow("no-preview") << scene << QImage();
    QTest::newRow("tiny-preview") << scene << scene.scaled(24, 16);
    QTest::newRow("all-blown-preview") << scene << white;
    QTest::newRow("another-picture") << scene << scene.mirrored(true, true).scaled(300, 200);
    QTest::newRow("flat-preview") << scene << grey;
}

// Where the preview cannot be this render's photo, or shows nothing to fit,
// the render is left as it is.
void TestPreviewLook::lookFitRefused()
{
    QFETCH(QImage, render);
    QFETCH(QImage, preview);
    const PreviewLook look = PreviewLook::fit(render, preview);
    QVERIFY(!look.isValid());
    QVERIFY(!look.refusal().isEmpty());
    QImage picture = render;
    look.apply(picture);
    QCOMPARE(picture, render);
}

QTEST_GUILESS_MAIN(TestPreviewLook)
#include "tst_previewlook.moc"
