#pragma once

#include "imaging/colourprofile.h"

#include <QColorSpace>
#include <QImage>
#include <QSize>

// `image` converted from `from` to `to`, tagged with `to`. Unchanged when
// either space is invalid or both are the same. Transforms are built once per
// pair of spaces and shared by every thread, so converting a small image
// (a thumbnail, a photo scaled for the screen) costs only the pixel work.
QImage convertColours(const QImage &image, const QColorSpace &from, const QColorSpace &to);

// Whether pixels in `from` need any work to be shown on `to`.
bool needsConversion(const QColorSpace &from, const QColorSpace &to);

// Whether colour management is on ("view/colourManagement", on by default).
// Read anew on every call.
bool colourManagementEnabled();

// A decoded photo in `target` (sRGB for the thumbnail cache, the display's
// space for the screen) when `manage` is on and the source space can be
// applied; the pixels as stored otherwise.
QImage toColourSpace(const QImage &decoded, const SourceColour &source, const QColorSpace &target, bool manage);

// What the viewer shows at Fit in a `box` on a display of colour space
// `display`: the upright photo smoothly scaled to fit the box, as the viewer
// scales it, then converted. Converting after scaling keeps the pixel work to
// the screen's size.
QImage renderForDisplay(const QImage &decoded, const SourceColour &source, const QSize &box,
                        const QColorSpace &display, bool manage);
