#include "catalog/burstgroups.h"

#include "catalog/guithread.h"
#include "catalog/photocatalog.h"
#include "core/photopairs.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QSettings>
#include <QStandardPaths>
#include <QThread>

namespace {

QHash<QString, QStringList> byFolder(const QStringList &paths)
{
    QHash<QString, QStringList> folders;
    for (const QString &path : paths)
        folders[QFileInfo(path).absolutePath()].append(path);
    return folders;
}

} // namespace

BurstGroups::BurstGroups(PhotoCatalog *catalog, Analyser analyser, QObject *parent)
    : QObject(parent)
    , m_catalog(catalog)
    , m_analyser(std::move(analyser))
    , m_cacheDirectory(defaultCacheDirectory())
    , m_pool(qMax(1, QThread::idealThreadCount()))
{
    m_regroupTimer.setSingleShot(true);
    m_regroupTimer.setInterval(150);
    connect(&m_regroupTimer, &QTimer::timeout, this, &BurstGroups::regroup);
    connect(catalog, &PhotoCatalog::folderOpened, this, &BurstGroups::restart);
    connect(catalog, &PhotoCatalog::catalogChanged, this, &BurstGroups::followListing);
    connect(catalog, &PhotoCatalog::filesRemoved, this, &BurstGroups::followListing);
    reloadSettings();
}

BurstGroups::~BurstGroups()
{
    save();
}

QString BurstGroups::defaultCacheDirectory()
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::CacheLocation))
        .filePath(QStringLiteral("thumbnails-v1/bursts"));
}

bool BurstGroups::clearCache(const QString &directory)
{
    const QDir dir(directory.isEmpty() ? defaultCacheDirectory() : directory);
    bool allRemoved = true;
    for (const QFileInfo &entry : dir.entryInfoList({QStringLiteral("*.json")}, QDir::Files))
        allRemoved = QFile::remove(entry.filePath()) && allRemoved;
    return allRemoved;
}

void BurstGroups::reloadSettings()
{
    PhotoCore::BurstRules rules;
    rules.maxGapSeconds = qMax(0.0, QSettings()
                                        .value(QStringLiteral("groups/gapSeconds"),
                                               PhotoCore::BurstRules::defaultGapSeconds)
                                        .toDouble());
    setRules(rules);
}

void BurstGroups::setRules(const PhotoCore::BurstRules &rules)
{
    const bool wasOff = m_rules.maxGapSeconds <= 0;
    m_rules = rules;
    if ((m_rules.maxGapSeconds <= 0) != wasOff) {
        // Analyses on their way are dropped; switched on, the listing is
        // taken up anew, with what was known before kept.
        ++m_generation;
        m_pool.clear();
        m_queued.clear();
        m_listing.clear();
        followListing();
        return;
    }
    regroup();
}

QString BurstGroups::frameOf(const QString &path) const
{
    const auto mapped = m_frameOf.constFind(path);
    if (mapped != m_frameOf.cend())
        return *mapped;
    // A pair shown as one: its RAW is not listed and answers for its JPEG.
    if (!m_known.contains(path)) {
        const QString partner = m_catalog->pairPartner(path);
        if (m_known.contains(partner))
            return partner;
    }
    return path;
}

int BurstGroups::groupIndexOf(const QString &path) const
{
    return m_groupOf.value(frameOf(path), -1);
}

QStringList BurstGroups::groupOf(const QString &path) const
{
    const int index = groupIndexOf(path);
    return index >= 0 ? m_groups.at(index) : QStringList();
}

int BurstGroups::rankOf(const QString &path) const
{
    return m_rankOf.value(frameOf(path), 0);
}

QString BurstGroups::sharpestOf(const QString &path) const
{
    for (const QString &member : groupOf(path)) {
        if (m_rankOf.value(member) == 1)
            return member;
    }
    return QString();
}

double BurstGroups::sharpnessOf(const QString &path) const
{
    const auto found = m_known.constFind(frameOf(path));
    return found == m_known.cend() ? -1 : found->facts.sharpness;
}

void BurstGroups::restart()
{
    save();
    ++m_generation;
    m_pool.clear();
    m_listing.clear();
    m_frames.clear();
    m_frameOf.clear();
    m_known.clear();
    m_prunedFolders.clear();
    m_queued.clear();
    m_analysed = 0;
    m_groups.clear();
    m_groupOf.clear();
    m_rankOf.clear();
    emit groupsChanged();
    // Once the catalog has announced its first photo, whose decode goes first.
    m_restartPending = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_restartPending = false;
            followListing();
        },
        Qt::QueuedConnection);
}

void BurstGroups::followListing()
{
    const QStringList listing = m_catalog->allFiles();
    if (m_restartPending || listing == m_listing)
        return;
    // Grouping off: nothing is decoded, analysed, read or written.
    if (m_rules.maxGapSeconds <= 0) {
        m_listing.clear();
        m_frames.clear();
        m_frameOf.clear();
        m_queued.clear();
        m_analysed = 0;
        regroup();
        emit progressChanged(0, 0);
        emit finished();
        return;
    }
    const bool first = m_listing.isEmpty() && m_known.isEmpty() && m_queued.isEmpty();
    m_listing = listing;
    m_frames.clear();
    m_frameOf.clear();
    const QSet<QString> shown(listing.cbegin(), listing.cend());
    for (const QString &path : listing) {
        const QString partner = m_catalog->pairPartner(path);
        if (!partner.isEmpty() && !PhotoCore::isJpegPhoto(path) && shown.contains(partner))
            m_frameOf.insert(path, partner);
        else
            m_frames.append(path);
    }

    // Analyses of photos no longer listed still come back, and are dropped.
    const QSet<QString> frames(m_frames.cbegin(), m_frames.cend());
    m_queued.removeIf([&](const QString &path) { return !frames.contains(path); });
    for (auto it = m_known.begin(); it != m_known.end();) {
        if (frames.contains(it.key())) {
            ++it;
            continue;
        }
        m_prunedFolders.insert(QFileInfo(it.key()).absolutePath());
        it = m_known.erase(it);
        m_unsaved = true;
    }
    QStringList missing;
    for (const QString &path : std::as_const(m_frames)) {
        if (!m_known.contains(path) && !m_queued.contains(path))
            missing.append(path);
    }
    m_analysed = 0;
    for (const QString &path : std::as_const(m_frames))
        m_analysed += m_known.contains(path) ? 1 : 0;
    if (missing.isEmpty()) {
        regroup();
        emit progressChanged(m_analysed, frameCount());
        if (m_queued.isEmpty())
            emit finished();
        return;
    }
    for (const QString &path : std::as_const(missing))
        m_queued.insert(path);
    emit progressChanged(m_analysed, frameCount());

    if (!first || m_cacheDirectory.isEmpty()) {
        analyse(missing);
        regroup();
        return;
    }
    // What is kept on disk first, and only what it lacks analysed.
    const QPointer<BurstGroups> self(this);
    const quint64 generation = m_generation;
    const QString directory = m_cacheDirectory;
    const QThread::Priority priority = m_idlePriority ? QThread::IdlePriority : QThread::NormalPriority;
    m_pool.start([self, generation, directory, missing, priority] {
        QThread::currentThread()->setPriority(priority);
        QHash<QString, Known> found;
        const QHash<QString, QStringList> folders = byFolder(missing);
        for (auto it = folders.cbegin(); it != folders.cend(); ++it) {
            const QHash<QString, Known> kept = BurstCacheFile::read(BurstCacheFile::pathFor(directory, it.key()));
            for (const QString &path : it.value()) {
                const auto entry = kept.constFind(QFileInfo(path).fileName());
                if (entry == kept.cend())
                    continue;
                const QFileInfo info(path);
                const qint64 modified = info.lastModified().toMSecsSinceEpoch();
                if (entry->size != info.size() || entry->modified != modified)
                    continue;
                found.insert(path, *entry);
            }
        }
        postToGuiThread([self, generation, found, missing] {
            if (!self || generation != self->m_generation)
                return;
            QStringList rest;
            for (const QString &path : missing) {
                if (!found.contains(path))
                    rest.append(path);
            }
            self->applyFacts(generation, found);
            self->analyse(rest);
        });
    });
}

void BurstGroups::analyse(const QStringList &paths)
{
    const QPointer<BurstGroups> self(this);
    const quint64 generation = m_generation;
    const Analyser analyser = m_analyser;
    const QThread::Priority priority = m_idlePriority ? QThread::IdlePriority : QThread::NormalPriority;
    for (const QString &path : paths) {
        m_pool.start([self, generation, analyser, path, priority] {
            QThread::currentThread()->setPriority(priority);
            const QFileInfo info(path);
            Known known{info.size(), info.lastModified().toMSecsSinceEpoch(), analyser(path)};
            postToGuiThread([self, generation, path, known] {
                if (self)
                    self->applyFacts(generation, {{path, known}});
            });
        });
    }
}

void BurstGroups::applyFacts(quint64 generation, const QHash<QString, Known> &facts)
{
    if (generation != m_generation)
        return;
    for (auto it = facts.cbegin(); it != facts.cend(); ++it) {
        if (!m_queued.remove(it.key()))
            continue; // no longer listed
        m_known.insert(it.key(), it.value());
        m_unsaved = true;
        ++m_analysed;
    }
    emit progressChanged(m_analysed, frameCount());
    if (m_queued.isEmpty()) {
        m_regroupTimer.stop();
        regroup();
        save();
        emit finished();
    } else if (!m_regroupTimer.isActive()) {
        m_regroupTimer.start();
    }
}

void BurstGroups::regroup()
{
    QStringList known;
    QHash<QString, PhotoCore::BurstFacts> facts;
    for (const QString &path : std::as_const(m_frames)) {
        const auto found = m_known.constFind(path);
        if (found != m_known.cend()) {
            known.append(path);
            facts.insert(path, found->facts);
        }
    }
    const QStringList ordered = PhotoCore::captureOrder(known, facts);
    QList<PhotoCore::BurstFacts> frames;
    frames.reserve(ordered.size());
    for (const QString &path : ordered)
        frames.append(facts.value(path));

    QList<QStringList> groups;
    QHash<QString, int> groupOf;
    QHash<QString, int> rankOf;
    for (const QList<int> &indexes : PhotoCore::groupBursts(frames, m_rules)) {
        QStringList group;
        QList<double> scores;
        for (int i : indexes) {
            group.append(ordered.at(i));
            scores.append(frames.at(i).sharpness);
        }
        const QList<int> ranks = PhotoCore::sharpnessRanks(scores);
        for (int i = 0; i < group.size(); ++i) {
            groupOf.insert(group.at(i), int(groups.size()));
            rankOf.insert(group.at(i), ranks.at(i));
        }
        groups.append(group);
    }
    if (groups == m_groups && rankOf == m_rankOf)
        return;
    m_groups = groups;
    m_groupOf = groupOf;
    m_rankOf = rankOf;
    emit groupsChanged();
}

void BurstGroups::save()
{
    if (!m_unsaved || m_cacheDirectory.isEmpty())
        return;
    m_unsaved = false;
    QDir().mkpath(m_cacheDirectory);
    // Only the photos listed now: those removed or renamed since go with this save.
    QStringList paths;
    for (const QString &path : std::as_const(m_frames)) {
        if (m_known.contains(path))
            paths.append(path);
    }
    QHash<QString, QStringList> folders = byFolder(paths);
    for (const QString &folder : std::as_const(m_prunedFolders))
        folders[folder]; // one whose last photo went keeps none
    m_prunedFolders.clear();
    for (auto it = folders.cbegin(); it != folders.cend(); ++it) {
        QHash<QString, Known> entries;
        for (const QString &path : it.value())
            entries.insert(QFileInfo(path).fileName(), m_known.value(path));
        BurstCacheFile::write(BurstCacheFile::pathFor(m_cacheDirectory, it.key()), it.key(), entries);
    }
}
