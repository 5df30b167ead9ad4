#include "dbf/TextFold.h"

#include "dbf/CodePage.h"

#include <array>

namespace pontrel::dbf::text {

namespace {

// upperCase restricted to Windows-1252: the upper-case byte of each byte.
using ByteTable = std::array<unsigned char, 256>;

ByteTable ansiUpperTable() {
    ByteTable table{};
    for (unsigned b = 0; b < 256; ++b) {
        const auto byte = static_cast<unsigned char>(b);
        table[b] = byte;
        const char32_t upper = upperCase(codepage::unicodeOf(codepage::CodePage::Windows1252, byte));
        if (const auto upperByte = codepage::ansiByteOf(upper))
            table[b] = *upperByte;
    }
    return table;
}

const ByteTable& ansiUpper() {
    static const ByteTable table = ansiUpperTable();
    return table;
}

} // namespace

char32_t upperCase(char32_t c) {
    if (c >= 'a' && c <= 'z')
        return c - 0x20;
    if (c < 0xE0)
        return c; // below à: no lower-case letter with an upper-case partner but µ (whose is Greek)
    if (c <= 0xFE)
        return c == 0xF7 ? c : c - 0x20; // à..þ, but not the division sign
    if (c == 0xFF)
        return 0x178; // ÿ -> Ÿ
    if (c > 0x17F)
        return c;
    // Latin Extended-A: pairs of capital and small letter, the capital first, aligned on even code
    // points up to U+0137 and from U+014A, on odd ones between; a few letters stand alone.
    switch (c) {
    case 0x130: // İ, itself a capital
    case 0x138: // ĸ, no capital
    case 0x149: // ŉ, no single capital
    case 0x178: // Ÿ
        return c;
    case 0x131: // dotless ı
        return 'I';
    case 0x17F: // long ſ
        return 'S';
    default:
        break;
    }
    const bool pairsOnOdd = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
    const bool isSmall = pairsOnOdd ? c % 2 == 0 : c % 2 == 1;
    return isSmall ? c - 1 : c;
}

std::string upperAnsi(std::string_view ansi) {
    const ByteTable& table = ansiUpper();
    std::string out(ansi);
    for (char& c : out)
        c = static_cast<char>(table[static_cast<unsigned char>(c)]);
    return out;
}

bool equalIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    const ByteTable& table = ansiUpper();
    for (std::size_t i = 0; i < a.size(); ++i)
        if (table[static_cast<unsigned char>(a[i])] != table[static_cast<unsigned char>(b[i])])
            return false;
    return true;
}

char upperAscii(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 0x20) : c;
}

std::string upperAsciiOnly(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        c = upperAscii(c);
    return out;
}

bool isAsciiLetterOrDigit(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
}

std::string fileNameKey(std::string_view name) {
    std::string key;
    key.reserve(name.size());
    std::size_t i = 0;
    while (i < name.size()) {
        char32_t character = 0;
        std::size_t length = 1;
        if (codepage::readUtf8(name, i, character, length) == codepage::Utf8Read::Character) {
            codepage::appendUtf8(key, upperCase(character));
            i += length;
        } else {
            key += name[i++]; // a byte of a name in another encoding matches only itself
        }
    }
    return key;
}

bool sameFileName(std::string_view a, std::string_view b) {
    return fileNameKey(a) == fileNameKey(b);
}

} // namespace pontrel::dbf::text
