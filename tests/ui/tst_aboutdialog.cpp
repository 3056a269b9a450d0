#include "ui/aboutdialog.h"

#include "maptranslator.h"

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QSysInfo>
#include <QTextBrowser>
#include <QTextBlock>
#include <QTextDocument>
#include <QTimer>
#include <QTranslator>
#include <QtTest>

namespace {

class BoxCloser : public QObject
{
public:
    explicit BoxCloser(QList<QWidget *> *parents) : shownParents(parents) { qApp->installEventFilter(this); }
    ~BoxCloser() override { qApp->removeEventFilter(this); }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        auto *box = qobject_cast<QMessageBox *>(watched);
        if (box && event->type() == QEvent::Show) {
            shownParents->append(box->parentWidget());
            QTimer::singleShot(0, box, [box] { box->done(0); });
        }
        return QObject::eventFilter(watched, event);
    }

private:
    QList<QWidget *> *shownParents;
};

QString plainText(const QString &html)
{
    QTextDocument document;
    document.setHtml(html);
    return document.toPlainText();
}

} // namespace

class TestAboutDialog : public QObject
{
    Q_OBJECT

private slots:
    void translatedArgumentsAreEscaped_data();
    void translatedArgumentsAreEscaped();
    void namesVersionsAndSite();
    void platformAndNotice_data();
    void platformAndNotice();
    void aboutQtOpensOverTheDialog();
    void showsIconAndFits();
};

void TestAboutDialog::translatedArgumentsAreEscaped_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("translation");
    QTest::addColumn<QString>("htmlFragment");
    QTest::addColumn<QString>("shownText");

    QTest::newRow("ampersand-and-tag") << "Libraries and licenses" << "Bibliotheken & <Lizenzen>"
                                       << "Bibliotheken &amp; &lt;Lizenzen&gt;" << "Bibliotheken & <Lizenzen>";
    QTest::newRow("placeholder-stays-text")
        << "Support and contact via our website." << "Kontakt zu 100%2 über %5"
        << "Kontakt zu 100%2 über %5" << "Kontakt zu 100%2 über %5";
    QTest::newRow("line-above-notice") << "" << "Vertrieb \"Nord\" & Süd"
                                       << "Vertrieb &quot;Nord&quot; &amp; Süd" << "Vertrieb \"Nord\" & Süd";
    QTest::newRow("version-with-markup") << "Version %1 · %2 · Public test" << "<i>Version</i> %1"
                                         << "&lt;i&gt;Version&lt;/i&gt; 1.0.3" << "<i>Version</i> 1.0.3";
    QTest::newRow("toolkit-version") << "Uses Qt %1. Qt is available under the GNU LGPL version 3 and other "
                                        "licenses. See About Qt and the license information supplied with the "
                                        "application."
                                     << "Qt %1 <LGPL>"
                                     << "Qt {qt} &lt;LGPL&gt;" << "Qt {qt} <LGPL>";
}

void TestAboutDialog::translatedArgumentsAreEscaped()
{
    QFETCH(QString, source);
    QFETCH(QString, translation);
    QFETCH(QString, htmlFragment);
    QFETCH(QString, shownText);
    const QString runtimeQt = QString::fromLatin1(qVersion());
    htmlFragment.replace(QLatin1String("{qt}"), runtimeQt);
    shownText.replace(QLatin1String("{qt}"), runtimeQt);

    MapTranslator translator("AboutDialog", {{source, translation}});
    QVERIFY(QCoreApplication::installTranslator(&translator));
    const QString html = AboutDialog::aboutHtml();
    QCoreApplication::removeTranslator(&translator);

    QVERIFY2(html.contains(htmlFragment), qPrintable(html));
    QVERIFY2(plainText(html).contains(shownText), qPrintable(plainText(html)));
    // The rest of the page is untouched by the translated argument.
    QVERIFY(plainText(html).startsWith(QLatin1String("Quillmark Glanceway")));
}

void TestAboutDialog::namesVersionsAndSite()
{
    const QString html = AboutDialog::aboutHtml();
    const QStringList lines = plainText(html).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QVERIFY(lines.size() >= 6);
    QCOMPARE(lines.at(0), QStringLiteral("Quillmark Glanceway"));
    QCOMPARE(lines.at(1), QStringLiteral("Version 1.0.3 · %1 · Public test").arg(AboutDialog::buildPlatform()));
    QVERIFY(lines.contains(QStringLiteral("Support and contact via our website.")));
    QVERIFY(lines.contains(QStringLiteral("Libraries and licenses")));
    // The toolkit the program runs with, which may differ from the one it was built with.
    QVERIFY(lines.contains(QStringLiteral("Uses Qt %1. Qt is available under the GNU LGPL version 3 and other "
                                          "licenses. See About Qt and the license information supplied with the "
                                          "application.")
                               .arg(QString::fromLatin1(qVersion()))));

    QTextDocument document;
    document.setHtml(html);
    QStringList anchors;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            if (it.fragment().charFormat().isAnchor())
                anchors << it.fragment().charFormat().anchorHref() + QLatin1Char('|') + it.fragment().text();
        }
    }
    QCOMPARE(anchors, QStringList{QStringLiteral("https://www.quillmark.net|www.quillmark.net")});
    QCOMPARE(AboutDialog::websiteUrl(), QUrl(QStringLiteral("https://www.quillmark.net")));
}

// The version line names the system the tests run on, which for a native
// build is the one it was built for; the maker's notice is never translated.
void TestAboutDialog::platformAndNotice_data()
{
    QTest::addColumn<QString>("catalogue");
    QTest::addColumn<QString>("versionLine");
    QTest::addColumn<QString>("bits");

    QTest::newRow("english") << QString() << "Version 1.0.3 · %1 · Public test" << "(%1-bit)";
    QTest::newRow("german") << ":/translations/glanceway_de.qm" << "Version 1.0.3 · %1 · Öffentlicher Test"
                            << "(%1 Bit)";
}

void TestAboutDialog::platformAndNotice()
{
    QFETCH(QString, catalogue);
    QFETCH(QString, versionLine);
    QFETCH(QString, bits);

    const QHash<QString, QString> systemNames{{"linux", "Linux"},     {"winnt", "Windows"},
                                              {"darwin", "macOS"},    {"freebsd", "FreeBSD"}};
    const QString system = systemNames.value(QSysInfo::kernelType());
    if (system.isEmpty())
        QSKIP("No expected name for this system");

    QTranslator translator;
    if (!catalogue.isEmpty()) {
        QVERIFY(translator.load(catalogue));
        QVERIFY(QCoreApplication::installTranslator(&translator));
    }
    const QStringList lines = plainText(AboutDialog::aboutHtml()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCoreApplication::removeTranslator(&translator);

    QVERIFY(lines.size() >= 3);
    QCOMPARE(lines.at(1), versionLine.arg(system + QLatin1Char(' ') + bits.arg(QSysInfo::WordSize)));
    QVERIFY2(lines.contains(QStringLiteral("© 2026 Quillmark. All rights reserved.")), qPrintable(lines.join('|')));
}

void TestAboutDialog::aboutQtOpensOverTheDialog()
{
    AboutDialog dialog;
    dialog.show();
    QCOMPARE(dialog.windowTitle(), QStringLiteral("About Quillmark Glanceway"));
    auto *button = dialog.findChild<QPushButton *>(QStringLiteral("aboutQtButton"));
    QVERIFY(button);
    QCOMPARE(button->text(), QStringLiteral("About Qt…"));

    // Closes the toolkit's box as soon as it shows, whenever that is.
    QList<QWidget *> boxParents;
    BoxCloser closer(&boxParents);
    QTest::mouseClick(button, Qt::LeftButton);
    QCOMPARE(boxParents, QList<QWidget *>{&dialog});
    QVERIFY(dialog.isVisible());
}

void TestAboutDialog::showsIconAndFits()
{
    QPixmap icon(256, 256);
    icon.fill(Qt::darkCyan);
    QApplication::setWindowIcon(QIcon(icon));

    AboutDialog dialog;
    auto *label = dialog.findChild<QLabel *>(QStringLiteral("iconLabel"));
    QVERIFY(label);
    QCOMPARE(label->pixmap().size(), QSize(64, 64));
    QVERIFY(label->alignment() & Qt::AlignHCenter);

    const QRect available = dialog.screen()->availableGeometry();
    QCOMPARE(dialog.width(), qMin(550, available.width() - 40));
    QCOMPARE(dialog.height(), qMin(510, available.height() - 80));
}

QTEST_MAIN(TestAboutDialog)
#include "tst_aboutdialog.moc"
