#include "catalog/photocatalog.h"

#include "core/phototransfer.h"

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
    return PhotoCore::transferGroupsFor(photos, m_listedFiles, m_partners);
}
