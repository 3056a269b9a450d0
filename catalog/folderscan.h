#pragma once

#include "catalog/sidecarkey.h"
#include "core/metadata.h"

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>

// What a background read of sidecars found. Runs off the GUI thread: plain
// values in, plain values out.
struct SidecarScan
{
    QStringList files;                           // a rescan: the folder's photos now
    QStringList folders;                         // a rescan of a tree: the folders listed
    QHash<QString, PhotoCore::Metadata> records; // by photo path
    QHash<QString, FileStamp> stamps;            // by sidecar key; null when there is no sidecar
};

// The photos of `folder` and, with `subfolders`, of the tree below it, which
// then puts every folder listed in `folders`. Opening and rescanning list alike.
QStringList listFolderPhotos(const QString &folder, bool subfolders, QStringList *folders);

// The marks and sidecar stamps of every file.
SidecarScan readSidecars(const QStringList &files);

// Lists `folder` (with `subfolders`, the tree below it too) afresh and reads
// the sidecars of photos not among `knownFiles` and of those whose sidecar
// stamp differs from `knownStamps`.
SidecarScan rescanFolder(const QString &folder, const QSet<QString> &knownFiles,
                         const QHash<QString, FileStamp> &knownStamps, bool subfolders = false);

// Removes from the folders of `files` what interrupted sidecar writes left:
// the temporary files saveFileSafely writes a sidecar through (its name, a dot
// and six random letters), once they have not been written to for a minute,
// so that a write still running in another instance keeps its file. Nothing
// else is touched. Returns how many were removed.
int removeInterruptedSidecarWrites(const QStringList &files);

// Why no file can be created in `folder` (the system's words), or an empty
// string when one can. Leaves nothing behind.
QString folderWriteProblem(const QString &folder);
