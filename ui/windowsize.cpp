#include "ui/windowsize.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

void resizeWithinScreen(QWidget *window, const QSize &preferred)
{
    QSize size = preferred;
    const QScreen *screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    if (screen) {
        const QRect available = screen->availableGeometry();
        size = size.boundedTo(QSize(available.width() - 40, available.height() - 80));
    }
    window->resize(size);
}
