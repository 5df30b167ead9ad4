#include "platform/Memory.h"

#include <cstdint>
#include <sys/mman.h>
#include <unistd.h>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace pontrel::platform {

void prepareToFill(void* data, std::size_t size) {
    // Only the whole pages inside the buffer: the pages it shares with its neighbours in the heap are
    // not this buffer's to advise on.
    const auto pageSize = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
    const auto begin = (reinterpret_cast<std::uintptr_t>(data) + pageSize - 1) & ~(pageSize - 1);
    const auto end = (reinterpret_cast<std::uintptr_t>(data) + size) & ~(pageSize - 1);
    // Below some hundreds of kilobytes the faults saved do not pay for the calls.
    if (data == nullptr || end <= begin || end - begin < 256 * 1024)
        return;
    void* const pages = reinterpret_cast<void*>(begin);
    const std::size_t length = end - begin;
    // Not in large pages: in a process that reads tables again and again (the window, a batch), the
    // large pages of freed buffers stayed resident in part and its peak memory grew by megabytes.
#ifdef MADV_POPULATE_WRITE
    // Given in one call (Linux 5.14 on; an older kernel refuses the request and nothing changes).
    madvise(pages, length, MADV_POPULATE_WRITE);
#endif
    (void)pages;
    (void)length;
}

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
