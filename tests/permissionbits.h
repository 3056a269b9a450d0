#pragma once

#include <QtGlobal>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

// Whether taking permission bits away from a file or folder stops this process
// from reading or changing it. Not for root; not on Windows either, where the
// toolkit maps the bits onto the read-only attribute alone.
inline bool permissionBitsRestrict()
{
#ifdef Q_OS_UNIX
    return ::geteuid() != 0;
#else
    return false;
#endif
}
