#pragma once

#include <QColorSpace>

class QScreen;

// The colour space of the monitor showing `screen`: on Windows the profile the
// system assigns to that monitor, on X11 the ICC profile a colour-management
// daemon publishes on the root window ("_ICC_PROFILE", "_ICC_PROFILE_<n>" for
// the n-th monitor); sRGB when there is none or it cannot be used. Call on the
// GUI thread; the answer is worth keeping until the window changes screen.
QColorSpace displayColourSpace(const QScreen *screen);
