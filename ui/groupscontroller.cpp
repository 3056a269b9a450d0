#include "ui/groupscontroller.h"

#include "catalog/burstgroups.h"
#include "catalog/groupmarks.h"
#include "catalog/keepbest.h"
#include "catalog/photocatalog.h"
#include "core/burstrules.h"
#include "grid/thumbnailgridwidget.h"
#include "ui/actionregistry.h"
#include "ui/navigationcontroller.h"
#include "ui/windowtexts.h"
#include "viewer/viewerwidget.h"

#include <QAction>
#include <QFileInfo>
#include <QLabel>
#include <QLocale>
#include <QMainWindow>
#include <QMenu>
#include <QMessageBox>
#include <QSettings>
#include <QStatusBar>

namespace {

const int groupNoticeTimeoutMs = 6000;

} // namespace

GroupsController::GroupsController(const WindowParts &windowParts, NavigationController *moves, QObject *parent)
    : QObject(parent)
    , parts(windowParts)
    , navigation(moves)
{
}

QString GroupsController::ordinalText(int n)
{
    // English ordinals need the last digits; other languages give one form.
    const int lastTwo = n % 100;
    if (lastTwo < 11 || lastTwo > 13) {
        switch (n % 10) {
        case 1: return WindowTexts::tr("%1st").arg(QLocale().toString(n));
        case 2: return WindowTexts::tr("%1nd").arg(QLocale().toString(n));
        case 3: return WindowTexts::tr("%1rd").arg(QLocale().toString(n));
        default: break;
        }
    }
    return WindowTexts::tr("%1th").arg(QLocale().toString(n));
}

QString GroupsController::sharpnessRankText(const QString &path) const
{
    const QStringList group = parts.bursts->groupOf(path);
    const int rank = parts.bursts->rankOf(path);
    if (group.size() < 2 || rank < 1)
        return QString();
    return WindowTexts::tr("%1 of %2 in group").arg(ordinalText(rank), QLocale().toString(group.size()));
}

void GroupsController::addTo(QMenu *viewMenu, QMenu *navigateMenu, QMenu *ratingMenu)
{
    BurstGroups *bursts = parts.bursts;
    // Group navigation moves through the list the page shows.
    navigateMenu->addSeparator();
    navigation->addMove(navigateMenu, QStringLiteral("navigate.nextGroup"), WindowTexts::tr("Next &Group"),
                        {QKeySequence(Qt::Key_BracketRight)}, [this] { stepGroup(+1); }, [this] { stepGroup(+1); });
    navigation->addMove(navigateMenu, QStringLiteral("navigate.previousGroup"), WindowTexts::tr("Pre&vious Group"),
                        {QKeySequence(Qt::Key_BracketLeft)}, [this] { stepGroup(-1); }, [this] { stepGroup(-1); });

    ratingMenu->addSeparator();
    keepBestAction = parts.actions->add(ratingMenu, QStringLiteral("rating.keepBestOfGroup"),
                                        WindowTexts::tr("&Keep Best of Group, Reject the Rest"),
                                        QKeySequence(Qt::Key_K));
    keepBestAction->setObjectName(QStringLiteral("keepBestAction"));
    connect(keepBestAction, &QAction::triggered, this, &GroupsController::keepBestOfGroup);
    parts.keepInFullScreen(keepBestAction);

    collapseAction = parts.actions->add(viewMenu, QStringLiteral("view.collapseGroups"),
                                        WindowTexts::tr("Collapse Gro&ups"), QKeySequence(QStringLiteral("Shift+G")));
    collapseAction->setObjectName(QStringLiteral("collapseGroupsAction"));
    collapseAction->setCheckable(true);
    collapseAction->setChecked(QSettings().value(QStringLiteral("groups/collapsed"), false).toBool());
    parts.keepInFullScreen(collapseAction);
    connect(collapseAction, &QAction::toggled, this, [this](bool on) {
        QSettings().setValue(QStringLiteral("groups/collapsed"), on);
        expandedGroups.clear();
        refreshGrid();
    });

    label = new QLabel(parts.window);
    label->setObjectName(QStringLiteral("groupLabel"));
    label->setContentsMargins(0, 0, 12, 0);
    parts.window->statusBar()->addPermanentWidget(label);

    parts.viewer->setExtraExifRows([this, bursts](const QString &path) {
        QList<QPair<QString, QString>> rows;
        const QString rank = sharpnessRankText(path);
        if (!rank.isEmpty()) {
            // The number behind the rank: this frame's focus measure against the sharpest's.
            const double best = bursts->sharpnessOf(bursts->sharpestOf(path));
            const double own = bursts->sharpnessOf(path);
            const int percent = best > 0 && own >= 0 ? qRound(100 * own / best) : 0;
            rows.append({WindowTexts::tr("Sharpness"),
                         WindowTexts::tr("%1 (%2 % of the sharpest)").arg(rank, QLocale().toString(percent))});
        }
        return rows;
    });

    connect(bursts, &BurstGroups::progressChanged, this, &GroupsController::updateStatus);
    connect(bursts, &BurstGroups::groupsChanged, this, [this] {
        updateStatus();
        parts.viewer->refreshExifOverlay();
        if (collapseAction->isChecked())
            emit gridFilesChanged();
        parts.grid->setBurstCells(burstCells());
    });
    connect(parts.catalog, &PhotoCatalog::currentChanged, this, &GroupsController::updateStatus);
    connect(parts.grid, &ThumbnailGridWidget::selectionChanged, this, &GroupsController::updateStatus);
    connect(parts.catalog, &PhotoCatalog::folderOpened, this, [this] { expandedGroups.clear(); });
    // A collapsed cell sums up its frames' marks.
    connect(parts.catalog, &PhotoCatalog::recordsChanged, this, [this] {
        if (collapseAction->isChecked())
            parts.grid->setBurstCells(burstCells());
    });
}

void GroupsController::updateActions()
{
    // Disabled with the marks while a batch is being written.
    if (keepBestAction)
        keepBestAction->setEnabled(parts.markable());
}

void GroupsController::updateStatus()
{
    BurstGroups *bursts = parts.bursts;
    if (bursts->isRunning()) {
        label->setText(WindowTexts::tr("Grouping: %1 of %2")
                           .arg(QLocale().toString(bursts->analysedCount()), QLocale().toString(bursts->frameCount())));
        return;
    }
    const QString rank = sharpnessRankText(parts.focusedPath());
    label->setText(rank.isEmpty() ? QString() : WindowTexts::tr("Sharpness: %1").arg(rank));
}

void GroupsController::stepGroup(int direction)
{
    const QString target = groupStepTarget(parts.focusedPath(), direction);
    if (target.isEmpty())
        return;
    if (parts.gridShown())
        parts.grid->setCurrentPath(target);
    else
        parts.catalog->select(target);
}

QString GroupsController::groupStepTarget(const QString &from, int direction) const
{
    const QStringList visible = parts.catalog->visibleFiles();
    const QStringList shown = parts.gridShown() ? collapsedForGrid(visible) : visible;
    const int at = int(shown.indexOf(from));
    if (at < 0)
        return QString();
    // A photo not analysed yet is a group of its own.
    auto groupAt = [&](int i) {
        const int group = parts.bursts->groupIndexOf(shown.at(i));
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

QStringList GroupsController::collapsedForGrid(const QStringList &visible) const
{
    if (!collapseAction || !collapseAction->isChecked())
        return visible;
    const BurstGroups *bursts = parts.bursts;
    QStringList shown;
    for (const QString &path : visible) {
        const int group = bursts->groupIndexOf(path);
        if (group < 0 || expandedGroups.contains(group) || bursts->groupOf(path).size() < 2
            || bursts->rankOf(path) == 1)
            shown.append(path);
    }
    return shown;
}

QHash<QString, ThumbnailListModel::BurstCell> GroupsController::burstCells() const
{
    const BurstGroups *bursts = parts.bursts;
    QHash<QString, ThumbnailListModel::BurstCell> cells;
    const bool collapsed = collapseAction->isChecked();
    const QStringList visible = parts.catalog->visibleFiles();
    const QHash<QString, PhotoCore::Metadata> records = collapsed ? parts.catalog->records()
                                                                  : QHash<QString, PhotoCore::Metadata>();
    for (const QString &path : visible) {
        ThumbnailListModel::BurstCell cell;
        cell.group = bursts->groupIndexOf(path);
        if (cell.group < 0)
            continue;
        cell.rank = bursts->rankOf(path);
        cell.size = int(bursts->groupOf(path).size());
        cell.collapsed = collapsed && cell.size > 1 && !expandedGroups.contains(cell.group);
        if (cell.collapsed && cell.rank == 1)
            cell.marks = groupMarksSummary(bursts->groupOf(path), records);
        cells.insert(path, cell);
    }
    return cells;
}

QStringList GroupsController::framesBehind(const QString &cell) const
{
    if (!collapseAction || !collapseAction->isChecked())
        return {};
    const BurstGroups *bursts = parts.bursts;
    const int group = bursts->groupIndexOf(cell);
    if (group < 0 || expandedGroups.contains(group) || bursts->rankOf(cell) != 1)
        return {};
    const QStringList frames = bursts->groupOf(cell);
    return frames.size() > 1 ? frames : QStringList();
}

QString GroupsController::shownInGrid(const QString &path, const QStringList &shown) const
{
    if (shown.contains(path))
        return path;
    const QString sharpest = parts.bursts->sharpestOf(path);
    return shown.contains(sharpest) ? sharpest : path;
}

void GroupsController::refreshGrid()
{
    emit gridFilesChanged();
    parts.grid->setBurstCells(burstCells());
}

bool GroupsController::expandGroupAt(const QString &path)
{
    if (!collapseAction->isChecked())
        return false;
    const int group = parts.bursts->groupIndexOf(path);
    if (group < 0 || expandedGroups.contains(group) || parts.bursts->groupOf(path).size() < 2)
        return false;
    expandedGroups.append(group);
    refreshGrid();
    parts.grid->setCurrentPath(path);
    return true;
}

void GroupsController::keepBestOfGroup()
{
    BurstGroups *bursts = parts.bursts;
    const QString from = parts.focusedPath();
    const QStringList group = bursts->groupOf(from);
    if (group.size() < 2) {
        emit notice(bursts->isRunning() ? WindowTexts::tr("The photos are still being grouped.")
                                        : WindowTexts::tr("This photo is not part of a group."),
                    groupNoticeTimeoutMs);
        return;
    }
    // The photo the user holds in compare's active pane wins over the ranking.
    QString kept = bursts->sharpestOf(from);
    if (parts.viewer->isComparing() && group.contains(parts.viewer->activePath()))
        kept = parts.viewer->activePath();

    const QHash<QString, PhotoCore::Metadata> records = parts.catalog->records();
    bool rejectStarred = false;
    const QStringList starred = starredOthers(group, kept, records);
    if (!starred.isEmpty()) {
        const auto answer = QMessageBox::question(
            parts.window, WindowTexts::tr("Reject photos with stars?"),
            WindowTexts::tr("%1 other photo(s) of this group already have stars. Reject them too?").arg(starred.size()),
            QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::No);
        if (answer == QMessageBox::Cancel)
            return;
        rejectStarred = answer == QMessageBox::Yes;
    }
    const int pickRating =
        QSettings().value(QStringLiteral("groups/pickRating"), PhotoCore::BurstRules::defaultPickRating).toInt();
    const KeepBestPlan plan = planKeepBest(group, kept, records, pickRating, rejectStarred);
    // On to the next group's first frame, never left on a frame just rejected;
    // after the last group, the kept frame.
    QString next = groupStepTarget(from, +1);
    if (next.isEmpty())
        next = kept;
    if (!plan.edits.isEmpty())
        parts.catalog->markFilesEach(plan.edits, MarkEdit::reject());
    if (!parts.viewer->isComparing()) {
        if (parts.gridShown())
            parts.grid->setCurrentPath(next);
        else
            parts.catalog->select(next);
    }
    emit notice(WindowTexts::tr("Kept %1, rejected %2 of %3")
                    .arg(QFileInfo(kept).fileName(), QLocale().toString(plan.rejected),
                         QLocale().toString(plan.groupSize)),
                groupNoticeTimeoutMs);
}
