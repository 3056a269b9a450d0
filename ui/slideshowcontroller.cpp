#include "ui/slideshowcontroller.h"

#include "catalog/photocatalog.h"
#include "ui/actionregistry.h"
#include "ui/windowtexts.h"
#include "viewer/viewerwidget.h"

#include <QAction>
#include <QMainWindow>
#include <QMenu>
#include <QSettings>
#include <QTimer>

#include <algorithm>

namespace {

const int finishedMessageTimeoutMs = 6000;

} // namespace

SlideshowController::SlideshowController(const WindowParts &windowParts, QObject *parent)
    : QObject(parent)
    , parts(windowParts)
{
    timer = new QTimer(this);
    timer->setObjectName(QStringLiteral("slideshowTimer"));
    timer->setTimerType(Qt::PreciseTimer);
    timer->setSingleShot(false);
    connect(timer, &QTimer::timeout, this, [this] {
        skips = 0;
        advance();
    });
    connect(parts.viewer, &ViewerWidget::displayFailed, this, &SlideshowController::skipUndisplayable);
}

void SlideshowController::addTo(QMenu *slideshowMenu)
{
    action = parts.actions->add(slideshowMenu, QStringLiteral("slideshow.toggle"),
                                WindowTexts::tr("&Start Slideshow"), QKeySequence(Qt::Key_S));
    action->setObjectName(QStringLiteral("slideshowAction"));
    connect(action, &QAction::triggered, this, &SlideshowController::toggle);
    parts.keepInFullScreen(action);
}

bool SlideshowController::isRunning() const
{
    return timer->isActive();
}

void SlideshowController::stop()
{
    if (timer->isActive())
        toggle();
}

void SlideshowController::toggle()
{
    if (timer->isActive()) {
        timer->stop();
        action->setText(WindowTexts::tr("&Start Slideshow"));
        parts.viewer->setSlideshowRunning(false);
        return;
    }
    if (parts.catalog->currentPath().isEmpty())
        return;
    const int seconds = std::clamp(QSettings().value(QStringLiteral("slideshow/seconds"), 4).toInt(), 1, 300);
    skips = 0;
    timer->start(seconds * 1000);
    action->setText(WindowTexts::tr("&Pause Slideshow"));
    parts.viewer->setSlideshowRunning(true);
    if (!parts.window->isFullScreen())
        parts.setFullScreen(true);
}

void SlideshowController::advance()
{
    if (!parts.catalog->isAtLast()) {
        parts.catalog->next();
        return;
    }
    if (QSettings().value(QStringLiteral("slideshow/loop"), false).toBool()) {
        parts.catalog->first();
        return;
    }
    toggle();
    // The status bar is hidden in full screen; the end of the show must be seen.
    if (parts.window->isFullScreen())
        parts.setFullScreen(false);
    emit notice(WindowTexts::tr("Slideshow finished"), finishedMessageTimeoutMs);
}

void SlideshowController::skipUndisplayable(const QString &path)
{
    if (!timer->isActive() || path != parts.catalog->currentPath())
        return;
    // A folder in which no photo can be shown ends the show instead of circling.
    if (++skips > parts.catalog->visibleFiles().size()) {
        toggle();
        return;
    }
    // The next photo gets its full time on screen.
    timer->start();
    advance();
}
