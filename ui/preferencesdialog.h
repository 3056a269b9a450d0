#pragma once

#include <QDialog>
#include <QKeySequence>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

class QAction;
class QCheckBox;
class QFormLayout;
class QKeySequenceEdit;
class QMenu;
class QSpinBox;
class AdvancePreferences;
class BurstPreferences;
class RawClippingPreference;

// Edits the behaviour settings and the shortcut of every registered action.
// Nothing is stored before OK, and OK stores nothing while two actions share a
// key; only "Clear thumbnail cache" acts at once.
//
// `actions` maps action identifiers ("view.grid") to the actions; each action
// carries its default key sequence, in portable text, in the dynamic property
// "defaultShortcut". The actions must outlive the dialog.
//
// The shortcut rows are grouped as `menus` (the menu bar's) show the actions:
// a heading per top-level menu, the rows in menu order. A name that two rows
// share is shown with its menu path ("Filter › 1 Star"), as is a row from a
// submenu below its menu's heading. Actions in none of the menus follow under
// "Other", in the collation of the user's language.
class PreferencesDialog : public QDialog
{
    Q_OBJECT
public:
    explicit PreferencesDialog(const QMap<QString, QAction *> &actions, const QList<QMenu *> &menus = {},
                               QWidget *parent = nullptr);

    // The editor of one action's shortcut, or null for an unknown identifier.
    QKeySequenceEdit *shortcutEdit(const QString &id) const;
    // Identifiers in the order the rows are shown.
    QStringList shortcutRowOrder() const { return rowOrder; }

    void accept() override;

public slots:
    void clearThumbnailCache();
    void restoreShortcutDefaults();

private:
    void buildLayout(const QList<QMenu *> &menus);
    void addShortcutRows(QFormLayout *form, const QList<QMenu *> &menus);
    void loadSettings();
    // Two rows that share a key sequence, the first such pair in the order the
    // rows are shown; empty identifiers when every sequence is unique.
    struct ShortcutConflict
    {
        QKeySequence sequence;
        QString firstId;
        QString secondId;
    };
    ShortcutConflict firstShortcutConflict() const;

    AdvancePreferences *advancePreferences = nullptr;
    QCheckBox *firstUnreviewedBox = nullptr;
    QCheckBox *rememberRotationsBox = nullptr;
    QCheckBox *colourManagementBox = nullptr;
    QCheckBox *pairRawJpegBox = nullptr;
    QSpinBox *slideDurationSpin = nullptr;
    QCheckBox *loopSlideshowBox = nullptr;
    QSpinBox *cacheSizeSpin = nullptr;
    BurstPreferences *burstPreferences = nullptr;
    RawClippingPreference *rawClippingPreference = nullptr;
    QMap<QString, QAction *> actions;
    QMap<QString, QKeySequenceEdit *> editsById;
    // How a conflict names each action: with its menu path, where it has one.
    QMap<QString, QString> conflictNameById;
    QStringList rowOrder;
};
