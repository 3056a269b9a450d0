#include "catalog/phototransferjob.h"

PhotoTransferJob::PhotoTransferJob(QObject *parent)
    : BackgroundFileJob(parent)
{
}

void PhotoTransferJob::start(const QList<PhotoCore::TransferGroup> &groups, const QString &targetDir,
                             PhotoCore::TransferMode mode)
{
    runOnce([this, groups, targetDir, mode](const Reporter &report) -> std::function<void()> {
        const PhotoCore::TransferResult result = PhotoCore::transferPhotos(
            groups, targetDir, mode, [this, &report](qint64 done, qint64 total, const QString &file) {
                return report([this, done, total, file] { emit progress(done, total, file); });
            });
        return [this, result] { emit finished(result); };
    });
}
