#pragma once

#include "catalog/markwriter.h"
#include "core/metadata.h"

#include <QHash>
#include <QString>
#include <QStringList>

// What keeping the best frame of a burst writes: the kept frame keeps its
// marks (or gets the pick rating, when it has no stars of its own and one is
// set), every other frame is rejected. Frames with stars are someone's
// earlier choice and stay as they are unless `rejectStarred`.
struct KeepBestPlan
{
    QString kept;
    QList<MarkWriter::PhotoEdit> edits;
    int groupSize = 0;
    // Frames other than the kept one rejected once the edits are written,
    // those rejected before included.
    int rejected = 0;
    // Frames left alone for their stars.
    QStringList starredLeft;
};

// `group` the frames of one burst, `kept` one of them; `records` their marks
// (absent: none); `pickRating` 0 to leave the kept frame's stars alone.
KeepBestPlan planKeepBest(const QStringList &group, const QString &kept,
                          const QHash<QString, PhotoCore::Metadata> &records, int pickRating, bool rejectStarred);

// The frames of `group` other than `kept` that have stars.
QStringList starredOthers(const QStringList &group, const QString &kept,
                          const QHash<QString, PhotoCore::Metadata> &records);
