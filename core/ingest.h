#pragma once

#include "core/ingestlog.h"
#include "core/ingestplan.h"

#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

#include <functional>

namespace PhotoCore {

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
    QString file;   // the file on the card at hand
    QString target; // where it is being copied to; empty between copies
};

// Returning false cancels; called on the thread that runs the import.
using IngestProgressFunction = std::function<bool(const IngestProgress &)>;

// Folders an import cannot use together.
enum class IngestFolderClash {
    None,
    OnSource,      // the destination or the backup lies in the folder imported from
    BackupOverlaps // the backup is the destination, lies inside it, or holds it
};

// How `destination` and `backup` (empty: none) stand to each other and to
// `source`, links followed and, on Windows, case ignored; folders that do not
// exist yet are taken where they would be made.
IngestFolderClash ingestFolderClash(const QString &source, const QString &destination, const QString &backup);

// Copies the new photos of `plan` below `destination` (and, when `backup` is
// not empty, a second time below `backup`, under the same folders and names),
// each file through the checked copy. A name taken in either folder gives the
// photo's files the base name "<name> (2)" in both. A photo counts as
// imported once every copy of each of its files is whole: each is written
// under its partial name, checked, and all of a photo's copies then take their
// names together; then it goes into `log`. A photo that fails leaves nothing
// behind, and partial copies that a killed run left in the folders it writes
// to are removed. Folders that clash (ingestFolderClash) stop it before it
// copies anything. A full destination or
// backup and a source that is gone (a card pulled out) stop the import; the
// photos imported so far stay. The card is only read. Runs on the calling thread.
IngestResult runIngest(const IngestPlan &plan, const QString &destination, const QString &backup, IngestLog *log,
                       const IngestProgressFunction &progress = {});

} // namespace PhotoCore
