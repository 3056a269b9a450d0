#include "catalog/photocatalog.h"

#include "catalog/folderwatcher.h"
#include "catalog/guithread.h"
#include "core/photopairs.h"

#include <QPointer>

// Keeping the open folder current while other programs add, remove, rename
// or re-mark its photos. Changes arrive from the folder watch in bursts; each
// burst gives one rescan, and a burst during a rescan one more after it.

void PhotoCatalog::rescan()
{
    startRescan();
}

void PhotoCatalog::startRescan()
{
    if (m_folder.isEmpty())
        return;
    // Before the first scan is in, every sidecar would look changed.
    if (m_rescanRunning || !m_metadataReady) {
        m_rescanAgain = true;
        return;
    }
    m_rescanRunning = true;
    ++m_rescanCount;
    const QString folder = m_folder;
    const QSet<QString> knownFiles = m_allFileSet;
    const QHash<QString, FileStamp> knownStamps = m_stamps;
    const quint64 generation = m_generation;
    const quint64 writeSerial = m_writer.writeSerial();
    const bool subfolders = m_subfolders;
    const QPointer<PhotoCatalog> self(this);
    m_scanPool.start([folder, knownFiles, knownStamps, generation, writeSerial, subfolders, self] {
        const SidecarScan scan = rescanFolder(folder, knownFiles, knownStamps, subfolders);
        postToGuiThread([self, generation, writeSerial, scan] {
            if (self)
                self->applyRescan(generation, writeSerial, scan);
        });
    });
}

void PhotoCatalog::applyRescan(quint64 generation, quint64 writeSerial, const SidecarScan &scan)
{
    if (generation != m_generation)
        return;
    m_rescanRunning = false;

    QStringList changed;
    for (auto it = scan.stamps.cbegin(); it != scan.stamps.cend(); ++it) {
        if (!m_writer.writtenSince(it.key(), writeSerial))
            m_stamps.insert(it.key(), it.value());
    }
    for (auto it = scan.records.cbegin(); it != scan.records.cend(); ++it) {
        if (m_writer.writtenSince(sidecarKey(it.key()), writeSerial))
            continue;
        const auto known = m_records.constFind(it.key());
        if (known == m_records.cend() || *known != it.value()) {
            m_records.insert(it.key(), it.value());
            changed.append(it.key());
        }
    }

    if (m_subfolders)
        m_watcher->setSubfolders(scan.folders);
    const PhotoCore::PhotoPairs pairs = PhotoCore::pairRawWithJpeg(scan.files);
    const QStringList listed = orderedFiles(m_pairsAsOne ? pairs.shown : scan.files, true);
    const bool filesChanged = listed != m_allFiles || scan.files != m_listedFiles;
    if (filesChanged) {
        const QSet<QString> now(listed.cbegin(), listed.cend());
        // Where the position goes when the current photo is gone: to the next
        // photo of the folder that is still there, else to the one before.
        const QString current = currentPath();
        QString anchor = current;
        const QString partner = m_partners.value(current);
        if (!current.isEmpty() && !now.contains(current) && now.contains(partner)) {
            anchor = partner; // the other file of its pair is shown in its place
        } else if (!current.isEmpty() && !now.contains(current)) {
            anchor.clear();
            const int at = int(m_allFiles.indexOf(current));
            for (int i = at + 1; i < m_allFiles.size() && anchor.isEmpty(); ++i) {
                if (now.contains(m_allFiles.at(i)))
                    anchor = m_allFiles.at(i);
            }
            for (int i = at - 1; i >= 0 && anchor.isEmpty(); --i) {
                if (now.contains(m_allFiles.at(i)))
                    anchor = m_allFiles.at(i);
            }
        }
        const QSet<QString> nowListed(scan.files.cbegin(), scan.files.cend());
        QStringList gone;
        for (const QString &path : std::as_const(m_listedFiles)) {
            if (!nowListed.contains(path))
                gone.append(path);
        }
        const int p = m_visible.currentIndex();
        dropFiles(gone);
        applyListing(scan.files, &pairs);
        rebuildVisibleList(p, false, anchor);
        readMissingCaptureTimes();
    }

    if (!changed.isEmpty())
        emit recordsChanged(changed);
    if (filesChanged || !changed.isEmpty()) {
        updateSummary();
        if (!filesChanged) {
            if (m_filter != QLatin1String("all"))
                rebuildVisibleList(-1, false);
            else
                emit catalogChanged();
        }
    }
    if (m_rescanAgain) {
        m_rescanAgain = false;
        startRescan();
    }
}

void PhotoCatalog::probeFolder()
{
    if (m_folder.isEmpty())
        return;
    const QString problem = ::folderWriteProblem(m_folder);
    if (problem != m_folderProblem) {
        m_folderProblem = problem;
        emit writeProblemsChanged();
    }
}
