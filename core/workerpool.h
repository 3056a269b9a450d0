#pragma once

#include <QThreadPool>

#include <functional>

// A thread pool whose owner never waits for it. Destroying it drops the work
// still queued; work already running carries on alone and its pool goes once
// it is done. A decode cannot be interrupted and may take seconds, so neither
// closing a view nor quitting the program may wait for one.
//
// Work may therefore outlive whoever started it: it must own copies (or shared
// ownership) of everything it touches and report back only through a guarded
// pointer, checked on the receiving thread.
class WorkerPool
{
public:
    explicit WorkerPool(int maxThreads, int expiryMs = 10000);
    ~WorkerPool();

    WorkerPool(const WorkerPool &) = delete;
    WorkerPool &operator=(const WorkerPool &) = delete;

    void start(std::function<void()> work, int priority = 0);
    // Drops the queued work; the running work finishes.
    void clear();
    // The pool itself, for tests and measurements that wait for it or occupy it.
    QThreadPool *threadPool() const { return m_pool; }

    // Frees the pools left behind by destroyed owners whose work has ended.
    // True when none is left, so that nothing runs any more that a WorkerPool
    // started. Call on the thread the pools were made on. Work still running
    // when the application object goes is waited for then, as it may use it:
    // a program that must not wait ends before, when this returns false.
    static bool reapLeftPools();

private:
    QThreadPool *m_pool;
};
