#include "dialogdrivers.h"
#include "windowtesting.h"
#include "app/translations.h"
#include "catalog/photocatalog.h"
#include "grid/thumbnaillistmodel.h"
#include "grid/thumbnailgridwidget.h"
#include "ui/mainwindow.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QListView>
#include <QSettings>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

// What the window tells the user in its title and status bar, and that its
// keys reach the user wherever the window stands.

namespace {

const QString fixtureJpeg = QStringLiteral(GLANCEWAY_TESTDATA "/fixtures/fixture.jpg");

} // namespace

class TestMainWindowStatus : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void nothingOpenYet();
    void titleFollowsGridCursor();
    void removedByOthers_data();
    void removedByOthers();
    void openFromFullScreen();
    void filesNotShownAreCounted_data();
    void filesNotShownAreCounted();

private:
    QString makeFolder(const QStringList &names);
    std::unique_ptr<MainWindow> openWindow(const QString &folder);

    QTemporaryDir sandbox{QStringLiteral(GLANCEWAY_BINARY_DIR "/tst_mainwindowstatus-XXXXXX")};
    std::unique_ptr<QTemporaryDir> root;
    Translations translations;
};

void TestMainWindowStatus::initTestCase()
{
    QVERIFY(prepareWindowTests(sandbox, translations));
}

void TestMainWindowStatus::init()
{
    QSettings().clear();
    root = std::make_unique<QTemporaryDir>(QDir::homePath() + QStringLiteral("/status-XXXXXX"));
    QVERIFY(root->isValid());
}

void TestMainWindowStatus::cleanup()
{
    root.reset();
    QSettings().clear();
}

QString TestMainWindowStatus::makeFolder(const QStringList &names)
{
    const QString folder = root->filePath(QStringLiteral("photos"));
    QDir().mkpath(folder);
    for (const QString &name : names)
        QFile::copy(fixtureJpeg, folder + QLatin1Char('/') + name);
    return folder;
}

std::unique_ptr<MainWindow> TestMainWindowStatus::openWindow(const QString &folder)
{
    return openWindowOn(folder);
}

void TestMainWindowStatus::nothingOpenYet()
{
    MainWindow w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    // Whatever refreshes the status meanwhile, nothing was searched for photos yet.
    w.findChild<QAction *>(QStringLiteral("gridAction"))->trigger();
    w.findChild<QAction *>(QStringLiteral("gridAction"))->trigger();
    QCOMPARE(w.statusBar()->currentMessage(), QStringLiteral("Open a folder to begin"));
}

void TestMainWindowStatus::titleFollowsGridCursor()
{
    const QString folder = makeFolder({"a.jpg", "b.jpg", "c.jpg"});
    auto w = openWindow(folder);
    QCOMPARE(w->windowTitle(), QStringLiteral("a.jpg — Quillmark Glanceway"));
    w->findChild<QAction *>(QStringLiteral("gridAction"))->trigger();
    QListView *view = w->findChild<ThumbnailGridWidget *>()->findChild<QListView *>();
    view->setFocus();
    QTest::keyClick(view, Qt::Key_Right);
    QTest::keyClick(view, Qt::Key_Right);
    QTRY_COMPARE(w->windowTitle(), QStringLiteral("c.jpg — Quillmark Glanceway"));
}

void TestMainWindowStatus::removedByOthers_data()
{
    QTest::addColumn<QStringList>("removed");
    QTest::addColumn<QString>("notice");
    QTest::newRow("one") << QStringList{"b.jpg"} << "b.jpg was removed from the folder";
    QTest::newRow("two") << QStringList{"a.jpg", "c.jpg"} << "2 photos were removed from the folder";
}

void TestMainWindowStatus::removedByOthers()
{
    QFETCH(QStringList, removed);
    QFETCH(QString, notice);
    const QString folder = makeFolder({"a.jpg", "b.jpg", "c.jpg"});
    auto w = openWindow(folder);
    PhotoCatalog *catalog = w->findChild<PhotoCatalog *>();
    // On Windows a file being read (the neighbours are decoded ahead) cannot
    // be removed until the reader is done with it, which must be soon; a
    // removal refused while another handle was opening it may still happen.
    for (const QString &name : std::as_const(removed)) {
        const QString path = folder + QLatin1Char('/') + name;
        QTRY_VERIFY(QFile::remove(path) || !QFileInfo::exists(path));
    }
    // What the folder watch would start.
    catalog->rescan();
    QTRY_COMPARE(catalog->allFiles().size(), 3 - removed.size());
    QTRY_COMPARE(w->statusBar()->currentMessage(), notice);
}

void TestMainWindowStatus::openFromFullScreen()
{
    const QString folder = makeFolder({"a.jpg"});
    auto w = openWindow(folder);
    w->findChild<QAction *>(QStringLiteral("fullScreenAction"))->trigger();
    QTRY_VERIFY(w->isFullScreen());
    bool fullScreenWhenAsked = true;
    DialogDriver<QFileDialog> driver([&](QFileDialog *dialog) {
        fullScreenWhenAsked = w->isFullScreen();
        dialog->reject();
    });
    // The key reaches the window although its menu bar is hidden.
    QApplication::setActiveWindow(w.get());
    QTest::keySequence(w.get(), QKeySequence::Open);
    QTRY_VERIFY(driver.ran);
    QVERIFY(!fullScreenWhenAsked);
}

void TestMainWindowStatus::filesNotShownAreCounted_data()
{
    QTest::addColumn<QStringList>("damaged");
    QTest::addColumn<QString>("counted");
    QTest::newRow("none") << QStringList{} << QString();
    QTest::newRow("one-raw") << QStringList{"IMG_0001.CRW"} << " — 1 file could not be shown";
    QTest::newRow("two-raws") << QStringList{"IMG_0001.CRW", "DCP_0002.KDC"} << " — 2 files could not be shown";
}

// Listed files that nothing can show are counted in the status line, and
// only those: the photos that load are not.
void TestMainWindowStatus::filesNotShownAreCounted()
{
    QFETCH(QStringList, damaged);
    QFETCH(QString, counted);
    const QString folder = makeFolder({"a.jpg", "b.jpg"});
    for (const QString &name : std::as_const(damaged)) {
        QFile file(folder + QLatin1Char('/') + name);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(4096, '\0'));
    }
    auto w = openWindow(folder);
    w->findChild<QAction *>(QStringLiteral("gridAction"))->trigger();
    auto *grid = w->findChild<ThumbnailGridWidget *>();
    for (const QString &name : {QStringLiteral("a.jpg"), QStringLiteral("b.jpg")})
        QTRY_COMPARE(grid->model()->stateOf(folder + QLatin1Char('/') + name), int(Ready));
    for (const QString &name : std::as_const(damaged))
        QTRY_COMPARE(grid->model()->stateOf(folder + QLatin1Char('/') + name), int(Failed));
    const QString message = w->statusBar()->currentMessage();
    if (counted.isEmpty())
        QVERIFY2(!message.contains(QStringLiteral("could not be shown")), qPrintable(message));
    else
        QTRY_VERIFY2(w->statusBar()->currentMessage().endsWith(counted), qPrintable(w->statusBar()->currentMessage()));
}

QTEST_MAIN(TestMainWindowStatus)
#include "tst_mainwindowstatus.moc"
