#pragma once

#include <QStyledItemDelegate>

class QListView;

// Paints one grid cell: dark background (blue when selected), the thumbnail
// scaled into the picture area with the photo's extra display rotation (faded
// when rejected), or a hatched "loading"/"unavailable" placeholder; below it a
// tag line with stars, rejection and colour label and the RAW+JPEG badge, then
// the file name, and a frame around selected cells. Nothing covers the
// picture. Painting never decodes.
class ThumbnailDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    explicit ThumbnailDelegate(QListView *view);

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;
    // The view's grid size.
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;

    // A cell wider than `width` (spread over the view's width) draws its
    // picture and marks that wide, centred, so that the thumbnail keeps the
    // size chosen; 0, the default, lets them fill the cell.
    void setContentWidth(int width) { m_contentWidth = width; }

private:
    QListView *m_view;
    int m_contentWidth = 0;
};
