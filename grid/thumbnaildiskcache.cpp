#include "grid/thumbnaildiskcache.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QSaveFile>
#include <QSettings>
#include <QStandardPaths>

#include <atomic>

namespace {

constexpr int jpegQuality = 86;
constexpr quint32 pruneEveryStores = 64;

std::atomic<quint32> &successfulStores()
{
    static std::atomic<quint32> counter{0};
    return counter;
}

const QStringList &entryFilter()
{
    static const QStringList filter{QStringLiteral("*.jpg")};
    return filter;
}

} // namespace

ThumbnailDiskCache::ThumbnailDiskCache(const QString &directory, qint64 maxBytes)
    : m_directory(directory.isEmpty() ? defaultDirectory() : directory)
    , m_maxBytes(maxBytes < 1 ? 0 : maxBytes)
{
}

QString ThumbnailDiskCache::defaultDirectory()
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::CacheLocation))
        .filePath(QStringLiteral("thumbnails-v1"));
}

qint64 ThumbnailDiskCache::configuredBudgetBytes()
{
    const qint64 mib = QSettings().value(QStringLiteral("grid/cacheMB"), 1024).toLongLong();
    return qBound(qint64(256), mib, qint64(2048)) * 1048576;
}

QByteArray ThumbnailDiskCache::keyFor(const QString &photoPath)
{
    const QFileInfo info(photoPath);
    QByteArray key = QDir::cleanPath(info.absoluteFilePath()).toUtf8();
    key += '\n';
    key += QByteArray::number(info.size());
    key += '\n';
    key += QByteArray::number(info.fileTime(QFileDevice::FileModificationTime).toMSecsSinceEpoch());
    key += "\nv1";
    return key;
}

QString ThumbnailDiskCache::entryPathFor(const QString &photoPath) const
{
    const QByteArray digest = QCryptographicHash::hash(keyFor(photoPath), QCryptographicHash::Sha256);
    return QDir(m_directory).filePath(QString::fromLatin1(digest.toHex()) + QStringLiteral(".jpg"));
}

QImage ThumbnailDiskCache::load(const QString &photoPath) const
{
    const QString entry = entryPathFor(photoPath);
    QImageReader reader(entry, "JPEG");
    const QImage image = reader.read();
    // A damaged entry would otherwise be served (and fail) forever; removing it
    // lets the loader decode the photo again and rewrite the entry.
    if (image.isNull() && QFileInfo(entry).isFile())
        QFile::remove(entry);
    return image;
}

bool ThumbnailDiskCache::store(const QString &photoPath, const QImage &image) const
{
    if (image.isNull())
        return false;
    if (!QDir().mkpath(m_directory))
        return false;

    QSaveFile file(entryPathFor(photoPath));
    if (!file.open(QIODevice::WriteOnly)) {
        file.cancelWriting();
        return false;
    }
    if (!image.save(&file, "JPEG", jpegQuality)) {
        file.cancelWriting();
        return false;
    }
    if (!file.commit())
        return false;

    const quint32 stores = successfulStores().fetch_add(1) + 1;
    if (stores % pruneEveryStores == 0)
        prune();
    return true;
}

void ThumbnailDiskCache::prune() const
{
    const QFileInfoList entries = QDir(m_directory).entryInfoList(entryFilter(), QDir::Files | QDir::CaseSensitive, QDir::Time);
    qint64 total = 0;
    for (const QFileInfo &entry : entries)
        total += entry.size();

    // The list is newest first, so the walk from its end evicts the oldest-written entries.
    for (auto it = entries.crbegin(); it != entries.crend() && total > m_maxBytes; ++it) {
        if (QFile::remove(it->filePath()))
            total -= it->size();
    }
}

bool ThumbnailDiskCache::clearAll() const
{
    const QFileInfoList entries =
        QDir(m_directory).entryInfoList(entryFilter(), QDir::Files | QDir::CaseSensitive, QDir::Unsorted);
    bool allRemoved = true;
    for (const QFileInfo &entry : entries)
        allRemoved = QFile::remove(entry.filePath()) && allRemoved;
    return allRemoved;
}

quint32 ThumbnailDiskCache::storeCount()
{
    return successfulStores().load();
}
