#include "ui/helpdialog.h"
#include "ui/mainwindow.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QKeySequence>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTest>
#include <QTextBrowser>
#include <QTranslator>
#include <QUrl>
#include <QXmlStreamReader>

// The offline help compiled into the program, in English at :/help/ and in
// German at :/help/de/: the pages must be there in both, parse, link to each
// other within their language without dead ends, match each other page by page,
// and tell the user the keys that the program really has.
namespace {

struct Language
{
    const char *code;
    const char *folder; // below :/help/
    const char *webHelp; // the current version of the help on the web, named in that language
};

const Language languages[] = {{"en", "", "https://www.quillmark.net/glanceway/help.html"},
                              {"de", "de/", "https://www.quillmark.net/glanceway/hilfe.html"}};

QString webHelpOf(const QString &code)
{
    for (const Language &language : languages)
        if (code == QLatin1String(language.code))
            return QString::fromLatin1(language.webHelp);
    return QString();
}

bool isWebHelp(const QString &href)
{
    for (const Language &language : languages)
        if (href == QLatin1String(language.webHelp))
            return true;
    return false;
}

const QStringList helpFiles = {
    "controls.html",   "feedback-template.txt", "feedback.html",     "filters.html",
    "formats-data.html", "help.css",            "import.html",       "index.html",        "installation.html",
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

// One row per page and language, named "de/controls.html"; the columns hold the
// page's path below :/help/ and its language code.
void addPageRows()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("language");
    for (const Language &language : languages)
        for (const QString &page : htmlPages())
            QTest::newRow(qPrintable(QLatin1String(language.code) + QLatin1Char('/') + page))
                << QLatin1String(language.folder) + page << QString::fromLatin1(language.code);
}

void addLanguageRows()
{
    QTest::addColumn<QString>("folder");
    for (const Language &language : languages)
        QTest::newRow(language.code) << QString::fromLatin1(language.folder);
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
    QString language;
    QString title;
    QList<Link> links;
    QStringList ids;  // in document order
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
            page.ids << id;
        const QStringView name = xml.name();
        if (name == QLatin1String("html")) {
            page.language = attrs.value(QLatin1String("lang")).toString();
        } else if (name == QLatin1String("a") && attrs.hasAttribute(QLatin1String("href"))) {
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
    void collectionComplete_data();
    void collectionComplete();
    void wellFormed_data();
    void wellFormed();
    void linksResolve_data();
    void linksResolve();
    void languagesMatchPageByPage_data();
    void languagesMatchPageByPage();
    void indexReachesEverything_data();
    void indexReachesEverything();
    void webHelpAsTheProgramOpensIt_data();
    void webHelpAsTheProgramOpensIt();
    void feedbackTemplateShownOnPage_data();
    void feedbackTemplateShownOnPage();
    void browserShowsPages_data();
    void browserShowsPages();
    void controlsListDefaultKeys_data();
    void controlsListDefaultKeys();
};

void TestHelpPages::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QCoreApplication::setOrganizationName(QStringLiteral("Quillmark"));
    QCoreApplication::setApplicationName(QStringLiteral("Glanceway"));
}

void TestHelpPages::collectionComplete_data()
{
    addLanguageRows();
}

void TestHelpPages::collectionComplete()
{
    QFETCH(QString, folder);
    const QString dir = QStringLiteral(":/help/") + folder;
    QStringList present = QDir(dir).entryList(QDir::Files);
    present.sort();
    QStringList expected = helpFiles;
    expected.sort();
    QCOMPARE(present, expected);
    for (const QString &file : helpFiles)
        QVERIFY2(QFileInfo(dir + file).size() > 200, qPrintable(file));
}

void TestHelpPages::wellFormed_data()
{
    addPageRows();
}

void TestHelpPages::wellFormed()
{
    QFETCH(QString, file);
    QFETCH(QString, language);
    const Page page = parsePage(file);
    QVERIFY2(page.error.isEmpty(), qPrintable(page.error));
    QVERIFY(!page.title.trimmed().isEmpty());
    // A page in the wrong folder shows up here.
    QCOMPARE(page.language, language);
    // Every page takes its look from the one shared style sheet.
    QCOMPARE(page.styleSheets, QStringList{QStringLiteral("help.css")});
}

void TestHelpPages::linksResolve_data()
{
    addPageRows();
}

// Links between pages are relative and must land on a resource of the same
// language and, with a fragment, on an element of that page; links out go to
// the maker's site only. Every page names the current version of the help on
// the web, and only that of its own language.
void TestHelpPages::linksResolve()
{
    QFETCH(QString, file);
    QFETCH(QString, language);
    const Page page = parsePage(file);
    QVERIFY2(page.error.isEmpty(), qPrintable(page.error));
    QVERIFY(!page.links.isEmpty());
    bool namesWebHelp = false;
    const QUrl base(QStringLiteral("qrc:/help/") + file);
    const QString folder = QStringLiteral("/help/") + file.left(file.lastIndexOf(QLatin1Char('/')) + 1);
    for (const Link &link : page.links) {
        const QUrl url(link.href);
        const QString what = file + QStringLiteral(": ") + link.href;
        QVERIFY2(url.isValid(), qPrintable(what));
        if (url.scheme() == QLatin1String("https")) {
            QVERIFY2(url.host() == QLatin1String("www.quillmark.net"), qPrintable(what));
            if (isWebHelp(link.href)) {
                QCOMPARE(link.href, webHelpOf(language));
                namesWebHelp = true;
            }
            continue;
        }
        if (url.scheme() == QLatin1String("mailto")) {
            QVERIFY2(url.path().endsWith(QLatin1String("@quillmark.net")), qPrintable(what));
            continue;
        }
        QVERIFY2(url.scheme().isEmpty() && url.isRelative(), qPrintable(what));
        const QUrl target = base.resolved(url);
        QVERIFY2(target.path().startsWith(folder) && !target.path().mid(folder.size()).contains(QLatin1Char('/')),
                 qPrintable(what));
        const QString resource = QLatin1Char(':') + target.path();
        QVERIFY2(QFile::exists(resource), qPrintable(what));
        if (url.hasFragment()) {
            const Page targetPage = parsePage(target.path().mid(6));
            QVERIFY2(targetPage.ids.contains(url.fragment()), qPrintable(what));
        }
    }
    QVERIFY2(namesWebHelp, "no link to the help on the web");
}

void TestHelpPages::languagesMatchPageByPage_data()
{
    QTest::addColumn<QString>("file");
    for (const QString &page : htmlPages())
        QTest::newRow(qPrintable(page)) << page;
}

// A translated page keeps the anchors and links of its English original, in the
// same order, so that a link into either language lands on the same section and
// no page gains or loses a cross-reference in translation. The help on the web
// is the one address each language names in its own way.
void TestHelpPages::languagesMatchPageByPage()
{
    QFETCH(QString, file);
    const Page english = parsePage(file);
    QVERIFY2(english.error.isEmpty(), qPrintable(english.error));
    const auto hrefs = [](const Page &page) {
        QStringList list;
        for (const Link &link : page.links)
            list << (isWebHelp(link.href) ? QStringLiteral("(help on the web)") : link.href);
        return list;
    };
    for (const Language &language : languages) {
        if (!*language.folder)
            continue;
        const Page translated = parsePage(QLatin1String(language.folder) + file);
        QVERIFY2(translated.error.isEmpty(), qPrintable(translated.error));
        QCOMPARE(translated.ids, english.ids);
        QCOMPARE(hrefs(translated), hrefs(english));
    }
}

void TestHelpPages::indexReachesEverything_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("webHelp");
    for (const Language &language : languages)
        QTest::newRow(language.code) << QString::fromLatin1(language.folder) << QString::fromLatin1(language.webHelp);
}

void TestHelpPages::indexReachesEverything()
{
    QFETCH(QString, folder);
    QFETCH(QString, webHelp);
    const Page index = parsePage(folder + QStringLiteral("index.html"));
    QSet<QString> linked;
    for (const Link &link : index.links)
        linked.insert(QUrl(link.href).adjusted(QUrl::RemoveFragment).toString());
    for (const QString &file : htmlPages())
        if (file != QLatin1String("index.html"))
            QVERIFY2(linked.contains(file), qPrintable(file));
    QVERIFY(linked.contains(webHelp));
    QVERIFY(linked.contains(QStringLiteral("https://www.quillmark.net/glanceway/test.html")));
}

void TestHelpPages::webHelpAsTheProgramOpensIt_data()
{
    QTest::addColumn<QString>("catalogue");
    QTest::addColumn<QString>("folder");
    QTest::newRow("en") << QString() << QString();
    QTest::newRow("de") << ":/translations/glanceway_de.qm" << "de/";
}

// "Help on the Web…" opens the page that the pages of the help shown in the
// same language name as their current version.
void TestHelpPages::webHelpAsTheProgramOpensIt()
{
    QFETCH(QString, catalogue);
    QFETCH(QString, folder);
    QTranslator translator;
    if (!catalogue.isEmpty()) {
        QVERIFY(translator.load(catalogue));
        QCoreApplication::installTranslator(&translator);
    }
    const auto restore = qScopeGuard([&] { QCoreApplication::removeTranslator(&translator); });
    QCOMPARE(HelpDialog::defaultStartPage(), QUrl(QStringLiteral("qrc:/help/") + folder + QStringLiteral("index.html")));
    const Page index = parsePage(folder + QStringLiteral("index.html"));
    QStringList named;
    for (const Link &link : index.links)
        if (isWebHelp(link.href))
            named << link.href;
    QVERIFY(!named.isEmpty());
    named.removeDuplicates();
    QCOMPARE(named, QStringList{HelpDialog::onlineHelpUrl().toString()});
}

void TestHelpPages::feedbackTemplateShownOnPage_data()
{
    addLanguageRows();
}

// The copy template on the feedback page and the plain-text file are one text.
// The help window would render the .txt file as HTML and join its lines, so
// the pages show the template only through the feedback page.
void TestHelpPages::feedbackTemplateShownOnPage()
{
    QFETCH(QString, folder);
    const Page page = parsePage(folder + QStringLiteral("feedback.html"));
    QVERIFY(!page.templateText.isEmpty());
    QFile file(QStringLiteral(":/help/") + folder + QStringLiteral("feedback-template.txt"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(page.templateText, QString::fromUtf8(file.readAll()));
}

void TestHelpPages::browserShowsPages_data()
{
    addPageRows();
}

// What the help window makes of each page: the title, text decoded as UTF-8
// (German letters, and the separators of the navigation line in every page),
// the style sheet found, and the copy template keeping its lines.
void TestHelpPages::browserShowsPages()
{
    QFETCH(QString, file);
    QFETCH(QString, language);
    QTextBrowser browser;
    browser.setSource(QUrl(QStringLiteral("qrc:/help/") + file));
    const QString text = browser.toPlainText();
    QVERIFY(text.size() > 200);
    if (file.endsWith(QLatin1String("feedback.html")))
        QVERIFY(text.contains(QStringLiteral("\n1.\n2.\n3.\n")));
    QCOMPARE(browser.documentTitle(), parsePage(file).title);
    QVERIFY2(text.contains(QStringLiteral(" · ")), "text not decoded as UTF-8");
    if (language == QLatin1String("de"))
        QVERIFY2(text.contains(QRegularExpression(QStringLiteral("[äöüÄÖÜß]"))), "German text not decoded as UTF-8");
    QVERIFY(!text.contains(QChar(QChar::ReplacementCharacter)));
    QVERIFY(!browser.loadResource(QTextDocument::StyleSheetResource, QUrl(QStringLiteral("help.css")))
                 .toByteArray().isEmpty());
}

void TestHelpPages::controlsListDefaultKeys_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("catalogue");
    QTest::addColumn<QString>("toolkitCatalogue");
    QTest::newRow("en") << QString() << QString() << QString();
    QTest::newRow("de") << "de/" << ":/translations/glanceway_de.qm" << ":/translations/qtbase_de.qm";
}

// Every configurable action appears once on the controls page, labelled with
// its menu text in the page's language, with its default key first and only
// keys it really has, written as that language's menus write them.
void TestHelpPages::controlsListDefaultKeys()
{
    QFETCH(QString, folder);
    QFETCH(QString, catalogue);
    QFETCH(QString, toolkitCatalogue);
    QTranslator appTranslator;
    QTranslator toolkitTranslator;
    // The English plural forms lie beneath every language, as in the program.
    QTranslator pluralTranslator;
    QVERIFY(pluralTranslator.load(QStringLiteral(":/translations/glanceway_en.qm")));
    QCoreApplication::installTranslator(&pluralTranslator);
    if (!catalogue.isEmpty()) {
        QVERIFY(appTranslator.load(catalogue));
        QVERIFY(toolkitTranslator.load(toolkitCatalogue));
        QCoreApplication::installTranslator(&toolkitTranslator);
        QCoreApplication::installTranslator(&appTranslator);
    }
    // Leaves the toolkit untranslated for the next row, whatever fails below.
    const auto restore = qScopeGuard([&] {
        QCoreApplication::removeTranslator(&appTranslator);
        QCoreApplication::removeTranslator(&toolkitTranslator);
        QCoreApplication::removeTranslator(&pluralTranslator);
    });

    const Page page = parsePage(folder + QStringLiteral("controls.html"));
    QVERIFY2(page.error.isEmpty(), qPrintable(page.error));

    MainWindow window;
    const QMap<QString, QAction *> &registry = window.registeredActions();

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
}

QTEST_MAIN(TestHelpPages)
#include "tst_helppages.moc"
