#include "platform/NativeWindow.h"

#include <windows.h>

namespace pontrel::platform {

bool nativeWindowExists(std::uintptr_t handle) {
    return handle != 0 && IsWindow(reinterpret_cast<HWND>(handle)) != 0;
}

bool setNativeParent(std::uintptr_t child, std::uintptr_t parent) {
    return SetParent(reinterpret_cast<HWND>(child), reinterpret_cast<HWND>(parent)) != nullptr;
}

} // namespace pontrel::platform
