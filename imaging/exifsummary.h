#pragma once

#include <QString>
#include <QtGlobal>

// Display-ready EXIF facts of one photo. Every text is empty when absent.
struct ExifSummary
{
    QString make;
    QString model;
    QString lens;
    QString captured;     // as stored, "YYYY:MM:DD HH:MM:SS"
    QString exposure;     // "1/250 s", "2.5 s"
    QString aperture;     // "f/2.8"
    QString iso;          // "400"
    QString focalLength;  // "24.5 mm"
    QString compensation; // "-0.667 EV"
    int pixelWidth = 0;
    int pixelHeight = 0;
    qint64 fileSize = 0;
};

// Reads the summary from the file's TIFF header or its Exif APP1 data (searched in
// the first MiB). Never fails loudly: whatever cannot be read stays empty. Cheap
// enough for the GUI thread: the file is mapped and only IFD0 and the Exif IFD are read.
ExifSummary readExifSummary(const QString &path);

// The same, over bytes already in memory (a whole file); fileSize is the length.
ExifSummary readExifSummary(const uchar *bytes, qint64 length);
