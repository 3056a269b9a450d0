#pragma once

#include <QHash>
#include <QList>
#include <QPair>
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

// What became of one group, in the order given.
struct TransferOutcome
{
    QStringList files;  // the sources, the sidecar last
    QStringList to;     // where each went (or was to go)
    bool ok = false;
    QString reason;     // why not, when not ok
};

struct TransferResult
{
    int photosDone = 0;       // groups that arrived whole
    QStringList written;      // files now in the target folder
    QList<TransferFailure> failures;
    QList<TransferOutcome> outcomes; // the groups started, in order; a cancel leaves the rest out
    bool cancelled = false;
};

// Reports progress in bytes and the file at hand; returning false cancels.
// Called from the thread that runs the transfer.
using TransferProgress = std::function<bool(qint64 done, qint64 total, const QString &file)>;

// Copies or moves each group into `targetDir`, never overwriting. A group
// whose base name any file in the target already has (whatever its
// extension: it would pair with ours or lend us its sidecar) gets the base
// name "<base> (2)", "(3)", … for all its files and its sidecar alike.
// Each file of a move is renamed where source and target share a file
// system; otherwise it is copied, flushed to the device and checked (size,
// and for files under 64 MiB every byte), and the group's originals are
// deleted only once all of its copies are whole. A group either arrives
// whole or leaves nothing behind in the target, and its sources stay where
// they were. A copy or move into the folder a photo is already in (also
// through a link) fails for that group and makes nothing. A cancel takes effect between files and within
// large ones, and leaves the groups done so far in place. Runs on the
// calling thread.
TransferResult transferPhotos(const QList<TransferGroup> &groups, const QString &targetDir, TransferMode mode,
                              const TransferProgress &progress = {});

// Moves each file to exactly the name given (source → target), checked as a
// move of photos is: a rename within one file system, a synced and compared
// copy across. All or nothing: when any target name is taken, nothing moves
// and `failures` names the targets taken; when a file cannot be moved, those
// moved already go back. `photosDone` is the number of files moved.
TransferResult moveExactly(const QList<QPair<QString, QString>> &moves);

// `path` with every link and "." or ".." resolved, so that two spellings of
// one folder compare equal; cleaned and absolute where it does not exist.
QString resolvedFolder(const QString &path);

// The base name to use in a folder whose base names (each entry's name
// without its last extension, lower case) are `takenStems`: `base` when it is
// not among them, else the first free "<base> (n)", n from 2.
QString freeBaseName(const QString &base, const QSet<QString> &takenStems);

// The groups that carry `photos` (those among `listedFiles`, a folder
// listing) with what belongs to them: each photo's pair partner from
// `partners`, and the sidecar they use, marked shared when a listed photo
// that stays behind uses it too. Photos sharing a sidecar travel as one group.
QList<TransferGroup> transferGroupsFor(const QStringList &photos, const QStringList &listedFiles,
                                       const QHash<QString, QString> &partners);

} // namespace PhotoCore
