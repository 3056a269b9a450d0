#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

namespace RecycleBin {

// Moves one file into the user's trash. Returns false when the toolkit
// refuses, and also when it claims success without naming an absolute trash
// location (it then has put the file somewhere below the working directory;
// the file is moved back to `path` when possible), or when the trash's record
// of the file's origin is not whole (a full disk), so that no file manager
// could restore it: the file is then moved back too. Never deletes anything.
// `trashedAt` receives where the file now is in the trash, or stays empty
// where the system does not say.
bool moveToTrash(const QString &path, QString *trashedAt = nullptr);

struct Outcome
{
    QStringList moved;    // photos now in the trash, in the order given
    QStringList failures; // "name (photo)" / "name (XMP sidecar)", translated
    // Every file that went (photos and sidecars): where it was → where it is
    // in the trash, empty where the system does not say.
    QList<QPair<QString, QString>> trashed;
};

// Moves `photos` (paths of `allFiles`, the open folder's photos) to the trash,
// each independently, then every existing sidecar whose users all moved.
// A sidecar that a photo staying behind still uses is never touched.
Outcome movePhotos(const QStringList &allFiles, const QStringList &photos);

// Whether `trashed` (as Outcome::trashed) can be put back by this program:
// the trash said where each file went, and each is still there.
bool canRestore(const QList<QPair<QString, QString>> &trashed);

// Puts trashed files back where they were, under their own names, and drops
// the trash's records of them. All or nothing: nothing moves when a name is
// taken meanwhile. Returns why not, or an empty string when all are back.
QString restore(const QList<QPair<QString, QString>> &trashed);

// The question before `photos` photos, made of `files` files, go to the
// trash with `sidecars` sidecars. `selected`: the user picked them one by one.
// A single photo is called by its file `name` where one is given; sidecars
// are mentioned only when there are any.
QString confirmationText(int photos, int files, int sidecars, bool selected, const QString &name = QString());

// How many of the sidecars `photos` would take along exist on disk.
int existingSidecarCount(const QStringList &allFiles, const QStringList &photos);

} // namespace RecycleBin
