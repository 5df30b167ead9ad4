#include "platform/Memory.h"

namespace pontrel::platform {

// Windows gives a process's pages at a cost that reading the file outweighs; there is nothing to ask.
void prepareToFill(void*, std::size_t) {}

} // namespace pontrel::platform
