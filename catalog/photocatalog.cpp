#include "catalog/photocatalog.h"

#include "catalog/folderwatcher.h"
#include "catalog/guithread.h"
#include "core/photopairs.h"
#include "core/xmpsidecar.h"

#include <QDir>
#include <QPointer>
#include <QSettings>

#include <algorithm>

namespace {

const QString &allFilter()
{
    static const QString id = QStringLiteral("all");
    return id;
}

} // namespace

PhotoCatalog::PhotoCatalog(QObject *parent)
    : QObject(parent)
    , m_filter(allFilter())
    , m_watcher(new FolderWatcher(this))
{
    m_scanPool.setMaxThreadCount(1);
    m_order = PhotoCore::sortOrderFromId(QSettings().value(QStringLiteral("view/sortOrder")).toString());
    m_pairsAsOne = QSettings().value(QStringLiteral("view/pairRawJpeg"), true).toBool();
    connect(&m_writer, &MarkWriter::operationFinished, this, &PhotoCatalog::applyMarkReport);
    connect(&m_writer, &MarkWriter::historyChanged, this, &PhotoCatalog::historyChanged);
    connect(m_watcher, &FolderWatcher::changed, this, &PhotoCatalog::startRescan);
}

PhotoCatalog::~PhotoCatalog()
{
    // A scan is pointless now; the marks still queued are not (the writer
    // waits for them).
    m_scanPool.clear();
    m_scanPool.waitForDone();
}

// ---------------------------------------------------------------------------
// Content

void PhotoCatalog::openFolder(const QString &given, bool subfolders)
{
    // Listed under the same spelling as every later rescan, which starts from
    // the cleaned path: "photos/" or "a/../photos" would otherwise look like
    // a folder whose every file was replaced.
    const QString folder = QDir::cleanPath(given);
    QStringList folders;
    const QStringList files = listFolderPhotos(folder, subfolders, &folders);
    m_subfolders = subfolders;
    openList(files, folder, folders);
}

void PhotoCatalog::openFiles(const QStringList &files)
{
    m_subfolders = false;
    openList(files, QString());
}

void PhotoCatalog::openList(const QStringList &files, const QString &folder, const QStringList &subfolders)
{
    ++m_generation;
    m_scanPool.clear();
    m_rescanRunning = false;
    m_rescanAgain = false;
    m_rescanCount = 0;
    // Writes still on their way finish and update what they find of the new
    // list; an abandoned batch no longer reports.
    const bool batchAbandoned = m_writer.startOver();

    m_folder = folder;
    m_captureTimes.clear();
    m_captureReadRunning = false;
    applyListing(files);
    m_records.clear();
    m_stamps.clear();
    m_visible.setFiles(m_allFiles);
    m_direction = +1;
    m_metadataReady = false;
    m_resumePending = false;
    m_atOrderStart = true;
    m_scanBusy = Busy::Scanning;
    m_busy = Busy::Scanning;
    // Before the watch starts, so that the probe's file is not seen as a change.
    m_folderProblem = folder.isEmpty() ? QString() : ::folderWriteProblem(folder);
    m_watcher->watch(folder, subfolders);
    noteNavigation();

    emit folderOpened();
    announceCurrent();
    startSidecarScan(false);
    readMissingCaptureTimes();
    emit catalogChanged();
    emit historyChanged();
    emit writeProblemsChanged();
    emit busyChanged();
    // Whoever paused marking for the abandoned batch must hear that it is over.
    if (batchAbandoned)
        emit metadataBatchBusyChanged(false);
}

void PhotoCatalog::applyListing(const QStringList &listed, const PhotoCore::PhotoPairs *known)
{
    m_listedFiles = listed;
    m_allFileSet = QSet<QString>(listed.cbegin(), listed.cend());
    const PhotoCore::PhotoPairs pairs = known ? *known : PhotoCore::pairRawWithJpeg(listed);
    m_partners = pairs.partners;
    m_allFiles = orderedFiles(m_pairsAsOne ? pairs.shown : listed, true);
    rebuildSiblings();
}

void PhotoCatalog::rebuildSiblings()
{
    // Over every listed file: a mark on a pair's JPEG is the RAW's mark too.
    m_siblingsByKey.clear();
    m_siblingsByKey.reserve(m_listedFiles.size());
    for (const QString &path : std::as_const(m_listedFiles))
        m_siblingsByKey[sidecarKey(path)].append(path);
}

QStringList PhotoCatalog::filesOf(const QString &path) const
{
    const QString partner = m_pairsAsOne ? m_partners.value(path) : QString();
    return partner.isEmpty() ? QStringList{path} : QStringList{path, partner};
}

void PhotoCatalog::setPairsShownAsOne(bool asOne)
{
    if (asOne == m_pairsAsOne)
        return;
    m_pairsAsOne = asOne;
    const QString current = currentPath();
    applyListing(m_listedFiles);
    noteNavigation();
    // A RAW no longer shown on its own gives way to its JPEG.
    const QString anchor = m_allFiles.contains(current) ? QString() : m_partners.value(current);
    rebuildVisibleList(-1, false, anchor);
    updateSummary();
    readMissingCaptureTimes();
}

QStringList PhotoCatalog::photosOfKey(const QString &key) const
{
    return m_siblingsByKey.value(key);
}

bool PhotoCatalog::contains(const QString &path) const
{
    return m_allFileSet.contains(path);
}

void PhotoCatalog::removeFiles(const QStringList &files)
{
    if (files.isEmpty())
        return;
    const int p = m_visible.currentIndex();
    dropFiles(files);
    rebuildVisibleList(p);
    updateSummary();
}

void PhotoCatalog::dropFiles(const QStringList &files)
{
    QStringList gone;
    QSet<QString> goneSet;
    for (const QString &path : files) {
        if (m_allFileSet.contains(path) && !goneSet.contains(path)) {
            gone.append(path);
            goneSet.insert(path);
        }
    }
    if (gone.isEmpty())
        return;
    QStringList remaining = m_listedFiles;
    remaining.removeIf([&](const QString &path) { return goneSet.contains(path); });
    for (const QString &path : std::as_const(gone))
        m_records.remove(path);
    // A pair's file left alone is shown on its own.
    applyListing(remaining);
    m_writer.forget(goneSet);
    emit filesRemoved(gone);
    emit historyChanged();
}

PhotoCore::Summary PhotoCatalog::summary() const
{
    return PhotoCore::summarize(m_allFiles, m_records);
}

void PhotoCatalog::updateSummary()
{
    const PhotoCore::Summary s = summary();
    emit summaryChanged(s.total, s.reviewed, s.rejected, s.open);
}

// ---------------------------------------------------------------------------
// Position

void PhotoCatalog::announceCurrent()
{
    // The photo on screen shows its marks at once, not when the scan gets there.
    const QString path = currentPath();
    if (!path.isEmpty() && !m_records.contains(path))
        m_records.insert(path, PhotoCore::readMetadata(path));
    emit currentChanged();
}

void PhotoCatalog::moveTo(int index, int direction)
{
    m_atOrderStart = false;
    m_visible.setCurrentIndex(index);
    m_direction = direction;
    noteNavigation();
    announceCurrent();
}

bool PhotoCatalog::isAtLast() const
{
    return !m_visible.isEmpty() && m_visible.currentIndex() == m_visible.count() - 1;
}

void PhotoCatalog::next()
{
    const int index = m_visible.currentIndex();
    if (index < 0 || index + 1 >= m_visible.count())
        return;
    moveTo(index + 1, +1);
}

void PhotoCatalog::previous()
{
    const int index = m_visible.currentIndex();
    if (index < 1)
        return;
    moveTo(index - 1, -1);
}

void PhotoCatalog::first()
{
    if (m_visible.isEmpty() || m_visible.currentIndex() == 0)
        return;
    moveTo(0, +1);
}

void PhotoCatalog::last()
{
    if (m_visible.isEmpty() || isAtLast())
        return;
    moveTo(m_visible.count() - 1, -1);
}

void PhotoCatalog::moveBy(int steps)
{
    const int index = m_visible.currentIndex();
    if (index < 0 || steps == 0)
        return;
    const int target = std::clamp(index + steps, 0, m_visible.count() - 1);
    if (target != index)
        moveTo(target, steps > 0 ? +1 : -1);
}

void PhotoCatalog::select(const QString &path)
{
    int index = int(m_visible.files().indexOf(path));
    // A pair's RAW asked for by name (the command line, a drop) is its JPEG.
    if (index < 0 && m_pairsAsOne && m_partners.contains(path))
        index = int(m_visible.files().indexOf(m_partners.value(path)));
    if (index < 0)
        return;
    moveTo(index, m_direction);
}

void PhotoCatalog::rebuildVisibleList(int preferredIndex, bool announceUnchanged, const QString &anchorPath)
{
    const QString oldCurrent = currentPath();
    const QString anchor = anchorPath.isEmpty() ? oldCurrent : anchorPath;
    const int p = preferredIndex < 0 ? m_visible.currentIndex() : preferredIndex;
    const int anchorPos = anchor.isEmpty() ? -1 : int(m_allFiles.indexOf(anchor));

    QStringList rebuilt;
    QList<int> positions; // position in m_allFiles of each rebuilt entry
    const bool everything = m_filter == allFilter();
    for (int i = 0; i < m_allFiles.size(); ++i) {
        const QString &path = m_allFiles.at(i);
        if (everything || PhotoCore::matchesFilter(m_filter, m_records.value(path))) {
            rebuilt.append(path);
            positions.append(i);
        }
    }
    m_visible.setFiles(rebuilt);

    const int kept = anchor.isEmpty() ? -1 : int(rebuilt.indexOf(anchor));
    int index;
    if (kept >= 0) {
        index = kept;
    } else if (rebuilt.isEmpty()) {
        index = -1;
    } else if (anchorPos >= 0) {
        // Nearest in folder order; on a tie the later photo wins.
        const auto after = std::lower_bound(positions.cbegin(), positions.cend(), anchorPos);
        if (after == positions.cend()) {
            index = int(positions.size()) - 1;
        } else if (after == positions.cbegin()) {
            index = 0;
        } else {
            const int later = int(after - positions.cbegin());
            const int earlier = later - 1;
            index = (positions.at(later) - anchorPos) <= (anchorPos - positions.at(earlier)) ? later : earlier;
        }
    } else {
        index = std::max(0, std::min(int(rebuilt.size()) - 1, p));
    }
    if (index >= 0)
        m_visible.setCurrentIndex(index);
    if (announceUnchanged || currentPath() != oldCurrent)
        announceCurrent();
    emit catalogChanged();
}

void PhotoCatalog::setFilter(const QString &filterId)
{
    m_atOrderStart = false;
    m_filter = filterId;
    noteNavigation();
    if (!m_metadataReady && m_filter != allFilter()) {
        m_busy = Busy::PreparingFilter;
        emit busyChanged();
        return;
    }
    // A filter that was waiting for the scan is no longer pending; a resume may be.
    if (!m_metadataReady) {
        m_busy = m_resumePending ? Busy::PreparingResume : m_scanBusy;
        emit busyChanged();
    }
    rebuildVisibleList(-1);
}

void PhotoCatalog::resumeReview()
{
    if (m_allFiles.isEmpty())
        return;
    m_atOrderStart = false;
    noteNavigation();
    if (!m_metadataReady) {
        m_resumePending = true;
        m_busy = Busy::PreparingResume;
        emit busyChanged();
        return;
    }
    int last = -1;
    for (int i = int(m_allFiles.size()) - 1; i >= 0; --i) {
        if (PhotoCore::isReviewed(m_records.value(m_allFiles.at(i)))) {
            last = i;
            break;
        }
    }
    m_filter = allFilter();
    m_visible.setFiles(m_allFiles);
    m_visible.setCurrentIndex(std::max(0, std::min(last + 1, int(m_allFiles.size()) - 1)));
    m_direction = +1;
    m_busy = Busy::None;
    announceCurrent();
    // The filter went back to "all": whoever mirrors the visible list must follow.
    emit catalogChanged();
}

// ---------------------------------------------------------------------------
// Reading the sidecars

void PhotoCatalog::reloadMetadata()
{
    if (m_allFiles.isEmpty())
        return;
    ++m_generation;
    m_scanPool.clear();
    m_rescanRunning = false;
    m_metadataReady = false;
    m_scanBusy = Busy::Reloading;
    m_busy = Busy::Reloading;
    emit busyChanged();
    startSidecarScan(true);
}

void PhotoCatalog::startSidecarScan(bool reload)
{
    const QStringList files = m_listedFiles;
    const quint64 generation = m_generation;
    const quint64 writeSerial = m_writer.writeSerial();
    const QPointer<PhotoCatalog> self(this);
    m_scanPool.start([files, generation, writeSerial, reload, self] {
        // A write killed halfway left its temporary file; the sidecar itself
        // holds the marks before or after it, whole.
        if (!reload)
            removeInterruptedSidecarWrites(files);
        const SidecarScan scan = readSidecars(files);
        postToGuiThread([self, generation, writeSerial, reload, scan] {
            if (self)
                self->applyScanResult(generation, writeSerial, reload, scan);
        });
    });
}

void PhotoCatalog::applyScanResult(quint64 generation, quint64 writeSerial, bool reload, const SidecarScan &scan)
{
    if (generation != m_generation)
        return;
    // A sidecar written since the scan started holds what the write left, not
    // what the scan read.
    for (auto it = scan.stamps.cbegin(); it != scan.stamps.cend(); ++it) {
        if (!m_writer.writtenSince(it.key(), writeSerial))
            m_stamps.insert(it.key(), it.value());
    }
    for (auto it = scan.records.cbegin(); it != scan.records.cend(); ++it) {
        // On the first scan a record already known was read on the spot or
        // written, after the scan read it.
        const bool keep =
            reload ? m_writer.writtenSince(sidecarKey(it.key()), writeSerial) : m_records.contains(it.key());
        if (!keep)
            m_records.insert(it.key(), it.value());
    }
    m_metadataReady = true;
    m_busy = Busy::None;

    updateSummary();
    emit busyChanged();
    emit catalogChanged();

    if (m_rescanAgain) {
        m_rescanAgain = false;
        startRescan();
    }
    if (m_resumePending) {
        m_resumePending = false;
        resumeReview();
        return;
    }
    if (!reload && QSettings().value(QStringLiteral("session/firstUnreviewed"), false).toBool()) {
        for (int i = 0; i < m_allFiles.size(); ++i) {
            if (PhotoCore::isReviewed(m_records.value(m_allFiles.at(i))))
                continue;
            // The filter is left aside, not given up: the next mark applies it.
            m_atOrderStart = false;
            m_visible.setFiles(m_allFiles);
            m_visible.setCurrentIndex(i);
            announceCurrent();
            emit catalogChanged();
            return;
        }
    }
    if (m_filter != allFilter())
        rebuildVisibleList(-1);
}
