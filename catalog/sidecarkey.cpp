#include "catalog/sidecarkey.h"

#include "core/photopairs.h"

#include <QDateTime>
#include <QFileInfo>

QString sidecarKey(const QString &photoPath)
{
    return PhotoCore::photoStem(photoPath).toString();
}

FileStamp stampOfFile(const QString &path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return {};
    return {info.size(), info.fileTime(QFileDevice::FileModificationTime).toMSecsSinceEpoch(),
            info.fileTime(QFileDevice::FileMetadataChangeTime).toMSecsSinceEpoch()};
}
