#pragma once

#include "catalog/photocatalog.h"

#include <QCoreApplication>
#include <QDir>
#include <QLocale>
#include <QSettings>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

// What every catalog test starts from: its own settings.
inline void prepareCatalogTests()
{
    QStandardPaths::setTestModeEnabled(true);
    QCoreApplication::setOrganizationName(QStringLiteral("Quillmark"));
    QCoreApplication::setApplicationName(QStringLiteral("Glanceway"));
    QLocale::setDefault(QLocale::c());
}

inline void resetCatalogSettings()
{
    QSettings().clear();
}

// Opens `files` and waits until the scan is applied.
inline void openAndSettle(PhotoCatalog &catalog, const QStringList &files)
{
    QSignalSpy scanned(&catalog, &PhotoCatalog::summaryChanged);
    catalog.openFiles(files);
    QVERIFY(scanned.wait());
}

// Waits until every queued write has reported back; a few hundred writes
// can take a while where file operations are slow (under Wine, say).
inline void settle(PhotoCatalog &catalog)
{
    QTRY_COMPARE_WITH_TIMEOUT(catalog.pendingWriteCount(), 0, 60000);
}
