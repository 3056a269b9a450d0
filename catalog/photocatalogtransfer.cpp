#include "catalog/photocatalog.h"

#include "core/xmpsidecar.h"

#include <QDir>

// What leaves the folder at the end of a cull: the rejected photos for the
// recycle bin, the picks copied or moved elsewhere with their partners and sidecars.

QStringList PhotoCatalog::rejectedPhotos() const
{
    QStringList rejected;
    for (const QString &path : std::as_const(m_allFiles)) {
        if (m_records.value(path).rejected)
            rejected.append(path);
    }
    return rejected;
}

QList<PhotoCore::TransferGroup> PhotoCatalog::transferGroups(const QStringList &photos) const
{
    QList<PhotoCore::TransferGroup> groups;
    QHash<QString, qsizetype> groupOfKey;
    QSet<QString> taken;
    QStringList leaving;
    const auto add = [&](PhotoCore::TransferGroup &group, const QString &path) {
        if (path.isEmpty() || taken.contains(path))
            return;
        taken.insert(path);
        group.files.append(path);
        leaving.append(path);
    };
    for (const QString &photo : photos) {
        if (!contains(photo))
            continue;
        const QString key = sidecarKey(photo);
        auto at = groupOfKey.constFind(key);
        if (at == groupOfKey.cend()) {
            at = groupOfKey.insert(key, groups.size());
            groups.append(PhotoCore::TransferGroup{{}, PhotoCore::sidecarPathFor(photo), false});
        }
        PhotoCore::TransferGroup &group = groups[*at];
        add(group, photo);
        // A pair travels whole, whether it is shown as one photo or not.
        add(group, m_partners.value(photo));
    }
    const auto normalise = [](const QString &path) { return QDir::cleanPath(path).toLower(); };
    QSet<QString> movable;
    for (const QString &sidecar : PhotoCore::sidecarsToMoveWith(m_listedFiles, leaving))
        movable.insert(normalise(sidecar));
    for (PhotoCore::TransferGroup &group : groups)
        group.sidecarShared = !group.sidecar.isEmpty() && !movable.contains(normalise(group.sidecar));
    return groups;
}
