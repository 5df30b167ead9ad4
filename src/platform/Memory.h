#pragma once
// How the program asks the system for memory and gives it back: memory about to be filled whole (a
// file read in one piece into a buffer of its size), and memory freed between the steps of a run.

#include <cstddef>

namespace pontrel::platform {

// Asks the system to give [data, data + size) its pages now, in one call, instead of one page fault for
// every 4 KB that the filling first touches: under some virtual machines a fault costs more than
// reading its 4 KB from a file. Only a request: where the system has none, or refuses
// it, the memory is as it was, and the contents are never changed. For buffers of some megabytes; a
// small one gains nothing.
void prepareToFill(void* data, std::size_t size);

// Called once at the program's start, before the first run. A run allocates and frees blocks of
// megabytes one step after another (a table's records, a group of the document's texts): memory that
// is freed stays with the program for later blocks, up to a bound, and their pages are used again as
// they are, where a block given back to the system has every page of the next one provided and
// cleared anew (a page fault each).
void keepFreedMemoryForReuse();

} // namespace pontrel::platform
