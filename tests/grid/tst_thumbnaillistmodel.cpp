#include "grid/thumbnaildiskcache.h"
#include "grid/thumbnailgridwidget.h"
#include "imaging/quickpreview.h"
#include "grid/thumbnaillistmodel.h"
#include "poolgate.h"

#include <QDir>
#include <QListView>
#include <QScrollBar>
#include <QSemaphore>
#include <QSettings>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

using PhotoCore::Metadata;
using Marks = QHash<QString, Metadata>;

namespace {

const QString testData = QStringLiteral(GLANCEWAY_TESTDATA);

// `count` photos: links to a few small real JPEGs, each path its own cache entry.
QStringList makePhotos(const QTemporaryDir &dir, int count, const QString &prefix = QStringLiteral("IMG"))
{
    const QStringList sources{testData + QStringLiteral("/fixtures/fixture.jpg"),
                              testData + QStringLiteral("/cameras/Polaroid_PDC-640M_POL_0132.JPG"),
                              testData + QStringLiteral("/cameras/Epson_PhotoPC-3100Z_EPSN0001.JPG")};
    QStringList paths;
    for (int i = 0; i < count; ++i) {
        const QString path = dir.filePath(QStringLiteral("%1_%2.jpg").arg(prefix).arg(i, 4, 10, QLatin1Char('0')));
        if (!QFileInfo::exists(path)) {
#ifdef Q_OS_UNIX
            QFile::link(sources.at(i % sources.size()), path);
#else
            QFile::copy(sources.at(i % sources.size()), path); // QFile::link makes shortcut files here
#endif
        }
        paths << path;
    }
    return paths;
}

// How many of `paths` carry an embedded picture smaller than a thumbnail,
// which the grid shows first and then refines with a second job.
int refinedCount(const QStringList &paths)
{
    int count = 0;
    for (const QString &path : paths) {
        const QImage embedded = decodeEmbeddedThumbnail(path, ThumbnailGridWidget::decodeSide);
        count += !embedded.isNull() && qMax(embedded.width(), embedded.height()) < ThumbnailGridWidget::decodeSide;
    }
    return count;
}

// Every state change of every row, in order.
struct StateRecorder
{
    explicit StateRecorder(ThumbnailListModel *model)
    {
        QObject::connect(model, &QAbstractItemModel::dataChanged, model,
                         [this, model](const QModelIndex &from, const QModelIndex &to, const QList<int> &roles) {
                             if (!roles.isEmpty() && !roles.contains(ThumbnailListModel::StateRole))
                                 return;
                             for (int row = from.row(); row <= to.row(); ++row)
                                 changes[row] << model->index(row).data(ThumbnailListModel::StateRole).toInt();
                         });
        QObject::connect(model, &QAbstractItemModel::dataChanged, model,
                         [this, model](const QModelIndex &from, const QModelIndex &, const QList<int> &roles) {
                             if (roles.contains(ThumbnailListModel::ThumbnailRole))
                                 readyOrder << from.row();
                         });
    }
    QHash<int, QList<int>> changes;
    QList<int> readyOrder;
};

void drainLoader(ThumbnailGridWidget &grid)
{
    grid.loaderThreadPool()->waitForDone();
    QCoreApplication::processEvents();
}

int rowsInState(const ThumbnailListModel *model, int state)
{
    int n = 0;
    for (const QString &path : model->paths())
        n += model->stateOf(path) == state;
    return n;
}

} // namespace

class TestThumbnailListModel : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    // The model on its own
    void roles_data();
    void roles();
    void thumbnailsAndStates();
    void updateMarksTouchesOnlyMarks();
    void labels_data();
    void labels();

    // Loading on real files
    void stateSequence();
    void scrollingOutAndBackReloads();
    void undecodableFileIsTriedOnce();
    void staleResultAfterStopLoadingIsDropped();
    void staleResultAfterFilterChangeIsDropped();
    void marksOnlyUpdateReloadsNothing();
    void movedWindowDropsQueuedJobs_data();
    void movedWindowDropsQueuedJobs();
};

void TestThumbnailListModel::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QCoreApplication::setOrganizationName(QStringLiteral("Quillmark"));
    QCoreApplication::setApplicationName(QStringLiteral("Glanceway"));
}

void TestThumbnailListModel::init()
{
    // The previous test's loads may still be storing a thumbnail, which
    // Windows does not let anyone remove until it is written.
    QTRY_VERIFY(ThumbnailDiskCache().clearAll());
    QSettings().setValue(QStringLiteral("grid/thumbnailSize"), 96);
}

void TestThumbnailListModel::roles_data()
{
    QTest::addColumn<Metadata>("record");
    QTest::addColumn<bool>("hasRecord");
    QTest::addColumn<QString>("marks");
    QTest::newRow("no-record") << Metadata{} << false << QStringLiteral("0||0|0");
    QTest::newRow("default-record") << Metadata{} << true << QStringLiteral("0||0|0");
    QTest::newRow("rated-labelled-rotated") << Metadata{3, QStringLiteral("Red"), false, 90} << true
                                            << QStringLiteral("3|Red|0|90");
    QTest::newRow("rejected") << Metadata{0, QStringLiteral("Blue"), true, 270} << true
                              << QStringLiteral("0|Blue|1|270");
    QTest::newRow("label-with-separator") << Metadata{2, QStringLiteral("a|b"), false, 0} << true
                                          << QStringLiteral("2|a|b|0|0");
    QTest::newRow("label-with-placeholder") << Metadata{1, QStringLiteral("50%3 %4"), false, 180} << true
                                            << QStringLiteral("1|50%3 %4|0|180");
}

void TestThumbnailListModel::roles()
{
    QFETCH(Metadata, record);
    QFETCH(bool, hasRecord);
    QFETCH(QString, marks);
    ThumbnailListModel model;
    const QString path = QStringLiteral("/photos/2024/DSC_0001.NEF");
    Marks byPath;
    if (hasRecord)
        byPath.insert(path, record);
    model.resetContent({QStringLiteral("/photos/other.jpg"), path}, byPath);

    const QModelIndex index = model.index(1);
    QCOMPARE(model.rowCount(), 2);
    QCOMPARE(index.data(Qt::DisplayRole).toString(), QStringLiteral("DSC_0001.NEF"));
    QCOMPARE(index.data(ThumbnailListModel::PathRole).toString(), path);
    QCOMPARE(index.data(ThumbnailListModel::MarksRole).toString(), marks);
    QVERIFY(index.data(ThumbnailListModel::ThumbnailRole).value<QImage>().isNull());
    QCOMPARE(index.data(ThumbnailListModel::StateRole).toInt(), int(NotRequested));
    QCOMPARE(ThumbnailListModel::PathRole, 257);
    QCOMPARE(ThumbnailListModel::StateRole, 260);

    QVERIFY(!index.data(Qt::DecorationRole).isValid());
    QVERIFY(!model.index(2).data(Qt::DisplayRole).isValid());
    QVERIFY(!model.data(model.index(-1, 0), ThumbnailListModel::PathRole).isValid());
    QCOMPARE(model.pathAt(2), QString());
    QCOMPARE(model.pathAt(-1), QString());
    QCOMPARE(model.rowOf(QStringLiteral("/photos/2024/dsc_0001.nef")), -1);
}

void TestThumbnailListModel::thumbnailsAndStates()
{
    ThumbnailListModel model;
    const QStringList paths{"/a.jpg", "/b.jpg", "/a.jpg", "/c.jpg"};
    model.resetContent(paths, {});
    QCOMPARE(model.rowOf(QStringLiteral("/a.jpg")), 0); // a repeated path answers its first row
    QCOMPARE(model.rowOf(QStringLiteral("/c.jpg")), 3);

    QImage image(8, 8, QImage::Format_RGB32);
    image.fill(Qt::green);
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    model.setThumbnail(1, image);
    model.setThumbnail(3, image);
    model.setThumbnail(7, image); // out of range: ignored
    QCOMPARE(changed.size(), 2);
    QCOMPARE(changed.at(0).at(2).value<QList<int>>(),
             (QList<int>{ThumbnailListModel::ThumbnailRole, ThumbnailListModel::StateRole}));
    QCOMPARE(model.stateOf(QStringLiteral("/b.jpg")), int(Ready));
    QCOMPARE(model.heldThumbnailCount(), 2);

    // Discarding keeps the Ready state: the row had its preview.
    model.discardThumbnailsOutside(2, 3);
    QCOMPARE(model.heldThumbnailCount(), 1);
    QVERIFY(model.index(1).data(ThumbnailListModel::ThumbnailRole).value<QImage>().isNull());
    QCOMPARE(model.stateOf(QStringLiteral("/b.jpg")), int(Ready));
    QVERIFY(!model.index(3).data(ThumbnailListModel::ThumbnailRole).value<QImage>().isNull());

    model.setState(0, Failed);
    QCOMPARE(model.index(2).data(ThumbnailListModel::StateRole).toInt(), int(Failed)); // same path
    model.resetContent({QStringLiteral("/c.jpg")}, {});
    QCOMPARE(model.stateOf(QStringLiteral("/c.jpg")), int(NotRequested));
    QCOMPARE(model.heldThumbnailCount(), 0);
}

void TestThumbnailListModel::updateMarksTouchesOnlyMarks()
{
    ThumbnailListModel model;
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    model.updateMarks({});
    QCOMPARE(changed.size(), 0); // no rows, no signal

    model.resetContent({"/a.jpg", "/b.jpg", "/c.jpg"}, {});
    model.updateMarks({{QStringLiteral("/b.jpg"), Metadata{4, QString(), false, 0}}});
    QCOMPARE(changed.size(), 1);
    QCOMPARE(changed.at(0).at(0).toModelIndex().row(), 0);
    QCOMPARE(changed.at(0).at(1).toModelIndex().row(), 2);
    QCOMPARE(changed.at(0).at(2).value<QList<int>>(), QList<int>{ThumbnailListModel::MarksRole});
    QCOMPARE(model.index(1).data(ThumbnailListModel::MarksRole).toString(), QStringLiteral("4||0|0"));
}

void TestThumbnailListModel::labels_data()
{
    QTest::addColumn<QString>("topFolder");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("pair");
    QTest::newRow("plain") << QString() << "/p/day1/IMG_1.JPG" << "IMG_1.JPG" << false;
    QTest::newRow("top-level-photo") << "/p" << "/p/IMG_1.JPG" << "IMG_1.JPG" << false;
    QTest::newRow("subfolder") << "/p" << "/p/day1/IMG_1.JPG" << "day1/IMG_1.JPG" << false;
    QTest::newRow("top-with-slash") << "/p/" << "/p/day1/raw/IMG_1.JPG" << "day1/raw/IMG_1.JPG" << false;
    QTest::newRow("prefix-is-no-folder") << "/p" << "/photos/IMG_1.JPG" << "IMG_1.JPG" << false;
    QTest::newRow("pair") << "/p" << "/p/IMG_2.JPG" << "IMG_2.JPG" << true;
}

void TestThumbnailListModel::labels()
{
    QFETCH(QString, topFolder);
    QFETCH(QString, path);
    QFETCH(QString, name);
    QFETCH(bool, pair);
    ThumbnailListModel model;
    model.resetContent({path}, {});
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    model.setLabels(topFolder, {{QStringLiteral("/p/IMG_2.JPG"), QStringLiteral("/p/IMG_2.CR2")},
                                {QStringLiteral("/p/IMG_2.CR2"), QStringLiteral("/p/IMG_2.JPG")}});
    QCOMPARE(changed.count(), 1);
    // Labels outlive a new list.
    model.resetContent({path}, {});
    QCOMPARE(model.data(model.index(0), Qt::DisplayRole).toString(), name);
    QCOMPARE(model.data(model.index(0), ThumbnailListModel::PairRole).toBool(), pair);
}

void TestThumbnailListModel::stateSequence()
{
    QTemporaryDir dir;
    const QStringList paths = makePhotos(dir, 3);
    ThumbnailGridWidget grid;
    grid.resize(500, 400);
    StateRecorder recorder(grid.model());
    QSignalSpy availability(&grid, &ThumbnailGridWidget::previewAvailabilityChanged);
    grid.setFiles(paths, {});
    grid.show();

    QTRY_COMPARE(rowsInState(grid.model(), Ready), 3);
    drainLoader(grid);
    for (int row = 0; row < 3; ++row) {
        // A cell showing a file's embedded picture stays Ready while it is refined.
        QCOMPARE(recorder.changes.value(row), (QList<int>{Loading, Ready}));
        const QImage image = grid.model()->index(row).data(ThumbnailListModel::ThumbnailRole).value<QImage>();
        QVERIFY(!image.isNull());
        QVERIFY(qMax(image.width(), image.height()) <= ThumbnailGridWidget::decodeSide);
    }
    // On each request and on each delivery, refinements included.
    QCOMPARE(availability.size(), 6 + refinedCount(paths));
    // Every thumbnail went into the disk cache on the way.
    for (const QString &path : paths)
        QVERIFY(QFile::exists(ThumbnailDiskCache().entryPathFor(path)));
}

void TestThumbnailListModel::scrollingOutAndBackReloads()
{
    QTemporaryDir dir;
    const QStringList paths = makePhotos(dir, 150);
    ThumbnailGridWidget grid;
    grid.resize(420, 320);
    grid.setFiles(paths, {});
    grid.show();
    QTRY_COMPARE(grid.model()->stateOf(paths.first()), int(Ready));
    QTRY_VERIFY(grid.loaderStats().requested > 0 && rowsInState(grid.model(), Loading) == 0);

    StateRecorder recorder(grid.model());
    QSignalSpy availability(&grid, &ThumbnailGridWidget::previewAvailabilityChanged);
    QScrollBar *bar = grid.listView()->verticalScrollBar();
    bar->setValue(bar->maximum());
    QTRY_COMPARE(grid.loadWindow().second, int(paths.size()) - 1);
    QTRY_COMPARE(rowsInState(grid.model(), Loading), 0);
    drainLoader(grid); // refinements too
    const int windowRows = grid.loadWindow().second - grid.loadWindow().first + 1;
    QVERIFY(windowRows < 60);
    // Memory follows the window: row 0's image is gone, its state is not.
    QVERIFY(grid.model()->heldThumbnailCount() <= windowRows);
    QVERIFY(grid.model()->index(0).data(ThumbnailListModel::ThumbnailRole).value<QImage>().isNull());
    QCOMPARE(grid.model()->stateOf(paths.first()), int(Ready));
    QVERIFY(recorder.changes.value(0).isEmpty());

    availability.clear();
    bar->setValue(0);
    QTRY_COMPARE(grid.model()->stateOf(paths.first()), int(Ready));
    QTRY_VERIFY(!grid.model()->index(0).data(ThumbnailListModel::ThumbnailRole).value<QImage>().isNull());
    QCOMPARE(recorder.changes.value(0), (QList<int>{Loading, Ready}));
    QVERIFY(availability.size() >= 2);
    QVERIFY(grid.model()->heldThumbnailCount() <= windowRows);
}

void TestThumbnailListModel::undecodableFileIsTriedOnce()
{
    QTemporaryDir dir;
    QStringList paths = makePhotos(dir, 40);
    const QString broken = dir.filePath(QStringLiteral("IMG_0001.NEF"));
    QVERIFY(QFile::copy(testData + QStringLiteral("/fixtures/fixture.nef"), broken));
    paths.insert(1, broken);

    ThumbnailGridWidget grid;
    grid.resize(420, 320);
    StateRecorder recorder(grid.model());
    grid.setFiles(paths, {});
    grid.show();
    QTRY_COMPARE(grid.model()->stateOf(broken), int(Failed));
    QTRY_COMPARE(rowsInState(grid.model(), Loading), 0);
    QCOMPARE(grid.model()->index(1).data(ThumbnailListModel::StateRole).toInt(), int(Failed));

    // Scrolling away and back and resizing do not queue it again.
    QScrollBar *bar = grid.listView()->verticalScrollBar();
    bar->setValue(bar->maximum());
    QTRY_VERIFY(grid.loadWindow().first > 1);
    bar->setValue(0);
    QTRY_COMPARE(grid.loadWindow().first, 0);
    grid.resize(400, 300);
    QTRY_COMPARE(rowsInState(grid.model(), Loading), 0);
    drainLoader(grid);
    QCOMPARE(recorder.changes.value(1), (QList<int>{Loading, Failed}));
    QCOMPARE(grid.model()->stateOf(broken), int(Failed));

    // A new list is a new chance.
    std::reverse(paths.begin(), paths.end());
    grid.setFiles(paths, {});
    QTRY_COMPARE(grid.model()->stateOf(broken), int(Failed));
    QCOMPARE(recorder.changes.value(grid.model()->rowOf(broken)).mid(0, 1), QList<int>{Loading});
}

void TestThumbnailListModel::staleResultAfterStopLoadingIsDropped()
{
    QTemporaryDir dir;
    const QStringList paths = makePhotos(dir, 12);
    ThumbnailGridWidget grid;
    grid.resize(420, 320);
    PoolGate gate(grid.loaderThreadPool());
    grid.setFiles(paths, {});
    grid.show();
    QTRY_COMPARE(grid.model()->stateOf(paths.first()), int(Loading));

    // Let one job run to its end and post its result, then stop before it arrives.
    const quint64 queued = grid.loaderStats().requested;
    QVERIFY(queued >= 2);
    grid.loaderThreadPool()->start([] {}); // behind the queued jobs: proves they ran
    gate.release();
    grid.loaderThreadPool()->waitForDone();
    QCOMPARE(grid.loaderStats().executed, queued);
    grid.stopLoading();
    QCoreApplication::processEvents();

    QCOMPARE(rowsInState(grid.model(), Ready), 0);
    QCOMPARE(grid.model()->heldThumbnailCount(), 0);
    QCOMPARE(grid.loaderStats().delivered, 0u);
    QCOMPARE(grid.model()->stateOf(paths.first()), int(Loading)); // until asked again

    // The next window update asks again; the disk cache answers.
    grid.resize(421, 320);
    QTRY_COMPARE(grid.model()->stateOf(paths.first()), int(Ready));
}

void TestThumbnailListModel::staleResultAfterFilterChangeIsDropped()
{
    QTemporaryDir dir;
    const QStringList paths = makePhotos(dir, 12);
    ThumbnailGridWidget grid;
    grid.resize(420, 320);
    PoolGate gate(grid.loaderThreadPool());
    grid.setFiles(paths, {});
    grid.show();
    QTRY_COMPARE(grid.model()->stateOf(paths.first()), int(Loading));

    grid.hide(); // a hidden grid requests nothing, so only the old jobs can report
    gate.release();
    grid.loaderThreadPool()->waitForDone();
    QVERIFY(grid.loaderStats().executed >= 1);
    const QStringList filtered{paths.at(0), paths.at(2), paths.at(4)};
    grid.setFiles(filtered, {});
    QCoreApplication::processEvents();
    QCOMPARE(rowsInState(grid.model(), NotRequested), 3);
    QCOMPARE(grid.model()->heldThumbnailCount(), 0);

    grid.show();
    QTRY_COMPARE(rowsInState(grid.model(), Ready), 3);
}

void TestThumbnailListModel::marksOnlyUpdateReloadsNothing()
{
    QTemporaryDir dir;
    const QStringList paths = makePhotos(dir, 4);
    ThumbnailGridWidget grid;
    grid.resize(500, 400);
    grid.setFiles(paths, {});
    grid.show();
    QTRY_COMPARE(rowsInState(grid.model(), Ready), 4);
    drainLoader(grid);
    const quint64 requested = grid.loaderStats().requested;
    const quint64 generation = grid.loadGeneration();

    QSignalSpy changed(grid.model(), &QAbstractItemModel::dataChanged);
    QSignalSpy reset(grid.model(), &QAbstractItemModel::modelReset);
    const Marks marks{{paths.at(2), Metadata{5, QStringLiteral("Green"), false, 0}}};
    grid.setFiles(QStringList(paths), marks);
    QCoreApplication::processEvents(); // the window update
    drainLoader(grid);

    QCOMPARE(reset.size(), 0);
    QCOMPARE(changed.size(), 1);
    QCOMPARE(changed.at(0).at(2).value<QList<int>>(), QList<int>{ThumbnailListModel::MarksRole});
    QCOMPARE(grid.loaderStats().requested, requested);
    QCOMPARE(grid.loadGeneration(), generation);
    QCOMPARE(grid.model()->heldThumbnailCount(), 4);
    QCOMPARE(grid.model()->index(2).data(ThumbnailListModel::MarksRole).toString(), QStringLiteral("5|Green|0|0"));
}

void TestThumbnailListModel::movedWindowDropsQueuedJobs_data()
{
    QTest::addColumn<bool>("startAtBottom");
    QTest::addColumn<double>("move"); // of the scroll range, negative is upwards
    QTest::newRow("jump-to-bottom") << false << 1.0;
    QTest::newRow("step-up-overlapping") << true << -0.08;
}

void TestThumbnailListModel::movedWindowDropsQueuedJobs()
{
    QFETCH(bool, startAtBottom);
    QFETCH(double, move);
    QTemporaryDir dir;
    const QStringList paths = makePhotos(dir, 400);
    ThumbnailGridWidget grid;
    grid.resize(420, 320);
    PoolGate gate(grid.loaderThreadPool());
    StateRecorder recorder(grid.model());
    grid.setFiles(paths, {});
    grid.show();
    QScrollBar *bar = grid.listView()->verticalScrollBar();
    if (startAtBottom) {
        QTRY_VERIFY(bar->maximum() > 0);
        bar->setValue(bar->maximum());
    }
    QTRY_VERIFY(grid.loaderStats().requested > 0);
    QTRY_COMPARE(grid.loadWindow().second, startAtBottom ? int(paths.size()) - 1 : grid.loadWindow().second);
    const QPair<int, int> before = grid.loadWindow();
    QTRY_COMPARE(grid.model()->stateOf(paths.at(before.second)), int(Loading));

    bar->setValue(bar->value() + int(move * bar->maximum()));
    QTRY_VERIFY(grid.loadWindow() != before);
    const QPair<int, int> after = grid.loadWindow();
    QVERIFY(after.first > before.first || after.second < before.second);
    // Rows that left the window are no longer waiting to load.
    for (int row = before.first; row <= before.second; ++row) {
        if (row < after.first || row > after.second)
            QCOMPARE(grid.model()->stateOf(paths.at(row)), int(NotRequested));
    }

    gate.release();
    QTRY_COMPARE(rowsInState(grid.model(), Ready), after.second - after.first + 1);
    drainLoader(grid);
    const ThumbnailGridWidget::LoaderStats stats = grid.loaderStats();
    // No work for rows that left: one job per row of the window, and one more
    // for each whose embedded picture was refined.
    const QStringList window = paths.mid(after.first, after.second - after.first + 1);
    QCOMPARE(stats.executed, quint64(window.size() + refinedCount(window)));
    QCOMPARE(stats.deliveredOutsideWindow, 0u);
    // Every cell showed something before any was refined; the rows on screen
    // came first, top down, then the margin rows below, then those above.
    const int firstVisible = grid.listView()->indexAt(QPoint(1, 1)).row();
    QList<int> firstSeen;
    for (int row : std::as_const(recorder.readyOrder)) {
        if (!firstSeen.contains(row))
            firstSeen.append(row);
    }
    QCOMPARE(firstSeen.size(), window.size());
    QCOMPARE(recorder.readyOrder.mid(0, firstSeen.size()), firstSeen);
    const qsizetype above = firstVisible - after.first;
    QList<int> expected;
    for (int row = firstVisible; row <= after.second; ++row)
        expected.append(row);
    for (int row = after.first; row < firstVisible; ++row)
        expected.append(row);
    QCOMPARE(firstSeen, expected);
    QVERIFY(above >= 0);
}

QTEST_MAIN(TestThumbnailListModel)
#include "tst_thumbnaillistmodel.moc"
