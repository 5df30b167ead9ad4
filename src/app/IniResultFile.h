#pragma once
// Writing one value into an INI file that other programs own ("Velmora.ini"), the way the Windows INI
// service does it: the section and the key are matched without regard to letter case, only the one
// line changes, and every other byte (comments, order, spacing, line endings) stays as it was.
// No Qt here, so the rules are tested on their own.

#include <filesystem>
#include <string>
#include <string_view>

namespace pontrel::app {

// The text of an INI file after setting `key` in `section` to `value`. A key found in the section keeps
// its own spelling and the blanks around "="; a missing key goes after the section's last key; a missing
// section is appended. New lines use the file's own line ending (CRLF for a file that has none).
std::string withIniValue(std::string_view content, std::string_view section, std::string_view key,
                         std::string_view value);

// Reads `file` (missing: empty), sets the value and writes the file back through a temporary file in
// the same folder, so a failure never leaves it half written. Throws pontrel::Error naming the file.
void writeIniValue(const std::filesystem::path& file, std::string_view section, std::string_view key,
                   std::string_view value);

} // namespace pontrel::app
