#include "dialogdrivers.h"
#include "windowtesting.h"
#include "folderlock.h"
#include "permissionbits.h"
#include "shellrecycles.h"
#include "app/translations.h"
#include "catalog/photocatalog.h"
#include "core/xmpsidecar.h"
#include "grid/thumbnailgridwidget.h"
#include "grid/thumbnaillistmodel.h"
#include "ui/mainwindow.h"
#include "ui/markscontroller.h"
#include "ui/recyclebin.h"
#include "ui/slideshowcontroller.h"
#include "ui/preferencesdialog.h"
#include "ui/writeproblembar.h"
#include "viewer/viewerwidget.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFormLayout>
#include <QImage>
#include <QKeySequenceEdit>
#include <QLabel>
#include <QListView>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>
#include <QWheelEvent>

#include <functional>
#include <memory>
#include <unistd.h>

namespace {

const QString fixtureJpeg = QStringLiteral(GLANCEWAY_TESTDATA "/fixtures/fixture.jpg");
const QString fixtureCorrupt = QStringLiteral(GLANCEWAY_TESTDATA "/fixtures/fixture-corrupt.png");

void writeSidecar(const QString &path, const QByteArray &content)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
        qWarning("cannot write %s", qPrintable(path));
}

QByteArray sidecar(const QString &attributes)
{
    return QStringLiteral("<x:xmpmeta xmlns:x=\"adobe:ns:meta/\"><rdf:RDF "
                          "xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\"><rdf:Description "
                          "rdf:about=\"\" xmlns:xmp=\"http://ns.adobe.com/xap/1.0/\" %1/></rdf:RDF></x:xmpmeta>")
        .arg(attributes)
        .toUtf8();
}

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void compareMarksActivePane_data();
    void compareMarksActivePane();
    void compareGridSelection();
    void compareWheelSteps_data();
    void compareWheelSteps();
    void registryDefaults_data();
    void registryDefaults();
    void storedShortcuts_data();
    void storedShortcuts();
    void storedKeyReplacesDefaultKey();
    void helpShortcutMigration_data();
    void helpShortcutMigration();
    void menus();
    void menuEntries_data();
    void menuEntries();

    void firstStart();
    void rememberedFolder_data();
    void rememberedFolder();
    void refreshFolder_data();
    void refreshFolder();
    void titleAndLastFile();

    void markRouting_data();
    void markRouting();
    void sortMenuOrdersTheCatalog();
    void selectionWithoutPreviews_data();
    void selectionWithoutPreviews();
    void actionsDisabledWhileBatchRuns();
    void batchFailureBox_data();
    void batchFailureBox();
    void undoAndRedo();
    void warningStaysReadable();
    void writeProblemBar_data();
    void writeProblemBar();

    void filters_data();
    void filters();
    void folderChangedByOthers();

    void slideshowInterval_data();
    void slideshowInterval();
    void slideshowAtLastPhoto_data();
    void slideshowAtLastPhoto();
    void slideshowStoppers_data();
    void slideshowStoppers();
    void slideshowWithoutPhotos();
    void fullScreenAndEsc();

    void shortcutHelpFromGrid();
    void openFromGrid();
    void overlayFollowsPreferences_data();
    void overlayFollowsPreferences();
    void overviewListsEveryKey();
    void escClosesOverview_data();
    void escClosesOverview();
    void preferencesNameTheMenus();

    void recycleBin_data();
    void recycleBin();
    void moveRejected_data();
    void moveRejected();

    void navigationKeys_data();
    void navigationKeys();
    void filterInStatusAndTitle_data();
    void filterInStatusAndTitle();
    void pairsAndSubfolders();
    void statusBackAfterMenu();
    void deleteInViewer();
    void openPath_data();
    void openPath();
    void exifOverlayChecked();

private:
    // A folder of copies of a real JPEG ("a.jpg", ...), plus `extra` files.
    QString makeFolder(const QStringList &names);
    // A window that has opened `folder` and read all its sidecars.
    std::unique_ptr<MainWindow> openWindow(const QString &folder);
    void showGrid(MainWindow &w);
    void selectRows(MainWindow &w, const QList<int> &rows);

    static ViewerWidget *viewerOf(MainWindow &w) { return w.findChild<ViewerWidget *>(); }
    static PhotoCatalog *catalogOf(MainWindow &w) { return w.findChild<PhotoCatalog *>(); }
    static ThumbnailGridWidget *gridOf(MainWindow &w) { return w.findChild<ThumbnailGridWidget *>(); }
    static QAction *named(MainWindow &w, const char *name) { return w.findChild<QAction *>(QLatin1String(name)); }
    static int page(MainWindow &w) { return w.findChild<QStackedWidget *>(QStringLiteral("stack"))->currentIndex(); }
    static QTimer *slideshowTimer(MainWindow &w) { return w.findChild<QTimer *>(QStringLiteral("slideshowTimer")); }

    QTemporaryDir sandbox{QStringLiteral(GLANCEWAY_BINARY_DIR "/tst_mainwindow-XXXXXX")};
    std::unique_ptr<QTemporaryDir> root;
    QString previousCwd;
    Translations translations;
};

void TestMainWindow::initTestCase()
{
    QVERIFY(prepareWindowTests(sandbox, translations));
}

void TestMainWindow::init()
{
    QSettings().clear();
    QSettings().setValue(QStringLiteral("rating/autoAdvance"), false);
    root = std::make_unique<QTemporaryDir>(QDir::homePath() + QStringLiteral("/mainwindow-XXXXXX"));
    QVERIFY(root->isValid());
    // Trash and working directory inside the temporary folder.
    qputenv("XDG_DATA_HOME", QFile::encodeName(root->filePath(QStringLiteral("data"))));
    QVERIFY(QDir().mkpath(root->filePath(QStringLiteral("cwd"))));
    previousCwd = QDir::currentPath();
    QDir::setCurrent(root->filePath(QStringLiteral("cwd")));
}

void TestMainWindow::cleanup()
{
    QDir::setCurrent(previousCwd);
    root.reset();
    QSettings().clear();
}

QString TestMainWindow::makeFolder(const QStringList &names)
{
    const QString folder = root->filePath(QStringLiteral("photos"));
    QDir().mkpath(folder);
    for (const QString &name : names) {
        const QString target = folder + QLatin1Char('/') + name;
        if (name.endsWith(QLatin1String(".xmp")))
            continue;
        if (name.endsWith(QLatin1String(".PNG"))) {
            // The twin of a JPEG under the same base name, sharing its sidecar.
            QImage twin(160, 120, QImage::Format_RGB32);
            twin.fill(Qt::darkCyan);
            twin.save(target, "PNG");
            continue;
        }
        const QString source = name.startsWith(QLatin1String("corrupt")) ? fixtureCorrupt : fixtureJpeg;
        if (!QFile::copy(source, target))
            qWarning("cannot copy %s", qPrintable(target));
    }
    return folder;
}

std::unique_ptr<MainWindow> TestMainWindow::openWindow(const QString &folder)
{
    return openWindowOn(folder);
}

void TestMainWindow::showGrid(MainWindow &w)
{
    QAction *grid = named(w, "gridAction");
    if (!grid->isChecked())
        grid->trigger();
}

void TestMainWindow::selectRows(MainWindow &w, const QList<int> &rows)
{
    QListView *view = gridOf(w)->findChild<QListView *>();
    view->selectionModel()->clearSelection();
    for (int row : rows)
        view->selectionModel()->select(view->model()->index(row, 0), QItemSelectionModel::Select);
}

// ---- Compare view -------------------------------------------------------

void TestMainWindow::compareMarksActivePane_data()
{
    // Compare starts on b (pinned) beside c (candidate). After the keys, 3
    // stars go to the active pane's photo and nowhere else.
    QTest::addColumn<QList<int>>("keys");
    QTest::addColumn<QString>("pinned");
    QTest::addColumn<QString>("candidate");
    QTest::addColumn<QString>("marked");
    QTest::newRow("candidate-at-start") << QList<int>{} << "b.jpg" << "c.jpg" << "c.jpg";
    QTest::newRow("down-to-pinned") << QList<int>{Qt::Key_Down} << "b.jpg" << "c.jpg" << "b.jpg";
    QTest::newRow("up-and-back") << QList<int>{Qt::Key_Up, Qt::Key_Down} << "b.jpg" << "c.jpg" << "c.jpg";
    QTest::newRow("tab-to-pinned") << QList<int>{Qt::Key_Tab} << "b.jpg" << "c.jpg" << "b.jpg";
    QTest::newRow("next-candidate") << QList<int>{Qt::Key_Right} << "b.jpg" << "d.jpg" << "d.jpg";
    QTest::newRow("previous-skips-pinned") << QList<int>{Qt::Key_Left} << "b.jpg" << "a.jpg" << "a.jpg";
    QTest::newRow("return-pins-candidate") << QList<int>{Qt::Key_Return} << "c.jpg" << "d.jpg" << "d.jpg";
    QTest::newRow("return-then-pinned") << QList<int>{Qt::Key_Return, Qt::Key_Down} << "c.jpg" << "d.jpg"
                                        << "c.jpg";
    QTest::newRow("return-at-the-end") << QList<int>{Qt::Key_Right, Qt::Key_Return} << "d.jpg" << "c.jpg"
                                       << "c.jpg";
    QTest::newRow("next-stops-before-pinned-last") << QList<int>{Qt::Key_Right, Qt::Key_Return, Qt::Key_Right}
                                                   << "d.jpg" << "c.jpg" << "c.jpg";
}

void TestMainWindow::compareMarksActivePane()
{
    QFETCH(QList<int>, keys);
    QFETCH(QString, pinned);
    QFETCH(QString, candidate);
    QFETCH(QString, marked);
    const QStringList names{"a.jpg", "b.jpg", "c.jpg", "d.jpg"};
    const QString folder = makeFolder(names);
    // Comparing holds still after a mark, whatever the single view does.
    QSettings().setValue(QStringLiteral("rating/autoAdvance"), true);
    // The copies of one photo would be a burst, and compare would pin its sharpest frame.
    QSettings().setValue(QStringLiteral("groups/gapSeconds"), 0);
    auto w = openWindow(folder);
    PhotoCatalog *catalog = catalogOf(*w);
    ViewerWidget *viewer = viewerOf(*w);
    catalog->select(folder + "/b.jpg");
    QAction *compare = w->registeredActions().value("view.compare");
    compare->trigger();
    QVERIFY(viewer->isComparing());
    QVERIFY(compare->isChecked());
    for (int key : keys) {
        // Left and Right are the window's actions; the others the view's own keys.
        if (key == Qt::Key_Right || key == Qt::Key_Left)
            w->registeredActions().value(key == Qt::Key_Right ? "navigate.next" : "navigate.previous")->trigger();
        else
            QTest::keyClick(viewer, Qt::Key(key));
    }
    QCOMPARE(viewer->pinnedPath(), folder + "/" + pinned);
    QCOMPARE(catalog->currentPath(), folder + "/" + candidate);
    w->registeredActions().value("rating.3")->trigger();
    QTRY_COMPARE(catalog->pendingWriteCount(), 0);
    QCOMPARE(catalog->currentPath(), folder + "/" + candidate);
    QCOMPARE(viewer->pinnedPath(), folder + "/" + pinned);
    for (const QString &name : names)
        QCOMPARE(PhotoCore::readMetadata(folder + "/" + name).rating, name == marked ? 3 : 0);
    // The status line is about the active pane's photo.
    QVERIFY(w->statusBar()->currentMessage().contains(QString(3, QChar(0x2605))));
    compare->trigger();
    QVERIFY(!viewer->isComparing());
    QVERIFY(!compare->isChecked());
}

void TestMainWindow::compareGridSelection()
{
    const QString folder = makeFolder({"a.jpg", "b.jpg", "c.jpg", "d.jpg", "e.jpg"});
    auto w = openWindow(folder);
    PhotoCatalog *catalog = catalogOf(*w);
    ViewerWidget *viewer = viewerOf(*w);
    showGrid(*w);
    selectRows(*w, {1, 3, 4});
    w->registeredActions().value("view.compare")->trigger();
    QVERIFY(viewer->isComparing());
    QVERIFY(!named(*w, "gridAction")->isChecked());
    QCOMPARE(viewer->pinnedPath(), folder + "/b.jpg");
    QCOMPARE(catalog->currentPath(), folder + "/d.jpg");
    // The candidates are the selection alone, without the pinned photo.
    QAction *next = w->registeredActions().value("navigate.next");
    QAction *previous = w->registeredActions().value("navigate.previous");
    next->trigger();
    QCOMPARE(catalog->currentPath(), folder + "/e.jpg");
    next->trigger();
    QCOMPARE(catalog->currentPath(), folder + "/e.jpg");
    previous->trigger();
    previous->trigger();
    QCOMPARE(catalog->currentPath(), folder + "/d.jpg");
    // Keeping the candidate goes on to the next one of the selection.
    QTest::keyClick(viewer, Qt::Key_Return);
    QCOMPARE(viewer->pinnedPath(), folder + "/d.jpg");
    QCOMPARE(catalog->currentPath(), folder + "/e.jpg");
}

void TestMainWindow::compareWheelSteps_data()
{
    // The wheel at Fit steps the candidate as Left and Right do: within a
    // selection, and never onto the pinned photo.
    QTest::addColumn<QList<int>>("selected"); // grid rows; none: compare b from the single view
    QTest::addColumn<QList<int>>("notches");  // +1: towards the user (next)
    QTest::addColumn<QString>("candidate");
    QTest::newRow("single-view-next") << QList<int>{} << QList<int>{+1} << "d.jpg";
    QTest::newRow("single-view-skips-pinned") << QList<int>{} << QList<int>{-1} << "a.jpg";
    QTest::newRow("selection-next") << QList<int>{1, 3, 4} << QList<int>{+1} << "e.jpg";
    QTest::newRow("selection-stays-at-last") << QList<int>{1, 3, 4} << QList<int>{+1, +1} << "e.jpg";
    QTest::newRow("selection-stays-at-first") << QList<int>{1, 3, 4} << QList<int>{-1} << "d.jpg";
}

void TestMainWindow::compareWheelSteps()
{
    QFETCH(QList<int>, selected);
    QFETCH(QList<int>, notches);
    QFETCH(QString, candidate);
    const QString folder = makeFolder({"a.jpg", "b.jpg", "c.jpg", "d.jpg", "e.jpg"});
    auto w = openWindow(folder);
    PhotoCatalog *catalog = catalogOf(*w);
    ViewerWidget *viewer = viewerOf(*w);
    if (selected.isEmpty()) {
        catalog->select(folder + "/b.jpg");
    } else {
        showGrid(*w);
        selectRows(*w, selected);
    }
    w->registeredActions().value("view.compare")->trigger();
    QVERIFY(viewer->isComparing());
    QCOMPARE(viewer->pinnedPath(), folder + "/b.jpg");
    QWidget *canvas = viewer->findChild<QWidget *>(QStringLiteral("photoCanvas"));
    QVERIFY(canvas);
    for (int notch : notches) {
        QWheelEvent event(QPointF(5, 5), QPointF(5, 5), QPoint(), QPoint(0, -120 * notch), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QVERIFY(QApplication::sendEvent(canvas, &event));
    }
    QCOMPARE(catalog->currentPath(), folder + "/" + candidate);
    QCOMPARE(viewer->pinnedPath(), folder + "/b.jpg");
}

// ---- Actions and shortcuts ----------------------------------------------

void TestMainWindow::registryDefaults_data()
{
    QTest::addColumn<QString>("id");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("also");

    auto row = [](const char *id, const char *text, const QString &key, const QString &also = QString()) {
        QTest::newRow(id) << QString::fromLatin1(id) << QString::fromUtf8(text) << key << also;
    };
    row("file.open", "Open Folder…", QKeySequence(QKeySequence::Open).toString());
    row("metadata.reload", "Refresh Folder and Metadata", QKeySequence(QKeySequence::Refresh).toString());
    row("app.preferences", "Preferences…", "Ctrl+Alt+S");
    row("edit.undo", "Undo", "Ctrl+Z");
    row("edit.redo", "Redo", "Ctrl+Shift+Z", "Ctrl+Y");
    row("navigate.previous", "Previous Image", "Left", "<");
    row("navigate.next", "Next Image", "Right", ">");
    row("navigate.first", "First Image", "Home");
    row("navigate.last", "Last Image", "End");
    row("navigate.pageBack", "Back 10 Images", "PgUp");
    row("navigate.pageForward", "Forward 10 Images", "PgDown");
    row("navigate.resumeReview", "Resume Review", "L");
    row("filter.all", "All Images", "Ctrl+Shift+A");
    row("filter.zeroStars", "Zero Stars", "Ctrl+Shift+0");
    row("filter.unreviewed", "Unreviewed", "Ctrl+Shift+U");
    row("filter.rejected", "Rejected", "Ctrl+Shift+X");
    row("filter.rating1", "1 Star", "Ctrl+Shift+1");
    row("filter.rating3", "3 Stars", "Ctrl+Shift+3");
    row("filter.atLeast1", "1 Star or More", "Alt+1");
    row("filter.atLeast5", "5 Stars or More", "Alt+5");
    row("filter.red", "Red", "Ctrl+Shift+6");
    row("filter.blue", "Blue", "Ctrl+Shift+9");
    row("filter.exclude", "Exclude selected filter", "Ctrl+Shift+E");
    row("view.fullscreen", "Full Screen", "F");
    row("view.grid", "Thumbnail Grid", "G");
    row("view.thumbnailsSmaller", "Smaller Thumbnails", "Ctrl+-");
    row("view.thumbnailsLarger", "Larger Thumbnails", "Ctrl++");
    row("view.fit", "Fit to Window", "Ctrl+0");
    row("view.actualSize", "Actual Size (100%)", "Ctrl+1");
    row("view.toggleSize", "Toggle Fit / 100%", "Z");
    row("view.compare", "Compare Two Photos", "N");
    row("view.rotateLeft", "Rotate Left 90°", "Ctrl+,");
    row("view.rotateRight", "Rotate Right 90°", "Ctrl+.");
    row("view.exifOverlay", "Show EXIF Overlay", "?");
    row("rating.0", "Clear Rating", "0");
    row("rating.1", "1 Star", "1");
    row("rating.5", "5 Stars", "5");
    row("color.red", "Color: Red", "6");
    row("color.yellow", "Color: Yellow", "7");
    row("color.green", "Color: Green", "8");
    row("color.blue", "Color: Blue", "9");
    row("rating.reject", "Reject", "X");
    row("rating.clearReject", "Clear Rejection", "U");
    row("rating.clearColor", "Clear Color Label", "C");
    row("rating.clearAll", "Clear All Marks", "Shift+0");
    row("slideshow.toggle", "Start Slideshow", "S");
    row("help.manual", "User Guide…", "F1");
    row("help.shortcuts", "Show Keyboard Shortcuts", "Ctrl+F1");
}

void TestMainWindow::registryDefaults()
{
    QFETCH(QString, id);
    QFETCH(QString, text);
    QFETCH(QString, key);
    QFETCH(QString, also);

    MainWindow w;
    QAction *action = w.registeredActions().value(id);
    QVERIFY(action);
    QCOMPARE(action->text().remove(QLatin1Char('&')), text);
    QCOMPARE(action->property("defaultShortcut").toString(), key);
    QList<QKeySequence> expected{QKeySequence::fromString(key)};
    if (!also.isEmpty())
        expected.append(QKeySequence::fromString(also));
    QCOMPARE(action->shortcuts(), expected);
}

void TestMainWindow::storedShortcuts_data()
{
    QTest::addColumn<QString>("id");
    QTest::addColumn<QVariant>("stored");
    QTest::addColumn<QList<QKeySequence>>("expected");
    QTest::addColumn<QString>("defaultKey");

    QTest::newRow("stored-replaces") << "view.grid" << QVariant("Ctrl+G")
                                     << QList<QKeySequence>{QKeySequence("Ctrl+G")} << "G";
    QTest::newRow("empty-keeps-default") << "view.grid" << QVariant("") << QList<QKeySequence>{QKeySequence("G")}
                                         << "G";
    QTest::newRow("replaces-both-defaults")
        << "navigate.next" << QVariant("Space") << QList<QKeySequence>{QKeySequence("Space")} << "Right";
    QTest::newRow("unparsable-is-what-the-parser-makes")
        << "rating.reject" << QVariant("Ctrl+Nonsense")
        << QList<QKeySequence>{QKeySequence::fromString("Ctrl+Nonsense")} << "X";
}

void TestMainWindow::storedShortcuts()
{
    QFETCH(QString, id);
    QFETCH(QVariant, stored);
    QFETCH(QList<QKeySequence>, expected);
    QFETCH(QString, defaultKey);

    QSettings().setValue(QStringLiteral("shortcuts/") + id, stored);
    MainWindow w;
    QAction *action = w.registeredActions().value(id);
    QCOMPARE(action->shortcuts(), expected);
    // The default stays recorded for "Restore shortcut defaults".
    QCOMPARE(action->property("defaultShortcut").toString(), defaultKey);
}

void TestMainWindow::storedKeyReplacesDefaultKey()
{
    QSettings().setValue(QStringLiteral("shortcuts/view.grid"), QStringLiteral("Ctrl+G"));
    MainWindow w;
    w.show();
    QApplication::setActiveWindow(&w);
    QVERIFY(QTest::qWaitForWindowActive(&w));
    QTest::keyClick(&w, Qt::Key_G);
    QCOMPARE(page(w), 0);
    QTest::keyClick(&w, Qt::Key_G, Qt::ControlModifier);
    QCOMPARE(page(w), 1);
    QVERIFY(named(w, "gridAction")->isChecked());
}

void TestMainWindow::helpShortcutMigration_data()
{
    QTest::addColumn<QVariant>("overview"); // stored "shortcuts/help.shortcuts"; invalid = absent
    QTest::addColumn<QVariant>("manual");
    QTest::addColumn<bool>("migrated");     // flag already set
    QTest::addColumn<QVariant>("overviewAfter");
    QTest::addColumn<QVariant>("manualAfter");

    QTest::newRow("old-defaults-swapped") << QVariant("F1") << QVariant("Ctrl+F1") << false << QVariant("Ctrl+F1")
                                          << QVariant("F1");
    QTest::newRow("only-overview-stored") << QVariant("F1") << QVariant() << false << QVariant("Ctrl+F1") << QVariant();
    QTest::newRow("only-manual-stored") << QVariant() << QVariant("Ctrl+F1") << false << QVariant() << QVariant("F1");
    QTest::newRow("user-choice-kept") << QVariant("F1") << QVariant("Ctrl+Shift+H") << false << QVariant("F1")
                                      << QVariant("Ctrl+Shift+H");
    QTest::newRow("case-sensitive") << QVariant("f1") << QVariant("Ctrl+F1") << false << QVariant("f1")
                                    << QVariant("Ctrl+F1");
    QTest::newRow("never-twice") << QVariant("F1") << QVariant("Ctrl+F1") << true << QVariant("F1")
                                 << QVariant("Ctrl+F1");
    QTest::newRow("nothing-stored") << QVariant() << QVariant() << false << QVariant() << QVariant();
}

void TestMainWindow::helpShortcutMigration()
{
    QFETCH(QVariant, overview);
    QFETCH(QVariant, manual);
    QFETCH(bool, migrated);
    QFETCH(QVariant, overviewAfter);
    QFETCH(QVariant, manualAfter);

    {
        QSettings settings;
        if (overview.isValid())
            settings.setValue(QStringLiteral("shortcuts/help.shortcuts"), overview);
        if (manual.isValid())
            settings.setValue(QStringLiteral("shortcuts/help.manual"), manual);
        if (migrated)
            settings.setValue(QStringLiteral("migrations/helpShortcuts101"), true);
    }
    MainWindow w;
    QSettings settings;
    QCOMPARE(settings.value(QStringLiteral("shortcuts/help.shortcuts")), overviewAfter);
    QCOMPARE(settings.value(QStringLiteral("shortcuts/help.manual")), manualAfter);
    QCOMPARE(settings.value(QStringLiteral("migrations/helpShortcuts101")).toBool(), true);
    // Registration reads the migrated values.
    const QString overviewKey = overviewAfter.isValid() ? overviewAfter.toString() : QStringLiteral("Ctrl+F1");
    QCOMPARE(w.registeredActions().value("help.shortcuts")->shortcut(), QKeySequence::fromString(overviewKey));
}

void TestMainWindow::menus()
{
    MainWindow w;
    QStringList titles;
    for (QAction *menu : w.menuBar()->actions())
        titles.append(menu->text().remove(QLatin1Char('&')));
    QCOMPARE(titles, (QStringList{"File", "Edit", "Navigate", "Filter", "View", "Rating", "Slideshow", "Help"}));

    auto entries = [&](int index) {
        QStringList texts;
        for (QAction *a : w.menuBar()->actions().at(index)->menu()->actions())
            texts.append(a->isSeparator() ? QStringLiteral("-") : a->text().remove(QLatin1Char('&')));
        return texts;
    };
    QCOMPARE(entries(0), (QStringList{"Open Folder…", "Import from Card…", "Include Subfolders",
                                      "Refresh Folder and Metadata", "-",
                                      "Move Photo to Recycle Bin…", "Move Rejected Photos to Recycle Bin…",
                                      "Copy Photos To…", "Move Photos To…", "-", "Preferences…", "-", "Exit"}));
    // The grid moves its selection, and says so.
    w.findChild<QAction *>(QStringLiteral("gridAction"))->trigger();
    QCOMPARE(entries(0).at(5), QStringLiteral("Move Selected Photos to Recycle Bin…"));
    w.findChild<QAction *>(QStringLiteral("gridAction"))->trigger();
    QCOMPARE(entries(0).at(5), QStringLiteral("Move Photo to Recycle Bin…"));
    QCOMPARE(entries(3).last(2), (QStringList{"-", "Exclude selected filter"}));
    QCOMPARE(entries(7), (QStringList{"User Guide…", "Show Keyboard Shortcuts", "Help on the Web…",
                                      "Give Feedback…", "-", "About Quillmark Glanceway…"}));
    // Filter entries have configurable keys, which work in full screen too.
    for (QAction *a : w.menuBar()->actions().at(3)->menu()->actions()) {
        QVERIFY(a->isSeparator() || !a->shortcut().isEmpty());
        QVERIFY(a->isSeparator() || w.registeredActions().values().contains(a));
        QVERIFY(a->isSeparator() || w.actions().contains(a));
    }
    // Keys that must work with the menu bar hidden are on the window itself.
    QVERIFY(w.actions().contains(named(w, "leaveFullScreenAction")));
    QVERIFY(w.actions().contains(w.registeredActions().value("view.compare")));
    QVERIFY(w.actions().contains(w.registeredActions().value("file.open")));
    QVERIFY(w.actions().contains(w.registeredActions().value("metadata.reload")));
}

void TestMainWindow::menuEntries_data()
{
    // Entries in menu order: "-" a separator; a trailing "*" a checkable entry;
    // "=id" the entry's data (the filter identifier).
    QTest::addColumn<int>("menu");
    QTest::addColumn<QStringList>("entries");

    QTest::newRow("edit") << 1 << QStringList{"Undo", "Redo"};
    QTest::newRow("navigate") << 2
                              << QStringList{"Previous Image", "Next Image", "First Image", "Last Image",
                                             "Back 10 Images", "Forward 10 Images", "-", "Resume Review",
                                             "-", "Next Group", "Previous Group"};
    QTest::newRow("filter") << 3
                            << QStringList{"All Images*=all", "Zero Stars*=zerostars", "Unreviewed*=unrated",
                                           "Rejected*=rejected", "1 Star*=rating:1", "2 Stars*=rating:2",
                                           "3 Stars*=rating:3", "4 Stars*=rating:4", "5 Stars*=rating:5",
                                           "1 Star or More*=rating>=:1", "2 Stars or More*=rating>=:2",
                                           "3 Stars or More*=rating>=:3", "4 Stars or More*=rating>=:4",
                                           "5 Stars or More*=rating>=:5",
                                           "Red*=color:Red", "Yellow*=color:Yellow", "Green*=color:Green",
                                           "Blue*=color:Blue", "-", "Exclude selected filter*"};
    QTest::newRow("view") << 4
                          << QStringList{"Full Screen", "Thumbnail Grid*", "Smaller Thumbnails", "Larger Thumbnails",
                                         "-", "Fit to Window*", "Actual Size (100%)*", "Toggle Fit / 100%",
                                         "Compare Two Photos*", "-",
                                         "Rotate Left 90°", "Rotate Right 90°", "-", "Show Focus Points*",
                                         "Follow Focus Point When Zoomed*", "Show EXIF Overlay*", "Focus Peaking*",
                                         "Histogram*", "Clipping Warning*", "Sort by", "Collapse Groups*"};
    QTest::newRow("rating") << 5
                            << QStringList{"Clear Rating", "1 Star", "2 Stars", "3 Stars", "4 Stars",
                                           "5 Stars", "-", "Color: Red", "Color: Yellow", "Color: Green",
                                           "Color: Blue", "-", "Reject", "Clear Rejection", "Clear Color Label",
                                           "Clear All Marks", "-", "Keep Best of Group, Reject the Rest"};
    QTest::newRow("slideshow") << 6 << QStringList{"Start Slideshow"};
    QTest::newRow("help") << 7
                          << QStringList{"User Guide…", "Show Keyboard Shortcuts*", "Help on the Web…",
                                         "Give Feedback…", "-", "About Quillmark Glanceway…"};
}

void TestMainWindow::menuEntries()
{
    QFETCH(int, menu);
    QFETCH(QStringList, entries);

    MainWindow w;
    QStringList seen;
    for (QAction *a : w.menuBar()->actions().at(menu)->menu()->actions()) {
        if (a->isSeparator()) {
            seen.append(QStringLiteral("-"));
            continue;
        }
        QString entry = a->text().remove(QLatin1Char('&'));
        if (a->isCheckable())
            entry += QLatin1Char('*');
        if (a->data().isValid())
            entry += QLatin1Char('=') + a->data().toString();
        seen.append(entry);
    }
    QCOMPARE(seen, entries);
}

// ---- Folders ------------------------------------------------------------

void TestMainWindow::firstStart()
{
    BoxAnswerer boxes;
    MainWindow w;
    w.show();
    QCoreApplication::processEvents(); // runs the scheduled session restore
    QCOMPARE(w.statusBar()->currentMessage(), QStringLiteral("Open a folder to begin"));
    QCOMPARE(w.windowTitle(), QStringLiteral("Quillmark Glanceway"));
    QVERIFY(catalogOf(w)->allFiles().isEmpty());
    QVERIFY(boxes.seen.isEmpty());
    QVERIFY(!named(w, "moveToTrashAction")->isEnabled());
}

void TestMainWindow::rememberedFolder_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("boxShown");
    QTest::newRow("vanished") << "vanished" << false;
    QTest::newRow("file-in-its-place") << "file" << false;
    QTest::newRow("unreadable") << "unreadable" << true;
}

void TestMainWindow::rememberedFolder()
{
    QFETCH(QString, kind);
    QFETCH(bool, boxShown);

    QString path = root->filePath(QStringLiteral("remembered"));
    if (kind == QLatin1String("file")) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
    } else if (kind == QLatin1String("unreadable")) {
        if (!permissionBitsRestrict())
            QSKIP("permission bits do not stop this process from reading a folder");
        QVERIFY(QDir().mkpath(path));
        QFile::setPermissions(path, QFileDevice::Permissions());
    }
    QSettings().setValue(QStringLiteral("lastDirectory"), path);

    BoxAnswerer boxes;
    MainWindow w;
    w.show();
    QCoreApplication::processEvents();
    QCOMPARE(boxes.seen.size(), boxShown ? 1 : 0);
    if (boxShown)
        QCOMPARE(boxes.seen.first().title, QStringLiteral("Folder unavailable"));
    QCOMPARE(w.statusBar()->currentMessage(), QStringLiteral("Open a folder to begin"));
    QVERIFY(catalogOf(w)->allFiles().isEmpty());
    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

void TestMainWindow::refreshFolder_data()
{
    QTest::addColumn<QString>("remembered"); // "", "vanished" or "file"
    QTest::addColumn<int>("boxes");
    QTest::newRow("nothing-remembered") << "" << 0;
    QTest::newRow("vanished") << "vanished" << 1;
    QTest::newRow("file-in-its-place") << "file" << 1;
}

void TestMainWindow::refreshFolder()
{
    QFETCH(QString, remembered);
    QFETCH(int, boxes);

    const QString folder = makeFolder({"a.jpg", "b.jpg"});
    auto w = openWindow(folder);
    QCOMPARE(catalogOf(*w)->allFiles().size(), 2);

    QString path;
    if (!remembered.isEmpty()) {
        path = root->filePath(QStringLiteral("elsewhere"));
        if (remembered == QLatin1String("file")) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
    }
    QSettings().setValue(QStringLiteral("lastDirectory"), path);
    BoxAnswerer answerer;
    w->registeredActions().value("metadata.reload")->trigger();
    QCOMPARE(answerer.seen.size(), boxes);
    if (boxes) {
        QCOMPARE(answerer.seen.first().title, QStringLiteral("Folder unavailable"));
        QCOMPARE(answerer.seen.first().text,
                 QStringLiteral("The folder cannot be opened:\n%1\n\nCheck the drive, network connection, and "
                                "permissions.")
                     .arg(path));
        QCOMPARE(answerer.seen.first().icon, QMessageBox::Warning);
    }
    // A refused folder leaves the open one as it was.
    QCOMPARE(catalogOf(*w)->allFiles().size(), 2);
}

void TestMainWindow::titleAndLastFile()
{
    const QString folder = makeFolder({"a.jpg", "b.jpg", "c.jpg"});
    QSettings().setValue(QStringLiteral("lastFile"), folder + QStringLiteral("/b.jpg"));
    auto w = openWindow(folder);
    QCOMPARE(catalogOf(*w)->currentPath(), folder + QStringLiteral("/b.jpg"));
    QCOMPARE(w->windowTitle(), QStringLiteral("b.jpg — Quillmark Glanceway"));
    w->registeredActions().value("navigate.next")->trigger();
    QCOMPARE(w->windowTitle(), QStringLiteral("c.jpg — Quillmark Glanceway"));
    QCOMPARE(QSettings().value(QStringLiteral("lastFile")).toString(), folder + QStringLiteral("/c.jpg"));
    QCOMPARE(QSettings().value(QStringLiteral("lastDirectory")).toString(), folder);
    auto *summary = w->findChild<QLabel *>(QStringLiteral("summaryLabel"));
    QCOMPARE(summary->text(), QStringLiteral("3 total · 0 reviewed · 0 rejected · 3 open"));
    // Room for the whole summary beside the message, in a window of normal width.
    QTRY_VERIFY(summary->width() >= summary->sizeHint().width());
    QVERIFY(summary->x() > w->statusBar()->width() / 2);

    // The next start resumes at the photo the user left.
    w.reset();
    w = openWindow(folder);
    QCOMPARE(catalogOf(*w)->currentPath(), folder + QStringLiteral("/c.jpg"));
}

// ---- Marks --------------------------------------------------------------

void TestMainWindow::markRouting_data()
{
    QTest::addColumn<bool>("onGrid");
    QTest::addColumn<QString>("id");
    QTest::addColumn<int>("rating");
    QTest::addColumn<QString>("label");
    QTest::addColumn<bool>("rejected");

    for (bool grid : {false, true}) {
        const char *page = grid ? "grid" : "viewer";
        QTest::addRow("%s-3-stars", page) << grid << "rating.3" << 3 << "" << false;
        QTest::addRow("%s-green", page) << grid << "color.green" << 0 << "Green" << false;
        QTest::addRow("%s-reject", page) << grid << "rating.reject" << 0 << "" << true;
    }
}

void TestMainWindow::markRouting()
{
    QFETCH(bool, onGrid);
    QFETCH(QString, id);
    QFETCH(int, rating);
    QFETCH(QString, label);
    QFETCH(bool, rejected);

    const QString folder = makeFolder({"a.jpg", "b.jpg", "c.jpg", "d.jpg"});
    auto w = openWindow(folder);
    PhotoCatalog *catalog = catalogOf(*w);
    QStringList targets;
    if (onGrid) {
        showGrid(*w);
        selectRows(*w, {1, 3});
        QTRY_VERIFY(gridOf(*w)->selectedPreviewsReady());
        targets = QStringList{folder + "/b.jpg", folder + "/d.jpg"};
    } else {
        catalog->select(folder + "/c.jpg");
        targets = QStringList{folder + "/c.jpg"};
    }
    QAction *action = w->registeredActions().value(id);
    QVERIFY(action->isEnabled());
    QSignalSpy batchDone(catalog, &PhotoCatalog::metadataBatchFinished);
    action->trigger();
    if (onGrid)
        QVERIFY(batchDone.wait());
    QTRY_COMPARE(catalog->pendingWriteCount(), 0);
    if (!onGrid)
        QCOMPARE(batchDone.size(), 0);

    const auto marks = catalog->records();
    for (const QString &path : catalog->allFiles()) {
        const PhotoCore::Metadata onDisk = PhotoCore::readMetadata(path);
        if (targets.contains(path)) {
            QCOMPARE(marks.value(path).rating, rating);
            QCOMPARE(marks.value(path).label, label);
            QCOMPARE(marks.value(path).rejected, rejected);
            QCOMPARE(onDisk.rating, rating);
            QCOMPARE(onDisk.label, label);
            QCOMPARE(onDisk.rejected, rejected);
        } else {
            QVERIFY2(onDisk == PhotoCore::Metadata(), qPrintable(path));
        }
    }
}

void TestMainWindow::sortMenuOrdersTheCatalog()
{
    const QString folder = makeFolder({"IMG_10.jpg", "IMG_2.jpg", "IMG_1.jpg"});
    auto w = openWindow(folder);
    auto *natural = w->findChild<QAction *>(QStringLiteral("sort.natural"));
    QVERIFY(natural);
    QVERIFY(w->findChild<QAction *>(QStringLiteral("sort.name"))->isChecked());
    catalogOf(*w)->select(folder + "/IMG_2.jpg");
    natural->trigger();
    QCOMPARE(catalogOf(*w)->visibleFiles(),
             (QStringList{folder + "/IMG_1.jpg", folder + "/IMG_2.jpg", folder + "/IMG_10.jpg"}));
    QCOMPARE(catalogOf(*w)->currentPath(), folder + "/IMG_2.jpg");
    // Remembered: the next window starts with it checked.
    w.reset();
    auto again = openWindow(folder);
    QVERIFY(again->findChild<QAction *>(QStringLiteral("sort.natural"))->isChecked());
}

void TestMainWindow::selectionWithoutPreviews_data()
{
    // Marks never wait for thumbnails; the recycle bin loads the selection's
    // missing ones first, wherever they are, then asks. A damaged photo counts
    // as seen ("Preview unavailable").
    QTest::addColumn<int>("photos");
    QTest::addColumn<bool>("damaged");
    QTest::addColumn<bool>("reselect"); // the selection changes while the deletion waits
    QTest::newRow("damaged-photo") << 3 << true << false;
    QTest::newRow("cold-rows-far-below") << 90 << false << false;
    QTest::newRow("selection-changed-while-waiting") << 90 << false << true;
}

void TestMainWindow::selectionWithoutPreviews()
{
    QFETCH(int, photos);
    QFETCH(bool, damaged);
    QFETCH(bool, reselect);
    QStringList names;
    for (int i = 0; i < photos; ++i)
        names << QStringLiteral("p%1.jpg").arg(i, 3, 10, QLatin1Char('0'));
    if (damaged)
        names.last() = QStringLiteral("corrupt.png");
    const QString folder = makeFolder(names);
    auto w = openWindow(folder);
    w->resize(640, 480);
    showGrid(*w);
    gridOf(*w)->listView()->setFocus();
    QTest::keyClick(gridOf(*w)->listView(), Qt::Key_A, Qt::ControlModifier);
    QCOMPARE(gridOf(*w)->selectedCount(), photos);

    // A mark applies at once to the whole selection.
    for (const QString &id : {"rating.1", "color.red", "rating.reject", "rating.clearAll"})
        QVERIFY2(w->registeredActions().value(id)->isEnabled(), qPrintable(id));
    w->registeredActions().value("rating.3")->trigger();
    QTRY_VERIFY(!catalogOf(*w)->isMetadataBatchBusy());
    QCOMPARE(PhotoCore::readMetadata(QDir(folder).filePath(names.first())).rating, 3);
    QCOMPARE(PhotoCore::readMetadata(QDir(folder).filePath(names.last())).rating, 3);

    BoxAnswerer boxes(QMessageBox::Yes);
    named(*w, "moveToTrashAction")->trigger();
    if (reselect) {
        QVERIFY(w->statusBar()->currentMessage().contains(QStringLiteral("before moving them to the Recycle Bin")));
        selectRows(*w, {0});
        QTest::qWait(300);
        QVERIFY(boxes.seen.isEmpty());
        QCOMPARE(QDir(folder).entryList({"*.jpg", "*.png"}, QDir::Files).size(), photos);
        return;
    }
    // Without any scrolling, the confirmation comes once every selected row
    // has been loaded (or has failed), and the photos go.
    QTRY_VERIFY_WITH_TIMEOUT(!boxes.seen.isEmpty(), 30000);
    QCOMPARE(boxes.seen.first().title, QStringLiteral("Move photos to Recycle Bin?"));
    if (!shellRecycles(root->path())) {
        // Every photo stays, and the program says so.
        QTRY_COMPARE(boxes.seen.size(), 2);
        QCOMPARE(boxes.seen.last().title, QStringLiteral("Some files could not be moved"));
        QCOMPARE(QDir(folder).entryList({"*.jpg", "*.png"}, QDir::Files).size(), photos);
        return;
    }
    QCOMPARE(boxes.seen.size(), 1);
    QTRY_COMPARE(QDir(folder).entryList({"*.jpg", "*.png"}, QDir::Files).size(), 0);
}

void TestMainWindow::actionsDisabledWhileBatchRuns()
{
    const QString folder = makeFolder({"a.jpg", "b.jpg", "c.jpg"});
    auto w = openWindow(folder);
    showGrid(*w);
    selectRows(*w, {0, 1, 2});
    QTRY_VERIFY(gridOf(*w)->selectedPreviewsReady());
    PhotoCatalog *catalog = catalogOf(*w);
    QSignalSpy busy(catalog, &PhotoCatalog::metadataBatchBusyChanged);
    QSignalSpy done(catalog, &PhotoCatalog::metadataBatchFinished);
    w->registeredActions().value("rating.4")->trigger();
    if (catalog->isMetadataBatchBusy()) {
        QCOMPARE(w->statusBar()->currentMessage(), QStringLiteral("Saving metadata for selected images…"));
        for (const QString &id : {"rating.0", "rating.5", "color.blue", "rating.reject", "rating.clearReject",
                                  "rating.clearColor", "rating.clearAll"})
            QVERIFY2(!w->registeredActions().value(id)->isEnabled(), qPrintable(id));
        QVERIFY(!named(*w, "moveToTrashAction")->isEnabled());
    }
    QVERIFY(done.wait());
    QVERIFY(!catalog->isMetadataBatchBusy());
    QVERIFY(busy.size() >= 2);
    QCOMPARE(busy.first().first().toBool(), true);
    QVERIFY(w->registeredActions().value("rating.4")->isEnabled());
    QVERIFY(named(*w, "moveToTrashAction")->isEnabled());
    QCOMPARE(w->statusBar()->currentMessage(),
             QStringLiteral("3 image(s) selected — Ctrl-click and Shift-click to select — Enter to open"));
}

void TestMainWindow::undoAndRedo()
{
    QSettings().setValue(QStringLiteral("rating/autoAdvance"), true);
    const QString folder = makeFolder({"a.jpg", "b.jpg", "c.jpg"});
    auto w = openWindow(folder);
    PhotoCatalog *catalog = catalogOf(*w);
    QAction *undo = w->registeredActions().value("edit.undo");
    QAction *redo = w->registeredActions().value("edit.redo");
    QVERIFY(!undo->isEnabled());
    QVERIFY(!redo->isEnabled());

    w->registeredActions().value("rating.3")->trigger();
    QCOMPARE(catalog->currentPath(), folder + "/b.jpg");
    QVERIFY(undo->isEnabled());
    undo->trigger();
    // The photo comes back, and the bar says what was undone over the viewer's own updates.
    QCOMPARE(catalog->currentPath(), folder + "/a.jpg");
    QTRY_COMPARE(catalog->pendingWriteCount(), 0);
    QCOMPARE(w->statusBar()->currentMessage(), QStringLiteral("Undone: 3 stars on a.jpg"));
    QVERIFY(!QFile::exists(folder + "/a.xmp"));
    QVERIFY(redo->isEnabled());
    redo->trigger();
    QTRY_COMPARE(PhotoCore::readMetadata(folder + "/a.jpg").rating, 3);
    QCOMPARE(w->statusBar()->currentMessage(), QStringLiteral("Redone: 3 stars on a.jpg"));

    // A grid batch is one step.
    showGrid(*w);
    selectRows(*w, {1, 2});
    QTRY_VERIFY(gridOf(*w)->selectedPreviewsReady());
    QSignalSpy batchDone(catalog, &PhotoCatalog::metadataBatchFinished);
    w->registeredActions().value("color.red")->trigger();
    QVERIFY(batchDone.wait());
    undo->trigger();
    QTRY_COMPARE(catalog->pendingWriteCount(), 0);
    QCOMPARE(PhotoCore::readMetadata(folder + "/b.jpg"), PhotoCore::Metadata());
    QCOMPARE(PhotoCore::readMetadata(folder + "/c.jpg"), PhotoCore::Metadata());
    QCOMPARE(PhotoCore::readMetadata(folder + "/a.jpg").rating, 3);
    QCOMPARE(w->statusBar()->currentMessage(), QStringLiteral("Undone: label Red on 2 photos"));
}

void TestMainWindow::warningStaysReadable()
{
    const QString folder = makeFolder({"a.jpg", "b.jpg"});
    QVERIFY(QDir().mkpath(folder + "/a.xmp")); // the sidecar cannot be written
    auto w = openWindow(folder);
    PhotoCatalog *catalog = catalogOf(*w);
    w->registeredActions().value("rating.2")->trigger();
    QTRY_COMPARE(catalog->failedWriteCount(), 1);
    const QString warning = w->statusBar()->currentMessage();
    QVERIFY2(warning.startsWith(QStringLiteral("Could not write XMP sidecar for ")), qPrintable(warning));
    // The viewer reports new states all the time; the warning is not replaced by them.
    w->registeredActions().value("view.toggleSize")->trigger();
    QCOMPARE(w->statusBar()->currentMessage(), warning);
    // Another photo ends it.
    w->registeredActions().value("navigate.next")->trigger();
    QCOMPARE(w->statusBar()->currentMessage(), viewerOf(*w)->statusText());
}

void TestMainWindow::writeProblemBar_data()
{
    QTest::addColumn<bool>("readOnly"); // else only one photo's sidecar is blocked
    QTest::newRow("read-only-folder") << true;
    QTest::newRow("one-sidecar-blocked") << false;
}

void TestMainWindow::writeProblemBar()
{
    QFETCH(bool, readOnly);
    const QString folder = makeFolder({"a.jpg", "b.jpg"});
    QVERIFY(QDir().mkpath(folder + "/a.xmp"));
    std::unique_ptr<FolderLock> lock;
    if (readOnly) {
        lock = std::make_unique<FolderLock>(folder);
        if (!lock->isLocked())
            QSKIP("this system cannot make a folder refuse new files");
    }
    auto w = openWindow(folder);
    auto *bar = w->findChild<WriteProblemBar *>();
    QVERIFY(bar);
    const QString folderProblem = QStringLiteral("Marks cannot be saved in this folder: ");
    // A read-only folder says so at once, before any mark.
    QCOMPARE(bar->text().startsWith(folderProblem), readOnly);
    QCOMPARE(bar->isVisible(), readOnly);

    PhotoCatalog *catalog = catalogOf(*w);
    w->registeredActions().value("rating.4")->trigger();
    QTRY_COMPARE(catalog->failedWriteCount(), 1);
    QVERIFY(bar->isVisible());
    QVERIFY2(bar->text().endsWith(QStringLiteral("1 mark(s) could not be saved.")), qPrintable(bar->text()));
    QCOMPARE(bar->text().startsWith(folderProblem), readOnly);
    // The failed mark is not shown as saved.
    QCOMPARE(catalog->record(folder + "/a.jpg"), PhotoCore::Metadata());
    QVERIFY(!viewerOf(*w)->statusText().contains(QString(QChar(0x2605))));
    // Why is said once, in the bar; the status blames the file only where the folder is fine.
    QCOMPARE(w->statusBar()->currentMessage().contains(QStringLiteral("may be damaged")), !readOnly);

    QTest::mouseClick(bar->findChild<QPushButton *>(QStringLiteral("writeProblemDismiss")), Qt::LeftButton);
    QVERIFY(!bar->isVisible());
    QCOMPARE(catalog->failedWriteCount(), 0);
    // The next failure brings it back.
    w->registeredActions().value("color.red")->trigger();
    QTRY_VERIFY(bar->isVisible());
    QVERIFY(bar->text().endsWith(QStringLiteral("1 mark(s) could not be saved.")));
}

void TestMainWindow::batchFailureBox_data()
{
    QTest::addColumn<int>("failures");
    QTest::addColumn<QString>("text"); // empty: no box
    QStringList names;
    for (int i = 1; i <= 10; ++i)
        names.append(QStringLiteral("IMG_%1.JPG").arg(i));
    QTest::newRow("none") << 0 << QString();
    QTest::newRow("eight") << 8
                           << QStringLiteral("The XMP data could not be written for 8 image(s):\n\n")
                                  + names.mid(0, 8).join('\n');
    QTest::newRow("ten-lists-eight-and-more")
        << 10
        << QStringLiteral("The XMP data could not be written for 10 image(s):\n\n") + names.mid(0, 8).join('\n')
               + QStringLiteral("\n…and more");
}

void TestMainWindow::batchFailureBox()
{
    QFETCH(int, failures);
    QFETCH(QString, text);
    QStringList paths;
    for (int i = 1; i <= failures; ++i)
        paths.append(QStringLiteral("/photos/%2/IMG_%1.JPG").arg(i).arg(i % 2 ? "odd" : "even"));
    MainWindow w;
    BoxAnswerer boxes;
    QVERIFY(QMetaObject::invokeMethod(w.findChild<MarksController *>(), "reportBatchFailures", Q_ARG(QStringList, paths)));
    QCOMPARE(boxes.seen.size(), text.isEmpty() ? 0 : 1);
    if (!text.isEmpty()) {
        QCOMPARE(boxes.seen.first().title, QStringLiteral("Some metadata could not be saved"));
        QCOMPARE(boxes.seen.first().text, text);
    }
}

// ---- Filters ------------------------------------------------------------

void TestMainWindow::filters_data()
{
    QTest::addColumn<QString>("entry");
    QTest::addColumn<bool>("exclude");
    QTest::addColumn<QStringList>("visible");

    QTest::newRow("rejected") << "Rejected" << false << QStringList{"b.jpg"};
    QTest::newRow("not-rejected") << "Rejected" << true << QStringList{"a.jpg", "c.jpg", "d.jpg"};
    QTest::newRow("3-stars") << "3 Stars" << false << QStringList{"c.jpg"};
    QTest::newRow("not-red") << "Red" << true << QStringList{"a.jpg", "b.jpg", "c.jpg"};
    QTest::newRow("unreviewed") << "Unreviewed" << false << QStringList{"a.jpg"};
    // "not:" never goes before "all".
    QTest::newRow("all-with-exclude") << "All Images" << true << QStringList{"a.jpg", "b.jpg", "c.jpg", "d.jpg"};
}

void TestMainWindow::filters()
{
    QFETCH(QString, entry);
    QFETCH(bool, exclude);
    QFETCH(QStringList, visible);

    const QString folder = makeFolder({"a.jpg", "b.jpg", "c.jpg", "d.jpg"});
    auto write = [&](const QString &name, const QString &attributes) {
        QFile file(folder + QLatin1Char('/') + name);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(sidecar(attributes));
    };
    write(QStringLiteral("b.xmp"), QStringLiteral("xmp:Rating=\"-1\""));
    write(QStringLiteral("c.xmp"), QStringLiteral("xmp:Rating=\"3\""));
    write(QStringLiteral("d.xmp"), QStringLiteral("xmp:Label=\"Red\""));
    auto w = openWindow(folder);
    PhotoCatalog *catalog = catalogOf(*w);

    QAction *chosen = nullptr;
    auto *group = w->findChild<QActionGroup *>();
    for (QAction *a : group->actions())
        if (a->text().remove(QLatin1Char('&')) == entry)
            chosen = a;
    QVERIFY(chosen);
    chosen->trigger();
    if (exclude)
        named(*w, "excludeFilterAction")->setChecked(true);

    QStringList names;
    for (const QString &path : catalog->visibleFiles())
        names.append(QFileInfo(path).fileName());
    QCOMPARE(names, visible);

    if (entry == QLatin1String("All Images")) {
        // Only the plain "all" filter lets a mark move on by itself.
        QSettings().setValue(QStringLiteral("rating/autoAdvance"), true);
        const QString before = catalog->currentPath();
        w->registeredActions().value("rating.1")->trigger();
        QVERIFY(catalog->currentPath() != before);
        QTRY_COMPARE(PhotoCore::readMetadata(before).rating, 1);
    }

    // Resume Review returns the menu and the viewer to every photo.
    w->registeredActions().value("navigate.resumeReview")->trigger();
    QVERIFY(named(*w, "allImagesAction")->isChecked());
    QCOMPARE(catalog->visibleFiles().size(), 4);
}

void TestMainWindow::folderChangedByOthers()
{
    const QString folder = makeFolder({"a.jpg", "b.jpg", "c.jpg", "d.jpg"});
    QVERIFY(PhotoCore::writeMetadata(folder + "/a.jpg", PhotoCore::Metadata{3, {}, false, 0}));
    auto w = openWindow(folder);
    for (QAction *a : w->findChild<QActionGroup *>()->actions()) {
        if (a->text().remove(QLatin1Char('&')) == QLatin1String("Unreviewed"))
            a->trigger();
    }
    showGrid(*w);
    selectRows(*w, {0, 1});
    const QStringList selected{folder + "/b.jpg", folder + "/c.jpg"};
    QCOMPARE(gridOf(*w)->selectedPaths(), selected);

    // A file manager adds one photo and removes another; nobody presses F5.
    QVERIFY(QFile::copy(fixtureJpeg, folder + "/e.jpg"));
    QVERIFY(QFile::remove(folder + "/d.jpg"));
    QTRY_COMPARE(gridOf(*w)->model()->paths(), (QStringList{folder + "/b.jpg", folder + "/c.jpg", folder + "/e.jpg"}));
    QCOMPARE(gridOf(*w)->selectedPaths(), selected);
    QCOMPARE(w->findChild<QActionGroup *>()->checkedAction()->text().remove(QLatin1Char('&')), QStringLiteral("Unreviewed"));
    QCOMPARE(catalogOf(*w)->record(folder + "/a.jpg").rating, 3);
    QCOMPARE(w->findChild<QLabel *>(QStringLiteral("summaryLabel"))->text(),
             QStringLiteral("4 total · 1 reviewed · 0 rejected · 3 open"));
}

// ---- Slideshow and full screen ------------------------------------------

void TestMainWindow::slideshowInterval_data()
{
    QTest::addColumn<QVariant>("seconds");
    QTest::addColumn<int>("intervalMs");
    QTest::newRow("default") << QVariant() << 4000;
    QTest::newRow("zero") << QVariant(0) << 1000;
    QTest::newRow("negative") << QVariant(-5) << 1000;
    QTest::newRow("seven") << QVariant(7) << 7000;
    QTest::newRow("too-long") << QVariant(1000) << 300000;
}

void TestMainWindow::slideshowInterval()
{
    QFETCH(QVariant, seconds);
    QFETCH(int, intervalMs);
    if (seconds.isValid())
        QSettings().setValue(QStringLiteral("slideshow/seconds"), seconds);
    auto w = openWindow(makeFolder({"a.jpg", "b.jpg"}));
    QAction *slideshow = named(*w, "slideshowAction");
    slideshow->trigger();
    QTimer *timer = slideshowTimer(*w);
    QVERIFY(timer->isActive());
    QCOMPARE(timer->interval(), intervalMs);
    QVERIFY(!timer->isSingleShot());
    QVERIFY(w->isFullScreen());
    QCOMPARE(slideshow->text().remove(QLatin1Char('&')), QStringLiteral("Pause Slideshow"));
    // Pausing keeps full screen.
    slideshow->trigger();
    QVERIFY(!timer->isActive());
    QVERIFY(w->isFullScreen());
    QCOMPARE(slideshow->text().remove(QLatin1Char('&')), QStringLiteral("Start Slideshow"));
}

void TestMainWindow::slideshowAtLastPhoto_data()
{
    QTest::addColumn<bool>("loop");
    QTest::newRow("stop") << false;
    QTest::newRow("loop") << true;
}

void TestMainWindow::slideshowAtLastPhoto()
{
    QFETCH(bool, loop);
    QSettings().setValue(QStringLiteral("slideshow/loop"), loop);
    const QString folder = makeFolder({"a.jpg", "b.jpg", "c.jpg"});
    auto w = openWindow(folder);
    PhotoCatalog *catalog = catalogOf(*w);
    catalog->select(folder + "/b.jpg");
    named(*w, "slideshowAction")->trigger();
    QTimer *timer = slideshowTimer(*w);

    QVERIFY(QMetaObject::invokeMethod(w->findChild<SlideshowController *>(), "advance"));
    QCOMPARE(catalog->currentPath(), folder + "/c.jpg");
    QVERIFY(QMetaObject::invokeMethod(w->findChild<SlideshowController *>(), "advance"));
    QCOMPARE(timer->isActive(), loop);
    QCOMPARE(catalog->currentPath(), folder + (loop ? "/a.jpg" : "/c.jpg"));
    // A show that ends leaves full screen, so that its end can be read in the status bar.
    QCOMPARE(w->isFullScreen(), loop);
    QCOMPARE(w->statusBar()->currentMessage() == QLatin1String("Slideshow finished"), !loop);
}

void TestMainWindow::slideshowStoppers_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<bool>("stops");
    QTest::newRow("next") << "navigate.next" << true;
    QTest::newRow("previous") << "navigate.previous" << true;
    QTest::newRow("resume") << "navigate.resumeReview" << true;
    QTest::newRow("grid") << "view.grid" << true;
    QTest::newRow("leave-full-screen") << "view.fullscreen" << true;
    QTest::newRow("esc") << "esc" << true;
    QTest::newRow("wheel") << "wheel" << true;
    QTest::newRow("mark") << "rating.2" << false;
}

void TestMainWindow::slideshowStoppers()
{
    QFETCH(QString, how);
    QFETCH(bool, stops);
    const QString folder = makeFolder({"a.jpg", "b.jpg", "c.jpg"});
    auto w = openWindow(folder);
    ViewerWidget *viewer = viewerOf(*w);
    catalogOf(*w)->select(folder + "/b.jpg");
    named(*w, "slideshowAction")->trigger();
    QVERIFY(slideshowTimer(*w)->isActive());

    if (how == QLatin1String("esc"))
        named(*w, "leaveFullScreenAction")->trigger();
    else if (how == QLatin1String("wheel"))
        emit viewer->manualNavigationRequested(+1);
    else
        w->registeredActions().value(how)->trigger();
    QCOMPARE(slideshowTimer(*w)->isActive(), !stops);
    if (how == QLatin1String("wheel") || how == QLatin1String("navigate.next"))
        QCOMPARE(catalogOf(*w)->currentPath(), folder + "/c.jpg");
}

void TestMainWindow::slideshowWithoutPhotos()
{
    auto w = openWindow(makeFolder({}));
    named(*w, "slideshowAction")->trigger();
    QVERIFY(!slideshowTimer(*w)->isActive());
    QVERIFY(!w->isFullScreen());
    QCOMPARE(named(*w, "slideshowAction")->text().remove(QLatin1Char('&')), QStringLiteral("Start Slideshow"));
}

void TestMainWindow::fullScreenAndEsc()
{
    MainWindow w;
    w.show();
    QAction *full = named(w, "fullScreenAction");
    QAction *esc = named(w, "leaveFullScreenAction");
    QVERIFY(!esc->isEnabled());
    QCOMPARE(esc->shortcut(), QKeySequence(Qt::Key_Escape));

    full->trigger();
    QVERIFY(w.isFullScreen());
    QVERIFY(w.menuBar()->isHidden());
    QVERIFY(w.statusBar()->isHidden());
    QVERIFY(esc->isEnabled());
    QCOMPARE(full->text().remove(QLatin1Char('&')), QStringLiteral("Exit Full Screen"));

    esc->trigger();
    QVERIFY(!w.isFullScreen());
    QVERIFY(!(w.windowState() & Qt::WindowMaximized));
    QVERIFY(!w.menuBar()->isHidden());
    QVERIFY(!w.statusBar()->isHidden());
    QVERIFY(!esc->isEnabled());
    QCOMPARE(full->text().remove(QLatin1Char('&')), QStringLiteral("Full Screen"));
}

// ---- Shortcut overview --------------------------------------------------

void TestMainWindow::shortcutHelpFromGrid()
{
    const QString folder = makeFolder({"a.jpg", "b.jpg"});
    auto w = openWindow(folder);
    ViewerWidget *viewer = viewerOf(*w);
    QAction *help = named(*w, "shortcutsAction");

    help->trigger();
    QVERIFY(viewer->isShortcutOverlayVisible());
    QCOMPARE(help->text(), QStringLiteral("Hide &Keyboard Shortcuts"));
    QVERIFY(help->isChecked());

    // From the grid the overview is shown, even though it was visible before.
    showGrid(*w);
    gridOf(*w)->setCurrentPath(folder + "/b.jpg");
    help->trigger();
    QCOMPARE(page(*w), 0);
    QVERIFY(!named(*w, "gridAction")->isChecked());
    QCOMPARE(catalogOf(*w)->currentPath(), folder + "/b.jpg");
    QVERIFY(viewer->isShortcutOverlayVisible());
    QVERIFY(help->isChecked());

    help->trigger();
    QVERIFY(!viewer->isShortcutOverlayVisible());
    QCOMPARE(help->text(), QStringLiteral("Show &Keyboard Shortcuts"));
    QVERIFY(!help->isChecked());
}

void TestMainWindow::openFromGrid()
{
    const QString folder = makeFolder({"a.jpg", "b.jpg", "c.jpg"});
    auto w = openWindow(folder);
    ViewerWidget *viewer = viewerOf(*w);
    // The viewer's own photo is decoded already, so opening it changes nothing
    // in the viewer later on: whatever the bar says now, it keeps saying.
    QTRY_VERIFY(!viewer->statusText().contains(QStringLiteral("loading")));
    showGrid(*w);
    selectRows(*w, {0, 1});
    QTRY_VERIFY(w->statusBar()->currentMessage().startsWith(QStringLiteral("2 image(s) selected")));

    emit gridOf(*w)->fileActivated(folder + "/a.jpg");
    QCOMPARE(page(*w), 0);
    QVERIFY(!named(*w, "gridAction")->isChecked());
    QVERIFY(named(*w, "moveToTrashAction")->isEnabled()); // the photo on screen
    QCOMPARE(catalogOf(*w)->currentPath(), folder + "/a.jpg");
    QCOMPARE(w->windowTitle(), QStringLiteral("a.jpg — Quillmark Glanceway"));
    // The grid's selection message must not outlive the grid page.
    QCOMPARE(w->statusBar()->currentMessage(), viewer->statusText());
}

void TestMainWindow::overlayFollowsPreferences_data()
{
    QTest::addColumn<bool>("accept");
    QTest::newRow("ok") << true;
    QTest::newRow("cancel") << false;
}

void TestMainWindow::overlayFollowsPreferences()
{
    QFETCH(bool, accept);
    MainWindow w;
    w.show();
    auto *overlay = viewerOf(w)->findChild<QTextBrowser *>();
    QVERIFY(overlay);
    QVERIFY(overlay->toPlainText().contains(QLatin1String("Clear Rejection")));
    QVERIFY(overlay->toPlainText().contains(QLatin1String("Show / hide this overview")));

    DialogDriver<PreferencesDialog> driver([accept](PreferencesDialog *dialog) {
        dialog->shortcutEdit(QStringLiteral("rating.clearReject"))->clear();
        dialog->shortcutEdit(QStringLiteral("view.grid"))->setKeySequence(QKeySequence(QStringLiteral("Ctrl+G")));
        if (accept)
            dialog->accept();
        else
            dialog->reject();
    });
    w.registeredActions().value("app.preferences")->trigger();
    QVERIFY(driver.ran);
    const QString text = overlay->toPlainText();
    QCOMPARE(text.contains(QLatin1String("Clear Rejection")), !accept);
    QCOMPARE(text.contains(QLatin1String("Ctrl+G")), accept);
    QCOMPARE(viewerOf(w)->isShortcutOverlayVisible(), false);
}

void TestMainWindow::overviewListsEveryKey()
{
    MainWindow w;
    w.show();
    named(w, "shortcutsAction")->trigger();
    auto *overlay = viewerOf(w)->findChild<QTextBrowser *>();
    // Each cell of the overview is a line of its text: a name, then its key.
    const QStringList lines = overlay->toPlainText().split(QLatin1Char('\n'));
    // Names repeat ("1 Star" filters and marks): any of the places will do.
    const auto listed = [&](const QString &label, const QKeySequence &key) {
        for (qsizetype at = lines.indexOf(label); at >= 0; at = lines.indexOf(label, at + 1)) {
            if (lines.value(at + 1) == key.toString(QKeySequence::NativeText))
                return true;
        }
        return false;
    };
    int keyed = 0;
    for (QAction *bar : w.menuBar()->actions()) {
        for (QAction *entry : bar->menu()->actions()) {
            if (entry->shortcut().isEmpty() || entry == named(w, "shortcutsAction"))
                continue;
            ++keyed;
            QVERIFY2(listed(entry->text().remove(QLatin1Char('&')), entry->shortcut()), qPrintable(entry->text()));
        }
    }
    QVERIFY(keyed > 50);
    QVERIFY(listed(QStringLiteral("Move Photo to Recycle Bin…"), QKeySequence(QKeySequence::Delete)));
    // Keys no menu shows: those of the compare view, and the overview's own.
    QVERIFY(listed(QStringLiteral("Keep the candidate"), QKeySequence(Qt::Key_Return)));
    QVERIFY(listed(QStringLiteral("Switch the active pane"), QKeySequence(Qt::Key_Tab)));
    QVERIFY(listed(QStringLiteral("Next candidate"), QKeySequence(Qt::Key_Right)));
    QVERIFY(listed(QStringLiteral("Show / hide this overview"), QKeySequence(QStringLiteral("Ctrl+F1"))));
}

void TestMainWindow::escClosesOverview_data()
{
    QTest::addColumn<bool>("fullScreen");
    QTest::addColumn<bool>("toGrid"); // the grid shown over the open overview
    // After the first Esc.
    QTest::addColumn<bool>("overviewAfter");
    QTest::addColumn<bool>("fullScreenAfter");

    QTest::newRow("window") << false << false << false << false;
    // The overview goes first, full screen with the next Esc.
    QTest::newRow("full-screen") << true << false << false << true;
    // On the grid the overview is not on screen: Esc must not bring it back.
    QTest::newRow("grid") << false << true << true << false;
    QTest::newRow("grid-full-screen") << true << true << true << false;
}

void TestMainWindow::escClosesOverview()
{
    QFETCH(bool, fullScreen);
    QFETCH(bool, toGrid);
    QFETCH(bool, overviewAfter);
    QFETCH(bool, fullScreenAfter);

    auto w = openWindow(makeFolder({"a.jpg", "b.jpg"}));
    QApplication::setActiveWindow(w.get());
    QVERIFY(QTest::qWaitForWindowActive(w.get()));
    ViewerWidget *viewer = viewerOf(*w);
    QAction *help = named(*w, "shortcutsAction");
    if (fullScreen)
        named(*w, "fullScreenAction")->trigger();
    help->trigger();
    QVERIFY(viewer->isShortcutOverlayVisible());
    if (toGrid)
        showGrid(*w);

    QTest::keyClick(w.get(), Qt::Key_Escape);
    QCOMPARE(viewer->isShortcutOverlayVisible(), overviewAfter);
    QCOMPARE(help->isChecked(), overviewAfter);
    QCOMPARE(w->isFullScreen(), fullScreenAfter);
    QCOMPARE(page(*w), toGrid ? 1 : 0);
    QCOMPARE(named(*w, "leaveFullScreenAction")->isEnabled(), overviewAfter || fullScreenAfter);
    if (!overviewAfter)
        QCOMPARE(help->text(), QStringLiteral("Show &Keyboard Shortcuts"));

    QTest::keyClick(w.get(), Qt::Key_Escape);
    QVERIFY(!w->isFullScreen());
    QCOMPARE(page(*w), toGrid ? 1 : 0);
}

void TestMainWindow::preferencesNameTheMenus()
{
    MainWindow w;
    w.show();
    DialogDriver<PreferencesDialog> driver([](PreferencesDialog *dialog) {
        // The filter and the mark of one star, apart.
        const auto labelOf = [dialog](const char *id) {
            QWidget *edit = dialog->shortcutEdit(QLatin1String(id));
            const auto *form = qobject_cast<QFormLayout *>(edit->parentWidget()->layout());
            return qobject_cast<QLabel *>(form->labelForField(edit))->text();
        };
        QCOMPARE(labelOf("filter.rating1"), QStringLiteral("Filter › 1 Star:"));
        QCOMPARE(labelOf("rating.1"), QStringLiteral("Rating › 1 Star:"));
        dialog->reject();
    });
    w.registeredActions().value("app.preferences")->trigger();
    QVERIFY(driver.ran);
}

// ---- Recycle bin --------------------------------------------------------

void TestMainWindow::recycleBin_data()
{
    QTest::addColumn<QMessageBox::StandardButton>("answer");
    QTest::addColumn<bool>("trashWorks");
    QTest::addColumn<QList<int>>("rows");
    QTest::addColumn<QString>("question");
    QTest::addColumn<QStringList>("left");
    QTest::addColumn<QString>("failureText"); // empty: no failure box
    QTest::addColumn<QString>("status");
    QTest::addColumn<QString>("current");

    const QStringList all{"IMG_1.JPG", "IMG_1.PNG", "IMG_1.xmp", "IMG_2.JPG", "IMG_3.JPG"};
    QTest::newRow("cancel-changes-nothing")
        << QMessageBox::Cancel << true << QList<int>{0, 1}
        << "Move 2 selected photo(s) and 1 associated XMP sidecar(s) to the Recycle Bin?\n\nThe files will not be "
           "permanently deleted."
        << all << QString() << QString() << "IMG_1.JPG";
    QTest::newRow("jpeg-of-pair-keeps-sidecar")
        << QMessageBox::Yes << true << QList<int>{0}
        << "Move IMG_1.JPG to the Recycle Bin?\n\nThe files will not be permanently deleted."
        << QStringList{"IMG_1.PNG", "IMG_1.xmp", "IMG_2.JPG", "IMG_3.JPG"} << QString()
        << "1 photo(s) moved to the Recycle Bin" << "IMG_1.PNG";
    QTest::newRow("pair-with-sidecar")
        << QMessageBox::Yes << true << QList<int>{0, 1}
        << "Move 2 selected photo(s) and 1 associated XMP sidecar(s) to the Recycle Bin?\n\nThe files will not be "
           "permanently deleted."
        << QStringList{"IMG_2.JPG", "IMG_3.JPG"} << QString() << "2 photo(s) moved to the Recycle Bin"
        << "IMG_2.JPG";
    QTest::newRow("last-goes-to-nearest-before")
        << QMessageBox::Yes << true << QList<int>{3}
        << "Move IMG_3.JPG to the Recycle Bin?\n\nThe files will not be permanently deleted."
        << QStringList{"IMG_1.JPG", "IMG_1.PNG", "IMG_1.xmp", "IMG_2.JPG"} << QString()
        << "1 photo(s) moved to the Recycle Bin" << "IMG_2.JPG";
    QTest::newRow("trash-refuses-everything")
        << QMessageBox::Yes << false << QList<int>{0, 1, 2}
        << "Move 3 selected photo(s) and 1 associated XMP sidecar(s) to the Recycle Bin?\n\nThe files will not be "
           "permanently deleted."
        << all << "3 file(s) could not be moved to the Recycle Bin:\n\nIMG_1.JPG (photo)\nIMG_1.PNG (photo)\nIMG_2.JPG (photo)"
        << "0 photo(s) moved to the Recycle Bin" << "IMG_1.JPG";
}

void TestMainWindow::recycleBin()
{
    QFETCH(QMessageBox::StandardButton, answer);
    QFETCH(bool, trashWorks);
    QFETCH(QList<int>, rows);
    QFETCH(QString, question);
    QFETCH(QStringList, left);
    QFETCH(QString, failureText);
    QFETCH(QString, status);
    QFETCH(QString, current);
#ifdef Q_OS_WIN
    if (!trashWorks)
        QSKIP("a blocked freedesktop.org trash has no counterpart in the shell's recycle bin");
    if (answer == QMessageBox::Yes && !shellRecycles(root->path()))
        QSKIP("the shell refuses to move files to the recycle bin here");
#endif

    const QString folder = makeFolder({"IMG_1.JPG", "IMG_1.PNG", "IMG_2.JPG", "IMG_3.JPG"});
    {
        QFile xmp(folder + "/IMG_1.xmp");
        QVERIFY(xmp.open(QIODevice::WriteOnly));
        xmp.write(sidecar(QStringLiteral("xmp:Rating=\"2\"")));
    }
    const QString dataHome = root->filePath(QStringLiteral("data"));
    QVERIFY(QDir().mkpath(dataHome + "/Trash"));
    if (!trashWorks) {
        QFile blocker(dataHome + "/Trash/files");
        QVERIFY(blocker.open(QIODevice::WriteOnly));
    }

    auto w = openWindow(folder);
    PhotoCatalog *catalog = catalogOf(*w);
    QAction *trash = named(*w, "moveToTrashAction");
    QVERIFY(trash->isEnabled()); // viewer page: the photo on screen
    showGrid(*w);
    gridOf(*w)->setCurrentPath(folder + "/" + left.value(0));
    selectRows(*w, rows);
    QListView *view = gridOf(*w)->findChild<QListView *>();
    view->selectionModel()->setCurrentIndex(view->model()->index(rows.first(), 0), QItemSelectionModel::NoUpdate);
    QTRY_VERIFY(gridOf(*w)->selectedPreviewsReady());
    QVERIFY(trash->isEnabled());

    const QStringList allBefore = catalog->allFiles();
    BoxAnswerer boxes(answer);
    trash->trigger();
    QVERIFY(boxes.seen.size() >= 1);
    QCOMPARE(boxes.seen.first().title, QStringLiteral("Move photos to Recycle Bin?"));
    QCOMPARE(boxes.seen.first().text, question);
    QCOMPARE(boxes.seen.first().icon, QMessageBox::Question);

    QCOMPARE(QDir(folder).entryList(QDir::Files, QDir::Name), left);
    QStringList photosLeft;
    for (const QString &name : left)
        if (!name.endsWith(QLatin1String(".xmp")))
            photosLeft.append(folder + "/" + name);
    QCOMPARE(catalog->allFiles(), answer == QMessageBox::Yes ? photosLeft : allBefore);

    QCOMPARE(boxes.seen.size(), failureText.isEmpty() ? 1 : 2);
    if (!failureText.isEmpty()) {
        QCOMPARE(boxes.seen.at(1).title, QStringLiteral("Some files could not be moved"));
        QCOMPARE(boxes.seen.at(1).text, failureText);
    }
    if (!status.isEmpty())
        QCOMPARE(w->statusBar()->currentMessage(), status);
    QCOMPARE(QFileInfo(catalog->currentPath()).fileName(), current);
    QCOMPARE(QFileInfo(gridOf(*w)->currentPath()).fileName(), current);
    // Nothing went anywhere but the trash.
    QCOMPARE(QDir::current().entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList{});
}

void TestMainWindow::moveRejected_data()
{
    QTest::addColumn<QMessageBox::StandardButton>("answer");
    QTest::addColumn<QStringList>("left");
    QTest::addColumn<QString>("status");
    const QStringList all{"IMG_1.CR2", "IMG_1.JPG", "IMG_1.xmp", "IMG_2.JPG", "IMG_3.NEF", "IMG_3.xmp", "IMG_4.JPG", "IMG_4.xmp"};
    QTest::newRow("yes") << QMessageBox::Yes << QStringList{"IMG_2.JPG", "IMG_4.JPG", "IMG_4.xmp"}
                         << "2 photo(s) moved to the Recycle Bin";
    QTest::newRow("cancel") << QMessageBox::Cancel << all << QString();
}

// Every rejected photo of the folder, not only those the filter shows, with
// the RAW of a pair and the sidecars.
void TestMainWindow::moveRejected()
{
    QFETCH(QMessageBox::StandardButton, answer);
    QFETCH(QStringList, left);
    QFETCH(QString, status);
#ifdef Q_OS_WIN
    if (answer == QMessageBox::Yes && !shellRecycles(root->path()))
        QSKIP("the shell refuses to move files to the recycle bin here");
#endif
    const QString folder = makeFolder({"IMG_1.CR2", "IMG_1.JPG", "IMG_2.JPG", "IMG_3.NEF", "IMG_4.JPG"});
    for (const auto &[name, marks] : {std::pair{"IMG_1.xmp", "xmp:Rating=\"-1\""}, std::pair{"IMG_3.xmp", "xmp:Rating=\"-1\""},
                                      std::pair{"IMG_4.xmp", "xmp:Rating=\"5\""}}) {
        QFile xmp(folder + "/" + QLatin1String(name));
        QVERIFY(xmp.open(QIODevice::WriteOnly));
        xmp.write(sidecar(QLatin1String(marks)));
    }
    QVERIFY(QDir().mkpath(root->filePath(QStringLiteral("data")) + "/Trash"));

    auto w = openWindow(folder);
    PhotoCatalog *catalog = catalogOf(*w);
    QAction *action = named(*w, "moveRejectedAction");
    QTRY_VERIFY(action->isEnabled());
    catalog->setFilter(QStringLiteral("rating:5"));
    QCOMPARE(catalog->visibleFiles().size(), 1);

    BoxAnswerer boxes(answer);
    action->trigger();
    QCOMPARE(boxes.seen.size(), 1);
    QCOMPARE(boxes.seen.first().title, QStringLiteral("Move rejected photos to Recycle Bin?"));
    // Two photos, three files (the pair's RAW counted), two sidecars.
    QCOMPARE(boxes.seen.first().text, RecycleBin::confirmationText(2, 3, 2, false));
    QCOMPARE(QDir(folder).entryList(QDir::Files, QDir::Name), left);
    QCOMPARE(catalog->allFiles().size(), answer == QMessageBox::Yes ? 2 : 4);
    QCOMPARE(catalog->visibleFiles(), QStringList{folder + "/IMG_4.JPG"});
    if (!status.isEmpty())
        QCOMPARE(w->statusBar()->currentMessage(), status);
}

// ---- Keys, status, opening ----------------------------------------------

void TestMainWindow::navigationKeys_data()
{
    // 25 photos; the viewer starts at `start`, the grid's current cell too.
    QTest::addColumn<bool>("grid");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("expected");
    QTest::newRow("viewer-home") << false << int(Qt::Key_Home) << 12 << 0;
    QTest::newRow("viewer-end") << false << int(Qt::Key_End) << 3 << 24;
    QTest::newRow("viewer-page-down") << false << int(Qt::Key_PageDown) << 3 << 13;
    QTest::newRow("viewer-page-down-at-end") << false << int(Qt::Key_PageDown) << 20 << 24;
    QTest::newRow("viewer-page-up") << false << int(Qt::Key_PageUp) << 12 << 2;
    QTest::newRow("grid-home") << true << int(Qt::Key_Home) << 12 << 0;
    QTest::newRow("grid-end") << true << int(Qt::Key_End) << 3 << 24;
}

void TestMainWindow::navigationKeys()
{
    QFETCH(bool, grid);
    QFETCH(int, key);
    QFETCH(int, start);
    QFETCH(int, expected);
    QStringList names;
    for (int i = 0; i < 25; ++i)
        names << QStringLiteral("p%1.jpg").arg(i, 2, 10, QLatin1Char('0'));
    const QString folder = makeFolder(names);
    auto w = openWindow(folder);
    QApplication::setActiveWindow(w.get());
    QVERIFY(QTest::qWaitForWindowActive(w.get()));
    catalogOf(*w)->select(folder + '/' + names.at(start));
    if (grid) {
        showGrid(*w);
        gridOf(*w)->setCurrentPath(folder + '/' + names.at(start));
    }
    QTest::keyClick(QApplication::focusWidget(), Qt::Key(key));
    if (grid) {
        // The grid moves its own cell; the viewer's photo stays until one is opened.
        QCOMPARE(page(*w), 1);
        QCOMPARE(gridOf(*w)->currentPath(), folder + '/' + names.at(expected));
        QCOMPARE(catalogOf(*w)->currentPath(), folder + '/' + names.at(start));
    } else {
        QCOMPARE(catalogOf(*w)->currentPath(), folder + '/' + names.at(expected));
    }
}

void TestMainWindow::filterInStatusAndTitle_data()
{
    QTest::addColumn<QString>("filterAction");
    QTest::addColumn<bool>("exclude");
    QTest::addColumn<QString>("position");
    QTest::newRow("three-stars") << "filter.rating3" << false << "Filter: 3 stars — image 1 of 2";
    QTest::newRow("one-star-singular") << "filter.rating1" << false << "Filter: 1 star — image 1 of 1";
    QTest::newRow("at-least-one") << "filter.atLeast1" << false << "Filter: at least 1 star — image 1 of 3";
    QTest::newRow("not-three-stars") << "filter.rating3" << true << "Filter: not 3 stars — image 1 of 2";
    QTest::newRow("red") << "filter.red" << false << "Filter: label Red — image 1 of 1";
    QTest::newRow("all") << "filter.all" << false << "Image 1 of 4";
}

void TestMainWindow::filterInStatusAndTitle()
{
    QFETCH(QString, filterAction);
    QFETCH(bool, exclude);
    QFETCH(QString, position);
    const QString folder = makeFolder({"a.jpg", "b.jpg", "c.jpg", "d.jpg"});
    writeSidecar(folder + "/a.xmp", sidecar(QStringLiteral("xmp:Rating='3'")));
    writeSidecar(folder + "/b.xmp", sidecar(QStringLiteral("xmp:Rating='1' xmp:Label='Red'")));
    writeSidecar(folder + "/c.xmp", sidecar(QStringLiteral("xmp:Rating='3'")));
    auto w = openWindow(folder);
    if (exclude)
        named(*w, "excludeFilterAction")->trigger();
    w->registeredActions().value(filterAction)->trigger();
    QTRY_VERIFY2(w->statusBar()->currentMessage().startsWith(position + QStringLiteral(" — Fit")),
                 qPrintable(w->statusBar()->currentMessage()));
    const QString name = QFileInfo(catalogOf(*w)->currentPath()).fileName();
    const QString title = filterAction == QLatin1String("filter.all")
                              ? name + QStringLiteral(" — Quillmark Glanceway")
                              : name + QStringLiteral(" — ") + position + QStringLiteral(" — Quillmark Glanceway");
    QCOMPARE(w->windowTitle(), title);
}

// A pair tagged in the status line; subfolders in the grid's names and the
// title, remembered for the folder they were asked for.
void TestMainWindow::pairsAndSubfolders()
{
    const QString folder = makeFolder({"a.CR2", "a.jpg", "c.jpg"});
    QVERIFY(QDir(folder).mkpath(QStringLiteral("day2")));
    QVERIFY(QFile::copy(folder + "/c.jpg", folder + "/day2/b.jpg"));
    {
        auto w = openWindow(folder);
        PhotoCatalog *catalog = catalogOf(*w);
        QCOMPARE(catalog->visibleFiles(), (QStringList{folder + "/a.jpg", folder + "/c.jpg"}));
        QTRY_VERIFY2(w->statusBar()->currentMessage().startsWith(QStringLiteral("Image 1 of 2 — Fit — RAW+JPEG — ")),
                     qPrintable(w->statusBar()->currentMessage()));
        QAction *subfolders = named(*w, "includeSubfoldersAction");
        QVERIFY(!subfolders->isChecked());
        subfolders->trigger();
        QVERIFY(subfolders->isChecked());
        QTRY_COMPARE(catalog->visibleFiles().size(), 3);
        catalog->last();
        QTRY_COMPARE(w->windowTitle(), QStringLiteral("day2/b.jpg — photos — Quillmark Glanceway"));
        showGrid(*w);
        QAbstractItemModel *model = gridOf(*w)->listView()->model();
        QCOMPARE(model->index(2, 0).data().toString(), QStringLiteral("day2/b.jpg"));
        QVERIFY(model->index(0, 0).data(ThumbnailListModel::PairRole).toBool());
        QVERIFY(!model->index(1, 0).data(ThumbnailListModel::PairRole).toBool());
    }
    {
        // The next start opens the folder as it was left.
        auto w = openWindow(folder);
        QVERIFY(named(*w, "includeSubfoldersAction")->isChecked());
        QCOMPARE(catalogOf(*w)->visibleFiles().size(), 3);
        named(*w, "includeSubfoldersAction")->trigger();
        QTRY_COMPARE(catalogOf(*w)->visibleFiles().size(), 2);
    }
    auto w = openWindow(folder);
    QVERIFY(!named(*w, "includeSubfoldersAction")->isChecked());
    QVERIFY(!catalogOf(*w)->includesSubfolders());
}

void TestMainWindow::statusBackAfterMenu()
{
    const QString folder = makeFolder({"a.jpg", "b.jpg"});
    auto w = openWindow(folder);
    const QString viewerText = viewerOf(*w)->statusText();
    QVERIFY(viewerText.startsWith(QStringLiteral("Image 1 of 2")));
    QCOMPARE(w->statusBar()->currentMessage(), viewerText);
    QMenu *menu = w->menuBar()->actions().at(5)->menu();
    menu->popup(w->mapToGlobal(QPoint(20, 20)));
    QTRY_VERIFY(menu->isVisible());
    // Hovering an entry without a status tip sends the empty tip the toolkit shows.
    menu->setActiveAction(menu->actions().at(1));
    QCoreApplication::processEvents();
    menu->hide();
    QCoreApplication::processEvents();
    QCOMPARE(w->statusBar()->currentMessage(), viewerText);
}

void TestMainWindow::deleteInViewer()
{
    if (!shellRecycles(root->path()))
        QSKIP("the shell refuses to move files to the recycle bin here");
    BoxAnswerer boxes(QMessageBox::Yes);
    const QString folder = makeFolder({"a.jpg", "b.jpg", "c.jpg"});
    writeSidecar(folder + "/b.xmp", sidecar(QStringLiteral("xmp:Rating='2'")));
    auto w = openWindow(folder);
    PhotoCatalog *catalog = catalogOf(*w);
    catalog->select(folder + "/b.jpg");
    QApplication::setActiveWindow(w.get());
    QVERIFY(QTest::qWaitForWindowActive(w.get()));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Delete);
    QTRY_COMPARE(boxes.seen.size(), 1);
    // The photo on screen, which nobody selected.
    QVERIFY(boxes.seen.first().text.startsWith(QStringLiteral("Move b.jpg and its XMP sidecar to the Recycle Bin?")));
    QVERIFY(!boxes.seen.first().text.contains(QStringLiteral("selected")));
    QCOMPARE(boxes.seen.first().title, QStringLiteral("Move photos to Recycle Bin?"));
    QTRY_COMPARE(catalog->currentPath(), folder + "/c.jpg");
    QVERIFY(!QFile::exists(folder + "/b.jpg"));
    QVERIFY(!QFile::exists(folder + "/b.xmp"));
    QCOMPARE(catalog->allFiles(), (QStringList{folder + "/a.jpg", folder + "/c.jpg"}));
    QCOMPARE(page(*w), 0);
    QCOMPARE(w->statusBar()->currentMessage(), QStringLiteral("1 photo(s) moved to the Recycle Bin"));
}

void TestMainWindow::openPath_data()
{
    // What the command line names, relative to the photo folder; "" the folder itself.
    QTest::addColumn<QString>("argument");
    QTest::addColumn<QString>("current");
    QTest::addColumn<int>("boxes");
    QTest::newRow("folder") << "" << "a.jpg" << 0;
    QTest::newRow("photo") << "b.jpg" << "b.jpg" << 0;
    QTest::newRow("missing") << "nothing-here" << "" << 1;
}

void TestMainWindow::openPath()
{
    QFETCH(QString, argument);
    QFETCH(QString, current);
    QFETCH(int, boxes);
    BoxAnswerer answerer;
    const QString folder = makeFolder({"a.jpg", "b.jpg"});
    // The last session names another folder; the command line wins.
    const QString other = root->filePath(QStringLiteral("other"));
    QVERIFY(QDir().mkpath(other));
    QVERIFY(QFile::copy(fixtureJpeg, other + "/z.jpg"));
    QSettings().setValue(QStringLiteral("lastDirectory"), other);
    MainWindow w;
    w.openPath(argument.isEmpty() ? folder : folder + '/' + argument);
    w.show();
    QCoreApplication::processEvents(); // the scheduled session restore
    QCOMPARE(answerer.seen.size(), boxes);
    QCOMPARE(catalogOf(w)->currentPath(), current.isEmpty() ? QString() : folder + '/' + current);
}

void TestMainWindow::exifOverlayChecked()
{
    const QString folder = makeFolder({"a.jpg"});
    auto w = openWindow(folder);
    QAction *exif = w->registeredActions().value(QStringLiteral("view.exifOverlay"));
    QVERIFY(exif->isCheckable());
    exif->trigger();
    QVERIFY(exif->isChecked());
    QVERIFY(viewerOf(*w)->isExifOverlayVisible());
    exif->trigger();
    QVERIFY(!exif->isChecked());
    QVERIFY(!viewerOf(*w)->isExifOverlayVisible());
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
