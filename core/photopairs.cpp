#include "core/photopairs.h"

#include "core/rawformats.h"

#include <QStringView>

namespace PhotoCore {

namespace {

enum class Kind { Other, Jpeg, Raw };

// The part of `path` after its last dot, when the dot belongs to the file name.
QStringView extensionOf(QStringView path)
{
    const QStringView stem = photoStem(path);
    return stem.size() < path.size() ? path.mid(stem.size() + 1) : QStringView();
}

// Without building lower-case copies: a listing of ten thousand files is
// paired on every rescan.
Kind kindOf(QStringView path)
{
    const QStringView extension = extensionOf(path);
    if (extension.size() == 4)
        return extension.compare(QLatin1StringView("jpeg"), Qt::CaseInsensitive) == 0 ? Kind::Jpeg : Kind::Other;
    if (extension.size() == 3 && extension.compare(QLatin1StringView("jpg"), Qt::CaseInsensitive) == 0)
        return Kind::Jpeg;
    return isRawSuffix(extension) ? Kind::Raw : Kind::Other;
}

} // namespace

QStringView photoStem(QStringView path)
{
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    const qsizetype dot = path.lastIndexOf(QLatin1Char('.'));
    return dot > slash + 1 ? path.left(dot) : path;
}

bool isRawSuffix(QStringView suffix)
{
    return RawFormats::contains(suffix);
}

bool isJpegPhoto(const QString &path)
{
    return kindOf(path) == Kind::Jpeg;
}

PhotoPairs pairRawWithJpeg(const QStringList &files)
{
    struct Group
    {
        qsizetype jpeg = -1;
        qsizetype raw = -1;
        int members = 0;
    };
    // Keyed by views into `files`, which outlives the table.
    QHash<QStringView, Group> groups;
    groups.reserve(files.size());
    for (qsizetype i = 0; i < files.size(); ++i) {
        const QString &path = files.at(i);
        Group &group = groups[photoStem(path)];
        ++group.members;
        const Kind kind = kindOf(path);
        if (kind == Kind::Jpeg)
            group.jpeg = i;
        else if (kind == Kind::Raw)
            group.raw = i;
    }

    PhotoPairs pairs;
    QList<bool> pairedRaw(files.size(), false);
    for (const Group &group : std::as_const(groups)) {
        if (group.members == 2 && group.jpeg >= 0 && group.raw >= 0) {
            pairs.partners.insert(files.at(group.jpeg), files.at(group.raw));
            pairs.partners.insert(files.at(group.raw), files.at(group.jpeg));
            pairedRaw[group.raw] = true;
        }
    }
    pairs.shown.reserve(files.size() - pairs.partners.size() / 2);
    for (qsizetype i = 0; i < files.size(); ++i) {
        if (!pairedRaw.at(i))
            pairs.shown.append(files.at(i));
    }
    return pairs;
}

} // namespace PhotoCore
