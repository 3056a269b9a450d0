#pragma once

#include <QByteArray>
#include <QColorSpace>
#include <QImage>
#include <QString>
#include <QtGlobal>

// Where a photo's pixels live in colour, found in this order: the ICC profile
// the decoder attached (or one embedded in the file), the camera rule for
// JPEGs without one (Exif ColorSpace "uncalibrated" with interoperability
// index "R03" means Adobe RGB (1998)), and sRGB otherwise.
struct SourceColour
{
    QColorSpace space;   // invalid when the profile cannot be applied
    QString name;        // "sRGB", "Adobe RGB (1998)", "Display P3", or the profile's own name
    bool applied = true; // false: a profile is there, but not one we can convert from
};

// The source colour of `decoded`, read from the photo file's bytes where the
// decoded image carries no usable colour space.
SourceColour sourceColourOf(const QImage &decoded, const uchar *bytes, qint64 length);
SourceColour sourceColourOf(const QImage &decoded, const QString &path);

// The ICC profile embedded in a JPEG (APP2 chunks, joined in order), PNG
// (iCCP) or TIFF-structured file (tag 34675); empty when there is none.
QByteArray findEmbeddedIccProfile(const uchar *bytes, qint64 length);

// The profile's description ('desc' or 'mluc' tag); empty when unreadable.
QString iccProfileDescription(const QByteArray &icc);

// A person's name for a colour space: the common spaces by their usual names,
// others by their profile description.
QString colourSpaceName(const QColorSpace &space);
