#pragma once

#include "catalog/photocatalog.h"
#include "core/workerpool.h"
#include "imaging/colourprofile.h"
#include "imaging/exifsummary.h"
#include "viewer/analysisoverlay.h"
#include "viewer/zoomgeometry.h"

#include <QHash>
#include <QImage>
#include <QMutex>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <functional>
#include <memory>

class PhotoCanvas;
class PreviewImageCache;
class QLabel;
class QStackedLayout;
class QTextBrowser;
class FocusPointOverlay;
struct FocusPoints;

// The single-photo view of a catalog: shows its current photo, decodes it and
// the neighbours ahead in the background, and draws the marks, EXIF and
// shortcut overlays. It holds no marks of its own; it observes the catalog and
// sends it the navigation keys. Every field lives on the GUI thread;
// background decodes get copies and post their results back, stamped with a
// generation so that results of an earlier folder are dropped.
class ViewerWidget : public QWidget
{
    Q_OBJECT
public:
    // Zoomed is any zoom other than the fit and 100 %.
    enum ViewMode { Fit = 0, ActualSize = 1, Zoomed = 2 };

    explicit ViewerWidget(PhotoCatalog *catalog, QWidget *parent = nullptr);
    ~ViewerWidget() override;

    PhotoCatalog *catalog() const { return m_catalog; }
    // Further rows of the EXIF overlay for a photo (label, value), from
    // whoever knows more of it than its headers say.
    using ExifRows = std::function<QList<QPair<QString, QString>>(const QString &path)>;
    void setExtraExifRows(ExifRows rows) { extraExifRows = std::move(rows); }
    // Shows the overlay anew, as the facts of its extra rows changed.
    void refreshExifOverlay() { updateExifOverlay(); }
    int viewMode() const;
    // The zoom and the photo's relative point at the middle of the view; it
    // stays when another photo becomes current.
    ZoomView zoom() const;
    // The zoom as the status line names it: "Fit", "100 %".
    QString zoomText() const;
    // The camera's focus points drawn over the photo, in both panes when comparing.
    bool areFocusPointsShown() const { return focusPointsShown; }
    // Stepping at a zoom, each photo's primary focus point comes to the middle.
    bool followsFocusPoint() const { return followFocusPoint; }
    // A photo's focus points as it is shown: upright and turned by the user.
    FocusPoints shownFocusPoints(const QString &path);

    // Presentation.
    QString statusText() const;
    // "Image 4 of 17", or with a filter "Filter: 3 stars — image 4 of 17";
    // comparing, "Candidate 2 of 5" or "Pinned photo"; empty when no photo is shown.
    QString positionText() const;
    bool isExifOverlayVisible() const { return exifOverlayVisible; }
    void setShortcutOverlayHtml(const QString &html);
    bool isShortcutOverlayVisible() const;
    // Focus peaking, the histogram and clipping over each pane (vieweranalysis.cpp).
    void setAnalysisLayers(const AnalysisLayers &layers);
    AnalysisLayers analysisLayers() const { return shownAnalysis; }
    // The overlay of the candidate's pane (or the only one), or of the pinned
    // photo's; null until an analysis was first turned on.
    AnalysisOverlay *analysisOverlay(bool pinnedPane = false) const;

    // Comparing two photos side by side: the pinned photo on the left, the
    // candidate (the catalog's current photo) on the right, at the same zoom.
    // With `candidates` (at least two photos, such as a grid selection) the
    // candidate steps through them alone; otherwise through the filtered list,
    // past the rejected photos unless the filter is the one showing them.
    bool isComparing() const { return !comparePinned.isEmpty(); }
    QString pinnedPath() const { return comparePinned; }
    QStringList compareCandidates() const { return candidateList; }
    bool isPinnedPaneActive() const { return isComparing() && pinnedActive; }
    // The photo marks keys and the status line are about: the active pane's.
    QString activePath() const;
    // Steps the candidate (+1 next, -1 previous), past the pinned photo; at
    // the end it stays. False when not comparing: the catalog steps instead.
    bool stepCandidate(int direction);

    // A slideshow runs (true) or was stopped: while the window stays in full
    // screen after it, the view says that the show is paused.
    void setSlideshowRunning(bool running);

    // Zoomed, whether the current photo is shown from its RAW sensor data.
    bool showsRawRender() const;
    // Hands each pane's analysis the RAW data's own clipping where its
    // photo is shown from a render and the preference asks for it; to be
    // called when the preference changed.
    void refreshRawClipping();

    // Decodes queued or running; lets callers wait for preloading to settle.
    int pendingPreviewCount() const;
    // The pool the decodes run on, for tests that hold it up.
    QThreadPool *previewThreadPool() const { return previewPool.threadPool(); }

signals:
    void stateChanged();
    void warningRaised(const QString &message);
    void compareChanged();
    void manualNavigationRequested(int direction);
    // The current photo could not be decoded at all.
    void displayFailed(const QString &path);

public slots:
    void setFitMode();
    void setActualSizeMode();
    // Fit and 100 %, at the middle of the photo.
    void toggleViewMode();
    // Any zoom; the view's own steps are Zoom::steps.
    void setZoom(const ZoomView &zoom);
    // Turns the display; with "metadata/rememberRotations" the turn is also
    // written into the photo's sidecar.
    void rotateClockwise();
    void rotateCounterClockwise();
    void toggleExifOverlay();
    void setFocusPointsShown(bool shown);
    void setFollowFocusPoint(bool follow);
    void toggleShortcutOverlay();
    // `pinned` (a photo of the catalog) becomes the pinned photo; the
    // candidate is the next one (the previous one at the end).
    void startCompare(const QString &pinned, const QStringList &candidates = {});
    void stopCompare();
    void setPinnedPaneActive(bool active);
    // The candidate becomes the pinned photo, and the next one the candidate.
    void pinCandidate();
    // Shows the photo again after the colour-management setting changed.
    void refreshColours();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    bool focusNextPrevChild(bool next) override;

private:
    struct PreviewResult
    {
        QString path;
        quint64 generation = 0;
        qint64 elapsedMs = 0;
        QImage image;
        QSize fullSize; // the photo's own size, upright, where `image` is reduced
        QImage fitted; // `image` scaled for the view as it was when queued, in the display's colours
        QImage actual; // `image` decoded in full for a zoom, in the display's colours where they differ
        SourceColour source;
        bool damaged = false; // the decoder warned of damaged data
        bool reduced = false; // decoded for the screen, not at full resolution
        bool skipped = false; // left the preload window before its decode began
        // RAW files zoomed beyond their embedded preview (viewerraw.cpp).
        bool rawChecked = false;   // the preview was compared with the sensor's size
        bool rawInterim = false;   // the preview, shown while the sensor data is rendered
        bool rawRendered = false;  // `image` is rendered from the sensor data
        bool rawCancelled = false; // the render was given up: the user moved on
        QString rawError;          // why the render failed; `image` is the preview
        QImage rawClipping;        // of a render: RawDecoder::rawClipping()
    };

    // The paths whose decode is still wanted, read by decode tasks as they start.
    struct WantedPreviews
    {
        QMutex mutex;
        QSet<QString> paths;
        // Of those, the ones a RAW render may go on for: the current photo
        // and the ones ahead. A render left behind stops.
        QSet<QString> renders;
    };

    // Following the catalog.
    void onFolderOpened();
    void onRecordsChanged(const QStringList &paths);
    void onFilesRemoved(const QStringList &paths);
    void onMarkWriteFinished(const QString &path, bool saved, bool rotation);
    QString currentPath() const;
    QString busyText() const;

    // Preview pipeline.
    void showCurrent();
    void requestPreview(const QString &path, int priority);
    void preloadNeighbours();
    void onPreviewDecoded(const PreviewResult &result);
    void refreshDisplayedImage();
    void refreshPixmap();
    bool zoomed() const;
    // Follows a zoom the user made on the canvas, or with the keys.
    void zoomChanged();
    void onCanvasClicked(const QPointF &viewPoint);
    void convertForActualSize(const SourceColour &source, bool manage);
    // Follows the screen the window is on.
    void updateDisplaySpace();
    static QString damagedText();
    // The file's own embedded picture, shown at once on a miss; false when it has none.
    bool showQuickPreview(const QString &path);
    // The turn a photo is first shown with is its sidecar's.
    void loadStoredRotation(const QString &path);
    // The photo's own size, turned as shown; `decoded`'s where it was decoded in full.
    QSize uprightPhotoSize(const QString &path, const QImage &decoded) const;
    QList<int> planPreloadWindow(qint64 currentCostKiB);
    // What a photo of the window is expected to cost: zoomed, at full size,
    // and twice where it is shown in other colours than its own.
    qint64 plannedCostKiB() const;
    bool needsDisplayConversion(const QString &path) const;
    // Zoomed, whether a pane still shows a stand-in for the picture at the zoom.
    bool awaitingZoomPictures() const;
    void touchPreloadWindow();
    qint64 windowCachedCostKiB() const;

    void rotateBy(int degrees);

    // RAW sensor data (viewerraw.cpp).
    // On a pool thread, after the preview of a RAW file was decoded in full:
    // renders the sensor data where the preview falls short, posting the
    // preview through `postInterim` first.
    static void developRaw(PreviewResult &result, const std::shared_ptr<WantedPreviews> &wanted,
                           const std::function<void(const PreviewResult &)> &postInterim);
    // Zoomed, whether the cached picture of `path` is still to be compared
    // with its sensor or replaced by the render.
    bool awaitsRawDecode(const QString &path) const;
    // Takes the RAW side of a result in; false when the result ends there.
    bool takeRawResult(const PreviewResult &result);
    // The RAW data's clipping of `path` as its render is shown (turned by
    // the user); null when it is not wanted or not there.
    QImage rawBlownFor(const QString &path) const;
    // The zoom part of the status for a RAW file: what 100 % is made of.
    QString rawZoomText(const QString &path, const QString &zoom) const;

    // Comparing (viewercompare.cpp).
    // The next candidate in `direction`, past the pinned photo; false when there is none.
    bool moveCandidate(int direction);
    // Whether `path` of the list stepped through is offered as a candidate.
    bool offeredAsCandidate(const QString &path, bool rejectedShown) const;
    bool rejectedCandidatesShown() const;
    void refreshPinnedPane();
    void updateCaptions();
    void syncPinnedZoom();
    void onPinnedZoomChanged(const ZoomView &zoom, bool alone);
    void onCandidateZoomMoved(const ZoomView &zoom, bool alone);
    void onPinnedClicked(const QPointF &viewPoint);

    // Overlays.
    // A compare pane's caption: the photo's marks and file name.
    QString captionFor(const QString &path) const;
    void updateMarksOverlay();
    void updateExifOverlay();
    void placeMarksOverlay();
    void placeExifOverlay();
    void placeShortcutOverlay();
    void updateSlideshowOverlay();
    void placeSlideshowOverlay();

    // Focus points (viewerfocus.cpp).
    void setUpFocusPoints();
    // The upright photo's focus points, read once per photo alongside its EXIF summary.
    const FocusPoints &focusPointsOf(const QString &path);
    // Where a zoom to 100 % centres: the primary focus point, else the photo's middle.
    QPointF focusCentre(const QString &path);
    // Following, at a zoom, the new current photo's focus point comes to the middle.
    void followFocusPointOf(const QString &path);

    QPointer<PhotoCatalog> m_catalog;

    PhotoCanvas *canvas = nullptr;
    PhotoCanvas *pinnedCanvas = nullptr;
    QWidget *photoPage = nullptr;
    QLabel *messageLabel = nullptr;
    QLabel *marksOverlay = nullptr;
    QLabel *exifOverlay = nullptr;
    QTextBrowser *shortcutOverlay = nullptr;
    QLabel *slideshowOverlay = nullptr;
    AnalysisLayers shownAnalysis;
    AnalysisOverlay *canvasAnalysis = nullptr;
    AnalysisOverlay *pinnedAnalysis = nullptr;
    bool slideshowRunning = false;
    bool slideshowPaused = false;
    QStackedLayout *stackedLayout = nullptr;

    std::unique_ptr<PreviewImageCache> previewCache;
    QSet<QString> pendingPreviews;
    // The display rotation of each photo shown, and the sidecar's rotation it
    // started from: a sidecar turned by an undo or another program turns it.
    QHash<QString, int> rotationByPath;
    QHash<QString, int> storedRotationByPath;
    QHash<QString, ExifSummary> exifByPath;
    QImage currentImage;
    QImage displayedImage;
    // displayedImage in the display's colours for 100 %, made in the background.
    QImage actualSizeImage;
    QColorSpace displaySpace{QColorSpace::SRgb};
    QHash<QString, SourceColour> sourceByPath;
    QSet<QString> damagedPaths;
    // Cached photos decoded for the screen; 100 % decodes them again in full.
    QSet<QString> reducedPaths;
    QHash<QString, QSize> fullSizeByPath;
    // RAW photos whose preview was compared with the sensor at a zoom, those
    // whose sensor data is being rendered, and those cached as rendered.
    QSet<QString> rawCheckedPaths;
    QSet<QString> rawRenderingPaths;
    QSet<QString> rawRenderedPaths;
    // Of those, the clipping their raw data holds, upright as rendered; and
    // the last one turned by the user, made once per turn.
    QHash<QString, QImage> rawClippingByPath;
    struct TurnedMask
    {
        qint64 sourceKey = 0;
        int rotation = 0;
        QImage mask;
    };
    mutable TurnedMask turnedRawClipping;
    bool watchingScreen = false;
    // The zoom the last photo was shown at, to tell when a full decode is needed.
    bool wasZoomed = false;
    double shownScale = 0;
    quint64 previewGeneration = 0;
    QString sourceTag;
    QString writeErrorTag;
    bool exifOverlayVisible = false;
    bool shortcutOverlayVisible = false;
    QHash<QString, FocusPoints> focusByPath;
    FocusPointOverlay *focusOverlay = nullptr;
    FocusPointOverlay *pinnedFocusOverlay = nullptr;
    bool focusPointsShown = false;
    bool followFocusPoint = false;
    int wheelAccumulator = 0;

    QString comparePinned;
    QStringList candidateList;
    bool pinnedActive = false;
    // Where the pinned pane's middle lies from the candidate's, once one was moved alone.
    QPointF pinnedOffset;
    // The pinned photo as last prepared for its pane, and what it was made from.
    qint64 pinnedSourceKey = 0;
    QSize pinnedPaneSize;
    bool pinnedWasZoomed = false;

    // The current photo first, then the neighbours in the order they are
    // preloaded; photos in it are kept in the cache in favour of any other.
    QStringList preloadWindow;
    QHash<QString, int> costByPath;
    // Photos of the window already scaled for the view, by path.
    QHash<QString, QImage> fittedByPath;
    // Photos of the window decoded in full and converted to the display's
    // colours, with the cache key of the decode they were made from.
    struct DisplayPicture
    {
        qint64 sourceKey = 0;
        QImage picture;
    };
    QHash<QString, DisplayPicture> actualByPath;
    std::shared_ptr<WantedPreviews> wantedPreviews;
    qint64 lastDecodedCostKiB = 0;
    ExifRows extraExifRows;

    // Declared last so that it is destroyed first, dropping the queued decodes.
    // A running decode is not waited for: it holds copies only and posts back
    // through a guarded pointer, which it then finds null.
    WorkerPool previewPool{2};
};

// Offsets from the current photo, in queue order, of the neighbours to decode
// ahead: in `direction` up to `maxAhead`, nearest first, with the first one
// behind after the sixth ahead, then the others behind up to `maxBehind`.
// The list is cut where the current photo and the neighbours, each estimated
// at `currentCostKiB`, would no longer fit into `budgetKiB`; an unknown cost
// (0 or less) keeps the full list.
QList<int> preloadOffsets(int direction, qint64 currentCostKiB, qint64 budgetKiB, int maxAhead = 12,
                          int maxBehind = 6);
