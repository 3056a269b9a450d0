#include "imaging/previewimagecache.h"

#include <QMutexLocker>

#include <limits>

namespace {
constexpr qint64 maxCost = std::numeric_limits<int>::max();
}

PreviewImageCache::PreviewImageCache(int budgetMiB)
{
    const qint64 kib = qint64(qMax(budgetMiB, 1)) * 1024;
    m_cache.setMaxCost(qsizetype(qMin(kib, maxCost)));
}

int PreviewImageCache::costKiB(const QImage &image)
{
    const qint64 kib = (qint64(image.sizeInBytes()) + 1023) / 1024;
    return int(qBound<qint64>(1, kib, maxCost));
}

void PreviewImageCache::insert(const QString &path, const QImage &image)
{
    if (image.isNull())
        return;
    const int cost = costKiB(image);
    QMutexLocker lock(&m_mutex);
    // QCache refuses an entry dearer than the whole budget and drops the old one itself.
    m_cache.insert(path, new QImage(image), cost);
}

QImage PreviewImageCache::lookup(const QString &path)
{
    QMutexLocker lock(&m_mutex);
    if (const QImage *image = m_cache.object(path))
        return *image;
    return QImage();
}

bool PreviewImageCache::contains(const QString &path) const
{
    QMutexLocker lock(&m_mutex);
    return m_cache.contains(path);
}

void PreviewImageCache::clear()
{
    QMutexLocker lock(&m_mutex);
    m_cache.clear();
}

int PreviewImageCache::maxCostKiB() const
{
    QMutexLocker lock(&m_mutex);
    return int(m_cache.maxCost());
}

int PreviewImageCache::totalCostKiB() const
{
    QMutexLocker lock(&m_mutex);
    return int(m_cache.totalCost());
}

int PreviewImageCache::count() const
{
    QMutexLocker lock(&m_mutex);
    return int(m_cache.count());
}
