#include "platform/IniFile.h"

#include <string>
#include <windows.h>

namespace pontrel::platform {

namespace {
std::wstring wide(std::string_view text) {
    if (text.empty())
        return {};
    const int size = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<std::size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size);
    return out;
}
} // namespace

int writeIniInteger(const std::filesystem::path& file, std::string_view section, std::string_view key,
                    int value) {
    // The INI service keeps every other line of the file itself.
    if (!WritePrivateProfileStringW(wide(section).c_str(), wide(key).c_str(), std::to_wstring(value).c_str(),
                                    file.wstring().c_str()))
        return static_cast<int>(GetLastError());
    return 0;
}

} // namespace pontrel::platform
