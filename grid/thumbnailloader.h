#pragma once

#include "core/workerpool.h"

#include <QColorSpace>
#include <QHash>
#include <QImage>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>

#include <memory>

struct ThumbnailJobTicket;
struct ThumbnailJobCounter;

// Loads thumbnails of photo files by path, on one worker thread, and reports
// them by path on the thread it lives on (the GUI thread). A job tries the
// disk cache, then the picture the file carries (Exif or MPF thumbnail, RAW
// preview), then a decode, and stores what it decoded in the cache. An
// embedded picture smaller than a thumbnail is reported as Interim, cut to
// the photo's own aspect ratio where the header tells it, so that a cell
// showing it keeps its shape when the refinement (requestRefinement)
// replaces it.
//
// The loader keeps no pictures. It remembers which paths are in flight (never
// queued twice), which failed (never tried again until reset or reload), which
// were last reported as Interim, and which are pinned: wanted whatever else is
// cancelled, until they report.
//
// Quitting never waits for a decode: the pool is a WorkerPool, jobs own copies
// of what they use and report through a guarded pointer.
class ThumbnailLoader : public QObject
{
    Q_OBJECT

public:
    // Longest side of every thumbnail, whatever size it is shown at.
    static constexpr int decodeSide = 512;
    // Queue priorities, most urgent first: what is on screen, what is waited
    // for elsewhere, the refinement of interim pictures.
    static constexpr int windowPriority = -10;
    static constexpr int pinnedPriority = -15;
    static constexpr int refinePriority = -20;

    enum Stage {
        Interim,    // an embedded picture, to be refined
        Final,      // the thumbnail, first of its path
        Refinement, // the thumbnail replacing an Interim picture
    };
    Q_ENUM(Stage)

    // Counters since construction, for diagnostics and measurements.
    struct Stats
    {
        quint64 requested = 0; // jobs handed to the pool
        quint64 executed = 0;  // jobs that did their work (cache or decode)
        quint64 cancelled = 0; // queued jobs dropped before they started
        quint64 delivered = 0; // reports that reached this thread, failures included
    };

    explicit ThumbnailLoader(QObject *parent = nullptr);
    ~ThumbnailLoader() override;

    bool isInFlight(const QString &path) const { return m_inFlight.contains(path); }
    bool hasFailed(const QString &path) const { return m_failed.contains(path); }
    const QSet<QString> &failedPaths() const { return m_failed; }
    // Last reported as Interim, and not since refined.
    bool isInterim(const QString &path) const { return m_interim.contains(path); }
    const QStringList &pinnedPaths() const { return m_pinned; }

    // Raised by reset, reload and stop; reports of an earlier one are dropped.
    quint64 generation() const { return m_generation; }
    Stats stats() const;
    // The loader's single-thread pool, for tests and measurements.
    QThreadPool *threadPool() const { return m_pool.threadPool(); }

    // The space thumbnails are converted to for display (when colour
    // management is on). Applies to jobs queued from now on.
    QColorSpace displaySpace() const { return m_displaySpace; }
    void setDisplaySpace(const QColorSpace &space) { m_displaySpace = space; }

public slots:
    // Queues the thumbnail of `path` unless it is in flight or failed. A path
    // still queued at a lower priority moves up. True when a job was queued.
    bool request(const QString &path, int priority = windowPriority);
    // Queues the decode that replaces an Interim picture; false when `path`
    // has none pending or is in flight.
    bool requestRefinement(const QString &path);
    // Loads `paths` at pinnedPriority and keeps them queued through
    // cancelQueued until each reports; replaces the earlier pins, an empty
    // list drops them. After stop, pinnedPaths() are still to be requested.
    void pin(const QStringList &paths);
    // Drops every queued job but those of pinned paths and returns the paths
    // dropped, which are no longer in flight. A running job still reports.
    QStringList cancelQueued();
    // Drops every queued job, pinned ones too, and every report still to come
    // (a running job's included). Failures, interim pictures and pins are kept.
    void stop();
    // Like stop, and forgets failures and interim pictures: every path is new
    // again (for a new display colour space). Pins are kept.
    void reload();
    // Like reload, and drops the pins: for a new list of photos.
    void reset();

signals:
    // `image` holds at most decodeSide pixels on its longer side.
    void thumbnailLoaded(const QString &path, const QImage &image, ThumbnailLoader::Stage stage);
    // Neither the cache, nor an embedded picture, nor a decode gave anything.
    void thumbnailFailed(const QString &path);

private:
    struct Pending
    {
        std::shared_ptr<ThumbnailJobTicket> ticket;
        int priority = 0;
        bool refine = false;
    };

    void enqueue(const QString &path, int priority, bool refine);
    void onJobDone(const QString &path, quint64 generation, const QImage &image, bool final);
    // Cancels the queued job of every in-flight path for which `drop` holds;
    // returns those paths.
    template<typename Predicate>
    QStringList cancelWhere(Predicate drop);

    WorkerPool m_pool{1};
    QHash<QString, Pending> m_inFlight; // queued or running, not yet reported
    QSet<QString> m_failed;
    QSet<QString> m_interim;
    QStringList m_pinned;
    quint64 m_generation = 0;
    Stats m_stats;
    std::shared_ptr<ThumbnailJobCounter> m_executed;
    QColorSpace m_displaySpace;
};
