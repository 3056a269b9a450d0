#pragma once

#include "catalog/backgroundfilejob.h"
#include "core/phototransfer.h"

#include <QString>

// One copy or move of photos into a folder in the background.
class PhotoTransferJob : public BackgroundFileJob
{
    Q_OBJECT
public:
    explicit PhotoTransferJob(QObject *parent = nullptr);

    void start(const QList<PhotoCore::TransferGroup> &groups, const QString &targetDir, PhotoCore::TransferMode mode);

signals:
    // `file` is the source at hand.
    void progress(qint64 doneBytes, qint64 totalBytes, const QString &file);
    void finished(const PhotoCore::TransferResult &result);
};

Q_DECLARE_METATYPE(PhotoCore::TransferResult)
