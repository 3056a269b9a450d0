#include "grid/thumbnaildelegate.h"

#include "grid/thumbnaillistmodel.h"

#include <QCoreApplication>
#include <QListView>
#include <QPainter>
#include <QPixmap>
#include <QPixmapCache>
#include <QTransform>

namespace {

struct PlaceholderLook
{
    const char *fill;
    const char *hatch;
    const char *frame;
    const char *text;
};

constexpr PlaceholderLook failedLook{"#3a2427", "#63343a", "#ff8585", "#ffd0d0"};
constexpr PlaceholderLook loadingLook{"#303740", "#46515e", "#a9c5df", "#e2edf7"};

void drawPlaceholder(QPainter *painter, const QRect &area, bool failed, const QString &text)
{
    const PlaceholderLook &look = failed ? failedLook : loadingLook;
    painter->fillRect(area, QColor(QLatin1String(look.fill)));
    painter->fillRect(area, QBrush(QColor(QLatin1String(look.hatch)), Qt::BDiagPattern));
    painter->setPen(QPen(QColor(QLatin1String(look.frame)), 2));
    painter->setBrush(Qt::NoBrush);
    painter->drawRect(area.adjusted(1, 1, -1, -1));
    painter->setPen(QColor(QLatin1String(look.text)));
    painter->drawText(area.adjusted(10, 10, -10, -10), Qt::AlignCenter | Qt::TextWordWrap, text);
}

// A screen of cells waiting for their pictures shows the same placeholder
// many times, and a fast scroll repaints them all every frame: each kind is
// drawn once per size, font and pixel ratio, then copied.
void paintPlaceholder(QPainter *painter, const QRect &area, bool failed)
{
    const QString text = failed ? QCoreApplication::translate("QObject", "Preview unavailable")
                                : QCoreApplication::translate("QObject", "Loading preview…");
    const qreal ratio = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
    const QString key = QStringLiteral("glanceway-placeholder:%1x%2:%3:%4:%5:%6")
                            .arg(area.width())
                            .arg(area.height())
                            .arg(ratio)
                            .arg(failed)
                            .arg(painter->font().key(), text);
    QPixmap pixmap;
    if (!QPixmapCache::find(key, &pixmap)) {
        pixmap = QPixmap((QSizeF(area.size()) * ratio).toSize());
        pixmap.setDevicePixelRatio(ratio);
        pixmap.fill(Qt::transparent);
        QPainter cellPainter(&pixmap);
        cellPainter.setFont(painter->font());
        drawPlaceholder(&cellPainter, QRect(QPoint(0, 0), area.size()), failed, text);
        cellPainter.end();
        QPixmapCache::insert(key, pixmap);
    }
    painter->drawPixmap(area.topLeft(), pixmap);
}

// Label comparisons are exact: another program's "red" or "Purple" is shown in white.
QColor tagColor(bool rejected, const QString &label)
{
    if (rejected || label == QLatin1String("Red"))
        return QColor(QStringLiteral("#ff6262"));
    if (label == QLatin1String("Yellow"))
        return QColor(QStringLiteral("#ffd740"));
    if (label == QLatin1String("Green"))
        return QColor(QStringLiteral("#69f06f"));
    if (label == QLatin1String("Blue"))
        return QColor(QStringLiteral("#64b5f6"));
    return QColor(Qt::white);
}

// Cell layout: the picture area on top, under it a band for the marks and
// the pair badge, then the file name. Nothing is drawn over the picture.
constexpr int cellPadding = 7;
constexpr int nameBand = 30;
constexpr int marksBand = 22;
constexpr int marksHeight = 20;

QRect pictureArea(const QRect &cell, int contentWidth)
{
    QRect content = cell;
    if (contentWidth > 0 && contentWidth < cell.width()) {
        content.setWidth(contentWidth);
        content.moveLeft(cell.left() + (cell.width() - contentWidth) / 2);
    }
    return content.adjusted(cellPadding, cellPadding, -cellPadding, -(nameBand + marksBand));
}

QRect marksStrip(const QRect &area)
{
    return QRect(area.left(), area.bottom() + 1 + (marksBand - marksHeight) / 2, area.width(), marksHeight);
}

// Bursts: a band along the top of the cells joins the frames of a group,
// in one of two colours by turns so that neighbouring groups stay apart; it
// starts and ends inside the first and last cell. The sharpest frame carries
// a badge with its rank and the group's size ("1/7"), and a disclosure mark
// where the group is collapsed to it.
void paintBurst(QPainter *painter, const QRect &cell, const QRect &strip, int tagsEnd,
                const ThumbnailListModel::BurstCell &burst)
{
    const QColor colour(burst.group % 2 == 0 ? QStringLiteral("#ffb74d") : QStringLiteral("#4dd0e1"));
    QRect band(cell.left(), cell.top() + 1, cell.width(), 4);
    if (burst.startsGroup)
        band.setLeft(cell.left() + cellPadding);
    if (burst.endsGroup)
        band.setRight(cell.right() - cellPadding);
    painter->fillRect(band, colour);
    if (burst.rank != 1)
        return;
    const QString text = QStringLiteral("◎ %1/%2%3")
                             .arg(burst.rank)
                             .arg(burst.size)
                             .arg(burst.collapsed ? QStringLiteral(" ▸") : QString());
    const QFontMetrics metrics(painter->font());
    QRect badge(0, 0, metrics.horizontalAdvance(text) + 10, strip.height());
    badge.moveTopRight(strip.topRight());
    // Left of the pair badge, where there is one.
    if (badge.left() < tagsEnd)
        return;
    painter->fillRect(badge, colour.darker(260));
    painter->setPen(colour);
    painter->drawText(badge, Qt::AlignCenter, text);
    // Below it, what the frames the cell stands for carry, so that no mark
    // hides in a collapsed group without a sign.
    if (!burst.collapsed || burst.marks.isEmpty())
        return;
    QRect summary(0, 0, qMin(metrics.horizontalAdvance(burst.marks) + 10, cell.width() - 2 * cellPadding), strip.height());
    summary.moveTopRight(badge.bottomRight() + QPoint(0, 2));
    painter->fillRect(summary, colour.darker(260));
    painter->drawText(summary, Qt::AlignCenter, metrics.elidedText(burst.marks, Qt::ElideRight, summary.width() - 6));
}

// Rejected photos stay recognisable, but recede behind the others.
constexpr qreal rejectedOpacity = 0.35;

} // namespace

ThumbnailDelegate::ThumbnailDelegate(QListView *view)
    : QStyledItemDelegate(view)
    , m_view(view)
{
}

QSize ThumbnailDelegate::sizeHint(const QStyleOptionViewItem &, const QModelIndex &) const
{
    return m_view ? m_view->gridSize() : QSize();
}

void ThumbnailDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                              const QModelIndex &index) const
{
    painter->save();
    painter->setRenderHint(QPainter::SmoothPixmapTransform);
    painter->setFont(option.font);

    const bool selected = option.state.testFlag(QStyle::State_Selected);
    painter->fillRect(option.rect, QColor(selected ? QStringLiteral("#345c86") : QStringLiteral("#202328")));

    const QRect area = pictureArea(option.rect, m_contentWidth);
    QImage image = index.data(ThumbnailListModel::ThumbnailRole).value<QImage>();
    const int state = index.data(ThumbnailListModel::StateRole).toInt();
    // A label holding "|" makes more than four fields; such marks are not trusted
    // for the tag line, the rotation or the dimming.
    const QStringList parts = index.data(ThumbnailListModel::MarksRole).toString().split(QLatin1Char('|'));
    const bool marksParsed = parts.size() == 4;
    const bool rejected = marksParsed && parts.at(2) == QLatin1String("1");

    if (!image.isNull() && marksParsed) {
        // The decoder already applied the file's orientation; this is the user's extra turn.
        const int rotation = ((parts.at(3).toInt() % 360) + 360) % 360;
        if (rotation != 0)
            image = image.transformed(QTransform().rotate(rotation));
    }

    if (!image.isNull()) {
        QRect target(QPoint(0, 0), image.size().scaled(area.size(), Qt::KeepAspectRatio));
        target.moveCenter(area.center());
        if (rejected)
            painter->setOpacity(rejectedOpacity);
        painter->drawImage(target, image);
        painter->setOpacity(1.0);
    } else {
        paintPlaceholder(painter, area, state == Failed);
    }

    painter->setPen(Qt::white);
    const QString name = option.fontMetrics.elidedText(index.data(Qt::DisplayRole).toString(),
                                                       Qt::ElideMiddle, option.rect.width() - 14);
    painter->drawText(option.rect.adjusted(7, 0, -7, -5), Qt::AlignHCenter | Qt::AlignBottom, name);

    // The pair badge takes the right end of the strip, written out where the
    // marks leave room for it, else in its compact form, for which the marks
    // give way: a pair is told at every size. The marks take the rest.
    const QRect strip = marksStrip(area);
    const QFontMetrics metrics(painter->font());
    QStringList tags;
    const bool pair = index.data(ThumbnailListModel::PairRole).toBool();
    if (marksParsed) {
        const int rating = qMin(parts.at(0).toInt(), 5);
        if (rating > 0)
            tags << QString(rating, QChar(0x2605));
        if (rejected)
            tags << QCoreApplication::translate("QObject", "REJECTED");
        if (!parts.at(1).isEmpty())
            tags << QCoreApplication::translate("ColorLabel", parts.at(1).toUtf8().constData()).toUpper();
    }
    const QString marksText = tags.join(QStringLiteral(" \u00b7 "));
    const int marksWidth = marksText.isEmpty() ? 0 : metrics.horizontalAdvance(marksText) + 8 + 5;
    QRect badge;
    QString pairTag;
    if (pair) {
        pairTag = QCoreApplication::translate("QObject", "RAW+JPEG");
        if (marksWidth + metrics.horizontalAdvance(pairTag) + 10 > strip.width())
            //: The RAW+JPEG tag of a thumbnail too small for it written out.
            pairTag = QCoreApplication::translate("QObject", "R+J");
        badge = QRect(0, 0, metrics.horizontalAdvance(pairTag) + 10, strip.height());
        badge.moveTopRight(strip.topRight());
    }

    int tagsEnd = strip.left();
    if (!marksText.isEmpty()) {
        const int room = (pair ? badge.left() - 5 - strip.left() : strip.width()) - 8;
        const QString text = metrics.elidedText(marksText, Qt::ElideRight, room);
        if (!text.isEmpty()) {
            const QRect pill(strip.topLeft(), QSize(qMin(metrics.horizontalAdvance(text), room) + 8, strip.height()));
            painter->fillRect(pill, QColor(10, 12, 15, 205));
            painter->setPen(tagColor(rejected, parts.at(1)));
            painter->drawText(pill.adjusted(4, 0, -4, 0), Qt::AlignLeft | Qt::AlignVCenter, text);
            tagsEnd = pill.right() + 5;
        }
    }
    int freeRight = strip.right();
    if (pair) {
        painter->fillRect(badge, QColor(10, 12, 15, 205));
        painter->setPen(QColor(QStringLiteral("#e2edf7")));
        painter->drawText(badge, Qt::AlignCenter, pairTag);
        freeRight = badge.left() - 5;
    }

    const auto burst = index.data(ThumbnailListModel::BurstRole).value<ThumbnailListModel::BurstCell>();
    if (burst.group >= 0 && burst.size > 1)
        paintBurst(painter, option.rect, QRect(strip.left(), strip.top(), freeRight - strip.left() + 1, strip.height()),
                   tagsEnd, burst);

    if (selected) {
        painter->setPen(QPen(QColor(QStringLiteral("#78b7ff")), 3));
        painter->setBrush(Qt::NoBrush);
        painter->drawRect(option.rect.adjusted(1, 1, -2, -2));
    }
    painter->restore();
}
