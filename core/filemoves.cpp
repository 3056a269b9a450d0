#include "core/filemoves.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#if defined(Q_OS_WIN)
#include <windows.h>

#include <string>
#else
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace PhotoCore {

#if defined(Q_OS_WIN)

namespace {

// A file open in a reader that does not share deletion (Qt opens every file so,
// and the program's own decodes read the photos next to the current one) cannot
// be renamed until the reader lets go, nor while an indexer or a virus scanner
// looks at it: the rename is tried again for this long.
constexpr int renameRetryMs = 2000;

} // namespace

RenameOutcome renameWithin(const QString &source, const QString &target, QString *error)
{
    // Without MOVEFILE_COPY_ALLOWED the system refuses to cross volumes
    // instead of copying; without MOVEFILE_REPLACE_EXISTING it never replaces.
    const std::wstring from = QDir::toNativeSeparators(source).toStdWString();
    const std::wstring to = QDir::toNativeSeparators(target).toStdWString();
    const QDeadlineTimer deadline(renameRetryMs);
    DWORD code = 0;
    for (;;) {
        if (::MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_WRITE_THROUGH))
            return RenameOutcome::Renamed;
        code = ::GetLastError();
        if ((code != ERROR_SHARING_VIOLATION && code != ERROR_LOCK_VIOLATION) || deadline.hasExpired())
            break;
        ::Sleep(20);
    }
    if (code == ERROR_NOT_SAME_DEVICE)
        return RenameOutcome::OtherFileSystem;
    if (error)
        *error = qt_error_string(int(code));
    return RenameOutcome::Failed;
}

bool syncToDevice(QFile &file, QString *error)
{
    if (!file.flush()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    // A second handle flushes the same file's data: the system keeps one cache per file.
    const std::wstring path = QDir::toNativeSeparators(file.fileName()).toStdWString();
    const HANDLE handle = ::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        if (error)
            *error = qt_error_string(int(::GetLastError()));
        return false;
    }
    const bool flushed = ::FlushFileBuffers(handle);
    const DWORD code = flushed ? 0 : ::GetLastError();
    ::CloseHandle(handle);
    if (!flushed && error)
        *error = qt_error_string(int(code));
    return flushed;
}

bool syncFolder(const QString &)
{
    return true; // NTFS journals the names; there is no handle to flush for a folder
}

#else

namespace {

bool retry(int result)
{
    return result != 0 && errno == EINTR;
}

} // namespace

RenameOutcome renameWithin(const QString &source, const QString &target, QString *error)
{
    const QByteArray from = QFile::encodeName(source);
    const QByteArray to = QFile::encodeName(target);
    const auto fail = [error](int code) {
        if (error)
            *error = qt_error_string(code);
        return code == EXDEV ? RenameOutcome::OtherFileSystem : RenameOutcome::Failed;
    };
#if defined(Q_OS_LINUX) && defined(RENAME_NOREPLACE)
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0)
        return RenameOutcome::Renamed;
    if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP)
        return fail(errno);
#endif
    // A file system without no-replace renames: a hard link never replaces
    // either, and like a rename it does not cross file systems.
    if (::link(from.constData(), to.constData()) == 0) {
        if (::unlink(from.constData()) == 0)
            return RenameOutcome::Renamed;
        const int code = errno;
        ::unlink(to.constData());
        return fail(code);
    }
    if (errno != EPERM && errno != EOPNOTSUPP && errno != ENOSYS)
        return fail(errno);
    // Nor hard links (FAT, as on memory cards): look, then rename.
    struct stat existing;
    if (::lstat(to.constData(), &existing) == 0)
        return fail(EEXIST);
    if (::rename(from.constData(), to.constData()) == 0)
        return RenameOutcome::Renamed;
    return fail(errno);
}

bool syncToDevice(QFile &file, QString *error)
{
    if (!file.flush()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    int result;
    do {
        result = ::fsync(file.handle());
    } while (retry(result));
    if (result == 0 || errno == EINVAL || errno == EROFS) // EINVAL: a file that cannot be synced at all
        return true;
    if (error)
        *error = qt_error_string(errno);
    return false;
}

bool syncFolder(const QString &folder)
{
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    int result;
    do {
        result = ::fsync(fd);
    } while (retry(result));
    const bool ok = result == 0 || errno == EINVAL;
    ::close(fd);
    return ok;
}

#endif

} // namespace PhotoCore
