#include "core/ingest.h"

#include "core/checkedcopy.h"
#include "core/filemoves.h"
#include "core/phototransfer.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QStandardPaths>
#include <QTextStream>

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
            QSet<QString> stems;
            for (const QString &name : QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System
                                                              | QDir::NoDotAndDotDot))
                stems.insert(stemOf(name));
            it = m_taken.insert(folder, stems);
        }
        return *it;
    }
    void add(const QString &folder, const QString &base) { m_taken[folder].insert(base.toLower()); }

private:
    QHash<QString, QSet<QString>> m_taken;
};

QString destinationKey(const QString &destination)
{
    return resolvedFolder(destination);
}

} // namespace

// ---- The log ------------------------------------------------------------------

IngestLog::IngestLog(const QString &path)
    : m_path(path)
{
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return;
    QTextStream in(&file);
    in.setEncoding(QStringConverter::Utf8);
    QString line;
    while (in.readLineInto(&line)) {
        if (!line.isEmpty())
            m_keys.insert(line);
    }
}

QString IngestLog::defaultPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation) + QStringLiteral("/import-log.tsv");
}

QString IngestLog::keyOf(const IngestItem &item, const QString &destination)
{
    // Tabs cannot occur in a name from a card; the time to the millisecond as recorded.
    return QStringList{QFileInfo(item.files.first()).fileName(), QString::number(item.sizes.value(0)),
                       item.captured.toString(Qt::ISODateWithMs), destinationKey(destination)}
        .join(QLatin1Char('\t'));
}

bool IngestLog::contains(const IngestItem &item, const QString &destination) const
{
    if (item.files.isEmpty())
        return false;
    if (m_keys.contains(keyOf(item, destination)))
        return true;
    const QFileInfo there(QDir(destination).filePath(item.folder + QLatin1Char('/') + item.baseName
                                                     + suffixWithDot(item.files.first())));
    // A copy keeps its original's modification time.
    return there.isFile() && there.size() == item.sizes.value(0)
           && there.lastModified() == QFileInfo(item.files.first()).lastModified();
}

bool IngestLog::add(const IngestItem &item, const QString &destination)
{
    const QString key = keyOf(item, destination);
    if (m_keys.contains(key))
        return true;
    QDir().mkpath(QFileInfo(m_path).absolutePath());
    QFile file(m_path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text))
        return false;
    const QByteArray line = key.toUtf8() + '\n';
    if (file.write(line) != line.size())
        return false;
    m_keys.insert(key);
    return true;
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

        QStringList made;
        for (const auto &[source, target] : std::as_const(steps)) {
            if (!problem.isEmpty())
                break;
            const CopyCheck check = copyChecked(source, target, [&](qint64 n) {
                state.bytesDone += n;
                return report(source);
            });
            if (check.ok()) {
                made.append(target);
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
            default:
                problem = check.reason;
                break;
            }
            problem = QStringLiteral("%1: %2").arg(QFileInfo(source).fileName(), problem);
        }
        if (!problem.isEmpty()) {
            // All or nothing: a photo without its partner or its backup is not imported.
            for (const QString &file : std::as_const(made))
                QFile::remove(file);
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
        if (log)
            log->add(item, destination);
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
