#include "ui/recyclebin.h"

#include "core/filemoves.h"
#include "core/phototransfer.h"
#include "core/safefileio.h"
#include "core/sidecarpaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

namespace RecycleBin {

namespace {

// The trash's own record of a trashed file, which goes when the file comes back.
QString trashRecordOf(const QString &trashedPath)
{
    const QFileInfo trashed(trashedPath);
#if defined(Q_OS_WIN)
    // "$R…" holds the file, "$I…" beside it where it came from.
    QString name = trashed.fileName();
    if (!name.startsWith(QLatin1String("$R")))
        return QString();
    name[1] = QLatin1Char('I');
    return trashed.absoluteDir().filePath(name);
#else
    return QFileInfo(trashed.absolutePath()).absolutePath() + QStringLiteral("/info/") + trashed.fileName()
           + QStringLiteral(".trashinfo");
#endif
}

#if !defined(Q_OS_WIN)
// When the toolkit cannot establish a trash folder it still "succeeds", having
// moved the file to "files/<name>" below the working directory and written
// "info/<name>.trashinfo" beside it. Undo both so that the photo is where the
// user left it.
void restoreMisplaced(const QString &reported, const QString &originalPath)
{
    const QDir here = QDir::current();
    const QString misplaced = here.absoluteFilePath(reported);
    if (!QFileInfo::exists(misplaced) || !QFile::rename(misplaced, originalPath))
        return;
    const QString filesDir = QFileInfo(misplaced).absolutePath();
    const QString infoFile = trashRecordOf(misplaced);
    QFile::remove(infoFile);
    QDir().rmdir(filesDir);
    QDir().rmdir(QFileInfo(infoFile).absolutePath());
}

// The trash's record of where an item came from: without a whole one, file
// managers cannot put the item back. The toolkit ignores a failed write of it
// (a full disk leaves it empty) and moves the file all the same.
bool infoFileIsWhole(const QString &trashedPath)
{
    QByteArray bytes;
    if (PhotoCore::readRegularFile(trashRecordOf(trashedPath), 1 << 16, bytes) != PhotoCore::FileReadResult::Read)
        return false;
    return bytes.startsWith("[Trash Info]\n") && bytes.contains("\nPath=") && bytes.contains("\nDeletionDate=")
           && bytes.endsWith('\n');
}

// Takes a trashed item back to where it was, and its broken record with it.
void takeBack(const QString &trashedPath, const QString &originalPath)
{
    QString error;
    if (PhotoCore::renameWithin(trashedPath, originalPath, &error) != PhotoCore::RenameOutcome::Renamed)
        return; // it stays in the trash, which is reported as a failure all the same
    QFile::remove(trashRecordOf(trashedPath));
}
#endif

} // namespace

bool moveToTrash(const QString &path, QString *trashedAt)
{
#if defined(Q_OS_WIN)
    // The shell does not always say where an item went (the reported name is
    // then empty), and an item it skipped still counts as success: the toolkit
    // refuses to delete for good what cannot be recycled. Whether the photo
    // left its folder is what counts.
    QFile file(path);
    if (!file.moveToTrash())
        return false;
    if (trashedAt && file.fileName() != path && QDir::isAbsolutePath(file.fileName()))
        *trashedAt = file.fileName();
    return !QFileInfo::exists(path);
#else
    // Without the per-user data folder the toolkit finds no trash and falls back
    // to the working directory (see restoreMisplaced).
    const QString dataHome = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (!dataHome.isEmpty())
        QDir().mkpath(dataHome);

    QFile file(path);
    if (!file.moveToTrash())
        return false;
    const QString reported = file.fileName();
    if (!QDir::isAbsolutePath(reported)) {
        restoreMisplaced(reported, path);
        return false;
    }
    if (!infoFileIsWhole(reported)) {
        takeBack(reported, path);
        return false;
    }
    if (trashedAt)
        *trashedAt = reported;
    return true;
#endif
}


bool canRestore(const QList<QPair<QString, QString>> &trashed)
{
    for (const auto &[original, trashedPath] : trashed) {
        if (trashedPath.isEmpty() || !QFileInfo::exists(trashedPath))
            return false;
    }
    return !trashed.isEmpty();
}

QString restore(const QList<QPair<QString, QString>> &trashed)
{
    if (!canRestore(trashed))
        return QCoreApplication::translate("MainWindow", "The move to the Recycle Bin cannot be undone here");
    QList<QPair<QString, QString>> back;
    for (const auto &[original, trashedPath] : trashed)
        back.append({trashedPath, original});
    const PhotoCore::TransferResult result = PhotoCore::moveExactly(back);
    if (!result.failures.isEmpty()) {
        const PhotoCore::TransferFailure &first = result.failures.first();
        return QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(first.path), first.reason);
    }
    for (const auto &[original, trashedPath] : trashed) {
        const QString record = trashRecordOf(trashedPath);
        if (!record.isEmpty())
            QFile::remove(record);
    }
    return QString();
}

QString confirmationText(int photos, int files, int sidecars, bool selected, const QString &name)
{
    const QString filesText = QCoreApplication::translate("MainWindow", "%n file(s)", nullptr, files);
    if (photos == 1 && !name.isEmpty()) {
        // One photo is named: the user sees which one goes.
        const QString what = files > 1 ? QStringLiteral("%1 (%2)").arg(name, filesText) : name;
        if (sidecars > 0)
            return QCoreApplication::translate("MainWindow", "Move %1 and its XMP sidecar to the Recycle Bin?\n\n"
                                                             "The files will not be permanently deleted.")
                .arg(what);
        return QCoreApplication::translate("MainWindow", "Move %1 to the Recycle Bin?\n\nThe files will not be "
                                                         "permanently deleted.")
            .arg(what);
    }
    if (files == photos && selected && sidecars > 0) {
        return QCoreApplication::translate("MainWindow",
                                           "Move %1 selected photo(s) and %2 associated XMP sidecar(s) to the "
                                           "Recycle Bin?\n\nThe files will not be permanently deleted.")
            .arg(photos)
            .arg(sidecars);
    }
    const QString photosText = QCoreApplication::translate("MainWindow", "%n photo(s)", nullptr, photos);
    const QString what = files == photos ? photosText : QStringLiteral("%1 (%2)").arg(photosText, filesText);
    // Without sidecars there is nothing to count but the photos.
    if (sidecars == 0)
        return QCoreApplication::translate("MainWindow", "Move %1 to the Recycle Bin?\n\nThe files will not be "
                                                         "permanently deleted.")
            .arg(what);
    const QString sidecarsText = QCoreApplication::translate("MainWindow", "%n XMP sidecar(s)", nullptr, sidecars);
    if (files == photos) {
        return QCoreApplication::translate("MainWindow", "Move %1 and %2 to the Recycle Bin?\n\nThe files will not "
                                                         "be permanently deleted.")
            .arg(photosText, sidecarsText);
    }
    return QCoreApplication::translate("MainWindow", "Move %1 (%2) and %3 to the Recycle Bin?\n\nThe files will not "
                                                     "be permanently deleted.")
        .arg(photosText, filesText, sidecarsText);
}

int existingSidecarCount(const QStringList &allFiles, const QStringList &photos)
{
    int count = 0;
    for (const QString &sidecar : PhotoCore::sidecarsToMoveWith(allFiles, photos)) {
        if (QFileInfo::exists(sidecar))
            ++count;
    }
    return count;
}

Outcome movePhotos(const QStringList &allFiles, const QStringList &photos)
{
    Outcome outcome;
    for (const QString &photo : photos) {
        QString trashedAt;
        if (moveToTrash(photo, &trashedAt)) {
            outcome.moved.append(photo);
            outcome.trashed.append({photo, trashedAt});
        } else {
            outcome.failures.append(
                QCoreApplication::translate("MainWindow", "%1 (photo)").arg(QFileInfo(photo).fileName()));
        }
    }
    // Only photos that really went may take their sidecars along: a photo that
    // stayed keeps its marks.
    for (const QString &sidecar : PhotoCore::sidecarsToMoveWith(allFiles, outcome.moved)) {
        if (!QFileInfo::exists(sidecar))
            continue;
        QString trashedAt;
        if (moveToTrash(sidecar, &trashedAt))
            outcome.trashed.append({sidecar, trashedAt});
        else
            outcome.failures.append(
                QCoreApplication::translate("MainWindow", "%1 (XMP sidecar)").arg(QFileInfo(sidecar).fileName()));
    }
    return outcome;
}

} // namespace RecycleBin
