#include "app/commandline.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

// The rows name a sandbox, also the working directory, that holds the folder
// "shoot" with "a.jpg" and "b.cr2", and the file "-dash.jpg"; "@" stands for
// the sandbox's path, "@url" for its file URL (file:///C:/... on Windows) and
// "@drive" for its drive (Windows only).
class TestCommandLine : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void pathToOpen_data();
    void pathToOpen();

private:
    QString resolve(const QString &item) const;
    QTemporaryDir m_sandbox;
};

void TestCommandLine::initTestCase()
{
    QVERIFY(m_sandbox.isValid());
    QVERIFY(QDir(m_sandbox.path()).mkpath(QStringLiteral("shoot")));
    for (const char *name : {"shoot/a.jpg", "shoot/b.cr2", "-dash.jpg"}) {
        QFile file(m_sandbox.filePath(QString::fromLatin1(name)));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    QVERIFY(QDir::setCurrent(m_sandbox.path()));
}

QString TestCommandLine::resolve(const QString &item) const
{
    QString resolved = item;
    resolved.replace(QLatin1String("@drive"), m_sandbox.path().left(2));
    resolved.replace(QLatin1String("@url"), QUrl::fromLocalFile(m_sandbox.path()).toString(QUrl::FullyEncoded));
    return resolved.replace(QLatin1Char('@'), m_sandbox.path());
}

void TestCommandLine::pathToOpen_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("expected");

    QTest::newRow("nothing") << QStringList() << QString();
    QTest::newRow("folder") << QStringList{"@/shoot"} << "@/shoot";
    QTest::newRow("photo") << QStringList{"@/shoot/b.cr2"} << "@/shoot/b.cr2";
    QTest::newRow("several-photos-first-wins")
        << QStringList{"@/shoot/b.cr2", "@/shoot/a.jpg"} << "@/shoot/b.cr2";
    QTest::newRow("missing-before-existing")
        << QStringList{"@/gone.jpg", "@/shoot/a.jpg"} << "@/shoot/a.jpg";
    QTest::newRow("all-missing-first-reported")
        << QStringList{"@/gone.jpg", "@/also-gone"} << "@/gone.jpg";
    QTest::newRow("options-skipped")
        << QStringList{"--new-window", "-x", "@/shoot"} << "@/shoot";
    QTest::newRow("only-options") << QStringList{"--new-window"} << QString();
    QTest::newRow("dash-name-is-an-option") << QStringList{"-dash.jpg"} << QString();
    QTest::newRow("dash-name-after-double-dash")
        << QStringList{"--", "-dash.jpg"} << "-dash.jpg";
    QTest::newRow("file-url") << QStringList{"@url/shoot/a.jpg"} << "@/shoot/a.jpg";
    QTest::newRow("file-url-escaped") << QStringList{"@url/shoot/%61.jpg"} << "@/shoot/a.jpg";
    QTest::newRow("empty-argument-skipped") << QStringList{"", "@/shoot"} << "@/shoot";
#ifdef Q_OS_WIN
    // What Windows' argument parsing makes of Explorer's "%V" for D:\ and of a
    // folder given with a trailing backslash.
    QTest::newRow("drive-root-from-explorer") << QStringList{"@drive\""} << "@drive\\";
    QTest::newRow("trailing-backslash-before-quote") << QStringList{"@\\shoot\""} << "@\\shoot\\";
    QTest::newRow("missing-folder-before-quote")
        << QStringList{"@\\gone\"", "@/shoot"} << "@/shoot";
#endif
}

void TestCommandLine::pathToOpen()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, expected);
    for (QString &argument : arguments)
        argument = resolve(argument);
    QCOMPARE(::pathToOpen(arguments), resolve(expected));
}

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_commandline.moc"
