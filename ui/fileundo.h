#pragma once

#include <QList>
#include <QPair>
#include <QString>

// The undo steps of photos that left the folder: moved to another folder, or
// to the recycle bin. They share the Undo command with the marks, in the
// order the user did them: a step here goes back when it is newer than the
// newest mark step still to undo. Pure bookkeeping: the window does the work.
class FileUndo
{
public:
    enum class Kind { MovedTo, Recycled };

    struct Step
    {
        Kind kind = Kind::MovedTo;
        QList<QPair<QString, QString>> files; // where each file was → where it is now
        int photos = 0;
        QString where;             // the folder they went to
        quint64 newestMarkStep = 0; // the catalog's newest mark step when this was done
    };

    void push(const Step &step) { m_steps.append(step); }
    bool isEmpty() const { return m_steps.isEmpty(); }
    // Whether the next undo takes back a step of this history rather than
    // the mark step `newestMarkStep` (0: there is none).
    bool isNext(quint64 newestMarkStep) const
    {
        return !m_steps.isEmpty() && newestMarkStep <= m_steps.last().newestMarkStep;
    }
    const Step &last() const { return m_steps.last(); }
    void dropLast() { m_steps.removeLast(); }
    void clear() { m_steps.clear(); }

private:
    QList<Step> m_steps;
};
