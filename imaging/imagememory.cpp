#include "imaging/imagememory.h"

#include <cstdlib> // defines __GLIBC__ where glibc is the C library

#if defined(__GLIBC__)
#include <malloc.h>
#endif

void configureImageMemory()
{
#if defined(__GLIBC__)
    // Smaller buffers (thumbnails, rows, strings) stay on the heaps.
    mallopt(M_MMAP_THRESHOLD, 1024 * 1024);
#endif
}
