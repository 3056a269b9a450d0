#include "grid/thumbnailgridwidget.h"

#include "grid/thumbnaildelegate.h"
#include "grid/thumbnaillistmodel.h"
#include "imaging/displaycolour.h"

#include <QEvent>
#include <QItemSelectionModel>
#include <QLabel>
#include <QListView>
#include <QScrollBar>
#include <QSettings>
#include <QStyle>
#include <QStyleOption>
#include <QTimer>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <QWindow>

#include <algorithm>
#include <cstdlib>

// How long the view must rest after a fast scroll before its rows load.
static constexpr int scrollSettleMs = 40;
// A cell is this much wider and taller than its thumbnail size.
static constexpr int cellExtraWidth = 24;
static constexpr int cellExtraHeight = 52;

ThumbnailGridWidget::ThumbnailGridWidget(QWidget *parent)
    : QWidget(parent)
{
    m_loader = new ThumbnailLoader(this);
    m_view = new QListView(this);
    m_emptyLabel = new QLabel(
        tr("No photos to display.\n\nOpen a photo folder or choose Filter → All Images."), this);
    m_model = new ThumbnailListModel(this);
    m_view->setModel(m_model);
    m_delegate = new ThumbnailDelegate(m_view);
    m_view->setItemDelegate(m_delegate);

    setFocusPolicy(Qt::StrongFocus);
    setFocusProxy(m_view);
    setStyleSheet(QStringLiteral("background:#17191c;color:#d8dadd;"));

    m_view->setViewMode(QListView::IconMode);
    m_view->setFlow(QListView::LeftToRight);
    m_view->setWrapping(true);
    m_view->setResizeMode(QListView::Adjust);
    m_view->setMovement(QListView::Static);
    m_view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_view->setUniformItemSizes(true);
    m_view->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    m_view->setSpacing(5);
    m_view->viewport()->installEventFilter(this);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_view, 0);
    layout->addWidget(m_emptyLabel, 1);
    m_emptyLabel->setAlignment(Qt::AlignCenter);
    m_emptyLabel->setWordWrap(true);
    m_view->hide();

    // The grid size is not valid yet, so this always applies and writes the setting back.
    setThumbnailSize(QSettings().value(QStringLiteral("grid/thumbnailSize"), defaultThumbnailSize).toInt());

    connect(m_view, &QListView::activated, this, [this](const QModelIndex &index) {
        const QString path = m_model->pathAt(index.row());
        if (!path.isEmpty())
            emit fileActivated(path);
    });
    connect(m_view->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { emit selectionChanged(selectedCount()); });
    m_settleTimer = new QTimer(this);
    m_settleTimer->setSingleShot(true);
    m_settleTimer->setInterval(scrollSettleMs);
    connect(m_settleTimer, &QTimer::timeout, this, &ThumbnailGridWidget::updateLoadWindow);
    connect(m_view->verticalScrollBar(), &QScrollBar::valueChanged, this, &ThumbnailGridWidget::onScrolled);
    connect(m_loader, &ThumbnailLoader::thumbnailLoaded, this, &ThumbnailGridWidget::onThumbnailLoaded);
    connect(m_loader, &ThumbnailLoader::thumbnailFailed, this, &ThumbnailGridWidget::onThumbnailFailed);
}

// The loader, a child, drops its queue and leaves a running decode behind.
ThumbnailGridWidget::~ThumbnailGridWidget() = default;

void ThumbnailGridWidget::setLabels(const QString &topFolder, const QHash<QString, QString> &pairPartners)
{
    m_model->setLabels(topFolder, pairPartners);
}

void ThumbnailGridWidget::setBurstCells(const QHash<QString, ThumbnailListModel::BurstCell> &cells)
{
    m_model->setBurstCells(cells);
}

void ThumbnailGridWidget::setFiles(const QStringList &paths, const QHash<QString, PhotoCore::Metadata> &marks)
{
    const QString remembered = currentPath();
    const QStringList selected = selectedPaths();
    m_emptyLabel->setVisible(paths.isEmpty());
    m_view->setVisible(!paths.isEmpty());

    if (paths == m_model->paths()) {
        m_model->updateMarks(marks);
        scheduleWindowUpdate();
        return;
    }

    m_loader->reset();
    m_model->resetContent(paths, marks);
    m_windowStart = m_windowEnd = -1;

    const int row = remembered.isEmpty() ? -1 : m_model->rowOf(remembered);
    if (row >= 0) {
        const QModelIndex index = m_model->index(row);
        m_view->setCurrentIndex(index);
        m_view->scrollTo(index, QAbstractItemView::PositionAtCenter);
    }
    // Photos still listed stay selected: another program adding files to the
    // folder must not undo the user's selection.
    QItemSelection kept;
    for (const QString &path : selected) {
        const QModelIndex index = m_model->index(m_model->rowOf(path));
        if (index.isValid())
            kept.select(index, index);
    }
    if (!kept.isEmpty())
        m_view->selectionModel()->select(kept, QItemSelectionModel::ClearAndSelect);
    scheduleWindowUpdate();
}

QString ThumbnailGridWidget::currentPath() const
{
    return m_model->pathAt(m_view->currentIndex().row());
}

void ThumbnailGridWidget::setCurrentPath(const QString &path)
{
    const int row = m_model->rowOf(path);
    if (row < 0)
        return;
    const QModelIndex index = m_model->index(row);
    m_view->setCurrentIndex(index);
    m_view->scrollTo(index, QAbstractItemView::PositionAtCenter);
    scheduleWindowUpdate();
}

namespace {

QList<int> sortedRows(const QModelIndexList &indexes)
{
    QList<int> rows;
    rows.reserve(indexes.size());
    for (const QModelIndex &index : indexes)
        rows << index.row();
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}
} // namespace

QStringList ThumbnailGridWidget::selectedPaths() const
{
    QStringList paths;
    for (int row : sortedRows(m_view->selectionModel()->selectedIndexes())) {
        const QString path = m_model->pathAt(row);
        if (!path.isEmpty())
            paths << path;
    }
    return paths;
}

QStringList ThumbnailGridWidget::selectedPathsWithoutPreview() const
{
    QStringList paths;
    for (int row : sortedRows(m_view->selectionModel()->selectedIndexes())) {
        const QString path = m_model->pathAt(row);
        // A failed row shows "Preview unavailable": the user has seen what it is.
        const int state = m_model->stateOf(path);
        if (!path.isEmpty() && state != Ready && state != Failed)
            paths << path;
    }
    return paths;
}

void ThumbnailGridWidget::loadPreviewsOf(const QStringList &paths)
{
    QStringList wanted;
    for (const QString &path : paths) {
        const int state = m_model->stateOf(path);
        if (m_model->rowOf(path) >= 0 && state != Ready && state != Failed)
            wanted.append(path);
    }
    // The loader keeps them through window changes; their rows show Loading.
    m_loader->pin(wanted);
    requestPinned();
}

void ThumbnailGridWidget::requestPinned()
{
    // After the load window (the rows on screen come first), in row order.
    for (const QString &path : m_loader->pinnedPaths()) {
        const int row = m_model->rowOf(path);
        if (row < 0)
            continue;
        requestThumbnail(row, pinnedPriority);
        if (m_loader->isInFlight(path) && m_model->stateOf(path) != Loading) {
            m_model->setState(row, Loading);
            emit previewAvailabilityChanged();
        }
    }
}

int ThumbnailGridWidget::failedCount() const
{
    // Failures are few; the listing may hold tens of thousands of rows.
    int count = 0;
    for (const QString &path : m_loader->failedPaths())
        count += m_model->rowOf(path) >= 0 ? 1 : 0;
    return count;
}

int ThumbnailGridWidget::selectedCount() const
{
    return int(m_view->selectionModel()->selectedIndexes().size());
}

bool ThumbnailGridWidget::selectedPreviewsReady() const
{
    return selectedCount() > 0 && selectedPathsWithoutPreview().isEmpty();
}

QString ThumbnailGridWidget::pathAfterRemoval(const QStringList &removedPaths) const
{
    const QSet<QString> removed(removedPaths.cbegin(), removedPaths.cend());
    const QString current = currentPath();
    if (!removed.contains(current))
        return current;
    const int row = m_view->currentIndex().row();
    const int count = m_model->rowCount();
    for (int r = row + 1; r < count; ++r) {
        if (!removed.contains(m_model->pathAt(r)))
            return m_model->pathAt(r);
    }
    for (int r = row - 1; r >= 0; --r) {
        if (!removed.contains(m_model->pathAt(r)))
            return m_model->pathAt(r);
    }
    return QString();
}

ThumbnailGridWidget::LoaderStats ThumbnailGridWidget::loaderStats() const
{
    LoaderStats stats;
    static_cast<ThumbnailLoader::Stats &>(stats) = m_loader->stats();
    stats.deliveredOutsideWindow = m_deliveredOutsideWindow;
    return stats;
}

void ThumbnailGridWidget::setThumbnailSize(int pixels)
{
    pixels = qBound(minimumThumbnailSize, pixels, maximumThumbnailSize);
    if (pixels == m_thumbnailSize && m_view->gridSize().isValid())
        return;
    // The current cell stays where the eye is: its centre keeps its height
    // in the view (as near as the new rows allow), or, if it was out of
    // view, it is brought in.
    const QModelIndex current = m_view->currentIndex();
    const QRect before = current.isValid() ? m_view->visualRect(current) : QRect();
    const bool wasShown = before.isValid() && m_view->viewport()->rect().intersects(before);
    m_thumbnailSize = pixels;
    spreadColumns();
    m_view->doItemsLayout();
    if (current.isValid()) {
        if (wasShown) {
            QScrollBar *bar = m_view->verticalScrollBar();
            bar->setValue(bar->value() + m_view->visualRect(current).center().y() - before.center().y());
        }
        m_view->scrollTo(current, QAbstractItemView::EnsureVisible);
    }
    QSettings().setValue(QStringLiteral("grid/thumbnailSize"), pixels);
    emit thumbnailSizeChanged(pixels);
    scheduleWindowUpdate();
}

void ThumbnailGridWidget::increaseThumbnailSize()
{
    setThumbnailSize(m_thumbnailSize + thumbnailSizeStep);
}

void ThumbnailGridWidget::decreaseThumbnailSize()
{
    setThumbnailSize(m_thumbnailSize - thumbnailSizeStep);
}

void ThumbnailGridWidget::activateCurrent()
{
    const QString path = currentPath();
    if (!path.isEmpty())
        emit fileActivated(path);
}

void ThumbnailGridWidget::moveSelection(int delta)
{
    const int count = m_model->rowCount();
    if (count == 0)
        return;
    const int target = std::max(std::min(count - 1, m_view->currentIndex().row() + delta), 0);
    const QModelIndex index = m_model->index(target);
    m_view->setCurrentIndex(index);
    m_view->scrollTo(index, QAbstractItemView::EnsureVisible);
    scheduleWindowUpdate();
}

void ThumbnailGridWidget::stopLoading()
{
    // Rows left Loading are no longer in flight: the next window update queues them again.
    m_loader->stop();
}

bool ThumbnailGridWidget::eventFilter(QObject *watched, QEvent *event)
{
    // Before the view lays its items out for the new width.
    if (watched == m_view->viewport() && event->type() == QEvent::Resize)
        spreadColumns();
    if (watched == m_view->viewport() && event->type() == QEvent::Wheel) {
        auto *wheel = static_cast<QWheelEvent *>(event);
        if (wheel->modifiers() & (Qt::ControlModifier | Qt::MetaModifier)) {
            if (wheel->angleDelta().y() > 0)
                increaseThumbnailSize();
            else
                decreaseThumbnailSize();
            wheel->accept();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void ThumbnailGridWidget::spreadColumns()
{
    // The view lays its items out in the width it has beside a vertical
    // scroll bar, shown or not, so that the bar coming and going never moves
    // them; and it wraps a cell that would end exactly on that width.
    QStyle *style = m_view->style();
    QScrollBar *bar = m_view->verticalScrollBar();
    int width = m_view->maximumViewportSize().width();
    if (m_view->verticalScrollBarPolicy() == Qt::ScrollBarAsNeeded
        && !style->pixelMetric(QStyle::PM_ScrollView_ScrollBarOverlap, nullptr, bar)) {
        width -= style->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, bar);
        if (style->styleHint(QStyle::SH_ScrollView_FrameOnlyAroundContents, nullptr, m_view)) {
            QStyleOption option;
            option.initFrom(m_view);
            width -= 2 * style->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, m_view);
        }
    }
    const int base = m_thumbnailSize + cellExtraWidth;
    const int columns = std::max(1, (width - 1) / base);
    const QSize grid(std::max(base, (width - 1) / columns), m_thumbnailSize + cellExtraHeight);
    m_delegate->setContentWidth(base);
    if (grid != m_view->gridSize())
        m_view->setGridSize(grid);
}

void ThumbnailGridWidget::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    scheduleWindowUpdate();
}

void ThumbnailGridWidget::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (QWindow *window = this->window()->windowHandle(); window && !m_watchingScreen) {
        m_watchingScreen = true;
        connect(window, &QWindow::screenChanged, this, &ThumbnailGridWidget::updateDisplaySpace);
    }
    updateDisplaySpace();
    scheduleWindowUpdate();
}

void ThumbnailGridWidget::updateDisplaySpace()
{
    const QColorSpace display = displayColourSpace(screen());
    if (display == m_loader->displaySpace())
        return;
    const bool hadThumbnails = m_loader->displaySpace().isValid();
    m_loader->setDisplaySpace(display);
    // Thumbnails in memory were converted for the old screen; the disk cache
    // gives them back quickly for the new one.
    if (hadThumbnails)
        refreshColours();
}

void ThumbnailGridWidget::refreshColours()
{
    m_loader->reload();
    m_model->discardThumbnailsOutside(-1, -1);
    scheduleWindowUpdate();
}

void ThumbnailGridWidget::scheduleWindowUpdate()
{
    QTimer::singleShot(0, this, &ThumbnailGridWidget::updateLoadWindow);
}

void ThumbnailGridWidget::onScrolled(int value)
{
    const bool skipsScreens = std::abs(value - m_loadedScrollValue) > m_view->viewport()->height();
    const bool moving = m_lastScroll.isValid() && m_lastScroll.elapsed() < scrollSettleMs;
    m_lastScroll.start();
    if (skipsScreens && moving) {
        // The rows queued for where the view was are passed over as well.
        cancelQueuedJobs(-1, -1);
        m_settleTimer->start();
    } else
        scheduleWindowUpdate();
}

void ThumbnailGridWidget::updateLoadWindow()
{
    const int count = m_model->rowCount();
    if (!isVisible() || count == 0)
        return;
    m_settleTimer->stop();
    m_loadedScrollValue = m_view->verticalScrollBar()->value();

    const QRect viewport = m_view->viewport()->rect();
    int gridWidth = m_view->gridSize().width();
    if (gridWidth < 2)
        gridWidth = 1;
    const int perRow = std::max(1, viewport.width() / gridWidth);
    const int bottom = viewport.height() - 2;

    int first = m_view->indexAt(QPoint(1, 1)).row();
    const bool laidOut = first >= 0;
    if (first < 0)
        first = 0;
    // The bottom-right corner usually lies in the strip right of the last column,
    // which holds no cell; the last cell on screen is then the rightmost one on
    // the bottom line. The view wraps a cell that would end exactly at the right
    // edge, so it may use one column less than perRow: probe the columns from
    // the right. Cells tile without gaps, so a bottom line without any cell
    // means the list ends on screen.
    int last = m_view->indexAt(QPoint(viewport.width() - 2, bottom)).row();
    if (last < 0 && laidOut) {
        for (int column = perRow - 1; column >= 0 && last < 0; --column)
            last = m_view->indexAt(QPoint(column * gridWidth + gridWidth / 2, bottom)).row();
        if (last < 0)
            last = count - 1;
    }
    if (last < first)
        last = std::min(count - 1, first + 30);
    const int margin = 2 * perRow;
    const int start = first - margin > 0 ? first - margin : 0;
    const int end = std::min(count - 1, last + margin);

    if (start != m_windowStart || end != m_windowEnd) {
        // Work queued for an earlier window would run first on the single loader
        // thread and keep the rows now on screen waiting. Forget it and queue the
        // new window from the top down; the running job still reports.
        cancelQueuedJobs(start, end);
        m_windowStart = start;
        m_windowEnd = end;
    }

    m_model->discardThumbnailsOutside(start, end);
    // The rows on screen first, then the margin below (the usual way on), then above.
    for (int row = first; row <= std::min(last, end); ++row)
        requestThumbnail(row);
    for (int row = last + 1; row <= end; ++row)
        requestThumbnail(row);
    for (int row = start; row < first; ++row)
        requestThumbnail(row);
    // Rows waited for outside the window lost their queued jobs above.
    requestPinned();
}

void ThumbnailGridWidget::cancelQueuedJobs(int keepFirst, int keepLast)
{
    for (const QString &path : m_loader->cancelQueued()) {
        const int row = m_model->rowOf(path);
        if (row >= 0 && (row < keepFirst || row > keepLast) && m_model->stateOf(path) == Loading)
            m_model->setState(row, NotRequested);
    }
}

void ThumbnailGridWidget::requestThumbnail(int row, int priority)
{
    const QString path = m_model->pathAt(row);
    if (path.isEmpty())
        return;
    // A cell refined in the background keeps showing its picture meanwhile.
    if (!m_model->data(m_model->index(row), ThumbnailListModel::ThumbnailRole).value<QImage>().isNull()) {
        m_loader->requestRefinement(path);
        return;
    }
    if (m_loader->request(path, priority) && m_model->stateOf(path) != Loading) {
        m_model->setState(row, Loading);
        emit previewAvailabilityChanged();
    }
}

bool ThumbnailGridWidget::countOutsideWindow(int row)
{
    const bool outside = row < m_windowStart || row > m_windowEnd;
    if (outside)
        ++m_deliveredOutsideWindow;
    return outside;
}

void ThumbnailGridWidget::onThumbnailLoaded(const QString &path, const QImage &image, ThumbnailLoader::Stage stage)
{
    const int row = m_model->rowOf(path);
    const bool outside = countOutsideWindow(row);
    if (stage == ThumbnailLoader::Refinement && outside) {
        // A refinement for a row that has left the window is not kept; the
        // row is loaded anew when it comes back.
    } else if (row != -1) {
        // Stored even when the row has left the window; the next window update discards it.
        m_model->setThumbnail(row, image);
    }
    if (stage == ThumbnailLoader::Interim && !outside)
        requestThumbnail(row);
    emit previewAvailabilityChanged();
}

void ThumbnailGridWidget::onThumbnailFailed(const QString &path)
{
    const int row = m_model->rowOf(path);
    countOutsideWindow(row);
    if (row != -1)
        m_model->setState(row, Failed);
    emit previewAvailabilityChanged();
}
