#include "grid/thumbnaildiskcache.h"

#include "core/safefileio.h"
#include "imaging/colourconversion.h"

#include <QBuffer>

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QSettings>
#include <QStandardPaths>

#include <atomic>

namespace {

constexpr int jpegQuality = 86;
constexpr quint32 pruneEveryStores = 64;
// Entries are thumbnails of a few dozen KiB; anything far larger is not ours.
constexpr qint64 maxEntryBytes = 16 * 1048576;

// Each entry is the JPEG followed by this tag and the SHA-1 of the JPEG. A
// damaged JPEG often still decodes partly (grey or garbled), so the decoder
// alone cannot tell a good entry from a damaged one; the checksum can.
const QByteArray &trailerTag()
{
    static const QByteArray tag = QByteArrayLiteral("GWTHUMB1");
    return tag;
}

constexpr qsizetype digestBytes = 20;

QByteArray checksumTrailer(const QByteArray &jpeg)
{
    return trailerTag() + QCryptographicHash::hash(jpeg, QCryptographicHash::Sha1);
}

// The JPEG of an entry whose trailer matches; a null array otherwise.
QByteArray verifiedJpeg(const QByteArray &entry)
{
    const qsizetype trailer = trailerTag().size() + digestBytes;
    if (entry.size() <= trailer)
        return QByteArray();
    const QByteArray jpeg = entry.left(entry.size() - trailer);
    if (entry.mid(jpeg.size()) != checksumTrailer(jpeg))
        return QByteArray();
    return jpeg;
}

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
    // v2: entries carry a checksum and hold sRGB pixels when colour management
    // is on, the pixels as stored otherwise. Entries of v1 (the photo's own
    // colours, no checksum) never match, so they are never shown unconverted;
    // pruning removes them as the oldest.
    key += colourManagementEnabled() ? "\nv2-srgb" : "\nv2-stored";
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
    QByteArray bytes;
    const PhotoCore::FileReadResult found = PhotoCore::readRegularFile(entry, maxEntryBytes, bytes);
    if (found == PhotoCore::FileReadResult::Missing)
        return QImage();
    QImage image;
    const QByteArray jpeg = verifiedJpeg(bytes);
    if (!jpeg.isNull()) {
        QBuffer buffer;
        buffer.setData(jpeg);
        buffer.open(QIODevice::ReadOnly);
        QImageReader reader(&buffer, "JPEG");
        image = reader.read();
    }
    // A damaged entry would otherwise be shown (grey or with garbage) for as
    // long as the photo stays unchanged; removing it lets the loader decode the
    // photo again and rewrite the entry.
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

    QByteArray bytes;
    {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        if (!image.save(&buffer, "JPEG", jpegQuality))
            return false;
    }
    bytes += checksumTrailer(bytes);
    if (!PhotoCore::saveFileSafely(entryPathFor(photoPath), bytes))
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
