#include "dialogdrivers.h"
#include "ui/helpdialog.h"
#include "ui/webaddress.h"

#include "maptranslator.h"

#include <QClipboard>
#include <QDesktopServices>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QScopeGuard>
#include <QTextBrowser>
#include <QTranslator>
#include <QtTest>

namespace {

const char indexPage[] =
    "<html><body><h1>Start</h1>"
    "<p>An apple a day keeps every doubt away.</p>"
    "<p><a href='second.html'>Second page</a></p>"
    "<p>Another APPLE is here. <a href='https://www.example.com/outside.html'>Outside</a></p>"
    "</body></html>";

const char secondPage[] =
    "<html><body><h1>Second</h1><p>A pear, and one more pear.</p>"
    "<p><a href='index.html'>Back to the start</a></p></body></html>";

// Moves the browser's keyboard focus over `count` links and activates the last,
// as a keyboard user would.
void activateLink(QTextBrowser *browser, int count)
{
    browser->setFocus();
    for (int i = 0; i < count; ++i)
        QTest::keyClick(browser, Qt::Key_Tab);
    QTest::keyClick(browser, Qt::Key_Return);
}

} // namespace

class TestHelpDialog : public QObject
{
    Q_OBJECT

public slots:
    // Stands in for the system's browser.
    void openExternally(const QUrl &url) { externalUrls.append(url); }

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void backForwardFollowHistory();
    void find_data();
    void find();
    void returnInFindFieldSearchesOnce();
    void findShortcutFocusesField();
    void webLinksLeaveTheDialog();
    void startsAtCompiledInHelp();
    void pagesInInterfaceLanguage_data();
    void pagesInInterfaceLanguage();
    void fitsOnSmallScreen();
    void addressShownWithoutBrowser();

private:
    QUrl pageUrl(const char *name) const { return QUrl::fromLocalFile(pages.filePath(QString::fromLatin1(name))); }

    QTemporaryDir pages;
    QList<QUrl> externalUrls;
};

void TestHelpDialog::initTestCase()
{
    QVERIFY(pages.isValid());
    const QList<QPair<const char *, const char *>> files = {{"index.html", indexPage}, {"second.html", secondPage}};
    for (const auto &file : files) {
        QFile out(pages.filePath(QString::fromLatin1(file.first)));
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(file.second);
    }
}

void TestHelpDialog::init()
{
    externalUrls.clear();
    QDesktopServices::setUrlHandler(QStringLiteral("https"), this, "openExternally");
}

void TestHelpDialog::cleanup()
{
    QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
}

void TestHelpDialog::backForwardFollowHistory()
{
    HelpDialog dialog(pageUrl("index.html"));
    dialog.show();
    QTextBrowser *browser = dialog.browser();
    auto *back = dialog.findChild<QPushButton *>(QStringLiteral("backButton"));
    auto *forward = dialog.findChild<QPushButton *>(QStringLiteral("forwardButton"));
    auto *contents = dialog.findChild<QPushButton *>(QStringLiteral("contentsButton"));
    QVERIFY(back && forward && contents);

    struct Expect
    {
        const char *page;
        bool back;
        bool forward;
    };
    auto check = [&](const Expect &expect) {
        QCOMPARE(browser->source(), pageUrl(expect.page));
        QCOMPARE(back->isEnabled(), expect.back);
        QCOMPARE(forward->isEnabled(), expect.forward);
    };

    check({"index.html", false, false});
    activateLink(browser, 1);
    check({"second.html", true, false});
    QTest::mouseClick(back, Qt::LeftButton);
    check({"index.html", false, true});
    QTest::mouseClick(forward, Qt::LeftButton);
    check({"second.html", true, false});
    QTest::mouseClick(contents, Qt::LeftButton);
    check({"index.html", true, false});
    QTest::mouseClick(back, Qt::LeftButton);
    check({"second.html", true, true});
}

void TestHelpDialog::find_data()
{
    QTest::addColumn<QString>("text");
    // For each press, which occurrence (case-insensitive) is selected; -1: none.
    QTest::addColumn<QList<int>>("selected");

    QTest::newRow("two-matches-wrap") << "apple" << QList<int>{0, 1, 0, 1};
    QTest::newRow("ignores-case") << "aPpLe" << QList<int>{0, 1};
    QTest::newRow("single-match-repeats") << "doubt" << QList<int>{0, 0};
    QTest::newRow("absent-word") << "pear" << QList<int>{-1, -1};
    QTest::newRow("empty-field") << "" << QList<int>{-1};
}

void TestHelpDialog::find()
{
    QFETCH(QString, text);
    QFETCH(QList<int>, selected);

    HelpDialog dialog(pageUrl("index.html"));
    dialog.resize(300, 120);
    dialog.show();
    QTextBrowser *browser = dialog.browser();
    auto *field = dialog.findChild<QLineEdit *>(QStringLiteral("findEdit"));
    auto *findButton = dialog.findChild<QPushButton *>(QStringLiteral("findButton"));
    QVERIFY(field && findButton);
    field->setText(text);

    const QString plain = browser->toPlainText();
    QList<int> positions;
    for (int at = plain.indexOf(text, 0, Qt::CaseInsensitive); !text.isEmpty() && at >= 0;
         at = plain.indexOf(text, at + 1, Qt::CaseInsensitive))
        positions.append(at);

    for (int press = 0; press < selected.size(); ++press) {
        QTest::mouseClick(findButton, Qt::LeftButton);
        const QTextCursor cursor = browser->textCursor();
        if (selected.at(press) < 0) {
            QVERIFY(!cursor.hasSelection());
            QCOMPARE(cursor.position(), 0);
            QCOMPARE(browser->verticalScrollBar()->value(), 0);
        } else {
            QVERIFY(selected.at(press) < positions.size());
            QCOMPARE(cursor.selectionStart(), positions.at(selected.at(press)));
            QCOMPARE(cursor.selectedText().toLower(), text.toLower());
        }
    }
}

void TestHelpDialog::returnInFindFieldSearchesOnce()
{
    HelpDialog dialog(pageUrl("index.html"));
    dialog.show();
    // With "Back" enabled, a default button would turn Return into a page change.
    activateLink(dialog.browser(), 1);
    QCOMPARE(dialog.browser()->source(), pageUrl("second.html"));
    auto *field = dialog.findChild<QLineEdit *>(QStringLiteral("findEdit"));
    field->setFocus();
    field->setText(QStringLiteral("pear"));
    const int first = dialog.browser()->toPlainText().indexOf(QLatin1String("pear"));
    const int second = dialog.browser()->toPlainText().lastIndexOf(QLatin1String("pear"));
    QVERIFY(first >= 0 && second > first);

    QTest::keyClick(field, Qt::Key_Return);
    QCOMPARE(dialog.browser()->textCursor().selectionStart(), first);
    QTest::keyClick(field, Qt::Key_Return);
    QCOMPARE(dialog.browser()->textCursor().selectionStart(), second);
    QVERIFY(dialog.isVisible());
    QCOMPARE(dialog.browser()->source(), pageUrl("second.html"));
}

void TestHelpDialog::findShortcutFocusesField()
{
    HelpDialog dialog(pageUrl("index.html"));
    dialog.show();
    dialog.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    auto *field = dialog.findChild<QLineEdit *>(QStringLiteral("findEdit"));
    field->setText(QStringLiteral("earlier search"));
    dialog.browser()->setFocus();
    QTRY_VERIFY(dialog.browser()->hasFocus());

    QTest::keySequence(dialog.browser(), QKeySequence(QKeySequence::Find));
    QTRY_VERIFY(field->hasFocus());
    QCOMPARE(field->selectedText(), QStringLiteral("earlier search"));
}

void TestHelpDialog::webLinksLeaveTheDialog()
{
    HelpDialog dialog(pageUrl("index.html"));
    dialog.show();

    activateLink(dialog.browser(), 2);
    QCOMPARE(externalUrls, QList<QUrl>{QUrl(QStringLiteral("https://www.example.com/outside.html"))});
    QCOMPARE(dialog.browser()->source(), pageUrl("index.html"));

    auto *online = dialog.findChild<QPushButton *>(QStringLiteral("onlineHelpButton"));
    QVERIFY(online);
    QTest::mouseClick(online, Qt::LeftButton);
    QCOMPARE(externalUrls.size(), 2);
    QCOMPARE(externalUrls.last().scheme(), QStringLiteral("https"));
    // The English help's page on the web has an English name.
    QCOMPARE(externalUrls.last().path(), QStringLiteral("/glanceway/help.html"));
    QVERIFY(dialog.isVisible());
}

void TestHelpDialog::startsAtCompiledInHelp()
{
    HelpDialog dialog;
    QCOMPARE(dialog.browser()->source(), QUrl(QStringLiteral("qrc:/help/index.html")));
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Quillmark Glanceway Help"));
    if (!QFile::exists(QStringLiteral(":/help/index.html")))
        QSKIP("The help pages are not compiled in");
    QVERIFY(!dialog.browser()->toPlainText().trimmed().isEmpty());
}

// The help speaks the language the installed catalogue names, where the
// program has pages in it; every other case gets the English pages.
void TestHelpDialog::pagesInInterfaceLanguage_data()
{
    QTest::addColumn<QString>("catalogue");
    QTest::addColumn<QString>("namedLanguage"); // what a stand-in catalogue says
    QTest::addColumn<QString>("startPage");
    QTest::addColumn<QString>("title");

    const QString english = QStringLiteral("qrc:/help/index.html");
    QTest::newRow("no-catalogue") << QString() << QString() << english << "Quillmark Glanceway Help";
    QTest::newRow("german-catalogue") << ":/translations/glanceway_de.qm" << QString() << "qrc:/help/de/index.html"
                                      << "Quillmark Glanceway – Hilfe";
    QTest::newRow("language-without-pages") << QString() << "fr" << english << "Quillmark Glanceway Help";
    QTest::newRow("catalogue-silent-on-language") << QString() << "" << english << "Quillmark Glanceway Help";
    QTest::newRow("path-instead-of-code") << QString() << "../help" << english << "Quillmark Glanceway Help";
}

void TestHelpDialog::pagesInInterfaceLanguage()
{
    QFETCH(QString, catalogue);
    QFETCH(QString, namedLanguage);
    QFETCH(QString, startPage);
    QFETCH(QString, title);
    if (!QFile::exists(QStringLiteral(":/help/index.html")))
        QSKIP("The help pages are not compiled in");

    // A stand-in catalogue translates the dialog's own texts either way, as a
    // partial catalogue would, and names a language only where the row says.
    QHash<QString, QString> texts{{QStringLiteral("Back"), QStringLiteral("Retour")}};
    if (!namedLanguage.isEmpty())
        texts.insert(QStringLiteral("en"), namedLanguage);
    MapTranslator standIn("HelpDialog", texts);
    QTranslator compiled;
    if (!catalogue.isEmpty()) {
        QVERIFY(compiled.load(catalogue));
        QVERIFY(QCoreApplication::installTranslator(&compiled));
    } else if (!namedLanguage.isNull()) {
        QVERIFY(QCoreApplication::installTranslator(&standIn));
    }
    const auto uninstall = qScopeGuard([&] {
        QCoreApplication::removeTranslator(&compiled);
        QCoreApplication::removeTranslator(&standIn);
    });

    HelpDialog dialog;
    QCOMPARE(dialog.browser()->source(), QUrl(startPage));
    QCOMPARE(dialog.browser()->documentTitle(), title);

    // Contents leads back into the same language from any page.
    dialog.browser()->setSource(QUrl(startPage).resolved(QUrl(QStringLiteral("filters.html"))));
    QVERIFY(!dialog.browser()->toPlainText().isEmpty());
    auto *contents = dialog.findChild<QPushButton *>(QStringLiteral("contentsButton"));
    QTest::mouseClick(contents, Qt::LeftButton);
    QCOMPARE(dialog.browser()->source(), QUrl(startPage));
}

void TestHelpDialog::fitsOnSmallScreen()
{
    HelpDialog dialog(pageUrl("index.html"));
    const QRect available = dialog.screen()->availableGeometry();
    QCOMPARE(dialog.width(), qMin(900, available.width() - 40));
    QCOMPARE(dialog.height(), qMin(720, available.height() - 80));
}

void TestHelpDialog::addressShownWithoutBrowser()
{
    const QUrl address(QStringLiteral("https://www.quillmark.net/glanceway/help.html"));
    QString shown;
    DialogDriver<QMessageBox> driver([&](QMessageBox *box) {
        shown = box->informativeText();
        for (QAbstractButton *button : box->buttons()) {
            if (box->buttonRole(button) == QMessageBox::ActionRole)
                button->click(); // copies, and leaves the box open
        }
        QVERIFY(box->isVisible());
        box->button(QMessageBox::Close)->click();
    });
    openWebAddress(nullptr, address, [](const QUrl &) { return false; });
    QVERIFY(driver.ran);
    QCOMPARE(shown, address.toString());
    QCOMPARE(QApplication::clipboard()->text(), address.toString());

    // A browser that starts is all there is to it.
    DialogDriver<QMessageBox> none([](QMessageBox *box) { box->close(); });
    QList<QUrl> opened;
    openWebAddress(nullptr, address, [&](const QUrl &url) {
        opened.append(url);
        return true;
    });
    QVERIFY(!none.ran);
    QCOMPARE(opened, QList<QUrl>{address});
}

QTEST_MAIN(TestHelpDialog)
#include "tst_helpdialog.moc"
