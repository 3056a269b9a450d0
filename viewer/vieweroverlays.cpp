#include "viewer/viewerwidget.h"

#include "catalog/photocatalog.h"
#include "imaging/photodecoder.h"
#include "viewer/focuspointoverlay.h"
#include "viewer/photocanvas.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLabel>
#include <QLocale>
#include <QStyle>
#include <QTextBrowser>
#include <QTextDocument>

#include <cmath>
#include <memory>

// What the viewer writes and draws over the photo: the status line, the
// marks and EXIF overlays and the shortcut overview.

namespace {

constexpr int overlayMargin = 22;

QString stars(int count)
{
    return QString(qMax(0, count), QChar(0x2605));
}

// The labels shown translated: ours and the one other programs commonly
// add. Named here so that they stay in the catalogue, which never sees the
// label text the call below translates.
[[maybe_unused]] const char *const translatedLabels[] = {
    QT_TRANSLATE_NOOP("ColorLabel", "Red"),   QT_TRANSLATE_NOOP("ColorLabel", "Yellow"),
    QT_TRANSLATE_NOOP("ColorLabel", "Green"), QT_TRANSLATE_NOOP("ColorLabel", "Blue"),
    QT_TRANSLATE_NOOP("ColorLabel", "Purple"),
};

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

// How the status line names a filter: "3 stars", "at least 2 stars", "not rejected".
// (Written without a switch: the translation scanner stalls on this one.)
QString filterDescription(const QString &filterId)
{
    const PhotoCore::ParsedFilter filter = PhotoCore::parseFilter(filterId);
    const int kind = int(filter.kind);
    const int rating1 = int(PhotoCore::FilterKind::Rating1);
    const int atLeast1 = int(PhotoCore::FilterKind::AtLeast1);
    QString name;
    if (filter.kind == PhotoCore::FilterKind::All)
        return QString();
    if (filter.kind == PhotoCore::FilterKind::ZeroStars)
        name = QCoreApplication::translate("ViewerWidget", "zero stars");
    else if (filter.kind == PhotoCore::FilterKind::Unreviewed)
        name = QCoreApplication::translate("ViewerWidget", "unreviewed");
    else if (filter.kind == PhotoCore::FilterKind::Rejected)
        name = QCoreApplication::translate("ViewerWidget", "rejected");
    else if (kind >= rating1 && kind < rating1 + 5)
        name = QCoreApplication::translate("ViewerWidget", "%n star(s)", nullptr, kind - rating1 + 1);
    else if (kind >= atLeast1 && kind < atLeast1 + 5)
        name = QCoreApplication::translate("ViewerWidget", "at least %n star(s)", nullptr, kind - atLeast1 + 1);
    else
        name = QCoreApplication::translate("ViewerWidget", "label %1")
                   .arg(colorLabelText(filterId.section(QLatin1Char(':'), -1)));
    return filter.exclude ? QCoreApplication::translate("ViewerWidget", "not %1").arg(name) : name;
}

} // namespace

QString ViewerWidget::positionText() const
{
    const QStringList visible = m_catalog->visibleFiles();
    const int count = int(visible.size());
    if (count == 0)
        return QString();
    const QString filter = filterDescription(m_catalog->filter());
    if (isPinnedPaneActive())
        return filter.isEmpty() ? tr("Pinned photo") : tr("Filter: %1 — pinned photo").arg(filter);
    if (isComparing()) {
        // Where the candidate stands among the photos offered, itself counted
        // even when it no longer would be (rejected meanwhile).
        const QString current = currentPath();
        const bool rejectedShown = rejectedCandidatesShown();
        int at = 0;
        int offered = 0;
        for (const QString &path : candidateList.isEmpty() ? visible : candidateList) {
            if (path == current || offeredAsCandidate(path, rejectedShown)) {
                ++offered;
                if (path == current)
                    at = offered;
            }
        }
        const QString index = QString::number(at);
        if (filter.isEmpty())
            return tr("Candidate %1 of %2").arg(index, QString::number(offered));
        return tr("Filter: %1 — candidate %2 of %3").arg(filter, index, QString::number(offered));
    }
    const QString index = QString::number(m_catalog->currentIndex() + 1);
    if (filter.isEmpty())
        return tr("Image %1 of %2").arg(index, QString::number(count));
    return tr("Filter: %1 — image %2 of %3").arg(filter, index, QString::number(count));
}

QString ViewerWidget::zoomText() const
{
    const ZoomView view = canvas->requestedZoom();
    if (view.isFit())
        return tr("Fit");
    return tr("%1 %").arg(qRound(view.scale * 100));
}

QString ViewerWidget::busyText() const
{
    switch (m_catalog->busy()) {
    case PhotoCatalog::Busy::Scanning:
        return tr("scanning ratings");
    case PhotoCatalog::Busy::Reloading:
        return tr("reloading metadata");
    case PhotoCatalog::Busy::PreparingFilter:
        return tr("preparing filter");
    case PhotoCatalog::Busy::PreparingResume:
        return tr("preparing resume position");
    case PhotoCatalog::Busy::None:
        break;
    }
    return QString();
}

QString ViewerWidget::statusText() const
{
    const int count = int(m_catalog->visibleFiles().size());
    if (count == 0 && m_catalog->allFiles().isEmpty() && m_catalog->folder().isEmpty() && !m_catalog->isScanned())
        return tr("Open a folder to begin"); // nothing opened yet: nothing was searched for photos
    if (count == 0)
        return m_catalog->allFiles().isEmpty() ? tr("No supported images found") : tr("No images match the active filter");

    const QString path = activePath();
    const PhotoCore::Metadata record = m_catalog->record(path);
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
    if (damagedPaths.contains(path))
        marks.append(damagedText());

    const QString busy = busyText();
    QString mode = zoomText();
    if (zoomed() && isRawPhotoPath(path))
        mode = rawZoomText(path, mode);
    // The pair's tag rides with the view mode: the line's pattern stays as it was.
    if (m_catalog->filesOf(path).size() > 1)
        mode += tr(" — %1").arg(tr("RAW+JPEG"));
    const QString rotated = rotation != 0 ? tr(" — rotated %1°").arg(rotation) : QString();
    // Zoomed, the level is named as reached only once every pane shows it.
    const QString shownSource = rawRenderingPaths.contains(path) ? QString()
                                : awaitingZoomPictures()             ? tr("loading")
                                                                     : sourceTag;
    const QString source = shownSource.isEmpty() ? QString() : tr(" — %1").arg(shownSource);
    const QString marksPart = marks.isEmpty() ? QString() : tr(" — %1").arg(marks.join(QStringLiteral(" · ")));
    const QString busyPart = busy.isEmpty() ? QString() : tr(" — %1").arg(busy);
    // One substitution pass: a label text such as "50%2" must not be re-expanded.
    return tr("%1 — %2%3%4%5%6 — Left/Right to navigate")
        .arg(positionText(), mode, rotated, source, marksPart, busyPart);
}

void ViewerWidget::updateMarksOverlay()
{
    // Comparing, each pane's caption carries its marks.
    if (isComparing()) {
        marksOverlay->hide();
        return;
    }
    const PhotoCore::Metadata record = m_catalog->record(currentPath());
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

QString ViewerWidget::captionFor(const QString &path) const
{
    const PhotoCore::Metadata record = m_catalog->record(path);
    QStringList parts;
    if (record.rejected)
        parts.append(tr("REJECTED"));
    else if (record.rating > 0)
        parts.append(stars(record.rating));
    if (!record.label.isEmpty())
        parts.append(colorLabelText(record.label));
    parts.append(QFileInfo(path).fileName());
    return parts.join(QStringLiteral("  \u00b7  "));
}

void ViewerWidget::placeMarksOverlay()
{
    marksOverlay->adjustSize();
    marksOverlay->move(width() - marksOverlay->width() - overlayMargin, overlayMargin);
}

void ViewerWidget::updateExifOverlay()
{
    const QString path = activePath();
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
    addRow(tr("Camera"), cameraName(exif));
    addRow(tr("Lens"), exif.lens);
    addRow(tr("Captured"), formatCaptureTime(exif, QLocale()));
    addRow(tr("Exposure"), exif.exposure);
    addRow(tr("Aperture"), exif.aperture);
    addRow(tr("ISO"), exif.iso);
    addRow(tr("Focal length"), exif.focalLength);
    addRow(tr("Compensation"), exif.compensation);
    if (exif.pixelWidth > 0 && exif.pixelHeight > 0)
        addRow(tr("Dimensions"), tr("%1 × %2 px").arg(exif.pixelWidth).arg(exif.pixelHeight));
    // Where the camera focused; "not recorded" only for photos from a camera.
    if (const FocusPoints &focus = focusPointsOf(path); !focus.isEmpty() || !exif.make.isEmpty())
        addRow(tr("Focus"), FocusPointOverlay::summaryText(focus));
    if (rows.isEmpty()) {
        rows = QStringLiteral("<tr><td colspan='2' style='color:#aeb6c2'>%1</td></tr>")
                   .arg(tr("No EXIF data available").toHtmlEscaped());
    }
    const auto source = sourceByPath.constFind(path);
    if (source != sourceByPath.constEnd()) {
        addRow(source->applied ? tr("Colours") : tr("Colour profile"),
               source->applied ? source->name : tr("%1 (not applied)").arg(source->name));
    }
    addRow(tr("File size"), QLocale().formattedDataSize(exif.fileSize, 2, QLocale::DataSizeIecFormat));
    addRow(tr("File"), QFileInfo(path).fileName());
    if (extraExifRows) {
        for (const auto &[label, value] : extraExifRows(path))
            addRow(label, value);
    }
    // The pair's other file; the photo shown and its data are the JPEG's.
    const QStringList files = m_catalog->filesOf(path);
    for (int i = 1; i < files.size(); ++i) {
        const QFileInfo other(files.at(i));
        addRow(tr("RAW file"), tr("%1 (%2)").arg(other.fileName(),
                                                QLocale().formattedDataSize(other.size(), 2, QLocale::DataSizeIecFormat)));
    }

    if (damagedPaths.contains(path)) {
        rows += QStringLiteral("<tr><td colspan='2' style='color:#ffb74d'><b>%1</b></td></tr>")
                    .arg(damagedText().toHtmlEscaped());
    }
    exifOverlay->setText(QStringLiteral("<table cellspacing='2'>%1</table>").arg(rows));
    placeExifOverlay();
    exifOverlay->raise();
    exifOverlay->show();
}

void ViewerWidget::placeExifOverlay()
{
    exifOverlay->adjustSize();
    exifOverlay->move(overlayMargin, overlayMargin);
}

void ViewerWidget::toggleExifOverlay()
{
    exifOverlayVisible = !exifOverlayVisible;
    updateExifOverlay();
}

void ViewerWidget::placeShortcutOverlay()
{
    // Measuring lays the whole overview out again: only for the panel on screen.
    if (!shortcutOverlayVisible)
        return;
    // Sized to its content, and never beyond the view: a smaller window scrolls it.
    std::unique_ptr<QTextDocument> document(shortcutOverlay->document()->clone());
    document->setDefaultFont(shortcutOverlay->font());
    document->setTextWidth(-1);
    // The frame and the style sheet's padding around the text.
    const QSize chrome = shortcutOverlay->size() - shortcutOverlay->contentsRect().size();
    const int contentWidth = int(std::ceil(document->size().width())) + chrome.width() + 2;
    const int contentHeight = int(std::ceil(document->size().height())) + chrome.height() + 2;
    const int maxWidth = std::max(1, width() - 32);
    const int maxHeight = std::max(1, height() - 32);
    const int scrollBar = contentHeight > maxHeight ? style()->pixelMetric(QStyle::PM_ScrollBarExtent) : 0;
    const int w = std::min(maxWidth, contentWidth + scrollBar);
    const int h = std::min(maxHeight, contentHeight);
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

void ViewerWidget::setSlideshowRunning(bool running)
{
    if (running == slideshowRunning)
        return;
    slideshowRunning = running;
    // Stopped outside full screen, the show has ended rather than paused.
    slideshowPaused = !running && window()->isFullScreen();
    updateSlideshowOverlay();
}

void ViewerWidget::updateSlideshowOverlay()
{
    if (!slideshowRunning && !slideshowPaused) {
        slideshowOverlay->hide();
        return;
    }
    slideshowOverlay->setText(slideshowRunning ? tr("▶ Slideshow") : tr("❚❚ Paused"));
    placeSlideshowOverlay();
    slideshowOverlay->raise();
    slideshowOverlay->show();
}

void ViewerWidget::placeSlideshowOverlay()
{
    slideshowOverlay->adjustSize();
    slideshowOverlay->move(overlayMargin, height() - slideshowOverlay->height() - overlayMargin);
}

bool ViewerWidget::isShortcutOverlayVisible() const
{
    return shortcutOverlayVisible;
}
