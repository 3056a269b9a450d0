#pragma once

#include <QString>
#include <QtGlobal>

// Photos of one folder that differ only in their last extension share a
// sidecar, so they share one key. Pure string work: no file is touched.
QString sidecarKey(const QString &photoPath);

// Size and times of a file as a listing shows them; null when there is none.
// Two equal stamps are taken to mean unchanged content.
struct FileStamp
{
    qint64 size = -1;
    qint64 modified = 0;
    qint64 changed = 0;

    bool isNull() const { return size < 0; }
    friend bool operator==(const FileStamp &a, const FileStamp &b)
    {
        return a.size == b.size && a.modified == b.modified && a.changed == b.changed;
    }
    friend bool operator!=(const FileStamp &a, const FileStamp &b) { return !(a == b); }
};

FileStamp stampOfFile(const QString &path);
