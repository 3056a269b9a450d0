#include "viewer/viewerwidget.h"

#include "core/xmpsidecar.h"
#include "imaging/photodecoder.h"
#include "imaging/previewimagecache.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QMutex>
#include <QPixmap>
#include <QPointer>
#include <QResizeEvent>
#include <QScrollArea>
#include <QScrollBar>
#include <QSettings>
#include <QStackedLayout>
#include <QTextBrowser>
#include <QTransform>
#include <QWheelEvent>

#include <algorithm>

namespace {

constexpr int previewBudgetMiB = 512;
constexpr int overlayMargin = 22;

const QString &allFilter()
{
    static const QString id = QStringLiteral("all");
    return id;
}

// Photos of one folder that differ only in their last extension share a
// sidecar, so they share one key. Pure string work: no file is touched.
QString sidecarKey(const QString &path)
{
    const int slash = int(path.lastIndexOf(QLatin1Char('/')));
    const int dot = int(path.lastIndexOf(QLatin1Char('.')));
    return dot > slash + 1 ? path.left(dot) : path;
}

QString stars(int count)
{
    return QString(qMax(0, count), QChar(0x2605));
}

QString colorLabelText(const QString &label)
{
    return QCoreApplication::translate("ColorLabel", label.toUtf8().constData());
}

const QHash<QString, QString> &labelColors()
{
    static const QHash<QString, QString> colors{
        {QStringLiteral("Red"), QStringLiteral("#ff5252")},
        {QStringLiteral("Yellow"), QStringLiteral("#ffd740")},
        {QStringLiteral("Green"), QStringLiteral("#69f06f")},
        {QStringLiteral("Blue"), QStringLiteral("#64b5f6")},
        {QStringLiteral("Purple"), QStringLiteral("#ce93d8")},
    };
    return colors;
}

QImage fitImage(const QImage &image, const QSize &target)
{
    return image.scaled(target, Qt::KeepAspectRatio, Qt::SmoothTransformation);
}

template <typename Fn>
void postToGuiThread(Fn &&fn)
{
    QMetaObject::invokeMethod(QCoreApplication::instance(), std::forward<Fn>(fn), Qt::QueuedConnection);
}

} // namespace

struct ViewerWidget::WantedPreviews
{
    QMutex mutex;
    QSet<QString> paths;
};

QList<int> preloadOffsets(int direction, qint64 currentCostKiB, qint64 budgetKiB, int maxAhead)
{
    const int dir = direction < 0 ? -1 : +1;
    QList<int> offsets;
    for (int i = 1; i <= maxAhead; ++i)
        offsets.append(i * dir);
    offsets.append(-dir);
    if (currentCostKiB <= 0)
        return offsets;
    const qint64 room = budgetKiB - currentCostKiB;
    const qint64 fitting = room > 0 ? room / currentCostKiB : 0;
    return offsets.mid(0, int(std::min<qint64>(fitting, offsets.size())));
}

ViewerWidget::ViewerWidget(QWidget *parent)
    : QWidget(parent)
    , previewCache(std::make_unique<PreviewImageCache>(previewBudgetMiB))
    , filterId(allFilter())
    , wantedPreviews(std::make_shared<WantedPreviews>())
{
    setFocusPolicy(Qt::StrongFocus);
    setStyleSheet(QStringLiteral("background: #17191c; color: #d8dadd;"));

    imageLabel = new QLabel;
    imageLabel->setAlignment(Qt::AlignCenter);
    imageLabel->setTextFormat(Qt::PlainText);
    imageLabel->setWordWrap(true);
    imageLabel->setStyleSheet(QStringLiteral("background: #17191c;"));

    scrollArea = new QScrollArea;
    scrollArea->setWidgetResizable(true);
    scrollArea->setAlignment(Qt::AlignCenter);
    scrollArea->setFrameShape(QFrame::NoFrame);
    scrollArea->setStyleSheet(QStringLiteral("QScrollArea { background: #17191c; border: none; }"));
    scrollArea->setWidget(imageLabel);

    messageLabel = new QLabel;
    messageLabel->setAlignment(Qt::AlignCenter);
    messageLabel->setWordWrap(true);
    messageLabel->setTextFormat(Qt::PlainText);
    messageLabel->setText(tr("Open a folder to start viewing photos.\n\nFile → Open Folder… · Ctrl+O"));

    stackedLayout = new QStackedLayout(this);
    stackedLayout->setContentsMargins(0, 0, 0, 0);
    stackedLayout->addWidget(messageLabel);
    stackedLayout->addWidget(scrollArea);
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
        "border-radius: 9px; padding: 16px 20px; font-size: 14px; }"));
    shortcutOverlay->hide();

    imageLabel->setObjectName(QStringLiteral("imageLabel"));
    messageLabel->setObjectName(QStringLiteral("messageLabel"));
    marksOverlay->setObjectName(QStringLiteral("marksOverlay"));
    exifOverlay->setObjectName(QStringLiteral("exifOverlay"));
    shortcutOverlay->setObjectName(QStringLiteral("shortcutOverlay"));
    scrollArea->setObjectName(QStringLiteral("scrollArea"));

    scrollArea->viewport()->installEventFilter(this);
    imageLabel->installEventFilter(this);

    previewPool.setMaxThreadCount(2);
    previewPool.setExpiryTimeout(10000);
    scanPool.setMaxThreadCount(1);
    batchPool.setMaxThreadCount(1);
}

ViewerWidget::~ViewerWidget()
{
    // Queued work is pointless now; running tasks finish and their results
    // find the guarded pointer null.
    previewPool.clear();
    scanPool.clear();
    batchPool.clear();
    previewPool.waitForDone();
    scanPool.waitForDone();
    batchPool.waitForDone();
}

// ---------------------------------------------------------------------------
// Catalog and navigation

void ViewerWidget::openFiles(const QStringList &files)
{
    ++previewGeneration;
    ++metadataGeneration;
    ++batchGeneration;
    previewPool.clear();
    scanPool.clear();
    batchPool.clear();
    const bool batchAbandoned = batchBusy;
    batchBusy = false;

    previewCache->clear();
    pendingPreviews.clear();
    rotationByPath.clear();
    metadataByPath.clear();
    exifByPath.clear();
    writtenDuringScan.clear();
    preloadWindow.clear();
    fittedByPath.clear();
    costByPath.clear();

    allFilesList = files;
    rebuildSiblings();
    visibleList = allFilesList;
    currentIndex = visibleList.isEmpty() ? -1 : 0;

    currentViewMode = Fit;
    direction = +1;
    sourceTag.clear();
    writeErrorTag.clear();
    metadataReady = false;
    resumePending = false;
    scanBusyText = tr("scanning ratings");
    busyText = scanBusyText;

    showCurrent();
    startSidecarScan(false);
    setFocus(Qt::OtherFocusReason);
    // The abandoned batch never reports back; whoever paused marking for it
    // must hear that it is over.
    if (batchAbandoned)
        emit metadataBatchBusyChanged(false);
}

void ViewerWidget::rebuildSiblings()
{
    siblingsByKey.clear();
    siblingsByKey.reserve(allFilesList.size());
    for (const QString &path : std::as_const(allFilesList))
        siblingsByKey[sidecarKey(path)].append(path);
}

void ViewerWidget::startSidecarScan(bool reload)
{
    const QStringList files = allFilesList;
    const quint64 generation = metadataGeneration;
    const QPointer<ViewerWidget> self(this);
    scanPool.start(
        [files, generation, self, reload] {
            QHash<QString, PhotoCore::Metadata> result;
            result.reserve(files.size());
            for (const QString &path : files)
                result.insert(path, PhotoCore::readMetadata(path));
            postToGuiThread([self, generation, reload, result] {
                if (self)
                    self->applyScanResult(generation, reload, result);
            });
        },
        0);
}

void ViewerWidget::applyScanResult(quint64 generation, bool reload,
                                   const QHash<QString, PhotoCore::Metadata> &result)
{
    if (generation != metadataGeneration)
        return;
    if (!reload) {
        for (auto it = result.cbegin(); it != result.cend(); ++it) {
            if (!metadataByPath.contains(it.key()))
                metadataByPath.insert(it.key(), it.value());
        }
    } else {
        QHash<QString, PhotoCore::Metadata> kept;
        for (const QString &path : std::as_const(writtenDuringScan))
            kept.insert(path, metadataByPath.value(path));
        metadataByPath = result;
        for (auto it = kept.cbegin(); it != kept.cend(); ++it)
            metadataByPath.insert(it.key(), it.value());
    }
    writtenDuringScan.clear();
    metadataReady = true;
    busyText.clear();

    updateSummary();
    emit catalogChanged();

    if (resumePending) {
        resumePending = false;
        resumeReview();
        return;
    }
    if (!reload && QSettings().value(QStringLiteral("session/firstUnreviewed"), false).toBool()) {
        for (int i = 0; i < allFilesList.size(); ++i) {
            if (PhotoCore::isReviewed(metadataByPath.value(allFilesList.at(i))))
                continue;
            visibleList = allFilesList;
            currentIndex = i;
            showCurrent();
            // The visible list changed after catalogChanged above went out.
            emit catalogChanged();
            return;
        }
    }
    if (filterId != allFilter()) {
        rebuildVisibleList(-1);
    } else {
        updateMarksOverlay();
        emit stateChanged();
    }
}

void ViewerWidget::rebuildVisibleList(int preferredIndex)
{
    const QString oldCurrent = currentPath();
    const int p = preferredIndex < 0 ? currentIndex : preferredIndex;
    const int oldPos = oldCurrent.isEmpty() ? -1 : int(allFilesList.indexOf(oldCurrent));

    QStringList rebuilt;
    QList<int> positions; // position in allFilesList of each rebuilt entry
    const bool everything = filterId == allFilter();
    for (int i = 0; i < allFilesList.size(); ++i) {
        const QString &path = allFilesList.at(i);
        if (everything || PhotoCore::matchesFilter(filterId, metadataByPath.value(path))) {
            rebuilt.append(path);
            positions.append(i);
        }
    }
    visibleList = rebuilt;

    const int kept = oldCurrent.isEmpty() ? -1 : int(visibleList.indexOf(oldCurrent));
    if (kept >= 0) {
        currentIndex = kept;
    } else if (visibleList.isEmpty()) {
        currentIndex = -1;
    } else if (oldPos >= 0) {
        // Nearest in folder order; on a tie the later photo wins.
        const auto after = std::lower_bound(positions.cbegin(), positions.cend(), oldPos);
        int best;
        if (after == positions.cend()) {
            best = int(positions.size()) - 1;
        } else if (after == positions.cbegin()) {
            best = 0;
        } else {
            const int later = int(after - positions.cbegin());
            const int earlier = later - 1;
            best = (positions.at(later) - oldPos) <= (oldPos - positions.at(earlier)) ? later : earlier;
        }
        currentIndex = best;
    } else {
        currentIndex = std::max(0, std::min(int(visibleList.size()) - 1, p));
    }
    showCurrent();
    emit catalogChanged();
}

void ViewerWidget::setFilter(const QString &id)
{
    filterId = id;
    if (!metadataReady && filterId != allFilter()) {
        busyText = tr("preparing filter");
        emit stateChanged();
        return;
    }
    // A filter that was waiting for the scan is no longer pending; a resume may be.
    if (!metadataReady)
        busyText = resumePending ? tr("preparing resume position") : scanBusyText;
    rebuildVisibleList(-1);
}

void ViewerWidget::reloadMetadata()
{
    if (allFilesList.isEmpty())
        return;
    ++metadataGeneration;
    scanPool.clear();
    metadataReady = false;
    writtenDuringScan.clear();
    scanBusyText = tr("reloading metadata");
    busyText = scanBusyText;
    emit stateChanged();
    startSidecarScan(true);
}

void ViewerWidget::resumeReview()
{
    if (allFilesList.isEmpty())
        return;
    if (!metadataReady) {
        resumePending = true;
        busyText = tr("preparing resume position");
        emit stateChanged();
        return;
    }
    int last = -1;
    for (int i = int(allFilesList.size()) - 1; i >= 0; --i) {
        if (PhotoCore::isReviewed(metadataByPath.value(allFilesList.at(i)))) {
            last = i;
            break;
        }
    }
    filterId = allFilter();
    visibleList = allFilesList;
    currentIndex = std::max(0, std::min(last + 1, int(visibleList.size()) - 1));
    direction = +1;
    busyText.clear();
    showCurrent();
    // The filter went back to "all": whoever mirrors the visible list must follow.
    emit catalogChanged();
}

void ViewerWidget::nextImage()
{
    if (currentIndex + 1 >= visibleList.size() || currentIndex < 0)
        return;
    ++currentIndex;
    direction = +1;
    showCurrent();
}

void ViewerWidget::previousImage()
{
    if (currentIndex < 1)
        return;
    --currentIndex;
    direction = -1;
    showCurrent();
}

void ViewerWidget::firstImage()
{
    if (visibleList.isEmpty())
        return;
    currentIndex = 0;
    direction = +1;
    showCurrent();
}

void ViewerWidget::selectFile(const QString &filePath)
{
    const int index = int(visibleList.indexOf(filePath));
    if (index < 0)
        return;
    currentIndex = index;
    showCurrent();
}

void ViewerWidget::removeFiles(const QStringList &files)
{
    if (files.isEmpty())
        return;
    const int p = currentIndex;
    for (const QString &path : files) {
        allFilesList.removeAll(path);
        metadataByPath.remove(path);
        rotationByPath.remove(path);
        exifByPath.remove(path);
    }
    rebuildSiblings();
    ++previewGeneration;
    previewPool.clear();
    pendingPreviews.clear();
    previewCache->clear();
    preloadWindow.clear();
    fittedByPath.clear();
    costByPath.clear();
    rebuildVisibleList(p);
    updateSummary();
}

void ViewerWidget::updateSummary()
{
    const PhotoCore::Summary s = PhotoCore::summarize(allFilesList, metadataByPath);
    emit summaryChanged(s.total, s.reviewed, s.rejected, s.open);
}

QString ViewerWidget::currentPath() const
{
    return currentIndex >= 0 && currentIndex < visibleList.size() ? visibleList.at(currentIndex) : QString();
}

QString ViewerWidget::currentFilePath() const
{
    return currentPath();
}

QStringList ViewerWidget::visibleFiles() const
{
    return visibleList;
}

QStringList ViewerWidget::allFiles() const
{
    return allFilesList;
}

QHash<QString, PhotoCore::Metadata> ViewerWidget::metadataSnapshot() const
{
    return metadataByPath;
}

bool ViewerWidget::isAtLastImage() const
{
    return !visibleList.isEmpty() && currentIndex == visibleList.size() - 1;
}

void ViewerWidget::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Space:
    case Qt::Key_Right:
        nextImage();
        return;
    case Qt::Key_Left:
    case Qt::Key_Backspace:
        previousImage();
        return;
    default:
        QWidget::keyPressEvent(event);
    }
}

bool ViewerWidget::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::Wheel || (watched != scrollArea->viewport() && watched != imageLabel))
        return QWidget::eventFilter(watched, event);

    auto *wheel = static_cast<QWheelEvent *>(event);
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

int ViewerWidget::pendingPreviewCount() const
{
    return int(pendingPreviews.size());
}

// ---------------------------------------------------------------------------
// Preview pipeline

void ViewerWidget::showCurrent()
{
    if (visibleList.isEmpty()) {
        currentImage = QImage();
        displayedImage = QImage();
        preloadWindow.clear();
        imageLabel->clear();
        messageLabel->setText(allFilesList.isEmpty()
                                  ? tr("No supported images in this folder.\n\nChoose another folder with File → Open Folder… (Ctrl+O).")
                                  : tr("No images match the active filter.\n\nChoose Filter → All Images to see your photos again."));
        marksOverlay->hide();
        exifOverlay->hide();
        stackedLayout->setCurrentWidget(messageLabel);
        emit stateChanged();
        return;
    }

    const QString path = currentPath();
    if (!metadataByPath.contains(path))
        metadataByPath.insert(path, PhotoCore::readMetadata(path));
    if (!rotationByPath.contains(path))
        rotationByPath.insert(path, metadataByPath.value(path).rotation);

    writeErrorTag.clear();
    updateMarksOverlay();
    updateExifOverlay();

    currentImage = previewCache->lookup(path);
    if (currentImage.isNull()) {
        displayedImage = QImage();
        sourceTag = tr("loading");
        // Until the photo arrives the label only carries text, centred in the view.
        scrollArea->setWidgetResizable(true);
        imageLabel->setPixmap(QPixmap());
        imageLabel->setText(tr("Loading preview…"));
        stackedLayout->setCurrentWidget(scrollArea);
        // Preloads still in flight are kept when they belong to the new window.
        planPreloadWindow(lastDecodedCostKiB);
        touchPreloadWindow();
        emit stateChanged();
        requestPreview(path, 100);
        return;
    }

    sourceTag = tr("cache");
    imageLabel->setText(QString());
    refreshDisplayedImage();
    stackedLayout->setCurrentWidget(scrollArea);
    emit stateChanged();
    preloadNeighbours();
}

void ViewerWidget::requestPreview(const QString &path, int priority)
{
    if (path.isEmpty() || previewCache->contains(path) || pendingPreviews.contains(path))
        return;
    pendingPreviews.insert(path);
    const QPointer<ViewerWidget> self(this);
    const quint64 generation = previewGeneration;
    // The photo is also scaled for the view as it is now, off the GUI thread,
    // so that showing it from the cache later costs no scaling.
    const QSize fitSize = scrollArea->viewport()->size();
    const std::shared_ptr<WantedPreviews> wanted = wantedPreviews;
    previewPool.start(
        [self, path, generation, fitSize, wanted] {
            PreviewResult result;
            {
                // A queued preload cannot be taken back cheaply, so it checks
                // whether the user is still heading its way before decoding.
                QMutexLocker lock(&wanted->mutex);
                result.skipped = !wanted->paths.contains(path);
            }
            if (result.skipped) {
                result.path = path;
                result.generation = generation;
                postToGuiThread([self, result] {
                    if (self)
                        self->onPreviewDecoded(result);
                });
                return;
            }
            QElapsedTimer timer;
            timer.start();
            result.image = decodePhoto(path);
            result.elapsedMs = timer.elapsed();
            result.path = path;
            result.generation = generation;
            if (!result.image.isNull() && !fitSize.isEmpty())
                result.fitted = fitImage(result.image, fitSize);
            postToGuiThread([self, result] {
                if (self)
                    self->onPreviewDecoded(result);
            });
        },
        priority);
}

QList<int> ViewerWidget::planPreloadWindow(qint64 currentCostKiB)
{
    const QList<int> offsets = preloadOffsets(direction, currentCostKiB, previewCache->maxCostKiB());
    preloadWindow = QStringList{currentPath()};
    QList<int> priorities;
    for (int offset : offsets) {
        const QString path = visibleList.value(currentIndex + offset);
        if (path.isEmpty())
            continue;
        preloadWindow.append(path);
        priorities.append(offset * direction > 0 ? 20 - std::abs(offset) : 5);
    }
    {
        QMutexLocker lock(&wantedPreviews->mutex);
        wantedPreviews->paths = QSet<QString>(preloadWindow.cbegin(), preloadWindow.cend());
    }
    for (auto it = fittedByPath.begin(); it != fittedByPath.end();) {
        if (preloadWindow.contains(it.key()))
            ++it;
        else
            it = fittedByPath.erase(it);
    }
    return priorities;
}

void ViewerWidget::preloadNeighbours()
{
    if (currentIndex < 0)
        return;
    const qint64 cost = currentImage.isNull() ? lastDecodedCostKiB : PreviewImageCache::costKiB(currentImage);
    const QList<int> priorities = planPreloadWindow(cost);
    // Photos already cached must outlive the decodes queued next, which would
    // otherwise evict the nearest photos first.
    touchPreloadWindow();
    for (int i = 1; i < preloadWindow.size(); ++i)
        requestPreview(preloadWindow.at(i), priorities.at(i - 1));
}

qint64 ViewerWidget::windowCachedCostKiB() const
{
    qint64 total = 0;
    for (const QString &path : preloadWindow) {
        if (previewCache->contains(path))
            total += costByPath.value(path);
    }
    return total;
}

void ViewerWidget::touchPreloadWindow()
{
    for (int i = int(preloadWindow.size()) - 1; i >= 0; --i) {
        if (previewCache->contains(preloadWindow.at(i)))
            previewCache->lookup(preloadWindow.at(i));
    }
}

void ViewerWidget::onPreviewDecoded(const PreviewResult &result)
{
    if (result.generation != previewGeneration)
        return;
    pendingPreviews.remove(result.path);
    if (result.skipped) {
        // The window may have come back to the photo after the task looked.
        if (result.path == currentPath())
            requestPreview(result.path, 100);
        else if (preloadWindow.contains(result.path) && !pendingPreviews.contains(currentPath()))
            preloadNeighbours();
        return;
    }

    if (!result.image.isNull()) {
        const int cost = PreviewImageCache::costKiB(result.image);
        lastDecodedCostKiB = cost;
        costByPath.insert(result.path, cost);
        bool cached = false;
        if (preloadWindow.contains(result.path)) {
            previewCache->insert(result.path, result.image);
            cached = true;
        } else if (windowCachedCostKiB() + cost <= previewCache->maxCostKiB()) {
            // A photo the user has moved away from may displace only photos
            // outside the window, and ranks behind the window.
            previewCache->insert(result.path, result.image);
            touchPreloadWindow();
        }
        if (cached && !result.fitted.isNull())
            fittedByPath.insert(result.path, result.fitted);
    }

    if (result.path != currentPath())
        return;

    sourceTag = tr("%1 ms").arg(result.elapsedMs);
    currentImage = result.image;
    if (currentImage.isNull()) {
        imageLabel->setText(tr("This photo could not be displayed.\n%1\n\nCheck that the file and drive are available. "
                               "The file may be damaged or contain no supported preview.\n"
                               "Use the arrow keys to continue to the next photo.")
                                .arg(result.path));
        emit warningRaised(tr("Could not read preview: %1").arg(result.path));
    } else {
        imageLabel->setText(QString());
        refreshDisplayedImage();
    }
    emit stateChanged();
    preloadNeighbours();
}

void ViewerWidget::refreshDisplayedImage()
{
    if (currentImage.isNull()) {
        displayedImage = QImage();
        return;
    }
    const int r = rotationByPath.value(currentPath(), 0);
    displayedImage = r != 0 ? currentImage.transformed(QTransform().rotate(r)) : currentImage;
    refreshPixmap();
}

void ViewerWidget::refreshPixmap()
{
    if (displayedImage.isNull())
        return;
    if (currentViewMode == ActualSize) {
        scrollArea->setWidgetResizable(false);
        imageLabel->setPixmap(QPixmap::fromImage(displayedImage));
        imageLabel->resize(displayedImage.size());
    } else {
        scrollArea->setWidgetResizable(true);
        const QSize target = scrollArea->viewport()->size();
        const QImage fitted = fittedByPath.value(currentPath());
        const bool prepared = displayedImage.cacheKey() == currentImage.cacheKey() && !fitted.isNull()
                              && fitted.size() == currentImage.size().scaled(target, Qt::KeepAspectRatio);
        imageLabel->setPixmap(QPixmap::fromImage(prepared ? fitted : fitImage(displayedImage, target)));
    }
}

int ViewerWidget::viewMode() const
{
    return currentViewMode;
}

void ViewerWidget::setFitMode()
{
    if (currentViewMode == Fit)
        return;
    currentViewMode = Fit;
    refreshPixmap();
    emit stateChanged();
}

void ViewerWidget::setActualSizeMode()
{
    if (currentViewMode == ActualSize)
        return;
    currentViewMode = ActualSize;
    refreshPixmap();
    emit stateChanged();
}

void ViewerWidget::toggleViewMode()
{
    currentViewMode = currentViewMode == Fit ? ActualSize : Fit;
    refreshPixmap();
    emit stateChanged();
}

void ViewerWidget::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    if (!displayedImage.isNull() && currentViewMode == Fit)
        refreshPixmap();
    placeMarksOverlay();
    exifOverlay->adjustSize();
    exifOverlay->move(overlayMargin, overlayMargin);
    placeShortcutOverlay();
}

// ---------------------------------------------------------------------------
// Marks

PhotoCore::Metadata ViewerWidget::currentMetadata()
{
    const QString path = currentPath();
    if (path.isEmpty())
        return {};
    if (!metadataByPath.contains(path))
        metadataByPath.insert(path, PhotoCore::readMetadata(path));
    return metadataByPath.value(path);
}

void ViewerWidget::storeWrittenRecord(const QString &path, const PhotoCore::Metadata &record)
{
    // The sidecar now holds `record` for every photo that shares it.
    QStringList paths = siblingsByKey.value(sidecarKey(path));
    if (!paths.contains(path))
        paths.append(path);
    for (const QString &p : std::as_const(paths)) {
        metadataByPath.insert(p, record);
        if (!metadataReady)
            writtenDuringScan.insert(p);
    }
}

void ViewerWidget::applyMetadataToCurrent(const PhotoCore::Metadata &record)
{
    const QString path = currentPath();
    if (path.isEmpty())
        return;
    if (!PhotoCore::writeMetadata(path, record)) {
        writeErrorTag = tr("XMP write failed");
        emit warningRaised(tr("Could not write XMP sidecar for %1. The file may be damaged or use an unsupported XMP "
                              "structure. Check write permissions and storage availability. Existing data was not "
                              "overwritten.")
                               .arg(path));
        emit stateChanged();
        return;
    }
    storeWrittenRecord(path, record);
    emit catalogChanged();
    writeErrorTag.clear();
    updateMarksOverlay();
    const bool autoAdvance = QSettings().value(QStringLiteral("rating/autoAdvance"), true).toBool();
    updateSummary();
    if (filterId != allFilter())
        rebuildVisibleList(-1);
    else if (autoAdvance)
        nextImage();
    emit stateChanged();
}

void ViewerWidget::setRating(int rating)
{
    PhotoCore::Metadata record = currentMetadata();
    record.rating = PhotoCore::clampRating(rating);
    record.rejected = false;
    applyMetadataToCurrent(record);
}

void ViewerWidget::setColorLabel(const QString &label)
{
    PhotoCore::Metadata record = currentMetadata();
    record.label = label;
    applyMetadataToCurrent(record);
}

void ViewerWidget::rejectImage()
{
    PhotoCore::Metadata record = currentMetadata();
    record.rating = 0;
    record.rejected = true;
    applyMetadataToCurrent(record);
}

void ViewerWidget::clearRejection()
{
    PhotoCore::Metadata record = currentMetadata();
    record.rejected = false;
    applyMetadataToCurrent(record);
}

void ViewerWidget::clearColorLabel()
{
    PhotoCore::Metadata record = currentMetadata();
    record.label.clear();
    applyMetadataToCurrent(record);
}

void ViewerWidget::clearAllMarks()
{
    PhotoCore::Metadata record = currentMetadata();
    record.rating = 0;
    record.label.clear();
    record.rejected = false;
    applyMetadataToCurrent(record);
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
    const QString path = currentPath();
    if (path.isEmpty() || currentImage.isNull())
        return;
    rotationByPath.insert(path, (rotationByPath.value(path, 0) + degrees) % 360);
    refreshDisplayedImage();
    persistRotation();
    emit stateChanged();
}

void ViewerWidget::persistRotation()
{
    if (!QSettings().value(QStringLiteral("metadata/rememberRotations"), false).toBool())
        return;
    const QString path = currentPath();
    if (path.isEmpty())
        return;
    PhotoCore::Metadata record = currentMetadata();
    record.rotation = rotationByPath.value(path, 0);
    if (PhotoCore::writeMetadata(path, record)) {
        storeWrittenRecord(path, record);
    } else {
        writeErrorTag = tr("XMP rotation write failed");
        emit warningRaised(tr("Could not save rotation for %1.").arg(path));
    }
}

void ViewerWidget::setRatingForFiles(const QStringList &files, int rating)
{
    const int value = PhotoCore::clampRating(rating);
    runMetadataBatch(files, [value](PhotoCore::Metadata &m) {
        m.rating = value;
        m.rejected = false;
    });
}

void ViewerWidget::setColorLabelForFiles(const QStringList &files, const QString &label)
{
    runMetadataBatch(files, [label](PhotoCore::Metadata &m) { m.label = label; });
}

void ViewerWidget::setRejectedForFiles(const QStringList &files, bool rejected)
{
    runMetadataBatch(files, [rejected](PhotoCore::Metadata &m) {
        if (rejected)
            m.rating = 0;
        m.rejected = rejected;
    });
}

void ViewerWidget::clearColorLabelForFiles(const QStringList &files)
{
    runMetadataBatch(files, [](PhotoCore::Metadata &m) { m.label.clear(); });
}

void ViewerWidget::clearAllMarksForFiles(const QStringList &files)
{
    runMetadataBatch(files, [](PhotoCore::Metadata &m) {
        m.rating = 0;
        m.label.clear();
        m.rejected = false;
    });
}

bool ViewerWidget::isMetadataBatchBusy() const
{
    return batchBusy;
}

void ViewerWidget::runMetadataBatch(const QStringList &files, const std::function<void(PhotoCore::Metadata &)> &change)
{
    if (files.isEmpty() || batchBusy)
        return;
    QStringList targets;
    for (const QString &path : files) {
        if (siblingsByKey.value(sidecarKey(path)).contains(path))
            targets.append(path);
    }
    if (targets.isEmpty())
        return;

    batchBusy = true;
    emit metadataBatchBusyChanged(true);

    const QPointer<ViewerWidget> self(this);
    const QHash<QString, PhotoCore::Metadata> snapshot = metadataByPath;
    const quint64 generation = batchGeneration;
    batchPool.start(
        [self, targets, snapshot, change, generation] {
            QHash<QString, PhotoCore::Metadata> written;
            QHash<QString, PhotoCore::Metadata> writtenBySidecar;
            QStringList failures;
            for (const QString &path : targets) {
                // A photo whose sidecar this batch already wrote starts from
                // what is now in it, not from the record taken before.
                const QString key = sidecarKey(path);
                PhotoCore::Metadata record = writtenBySidecar.contains(key) ? writtenBySidecar.value(key)
                                             : snapshot.contains(path)      ? snapshot.value(path)
                                                                            : PhotoCore::readMetadata(path);
                change(record);
                if (PhotoCore::writeMetadata(path, record)) {
                    written.insert(path, record);
                    writtenBySidecar.insert(key, record);
                } else {
                    failures.append(path);
                }
            }
            postToGuiThread([self, generation, written, failures] {
                if (self)
                    self->applyBatchResult(generation, written, failures);
            });
        },
        0);
}

void ViewerWidget::applyBatchResult(quint64 generation, const QHash<QString, PhotoCore::Metadata> &written,
                                    const QStringList &failures)
{
    if (generation != batchGeneration)
        return;
    for (auto it = written.cbegin(); it != written.cend(); ++it) {
        if (siblingsByKey.value(sidecarKey(it.key())).contains(it.key()))
            storeWrittenRecord(it.key(), it.value());
    }
    batchBusy = false;
    emit metadataBatchBusyChanged(false);
    updateSummary();
    if (filterId != allFilter()) {
        rebuildVisibleList(-1);
    } else {
        updateMarksOverlay();
        emit catalogChanged();
        emit stateChanged();
    }
    emit metadataBatchFinished(failures);
}

// ---------------------------------------------------------------------------
// Presentation

QString ViewerWidget::statusText() const
{
    if (visibleList.isEmpty())
        return allFilesList.isEmpty() ? tr("No supported images found") : tr("No images match the active filter");

    const QString path = currentPath();
    const PhotoCore::Metadata record = metadataByPath.value(path);
    const int rotation = rotationByPath.value(path, 0);

    QStringList marks;
    if (record.rejected)
        marks.append(tr("Rejected"));
    else if (record.rating > 0)
        marks.append(stars(record.rating));
    if (!record.label.isEmpty())
        marks.append(colorLabelText(record.label));
    if (!writeErrorTag.isEmpty())
        marks.append(writeErrorTag);

    const QString mode = currentViewMode == ActualSize ? tr("100%") : tr("Fit");
    const QString rotated = rotation != 0 ? tr(" — rotated %1°").arg(rotation) : QString();
    const QString source = sourceTag.isEmpty() ? QString() : tr(" — %1").arg(sourceTag);
    const QString marksPart = marks.isEmpty() ? QString() : tr(" — %1").arg(marks.join(QStringLiteral(" · ")));
    const QString busy = busyText.isEmpty() ? QString() : tr(" — %1").arg(busyText);
    // One substitution pass: a label text such as "50%2" must not be re-expanded.
    return tr("Image %1 of %2 — %3%4%5%6%7 — Left/Right to navigate")
        .arg(QString::number(currentIndex + 1), QString::number(visibleList.size()), mode, rotated, source,
             marksPart, busy);
}

void ViewerWidget::updateMarksOverlay()
{
    const PhotoCore::Metadata record = metadataByPath.value(currentPath());
    QStringList parts;
    if (record.rejected)
        parts.append(QStringLiteral("<b style='color:#ff7043'>%1</b>").arg(tr("REJECTED").toHtmlEscaped()));
    else if (record.rating > 0)
        parts.append(QStringLiteral("<span style='color:#ffffff'>%1</span>").arg(stars(record.rating)));
    if (!record.label.isEmpty()) {
        const QString color = labelColors().value(record.label, QStringLiteral("#ffffff"));
        parts.append(QStringLiteral("<b style='color:%1'>%2</b>")
                         .arg(color, colorLabelText(record.label).toUpper().toHtmlEscaped()));
    }
    if (parts.isEmpty()) {
        marksOverlay->hide();
        return;
    }
    marksOverlay->setText(parts.join(QStringLiteral("  \u00b7  ")));
    placeMarksOverlay();
    marksOverlay->raise();
    marksOverlay->show();
}

void ViewerWidget::placeMarksOverlay()
{
    marksOverlay->adjustSize();
    marksOverlay->move(width() - marksOverlay->width() - overlayMargin, overlayMargin);
}

void ViewerWidget::updateExifOverlay()
{
    const QString path = currentPath();
    if (!exifOverlayVisible || path.isEmpty()) {
        exifOverlay->hide();
        return;
    }
    auto it = exifByPath.find(path);
    if (it == exifByPath.end())
        it = exifByPath.insert(path, readExifSummary(path));
    const ExifSummary &exif = it.value();

    QString rows;
    auto addRow = [&rows](const QString &label, const QString &value) {
        if (value.isEmpty())
            return;
        rows += QStringLiteral("<tr><td style='color:#aeb6c2;padding-right:12px'>%1</td><td><b>%2</b></td></tr>")
                    .arg(label.toHtmlEscaped(), value.toHtmlEscaped());
    };
    addRow(tr("Camera"), (exif.make + QLatin1Char(' ') + exif.model).trimmed());
    addRow(tr("Lens"), exif.lens);
    addRow(tr("Captured"), exif.captured);
    addRow(tr("Exposure"), exif.exposure);
    addRow(tr("Aperture"), exif.aperture);
    addRow(tr("ISO"), exif.iso);
    addRow(tr("Focal length"), exif.focalLength);
    addRow(tr("Compensation"), exif.compensation);
    if (exif.pixelWidth > 0 && exif.pixelHeight > 0)
        addRow(tr("Dimensions"), tr("%1 × %2 px").arg(exif.pixelWidth).arg(exif.pixelHeight));
    if (rows.isEmpty()) {
        rows = QStringLiteral("<tr><td colspan='2' style='color:#aeb6c2'>%1</td></tr>")
                   .arg(tr("No EXIF data available").toHtmlEscaped());
    }
    addRow(tr("File size"), QLocale().formattedDataSize(exif.fileSize, 2, QLocale::DataSizeIecFormat));
    addRow(tr("File"), QFileInfo(path).fileName());

    exifOverlay->setText(QStringLiteral("<table cellspacing='2'>%1</table>").arg(rows));
    exifOverlay->adjustSize();
    exifOverlay->move(overlayMargin, overlayMargin);
    exifOverlay->raise();
    exifOverlay->show();
}

void ViewerWidget::toggleExifOverlay()
{
    exifOverlayVisible = !exifOverlayVisible;
    updateExifOverlay();
}

void ViewerWidget::placeShortcutOverlay()
{
    const int w = std::max(1, std::min(width() - 32, 1000));
    const int h = std::max(1, std::min(height() - 32, 640));
    shortcutOverlay->resize(w, h);
    shortcutOverlay->move((width() - w) / 2, (height() - h) / 2);
}

void ViewerWidget::toggleShortcutOverlay()
{
    const bool wasVisible = shortcutOverlayVisible;
    shortcutOverlayVisible = !shortcutOverlayVisible;
    if (wasVisible) {
        shortcutOverlay->hide();
        return;
    }
    placeShortcutOverlay();
    shortcutOverlay->raise();
    shortcutOverlay->show();
}

void ViewerWidget::setShortcutOverlayHtml(const QString &html)
{
    shortcutOverlay->setHtml(html);
    placeShortcutOverlay();
}

bool ViewerWidget::isShortcutOverlayVisible() const
{
    return shortcutOverlayVisible;
}
