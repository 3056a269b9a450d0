#pragma once

#include <QObject>
#include <QPointer>
#include <QThreadPool>

#include <atomic>
#include <functional>
#include <memory>

// A long file operation (a copy, a move, an import) run once on a thread of
// its own, so that the window stays responsive. Progress reports are thinned
// out: at most one is on its way to the GUI thread at a time. Whatever is
// posted back is dropped once the job is gone.
class BackgroundFileJob : public QObject
{
    Q_OBJECT
public:
    // Cancels and waits: the files being written are cleaned up, not abandoned.
    ~BackgroundFileJob() override;

    bool isRunning() const { return m_running; }
    // Waits until the work has ended; its result is still delivered by the event loop.
    void waitForDone() { m_pool.waitForDone(); }

public slots:
    // Takes effect between files and within large ones; what was done stays.
    void cancel();

protected:
    explicit BackgroundFileJob(QObject *parent);

    // Posts `deliver` to the GUI thread unless a report is already on its way
    // (it then runs only while the job is running); false once cancelled.
    using Reporter = std::function<bool(std::function<void()> deliver)>;
    // Runs `work` on the job's thread unless it is still running; what it
    // returns is called on the GUI thread when it ends, after isRunning() turned false.
    using Work = std::function<std::function<void()>(const Reporter &report)>;
    void runOnce(Work work);

private:
    struct Shared
    {
        std::atomic<bool> cancelled{false};
        std::atomic<bool> reportPending{false};
    };
    std::shared_ptr<Shared> m_shared = std::make_shared<Shared>();
    bool m_running = false;
    QThreadPool m_pool;
};
