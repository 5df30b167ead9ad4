// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/Utf8Path.h"

namespace pontrel::platform {

// The char8_t forms are UTF-8 by definition on every system; only the char forms follow the C library.
std::filesystem::path pathFromUtf8(std::string_view text) {
    return std::filesystem::path(
        std::u8string_view(reinterpret_cast<const char8_t*>(text.data()), text.size()));
}

std::string utf8Of(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(reinterpret_cast<const char*>(text.data()), text.size());
}

std::size_t completeUtf8Length(std::string_view text) {
    // Look back over at most three continuation bytes for the lead byte of the last sequence.
    std::size_t start = text.size();
    int continuations = 0;
    while (start > 0 && continuations < 3 && (static_cast<unsigned char>(text[start - 1]) & 0xC0) == 0x80) {
        --start;
        ++continuations;
    }
    if (start == 0)
        return text.size();
    const auto lead = static_cast<unsigned char>(text[start - 1]);
    const int length = lead >= 0xF8 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    // A sequence cut short waits for its remaining bytes; anything else (whole, or not UTF-8 at all)
    // goes now, so that a stray byte never holds text back.
    return length > 1 && continuations + 1 < length ? start - 1 : text.size();
}

} // namespace pontrel::platform
