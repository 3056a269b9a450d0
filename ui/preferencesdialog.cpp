#include "ui/preferencesdialog.h"

#include "ui/advancepreferences.h"
#include "ui/burstpreferences.h"
#include "ui/menuplaces.h"
#include "ui/rawclippingpreference.h"
#include "ui/windowsize.h"

#include "catalog/burstgroups.h"
#include "grid/thumbnaildiskcache.h"

#include <QAction>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHash>
#include <QKeySequenceEdit>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollArea>
#include <QSettings>
#include <QSpinBox>
#include <QVBoxLayout>

#include <algorithm>

namespace {

struct IntSetting
{
    const char *key;
    int defaultValue;
};

const IntSetting slideSecondsSetting{"slideshow/seconds", 4};
const IntSetting cacheMegabytesSetting{"grid/cacheMB", 1024};

// A stored value that is not a number at all shows the default; a number
// outside the range is clamped by the spin box, and OK writes the clamped value.
int readInt(const QSettings &settings, const IntSetting &setting)
{
    bool ok = false;
    const int value = settings.value(QLatin1String(setting.key), setting.defaultValue).toInt(&ok);
    return ok ? value : setting.defaultValue;
}

// "Open Folder…" labels its key as "Open Folder:": the ellipsis promises a
// dialog, which a label does not open.
QString labelName(const QAction *action)
{
    QString text = plainMenuText(action->text());
    if (text.endsWith(QChar(0x2026)))
        text.chop(1);
    else if (text.endsWith(QLatin1String("...")))
        text.chop(3);
    return text;
}

} // namespace

PreferencesDialog::PreferencesDialog(const QMap<QString, QAction *> &registry, const QList<QMenu *> &menus,
                                     QWidget *parent)
    : QDialog(parent)
    , actions(registry)
{
    buildLayout(menus);
    loadSettings();
}

void PreferencesDialog::buildLayout(const QList<QMenu *> &menus)
{
    setWindowTitle(tr("Preferences"));

    auto *content = new QWidget;
    auto *contentLayout = new QVBoxLayout(content);

    auto *behaviorGroup = new QGroupBox(tr("Behavior"), content);
    auto *behaviorForm = new QFormLayout(behaviorGroup);
    advancePreferences = new AdvancePreferences(behaviorGroup);
    firstUnreviewedBox = new QCheckBox(tr("Start at first unreviewed image"), behaviorGroup);
    firstUnreviewedBox->setObjectName(QStringLiteral("firstUnreviewedBox"));
    rememberRotationsBox = new QCheckBox(tr("Remember manual rotations in XMP"), behaviorGroup);
    rememberRotationsBox->setObjectName(QStringLiteral("rememberRotationsBox"));
    colourManagementBox = new QCheckBox(tr("Colour management"), behaviorGroup);
    colourManagementBox->setObjectName(QStringLiteral("colourManagementBox"));
    colourManagementBox->setToolTip(tr("Show photos and thumbnails in their own colours on this display. "
                                       "Off shows the pixels as stored, for comparison."));
    pairRawJpegBox = new QCheckBox(tr("Show RAW+JPEG pairs as one photo"), behaviorGroup);
    pairRawJpegBox->setObjectName(QStringLiteral("pairRawJpegBox"));
    pairRawJpegBox->setToolTip(tr("A RAW file and a JPEG file with the same name in one folder are shown once, "
                                  "as the JPEG; marks and the recycle bin apply to both."));
    slideDurationSpin = new QSpinBox(behaviorGroup);
    slideDurationSpin->setObjectName(QStringLiteral("slideDurationSpin"));
    slideDurationSpin->setRange(1, 300);
    slideDurationSpin->setSingleStep(1);
    slideDurationSpin->setSuffix(tr(" seconds"));
    loopSlideshowBox = new QCheckBox(tr("Loop slideshow"), behaviorGroup);
    loopSlideshowBox->setObjectName(QStringLiteral("loopSlideshowBox"));
    cacheSizeSpin = new QSpinBox(behaviorGroup);
    cacheSizeSpin->setObjectName(QStringLiteral("cacheSizeSpin"));
    cacheSizeSpin->setRange(256, 2048);
    cacheSizeSpin->setSingleStep(256);
    cacheSizeSpin->setSuffix(tr(" MB"));
    auto *clearCacheButton = new QPushButton(tr("Clear thumbnail cache"), behaviorGroup);
    clearCacheButton->setObjectName(QStringLiteral("clearCacheButton"));
    clearCacheButton->setAutoDefault(false);
    connect(clearCacheButton, &QPushButton::clicked, this, &PreferencesDialog::clearThumbnailCache);

    behaviorForm->addRow(advancePreferences);
    behaviorForm->addRow(firstUnreviewedBox);
    behaviorForm->addRow(rememberRotationsBox);
    behaviorForm->addRow(colourManagementBox);
    rawClippingPreference = new RawClippingPreference(behaviorGroup);
    behaviorForm->addRow(rawClippingPreference);
    behaviorForm->addRow(pairRawJpegBox);
    behaviorForm->addRow(tr("Slide duration:"), slideDurationSpin);
    behaviorForm->addRow(loopSlideshowBox);
    behaviorForm->addRow(tr("Thumbnail cache:"), cacheSizeSpin);
    behaviorForm->addRow(clearCacheButton);
    burstPreferences = new BurstPreferences(behaviorGroup);
    behaviorForm->addRow(burstPreferences);
    contentLayout->addWidget(behaviorGroup, 0);

    auto *shortcutGroup = new QGroupBox(tr("Keyboard shortcuts"), content);
    auto *shortcutLayout = new QVBoxLayout(shortcutGroup);
    auto *shortcutScroll = new QScrollArea(shortcutGroup);
    shortcutScroll->setWidgetResizable(true);
    auto *shortcutRows = new QWidget;
    auto *shortcutForm = new QFormLayout(shortcutRows);

    addShortcutRows(shortcutForm, menus);
    shortcutScroll->setWidget(shortcutRows);
    shortcutLayout->addWidget(shortcutScroll);

    auto *restoreButton = new QPushButton(tr("Restore shortcut defaults"), shortcutGroup);
    restoreButton->setObjectName(QStringLiteral("restoreDefaultsButton"));
    restoreButton->setAutoDefault(false);
    connect(restoreButton, &QPushButton::clicked, this, &PreferencesDialog::restoreShortcutDefaults);
    shortcutLayout->addWidget(restoreButton);
    contentLayout->addWidget(shortcutGroup, 1);

    auto *scroll = new QScrollArea(this);
    scroll->setWidgetResizable(true);
    scroll->setWidget(content);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &PreferencesDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &PreferencesDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(scroll, 1);
    layout->addWidget(buttons);

    resizeWithinScreen(this, QSize(640, 680));
}

void PreferencesDialog::addShortcutRows(QFormLayout *form, const QList<QMenu *> &menus)
{
    struct Row
    {
        QString id;
        QStringList path;
    };
    QHash<const QAction *, QString> idByAction;
    for (auto it = actions.cbegin(); it != actions.cend(); ++it)
        idByAction.insert(it.value(), it.key());

    QList<Row> rows;
    for (const MenuPlace &place : menuPlaces(menus)) {
        const QString id = idByAction.take(place.action);
        if (!id.isEmpty())
            rows.append({id, place.path});
    }
    QStringList unplaced = idByAction.values();
    // Sorted by the texts the user reads, in the user's language and collation.
    std::sort(unplaced.begin(), unplaced.end(), [this](const QString &a, const QString &b) {
        const int order = QString::localeAwareCompare(labelName(actions.value(a)), labelName(actions.value(b)));
        return order != 0 ? order < 0 : a < b;
    });
    for (const QString &id : std::as_const(unplaced))
        rows.append({id, {}});

    QHash<QString, int> nameCount;
    for (const Row &row : std::as_const(rows))
        ++nameCount[labelName(actions.value(row.id))];

    // With no action in the menus there is a single group, and no heading.
    const bool grouped = !rows.isEmpty() && !rows.constFirst().path.isEmpty();
    QString group;
    for (const Row &row : std::as_const(rows)) {
        const QString title = row.path.value(0, tr("Other"));
        if (grouped && title != group) {
            auto *heading = new QLabel(title, form->parentWidget());
            QFont font = heading->font();
            font.setBold(true);
            heading->setFont(font);
            heading->setContentsMargins(0, group.isEmpty() ? 0 : 10, 0, 2);
            form->addRow(heading);
        }
        group = title;

        QAction *action = actions.value(row.id);
        const QString name = labelName(action);
        // Below its menu's heading a row needs the rest of its path only, unless
        // another row has the same name.
        const QString label = menuPathText(nameCount.value(name) > 1 ? row.path : row.path.mid(1), name);
        auto *edit = new QKeySequenceEdit(action->shortcut(), form->parentWidget());
        edit->setObjectName(QStringLiteral("shortcut:") + row.id);
        edit->setClearButtonEnabled(true);
        form->addRow(label + QLatin1Char(':'), edit);
        editsById.insert(row.id, edit);
        conflictNameById.insert(row.id, menuPathText(row.path, plainMenuText(action->text())));
        rowOrder.append(row.id);
    }
}

void PreferencesDialog::loadSettings()
{
    const QSettings settings;
    firstUnreviewedBox->setChecked(settings.value(QStringLiteral("session/firstUnreviewed"), false).toBool());
    rememberRotationsBox->setChecked(settings.value(QStringLiteral("metadata/rememberRotations"), false).toBool());
    colourManagementBox->setChecked(settings.value(QStringLiteral("view/colourManagement"), true).toBool());
    pairRawJpegBox->setChecked(settings.value(QStringLiteral("view/pairRawJpeg"), true).toBool());
    slideDurationSpin->setValue(readInt(settings, slideSecondsSetting));
    loopSlideshowBox->setChecked(settings.value(QStringLiteral("slideshow/loop"), false).toBool());
    cacheSizeSpin->setValue(readInt(settings, cacheMegabytesSetting));
}

QKeySequenceEdit *PreferencesDialog::shortcutEdit(const QString &id) const
{
    return editsById.value(id);
}

PreferencesDialog::ShortcutConflict PreferencesDialog::firstShortcutConflict() const
{
    QHash<QString, QString> holderByKey;
    for (const QString &id : rowOrder) {
        const QKeySequence sequence = editsById.value(id)->keySequence();
        const QString text = sequence.toString(QKeySequence::PortableText);
        if (text.isEmpty())
            continue;
        const QString holder = holderByKey.value(text);
        if (!holder.isEmpty())
            return {sequence, holder, id};
        holderByKey.insert(text, id);
    }
    return {};
}

void PreferencesDialog::accept()
{
    const ShortcutConflict conflict = firstShortcutConflict();
    if (!conflict.firstId.isEmpty()) {
        QMessageBox::warning(this, tr("Shortcut conflict"),
                             tr("The shortcut %1 is used by \"%2\" and \"%3\".")
                                 .arg(conflict.sequence.toString(QKeySequence::NativeText),
                                      conflictNameById.value(conflict.firstId),
                                      conflictNameById.value(conflict.secondId)));
        return;
    }

    QSettings settings;
    advancePreferences->save(settings);
    settings.setValue(QStringLiteral("session/firstUnreviewed"), firstUnreviewedBox->isChecked());
    settings.setValue(QStringLiteral("metadata/rememberRotations"), rememberRotationsBox->isChecked());
    settings.setValue(QStringLiteral("view/colourManagement"), colourManagementBox->isChecked());
    settings.setValue(QStringLiteral("view/pairRawJpeg"), pairRawJpegBox->isChecked());
    settings.setValue(QStringLiteral("slideshow/loop"), loopSlideshowBox->isChecked());
    settings.setValue(QLatin1String(slideSecondsSetting.key), slideDurationSpin->value());
    settings.setValue(QLatin1String(cacheMegabytesSetting.key), cacheSizeSpin->value());
    burstPreferences->save(settings);
    rawClippingPreference->save(settings);

    for (auto it = editsById.cbegin(); it != editsById.cend(); ++it) {
        const QKeySequence sequence = it.value()->keySequence();
        settings.setValue(QStringLiteral("shortcuts/") + it.key(), sequence.toString(QKeySequence::PortableText));
        // One sequence replaces all, so the second default key of some actions goes too.
        if (QAction *action = actions.value(it.key()))
            action->setShortcut(sequence);
    }
    settings.sync();

    QDialog::accept();
}

void PreferencesDialog::clearThumbnailCache()
{
    ThumbnailDiskCache cache(QString(), 0);
    // Burst groups are kept beside the thumbnails and go with them.
    const bool burstsCleared = BurstGroups::clearCache();
    const bool cleared = cache.clearAll() && burstsCleared;
    QMessageBox::information(this, tr("Thumbnail cache"),
                             cleared ? tr("The thumbnail cache was cleared.")
                                     : tr("Some cached thumbnails could not be removed."));
}

void PreferencesDialog::restoreShortcutDefaults()
{
    for (auto it = editsById.cbegin(); it != editsById.cend(); ++it) {
        const QAction *action = actions.value(it.key());
        const QString defaultText = action ? action->property("defaultShortcut").toString() : QString();
        it.value()->setKeySequence(QKeySequence::fromString(defaultText, QKeySequence::PortableText));
    }
}
