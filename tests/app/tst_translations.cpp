#include "app/translations.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

// Catalogues are looked up beside the executable and in the per-user data
// folder; the tests place copies of the compiled-in catalogue there under other
// names and check which one wins.
class TestTranslations : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void directoryOrder();
    void choice_data();
    void choice();
    void translatesTexts();

private:
    QString exeTranslations() const { return QCoreApplication::applicationDirPath() + "/translations"; }
    QString userTranslations() const
    {
        return QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation) + "/translations";
    }
    static void place(const QString &dir, const QString &name);
};

void TestTranslations::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QCoreApplication::setOrganizationName("Quillmark");
    QCoreApplication::setApplicationName("Glanceway");
    QVERIFY(QFile::exists(":/translations/glanceway_de.qm"));
    QVERIFY(QFile::exists(":/translations/qtbase_de.qm"));
}

void TestTranslations::cleanup()
{
    QDir(exeTranslations()).removeRecursively();
    QDir(userTranslations()).removeRecursively();
}

void TestTranslations::place(const QString &dir, const QString &name)
{
    QVERIFY(QDir().mkpath(dir));
    QFile::remove(dir + '/' + name);
    QVERIFY(QFile::copy(":/translations/glanceway_de.qm", dir + '/' + name));
}

void TestTranslations::directoryOrder()
{
    const QStringList dirs = translationDirectories();
    QCOMPARE(dirs.size(), 3);
    QCOMPARE(dirs.at(0), exeTranslations());
    QCOMPARE(dirs.at(1), userTranslations());
    QCOMPARE(dirs.at(2), QString(":/translations"));
}

void TestTranslations::choice_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QStringList>("exeFiles");
    QTest::addColumn<QStringList>("userFiles");
    QTest::addColumn<QString>("expectedApp");   // relative to its folder: "exe:", "user:" or "qrc:"
    QTest::addColumn<bool>("expectQt");

    QTest::newRow("en_US loads nothing") << "en_US" << QStringList{"glanceway_en.qm"} << QStringList{} << "" << false;
    QTest::newRow("en_GB loads nothing") << "en_GB" << QStringList{} << QStringList{"glanceway_en_GB.qm"} << "" << false;
    QTest::newRow("de_DE compiled-in") << "de_DE" << QStringList{} << QStringList{} << "qrc:glanceway_de.qm" << true;
    QTest::newRow("de_CH beside executable") << "de_CH" << QStringList{"glanceway_de_CH.qm"} << QStringList{}
                                             << "exe:glanceway_de_CH.qm" << true;
    QTest::newRow("de_CH language file beside executable") << "de_CH" << QStringList{"glanceway_de.qm"} << QStringList{}
                                                           << "exe:glanceway_de.qm" << true;
    QTest::newRow("region beats language in one folder") << "de_AT" << QStringList{"glanceway_de.qm", "glanceway_de_AT.qm"}
                                                         << QStringList{} << "exe:glanceway_de_AT.qm" << true;
    QTest::newRow("executable folder beats user folder") << "de_DE" << QStringList{"glanceway_de.qm"}
                                                         << QStringList{"glanceway_de_DE.qm"} << "exe:glanceway_de.qm" << true;
    QTest::newRow("user folder beats compiled-in") << "de_DE" << QStringList{} << QStringList{"glanceway_de.qm"}
                                                   << "user:glanceway_de.qm" << true;
    QTest::newRow("fr_FR loads nothing") << "fr_FR" << QStringList{} << QStringList{} << "" << false;
}

void TestTranslations::choice()
{
    QFETCH(QString, locale);
    QFETCH(QStringList, exeFiles);
    QFETCH(QStringList, userFiles);
    QFETCH(QString, expectedApp);
    QFETCH(bool, expectQt);

    for (const QString &f : exeFiles)
        place(exeTranslations(), f);
    for (const QString &f : userFiles)
        place(userTranslations(), f);

    Translations translations;
    const bool installed = translations.installForLocale(locale);
    QCOMPARE(installed, !expectedApp.isEmpty());

    QString expectedPath = expectedApp;
    expectedPath.replace("exe:", exeTranslations() + '/');
    expectedPath.replace("user:", userTranslations() + '/');
    expectedPath.replace("qrc:", ":/translations/");
    QCOMPARE(translations.applicationCatalogue(), expectedPath);
    QCOMPARE(!translations.toolkitCatalogue().isEmpty(), expectQt);
    if (expectQt)
        QVERIFY(translations.toolkitCatalogue().contains("qtbase_de"));
}

void TestTranslations::translatesTexts()
{
    {
        Translations translations;
        QVERIFY(translations.installForLocale("de_DE"));
        QCOMPARE(QCoreApplication::translate("MainWindow", "Open a folder to begin"),
                 QString("Öffnen Sie einen Ordner, um zu beginnen"));
        // The toolkit's own texts come from its catalogue.
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QString("Abbrechen"));
        // Switching to English removes both again.
        QVERIFY(!translations.installForLocale("en_US"));
        QCOMPARE(QCoreApplication::translate("MainWindow", "Open a folder to begin"), QString("Open a folder to begin"));
    }
    // Destroying the owner uninstalls the catalogues.
    QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QString("Cancel"));
}

QTEST_GUILESS_MAIN(TestTranslations)
#include "tst_translations.moc"
