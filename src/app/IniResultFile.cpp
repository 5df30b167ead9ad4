#include "app/IniResultFile.h"

#include "dbf/Error.h"
#include "platform/IniFile.h"
#include "platform/SystemError.h"
#include "platform/Utf8Path.h"

#include <charconv>

namespace pontrel::app {

std::string withIniValue(std::string_view content, std::string_view section, std::string_view key,
                         std::string_view value) {
    return platform::withIniValue(content, section, key, value);
}

void writeIniValue(const std::filesystem::path& file, std::string_view section, std::string_view key,
                   int value) {
    if (const int error = platform::writeIniInteger(file, section, key, value))
        throw Error("No se puede escribir el resultado en el archivo «" + platform::utf8Of(file) +
                    "»: " + platform::errorReason(error) + ".");
}

} // namespace pontrel::app
