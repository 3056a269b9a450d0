#include "imaging/ingestfacts.h"

#include "imaging/exifsummary.h"

PhotoCore::IngestFacts readIngestFacts(const QString &path)
{
    const ExifSummary summary = readExifSummary(path);
    PhotoCore::IngestFacts facts{captureTime(summary), cameraName(summary)};
    if (!facts.captured.isValid())
        facts.captured = readCaptureTime(path);
    return facts;
}
