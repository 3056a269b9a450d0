#include "catalog/folderwatcher.h"

#include <QFileSystemWatcher>

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

void FolderWatcher::watch(const QString &folder)
{
    m_quiet.stop();
    m_deadline.stop();
    // A fresh watcher: notifications still queued for the old folder die with it.
    delete m_watcher;
    m_watcher = nullptr;
    m_folder = folder;
    if (folder.isEmpty())
        return;
    m_watcher = new QFileSystemWatcher(this);
    connect(m_watcher, &QFileSystemWatcher::directoryChanged, this, &FolderWatcher::noteChange);
    m_watcher->addPath(folder);
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
