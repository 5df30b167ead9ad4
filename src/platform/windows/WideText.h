#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// UTF-8 to UTF-16 and back for the wide Windows API: the one conversion of the Windows implementation.

#include <string>
#include <string_view>

namespace pontrel::platform {

std::wstring wideFromUtf8(std::string_view text);
std::string utf8FromWide(std::wstring_view text);

} // namespace pontrel::platform
