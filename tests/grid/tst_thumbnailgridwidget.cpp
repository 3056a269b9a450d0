#include "grid/thumbnaildiskcache.h"
#include "grid/thumbnailgridwidget.h"
#include "grid/thumbnaillistmodel.h"

#include <QLabel>
#include <QListView>
#include <QElapsedTimer>
#include <QScrollBar>
#include <QSettings>
#include <QStyle>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QWheelEvent>
#include <QtTest>

#include <algorithm>

namespace {

// Paths that do not exist: their jobs fail at once, which keeps these tests
// about the widget and not about decoding.
QStringList fakePaths(int count)
{
    QStringList paths;
    for (int i = 0; i < count; ++i)
        paths << QStringLiteral("/nonexistent/grid/P%1.JPG").arg(i, 4, 10, QLatin1Char('0'));
    return paths;
}

void sendWheel(QWidget *viewport, int deltaY, Qt::KeyboardModifiers modifiers)
{
    const QPointF pos(viewport->width() / 2.0, viewport->height() / 2.0);
    QWheelEvent event(pos, viewport->mapToGlobal(pos), QPoint(), QPoint(0, deltaY), Qt::NoButton, modifiers,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(viewport, &event);
}

int storedSize()
{
    return QSettings().value(QStringLiteral("grid/thumbnailSize")).toInt();
}

} // namespace

class TestThumbnailGridWidget : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void construction();
    void thumbnailSize_data();
    void thumbnailSize();
    void controlWheelResizes_data();
    void controlWheelResizes();
    void currentCellStaysInView_data();
    void currentCellStaysInView();
    void moveSelection_data();
    void moveSelection();
    void newListKeepsCurrentPhoto_data();
    void newListKeepsCurrentPhoto();
    void newListKeepsSelection_data();
    void newListKeepsSelection();
    void pathAfterRemoval_data();
    void pathAfterRemoval();
    void selectionQueries();
    void activation();
    void loadWindowCoversVisibleCells_data();
    void loadWindowCoversVisibleCells();
    void fastDragLoadsWhereItRests();
    void hiddenGridLoadsNothing();
    void columnsFillWidth_data();
    void columnsFillWidth();
};

void TestThumbnailGridWidget::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QCoreApplication::setOrganizationName(QStringLiteral("Quillmark"));
    QCoreApplication::setApplicationName(QStringLiteral("Glanceway"));
}

void TestThumbnailGridWidget::init()
{
    QSettings().remove(QStringLiteral("grid/thumbnailSize"));
}

void TestThumbnailGridWidget::construction()
{
    ThumbnailGridWidget grid;
    QCOMPARE(grid.thumbnailSize(), 192);
    QCOMPARE(storedSize(), 192); // written back at construction
    QCOMPARE(grid.listView()->gridSize(), QSize(216, 244));
    QCOMPARE(grid.listView()->selectionMode(), QAbstractItemView::ExtendedSelection);
    QCOMPARE(grid.focusProxy(), grid.listView());
    QCOMPARE(grid.loaderThreadPool()->maxThreadCount(), 1);

    auto *label = grid.findChild<QLabel *>();
    QVERIFY(label);
    QCOMPARE(label->text(), QStringLiteral("No photos to display.\n\nOpen a photo folder or choose Filter → All Images."));
    grid.show();
    QVERIFY(label->isVisible());
    QVERIFY(!grid.listView()->isVisible());
    grid.setFiles(fakePaths(3), {});
    QVERIFY(!label->isVisible());
    QVERIFY(grid.listView()->isVisible());
    grid.setFiles({}, {});
    QVERIFY(label->isVisible());
    QCOMPARE(grid.model()->rowCount(), 0);
}

void TestThumbnailGridWidget::thumbnailSize_data()
{
    QTest::addColumn<QVariant>("stored"); // at construction
    QTest::addColumn<QString>("operation");
    QTest::addColumn<int>("argument");
    QTest::addColumn<int>("expected");
    QTest::addColumn<bool>("emitted");
    QTest::newRow("below-range") << QVariant() << "set" << 50 << 96 << true;
    QTest::newRow("above-range") << QVariant() << "set" << 1000 << 384 << true;
    QTest::newRow("unchanged") << QVariant() << "set" << 192 << 192 << false;
    QTest::newRow("off-step") << QVariant() << "set" << 200 << 200 << true;
    QTest::newRow("increase") << QVariant() << "increase" << 0 << 224 << true;
    QTest::newRow("decrease") << QVariant() << "decrease" << 0 << 160 << true;
    QTest::newRow("increase-at-maximum") << QVariant(384) << "increase" << 0 << 384 << false;
    QTest::newRow("decrease-at-minimum") << QVariant(96) << "decrease" << 0 << 96 << false;
    QTest::newRow("decrease-near-minimum") << QVariant(120) << "decrease" << 0 << 96 << true;
    QTest::newRow("stored-out-of-range") << QVariant(4000) << "none" << 0 << 384 << false;
    QTest::newRow("stored-garbage") << QVariant(QStringLiteral("big")) << "none" << 0 << 96 << false;
}

void TestThumbnailGridWidget::thumbnailSize()
{
    QFETCH(QVariant, stored);
    QFETCH(QString, operation);
    QFETCH(int, argument);
    QFETCH(int, expected);
    QFETCH(bool, emitted);
    if (stored.isValid())
        QSettings().setValue(QStringLiteral("grid/thumbnailSize"), stored);
    ThumbnailGridWidget grid;
    const int before = grid.thumbnailSize();
    QSignalSpy changed(&grid, &ThumbnailGridWidget::thumbnailSizeChanged);
    if (operation == QLatin1String("set"))
        grid.setThumbnailSize(argument);
    else if (operation == QLatin1String("increase"))
        grid.increaseThumbnailSize();
    else if (operation == QLatin1String("decrease"))
        grid.decreaseThumbnailSize();

    QCOMPARE(grid.thumbnailSize(), expected);
    QCOMPARE(grid.listView()->gridSize(), QSize(expected + 24, expected + 52));
    QCOMPARE(storedSize(), expected);
    QCOMPARE(changed.size(), emitted ? 1 : 0);
    if (emitted)
        QCOMPARE(changed.at(0).at(0).toInt(), expected);
    else
        QCOMPARE(grid.thumbnailSize(), before);
}

void TestThumbnailGridWidget::controlWheelResizes_data()
{
    QTest::addColumn<int>("delta");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<int>("expectedSize");
    QTest::addColumn<bool>("scrolls");
    QTest::newRow("ctrl-up") << 120 << int(Qt::ControlModifier) << 224 << false;
    QTest::newRow("ctrl-down") << -120 << int(Qt::ControlModifier) << 160 << false;
    QTest::newRow("ctrl-small-touchpad-step") << 8 << int(Qt::ControlModifier) << 224 << false;
    QTest::newRow("ctrl-zero") << 0 << int(Qt::ControlModifier) << 160 << false;
    QTest::newRow("meta-up") << 120 << int(Qt::MetaModifier) << 224 << false;
    QTest::newRow("ctrl-shift-up") << 120 << int(Qt::ControlModifier | Qt::ShiftModifier) << 224 << false;
    QTest::newRow("plain-down") << -120 << int(Qt::NoModifier) << 192 << true;
}

void TestThumbnailGridWidget::controlWheelResizes()
{
    QFETCH(int, delta);
    QFETCH(int, modifiers);
    QFETCH(int, expectedSize);
    QFETCH(bool, scrolls);
    ThumbnailGridWidget grid;
    grid.resize(600, 400);
    grid.setFiles(fakePaths(200), {});
    grid.show();
    QVERIFY(QTest::qWaitForWindowExposed(&grid));
    QScrollBar *bar = grid.listView()->verticalScrollBar();
    QTRY_VERIFY(bar->maximum() > 0);

    sendWheel(grid.listView()->viewport(), delta, Qt::KeyboardModifiers(modifiers));
    QCOMPARE(grid.thumbnailSize(), expectedSize);
    QCOMPARE(bar->value() > 0, scrolls);
}

void TestThumbnailGridWidget::currentCellStaysInView_data()
{
    QTest::addColumn<int>("startSize");
    QTest::addColumn<QString>("change"); // "smaller", "larger", "wheel-down" or a size to set
    QTest::addColumn<int>("current");    // of 300 photos
    QTest::addColumn<QString>("placed"); // where the current cell is before: "centre", "top", "bottom", "away"
    QTest::addColumn<bool>("keepsHeight"); // its centre stays within a row of where it was
    QTest::newRow("smaller-centred") << 192 << "smaller" << 150 << "centre" << true;
    QTest::newRow("larger-centred") << 192 << "larger" << 150 << "centre" << true;
    QTest::newRow("smallest-centred") << 384 << "96" << 150 << "centre" << true;
    QTest::newRow("largest-centred") << 96 << "384" << 150 << "centre" << true;
    QTest::newRow("wheel-smaller-centred") << 192 << "wheel-down" << 200 << "centre" << true;
    QTest::newRow("smaller-at-top") << 192 << "smaller" << 120 << "top" << true;
    QTest::newRow("larger-at-bottom") << 128 << "larger" << 120 << "bottom" << false;
    QTest::newRow("smaller-last") << 192 << "smaller" << 299 << "bottom" << false;
    QTest::newRow("larger-first") << 192 << "larger" << 0 << "top" << false;
    QTest::newRow("scrolled-away") << 192 << "smaller" << 150 << "away" << false;
}

void TestThumbnailGridWidget::currentCellStaysInView()
{
    QFETCH(int, startSize);
    QFETCH(QString, change);
    QFETCH(int, current);
    QFETCH(QString, placed);
    QFETCH(bool, keepsHeight);
    QSettings().setValue(QStringLiteral("grid/thumbnailSize"), startSize);
    ThumbnailGridWidget grid;
    grid.resize(700, 500);
    const QStringList paths = fakePaths(300);
    grid.setFiles(paths, {});
    grid.show();
    QVERIFY(QTest::qWaitForWindowExposed(&grid));
    QListView *view = grid.listView();
    QTRY_VERIFY(view->verticalScrollBar()->maximum() > 0);
    grid.setCurrentPath(paths.at(current));
    const QModelIndex index = grid.model()->index(current);
    if (placed == QLatin1String("top"))
        view->scrollTo(index, QAbstractItemView::PositionAtTop);
    else if (placed == QLatin1String("bottom"))
        view->scrollTo(index, QAbstractItemView::PositionAtBottom);
    else if (placed == QLatin1String("away"))
        view->verticalScrollBar()->setValue(0);
    QCoreApplication::processEvents();
    const QRect before = view->visualRect(index);
    QCOMPARE(view->viewport()->rect().contains(before), placed != QLatin1String("away"));

    if (change == QLatin1String("smaller"))
        grid.decreaseThumbnailSize();
    else if (change == QLatin1String("larger"))
        grid.increaseThumbnailSize();
    else if (change == QLatin1String("wheel-down"))
        sendWheel(view->viewport(), -120, Qt::ControlModifier);
    else
        grid.setThumbnailSize(change.toInt());
    QVERIFY(grid.thumbnailSize() != startSize);
    QCoreApplication::processEvents();

    const QRect after = view->visualRect(index);
    QVERIFY2(view->viewport()->rect().contains(after),
             qPrintable(QStringLiteral("%1,%2 %3x%4 in %5 high").arg(after.x()).arg(after.y()).arg(after.width())
                            .arg(after.height()).arg(view->viewport()->height())));
    if (keepsHeight)
        QVERIFY2(std::abs(after.center().y() - before.center().y()) <= view->gridSize().height(),
                 qPrintable(QStringLiteral("%1 -> %2").arg(before.center().y()).arg(after.center().y())));
    QCOMPARE(grid.currentPath(), paths.at(current));
}

void TestThumbnailGridWidget::moveSelection_data()
{
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("current"); // -1: none
    QTest::addColumn<int>("delta");
    QTest::addColumn<int>("expected"); // -1: none
    QTest::newRow("next-without-current") << 10 << -1 << 1 << 0;
    QTest::newRow("previous-without-current") << 10 << -1 << -1 << 0;
    QTest::newRow("next") << 10 << 3 << 1 << 4;
    QTest::newRow("previous") << 10 << 3 << -1 << 2;
    QTest::newRow("next-on-last") << 10 << 9 << 1 << 9;
    QTest::newRow("previous-on-first") << 10 << 0 << -1 << 0;
    QTest::newRow("far-beyond-the-end") << 10 << 2 << 500 << 9;
    QTest::newRow("far-before-the-start") << 10 << 7 << -500 << 0;
    QTest::newRow("empty-grid") << 0 << -1 << 1 << -1;
}

void TestThumbnailGridWidget::moveSelection()
{
    QFETCH(int, rows);
    QFETCH(int, current);
    QFETCH(int, delta);
    QFETCH(int, expected);
    ThumbnailGridWidget grid;
    const QStringList paths = fakePaths(rows);
    grid.setFiles(paths, {});
    if (current >= 0)
        grid.setCurrentPath(paths.at(current));
    grid.listView()->selectionModel()->select(grid.model()->index(rows > 5 ? 5 : 0), QItemSelectionModel::Select);

    grid.moveSelection(delta);
    QCOMPARE(grid.currentPath(), expected >= 0 ? paths.at(expected) : QString());
    // Without modifier keys only the new current photo stays selected.
    QCOMPARE(grid.selectedPaths(), expected >= 0 ? QStringList{paths.at(expected)} : QStringList());
}

void TestThumbnailGridWidget::newListKeepsCurrentPhoto_data()
{
    QTest::addColumn<QList<int>>("filtered"); // rows of the old list kept by the new filter
    QTest::addColumn<bool>("kept");
    QTest::newRow("current-still-listed") << QList<int>{0, 40, 150, 151, 290} << true;
    QTest::newRow("current-filtered-out") << QList<int>{0, 40, 151, 290} << false;
}

void TestThumbnailGridWidget::newListKeepsCurrentPhoto()
{
    QFETCH(QList<int>, filtered);
    QFETCH(bool, kept);
    ThumbnailGridWidget grid;
    grid.resize(500, 400);
    const QStringList paths = fakePaths(300);
    grid.setFiles(paths, {});
    grid.show();
    QVERIFY(QTest::qWaitForWindowExposed(&grid));
    grid.setCurrentPath(paths.at(150));
    QCOMPARE(grid.currentPath(), paths.at(150));
    grid.setCurrentPath(QStringLiteral("/not/listed.jpg")); // ignored
    QCOMPARE(grid.currentPath(), paths.at(150));

    QStringList next;
    for (int row : filtered)
        next << paths.at(row);
    grid.setFiles(next, {});
    if (!kept) {
        QCOMPARE(grid.currentPath(), QString());
        return;
    }
    QCOMPARE(grid.currentPath(), paths.at(150));
    // With a long list it would sit in the middle of the view; here the short list
    // fits, so it only has to be on screen.
    const QRect rect = grid.listView()->visualRect(grid.listView()->currentIndex());
    QVERIFY(grid.listView()->viewport()->rect().contains(rect));

    // In a long list the photo is centred.
    QStringList longer = fakePaths(300);
    longer.replace(200, paths.at(150));
    grid.setFiles(longer, {});
    QCOMPARE(grid.currentPath(), paths.at(150));
    const QRect centred = grid.listView()->visualRect(grid.listView()->currentIndex());
    const int viewportMiddle = grid.listView()->viewport()->height() / 2;
    QVERIFY2(qAbs(centred.center().y() - viewportMiddle) <= centred.height() / 2 + 1,
             qPrintable(QStringLiteral("%1 vs %2").arg(centred.center().y()).arg(viewportMiddle)));
}

void TestThumbnailGridWidget::newListKeepsSelection_data()
{
    QTest::addColumn<QList<int>>("selected"); // rows of the first list; the last one is current
    QTest::addColumn<QList<int>>("dropped");  // rows missing from the next list
    QTest::addColumn<QList<int>>("expected"); // rows of the first list selected afterwards
    QTest::newRow("others-come-and-go") << QList<int>{2, 7, 5} << QList<int>{7, 0} << QList<int>{2, 5};
    QTest::newRow("current-gone") << QList<int>{2, 5} << QList<int>{5} << QList<int>{2};
    QTest::newRow("all-gone") << QList<int>{2, 5} << QList<int>{2, 5} << QList<int>{};
}

void TestThumbnailGridWidget::newListKeepsSelection()
{
    QFETCH(QList<int>, selected);
    QFETCH(QList<int>, dropped);
    QFETCH(QList<int>, expected);
    ThumbnailGridWidget grid;
    const QStringList paths = fakePaths(10);
    grid.setFiles(paths, {});
    QItemSelectionModel *selection = grid.listView()->selectionModel();
    for (int row : selected)
        selection->setCurrentIndex(grid.model()->index(row), QItemSelectionModel::Select);

    // Files added by another program come before and after the others.
    QStringList next{QStringLiteral("/new/first.jpg")};
    for (int row = 0; row < paths.size(); ++row) {
        if (!dropped.contains(row))
            next.append(paths.at(row));
    }
    next.append(QStringLiteral("/new/last.jpg"));
    grid.setFiles(next, {});
    std::sort(expected.begin(), expected.end());
    QStringList kept;
    for (int row : expected)
        kept.append(paths.at(row));
    QCOMPARE(grid.selectedPaths(), kept);
    QCOMPARE(grid.currentPath(), dropped.contains(selected.last()) ? QString() : paths.at(selected.last()));
}

void TestThumbnailGridWidget::pathAfterRemoval_data()
{
    QTest::addColumn<int>("current"); // -1: none
    QTest::addColumn<QStringList>("removed");
    QTest::addColumn<QString>("expected");
    const QString a = "/p/a.jpg", b = "/p/b.jpg", c = "/p/c.jpg", d = "/p/d.jpg", e = "/p/e.jpg";
    QTest::newRow("current-stays") << 2 << QStringList{a, e} << c;
    QTest::newRow("current-removed") << 2 << QStringList{c} << d;
    QTest::newRow("current-and-next-removed") << 2 << QStringList{c, d} << e;
    QTest::newRow("current-and-all-later-removed") << 2 << QStringList{c, d, e} << b;
    QTest::newRow("everything-after-and-before-but-first") << 2 << QStringList{b, c, d, e} << a;
    QTest::newRow("everything-removed") << 2 << QStringList{a, b, c, d, e} << QString();
    QTest::newRow("last-removed") << 4 << QStringList{e} << d;
    QTest::newRow("letter-case-differs") << 2 << QStringList{"/p/C.jpg"} << c;
    QTest::newRow("no-current") << -1 << QStringList{a} << QString();
}

void TestThumbnailGridWidget::pathAfterRemoval()
{
    QFETCH(int, current);
    QFETCH(QStringList, removed);
    QFETCH(QString, expected);
    const QStringList paths{"/p/a.jpg", "/p/b.jpg", "/p/c.jpg", "/p/d.jpg", "/p/e.jpg"};
    ThumbnailGridWidget grid;
    grid.setFiles(paths, {});
    if (current >= 0)
        grid.setCurrentPath(paths.at(current));
    QCOMPARE(grid.pathAfterRemoval(removed), expected);
}

void TestThumbnailGridWidget::selectionQueries()
{
    QTemporaryDir dir;
    QStringList paths = fakePaths(6);
    const QString real = dir.filePath(QStringLiteral("real.jpg"));
    QVERIFY(QFile::copy(QStringLiteral(GLANCEWAY_TESTDATA "/fixtures/fixture.jpg"), real));
    paths.replace(3, real);
    ThumbnailGridWidget grid;
    grid.resize(900, 600);
    QSignalSpy selectionChanged(&grid, &ThumbnailGridWidget::selectionChanged);
    grid.setFiles(paths, {});
    QVERIFY(!grid.selectedPreviewsReady()); // nothing selected

    QItemSelectionModel *selection = grid.listView()->selectionModel();
    selection->select(grid.model()->index(3), QItemSelectionModel::Select);
    selection->select(grid.model()->index(1), QItemSelectionModel::Select);
    QCOMPARE(selectionChanged.size(), 2);
    QCOMPARE(selectionChanged.last().at(0).toInt(), 2);
    QCOMPARE(grid.selectedCount(), 2);
    QCOMPARE(grid.selectedPaths(), (QStringList{paths.at(1), paths.at(3)})); // row order, not click order
    QCOMPARE(grid.selectedPathsWithoutPreview(), (QStringList{paths.at(1), paths.at(3)}));
    QVERIFY(!grid.selectedPreviewsReady());

    grid.show();
    QTRY_COMPARE(grid.model()->stateOf(real), int(Ready));
    QTRY_COMPARE(grid.model()->stateOf(paths.at(1)), int(Failed));
    // A failed row shows "Preview unavailable": the user has seen it.
    QVERIFY(grid.selectedPathsWithoutPreview().isEmpty());
    QVERIFY(grid.selectedPreviewsReady());

    // Ready survives the image being dropped from memory.
    grid.model()->discardThumbnailsOutside(0, 0);
    QVERIFY(grid.selectedPreviewsReady());
}

void TestThumbnailGridWidget::activation()
{
    ThumbnailGridWidget grid;
    const QStringList paths = fakePaths(4);
    grid.setFiles(paths, {});
    QSignalSpy activated(&grid, &ThumbnailGridWidget::fileActivated);
    grid.activateCurrent();
    QCOMPARE(activated.size(), 0); // no current photo

    grid.setCurrentPath(paths.at(2));
    grid.activateCurrent();
    QCOMPARE(activated.size(), 1);
    QCOMPARE(activated.at(0).at(0).toString(), paths.at(2));

    emit grid.listView()->activated(grid.model()->index(1));
    QCOMPARE(activated.size(), 2);
    QCOMPARE(activated.at(1).at(0).toString(), paths.at(1));
}

void TestThumbnailGridWidget::loadWindowCoversVisibleCells_data()
{
    QTest::addColumn<QSize>("window");
    QTest::addColumn<int>("thumbnailSize");
    QTest::addColumn<double>("scrolled"); // share of the scroll range
    QTest::addColumn<int>("fitColumns"); // > 0: make the viewport exactly that many cells wide
    QTest::newRow("small-cells-large-window") << QSize(1600, 1000) << 96 << 0.5 << 0;
    QTest::newRow("small-cells-at-the-end") << QSize(1600, 1000) << 96 << 1.0 << 0;
    QTest::newRow("default-cells") << QSize(1600, 1000) << 192 << 0.37 << 0;
    QTest::newRow("large-cells-narrow-window") << QSize(700, 900) << 384 << 0.61 << 0;
    QTest::newRow("at-the-top") << QSize(1000, 700) << 128 << 0.0 << 0;
    QTest::newRow("small-cells-at-the-top") << QSize(1600, 1000) << 96 << 0.0 << 0;
    // The view wraps a cell that would end exactly on the right edge, so such a
    // viewport shows one column less than its width divided by the cell width.
    QTest::newRow("viewport-exactly-seven-cells-wide") << QSize(1600, 1000) << 192 << 0.5 << 7;
    QTest::newRow("viewport-exactly-two-large-cells-wide") << QSize(900, 900) << 384 << 0.3 << 2;
    QTest::newRow("viewport-exactly-wide-at-the-end") << QSize(1600, 1000) << 96 << 1.0 << 12;
}

void TestThumbnailGridWidget::loadWindowCoversVisibleCells()
{
    QFETCH(QSize, window);
    QFETCH(int, thumbnailSize);
    QFETCH(double, scrolled);
    QFETCH(int, fitColumns);
    ThumbnailGridWidget grid;
    grid.resize(window);
    grid.setThumbnailSize(thumbnailSize);
    const QStringList paths = fakePaths(2000);
    grid.setFiles(paths, {});
    grid.show();
    QVERIFY(QTest::qWaitForWindowExposed(&grid));
    QScrollBar *bar = grid.listView()->verticalScrollBar();
    QTRY_VERIFY(bar->maximum() > 0);
    if (fitColumns > 0) {
        const int cellsWidth = fitColumns * grid.listView()->gridSize().width();
        grid.resize(grid.width() - grid.listView()->viewport()->width() + cellsWidth, window.height());
        QTRY_COMPARE(grid.listView()->viewport()->width(), cellsWidth);
        grid.listView()->doItemsLayout(); // the scroll range of the new width, before scrolling
    }
    bar->setValue(int(scrolled * bar->maximum()));
    QTRY_VERIFY(grid.loadWindow().first >= 0);
    QCoreApplication::processEvents(); // the window updates queued by the scrolling

    QListView *view = grid.listView();
    const QRect viewport = view->viewport()->rect();
    int firstVisible = -1, lastVisible = -1;
    for (int row = 0; row < paths.size(); ++row) {
        if (view->visualRect(grid.model()->index(row)).intersects(viewport)) {
            if (firstVisible < 0)
                firstVisible = row;
            lastVisible = row;
        }
    }
    const int perRow = viewport.width() / view->gridSize().width();
    const QPair<int, int> loaded = grid.loadWindow();
    QVERIFY2(loaded.first <= firstVisible && loaded.second >= lastVisible,
             qPrintable(QStringLiteral("window %1…%2, visible %3…%4").arg(loaded.first).arg(loaded.second)
                            .arg(firstVisible).arg(lastVisible)));
    // Two rows of cells either side, no more.
    QVERIFY(loaded.first >= firstVisible - 2 * perRow);
    QVERIFY2(loaded.second <= lastVisible + 2 * perRow, qPrintable(QStringLiteral("window %1…%2, visible %3…%4").arg(loaded.first).arg(loaded.second).arg(firstVisible).arg(lastVisible)));
    for (int row = loaded.first; row <= loaded.second; ++row)
        QVERIFY(grid.model()->stateOf(paths.at(row)) != NotRequested);
}

void TestThumbnailGridWidget::fastDragLoadsWhereItRests()
{
    ThumbnailGridWidget grid;
    grid.resize(1200, 800);
    grid.setThumbnailSize(128);
    const QStringList paths = fakePaths(3000);
    grid.setFiles(paths, {});
    grid.show();
    QVERIFY(QTest::qWaitForWindowExposed(&grid));
    QScrollBar *bar = grid.listView()->verticalScrollBar();
    QTRY_VERIFY(bar->maximum() > 0);
    QTRY_VERIFY(grid.loadWindow().first >= 0);

    // Dragging the scroll bar from top to bottom, many screens per step.
    const int steps = 10;
    QList<int> middleRows;
    QElapsedTimer gap;
    gap.start();
    for (int step = 1; step <= steps; ++step) {
        if (gap.restart() >= 30)
            QSKIP("the machine is too busy to drag faster than the view settles");
        bar->setValue(bar->maximum() * step / steps);
        QCoreApplication::processEvents();
        const QRect viewport = grid.listView()->viewport()->rect();
        middleRows.append(grid.listView()->indexAt(viewport.center()).row());
    }
    QTRY_VERIFY(grid.loadWindow().second == paths.size() - 1);
    QTRY_VERIFY(grid.model()->stateOf(paths.last()) != NotRequested);
    // The rows passed over after the first step never reach the loader (a
    // single jump loads at once, as loadWindowCoversVisibleCells shows).
    for (int i = 1; i < steps - 1; ++i)
        QVERIFY2(grid.model()->stateOf(paths.at(middleRows.at(i))) == NotRequested,
                 qPrintable(QStringLiteral("row %1 of step %2 was loaded").arg(middleRows.at(i)).arg(i + 1)));
}

void TestThumbnailGridWidget::hiddenGridLoadsNothing()
{
    ThumbnailGridWidget grid;
    grid.resize(600, 400);
    grid.setFiles(fakePaths(50), {});
    grid.setThumbnailSize(128);
    grid.moveSelection(1);
    QCoreApplication::processEvents();
    QCOMPARE(grid.loaderStats().requested, 0u);
    QCOMPARE(grid.loadWindow().first, -1);

    grid.show(); // showing resumes loading
    QTRY_VERIFY(grid.loaderStats().requested > 0);
}

void TestThumbnailGridWidget::columnsFillWidth_data()
{
    QTest::addColumn<int>("thumbnailSize");
    QTest::addColumn<int>("photos");
    QTest::addColumn<QList<int>>("widths"); // of the window, one after the other
    QTest::newRow("default-growing") << 192 << 400 << QList<int>{500, 640, 1000, 1217, 1600};
    QTest::newRow("default-shrinking") << 192 << 400 << QList<int>{1600, 1217, 1000, 640, 500};
    QTest::newRow("smallest") << 96 << 400 << QList<int>{700, 333, 1599, 1000};
    QTest::newRow("largest") << 384 << 400 << QList<int>{900, 1300, 820, 1599};
    QTest::newRow("narrower-than-a-cell") << 384 << 400 << QList<int>{300, 1000, 300};
    // Without a scroll bar the view still keeps its width free.
    QTest::newRow("few-photos") << 96 << 30 << QList<int>{1400, 1013, 1600};
}

void TestThumbnailGridWidget::columnsFillWidth()
{
    QFETCH(int, thumbnailSize);
    QFETCH(int, photos);
    QFETCH(QList<int>, widths);
    ThumbnailGridWidget grid;
    grid.setThumbnailSize(thumbnailSize);
    grid.setFiles(fakePaths(photos), {});
    grid.resize(widths.first(), 700);
    grid.show();
    QVERIFY(QTest::qWaitForWindowExposed(&grid));
    QListView *view = grid.listView();
    const int base = thumbnailSize + 24;
    const int barWidth = view->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, view->verticalScrollBar());
    for (int width : widths) {
        grid.resize(width, 700);
        QTRY_COMPARE(view->width(), width);
        QCoreApplication::processEvents();
        view->doItemsLayout();
        const bool scrolls = view->verticalScrollBar()->isVisible();
        QCOMPARE(scrolls, photos > 100);
        const int layoutWidth = view->viewport()->width() - (scrolls ? 0 : barWidth);
        const QString where = QStringLiteral("width %1").arg(layoutWidth);

        // As many columns as cells of the chosen size fit, no fewer.
        const int top = view->visualRect(grid.model()->index(0)).top();
        int columns = 1;
        while (columns < photos && view->visualRect(grid.model()->index(columns)).top() == top)
            ++columns;
        QCOMPARE(columns, std::max(1, (layoutWidth - 1) / base));
        QCOMPARE(view->gridSize().height(), thumbnailSize + 52);
        QVERIFY2(view->gridSize().width() >= base, qPrintable(where));
        // Less than a pixel per column is left over, unless one cell is wider than the view.
        const int spare = layoutWidth - view->visualRect(grid.model()->index(columns - 1)).right() - 1;
        if (layoutWidth > base)
            QVERIFY2(spare >= 0 && spare <= columns, qPrintable(QStringLiteral("%1: %2 pixels spare").arg(where).arg(spare)));
        else
            QCOMPARE(view->gridSize().width(), base);
    }
}

QTEST_MAIN(TestThumbnailGridWidget)
#include "tst_thumbnailgridwidget.moc"
