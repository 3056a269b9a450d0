#pragma once

#include "core/metadata.h"

#include <QAbstractListModel>
#include <QHash>
#include <QImage>
#include <QString>
#include <QStringList>
#include <QMetaType>

// Load state of one grid row; stored and reported as int.
enum ThumbnailState {
    NotRequested = 0, // never requested since the content was last set
    Loading = 1,      // a background job is queued or running
    Ready = 2,        // a thumbnail was delivered; stays so after the image is discarded
    Failed = 3,       // the job produced no image
};

// One row per photo of the grid's list: file name, path, marks, the thumbnail
// held in memory (if any) and the load state. GUI thread only.
class ThumbnailListModel : public QAbstractListModel
{
    Q_OBJECT

public:
    enum Roles {
        PathRole = Qt::UserRole + 1,      // QString
        MarksRole = Qt::UserRole + 2,     // QString "rating|label|rejected|rotation"
        ThumbnailRole = Qt::UserRole + 3, // QImage, null when not in memory
        StateRole = Qt::UserRole + 4,     // int ThumbnailState
        PairRole = Qt::UserRole + 5,      // bool: a RAW+JPEG pair shown as one photo
        BurstRole = Qt::UserRole + 6,     // BurstCell; its starts and ends from the rows around
    };

    // Where a photo stands among the frames of its burst (a group of similar
    // photos taken moments apart). `group` -1: in none, or not yet known.
    struct BurstCell
    {
        int group = -1;
        int rank = 0;      // 1: the sharpest
        int size = 0;      // frames in the group
        bool collapsed = false; // the group's other frames are not in the grid
        bool startsGroup = false; // the row before is not of the group
        bool endsGroup = false;   // nor the row after
        QString marks;            // where collapsed: the marks of the frames inside, summed up
    };

    explicit ThumbnailListModel(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

    // "%1|%2|%3|%4": rating, label, 1 or 0 for rejected, rotation in degrees.
    // A label containing "|" yields more than four fields; painters treat such
    // a string as unparsable.
    static QString marksString(const PhotoCore::Metadata &record);

    // Replaces the rows and marks; thumbnails and states are forgotten.
    void resetContent(const QStringList &paths, const QHash<QString, PhotoCore::Metadata> &marks);
    // How rows are named and tagged: below `topFolder` (when not empty) by
    // their path from there ("2024/IMG_1.JPG"), and as a pair when listed in
    // `pairPartners`. Kept across resetContent.
    void setLabels(const QString &topFolder, const QHash<QString, QString> &pairPartners);

    // The bursts of the photos, by path; kept across resetContent.
    void setBurstCells(const QHash<QString, BurstCell> &cells);

    // Replaces only the marks and reports MarksRole changed for every row.
    void updateMarks(const QHash<QString, PhotoCore::Metadata> &marks);
    // Holds `image` for the row and makes it Ready.
    void setThumbnail(int row, const QImage &image);
    void setState(int row, int state);

    const QStringList &paths() const { return m_paths; }
    // First row holding `path` (case-sensitive), or -1.
    int rowOf(const QString &path) const;
    // The row's path, or an empty string out of range.
    QString pathAt(int row) const;
    // The stored state, 0 (NotRequested) when none is stored.
    int stateOf(const QString &path) const;
    // Drops the in-memory thumbnails of rows outside first…last and of paths no
    // longer listed. States are kept.
    void discardThumbnailsOutside(int first, int last);
    // Number of thumbnails currently held in memory.
    int heldThumbnailCount() const { return int(m_thumbnails.size()); }

private:
    QStringList m_paths;
    QHash<QString, int> m_firstRow; // path → first row, for rowOf
    QHash<QString, PhotoCore::Metadata> m_marks;
    QString m_topPrefix; // the top folder with its trailing '/', or empty
    QHash<QString, QString> m_partners;
    QHash<QString, BurstCell> m_bursts;
    QHash<QString, QImage> m_thumbnails;
    QHash<QString, int> m_states;
};

Q_DECLARE_METATYPE(ThumbnailListModel::BurstCell)
