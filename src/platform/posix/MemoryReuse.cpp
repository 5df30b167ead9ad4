#include "platform/MemoryReuse.h"

#include <cstddef> // defines __GLIBC__ with the C library

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace pontrel::platform {

void keepFreedMemoryForReuse() {
#if defined(__GLIBC__)
    // By default glibc gives every block from 128 KiB up a mapping of its own, unmapped when it is
    // freed (the bound rises only as such blocks are freed). Blocks up to 32 MiB (the largest bound
    // it takes) come from the heap instead, and up to 64 MiB of free heap is kept before it is trimmed.
    mallopt(M_MMAP_THRESHOLD, 32 * 1024 * 1024);
    mallopt(M_TRIM_THRESHOLD, 64 * 1024 * 1024);
#endif
}

} // namespace pontrel::platform
