#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

namespace PhotoCore {

// What readRegularFile found at a path.
enum class FileReadResult {
    Missing, // nothing there (a dangling link counts as nothing)
    Read,    // `bytes` holds the whole file
    Refused  // not a regular file, larger than the limit, or a read error
};

// Reads a file the program keeps beside photos or in its cache. Only regular
// files (or links to them) are read: a FIFO, device, socket or directory is
// refused without ever blocking on it, and at most `maxBytes` + 1 bytes are
// read whatever size the file reports, so a link to an endless device cannot
// exhaust memory.
FileReadResult readRegularFile(const QString &path, qint64 maxBytes, QByteArray &bytes);

// Replaces `path` (or the file a link at `path` points to) with `bytes`
// through a temporary file in the same folder that is renamed over it. True
// only when every byte reached the disk and the rename succeeded; otherwise
// the old file is left byte for byte and no temporary file stays behind. A
// full disk, a short write and a failed flush are all failures.
bool saveFileSafely(const QString &path, const QByteArray &bytes);

} // namespace PhotoCore
