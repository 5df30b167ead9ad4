#include "platform/NativeWindow.h"

namespace pontrel::platform {

bool nativeWindowExists(std::uintptr_t) {
    return false;
}

} // namespace pontrel::platform
