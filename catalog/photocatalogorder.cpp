#include "catalog/photocatalog.h"

#include "catalog/guithread.h"

#include <QPointer>
#include <QSettings>

// The order of the photos. The file-name order is the listing's own; the
// others are applied to it, capture times being read in the background.

QStringList PhotoCatalog::orderedFiles(const QStringList &files, bool fromListing) const
{
    if (m_order == PhotoCore::SortOrder::FileName && fromListing)
        return files;
    return PhotoCore::sortedPhotos(files, m_order, m_captureTimes);
}

void PhotoCatalog::setSortOrder(PhotoCore::SortOrder order)
{
    QSettings().setValue(QStringLiteral("view/sortOrder"), PhotoCore::sortOrderId(order));
    if (order == m_order)
        return;
    m_order = order;
    resort();
    readMissingCaptureTimes();
}

void PhotoCatalog::resort()
{
    const QStringList sorted = orderedFiles(m_allFiles, false);
    if (sorted == m_allFiles)
        return;
    m_allFiles = sorted;
    noteNavigation();
    // The current photo stays current wherever it now stands, unless the
    // user has not moved since the folder opened: then the order starts
    // where it starts, as it would have with the capture times known at once.
    rebuildVisibleList(-1, false);
    if (m_atOrderStart && m_visible.currentIndex() > 0) {
        m_visible.setCurrentIndex(0);
        announceCurrent();
    }
}

void PhotoCatalog::readMissingCaptureTimes()
{
    if (m_order != PhotoCore::SortOrder::CaptureTime || !m_captureReader || m_captureReadRunning)
        return;
    QStringList missing;
    for (const QString &path : std::as_const(m_allFiles)) {
        if (!m_captureTimes.contains(path))
            missing.append(path);
    }
    if (missing.isEmpty())
        return;
    m_captureReadRunning = true;
    const QPointer<PhotoCatalog> self(this);
    const quint64 generation = m_generation;
    const CaptureTimeReader reader = m_captureReader;
    m_scanPool.start([self, generation, reader, missing] {
        QHash<QString, QDateTime> times;
        times.reserve(missing.size());
        for (const QString &path : missing)
            times.insert(path, reader(path)); // an invalid time is remembered too
        postToGuiThread([self, generation, times] {
            if (!self || generation != self->m_generation)
                return;
            self->m_captureReadRunning = false;
            self->m_captureTimes.insert(times);
            if (self->m_order == PhotoCore::SortOrder::CaptureTime)
                self->resort();
            // Photos added while this read ran are read next.
            self->readMissingCaptureTimes();
        });
    });
}
