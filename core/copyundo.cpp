#include "core/copyundo.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

namespace PhotoCore {

namespace {

struct Texts
{
    Q_DECLARE_TR_FUNCTIONS(CopyUndo)
};

} // namespace

MadeCopies madeCopies(const TransferResult &result)
{
    MadeCopies copies;
    for (const TransferOutcome &outcome : result.outcomes) {
        if (!outcome.ok)
            continue;
        QList<MadeCopies::File> files;
        for (const QString &path : outcome.to) {
            const QFileInfo info(path);
            if (info.isFile())
                files.append({path, info.size(), info.lastModified()});
        }
        if (!files.isEmpty())
            copies.photos.append(files);
    }
    return copies;
}

CopiesRemoved removeUnchangedCopies(const MadeCopies &copies)
{
    CopiesRemoved removed;
    for (const QList<MadeCopies::File> &photo : copies.photos) {
        QString changed;
        for (const MadeCopies::File &file : photo) {
            const QFileInfo info(file.path);
            if (info.exists() && (!info.isFile() || info.size() != file.size || info.lastModified() != file.modified)) {
                changed = file.path;
                break;
            }
        }
        if (!changed.isEmpty()) {
            removed.kept.append({changed, Texts::tr("it changed after it was copied")});
            continue;
        }
        QString failed;
        QString reason;
        for (const MadeCopies::File &file : photo) {
            QFile copy(file.path);
            if (copy.exists() && !copy.remove() && failed.isEmpty()) {
                failed = file.path;
                reason = copy.errorString();
            }
        }
        if (failed.isEmpty())
            ++removed.photos;
        else
            removed.kept.append({failed, reason});
    }
    return removed;
}

} // namespace PhotoCore
