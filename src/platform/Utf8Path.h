#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// Paths as the program's texts hold them: UTF-8. Messages, command lines and the window (QString) all
// carry UTF-8, while Windows names files in UTF-16. A std::filesystem::path built from a char string, or
// read back with string(), goes through the C library's multibyte conversion on MinGW (a byte per
// character, not UTF-8), so "José" would become "JosÃ©". Every path that crosses between a text and the
// file system goes through these two functions instead.

#include <filesystem>
#include <string>
#include <string_view>

namespace pontrel::platform {

// The path named by UTF-8 `text` (bytes as they are on POSIX systems).
std::filesystem::path pathFromUtf8(std::string_view text);

// The path as UTF-8, for messages and for building a name from another.
std::string utf8Of(const std::filesystem::path& path);

// The length of the longest prefix of `text` that does not end inside a UTF-8 sequence: a writer
// that receives text in pieces converts this much and keeps the rest for the next piece.
std::size_t completeUtf8Length(std::string_view text);

} // namespace pontrel::platform
