#pragma once

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStorageInfo>
#include <QString>
#include <QTemporaryDir>

// A real file system of a few KiB, mounted for one test so that writes meet a
// genuinely full disk. Mounting needs root (CI runs as root); where it is not
// allowed, isMounted() is false and the test skips.
class SmallDisk
{
public:
    explicit SmallDisk(int kib)
    {
        if (!m_dir.isValid())
            return;
        m_mounted = QProcess::execute(QStringLiteral("mount"),
                                      {QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"),
                                       QStringLiteral("size=%1k,mode=0755").arg(kib), QStringLiteral("tmpfs"),
                                       m_dir.path()})
                    == 0;
    }
    ~SmallDisk()
    {
        if (m_mounted)
            QProcess::execute(QStringLiteral("umount"), {QStringLiteral("-l"), m_dir.path()});
    }
    SmallDisk(const SmallDisk &) = delete;
    SmallDisk &operator=(const SmallDisk &) = delete;

    bool isMounted() const { return m_mounted; }
    QString filePath(const QString &name) const { return m_dir.filePath(name); }
    QString path() const { return m_dir.path(); }

    // Fills the disk with a filler file until at most `leaveBytes` are free.
    void fill(qint64 leaveBytes)
    {
        QFile filler(filePath(QStringLiteral(".filler")));
        if (!filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
            return;
        const QByteArray block(512, 'f');
        while (freeBytes() > leaveBytes && filler.write(block) == block.size()) {
        }
    }

    qint64 freeBytes() const
    {
        return QStorageInfo(m_dir.path()).bytesAvailable();
    }

private:
    QTemporaryDir m_dir;
    bool m_mounted = false;
};
