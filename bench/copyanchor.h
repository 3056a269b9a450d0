#pragma once

#include <QString>
#include <QStringList>

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

} // namespace bench
