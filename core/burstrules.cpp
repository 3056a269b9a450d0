#include "core/burstrules.h"

#include "core/photoorder.h"

#include <QHash>

#include <algorithm>
#include <bitset>
#include <numeric>

namespace PhotoCore {

int hashDistance(quint64 a, quint64 b)
{
    return int(std::bitset<64>(a ^ b).count());
}

bool continuesBurst(const BurstFacts &previous, const BurstFacts &next, const BurstRules &rules)
{
    if (rules.maxGapSeconds <= 0 || !previous.captured.isValid() || !next.captured.isValid())
        return false;
    const qint64 gapMs = previous.captured.msecsTo(next.captured);
    if (gapMs < 0 || gapMs > qint64(rules.maxGapSeconds * 1000 + 0.5))
        return false;
    if (!previous.hashed || !next.hashed)
        return false;
    const int distance = hashDistance(previous.hash, next.hash);
    if (distance <= rules.maxHashDistance)
        return true;
    // A camera steps the exposure compensation through a bracket: the frames
    // are one scene, however differently bright.
    const bool bracketStep = !qIsNaN(previous.exposureBias) && !qIsNaN(next.exposureBias)
                             && qAbs(previous.exposureBias - next.exposureBias) >= 0.3;
    return bracketStep && distance <= rules.bracketHashDistance();
}

QList<QList<int>> groupBursts(const QList<BurstFacts> &frames, const BurstRules &rules)
{
    QList<QList<int>> groups;
    for (int i = 0; i < frames.size(); ++i) {
        if (groups.isEmpty() || !continuesBurst(frames.at(i - 1), frames.at(i), rules))
            groups.append(QList<int>());
        groups.last().append(i);
    }
    return groups;
}

QList<int> sharpnessRanks(const QList<double> &scores)
{
    QList<int> order(scores.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        const bool knownA = scores.at(a) >= 0;
        const bool knownB = scores.at(b) >= 0;
        if (knownA != knownB)
            return knownA;
        return scores.at(a) > scores.at(b);
    });
    QList<int> ranks(scores.size());
    for (int r = 0; r < order.size(); ++r)
        ranks[order.at(r)] = r + 1;
    return ranks;
}

QStringList captureOrder(const QStringList &paths, const QHash<QString, BurstFacts> &facts)
{
    QHash<QString, QDateTime> times;
    times.reserve(paths.size());
    for (const QString &path : paths)
        times.insert(path, facts.value(path).captured);
    return sortedPhotos(paths, SortOrder::CaptureTime, times);
}

} // namespace PhotoCore
