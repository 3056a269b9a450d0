#pragma once

#include <QString>
#include <QStringList>
#include <QTranslator>

// Ordered search path for translation catalogues: beside the executable, the
// per-user data directory, then the compiled-in catalogues.
QStringList translationDirectories();

// Owns the application's and the toolkit's translators for the whole run.
class Translations
{
public:
    Translations() = default;
    ~Translations();

    // Removes whatever was installed and installs the catalogues for `localeName`
    // (for example "de_DE"). Every language gets the English plural forms
    // ("1 Star", "2 Stars") beneath; English locales get nothing else. Returns
    // whether the application catalogue of the language was installed.
    bool installForLocale(const QString &localeName);

    // Where the installed catalogues came from; empty when not installed.
    QString applicationCatalogue() const { return m_appFile; }
    QString toolkitCatalogue() const { return m_qtFile; }

private:
    void removeAll();

    QTranslator m_pluralTranslator;
    QTranslator m_appTranslator;
    QTranslator m_qtTranslator;
    bool m_pluralsInstalled = false;
    bool m_appInstalled = false;
    bool m_qtInstalled = false;
    QString m_appFile;
    QString m_qtFile;
};
