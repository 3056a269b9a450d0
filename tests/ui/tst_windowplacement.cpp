#include "ui/windowsize.h"

#include <QMainWindow>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

// The window comes back where the user left it, and never in full screen.
class TestWindowPlacement : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void roundTrip_data();
    void roundTrip();
    void nothingUsableSaved_data();
    void nothingUsableSaved();
};

void TestWindowPlacement::initTestCase()
{
    QCoreApplication::setOrganizationName(QStringLiteral("Quillmark"));
    QCoreApplication::setApplicationName(QStringLiteral("GlancewayPlacementTest"));
}

void TestWindowPlacement::roundTrip_data()
{
    QTest::addColumn<QString>("state"); // "normal", "maximized", "full-screen"
    QTest::addColumn<bool>("maximizedUnderneath");
    QTest::addColumn<bool>("maximized"); // when shown again
    QTest::newRow("normal") << "normal" << false << false;
    QTest::newRow("maximized") << "maximized" << false << true;
    QTest::newRow("full-screen-over-maximized") << "full-screen" << true << true;
    QTest::newRow("full-screen-over-normal") << "full-screen" << false << false;
}

void TestWindowPlacement::roundTrip()
{
    QFETCH(QString, state);
    QFETCH(bool, maximizedUnderneath);
    QFETCH(bool, maximized);
    QSettings().clear();
    const QRect normal(70, 90, 640, 420);
    {
        QMainWindow window;
        window.setGeometry(normal);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        if (state == QLatin1String("maximized"))
            window.showMaximized();
        else if (state == QLatin1String("full-screen"))
            window.showFullScreen();
        QTRY_COMPARE(window.isFullScreen(), state == QLatin1String("full-screen"));
        saveWindowPlacement(&window, maximizedUnderneath);
    }
    QMainWindow again;
    again.resize(100, 100);
    QVERIFY(restoreWindowPlacement(&again));
    again.show();
    QVERIFY(QTest::qWaitForWindowExposed(&again));
    QVERIFY(!again.isFullScreen());
    QCOMPARE(again.isMaximized(), maximized);
    // Leaving maximized returns to the size the user had.
    again.showNormal();
    QTRY_COMPARE(again.geometry().size(), normal.size());
}

void TestWindowPlacement::nothingUsableSaved_data()
{
    QTest::addColumn<QVariant>("stored");
    QTest::newRow("nothing") << QVariant();
    QTest::newRow("not-a-geometry") << QVariant(QByteArray("\x01\xd9\xd0\xcb garbage"));
}

void TestWindowPlacement::nothingUsableSaved()
{
    QFETCH(QVariant, stored);
    QSettings().clear();
    if (stored.isValid())
        QSettings().setValue(QStringLiteral("window/geometry"), stored);
    QMainWindow window;
    window.resize(321, 234);
    QVERIFY(!restoreWindowPlacement(&window));
    QCOMPARE(window.size(), QSize(321, 234));
}

QTEST_MAIN(TestWindowPlacement)
#include "tst_windowplacement.moc"
