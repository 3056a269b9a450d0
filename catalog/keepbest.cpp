#include "catalog/keepbest.h"

QStringList starredOthers(const QStringList &group, const QString &kept,
                          const QHash<QString, PhotoCore::Metadata> &records)
{
    QStringList starred;
    for (const QString &path : group) {
        if (path != kept && records.value(path).rating > 0)
            starred.append(path);
    }
    return starred;
}

KeepBestPlan planKeepBest(const QStringList &group, const QString &kept,
                          const QHash<QString, PhotoCore::Metadata> &records, int pickRating, bool rejectStarred)
{
    KeepBestPlan plan;
    if (!group.contains(kept))
        return plan;
    plan.kept = kept;
    plan.groupSize = int(group.size());
    const PhotoCore::Metadata keptRecord = records.value(kept);
    if (pickRating > 0 && keptRecord.rating == 0)
        plan.edits.append({kept, MarkEdit::rating(pickRating)});
    else if (keptRecord.rejected)
        plan.edits.append({kept, MarkEdit::clearRejection()});
    for (const QString &path : group) {
        if (path == kept)
            continue;
        const PhotoCore::Metadata record = records.value(path);
        if (record.rating > 0 && !rejectStarred) {
            plan.starredLeft.append(path);
            continue;
        }
        ++plan.rejected;
        if (!record.rejected)
            plan.edits.append({path, MarkEdit::reject()});
    }
    return plan;
}
