#include "dbf/CodePage.h"

#include "dbf/Messages.h"

#include <algorithm>
#include <cstring>

namespace pontrel::dbf::codepage {

namespace {

// The characters of the bytes 0x80 to 0xFF; below 0x80 all three code pages are ASCII.
using HighHalf = std::array<char16_t, 128>;

// Windows-1252: Latin-1 but for 0x80-0x9F; the five unassigned bytes are the C1 controls of the same
// value.
constexpr HighHalf kWindows1252 = [] {
    constexpr char16_t c1[32] = {
        0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, // 80-87
        0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F, // 88-8F
        0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, // 90-97
        0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178, // 98-9F
    };
    HighHalf high{};
    for (unsigned i = 0; i < 32; ++i)
        high[i] = c1[i];
    for (unsigned i = 32; i < 128; ++i)
        high[i] = static_cast<char16_t>(0x80 + i);
    return high;
}();

constexpr HighHalf kDos437 = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7, // 80-87
    0x00EA, 0x00EB, 0x00E8, 0x00EF, 0x00EE, 0x00EC, 0x00C4, 0x00C5, // 88-8F
    0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9, // 90-97
    0x00FF, 0x00D6, 0x00DC, 0x00A2, 0x00A3, 0x00A5, 0x20A7, 0x0192, // 98-9F
    0x00E1, 0x00ED, 0x00F3, 0x00FA, 0x00F1, 0x00D1, 0x00AA, 0x00BA, // A0-A7
    0x00BF, 0x2310, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB, // A8-AF
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562, 0x2556, // B0-B7
    0x2555, 0x2563, 0x2551, 0x2557, 0x255D, 0x255C, 0x255B, 0x2510, // B8-BF
    0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F, // C0-C7
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x2567, // C8-CF
    0x2568, 0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256B, // D0-D7
    0x256A, 0x2518, 0x250C, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580, // D8-DF
    0x03B1, 0x00DF, 0x0393, 0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4, // E0-E7
    0x03A6, 0x0398, 0x03A9, 0x03B4, 0x221E, 0x03C6, 0x03B5, 0x2229, // E8-EF
    0x2261, 0x00B1, 0x2265, 0x2264, 0x2320, 0x2321, 0x00F7, 0x2248, // F0-F7
    0x00B0, 0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2, 0x25A0, 0x00A0, // F8-FF
};

constexpr HighHalf kDos850 = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7, // 80-87
    0x00EA, 0x00EB, 0x00E8, 0x00EF, 0x00EE, 0x00EC, 0x00C4, 0x00C5, // 88-8F
    0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9, // 90-97
    0x00FF, 0x00D6, 0x00DC, 0x00F8, 0x00A3, 0x00D8, 0x00D7, 0x0192, // 98-9F
    0x00E1, 0x00ED, 0x00F3, 0x00FA, 0x00F1, 0x00D1, 0x00AA, 0x00BA, // A0-A7
    0x00BF, 0x00AE, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB, // A8-AF
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x00C1, 0x00C2, 0x00C0, // B0-B7
    0x00A9, 0x2563, 0x2551, 0x2557, 0x255D, 0x00A2, 0x00A5, 0x2510, // B8-BF
    0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x00E3, 0x00C3, // C0-C7
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x00A4, // C8-CF
    0x00F0, 0x00D0, 0x00CA, 0x00CB, 0x00C8, 0x0131, 0x00CD, 0x00CE, // D0-D7
    0x00CF, 0x2518, 0x250C, 0x2588, 0x2584, 0x00A6, 0x00CC, 0x2580, // D8-DF
    0x00D3, 0x00DF, 0x00D4, 0x00D2, 0x00F5, 0x00D5, 0x00B5, 0x00FE, // E0-E7
    0x00DE, 0x00DA, 0x00DB, 0x00D9, 0x00FD, 0x00DD, 0x00AF, 0x00B4, // E8-EF
    0x00AD, 0x00B1, 0x2017, 0x00BE, 0x00B6, 0x00A7, 0x00F7, 0x00B8, // F0-F7
    0x00B0, 0x00A8, 0x00B7, 0x00B9, 0x00B3, 0x00B2, 0x25A0, 0x00A0, // F8-FF
};

const HighHalf& highHalf(CodePage page) {
    switch (page) {
    case CodePage::Dos437:
        return kDos437;
    case CodePage::Dos850:
        return kDos850;
    case CodePage::Windows1252:
        break;
    }
    return kWindows1252;
}

// The byte of `character` in `page`, or kReplacement.
unsigned char byteOf(CodePage page, char32_t character) {
    if (character < 0x80)
        return static_cast<unsigned char>(character);
    const HighHalf& high = highHalf(page);
    auto end = high.end();
    if (page == CodePage::Windows1252) {
        if (character >= 0xA0 && character <= 0xFF)
            return static_cast<unsigned char>(character);
        end = high.begin() + 32; // only 0x80-0x9F differ from Latin-1
    }
    const auto at = std::find(high.begin(), end, character);
    return at == end ? static_cast<unsigned char>(kReplacement)
                     : static_cast<unsigned char>(0x80 + (at - high.begin()));
}

ByteMap mapBetween(CodePage from, CodePage to) {
    ByteMap map{};
    for (unsigned b = 0; b < 256; ++b)
        map[b] = byteOf(to, unicodeOf(from, static_cast<unsigned char>(b)));
    return map;
}

bool isContinuation(unsigned char b) {
    return (b & 0xC0) == 0x80;
}

// Language driver ids and their code pages, from the dBase and FoxPro tables of language drivers.
struct LanguageDriver {
    std::uint8_t id;
    std::uint16_t page;
};
constexpr LanguageDriver kLanguageDrivers[] = {
    {0x01, 437},   {0x09, 437},   {0x0B, 437},   {0x0D, 437},  {0x0F, 437},   {0x11, 437},  {0x15, 437},
    {0x18, 437},   {0x19, 437},   {0x1B, 437},   {0x02, 850},  {0x0A, 850},   {0x0E, 850},  {0x10, 850},
    {0x12, 850},   {0x14, 850},   {0x16, 850},   {0x1A, 850},  {0x1D, 850},   {0x25, 850},  {0x37, 850},
    {0x03, 1252},  {0x57, 1252},  {0x58, 1252},  {0x59, 1252}, {0x04, 10000}, {0x08, 865},  {0x17, 865},
    {0x66, 865},   {0x13, 932},   {0x7B, 932},   {0x1C, 863},  {0x6C, 863},   {0x1F, 852},  {0x22, 852},
    {0x23, 852},   {0x40, 852},   {0x64, 852},   {0x24, 860},  {0x26, 866},   {0x65, 866},  {0x4D, 936},
    {0x7A, 936},   {0x4E, 949},   {0x79, 949},   {0x4F, 950},  {0x78, 950},   {0x50, 874},  {0x7C, 874},
    {0x67, 861},   {0x68, 895},   {0x69, 620},   {0x6A, 737},  {0x6B, 857},   {0x7D, 1255}, {0x7E, 1256},
    {0x96, 10007}, {0x97, 10029}, {0x98, 10006}, {0xC8, 1250}, {0xC9, 1251},  {0xCA, 1254}, {0xCB, 1253},
    {0xCC, 1257},
};

// The code page that a language driver id names; 0 for none (0, or an id of no known driver).
unsigned pageOfLanguageId(std::uint8_t id) {
    for (const LanguageDriver& driver : kLanguageDrivers)
        if (driver.id == id)
            return driver.page;
    return 0;
}

// The code page of a level-7 language driver name: "DB" and three digits name an MS-DOS code page,
// "DBWIN" Windows ANSI; 0 for none, or a name of another form.
unsigned pageOfDriverName(std::string_view name) {
    if (name.rfind("DBWIN", 0) == 0)
        return 1252;
    if (name.size() >= 5 && name.rfind("DB", 0) == 0 &&
        std::all_of(name.begin() + 2, name.begin() + 5, [](char c) { return c >= '0' && c <= '9'; }))
        return static_cast<unsigned>((name[2] - '0') * 100 + (name[3] - '0') * 10 + (name[4] - '0'));
    return 0;
}

} // namespace

char32_t unicodeOf(CodePage page, unsigned char byte) {
    return byte < 0x80 ? byte : highHalf(page)[byte - 0x80];
}

void appendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// A malformed sequence is one byte long to its reader, so that the text after it is still read.
Utf8Read readUtf8(std::string_view s, std::size_t i, char32_t& character, std::size_t& length) {
    const auto lead = static_cast<unsigned char>(s[i]);
    std::size_t need;
    char32_t min;
    if (lead < 0x80) {
        character = lead;
        length = 1;
        return Utf8Read::Character;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        need = 1, min = 0x80, character = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        need = 2, min = 0x800, character = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        need = 3, min = 0x10000, character = lead & 0x07;
    } else {
        return Utf8Read::Malformed;
    }
    for (std::size_t k = 1; k <= need; ++k) {
        if (i + k >= s.size())
            return Utf8Read::Truncated;
        const auto b = static_cast<unsigned char>(s[i + k]);
        if (!isContinuation(b))
            return Utf8Read::Malformed;
        character = (character << 6) | (b & 0x3F);
    }
    if (character < min || character > 0x10FFFF || (character >= 0xD800 && character <= 0xDFFF))
        return Utf8Read::Malformed;
    length = need + 1;
    return Utf8Read::Character;
}

std::optional<unsigned char> ansiByteOf(char32_t character) {
    const unsigned char byte = byteOf(CodePage::Windows1252, character);
    if (byte == static_cast<unsigned char>(kReplacement) && character != static_cast<char32_t>(kReplacement))
        return std::nullopt;
    return byte;
}

bool isUnassignedInAnsi(unsigned char byte) {
    return byte == 0x81 || byte == 0x8D || byte == 0x8F || byte == 0x90 || byte == 0x9D;
}

bool isWellFormedUtf8(std::string_view bytes) {
    char32_t character;
    std::size_t length;
    for (std::size_t i = 0; i < bytes.size(); i += length)
        if (readUtf8(bytes, i, character, length) != Utf8Read::Character)
            return false;
    return true;
}

std::string ansiToUtf8(std::string_view ansi) {
    std::string out;
    out.reserve(ansi.size() + ansi.size() / 4);
    for (char c : ansi)
        appendUtf8(out, unicodeOf(CodePage::Windows1252, static_cast<unsigned char>(c)));
    return out;
}

std::string utf8ToAnsi(std::string_view utf8) {
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
        char32_t character = 0;
        std::size_t length = 1;
        if (readUtf8(utf8, i, character, length) == Utf8Read::Character) {
            out += static_cast<char>(byteOf(CodePage::Windows1252, character));
            i += length;
        } else {
            out += kReplacement;
            ++i;
        }
    }
    return out;
}

TableText tableText(CodePage page) {
    static const ByteMap dos437ToAnsi = mapBetween(CodePage::Dos437, CodePage::Windows1252);
    static const ByteMap ansiToDos437 = mapBetween(CodePage::Windows1252, CodePage::Dos437);
    static const ByteMap dos850ToAnsi = mapBetween(CodePage::Dos850, CodePage::Windows1252);
    static const ByteMap ansiToDos850 = mapBetween(CodePage::Windows1252, CodePage::Dos850);
    switch (page) {
    case CodePage::Dos437:
        return {page, &dos437ToAnsi, &ansiToDos437};
    case CodePage::Dos850:
        return {page, &dos850ToAnsi, &ansiToDos850};
    case CodePage::Windows1252:
        break;
    }
    return {};
}

CodePage declaredCodePage(const std::uint8_t* header, bool level7, const std::string& fileName) {
    constexpr std::size_t kLanguageIdOffset = 29;
    constexpr std::size_t kDriverNameOffset = 32; // level 7, 32 bytes NUL-padded
    constexpr std::size_t kDriverNameSize = 32;
    unsigned page = 0;
    std::string name;
    if (level7) {
        const char* at = reinterpret_cast<const char*>(header + kDriverNameOffset);
        name.assign(at, strnlen(at, kDriverNameSize));
        page = pageOfDriverName(name);
    }
    if (page == 0)
        page = pageOfLanguageId(header[kLanguageIdOffset]);
    switch (page) {
    case 0:
    case 1252:
        return CodePage::Windows1252;
    case 437:
        return CodePage::Dos437;
    case 850:
        return CodePage::Dos850;
    default:
        break;
    }
    throw messages::tableError(fileName, "su texto está en la página de códigos " + std::to_string(page) +
                                             (name.empty() ? "" : " («" + messages::printable(name) + "»)") +
                                             ", que Pontrel no sabe leer (lee las páginas 1252, 437 y 850)");
}

void translate(std::string& text, const ByteMap& map) {
    for (char& c : text)
        c = static_cast<char>(map[static_cast<unsigned char>(c)]);
}

} // namespace pontrel::dbf::codepage
