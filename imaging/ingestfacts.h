#pragma once

#include "core/ingestplan.h"

// The capture time and camera of a photo for planning an import, from its
// own headers (Exif of JPEG and TIFF-structured files, the embedded Exif of
// RAW formats); empty where they say nothing.
PhotoCore::IngestFacts readIngestFacts(const QString &path);
