#include "core/phototransfer.h"

#include "core/checkedcopy.h"
#include "core/filemoves.h"
#include "core/photopairs.h"
#include "core/sidecarpaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

// The texts of a transfer's failures.
class PhotoTransfer
{
    Q_DECLARE_TR_FUNCTIONS(PhotoTransfer)
};

namespace PhotoCore {

namespace {

// "IMG_1" and ".CR3" of "IMG_1.CR3"; a name without a dot has no suffix.
QPair<QString, QString> splitName(const QString &fileName)
{
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    if (dot <= 0)
        return {fileName, QString()};
    return {fileName.left(dot), fileName.mid(dot)};
}

struct Job
{
    const TransferProgress &progress;
    qint64 done = 0;
    qint64 total = 0;
    bool cancelled = false;

    bool report(const QString &file)
    {
        if (!cancelled && progress && !progress(done, total, file))
            cancelled = true;
        return !cancelled;
    }
};

// The checked copy, counted in the job's progress. On failure `reason` says
// why; a cancel leaves it empty.
bool copyChecked(const QString &source, const QString &target, Job &job, QString &reason)
{
    const CopyCheck check = PhotoCore::copyChecked(source, target, [&job, &source](qint64 n) {
        job.done += n;
        return job.report(source);
    });
    if (check.ok())
        return true;
    if (!job.cancelled)
        reason = check.reason.isEmpty() ? PhotoTransfer::tr("it cannot be copied") : check.reason;
    return false;
}

QString stemOf(const QString &fileName)
{
    return splitName(fileName).first.toLower();
}

// One file of a group on its way.
struct Step
{
    QString source;
    QString target;
    bool keepSource = false; // a shared sidecar, or a copy
    bool sidecar = false;    // counts for nothing in the progress
    bool renamed = false;
    bool made = false;
};

// Carries out a group's steps in order: a rename within one file system, a
// checked copy across. Stops at the first failure, saying why.
void carryOut(QList<Step> &steps, Job &job, QString &failure, QString &failedPath)
{
    for (Step &step : steps) {
        if (!step.keepSource) {
            QString error;
            const RenameOutcome renamed = renameWithin(step.source, step.target, &error);
            if (renamed == RenameOutcome::Renamed) {
                step.renamed = step.made = true;
                job.done += step.sidecar ? 0 : QFileInfo(step.target).size();
                continue;
            }
            if (renamed == RenameOutcome::Failed) {
                failure = PhotoTransfer::tr("it cannot be moved to %1: %2")
                              .arg(QDir::toNativeSeparators(step.target), error);
                failedPath = step.source;
                return;
            }
            // Another file system: copy, and delete the original once the group is whole.
        }
        if (!copyChecked(step.source, step.target, job, failure)) {
            failedPath = step.source;
            return;
        }
        step.made = true;
        if (job.cancelled)
            return;
    }
}

// Undoes what carryOut did: renamed files go back, copies made are removed.
void takeBack(const QList<Step> &steps, TransferResult &result)
{
    for (const Step &step : steps) {
        if (step.renamed) {
            QString error;
            if (renameWithin(step.target, step.source, &error) != RenameOutcome::Renamed)
                result.failures.append({step.source, PhotoTransfer::tr("it was left at %1: %2")
                                                         .arg(QDir::toNativeSeparators(step.target), error)});
        } else if (step.made) {
            QFile::remove(step.target);
        }
    }
}

// A move's last part, once every copy of the group is whole: the copies'
// names are made durable in their `folders`, then the copied originals go.
void deleteCopiedOriginals(const QList<Step> &steps, const QStringList &folders, TransferResult &result)
{
    for (const QString &folder : folders)
        syncFolder(folder);
    for (const Step &step : steps) {
        if (step.renamed || step.keepSource)
            continue;
        if (!QFile::remove(step.source))
            result.failures.append({step.source, PhotoTransfer::tr("copied, but the original cannot be deleted")});
    }
}

} // namespace

QString resolvedFolder(const QString &path)
{
    const QString canonical = QFileInfo(path).canonicalFilePath();
    return QDir::cleanPath(canonical.isEmpty() ? QFileInfo(path).absoluteFilePath() : canonical);
}

QString freeBaseName(const QString &base, const QSet<QString> &takenStems)
{
    for (int n = 1;; ++n) {
        const QString candidate = n == 1 ? base : QStringLiteral("%1 (%2)").arg(base).arg(n);
        if (!takenStems.contains(candidate.toLower()))
            return candidate;
    }
}

TransferResult transferPhotos(const QList<TransferGroup> &groups, const QString &targetDir, TransferMode mode,
                              const TransferProgress &progress)
{
    TransferResult result;
    QSet<QString> takenStems;
    const QDir target(targetDir);
    for (const QString &name : target.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot))
        takenStems.insert(stemOf(name));
    const QString resolvedTarget = resolvedFolder(targetDir);
    Job job{progress};
    for (const TransferGroup &group : groups) {
        for (const QString &file : group.files)
            job.total += QFileInfo(file).size();
    }
    const bool move = mode == TransferMode::Move;

    for (const TransferGroup &group : groups) {
        if (group.files.isEmpty())
            continue;
        if (!job.report(group.files.first()))
            break;
        // Every file of the group, the sidecar last, under one free base name.
        QStringList sources = group.files;
        if (!group.sidecar.isEmpty() && QFileInfo(group.sidecar).isFile())
            sources.append(group.sidecar);
        const QString newBase = freeBaseName(splitName(QFileInfo(group.files.first()).fileName()).first, takenStems);
        QList<Step> steps;
        TransferOutcome outcome;
        for (const QString &source : std::as_const(sources)) {
            Step step;
            step.source = source;
            step.target = target.filePath(newBase + splitName(QFileInfo(source).fileName()).second);
            step.keepSource = !move || (source == group.sidecar && group.sidecarShared);
            step.sidecar = source == group.sidecar;
            steps.append(step);
            outcome.files.append(source);
            outcome.to.append(step.target);
        }

        QString failure, failedPath;
        // A copy beside itself would only duplicate the photo (and join it as a
        // burst of one); neither copy nor move makes anything there.
        if (resolvedFolder(QFileInfo(group.files.first()).absolutePath()) == resolvedTarget) {
            failure = PhotoTransfer::tr("it is already in this folder");
            failedPath = group.files.first();
        }
        if (failedPath.isEmpty())
            carryOut(steps, job, failure, failedPath);
        if (!failedPath.isEmpty() || job.cancelled) {
            takeBack(steps, result);
            if (job.cancelled)
                break;
            result.failures.append({failedPath, failure});
            outcome.reason = QStringLiteral("%1: %2").arg(QFileInfo(failedPath).fileName(), failure);
            result.outcomes.append(outcome);
            continue;
        }
        if (move)
            deleteCopiedOriginals(steps, {targetDir}, result);
        for (const Step &step : std::as_const(steps)) {
            takenStems.insert(stemOf(QFileInfo(step.target).fileName()));
            result.written.append(step.target);
        }
        outcome.ok = true;
        result.outcomes.append(outcome);
        ++result.photosDone;
    }
    result.cancelled = job.cancelled;
    return result;
}

TransferResult moveExactly(const QList<QPair<QString, QString>> &moves)
{
    TransferResult result;
    QList<Step> steps;
    QStringList folders;
    for (const auto &[source, target] : moves) {
        // A name taken in the meantime is someone else's file: nothing moves.
        const QFileInfo there(target);
        if (there.exists() || there.isSymLink())
            result.failures.append({target, PhotoTransfer::tr("another file now has this name")});
        Step step;
        step.source = source;
        step.target = target;
        steps.append(step);
        const QString folder = there.absolutePath();
        if (!folders.contains(folder))
            folders.append(folder);
    }
    if (!result.failures.isEmpty())
        return result;
    const TransferProgress none;
    Job job{none};
    QString failure, failedPath;
    carryOut(steps, job, failure, failedPath);
    if (!failedPath.isEmpty()) {
        takeBack(steps, result);
        result.failures.append({failedPath, failure});
        return result;
    }
    deleteCopiedOriginals(steps, folders, result);
    for (const Step &step : std::as_const(steps))
        result.written.append(step.target);
    result.photosDone = int(moves.size());
    return result;
}

QList<TransferGroup> transferGroupsFor(const QStringList &photos, const QStringList &listedFiles,
                                       const QHash<QString, QString> &partners)
{
    const QSet<QString> listed(listedFiles.cbegin(), listedFiles.cend());
    QList<TransferGroup> groups;
    QHash<QString, qsizetype> groupOfStem;
    QSet<QString> taken;
    QStringList leaving;
    const auto add = [&](TransferGroup &group, const QString &path) {
        if (path.isEmpty() || taken.contains(path))
            return;
        taken.insert(path);
        group.files.append(path);
        leaving.append(path);
    };
    for (const QString &photo : photos) {
        if (!listed.contains(photo))
            continue;
        const QString stem = photoStem(photo).toString();
        auto at = groupOfStem.constFind(stem);
        if (at == groupOfStem.cend()) {
            at = groupOfStem.insert(stem, groups.size());
            groups.append(TransferGroup{{}, sidecarPathFor(photo), false});
        }
        TransferGroup &group = groups[*at];
        add(group, photo);
        // A pair travels whole, whether it is shown as one photo or not.
        add(group, partners.value(photo));
    }
    const auto normalise = [](const QString &path) { return QDir::cleanPath(path).toLower(); };
    QSet<QString> movable;
    for (const QString &sidecar : sidecarsToMoveWith(listedFiles, leaving))
        movable.insert(normalise(sidecar));
    for (TransferGroup &group : groups)
        group.sidecarShared = !group.sidecar.isEmpty() && !movable.contains(normalise(group.sidecar));
    return groups;
}

} // namespace PhotoCore
