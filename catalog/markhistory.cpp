#include "catalog/markhistory.h"

#include <algorithm>

MarkChange *MarkStep::changeOfMark(quint64 markWrite)
{
    // A step's marks were queued in the order of its changes, so their ids
    // rise: a batch of thousands finds each of its results at once.
    const auto it = std::lower_bound(changes.begin(), changes.end(), markWrite,
                                     [](const MarkChange &c, quint64 write) { return c.markWrite < write; });
    return it != changes.end() && it->markWrite == markWrite ? &*it : nullptr;
}

MarkHistory::MarkHistory(int depth)
    : m_depth(std::max(1, depth))
{
}

quint64 MarkHistory::push(const MarkEdit &edit, const QList<MarkChange> &changes)
{
    m_redo.clear();
    MarkStep step;
    step.id = ++m_lastId;
    step.edit = edit;
    step.changes = changes;
    m_undo.append(step);
    if (m_undo.size() > m_depth)
        m_undo.erase(m_undo.begin(), m_undo.begin() + (m_undo.size() - m_depth));
    return step.id;
}

MarkStep *MarkHistory::nextUndo()
{
    return m_undo.isEmpty() ? nullptr : &m_undo.last();
}

MarkStep *MarkHistory::nextRedo()
{
    return m_redo.isEmpty() ? nullptr : &m_redo.last();
}

void MarkHistory::moveToRedo()
{
    if (!m_undo.isEmpty())
        m_redo.append(m_undo.takeLast());
}

void MarkHistory::moveToUndo()
{
    if (!m_redo.isEmpty())
        m_undo.append(m_redo.takeLast());
}

MarkStep *MarkHistory::find(quint64 stepId)
{
    for (QList<MarkStep> *stack : {&m_undo, &m_redo}) {
        for (MarkStep &step : *stack) {
            if (step.id == stepId)
                return &step;
        }
    }
    return nullptr;
}

bool MarkHistory::isNextRedo(quint64 stepId) const
{
    return !m_redo.isEmpty() && m_redo.last().id == stepId;
}

void MarkHistory::remove(quint64 stepId)
{
    for (QList<MarkStep> *stack : {&m_undo, &m_redo})
        stack->removeIf([stepId](const MarkStep &step) { return step.id == stepId; });
}

void MarkHistory::forget(const QSet<QString> &photoPaths)
{
    if (photoPaths.isEmpty())
        return;
    for (QList<MarkStep> *stack : {&m_undo, &m_redo}) {
        for (MarkStep &step : *stack)
            step.changes.removeIf([&](const MarkChange &c) { return photoPaths.contains(c.photoPath); });
        stack->removeIf([](const MarkStep &step) { return step.changes.isEmpty(); });
    }
}

void MarkHistory::clear()
{
    m_undo.clear();
    m_redo.clear();
}
