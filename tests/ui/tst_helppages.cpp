#include "ui/mainwindow.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QKeySequence>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTest>
#include <QTextBrowser>
#include <QTranslator>
#include <QUrl>
#include <QXmlStreamReader>

// The offline help compiled into the program: the pages must be there, parse,
// link to each other without dead ends, and tell the user the keys that the
// program really has.
namespace {

const QStringList helpFiles = {
    "controls.html",   "feedback-template.txt", "feedback.html",     "filters.html",
    "formats-data.html", "help.css",            "index.html",        "installation.html",
    "quickstart.html", "ratings.html",          "slideshow.html",    "testing.html",
    "thumbnails.html", "troubleshooting.html",
};

QStringList htmlPages()
{
    QStringList pages;
    for (const QString &file : helpFiles)
        if (file.endsWith(QLatin1String(".html")))
            pages << file;
    return pages;
}

struct Link
{
    QString element;
    QString href;
};

// A row of the key tables that belongs to a configurable action.
struct KeyRow
{
    QString actionId;
    QString label;
    QStringList keys;
};

struct Page
{
    QString error;
    QString title;
    QSet<QString> ids;
    QList<Link> links;
    QStringList styleSheets;
    QList<KeyRow> keyRows;
    QString templateText;
};

Page parsePage(const QString &file)
{
    Page page;
    QFile f(QStringLiteral(":/help/") + file);
    if (!f.open(QIODevice::ReadOnly)) {
        page.error = QStringLiteral("cannot open");
        return page;
    }
    QXmlStreamReader xml(&f);
    KeyRow row;
    bool inKeyRow = false;
    int cell = 0;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isEndElement() && xml.name() == QLatin1String("tr") && inKeyRow) {
            page.keyRows << row;
            inKeyRow = false;
        }
        if (!xml.isStartElement())
            continue;
        const QXmlStreamAttributes attrs = xml.attributes();
        const QString id = attrs.value(QLatin1String("id")).toString();
        if (!id.isEmpty())
            page.ids.insert(id);
        const QStringView name = xml.name();
        if (name == QLatin1String("a") && attrs.hasAttribute(QLatin1String("href"))) {
            page.links << Link{QStringLiteral("a"), attrs.value(QLatin1String("href")).toString()};
        } else if (name == QLatin1String("link")) {
            const QString href = attrs.value(QLatin1String("href")).toString();
            page.links << Link{QStringLiteral("link"), href};
            if (attrs.value(QLatin1String("rel")) == QLatin1String("stylesheet"))
                page.styleSheets << href;
        } else if (name == QLatin1String("title")) {
            page.title = xml.readElementText();
        } else if (name == QLatin1String("pre") && id == QLatin1String("template")) {
            page.templateText = xml.readElementText(QXmlStreamReader::IncludeChildElements);
        } else if (name == QLatin1String("tr") && id.startsWith(QLatin1String("key-"))) {
            row = KeyRow{id.mid(4), {}, {}};
            inKeyRow = true;
            cell = 0;
        } else if (inKeyRow && name == QLatin1String("td")) {
            if (cell++ == 0)
                row.label = xml.readElementText(QXmlStreamReader::IncludeChildElements).simplified();
        } else if (inKeyRow && name == QLatin1String("kbd")) {
            row.keys << xml.readElementText();
        }
    }
    if (xml.hasError())
        page.error = QStringLiteral("%1 at line %2, column %3")
                         .arg(xml.errorString()).arg(xml.lineNumber()).arg(xml.columnNumber());
    return page;
}

QString nativeText(const QKeySequence &sequence)
{
    return sequence.toString(QKeySequence::NativeText);
}

} // namespace

class TestHelpPages : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void collectionComplete();
    void wellFormed_data();
    void wellFormed();
    void linksResolve_data();
    void linksResolve();
    void indexReachesEverything();
    void feedbackTemplateShownOnPage();
    void browserShowsPages_data();
    void browserShowsPages();
    void controlsListDefaultKeys();
};

void TestHelpPages::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QCoreApplication::setOrganizationName(QStringLiteral("Quillmark"));
    QCoreApplication::setApplicationName(QStringLiteral("Glanceway"));
}

void TestHelpPages::collectionComplete()
{
    QStringList present = QDir(QStringLiteral(":/help")).entryList(QDir::Files);
    present.sort();
    QStringList expected = helpFiles;
    expected.sort();
    QCOMPARE(present, expected);
    for (const QString &file : helpFiles)
        QVERIFY2(QFileInfo(QStringLiteral(":/help/") + file).size() > 200, qPrintable(file));
}

void TestHelpPages::wellFormed_data()
{
    QTest::addColumn<QString>("file");
    for (const QString &page : htmlPages())
        QTest::newRow(qPrintable(page)) << page;
}

void TestHelpPages::wellFormed()
{
    QFETCH(QString, file);
    const Page page = parsePage(file);
    QVERIFY2(page.error.isEmpty(), qPrintable(page.error));
    QVERIFY(!page.title.trimmed().isEmpty());
    // Every page takes its look from the one shared style sheet.
    QCOMPARE(page.styleSheets, QStringList{QStringLiteral("help.css")});
}

void TestHelpPages::linksResolve_data()
{
    QTest::addColumn<QString>("file");
    for (const QString &page : htmlPages())
        QTest::newRow(qPrintable(page)) << page;
}

// Links between pages are relative and must land on a resource and, with a
// fragment, on an element of that page; links out go to the maker's site only.
void TestHelpPages::linksResolve()
{
    QFETCH(QString, file);
    const Page page = parsePage(file);
    QVERIFY2(page.error.isEmpty(), qPrintable(page.error));
    QVERIFY(!page.links.isEmpty());
    const QUrl base(QStringLiteral("qrc:/help/") + file);
    for (const Link &link : page.links) {
        const QUrl url(link.href);
        const QString what = file + QStringLiteral(": ") + link.href;
        QVERIFY2(url.isValid(), qPrintable(what));
        if (url.scheme() == QLatin1String("https")) {
            QVERIFY2(url.host() == QLatin1String("www.quillmark.net"), qPrintable(what));
            continue;
        }
        if (url.scheme() == QLatin1String("mailto")) {
            QVERIFY2(url.path().endsWith(QLatin1String("@quillmark.net")), qPrintable(what));
            continue;
        }
        QVERIFY2(url.scheme().isEmpty() && url.isRelative(), qPrintable(what));
        const QUrl target = base.resolved(url);
        QVERIFY2(target.path().startsWith(QLatin1String("/help/")), qPrintable(what));
        const QString resource = QLatin1Char(':') + target.path();
        QVERIFY2(QFile::exists(resource), qPrintable(what));
        if (url.hasFragment()) {
            const Page targetPage = parsePage(target.path().mid(6));
            QVERIFY2(targetPage.ids.contains(url.fragment()), qPrintable(what));
        }
    }
}

void TestHelpPages::indexReachesEverything()
{
    const Page index = parsePage(QStringLiteral("index.html"));
    QSet<QString> linked;
    for (const Link &link : index.links)
        linked.insert(QUrl(link.href).adjusted(QUrl::RemoveFragment).toString());
    for (const QString &file : htmlPages())
        if (file != QLatin1String("index.html"))
            QVERIFY2(linked.contains(file), qPrintable(file));
    QVERIFY(linked.contains(QStringLiteral("https://www.quillmark.net/glanceway/hilfe.html")));
    QVERIFY(linked.contains(QStringLiteral("https://www.quillmark.net/glanceway/test.html")));
}

// The copy template on the feedback page and the plain-text file are one text.
// The help window would render the .txt file as HTML and join its lines, so
// the pages show the template only through the feedback page.
void TestHelpPages::feedbackTemplateShownOnPage()
{
    const Page page = parsePage(QStringLiteral("feedback.html"));
    QVERIFY(!page.templateText.isEmpty());
    QFile file(QStringLiteral(":/help/feedback-template.txt"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(page.templateText, QString::fromUtf8(file.readAll()));
}

void TestHelpPages::browserShowsPages_data()
{
    QTest::addColumn<QString>("file");
    for (const QString &page : htmlPages())
        QTest::newRow(qPrintable(page)) << page;
}

// What the help window makes of each page: the title, German text decoded as
// UTF-8, the style sheet found, and the copy template keeping its lines.
void TestHelpPages::browserShowsPages()
{
    QFETCH(QString, file);
    QTextBrowser browser;
    browser.setSource(QUrl(QStringLiteral("qrc:/help/") + file));
    const QString text = browser.toPlainText();
    QVERIFY(text.size() > 200);
    if (file == QLatin1String("feedback.html"))
        QVERIFY(text.contains(QStringLiteral("\n1.\n2.\n3.\n")));
    QCOMPARE(browser.documentTitle(), parsePage(file).title);
    QVERIFY2(text.contains(QRegularExpression(QStringLiteral("[äöüÄÖÜß]"))), "German text not decoded as UTF-8");
    QVERIFY(!text.contains(QChar(QChar::ReplacementCharacter)));
    QVERIFY(!browser.loadResource(QTextDocument::StyleSheetResource, QUrl(QStringLiteral("help.css")))
                 .toByteArray().isEmpty());
}

// Every configurable action appears once on the controls page, labelled with
// its German menu text, with its default key first and only keys it really has.
void TestHelpPages::controlsListDefaultKeys()
{
    QTranslator appCatalogue;
    QTranslator toolkitCatalogue;
    QVERIFY(appCatalogue.load(QStringLiteral(":/translations/glanceway_de.qm")));
    QVERIFY(toolkitCatalogue.load(QStringLiteral(":/translations/qtbase_de.qm")));
    QCoreApplication::installTranslator(&toolkitCatalogue);
    QCoreApplication::installTranslator(&appCatalogue);

    const Page page = parsePage(QStringLiteral("controls.html"));
    QVERIFY2(page.error.isEmpty(), qPrintable(page.error));

    MainWindow window;
    const QMap<QString, QAction *> &registry = window.registeredActions();
    QCOMPARE(registry.size(), 33);

    QStringList listed;
    for (const KeyRow &row : page.keyRows) {
        listed << row.actionId;
        QAction *action = registry.value(row.actionId);
        QVERIFY2(action, qPrintable(QStringLiteral("unknown action ") + row.actionId));
        QString menuText = action->text();
        menuText.remove(QLatin1Char('&'));
        QCOMPARE(row.label, menuText);

        const QKeySequence defaultKey =
            QKeySequence::fromString(action->property("defaultShortcut").toString(), QKeySequence::PortableText);
        QVERIFY2(!row.keys.isEmpty(), qPrintable(row.actionId));
        QCOMPARE(row.keys.first(), nativeText(defaultKey));
        QStringList actual;
        for (const QKeySequence &key : action->shortcuts())
            actual << nativeText(key);
        for (const QString &key : row.keys)
            QVERIFY2(actual.contains(key), qPrintable(row.actionId + QStringLiteral(": ") + key));
        QCOMPARE(row.keys.size(), actual.size());
    }
    listed.sort();
    QStringList registered = registry.keys();
    registered.sort();
    QCOMPARE(listed, registered);

    QCoreApplication::removeTranslator(&appCatalogue);
    QCoreApplication::removeTranslator(&toolkitCatalogue);
}

QTEST_MAIN(TestHelpPages)
#include "tst_helppages.moc"
