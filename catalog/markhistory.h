#pragma once

#include "catalog/markedit.h"
#include "core/metadata.h"

#include <QList>
#include <QSet>
#include <QString>

// One photo's part of a step: its sidecar's marks before and after. A step
// holds one change per sidecar.
struct MarkChange
{
    QString photoPath;
    PhotoCore::Metadata before; // known once the mark's own write is back
    PhotoCore::Metadata after;
    quint64 markWrite = 0; // the mark's own write
    quint64 lastWrite = 0; // the latest write carrying the change (mark, undo or redo)
};

// What one command did: a mark on one photo, or one mark given to many.
struct MarkStep
{
    quint64 id = 0;
    MarkEdit edit;
    QList<MarkChange> changes;

    // The change whose mark was written by `markWrite`.
    MarkChange *changeOfMark(quint64 markWrite);
};

// Undo and redo stacks of mark steps. Holds at most `depth` undoable steps;
// the oldest go first. Pure bookkeeping: the catalog does the writing.
class MarkHistory
{
public:
    static constexpr int defaultDepth = 256;

    explicit MarkHistory(int depth = defaultDepth);

    // Adds a step as the next to undo; every redoable step is dropped.
    quint64 push(const MarkEdit &edit, const QList<MarkChange> &changes);

    bool canUndo() const { return !m_undo.isEmpty(); }
    bool canRedo() const { return !m_redo.isEmpty(); }
    int undoCount() const { return int(m_undo.size()); }
    int redoCount() const { return int(m_redo.size()); }
    // The id of the step the next undo takes back; 0 when none. Ids grow
    // with every step pushed, so a later step always has a larger one.
    quint64 newestUndoId() const { return m_undo.isEmpty() ? 0 : m_undo.last().id; }

    // The step the next undo or redo takes back or makes again; null when none.
    // Pointers stay valid until the history is next changed.
    MarkStep *nextUndo();
    MarkStep *nextRedo();
    // Moves the next undo step onto the redo stack, and back.
    void moveToRedo();
    void moveToUndo();

    MarkStep *find(quint64 stepId);
    bool isNextRedo(quint64 stepId) const;
    void remove(quint64 stepId);
    // Drops the changes of these photos, and steps that are left empty.
    void forget(const QSet<QString> &photoPaths);
    void clear();

private:
    QList<MarkStep> m_undo; // oldest first
    QList<MarkStep> m_redo; // the next to redo last
    quint64 m_lastId = 0;
    int m_depth;
};
