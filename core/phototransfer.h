#pragma once

#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

#include <functional>

namespace PhotoCore {

// One photo to copy or move: its files (the photo and its RAW or JPEG
// partner, which share a base name) and the sidecar they use, if any. A
// sidecar that photos staying behind also use is copied, never moved.
struct TransferGroup
{
    QStringList files;
    QString sidecar;
    bool sidecarShared = false;
};

enum class TransferMode { Copy, Move };

struct TransferFailure
{
    QString path;
    QString reason;
};

struct TransferResult
{
    int photosDone = 0;       // groups that arrived whole
    QStringList written;      // files now in the target folder
    QList<TransferFailure> failures;
    bool cancelled = false;
};

// Reports progress in bytes and the file at hand; returning false cancels.
// Called from the thread that runs the transfer.
using TransferProgress = std::function<bool(qint64 done, qint64 total, const QString &file)>;

// Copies or moves each group into `targetDir`, never overwriting: a group
// whose names are taken gets the base name "<base> (2)", "(3)", … for all its
// files and its sidecar alike. Every copy is checked (size, and for files
// under 64 MiB every byte) before a move deletes its source; a move within
// one file system renames. A group either arrives whole or leaves nothing
// behind in the target, and its sources stay where they were. A cancel
// takes effect between files and within large ones, and leaves the groups
// done so far in place. Runs on the calling thread.
TransferResult transferPhotos(const QList<TransferGroup> &groups, const QString &targetDir, TransferMode mode,
                              const TransferProgress &progress = {});

// The base name to use in a folder whose names (lower case) are `taken`:
// `base` when none of `base` + each of `suffixes` is taken, else the first
// free "<base> (n)", n from 2.
QString freeBaseName(const QString &base, const QStringList &suffixes, const QSet<QString> &taken);

} // namespace PhotoCore
