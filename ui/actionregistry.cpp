#include "ui/actionregistry.h"

#include <QAction>
#include <QMenu>
#include <QSettings>

ActionRegistry::ActionRegistry(QObject *parent)
    : QObject(parent)
{
}

void ActionRegistry::enter(const QString &id, QAction *action, const QKeySequence &defaultKey)
{
    action->setProperty("defaultShortcut", defaultKey.toString(QKeySequence::PortableText));
    const QString stored = QSettings().value(QStringLiteral("shortcuts/") + id).toString();
    if (!stored.isEmpty())
        action->setShortcut(QKeySequence::fromString(stored, QKeySequence::PortableText));
    byId.insert(id, action);
}

QAction *ActionRegistry::add(QMenu *menu, const QString &id, const QString &text, const QKeySequence &key)
{
    QAction *action = menu->addAction(text);
    action->setShortcut(key);
    enter(id, action, key);
    return action;
}

void ActionRegistry::migrateHelpShortcuts()
{
    QSettings settings;
    if (settings.value(QStringLiteral("migrations/helpShortcuts101"), false).toBool())
        return;
    const QString overviewKey = QStringLiteral("shortcuts/help.shortcuts");
    const QString manualKey = QStringLiteral("shortcuts/help.manual");
    if (settings.value(overviewKey, QStringLiteral("F1")).toString() == QLatin1String("F1")
        && settings.value(manualKey, QStringLiteral("Ctrl+F1")).toString() == QLatin1String("Ctrl+F1")) {
        if (settings.contains(overviewKey))
            settings.setValue(overviewKey, QStringLiteral("Ctrl+F1"));
        if (settings.contains(manualKey))
            settings.setValue(manualKey, QStringLiteral("F1"));
    }
    settings.setValue(QStringLiteral("migrations/helpShortcuts101"), true);
}
