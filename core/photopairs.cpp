#include "core/photopairs.h"

#include <QSet>

namespace PhotoCore {

namespace {

QString extensionOf(const QString &path)
{
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    const qsizetype dot = path.lastIndexOf(QLatin1Char('.'));
    return dot > slash + 1 ? path.mid(dot + 1).toLower() : QString();
}

// The folder and base name, which the sidecar of the photo is named after.
QString baseOf(const QString &path)
{
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    const qsizetype dot = path.lastIndexOf(QLatin1Char('.'));
    return dot > slash + 1 ? path.left(dot) : path;
}

} // namespace

bool isRawPhoto(const QString &path)
{
    static const QSet<QString> raw{
        QStringLiteral("dng"), QStringLiteral("cr2"), QStringLiteral("cr3"), QStringLiteral("nef"),
        QStringLiteral("arw"), QStringLiteral("orf"), QStringLiteral("raf"), QStringLiteral("rw2"),
    };
    return raw.contains(extensionOf(path));
}

bool isJpegPhoto(const QString &path)
{
    const QString extension = extensionOf(path);
    return extension == QLatin1String("jpg") || extension == QLatin1String("jpeg");
}

PhotoPairs pairRawWithJpeg(const QStringList &files)
{
    struct Group
    {
        QString jpeg;
        QString raw;
        int members = 0;
    };
    QHash<QString, Group> groups;
    groups.reserve(files.size());
    for (const QString &path : files) {
        Group &group = groups[baseOf(path)];
        ++group.members;
        if (isJpegPhoto(path))
            group.jpeg = path;
        else if (isRawPhoto(path))
            group.raw = path;
    }

    PhotoPairs pairs;
    for (const Group &group : std::as_const(groups)) {
        if (group.members == 2 && !group.jpeg.isEmpty() && !group.raw.isEmpty()) {
            pairs.partners.insert(group.jpeg, group.raw);
            pairs.partners.insert(group.raw, group.jpeg);
        }
    }
    pairs.shown.reserve(files.size() - pairs.partners.size() / 2);
    for (const QString &path : files) {
        if (!(isRawPhoto(path) && pairs.partners.contains(path)))
            pairs.shown.append(path);
    }
    return pairs;
}

} // namespace PhotoCore
