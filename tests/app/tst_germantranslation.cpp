#include "app/translations.h"
#include "ui/mainwindow.h"
#include "ui/recyclebin.h"

#include <QAction>
#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLibraryInfo>
#include <QMenu>
#include <QMenuBar>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTranslator>
#include <QXmlStreamReader>

// The German catalogue: its .ts source (what translators edit) and the .qm that
// the build compiles from it into the resources.
namespace {

struct Message
{
    QString context;
    QString source;
    QString translation;
    QString type; // empty for a finished message
    QStringList forms; // the plural forms of a message that counts
};

QString sourceRoot()
{
    return QDir::cleanPath(QStringLiteral(GLANCEWAY_TESTDATA "/../.."));
}

QString catalogueSource()
{
    return sourceRoot() + QStringLiteral("/resources/translations/glanceway_de.ts");
}

// Reads every message of a .ts file; an empty list with *error set on failure.
QList<Message> readTs(const QString &path, QString *error)
{
    QList<Message> messages;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = file.errorString();
        return {};
    }
    QXmlStreamReader xml(&file);
    QString context;
    Message current;
    bool numerus = false;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement()) {
            if (xml.name() == QLatin1String("name"))
                context = xml.readElementText();
            else if (xml.name() == QLatin1String("message")) {
                current = Message{context, {}, {}, {}, {}};
                numerus = xml.attributes().value(QLatin1String("numerus")) == QLatin1String("yes");
            }
            else if (xml.name() == QLatin1String("source"))
                current.source = xml.readElementText();
            else if (xml.name() == QLatin1String("translation")) {
                current.type = xml.attributes().value(QLatin1String("type")).toString();
                if (!numerus)
                    current.translation = xml.readElementText();
            } else if (xml.name() == QLatin1String("numerusform")) {
                // A message that counts stands checked by its first form.
                current.forms.append(xml.readElementText());
                current.translation = current.forms.constFirst();
            }
        } else if (xml.isEndElement() && xml.name() == QLatin1String("message")) {
            messages.append(current);
        }
    }
    if (xml.hasError()) {
        *error = QStringLiteral("%1 at line %2").arg(xml.errorString()).arg(xml.lineNumber());
        return {};
    }
    return messages;
}

QStringList placeholders(const QString &text)
{
    static const QRegularExpression arg(QStringLiteral("%\\d+"));
    QStringList found;
    for (auto it = arg.globalMatch(text); it.hasNext();)
        found.append(it.next().captured());
    found.sort();
    return found;
}

// The first entry whose Alt letter is missing or taken by an earlier entry of
// the same menu or bar, or empty when each has one of its own.
QString mnemonicClash(const QWidget *menu)
{
    QSet<QChar> taken;
    for (const QAction *action : menu->actions()) {
        if (action->isSeparator() || !action->isVisible())
            continue;
        const QString text = action->text();
        const qsizetype at = text.indexOf(QRegularExpression(QStringLiteral("&[^&]")));
        if (at < 0 || taken.contains(text.at(at + 1).toLower()))
            return text;
        taken.insert(text.at(at + 1).toLower());
    }
    return QString();
}

} // namespace

class TestGermanTranslation : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void messagesPerContext();
    void everyMessageFinished();
    void translationKeepsStructure();
    void tellingRows_data();
    void tellingRows();
    void compiledCatalogueMatchesSource();
    void codeTextsAreTranslated();
    void germanStartShowsGermanMenus();
    void englishStartCountsInEnglish();

private:
    QList<Message> messages;
    QTranslator translator;
};

void TestGermanTranslation::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QCoreApplication::setOrganizationName(QStringLiteral("Quillmark"));
    QCoreApplication::setApplicationName(QStringLiteral("Glanceway"));
    QString error;
    messages = readTs(catalogueSource(), &error);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QVERIFY(translator.load(QStringLiteral(":/translations/glanceway_de.qm")));
    QCOMPARE(translator.language(), QStringLiteral("de_DE"));
}

void TestGermanTranslation::messagesPerContext()
{
    // Each text once per context: a second entry would shadow the first, and
    // which one the catalogue compiler keeps is not ours to choose.
    QSet<QPair<QString, QString>> seen;
    for (const Message &m : messages) {
        QVERIFY2(!m.context.isEmpty(), qPrintable(m.source));
        QVERIFY2(!seen.contains({m.context, m.source}),
                 qPrintable(QStringLiteral("duplicate in %1: %2").arg(m.context, m.source)));
        seen.insert({m.context, m.source});
    }
    QVERIFY(!messages.isEmpty());
}

void TestGermanTranslation::everyMessageFinished()
{
    for (const Message &m : messages) {
        const QString where = m.context + QStringLiteral(": ") + m.source;
        QVERIFY2(m.type.isEmpty(), qPrintable(QStringLiteral("%1 is marked %2").arg(where, m.type)));
        // Only the empty source text may have an empty translation.
        QVERIFY2(m.source.isEmpty() || !m.translation.isEmpty(), qPrintable(where));
    }
}

// A translation must keep every argument, the line breaks that lay out message
// boxes, and the separators that the status bar and overlays rely on.
void TestGermanTranslation::translationKeepsStructure()
{
    const QStringList separators = {QStringLiteral(" — "), QStringLiteral(" · "), QStringLiteral("\n"),
                                    QStringLiteral("…"), QStringLiteral("→")};
    for (const Message &m : messages) {
        const QString where = m.context + QStringLiteral(": ") + m.source;
        QVERIFY2(placeholders(m.source) == placeholders(m.translation), qPrintable(where));
        for (const QString &sep : separators)
            QVERIFY2(m.source.count(sep) == m.translation.count(sep),
                     qPrintable(QStringLiteral("%1 [%2]").arg(where, sep)));
        QCOMPARE(m.translation.startsWith(' '), m.source.startsWith(' '));
        QCOMPARE(m.translation.endsWith(' '), m.source.endsWith(' '));
    }
}

void TestGermanTranslation::tellingRows_data()
{
    QTest::addColumn<QString>("context");
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("german");
    QTest::newRow("filter at least") << "Filter" << "3 Stars or M&ore" << "3 Sterne o&der mehr";
    QTest::newRow("filtered position") << "ViewerWidget" << "Filter: %1 — image %2 of %3"
                                       << "Filter: %1 — Bild %2 von %3";
    QTest::newRow("summary") << "MainWindow" << "%1 total · %2 reviewed · %3 rejected · %4 open"
                             << "%1 gesamt · %2 gesichtet · %3 abgelehnt · %4 offen";
    QTest::newRow("conflict") << "PreferencesDialog" << "The shortcut %1 is used by \"%2\" and \"%3\"."
                              << "Das Tastenkürzel %1 wird von „%2“ und „%3“ verwendet.";
    QTest::newRow("purple") << "ColorLabel" << "Purple" << "Violett";
    QTest::newRow("start message") << "MainWindow" << "Open a folder to begin" << "Öffnen Sie einen Ordner, um zu beginnen";
    // Texts with line breaks and non-ASCII characters survive compilation.
    QTest::newRow("more failures") << "MainWindow" << "\n…and more" << "\n…und weitere";
    QTest::newRow("grid empty") << "ThumbnailGridWidget"
                                << "No photos to display.\n\nOpen a photo folder or choose Filter → All Images."
                                << "Keine Fotos vorhanden.\n\nÖffnen Sie einen Fotoordner oder wählen Sie Filter → Alle Bilder.";
    // The same English word is translated per context.
    QTest::newRow("filter red") << "Filter" << "Re&d" << "&Rot";
    QTest::newRow("viewer file") << "ViewerWidget" << "File" << "Datei";
    QTest::newRow("undone") << "PhotoCatalog" << "Undone: %1 on %2" << "Rückgängig gemacht: %1 bei %2";
    QTest::newRow("pair confirmation") << "MainWindow"
                                       << "Move %1 (%2) and %3 to the Recycle Bin?\n\nThe files will not be permanently deleted."
                                       << "%1 (%2) und %3 in den Papierkorb verschieben?\n\nDie Dateien werden nicht endgültig gelöscht.";
}

void TestGermanTranslation::tellingRows()
{
    QFETCH(QString, context);
    QFETCH(QString, source);
    QFETCH(QString, german);
    QCOMPARE(translator.translate(context.toUtf8().constData(), source.toUtf8().constData()), german);
}

// The .qm in the resources is built from the .ts: every row must arrive.
void TestGermanTranslation::compiledCatalogueMatchesSource()
{
    for (const Message &m : messages) {
        for (int i = 0; i < m.forms.size(); ++i) {
            // German has a singular (1) and a plural (2 and more).
            const QString form = translator.translate(m.context.toUtf8().constData(), m.source.toUtf8().constData(),
                                                      nullptr, i + 1);
            QVERIFY2(form == m.forms.at(i), qPrintable(QStringLiteral("%1: %2 [%3]").arg(m.context, m.source).arg(i)));
        }
        if (!m.forms.isEmpty())
            continue;
        const QString compiled = translator.translate(m.context.toUtf8().constData(), m.source.toUtf8().constData());
        QVERIFY2(compiled == m.translation,
                 qPrintable(QStringLiteral("%1: %2 -> '%3'").arg(m.context, m.source, compiled)));
    }
    // A context the catalogue does not know yields nothing, so the check above can fail.
    QVERIFY(translator.translate("NoSuchContext", "Reject").isEmpty());
}

// Runs the toolkit's extractor over the program's sources: every text that the
// code passes to translation must be in the catalogue under the same context.
void TestGermanTranslation::codeTextsAreTranslated()
{
    const QString lupdate = QLibraryInfo::path(QLibraryInfo::BinariesPath) + QStringLiteral("/lupdate");
    if (!QFile::exists(lupdate))
        QSKIP("lupdate is not installed");
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString extracted = dir.filePath(QStringLiteral("extracted.ts"));
    QStringList args = {QStringLiteral("-silent"), QStringLiteral("-locations"), QStringLiteral("none"),
                        QStringLiteral("-I"), sourceRoot()};
    for (const char *sub : {"app", "ui", "catalog", "viewer", "grid", "imaging", "core"})
        args << sourceRoot() + '/' + QLatin1String(sub);
    args << QStringLiteral("-ts") << extracted;
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(lupdate, args);
    QVERIFY(process.waitForFinished(120000));
    QCOMPARE(process.exitCode(), 0);

    QString error;
    const QList<Message> used = readTs(extracted, &error);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QSet<QPair<QString, QString>> known;
    for (const Message &m : messages)
        known.insert({m.context, m.source});
    QStringList missing;
    for (const Message &m : used)
        if (!known.contains({m.context, m.source}))
            missing << m.context + QStringLiteral(": \"") + m.source + '"';
    QVERIFY2(missing.isEmpty(), qPrintable(QStringLiteral("not in the catalogue:\n") + missing.join('\n')));
}

// The way the program starts on a German system: catalogues chosen for de_DE
// before the window is built.
void TestGermanTranslation::germanStartShowsGermanMenus()
{
    Translations translations;
    QVERIFY(translations.installForLocale(QStringLiteral("de_DE")));
    MainWindow window;

    QStringList menus;
    for (QAction *menu : window.menuBar()->actions())
        menus << menu->text().remove(QLatin1Char('&'));
    QCOMPARE(menus,
             QStringList({"Datei", "Bearbeiten", "Navigieren", "Filter", "Ansicht", "Bewertung", "Diashow", "Hilfe"}));

    const QMap<QString, QAction *> &registry = window.registeredActions();
    QVERIFY(registry.contains(QStringLiteral("file.open")));
    QCOMPARE(registry.value(QStringLiteral("file.open"))->text(), QStringLiteral("Ordner ö&ffnen…"));
    // Every menu gives each of its entries a letter of its own.
    for (QAction *menu : window.menuBar()->actions())
        QVERIFY2(mnemonicClash(menu->menu()).isEmpty(), qPrintable(mnemonicClash(menu->menu())));
    QVERIFY(mnemonicClash(window.menuBar()).isEmpty());
    QCOMPARE(registry.value(QStringLiteral("rating.3"))->text(), QStringLiteral("Sterne: &3"));
    QCOMPARE(registry.value(QStringLiteral("rating.1"))->text(), QStringLiteral("Sterne: &1"));
    QCOMPARE(registry.value(QStringLiteral("color.red"))->text(), QStringLiteral("Farbe: &Rot"));
    QCOMPARE(registry.value(QStringLiteral("edit.undo"))->text(), QStringLiteral("&Rückgängig"));
    // Photos, files and sidecars each counted in their own plural form.
    QCOMPARE(RecycleBin::confirmationText(3, 6, 1, false).section(QLatin1Char('\n'), 0, 0),
             QStringLiteral("3 Fotos (6 Dateien) und 1 XMP-Begleitdatei in den Papierkorb verschieben?"));
    // No sidecar: none is counted; one photo is called by its name.
    QCOMPARE(RecycleBin::confirmationText(1, 1, 0, false).section(QLatin1Char('\n'), 0, 0),
             QStringLiteral("1 Foto in den Papierkorb verschieben?"));
    QCOMPARE(RecycleBin::confirmationText(1, 2, 1, true, QStringLiteral("IMG_0042.JPG")).section(QLatin1Char('\n'), 0, 0),
             QStringLiteral("IMG_0042.JPG (2 Dateien) und die zugehörige XMP-Begleitdatei in den Papierkorb verschieben?"));
    QCOMPARE(window.statusBar()->currentMessage(), QStringLiteral("Öffnen Sie einen Ordner, um zu beginnen"));
    // Key names come from the toolkit's German catalogue.
    QCOMPARE(registry.value(QStringLiteral("file.open"))->shortcut().toString(QKeySequence::NativeText),
             QStringLiteral("Strg+O"));
}

// English has no catalogue of its own but the plural forms, under every language.
void TestGermanTranslation::englishStartCountsInEnglish()
{
    Translations translations;
    QVERIFY(!translations.installForLocale(QStringLiteral("en_US")));
    MainWindow window;
    const QMap<QString, QAction *> &registry = window.registeredActions();
    QCOMPARE(registry.value(QStringLiteral("rating.1"))->text(), QStringLiteral("&1 Star"));
    QCOMPARE(registry.value(QStringLiteral("rating.2"))->text(), QStringLiteral("&2 Stars"));
    QCOMPARE(QCoreApplication::translate("ViewerWidget", "at least %n star(s)", nullptr, 1), QStringLiteral("at least 1 star"));
    QCOMPARE(QCoreApplication::translate("ViewerWidget", "%n star(s)", nullptr, 4), QStringLiteral("4 stars"));
    QCOMPARE(RecycleBin::confirmationText(3, 6, 3, false).section(QLatin1Char('\n'), 0, 0),
             QStringLiteral("Move 3 photos (6 files) and 3 XMP sidecars to the Recycle Bin?"));
    QCOMPARE(RecycleBin::confirmationText(1, 2, 1, true).section(QLatin1Char('\n'), 0, 0),
             QStringLiteral("Move 1 photo (2 files) and 1 XMP sidecar to the Recycle Bin?"));
    QCOMPARE(RecycleBin::confirmationText(1, 1, 1, false, QStringLiteral("IMG_0042.JPG")).section(QLatin1Char('\n'), 0, 0),
             QStringLiteral("Move IMG_0042.JPG and its XMP sidecar to the Recycle Bin?"));
    QCOMPARE(RecycleBin::confirmationText(2, 3, 0, true).section(QLatin1Char('\n'), 0, 0),
             QStringLiteral("Move 2 photos (3 files) to the Recycle Bin?"));
    // Without pairs, a selection is asked about as it always was.
    QCOMPARE(RecycleBin::confirmationText(2, 2, 1, true).section(QLatin1Char('\n'), 0, 0),
             QStringLiteral("Move 2 selected photo(s) and 1 associated XMP sidecar(s) to the Recycle Bin?"));
    for (QAction *menu : window.menuBar()->actions())
        QVERIFY2(mnemonicClash(menu->menu()).isEmpty(), qPrintable(mnemonicClash(menu->menu())));
    QVERIFY(mnemonicClash(window.menuBar()).isEmpty());

    // Every text that counts has its English forms.
    QString error;
    const QList<Message> plurals =
        readTs(sourceRoot() + QStringLiteral("/resources/translations/glanceway_en.ts"), &error);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QSet<QPair<QString, QString>> english;
    for (const Message &m : plurals) {
        QCOMPARE(m.forms.size(), 2);
        english.insert({m.context, m.source});
    }
    for (const Message &m : std::as_const(messages)) {
        if (!m.forms.isEmpty())
            QVERIFY2(english.contains({m.context, m.source}), qPrintable(m.source));
    }
}

QTEST_MAIN(TestGermanTranslation)
#include "tst_germantranslation.moc"
