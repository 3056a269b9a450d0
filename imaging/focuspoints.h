#pragma once

#include <QList>
#include <QString>
#include <QtGlobal>

#include <optional>

// One autofocus area the camera recorded. Centre and size are fractions
// (0..1) of the photo's width and height; a size of 0 is a point the camera
// recorded without an area. `inFocus` and `selected` are unknown (empty)
// where the camera does not record them.
struct FocusPoint
{
    double x = 0;
    double y = 0;
    double w = 0;
    double h = 0;
    std::optional<bool> inFocus;
    std::optional<bool> selected;

    friend bool operator==(const FocusPoint &a, const FocusPoint &b)
    {
        return a.x == b.x && a.y == b.y && a.w == b.w && a.h == b.h && a.inFocus == b.inFocus
               && a.selected == b.selected;
    }
};

// The focus points of one photo, in the upright photo (its Exif orientation
// applied), and the record they were read from ("Canon AFInfo2", "EXIF
// SubjectArea"). Empty points and source when the photo has no positional
// focus data, or data that does not hold together.
struct FocusPoints
{
    QList<FocusPoint> points;
    QString source;

    bool isEmpty() const { return points.isEmpty(); }
    // Points known to be in focus.
    int inFocusCount() const;
    // Whether the camera recorded which points were in focus.
    bool recordsFocus() const;
    // The point a zoom centres on: among the selected points (all where none
    // is marked selected) the in-focus one nearest the photo's centre, or the
    // nearest of them when none is marked in focus; -1 when empty.
    int primaryIndex() const;
};

// Reads the focus points from the maker notes, else from EXIF SubjectArea, of
// a JPEG, a TIFF-based RAW file (CR2, NEF, ARW, ORF, RW2, DNG), a RAF (its
// embedded JPEG's Exif) or a CR3 (its metadata boxes). Maker notes are hostile
// input: every offset and count is checked against `length`, and a record
// with impossible counts, empty areas or positions outside the photo gives
// nothing rather than a guess. Cheap: only the IFDs on the way are read.
FocusPoints readFocusPoints(const uchar *bytes, qint64 length);
// The same for a file, mapped for the call; empty when it cannot be opened.
FocusPoints readFocusPoints(const QString &path);

// Points in the stored frame of a photo carried into its upright frame by
// the Exif orientation (1..8; anything else changes nothing).
FocusPoints orientFocusPoints(const FocusPoints &stored, int orientation);
// Points of the upright photo carried along the user's display turn
// (degrees clockwise, a multiple of 90; negative turns count backwards).
FocusPoints rotateFocusPoints(const FocusPoints &upright, int degreesClockwise);
