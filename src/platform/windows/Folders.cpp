#include "platform/Folders.h"

#include <string>
#include <windows.h>

namespace pontrel::platform {

std::filesystem::path defaultWorkingFolder() {
    return std::filesystem::path(L"C:\\VTEMP");
}

std::filesystem::path programFolder() {
    std::wstring name(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, name.data(), static_cast<DWORD>(name.size()));
        if (n == 0)
            return {};
        if (n < name.size()) {
            name.resize(n);
            return std::filesystem::path(name).parent_path();
        }
        name.resize(name.size() * 2);
    }
}

} // namespace pontrel::platform
