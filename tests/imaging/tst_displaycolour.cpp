#include "imaging/displaycolour.h"

#include <QGuiApplication>
#include <QScreen>
#include <QtTest>

#ifdef GLANCEWAY_HAVE_XCB
#include <xcb/xcb.h>
#endif

// Runs on a private X server: what a colour-management daemon publishes on the
// root window is the display's colour space.
class TestDisplayColour : public QObject
{
    Q_OBJECT

private slots:
    void rootWindowProfile_data();
    void rootWindowProfile();

private:
    void publish(const QByteArray &icc);
};

void TestDisplayColour::publish(const QByteArray &icc)
{
#ifdef GLANCEWAY_HAVE_XCB
    auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    QVERIFY(x11 && x11->connection());
    xcb_connection_t *c = x11->connection();
    xcb_intern_atom_reply_t *atom = xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, 12, "_ICC_PROFILE"), nullptr);
    QVERIFY(atom);
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    if (icc.isNull())
        xcb_delete_property(c, root, atom->atom);
    else
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, root, atom->atom, XCB_ATOM_CARDINAL, 8, uint32_t(icc.size()),
                            icc.constData());
    free(atom);
    xcb_flush(c);
    free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr)); // a round trip: the change is in
#else
    Q_UNUSED(icc);
#endif
}

void TestDisplayColour::rootWindowProfile_data()
{
    QTest::addColumn<QByteArray>("icc"); // null: no property at all
    QTest::addColumn<QString>("expected");
    QTest::newRow("none") << QByteArray() << "sRGB";
    QTest::newRow("adobe-rgb") << QColorSpace(QColorSpace::AdobeRgb).iccProfile() << "Adobe RGB";
    QTest::newRow("display-p3") << QColorSpace(QColorSpace::DisplayP3).iccProfile() << "Display P3";
    QTest::newRow("unusable") << QByteArray("not a profile") << "sRGB";
}

void TestDisplayColour::rootWindowProfile()
{
    QFETCH(QByteArray, icc);
    QFETCH(QString, expected);
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        QSKIP("needs an X server");
#ifndef GLANCEWAY_HAVE_XCB
    QSKIP("built without the X11 headers");
#endif
    publish(icc);
    const QColorSpace space = displayColourSpace(QGuiApplication::primaryScreen());
    const QColorSpace want = expected == QLatin1String("Adobe RGB") ? QColorSpace(QColorSpace::AdobeRgb)
                             : expected == QLatin1String("Display P3") ? QColorSpace(QColorSpace::DisplayP3)
                                                                       : QColorSpace(QColorSpace::SRgb);
    QCOMPARE(space, want);
    publish(QByteArray());
}

QTEST_MAIN(TestDisplayColour)
#include "tst_displaycolour.moc"
