#pragma once
// Memory that is about to be filled whole, such as a file read in one piece into a buffer of its size.

#include <cstddef>

namespace pontrel::platform {

// Asks the system to give [data, data + size) its pages now, in one call, instead of one page fault for
// every 4 KB that the filling first touches: under some virtual machines a fault costs more than
// reading its 4 KB from a file. Only a request: where the system has none, or refuses
// it, the memory is as it was, and the contents are never changed. For buffers of some megabytes; a
// small one gains nothing.
void prepareToFill(void* data, std::size_t size);

} // namespace pontrel::platform
