#pragma once

#include "core/ingestplan.h"

#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

#include <functional>

namespace PhotoCore {

// What was imported before, kept in a small file in the user's data folder:
// one line per photo with its original name, size and capture time and the
// destination it went to. A photo culled away after its import stays
// imported, so that putting the card back in does not bring it back.
class IngestLog
{
public:
    explicit IngestLog(const QString &path = defaultPath());

    // import-log.tsv in the per-user application data folder.
    static QString defaultPath();
    QString path() const { return m_path; }

    // Whether `item` was imported into `destination` before: the log has it,
    // or its copy (same name, size and modification time) is already where
    // the plan puts it.
    bool contains(const IngestItem &item, const QString &destination) const;
    // Records `item` as imported into `destination`; false when the log cannot be written.
    bool add(const IngestItem &item, const QString &destination);

private:
    static QString keyOf(const IngestItem &item, const QString &destination);

    QString m_path;
    QSet<QString> m_keys;
};

enum class IngestState {
    Imported,
    Skipped,  // imported before
    Failed,
    NotCopied // the import stopped or was cancelled before it
};

struct IngestOutcome
{
    QStringList sources;      // on the card
    QStringList destinations; // where each went (or was to go)
    QStringList backups;      // the same in the backup; empty without one
    IngestState state = IngestState::NotCopied;
    QString reason;           // for Failed and NotCopied
};

struct IngestResult
{
    QList<IngestOutcome> outcomes; // one per item of the plan, in its order
    int imported = 0;
    int skipped = 0;
    int failed = 0;
    int notCopied = 0;
    bool cancelled = false;
    QString stopped;     // why the import ended before its end, for the user
    QStringList folders; // the destination folders that received photos, in order

    bool allImported() const { return failed == 0 && notCopied == 0; }
};

struct IngestProgress
{
    int photosDone = 0;
    int photos = 0;
    qint64 bytesDone = 0;
    qint64 bytes = 0;
    QString file; // the file on the card at hand
};

// Returning false cancels; called on the thread that runs the import.
using IngestProgressFunction = std::function<bool(const IngestProgress &)>;

// Copies the new photos of `plan` below `destination` (and, when `backup` is
// not empty, a second time below `backup`, under the same folders and names),
// each file through the checked copy. A name taken in either folder gives the
// photo's files the base name "<name> (2)" in both. A photo counts as
// imported once every copy of each of its files is whole; then it goes into
// `log`. A photo that fails leaves nothing behind. A full destination or
// backup and a source that is gone (a card pulled out) stop the import; the
// photos imported so far stay. The card is only read. Runs on the calling thread.
IngestResult runIngest(const IngestPlan &plan, const QString &destination, const QString &backup, IngestLog *log,
                       const IngestProgressFunction &progress = {});

} // namespace PhotoCore
