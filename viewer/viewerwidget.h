#pragma once

#include "core/metadata.h"
#include "imaging/exifsummary.h"

#include <QHash>
#include <QImage>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QThreadPool>
#include <QWidget>

#include <functional>
#include <memory>

class PreviewImageCache;
class QLabel;
class QScrollArea;
class QStackedLayout;
class QTextBrowser;

// The single-photo view and the catalog of the open folder: every supported
// file, the filtered list with its current position, the marks of every file
// and the background work that fills them. Every field lives on the GUI thread;
// background tasks get copies and post their results back, stamped with a
// generation so that results of an earlier folder are dropped.
class ViewerWidget : public QWidget
{
    Q_OBJECT
public:
    enum ViewMode { Fit = 0, ActualSize = 1 };

    explicit ViewerWidget(QWidget *parent = nullptr);
    ~ViewerWidget() override;

    // Catalog.
    void openFiles(const QStringList &files);
    void removeFiles(const QStringList &files);
    QString currentFilePath() const;
    QStringList visibleFiles() const;
    QStringList allFiles() const;
    QHash<QString, PhotoCore::Metadata> metadataSnapshot() const;
    bool isAtLastImage() const;

    // Display.
    int viewMode() const;

    // Marks for many photos at once, written in the background; one batch at a
    // time, a second one while a batch runs is ignored.
    void setRatingForFiles(const QStringList &files, int rating);
    void setColorLabelForFiles(const QStringList &files, const QString &label);
    void setRejectedForFiles(const QStringList &files, bool rejected);
    void clearColorLabelForFiles(const QStringList &files);
    void clearAllMarksForFiles(const QStringList &files);
    bool isMetadataBatchBusy() const;

    // Presentation.
    QString statusText() const;
    void setShortcutOverlayHtml(const QString &html);
    bool isShortcutOverlayVisible() const;

    // Decodes queued or running; lets callers wait for preloading to settle.
    int pendingPreviewCount() const;

signals:
    void stateChanged();
    void summaryChanged(int total, int reviewed, int rejected, int unrated);
    void warningRaised(const QString &message);
    void manualNavigationRequested(int direction);
    void catalogChanged();
    void metadataBatchFinished(const QStringList &failures);
    void metadataBatchBusyChanged(bool busy);

public slots:
    void nextImage();
    void previousImage();
    void setFitMode();
    void setActualSizeMode();
    void toggleViewMode();
    void rotateClockwise();
    void rotateCounterClockwise();
    void setRating(int rating);
    void setColorLabel(const QString &label);
    void rejectImage();
    void clearRejection();
    void clearColorLabel();
    void clearAllMarks();
    void firstImage();
    void selectFile(const QString &filePath);
    void setFilter(const QString &filterId);
    void reloadMetadata();
    void resumeReview();
    void toggleExifOverlay();
    void toggleShortcutOverlay();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct PreviewResult
    {
        QString path;
        quint64 generation = 0;
        qint64 elapsedMs = 0;
        QImage image;
        QImage fitted; // `image` scaled for the view as it was when queued
        bool skipped = false; // left the preload window before its decode began
    };

    // The paths whose decode is still wanted, read by decode tasks as they start.
    struct WantedPreviews;

    // Catalog and navigation.
    void startSidecarScan(bool reload);
    void applyScanResult(quint64 generation, bool reload, const QHash<QString, PhotoCore::Metadata> &result);
    void rebuildVisibleList(int preferredIndex);
    void updateSummary();
    void rebuildSiblings();
    void storeWrittenRecord(const QString &path, const PhotoCore::Metadata &record);
    QString currentPath() const;

    // Preview pipeline.
    void showCurrent();
    void requestPreview(const QString &path, int priority);
    void preloadNeighbours();
    void onPreviewDecoded(const PreviewResult &result);
    void refreshDisplayedImage();
    void refreshPixmap();
    QList<int> planPreloadWindow(qint64 currentCostKiB);
    void touchPreloadWindow();
    qint64 windowCachedCostKiB() const;

    // Marks.
    PhotoCore::Metadata currentMetadata();
    void applyMetadataToCurrent(const PhotoCore::Metadata &record);
    void persistRotation();
    void rotateBy(int degrees);
    void runMetadataBatch(const QStringList &files, const std::function<void(PhotoCore::Metadata &)> &change);
    void applyBatchResult(quint64 generation, const QHash<QString, PhotoCore::Metadata> &written,
                          const QStringList &failures);

    // Overlays.
    void updateMarksOverlay();
    void updateExifOverlay();
    void placeMarksOverlay();
    void placeShortcutOverlay();

    QLabel *imageLabel = nullptr;
    QLabel *messageLabel = nullptr;
    QLabel *marksOverlay = nullptr;
    QLabel *exifOverlay = nullptr;
    QTextBrowser *shortcutOverlay = nullptr;
    QScrollArea *scrollArea = nullptr;
    QStackedLayout *stackedLayout = nullptr;

    QStringList visibleList;
    int currentIndex = -1;
    std::unique_ptr<PreviewImageCache> previewCache;
    QSet<QString> pendingPreviews;
    QHash<QString, int> rotationByPath;
    QHash<QString, PhotoCore::Metadata> metadataByPath;
    QHash<QString, ExifSummary> exifByPath;
    QSet<QString> writtenDuringScan;
    QStringList allFilesList;
    // Photos that share one sidecar (same folder and base name), by that key.
    QHash<QString, QStringList> siblingsByKey;
    QImage currentImage;
    QImage displayedImage;
    int currentViewMode = Fit;
    quint64 previewGeneration = 0;
    quint64 metadataGeneration = 0;
    int direction = +1;
    QString sourceTag;
    QString writeErrorTag;
    QString busyText;
    QString scanBusyText;
    QString filterId;
    bool metadataReady = false;
    bool resumePending = false;
    bool exifOverlayVisible = false;
    bool shortcutOverlayVisible = false;
    int wheelAccumulator = 0;
    quint64 batchGeneration = 0;
    bool batchBusy = false;

    // The current photo first, then the neighbours in the order they are
    // preloaded; photos in it are kept in the cache in favour of any other.
    QStringList preloadWindow;
    QHash<QString, int> costByPath;
    // Photos of the window already scaled for the view, by path.
    QHash<QString, QImage> fittedByPath;
    std::shared_ptr<WantedPreviews> wantedPreviews;
    qint64 lastDecodedCostKiB = 0;

    // Declared last so that they are destroyed first: destroying a pool waits
    // for its running tasks, which only ever post back through a guarded pointer.
    QThreadPool previewPool;
    QThreadPool scanPool;
    QThreadPool batchPool;
};

// Offsets from the current photo, in queue order, of the neighbours to decode
// ahead: up to `maxAhead` in `direction`, nearest first, then one behind.
// The list is cut where the current photo and the neighbours, each estimated
// at `currentCostKiB`, would no longer fit into `budgetKiB`; an unknown cost
// (0 or less) keeps the full list.
QList<int> preloadOffsets(int direction, qint64 currentCostKiB, qint64 budgetKiB, int maxAhead = 6);
