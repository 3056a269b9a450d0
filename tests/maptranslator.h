#pragma once

#include <QHash>
#include <QString>
#include <QTranslator>

// Stands in for a catalogue: translates chosen source texts of one context, so
// a test can put what a translator could (markup, placeholders, a language
// code) where the program looks for a translation.
class MapTranslator : public QTranslator
{
public:
    explicit MapTranslator(const char *contextName, const QHash<QString, QString> &texts = {})
        : context(contextName)
        , translations(texts)
    {
    }

    bool isEmpty() const override { return false; }
    QString translate(const char *ctx, const char *sourceText, const char *, int) const override
    {
        return qstrcmp(ctx, context) == 0 ? translations.value(QString::fromUtf8(sourceText)) : QString();
    }

    const char *context;
    QHash<QString, QString> translations;
};
