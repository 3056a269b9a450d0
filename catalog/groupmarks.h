#pragma once

#include "core/metadata.h"

#include <QHash>
#include <QString>
#include <QStringList>

#include <functional>

// Marks and the grid's collapsed groups, where one cell stands for every
// frame of a burst. A mark must never land silently on a frame the user takes
// for the group: a rejection (or lifting one) covers every frame the cell
// stands for, stars and labels only the frame shown, and the cell sums up the
// marks inside.
struct GroupMarkScope
{
    QStringList files;       // what the mark goes to
    int groupsCovered = 0;   // cells whose whole group it covers
    int framesCovered = 0;   // the frames of those groups, shown ones included
    QString shownOnly;       // the one cell selected stands for a group, and only its frame gets the mark
    int shownGroupSize = 0;  // the frames of that group
};

// `framesBehind` gives, for a cell, the frames of the group it stands for, or
// nothing where it stands for itself alone.
GroupMarkScope groupMarkScope(const QStringList &selected, bool wholeGroups,
                              const std::function<QStringList(const QString &)> &framesBehind);

// "★★★ 1 · ★ 2 · ✕ 4": how many frames carry each number of stars (most
// first) and how many are rejected; empty where none is marked.
QString groupMarksSummary(const QStringList &frames, const QHash<QString, PhotoCore::Metadata> &records);
