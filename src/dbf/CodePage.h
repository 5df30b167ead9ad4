#pragma once
// Code pages: the one place where bytes of text become characters. The program's own text form is
// ANSI, Windows-1252 on every platform (what the working tables hold and what their language driver
// says); a table written by another program may declare an MS-DOS code page instead, and the engine
// turns its text into ANSI as it hands it out, and back as it stores it.
//
// Windows-1252 leaves five bytes unassigned (0x81 0x8D 0x8F 0x90 0x9D). Everywhere in the program they
// stand for the C1 controls of the same value (U+0081 ...), as Windows' own conversion maps them, so
// that any byte survives a round trip through Unicode.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace pontrel::dbf::codepage {

// The code pages that the engine reads text in.
enum class CodePage : std::uint16_t {
    Windows1252 = 1252, // Windows ANSI (Western Europe)
    Dos437 = 437,       // MS-DOS United States
    Dos850 = 850,       // MS-DOS Western Europe
};

// The replacement for a character that the target code page lacks.
constexpr char kReplacement = '?';

// The Unicode character of `byte` in `page`.
char32_t unicodeOf(CodePage page, unsigned char byte);

// ANSI (Windows-1252) text to UTF-8.
std::string ansiToUtf8(std::string_view ansi);
// UTF-8 to ANSI; a character that Windows-1252 lacks, and a malformed sequence, become '?'.
std::string utf8ToAnsi(std::string_view utf8);
// Appends one character in UTF-8.
void appendUtf8(std::string& out, char32_t character);
// Whether `bytes` is well-formed UTF-8 throughout (no stray, truncated, overlong or surrogate sequence).
bool isWellFormedUtf8(std::string_view bytes);

// What reading one UTF-8 sequence found.
enum class Utf8Read {
    Character, // a well-formed character
    Malformed, // a stray, overlong or surrogate sequence, a bad lead byte or one beyond U+10FFFF
    Truncated, // the text ends inside a sequence that was well-formed so far (a converter fed in pieces
               // waits for the rest)
};
// Reads the sequence at `at` (< text.size()): on Character, the character and its length in bytes.
Utf8Read readUtf8(std::string_view text, std::size_t at, char32_t& character, std::size_t& length);

// The ANSI byte of `character`; nullopt when Windows-1252 lacks it.
std::optional<unsigned char> ansiByteOf(char32_t character);
// The five bytes that Windows-1252 leaves unassigned (0x81 0x8D 0x8F 0x90 0x9D). The program keeps them
// as C1 controls; a reader of documents that follows the code page's own definition refuses them.
bool isUnassignedInAnsi(unsigned char byte);

// A byte-for-byte translation between a table's code page and ANSI: every character that the other
// code page has keeps its place in the text, any other becomes '?'.
using ByteMap = std::array<unsigned char, 256>;

// How the text of one table is translated: nothing to do for a Windows-1252 table (both maps null),
// so that the common table costs no more than a test of a pointer.
struct TableText {
    CodePage page = CodePage::Windows1252;
    const ByteMap* toAnsi = nullptr;   // the table's bytes to ANSI
    const ByteMap* fromAnsi = nullptr; // ANSI to the table's bytes
};

TableText tableText(CodePage page);

// The code page that a table's header declares: the language driver name of a level-7 table
// (bytes 32-63, "DBWINUS0", "DB437US0", "DB850US0" ...), or else its language driver id (byte 29);
// neither given means Windows-1252. A code page that this engine does not read is an error naming
// `fileName` and the code page. `header` holds at least 32 bytes, 64 for a level-7 table.
CodePage declaredCodePage(const std::uint8_t* header, bool level7, const std::string& fileName);

// Translates `text` in place.
void translate(std::string& text, const ByteMap& map);

} // namespace pontrel::dbf::codepage
