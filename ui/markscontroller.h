#pragma once

#include "ui/windowparts.h"

#include <QKeySequence>
#include <QList>
#include <QObject>
#include <QStringList>

#include <functional>

class QAction;
class QMenu;

// Rating: the marks the user gives with one key (stars, colour labels,
// rejection, and clearing them) to the photo on screen, to the active pane
// while comparing, or to the grid's selection; and what is said when a batch
// of marks could not be written.
class MarksController : public QObject
{
    Q_OBJECT
public:
    MarksController(const WindowParts &parts, QObject *parent);

    void addTo(QMenu *ratingMenu);
    void updateActions();

    // The frames a grid cell stands for where groups are collapsed (see
    // GroupsController::framesBehind).
    void setFramesBehind(const std::function<QStringList(const QString &)> &frames) { framesBehind = frames; }

public slots:
    // Lists the photos whose sidecars a batch could not write, if any.
    void reportBatchFailures(const QStringList &failures);

signals:
    void notice(const QString &text, int timeoutMs);

private:
    // What a mark given to a grid cell that stands for a collapsed group
    // lands on: every frame (a rejection, or lifting one), or the frame shown.
    enum GroupRule { ShownFrame, WholeGroup };
    // A marking action: `onCurrent` on the viewer page, `onSelection` with the
    // grid's selected paths on the grid page (or the active pane while comparing).
    QAction *addMark(QMenu *menu, const QString &id, const QString &text, const QKeySequence &key,
                     const std::function<void()> &onCurrent,
                     const std::function<void(const QStringList &)> &onSelection, GroupRule rule = ShownFrame);
    // Says where a mark given in the grid went when a cell stood for a group.
    void sayGroupScope(const QString &mark, bool lifting, bool oneCell, GroupRule rule, int files,
                       const QString &shownOnly, int groupSize);

    WindowParts parts;
    QList<QAction *> marks;
    std::function<QStringList(const QString &)> framesBehind;
};
