#pragma once

#include <QKeySequence>
#include <QMap>
#include <QObject>
#include <QString>

class QAction;
class QMenu;

// Every command the user can give a key of their own, by identifier
// ("file.open", "view.grid", ...): what Preferences, the shortcut overview and
// the tests read. Each controller enters its own actions; identifiers and
// default keys are settings the users have stored, so they never change.
class ActionRegistry : public QObject
{
    Q_OBJECT
public:
    explicit ActionRegistry(QObject *parent = nullptr);

    // Enters `action`, which already carries `defaultKey` as its shortcut,
    // under `id`: it keeps the default in the dynamic property
    // "defaultShortcut" (portable text) and takes the user's stored key, if any.
    void enter(const QString &id, QAction *action, const QKeySequence &defaultKey);
    // A new entry of `menu` with `key`, entered under `id`.
    QAction *add(QMenu *menu, const QString &id, const QString &text, const QKeySequence &key);

    const QMap<QString, QAction *> &actions() const { return byId; }
    QAction *action(const QString &id) const { return byId.value(id); }

    // Copies the user's stored help shortcuts from the swapped pre-1.0.1
    // defaults (F1 overview, Ctrl+F1 manual) to the current ones, once per user.
    static void migrateHelpShortcuts();

private:
    QMap<QString, QAction *> byId;
};
