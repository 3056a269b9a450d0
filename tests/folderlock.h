#pragma once

#include <QDir>
#include <QFile>
#include <QString>

#ifdef Q_OS_LINUX
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>
#endif

// Makes a folder refuse new files while it lives. Tests run as root in CI,
// where permissions deny nothing: there the folder is made immutable, as far
// as the file system allows. isLocked() says whether it worked.
class FolderLock
{
public:
    explicit FolderLock(const QString &dir)
        : m_dir(dir)
    {
        setImmutable(true);
        QFile::setPermissions(m_dir, QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup | QFile::ExeGroup);
        QFile probe(m_dir + QStringLiteral("/.probe"));
        m_locked = !probe.open(QIODevice::WriteOnly);
        if (!m_locked)
            probe.remove();
    }
    ~FolderLock()
    {
        setImmutable(false);
        QFile::setPermissions(m_dir, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    bool isLocked() const { return m_locked; }

private:
    void setImmutable(bool on)
    {
#ifdef Q_OS_LINUX
        const int fd = ::open(QFile::encodeName(m_dir).constData(), O_RDONLY | O_DIRECTORY);
        if (fd < 0)
            return;
        int flags = 0;
        if (::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0) {
            flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
            ::ioctl(fd, FS_IOC_SETFLAGS, &flags);
        }
        ::close(fd);
#else
        Q_UNUSED(on);
#endif
    }

    QString m_dir;
    bool m_locked = false;
};
