#pragma once

#include "ui/windowparts.h"

#include <QObject>

class QAction;
class QMenu;
class QTimer;

// Slideshow › Start/Pause: the photos of the list in turn at the interval of
// the settings, in full screen, looping where the settings say so.
class SlideshowController : public QObject
{
    Q_OBJECT
public:
    SlideshowController(const WindowParts &parts, QObject *parent);

    void addTo(QMenu *slideshowMenu);
    bool isRunning() const;
    // Pauses a running show; every command that takes the photos elsewhere does.
    void stop();

public slots:
    void toggle();
    // The next photo, or at the end the first one (looping) or the end of the show.
    void advance();

signals:
    void notice(const QString &text, int timeoutMs);

private:
    // A photo the viewer could not show is skipped at once.
    void skipUndisplayable(const QString &path);

    WindowParts parts;
    QTimer *timer = nullptr;
    QAction *action = nullptr;
    // Photos skipped in a row because they could not be shown.
    int skips = 0;
};
