#pragma once

#include <QString>
#include <QStringList>

class QFileInfo;

// Where a photo's marks live: which file is its sidecar, which sidecars go
// with photos that leave, and which links one may be written through. No
// sidecar is read here; the names alone decide.
namespace PhotoCore {

// "<dir>/<name without last suffix>.xmp", or the ".XMP" variant when only that
// one exists. Photos differing only in extension share one sidecar. Empty for
// a path without a file name (empty, or ending in a separator).
QString sidecarPathFor(const QString &photoPath);

// The sidecars that may move to the recycle bin with `moving`: those whose
// every user among `allFiles` is being moved. Paths are compared cleaned and
// case-insensitively; the result keeps the order of `allFiles`.
QStringList sidecarsToMoveWith(const QStringList &allFiles, const QStringList &moving);

// Some photographers link sidecars to a shared copy, and those links are
// updated in place. Whether the sidecar link `link` of `photoPath` may be
// written through: only when it leads into the photo's folder or the user's
// home, so that marking a photo never rewrites a file elsewhere on the system
// (a system location, say). False for a link that leads nowhere.
bool isTrustedLinkTarget(const QFileInfo &link, const QString &photoPath);

} // namespace PhotoCore
