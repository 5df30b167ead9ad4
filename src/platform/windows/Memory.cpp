#include "platform/Memory.h"

namespace pontrel::platform {

// Windows gives a process's pages at a cost that reading the file outweighs; there is nothing to ask.
void prepareToFill(void*, std::size_t) {}

// The Windows heap keeps freed blocks for later ones and decommits only what lies free beyond its own
// thresholds: nothing to set.
void keepFreedMemoryForReuse() {}

} // namespace pontrel::platform
