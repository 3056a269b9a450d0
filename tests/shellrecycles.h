#pragma once

#include <QFile>
#include <QString>

// Whether the shell moves files out of `folder` into the recycle bin at all.
// Some refuse every move (Wine's, for one); there a test can only check that
// nothing was lost. On Linux the tests' trash is the freedesktop.org one below
// their own data folder, which always takes files.
inline bool shellRecycles(const QString &folder)
{
#ifdef Q_OS_WIN
    const QString probe = folder + QStringLiteral("/recycle-probe.txt");
    QFile file(probe);
    if (!file.open(QIODevice::WriteOnly) || file.write("probe") != 5)
        return false;
    file.close();
    const bool moved = QFile::moveToTrash(probe) && !QFile::exists(probe);
    QFile::remove(probe);
    return moved;
#else
    Q_UNUSED(folder);
    return true;
#endif
}
