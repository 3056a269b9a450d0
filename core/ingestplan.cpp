#include "core/ingestplan.h"

#include "core/folderlisting.h"
#include "core/photopairs.h"
#include "core/phototransfer.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>

#include <algorithm>

namespace PhotoCore {

namespace {

QString twoDigits(int value)
{
    return QStringLiteral("%1").arg(value, 2, 10, QLatin1Char('0'));
}

// Every {token} of `text` replaced by `value(token)`; unknown tokens stay as written.
QString expandTokens(const QString &text, const std::function<QString(QStringView)> &value)
{
    static const QRegularExpression token(QStringLiteral("\\{([a-z]+)\\}"));
    QString out;
    qsizetype last = 0;
    for (auto it = token.globalMatch(text); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        out += QStringView(text).mid(last, match.capturedStart() - last);
        const QString replaced = value(match.capturedView(1));
        out += replaced.isNull() ? match.captured() : replaced;
        last = match.capturedEnd();
    }
    out += QStringView(text).mid(last);
    return out;
}

QString tokenValue(QStringView name, const IngestTokens &tokens)
{
    const QDate date = tokens.captured.date();
    const QTime time = tokens.captured.time();
    if (name == QLatin1String("year"))
        return QString::number(date.year());
    if (name == QLatin1String("month"))
        return twoDigits(date.month());
    if (name == QLatin1String("day"))
        return twoDigits(date.day());
    if (name == QLatin1String("date"))
        return QString::number(date.year()) + twoDigits(date.month()) + twoDigits(date.day());
    if (name == QLatin1String("time"))
        return twoDigits(time.hour()) + twoDigits(time.minute()) + twoDigits(time.second());
    if (name == QLatin1String("camera"))
        return tokens.camera.trimmed().isEmpty() ? QStringLiteral("Unknown") : tokens.camera.trimmed();
    if (name == QLatin1String("original"))
        return tokens.original;
    if (name == QLatin1String("sequence"))
        return QStringLiteral("%1").arg(tokens.sequence, 4, 10, QLatin1Char('0'));
    return QString();
}

QString baseNameOf(const QString &path)
{
    const QString name = QFileInfo(path).fileName();
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot > 0 ? name.left(dot) : name;
}

QString suffixOf(const QString &path)
{
    return QFileInfo(path).suffix().toLower();
}

// The files of one folder of the card that travel: photos grouped with their
// partners and sidecars, videos when asked for (each with its sidecar).
QList<TransferGroup> groupsOf(const QString &folder, bool alsoVideos, int &leftOnCard)
{
    const QStringList photos = listPhotoFiles(folder);
    const PhotoPairs pairs = pairRawWithJpeg(photos);
    QList<TransferGroup> groups = transferGroupsFor(pairs.shown, photos, pairs.partners);
    QSet<QString> taken(photos.cbegin(), photos.cend());
    for (const TransferGroup &group : std::as_const(groups))
        taken.insert(QDir::cleanPath(group.sidecar).toLower());
    const QDir dir(folder);
    for (const QString &name : dir.entryList(QDir::Files | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase)) {
        const QString path = dir.filePath(name);
        if (taken.contains(path) || taken.contains(QDir::cleanPath(path).toLower()))
            continue;
        if (alsoVideos && videoExtensions().contains(suffixOf(path)))
            groups.append(TransferGroup{{path}, QString(), false});
        else if (suffixOf(path) != QLatin1String("xmp"))
            ++leftOnCard;
    }
    // A video's sidecar goes with it.
    for (TransferGroup &group : groups) {
        if (group.sidecar.isEmpty())
            group.sidecar = QFileInfo::exists(dir.filePath(baseNameOf(group.files.first()) + QStringLiteral(".xmp")))
                                ? dir.filePath(baseNameOf(group.files.first()) + QStringLiteral(".xmp"))
                                : QString();
    }
    return groups;
}

IngestItem itemFor(const TransferGroup &group, const IngestFactsReader &readFacts)
{
    IngestItem item;
    item.files = group.files;
    // The JPEG of a pair first: its Exif is the one every camera writes whole.
    std::stable_sort(item.files.begin(), item.files.end(),
                     [](const QString &a, const QString &b) { return isJpegPhoto(a) && !isJpegPhoto(b); });
    if (!group.sidecar.isEmpty() && QFileInfo(group.sidecar).isFile())
        item.files.append(group.sidecar);
    for (const QString &file : std::as_const(item.files))
        item.sizes.append(QFileInfo(file).size());
    item.video = videoExtensions().contains(suffixOf(item.files.first()));
    for (const QString &file : std::as_const(group.files)) {
        const IngestFacts facts = readFacts && !item.video ? readFacts(file) : IngestFacts{};
        if (!item.captured.isValid() && facts.captured.isValid()) {
            item.captured = facts.captured;
            item.fromExif = true;
        }
        if (item.camera.isEmpty())
            item.camera = facts.camera;
    }
    if (!item.captured.isValid())
        item.captured = QFileInfo(item.files.first()).fileTime(QFileDevice::FileModificationTime);
    return item;
}

} // namespace

QString portableName(const QString &name)
{
    QString out;
    out.reserve(name.size());
    for (const QChar c : name) {
        const bool forbidden = c.unicode() < 32 || QStringView(u"<>:\"/\\|?*").contains(c);
        out += forbidden ? QLatin1Char('_') : c;
    }
    while (out.endsWith(QLatin1Char('.')) || out.endsWith(QLatin1Char(' ')))
        out.chop(1);
    out = out.trimmed();
    static const QRegularExpression reserved(QStringLiteral("^(con|prn|aux|nul|com[1-9]|lpt[1-9])(\\..*)?$"),
                                             QRegularExpression::CaseInsensitiveOption);
    if (reserved.match(out).hasMatch()) {
        const qsizetype dot = out.indexOf(QLatin1Char('.'));
        out.insert(dot < 0 ? out.size() : dot, QLatin1Char('_'));
    }
    return out.isEmpty() ? QStringLiteral("_") : out;
}

QString expandFolderTemplate(const QString &folderTemplate, const IngestTokens &tokens)
{
    QStringList folders;
    const QStringList parts = QString(folderTemplate).replace(QLatin1Char('\\'), QLatin1Char('/'))
                                  .split(QLatin1Char('/'), Qt::SkipEmptyParts);
    for (const QString &part : parts) {
        const QString expanded = expandTokens(part, [&](QStringView name) { return tokenValue(name, tokens); });
        // "." and ".." would climb out of the destination.
        if (expanded.trimmed().isEmpty() || expanded == QLatin1String(".") || expanded == QLatin1String(".."))
            continue;
        folders.append(portableName(expanded));
    }
    return folders.join(QLatin1Char('/'));
}

QString expandNameTemplate(const QString &nameTemplate, const IngestTokens &tokens)
{
    if (nameTemplate.trimmed().isEmpty())
        return tokens.original;
    return portableName(expandTokens(nameTemplate, [&](QStringView name) { return tokenValue(name, tokens); }));
}

qint64 IngestItem::bytes() const
{
    qint64 total = 0;
    for (const qint64 size : sizes)
        total += size;
    return total;
}

int IngestPlan::newCount() const
{
    return int(std::count_if(items.cbegin(), items.cend(), [](const IngestItem &i) { return !i.alreadyImported; }));
}

int IngestPlan::skippedCount() const
{
    return int(items.size()) - newCount();
}

qint64 IngestPlan::newBytes() const
{
    qint64 total = 0;
    for (const IngestItem &item : items)
        total += item.alreadyImported ? 0 : item.bytes();
    return total;
}

const QSet<QString> &videoExtensions()
{
    static const QSet<QString> extensions{QStringLiteral("mov"), QStringLiteral("mp4"), QStringLiteral("m4v"),
                                          QStringLiteral("avi"), QStringLiteral("mts"), QStringLiteral("m2ts"),
                                          QStringLiteral("mpg"), QStringLiteral("3gp"), QStringLiteral("mkv"),
                                          QStringLiteral("crm")};
    return extensions;
}

IngestPlan planIngest(const QString &source, const IngestTemplates &templates, bool alsoVideos,
                      const IngestFactsReader &readFacts, const std::function<bool(const IngestItem &)> &isImported)
{
    IngestPlan plan;
    plan.source = QDir::cleanPath(source);
    QStringList folders;
    listPhotoTree(plan.source, 8, &folders);
    for (const QString &folder : std::as_const(folders)) {
        for (const TransferGroup &group : groupsOf(folder, alsoVideos, plan.leftOnCard))
            plan.items.append(itemFor(group, readFacts));
    }
    std::stable_sort(plan.items.begin(), plan.items.end(), [](const IngestItem &a, const IngestItem &b) {
        if (a.captured != b.captured)
            return a.captured < b.captured;
        return QFileInfo(a.files.first()).fileName() < QFileInfo(b.files.first()).fileName();
    });
    int sequence = 0;
    for (IngestItem &item : plan.items) {
        // Named as the next new photo would be, which an earlier import may have made.
        const IngestTokens tokens{item.captured, item.camera, baseNameOf(item.files.first()), sequence + 1};
        item.folder = expandFolderTemplate(templates.folders, tokens);
        item.baseName = expandNameTemplate(templates.names, tokens);
        item.alreadyImported = isImported && isImported(item);
        if (!item.alreadyImported)
            ++sequence;
    }
    return plan;
}

QString dcimFolder(const QString &volumeRoot)
{
    const QDir root(volumeRoot);
    for (const QString &name : root.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        if (name.compare(QLatin1String("DCIM"), Qt::CaseInsensitive) == 0)
            return root.filePath(name);
    }
    return QString();
}

} // namespace PhotoCore
