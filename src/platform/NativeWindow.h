#pragma once
// Whether another program's window still exists, for the embedding in Velmora's window. Windows only: on
// X11 the window asks the X server itself, and this call reports nothing.

#include <cstdint>

namespace pontrel::platform {

// True when `handle` names a window that exists now.
bool nativeWindowExists(std::uintptr_t handle);

} // namespace pontrel::platform
