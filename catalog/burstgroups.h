#pragma once

#include "catalog/burstcachefile.h"
#include "core/burstrules.h"
#include "core/workerpool.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <functional>

class PhotoCatalog;

// The bursts of the open folder: its photos in capture-time order, cut into
// groups of frames taken moments apart that look alike, each frame with its
// sharpness and its rank in its group. It observes a catalog's listing and
// works in the background: each photo is analysed once (capture time, hash,
// sharpness) on threads of idle priority, so that it never slows what the
// user looks at, and the facts are kept per folder beside the thumbnail cache
// (BurstCacheFile), keyed by each photo's path, size and modification time, so
// a folder opened again is grouped at once; the file keeps only the photos the
// folder holds when it is saved. Lives on the GUI thread.
//
// A RAW+JPEG pair is one frame, its JPEG; when the catalog shows the pair as
// two photos, the RAW answers for its JPEG.
class BurstGroups : public QObject
{
    Q_OBJECT
public:
    // The facts of one photo file; called on worker threads.
    using Analyser = std::function<PhotoCore::BurstFacts(const QString &path)>;

    BurstGroups(PhotoCatalog *catalog, Analyser analyser, QObject *parent = nullptr);
    ~BurstGroups() override;

    // "<CacheLocation>/thumbnails-v1/bursts", one file per folder.
    static QString defaultCacheDirectory();
    // Removes the results kept in `directory` (the default one when empty),
    // as clearing the thumbnail cache does; false when one stays.
    static bool clearCache(const QString &directory = QString());
    // An empty directory keeps nothing on disk. Takes effect with the next folder.
    void setCacheDirectory(const QString &directory) { m_cacheDirectory = directory; }
    QString cacheDirectory() const { return m_cacheDirectory; }

    // The rules from the preference "groups/gapSeconds" (seconds, default 2,
    // 0 turns grouping off), read anew; the groups follow at once.
    void reloadSettings();
    void setRules(const PhotoCore::BurstRules &rules);
    PhotoCore::BurstRules rules() const { return m_rules; }

    // Photos analysed so far, of all the catalog's frames.
    int analysedCount() const { return m_analysed; }
    int frameCount() const { return int(m_frames.size()); }
    bool isRunning() const { return m_analysed < frameCount(); }

    // The groups in capture-time order, each in capture-time order. A photo
    // not yet analysed is in none.
    const QList<QStringList> &groups() const { return m_groups; }
    // The index of the group `path` is in, or -1.
    int groupIndexOf(const QString &path) const;
    // The group of `path`, or empty.
    QStringList groupOf(const QString &path) const;
    // 1 for the sharpest of its group; 0 when not in a group.
    int rankOf(const QString &path) const;
    QString sharpestOf(const QString &path) const;
    // The focus measure; below 0 when unknown. Comparable within a group only.
    double sharpnessOf(const QString &path) const;

    // Whether the analyses run at idle priority (the default), taking only
    // what no other work of the machine wants; off for measurements of their
    // own speed on a machine that is busy with other work.
    void setIdlePriority(bool idle) { m_idlePriority = idle; }

    // The pool of the analyses, for tests and measurements that wait for it.
    QThreadPool *threadPool() const { return m_pool.threadPool(); }

signals:
    // Another photo was analysed (or all were read from the cache).
    void progressChanged(int analysed, int total);
    // The groups or ranks changed.
    void groupsChanged();
    // Every frame of the catalog is analysed.
    void finished();

private:
    using Known = BurstCacheFile::Entry;

    void restart();
    void followListing();
    void analyse(const QStringList &paths);
    void applyFacts(quint64 generation, const QHash<QString, Known> &facts);
    void regroup();
    void save();
    QString frameOf(const QString &path) const;

    PhotoCatalog *m_catalog;
    Analyser m_analyser;
    QString m_cacheDirectory;
    PhotoCore::BurstRules m_rules;

    quint64 m_generation = 0;
    bool m_restartPending = false;
    bool m_idlePriority = true;
    QStringList m_listing;              // the catalog's photos last seen
    QStringList m_frames;               // the photos analysed, pairs as one
    QHash<QString, QString> m_frameOf;  // a pair's RAW shown alone: its JPEG
    QHash<QString, Known> m_known;      // by frame
    QSet<QString> m_prunedFolders;      // whose kept facts lost photos since the last save
    QSet<QString> m_queued;
    int m_analysed = 0;
    bool m_unsaved = false;

    QList<QStringList> m_groups;
    QHash<QString, int> m_groupOf;
    QHash<QString, int> m_rankOf;
    QTimer m_regroupTimer;

    // Last, so that it goes first: its tasks post back through a guarded pointer only.
    WorkerPool m_pool;
};
