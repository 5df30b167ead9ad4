#include "exchange/text/Ansi.h"

#include "dbf/CodePage.h"
#include "dbf/TextFold.h"

namespace pontrel::ansi {

std::string fromUtf8(std::string_view utf8) {
    return dbf::codepage::utf8ToAnsi(utf8);
}

std::string toUtf8(std::string_view ansi) {
    return dbf::codepage::ansiToUtf8(ansi);
}

std::string upperAsciiOnly(std::string_view ansi) {
    return dbf::text::upperAsciiOnly(ansi);
}

std::string upperAnsi(std::string_view ansi) {
    return dbf::text::upperAnsi(ansi);
}

bool equalIgnoringCase(std::string_view a, std::string_view b) {
    return dbf::text::equalIgnoringCase(a, b);
}

std::string_view trimControls(std::string_view text) {
    auto isControl = [](char c) { return static_cast<unsigned char>(c) <= 32; };
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && isControl(text[begin]))
        ++begin;
    while (end > begin && isControl(text[end - 1]))
        --end;
    return text.substr(begin, end - begin);
}

bool isBlank(std::string_view text) {
    return trimControls(text).empty();
}

} // namespace pontrel::ansi
