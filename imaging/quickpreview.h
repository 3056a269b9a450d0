#pragma once

#include "imaging/photodecoder.h"

#include <QImage>
#include <QList>
#include <QSize>
#include <QString>

// Pictures a photo file carries besides itself, for showing something at once
// while the real decode runs. Stateless and reentrant, as the decoders are.

// The embedded JPEG streams of a JPEG file, offsets from the start of the
// file: the Exif thumbnail (IFD1) and the MPF large thumbnails. The primary
// image, depth maps and gain maps are not among them.
QList<PreviewCandidate> findJpegEmbeddedPreviews(const uchar *bytes, qint64 length);

// The largest embedded picture that is cheap to decode (at most about 3 MP;
// the smallest one when all are larger): of a JPEG its Exif or MPF thumbnails,
// of a RAW file its previews. Decoded at the DCT scale that covers its fit in
// `fitBox` and upright. Null when the file has none.
QImage decodeQuickPreview(const QString &path, const QSize &fitBox);

// The smallest embedded picture whose longer side covers `side`, decoded to
// fit side × side, else the largest at its own size; upright. What a grid cell
// shows before its real thumbnail. Null when the file has none.
QImage decodeEmbeddedThumbnail(const QString &path, int side);
