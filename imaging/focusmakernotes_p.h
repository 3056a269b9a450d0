#pragma once

// Readers of the autofocus records of each maker, for focuspoints.cpp; not
// for other layers. Each gives points in the stored (not yet oriented) frame
// and leaves the checks every record must pass to checkedPoints.

#include "imaging/focuspoints.h"
#include "imaging/tiffview_p.h"

namespace focusnotes {

// What the readers need to know of the photo around its maker notes.
struct Photo
{
    QString make;
    QString model;
    // The stored photo's size in pixels (Exif pixel dimensions, or the JPEG
    // frame's); 0 when unknown.
    int width = 0;
    int height = 0;
    // The size of the picture the points are drawn on: a copy resized by other
    // software keeps the camera's records, in the camera's frame, under a
    // smaller picture. 0 when unknown.
    int frameWidth = 0;
    int frameHeight = 0;
};

// Whether a record made in a frame of `width` by `height` can be carried onto
// the photo by proportion: true when the photo's frame is unknown or has the
// same aspect ratio within 1 %. A different ratio means a crop, where the
// same fractions would land on other subjects.
bool fitsFrame(double width, double height, const Photo &photo);

// The maker notes whose data starts at `note` (absolute) and runs `length`
// bytes, with `tiff` the TIFF structure holding them.
FocusPoints readMakerNote(const tiffview::TiffView &tiff, qint64 note, qint64 length, const Photo &photo);

// The Canon maker-note IFD at `ifd` of `tiff` (also the first IFD of the
// maker-note box of ISO media RAW files).
FocusPoints readCanonIfd(const tiffview::TiffView &tiff, quint32 ifd, const Photo &photo);

// EXIF SubjectArea (tag 37396) of the Exif IFD.
FocusPoints readSubjectArea(const tiffview::TiffView &tiff, quint32 exifIfd, const Photo &photo);

// `points` when every point lies inside the photo with a size of at most the
// photo's, and there are not absurdly many; otherwise empty.
FocusPoints checkedPoints(FocusPoints points);

} // namespace focusnotes
