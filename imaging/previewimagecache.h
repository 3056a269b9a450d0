#pragma once

#include <QCache>
#include <QImage>
#include <QMutex>
#include <QString>

// Recently decoded photos, keyed by path (case-sensitive), within a budget of
// decoded pixel memory. Entries cost ceil(sizeInBytes / 1024) KiB; the least
// recently inserted or looked-up entries are evicted first. Every operation
// locks, so any thread may use it; images share pixels, so no copy is made.
class PreviewImageCache
{
public:
    // A budget below 1 MiB is treated as 1 MiB.
    explicit PreviewImageCache(int budgetMiB);

    PreviewImageCache(const PreviewImageCache &) = delete;
    PreviewImageCache &operator=(const PreviewImageCache &) = delete;

    // Ignores a null image. An image costing more than the whole budget is not
    // stored and removes any older image under the same path.
    void insert(const QString &path, const QImage &image);
    // A shallow copy that becomes the most recently used; null on a miss.
    QImage lookup(const QString &path);
    // Leaves the recency order unchanged.
    bool contains(const QString &path) const;
    void clear();

    int maxCostKiB() const;
    int totalCostKiB() const;
    int count() const;

    // Cost of an image in KiB, as charged against the budget.
    static int costKiB(const QImage &image);

private:
    mutable QMutex m_mutex;
    QCache<QString, QImage> m_cache;
};
