#include "core/phototransfer.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStorageInfo>

#include <cstring>

#ifdef Q_OS_LINUX
#include <unistd.h>
#endif

namespace PhotoCore {

namespace {

constexpr qint64 chunkBytes = 8 * 1048576;
constexpr qint64 compareLimit = 64 * 1048576;

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

// Copies bytes [at, at + n) of `in` to the end of `out`: inside the kernel
// where the system can (no trip through our memory), else from the mapping.
bool copyRange(QFile &in, QFile &out, const uchar *mapped, qint64 at, qint64 n)
{
#ifdef Q_OS_LINUX
    loff_t from = at;
    qint64 left = n;
    while (left > 0) {
        const ssize_t copied = ::copy_file_range(in.handle(), &from, out.handle(), nullptr, size_t(left), 0);
        if (copied <= 0)
            break;
        left -= copied;
    }
    if (left == 0)
        return true;
    if (left != n)
        return false; // a partial in-kernel copy: the file position is no longer ours to trust
#endif
    return out.write(reinterpret_cast<const char *>(mapped + at), n) == n;
}

// Whether both files hold the same `size` bytes, read in blocks (reading is
// far cheaper than faulting in mapped pages one by one).
bool sameBytes(QFile &a, QFile &b, qint64 size)
{
    constexpr qint64 block = 1048576;
    QByteArray first(block, Qt::Uninitialized), second(block, Qt::Uninitialized);
    if (!a.seek(0) || !b.seek(0))
        return false;
    for (qint64 at = 0; at < size; at += block) {
        const qint64 n = qMin(block, size - at);
        if (a.read(first.data(), n) != n || b.read(second.data(), n) != n
            || std::memcmp(first.constData(), second.constData(), size_t(n)) != 0)
            return false;
    }
    return true;
}

// Copies `source` to the new file `target` and checks it. On failure (or a
// cancel) the partial target is removed and `reason` says why.
bool copyChecked(const QString &source, const QString &target, Job &job, QString &reason)
{
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        reason = in.errorString();
        return false;
    }
    const qint64 size = in.size();
    // NewOnly: the name is taken between our check and now, so it is not ours to write.
    QFile out(target);
    if (!out.open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered)) {
        reason = out.errorString();
        return false;
    }
    const uchar *mapped = size > 0 ? in.map(0, size) : nullptr;
    bool ok = size == 0 || mapped;
    for (qint64 at = 0; ok && at < size;) {
        const qint64 n = qMin(chunkBytes, size - at);
        ok = copyRange(in, out, mapped, at, n);
        at += n;
        job.done += n;
        if (ok && !job.report(source))
            ok = false;
    }
    ok = ok && out.flush();
    out.close();
    ok = ok && out.error() == QFileDevice::NoError;
    if (ok) {
        QFile check(target);
        ok = check.open(QIODevice::ReadOnly | QIODevice::Unbuffered) && check.size() == size;
        if (ok && size > 0 && size < compareLimit)
            ok = sameBytes(in, check, size);
        if (!ok && !job.cancelled)
            reason = QCoreApplication::translate("PhotoTransfer", "the copy differs from the original");
    } else if (!job.cancelled) {
        reason = out.errorString().isEmpty() ? in.errorString() : out.errorString();
    }
    if (!ok) {
        QFile::remove(target);
        return false;
    }
    const QFileInfo info(source);
    QFile stamp(target);
    if (stamp.open(QIODevice::ReadWrite))
        stamp.setFileTime(info.fileTime(QFileDevice::FileModificationTime), QFileDevice::FileModificationTime);
    return true;
}

bool sameFileSystem(const QString &a, const QString &b)
{
    const QStorageInfo first(a), second(b);
    return first.isValid() && second.isValid() && first.device() == second.device()
           && first.rootPath() == second.rootPath();
}

} // namespace

QString freeBaseName(const QString &base, const QStringList &suffixes, const QSet<QString> &taken)
{
    for (int n = 1;; ++n) {
        const QString candidate = n == 1 ? base : QStringLiteral("%1 (%2)").arg(base).arg(n);
        bool free = true;
        for (const QString &suffix : suffixes)
            free = free && !taken.contains((candidate + suffix).toLower());
        if (free)
            return candidate;
    }
}

TransferResult transferPhotos(const QList<TransferGroup> &groups, const QString &targetDir, TransferMode mode,
                              const TransferProgress &progress)
{
    TransferResult result;
    QSet<QString> taken;
    for (const QString &name : QDir(targetDir).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot))
        taken.insert(name.toLower());
    Job job{progress};
    for (const TransferGroup &group : groups) {
        for (const QString &file : group.files)
            job.total += QFileInfo(file).size();
    }
    const bool renameWithin = mode == TransferMode::Move && !groups.isEmpty() && !groups.first().files.isEmpty()
                              && sameFileSystem(QFileInfo(groups.first().files.first()).absolutePath(), targetDir);

    for (const TransferGroup &group : groups) {
        if (group.files.isEmpty())
            continue;
        if (!job.report(group.files.first()))
            break;
        // Source → target for every file of the group, the sidecar last.
        QList<QPair<QString, QString>> plan;
        QStringList suffixes;
        const QString base = splitName(QFileInfo(group.files.first()).fileName()).first;
        QStringList sources = group.files;
        if (!group.sidecar.isEmpty() && QFileInfo(group.sidecar).isFile())
            sources.append(group.sidecar);
        for (const QString &source : std::as_const(sources))
            suffixes.append(splitName(QFileInfo(source).fileName()).second);
        const QString newBase = freeBaseName(base, suffixes, taken);
        for (int i = 0; i < sources.size(); ++i)
            plan.append({sources.at(i), QDir(targetDir).filePath(newBase + suffixes.at(i))});

        QStringList made;      // targets created for this group
        QStringList renamed;   // sources renamed away (moves within one file system)
        QString failure, failedPath;
        for (const auto &[source, target] : std::as_const(plan)) {
            const bool sharedSidecar = source == group.sidecar && group.sidecarShared;
            if (renameWithin && !sharedSidecar) {
                if (QFile::exists(target) || !QFile::rename(source, target)) {
                    failure = QCoreApplication::translate("PhotoTransfer", "it cannot be moved to %1").arg(target);
                    failedPath = source;
                    break;
                }
                renamed.append(source);
                made.append(target);
                job.done += source == group.sidecar ? 0 : QFileInfo(target).size();
                continue;
            }
            if (!copyChecked(source, target, job, failure)) {
                failedPath = source;
                break;
            }
            made.append(target);
        }
        if (!failedPath.isEmpty() || job.cancelled) {
            // Undo this group: renamed files go back, copies made are removed.
            for (int i = 0; i < made.size(); ++i) {
                if (i < renamed.size())
                    QFile::rename(made.at(i), renamed.at(i));
                else
                    QFile::remove(made.at(i));
            }
            if (!job.cancelled)
                result.failures.append({failedPath, failure});
            if (job.cancelled)
                break;
            continue;
        }
        if (mode == TransferMode::Move && !renameWithin) {
            for (const auto &[source, target] : std::as_const(plan)) {
                if (source == group.sidecar && group.sidecarShared)
                    continue;
                if (!QFile::remove(source))
                    result.failures.append(
                        {source, QCoreApplication::translate("PhotoTransfer", "copied, but the original cannot be deleted")});
            }
        }
        for (const QString &target : std::as_const(made))
            taken.insert(QFileInfo(target).fileName().toLower());
        result.written += made;
        ++result.photosDone;
    }
    result.cancelled = job.cancelled;
    return result;
}

} // namespace PhotoCore
