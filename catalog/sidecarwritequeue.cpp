#include "catalog/sidecarwritequeue.h"

#include "catalog/guithread.h"

#include "core/safefileio.h"
#include "core/sidecarpaths.h"
#include "core/xmpsidecar.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMutex>
#include <QPointer>

#include <algorithm>
#include <deque>

namespace {

// A sidecar this queue created is only ever removed again while it is small:
// a large one has been filled by someone else.
constexpr qint64 maxTrackedBytes = 1024 * 1024;
// How many finished writes the queue remembers the marks of, for restores
// queued before the write they refer to had run.
constexpr int rememberedOutcomes = 100000;

} // namespace

struct SidecarWriteQueue::Job
{
    quint64 id = 0;
    QString photoPath;
    MarkEdit edit;
    bool interactive = false;
    // A restore: the marks before (or after) the write `reference`; a sidecar
    // the write `createdBy` created is removed instead where that is the same.
    quint64 reference = 0;
    bool restoreBefore = false;
    quint64 createdBy = 0;
};

struct SidecarWriteQueue::Shared
{
    QMutex mutex;
    QHash<QString, std::deque<Job>> jobsByKey;
    // Keys whose next job waits, by lane. A key may stand in both lanes or
    // twice in one; an entry whose queue has run empty is skipped. Only the
    // head of a key's queue is ever taken, so this never reorders one sidecar.
    std::deque<QString> interactiveLane;
    std::deque<QString> backgroundLane;

    struct Created
    {
        quint64 job = 0;
        QByteArray bytes; // what this queue last wrote into it
    };
    // Sidecars this queue created, by file path.
    QHash<QString, Created> created;

    struct Outcome
    {
        PhotoCore::Metadata before;
        PhotoCore::Metadata after;
    };
    QHash<quint64, Outcome> outcomes;
    std::deque<quint64> outcomeOrder;

    void queue(const Job &job)
    {
        QMutexLocker lock(&mutex);
        std::deque<Job> &jobs = jobsByKey[sidecarKey(job.photoPath)];
        const bool wasIdle = jobs.empty();
        jobs.push_back(job);
        if (job.interactive)
            interactiveLane.push_back(sidecarKey(job.photoPath));
        else if (wasIdle)
            backgroundLane.push_back(sidecarKey(job.photoPath));
    }

    bool takeNext(Job &job)
    {
        QMutexLocker lock(&mutex);
        for (std::deque<QString> *lane : {&interactiveLane, &backgroundLane}) {
            while (!lane->empty()) {
                const QString key = lane->front();
                lane->pop_front();
                auto it = jobsByKey.find(key);
                if (it == jobsByKey.end() || it->empty())
                    continue;
                job = it->front();
                it->pop_front();
                if (it->empty()) {
                    jobsByKey.erase(it);
                } else {
                    const bool urgent = std::any_of(it->cbegin(), it->cend(), [](const Job &j) { return j.interactive; });
                    (urgent ? interactiveLane : backgroundLane).push_back(key);
                }
                return true;
            }
        }
        return false;
    }

    SidecarWriteResult run(const Job &job)
    {
        SidecarWriteResult result;
        result.id = job.id;
        result.photoPath = job.photoPath;
        // A photo deleted or renamed by another program must not get a new
        // sidecar under its old name.
        if (!QFileInfo::exists(job.photoPath)) {
            result.outcome = SidecarWriteResult::PhotoMissing;
            return result;
        }
        const QString sidecar = PhotoCore::sidecarPathFor(job.photoPath);
        const bool existed = QFileInfo::exists(sidecar);
        // Read before writing: these marks, whoever left them, are the
        // "before" of the undo step this write makes, and the edit applies
        // to them rather than to what the catalog last saw.
        result.before = PhotoCore::readMetadata(job.photoPath);
        result.after = edit(job).appliedTo(result.before);

        if (job.createdBy != 0 && existed && removeIfUnchanged(sidecar, job.createdBy)) {
            result.outcome = SidecarWriteResult::Removed;
            result.after = PhotoCore::Metadata();
        } else if (PhotoCore::writeMetadata(job.photoPath, result.after)) {
            result.outcome = SidecarWriteResult::Written;
            result.stamp = stampOfFile(sidecar);
            remember(sidecar, existed ? 0 : job.id);
        } else {
            result.outcome = SidecarWriteResult::Failed;
            result.after = result.before;
        }
        keepOutcome(job.id, {result.before, result.after});
        return result;
    }

    // What the job writes: a restore refers to a write that has run by now,
    // since it was queued after it for the same sidecar, and writes back only
    // the fields that write changed.
    MarkEdit edit(const Job &job)
    {
        if (job.reference == 0)
            return job.edit;
        QMutexLocker lock(&mutex);
        const auto it = outcomes.constFind(job.reference);
        if (it == outcomes.cend())
            return job.edit;
        return MarkEdit::restore(job.restoreBefore ? it->before : it->after,
                                 MarkEdit::differingFields(it->before, it->after));
    }

    void keepOutcome(quint64 id, const Outcome &outcome)
    {
        QMutexLocker lock(&mutex);
        outcomes.insert(id, outcome);
        outcomeOrder.push_back(id);
        while (outcomeOrder.size() > size_t(rememberedOutcomes)) {
            outcomes.remove(outcomeOrder.front());
            outcomeOrder.pop_front();
        }
    }

    // Removes `sidecar` when the write `creator` created it and nobody has
    // written to it since.
    bool removeIfUnchanged(const QString &sidecar, quint64 creator)
    {
        Created entry;
        {
            QMutexLocker lock(&mutex);
            const auto it = created.constFind(sidecar);
            if (it == created.cend() || it->job != creator)
                return false;
            entry = *it;
        }
        QByteArray now;
        const bool ours = PhotoCore::readRegularFile(sidecar, maxTrackedBytes, now) == PhotoCore::FileReadResult::Read
                          && now == entry.bytes;
        const bool removed = ours && QFile::remove(sidecar);
        if (!ours || removed) {
            // Either it is gone, or someone else has written to it: not ours to remove any more.
            QMutexLocker lock(&mutex);
            created.remove(sidecar);
        }
        return removed;
    }

    // Keeps the bytes just written into a sidecar this queue created (by
    // `creator` when it has just been created, 0 when it existed).
    void remember(const QString &sidecar, quint64 creator)
    {
        {
            QMutexLocker lock(&mutex);
            if (creator == 0 && !created.contains(sidecar))
                return;
        }
        QByteArray bytes;
        const bool read = PhotoCore::readRegularFile(sidecar, maxTrackedBytes, bytes) == PhotoCore::FileReadResult::Read;
        QMutexLocker lock(&mutex);
        if (!read) {
            created.remove(sidecar);
            return;
        }
        Created &entry = created[sidecar];
        if (creator != 0)
            entry.job = creator;
        entry.bytes = bytes;
    }
};

SidecarWriteQueue::SidecarWriteQueue(QObject *parent)
    : QObject(parent)
    , m_shared(std::make_shared<Shared>())
{
    // One writer: two writes never touch one sidecar at the same time.
    m_pool.setMaxThreadCount(1);
    m_pool.setExpiryTimeout(10000);
}

SidecarWriteQueue::~SidecarWriteQueue()
{
    m_pool.waitForDone();
}

quint64 SidecarWriteQueue::enqueue(const QString &photoPath, const MarkEdit &edit, Priority priority)
{
    Job job;
    job.photoPath = photoPath;
    job.edit = edit;
    job.interactive = priority == Interactive;
    return start(job);
}

quint64 SidecarWriteQueue::enqueueRestore(const QString &photoPath, quint64 write, bool before, quint64 lastWrite,
                                          const MarkEdit &known, Priority priority)
{
    Job job;
    job.photoPath = photoPath;
    job.edit = known;
    job.interactive = priority == Interactive;
    job.reference = write;
    job.restoreBefore = before;
    job.createdBy = before ? lastWrite : 0;
    return start(job);
}

quint64 SidecarWriteQueue::start(Job job)
{
    job.id = ++m_lastId;
    m_shared->queue(job);
    ++m_pending;

    // Every task takes whichever job is due when it starts, so the pool's own
    // order does not matter; there is one task per job.
    const std::shared_ptr<Shared> shared = m_shared;
    const QPointer<SidecarWriteQueue> self(this);
    m_pool.start([shared, self] {
        Job next;
        if (!shared->takeNext(next))
            return;
        const SidecarWriteResult result = shared->run(next);
        postToGuiThread([self, result] {
            if (self)
                self->deliver(result);
        });
    });
    return job.id;
}

void SidecarWriteQueue::waitForDone()
{
    m_pool.waitForDone();
}

void SidecarWriteQueue::deliver(const SidecarWriteResult &result)
{
    --m_pending;
    emit finished(result);
}
