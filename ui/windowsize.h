#pragma once

#include <QSize>

class QWidget;

// Resizes a top-level window to `preferred`, but never larger than the
// available area of its screen less 40 pixels of width and 80 of height, so
// that frame and task bar still fit on small screens.
void resizeWithinScreen(QWidget *window, const QSize &preferred);

// Where the user left the window: its normal position and size, and whether
// it was maximized. A window in full screen is remembered as it returns from
// full screen (`maximizedUnderneath`), so the program never starts in full
// screen.
void saveWindowPlacement(const QWidget *window, bool maximizedUnderneath);

// Puts the window back as saveWindowPlacement left it; false when nothing
// usable was saved (the caller's default size then stands). Call before the
// window is shown.
bool restoreWindowPlacement(QWidget *window);
