#include "catalog/ingestjob.h"

IngestJob::IngestJob(QObject *parent)
    : BackgroundFileJob(parent)
{
}

void IngestJob::start(const PhotoCore::IngestPlan &plan, const QString &destination, const QString &backup,
                      const QString &logPath)
{
    runOnce([this, plan, destination, backup, logPath](const Reporter &report) -> std::function<void()> {
        PhotoCore::IngestLog log(logPath);
        const PhotoCore::IngestResult result = PhotoCore::runIngest(
            plan, destination, backup, &log, [this, &report](const PhotoCore::IngestProgress &at) {
                return report([this, at] { emit progress(at); });
            });
        return [this, result] { emit finished(result); };
    });
}
