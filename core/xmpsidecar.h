#pragma once

#include "core/metadata.h"

#include <QByteArray>
#include <QDomDocument>
#include <QDomElement>
#include <QDomNode>
#include <QList>
#include <QString>
#include <QStringList>

namespace PhotoCore {

// Namespace URIs. The own and the legacy URI are stored in users' sidecars and
// must never change.
extern const QString xmpMetaNamespace;   // "adobe:ns:meta/"
extern const QString rdfNamespace;       // "http://www.w3.org/1999/02/22-rdf-syntax-ns#"
extern const QString xmpNamespace;       // "http://ns.adobe.com/xap/1.0/"
extern const QString ownNamespace;       // where RotationDelta is written
extern const QString legacyNamespace;    // RotationDelta of earlier versions, read only

// ---- Location ------------------------------------------------------------

// "<dir>/<name without last suffix>.xmp", or the ".XMP" variant when only that
// one exists. Photos differing only in extension share one sidecar. Empty for
// a path without a file name (empty, or ending in a separator).
QString sidecarPathFor(const QString &photoPath);

// The sidecars that may move to the recycle bin with `moving`: those whose
// every user among `allFiles` is being moved. Paths are compared cleaned and
// case-insensitively; the result keeps the order of `allFiles`.
QStringList sidecarsToMoveWith(const QStringList &allFiles, const QStringList &moving);

// ---- Reading -------------------------------------------------------------

// True when the stream reader (namespace processing on) reads `xml` to the end
// without error and it holds no document type declaration. Empty, truncated and
// malformed documents and undeclared prefixes are refused.
bool isAcceptableXml(const QByteArray &xml);

// Builds `document` from `xml` with the same acceptance rules as
// isAcceptableXml. Unlike QDomDocument::setContent it keeps whitespace-only
// text, comments and processing instructions; names stay as written
// ("prefix:local") and namespace declarations stay ordinary attributes.
// Returns false (and leaves `document` unspecified) when `xml` is refused.
bool loadSidecarDocument(const QByteArray &xml, QDomDocument &document);

// The marks of a photo from its sidecar; the default record when there is no
// sidecar or it cannot be read with certainty. Never changes a file.
Metadata readMetadata(const QString &photoPath);

// The marks held by sidecar content `xml` (the default record when refused).
Metadata metadataFromXml(const QByteArray &xml);

// The marks held by a loaded sidecar document: the properties of every
// description from findDescriptions, in document order; later ones win.
Metadata metadataFromDocument(const QDomDocument &document);

// The rdf:Description elements of the packet that describe the photo itself
// (no non-empty rdf:about, no rdf:nodeID or rdf:ID), in document order. Empty
// when the root is neither rdf:RDF nor x:xmpmeta holding exactly one rdf:RDF.
QList<QDomElement> findDescriptions(const QDomDocument &document);

// ---- DOM helpers (names as written, prefixes resolved here) --------------

// The namespace URI of an element or attribute; empty for an unprefixed
// attribute and for unbound prefixes.
QString namespaceUriOf(const QDomNode &node);

// The URI that the nearest "xmlns" / "xmlns:<prefix>" declaration from
// `element` upwards binds `prefix` to; empty when none does.
QString lookupNamespace(const QDomElement &element, const QString &prefix);

// Whether `node` (element or attribute) is `localName` in namespace `uri`.
bool isProperty(const QDomNode &node, const QString &uri, const QString &localName);

// No child elements and no attributes other than namespace declarations.
bool isSimpleElement(const QDomElement &element);

// Applies Rating, Label or RotationDelta carried by `node` with text `value`
// to `record`; other properties and values that do not convert change nothing.
void applyProperty(Metadata &record, const QDomNode &node, const QString &value);

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

// x:xmpmeta > rdf:RDF > rdf:Description rdf:about="" with its declarations.
QDomDocument newSidecarDocument();

// Rating and Label in the XMP namespace, RotationDelta in the own or the
// legacy namespace; any prefix, attribute or element.
bool isManagedProperty(const QDomNode &node);

// Declares `uri` on `element` under `preferred`, or under preferred + 1, 2, …
// when a nearer declaration binds `preferred` to another URI. Returns the
// prefix used.
QString declarePrefix(QDomElement &element, const QString &preferred, const QString &uri);

} // namespace PhotoCore
