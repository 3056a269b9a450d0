#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>
#include <QtGlobal>

// Decoded grid thumbnails kept as small JPEG files, one per photo version, in
// "thumbnails-v1" under the per-user cache location. An entry is named by the
// SHA-256 of the photo's cleaned absolute path, size and modification time, so
// a changed photo simply misses. The object is a cheap value: build one for
// each use. load, store and prune run on worker threads; entries are written
// atomically and the process-wide store counter is atomic, so no lock is needed.
class ThumbnailDiskCache
{
public:
    // The loader's default budget when the setting is absent: 1024 MiB.
    static constexpr qint64 defaultBudgetBytes = 1024LL * 1048576;

    // An empty `directory` means defaultDirectory(). A budget below 1 is kept as 0.
    explicit ThumbnailDiskCache(const QString &directory = QString(),
                                qint64 maxBytes = defaultBudgetBytes);

    QString directory() const { return m_directory; }
    qint64 maxBytes() const { return m_maxBytes; }

    // "<CacheLocation>/thumbnails-v1".
    static QString defaultDirectory();

    // The budget configured by "grid/cacheMB" (MiB, default 1024), clamped to
    // 256…2048 MiB, in bytes. Read anew on every call.
    static qint64 configuredBudgetBytes();

    // The exact bytes that are hashed: cleaned absolute path, size, modification
    // time in ms since the epoch and the entry format ("v2-srgb" with colour
    // management on, "v2-stored" with it off), joined by line feeds.
    static QByteArray keyFor(const QString &photoPath);

    // Absolute path of the entry file for the photo as it is now on disk.
    QString entryPathFor(const QString &photoPath) const;

    // The cached thumbnail, or a null image on a miss. An entry whose checksum
    // does not match (truncated, overwritten, changed in any byte) or that
    // cannot be decoded is deleted, so that it is rebuilt next time.
    QImage load(const QString &photoPath) const;

    // Writes the entry (JPEG, quality 86, followed by a checksum) atomically.
    // False for a null image or when not every byte reached the disk (a full
    // disk among others); a failure never leaves a partial or temporary file.
    // Every 64th successful store of the process prunes the directory.
    bool store(const QString &photoPath, const QImage &image) const;

    // Deletes the oldest-written entries until the directory holds at most
    // maxBytes of entries. Files not named "*.jpg" and subdirectories stay.
    void prune() const;

    // Removes every "*.jpg" entry; true when all removals succeeded (a missing
    // or empty directory counts as success). Other files are left alone.
    bool clearAll() const;

    // Successful stores of this process so far.
    static quint32 storeCount();

private:
    QString m_directory;
    qint64 m_maxBytes = 0;
};
