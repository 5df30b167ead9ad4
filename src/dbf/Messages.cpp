#include "dbf/Messages.h"

#include "dbf/CodePage.h"

namespace pontrel::dbf::messages {

std::string printable(std::string_view ansi) {
    std::string out;
    out.reserve(ansi.size());
    for (char ch : ansi) {
        const char32_t c =
            codepage::unicodeOf(codepage::CodePage::Windows1252, static_cast<unsigned char>(ch));
        // Control characters, the C1 ones that stand for the unassigned bytes included, would print as
        // nothing or move the text about.
        if (c < 0x20 || (c >= 0x7F && c < 0xA0))
            out += '?';
        else
            codepage::appendUtf8(out, c);
    }
    return out;
}

} // namespace pontrel::dbf::messages
