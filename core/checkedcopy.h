#pragma once

#include <QString>

#include <functional>

namespace PhotoCore {

// Why a checked copy did not arrive. The callers that copy many files tell
// apart what ends a whole run (no room left, the source gone) from what
// concerns one file.
enum class CopyProblem {
    None,
    Cancelled,
    TargetFull, // the target's file system has no room for the rest
    SourceGone, // the original (or its whole folder, a card pulled out) is no longer there
    Other
};

struct CopyCheck
{
    CopyProblem problem = CopyProblem::None;
    QString reason; // the system's words where it had them; empty on success and on a cancel

    bool ok() const { return problem == CopyProblem::None; }
};

// Called with the bytes just copied; returning false cancels the copy.
using CopyAdvance = std::function<bool(qint64 bytes)>;

// Copies `source` to the new file `target` (an existing name is never
// replaced), pushes the copy to the device, and compares every byte of it,
// read back from the device rather than from the system's cache, with the
// original. Only then is the copy whole. On failure or a cancel the partial
// copy is removed, so that nothing half-written is ever left. The original is
// only ever opened for reading. The copy keeps the original's modification
// time.
CopyCheck copyChecked(const QString &source, const QString &target, const CopyAdvance &advance = {});

} // namespace PhotoCore
