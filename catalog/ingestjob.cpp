#include "catalog/ingestjob.h"

#include "catalog/guithread.h"

#include <QPointer>

IngestJob::IngestJob(QObject *parent)
    : QObject(parent)
{
    m_pool.setMaxThreadCount(1);
}

IngestJob::~IngestJob()
{
    m_shared->cancelled = true;
    m_pool.waitForDone();
}

void IngestJob::start(const PhotoCore::IngestPlan &plan, const QString &destination, const QString &backup,
                      const QString &logPath)
{
    if (m_running)
        return;
    m_running = true;
    const QPointer<IngestJob> self(this);
    const std::shared_ptr<Shared> shared = m_shared;
    m_pool.start([self, shared, plan, destination, backup, logPath] {
        const auto report = [self, shared](const PhotoCore::IngestProgress &at) {
            if (!shared->reportPending.exchange(true)) {
                postToGuiThread([self, shared, at] {
                    shared->reportPending = false;
                    if (self && self->m_running)
                        emit self->progress(at);
                });
            }
            return !shared->cancelled;
        };
        PhotoCore::IngestLog log(logPath);
        const PhotoCore::IngestResult result = PhotoCore::runIngest(plan, destination, backup, &log, report);
        postToGuiThread([self, result] {
            if (!self)
                return;
            self->m_running = false;
            emit self->finished(result);
        });
    });
}

void IngestJob::cancel()
{
    m_shared->cancelled = true;
}
