#include "dialogdrivers.h"
#include "windowtesting.h"
#include "app/translations.h"
#include "ui/importdialog.h"
#include "ui/mainwindow.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

// File › Import from Card… from the window: what the dialog says before the
// import, and that the imported photos open for culling.

namespace {

const QString cameras = QStringLiteral(GLANCEWAY_TESTDATA "/cameras/");

QString textOf(QWidget *dialog, const char *name)
{
    auto *label = dialog->findChild<QLabel *>(QLatin1String(name));
    return label && !label->isHidden() ? label->text() : QString();
}

} // namespace

class TestMainWindowImport : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void dialogSays_data();
    void dialogSays();
    void importOpensPhotos();

private:
    // A "card" folder DCIM/100CANON with two real photos taken on different
    // days (2020-02-18 and 2023-07-11) and a video.
    QString makeCard();

    QTemporaryDir sandbox{QStringLiteral(GLANCEWAY_BINARY_DIR "/tst_mainwindowimport-XXXXXX")};
    std::unique_ptr<QTemporaryDir> root;
    Translations translations;
};

void TestMainWindowImport::initTestCase()
{
    QVERIFY(prepareWindowTests(sandbox, translations));
}

void TestMainWindowImport::init()
{
    QSettings().clear();
    root = std::make_unique<QTemporaryDir>(QDir::homePath() + QStringLiteral("/import-XXXXXX"));
    QVERIFY(root->isValid());
    qputenv("XDG_DATA_HOME", QFile::encodeName(root->filePath(QStringLiteral("data"))));
}

void TestMainWindowImport::cleanup()
{
    root.reset();
    QSettings().clear();
}

QString TestMainWindowImport::makeCard()
{
    const QString folder = root->filePath(QStringLiteral("card/DCIM/100CANON"));
    QDir().mkpath(folder);
    QFile::copy(cameras + "Canon_EOS-RP__MG_0633.JPG", folder + "/IMG_0633.JPG");
    QFile::copy(cameras + "Sony_DSC-P5_DSC00001.JPG", folder + "/DSC00001.JPG");
    QFile video(folder + "/MVI_0001.MOV");
    video.open(QIODevice::WriteOnly);
    video.write("not a photo");
    return root->filePath(QStringLiteral("card/DCIM"));
}

void TestMainWindowImport::dialogSays_data()
{
    QTest::addColumn<QString>("destination"); // below the test's root; "card/…" lies on the card
    QTest::addColumn<QString>("backup");
    QTest::addColumn<QString>("names");
    QTest::addColumn<QString>("problem");
    QTest::addColumn<QString>("example"); // below the destination
    QTest::newRow("default-names") << "Pictures" << "" << "" << ""
                                   << "2020/2020-02-18/IMG_0633.JPG";
    QTest::newRow("renamed") << "Pictures" << "backup" << "{date}-{sequence} {camera}" << ""
                             << "2020/2020-02-18/20200218-0001 Canon EOS RP.JPG";
    QTest::newRow("no-destination") << "" << "" << "" << "Choose a destination folder." << "";
    QTest::newRow("destination-on-card")
        << "card/DCIM/out" << "" << "" << "The destination and the second copy cannot lie on the card's own folder."
        << "";
    QTest::newRow("backup-inside-destination")
        << "Pictures" << "Pictures/backup" << "" << "The second copy needs a folder of its own, outside the destination."
        << "";
    QTest::newRow("backup-is-destination")
        << "Pictures" << "Pictures/" << "" << "The second copy needs a folder of its own, outside the destination."
        << "";
    QTest::newRow("destination-inside-backup")
        << "Pictures/day" << "Pictures" << "" << "The second copy needs a folder of its own, outside the destination."
        << "";
}

void TestMainWindowImport::dialogSays()
{
    QFETCH(QString, destination);
    QFETCH(QString, backup);
    QFETCH(QString, names);
    QFETCH(QString, problem);
    QFETCH(QString, example);
    const QString card = makeCard();
    QSettings().setValue(QStringLiteral("import/source"), card);
    ImportDialog dialog;
    // Whatever cards this machine has mounted, the test's own folder is chosen.
    auto *source = dialog.findChild<QComboBox *>(QStringLiteral("importSource"));
    source->setCurrentIndex(source->findData(card));
    const auto below = [&](const QString &relative) {
        return relative.isEmpty() ? QString() : QDir::toNativeSeparators(root->filePath(relative));
    };
    dialog.findChild<QLineEdit *>(QStringLiteral("importDestination"))->setText(below(destination));
    dialog.findChild<QLineEdit *>(QStringLiteral("importBackup"))->setText(below(backup));
    dialog.findChild<QLineEdit *>(QStringLiteral("importNames"))->setText(names);
    dialog.replan();

    QCOMPARE(source->currentData().toString(), card);
    const qint64 bytes = QFileInfo(card + "/100CANON/IMG_0633.JPG").size() + QFileInfo(card + "/100CANON/DSC00001.JPG").size();
    QCOMPARE(textOf(&dialog, "importSummary"), QStringLiteral("2 new photo(s), %1 · 1 other file(s) left on the card")
                                                   .arg(QLocale().formattedDataSize(bytes)));
    QCOMPARE(dialog.findChild<QListWidget *>()->count(), 2);
    QCOMPARE(textOf(&dialog, "importProblem"), problem);
    QCOMPARE(textOf(&dialog, "importExample"),
             example.isEmpty() ? QString()
                               : QStringLiteral("The first photo goes to %1")
                                     .arg(QDir::toNativeSeparators(root->filePath(destination + '/' + example))));

    // With videos the video counts as one more new item.
    dialog.findChild<QCheckBox *>(QStringLiteral("importVideos"))->setChecked(true);
    QVERIFY(textOf(&dialog, "importSummary").startsWith(QLatin1String("3 new photo(s)")));
}

void TestMainWindowImport::importOpensPhotos()
{
    const QString card = makeCard();
    QSettings().setValue(QStringLiteral("import/source"), card);
    QSettings().setValue(QStringLiteral("import/destination"), root->filePath(QStringLiteral("Pictures")));
    QSettings().setValue(QStringLiteral("import/backup"), root->filePath(QStringLiteral("backup")));
    MainWindow window;
    window.show();
    QAction *action = window.registeredActions().value(QStringLiteral("file.import"));
    QVERIFY(action);
    QCOMPARE(action->shortcut(), QKeySequence(QStringLiteral("Ctrl+Shift+I")));

    BoxAnswerer boxes;
    {
        DialogDriver<ImportDialog> driver([&card](ImportDialog *dialog) {
            auto *source = dialog->findChild<QComboBox *>(QStringLiteral("importSource"));
            source->setCurrentIndex(source->findData(card));
            dialog->accept();
        });
        action->trigger();
        QTRY_VERIFY(driver.ran);
    }
    QTRY_COMPARE(boxes.seen.size(), 1);
    QCOMPARE(boxes.seen.first().text, QStringLiteral("2 photo(s) imported, 0 skipped (imported before), 0 failed."));
    for (const QString &base : {QStringLiteral("Pictures"), QStringLiteral("backup")}) {
        QVERIFY(QFile::exists(root->filePath(base + "/2020/2020-02-18/IMG_0633.JPG")));
        QVERIFY(QFile::exists(root->filePath(base + "/2023/2023-07-11/DSC00001.JPG")));
    }
    // Two days in two years: the destination opens with its subfolders.
    const QString opened = root->filePath(QStringLiteral("Pictures"));
    QCOMPARE(QSettings().value(QStringLiteral("lastDirectory")).toString(), opened);
    QVERIFY(window.findChild<QAction *>(QStringLiteral("includeSubfoldersAction"))->isChecked());

    // The card again: nothing new, and the dialog says so.
    bool refused = false;
    DialogDriver<ImportDialog> again([&](ImportDialog *dialog) {
        auto *source = dialog->findChild<QComboBox *>(QStringLiteral("importSource"));
        source->setCurrentIndex(source->findData(card));
        refused = textOf(dialog, "importProblem") == QLatin1String("Every photo here was imported before.")
                  && textOf(dialog, "importSummary").contains(QLatin1String("2 imported before, skipped"));
        dialog->reject();
    });
    action->trigger();
    QTRY_VERIFY(again.ran);
    QVERIFY(refused);
}

QTEST_MAIN(TestMainWindowImport)
#include "tst_mainwindowimport.moc"
