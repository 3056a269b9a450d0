#include "core/photoorder.h"

#include <QCollator>
#include <QFileInfo>
#include <QLocale>

#include <algorithm>

namespace PhotoCore {

namespace {

struct Keyed
{
    QString path;
    QString name;
    QDateTime time; // capture or modification time; invalid sorts last
};

bool byName(const Keyed &a, const Keyed &b)
{
    const int c = a.name.compare(b.name, Qt::CaseInsensitive);
    return c != 0 ? c < 0 : a.path < b.path;
}

} // namespace

QString sortOrderId(SortOrder order)
{
    switch (order) {
    case SortOrder::NaturalName: return QStringLiteral("natural");
    case SortOrder::CaptureTime: return QStringLiteral("captured");
    case SortOrder::ModifiedTime: return QStringLiteral("modified");
    case SortOrder::FileName: break;
    }
    return QStringLiteral("name");
}

SortOrder sortOrderFromId(const QString &id)
{
    for (SortOrder order : {SortOrder::NaturalName, SortOrder::CaptureTime, SortOrder::ModifiedTime}) {
        if (sortOrderId(order) == id)
            return order;
    }
    return SortOrder::FileName;
}

QStringList sortedPhotos(const QStringList &paths, SortOrder order, const QHash<QString, QDateTime> &captureTimes)
{
    std::vector<Keyed> keyed;
    keyed.reserve(size_t(paths.size()));
    for (const QString &path : paths) {
        Keyed k{path, path.mid(path.lastIndexOf(QLatin1Char('/')) + 1), {}};
        if (order == SortOrder::CaptureTime)
            k.time = captureTimes.value(path);
        else if (order == SortOrder::ModifiedTime)
            k.time = QFileInfo(path).fileTime(QFileDevice::FileModificationTime);
        keyed.push_back(std::move(k));
    }
    if (order == SortOrder::NaturalName) {
        // The C locale collates by code point and ignores numeric mode; a
        // system without a locale gets English collation instead.
        QLocale locale;
        if (locale.language() == QLocale::C)
            locale = QLocale(QLocale::English, QLocale::UnitedStates);
        QCollator collator(locale);
        collator.setNumericMode(true);
        collator.setCaseSensitivity(Qt::CaseInsensitive);
        collator.setIgnorePunctuation(false);
        std::stable_sort(keyed.begin(), keyed.end(), [&](const Keyed &a, const Keyed &b) {
            const int c = collator.compare(a.name, b.name);
            return c != 0 ? c < 0 : byName(a, b);
        });
    } else if (order == SortOrder::FileName) {
        std::stable_sort(keyed.begin(), keyed.end(), byName);
    } else {
        std::stable_sort(keyed.begin(), keyed.end(), [](const Keyed &a, const Keyed &b) {
            if (a.time.isValid() != b.time.isValid())
                return a.time.isValid();
            if (a.time.isValid() && a.time != b.time)
                return a.time < b.time;
            return byName(a, b);
        });
    }
    QStringList sorted;
    sorted.reserve(paths.size());
    for (const Keyed &k : keyed)
        sorted.append(k.path);
    return sorted;
}

} // namespace PhotoCore
