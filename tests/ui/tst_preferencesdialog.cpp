#include "permissionbits.h"
#include "ui/preferencesdialog.h"
#include "ui/advancepreferences.h"

#include "catalog/burstgroups.h"
#include "grid/thumbnaildiskcache.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFormLayout>
#include <QKeySequenceEdit>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPointer>
#include <QScreen>
#include <QSettings>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTimer>
#include <QtTest>

#include <memory>

#include <unistd.h>

namespace {

// Records every message box that opens and closes it from the event loop, so a
// modal box never blocks the test.
class MessageBoxWatcher : public QObject
{
public:
    struct Box
    {
        QString title;
        QString text;
        QWidget *parent = nullptr;
    };

    MessageBoxWatcher() { qApp->installEventFilter(this); }
    ~MessageBoxWatcher() override { qApp->removeEventFilter(this); }

    QList<Box> boxes;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Show) {
            if (auto *box = qobject_cast<QMessageBox *>(watched)) {
                boxes.append({box->windowTitle(), box->text(), box->parentWidget()});
                QTimer::singleShot(0, box, [box] { box->done(QMessageBox::Ok); });
            }
        }
        return QObject::eventFilter(watched, event);
    }
};

struct ActionRow
{
    const char *id;
    const char *text;
    QList<QKeySequence> shortcuts; // the first one is the recorded default
};

// A registry shaped like the main window's: some actions carry a second
// default key, and the recorded default sits in "defaultShortcut".
class Registry
{
public:
    Registry()
    {
        const QList<ActionRow> rows = {
            {"navigate.previous", "Previous Image", {QKeySequence(Qt::Key_Left), QKeySequence(Qt::Key_Less)}},
            {"navigate.next", "Next Image", {QKeySequence(Qt::Key_Right), QKeySequence(Qt::Key_Greater)}},
            {"rating.reject", "Reject", {QKeySequence(Qt::Key_X)}},
            {"rating.clearReject", "Clear Rejection", {QKeySequence(Qt::Key_U)}},
            {"rating.0", "Clear Rating", {QKeySequence(Qt::Key_0)}},
            {"view.grid", "Thumbnail Grid", {QKeySequence(Qt::Key_G)}},
            {"file.open", "Open &Folder…", {QKeySequence(QStringLiteral("Ctrl+O"))}},
            {"view.exifOverlay", "Show EXIF Overlay", {QKeySequence(QStringLiteral("?"))}},
            {"help.shortcuts", "Show Keyboard Shortcuts", {QKeySequence(QStringLiteral("Ctrl+F1"))}},
        };
        for (const ActionRow &row : rows) {
            auto *action = new QAction(QString::fromUtf8(row.text), &owner);
            action->setShortcuts(row.shortcuts);
            action->setProperty("defaultShortcut", row.shortcuts.first().toString(QKeySequence::PortableText));
            byId.insert(QString::fromLatin1(row.id), action);
        }
    }

    QAction *operator[](const char *id) const { return byId.value(QString::fromLatin1(id)); }

    QObject owner;
    QMap<QString, QAction *> byId;
};

// Menus as the main window builds them, some entries with a registered action
// and some without; two entries share the name "1 Star".
class MenuRegistry
{
public:
    MenuRegistry()
    {
        QMenu *file = bar.addMenu(QStringLiteral("&File"));
        add(file, "file.open", "&Open Folder…", "Ctrl+O");
        file->addSeparator();
        file->addAction(QStringLiteral("E&xit"))->setShortcut(QKeySequence(QStringLiteral("Ctrl+Q")));
        QMenu *filter = bar.addMenu(QStringLiteral("F&ilter"));
        add(filter, "filter.rating1", "&1 Star", "Ctrl+Shift+1");
        add(filter, "filter.rejected", "R&ejected", "Ctrl+Shift+X");
        QMenu *view = bar.addMenu(QStringLiteral("&View"));
        QAction *grid = add(view, "view.grid", "Thumbnail &Grid", "G");
        add(view->addMenu(QStringLiteral("Sort &by")), "sort.name", "&Name", "");
        QMenu *rating = bar.addMenu(QStringLiteral("&Rating"));
        add(rating, "rating.1", "&1 Star", "1");
        add(rating, "rating.reject", "Re&ject", "X");
        rating->addAction(grid); // listed at its first place only
        // Nothing of the registry: no heading.
        bar.addMenu(QStringLiteral("&Help"))->addAction(QStringLiteral("&About"));
        add(nullptr, "navigate.resumeReview", "&Resume Review", "L");
    }

    QList<QMenu *> menus() const
    {
        QList<QMenu *> list;
        for (QAction *entry : bar.actions())
            list.append(entry->menu());
        return list;
    }

    QMenuBar bar;
    QMap<QString, QAction *> byId;

private:
    QAction *add(QMenu *menu, const char *id, const char *text, const char *key)
    {
        auto *action = new QAction(QString::fromUtf8(text), &bar);
        if (menu)
            menu->addAction(action);
        action->setShortcut(QKeySequence(QString::fromLatin1(key)));
        action->setProperty("defaultShortcut", QString::fromLatin1(key));
        byId.insert(QString::fromLatin1(id), action);
        return action;
    }
};

// The shortcut rows read back as "# Heading" and "Label: = key" lines.
QStringList shortcutLines(const PreferencesDialog &dialog)
{
    const auto *form = qobject_cast<QFormLayout *>(dialog.shortcutEdit(dialog.shortcutRowOrder().value(0))
                                                       ->parentWidget()
                                                       ->layout());
    QStringList lines;
    for (int row = 0; form && row < form->rowCount(); ++row) {
        if (QLayoutItem *span = form->itemAt(row, QFormLayout::SpanningRole)) {
            lines.append(QStringLiteral("# ") + qobject_cast<QLabel *>(span->widget())->text());
            continue;
        }
        const auto *label = qobject_cast<QLabel *>(form->itemAt(row, QFormLayout::LabelRole)->widget());
        const auto *edit = qobject_cast<QKeySequenceEdit *>(form->itemAt(row, QFormLayout::FieldRole)->widget());
        lines.append(label->text() + QStringLiteral(" = ") + edit->keySequence().toString(QKeySequence::PortableText));
    }
    return lines;
}

QStringList storedShortcutKeys()
{
    QSettings settings;
    settings.beginGroup(QStringLiteral("shortcuts"));
    return settings.childKeys();
}

} // namespace

class TestPreferencesDialog : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void acceptChecksConflicts_data();
    void acceptChecksConflicts();
    void clearingOneOfTwoResolvesConflict();
    void rowsSortedByTextWithCleanLabels();
    void rowsFollowTheUsersCollation();
    void rowsGroupedByMenu();
    void conflictNamesMenuPaths_data();
    void conflictNamesMenuPaths();
    void restoreDefaults_data();
    void restoreDefaults();
    void numbersClampedOnLoadAndWrittenBack_data();
    void numbersClampedOnLoadAndWrittenBack();
    void checkBoxes_data();
    void checkBoxes();
    void advanceFromEarlierSettings_data();
    void advanceFromEarlierSettings();
    void cancelWritesNothing();
    void clearThumbnailCache_data();
    void clearThumbnailCache();
    void fitsOnSmallScreen();
};

void TestPreferencesDialog::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QCoreApplication::setOrganizationName(QStringLiteral("Quillmark"));
    QCoreApplication::setApplicationName(QStringLiteral("Glanceway"));
}

void TestPreferencesDialog::init()
{
    QSettings().clear();
}

// Each assignment is "identifier=portable key text"; an empty key clears the row.
// A conflict names the key and both actions, in the order their rows are shown.
void TestPreferencesDialog::acceptChecksConflicts_data()
{
    QTest::addColumn<QStringList>("assignments");
    QTest::addColumn<QString>("conflict");

    QTest::newRow("reject-and-clear-rejection-on-x")
        << QStringList{"rating.clearReject=X"} << "The shortcut X is used by \"Clear Rejection\" and \"Reject\".";
    QTest::newRow("modified-key-twice-mnemonic-dropped")
        << QStringList{"view.grid=Ctrl+O"} << "The shortcut Ctrl+O is used by \"Open Folder…\" and \"Thumbnail Grid\".";
    QTest::newRow("moved-onto-second-of-two-keys")
        << QStringList{"rating.0=Left"} << "The shortcut Left is used by \"Clear Rating\" and \"Previous Image\".";
    QTest::newRow("first-pair-of-three")
        << QStringList{"rating.0=G", "view.exifOverlay=G"}
        << "The shortcut G is used by \"Clear Rating\" and \"Show EXIF Overlay\".";
    QTest::newRow("swap-without-conflict") << QStringList{"rating.reject=U", "rating.clearReject=X"} << QString();
    QTest::newRow("two-cleared-rows") << QStringList{"rating.reject=", "rating.clearReject="} << QString();
    QTest::newRow("key-of-unlisted-delete-action") << QStringList{"view.grid=Del"} << QString();
    QTest::newRow("key-of-unlisted-escape-action") << QStringList{"rating.0=Esc"} << QString();
}

void TestPreferencesDialog::acceptChecksConflicts()
{
    QFETCH(QStringList, assignments);
    QFETCH(QString, conflict);

    Registry registry;
    // An action that is not in the registry, like the recycle-bin and Esc actions.
    QAction unlisted(QStringLiteral("Move Selected Photos to Recycle Bin…"));
    unlisted.setShortcuts({QKeySequence(QKeySequence::Delete), QKeySequence(Qt::Key_Escape)});

    PreferencesDialog dialog(registry.byId);
    dialog.show();
    QMap<QString, QString> expected;
    for (auto it = registry.byId.cbegin(); it != registry.byId.cend(); ++it)
        expected.insert(it.key(), it.value()->shortcut().toString(QKeySequence::PortableText));
    for (const QString &assignment : std::as_const(assignments)) {
        const QString id = assignment.section(QLatin1Char('='), 0, 0);
        const QString keys = assignment.section(QLatin1Char('='), 1);
        QVERIFY2(dialog.shortcutEdit(id), qPrintable(id));
        dialog.shortcutEdit(id)->setKeySequence(QKeySequence::fromString(keys, QKeySequence::PortableText));
        expected[id] = keys;
    }

    MessageBoxWatcher watcher;
    dialog.accept();

    if (!conflict.isEmpty()) {
        QCOMPARE(watcher.boxes.size(), 1);
        QCOMPARE(watcher.boxes.first().title, QStringLiteral("Shortcut conflict"));
        QCOMPARE(watcher.boxes.first().text, conflict);
        QCOMPARE(watcher.boxes.first().parent, &dialog);
        QVERIFY(dialog.isVisible());
        QVERIFY(QSettings().allKeys().isEmpty());
        QCOMPARE(registry["navigate.previous"]->shortcuts().size(), 2);
        QCOMPARE(registry["rating.reject"]->shortcut(), QKeySequence(Qt::Key_X));
        QCOMPARE(registry["rating.clearReject"]->shortcut(), QKeySequence(Qt::Key_U));
        return;
    }

    QVERIFY(watcher.boxes.isEmpty());
    QVERIFY(!dialog.isVisible());
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QSettings settings;
    QCOMPARE(storedShortcutKeys().size(), registry.byId.size());
    for (auto it = expected.cbegin(); it != expected.cend(); ++it) {
        QCOMPARE(settings.value(QStringLiteral("shortcuts/") + it.key()).toString(), it.value());
        QCOMPARE(registry.byId.value(it.key())->shortcuts().size(), it.value().isEmpty() ? 0 : 1);
        QCOMPARE(registry.byId.value(it.key())->shortcut().toString(QKeySequence::PortableText), it.value());
    }
    QCOMPARE(unlisted.shortcuts().size(), 2);
}

void TestPreferencesDialog::clearingOneOfTwoResolvesConflict()
{
    Registry registry;
    PreferencesDialog dialog(registry.byId);
    dialog.show();
    dialog.shortcutEdit(QStringLiteral("rating.clearReject"))->setKeySequence(QKeySequence(Qt::Key_X));

    MessageBoxWatcher watcher;
    dialog.accept();
    QCOMPARE(watcher.boxes.size(), 1);
    QVERIFY(dialog.isVisible());

    dialog.shortcutEdit(QStringLiteral("rating.clearReject"))->clear();
    dialog.accept();
    QCOMPARE(watcher.boxes.size(), 1);
    QVERIFY(!dialog.isVisible());
    QCOMPARE(dialog.result(), int(QDialog::Accepted));

    QSettings settings;
    QVERIFY(settings.contains(QStringLiteral("shortcuts/rating.clearReject")));
    QCOMPARE(settings.value(QStringLiteral("shortcuts/rating.clearReject")).toString(), QString());
    QCOMPARE(settings.value(QStringLiteral("shortcuts/rating.reject")).toString(), QStringLiteral("X"));
    QVERIFY(registry["rating.clearReject"]->shortcuts().isEmpty());
    QCOMPARE(registry["rating.reject"]->shortcut(), QKeySequence(Qt::Key_X));
}

void TestPreferencesDialog::rowsSortedByTextWithCleanLabels()
{
    Registry registry;
    PreferencesDialog dialog(registry.byId);

    // Identifier order differs from text order, so sorting by the map's keys shows.
    const QStringList order = dialog.shortcutRowOrder();
    QCOMPARE(order, QStringList({"rating.0", "rating.clearReject", "navigate.next", "file.open",
                                 "navigate.previous", "rating.reject", "view.exifOverlay",
                                 "help.shortcuts", "view.grid"}));

    QKeySequenceEdit *openEdit = dialog.shortcutEdit(QStringLiteral("file.open"));
    QVERIFY(openEdit);
    auto *form = qobject_cast<QFormLayout *>(openEdit->parentWidget()->layout());
    QVERIFY(form);
    QCOMPARE(form->rowCount(), registry.byId.size());
    auto *label = qobject_cast<QLabel *>(form->labelForField(openEdit));
    QVERIFY(label);
    QCOMPARE(label->text(), QStringLiteral("Open Folder:"));
    QVERIFY(openEdit->isClearButtonEnabled());

    // Only the primary key of an action with two is shown.
    QCOMPARE(dialog.shortcutEdit(QStringLiteral("navigate.previous"))->keySequence(), QKeySequence(Qt::Key_Left));
    QVERIFY(!dialog.shortcutEdit(QStringLiteral("no.such.action")));
}

void TestPreferencesDialog::rowsFollowTheUsersCollation()
{
    // Byte order would put "bild" after "Zoom" and "Ärger" last.
    QObject owner;
    QMap<QString, QAction *> registry;
    registry.insert(QStringLiteral("a.zoom"), new QAction(QStringLiteral("Zoom"), &owner));
    registry.insert(QStringLiteral("b.anger"), new QAction(QStringLiteral("Ärger"), &owner));
    registry.insert(QStringLiteral("c.picture"), new QAction(QStringLiteral("bild"), &owner));

    const QLocale previous;
    QLocale::setDefault(QLocale(QStringLiteral("de_DE")));
    auto restoreLocale = qScopeGuard([&] { QLocale::setDefault(previous); });
    PreferencesDialog dialog(registry);
    QCOMPARE(dialog.shortcutRowOrder(), QStringList({"b.anger", "c.picture", "a.zoom"}));
}

void TestPreferencesDialog::rowsGroupedByMenu()
{
    MenuRegistry registry;
    PreferencesDialog dialog(registry.byId, registry.menus());

    // Menu order, not the order of the texts; names that repeat carry their menu.
    QCOMPARE(shortcutLines(dialog),
             (QStringList{"# File", "Open Folder: = Ctrl+O", "# Filter", "Filter › 1 Star: = Ctrl+Shift+1",
                          "Rejected: = Ctrl+Shift+X", "# View", "Thumbnail Grid: = G", "Sort by › Name: = ",
                          "# Rating", "Rating › 1 Star: = 1", "Reject: = X", "# Other", "Resume Review: = L"}));
    QCOMPARE(dialog.shortcutRowOrder(),
             (QStringList{"file.open", "filter.rating1", "filter.rejected", "view.grid", "sort.name", "rating.1",
                          "rating.reject", "navigate.resumeReview"}));
}

// The message names each action with its menu path, the entry's text in full.
void TestPreferencesDialog::conflictNamesMenuPaths_data()
{
    QTest::addColumn<QString>("id");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("conflict");

    QTest::newRow("same-name-in-two-menus")
        << "rating.1" << "Ctrl+Shift+1"
        << "The shortcut Ctrl+Shift+1 is used by \"Filter › 1 Star\" and \"Rating › 1 Star\".";
    QTest::newRow("ellipsis-kept")
        << "view.grid" << "Ctrl+O"
        << "The shortcut Ctrl+O is used by \"File › Open Folder…\" and \"View › Thumbnail Grid\".";
    QTest::newRow("submenu-and-no-menu")
        << "sort.name" << "L" << "The shortcut L is used by \"View › Sort by › Name\" and \"Resume Review\".";
    // Keys of entries that are not in the registry are no concern of the dialog.
    QTest::newRow("key-of-unregistered-entry") << "view.grid" << "Ctrl+Q" << QString();
}

void TestPreferencesDialog::conflictNamesMenuPaths()
{
    QFETCH(QString, id);
    QFETCH(QString, key);
    QFETCH(QString, conflict);

    MenuRegistry registry;
    PreferencesDialog dialog(registry.byId, registry.menus());
    dialog.show();
    dialog.shortcutEdit(id)->setKeySequence(QKeySequence::fromString(key, QKeySequence::PortableText));
    MessageBoxWatcher watcher;
    dialog.accept();
    QCOMPARE(watcher.boxes.size(), conflict.isEmpty() ? 0 : 1);
    if (!conflict.isEmpty())
        QCOMPARE(watcher.boxes.first().text, conflict);
    QCOMPARE(dialog.isVisible(), !conflict.isEmpty());
}

void TestPreferencesDialog::restoreDefaults_data()
{
    QTest::addColumn<bool>("confirm");
    QTest::newRow("then-ok") << true;
    QTest::newRow("then-cancel") << false;
}

void TestPreferencesDialog::restoreDefaults()
{
    QFETCH(bool, confirm);

    Registry registry;
    registry["view.grid"]->setShortcut(QKeySequence(QStringLiteral("Ctrl+G")));
    registry["rating.reject"]->setShortcut(QKeySequence());
    registry["help.shortcuts"]->setProperty("defaultShortcut", QString());

    PreferencesDialog dialog(registry.byId);
    dialog.show();
    dialog.shortcutEdit(QStringLiteral("navigate.previous"))->setKeySequence(QKeySequence(Qt::Key_P));
    dialog.restoreShortcutDefaults();

    QCOMPARE(dialog.shortcutEdit(QStringLiteral("navigate.previous"))->keySequence(), QKeySequence(Qt::Key_Left));
    QCOMPARE(dialog.shortcutEdit(QStringLiteral("view.grid"))->keySequence(), QKeySequence(Qt::Key_G));
    QCOMPARE(dialog.shortcutEdit(QStringLiteral("rating.reject"))->keySequence(), QKeySequence(Qt::Key_X));
    QVERIFY(dialog.shortcutEdit(QStringLiteral("help.shortcuts"))->keySequence().isEmpty());
    // Restoring is only a proposal until OK.
    QCOMPARE(registry["view.grid"]->shortcut(), QKeySequence(QStringLiteral("Ctrl+G")));

    MessageBoxWatcher watcher;
    if (confirm)
        dialog.accept();
    else
        dialog.reject();
    QVERIFY(watcher.boxes.isEmpty());
    QVERIFY(!dialog.isVisible());

    QSettings settings;
    if (!confirm) {
        QVERIFY(settings.allKeys().isEmpty());
        QCOMPARE(registry["navigate.previous"]->shortcuts(),
                 QList<QKeySequence>({QKeySequence(Qt::Key_Left), QKeySequence(Qt::Key_Less)}));
        QCOMPARE(registry["view.grid"]->shortcut(), QKeySequence(QStringLiteral("Ctrl+G")));
        QVERIFY(registry["rating.reject"]->shortcuts().isEmpty());
        return;
    }
    QCOMPARE(registry["navigate.previous"]->shortcuts(), QList<QKeySequence>({QKeySequence(Qt::Key_Left)}));
    QCOMPARE(registry["navigate.next"]->shortcuts(), QList<QKeySequence>({QKeySequence(Qt::Key_Right)}));
    QCOMPARE(registry["view.grid"]->shortcut(), QKeySequence(Qt::Key_G));
    QCOMPARE(registry["rating.reject"]->shortcut(), QKeySequence(Qt::Key_X));
    QVERIFY(registry["help.shortcuts"]->shortcuts().isEmpty());
    QCOMPARE(settings.value(QStringLiteral("shortcuts/navigate.previous")).toString(), QStringLiteral("Left"));
    QCOMPARE(settings.value(QStringLiteral("shortcuts/view.exifOverlay")).toString(), QStringLiteral("?"));
    QCOMPARE(settings.value(QStringLiteral("shortcuts/help.shortcuts"), QStringLiteral("absent")).toString(),
             QString());
    QCOMPARE(storedShortcutKeys().size(), registry.byId.size());
}

void TestPreferencesDialog::numbersClampedOnLoadAndWrittenBack_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QVariant>("stored");
    QTest::addColumn<int>("shown");

    QTest::newRow("seconds-absent") << "slideshow/seconds" << QVariant() << 4;
    QTest::newRow("seconds-zero") << "slideshow/seconds" << QVariant(0) << 1;
    QTest::newRow("seconds-negative") << "slideshow/seconds" << QVariant(-5) << 1;
    QTest::newRow("seconds-above-range") << "slideshow/seconds" << QVariant(301) << 300;
    QTest::newRow("seconds-in-range") << "slideshow/seconds" << QVariant(17) << 17;
    QTest::newRow("seconds-as-text") << "slideshow/seconds" << QVariant(QStringLiteral("9")) << 9;
    QTest::newRow("seconds-not-a-number") << "slideshow/seconds" << QVariant(QStringLiteral("soon")) << 4;
    QTest::newRow("cache-absent") << "grid/cacheMB" << QVariant() << 1024;
    QTest::newRow("cache-below-range") << "grid/cacheMB" << QVariant(100) << 256;
    QTest::newRow("cache-above-range") << "grid/cacheMB" << QVariant(4096) << 2048;
    QTest::newRow("cache-between-steps") << "grid/cacheMB" << QVariant(1000) << 1000;
    QTest::newRow("cache-not-a-number") << "grid/cacheMB" << QVariant(QStringLiteral("big")) << 1024;
}

void TestPreferencesDialog::numbersClampedOnLoadAndWrittenBack()
{
    QFETCH(QString, key);
    QFETCH(QVariant, stored);
    QFETCH(int, shown);

    if (stored.isValid())
        QSettings().setValue(key, stored);

    Registry registry;
    PreferencesDialog dialog(registry.byId);
    auto *spin = dialog.findChild<QSpinBox *>(key == QLatin1String("grid/cacheMB") ? "cacheSizeSpin"
                                                                                   : "slideDurationSpin");
    QVERIFY(spin);
    QCOMPARE(spin->value(), shown);
    QCOMPARE(spin->suffix(), key == QLatin1String("grid/cacheMB") ? QStringLiteral(" MB") : QStringLiteral(" seconds"));

    dialog.accept();
    QCOMPARE(QSettings().value(key).toInt(), shown);
}

// One switch once moved on after every mark; whoever had turned it off finds
// every kind off, whoever had it on finds labels off.
void TestPreferencesDialog::advanceFromEarlierSettings_data()
{
    QTest::addColumn<QVariant>("earlier"); // "rating/autoAdvance" as stored
    QTest::addColumn<int>("marks");
    QTest::newRow("never-set") << QVariant() << int(MarkEdit::RatingField | MarkEdit::RejectedField);
    QTest::newRow("was-on") << QVariant(true) << int(MarkEdit::RatingField | MarkEdit::RejectedField);
    QTest::newRow("was-off") << QVariant(false) << 0;
}

void TestPreferencesDialog::advanceFromEarlierSettings()
{
    QFETCH(QVariant, earlier);
    QFETCH(int, marks);
    QSettings settings;
    if (earlier.isValid())
        settings.setValue(QStringLiteral("rating/autoAdvance"), earlier);
    QCOMPARE(int(AdvancePreferences::advancingMarks(settings)), marks);
}

void TestPreferencesDialog::checkBoxes_data()
{
    QTest::addColumn<QString>("objectName");
    QTest::addColumn<QString>("key");
    QTest::addColumn<bool>("defaultValue");

    QTest::newRow("advance-after-rating") << "advanceAfterRatingBox" << "rating/autoAdvance" << true;
    QTest::newRow("advance-after-label") << "advanceAfterLabelBox" << "rating/advanceOnLabel" << false;
    QTest::newRow("advance-after-reject") << "advanceAfterRejectBox" << "rating/advanceOnReject" << true;
    QTest::newRow("first-unreviewed") << "firstUnreviewedBox" << "session/firstUnreviewed" << false;
    QTest::newRow("remember-rotations") << "rememberRotationsBox" << "metadata/rememberRotations" << false;
    QTest::newRow("loop-slideshow") << "loopSlideshowBox" << "slideshow/loop" << false;
    QTest::newRow("colour-management") << "colourManagementBox" << "view/colourManagement" << true;
    QTest::newRow("pair-raw-jpeg") << "pairRawJpegBox" << "view/pairRawJpeg" << true;
    QTest::newRow("raw-clipping") << "rawClippingBox" << "view/rawClipping" << true;
}

void TestPreferencesDialog::checkBoxes()
{
    QFETCH(QString, objectName);
    QFETCH(QString, key);
    QFETCH(bool, defaultValue);

    Registry registry;
    {
        PreferencesDialog dialog(registry.byId);
        auto *box = dialog.findChild<QCheckBox *>(objectName);
        QVERIFY(box);
        QCOMPARE(box->isChecked(), defaultValue);
        box->setChecked(!defaultValue);
        dialog.accept();
        QCOMPARE(QSettings().value(key).toBool(), !defaultValue);
    }
    {
        // The stored value is what the next opening shows.
        PreferencesDialog dialog(registry.byId);
        QCOMPARE(dialog.findChild<QCheckBox *>(objectName)->isChecked(), !defaultValue);
    }
}

void TestPreferencesDialog::cancelWritesNothing()
{
    Registry registry;
    PreferencesDialog dialog(registry.byId);
    dialog.show();
    dialog.findChild<QCheckBox *>("loopSlideshowBox")->setChecked(true);
    dialog.findChild<QSpinBox *>("slideDurationSpin")->setValue(30);
    dialog.shortcutEdit(QStringLiteral("view.grid"))->setKeySequence(QKeySequence(Qt::Key_T));
    dialog.reject();

    QVERIFY(QSettings().allKeys().isEmpty());
    QCOMPARE(registry["view.grid"]->shortcut(), QKeySequence(Qt::Key_G));
}

void TestPreferencesDialog::clearThumbnailCache_data()
{
    QTest::addColumn<QStringList>("entries");
    QTest::addColumn<bool>("removable");
    QTest::addColumn<QString>("message");

    const QString cleared = QStringLiteral("The thumbnail cache was cleared.");
    QTest::newRow("entries-and-foreign-file") << QStringList{"a.jpg", "b.jpg", "notes.txt"} << true << cleared;
    QTest::newRow("burst-groups") << QStringList{"a.jpg", "bursts/1f2e.json", "bursts/notes.txt"} << true << cleared;
    QTest::newRow("no-cache-directory") << QStringList() << true << cleared;
    QTest::newRow("entries-cannot-be-removed") << QStringList{"a.jpg"} << false
                                               << QStringLiteral("Some cached thumbnails could not be removed.");
}

void TestPreferencesDialog::clearThumbnailCache()
{
    QFETCH(QStringList, entries);
    QFETCH(bool, removable);
    QFETCH(QString, message);

    const QString directory = ThumbnailDiskCache::defaultDirectory();
    QVERIFY(QDir(directory).removeRecursively());
    if (!removable && !permissionBitsRestrict())
        QSKIP("A read-only directory does not stop removals here");
    if (!entries.isEmpty()) {
        QVERIFY(QDir().mkpath(directory));
        for (const QString &name : std::as_const(entries)) {
            QFile file(QDir(directory).filePath(name));
            QVERIFY(QDir().mkpath(QFileInfo(file).absolutePath()));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("x");
        }
    }
    if (!removable)
        QVERIFY(QFile::setPermissions(directory, QFile::ReadOwner | QFile::ExeOwner));
    auto restorePermissions = qScopeGuard([&] {
        QFile::setPermissions(directory, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    });

    Registry registry;
    PreferencesDialog dialog(registry.byId);
    dialog.show();
    MessageBoxWatcher watcher;
    dialog.clearThumbnailCache();

    QCOMPARE(watcher.boxes.size(), 1);
    QCOMPARE(watcher.boxes.first().title, QStringLiteral("Thumbnail cache"));
    QCOMPARE(watcher.boxes.first().text, message);
    QCOMPARE(watcher.boxes.first().parent, &dialog);
    for (const QString &name : std::as_const(entries)) {
        const bool entry = name.endsWith(QLatin1String(".jpg")) || name.endsWith(QLatin1String(".json"));
        QCOMPARE(QFile::exists(QDir(directory).filePath(name)), !entry || !removable);
    }
    // Clearing is not a setting: it happens without OK and nothing is stored.
    QVERIFY(dialog.isVisible());
    QVERIFY(QSettings().allKeys().isEmpty());
}

void TestPreferencesDialog::fitsOnSmallScreen()
{
    Registry registry;
    PreferencesDialog dialog(registry.byId);
    const QRect available = dialog.screen()->availableGeometry();
    QCOMPARE(dialog.width(), qMin(640, available.width() - 40));
    QCOMPARE(dialog.height(), qMin(680, available.height() - 80));
}

QTEST_MAIN(TestPreferencesDialog)
#include "tst_preferencesdialog.moc"
