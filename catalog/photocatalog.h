#pragma once

#include "catalog/folderscan.h"
#include "catalog/markedit.h"
#include "catalog/markwriter.h"
#include "catalog/sidecarwritequeue.h"
#include "core/metadata.h"
#include "core/photoorder.h"
#include "core/photopairs.h"
#include "core/phototransfer.h"

#include <QDateTime>
#include <QHash>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QThreadPool>

#include <functional>

class FolderWatcher;

// The open folder as every view sees it: all its photos, the filtered list
// with the current position, the marks of every photo, the photos sharing a
// sidecar, the summary, the background read of the sidecars and the watch on
// the folder. Mark writes and their undo history are its MarkWriter's.
//
// Marks shown are marks on disk: a record changes when the writer reports the
// write that changed it, or when a sidecar was read. Everything lives on the
// GUI thread; background work gets copies and posts back, stamped with a
// generation so that results for an earlier folder are dropped.
class PhotoCatalog : public QObject
{
    Q_OBJECT
public:
    // What keeps the catalog from being settled, for the status line.
    enum class Busy { None, Scanning, Reloading, PreparingFilter, PreparingResume };

    explicit PhotoCatalog(QObject *parent = nullptr);
    // Waits for every queued mark to reach the disk.
    ~PhotoCatalog() override;

    // ---- Content --------------------------------------------------------

    // Opens the photos of `folder` (and, with `subfolders`, of the folders
    // below it) and follows changes made to them by others.
    void openFolder(const QString &folder, bool subfolders = false);
    // Opens exactly `files`; nothing is watched.
    void openFiles(const QStringList &files);
    // Takes photos off the catalog (they went to the recycle bin).
    void removeFiles(const QStringList &files);

    QString folder() const { return m_folder; }
    bool includesSubfolders() const { return m_subfolders; }
    // The photos as they are shown: a RAW+JPEG pair shown as one is its JPEG.
    QStringList allFiles() const { return m_allFiles; }
    // Every photo file of the catalog, the partners of pairs included.
    QStringList listedFiles() const { return m_listedFiles; }
    QStringList visibleFiles() const { return m_visible.files(); }
    QString filter() const { return m_filter; }
    // The known marks, by photo; a photo whose sidecar was not read yet is absent.
    QHash<QString, PhotoCore::Metadata> records() const { return m_records; }
    PhotoCore::Metadata record(const QString &path) const { return m_records.value(path); }
    // Whether `path` is one of the listed files (a pair's RAW too).
    bool contains(const QString &path) const;

    // ---- RAW+JPEG pairs -------------------------------------------------

    // Whether a pair shows as one photo, its JPEG ("view/pairRawJpeg", on by
    // default). Marks are shared either way: the pair has one sidecar.
    bool pairsShownAsOne() const { return m_pairsAsOne; }
    void setPairsShownAsOne(bool asOne);
    // The RAW of a JPEG or the JPEG of a RAW that form a pair, whether pairs
    // are shown as one or not; empty for a photo without one.
    QString pairPartner(const QString &path) const { return m_partners.value(path); }
    // The pairs, both ways (see pairPartner).
    QHash<QString, QString> pairPartners() const { return m_partners; }
    // The files a shown photo stands for: itself and, when pairs show as one,
    // its partner.
    QStringList filesOf(const QString &path) const;

    // ---- Taking photos elsewhere ----------------------------------------

    // The shown photos marked rejected, whatever the filter.
    QStringList rejectedPhotos() const;
    // What copying or moving `photos` takes along, one group per sidecar: the
    // photos given with their pair partners, and the sidecar, marked shared
    // when a listed photo left behind uses it too. Paths not listed are skipped.
    QList<PhotoCore::TransferGroup> transferGroups(const QStringList &photos) const;

    // ---- Order ----------------------------------------------------------

    // When a photo was taken, read from its file's headers; called on a worker
    // thread. Without one, no photo has a capture time.
    using CaptureTimeReader = std::function<QDateTime(const QString &path)>;
    void setCaptureTimeReader(CaptureTimeReader reader) { m_captureReader = std::move(reader); }

    // The order of the photos ("view/sortOrder", file name by default). The
    // current photo stays current when it changes. Capture times are read in
    // the background; until they are in, photos keep their place.
    PhotoCore::SortOrder sortOrder() const { return m_order; }
    void setSortOrder(PhotoCore::SortOrder order);
    // Capture times read so far, by photo.
    QHash<QString, QDateTime> captureTimes() const { return m_captureTimes; }

    // ---- Position -------------------------------------------------------

    QString currentPath() const { return m_visible.current(); }
    int currentIndex() const { return m_visible.currentIndex(); }
    // +1 or -1: the way the user last moved through the list.
    int direction() const { return m_direction; }
    bool isAtLast() const;

    // ---- State ----------------------------------------------------------

    Busy busy() const { return m_busy; }
    bool isScanned() const { return m_metadataReady; }
    bool isMetadataBatchBusy() const { return m_writer.isBatchRunning(); }
    int pendingWriteCount() const { return m_writer.pendingCount(); }
    // A write to the photo's sidecar is queued or running.
    bool hasPendingWrite(const QString &path) const { return m_writer.hasPendingWrite(path); }
    PhotoCore::Summary summary() const;

    bool canUndo() const { return m_writer.history().canUndo(); }
    bool canRedo() const { return m_writer.history().canRedo(); }
    int undoDepth() const { return m_writer.history().undoCount(); }
    // The id of the mark step the next undo takes back; 0 when none. Steps
    // of other kinds (photos moved away) are ordered against it.
    quint64 newestUndoStepId() const { return m_writer.history().newestUndoId(); }

    // Why no sidecar can be written in the open folder (the system's words),
    // or empty when they can.
    QString folderWriteProblem() const { return m_folderProblem; }
    // Writes that failed since the folder was opened or the count dismissed.
    int failedWriteCount() const { return m_writer.failedWrites(); }

    // The pool of the sidecar reads and rescans, for tests and measurements.
    QThreadPool *scanThreadPool() { return &m_scanPool; }
    SidecarWriteQueue *writeQueue() { return m_writer.queue(); }
    // Rescans started since the folder was opened.
    int rescanCount() const { return m_rescanCount; }

public slots:
    void next();
    void previous();
    void first();
    void last();
    // Moves `steps` photos on (or back, when negative), stopping at either end.
    void moveBy(int steps);
    // Makes `path` current when it is shown; a pair's hidden RAW stands for its JPEG.
    void select(const QString &path);
    void setFilter(const QString &filterId);
    void resumeReview();
    void reloadMetadata();
    // Lists the watched folder again now.
    void rescan();

    // Which marks of the current photo move on to the next one: stars
    // (clearing all marks counts as stars), the colour label, the rejection
    // (each with its clearing). None until set.
    void setAdvanceAfter(MarkEdit::Fields marks) { m_advanceAfter = marks; }
    void setAutoAdvance(bool on)
    {
        setAdvanceAfter(on ? MarkEdit::Fields(MarkEdit::RatingField | MarkEdit::LabelField | MarkEdit::RejectedField)
                           : MarkEdit::Fields());
    }

    // Marks of the current photo. Where the mark's kind moves on and the
    // filter is "all", the next photo becomes current at once.
    void setRating(int rating);
    void setColorLabel(const QString &label);
    void rejectCurrent();
    void clearRejection();
    void clearColorLabel();
    void clearAllMarks();
    // The extra display rotation of a photo, written into its sidecar.
    void setRotation(const QString &path, int degrees);

    // Marks for many photos at once, one step of the history. One batch at a
    // time; a second one while a batch runs is ignored.
    void setRatingForFiles(const QStringList &files, int rating);
    void setColorLabelForFiles(const QStringList &files, const QString &label);
    void setRejectedForFiles(const QStringList &files, bool rejected);
    void clearColorLabelForFiles(const QStringList &files);
    void clearAllMarksForFiles(const QStringList &files);
    // An edit of its own for each photo, as one step of the history that
    // `described` names in its undo message; the same rules as above.
    void markFilesEach(const QList<MarkWriter::PhotoEdit> &edits, const MarkEdit &described);

    void undo();
    void redo();

    void dismissWriteFailures();

signals:
    // A folder (or file list) replaced everything; views drop what they hold.
    void folderOpened();
    // The current position was set anew; views show currentPath() afresh.
    void currentChanged();
    // The visible list or the marks changed.
    void catalogChanged();
    void recordsChanged(const QStringList &paths);
    void filesRemoved(const QStringList &paths);
    void summaryChanged(int total, int reviewed, int rejected, int open);
    void busyChanged();
    void warningRaised(const QString &message);
    // A mark or rotation of one photo reached the disk or failed to.
    void markWriteFinished(const QString &path, bool saved, bool rotation);
    void metadataBatchBusyChanged(bool busy);
    void metadataBatchFinished(const QStringList &failures);
    void historyChanged();
    // Undo or redo was carried out on `photos`; the text says what
    // ("Undone: 3 stars on IMG_0042.JPG").
    void historyApplied(const QString &message, const QStringList &photos);
    void writeProblemsChanged();

private:
    // Content and position (photocatalog.cpp).
    void openList(const QStringList &files, const QString &folder, const QStringList &subfolders = {});
    // Takes `listed` as the catalog's files: pairs, shown list, siblings.
    // `pairs`, when given, are those of `listed`, already found.
    void applyListing(const QStringList &listed, const PhotoCore::PhotoPairs *pairs = nullptr);
    void rebuildSiblings();
    // Filters the shown list anew. The photo at `anchorPath` (the current one
    // when empty) stays current if still shown, else the shown photo nearest
    // to it in folder order; when it is not in the folder at all,
    // `preferredIndex` (-1: the current index) clamped into the list.
    void rebuildVisibleList(int preferredIndex, bool announceUnchanged = true, const QString &anchorPath = {});
    void announceCurrent();
    void moveTo(int index, int direction);
    void noteNavigation() { ++m_navigationSerial; }
    void updateSummary();
    void startSidecarScan(bool reload);
    void applyScanResult(quint64 generation, quint64 writeSerial, bool reload, const SidecarScan &scan);
    QStringList photosOfKey(const QString &key) const;
    void dropFiles(const QStringList &files);

    // Order (photocatalogorder.cpp).
    QStringList orderedFiles(const QStringList &files, bool fromListing) const;
    void resort();
    void readMissingCaptureTimes();

    // The watched folder (photocatalogfolder.cpp).
    void startRescan();
    void applyRescan(quint64 generation, quint64 writeSerial, const SidecarScan &scan);
    void probeFolder();

    // Marks, as their writes report (photocatalogmarks.cpp).
    void markCurrent(const MarkEdit &edit);
    void markFiles(const QStringList &files, const MarkEdit &edit);
    void stepHistory(bool undo);
    void applyMarkReport(const MarkReport &report);
    QString writeFailureText(const QString &path) const;

    QString m_folder;
    bool m_subfolders = false;
    bool m_pairsAsOne = true;
    QStringList m_listedFiles;
    QStringList m_allFiles;
    QSet<QString> m_allFileSet; // of m_listedFiles
    QHash<QString, QString> m_partners;
    QHash<QString, QStringList> m_siblingsByKey;
    PhotoCore::NavigationList m_visible;
    int m_direction = +1;
    QString m_filter;
    PhotoCore::SortOrder m_order = PhotoCore::SortOrder::FileName;
    CaptureTimeReader m_captureReader;
    QHash<QString, QDateTime> m_captureTimes;
    bool m_captureReadRunning = false;
    QHash<QString, PhotoCore::Metadata> m_records;
    QHash<QString, FileStamp> m_stamps; // by sidecar key

    quint64 m_generation = 0;
    bool m_metadataReady = false;
    bool m_resumePending = false;
    // Opened without a photo to return to, and not navigated since: the first
    // photo of the order is current, also once capture times reorder the list.
    bool m_atOrderStart = false;
    Busy m_busy = Busy::None;
    Busy m_scanBusy = Busy::Scanning;
    quint64 m_navigationSerial = 0;
    MarkEdit::Fields m_advanceAfter;

    QString m_folderProblem;

    FolderWatcher *m_watcher = nullptr;
    bool m_rescanRunning = false;
    bool m_rescanAgain = false;
    int m_rescanCount = 0;

    MarkWriter m_writer;
    // Last, so that it is destroyed first: its tasks post back through a
    // guarded pointer only.
    QThreadPool m_scanPool;
};
