#include "catalog/groupmarks.h"

#include <QSet>

#include <map>

GroupMarkScope groupMarkScope(const QStringList &selected, bool wholeGroups,
                              const std::function<QStringList(const QString &)> &framesBehind)
{
    GroupMarkScope scope;
    QSet<QString> taken;
    for (const QString &cell : selected) {
        const QStringList frames = framesBehind ? framesBehind(cell) : QStringList();
        if (frames.size() < 2) {
            if (!taken.contains(cell)) {
                taken.insert(cell);
                scope.files.append(cell);
            }
            continue;
        }
        if (!wholeGroups) {
            if (selected.size() == 1) {
                scope.shownOnly = cell;
                scope.shownGroupSize = int(frames.size());
            }
            if (!taken.contains(cell)) {
                taken.insert(cell);
                scope.files.append(cell);
            }
            continue;
        }
        ++scope.groupsCovered;
        scope.framesCovered += int(frames.size());
        for (const QString &frame : frames) {
            if (!taken.contains(frame)) {
                taken.insert(frame);
                scope.files.append(frame);
            }
        }
    }
    return scope;
}

QString groupMarksSummary(const QStringList &frames, const QHash<QString, PhotoCore::Metadata> &records)
{
    std::map<int, int, std::greater<int>> byStars;
    int rejected = 0;
    for (const QString &frame : frames) {
        const PhotoCore::Metadata record = records.value(frame);
        if (record.rejected)
            ++rejected;
        else if (record.rating > 0)
            ++byStars[record.rating];
    }
    QStringList parts;
    for (const auto &[stars, count] : byStars)
        parts.append(QString(stars, QChar(0x2605)) + QLatin1Char(' ') + QString::number(count));
    if (rejected > 0)
        parts.append(QStringLiteral("✕ %1").arg(rejected));
    return parts.join(QStringLiteral(" · "));
}
