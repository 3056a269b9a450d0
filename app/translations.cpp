#include "app/translations.h"

#include <QCoreApplication>
#include <QLocale>
#include <QStandardPaths>

QStringList translationDirectories()
{
    QStringList dirs;
    dirs << QCoreApplication::applicationDirPath() + QStringLiteral("/translations");
    const QString data = QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation);
    if (!data.isEmpty())
        dirs << data + QStringLiteral("/translations");
    dirs << QStringLiteral(":/translations");
    return dirs;
}

Translations::~Translations()
{
    removeAll();
}

void Translations::removeAll()
{
    if (m_appInstalled)
        QCoreApplication::removeTranslator(&m_appTranslator);
    if (m_qtInstalled)
        QCoreApplication::removeTranslator(&m_qtTranslator);
    if (m_pluralsInstalled)
        QCoreApplication::removeTranslator(&m_pluralTranslator);
    m_appInstalled = m_qtInstalled = m_pluralsInstalled = false;
    m_appFile.clear();
    m_qtFile.clear();
}

bool Translations::installForLocale(const QString &localeName)
{
    removeAll();

    // Installed first, so that a language's own plural forms come before them.
    if (m_pluralTranslator.load(QStringLiteral(":/translations/glanceway_en.qm")))
        m_pluralsInstalled = QCoreApplication::installTranslator(&m_pluralTranslator);

    const QLocale locale(localeName);
    // The source texts are English: no further catalogue, not even the toolkit's.
    if (locale.language() == QLocale::English)
        return false;

    const QStringList candidates{locale.name(), QLocale::languageToCode(locale.language())};

    for (const QString &dir : translationDirectories()) {
        for (const QString &candidate : candidates) {
            if (!m_appTranslator.load(QStringLiteral("glanceway_") + candidate, dir))
                continue;

            for (const QString &qtDir : translationDirectories()) {
                if (m_qtTranslator.load(locale, QStringLiteral("qtbase"), QStringLiteral("_"), qtDir)) {
                    m_qtInstalled = QCoreApplication::installTranslator(&m_qtTranslator);
                    m_qtFile = m_qtTranslator.filePath();
                    break;
                }
            }
            // Installed last, so it is consulted first.
            m_appInstalled = QCoreApplication::installTranslator(&m_appTranslator);
            m_appFile = m_appTranslator.filePath();
            return m_appInstalled;
        }
    }
    return false;
}
