#pragma once
// The native windows of another program, for the embedding in Velmora's window. Windows only: on X11
// the window toolkit itself reaches the host window, and these calls report nothing.

#include <cstdint>

namespace pontrel::platform {

// True when `handle` names a window that exists now.
bool nativeWindowExists(std::uintptr_t handle);

// Makes `child` a child window of `parent`; false when the system refuses.
bool setNativeParent(std::uintptr_t child, std::uintptr_t parent);

} // namespace pontrel::platform
