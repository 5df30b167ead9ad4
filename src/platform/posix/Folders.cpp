#include "platform/Folders.h"
#include "platform/Utf8Path.h"

#include <cstdlib>
#include <pwd.h>
#include <string>
#include <system_error>
#include <unistd.h>

namespace pontrel::platform {

namespace fs = std::filesystem;

namespace {

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value == nullptr ? std::string() : std::string(value);
}

std::string homeFolder() {
    std::string home = environment("HOME");
    if (home.empty()) {
        if (const passwd* entry = getpwuid(getuid()); entry != nullptr && entry->pw_dir != nullptr)
            home = entry->pw_dir;
    }
    return home;
}

bool isVtemp(const std::string& name) {
    if (name.size() != 5)
        return false;
    for (std::size_t i = 0; i < 5; ++i)
        if ((name[i] & ~0x20) != "VTEMP"[i])
            return false;
    return true;
}

} // namespace

fs::path defaultWorkingFolder() {
    if (const std::string own = environment("PONTREL_VTEMP"); !own.empty())
        return fs::path(own);
    std::string prefix = environment("WINEPREFIX");
    if (prefix.empty())
        prefix = homeFolder() + "/.wine";
    const fs::path driveC = fs::path(prefix) / "drive_c";
    // Wine maps C:\VTEMP onto a folder of any letter case (a program may have made it as vtemp).
    std::error_code ec;
    if (!fs::is_directory(driveC / "VTEMP", ec)) {
        for (fs::directory_iterator it(driveC, ec); !ec && it != fs::directory_iterator(); it.increment(ec))
            if (isVtemp(utf8Of(it->path().filename())) && it->is_directory(ec))
                return it->path();
    }
    return driveC / "VTEMP";
}

fs::path programFolder() {
    std::error_code ec;
    const fs::path self = fs::read_symlink("/proc/self/exe", ec);
    return ec ? fs::path() : self.parent_path();
}

} // namespace pontrel::platform
