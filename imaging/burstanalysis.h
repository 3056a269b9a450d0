#pragma once

#include "core/burstrules.h"
#include "imaging/focuspoints.h"

#include <QImage>
#include <QRectF>
#include <QString>
#include <QtGlobal>

// The pictures burst grouping and sharpness ranking look at, and the two
// measures taken of them. Stateless and reentrant: called on worker threads.

// The width the reduced decode aims at: enough for a focus measure to tell a
// sharp frame from a slightly shaken one, a sixteenth of the pixels of 24 MP.
constexpr int burstAnalysisWidth = 1500;

// The photo's luma (Format_Grayscale8), decoded at a reduced scale: a JPEG at
// the DCT scale that brings its longer side nearest `width` (never below two
// thirds of it, when the photo is that large), a RAW file through its largest embedded preview, anything
// else through Qt's reader scaled down. Upright, as focus points are given.
// Null when nothing could be decoded.
QImage reducedLuma(const QString &path, int width = burstAnalysisWidth);

// A 64-bit difference hash of `luma` (Format_Grayscale8): the picture reduced
// to 9 × 8 by area averaging, one bit per pair of horizontal neighbours, set
// where the left one is darker. Brightness and small shifts move few bits;
// another scene moves about half. 0 for a null image.
quint64 differenceHash(const QImage &luma);

// A focus measure of `luma` (Format_Grayscale8): the variance of its
// Laplacian, and less so of the Laplacian of the picture at half size, each
// less what the picture's own pixel noise (estimated apart, where it is
// measured) puts there, and counting the less the closer it comes to that
// noise, so that a noisy frame does not pass for a detailed one. Divided by
// the squared mean brightness so that a frame exposed a little brighter does
// not look sharper. Over `region` (a fraction of the picture, 0…1 on both
// axes) when it is valid and not empty, else over the best eighth of 8 × 6
// tiles, so that a subject in focus before a soft background counts and not
// the background. Comparable only between frames of one scene; 0 for a null
// or flat image.
double sharpness(const QImage &luma, const QRectF &region = QRectF());

// Where the camera focused, as a region for sharpness(): around the points in
// focus (else the selected ones, else the primary one), at least a tenth of
// the picture wide and high. Invalid when the camera recorded none.
QRectF focusRegion(const FocusPoints &focus);

// Capture time, exposure compensation, hash and sharpness of a photo file,
// the sharpness taken where the camera focused when it recorded that.
PhotoCore::BurstFacts analyseBurstFrame(const QString &path);
