#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QLocale>
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
    // Exif ColorSpace (1: sRGB, 0xFFFF: uncalibrated; 0 when absent) and the
    // interoperability index ("R98", "R03"), which together name the colour
    // space of a camera JPEG that carries no ICC profile.
    int colourSpace = 0;
    QString interopIndex;
    QString subSecond;    // SubSecTimeOriginal digits, "62" meaning .62 s
    QString offset;       // OffsetTimeOriginal, "+01:00"
};

// Reads the summary from the file's TIFF header or its Exif APP1 data (searched in
// the first MiB). Never fails loudly: whatever cannot be read stays empty. Cheap
// enough for the GUI thread: the file is mapped and only IFD0 and the Exif IFD are read.
ExifSummary readExifSummary(const QString &path);

// The same, over bytes already in memory (a whole file); fileSize is the length.
ExifSummary readExifSummary(const uchar *bytes, qint64 length);

// The bytes of a tag of IFD0 (of a TIFF-structured file, or of the Exif data of
// a JPEG), such as the ICC profile (34675); empty when absent or out of range.
QByteArray readIfd0Bytes(const uchar *bytes, qint64 length, quint16 tag);

// The camera as people name it: "Canon EOS 6D" rather than "Canon Canon EOS
// 6D" (the make is left out when the model starts with it or its first word).
QString cameraName(const ExifSummary &summary);

// The moment of capture: DateTimeOriginal (or DateTime) with its fraction of
// a second and, when the file has one, its offset from UTC; times without an
// offset are kept as clock readings (Qt::LocalTime). Invalid when absent or
// unreadable.
QDateTime captureTime(const ExifSummary &summary);

// The capture time of a photo file, from its own headers only (Exif of JPEG
// and TIFF-structured files, the embedded Exif of RAW formats).
QDateTime readCaptureTime(const QString &path);

// The capture time for people: the locale's short date, the time with
// seconds, and the offset from UTC when known ("09.02.17 19:51:38 UTC+01:00").
// The stored text when it cannot be read as a date.
QString formatCaptureTime(const ExifSummary &summary, const QLocale &locale);
