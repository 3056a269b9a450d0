#pragma once

#include "grid/thumbnaillistmodel.h"
#include "ui/windowparts.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QStringList>

class NavigationController;
class QAction;
class QLabel;
class QMenu;

// Bursts as the window shows them: the frames of one moment grouped (the
// groups are the BurstGroups'), collapsed in the grid to their sharpest frame,
// stepped through with ] and [, ranked by sharpness in the status bar and the
// EXIF overlay, and culled with K (keep the best, reject the rest).
class GroupsController : public QObject
{
    Q_OBJECT
public:
    GroupsController(const WindowParts &parts, NavigationController *navigation, QObject *parent);

    // View › Collapse Groups, Navigate › Next and Previous Group, Rating › Keep Best.
    void addTo(QMenu *viewMenu, QMenu *navigateMenu, QMenu *ratingMenu);
    void updateActions();

    // The grid's photos of `visible`: with groups collapsed, one per group.
    QStringList collapsedForGrid(const QStringList &visible) const;
    // The frames of the group a grid cell stands for while collapsed; empty
    // where the cell stands for itself alone.
    QStringList framesBehind(const QString &cell) const;
    // `path`, or the photo of its group that stands for it among `shown`.
    QString shownInGrid(const QString &path, const QStringList &shown) const;
    // Shows the collapsed group of `path` whole; false when there is none.
    bool expandGroupAt(const QString &path);
    // "2nd of 5 in group"; empty for a photo outside a group.
    QString sharpnessRankText(const QString &path) const;

signals:
    void notice(const QString &text, int timeoutMs);
    // The grid must show other photos: the window lays them out again.
    void gridFilesChanged();

private:
    static QString ordinalText(int n);
    void updateStatus();
    void keepBestOfGroup();
    // The first photo of the next (+1) or previous (-1) group from `from`, in
    // the page's list; empty at either end.
    QString groupStepTarget(const QString &from, int direction) const;
    void stepGroup(int direction);
    // Lays out the grid again and gives its cells their bursts.
    void refreshGrid();
    // What the grid's cells show of the bursts.
    QHash<QString, ThumbnailListModel::BurstCell> burstCells() const;

    WindowParts parts;
    NavigationController *navigation = nullptr;
    QLabel *label = nullptr;
    QAction *collapseAction = nullptr;
    QAction *keepBestAction = nullptr;
    QList<int> expandedGroups; // of BurstGroups, shown whole while collapsed
};
