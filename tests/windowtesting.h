#pragma once

#include "app/translations.h"
#include "ui/mainwindow.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLocale>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

// The set-up every test of the whole window shares.

// Settings, caches, data and trash of this run live in `sandbox` in the build
// tree, also when the test is started by hand outside CTest; the program
// speaks as it starts in English, with the plural forms only.
inline bool prepareWindowTests(const QTemporaryDir &sandbox, Translations &translations)
{
    if (!sandbox.isValid())
        return false;
    for (const char *name : {"HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_DATA_HOME"})
        qputenv(name, QFile::encodeName(sandbox.filePath(QString::fromLatin1(name))));
    QCoreApplication::setOrganizationName(QStringLiteral("Quillmark"));
    QCoreApplication::setApplicationName(QStringLiteral("Glanceway"));
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    translations.installForLocale(QStringLiteral("en_US"));
    return QDir().mkpath(QDir::homePath());
}

// A shown window that has opened `folder` and read all its sidecars.
inline std::unique_ptr<MainWindow> openWindowOn(const QString &folder)
{
    QSettings().setValue(QStringLiteral("lastDirectory"), folder);
    auto w = std::make_unique<MainWindow>();
    w->show();
    auto *summary = w->findChild<QLabel *>(QStringLiteral("summaryLabel"));
    // The summary appears when the sidecar scan of the folder has been applied.
    if (!QTest::qWaitFor([&] { return !summary->text().isEmpty(); }))
        qWarning("the folder's sidecars were never read");
    return w;
}
