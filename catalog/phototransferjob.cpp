#include "catalog/phototransferjob.h"

#include "catalog/guithread.h"

#include <QPointer>

PhotoTransferJob::PhotoTransferJob(QObject *parent)
    : QObject(parent)
{
    m_pool.setMaxThreadCount(1);
}

PhotoTransferJob::~PhotoTransferJob()
{
    m_shared->cancelled = true;
    m_pool.waitForDone();
}

void PhotoTransferJob::start(const QList<PhotoCore::TransferGroup> &groups, const QString &targetDir,
                             PhotoCore::TransferMode mode)
{
    if (m_running)
        return;
    m_running = true;
    const QPointer<PhotoTransferJob> self(this);
    const std::shared_ptr<Shared> shared = m_shared;
    m_pool.start([self, shared, groups, targetDir, mode] {
        const auto report = [self, shared](qint64 done, qint64 total, const QString &file) {
            if (!shared->reportPending.exchange(true)) {
                postToGuiThread([self, shared, done, total, file] {
                    shared->reportPending = false;
                    if (self && self->m_running)
                        emit self->progress(done, total, file);
                });
            }
            return !shared->cancelled;
        };
        const PhotoCore::TransferResult result = PhotoCore::transferPhotos(groups, targetDir, mode, report);
        postToGuiThread([self, result] {
            if (!self)
                return;
            self->m_running = false;
            emit self->finished(result);
        });
    });
}

void PhotoTransferJob::cancel()
{
    m_shared->cancelled = true;
}
