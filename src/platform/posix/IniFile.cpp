#include "platform/IniFile.h"

#include "platform/Files.h"

#include <cerrno>
#include <fstream>
#include <sstream>
#include <sys/stat.h>

namespace pontrel::platform {

int writeIniInteger(const std::filesystem::path& file, std::string_view section, std::string_view key,
                    int value) {
    std::string content;
    struct stat before {};
    const bool existed = ::stat(file.c_str(), &before) == 0;
    if (existed) {
        if (S_ISDIR(before.st_mode))
            return EISDIR;
        std::ifstream in(file, std::ios::binary);
        if (!in)
            return errno != 0 ? errno : EACCES;
        std::ostringstream buffer;
        buffer << in.rdbuf();
        content = buffer.str();
    }
    const ReplaceResult result =
        replaceFile(file, withIniValue(content, section, key, std::to_string(value)));
    if (result)
        return result.error;
    // The file keeps the permissions its owner gave it.
    if (existed)
        ::chmod(file.c_str(), before.st_mode & 07777);
    return 0;
}

} // namespace pontrel::platform
