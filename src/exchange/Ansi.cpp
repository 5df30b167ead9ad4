#include "exchange/Ansi.h"

#include <array>
#include <cstdint>

namespace pontrel::ansi {

namespace {

// Code points of the bytes 0x80 to 0x9F, where Windows-1252 differs from Latin-1. The five codes that
// the code page leaves unassigned (0x81, 0x8D, 0x8F, 0x90, 0x9D) stand for the C1 controls of the same
// value, as Windows maps them, so that they survive a round trip.
constexpr std::array<char32_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, // 80-87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F, // 88-8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, // 90-97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178, // 98-9F
};

constexpr char kReplacement = '?';

char32_t codePointOf(unsigned char byte) {
    if (byte >= 0x80 && byte <= 0x9F)
        return kHighControls[byte - 0x80];
    return byte;
}

// The byte for a code point, or kReplacement when the code page has none.
char byteFor(char32_t cp) {
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF))
        return static_cast<char>(cp);
    for (std::size_t i = 0; i < kHighControls.size(); ++i)
        if (kHighControls[i] == cp)
            return static_cast<char>(0x80 + i);
    return kReplacement;
}

void appendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

bool isContinuation(unsigned char b) {
    return (b & 0xC0) == 0x80;
}

// Decodes one UTF-8 sequence at `i`. On success stores the code point and the sequence length; a
// malformed sequence (stray continuation byte, truncated, overlong, surrogate, beyond U+10FFFF)
// consumes one byte only, so the text after it is still read.
bool decodeOne(std::string_view s, std::size_t i, char32_t& cp, std::size_t& length) {
    const auto lead = static_cast<unsigned char>(s[i]);
    std::size_t need;
    char32_t min;
    if (lead < 0x80) {
        cp = lead;
        length = 1;
        return true;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        need = 1, min = 0x80, cp = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        need = 2, min = 0x800, cp = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        need = 3, min = 0x10000, cp = lead & 0x07;
    } else {
        return false;
    }
    if (i + need >= s.size()) // truncated at the end of the text
        return false;
    for (std::size_t k = 1; k <= need; ++k) {
        const auto b = static_cast<unsigned char>(s[i + k]);
        if (!isContinuation(b))
            return false;
        cp = (cp << 6) | (b & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return false;
    length = need + 1;
    return true;
}

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
    std::string out;
    out.reserve(utf8.size());
    std::size_t i = 0;
    while (i < utf8.size()) {
        const auto b = static_cast<unsigned char>(utf8[i]);
        if (b < 0x80) { // the common case, kept cheap for large documents
            out += static_cast<char>(b);
            ++i;
            continue;
        }
        char32_t cp = 0;
        std::size_t length = 1;
        if (decodeOne(utf8, i, cp, length)) {
            out += byteFor(cp);
            i += length;
        } else {
            out += kReplacement;
            ++i;
        }
    }
    return out;
}

std::string toUtf8(std::string_view ansi) {
    std::string out;
    out.reserve(ansi.size() + ansi.size() / 4);
    for (char c : ansi)
        appendUtf8(out, codePointOf(static_cast<unsigned char>(c)));
    return out;
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
