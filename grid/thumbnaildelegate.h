#pragma once

#include <QStyledItemDelegate>

class QListView;

// Paints one grid cell: dark background (blue when selected), the thumbnail
// scaled into the image area with the photo's extra display rotation, or a
// hatched "loading"/"unavailable" placeholder, the file name, a tag line with
// stars, rejection and colour label, and a frame around selected cells.
// Painting never decodes.
class ThumbnailDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    explicit ThumbnailDelegate(QListView *view);

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;
    // The view's grid size.
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;

private:
    QListView *m_view;
};
