#include "core/folderlisting.h"

#include "core/rawformats.h"

#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

#if defined(Q_OS_UNIX)
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace PhotoCore {

const QSet<QString> &supportedExtensions()
{
    // Initialised once (thread-safe static), read-only afterwards.
    static const QSet<QString> extensions = [] {
        QSet<QString> all{
            QStringLiteral("jpg"), QStringLiteral("jpeg"), QStringLiteral("png"),
            QStringLiteral("tif"), QStringLiteral("tiff"), QStringLiteral("bmp"),
        };
        for (const QString &raw : RawFormats::extensions())
            all.insert(raw);
        return all;
    }();
    return extensions;
}

namespace {

// The suffix as QFileInfo defines it: the text after the last '.' of the name.
bool hasSupportedSuffix(const QString &name)
{
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot < 0)
        return false;
    return supportedExtensions().contains(name.mid(dot + 1).toLower());
}

#if defined(Q_OS_UNIX)
// Same result as iterating with QDir::Files | QDir::Readable, but the name is
// checked first and the file system is asked only about candidates, using the
// entry type readdir already knows. On a folder of 10,000 files this is about
// twice as fast, since stat and access calls dominate.
bool listPosix(const QString &folder, QStringList &names, QStringList *subfolders = nullptr)
{
    DIR *dir = opendir(QFile::encodeName(folder).constData());
    if (!dir)
        return false;
    const int fd = dirfd(dir);
    while (const dirent *entry = readdir(dir)) {
        if (entry->d_name[0] == '.')  // hidden, and "." / ".."
            continue;
        const QString name = QFile::decodeName(entry->d_name);
        if (subfolders && (entry->d_type == DT_DIR || entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN)) {
            struct stat st;  // follows links: a link to a folder counts as a folder
            if (fstatat(fd, entry->d_name, &st, 0) == 0 && S_ISDIR(st.st_mode)) {
                subfolders->append(name);
                continue;
            }
        }
        if (!hasSupportedSuffix(name))
            continue;
        bool isFile = entry->d_type == DT_REG;
        if (entry->d_type == DT_UNKNOWN || entry->d_type == DT_LNK) {
            struct stat st;  // follows links: a link to a file counts as a file
            isFile = fstatat(fd, entry->d_name, &st, 0) == 0 && S_ISREG(st.st_mode);
        }
        if (isFile && faccessat(fd, entry->d_name, R_OK, 0) == 0)
            names << name;
    }
    closedir(dir);
    return true;
}
#endif

} // namespace

namespace {

// The photo names of one folder and, when asked, its visible subfolders' names.
bool listFolder(const QString &folder, QStringList &names, QStringList *subfolders)
{
#if defined(Q_OS_UNIX)
    return listPosix(folder, names, subfolders);
#else
    if (!QFileInfo(folder).isDir())
        return false;
    QDirIterator it(folder, QDir::Files | QDir::Readable | (subfolders ? QDir::Dirs | QDir::NoDotAndDotDot : QDir::Filters()));
    while (it.hasNext()) {
        it.next();
        const QFileInfo info = it.fileInfo();
        if (subfolders && info.isDir()) {
            if (!info.isHidden())
                subfolders->append(it.fileName());
        } else if (hasSupportedSuffix(it.fileName())) {
            // Only the name is looked at: content and decodability play no part here.
            names << it.fileName();
        }
    }
    return true;
#endif
}

// A folder's identity, so that a link back to a folder already listed is not
// followed again.
QString folderIdentity(const QString &folder)
{
#if defined(Q_OS_UNIX)
    struct stat st;
    if (::stat(QFile::encodeName(folder).constData(), &st) == 0)
        return QStringLiteral("%1:%2").arg(qulonglong(st.st_dev)).arg(qulonglong(st.st_ino));
#endif
    return QFileInfo(folder).canonicalFilePath();
}

// As the directory iterator forms its paths: a folder given with a trailing
// separator (a drive or file-system root) gets no second one.
QString folderPrefix(const QString &folder)
{
    return folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
}

// Every path shares the folder prefix, so ordering the names orders the
// paths, without folding the prefix again in every comparison.
QStringList sortedPaths(const QString &folder, QStringList names)
{
    names.sort(Qt::CaseInsensitive);
    const QString prefix = folderPrefix(folder);
    for (QString &name : names)
        name.prepend(prefix);
    return names;
}

void listTree(const QString &folder, int depthLeft, QSet<QString> &seen, QStringList &paths, QStringList *folders)
{
    QStringList names, subfolders;
    if (!listFolder(folder, names, depthLeft > 0 ? &subfolders : nullptr))
        return;
    if (folders)
        folders->append(folder);
    paths += sortedPaths(folder, names);
    subfolders.sort(Qt::CaseInsensitive);
    const QString prefix = folderPrefix(folder);
    for (const QString &name : std::as_const(subfolders)) {
        const QString sub = prefix + name;
        const QString identity = folderIdentity(sub);
        if (identity.isEmpty() || seen.contains(identity))
            continue;
        seen.insert(identity);
        listTree(sub, depthLeft - 1, seen, paths, folders);
    }
}

} // namespace

QStringList listPhotoTree(const QString &folder, int maxDepth, QStringList *folders)
{
    QSet<QString> seen{folderIdentity(folder)};
    QStringList paths;
    listTree(folder, maxDepth, seen, paths, folders);
    return paths;
}

QStringList listPhotoFiles(const QString &folder)
{
    QStringList names;
    if (!listFolder(folder, names, nullptr))
        return {};
    return sortedPaths(folder, names);
}

} // namespace PhotoCore
