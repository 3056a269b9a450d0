#include "catalog/backgroundfilejob.h"

#include "catalog/guithread.h"

BackgroundFileJob::BackgroundFileJob(QObject *parent)
    : QObject(parent)
{
    m_pool.setMaxThreadCount(1);
}

BackgroundFileJob::~BackgroundFileJob()
{
    m_shared->cancelled = true;
    m_pool.waitForDone();
}

void BackgroundFileJob::cancel()
{
    m_shared->cancelled = true;
}

void BackgroundFileJob::runOnce(Work work)
{
    if (m_running)
        return;
    m_running = true;
    const QPointer<BackgroundFileJob> self(this);
    const std::shared_ptr<Shared> shared = m_shared;
    m_pool.start([self, shared, work = std::move(work)] {
        const Reporter report = [self, shared](std::function<void()> deliver) {
            if (!shared->reportPending.exchange(true)) {
                postToGuiThread([self, shared, deliver = std::move(deliver)] {
                    shared->reportPending = false;
                    if (self && self->m_running)
                        deliver();
                });
            }
            return !shared->cancelled;
        };
        std::function<void()> finish = work(report);
        postToGuiThread([self, finish = std::move(finish)] {
            if (!self)
                return;
            self->m_running = false;
            finish();
        });
    });
}
