#pragma once

#include "core/metadata.h"

#include <QByteArray>
#include <QString>

// The marks in a photo's XMP sidecar, read and written. Which file that is
// follows sidecarpaths.h.
namespace PhotoCore {

// ---- Reading -------------------------------------------------------------

// True when the stream reader (namespace processing on) reads `xml` to the end
// without error and it holds no document type declaration. Empty, truncated and
// malformed documents and undeclared prefixes are refused.
bool isAcceptableXml(const QByteArray &xml);

// The marks of a photo from its sidecar; the default record when there is no
// sidecar or it cannot be read with certainty. Never changes a file.
Metadata readMetadata(const QString &photoPath);

// The marks held by sidecar content `xml` (the default record when refused).
Metadata metadataFromXml(const QByteArray &xml);

// ---- Writing -------------------------------------------------------------

// Writes `record` into the photo's sidecar, creating it or replacing only the
// managed properties of an existing one, through a safe-save file. Returns
// true when the sidecar now holds the record; on false the sidecar is
// unchanged byte for byte and no temporary file is left.
bool writeMetadata(const QString &photoPath, const Metadata &record);

// The content writeMetadata would store: `existing` updated with `record`, or
// a new sidecar when `existing` is null. False when the existing content is
// refused or the result would not be acceptable.
bool renderSidecar(const QByteArray *existing, const Metadata &record, QByteArray &output);

} // namespace PhotoCore
