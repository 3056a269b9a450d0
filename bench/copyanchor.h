#pragma once

#include "bench/benchmark.h"

#include <QString>
#include <QStringList>

#include <functional>

// What copying photos is measured against: the same files copied by the
// standard tools with the same guarantees, `cp`, then `sync`, then `cmp` of
// each file, so that a checked, flushed copy is not held against one that
// neither flushes nor checks.
namespace bench {

// `count` files of `bytes` random (incompressible) bytes each, named
// IMG_0000.JPG…, made once in `root`/`name`.
QStringList randomPhotos(const QString &root, const QString &name, int count, qint64 bytes);

// Wall time in ms of cp + sync + cmp of `files` into the empty folder
// `target`; -1 when a tool is missing or a step fails.
double copySyncCompareMs(const QStringList &files, const QString &target);

// Medians in ms of our copy and of the anchor, taken in three alternating runs
// so that neither gets a quieter moment of the machine. `fresh` empties the
// target before each run; anchor is -1 when a tool failed.
struct CopyTimes
{
    double ours = 0;
    double anchor = -1;
};
CopyTimes timeAgainstCopyAnchor(const QStringList &files, const QString &target, const std::function<void()> &fresh,
                                const std::function<void()> &copy);

// The ratio line of a copy benchmark against the anchor (goal 1.2).
BenchResult copyRatioResult(const CopyTimes &times);

} // namespace bench
