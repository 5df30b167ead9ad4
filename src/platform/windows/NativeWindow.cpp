#include "platform/NativeWindow.h"

#include <windows.h>

namespace pontrel::platform {

bool nativeWindowExists(std::uintptr_t handle) {
    return handle != 0 && IsWindow(reinterpret_cast<HWND>(handle)) != 0;
}

} // namespace pontrel::platform
