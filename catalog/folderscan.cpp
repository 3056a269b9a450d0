#include "catalog/folderscan.h"

#include "core/folderlisting.h"
#include "core/sidecarpaths.h"
#include "core/xmpsidecar.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryFile>

QStringList listFolderPhotos(const QString &folder, bool subfolders, QStringList *folders)
{
    return subfolders ? PhotoCore::listPhotoTree(folder, 8, folders) : PhotoCore::listPhotoFiles(folder);
}

SidecarScan readSidecars(const QStringList &files)
{
    SidecarScan scan;
    scan.records.reserve(files.size());
    scan.stamps.reserve(files.size());
    for (const QString &path : files) {
        // The stamp first: a sidecar changed between the two reads is then
        // seen as changed by the next rescan, never as already known.
        const QString key = sidecarKey(path);
        if (!scan.stamps.contains(key))
            scan.stamps.insert(key, stampOfFile(PhotoCore::sidecarPathFor(path)));
        scan.records.insert(path, PhotoCore::readMetadata(path));
    }
    return scan;
}

SidecarScan rescanFolder(const QString &folder, const QSet<QString> &knownFiles,
                         const QHash<QString, FileStamp> &knownStamps, bool subfolders)
{
    SidecarScan scan;
    scan.files = listFolderPhotos(folder, subfolders, &scan.folders);
    QSet<QString> changedKeys;
    for (const QString &path : std::as_const(scan.files)) {
        const QString key = sidecarKey(path);
        if (!scan.stamps.contains(key)) {
            const FileStamp stamp = stampOfFile(PhotoCore::sidecarPathFor(path));
            scan.stamps.insert(key, stamp);
            if (knownStamps.value(key) != stamp)
                changedKeys.insert(key);
        }
    }
    for (const QString &path : std::as_const(scan.files)) {
        if (!knownFiles.contains(path) || changedKeys.contains(sidecarKey(path)))
            scan.records.insert(path, PhotoCore::readMetadata(path));
    }
    return scan;
}

namespace {

// The toolkit's save file is the target's name with ".XXXXXX" appended, the
// X taken at random from ASCII letters; sidecars are named ".xmp" or ".XMP".
bool isSidecarWriteTemp(const QString &fileName)
{
    static const QRegularExpression pattern(
        QRegularExpression::anchoredPattern(QStringLiteral(".+\\.(xmp|XMP)\\.[A-Za-z]{6}")));
    return pattern.match(fileName).hasMatch();
}

// A writer that is still running wrote to its file a moment ago.
constexpr qint64 abandonedAfterMs = 60 * 1000;

} // namespace

int removeInterruptedSidecarWrites(const QStringList &files)
{
    QSet<QString> folders;
    for (const QString &path : files)
        folders.insert(QFileInfo(path).absolutePath());
    const QDateTime now = QDateTime::currentDateTimeUtc();
    int removed = 0;
    for (const QString &folder : std::as_const(folders)) {
        // Links are never ours: the writer creates plain files.
        const QFileInfoList candidates =
            QDir(folder).entryInfoList({QStringLiteral("*.xmp.??????"), QStringLiteral("*.XMP.??????")},
                                       QDir::Files | QDir::Hidden | QDir::NoSymLinks | QDir::CaseSensitive);
        for (const QFileInfo &info : candidates) {
            if (!isSidecarWriteTemp(info.fileName()) || !info.isFile() || info.isSymLink())
                continue;
            const QDateTime modified = info.fileTime(QFileDevice::FileModificationTime);
            if (!modified.isValid() || modified.msecsTo(now) <= abandonedAfterMs)
                continue;
            if (QFile::remove(info.filePath()))
                ++removed;
        }
    }
    return removed;
}

QString folderWriteProblem(const QString &folder)
{
    QTemporaryFile probe(folder + QStringLiteral("/.glanceway-XXXXXX"));
    if (probe.open())
        return QString();
    return probe.errorString();
}
