#pragma once

#include "core/metadata.h"
#include "grid/thumbnaillistmodel.h"
#include "grid/thumbnailloader.h"

#include <QElapsedTimer>
#include <QHash>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <limits>

class QLabel;
class QListView;
class QTimer;
class ThumbnailDelegate;

// The grid page: one painted cell per photo of the filtered list, extended
// selection, thumbnail sizes 96…384 and background loading of the thumbnails
// of the rows on screen plus two rows either side (the load window) through
// a ThumbnailLoader. The columns share the viewport's whole width.
class ThumbnailGridWidget : public QWidget
{
    Q_OBJECT

public:
    static constexpr int minimumThumbnailSize = 96;
    static constexpr int maximumThumbnailSize = 384;
    static constexpr int thumbnailSizeStep = 32;
    static constexpr int defaultThumbnailSize = 192;
    // Longest side of every decoded thumbnail, whatever the cell size.
    static constexpr int decodeSide = ThumbnailLoader::decodeSide;
    // Loader queue priorities: the load window, rows waited for outside it,
    // and the refinement of embedded pictures, in that order.
    static constexpr int windowPriority = ThumbnailLoader::windowPriority;
    static constexpr int pinnedPriority = ThumbnailLoader::pinnedPriority;
    static constexpr int refinePriority = ThumbnailLoader::refinePriority;

    // Counters of the loader since construction, for diagnostics and measurements.
    struct LoaderStats : ThumbnailLoader::Stats
    {
        quint64 deliveredOutsideWindow = 0; // of the delivered, for rows no longer in the load window
    };

    explicit ThumbnailGridWidget(QWidget *parent = nullptr);
    ~ThumbnailGridWidget() override;

    // Shows a new list, or only new marks when `paths` equals the current list.
    // The current photo and the selected ones stay so where they are still listed.
    void setFiles(const QStringList &paths, const QHash<QString, PhotoCore::Metadata> &marks);
    // See ThumbnailListModel::setLabels.
    void setLabels(const QString &topFolder, const QHash<QString, QString> &pairPartners);
    // The bursts of the photos: a band joins the cells of a group, the
    // sharpest of each carries a badge.
    void setBurstCells(const QHash<QString, ThumbnailListModel::BurstCell> &cells);

    // The current row's path, or empty.
    QString currentPath() const;
    // Makes that row current, centred; a path not listed is ignored.
    void setCurrentPath(const QString &path);

    // Selected rows' paths in ascending row order.
    QStringList selectedPaths() const;
    // Selected rows that show no picture yet (neither Ready nor Failed), in
    // ascending row order.
    QStringList selectedPathsWithoutPreview() const;
    // Loads the thumbnails of `paths` even outside the load window, after the
    // rows on screen, until each one is shown or known to fail; an empty list
    // stops. previewAvailabilityChanged reports the progress.
    void loadPreviewsOf(const QStringList &paths);
    int selectedCount() const;
    // Listed files whose thumbnail could not be made from anything (damaged,
    // or a variant no decoder reads), among those loaded so far.
    int failedCount() const;
    // At least one row selected and every selected row has a preview.
    bool selectedPreviewsReady() const;
    // The path to make current once `removedPaths` are gone: the current one if
    // it stays, else the next remaining after it, else the nearest before it.
    QString pathAfterRemoval(const QStringList &removedPaths) const;

    int thumbnailSize() const { return m_thumbnailSize; }

    // Queues the row's thumbnail unless it is in memory, in flight or failed.
    void requestThumbnail(int row, int priority = windowPriority);

    ThumbnailListModel *model() const { return m_model; }
    QListView *listView() const { return m_view; }
    // The rows of the last load window (first, last), or (-1, -1) before any.
    QPair<int, int> loadWindow() const { return {m_windowStart, m_windowEnd}; }
    quint64 loadGeneration() const { return m_loader->generation(); }
    LoaderStats loaderStats() const;
    ThumbnailLoader *loader() const { return m_loader; }
    // The loader's single-thread pool, for tests and measurements.
    QThreadPool *loaderThreadPool() { return m_loader->threadPool(); }

signals:
    void fileActivated(const QString &path);
    void selectionChanged(int count);
    void previewAvailabilityChanged();
    void thumbnailSizeChanged(int pixels);

public slots:
    void setThumbnailSize(int pixels);
    void increaseThumbnailSize();
    void decreaseThumbnailSize();
    void activateCurrent();
    void moveSelection(int delta);
    // Forgets queued work; a running job finishes and its result is dropped.
    // The next window update (for instance showing the grid) resumes loading.
    void stopLoading();
    // Loads every thumbnail again, for a new display colour space or after the
    // colour-management setting changed.
    void refreshColours();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void scheduleWindowUpdate();
    // A move that skips whole screens soon after another (a dragged scroll bar,
    // a fling) waits until the view rests: the rows passed over are never
    // loaded, and the single loader thread is free when the view stops.
    void onScrolled(int value);
    void updateLoadWindow();
    // Cancels every job that has not started, but those of rows waited for.
    // Rows outside keepFirst…keepLast whose job was cancelled go back to
    // NotRequested; the others stay Loading.
    void cancelQueuedJobs(int keepFirst = 0, int keepLast = std::numeric_limits<int>::max());
    void onThumbnailLoaded(const QString &path, const QImage &image, ThumbnailLoader::Stage stage);
    void onThumbnailFailed(const QString &path);
    // Counts a report for a row that has left the load window; true for such a row.
    bool countOutsideWindow(int row);
    // Follows the screen the window is on; thumbnails are reloaded for a new
    // display colour space.
    void updateDisplaySpace();
    void requestPinned();
    // Gives the columns that fit the view its whole width, none narrower
    // than the thumbnail size asks.
    void spreadColumns();

    QListView *m_view = nullptr;
    QLabel *m_emptyLabel = nullptr;
    ThumbnailListModel *m_model = nullptr;
    ThumbnailDelegate *m_delegate = nullptr;
    ThumbnailLoader *m_loader = nullptr;
    int m_thumbnailSize = defaultThumbnailSize;

    int m_windowStart = -1;
    int m_windowEnd = -1;
    QTimer *m_settleTimer = nullptr;
    QElapsedTimer m_lastScroll;
    int m_loadedScrollValue = 0;
    quint64 m_deliveredOutsideWindow = 0;
    bool m_watchingScreen = false;
};
