#include "dialogdrivers.h"
#include "windowtesting.h"
#include "app/translations.h"
#include "grid/thumbnailgridwidget.h"
#include "catalog/photocatalog.h"
#include "ui/mainwindow.h"
#include "ui/transferdialog.h"
#include "ui/transfertexts.h"

#include <QAction>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QSettings>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

// Copy and move from the window: what they take, what they say, and that a
// move asks first.

namespace {

const QString fixtureJpeg = QStringLiteral(GLANCEWAY_TESTDATA "/fixtures/fixture.jpg");

QByteArray sidecar(int rating)
{
    return QStringLiteral("<x:xmpmeta xmlns:x=\"adobe:ns:meta/\"><rdf:RDF "
                          "xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\"><rdf:Description "
                          "rdf:about=\"\" xmlns:xmp=\"http://ns.adobe.com/xap/1.0/\" xmp:Rating=\"%1\"/></rdf:RDF>"
                          "</x:xmpmeta>")
        .arg(rating)
        .toUtf8();
}

QStringList namesIn(const QString &dir)
{
    return QDir(dir).entryList(QDir::Files | QDir::NoDotAndDotDot, QDir::Name);
}

} // namespace

class TestMainWindowTransfer : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void texts_data();
    void texts();
    void dialogFolder_data();
    void dialogFolder();
    void takesWhatItSays_data();
    void takesWhatItSays();
    void moveAsksFirst_data();
    void moveAsksFirst();
    void undoMove_data();
    void undoMove();
    void copyOffersAnotherFolderAndUndoes_data();
    void copyOffersAnotherFolderAndUndoes();
    void undoRecycleBin();
    void undoRecycleBinAfterTrashEmptied();

private:
    // a.jpg … e.jpg; a and b carry 3 stars, c carries 5 (each in a sidecar).
    QString makeFolder();
    std::unique_ptr<MainWindow> openWindow(const QString &folder);

    QTemporaryDir sandbox{QStringLiteral(GLANCEWAY_BINARY_DIR "/tst_mainwindowtransfer-XXXXXX")};
    std::unique_ptr<QTemporaryDir> root;
    Translations translations;
};

void TestMainWindowTransfer::initTestCase()
{
    QVERIFY(prepareWindowTests(sandbox, translations));
}

void TestMainWindowTransfer::init()
{
    QSettings().clear();
    root = std::make_unique<QTemporaryDir>(QDir::homePath() + QStringLiteral("/transfer-XXXXXX"));
    QVERIFY(root->isValid());
    // The trash of this test, on the photos' own disk.
    qputenv("XDG_DATA_HOME", QFile::encodeName(root->filePath(QStringLiteral("data"))));
}

void TestMainWindowTransfer::cleanup()
{
    root.reset();
    QSettings().clear();
}

QString TestMainWindowTransfer::makeFolder()
{
    const QString folder = root->filePath(QStringLiteral("photos"));
    QDir().mkpath(folder);
    for (const char *name : {"a", "b", "c", "d", "e"})
        QFile::copy(fixtureJpeg, QStringLiteral("%1/%2.jpg").arg(folder, QLatin1String(name)));
    for (const auto &[name, rating] : {std::pair{"a", 3}, std::pair{"b", 3}, std::pair{"c", 5}}) {
        QFile file(QStringLiteral("%1/%2.xmp").arg(folder, QLatin1String(name)));
        if (file.open(QIODevice::WriteOnly))
            file.write(sidecar(rating));
    }
    return folder;
}

std::unique_ptr<MainWindow> TestMainWindowTransfer::openWindow(const QString &folder)
{
    return openWindowOn(folder);
}

void TestMainWindowTransfer::texts_data()
{
    QTest::addColumn<QString>("actual");
    QTest::addColumn<QString>("expected");
    using T = TransferTexts;
    QTest::newRow("menu-shown") << T::menuText(false, 9, false) << "&Copy 9 Shown Photos To…";
    QTest::newRow("menu-one-shown") << T::menuText(true, 1, false) << "Mo&ve 1 Shown Photo To…";
    QTest::newRow("menu-selected") << T::menuText(true, 3, true) << "Mo&ve 3 Selected Photos To…";
    QTest::newRow("menu-nothing") << T::menuText(false, 0, false) << "&Copy Photos To…";
    QTest::newRow("summary-filtered") << T::summary(9, false, "rating>=:3", 9) << "9 photos (3 stars or more) with 9 XMP sidecars";
    QTest::newRow("summary-one-star") << T::summary(2, false, "rating:1", 1) << "2 photos (1 star) with 1 XMP sidecar";
    QTest::newRow("summary-all") << T::summary(5, false, "all", 0) << "5 photos";
    QTest::newRow("summary-excluded") << T::summary(4, false, "not:color:Red", 2) << "4 photos (not red label) with 2 XMP sidecars";
    QTest::newRow("summary-selected-ignores-filter") << T::summary(3, true, "rejected", 0) << "3 selected photos";
    // The folder as the system writes it (\x on Windows).
    const QString x = QDir::toNativeSeparators(QStringLiteral("/x"));
    QTest::newRow("question") << T::moveQuestion(5, 2, "/x")
                              << QStringLiteral("Move 5 photos and 2 XMP sidecars to %1? They leave this folder.").arg(x);
    QTest::newRow("question-no-sidecar") << T::moveQuestion(1, 0, "/x")
                                         << QStringLiteral("Move 1 photo to %1? They leave this folder.").arg(x);
}

void TestMainWindowTransfer::texts()
{
    QFETCH(QString, actual);
    QFETCH(QString, expected);
    QCOMPARE(actual, expected);
}

void TestMainWindowTransfer::dialogFolder_data()
{
    QTest::addColumn<QString>("typed");     // relative to the base folder unless absolute
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QString>("folder");    // the result, relative to the sandbox root
    QTest::addColumn<bool>("created");
    QTest::newRow("existing") << "@/kept" << true << "kept" << false;
    QTest::newRow("the-photos-own-folder") << "@/base" << false << "" << false;
    QTest::newRow("own-folder-by-dots") << "picks/.." << false << "" << false;
    QTest::newRow("new-relative-name") << "picks" << true << "base/picks" << true;
    QTest::newRow("new-nested-absolute") << "@/out/2026/day" << true << "out/2026/day" << true;
    QTest::newRow("dots-cleaned") << "picks/../keep" << true << "base/keep" << true;
    QTest::newRow("a-file") << "file.txt" << false << "" << false;
    QTest::newRow("below-a-file") << "file.txt/sub" << false << "" << false;
    QTest::newRow("nothing-typed") << "  " << false << "" << false;
}

void TestMainWindowTransfer::dialogFolder()
{
    QFETCH(QString, typed);
    QFETCH(bool, accepted);
    QFETCH(QString, folder);
    QFETCH(bool, created);
    const QString base = root->filePath(QStringLiteral("base"));
    QVERIFY(QDir().mkpath(base));
    QVERIFY(QDir().mkpath(root->filePath(QStringLiteral("kept"))));
    QFile file(base + QStringLiteral("/file.txt"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    typed.replace(QLatin1Char('@'), root->path());

    TransferDialog dialog(false, QStringLiteral("2 photos"), base, base);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    auto *edit = dialog.findChild<QLineEdit *>(QStringLiteral("transferFolder"));
    edit->setText(typed);
    // Enter in the folder field confirms, as the default button does.
    QTest::keyClick(edit, Qt::Key_Return);
    QCOMPARE(dialog.result() == QDialog::Accepted, accepted);
    QCOMPARE(dialog.findChild<QLabel *>(QStringLiteral("transferProblem"))->isHidden(),
             accepted || typed.trimmed().isEmpty());
    if (accepted) {
        QCOMPARE(dialog.folder(), QDir::cleanPath(root->filePath(folder)));
        QVERIFY(QFileInfo(dialog.folder()).isDir());
        QCOMPARE(dialog.createdFolder(), created);
    }
}

void TestMainWindowTransfer::takesWhatItSays_data()
{
    QTest::addColumn<bool>("grid");
    QTest::addColumn<QList<int>>("selectedRows");
    QTest::addColumn<QString>("filter");          // the filter menu entry's id, empty for all
    QTest::addColumn<QString>("menuText");
    QTest::addColumn<QString>("summary");
    QTest::addColumn<QStringList>("copied");
    QTest::newRow("grid-one-selected-takes-the-filter")
        << true << QList<int>{0} << "rating>=:3" << "&Copy 3 Shown Photos To…"
        << "3 photos (3 stars or more) with 3 XMP sidecars"
        << QStringList{"a.jpg", "a.xmp", "b.jpg", "b.xmp", "c.jpg", "c.xmp"};
    QTest::newRow("grid-two-selected") << true << QList<int>{1, 3} << "" << "&Copy 2 Selected Photos To…"
                                       << "2 selected photos with 1 XMP sidecar"
                                       << QStringList{"b.jpg", "b.xmp", "d.jpg"};
    QTest::newRow("single-view-takes-the-filter") << false << QList<int>() << "" << "&Copy 5 Shown Photos To…"
                                                  << "5 photos with 3 XMP sidecars"
                                                  << QStringList{"a.jpg", "a.xmp", "b.jpg", "b.xmp", "c.jpg",
                                                                 "c.xmp", "d.jpg", "e.jpg"};
}

void TestMainWindowTransfer::takesWhatItSays()
{
    QFETCH(bool, grid);
    QFETCH(QList<int>, selectedRows);
    QFETCH(QString, filter);
    QFETCH(QString, menuText);
    QFETCH(QString, summary);
    QFETCH(QStringList, copied);
    const QString folder = makeFolder();
    auto w = openWindow(folder);
    if (!filter.isEmpty()) {
        QAction *action = nullptr;
        for (QAction *candidate : w->findChildren<QAction *>()) {
            if (candidate->isCheckable() && candidate->data().toString() == filter)
                action = candidate;
        }
        QVERIFY2(action, qPrintable(filter));
        action->trigger();
    }
    if (grid) {
        w->findChild<QAction *>(QStringLiteral("gridAction"))->trigger();
        QListView *view = w->findChild<ThumbnailGridWidget *>()->findChild<QListView *>();
        view->selectionModel()->clearSelection();
        for (int row : std::as_const(selectedRows))
            view->selectionModel()->select(view->model()->index(row, 0), QItemSelectionModel::Select);
    }
    QAction *copy = w->findChild<QAction *>(QStringLiteral("copyToAction"));
    QTRY_COMPARE(copy->text(), menuText);

    const QString target = root->filePath(QStringLiteral("target"));
    QString seenSummary;
    DialogDriver<TransferDialog> driver([&](TransferDialog *dialog) {
        seenSummary = dialog->findChild<QLabel *>(QStringLiteral("transferSummary"))->text();
        dialog->findChild<QLineEdit *>(QStringLiteral("transferFolder"))->setText(target);
        dialog->accept();
    });
    copy->trigger();
    QVERIFY(driver.ran);
    QCOMPARE(seenSummary, summary);
    QCOMPARE(namesIn(target), copied);
}

void TestMainWindowTransfer::moveAsksFirst_data()
{
    QTest::addColumn<bool>("confirm");
    QTest::newRow("cancel") << false;
    QTest::newRow("move") << true;
}

void TestMainWindowTransfer::moveAsksFirst()
{
    QFETCH(bool, confirm);
    const QString folder = makeFolder();
    auto w = openWindow(folder);
    const QString target = root->filePath(QStringLiteral("new/picks"));
    DialogDriver<TransferDialog> folderDriver([&](TransferDialog *dialog) {
        dialog->findChild<QLineEdit *>(QStringLiteral("transferFolder"))->setText(target);
        dialog->accept();
    });
    QString question;
    bool cancelIsDefault = false;
    DialogDriver<QMessageBox> questionDriver([&](QMessageBox *box) {
        question = box->text();
        cancelIsDefault = box->defaultButton() == box->button(QMessageBox::Cancel);
        QAbstractButton *answer = box->button(QMessageBox::Cancel);
        for (QAbstractButton *button : box->buttons()) {
            if (confirm && box->buttonRole(button) == QMessageBox::AcceptRole)
                answer = button;
        }
        answer->click();
    });
    w->findChild<QAction *>(QStringLiteral("moveToAction"))->trigger();
    QVERIFY(questionDriver.ran);
    QCOMPARE(question, QStringLiteral("Move 5 photos and 3 XMP sidecars to %1? They leave this folder.")
                           .arg(QDir::toNativeSeparators(target)));
    QVERIFY(cancelIsDefault);
    const QStringList all{"a.jpg", "a.xmp", "b.jpg", "b.xmp", "c.jpg", "c.xmp", "d.jpg", "e.jpg"};
    QCOMPARE(namesIn(folder), confirm ? QStringList() : all);
    // A folder made for a move that was called off is taken away again.
    QCOMPARE(QFileInfo(target).isDir(), confirm);
    if (confirm)
        QCOMPARE(namesIn(target), all);
}

void TestMainWindowTransfer::undoMove_data()
{
    QTest::addColumn<QString>("meanwhile"); // "", "name-taken", "mark"
    QTest::newRow("moves-back") << "";
    QTest::newRow("name-taken-meanwhile") << "name-taken";
    QTest::newRow("a-later-mark-goes-first") << "mark";
}

void TestMainWindowTransfer::undoMove()
{
    QFETCH(QString, meanwhile);
    const QString folder = makeFolder();
    auto w = openWindow(folder);
    PhotoCatalog *catalog = w->findChild<PhotoCatalog *>();
    // The grid's two selected photos move: a.jpg and b.jpg with their sidecars.
    w->findChild<QAction *>(QStringLiteral("gridAction"))->trigger();
    QListView *view = w->findChild<ThumbnailGridWidget *>()->findChild<QListView *>();
    view->selectionModel()->clearSelection();
    for (int row : {0, 1})
        view->selectionModel()->select(view->model()->index(row, 0), QItemSelectionModel::Select);
    const QString target = root->filePath(QStringLiteral("picks"));
    DialogDriver<TransferDialog> folderDriver([&](TransferDialog *dialog) {
        dialog->findChild<QLineEdit *>(QStringLiteral("transferFolder"))->setText(target);
        dialog->accept();
    });
    DialogDriver<QMessageBox> confirm([](QMessageBox *box) {
        for (QAbstractButton *button : box->buttons()) {
            if (box->buttonRole(button) == QMessageBox::AcceptRole)
                button->click();
        }
    });
    w->findChild<QAction *>(QStringLiteral("moveToAction"))->trigger();
    QCOMPARE(namesIn(target), (QStringList{"a.jpg", "a.xmp", "b.jpg", "b.xmp"}));
    QTRY_COMPARE(catalog->allFiles().size(), 3);

    QAction *undo = w->findChild<QAction *>(QStringLiteral("undoAction"));
    QVERIFY(undo->isEnabled());
    if (meanwhile == QLatin1String("name-taken")) {
        QFile(folder + QStringLiteral("/b.xmp")).open(QIODevice::WriteOnly);
        BoxAnswerer boxes;
        undo->trigger();
        QCOMPARE(boxes.seen.size(), 1);
        QCOMPARE(boxes.seen.first().title, QStringLiteral("Cannot Undo"));
        QVERIFY2(boxes.seen.first().text.contains(QStringLiteral("another file now has this name")),
                 qPrintable(boxes.seen.first().text));
        // Nothing moved either way.
        QCOMPARE(namesIn(target), (QStringList{"a.jpg", "a.xmp", "b.jpg", "b.xmp"}));
        QCOMPARE(namesIn(folder), (QStringList{"b.xmp", "c.jpg", "c.xmp", "d.jpg", "e.jpg"}));
        return;
    }
    if (meanwhile == QLatin1String("mark")) {
        w->findChild<QAction *>(QStringLiteral("gridAction"))->trigger(); // the single view, on c.jpg
        QTRY_COMPARE(catalog->currentPath(), folder + QStringLiteral("/c.jpg"));
        catalog->setRating(1);
        const auto sidecarText = [&] {
            QFile file(folder + QStringLiteral("/c.xmp"));
            return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        };
        QTRY_VERIFY(sidecarText().contains("xmp:Rating=\"1\""));
        undo->trigger(); // the mark, the newer of the two
        QTRY_COMPARE(catalog->record(folder + QStringLiteral("/c.jpg")).rating, 5);
        QCOMPARE(namesIn(target).size(), 4);
    }
    undo->trigger();
    QCOMPARE(namesIn(target), QStringList());
    QCOMPARE(namesIn(folder), (QStringList{"a.jpg", "a.xmp", "b.jpg", "b.xmp", "c.jpg", "c.xmp", "d.jpg", "e.jpg"}));
    QTRY_COMPARE(catalog->allFiles().size(), 5);
    QTRY_COMPARE(catalog->record(folder + QStringLiteral("/a.jpg")).rating, 3);
}

void TestMainWindowTransfer::copyOffersAnotherFolderAndUndoes_data()
{
    QTest::addColumn<QString>("last");    // the folder copied to last time: "", "photos", "picks"
    QTest::addColumn<QString>("offered"); // what the dialog starts with
    QTest::newRow("first-copy") << "" << "";
    QTest::newRow("last-was-the-open-folder") << "photos" << "";
    QTest::newRow("last-target-remembered") << "picks" << "picks";
}

void TestMainWindowTransfer::copyOffersAnotherFolderAndUndoes()
{
    QFETCH(QString, last);
    QFETCH(QString, offered);
    const QString folder = makeFolder();
    const QString target = root->filePath(QStringLiteral("picks"));
    QVERIFY(QDir().mkpath(target));
    if (!last.isEmpty())
        QSettings().setValue(QStringLiteral("transfer/lastFolder"), root->filePath(last));
    auto w = openWindow(folder);
    w->findChild<QAction *>(QStringLiteral("gridAction"))->trigger();
    QListView *view = w->findChild<ThumbnailGridWidget *>()->findChild<QListView *>();
    view->selectionModel()->clearSelection();
    for (int row : {0, 1})
        view->selectionModel()->select(view->model()->index(row, 0), QItemSelectionModel::Select);
    QString shown;
    DialogDriver<TransferDialog> folderDriver([&](TransferDialog *dialog) {
        auto *edit = dialog->findChild<QLineEdit *>(QStringLiteral("transferFolder"));
        shown = edit->text();
        edit->setText(target);
        dialog->accept();
    });
    w->findChild<QAction *>(QStringLiteral("copyToAction"))->trigger();
    QCOMPARE(shown, offered.isEmpty() ? QString() : QDir::toNativeSeparators(root->filePath(offered)));
    QCOMPARE(namesIn(target), (QStringList{"a.jpg", "a.xmp", "b.jpg", "b.xmp"}));

    QAction *undo = w->findChild<QAction *>(QStringLiteral("undoAction"));
    QVERIFY(undo->isEnabled());
    undo->trigger();
    QCOMPARE(namesIn(target), QStringList());
    QCOMPARE(namesIn(folder), (QStringList{"a.jpg", "a.xmp", "b.jpg", "b.xmp", "c.jpg", "c.xmp", "d.jpg", "e.jpg"}));
    QTRY_COMPARE(w->statusBar()->currentMessage(),
                 QStringLiteral("Undone: 2 photos copied to %1").arg(QDir::toNativeSeparators(target)));
}

void TestMainWindowTransfer::undoRecycleBin()
{
#ifdef Q_OS_WIN
    QSKIP("the recycle bin is the shell's");
#else
    const QString folder = makeFolder();
    auto w = openWindow(folder);
    PhotoCatalog *catalog = w->findChild<PhotoCatalog *>();
    catalog->select(folder + QStringLiteral("/b.jpg"));
    {
        BoxAnswerer yes(QMessageBox::Yes);
        w->findChild<QAction *>(QStringLiteral("moveToTrashAction"))->trigger();
    }
    QCOMPARE(namesIn(folder), (QStringList{"a.jpg", "a.xmp", "c.jpg", "c.xmp", "d.jpg", "e.jpg"}));
    const QString trash = root->filePath(QStringLiteral("data/Trash"));
    QCOMPARE(namesIn(trash + QStringLiteral("/info")).size(), 2);

    w->findChild<QAction *>(QStringLiteral("undoAction"))->trigger();
    QCOMPARE(namesIn(folder), (QStringList{"a.jpg", "a.xmp", "b.jpg", "b.xmp", "c.jpg", "c.xmp", "d.jpg", "e.jpg"}));
    // Gone from the trash with its records, as a file manager's restore leaves it.
    QCOMPARE(namesIn(trash + QStringLiteral("/files")), QStringList());
    QCOMPARE(namesIn(trash + QStringLiteral("/info")), QStringList());
    QTRY_COMPARE(catalog->record(folder + QStringLiteral("/b.jpg")).rating, 3);
    QTRY_COMPARE(w->statusBar()->currentMessage(), QStringLiteral("Undone: 1 photo moved to the Recycle Bin"));
#endif
}

void TestMainWindowTransfer::undoRecycleBinAfterTrashEmptied()
{
#ifdef Q_OS_WIN
    QSKIP("the recycle bin is the shell's");
#else
    const QString folder = makeFolder();
    auto w = openWindow(folder);
    PhotoCatalog *catalog = w->findChild<PhotoCatalog *>();
    catalog->select(folder + QStringLiteral("/d.jpg"));
    catalog->setRating(2);
    QTRY_COMPARE(catalog->record(folder + QStringLiteral("/d.jpg")).rating, 2);
    catalog->select(folder + QStringLiteral("/b.jpg"));
    {
        BoxAnswerer yes(QMessageBox::Yes);
        w->findChild<QAction *>(QStringLiteral("moveToTrashAction"))->trigger();
    }
    // Emptied meanwhile: nothing can come back.
    QVERIFY(QDir(root->filePath(QStringLiteral("data/Trash/files"))).removeRecursively());
    QAction *undo = w->findChild<QAction *>(QStringLiteral("undoAction"));
    undo->trigger();
    QTRY_COMPARE(w->statusBar()->currentMessage(), QStringLiteral("The move to the Recycle Bin cannot be undone here"));
    // The mark was not taken back in the move's stead, and is the next to undo.
    QCOMPARE(catalog->record(folder + QStringLiteral("/d.jpg")).rating, 2);
    undo->trigger();
    QTRY_COMPARE(catalog->record(folder + QStringLiteral("/d.jpg")).rating, 0);
#endif
}

QTEST_MAIN(TestMainWindowTransfer)
#include "tst_mainwindowtransfer.moc"
