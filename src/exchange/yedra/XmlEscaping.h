#pragma once
// Texts and attribute values escaped as libxml2's serializer escapes them in a saved tree, for
// documents written piece by piece rather than built as a tree. Texts come in ANSI (Windows-1252), as
// the working tables hold them; most (keys, codes, numbers, dates) are plain ASCII and go in with one
// copy, which is why the test for it lives here, inline.

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

namespace pontrel::xml {

// How the output takes texts: as UTF-8, which libxml2's converter turns into the declared encoding,
// or already in ISO-8859-1, when that is the declared encoding and the text goes to the file as it is.
enum class TextForm { Utf8, Latin1 };

namespace detail {

// What a byte of an element's text needs when written: nothing, an entity (& < > and the carriage
// return, which a reader would otherwise turn into a line feed; quotes stay as they are), or, above
// 0x7F, the conversion of its text from Windows-1252.
enum ByteNeed : unsigned char { kAsIs, kEntity, kHigh };

inline constexpr std::array<unsigned char, 256> kByteNeeds = [] {
    std::array<unsigned char, 256> needs{};
    needs['&'] = needs['<'] = needs['>'] = needs['\r'] = kEntity;
    for (unsigned i = 0x80; i < 256; ++i)
        needs[i] = kHigh;
    return needs;
}();

// The length of the leading part of `text` that is written as it is.
inline std::size_t plainPrefix(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && kByteNeeds[static_cast<unsigned char>(text[i])] == kAsIs)
        ++i;
    return i;
}

// appendAnsiText for a text whose first `plain` bytes need nothing and whose next one does.
void appendAnsiTextRest(std::string& out, std::string_view ansiText, std::size_t plain, TextForm form);

} // namespace detail

// Element text, escaped, from its Windows-1252 text. In the Latin1 form the codes 0x80 to 0x9F that
// Windows-1252 gives to other characters (the euro sign, typographic quotes) become decimal
// references, as libxml2 writes a character that the encoding lacks; the five codes it leaves
// unassigned stay the C1 controls of the same value.
inline void appendAnsiText(std::string& out, std::string_view ansiText, TextForm form) {
    const std::size_t plain = detail::plainPrefix(ansiText);
    if (plain == ansiText.size())
        out.append(ansiText);
    else
        detail::appendAnsiTextRest(out, ansiText, plain, form);
}

// The position of the first byte of `text` that no XML 1.0 document can hold, not even as a
// character reference: the control codes 0x00 to 0x1F other than tab, line feed and carriage return.
// npos when there is none. Such a byte, written, makes the whole document unreadable.
std::size_t firstUnwritableByte(std::string_view text);

// "el carácter de control 0x01 (posición 3)": how messages name the byte at `position` of `text`.
std::string describeUnwritableByte(std::string_view text, std::size_t position);

// An attribute value (UTF-8 or ASCII) escaped as libxml2 escapes one: & < > and also the quote and
// the white space that a reader would normalise to a blank.
void appendEscapedAttribute(std::string& out, std::string_view text);

} // namespace pontrel::xml
