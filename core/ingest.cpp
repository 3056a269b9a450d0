#include "core/ingest.h"

#include "core/checkedcopy.h"
#include "core/filemoves.h"
#include "core/partialcopy.h"
#include "core/phototransfer.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>

// The texts of an import's failures.
class PhotoIngest
{
    Q_DECLARE_TR_FUNCTIONS(PhotoIngest)
};

namespace PhotoCore {

namespace {

QString suffixWithDot(const QString &path)
{
    const QString name = QFileInfo(path).fileName();
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot > 0 ? name.mid(dot) : QString();
}

QString stemOf(const QString &fileName)
{
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    return (dot > 0 ? fileName.left(dot) : fileName).toLower();
}

// The base names taken in the folders of an import, read once per folder
// and kept up to date with what the import adds.
class TakenNames
{
public:
    const QSet<QString> &in(const QString &folder)
    {
        auto it = m_taken.find(folder);
        if (it == m_taken.end()) {
            // What a killed run left half-written goes before the names are counted.
            removeStalePartialCopies(folder);
            QSet<QString> stems;
            for (const QString &name : QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System
                                                              | QDir::NoDotAndDotDot)) {
                if (!isPartialCopyName(name))
                    stems.insert(stemOf(name));
            }
            it = m_taken.insert(folder, stems);
        }
        return *it;
    }
    void add(const QString &folder, const QString &base) { m_taken[folder].insert(base.toLower()); }

private:
    QHash<QString, QSet<QString>> m_taken;
};

// `path` with links resolved as far as it exists, the rest appended.
QString resolvedPath(const QString &path)
{
    const QString absolute = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    QString rest;
    for (QString at = absolute;;) {
        const QString canonical = QFileInfo(at).canonicalFilePath();
        if (!canonical.isEmpty())
            return QDir::cleanPath(canonical + rest);
        const QString parent = QFileInfo(at).path();
        if (parent == at)
            return absolute;
        rest.prepend(QLatin1Char('/') + QFileInfo(at).fileName());
        at = parent;
    }
}

// Whether `inner` is `outer` or lies below it.
bool within(const QString &inner, const QString &outer)
{
#if defined(Q_OS_WIN)
    const Qt::CaseSensitivity cs = Qt::CaseInsensitive;
#else
    const Qt::CaseSensitivity cs = Qt::CaseSensitive;
#endif
    if (inner.isEmpty() || outer.isEmpty())
        return false;
    const QString below = outer.endsWith(QLatin1Char('/')) ? outer : outer + QLatin1Char('/');
    return inner.compare(outer, cs) == 0 || inner.startsWith(below, cs);
}

} // namespace

IngestFolderClash ingestFolderClash(const QString &source, const QString &destination, const QString &backup)
{
    const QString from = source.isEmpty() ? QString() : resolvedPath(source);
    const QString into = destination.isEmpty() ? QString() : resolvedPath(destination);
    const QString second = backup.isEmpty() ? QString() : resolvedPath(backup);
    if (within(into, from) || within(second, from))
        return IngestFolderClash::OnSource;
    if (within(second, into) || within(into, second))
        return IngestFolderClash::BackupOverlaps;
    return IngestFolderClash::None;
}

// ---- The run --------------------------------------------------------------------

IngestResult runIngest(const IngestPlan &plan, const QString &destination, const QString &backup, IngestLog *log,
                       const IngestProgressFunction &progress)
{
    IngestResult result;
    IngestProgress state;
    const int copies = backup.isEmpty() ? 1 : 2;
    for (const IngestItem &item : plan.items) {
        if (!item.alreadyImported) {
            ++state.photos;
            state.bytes += item.bytes() * copies;
        }
    }
    const auto report = [&](const QString &file) {
        state.file = file;
        if (!result.cancelled && progress && !progress(state))
            result.cancelled = true;
        return !result.cancelled;
    };
    TakenNames taken;
    switch (ingestFolderClash(plan.source, destination, backup)) {
    case IngestFolderClash::OnSource:
        result.stopped = PhotoIngest::tr("The destination and the backup cannot lie in the folder imported from, %1.")
                             .arg(QDir::toNativeSeparators(plan.source));
        break;
    case IngestFolderClash::BackupOverlaps:
        result.stopped = PhotoIngest::tr("The backup %1 needs a folder of its own, outside the destination %2.")
                             .arg(QDir::toNativeSeparators(backup), QDir::toNativeSeparators(destination));
        break;
    case IngestFolderClash::None:
        break;
    }

    for (const IngestItem &item : plan.items) {
        IngestOutcome outcome;
        outcome.sources = item.files;
        const QString folder = QDir::cleanPath(QDir(destination).filePath(item.folder));
        const QString backupFolder = backup.isEmpty() ? QString() : QDir::cleanPath(QDir(backup).filePath(item.folder));
        if (item.alreadyImported) {
            outcome.state = IngestState::Skipped;
            ++result.skipped;
            result.outcomes.append(outcome);
            continue;
        }
        state.target.clear();
        if (!result.stopped.isEmpty() || result.cancelled || !report(item.files.first())) {
            outcome.reason = result.stopped.isEmpty() ? PhotoIngest::tr("cancelled")
                                                      : PhotoIngest::tr("not copied: the import stopped");
            ++result.notCopied;
            result.outcomes.append(outcome);
            continue;
        }

        QString problem;
        if (!QDir().mkpath(folder))
            problem = PhotoIngest::tr("the folder %1 cannot be made").arg(QDir::toNativeSeparators(folder));
        else if (!backupFolder.isEmpty() && !QDir().mkpath(backupFolder))
            problem = PhotoIngest::tr("the folder %1 cannot be made").arg(QDir::toNativeSeparators(backupFolder));
        QSet<QString> stems = taken.in(folder);
        if (!backupFolder.isEmpty())
            stems.unite(taken.in(backupFolder));
        const QString base = freeBaseName(item.baseName, stems);
        QList<QPair<QString, QString>> steps; // source → target, the destination's first
        for (const QString &file : item.files) {
            outcome.destinations.append(folder + QLatin1Char('/') + base + suffixWithDot(file));
            steps.append({file, outcome.destinations.last()});
        }
        for (const QString &file : item.files) {
            if (backupFolder.isEmpty())
                break;
            outcome.backups.append(backupFolder + QLatin1Char('/') + base + suffixWithDot(file));
            steps.append({file, outcome.backups.last()});
        }

        // Every copy of the photo is checked under its partial name before any takes its own.
        QStringList staged, published;
        for (const auto &[source, target] : std::as_const(steps)) {
            if (!problem.isEmpty())
                break;
            state.target = target;
            const CopyCheck check = stageCheckedCopy(source, target, [&](qint64 n) {
                state.bytesDone += n;
                return report(source);
            });
            if (check.ok()) {
                staged.append(target);
                continue;
            }
            const bool toBackup = !backupFolder.isEmpty() && target.startsWith(backupFolder + QLatin1Char('/'));
            switch (check.problem) {
            case CopyProblem::Cancelled:
                problem = PhotoIngest::tr("cancelled");
                break;
            case CopyProblem::TargetFull:
                result.stopped = toBackup ? PhotoIngest::tr("The backup folder %1 is full.")
                                                .arg(QDir::toNativeSeparators(backup))
                                          : PhotoIngest::tr("The destination %1 is full.")
                                                .arg(QDir::toNativeSeparators(destination));
                problem = check.reason;
                break;
            case CopyProblem::SourceGone:
                result.stopped = PhotoIngest::tr("The card or folder %1 can no longer be read; was it removed?")
                                     .arg(QDir::toNativeSeparators(plan.source));
                problem = check.reason;
                break;
            case CopyProblem::SourceShort:
                problem = PhotoIngest::tr("the file on the card ended before its size; the copy was refused");
                break;
            default:
                problem = check.reason;
                break;
            }
            problem = QStringLiteral("%1: %2").arg(QFileInfo(source).fileName(), problem);
        }
        state.target.clear();
        for (const QString &target : std::as_const(staged)) {
            if (!problem.isEmpty())
                break;
            const CopyCheck check = publishStagedCopy(target);
            if (check.ok())
                published.append(target);
            else
                problem = QStringLiteral("%1: %2").arg(QFileInfo(target).fileName(), check.reason);
        }
        if (!problem.isEmpty()) {
            // All or nothing: a photo without its partner or its backup is not imported.
            for (const QString &target : std::as_const(staged)) {
                if (published.contains(target))
                    QFile::remove(target);
                else
                    discardStagedCopy(target);
            }
            outcome.reason = problem;
            if (result.cancelled) {
                ++result.notCopied;
            } else {
                outcome.state = IngestState::Failed;
                ++result.failed;
            }
            result.outcomes.append(outcome);
            continue;
        }
        syncFolder(folder);
        taken.add(folder, base);
        if (!backupFolder.isEmpty()) {
            syncFolder(backupFolder);
            taken.add(backupFolder, base);
        }
        // Only now, with every copy whole under its name and the names durable.
        if (log)
            log->add(item, destination, outcome.destinations, outcome.backups);
        if (!result.folders.contains(folder))
            result.folders.append(folder);
        outcome.state = IngestState::Imported;
        ++result.imported;
        ++state.photosDone;
        result.outcomes.append(outcome);
    }
    report(QString());
    return result;
}

} // namespace PhotoCore
