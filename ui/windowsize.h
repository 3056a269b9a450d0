#pragma once

#include <QSize>

class QWidget;

// Resizes a top-level window to `preferred`, but never larger than the
// available area of its screen less 40 pixels of width and 80 of height, so
// that frame and task bar still fit on small screens.
void resizeWithinScreen(QWidget *window, const QSize &preferred);
