#pragma once

#include <QSet>
#include <QString>
#include <QStringList>

namespace PhotoCore {

// Lower-case extensions (without the dot) of the files the program shows.
const QSet<QString> &supportedExtensions();

// The photos directly inside `folder`, as "<folder>/<name>", sorted by name
// case-insensitively without locale rules. Hidden, unreadable and non-file
// entries are skipped; a folder that cannot be listed yields an empty list.
QStringList listPhotoFiles(const QString &folder);

// The photos of `folder` and of its subfolders down to `maxDepth` levels, the
// folder's own first, then each subfolder's (by name, case-insensitively),
// depth first. Hidden folders are skipped; links to folders are followed
// unless they lead to a folder already listed, so no link loop repeats.
// `folders`, when given, receives every folder listed, `folder` first.
QStringList listPhotoTree(const QString &folder, int maxDepth = 8, QStringList *folders = nullptr);

} // namespace PhotoCore
