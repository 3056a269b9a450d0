#pragma once

#include <QDateTime>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

#include <functional>

// Planning an import from a memory card (or any folder): which photos are
// new, and where each goes. Nothing is copied here; the capture facts come
// from a reader that the caller hands in, since Exif is read above this layer.
namespace PhotoCore {

// What a photo's own headers say about it; empty when they say nothing.
struct IngestFacts
{
    QDateTime captured;
    QString camera;
};

using IngestFactsReader = std::function<IngestFacts(const QString &path)>;

struct IngestTemplates
{
    // Below the destination; tokens {year} {month} {day} {camera}, "/" between folders.
    QString folders = defaultFolderTemplate();
    // The new base name; tokens {original} {date} {time} {sequence} {camera}.
    // Empty keeps the original names.
    QString names;

    static QString defaultFolderTemplate() { return QStringLiteral("{year}/{year}-{month}-{day}"); }
};

// The values the tokens of one photo stand for.
struct IngestTokens
{
    QDateTime captured;
    QString camera;   // "Unknown" stands in when empty
    QString original; // the original base name, without extension
    int sequence = 0; // counted from 1 over the photos of one import
};

// `name` made usable as one file or folder name on every system, Windows
// included: characters it forbids (< > : " / \ | ? * and control characters)
// become "_", trailing dots and spaces go, and its reserved device names
// (CON, NUL, COM1, …) get a "_" appended. Never empty.
QString portableName(const QString &name);

// The folder path below the destination for a photo ("2024/2024-05-01"): each
// folder of the template expanded and made portable; empty folders are left out.
QString expandFolderTemplate(const QString &folderTemplate, const IngestTokens &tokens);

// The base name of a photo's files; the original base name for an empty template.
QString expandNameTemplate(const QString &nameTemplate, const IngestTokens &tokens);

// One photo on the card with what travels with it: its pair partner and its
// sidecar, all renamed alike.
struct IngestItem
{
    QStringList files;      // on the card; the photo first, an existing sidecar last
    QList<qint64> sizes;    // of `files`
    QDateTime captured;     // from Exif, else the file's modification time
    bool fromExif = false;
    QString camera;
    QString folder;         // below the destination (and the backup), '/'-separated
    QString baseName;       // wanted, before any " (2)" for a name taken
    bool alreadyImported = false;
    bool video = false;

    qint64 bytes() const;
};

struct IngestPlan
{
    QString source;
    QList<IngestItem> items;   // in capture order
    int leftOnCard = 0;        // files neither photo, sidecar nor (when asked for) video

    int newCount() const;
    int skippedCount() const;
    qint64 newBytes() const;
};

// Lower-case extensions of the video files "Also copy videos" takes.
const QSet<QString> &videoExtensions();

// The photos below `source` (every subfolder, as DCIM/100CANON), grouped
// with their partners and sidecars, in capture order, their folders and
// names planned. `isImported` decides which are already imported. Sequence
// numbers count only the new photos.
IngestPlan planIngest(const QString &source, const IngestTemplates &templates, bool alsoVideos,
                      const IngestFactsReader &readFacts,
                      const std::function<bool(const IngestItem &)> &isImported = {});

// The card's own folder of photos: `volumeRoot`/DCIM when there is one.
QString dcimFolder(const QString &volumeRoot);

} // namespace PhotoCore
