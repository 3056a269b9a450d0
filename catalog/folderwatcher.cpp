#include "catalog/folderwatcher.h"

#include <QFileSystemWatcher>
#include <QSet>

FolderWatcher::FolderWatcher(QObject *parent)
    : QObject(parent)
{
    m_quiet.setSingleShot(true);
    m_quiet.setInterval(quietMs);
    m_deadline.setSingleShot(true);
    m_deadline.setInterval(maxDelayMs);
    connect(&m_quiet, &QTimer::timeout, this, &FolderWatcher::report);
    connect(&m_deadline, &QTimer::timeout, this, &FolderWatcher::report);
}

void FolderWatcher::watch(const QString &folder, const QStringList &subfolders)
{
    m_quiet.stop();
    m_deadline.stop();
    // A fresh watcher: notifications still queued for the old folder die with it.
    delete m_watcher;
    m_watcher = nullptr;
    m_folder = folder;
    m_subfolders.clear();
    if (folder.isEmpty())
        return;
    m_watcher = new QFileSystemWatcher(this);
    connect(m_watcher, &QFileSystemWatcher::directoryChanged, this, &FolderWatcher::noteChange);
    m_watcher->addPath(folder);
    setSubfolders(subfolders);
}

void FolderWatcher::setSubfolders(const QStringList &subfolders)
{
    if (!m_watcher)
        return;
    QStringList wanted;
    for (const QString &path : subfolders) {
        if (path != m_folder)
            wanted.append(path);
    }
    const QSet<QString> keep(wanted.cbegin(), wanted.cend());
    QStringList drop;
    for (const QString &path : std::as_const(m_subfolders)) {
        if (!keep.contains(path))
            drop.append(path);
    }
    if (!drop.isEmpty())
        m_watcher->removePaths(drop);
    const QSet<QString> had(m_subfolders.cbegin(), m_subfolders.cend());
    QStringList add;
    for (const QString &path : std::as_const(wanted)) {
        if (!had.contains(path))
            add.append(path);
    }
    // A folder the system will not watch (too many watches, gone meanwhile)
    // is still listed by every rescan that another change starts.
    if (!add.isEmpty())
        m_watcher->addPaths(add);
    m_subfolders = wanted;
}

void FolderWatcher::noteChange()
{
    if (!m_deadline.isActive())
        m_deadline.start();
    m_quiet.start();
}

void FolderWatcher::report()
{
    m_quiet.stop();
    m_deadline.stop();
    emit changed();
}
