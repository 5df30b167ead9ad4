#pragma once
// How the program's freed memory goes back to the system. A run allocates and frees blocks of
// megabytes one step after another (a table's records, a group of the document's texts); kept by
// the allocator for the next block, their pages are used again as they are, where a block given back
// to the system has every page of the next one provided and cleared anew (a page fault each).

namespace pontrel::platform {

// Called once at the program's start, before the first run. Memory that is freed stays with the
// program for later blocks, up to a bound, rather than being returned at once.
void keepFreedMemoryForReuse();

} // namespace pontrel::platform
