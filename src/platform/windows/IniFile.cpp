#include "platform/IniFile.h"

#include "platform/windows/WideText.h"

#include <string>
#include <windows.h>

namespace pontrel::platform {

int writeIniInteger(const std::filesystem::path& file, std::string_view section, std::string_view key,
                    int value) {
    // The INI service keeps every other line of the file itself.
    if (!WritePrivateProfileStringW(wideFromUtf8(section).c_str(), wideFromUtf8(key).c_str(),
                                    std::to_wstring(value).c_str(), file.wstring().c_str()))
        return static_cast<int>(GetLastError());
    return 0;
}

} // namespace pontrel::platform
