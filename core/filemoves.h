#pragma once

#include <QString>

class QFile;

// The few file-system calls that moving photos needs and that the toolkit
// does not offer safely: its own rename quietly falls back to an unchecked
// copy across file systems and may replace what is there.
namespace PhotoCore {

enum class RenameOutcome {
    Renamed,         // `target` is now what `source` was
    OtherFileSystem, // nothing happened: the two are on different file systems
    Failed           // nothing happened, for the reason given
};

// Renames `source` to `target` within one file system. Never replaces: an
// existing `target` makes it fail. Never copies: across a file-system
// boundary it reports OtherFileSystem and leaves both names alone.
// `error` receives the system's words on failure.
RenameOutcome renameWithin(const QString &source, const QString &target, QString *error);

// Pushes what was written to `file` (open for writing) down to the device,
// so that a lack of space or a write error shows now and not after the
// original is gone. True also where the file system cannot sync at all.
bool syncToDevice(QFile &file, QString *error);

// Makes the names just created in `folder` durable; true where the system
// has no such step.
bool syncFolder(const QString &folder);

} // namespace PhotoCore
