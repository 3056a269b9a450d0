#include <QThread>
#include <QThreadPool>
#include <QTest>

#include <atomic>
#include <functional>
#include <memory>
#include <thread>

// When a thread ends, its thread_local objects are destroyed while the thread's
// thread-local storage still holds its values, whoever started the thread; an
// object first used by such a destructor is destroyed too.
namespace {

enum ThreadKind { QtThread, StdThread, PoolThread };

struct Seen
{
    std::atomic<quint64> own{0};
    std::atomic<quint64> neighbour{0};
};
Seen seenByProbe;
Seen seenByLateProbe;
std::atomic<int> destructorsRun{0};

thread_local quint64 threadToken = 0;

struct LateProbe
{
    quint64 token = 0;
    ~LateProbe()
    {
        seenByLateProbe.own.store(token);
        seenByLateProbe.neighbour.store(threadToken);
        ++destructorsRun;
    }
};

// Function-local, so that each is constructed, and its destructor registered,
// on first use rather than with every thread_local of this file.
LateProbe &lateProbe()
{
    thread_local LateProbe late;
    return late;
}

struct Probe
{
    quint64 token = 0;
    bool useLateProbe = false;
    ~Probe()
    {
        seenByProbe.own.store(token);
        seenByProbe.neighbour.store(threadToken);
        if (useLateProbe)
            lateProbe().token = threadToken; // first used here, while the thread ends
        ++destructorsRun;
    }
};

Probe &probe()
{
    thread_local Probe p;
    return p;
}

// Returns once the thread's work is done; the thread may still be ending.
void runOnThread(ThreadKind kind, const std::function<void()> &work)
{
    switch (kind) {
    case QtThread: {
        std::unique_ptr<QThread> thread(QThread::create(work));
        thread->start();
        QVERIFY(thread->wait(QDeadlineTimer(60000)));
        break;
    }
    case StdThread:
        std::thread(work).join();
        break;
    case PoolThread: {
        QThreadPool pool;
        pool.start(work);
        break; // the pool's destructor ends its threads
    }
    }
}

} // namespace

class TestThreadExit : public QObject
{
    Q_OBJECT

private slots:
    void destructorsSeeTheThreadsStorage_data();
    void destructorsSeeTheThreadsStorage();
};

void TestThreadExit::destructorsSeeTheThreadsStorage_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<bool>("useLateProbe");
    QTest::addColumn<quint64>("token");
    QTest::newRow("qthread") << int(QtThread) << false << Q_UINT64_C(0x1111222233334444);
    QTest::newRow("std-thread") << int(StdThread) << false << Q_UINT64_C(0x5555666677778888);
    QTest::newRow("pool-thread") << int(PoolThread) << false << Q_UINT64_C(0x99990000aaaabbbb);
    QTest::newRow("qthread-late-object") << int(QtThread) << true << Q_UINT64_C(0x0123456789abcdef);
    QTest::newRow("std-thread-late-object") << int(StdThread) << true << Q_UINT64_C(0xfedcba9876543210);
}

void TestThreadExit::destructorsSeeTheThreadsStorage()
{
    QFETCH(int, kind);
    QFETCH(bool, useLateProbe);
    QFETCH(quint64, token);
    seenByProbe.own = seenByProbe.neighbour = 0;
    seenByLateProbe.own = seenByLateProbe.neighbour = 0;
    destructorsRun = 0;

    runOnThread(ThreadKind(kind), [token, useLateProbe] {
        threadToken = token;
        probe().token = token;
        probe().useLateProbe = useLateProbe;
    });

    // A QThread may report that it finished before its thread-local objects go.
    QTRY_COMPARE(destructorsRun.load(), useLateProbe ? 2 : 1);
    QCOMPARE(seenByProbe.own.load(), token);
    QCOMPARE(seenByProbe.neighbour.load(), token);
    QCOMPARE(seenByLateProbe.own.load(), useLateProbe ? token : 0);
    QCOMPARE(seenByLateProbe.neighbour.load(), useLateProbe ? token : 0);
}

QTEST_GUILESS_MAIN(TestThreadExit)
#include "tst_threadexit.moc"
