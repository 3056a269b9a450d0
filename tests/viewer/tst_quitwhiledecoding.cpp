#include "catalog/photocatalog.h"
#include "core/workerpool.h"
#include "grid/thumbnailgridwidget.h"
#include "viewer/viewerwidget.h"

#include <QSemaphore>
#include <QStandardPaths>
#include <QtTest>

#include <atomic>
#include <functional>
#include <memory>
#include <thread>

// Closing a view, and so quitting, never waits for a decode: one may take
// seconds and cannot be interrupted. Tasks held up on a gate stand in for
// decodes that are running when their owner goes.
namespace {

// Shared with the tasks, so that it outlives the pool that runs them.
struct Gate
{
    QSemaphore entered;
    QSemaphore open;
    QSemaphore left;
};

} // namespace

class TestQuitWhileDecoding : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void ownerGoesWithoutWaiting_data();
    void ownerGoesWithoutWaiting();
};

void TestQuitWhileDecoding::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QCoreApplication::setOrganizationName(QStringLiteral("Quillmark"));
    QCoreApplication::setApplicationName(QStringLiteral("Glanceway"));
}

void TestQuitWhileDecoding::ownerGoesWithoutWaiting_data()
{
    QTest::addColumn<QString>("owner");
    QTest::newRow("viewer") << QStringLiteral("viewer");
    QTest::newRow("grid") << QStringLiteral("grid");
    QTest::newRow("pool") << QStringLiteral("pool");
}

void TestQuitWhileDecoding::ownerGoesWithoutWaiting()
{
    QFETCH(QString, owner);
    PhotoCatalog catalog;
    QThreadPool *pool = nullptr;
    std::function<void()> destroy;
    if (owner == QLatin1String("viewer")) {
        auto *viewer = new ViewerWidget(&catalog);
        pool = viewer->previewThreadPool();
        destroy = [viewer] { delete viewer; };
    } else if (owner == QLatin1String("grid")) {
        auto *grid = new ThumbnailGridWidget;
        pool = grid->loaderThreadPool();
        destroy = [grid] { delete grid; };
    } else {
        auto *workers = new WorkerPool(2);
        pool = workers->threadPool();
        destroy = [workers] { delete workers; };
    }

    // Every thread busy, and one more task queued behind them.
    const int threads = pool->maxThreadCount();
    const auto gate = std::make_shared<Gate>();
    for (int i = 0; i < threads; ++i) {
        pool->start([gate] {
            gate->entered.release();
            gate->open.acquire();
            gate->left.release();
        });
    }
    gate->entered.acquire(threads);
    const auto queuedRan = std::make_shared<std::atomic<bool>>(false);
    pool->start([queuedRan] { *queuedRan = true; });

    // The gate opens once the owner is gone; should its destruction wait for
    // the tasks, only after a long while, so that the test fails, not hangs.
    QSemaphore destroyed;
    std::atomic<bool> waited{false};
    std::thread opener([&destroyed, &waited, gate, threads] {
        if (!destroyed.tryAcquire(1, 60000))
            waited = true;
        gate->open.release(threads);
    });
    destroy();
    destroyed.release();
    opener.join();
    QVERIFY2(!waited, "destroying the owner waited for its running tasks");

    gate->left.acquire(threads);
    // The pool left behind goes once its threads are idle.
    QTRY_VERIFY(WorkerPool::reapLeftPools());
    QVERIFY(!*queuedRan);
}

QTEST_MAIN(TestQuitWhileDecoding)
#include "tst_quitwhiledecoding.moc"
