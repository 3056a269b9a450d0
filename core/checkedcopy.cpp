#include "core/checkedcopy.h"

#include "core/filemoves.h"
#include "core/partialcopy.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStorageInfo>

#include <cstring>

#if defined(Q_OS_WIN)
#include <windows.h>

#include <string>
#else
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>
#endif

// The texts of a transfer's failures.
class PhotoTransfer
{
    Q_DECLARE_TR_FUNCTIONS(PhotoTransfer)
};

namespace PhotoCore {

namespace {

// A copy moves in blocks of this size; progress and a cancel are looked at
// between them.
constexpr qint64 chunkBytes = 4 * 1048576;
// Originals up to this size are held in memory between copying and
// comparing, so that each is read once; larger ones are read again.
constexpr qint64 holdLimit = 96 * 1048576;

// Appends all `n` bytes at `data` to `out`. A short write is tried again, so
// that a full disk shows as the system's error and not as a count.
bool writeAll(QFile &out, const char *data, qint64 n, QString &error)
{
    while (n > 0) {
        const qint64 written = out.write(data, n);
        if (written <= 0) {
            error = out.errorString();
            return false;
        }
        data += written;
        n -= written;
    }
    return true;
}

bool readAll(QFile &in, char *data, qint64 n)
{
    while (n > 0) {
        const qint64 got = in.read(data, n);
        if (got <= 0)
            return false;
        data += got;
        n -= got;
    }
    return true;
}

// Starts writing the block just written to the device while the next one is
// made, so that the flush at the end waits for little.
void startWriteBack(QFile &out, qint64 at, qint64 n)
{
#if defined(Q_OS_LINUX)
    ::sync_file_range(out.handle(), at, n, SYNC_FILE_RANGE_WRITE);
#else
    Q_UNUSED(out);
    Q_UNUSED(at);
    Q_UNUSED(n);
#endif
}

// Drops the system's cached pages of a file that has been flushed, so that
// the next read of it comes from the device.
void dropCachedPages(QFile &file)
{
#if defined(Q_OS_LINUX) || defined(Q_OS_FREEBSD)
    ::posix_fadvise(file.handle(), 0, 0, POSIX_FADV_DONTNEED);
#else
    Q_UNUSED(file);
#endif
}

// Reads a file from its device, bypassing the system's cache: on Windows an
// unbuffered handle (reads of whole sectors into sector-aligned memory); on
// Linux the pages were dropped after the flush, and they are dropped again
// here in case a reader brought them back meanwhile.
class DeviceReader
{
public:
    explicit DeviceReader(const QString &path)
    {
#if defined(Q_OS_WIN)
        const std::wstring native = QDir::toNativeSeparators(path).toStdWString();
        m_handle = ::CreateFileW(native.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                 FILE_FLAG_NO_BUFFERING | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
        // Page-aligned, which is a multiple of every sector size in use.
        if (m_handle != INVALID_HANDLE_VALUE)
            m_aligned = static_cast<char *>(::VirtualAlloc(nullptr, size_t(alignedBytes), MEM_COMMIT | MEM_RESERVE,
                                                           PAGE_READWRITE));
#else
        m_file.setFileName(path);
        if (m_file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
            dropCachedPages(m_file);
#if defined(Q_OS_LINUX)
            ::posix_fadvise(m_file.handle(), 0, 0, POSIX_FADV_SEQUENTIAL);
#endif
        }
#endif
    }

    ~DeviceReader()
    {
#if defined(Q_OS_WIN)
        if (m_aligned)
            ::VirtualFree(m_aligned, 0, MEM_RELEASE);
        if (m_handle != INVALID_HANDLE_VALUE)
            ::CloseHandle(m_handle);
#endif
    }

    DeviceReader(const DeviceReader &) = delete;
    DeviceReader &operator=(const DeviceReader &) = delete;

    bool isOpen() const
    {
#if defined(Q_OS_WIN)
        return m_handle != INVALID_HANDLE_VALUE && m_aligned;
#else
        return m_file.isOpen();
#endif
    }

    // The next `n` bytes into `data`; false when fewer are there.
    bool read(char *data, qint64 n)
    {
#if defined(Q_OS_WIN)
        while (n > 0) {
            if (m_available == 0) {
                DWORD got = 0;
                if (!::ReadFile(m_handle, m_aligned, DWORD(alignedBytes), &got, nullptr) || got == 0)
                    return false;
                m_available = got;
                m_offset = 0;
            }
            const qint64 take = qMin<qint64>(n, m_available);
            std::memcpy(data, m_aligned + m_offset, size_t(take));
            m_offset += take;
            m_available -= take;
            data += take;
            n -= take;
        }
        return true;
#else
        return readAll(m_file, data, n);
#endif
    }

    // Whether the file ends here.
    bool atEnd()
    {
#if defined(Q_OS_WIN)
        char probe;
        return !read(&probe, 1);
#else
        char probe;
        return m_file.read(&probe, 1) == 0;
#endif
    }

private:
#if defined(Q_OS_WIN)
    static constexpr qint64 alignedBytes = 1048576;
    HANDLE m_handle = INVALID_HANDLE_VALUE;
    char *m_aligned = nullptr;
    qint64 m_offset = 0;
    qint64 m_available = 0;
#else
    QFile m_file;
#endif
};

// Whether a write that failed ran out of room: the target's file system
// has less left than the copy still needed.
bool ranOutOfRoom(const QString &target, qint64 stillNeeded)
{
    QStorageInfo storage(QFileInfo(target).absolutePath());
    storage.refresh();
    return storage.isValid() && storage.bytesAvailable() < qMax<qint64>(stillNeeded, 1);
}

CopyCheck failed(CopyProblem problem, const QString &reason)
{
    return CopyCheck{problem, reason};
}

// A read of the original failed: it is gone when its name no longer leads
// anywhere (a card pulled out takes its whole folder with it); a read that
// found the end without an error found a file shorter than its size.
CopyCheck readFailed(const QString &source, const QFile &in)
{
    if (!QFileInfo::exists(source))
        return failed(CopyProblem::SourceGone, PhotoTransfer::tr("the original is no longer there"));
    if (in.error() == QFileDevice::NoError)
        return failed(CopyProblem::SourceShort,
                      PhotoTransfer::tr("the original ended before its size; the copy was refused"));
    return failed(CopyProblem::Other, in.errorString());
}

CopyCheck copyAndCompare(QFile &in, QFile &out, const QString &source, const QString &target,
                         const CopyAdvance &advance)
{
    const qint64 size = in.size();
    const bool hold = size <= holdLimit;
    QByteArray held(hold ? size : 0, Qt::Uninitialized);
    QByteArray buffer(hold ? 0 : chunkBytes, Qt::Uninitialized);
    QString error;
    for (qint64 at = 0; at < size;) {
        const qint64 n = qMin(chunkBytes, size - at);
        char *block = hold ? held.data() + at : buffer.data();
        if (!readAll(in, block, n))
            return readFailed(source, in);
        if (!writeAll(out, block, n, error))
            return failed(ranOutOfRoom(target, size - at) ? CopyProblem::TargetFull : CopyProblem::Other, error);
        startWriteBack(out, at, n);
        at += n;
        if (advance && !advance(n))
            return failed(CopyProblem::Cancelled, QString());
    }
    if (!syncToDevice(out, &error))
        return failed(ranOutOfRoom(target, 0) ? CopyProblem::TargetFull : CopyProblem::Other, error);
    dropCachedPages(out);
    out.close();

    const QString differs = PhotoTransfer::tr("the copy differs from the original");
    DeviceReader check(target);
    if (!check.isOpen())
        return failed(CopyProblem::Other, differs);
    QByteArray copied(qMin(chunkBytes, qMax<qint64>(size, 1)), Qt::Uninitialized);
    if (!hold && !in.seek(0))
        return readFailed(source, in);
    for (qint64 at = 0; at < size;) {
        const qint64 n = qMin(chunkBytes, size - at);
        if (!check.read(copied.data(), n))
            return failed(CopyProblem::Other, differs);
        const char *original = hold ? held.constData() + at : buffer.data();
        if (!hold && !readAll(in, buffer.data(), n))
            return readFailed(source, in);
        if (std::memcmp(original, copied.constData(), size_t(n)) != 0)
            return failed(CopyProblem::Other, differs);
        at += n;
    }
    if (!check.atEnd())
        return failed(CopyProblem::Other, differs);
    return CopyCheck{};
}

} // namespace

CopyCheck stageCheckedCopy(const QString &source, const QString &target, const CopyAdvance &advance)
{
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return readFailed(source, in);
    const QString staged = partialCopyPath(target);
    // NewOnly: a name taken between the caller's look and now is not ours to write.
    QFile out(staged);
    if (!out.open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered)) {
        const bool full = QFileInfo::exists(QFileInfo(target).absolutePath()) && ranOutOfRoom(target, 0);
        return failed(full ? CopyProblem::TargetFull : CopyProblem::Other, out.errorString());
    }
    const CopyCheck check = copyAndCompare(in, out, source, staged, advance);
    out.close();
    if (!check.ok()) {
        QFile::remove(staged);
        return check;
    }
    QFile stamp(staged);
    if (stamp.open(QIODevice::ReadWrite))
        stamp.setFileTime(QFileInfo(source).fileTime(QFileDevice::FileModificationTime),
                          QFileDevice::FileModificationTime);
    return check;
}

CopyCheck publishStagedCopy(const QString &target)
{
    QString error;
    if (renameWithin(partialCopyPath(target), target, &error) != RenameOutcome::Renamed)
        return failed(CopyProblem::Other, error);
    return CopyCheck{};
}

void discardStagedCopy(const QString &target)
{
    QFile::remove(partialCopyPath(target));
}

CopyCheck copyChecked(const QString &source, const QString &target, const CopyAdvance &advance)
{
    // Looked at first so that a taken name fails before anything is copied.
    if (QFileInfo::exists(target) || QFileInfo(target).isSymLink())
        return failed(CopyProblem::Other,
                      PhotoTransfer::tr("%1 is already there").arg(QFileInfo(target).fileName()));
    CopyCheck check = stageCheckedCopy(source, target, advance);
    if (check.ok())
        check = publishStagedCopy(target);
    if (!check.ok())
        discardStagedCopy(target);
    return check;
}

} // namespace PhotoCore
