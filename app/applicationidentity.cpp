#include "app/applicationidentity.h"

#include <QApplication>
#include <QIcon>
#include <QSettings>

namespace {
const char *const kImportedKey = "migration/pellowickImported";
}

void applyApplicationIdentity()
{
    QCoreApplication::setApplicationName(QStringLiteral("Glanceway"));
    QGuiApplication::setApplicationDisplayName(QStringLiteral("Quillmark Glanceway"));
    QCoreApplication::setOrganizationName(QStringLiteral("Quillmark"));
    QCoreApplication::setOrganizationDomain(QStringLiteral("quillmark.net"));
    // The installed desktop entry's name: Wayland compositors and task bars
    // find the program's name and icon through it.
    QGuiApplication::setDesktopFileName(QStringLiteral("net.quillmark.Glanceway"));
    QCoreApplication::setApplicationVersion(QStringLiteral("1.0.3"));
    QGuiApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/quillmark-glanceway.ico")));

    // Both stores are flushed when they go out of scope.
    QSettings legacy(QStringLiteral("Pellowick"), QStringLiteral("Pellowick"));
    QSettings current;
    importLegacySettings(legacy, current);
}

void importLegacySettings(QSettings &legacy, QSettings &current)
{
    if (current.value(QLatin1String(kImportedKey), false).toBool())
        return;

    const QStringList keys = legacy.allKeys();
    for (const QString &key : keys) {
        if (!current.contains(key))
            current.setValue(key, legacy.value(key));
    }
    // Set even when there was nothing to copy, so later starts never look again.
    current.setValue(QLatin1String(kImportedKey), true);
    current.sync();
}
