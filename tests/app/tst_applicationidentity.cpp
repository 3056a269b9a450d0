#include "app/applicationidentity.h"

#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

// Uses INI files in a temporary folder for both stores, so the real user's
// settings are never touched.
class TestApplicationIdentity : public QObject
{
    Q_OBJECT

private slots:
    void importCopiesMissingKeysOnly();
    void importRunsOnce();
    void emptyLegacyStoreStillSetsFlag();

private:
    QTemporaryDir m_dir;
    QString file(const QString &name) const { return m_dir.filePath(name); }
};

void TestApplicationIdentity::importCopiesMissingKeysOnly()
{
    QSettings legacy(file("legacy1.ini"), QSettings::IniFormat);
    legacy.setValue("lastDirectory", "/photos/old");
    legacy.setValue("slideshow/seconds", 9);
    legacy.setValue("shortcuts/rating.1", "Ctrl+1");
    legacy.sync();

    QSettings current(file("current1.ini"), QSettings::IniFormat);
    current.setValue("lastDirectory", "/photos/new");
    importLegacySettings(legacy, current);

    QCOMPARE(current.value("lastDirectory").toString(), QString("/photos/new"));
    QCOMPARE(current.value("slideshow/seconds").toInt(), 9);
    QCOMPARE(current.value("shortcuts/rating.1").toString(), QString("Ctrl+1"));
    QVERIFY(current.value("migration/pellowickImported").toBool());

    // The legacy store is only read.
    QCOMPARE(legacy.allKeys().size(), 3);
    QVERIFY(!legacy.contains("migration/pellowickImported"));
}

void TestApplicationIdentity::importRunsOnce()
{
    QSettings legacy(file("legacy2.ini"), QSettings::IniFormat);
    legacy.setValue("a", 1);
    QSettings current(file("current2.ini"), QSettings::IniFormat);
    importLegacySettings(legacy, current);
    QCOMPARE(current.value("a").toInt(), 1);

    // A key the user removed since, or one added to the legacy store later,
    // must not come back on the next start.
    current.remove("a");
    legacy.setValue("b", 2);
    importLegacySettings(legacy, current);
    QVERIFY(!current.contains("a"));
    QVERIFY(!current.contains("b"));
}

void TestApplicationIdentity::emptyLegacyStoreStillSetsFlag()
{
    QSettings legacy(file("absent.ini"), QSettings::IniFormat);
    QSettings current(file("current3.ini"), QSettings::IniFormat);
    importLegacySettings(legacy, current);
    QVERIFY(current.value("migration/pellowickImported").toBool());
    QCOMPARE(current.allKeys(), QStringList{"migration/pellowickImported"});
    QVERIFY(!QFile::exists(file("absent.ini")));
}

QTEST_GUILESS_MAIN(TestApplicationIdentity)
#include "tst_applicationidentity.moc"
