// Linked into every test program on Windows. There QSettings() means the
// registry key of the real user, which tests clear and fill as they please;
// instead each test program keeps its settings in INI files below its own
// HOME folder (or the temporary folder when started by hand).

#include <QCoreApplication>
#include <QDir>
#include <QSettings>

namespace {

void useIniSettingsForTests()
{
    const QString home = qEnvironmentVariable("HOME");
    const QString base = home.isEmpty() ? QDir::tempPath() + QStringLiteral("/glanceway-test-settings") : home;
    // Absolute now: a drive-relative "/..." would follow later changes of the
    // working directory to another drive.
    const QString folder = QDir(base + QStringLiteral("/settings")).absolutePath();
    QDir().mkpath(folder);
    QSettings::setDefaultFormat(QSettings::IniFormat);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, folder);
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(useIniSettingsForTests)
