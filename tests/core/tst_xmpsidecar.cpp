#include "testrecords.h"
#include "core/xmpdom_p.h"
#include "core/xmpsidecar.h"

#include <QtTest>

using PhotoCore::Metadata;

namespace {

const QByteArray xmpUri = "http://ns.adobe.com/xap/1.0/";

QByteArray packet(const QByteArray &descriptions)
{
    return "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\"><rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\">"
           + descriptions + "</rdf:RDF></x:xmpmeta>";
}

// An opening tag of a description of the photo itself with "xmp" declared.
const QByteArray desc = "<rdf:Description rdf:about=\"\" xmlns:xmp=\"http://ns.adobe.com/xap/1.0/\"";

QByteArray readAll(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.readAll();
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray fixture(const QString &name)
{
    return readAll(QStringLiteral(GLANCEWAY_TESTDATA "/xmp/") + name);
}

QStringList entries(const QString &dir)
{
    return QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

} // namespace

class TestXmpSidecar : public QObject
{
    Q_OBJECT

private slots:
    void isAcceptableXml_data();
    void isAcceptableXml();
    void readMetadata_data();
    void readMetadata();
    void readFixtures_data();
    void readFixtures();
    void readDirectoryAsSidecar();
    void declarePrefix_data();
    void declarePrefix();
    void newSidecarBytes();
    void writeNew_data();
    void writeNew();
    void labelRoundTrip_data();
    void labelRoundTrip();
    void updateFixtures_data();
    void updateFixtures();
    void updateMovesLabelToFirstDescription();
    void updateUpperCaseSidecar();
    void updateRecodesToUtf8();
    void updateKeepsPermissions();
    void updateThroughSymlink_data();
    void updateThroughSymlink();
    void blankSidecarIsReplaced_data();
    void blankSidecarIsReplaced();
    void rewriteIsStable();
    void refusals_data();
    void refusals();
    void refusedWhenSidecarIsDirectory();
    void refusedWhenTemporaryFileCannotBeCreated();
    void refusedWhenFolderMissing();
    void refusedWithoutPhotoName();
};

void TestXmpSidecar::isAcceptableXml_data()
{
    QTest::addColumn<QByteArray>("xml");
    QTest::addColumn<bool>("acceptable");
    QTest::newRow("packet") << packet(desc + "/>") << true;
    QTest::newRow("bare-element") << QByteArray("<a/>") << true;
    QTest::newRow("empty") << QByteArray() << false;
    QTest::newRow("whitespace") << QByteArray(" \n") << false;
    QTest::newRow("truncated") << packet(desc + "/>").chopped(5) << false;
    QTest::newRow("doctype") << QByteArray("<!DOCTYPE a><a/>") << false;
    QTest::newRow("undeclared-prefix") << QByteArray("<a><b:c/></a>") << false;
    QTest::newRow("trailing-garbage") << QByteArray("<a/>x") << false;
    QTest::newRow("two-roots") << QByteArray("<a/><b/>") << false;
    QTest::newRow("unknown-entity") << QByteArray("<a>&foo;</a>") << false;
}

void TestXmpSidecar::isAcceptableXml()
{
    QFETCH(QByteArray, xml);
    QFETCH(bool, acceptable);
    QCOMPARE(PhotoCore::isAcceptableXml(xml), acceptable);
    QDomDocument document;
    QCOMPARE(PhotoCore::loadSidecarDocument(xml, document), acceptable);
}

void TestXmpSidecar::readMetadata_data()
{
    QTest::addColumn<QByteArray>("xml");
    QTest::addColumn<Metadata>("expected");

    const QByteArray own = " xmlns:gw=\"https://www.quillmark.net/ns/glanceway/1.0/\"";
    const QByteArray legacy = " xmlns:pw=\"https://www.pellowick.net/ns/1.0/\"";

    QTest::newRow("attribute-form") << packet(desc + " xmp:Rating=\"4\" xmp:Label=\"Green\"/>") << record(4, "Green");
    QTest::newRow("element-form")
        << packet(desc + "><xmp:Rating>4</xmp:Rating><xmp:Label>Green</xmp:Label></rdf:Description>")
        << record(4, "Green");
    QTest::newRow("default-namespace-element")
        << packet("<rdf:Description rdf:about=\"\"><Rating xmlns=\"" + xmpUri + "\">2</Rating></rdf:Description>")
        << record(2);
    QTest::newRow("rdf-root") << QByteArray("<rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\">"
                                            + desc + " xmp:Rating=\"1\"/></rdf:RDF>")
                              << record(1);
    QTest::newRow("other-prefix")
        << packet("<rdf:Description rdf:about=\"\" xmlns:xap=\"" + xmpUri + "\" xap:Rating=\"3\"/>") << record(3);
    QTest::newRow("xmp-bound-elsewhere")
        << packet("<rdf:Description rdf:about=\"\" xmlns:xmp=\"http://example.com/x/\" xmp:Rating=\"3\"/>")
        << Metadata();
    QTest::newRow("unprefixed-attribute") << packet("<rdf:Description rdf:about=\"\" Rating=\"3\"/>") << Metadata();
    QTest::newRow("missing-about") << packet("<rdf:Description xmlns:xmp=\"" + xmpUri + "\" xmp:Rating=\"2\"/>")
                                   << record(2);
    QTest::newRow("rejected") << packet(desc + " xmp:Rating=\"-1\"/>") << record(0, {}, true);
    QTest::newRow("rating-clamped") << packet(desc + " xmp:Rating=\"7\"/>") << record(5);
    QTest::newRow("rating-fraction") << packet(desc + " xmp:Rating=\"3.5\"/>") << Metadata();
    QTest::newRow("rating-word") << packet(desc + " xmp:Rating=\"three\"/>") << Metadata();
    QTest::newRow("rating-overflow") << packet(desc + " xmp:Rating=\"99999999999\"/>") << Metadata();
    QTest::newRow("label-untrimmed") << packet(desc + " xmp:Label=\" Purple \"/>") << record(0, " Purple ");
    QTest::newRow("label-escaped") << packet(desc + " xmp:Label=\"A &amp; B&#xA;&lt;c&gt;\"/>")
                                   << record(0, "A & B\n<c>");
    QTest::newRow("label-cdata-and-comment")
        << packet(desc + "><xmp:Label><!-- x --><![CDATA[Re]]>d</xmp:Label></rdf:Description>") << record(0, "Red");
    QTest::newRow("label-lang-ignored")
        << packet(desc + "><xmp:Label xml:lang=\"en\">Red</xmp:Label></rdf:Description>") << Metadata();
    QTest::newRow("label-alt-ignored")
        << packet(desc + " xmp:Rating=\"2\"><xmp:Label><rdf:Alt><rdf:li xml:lang=\"x-default\">Red</rdf:li>"
                         "</rdf:Alt></xmp:Label></rdf:Description>")
        << record(2);
    QTest::newRow("rating-resource-ignored")
        << packet(desc + "><xmp:Rating rdf:resource=\"x\">3</xmp:Rating></rdf:Description>") << Metadata();
    QTest::newRow("rotation-negative") << packet(desc + own + " gw:RotationDelta=\"-90\"/>") << record(0, {}, false, 270);
    QTest::newRow("rotation-over") << packet(desc + own + " gw:RotationDelta=\"450\"/>") << record(0, {}, false, 90);
    QTest::newRow("rotation-odd") << packet(desc + own + " gw:RotationDelta=\"45\"/>") << record(0, {}, false, 45);
    QTest::newRow("rotation-legacy") << packet(desc + legacy + " pw:RotationDelta=\"-90\"/>")
                                     << record(0, {}, false, 270);
    QTest::newRow("rotation-legacy-element")
        << packet(desc + legacy + "><pw:RotationDelta>180</pw:RotationDelta></rdf:Description>")
        << record(0, {}, false, 180);
    QTest::newRow("other-resource-only") << packet("<rdf:Description rdf:about=\"uuid:1234\" xmlns:xmp=\"" + xmpUri
                                                   + "\" xmp:Rating=\"5\"/>")
                                         << Metadata();
    QTest::newRow("node-id") << packet("<rdf:Description rdf:nodeID=\"n1\" xmlns:xmp=\"" + xmpUri
                                       + "\" xmp:Rating=\"5\"/>")
                             << Metadata();
    QTest::newRow("later-description-wins")
        << packet(desc + " xmp:Rating=\"-1\" xmp:Label=\"Red\"/>" + desc + "><xmp:Rating>2</xmp:Rating></rdf:Description>")
        << record(2, "Red");
    QTest::newRow("two-rdf") << QByteArray("<x:xmpmeta xmlns:x=\"adobe:ns:meta/\">")
                                    + packet(desc + " xmp:Rating=\"2\"/>").mid(37).chopped(12)
                                    + packet(desc + " xmp:Rating=\"2\"/>").mid(37)
                             << Metadata();
    QTest::newRow("nested-rdf-not-searched")
        << QByteArray("<wrap>") + packet(desc + " xmp:Rating=\"2\"/>") + "</wrap>" << Metadata();
    QTest::newRow("foreign-root") << QByteArray("<x:xmpmeta xmlns:x=\"urn:other\"><rdf:RDF xmlns:rdf=\"http://www.w3.org/"
                                                "1999/02/22-rdf-syntax-ns#\">" + desc + " xmp:Rating=\"2\"/></rdf:RDF>"
                                                "</x:xmpmeta>")
                                  << Metadata();
    QTest::newRow("doctype") << "<!DOCTYPE x:xmpmeta>" + packet(desc + " xmp:Rating=\"2\"/>") << Metadata();
    QTest::newRow("empty") << QByteArray() << Metadata();
    QTest::newRow("truncated") << packet(desc + " xmp:Rating=\"2\"/>").chopped(10) << Metadata();
    QTest::newRow("undeclared-prefix") << packet(desc + " xmp:Rating=\"2\" foo:Bar=\"1\"/>") << Metadata();
    QTest::newRow("utf16") << QByteArray("\xff\xfe", 2)
                                  + QByteArray(reinterpret_cast<const char *>(
                                                   QString::fromUtf8(packet(desc + " xmp:Label=\"Grün\"/>")).utf16()),
                                               packet(desc + " xmp:Label=\"Grün\"/>").size() * 2 - 2)
                           << record(0, QStringLiteral("Grün"));
}

void TestXmpSidecar::readMetadata()
{
    QFETCH(QByteArray, xml);
    QFETCH(Metadata, expected);
    QTemporaryDir dir;
    QVERIFY(writeFile(dir.filePath("IMG_1.xmp"), xml));
    const Metadata actual = PhotoCore::readMetadata(dir.filePath("IMG_1.CR3"));
    QCOMPARE(actual.rating, expected.rating);
    QCOMPARE(actual.label, expected.label);
    QCOMPARE(actual.rejected, expected.rejected);
    QCOMPARE(actual.rotation, expected.rotation);
    QDomDocument document;
    const Metadata fromDocument =
        PhotoCore::loadSidecarDocument(xml, document) ? PhotoCore::metadataFromDocument(document) : Metadata();
    QCOMPARE(fromDocument, expected);
}

void TestXmpSidecar::readFixtures_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<Metadata>("expected");
    QTest::newRow("camera-raw") << "camera-raw.xmp" << record(2);
    QTest::newRow("keywords") << "keywords.xmp" << record(5, "Purple");
    QTest::newRow("element-form") << "element-form.xmp" << record(4, "Green");
    QTest::newRow("multi-description") << "multi-description.xmp" << record(3, "Yellow", false, 90);
    QTest::newRow("label-alt") << "label-alt.xmp" << record(3);
    QTest::newRow("xmp-other-uri") << "xmp-other-uri.xmp" << record(4);
    QTest::newRow("legacy-rotation") << "legacy-rotation.xmp" << record(0, {}, true, 270);
}

void TestXmpSidecar::readFixtures()
{
    QFETCH(QString, name);
    QFETCH(Metadata, expected);
    const QByteArray bytes = fixture(name);
    QVERIFY(!bytes.isEmpty());
    QCOMPARE(PhotoCore::metadataFromXml(bytes), expected);
}

void TestXmpSidecar::readDirectoryAsSidecar()
{
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir("IMG_1.xmp"));
    QCOMPARE(PhotoCore::readMetadata(dir.filePath("IMG_1.jpg")), Metadata());
}

void TestXmpSidecar::declarePrefix_data()
{
    QTest::addColumn<QByteArray>("xml");
    QTest::addColumn<QString>("prefix");
    QTest::newRow("unbound") << packet("<rdf:Description/>") << "xmp";
    QTest::newRow("same-uri") << packet(desc + "/>") << "xmp";
    QTest::newRow("ancestor-binds-other")
        << QByteArray("<x:xmpmeta xmlns:x=\"adobe:ns:meta/\" xmlns:xmp=\"urn:a\"><rdf:RDF xmlns:rdf=\"http://www.w3.org/"
                      "1999/02/22-rdf-syntax-ns#\"><rdf:Description/></rdf:RDF></x:xmpmeta>")
        << "xmp1";
    QTest::newRow("two-taken") << packet("<rdf:Description xmlns:xmp=\"urn:a\" xmlns:xmp1=\"urn:b\"/>") << "xmp2";
    QTest::newRow("numbered-same-uri") << packet("<rdf:Description xmlns:xmp=\"urn:a\" xmlns:xmp1=\"" + xmpUri + "\"/>")
                                       << "xmp1";
}

void TestXmpSidecar::declarePrefix()
{
    QFETCH(QByteArray, xml);
    QFETCH(QString, prefix);
    QDomDocument document;
    QVERIFY(PhotoCore::loadSidecarDocument(xml, document));
    QDomElement description = document.documentElement().firstChildElement().firstChildElement();
    QCOMPARE(PhotoCore::declarePrefix(description, QStringLiteral("xmp"), QString::fromLatin1(xmpUri)), prefix);
    QCOMPARE(description.attribute("xmlns:" + prefix), QString::fromLatin1(xmpUri));
    QCOMPARE(PhotoCore::lookupNamespace(description, prefix), QString::fromLatin1(xmpUri));
}

void TestXmpSidecar::newSidecarBytes()
{
    QTemporaryDir dir;
    QVERIFY(PhotoCore::writeMetadata(dir.filePath("IMG_1.JPG"), record(3)));
    QCOMPARE(readAll(dir.filePath("IMG_1.xmp")),
             QByteArray("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                        "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\"><rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/"
                        "22-rdf-syntax-ns#\"><rdf:Description rdf:about=\"\" xmlns:xmp=\"http://ns.adobe.com/xap/1.0/\""
                        " xmp:Rating=\"3\"/></rdf:RDF></x:xmpmeta>"));
}

void TestXmpSidecar::writeNew_data()
{
    QTest::addColumn<Metadata>("written");
    QTest::addColumn<QStringList>("present");
    QTest::addColumn<QStringList>("absent");
    QTest::newRow("default") << Metadata() << QStringList{"xmp:Rating=\"0\""}
                             << QStringList{"Label", "RotationDelta", "xmlns:gw"};
    QTest::newRow("rejected-with-stars") << record(4, {}, true) << QStringList{"xmp:Rating=\"-1\""} << QStringList();
    QTest::newRow("clamped") << record(9) << QStringList{"xmp:Rating=\"5\""} << QStringList();
    QTest::newRow("label") << record(1, "Blue") << QStringList{"xmp:Label=\"Blue\""} << QStringList();
    QTest::newRow("rotation-negative")
        << record(0, {}, false, -90)
        << QStringList{"xmlns:gw=\"https://www.quillmark.net/ns/glanceway/1.0/\"", "gw:RotationDelta=\"270\""}
        << QStringList();
    QTest::newRow("rotation-full-turn") << record(0, {}, false, 360) << QStringList() << QStringList{"RotationDelta"};
}

void TestXmpSidecar::writeNew()
{
    QFETCH(Metadata, written);
    QFETCH(QStringList, present);
    QFETCH(QStringList, absent);
    QTemporaryDir dir;
    const QString photo = dir.filePath("IMG_1.JPG");
    QVERIFY(PhotoCore::writeMetadata(photo, written));
    const QString xml = QString::fromUtf8(readAll(dir.filePath("IMG_1.xmp")));
    for (const QString &text : present)
        QVERIFY2(xml.contains(text), qPrintable(text));
    for (const QString &text : absent)
        QVERIFY2(!xml.contains(text), qPrintable(text));
    Metadata expected = written;
    expected.rating = written.rejected ? 0 : PhotoCore::clampRating(written.rating);
    expected.rotation = PhotoCore::normalizeRotation(written.rotation);
    QCOMPARE(PhotoCore::readMetadata(photo), expected);
    QCOMPARE(entries(dir.path()), QStringList{"IMG_1.xmp"});
}

void TestXmpSidecar::labelRoundTrip_data()
{
    QTest::addColumn<QString>("label");
    QTest::addColumn<bool>("writable");
    QTest::newRow("markup") << "<b>\"A\" & 'B'</b>" << true;
    QTest::newRow("whitespace") << " \tline\nbreak\r " << true;
    QTest::newRow("non-latin") << QStringLiteral("Grün · 赤 · 🔴") << true;
    QTest::newRow("control-character") << QStringLiteral("Red\x01") << false;
    QTest::newRow("unpaired-surrogate") << QString(QChar(0xd800)) + QStringLiteral("Red") << false;
}

void TestXmpSidecar::labelRoundTrip()
{
    QFETCH(QString, label);
    QFETCH(bool, writable);
    QTemporaryDir dir;
    const QString photo = dir.filePath("IMG_1.JPG");
    QVERIFY(writeFile(dir.filePath("IMG_1.xmp"), fixture("keywords.xmp")));
    QCOMPARE(PhotoCore::writeMetadata(photo, record(2, label)), writable);
    if (writable)
        QCOMPARE(PhotoCore::readMetadata(photo), record(2, label));
    else
        QCOMPARE(readAll(dir.filePath("IMG_1.xmp")), fixture("keywords.xmp"));
    QCOMPARE(entries(dir.path()), QStringList{"IMG_1.xmp"});
}

void TestXmpSidecar::updateFixtures_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<Metadata>("written");
    QTest::addColumn<QStringList>("kept");
    QTest::addColumn<QStringList>("gone");

    QTest::newRow("camera-raw")
        << "camera-raw.xmp" << record(4, "Red", false, 90)
        << QStringList{"<?xpacket begin=\"\xef\xbb\xbf\" id=\"W5M0MpCehiHzreSzNTczkc9d\"?>\n<x:xmpmeta",
                       "</x:xmpmeta>\n<?xpacket end=\"w\"?>",
                       "x:xmptk=\"XMP Core 6.0.0\"",
                       "crs:Exposure2012=\"+0.35\"",
                       "crs:WhiteBalance=\"As Shot\"",
                       "xmp:ModifyDate=\"2023-05-14T18:22:07+02:00\"",
                       "\n   <crs:ToneCurvePV2012>\n    <rdf:Seq>\n     <rdf:li>0, 0</rdf:li>",
                       "<rdf:li xml:lang=\"x-default\">© 2023 Jana Nováková &amp; Co. &lt;studio&gt;</rdf:li>",
                       "xmp:Rating=\"4\"", "xmp:Label=\"Red\"", "gw:RotationDelta=\"90\""}
        << QStringList{"xmp:Rating=\"2\""};
    QTest::newRow("keywords")
        << "keywords.xmp" << record(0, "Purple", true)
        << QStringList{"<!-- keywords added during import -->",
                       "<rdf:li>Places|Portugal|Lisboa|Alfama</rdf:li>",
                       "<rdf:li>street &amp; people</rdf:li>",
                       "photoshop:City=\"Lisboa\"",
                       "xmp:Rating=\"-1\"", "xmp:Label=\"Purple\""}
        << QStringList{"<xmp:Rating>", "RotationDelta"};
    QTest::newRow("element-form")
        << "element-form.xmp" << record(1)
        << QStringList{"<xmp:CreatorTool xmlns:xmp=\"http://ns.adobe.com/xap/1.0/\">Scanner Suite 2.1</xmp:CreatorTool>",
                       "<photoshop:Headline xmlns:photoshop=\"http://ns.adobe.com/photoshop/1.0/\">Harbour at dawn",
                       "xmp:Rating=\"1\""}
        << QStringList{"Label", "<xmp:Rating"};
    QTest::newRow("multi-description")
        << "multi-description.xmp" << record(2, {}, false, 180)
        << QStringList{"<tiff:Artist>Ana Silva</tiff:Artist>",
                       "<xmpMM:DocumentID>xmp.did:0180117407206811822A</xmpMM:DocumentID>",
                       "rdf:about=\"uuid:faf5bdd5-ba3d-11da-ad31-d33d75182f1b\" xmlns:xmp=\"http://ns.adobe.com/xap/1.0/\""
                       " xmp:Label=\"Blue\" xmp:Rating=\"5\"/>",
                       "xmlns:pw=\"https://www.pellowick.net/ns/1.0/\"",
                       "gw:RotationDelta=\"180\""}
        << QStringList{"<xmp:Label>", "xap:Rating", "pw:RotationDelta", "Yellow"};
    QTest::newRow("xmp-other-uri")
        << "xmp-other-uri.xmp" << record(3, "Green")
        << QStringList{"xmlns:xmp=\"http://example.com/ns/cms/2.0/\"", "xmp:Rating=\"9\"", "xmp:Label=\"internal\"",
                       "xmlns:xmp1=\"http://ns.adobe.com/xap/1.0/\"", "xmp1:Rating=\"3\"", "xmp1:Label=\"Green\""}
        << QStringList{"xap:Rating"};
    QTest::newRow("legacy-rotation")
        << "legacy-rotation.xmp" << record(0, {}, false, 90)
        << QStringList{"gw:RotationDelta=\"90\"", "xmlns:pw=\"https://www.pellowick.net/ns/1.0/\"", "xmp:Rating=\"0\""}
        << QStringList{"pw:RotationDelta"};
}

void TestXmpSidecar::updateFixtures()
{
    QFETCH(QString, name);
    QFETCH(Metadata, written);
    QFETCH(QStringList, kept);
    QFETCH(QStringList, gone);
    QTemporaryDir dir;
    const QString photo = dir.filePath("IMG_1.NEF");
    QVERIFY(writeFile(dir.filePath("IMG_1.xmp"), fixture(name)));
    QVERIFY(PhotoCore::writeMetadata(photo, written));
    QCOMPARE(PhotoCore::readMetadata(photo), written);
    const QString xml = QString::fromUtf8(readAll(dir.filePath("IMG_1.xmp")));
    QVERIFY(xml.startsWith("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"));
    for (const QString &text : kept)
        QVERIFY2(xml.contains(text), qPrintable(text + "\n---\n" + xml));
    for (const QString &text : gone)
        QVERIFY2(!xml.contains(text), qPrintable(text + "\n---\n" + xml));
    QCOMPARE(entries(dir.path()), QStringList{"IMG_1.xmp"});
}

void TestXmpSidecar::updateMovesLabelToFirstDescription()
{
    QTemporaryDir dir;
    const QString photo = dir.filePath("IMG_1.JPG");
    QVERIFY(writeFile(dir.filePath("IMG_1.xmp"),
                      packet(desc + " xmp:Rating=\"2\"/>" + desc + " xmp:Label=\"Blue\"/>")));
    const Metadata before = PhotoCore::readMetadata(photo);
    QCOMPARE(before, record(2, "Blue"));
    QVERIFY(PhotoCore::writeMetadata(photo, before));
    QDomDocument document;
    QVERIFY(PhotoCore::loadSidecarDocument(readAll(dir.filePath("IMG_1.xmp")), document));
    const QList<QDomElement> descriptions = PhotoCore::findDescriptions(document);
    QCOMPARE(descriptions.size(), 2);
    QCOMPARE(descriptions.at(0).attribute("xmp:Label"), QStringLiteral("Blue"));
    QCOMPARE(descriptions.at(0).attribute("xmp:Rating"), QStringLiteral("2"));
    QVERIFY(!descriptions.at(1).hasAttribute("xmp:Label"));
    QVERIFY(!descriptions.at(1).hasAttribute("xmp:Rating"));
}

void TestXmpSidecar::updateUpperCaseSidecar()
{
    QTemporaryDir dir;
    QVERIFY(writeFile(dir.filePath("IMG_1.XMP"), packet(desc + " xmp:Rating=\"1\"/>")));
    QVERIFY(PhotoCore::writeMetadata(dir.filePath("IMG_1.jpg"), record(5)));
    QCOMPARE(entries(dir.path()), QStringList{"IMG_1.XMP"});
    QCOMPARE(PhotoCore::readMetadata(dir.filePath("IMG_1.jpg")), record(5));
}

void TestXmpSidecar::updateRecodesToUtf8()
{
    QTemporaryDir dir;
    QByteArray latin1 = "<?xml version='1.0' encoding='ISO-8859-1'?>"
                        + packet(desc + " xmlns:dc=\"http://purl.org/dc/elements/1.1/\" dc:source=\"Caf\xe9\"/>");
    QVERIFY(writeFile(dir.filePath("IMG_1.xmp"), latin1));
    QVERIFY(PhotoCore::writeMetadata(dir.filePath("IMG_1.jpg"), record(1)));
    const QByteArray bytes = readAll(dir.filePath("IMG_1.xmp"));
    QVERIFY(bytes.startsWith("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<x:xmpmeta"));
    QVERIFY(bytes.contains("dc:source=\"Caf\xc3\xa9\""));
}

void TestXmpSidecar::updateKeepsPermissions()
{
#ifndef Q_OS_UNIX
    QSKIP("only the read-only attribute stands for permission bits here");
#endif
    QTemporaryDir dir;
    const QString sidecar = dir.filePath("IMG_1.xmp");
    QVERIFY(writeFile(sidecar, packet(desc + "/>")));
    const QFileDevice::Permissions permissions = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup;
    QVERIFY(QFile::setPermissions(sidecar, permissions));
    QVERIFY(PhotoCore::writeMetadata(dir.filePath("IMG_1.jpg"), record(2)));
    QCOMPARE(QFile::permissions(sidecar) & ~QFileDevice::Permissions(0x0f00), permissions);
}

void TestXmpSidecar::updateThroughSymlink_data()
{
    // Where the link's target lies: links into the photo's folder or the
    // user's home are updated in place; a link leading elsewhere is refused.
    QTest::addColumn<QString>("where");
    QTest::addColumn<bool>("updated");
    QTest::newRow("subfolder-of-photo-folder") << QStringLiteral("photo-folder") << true;
    QTest::newRow("home") << QStringLiteral("home") << true;
    QTest::newRow("outside") << QStringLiteral("outside") << false;
}

void TestXmpSidecar::updateThroughSymlink()
{
    QFETCH(QString, where);
    QFETCH(bool, updated);
#ifndef Q_OS_UNIX
    QSKIP("QFile::link makes shortcut files here, not links");
#endif
    QTemporaryDir dir;
    QTemporaryDir home(QDir::home().filePath("linked-XXXXXX"));
    QTemporaryDir outside;
    QVERIFY(!outside.path().startsWith(QDir::homePath()));
    const QString base = where == QLatin1String("photo-folder") ? dir.path()
                         : where == QLatin1String("home")       ? home.path()
                                                                : outside.path();
    QVERIFY(QDir(base).mkpath("shared"));
    const QString target = base + "/shared/IMG_1.xmp";
    const QByteArray original = fixture("keywords.xmp");
    QVERIFY(writeFile(target, original));
    QVERIFY(QFile::link(target, dir.filePath("IMG_1.xmp")));
    QCOMPARE(PhotoCore::writeMetadata(dir.filePath("IMG_1.jpg"), record(1, "Red")), updated);
    QVERIFY(QFileInfo(dir.filePath("IMG_1.xmp")).isSymLink());
    if (updated)
        QCOMPARE(PhotoCore::metadataFromXml(readAll(target)), record(1, "Red"));
    else
        QCOMPARE(readAll(target), original);
    QCOMPARE(entries(base + "/shared"), QStringList{"IMG_1.xmp"});
}

void TestXmpSidecar::blankSidecarIsReplaced_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("white-space") << QByteArray(" \n\t\r\n  ");
}

void TestXmpSidecar::blankSidecarIsReplaced()
{
    // Nothing of anyone's is in it, so it gets a fresh sidecar instead of
    // leaving the photo unmarkable.
    QFETCH(QByteArray, content);
    QTemporaryDir dir;
    QVERIFY(writeFile(dir.filePath("IMG_1.xmp"), content));
    QCOMPARE(PhotoCore::readMetadata(dir.filePath("IMG_1.jpg")), Metadata());
    QVERIFY(PhotoCore::writeMetadata(dir.filePath("IMG_1.jpg"), record(4, "Green")));
    QCOMPARE(PhotoCore::readMetadata(dir.filePath("IMG_1.jpg")), record(4, "Green"));
    QVERIFY(PhotoCore::isAcceptableXml(readAll(dir.filePath("IMG_1.xmp"))));
}

void TestXmpSidecar::rewriteIsStable()
{
    QTemporaryDir dir;
    const QString photo = dir.filePath("IMG_1.jpg");
    QVERIFY(writeFile(dir.filePath("IMG_1.xmp"), fixture("camera-raw.xmp")));
    QVERIFY(PhotoCore::writeMetadata(photo, record(3, "Red", false, 90)));
    const QByteArray first = readAll(dir.filePath("IMG_1.xmp"));
    QVERIFY(PhotoCore::writeMetadata(photo, record(3, "Red", false, 90)));
    QCOMPARE(readAll(dir.filePath("IMG_1.xmp")), first);
    // The same content rendered in memory, where attribute hashing differs
    // from the documents above, gives the same bytes too.
    QByteArray rendered;
    QVERIFY(PhotoCore::renderSidecar(&first, record(3, "Red", false, 90), rendered));
    QCOMPARE(rendered, first);
}

void TestXmpSidecar::refusals_data()
{
    QTest::addColumn<QByteArray>("xml");
    QTest::newRow("truncated") << fixture("camera-raw.xmp").left(900);
    QTest::newRow("doctype") << "<?xml version=\"1.0\"?><!DOCTYPE x:xmpmeta>" + packet(desc + " xmp:Rating=\"2\"/>");
    QTest::newRow("billion-laughs")
        << QByteArray("<?xml version=\"1.0\"?><!DOCTYPE lolz [<!ENTITY lol \"lol\"><!ENTITY lol2 "
                      "\"&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;\"><!ENTITY lol3 "
                      "\"&lol2;&lol2;&lol2;&lol2;&lol2;&lol2;&lol2;&lol2;&lol2;&lol2;\">]>")
               + packet(desc + " xmp:Label=\"&lol3;\"/>");
    QTest::newRow("external-entity")
        << QByteArray("<?xml version=\"1.0\"?><!DOCTYPE x [<!ENTITY ext SYSTEM \"file:///etc/passwd\">]>")
               + packet(desc + "><xmp:Label>&ext;</xmp:Label></rdf:Description>");
    QTest::newRow("undeclared-prefix") << packet(desc + " xmp:Rating=\"1\"><foo:Bar/></rdf:Description>");
    QTest::newRow("label-alt") << fixture("label-alt.xmp");
    QTest::newRow("rating-parse-type")
        << packet(desc + "><xmp:Rating rdf:parseType=\"Literal\">2</xmp:Rating></rdf:Description>");
    QTest::newRow("label-lang") << packet(desc + "><xmp:Label xml:lang=\"de\">Rot</xmp:Label></rdf:Description>");
    QTest::newRow("legacy-rotation-structured")
        << packet(desc + " xmlns:pw=\"https://www.pellowick.net/ns/1.0/\"><pw:RotationDelta><rdf:Seq/>"
                         "</pw:RotationDelta></rdf:Description>");
    QTest::newRow("other-resource-only")
        << packet("<rdf:Description rdf:about=\"uuid:1234\" xmlns:xmp=\"" + xmpUri + "\" xmp:Rating=\"5\"/>");
    QTest::newRow("no-rdf") << QByteArray("<x:xmpmeta xmlns:x=\"adobe:ns:meta/\"/>");
    QTest::newRow("not-xmp") << QByteArray("<html><body>Rating 5</body></html>");
    QTest::newRow("binary") << QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16);
    QTest::newRow("deep-nesting")
        << packet(desc + ">" + QByteArray("<a>").repeated(300) + QByteArray("</a>").repeated(300) + "</rdf:Description>");
}

void TestXmpSidecar::refusals()
{
    QFETCH(QByteArray, xml);
    QTemporaryDir dir;
    const QString sidecar = dir.filePath("IMG_1.xmp");
    QVERIFY(writeFile(sidecar, xml));
    const QDateTime old(QDate(2009, 6, 1), QTime(12, 0), Qt::UTC);
    {
        QFile file(sidecar);
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.setFileTime(old, QFileDevice::FileModificationTime));
    }
    const QByteArray hash = QCryptographicHash::hash(readAll(sidecar), QCryptographicHash::Sha256);

    QVERIFY(!PhotoCore::writeMetadata(dir.filePath("IMG_1.jpg"), record(5, "Red", false, 90)));
    QVERIFY(!PhotoCore::writeMetadata(dir.filePath("IMG_1.jpg"), Metadata()));

    QCOMPARE(QCryptographicHash::hash(readAll(sidecar), QCryptographicHash::Sha256), hash);
    QCOMPARE(QFileInfo(sidecar).lastModified().toUTC(), old);
    QCOMPARE(entries(dir.path()), QStringList{"IMG_1.xmp"});
}

void TestXmpSidecar::refusedWhenSidecarIsDirectory()
{
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkpath("IMG_1.xmp/inner"));
    QVERIFY(!PhotoCore::writeMetadata(dir.filePath("IMG_1.jpg"), record(1)));
    QVERIFY(QFileInfo(dir.filePath("IMG_1.xmp")).isDir());
    QCOMPARE(entries(dir.path()), QStringList{"IMG_1.xmp"});
    QCOMPARE(entries(dir.filePath("IMG_1.xmp")), QStringList{"inner"});
}

void TestXmpSidecar::refusedWhenTemporaryFileCannotBeCreated()
{
    // The safe-save file's temporary name adds a suffix to the sidecar's name;
    // at the file-name length limit it cannot be created, even by root.
    QTemporaryDir dir;
    const QString stem(251, QLatin1Char('a'));
    const QString sidecar = dir.filePath(stem + ".xmp");
    const QByteArray content = packet(desc + " xmp:Rating=\"2\"/>");
    if (!writeFile(sidecar, content))
        QSKIP("the file system does not allow 255-character names");
    QVERIFY(!PhotoCore::writeMetadata(dir.filePath(stem + ".jpg"), record(4)));
    QCOMPARE(readAll(sidecar), content);
    QCOMPARE(entries(dir.path()), QStringList{stem + ".xmp"});
}

void TestXmpSidecar::refusedWhenFolderMissing()
{
    QTemporaryDir dir;
    QVERIFY(!PhotoCore::writeMetadata(dir.filePath("gone/IMG_1.jpg"), record(4)));
    QVERIFY(entries(dir.path()).isEmpty());
}

void TestXmpSidecar::refusedWithoutPhotoName()
{
    QTemporaryDir dir;
    QVERIFY(QDir::setCurrent(dir.path()));
    QVERIFY(!PhotoCore::writeMetadata(QString(), record(4)));
    QVERIFY(!PhotoCore::writeMetadata(dir.path() + "/", record(4)));
    QVERIFY(entries(dir.path()).isEmpty());
}

QTEST_GUILESS_MAIN(TestXmpSidecar)
#include "tst_xmpsidecar.moc"
