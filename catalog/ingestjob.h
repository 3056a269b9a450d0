#pragma once

#include "catalog/backgroundfilejob.h"
#include "core/ingest.h"

#include <QString>

// One import from a card in the background.
class IngestJob : public BackgroundFileJob
{
    Q_OBJECT
public:
    explicit IngestJob(QObject *parent = nullptr);

    // Copies the new photos of `plan`; imported photos go into the log at `logPath`.
    void start(const PhotoCore::IngestPlan &plan, const QString &destination, const QString &backup,
               const QString &logPath);

signals:
    void progress(const PhotoCore::IngestProgress &progress);
    void finished(const PhotoCore::IngestResult &result);
};

Q_DECLARE_METATYPE(PhotoCore::IngestProgress)
Q_DECLARE_METATYPE(PhotoCore::IngestResult)
