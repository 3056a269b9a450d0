#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

class QFileSystemWatcher;

// Watches one folder and reports a burst of changes in it (a card still being
// copied, a file manager moving files) as one `changed`: once the folder has
// been quiet for `quietMs`, and during a long burst at the latest `maxDelayMs`
// after its first change, so that a folder kept busy is still followed.
class FolderWatcher : public QObject
{
    Q_OBJECT
public:
    static constexpr int quietMs = 300;
    static constexpr int maxDelayMs = 1200;

    explicit FolderWatcher(QObject *parent = nullptr);

    // Watches `folder` (and `subfolders`, folders below it) instead of the
    // ones before; an empty path stops watching.
    void watch(const QString &folder, const QStringList &subfolders = {});
    // Follows `subfolders` from now on, in place of those given before.
    void setSubfolders(const QStringList &subfolders);
    QString folder() const { return m_folder; }
    // A change has been seen and `changed` is still to come.
    bool isPending() const { return m_quiet.isActive(); }

signals:
    void changed();

private:
    void noteChange();
    void report();

    QFileSystemWatcher *m_watcher = nullptr;
    QString m_folder;
    QStringList m_subfolders;
    QTimer m_quiet;
    QTimer m_deadline;
};
