#pragma once

#include <QString>

// The names copies are written under until they are whole. A copy is made
// under a hidden name beside its target and renamed once it has been checked,
// so that a target's name only ever holds a whole copy; a process killed in
// between leaves the hidden name behind, which carries the writer's process
// id so that a later run can tell a leftover from a copy still being written.
namespace PhotoCore {

// ".glanceway-part-<pid>-<name>" in the folder of `target`.
QString partialCopyPath(const QString &target);

// Whether `fileName` (without folder) is the name of a partial copy.
bool isPartialCopyName(const QString &fileName);

// Removes the partial copies in `folder` whose writer is no longer running
// (this process's own are left to it). Returns how many were removed.
int removeStalePartialCopies(const QString &folder);

} // namespace PhotoCore
