#include "ui/mainwindow.h"

#include "catalog/burstgroups.h"
#include "catalog/keepbest.h"
#include "catalog/photocatalog.h"
#include "grid/thumbnailgridwidget.h"
#include "imaging/burstanalysis.h"
#include "viewer/viewerwidget.h"

#include <QAction>
#include <QFileInfo>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QMessageBox>
#include <QSettings>
#include <QStatusBar>

// Bursts: the frames of one moment grouped, ranked by sharpness, the best
// kept in one key. The groups are the BurstGroups' (catalog/); this file only
// presents them and turns the user's commands into marks.

namespace {

const int groupNoticeTimeoutMs = 6000;

} // namespace

QString MainWindow::ordinalText(int n)
{
    // English ordinals need the last digits; other languages give one form.
    const int lastTwo = n % 100;
    if (lastTwo < 11 || lastTwo > 13) {
        switch (n % 10) {
        case 1: return tr("%1st").arg(QLocale().toString(n));
        case 2: return tr("%1nd").arg(QLocale().toString(n));
        case 3: return tr("%1rd").arg(QLocale().toString(n));
        default: break;
        }
    }
    return tr("%1th").arg(QLocale().toString(n));
}

QString MainWindow::sharpnessRankText(const QString &path) const
{
    const QStringList group = bursts->groupOf(path);
    const int rank = bursts->rankOf(path);
    if (group.size() < 2 || rank < 1)
        return QString();
    return tr("%1 of %2 in group").arg(ordinalText(rank), QLocale().toString(group.size()));
}

void MainWindow::addGroupActions(QMenu *viewMenu, QMenu *navigateMenu, QMenu *ratingMenu)
{
    bursts = new BurstGroups(catalog, &analyseBurstFrame, this);

    // Group navigation moves through the list the page shows.
    auto stepGroupAction = [this](int direction) {
        return [this, direction] {
            const QString from = gridPageCurrent() ? grid->currentPath() : catalog->currentPath();
            const QString target = groupStepTarget(from, direction);
            if (target.isEmpty())
                return;
            if (gridPageCurrent())
                grid->setCurrentPath(target);
            else
                catalog->select(target);
        };
    };
    navigateMenu->addSeparator();
    addNavigationAction(navigateMenu, QStringLiteral("navigate.nextGroup"), tr("Next &Group"),
                        {QKeySequence(Qt::Key_BracketRight)}, stepGroupAction(+1), stepGroupAction(+1));
    addNavigationAction(navigateMenu, QStringLiteral("navigate.previousGroup"), tr("Pre&vious Group"),
                        {QKeySequence(Qt::Key_BracketLeft)}, stepGroupAction(-1), stepGroupAction(-1));

    ratingMenu->addSeparator();
    QAction *keepBest = addRegisteredAction(ratingMenu, QStringLiteral("rating.keepBestOfGroup"),
                                            tr("&Keep Best of Group, Reject the Rest"), QKeySequence(Qt::Key_K));
    keepBest->setObjectName(QStringLiteral("keepBestAction"));
    connect(keepBest, &QAction::triggered, this, &MainWindow::keepBestOfGroup);
    // Disabled with the marks while a batch is being written.
    markActions.append(keepBest);

    collapseGroupsAction = addRegisteredAction(viewMenu, QStringLiteral("view.collapseGroups"),
                                               tr("Collapse Gro&ups"), QKeySequence(QStringLiteral("Shift+G")));
    collapseGroupsAction->setObjectName(QStringLiteral("collapseGroupsAction"));
    collapseGroupsAction->setCheckable(true);
    collapseGroupsAction->setChecked(QSettings().value(QStringLiteral("groups/collapsed"), false).toBool());
    addAction(collapseGroupsAction);
    connect(collapseGroupsAction, &QAction::toggled, this, [this](bool on) {
        QSettings().setValue(QStringLiteral("groups/collapsed"), on);
        expandedGroups.clear();
        syncGridWithCatalog();
        grid->setBurstCells(burstCells());
    });

    groupLabel = new QLabel(this);
    groupLabel->setObjectName(QStringLiteral("groupLabel"));
    groupLabel->setContentsMargins(0, 0, 12, 0);
    statusBar()->addPermanentWidget(groupLabel);

    viewer->setExtraExifRows([this](const QString &path) {
        QList<QPair<QString, QString>> rows;
        const QString rank = sharpnessRankText(path);
        if (!rank.isEmpty()) {
            // The number behind the rank: this frame's focus measure against the sharpest's.
            const double best = bursts->sharpnessOf(bursts->sharpestOf(path));
            const double own = bursts->sharpnessOf(path);
            const int percent = best > 0 && own >= 0 ? qRound(100 * own / best) : 0;
            rows.append({tr("Sharpness"), tr("%1 (%2 % of the sharpest)").arg(rank, QLocale().toString(percent))});
        }
        return rows;
    });

    connect(bursts, &BurstGroups::progressChanged, this, &MainWindow::updateGroupStatus);
    connect(bursts, &BurstGroups::groupsChanged, this, [this] {
        updateGroupStatus();
        viewer->refreshExifOverlay();
        if (collapseGroupsAction->isChecked())
            syncGridWithCatalog();
        grid->setBurstCells(burstCells());
    });
    connect(catalog, &PhotoCatalog::currentChanged, this, &MainWindow::updateGroupStatus);
    connect(grid, &ThumbnailGridWidget::selectionChanged, this, &MainWindow::updateGroupStatus);
    connect(catalog, &PhotoCatalog::folderOpened, this, [this] { expandedGroups.clear(); });
}

void MainWindow::updateGroupStatus()
{
    if (bursts->isRunning()) {
        groupLabel->setText(tr("Grouping: %1 of %2")
                                .arg(QLocale().toString(bursts->analysedCount()),
                                     QLocale().toString(bursts->frameCount())));
        return;
    }
    const QString path = gridPageCurrent() ? grid->currentPath() : catalog->currentPath();
    const QString rank = sharpnessRankText(path);
    groupLabel->setText(rank.isEmpty() ? QString() : tr("Sharpness: %1").arg(rank));
}

QString MainWindow::groupStepTarget(const QString &from, int direction) const
{
    const QStringList shown = gridPageCurrent() ? gridFiles() : catalog->visibleFiles();
    const int at = int(shown.indexOf(from));
    if (at < 0)
        return QString();
    // A photo not analysed yet is a group of its own.
    auto groupAt = [&](int i) {
        const int group = bursts->groupIndexOf(shown.at(i));
        return group >= 0 ? group : -1 - i;
    };
    const int own = groupAt(at);
    if (direction > 0) {
        for (int i = at + 1; i < shown.size(); ++i) {
            if (groupAt(i) != own)
                return shown.at(i);
        }
        return QString();
    }
    // Back to the start of this group, or from there to the start of the one before.
    int start = at;
    while (start > 0 && groupAt(start - 1) == own)
        --start;
    if (start == at) {
        if (start == 0)
            return QString();
        const int previous = groupAt(start - 1);
        start -= 1;
        while (start > 0 && groupAt(start - 1) == previous)
            --start;
    }
    return shown.at(start);
}

QStringList MainWindow::gridFiles() const
{
    return collapsedForGrid(catalog->visibleFiles());
}

QStringList MainWindow::collapsedForGrid(const QStringList &visible) const
{
    if (!collapseGroupsAction || !collapseGroupsAction->isChecked())
        return visible;
    QStringList shown;
    for (const QString &path : visible) {
        const int group = bursts->groupIndexOf(path);
        if (group < 0 || expandedGroups.contains(group) || bursts->groupOf(path).size() < 2
            || bursts->rankOf(path) == 1)
            shown.append(path);
    }
    return shown;
}

QHash<QString, ThumbnailListModel::BurstCell> MainWindow::burstCells() const
{
    QHash<QString, ThumbnailListModel::BurstCell> cells;
    const bool collapsed = collapseGroupsAction->isChecked();
    const QStringList visible = catalog->visibleFiles();
    for (const QString &path : visible) {
        ThumbnailListModel::BurstCell cell;
        cell.group = bursts->groupIndexOf(path);
        if (cell.group < 0)
            continue;
        cell.rank = bursts->rankOf(path);
        cell.size = int(bursts->groupOf(path).size());
        cell.collapsed = collapsed && cell.size > 1 && !expandedGroups.contains(cell.group);
        cells.insert(path, cell);
    }
    return cells;
}

QString MainWindow::shownInGrid(const QString &path, const QStringList &shown) const
{
    if (shown.contains(path))
        return path;
    const QString sharpest = bursts->sharpestOf(path);
    return shown.contains(sharpest) ? sharpest : path;
}

bool MainWindow::expandGroupAt(const QString &path)
{
    if (!collapseGroupsAction->isChecked())
        return false;
    const int group = bursts->groupIndexOf(path);
    if (group < 0 || expandedGroups.contains(group) || bursts->groupOf(path).size() < 2)
        return false;
    expandedGroups.append(group);
    syncGridWithCatalog();
    grid->setBurstCells(burstCells());
    grid->setCurrentPath(path);
    return true;
}

void MainWindow::keepBestOfGroup()
{
    const QString from = gridPageCurrent() ? grid->currentPath() : catalog->currentPath();
    const QStringList group = bursts->groupOf(from);
    if (group.size() < 2) {
        showNotice(bursts->isRunning() ? tr("The photos are still being grouped.")
                                       : tr("This photo is not part of a group."),
                   groupNoticeTimeoutMs);
        return;
    }
    // The photo the user holds in compare's active pane wins over the ranking.
    QString kept = bursts->sharpestOf(from);
    if (viewer->isComparing() && group.contains(viewer->activePath()))
        kept = viewer->activePath();

    const QHash<QString, PhotoCore::Metadata> records = catalog->records();
    bool rejectStarred = false;
    const QStringList starred = starredOthers(group, kept, records);
    if (!starred.isEmpty()) {
        const auto answer = QMessageBox::question(
            this, tr("Reject photos with stars?"),
            tr("%1 other photo(s) of this group already have stars. Reject them too?").arg(starred.size()),
            QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::No);
        if (answer == QMessageBox::Cancel)
            return;
        rejectStarred = answer == QMessageBox::Yes;
    }
    const int pickRating = QSettings().value(QStringLiteral("groups/pickRating"), 0).toInt();
    const KeepBestPlan plan = planKeepBest(group, kept, records, pickRating, rejectStarred);
    if (!plan.edits.isEmpty())
        catalog->markFilesEach(plan.edits, MarkEdit::reject());
    showNotice(tr("Kept %1, rejected %2 of %3")
                   .arg(QFileInfo(kept).fileName(), QLocale().toString(plan.rejected),
                        QLocale().toString(plan.groupSize)),
               groupNoticeTimeoutMs);
}
