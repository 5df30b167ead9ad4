#pragma once
// Writing one value into an INI file that other programs own ("Velmora.ini"), the way the Windows INI
// service does it: the section and the key are matched without regard to letter case, only the one
// line changes, and every other byte (comments, order, spacing, line endings) stays as it was.
// On Windows the system's INI service does the writing itself.

#include <filesystem>
#include <string>
#include <string_view>

namespace pontrel::platform {

// The text of an INI file after setting `key` in `section` to `value`. A key found in the section keeps
// its own spelling and the blanks around "="; a missing key goes after the section's last key; a missing
// section is appended. New lines use the file's own line ending (CRLF for a file that has none).
std::string withIniValue(std::string_view content, std::string_view section, std::string_view key,
                         std::string_view value);

// Sets `key` in `section` of `file` (created when missing) to `value`: WritePrivateProfileStringW on
// Windows, elsewhere withIniValue written through a file replacement, so that a failure never leaves
// the file half written. Returns 0 or the system's error code.
[[nodiscard]] int writeIniInteger(const std::filesystem::path& file, std::string_view section,
                                  std::string_view key, int value);

} // namespace pontrel::platform
