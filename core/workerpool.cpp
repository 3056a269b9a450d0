#include "core/workerpool.h"

#include <QCoreApplication>
#include <QList>
#include <QMutex>
#include <QMutexLocker>

namespace {

// Pools whose owner went while their work ran. Deleting a pool waits for its
// work, so each is freed only once its last task has returned. The list is
// never destroyed, so that no order of destruction at exit matters.
struct LeftPools
{
    QMutex mutex;
    QList<QThreadPool *> pools;
};

LeftPools &leftPools()
{
    static auto *left = new LeftPools;
    return *left;
}

void waitForLeftPools()
{
    QList<QThreadPool *> pools;
    {
        LeftPools &left = leftPools();
        QMutexLocker lock(&left.mutex);
        pools.swap(left.pools);
    }
    qDeleteAll(pools);
}

} // namespace

WorkerPool::WorkerPool(int maxThreads, int expiryMs)
    : m_pool(new QThreadPool)
{
    m_pool->setMaxThreadCount(maxThreads);
    m_pool->setExpiryTimeout(expiryMs);
    reapLeftPools();
}

WorkerPool::~WorkerPool()
{
    m_pool->clear();
    // Nothing queued is left, so no thread becomes busy after this check; one
    // that is just finishing its task counts as busy and is freed later.
    if (m_pool->activeThreadCount() == 0) {
        delete m_pool;
    } else {
        static const bool waitAtExit = [] {
            qAddPostRoutine(waitForLeftPools);
            return true;
        }();
        Q_UNUSED(waitAtExit);
        LeftPools &left = leftPools();
        QMutexLocker lock(&left.mutex);
        left.pools.append(m_pool);
    }
    reapLeftPools();
}

void WorkerPool::start(std::function<void()> work, int priority)
{
    m_pool->start(std::move(work), priority);
}

void WorkerPool::clear()
{
    m_pool->clear();
}

bool WorkerPool::reapLeftPools()
{
    QList<QThreadPool *> idle;
    bool empty = false;
    {
        LeftPools &left = leftPools();
        QMutexLocker lock(&left.mutex);
        for (auto it = left.pools.begin(); it != left.pools.end();) {
            if ((*it)->activeThreadCount() == 0) {
                idle.append(*it);
                it = left.pools.erase(it);
            } else {
                ++it;
            }
        }
        empty = left.pools.isEmpty();
    }
    // Only idle threads are left to end: this waits for no work.
    qDeleteAll(idle);
    return empty;
}
