#include "core/xmpsidecar.h"

#include "core/safefileio.h"
#include "core/sidecarpaths.h"
#include "core/xmpdom_p.h"

#include <QDomNamedNodeMap>
#include <QFileInfo>
#include <QVarLengthArray>
#include <QXmlStreamReader>

#include <algorithm>

namespace PhotoCore {

const QString xmpMetaNamespace = QStringLiteral("adobe:ns:meta/");
const QString rdfNamespace = QStringLiteral("http://www.w3.org/1999/02/22-rdf-syntax-ns#");
const QString xmpNamespace = QStringLiteral("http://ns.adobe.com/xap/1.0/");
const QString ownNamespace = QStringLiteral("https://www.quillmark.net/ns/glanceway/1.0/");
const QString legacyNamespace = QStringLiteral("https://www.pellowick.net/ns/1.0/");

namespace {

// Real sidecars nest a dozen levels at most and weigh kilobytes (megabytes
// with embedded previews). Anything beyond these limits is not a sidecar we
// can handle with certainty, and deep trees would exhaust the stack in the
// DOM's recursive teardown.
constexpr int maxElementDepth = 256;
constexpr qint64 maxSidecarBytes = 64 * 1024 * 1024;

QStringView localNameOf(const QString &qualifiedName)
{
    const qsizetype colon = qualifiedName.lastIndexOf(QLatin1Char(':'));
    return colon < 0 ? QStringView(qualifiedName) : QStringView(qualifiedName).mid(colon + 1);
}

QString prefixOf(const QString &qualifiedName)
{
    const qsizetype colon = qualifiedName.indexOf(QLatin1Char(':'));
    return colon < 0 ? QString() : qualifiedName.left(colon);
}

bool isNamespaceDeclaration(const QString &attributeName)
{
    return attributeName == QLatin1String("xmlns") || attributeName.startsWith(QLatin1String("xmlns:"));
}

bool isElementNamed(const QDomElement &element, const QString &uri, QLatin1String localName)
{
    return localNameOf(element.tagName()) == localName && namespaceUriOf(element) == uri;
}

// The value of an rdf-namespace attribute `localName` of `element`, and whether
// one is present at all.
bool rdfAttribute(const QDomElement &element, QLatin1String localName, QString *value)
{
    const QDomNamedNodeMap attributes = element.attributes();
    for (int i = 0; i < attributes.count(); ++i) {
        const QDomAttr attribute = attributes.item(i).toAttr();
        if (localNameOf(attribute.name()) == localName && namespaceUriOf(attribute) == rdfNamespace) {
            if (value)
                *value = attribute.value();
            return true;
        }
    }
    return false;
}

// The attributes of `element`, ordered by name: the DOM enumerates them in
// hash order, which changes from one process to the next.
QList<QDomAttr> sortedAttributes(const QDomElement &element)
{
    const QDomNamedNodeMap map = element.attributes();
    QList<QDomAttr> attributes;
    attributes.reserve(map.count());
    for (int i = 0; i < map.count(); ++i)
        attributes.append(map.item(i).toAttr());
    std::sort(attributes.begin(), attributes.end(),
              [](const QDomAttr &a, const QDomAttr &b) { return a.name() < b.name(); });
    return attributes;
}

// A default-constructed QDomDocument is null until an element is created, and
// appending to a null node silently does nothing.
QDomDocument emptyDocument()
{
    return QDomDocument(QDomDocumentType());
}

} // namespace

// ---- Reading -------------------------------------------------------------

bool isAcceptableXml(const QByteArray &xml)
{
    QXmlStreamReader reader(xml);
    while (!reader.atEnd()) {
        if (reader.readNext() == QXmlStreamReader::DTD)
            return false;
    }
    return !reader.hasError();
}

bool loadSidecarDocument(const QByteArray &xml, QDomDocument &document)
{
    document = emptyDocument();
    QXmlStreamReader reader(xml);
    QDomNode parent = document;
    int depth = 0;
    while (!reader.atEnd()) {
        switch (reader.readNext()) {
        case QXmlStreamReader::DTD:
        case QXmlStreamReader::EntityReference: // only possible with a DTD
            return false;
        case QXmlStreamReader::StartElement: {
            if (++depth > maxElementDepth)
                return false;
            QDomElement element = document.createElement(reader.qualifiedName().toString());
            const QXmlStreamNamespaceDeclarations declarations = reader.namespaceDeclarations();
            for (const QXmlStreamNamespaceDeclaration &declaration : declarations) {
                const QString name = declaration.prefix().isEmpty()
                                         ? QStringLiteral("xmlns")
                                         : QLatin1String("xmlns:") + declaration.prefix().toString();
                element.setAttribute(name, declaration.namespaceUri().toString());
            }
            const QXmlStreamAttributes attributes = reader.attributes();
            for (const QXmlStreamAttribute &attribute : attributes)
                element.setAttribute(attribute.qualifiedName().toString(), attribute.value().toString());
            parent.appendChild(element);
            parent = element;
            break;
        }
        case QXmlStreamReader::EndElement:
            --depth;
            parent = parent.parentNode();
            break;
        case QXmlStreamReader::Characters:
            if (reader.isCDATA())
                parent.appendChild(document.createCDATASection(reader.text().toString()));
            else
                parent.appendChild(document.createTextNode(reader.text().toString()));
            break;
        case QXmlStreamReader::Comment:
            parent.appendChild(document.createComment(reader.text().toString()));
            break;
        case QXmlStreamReader::ProcessingInstruction:
            parent.appendChild(document.createProcessingInstruction(
                reader.processingInstructionTarget().toString(),
                reader.processingInstructionData().toString()));
            break;
        default:
            break;
        }
    }
    return !reader.hasError() && !document.documentElement().isNull();
}

Metadata metadataFromDocument(const QDomDocument &document)
{
    Metadata record;
    const QList<QDomElement> descriptions = findDescriptions(document);
    for (const QDomElement &description : descriptions) {
        for (const QDomAttr &attribute : sortedAttributes(description))
            applyProperty(record, attribute, attribute.value());
        for (QDomElement child = description.firstChildElement(); !child.isNull();
             child = child.nextSiblingElement()) {
            if (isSimpleElement(child))
                applyProperty(record, child, child.text());
        }
    }
    return record;
}

namespace {

bool isManagedLocalName(QStringView localName)
{
    return localName == QLatin1String("Rating") || localName == QLatin1String("Label")
           || localName == QLatin1String("RotationDelta");
}

void applyResolved(Metadata &record, QStringView uri, QStringView localName, QStringView value)
{
    bool ok = false;
    if (uri == xmpNamespace) {
        if (localName == QLatin1String("Rating")) {
            const int stars = value.toInt(&ok, 10);
            if (ok) {
                record.rejected = stars < 0;
                record.rating = clampRating(stars);
            }
        } else if (localName == QLatin1String("Label")) {
            record.label = value.toString();
        }
    } else if ((uri == ownNamespace || uri == legacyNamespace) && localName == QLatin1String("RotationDelta")) {
        const int degrees = value.toInt(&ok, 10);
        if (ok)
            record.rotation = normalizeRotation(degrees);
    }
}

bool isRdf(QStringView uri, QStringView name, QLatin1String expected)
{
    return name == expected && uri == rdfNamespace;
}

} // namespace

// The folder scan reads thousands of sidecars, so this gives the result of
// metadataFromDocument(loadSidecarDocument(xml)) in one stream pass without
// building a DOM. The stream reader resolves the prefixes that the DOM path
// resolves by walking declarations; the fuzz test holds the two together.
Metadata metadataFromXml(const QByteArray &xml)
{
    QXmlStreamReader reader(xml);
    Metadata record;
    int depth = 0;
    int rdfDepth = 0;        // depth of the rdf:RDF element, 0 before it is found
    bool inRdf = false;
    bool inDescription = false;
    bool simple = false;     // the open property element can still be read
    QString propertyUri;
    QString propertyName;
    QString text;
    QVarLengthArray<const QXmlStreamAttribute *, 8> managed;

    while (!reader.atEnd()) {
        switch (reader.readNext()) {
        case QXmlStreamReader::DTD:
        case QXmlStreamReader::EntityReference:
            return {};
        case QXmlStreamReader::StartElement: {
            if (++depth > maxElementDepth)
                return {};
            const QStringView uri = reader.namespaceUri();
            const QStringView name = reader.name();
            if (depth == 1) {
                if (isRdf(uri, name, QLatin1String("RDF"))) {
                    rdfDepth = 1;
                    inRdf = true;
                } else if (name != QLatin1String("xmpmeta") || uri != xmpMetaNamespace) {
                    return {};
                }
            } else if (depth == 2 && rdfDepth != 1 && isRdf(uri, name, QLatin1String("RDF"))) {
                if (rdfDepth != 0)
                    return {}; // an ambiguous packet is not used at all
                rdfDepth = 2;
                inRdf = true;
            } else if (inRdf && depth == rdfDepth + 1) {
                if (!isRdf(uri, name, QLatin1String("Description")))
                    break;
                const QXmlStreamAttributes all = reader.attributes();
                bool qualifies = true;
                managed.clear();
                for (const QXmlStreamAttribute &attribute : all) {
                    const QStringView local = attribute.name();
                    if (attribute.namespaceUri() == rdfNamespace) {
                        if ((local == QLatin1String("about") && !attribute.value().isEmpty())
                            || local == QLatin1String("nodeID") || local == QLatin1String("ID"))
                            qualifies = false;
                    } else if (isManagedLocalName(local) && !attribute.prefix().isEmpty()) {
                        managed.append(&attribute);
                    }
                }
                if (!qualifies)
                    break;
                inDescription = true;
                // Same order as the DOM path, which matters only when two
                // prefixes of one namespace carry the same property.
                std::sort(managed.begin(), managed.end(), [](const auto *a, const auto *b) {
                    return a->qualifiedName() < b->qualifiedName();
                });
                for (const QXmlStreamAttribute *attribute : std::as_const(managed))
                    applyResolved(record, attribute->namespaceUri(), attribute->name(), attribute->value());
            } else if (inDescription && depth == rdfDepth + 2) {
                // Namespace declarations are not among the reported attributes.
                simple = isManagedLocalName(name) && reader.attributes().isEmpty();
                if (simple) {
                    propertyUri = uri.toString();
                    propertyName = name.toString();
                    text.clear();
                }
            } else if (inDescription && depth == rdfDepth + 3) {
                simple = false; // structured value
            }
            break;
        }
        case QXmlStreamReader::EndElement:
            if (inDescription && depth == rdfDepth + 2 && simple)
                applyResolved(record, propertyUri, propertyName, text);
            else if (inDescription && depth == rdfDepth + 1)
                inDescription = false;
            else if (inRdf && depth == rdfDepth)
                inRdf = false;
            --depth;
            break;
        case QXmlStreamReader::Characters:
            if (inDescription && depth == rdfDepth + 2 && simple)
                text += reader.text();
            break;
        default:
            break;
        }
    }
    return reader.hasError() ? Metadata() : record;
}

Metadata readMetadata(const QString &photoPath)
{
    QByteArray bytes;
    if (readRegularFile(sidecarPathFor(photoPath), maxSidecarBytes, bytes) != FileReadResult::Read)
        return {};
    return metadataFromXml(bytes);
}

QList<QDomElement> findDescriptions(const QDomDocument &document)
{
    const QDomElement root = document.documentElement();
    QDomElement rdf;
    if (isElementNamed(root, rdfNamespace, QLatin1String("RDF"))) {
        rdf = root;
    } else if (isElementNamed(root, xmpMetaNamespace, QLatin1String("xmpmeta"))) {
        for (QDomElement child = root.firstChildElement(); !child.isNull();
             child = child.nextSiblingElement()) {
            if (!isElementNamed(child, rdfNamespace, QLatin1String("RDF")))
                continue;
            if (!rdf.isNull())
                return {}; // an ambiguous packet is not used at all
            rdf = child;
        }
    }
    if (rdf.isNull())
        return {};

    QList<QDomElement> descriptions;
    for (QDomElement child = rdf.firstChildElement(); !child.isNull(); child = child.nextSiblingElement()) {
        if (!isElementNamed(child, rdfNamespace, QLatin1String("Description")))
            continue;
        QString about;
        if (rdfAttribute(child, QLatin1String("about"), &about) && !about.isEmpty())
            continue; // describes another resource
        if (rdfAttribute(child, QLatin1String("nodeID"), nullptr)
            || rdfAttribute(child, QLatin1String("ID"), nullptr))
            continue;
        descriptions.append(child);
    }
    return descriptions;
}

// ---- DOM helpers ---------------------------------------------------------

QString lookupNamespace(const QDomElement &element, const QString &prefix)
{
    const QString declaration = prefix.isEmpty() ? QStringLiteral("xmlns") : QLatin1String("xmlns:") + prefix;
    for (QDomElement e = element; !e.isNull(); e = e.parentNode().toElement()) {
        const QDomAttr attribute = e.attributeNode(declaration);
        if (!attribute.isNull())
            return attribute.value();
    }
    return QString();
}

QString namespaceUriOf(const QDomNode &node)
{
    if (node.isAttr()) {
        const QDomAttr attribute = node.toAttr();
        const QString prefix = prefixOf(attribute.name());
        if (prefix.isEmpty())
            return QString();
        return lookupNamespace(attribute.ownerElement(), prefix);
    }
    if (node.isElement()) {
        const QDomElement element = node.toElement();
        return lookupNamespace(element, prefixOf(element.tagName()));
    }
    return QString();
}

bool isProperty(const QDomNode &node, const QString &uri, const QString &localName)
{
    return localNameOf(node.nodeName()) == localName && namespaceUriOf(node) == uri;
}

bool isSimpleElement(const QDomElement &element)
{
    if (!element.firstChildElement().isNull())
        return false;
    const QDomNamedNodeMap attributes = element.attributes();
    for (int i = 0; i < attributes.count(); ++i) {
        if (!isNamespaceDeclaration(attributes.item(i).nodeName()))
            return false;
    }
    return true;
}

void applyProperty(Metadata &record, const QDomNode &node, const QString &value)
{
    static const QString rating = QStringLiteral("Rating");
    static const QString label = QStringLiteral("Label");
    static const QString rotationDelta = QStringLiteral("RotationDelta");

    // Most attributes are foreign properties: reject them on the local name
    // before resolving any prefix.
    const QStringView local = localNameOf(node.nodeName());
    if (local != rating && local != label && local != rotationDelta)
        return;

    bool ok = false;
    if (isProperty(node, xmpNamespace, rating)) {
        const int stars = value.toInt(&ok, 10);
        if (ok) {
            record.rejected = stars < 0;
            record.rating = clampRating(stars);
        }
    } else if (isProperty(node, xmpNamespace, label)) {
        record.label = value;
    } else if (isProperty(node, ownNamespace, rotationDelta) || isProperty(node, legacyNamespace, rotationDelta)) {
        const int degrees = value.toInt(&ok, 10);
        if (ok)
            record.rotation = normalizeRotation(degrees);
    }
}

// ---- Writing -------------------------------------------------------------

bool isManagedProperty(const QDomNode &node)
{
    return isProperty(node, xmpNamespace, QStringLiteral("Rating"))
           || isProperty(node, xmpNamespace, QStringLiteral("Label"))
           || isProperty(node, ownNamespace, QStringLiteral("RotationDelta"))
           || isProperty(node, legacyNamespace, QStringLiteral("RotationDelta"));
}

QString declarePrefix(QDomElement &element, const QString &preferred, const QString &uri)
{
    QString candidate = preferred;
    for (int counter = 1;; ++counter) {
        const QString bound = lookupNamespace(element, candidate);
        if (bound.isEmpty() || bound == uri)
            break;
        candidate = preferred + QString::number(counter);
    }
    element.setAttribute(QLatin1String("xmlns:") + candidate, uri);
    return candidate;
}

QDomDocument newSidecarDocument()
{
    QDomDocument document = emptyDocument();
    QDomElement meta = document.createElement(QStringLiteral("x:xmpmeta"));
    meta.setAttribute(QStringLiteral("xmlns:x"), xmpMetaNamespace);
    document.appendChild(meta);
    QDomElement rdf = document.createElement(QStringLiteral("rdf:RDF"));
    rdf.setAttribute(QStringLiteral("xmlns:rdf"), rdfNamespace);
    meta.appendChild(rdf);
    QDomElement description = document.createElement(QStringLiteral("rdf:Description"));
    description.setAttribute(QStringLiteral("rdf:about"), QString());
    rdf.appendChild(description);
    return document;
}

namespace {

void appendEscaped(QString &out, const QString &text, bool inAttribute)
{
    for (const QChar c : text) {
        switch (c.unicode()) {
        case '&': out += QLatin1String("&amp;"); break;
        case '<': out += QLatin1String("&lt;"); break;
        case '>': out += QLatin1String("&gt;"); break;
        case '\r': out += QLatin1String("&#xD;"); break;
        case '"':
            out += inAttribute ? QLatin1String("&quot;") : QLatin1String("\"");
            break;
        case '\n':
            out += inAttribute ? QLatin1String("&#xA;") : QLatin1String("\n");
            break;
        case '\t':
            out += inAttribute ? QLatin1String("&#x9;") : QLatin1String("\t");
            break;
        default: out += c; break;
        }
    }
}

// Attribute order on output: rdf:about, namespace declarations, then the
// properties, each group by name. The DOM keeps no source order, and a stable
// order keeps rewrites of an unchanged record byte-identical.
int attributeRank(const QString &name)
{
    if (name == QLatin1String("rdf:about"))
        return 0;
    return isNamespaceDeclaration(name) ? 1 : 2;
}

void serializeNode(QString &out, const QDomNode &node)
{
    switch (node.nodeType()) {
    case QDomNode::ElementNode: {
        const QDomElement element = node.toElement();
        QList<QDomAttr> attributes = sortedAttributes(element);
        std::stable_sort(attributes.begin(), attributes.end(), [](const QDomAttr &a, const QDomAttr &b) {
            return attributeRank(a.name()) < attributeRank(b.name());
        });
        out += QLatin1Char('<') + element.tagName();
        for (const QDomAttr &attribute : std::as_const(attributes)) {
            out += QLatin1Char(' ') + attribute.name() + QLatin1String("=\"");
            appendEscaped(out, attribute.value(), true);
            out += QLatin1Char('"');
        }
        if (!element.hasChildNodes()) {
            out += QLatin1String("/>");
            break;
        }
        out += QLatin1Char('>');
        for (QDomNode child = element.firstChild(); !child.isNull(); child = child.nextSibling())
            serializeNode(out, child);
        out += QLatin1String("</") + element.tagName() + QLatin1Char('>');
        break;
    }
    case QDomNode::TextNode:
        appendEscaped(out, node.nodeValue(), false);
        break;
    case QDomNode::CDATASectionNode:
        out += QLatin1String("<![CDATA[") + node.nodeValue() + QLatin1String("]]>");
        break;
    case QDomNode::CommentNode:
        out += QLatin1String("<!--") + node.nodeValue() + QLatin1String("-->");
        break;
    case QDomNode::ProcessingInstructionNode: {
        const QDomProcessingInstruction pi = node.toProcessingInstruction();
        out += QLatin1String("<?") + pi.target();
        if (!pi.data().isEmpty())
            out += QLatin1Char(' ') + pi.data();
        out += QLatin1String("?>");
        break;
    }
    default:
        break;
    }
}

QByteArray serializeDocument(const QDomDocument &document)
{
    QString out = QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n");
    // The stream reader reports no whitespace outside the root element, so
    // the packet wrapper's instructions get a line of their own again.
    bool first = true;
    for (QDomNode node = document.firstChild(); !node.isNull(); node = node.nextSibling()) {
        if (node.isProcessingInstruction() && node.toProcessingInstruction().target() == QLatin1String("xml"))
            continue;
        if (!node.isElement() && !node.isProcessingInstruction() && !node.isComment())
            continue;
        if (!first)
            out += QLatin1Char('\n');
        first = false;
        serializeNode(out, node);
    }
    return out.toUtf8();
}

} // namespace

bool renderSidecar(const QByteArray *existing, const Metadata &record, QByteArray &output)
{
    QDomDocument document;
    if (existing) {
        if (!loadSidecarDocument(*existing, document))
            return false;
    } else {
        document = newSidecarDocument();
    }

    QList<QDomElement> descriptions = findDescriptions(document);
    if (descriptions.isEmpty())
        return false;

    // Every description is checked before anything is removed, so a refusal
    // leaves the document as it was.
    for (const QDomElement &description : std::as_const(descriptions)) {
        for (QDomElement child = description.firstChildElement(); !child.isNull();
             child = child.nextSiblingElement()) {
            if (isManagedProperty(child) && !isSimpleElement(child))
                return false;
        }
    }

    for (QDomElement &description : descriptions) {
        QStringList managedAttributes;
        const QDomNamedNodeMap attributes = description.attributes();
        for (int i = 0; i < attributes.count(); ++i) {
            if (isManagedProperty(attributes.item(i)))
                managedAttributes.append(attributes.item(i).nodeName());
        }
        for (const QString &name : std::as_const(managedAttributes))
            description.removeAttribute(name);

        for (QDomElement child = description.firstChildElement(); !child.isNull();) {
            const QDomElement next = child.nextSiblingElement();
            if (isManagedProperty(child))
                description.removeChild(child);
            child = next;
        }
    }

    QDomElement target = descriptions.first();
    const QString xmpPrefix = declarePrefix(target, QStringLiteral("xmp"), xmpNamespace);
    const int rating = record.rejected ? -1 : clampRating(record.rating);
    target.setAttribute(xmpPrefix + QLatin1String(":Rating"), QString::number(rating));
    if (!record.label.isEmpty())
        target.setAttribute(xmpPrefix + QLatin1String(":Label"), record.label);
    const int rotation = normalizeRotation(record.rotation);
    if (rotation != 0) {
        const QString ownPrefix = declarePrefix(target, QStringLiteral("gw"), ownNamespace);
        target.setAttribute(ownPrefix + QLatin1String(":RotationDelta"), QString::number(rotation));
    }

    output = serializeDocument(document);
    // Beyond being acceptable XML, the output must read back as exactly the
    // record written (a label with an unpaired surrogate, for one, would not).
    Metadata expected = record;
    expected.rating = record.rejected ? 0 : clampRating(record.rating);
    expected.rotation = rotation;
    return isAcceptableXml(output) && metadataFromXml(output) == expected;
}

bool writeMetadata(const QString &photoPath, const Metadata &record)
{
    const QString path = sidecarPathFor(photoPath);
    if (path.isEmpty())
        return false;
    const QFileInfo info(path);
    QByteArray existing;
    bool exists = info.exists() || info.isSymLink();
    if (exists) {
        if (info.isSymLink() && !isTrustedLinkTarget(info, photoPath))
            return false;
        if (readRegularFile(path, maxSidecarBytes, existing) != FileReadResult::Read)
            return false;
        // A sidecar with nothing but white space in it holds nobody's data
        // (an interrupted copy, a touched file): it is replaced, not refused.
        exists = !existing.trimmed().isEmpty();
    }

    QByteArray bytes;
    if (!renderSidecar(exists ? &existing : nullptr, record, bytes))
        return false;
    return saveFileSafely(path, bytes);
}

} // namespace PhotoCore
