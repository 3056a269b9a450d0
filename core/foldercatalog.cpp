#include "core/foldercatalog.h"

#include <QDirIterator>
#include <QFileInfo>

namespace PhotoCore {

const QSet<QString> &supportedExtensions()
{
    // Initialised once (thread-safe static), read-only afterwards.
    static const QSet<QString> extensions{
        QStringLiteral("jpg"), QStringLiteral("jpeg"), QStringLiteral("png"),
        QStringLiteral("tif"), QStringLiteral("tiff"), QStringLiteral("bmp"),
        QStringLiteral("dng"), QStringLiteral("cr2"),  QStringLiteral("cr3"),
        QStringLiteral("nef"), QStringLiteral("arw"),  QStringLiteral("orf"),
        QStringLiteral("raf"), QStringLiteral("rw2"),
    };
    return extensions;
}

QStringList listPhotoFiles(const QString &folder)
{
    const QSet<QString> &extensions = supportedExtensions();
    QStringList paths;
    QDirIterator it(folder, QDir::Files | QDir::Readable);
    while (it.hasNext()) {
        it.next();
        // Only the name is looked at: content and decodability play no part here.
        if (extensions.contains(it.fileInfo().suffix().toLower()))
            paths << folder + QLatin1Char('/') + it.fileName();
    }
    paths.sort(Qt::CaseInsensitive);
    return paths;
}

} // namespace PhotoCore
