#pragma once

#include <QSemaphore>
#include <QThreadPool>

// Occupies a one-thread pool until release(): work queued behind the gate
// stays queued, so a test decides when it runs. The gate outlives the work it
// puts in the pool: destroying it waits until that work has let go of it.
struct PoolGate
{
    explicit PoolGate(QThreadPool *pool)
    {
        pool->start([this] {
            entered.release();
            open.acquire();
            left.release();
        });
        entered.acquire();
    }
    ~PoolGate()
    {
        release();
        left.acquire();
    }
    void release()
    {
        if (!released)
            open.release();
        released = true;
    }
    QSemaphore entered;
    QSemaphore open;
    QSemaphore left;
    bool released = false;
};
