#pragma once

#include <QSemaphore>
#include <QThreadPool>

// Occupies a one-thread pool until release(): work queued behind the gate
// stays queued, so a test decides when it runs.
struct PoolGate
{
    explicit PoolGate(QThreadPool *pool)
    {
        pool->start([this] {
            entered.release();
            open.acquire();
        });
        entered.acquire();
    }
    ~PoolGate() { release(); }
    void release()
    {
        if (!released)
            open.release();
        released = true;
    }
    QSemaphore entered;
    QSemaphore open;
    bool released = false;
};
