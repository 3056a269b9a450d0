#include "core/metadata.h"

namespace PhotoCore {

int clampRating(int value)
{
    return qBound(0, value, 5);
}

int normalizeRotation(int degrees)
{
    return ((degrees % 360) + 360) % 360;
}

bool isReviewed(const Metadata &record)
{
    return record.rejected || record.rating > 0 || !record.label.isEmpty();
}

ParsedFilter parseFilter(const QString &filterId)
{
    static const QString notPrefix = QStringLiteral("not:");
    static const QString ratingPrefix = QStringLiteral("rating:");
    static const QString colorPrefix = QStringLiteral("color:");
    static const QString atLeastPrefix = QStringLiteral("rating>=:");

    ParsedFilter parsed;
    QStringView rest(filterId);
    if (rest.startsWith(notPrefix)) {
        parsed.exclude = true;
        rest = rest.mid(notPrefix.size());
    }

    if (rest == QLatin1String("zerostars")) {
        parsed.kind = FilterKind::ZeroStars;
    } else if (rest == QLatin1String("unrated")) {
        parsed.kind = FilterKind::Unreviewed;
    } else if (rest == QLatin1String("rejected")) {
        parsed.kind = FilterKind::Rejected;
    } else if (rest.startsWith(ratingPrefix) || rest.startsWith(atLeastPrefix)) {
        const bool atLeast = rest.startsWith(atLeastPrefix);
        bool ok = false;
        const int stars = rest.mid(atLeast ? atLeastPrefix.size() : ratingPrefix.size()).toInt(&ok);
        // Star counts the program never produces ("rating:0", "rating:9") are
        // treated like any unrecognised identifier.
        if (ok && stars >= 1 && stars <= 5)
            parsed.kind = FilterKind(int(atLeast ? FilterKind::AtLeast1 : FilterKind::Rating1) + stars - 1);
    } else if (rest.startsWith(colorPrefix)) {
        const QStringView name = rest.mid(colorPrefix.size());
        if (name == QLatin1String("Red"))
            parsed.kind = FilterKind::LabelRed;
        else if (name == QLatin1String("Yellow"))
            parsed.kind = FilterKind::LabelYellow;
        else if (name == QLatin1String("Green"))
            parsed.kind = FilterKind::LabelGreen;
        else if (name == QLatin1String("Blue"))
            parsed.kind = FilterKind::LabelBlue;
    }
    return parsed;
}

namespace {

bool labelIs(const Metadata &record, QLatin1String colour)
{
    return record.label.compare(colour, Qt::CaseInsensitive) == 0;
}

} // namespace

bool matchesFilter(const QString &filterId, const Metadata &record)
{
    const ParsedFilter filter = parseFilter(filterId);
    bool matches = true;
    switch (filter.kind) {
    case FilterKind::All:
        return true;
    case FilterKind::ZeroStars:
        matches = record.rating == 0;
        break;
    case FilterKind::Unreviewed:
        matches = !isReviewed(record);
        break;
    case FilterKind::Rejected:
        matches = record.rejected;
        break;
    case FilterKind::Rating1:
    case FilterKind::Rating2:
    case FilterKind::Rating3:
    case FilterKind::Rating4:
    case FilterKind::Rating5:
        matches = record.rating == int(filter.kind) - int(FilterKind::Rating1) + 1;
        break;
    case FilterKind::AtLeast1:
    case FilterKind::AtLeast2:
    case FilterKind::AtLeast3:
    case FilterKind::AtLeast4:
    case FilterKind::AtLeast5:
        matches = record.rating >= int(filter.kind) - int(FilterKind::AtLeast1) + 1;
        break;
    case FilterKind::LabelRed:
        matches = labelIs(record, QLatin1String("Red"));
        break;
    case FilterKind::LabelYellow:
        matches = labelIs(record, QLatin1String("Yellow"));
        break;
    case FilterKind::LabelGreen:
        matches = labelIs(record, QLatin1String("Green"));
        break;
    case FilterKind::LabelBlue:
        matches = labelIs(record, QLatin1String("Blue"));
        break;
    }
    return filter.exclude ? !matches : matches;
}

Summary summarize(const QStringList &files, const QHash<QString, Metadata> &metadataByPath)
{
    Summary summary;
    summary.total = int(files.size());
    for (const QString &path : files) {
        const auto it = metadataByPath.constFind(path);
        if (it == metadataByPath.constEnd())
            continue; // the default record is neither reviewed nor rejected
        if (isReviewed(*it))
            ++summary.reviewed;
        if (it->rejected)
            ++summary.rejected;
    }
    summary.open = summary.total - summary.reviewed;
    return summary;
}

void NavigationList::setFiles(const QStringList &files)
{
    m_files = files;
    m_currentIndex = m_files.isEmpty() ? -1 : 0;
}

QString NavigationList::at(int index) const
{
    return index >= 0 && index < count() ? m_files.at(index) : QString();
}

QString NavigationList::current() const
{
    return at(m_currentIndex);
}

QString NavigationList::next()
{
    if (m_currentIndex + 1 < count())
        ++m_currentIndex;
    return current();
}

QString NavigationList::previous()
{
    if (m_currentIndex >= 1)
        --m_currentIndex;
    return current();
}

bool NavigationList::select(const QString &path)
{
    const int index = int(m_files.indexOf(path));
    if (index < 0)
        return false;
    m_currentIndex = index;
    return true;
}

bool NavigationList::setCurrentIndex(int index)
{
    if (index < 0 || index >= count())
        return false;
    m_currentIndex = index;
    return true;
}

} // namespace PhotoCore
