#pragma once

#include "core/burstrules.h"

#include <QHash>
#include <QString>

// The file in which the burst analyses of one folder's photos are kept, in
// the thumbnail cache's bursts/ folder: the facts of each photo by file name,
// with the size and modification time they were found for. The file is only
// a cache: one that cannot be read, is of another analysis version, or is
// larger than any folder's facts could make it, counts as absent, and its
// photos are analysed afresh.
class BurstCacheFile
{
public:
    struct Entry
    {
        qint64 size = -1;
        qint64 modified = 0; // ms since the epoch
        PhotoCore::BurstFacts facts;
    };

    // An entry takes about 150 bytes: room for some 100 000 photos in one folder.
    static constexpr qint64 maxBytes = 16 * 1048576;

    // The file of `folder` in the cache `directory`, named by a digest of the folder's cleaned absolute path.
    static QString pathFor(const QString &directory, const QString &folder);

    // The entries of the file at `path`, by file name; empty when it counts as absent.
    static QHash<QString, Entry> read(const QString &path);

    // Replaces the file at `path` with `entries` of the photos of `folder`,
    // and with nothing else; false when it could not be written.
    static bool write(const QString &path, const QString &folder, const QHash<QString, Entry> &entries);
};
