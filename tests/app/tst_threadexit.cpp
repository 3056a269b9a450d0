#include <QCoreApplication>
#include <QProcess>
#include <QRegularExpression>
#include <QThread>
#include <QThreadPool>
#include <QTest>

#include <atomic>
#include <cstdlib>
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

// Qt's own thread_local objects are registered with the C++ runtime, not with
// this program: the regular expression JIT stack is one, touched by every match.
constexpr char qtStorageChild[] = "--end-threads-using-qt-storage";

int endThreadsUsingQtStorage(ThreadKind kind)
{
    std::atomic<int> matched{0};
    for (int i = 0; i < 8; ++i) {
        runOnThread(kind, [&matched, i] {
            const QRegularExpression name(QStringLiteral("^(IMG|DSC)_(\\d{4})(?:-(\\d+))?\\.(jpe?g|cr2)$"),
                                          QRegularExpression::CaseInsensitiveOption);
            for (int n = 0; n < 50; ++n) {
                if (name.match(QStringLiteral("IMG_%1-%2.JPG").arg(1000 + n).arg(i)).hasMatch())
                    ++matched;
            }
        });
    }
    return matched.load() == 8 * 50 ? 0 : 2;
}

} // namespace

class TestThreadExit : public QObject
{
    Q_OBJECT

private slots:
    void destructorsSeeTheThreadsStorage_data();
    void destructorsSeeTheThreadsStorage();
    void programEndsAfterThreadsUsedQtStorage_data();
    void programEndsAfterThreadsUsedQtStorage();
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

void TestThreadExit::programEndsAfterThreadsUsedQtStorage_data()
{
    QTest::addColumn<int>("kind");
    QTest::newRow("qthread") << int(QtThread);
    QTest::newRow("std-thread") << int(StdThread);
    QTest::newRow("pool-thread") << int(PoolThread);
}

// The threads' ends and the program's own happen in a process of its own: a
// thread that ends badly can leave the runtime's locks taken, so that only the
// program's exit shows it.
void TestThreadExit::programEndsAfterThreadsUsedQtStorage()
{
    QFETCH(int, kind);
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedChannels);
    child.start(QCoreApplication::applicationFilePath(), {QString::fromLatin1(qtStorageChild), QString::number(kind)});
    QVERIFY(child.waitForStarted());
    const bool ended = child.waitForFinished(60000);
    if (!ended) {
        child.kill();
        child.waitForFinished();
    }
    QVERIFY2(ended, "the program did not exit after its threads had ended");
    QCOMPARE(child.exitStatus(), QProcess::NormalExit);
    QCOMPARE(child.exitCode(), 0);
}

int main(int argc, char *argv[])
{
    if (argc == 3 && qstrcmp(argv[1], qtStorageChild) == 0) {
        QCoreApplication app(argc, argv);
        return endThreadsUsingQtStorage(ThreadKind(atoi(argv[2])));
    }
    QCoreApplication app(argc, argv);
    TestThreadExit test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "tst_threadexit.moc"
