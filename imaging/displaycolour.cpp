#include "imaging/displaycolour.h"

#include <QGuiApplication>
#include <QScreen>

#if defined(Q_OS_WIN)
#include <QFile>
#include <windows.h>
#elif defined(GLANCEWAY_HAVE_XCB)
#include <xcb/xcb.h>
#endif

namespace {

QColorSpace usableOrSRgb(const QByteArray &icc)
{
    const QColorSpace space = QColorSpace::fromIccProfile(icc);
    return space.isValid() ? space : QColorSpace(QColorSpace::SRgb);
}

#if defined(Q_OS_WIN)

QByteArray monitorProfile(const QScreen *screen)
{
    // The screen's name is the display device ("\\.\DISPLAY1").
    const std::wstring device = screen->name().toStdWString();
    HDC dc = CreateDCW(L"DISPLAY", device.c_str(), nullptr, nullptr);
    if (!dc)
        return {};
    DWORD length = 0;
    GetICMProfileW(dc, &length, nullptr);
    std::wstring path(length, L'\0');
    const bool found = length > 0 && GetICMProfileW(dc, &length, path.data());
    DeleteDC(dc);
    if (!found)
        return {};
    QFile file(QString::fromWCharArray(path.c_str()));
    if (!file.open(QIODevice::ReadOnly) || file.size() > 16 * 1048576)
        return {};
    return file.readAll();
}

#elif defined(GLANCEWAY_HAVE_XCB)

QByteArray monitorProfile(const QScreen *screen)
{
    auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t *connection = x11 ? x11->connection() : nullptr;
    if (!connection)
        return {};
    const int index = qMax(0, int(QGuiApplication::screens().indexOf(const_cast<QScreen *>(screen))));
    const QByteArray name = index == 0 ? QByteArrayLiteral("_ICC_PROFILE") : "_ICC_PROFILE_" + QByteArray::number(index);
    xcb_intern_atom_reply_t *atom = xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 1, uint16_t(name.size()), name.constData()), nullptr);
    if (!atom)
        return {};
    const xcb_atom_t property = atom->atom;
    free(atom);
    if (property == XCB_ATOM_NONE)
        return {};
    const xcb_screen_t *root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
    if (!root)
        return {};
    // Profiles are a few KiB; 4 MiB (in 32-bit units) is far beyond any real one.
    xcb_get_property_reply_t *reply = xcb_get_property_reply(
        connection, xcb_get_property(connection, 0, root->root, property, XCB_GET_PROPERTY_TYPE_ANY, 0, 1048576), nullptr);
    if (!reply)
        return {};
    QByteArray icc;
    if (reply->format == 8)
        icc = QByteArray(static_cast<const char *>(xcb_get_property_value(reply)),
                         xcb_get_property_value_length(reply));
    free(reply);
    return icc;
}

#else

QByteArray monitorProfile(const QScreen *)
{
    return {};
}

#endif

} // namespace

QColorSpace displayColourSpace(const QScreen *screen)
{
    if (!screen || !qGuiApp)
        return QColorSpace(QColorSpace::SRgb);
#if defined(GLANCEWAY_HAVE_XCB)
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        return QColorSpace(QColorSpace::SRgb);
#endif
    const QByteArray icc = monitorProfile(screen);
    return icc.isEmpty() ? QColorSpace(QColorSpace::SRgb) : usableOrSRgb(icc);
}
