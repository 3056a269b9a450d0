#include "core/partialcopy.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#if defined(Q_OS_WIN)
#include <windows.h>
#else
#include <cerrno>
#include <signal.h>
#endif

namespace PhotoCore {

namespace {

const QLatin1String prefix(".glanceway-part-");

bool processRuns(qint64 pid)
{
    if (pid <= 0)
        return false;
#if defined(Q_OS_WIN)
    HANDLE process = ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, DWORD(pid));
    if (!process)
        return ::GetLastError() == ERROR_ACCESS_DENIED;
    DWORD code = 0;
    const bool running = ::GetExitCodeProcess(process, &code) && code == STILL_ACTIVE;
    ::CloseHandle(process);
    return running;
#else
    // EPERM: it runs, as another user.
    return ::kill(pid_t(pid), 0) == 0 || errno == EPERM;
#endif
}

// The writer's process id of a partial copy's name, or 0.
qint64 writerOf(const QString &fileName)
{
    if (!fileName.startsWith(prefix))
        return 0;
    const qsizetype dash = fileName.indexOf(QLatin1Char('-'), prefix.size());
    if (dash <= prefix.size() || dash + 1 >= fileName.size())
        return 0;
    bool ok = false;
    const qint64 pid = QStringView(fileName).mid(prefix.size(), dash - prefix.size()).toLongLong(&ok);
    return ok && pid > 0 ? pid : 0;
}

} // namespace

QString partialCopyPath(const QString &target)
{
    const QFileInfo info(target);
    return info.dir().filePath(prefix + QString::number(QCoreApplication::applicationPid()) + QLatin1Char('-')
                               + info.fileName());
}

bool isPartialCopyName(const QString &fileName)
{
    return writerOf(fileName) > 0;
}

int removeStalePartialCopies(const QString &folder)
{
    const qint64 self = QCoreApplication::applicationPid();
    int removed = 0;
    const QDir dir(folder);
    for (const QString &name : dir.entryList({prefix + QLatin1Char('*')}, QDir::Files | QDir::Hidden | QDir::System)) {
        const qint64 writer = writerOf(name);
        if (writer == 0 || writer == self || processRuns(writer))
            continue;
        if (QFile::remove(dir.filePath(name)))
            ++removed;
    }
    return removed;
}

} // namespace PhotoCore
