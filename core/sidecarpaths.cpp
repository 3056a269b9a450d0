#include "core/sidecarpaths.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QList>
#include <QSet>

#if defined(Q_OS_WIN)
#include <windows.h>
#endif

namespace PhotoCore {

namespace {

bool isInside(const QString &canonicalPath, const QString &folder)
{
    if (folder.isEmpty())
        return false;
    const QString canonicalFolder = QFileInfo(folder).canonicalFilePath();
    if (canonicalFolder.isEmpty())
        return false;
    const QString prefix = canonicalFolder.endsWith(QLatin1Char('/')) ? canonicalFolder
                                                                       : canonicalFolder + QLatin1Char('/');
    return canonicalPath.startsWith(prefix, Qt::CaseSensitive);
}

#if defined(Q_OS_WIN)
// The name of the file at `path` as the file system spells it: exactly that
// name when such a file exists, else one differing only in case; empty when
// there is none. A folder can be case-sensitive, so every spelling is looked
// at, in one pattern search rather than a listing of the folder.
QString nameOnDisk(const QString &path)
{
    const QString wanted = QFileInfo(path).fileName();
    const std::wstring pattern = QDir::toNativeSeparators(path.chopped(1) + QLatin1Char('?')).toStdWString();
    WIN32_FIND_DATAW data;
    const HANDLE search = FindFirstFileW(pattern.c_str(), &data);
    if (search == INVALID_HANDLE_VALUE)
        return QString();
    QString found;
    do {
        const QString name = QString::fromWCharArray(data.cFileName);
        if (name.compare(wanted, Qt::CaseInsensitive) != 0)
            continue;
        if (name == wanted || found.isEmpty())
            found = name;
    } while (found != wanted && FindNextFileW(search, &data));
    FindClose(search);
    return found;
}
#endif

} // namespace

QString sidecarPathFor(const QString &photoPath)
{
    const QFileInfo info(photoPath);
    // An empty path or one ending in a separator names no photo; answering
    // "<dir>/.xmp" would let a write create a stray hidden file.
    if (info.fileName().isEmpty())
        return QString();
    const QString stem = info.absolutePath() + QLatin1Char('/') + info.completeBaseName();
    const QString lower = stem + QLatin1String(".xmp");
#if defined(Q_OS_WIN)
    // Both spellings name the same file here: keep the one already on disk.
    const QString onDisk = nameOnDisk(lower);
    return onDisk.isEmpty() ? lower : info.absolutePath() + QLatin1Char('/') + onDisk;
#else
    const QString upper = stem + QLatin1String(".XMP");
    if (QFileInfo::exists(lower) || !QFileInfo::exists(upper))
        return lower;
    return upper;
#endif
}

QStringList sidecarsToMoveWith(const QStringList &allFiles, const QStringList &moving)
{
    const auto normalise = [](const QString &path) {
        return QDir::cleanPath(QDir::fromNativeSeparators(path)).toLower();
    };
    QSet<QString> movingSet;
    for (const QString &path : moving)
        movingSet.insert(normalise(path));

    struct Use
    {
        QString sidecar;
        int users = 0;
        int moving = 0;
    };
    QList<Use> uses;
    QHash<QString, qsizetype> indexBySidecar;
    for (const QString &photo : allFiles) {
        const QString sidecar = sidecarPathFor(photo);
        if (sidecar.isEmpty())
            continue;
        const QString key = normalise(sidecar);
        auto it = indexBySidecar.constFind(key);
        if (it == indexBySidecar.constEnd()) {
            it = indexBySidecar.insert(key, uses.size());
            uses.append(Use{sidecar, 0, 0});
        }
        Use &use = uses[*it];
        ++use.users;
        if (movingSet.contains(normalise(photo)))
            ++use.moving;
    }

    QStringList result;
    for (const Use &use : std::as_const(uses)) {
        if (use.moving > 0 && use.moving == use.users)
            result.append(use.sidecar);
    }
    return result;
}

bool isTrustedLinkTarget(const QFileInfo &link, const QString &photoPath)
{
    const QString target = link.canonicalFilePath();
    if (target.isEmpty())
        return false;
    return isInside(target, QFileInfo(photoPath).absolutePath()) || isInside(target, QDir::homePath());
}

} // namespace PhotoCore
