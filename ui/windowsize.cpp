#include "ui/windowsize.h"

#include <QGuiApplication>
#include <QScreen>
#include <QSettings>
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

namespace {

const QString geometryKey = QStringLiteral("window/geometry");
const QString maximizedKey = QStringLiteral("window/maximized");

} // namespace

void saveWindowPlacement(const QWidget *window, bool maximizedUnderneath)
{
    QSettings settings;
    settings.setValue(geometryKey, window->saveGeometry());
    settings.setValue(maximizedKey, window->isFullScreen() ? maximizedUnderneath : window->isMaximized());
}

bool restoreWindowPlacement(QWidget *window)
{
    const QSettings settings;
    // The toolkit keeps the normal geometry of a maximized window, and moves
    // a window whose screen has gone back onto one that is there.
    if (!window->restoreGeometry(settings.value(geometryKey).toByteArray()))
        return false;
    window->setWindowState(settings.value(maximizedKey).toBool() ? Qt::WindowMaximized : Qt::WindowNoState);
    return true;
}
