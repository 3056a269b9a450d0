#pragma once

#include <QImage>
#include <QSize>
#include <QString>

// A picture of a camera RAW file made by the RAW library itself, for the
// formats whose files carry no JPEG preview the TIFF walk or the stream scan
// finds (CIFF, MRW, bitmap thumbnails, sensor data only). The thumbnail the
// library extracts is taken when it is large enough; otherwise the sensor
// data is developed at half size (no demosaic: each 2 × 2 cell becomes one
// pixel), within rawMemoryLimitMiB. Safe to call from any thread.
class RawLibraryPreview
{
public:
    struct Result
    {
        QImage image;  // upright, RGB32 or a JPEG's own format; null on failure
        QSize sensor;  // the developed photo's full size, upright; empty when unknown
        bool rendered = false; // from sensor data, not the thumbnail
    };

    // A picture whose longer side reaches `side` where the file allows it; a
    // `side` of 0 asks for the half-size render unless the thumbnail is as large.
    static Result decode(const QString &path, int side);
};
