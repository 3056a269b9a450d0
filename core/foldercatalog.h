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

} // namespace PhotoCore
