#include "grid/thumbnaillistmodel.h"

#include <QFileInfo>

ThumbnailListModel::ThumbnailListModel(QObject *parent)
    : QAbstractListModel(parent)
{
}

int ThumbnailListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_paths.size());
}

QVariant ThumbnailListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.parent().isValid() || index.column() != 0 || index.row() < 0
        || index.row() >= m_paths.size())
        return QVariant();
    const QString &path = m_paths.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
        if (!m_topPrefix.isEmpty() && path.startsWith(m_topPrefix))
            return path.mid(m_topPrefix.size());
        return QFileInfo(path).fileName();
    case PairRole:
        return m_partners.contains(path);
    case PathRole:
        return path;
    case MarksRole:
        return marksString(m_marks.value(path));
    case ThumbnailRole:
        return m_thumbnails.value(path);
    case StateRole:
        return m_states.value(path, NotRequested);
    case BurstRole: {
        BurstCell cell = m_bursts.value(path);
        if (cell.group >= 0) {
            const int row = index.row();
            cell.startsGroup = row == 0 || m_bursts.value(m_paths.at(row - 1)).group != cell.group;
            cell.endsGroup = row + 1 >= m_paths.size() || m_bursts.value(m_paths.at(row + 1)).group != cell.group;
        }
        return QVariant::fromValue(cell);
    }
    default:
        return QVariant();
    }
}

QString ThumbnailListModel::marksString(const PhotoCore::Metadata &record)
{
    // One multi-argument pass: a label such as "50%3" must not be read as a
    // placeholder by a later substitution.
    return QStringLiteral("%1|%2|%3|%4")
        .arg(QString::number(record.rating), record.label, QString::number(record.rejected ? 1 : 0),
             QString::number(record.rotation));
}

void ThumbnailListModel::resetContent(const QStringList &paths,
                                      const QHash<QString, PhotoCore::Metadata> &marks)
{
    beginResetModel();
    m_paths = paths;
    m_marks = marks;
    m_thumbnails.clear();
    m_states.clear();
    m_firstRow.clear();
    m_firstRow.reserve(paths.size());
    // Walking backwards leaves the first row of a repeated path.
    for (int row = int(paths.size()) - 1; row >= 0; --row)
        m_firstRow[paths.at(row)] = row;
    endResetModel();
}

void ThumbnailListModel::setLabels(const QString &topFolder, const QHash<QString, QString> &pairPartners)
{
    const QString prefix =
        topFolder.isEmpty() || topFolder.endsWith(QLatin1Char('/')) ? topFolder : topFolder + QLatin1Char('/');
    if (prefix == m_topPrefix && pairPartners == m_partners)
        return;
    m_topPrefix = prefix;
    m_partners = pairPartners;
    if (!m_paths.isEmpty())
        emit dataChanged(index(0), index(int(m_paths.size()) - 1), {Qt::DisplayRole, PairRole});
}

void ThumbnailListModel::updateMarks(const QHash<QString, PhotoCore::Metadata> &marks)
{
    m_marks = marks;
    if (!m_paths.isEmpty())
        emit dataChanged(index(0), index(int(m_paths.size()) - 1), {MarksRole});
}

void ThumbnailListModel::setThumbnail(int row, const QImage &image)
{
    if (row < 0 || row >= m_paths.size())
        return;
    const QString &path = m_paths.at(row);
    m_thumbnails.insert(path, image);
    // A refined picture replaces one already shown: the state stays Ready.
    if (m_states.value(path, NotRequested) == Ready) {
        emit dataChanged(index(row), index(row), {ThumbnailRole});
        return;
    }
    m_states.insert(path, Ready);
    emit dataChanged(index(row), index(row), {ThumbnailRole, StateRole});
}

void ThumbnailListModel::setState(int row, int state)
{
    if (row < 0 || row >= m_paths.size())
        return;
    m_states.insert(m_paths.at(row), state);
    emit dataChanged(index(row), index(row), {StateRole});
}

int ThumbnailListModel::rowOf(const QString &path) const
{
    return m_firstRow.value(path, -1);
}

QString ThumbnailListModel::pathAt(int row) const
{
    return row >= 0 && row < m_paths.size() ? m_paths.at(row) : QString();
}

int ThumbnailListModel::stateOf(const QString &path) const
{
    return m_states.value(path, NotRequested);
}

void ThumbnailListModel::discardThumbnailsOutside(int first, int last)
{
    for (auto it = m_thumbnails.begin(); it != m_thumbnails.end();) {
        const int row = rowOf(it.key());
        if (row < 0 || row < first || row > last)
            it = m_thumbnails.erase(it);
        else
            ++it;
    }
}

void ThumbnailListModel::setBurstCells(const QHash<QString, BurstCell> &cells)
{
    if (cells.size() == m_bursts.size()) {
        bool same = true;
        for (auto it = cells.cbegin(); it != cells.cend() && same; ++it) {
            const BurstCell known = m_bursts.value(it.key());
            same = known.group == it->group && known.rank == it->rank && known.size == it->size
                   && known.collapsed == it->collapsed && known.marks == it->marks;
        }
        if (same)
            return;
    }
    m_bursts = cells;
    if (!m_paths.isEmpty())
        emit dataChanged(index(0), index(int(m_paths.size()) - 1), {BurstRole});
}
