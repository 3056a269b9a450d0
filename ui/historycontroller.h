#pragma once

#include "ui/windowparts.h"

#include <QList>
#include <QObject>

#include <functional>

class QAction;
class QMenu;

// Edit › Undo and Redo: one history, newest first, of every step the user can
// take back. Marks keep their steps in the catalog (which also redoes them);
// other features (photos moved away, to a folder or the recycle bin) add
// theirs here with addStep(), and each step goes back in the order the user
// took them, marks and others interleaved. A new folder starts a new history.
class HistoryController : public QObject
{
    Q_OBJECT
public:
    // Takes a step back. True when the step is over (taken back, or given up
    // after saying why); false when it stays, to be tried again.
    using TakeBack = std::function<bool()>;

    HistoryController(const WindowParts &parts, QObject *parent);

    void addTo(QMenu *editMenu);
    // A step taken just now, newer than every mark step so far.
    void addStep(const TakeBack &takeBack);
    bool canUndo() const;
    void updateActions();

signals:
    void notice(const QString &text, int timeoutMs);

private:
    void undo();

    struct Step
    {
        TakeBack takeBack;
        quint64 newestMarkStep = 0; // the catalog's newest mark step when this was taken
    };

    WindowParts parts;
    QList<Step> steps;
    QAction *undoAction = nullptr;
    QAction *redoAction = nullptr;
};
