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
    SourceShort, // the original ended before the size it had when the copy began
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
// original. The copy is written under its partial name (partialcopy.h) and
// takes the name `target` only once it is whole, so that `target` never holds
// less than the whole original, even when the process is killed or the power
// fails. On failure or a cancel the partial copy is removed. The original is
// only ever opened for reading. The copy keeps the original's modification
// time.
CopyCheck copyChecked(const QString &source, const QString &target, const CopyAdvance &advance = {});

// copyChecked in two steps, for a caller that publishes several copies
// together: the checked copy waits under partialCopyPath(target) until
// publishStagedCopy() gives it its name, or discardStagedCopy() removes it.
CopyCheck stageCheckedCopy(const QString &source, const QString &target, const CopyAdvance &advance = {});
// Fails when `target` exists by now; the staged copy then stays for the caller to discard.
CopyCheck publishStagedCopy(const QString &target);
void discardStagedCopy(const QString &target);

} // namespace PhotoCore
