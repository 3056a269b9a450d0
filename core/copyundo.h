#pragma once

#include "core/phototransfer.h"

#include <QDateTime>
#include <QList>
#include <QString>

namespace PhotoCore {

// The copies one copy into another folder made, as they were when made, so
// that undoing it removes exactly what the user has not touched since.
struct MadeCopies
{
    struct File
    {
        QString path;
        qint64 size = -1;
        QDateTime modified;
    };
    QList<QList<File>> photos; // per photo that arrived whole: its copies, the sidecar last
};

MadeCopies madeCopies(const TransferResult &result);

struct CopiesRemoved
{
    int photos = 0;                 // photos whose copies are gone now
    QList<TransferFailure> kept;    // photos kept, by the copy that holds them back
};

// Removes each photo's copies where none of them changed since it was made
// (size and time of last change); a copy removed meanwhile is no reason to
// keep the rest. A photo with a changed copy keeps all of its copies, so that
// no sidecar is left without its photo nor a photo without its marks.
CopiesRemoved removeUnchangedCopies(const MadeCopies &copies);

} // namespace PhotoCore
