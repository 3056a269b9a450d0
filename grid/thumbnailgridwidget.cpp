#include "grid/thumbnailgridwidget.h"

#include "grid/thumbnaildelegate.h"
#include "grid/thumbnaildiskcache.h"
#include "grid/thumbnaillistmodel.h"
#include "imaging/colourconversion.h"
#include "imaging/displaycolour.h"
#include "imaging/photodecoder.h"
#include "imaging/quickpreview.h"

#include <QCoreApplication>
#include <QEvent>
#include <QItemSelectionModel>
#include <QLabel>
#include <QListView>
#include <QPointer>
#include <QScrollBar>
#include <QSettings>
#include <QTimer>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <QWindow>

#include <algorithm>
#include <cstdlib>

// How long the view must rest after a fast scroll before its rows load.
static constexpr int scrollSettleMs = 40;

// One thumbnail. A first job tries the disk cache, then the picture the file
// carries (Exif or MPF thumbnail, RAW preview), which is shown at once; when
// that is smaller than a real thumbnail, a second, refining job decodes the
// photo and stores the result. A file without any embedded picture is decoded
// by the first job. Jobs carry copies only; results go back as queued calls
// that check the guarded pointer, so a report after the widget's destruction
// is harmless.
class ThumbnailJob
{
public:
    ThumbnailJob(ThumbnailGridWidget *widget, const QString &path, quint64 generation, qint64 budget,
                 const QColorSpace &display, bool refine, std::shared_ptr<ThumbnailGridWidget::JobTicket> ticket,
                 std::shared_ptr<std::atomic<quint64>> executed)
        : m_widget(widget)
        , m_path(path)
        , m_generation(generation)
        , m_budget(budget)
        , m_display(display)
        , m_refine(refine)
        , m_ticket(std::move(ticket))
        , m_executed(std::move(executed))
    {
    }

    void run()
    {
        int expected = ThumbnailGridWidget::JobTicket::Queued;
        if (!m_ticket->state.compare_exchange_strong(expected, ThumbnailGridWidget::JobTicket::Started))
            return; // cancelled while queued; the GUI thread no longer waits for it
        m_executed->fetch_add(1);

        // The cache holds sRGB (or, with colour management off, the pixels as
        // stored); the display's own space is applied here, off the GUI thread.
        const bool manage = colourManagementEnabled();
        const QColorSpace srgb(QColorSpace::SRgb);
        const ThumbnailDiskCache cache(QString(), m_budget);
        const auto stored = [&](const QImage &decoded) {
            return toColourSpace(decoded, sourceColourOf(decoded, m_path), srgb, manage);
        };
        bool final = true;
        QImage image = m_refine ? QImage() : cache.load(m_path);
        if (image.isNull() && !m_refine) {
            image = decodeEmbeddedThumbnail(m_path, ThumbnailGridWidget::decodeSide);
            if (!image.isNull()) {
                image = stored(image);
                // As large as a real thumbnail: nothing left to refine.
                if (qMax(image.width(), image.height()) >= ThumbnailGridWidget::decodeSide)
                    cache.store(m_path, image);
                else
                    final = false;
            }
        }
        if (image.isNull()) {
            image = decodeThumbnail(m_path, ThumbnailGridWidget::decodeSide);
            if (!image.isNull()) {
                image = stored(image);
                cache.store(m_path, image); // a failed store only costs a decode next time
            }
        }
        if (manage)
            image = convertColours(image, srgb, m_display);

        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [widget = m_widget, path = m_path, generation = m_generation, image, final] {
                if (widget)
                    widget->onThumbnailLoaded(path, generation, image, final);
            },
            Qt::QueuedConnection);
    }

private:
    QPointer<ThumbnailGridWidget> m_widget;
    QString m_path;
    quint64 m_generation;
    qint64 m_budget;
    QColorSpace m_display;
    bool m_refine;
    std::shared_ptr<ThumbnailGridWidget::JobTicket> m_ticket;
    std::shared_ptr<std::atomic<quint64>> m_executed;
};

ThumbnailGridWidget::ThumbnailGridWidget(QWidget *parent)
    : QWidget(parent)
    , m_executedJobs(std::make_shared<std::atomic<quint64>>(0))
{
    m_view = new QListView(this);
    m_emptyLabel = new QLabel(
        tr("No photos to display.\n\nOpen a photo folder or choose Filter → All Images."), this);
    m_model = new ThumbnailListModel(this);
    m_view->setModel(m_model);
    m_view->setItemDelegate(new ThumbnailDelegate(m_view));

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
}

ThumbnailGridWidget::~ThumbnailGridWidget()
{
    // Queued thumbnails would only be dropped on arrival. The running job is
    // not waited for: it reports to a guarded pointer, which it finds null.
    cancelQueuedJobs();
}

void ThumbnailGridWidget::setLabels(const QString &topFolder, const QHash<QString, QString> &pairPartners)
{
    m_model->setLabels(topFolder, pairPartners);
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

    ++m_generation;
    cancelQueuedJobs();
    m_inFlightPaths.clear();
    m_failedPaths.clear();
    m_interimPaths.clear();
    m_pinnedPaths.clear();
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
    m_pinnedPaths = paths;
    requestPinned();
}

void ThumbnailGridWidget::requestPinned()
{
    // After the load window (the rows on screen come first), in row order.
    for (auto it = m_pinnedPaths.begin(); it != m_pinnedPaths.end();) {
        const int row = m_model->rowOf(*it);
        const int state = m_model->stateOf(*it);
        if (row < 0 || state == Ready || state == Failed) {
            it = m_pinnedPaths.erase(it);
            continue;
        }
        requestThumbnail(row, pinnedPriority);
        ++it;
    }
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
    LoaderStats stats = m_stats;
    stats.executed = m_executedJobs->load();
    return stats;
}

void ThumbnailGridWidget::setThumbnailSize(int pixels)
{
    pixels = qBound(minimumThumbnailSize, pixels, maximumThumbnailSize);
    if (pixels == m_thumbnailSize && m_view->gridSize().isValid())
        return;
    m_thumbnailSize = pixels;
    m_view->setGridSize(QSize(pixels + 24, pixels + 52));
    m_view->doItemsLayout();
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
    ++m_generation;
    cancelQueuedJobs();
    // Rows left Loading are no longer in flight: the next window update queues them again.
    m_inFlightPaths.clear();
}

bool ThumbnailGridWidget::eventFilter(QObject *watched, QEvent *event)
{
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
    if (display == m_displaySpace)
        return;
    const bool hadThumbnails = m_displaySpace.isValid();
    m_displaySpace = display;
    // Thumbnails in memory were converted for the old screen; the disk cache
    // gives them back quickly for the new one.
    if (hadThumbnails)
        refreshColours();
}

void ThumbnailGridWidget::refreshColours()
{
    cancelQueuedJobs();
    ++m_generation;
    m_inFlightPaths.clear();
    m_failedPaths.clear();
    m_interimPaths.clear();
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
    for (auto it = m_inFlightPaths.begin(); it != m_inFlightPaths.end();) {
        int expected = JobTicket::Queued;
        if (it.value()->state.compare_exchange_strong(expected, JobTicket::Cancelled)) {
            ++m_stats.cancelled;
            const int row = m_model->rowOf(it.key());
            if (row >= 0 && (row < keepFirst || row > keepLast) && m_model->stateOf(it.key()) == Loading)
                m_model->setState(row, NotRequested);
            it = m_inFlightPaths.erase(it);
        } else {
            ++it; // running or finished: it still reports under the current generation
        }
    }
    // Every job still in the queue is cancelled now; drop them instead of running no-ops.
    m_loaderPool.clear();
}

void ThumbnailGridWidget::requestThumbnail(int row, int priority)
{
    const QString path = m_model->pathAt(row);
    if (path.isEmpty())
        return;
    if (m_inFlightPaths.contains(path) || m_failedPaths.contains(path))
        return;
    const bool shown = !m_model->data(m_model->index(row), ThumbnailListModel::ThumbnailRole).value<QImage>().isNull();
    const bool refine = shown && m_interimPaths.contains(path);
    if (shown && !refine)
        return;

    auto ticket = std::make_shared<JobTicket>();
    m_inFlightPaths.insert(path, ticket);
    // A cell refined in the background keeps showing its picture meanwhile.
    if (!refine && m_model->stateOf(path) != Loading) {
        m_model->setState(row, Loading);
        emit previewAvailabilityChanged();
    }
    const qint64 budget = ThumbnailDiskCache::configuredBudgetBytes();
    ++m_stats.requested;
    // Refining waits until every cell of the window shows something.
    const auto job = std::make_shared<ThumbnailJob>(this, path, m_generation, budget, m_displaySpace, refine,
                                                    std::move(ticket), m_executedJobs);
    m_loaderPool.start([job] { job->run(); }, refine ? refinePriority : priority);
}

void ThumbnailGridWidget::onThumbnailLoaded(const QString &path, quint64 generation, const QImage &image, bool final)
{
    if (generation != m_generation)
        return;
    ++m_stats.delivered;
    m_inFlightPaths.remove(path);
    const int row = m_model->rowOf(path);
    if (row < m_windowStart || row > m_windowEnd)
        ++m_stats.deliveredOutsideWindow;
    const bool outside = row < m_windowStart || row > m_windowEnd;
    if (image.isNull()) {
        m_failedPaths.insert(path);
        if (row != -1)
            m_model->setState(row, Failed);
    } else if (final && outside && m_interimPaths.contains(path)) {
        // A refinement for a row that has left the window is not kept; the
        // row is loaded anew when it comes back.
    } else if (row != -1) {
        // Stored even when the row has left the window; the next window update discards it.
        m_model->setThumbnail(row, image);
    }
    if (!m_pinnedPaths.isEmpty())
        m_pinnedPaths.removeOne(path);
    if (final || image.isNull()) {
        m_interimPaths.remove(path);
    } else {
        m_interimPaths.insert(path);
        if (row >= m_windowStart && row <= m_windowEnd)
            requestThumbnail(row);
    }
    emit previewAvailabilityChanged();
}
