#include "viewer/viewerwidget.h"

#include "catalog/photocatalog.h"
#include "imaging/previewimagecache.h"
#include "viewer/focuspointoverlay.h"
#include "viewer/photocanvas.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMutexLocker>
#include <QResizeEvent>
#include <QSettings>
#include <QStackedLayout>
#include <QTextBrowser>
#include <QTextDocument>
#include <QWheelEvent>
#include <QWindow>

namespace {

constexpr int previewBudgetMiB = 512;

} // namespace

ViewerWidget::ViewerWidget(PhotoCatalog *catalog, QWidget *parent)
    : QWidget(parent)
    , m_catalog(catalog)
    , previewCache(std::make_unique<PreviewImageCache>(previewBudgetMiB))
    , wantedPreviews(std::make_shared<WantedPreviews>())
{
    setFocusPolicy(Qt::StrongFocus);
    setStyleSheet(QStringLiteral("background: #17191c; color: #d8dadd;"));

    canvas = new PhotoCanvas;
    canvas->setFocusPolicy(Qt::NoFocus);
    pinnedCanvas = new PhotoCanvas;
    pinnedCanvas->setFocusPolicy(Qt::NoFocus);
    pinnedCanvas->hide();
    photoPage = new QWidget;
    auto *panes = new QHBoxLayout(photoPage);
    panes->setContentsMargins(0, 0, 0, 0);
    panes->setSpacing(4);
    panes->addWidget(pinnedCanvas, 1);
    panes->addWidget(canvas, 1);

    messageLabel = new QLabel;
    messageLabel->setAlignment(Qt::AlignCenter);
    messageLabel->setWordWrap(true);
    messageLabel->setTextFormat(Qt::PlainText);
    messageLabel->setText(tr("Open a folder to start viewing photos.\n\nFile → Open Folder… · Ctrl+O"));

    stackedLayout = new QStackedLayout(this);
    stackedLayout->setContentsMargins(0, 0, 0, 0);
    stackedLayout->addWidget(messageLabel);
    stackedLayout->addWidget(photoPage);
    stackedLayout->setCurrentWidget(messageLabel);

    marksOverlay = new QLabel(this);
    marksOverlay->setTextFormat(Qt::RichText);
    marksOverlay->setAlignment(Qt::AlignCenter);
    marksOverlay->setStyleSheet(QStringLiteral(
        "QLabel { background: rgba(15, 17, 20, 210); color: white; border-radius: 7px; padding: 8px 12px; font-size: 18px; }"));
    marksOverlay->hide();

    exifOverlay = new QLabel(this);
    exifOverlay->setTextFormat(Qt::RichText);
    exifOverlay->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    exifOverlay->setStyleSheet(QStringLiteral(
        "QLabel { background: rgba(15, 17, 20, 215); color: white; border-radius: 7px; padding: 10px 13px; font-size: 14px; }"));
    exifOverlay->hide();

    shortcutOverlay = new QTextBrowser(this);
    shortcutOverlay->setOpenLinks(false);
    shortcutOverlay->setFocusPolicy(Qt::NoFocus);
    shortcutOverlay->setStyleSheet(QStringLiteral(
        "QTextBrowser { background: #0f1114; color: white; border: 1px solid rgba(255, 255, 255, 45); "
        "border-radius: 9px; font-size: 14px; }"));
    // The space around the text belongs to the document, so the panel can be sized to it.
    shortcutOverlay->document()->setDocumentMargin(18);
    shortcutOverlay->hide();

    // Small and dim: it tells the state of the show without covering the photo.
    slideshowOverlay = new QLabel(this);
    slideshowOverlay->setTextFormat(Qt::PlainText);
    slideshowOverlay->setAttribute(Qt::WA_TransparentForMouseEvents);
    slideshowOverlay->setStyleSheet(QStringLiteral(
        "QLabel { background: rgba(15, 17, 20, 150); color: rgba(255, 255, 255, 200); border-radius: 6px; "
        "padding: 4px 9px; font-size: 13px; }"));
    slideshowOverlay->hide();

    canvas->setObjectName(QStringLiteral("photoCanvas"));
    pinnedCanvas->setObjectName(QStringLiteral("pinnedCanvas"));
    messageLabel->setObjectName(QStringLiteral("messageLabel"));
    marksOverlay->setObjectName(QStringLiteral("marksOverlay"));
    exifOverlay->setObjectName(QStringLiteral("exifOverlay"));
    shortcutOverlay->setObjectName(QStringLiteral("shortcutOverlay"));
    slideshowOverlay->setObjectName(QStringLiteral("slideshowOverlay"));

    canvas->installEventFilter(this);
    pinnedCanvas->installEventFilter(this);
    connect(canvas, &PhotoCanvas::clicked, this, &ViewerWidget::onCanvasClicked);
    connect(canvas, &PhotoCanvas::zoomChangedByUser, this, [this](const ZoomView &zoom, bool alone) {
        setPinnedPaneActive(false);
        if (alone && isComparing()) {
            onCandidateZoomMoved(zoom, true);
            return;
        }
        zoomChanged();
    });
    connect(pinnedCanvas, &PhotoCanvas::clicked, this, &ViewerWidget::onPinnedClicked);
    connect(pinnedCanvas, &PhotoCanvas::zoomChangedByUser, this, &ViewerWidget::onPinnedZoomChanged);
    setUpFocusPoints();

    connect(catalog, &PhotoCatalog::folderOpened, this, &ViewerWidget::onFolderOpened);
    connect(catalog, &PhotoCatalog::currentChanged, this, &ViewerWidget::showCurrent);
    connect(catalog, &PhotoCatalog::recordsChanged, this, &ViewerWidget::onRecordsChanged);
    connect(catalog, &PhotoCatalog::filesRemoved, this, &ViewerWidget::onFilesRemoved);
    connect(catalog, &PhotoCatalog::markWriteFinished, this, &ViewerWidget::onMarkWriteFinished);
    connect(catalog, &PhotoCatalog::busyChanged, this, &ViewerWidget::stateChanged);
    connect(catalog, &PhotoCatalog::catalogChanged, this, [this] {
        updateMarksOverlay();
        updateCaptions();
        emit stateChanged();
    });
}

ViewerWidget::~ViewerWidget()
{
    // A RAW render still running stops at its next check instead of
    // working on for a view that is gone.
    QMutexLocker lock(&wantedPreviews->mutex);
    wantedPreviews->paths.clear();
    wantedPreviews->renders.clear();
}

// ---------------------------------------------------------------------------
// Following the catalog

QString ViewerWidget::currentPath() const
{
    return m_catalog ? m_catalog->currentPath() : QString();
}

void ViewerWidget::onFolderOpened()
{
    stopCompare();
    ++previewGeneration;
    previewPool.clear();
    previewCache->clear();
    pendingPreviews.clear();
    rotationByPath.clear();
    storedRotationByPath.clear();
    exifByPath.clear();
    focusByPath.clear();
    preloadWindow.clear();
    fittedByPath.clear();
    actualByPath.clear();
    costByPath.clear();
    fullSizeByPath.clear();
    rawCheckedPaths.clear();
    rawRenderingPaths.clear();
    rawRenderedPaths.clear();
    rawClippingByPath.clear();
    canvas->setZoom(ZoomView{});
    wasZoomed = false;
    shownScale = 0;
    sourceTag.clear();
    writeErrorTag.clear();
    setFocus(Qt::OtherFocusReason);
}

void ViewerWidget::onRecordsChanged(const QStringList &paths)
{
    const QString current = currentPath();
    bool turned = false;
    for (const QString &path : paths) {
        // While the viewer's own turns are still on their way, it knows better.
        if (!rotationByPath.contains(path) || m_catalog->hasPendingWrite(path))
            continue;
        const int stored = m_catalog->record(path).rotation;
        if (stored == storedRotationByPath.value(path))
            continue;
        storedRotationByPath.insert(path, stored);
        rotationByPath.insert(path, stored);
        turned = turned || path == current;
    }
    if (turned)
        refreshDisplayedImage();
    if (isComparing() && paths.contains(comparePinned)) {
        refreshPinnedPane();
        updateCaptions();
    }
    if (paths.contains(current)) {
        updateMarksOverlay();
        emit stateChanged();
    }
}

void ViewerWidget::onFilesRemoved(const QStringList &paths)
{
    if (paths.contains(comparePinned))
        stopCompare();
    for (const QString &path : paths) {
        rotationByPath.remove(path);
        storedRotationByPath.remove(path);
        exifByPath.remove(path);
        focusByPath.remove(path);
    }
}

void ViewerWidget::onMarkWriteFinished(const QString &path, bool saved, bool rotation)
{
    if (path != currentPath())
        return;
    if (saved)
        writeErrorTag.clear();
    else
        writeErrorTag = rotation ? tr("XMP rotation write failed") : tr("XMP write failed");
    emit stateChanged();
}

// ---------------------------------------------------------------------------
// Keys, wheel, display

void ViewerWidget::keyPressEvent(QKeyEvent *event)
{
    if (isComparing()) {
        switch (event->key()) {
        case Qt::Key_Up:
        case Qt::Key_Down:
            setPinnedPaneActive(!pinnedActive);
            return;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            pinCandidate();
            return;
        default:
            break;
        }
    }
    switch (event->key()) {
    case Qt::Key_Space:
    case Qt::Key_Right:
        if (!stepCandidate(+1))
            m_catalog->next();
        return;
    case Qt::Key_Left:
    case Qt::Key_Backspace:
        if (!stepCandidate(-1))
            m_catalog->previous();
        return;
    default:
        QWidget::keyPressEvent(event);
    }
}

bool ViewerWidget::eventFilter(QObject *watched, QEvent *event)
{
    // Leaving full screen ends a paused show as far as the view is concerned.
    if (event->type() == QEvent::WindowStateChange && watched == window()) {
        if (slideshowPaused && !window()->isFullScreen()) {
            slideshowPaused = false;
            updateSlideshowOverlay();
        }
        return QWidget::eventFilter(watched, event);
    }
    if (event->type() != QEvent::Wheel || (watched != canvas && watched != pinnedCanvas))
        return QWidget::eventFilter(watched, event);

    auto *wheel = static_cast<QWheelEvent *>(event);
    // Zoomed, the wheel moves the photo; at Fit it changes photo.
    if (static_cast<PhotoCanvas *>(watched)->handleWheel(wheel)) {
        wheelAccumulator = 0;
        wheel->accept();
        return true;
    }
    const QPoint angle = wheel->angleDelta();
    int delta = angle.y();
    if (angle.y() == 0 && angle.x() != 0) {
        wheel->accept();
        return true;
    }
    if (angle.isNull()) {
        delta = 3 * wheel->pixelDelta().y();
        if (delta == 0) {
            wheel->accept();
            return true;
        }
    }
    if ((wheelAccumulator > 0 && delta < 0) || (wheelAccumulator < 0 && delta > 0))
        wheelAccumulator = 0;
    wheelAccumulator += delta;
    if (std::abs(wheelAccumulator) >= 120) {
        const int request = wheelAccumulator < 0 ? +1 : -1;
        wheelAccumulator = 0;
        emit manualNavigationRequested(request);
    }
    wheel->accept();
    return true;
}

ZoomView ViewerWidget::zoom() const
{
    return canvas->zoom();
}

bool ViewerWidget::zoomed() const
{
    return !canvas->requestedZoom().isFit();
}

bool ViewerWidget::focusNextPrevChild(bool next)
{
    // Comparing, Tab goes from one pane to the other.
    if (isComparing()) {
        setPinnedPaneActive(!pinnedActive);
        return true;
    }
    return QWidget::focusNextPrevChild(next);
}

int ViewerWidget::viewMode() const
{
    const ZoomView view = canvas->requestedZoom();
    if (view.isFit())
        return Fit;
    return view.scale == 1.0 ? ActualSize : Zoomed;
}

void ViewerWidget::setZoom(const ZoomView &zoom)
{
    if (zoom == canvas->requestedZoom())
        return;
    canvas->setZoom(zoom);
    zoomChanged();
}

void ViewerWidget::setFitMode()
{
    setZoom(ZoomView{});
}

void ViewerWidget::setActualSizeMode()
{
    if (viewMode() == ActualSize)
        return;
    setZoom(ZoomView{1.0});
}

void ViewerWidget::toggleViewMode()
{
    setZoom(zoomed() ? ZoomView{} : ZoomView{1.0, focusCentre(currentPath())});
}

void ViewerWidget::onCanvasClicked(const QPointF &viewPoint)
{
    if (currentPath().isEmpty() || currentImage.isNull())
        return;
    if (zoomed())
        canvas->setZoom(ZoomView{});
    else
        canvas->zoomAt(1.0, viewPoint);
    zoomChanged();
}

void ViewerWidget::zoomChanged()
{
    // Entering or leaving the zoom changes which picture is shown; moving
    // within it only repaints, which the canvas has done.
    const bool entering = zoomed() && !wasZoomed;
    if (zoomed() != wasZoomed || (zoomed() && canvas->fullPicture().isNull()))
        refreshPixmap();
    wasZoomed = zoomed();
    // The photos ahead decoded for the screen are decoded again in full,
    // behind the current one, for stepping at the zoom.
    if (entering)
        preloadNeighbours();
    syncPinnedZoom();
    // A pan leaves the status line as it is; it is redrawn only for a new scale.
    const double scale = canvas->requestedZoom().scale;
    if (scale != shownScale) {
        shownScale = scale;
        emit stateChanged();
    }
}

void ViewerWidget::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (QWindow *window = this->window()->windowHandle(); window && !watchingScreen) {
        watchingScreen = true;
        connect(window, &QWindow::screenChanged, this, &ViewerWidget::updateDisplaySpace);
        this->window()->installEventFilter(this);
    }
    updateDisplaySpace();
}

void ViewerWidget::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    if (!displayedImage.isNull() && !zoomed())
        refreshPixmap();
    refreshPinnedPane();
    placeMarksOverlay();
    placeExifOverlay();
    placeShortcutOverlay();
    placeSlideshowOverlay();
}

void ViewerWidget::rotateClockwise()
{
    rotateBy(90);
}

void ViewerWidget::rotateCounterClockwise()
{
    rotateBy(270);
}

void ViewerWidget::rotateBy(int degrees)
{
    // Comparing, the active pane's photo turns.
    const bool pinnedPane = isPinnedPaneActive();
    const QString path = activePath();
    if (path.isEmpty() || (pinnedPane ? pinnedCanvas->fitPicture().isNull() : currentImage.isNull()))
        return;
    const int turned = (rotationByPath.value(path, 0) + degrees) % 360;
    rotationByPath.insert(path, turned);
    if (pinnedPane)
        refreshPinnedPane();
    else
        refreshDisplayedImage();
    if (QSettings().value(QStringLiteral("metadata/rememberRotations"), false).toBool())
        m_catalog->setRotation(path, turned);
    emit stateChanged();
}
