#pragma once

#include <QDateTime>
#include <QList>
#include <QMetaType>
#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <limits>

namespace PhotoCore {

// What burst grouping and sharpness ranking know of one photo: plain values,
// read from its headers and a reduced decode of its picture.
struct BurstFacts
{
    QDateTime captured;                                        // invalid: none recorded
    double exposureBias = std::numeric_limits<double>::quiet_NaN(); // EV; NaN: none recorded
    quint64 hash = 0;                                          // difference hash of the picture
    bool hashed = false;                                       // false: the picture could not be decoded
    double sharpness = -1;                                     // below 0: unknown

    friend bool operator==(const BurstFacts &a, const BurstFacts &b)
    {
        const bool biasSame = (qIsNaN(a.exposureBias) && qIsNaN(b.exposureBias)) || a.exposureBias == b.exposureBias;
        return a.captured == b.captured && biasSame && a.hash == b.hash && a.hashed == b.hashed
               && a.sharpness == b.sharpness;
    }
};

// When consecutive photos belong to one burst.
struct BurstRules
{
    // Default of the preference "groups/gapSeconds".
    static constexpr double defaultGapSeconds = 2.0;
    // Default of "groups/pickRating": the frame kept from a group gets one
    // star where it has none, so that it never stays unreviewed.
    static constexpr int defaultPickRating = 1;
    static constexpr int defaultHashDistance = 12;

    // At most this long between two capture times; 0 (or less) groups nothing.
    double maxGapSeconds = defaultGapSeconds;
    // At most this many of the 64 hash bits differ between neighbours.
    int maxHashDistance = defaultHashDistance;
    // Between frames of an exposure bracket (their exposure compensation
    // differs), whose brightness moves more bits: twice the above.
    int bracketHashDistance() const { return 2 * maxHashDistance; }
};

// Bits that differ between two hashes (0…64).
int hashDistance(quint64 a, quint64 b);

// Whether `next`, taken right after `previous`, continues its burst: both
// have a capture time, at most the gap apart, and pictures that look alike.
bool continuesBurst(const BurstFacts &previous, const BurstFacts &next, const BurstRules &rules);

// `frames` in capture-time order, cut into bursts of consecutive frames: the
// indexes of each group, in order. Every frame is in exactly one group; a
// photo unlike its neighbours is a group of one.
QList<QList<int>> groupBursts(const QList<BurstFacts> &frames, const BurstRules &rules);

// The rank of each score among `scores` (1: sharpest). Unknown scores (below
// 0) rank last; equal scores keep their order, so the earlier frame ranks first.
QList<int> sharpnessRanks(const QList<double> &scores);

// The capture-time order of `paths`, times from `facts` (by path). Photos
// without a capture time come last, by file name; equal times by file name.
QStringList captureOrder(const QStringList &paths, const QHash<QString, BurstFacts> &facts);

} // namespace PhotoCore

Q_DECLARE_METATYPE(PhotoCore::BurstFacts)
