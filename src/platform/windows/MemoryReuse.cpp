#include "platform/MemoryReuse.h"

namespace pontrel::platform {

// The Windows heap keeps freed blocks for later ones and decommits only what lies free beyond its own
// thresholds: nothing to set.
void keepFreedMemoryForReuse() {}

} // namespace pontrel::platform
