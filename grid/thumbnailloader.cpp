#include "grid/thumbnailloader.h"

#include "grid/thumbnaildiskcache.h"
#include "imaging/colourconversion.h"
#include "imaging/photodecoder.h"
#include "imaging/quickpreview.h"

#include <QCoreApplication>
#include <QImageReader>
#include <QPointer>

#include <atomic>
#include <functional>

// Shared between a queued job and the loader: whoever moves it out of Queued
// first decides whether the job runs or is cancelled.
struct ThumbnailJobTicket
{
    enum { Queued, Started, Cancelled };
    std::atomic<int> state{Queued};

    bool cancel()
    {
        int expected = Queued;
        return state.compare_exchange_strong(expected, Cancelled);
    }
    bool start()
    {
        int expected = Queued;
        return state.compare_exchange_strong(expected, Started);
    }
};

// Jobs that did their work, counted on the worker thread.
struct ThumbnailJobCounter
{
    std::atomic<quint64> value{0};
};

namespace {

// The upright size of the photo as its header states it, without decoding;
// invalid when the header does not tell. RAW files are left out: their
// thumbnail is an embedded preview, whose shape the interim picture already has.
QSize photoSizeFromHeader(const QString &path)
{
    if (isRawPhotoPath(path))
        return QSize();
    QImageReader reader(path);
    QSize size = reader.size();
    if (size.isValid() && (reader.transformation() & QImageIOHandler::TransformationRotate90))
        size.transpose();
    return size;
}

// The middle of `image` with the aspect ratio of `photo`. Embedded thumbnails
// are often 4:3 whatever the photo (cameras pad or crop them), so the photo's
// own shape is what the cell keeps once refined. One that lies the other way
// round than the photo is not the photo as shown, and stays as it is.
QImage cutToAspect(const QImage &image, const QSize &photo)
{
    if (image.isNull() || photo.isEmpty())
        return image;
    const double target = double(photo.width()) / photo.height();
    const double have = double(image.width()) / image.height();
    if ((have > 1.0 && target < 1.0) || (have < 1.0 && target > 1.0))
        return image;
    // Within the rounding of a picture scaled down to a few hundred pixels.
    if (qAbs(have / target - 1.0) < 0.02)
        return image;
    QRect keep = image.rect();
    if (have > target) {
        keep.setWidth(qMax(1, qRound(image.height() * target)));
        keep.moveLeft((image.width() - keep.width()) / 2);
    } else {
        keep.setHeight(qMax(1, qRound(image.width() / target)));
        keep.moveTop((image.height() - keep.height()) / 2);
    }
    return image.copy(keep);
}

// What a job hands back; called on the loader's thread.
using JobReport = std::function<void(const QImage &image, bool final)>;

// One thumbnail. A first job tries the disk cache, then the picture the file
// carries, which is reported at once; when that is smaller than a thumbnail,
// it is an interim picture and a second, refining job decodes the photo and
// stores the result. A file without an embedded picture is decoded by the
// first job. Jobs own copies of everything they use.
class ThumbnailJob
{
public:
    ThumbnailJob(const QString &path, qint64 budget, const QColorSpace &display, bool refine,
                 std::shared_ptr<ThumbnailJobTicket> ticket, std::shared_ptr<ThumbnailJobCounter> executed,
                 JobReport report)
        : m_path(path)
        , m_budget(budget)
        , m_display(display)
        , m_refine(refine)
        , m_ticket(std::move(ticket))
        , m_executed(std::move(executed))
        , m_report(std::move(report))
    {
    }

    void run()
    {
        if (!m_ticket->start())
            return; // cancelled while queued; the loader no longer waits for it
        m_executed->value.fetch_add(1);

        // The cache holds sRGB (or, with colour management off, the pixels as
        // stored); the display's own space is applied here, off the GUI thread.
        const bool manage = colourManagementEnabled();
        const QColorSpace srgb(QColorSpace::SRgb);
        const ThumbnailDiskCache cache(QString(), m_budget);
        const auto stored = [&](const QImage &decoded) {
            return toColourSpace(decoded, sourceColourOf(decoded, m_path), srgb, manage);
        };
        bool final = true;
        QImage image = m_refine ? QImage() : cache.load(m_path);
        if (image.isNull() && !m_refine) {
            image = decodeEmbeddedThumbnail(m_path, ThumbnailLoader::decodeSide);
            if (!image.isNull()) {
                image = stored(image);
                // As large as a real thumbnail: nothing left to refine.
                if (qMax(image.width(), image.height()) >= ThumbnailLoader::decodeSide) {
                    cache.store(m_path, image);
                } else {
                    final = false;
                    image = cutToAspect(image, photoSizeFromHeader(m_path));
                }
            }
        }
        if (image.isNull()) {
            image = decodeThumbnail(m_path, ThumbnailLoader::decodeSide);
            if (!image.isNull()) {
                image = stored(image);
                cache.store(m_path, image); // a failed store only costs a decode next time
            }
        }
        if (manage)
            image = convertColours(image, srgb, m_display);
        QMetaObject::invokeMethod(
            QCoreApplication::instance(), [report = m_report, image, final] { report(image, final); },
            Qt::QueuedConnection);
    }

private:
    QString m_path;
    qint64 m_budget;
    QColorSpace m_display;
    bool m_refine;
    std::shared_ptr<ThumbnailJobTicket> m_ticket;
    std::shared_ptr<ThumbnailJobCounter> m_executed;
    JobReport m_report;
};

} // namespace

ThumbnailLoader::ThumbnailLoader(QObject *parent)
    : QObject(parent)
    , m_executed(std::make_shared<ThumbnailJobCounter>())
{
}

ThumbnailLoader::~ThumbnailLoader()
{
    // Queued jobs would only be dropped on arrival. The running one is not
    // waited for: it reports to a guarded pointer, which it finds null.
    stop();
}

ThumbnailLoader::Stats ThumbnailLoader::stats() const
{
    Stats stats = m_stats;
    stats.executed = m_executed->value.load();
    return stats;
}

bool ThumbnailLoader::request(const QString &path, int priority)
{
    if (path.isEmpty() || m_failed.contains(path))
        return false;
    const auto pending = m_inFlight.constFind(path);
    if (pending != m_inFlight.cend()) {
        // A refinement in flight brings the picture too. A job for the same
        // path is dropped only once it is sure not to run.
        if (pending->refine || pending->priority >= priority || !pending->ticket->cancel())
            return false;
        ++m_stats.cancelled;
    }
    enqueue(path, priority, false);
    return true;
}

bool ThumbnailLoader::requestRefinement(const QString &path)
{
    if (!m_interim.contains(path) || m_inFlight.contains(path))
        return false;
    enqueue(path, refinePriority, true);
    return true;
}

void ThumbnailLoader::enqueue(const QString &path, int priority, bool refine)
{
    auto ticket = std::make_shared<ThumbnailJobTicket>();
    m_inFlight.insert(path, Pending{ticket, priority, refine});
    ++m_stats.requested;
    JobReport report = [loader = QPointer<ThumbnailLoader>(this), path, generation = m_generation](
                           const QImage &image, bool final) {
        if (loader)
            loader->onJobDone(path, generation, image, final);
    };
    const auto job = std::make_shared<ThumbnailJob>(path, ThumbnailDiskCache::configuredBudgetBytes(),
                                                    m_displaySpace, refine, std::move(ticket), m_executed,
                                                    std::move(report));
    m_pool.start([job] { job->run(); }, priority);
}

void ThumbnailLoader::pin(const QStringList &paths)
{
    m_pinned = paths;
    for (const QString &path : paths)
        request(path, pinnedPriority);
}

template<typename Predicate>
QStringList ThumbnailLoader::cancelWhere(Predicate drop)
{
    QStringList cancelled;
    for (auto it = m_inFlight.begin(); it != m_inFlight.end();) {
        if (drop(it.key()) && it->ticket->cancel()) {
            ++m_stats.cancelled;
            cancelled.append(it.key());
            it = m_inFlight.erase(it);
        } else {
            ++it; // running or finished: it still reports under the current generation
        }
    }
    return cancelled;
}

QStringList ThumbnailLoader::cancelQueued()
{
    const QSet<QString> pinned(m_pinned.cbegin(), m_pinned.cend());
    const QStringList cancelled = cancelWhere([&pinned](const QString &path) { return !pinned.contains(path); });
    // Drops the cancelled jobs instead of running them as no-ops, and the
    // pinned ones with them: those that had not started go in again.
    m_pool.clear();
    for (const QString &path : std::as_const(m_pinned)) {
        const auto pending = m_inFlight.constFind(path);
        if (pending != m_inFlight.cend() && pending->ticket->cancel())
            enqueue(path, pending->priority, pending->refine);
    }
    return cancelled;
}

void ThumbnailLoader::stop()
{
    ++m_generation;
    cancelWhere([](const QString &) { return true; });
    m_pool.clear();
    // A running job reports under the old generation and is dropped.
    m_inFlight.clear();
}

void ThumbnailLoader::reload()
{
    stop();
    m_failed.clear();
    m_interim.clear();
}

void ThumbnailLoader::reset()
{
    reload();
    m_pinned.clear();
}

void ThumbnailLoader::onJobDone(const QString &path, quint64 generation, const QImage &image, bool final)
{
    if (generation != m_generation)
        return;
    ++m_stats.delivered;
    m_inFlight.remove(path);
    m_pinned.removeOne(path);
    if (image.isNull()) {
        m_interim.remove(path);
        m_failed.insert(path);
        emit thumbnailFailed(path);
        return;
    }
    Stage stage = Interim;
    if (final)
        stage = m_interim.remove(path) ? Refinement : Final;
    else
        m_interim.insert(path);
    emit thumbnailLoaded(path, image, stage);
}
