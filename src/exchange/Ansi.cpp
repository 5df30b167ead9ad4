#include "exchange/Ansi.h"

#include "dbf/CodePage.h"

namespace pontrel::ansi {

namespace {

// Upper-case partner of a Windows-1252 letter, or the byte itself.
unsigned char upperByte(unsigned char b) {
    if (b >= 'a' && b <= 'z')
        return static_cast<unsigned char>(b - 0x20);
    if (b >= 0xE0 && b <= 0xFE && b != 0xF7) // à..þ, but not the division sign
        return static_cast<unsigned char>(b - 0x20);
    switch (b) {
    case 0x9A:
        return 0x8A; // š -> Š
    case 0x9C:
        return 0x8C; // œ -> Œ
    case 0x9E:
        return 0x8E; // ž -> Ž
    case 0xFF:
        return 0x9F; // ÿ -> Ÿ
    default:
        return b;
    }
}

} // namespace

std::string fromUtf8(std::string_view utf8) {
    return dbf::codepage::utf8ToAnsi(utf8);
}

std::string toUtf8(std::string_view ansi) {
    return dbf::codepage::ansiToUtf8(ansi);
}

std::string upperAsciiOnly(std::string_view ansi) {
    std::string out(ansi);
    for (char& c : out)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 0x20);
    return out;
}

std::string upperAnsi(std::string_view ansi) {
    std::string out(ansi);
    for (char& c : out)
        c = static_cast<char>(upperByte(static_cast<unsigned char>(c)));
    return out;
}

bool equalIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (upperByte(static_cast<unsigned char>(a[i])) != upperByte(static_cast<unsigned char>(b[i])))
            return false;
    return true;
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
