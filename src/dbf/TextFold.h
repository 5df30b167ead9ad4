#pragma once
// Letter case: the one rule by which the program upper-cases text and compares it without regard to
// case. It is Windows' own (and Wine's, which copies it): each letter has at most one upper-case
// partner, taken from Unicode's simple case mapping. No function here depends on the C locale, which
// Qt sets from the environment and which would make a table read differently in the window and on the
// command line.
//
// Three forms of the one rule, one for each kind of text:
// - ANSI text (field and tag names, short codes): a letter is upper-cased when Windows-1252 has its
//   upper-case partner (a-z, à-þ but ÷, and š œ ž ÿ); ß and µ have none there and stay.
// - File names, in UTF-8 as the file system gives them: also the Latin letters beyond Windows-1252
//   (ı matches I, as it does under Wine).
// - ASCII only, for the few places where the other program upper-cases a-z and nothing else.

#include <string>
#include <string_view>

namespace pontrel::dbf::text {

// The upper-case partner of a letter of Unicode's Latin blocks (U+0000 to U+017F, which hold every
// letter of Windows-1252), or the character itself. Characters beyond those blocks are left as they are:
// the names and codes the program compares are ANSI, and a file name outside them matches only exactly.
char32_t upperCase(char32_t character);

// ANSI text with every letter upper-cased whose upper-case partner Windows-1252 has.
std::string upperAnsi(std::string_view ansi);
// Equal once both are upper-cased by upperAnsi (Ñandú = ñANDÚ; × is not ÷).
bool equalIgnoringCase(std::string_view ansiA, std::string_view ansiB);

// Upper case of the letters a to z only; every other byte stays as it is.
std::string upperAsciiOnly(std::string_view text);
// `c` upper-cased if it is a to z.
char upperAscii(char c);
// A to Z, a to z or 0 to 9.
bool isAsciiLetterOrDigit(char c);

// A file name (UTF-8) in the form two names share when Windows or Wine takes them for the same file:
// every character upper-cased by upperCase. Bytes that are not UTF-8 stay as they are.
std::string fileNameKey(std::string_view utf8Name);
// Whether two file names (UTF-8) name the same file on Windows.
bool sameFileName(std::string_view utf8A, std::string_view utf8B);

} // namespace pontrel::dbf::text
