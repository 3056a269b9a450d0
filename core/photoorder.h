#pragma once

#include <QDateTime>
#include <QHash>
#include <QString>
#include <QStringList>

namespace PhotoCore {

// The orders a folder's photos can be shown in. Stored in settings by id.
enum class SortOrder {
    FileName,    // "name": case-insensitive, no locale rules (the listing's own order)
    NaturalName, // "natural": locale collation, numbers as numbers (IMG_2 before IMG_10)
    CaptureTime, // "captured": capture time, photos without one after, by file name
    ModifiedTime // "modified": the files' modification times
};

QString sortOrderId(SortOrder order);
// FileName for an unknown id.
SortOrder sortOrderFromId(const QString &id);

// `paths` in `order`. Capture times come from `captureTimes` (absent or
// invalid: no capture time); modification times are read from the files.
// Equal keys fall back to the file-name order, so the result is the same
// whatever order the paths came in.
QStringList sortedPhotos(const QStringList &paths, SortOrder order,
                         const QHash<QString, QDateTime> &captureTimes = {});

} // namespace PhotoCore
