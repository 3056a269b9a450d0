#include "ui/transfertexts.h"

#include <QDir>

QString TransferTexts::photosText(int photos, bool selected)
{
    return selected ? tr("%n selected photo(s)", nullptr, photos) : tr("%n photo(s)", nullptr, photos);
}

QString TransferTexts::filterDescription(const QString &filterId)
{
    if (filterId.startsWith(QLatin1String("not:")))
        return tr("not %1").arg(filterDescription(filterId.mid(4)));
    const QString value = filterId.section(QLatin1Char(':'), 1);
    if (filterId == QLatin1String("zerostars"))
        return tr("zero stars");
    if (filterId == QLatin1String("unrated"))
        return tr("unreviewed");
    if (filterId == QLatin1String("rejected"))
        return tr("rejected");
    if (filterId.startsWith(QLatin1String("rating:")))
        return tr("%n star(s)", nullptr, value.toInt());
    if (filterId.startsWith(QLatin1String("rating>=:")))
        return tr("%n star(s) or more", nullptr, value.toInt());
    if (filterId == QLatin1String("color:Red"))
        return tr("red label");
    if (filterId == QLatin1String("color:Yellow"))
        return tr("yellow label");
    if (filterId == QLatin1String("color:Green"))
        return tr("green label");
    if (filterId == QLatin1String("color:Blue"))
        return tr("blue label");
    return QString();
}

QString TransferTexts::menuText(bool move, int photos, bool selected)
{
    if (photos <= 0)
        return move ? tr("Mo&ve Photos To…") : tr("&Copy Photos To…");
    if (move)
        return selected ? tr("Mo&ve %n Selected Photo(s) To…", nullptr, photos) : tr("Mo&ve %n Shown Photo(s) To…", nullptr, photos);
    return selected ? tr("&Copy %n Selected Photo(s) To…", nullptr, photos) : tr("&Copy %n Shown Photo(s) To…", nullptr, photos);
}

QString TransferTexts::summary(int photos, bool selected, const QString &filterId, int sidecars)
{
    QString what = photosText(photos, selected);
    const QString filter = selected ? QString() : filterDescription(filterId);
    if (!filter.isEmpty())
        what = tr("%1 (%2)").arg(what, filter);
    if (sidecars > 0)
        what = tr("%1 with %2").arg(what, tr("%n XMP sidecar(s)", nullptr, sidecars));
    return what;
}

QString TransferTexts::moveQuestion(int photos, int sidecars, const QString &target)
{
    const QString where = QDir::toNativeSeparators(target);
    if (sidecars > 0)
        return tr("Move %1 and %2 to %3? They leave this folder.")
            .arg(photosText(photos, false), tr("%n XMP sidecar(s)", nullptr, sidecars), where);
    return tr("Move %1 to %2? They leave this folder.").arg(photosText(photos, false), where);
}

