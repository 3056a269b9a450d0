#include "core/safefileio.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace PhotoCore {

#ifdef Q_OS_UNIX

namespace {

// Reads up to `limit` bytes; false on a read error.
bool readUpTo(int fd, qint64 limit, QByteArray &bytes)
{
    constexpr qint64 chunk = 64 * 1024;
    bytes.clear();
    while (bytes.size() < limit) {
        const qint64 want = qMin(chunk, limit - bytes.size());
        const qsizetype old = bytes.size();
        bytes.resize(old + qsizetype(want));
        const ssize_t got = ::read(fd, bytes.data() + old, size_t(want));
        if (got < 0 && errno == EINTR) {
            bytes.resize(old);
            continue;
        }
        if (got < 0)
            return false;
        bytes.resize(old + qsizetype(got));
        if (got == 0)
            break;
    }
    return true;
}

} // namespace

FileReadResult readRegularFile(const QString &path, qint64 maxBytes, QByteArray &bytes)
{
    bytes.clear();
    const QByteArray native = QFile::encodeName(path);
    if (native.isEmpty())
        return FileReadResult::Missing;
    // A look before opening keeps devices from ever being opened; the check
    // after opening closes the gap in which the name could be swapped.
    struct stat before;
    if (::stat(native.constData(), &before) != 0)
        return errno == ENOENT || errno == ENOTDIR ? FileReadResult::Missing : FileReadResult::Refused;
    if (!S_ISREG(before.st_mode))
        return FileReadResult::Refused;
    // Non-blocking, so that a FIFO put in place meanwhile cannot hold the open.
    const int fd = ::open(native.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return errno == ENOENT ? FileReadResult::Missing : FileReadResult::Refused;
    struct stat opened;
    bool ok = ::fstat(fd, &opened) == 0 && S_ISREG(opened.st_mode) && readUpTo(fd, maxBytes + 1, bytes);
    ::close(fd);
    ok = ok && bytes.size() <= maxBytes;
    if (!ok)
        bytes.clear();
    return ok ? FileReadResult::Read : FileReadResult::Refused;
}

#else

FileReadResult readRegularFile(const QString &path, qint64 maxBytes, QByteArray &bytes)
{
    bytes.clear();
    const QFileInfo info(path);
    if (!info.exists())
        return FileReadResult::Missing;
    if (!info.isFile())
        return FileReadResult::Refused;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return FileReadResult::Refused;
    bytes = file.read(maxBytes + 1);
    if (file.error() != QFileDevice::NoError || bytes.size() > maxBytes) {
        bytes.clear();
        return FileReadResult::Refused;
    }
    return FileReadResult::Read;
}

#endif

bool saveFileSafely(const QString &path, const QByteArray &bytes)
{
    // Unbuffered, so that every write reaches the file system at once and its
    // failure is seen here: the toolkit's commit does not notice a flush of
    // buffered data that failed on a full disk and would rename the short
    // file over the original.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return false;
    qint64 written = 0;
    while (written < bytes.size()) {
        const qint64 n = file.write(bytes.constData() + written, bytes.size() - written);
        if (n <= 0) {
            file.cancelWriting();
            return false;
        }
        written += n;
    }
    bool ok = file.flush() && file.error() == QFileDevice::NoError;
#ifdef Q_OS_UNIX
    // Some file systems report a lack of space only when the data is synced.
    if (ok && file.handle() >= 0) {
        int result;
        do {
            result = ::fsync(file.handle());
        } while (result != 0 && errno == EINTR);
        ok = result == 0 || errno == EINVAL; // EINVAL: the file cannot be synced at all
    }
#endif
    if (!ok) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

} // namespace PhotoCore
