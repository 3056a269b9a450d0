#include "windowtesting.h"
#include "app/translations.h"
#include "catalog/photocatalog.h"
#include "ui/historycontroller.h"
#include "ui/mainwindow.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

// The one undo history: steps other features add with addStep() and the
// catalog's mark steps go back newest first, a step that refuses stays.

namespace {

const QString fixtureJpeg = QStringLiteral(GLANCEWAY_TESTDATA "/fixtures/fixture.jpg");

} // namespace

class TestHistoryController : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void undoOrder_data();
    void undoOrder();
    void newFolderDropsSteps();

private:
    QString makeFolder(const QString &name);

    QTemporaryDir sandbox{QStringLiteral(GLANCEWAY_BINARY_DIR "/tst_historycontroller-XXXXXX")};
    std::unique_ptr<QTemporaryDir> root;
    Translations translations;
};

void TestHistoryController::initTestCase()
{
    QVERIFY(prepareWindowTests(sandbox, translations));
}

void TestHistoryController::init()
{
    QSettings().clear();
    QSettings().setValue(QStringLiteral("rating/autoAdvance"), false);
    root = std::make_unique<QTemporaryDir>(QDir::homePath() + QStringLiteral("/history-XXXXXX"));
    QVERIFY(root->isValid());
}

void TestHistoryController::cleanup()
{
    root.reset();
    QSettings().clear();
}

QString TestHistoryController::makeFolder(const QString &name)
{
    const QString folder = root->filePath(name);
    QDir().mkpath(folder);
    for (const char *photo : {"a", "b"})
        QFile::copy(fixtureJpeg, QStringLiteral("%1/%2.jpg").arg(folder, QLatin1String(photo)));
    return folder;
}

void TestHistoryController::undoOrder_data()
{
    // What the user did, in order: "m" a mark, "s" a step of another feature,
    // "r" a step that refuses its first undo. Steps are numbered in order.
    QTest::addColumn<QString>("taken");
    // What each Undo took back: "m" a mark, "s2" the second step, "r1!" a refusal.
    QTest::addColumn<QString>("undone");
    QTest::newRow("step-after-mark") << "m s" << "s1 m";
    QTest::newRow("mark-after-step") << "s m" << "m s1";
    QTest::newRow("interleaved") << "s m s m" << "m s2 m s1";
    QTest::newRow("steps-in-a-row") << "s s m" << "m s2 s1";
    QTest::newRow("refused-step-stays-next") << "m r" << "r1! r1 m";
}

void TestHistoryController::undoOrder()
{
    QFETCH(QString, taken);
    QFETCH(QString, undone);
    QStringList log;
    auto w = openWindowOn(makeFolder(QStringLiteral("photos")));
    auto *catalog = w->findChild<PhotoCatalog *>();
    auto *history = w->findChild<HistoryController *>();
    QAction *undo = w->registeredActions().value(QStringLiteral("edit.undo"));
    QVERIFY(history);
    QVERIFY(!undo->isEnabled());

    int steps = 0;
    int rating = 0;
    for (const QString &what : taken.split(QLatin1Char(' '))) {
        if (what == QLatin1String("m")) {
            catalog->setRating(++rating);
            continue;
        }
        const QString name = what + QString::number(++steps);
        auto refusals = std::make_shared<int>(what == QLatin1String("r") ? 1 : 0);
        history->addStep([&log, name, refusals] {
            if (*refusals > 0) {
                --*refusals;
                log.append(name + QLatin1Char('!'));
                return false;
            }
            log.append(name);
            return true;
        });
    }

    const QStringList expected = undone.split(QLatin1Char(' '));
    for (int i = 0; i < expected.size(); ++i) {
        QTRY_VERIFY(undo->isEnabled());
        const int marks = catalog->undoDepth();
        const qsizetype calls = log.size();
        undo->trigger();
        if (log.size() == calls) {
            QCOMPARE(catalog->undoDepth(), marks - 1);
            log.append(QStringLiteral("m"));
        }
    }
    QCOMPARE(log, expected);
    QVERIFY(!history->canUndo());
    QTRY_VERIFY(!undo->isEnabled());
}

void TestHistoryController::newFolderDropsSteps()
{
    bool called = false;
    auto w = openWindowOn(makeFolder(QStringLiteral("first")));
    auto *catalog = w->findChild<PhotoCatalog *>();
    auto *history = w->findChild<HistoryController *>();
    history->addStep([&called] {
        called = true;
        return true;
    });
    QVERIFY(history->canUndo());

    QSignalSpy opened(catalog, &PhotoCatalog::folderOpened);
    catalog->openFolder(makeFolder(QStringLiteral("second")));
    QTRY_COMPARE(opened.size(), 1);
    // What left the first folder is not the second one's to bring back.
    QVERIFY(!history->canUndo());
    w->registeredActions().value(QStringLiteral("edit.undo"))->trigger();
    QVERIFY(!called);
}

QTEST_MAIN(TestHistoryController)
#include "tst_historycontroller.moc"
