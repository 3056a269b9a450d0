#pragma once

#include "core/ingestplan.h"

#include <QHash>
#include <QByteArray>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

namespace PhotoCore {

// What was imported before, kept in a small file in the user's data folder.
// A photo's line is written once every copy of each of its files has been
// checked against the card and has its final name: the photo's original
// name, size and capture time, the destination, and for each of its files
// (photo, partner, sidecar) the name and size on the card and the paths of
// its copy and its backup. A photo counts as imported only where such a line
// speaks for every one of its files; a run killed before the line was written
// imports the photo again.
//
// A photo culled away after its import stays imported, so that putting the
// card back in does not bring it back. But a recorded copy that is still
// there with another size than recorded is no longer the copy that was
// checked, and its photo is imported again; sidecars are exempt, since
// marking a photo rewrites its sidecar.
//
// Lines of the earlier format name only a photo's first file, and so speak
// only for photos that are one file alone.
class IngestLog
{
public:
    explicit IngestLog(const QString &path = defaultPath());

    // import-log.tsv in the per-user application data folder.
    static QString defaultPath();
    QString path() const { return m_path; }

    // Whether `item` was imported into `destination` before. Looks at the
    // recorded copies' sizes only, so that a plan made at every keystroke stays cheap.
    bool contains(const IngestItem &item, const QString &destination) const;
    // Records `item` as imported into `destination`, the copies of its files
    // at `copies` and their backups at `backups` (empty without a backup),
    // both in the order of item.files; false when the log cannot be written.
    bool add(const IngestItem &item, const QString &destination, const QStringList &copies,
             const QStringList &backups);

    // The lines read or added that could be entries, either format.
    int entryCount() const { return m_count; }

private:
    struct CopiedFile
    {
        QString name; // on the card
        qint64 size = 0;
        QString copy;
        QString backup; // empty without one
    };

    static QStringList keyFieldsOf(const IngestItem &item, const QString &destination);
    static QByteArray escapedKeyOf(const IngestItem &item, const QString &destination);
    void read(QByteArray line);
    bool provedBy(const QByteArray &files, const IngestItem &item) const;

    QString m_path;
    // Lines are kept as read and their files parsed only for the photos
    // asked about: a log of years of imports is read in a blink.
    QHash<QByteArray, QList<QByteArray>> m_recorded; // escaped key fields → the rest of each line
    QSet<QByteArray> m_earlier;                       // lines of the earlier format: the key as written
    int m_count = 0;
};

} // namespace PhotoCore
