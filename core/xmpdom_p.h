#pragma once

// The sidecar as a DOM, for xmpsidecar.cpp and the tests of its parts alone:
// nothing outside the XMP reader and writer works on the tree.

#include "core/metadata.h"

#include <QByteArray>
#include <QDomDocument>
#include <QDomElement>
#include <QDomNode>
#include <QList>
#include <QString>

namespace PhotoCore {

// Namespace URIs. The own and the legacy URI are stored in users' sidecars and
// must never change.
extern const QString xmpMetaNamespace;   // "adobe:ns:meta/"
extern const QString rdfNamespace;       // "http://www.w3.org/1999/02/22-rdf-syntax-ns#"
extern const QString xmpNamespace;       // "http://ns.adobe.com/xap/1.0/"
extern const QString ownNamespace;       // where RotationDelta is written
extern const QString legacyNamespace;    // RotationDelta of earlier versions, read only

// ---- Reading -------------------------------------------------------------

// Builds `document` from `xml` with the same acceptance rules as
// isAcceptableXml. Unlike QDomDocument::setContent it keeps whitespace-only
// text, comments and processing instructions; names stay as written
// ("prefix:local") and namespace declarations stay ordinary attributes.
// Returns false (and leaves `document` unspecified) when `xml` is refused.
bool loadSidecarDocument(const QByteArray &xml, QDomDocument &document);

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
