#pragma once

// Sets the process's allocator up for image buffers; call once at start.
// Photos decoded for the screen (a few MiB each) come and go by the hundred
// through the preview cache. glibc raises its mmap threshold after the first
// such buffer is freed and serves the next ones from its heaps, which keep
// freed memory: after switching from screen-sized to full-size decodes the
// process held the cache's budget twice over. A fixed threshold keeps every
// image buffer in a mapping of its own, returned to the system when freed.
// Elsewhere this does nothing.
void configureImageMemory();
