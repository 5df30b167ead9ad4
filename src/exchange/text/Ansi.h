#pragma once
// The system's ANSI code page, Windows-1252 on every platform (the working tables' language driver
// says so). Document text (UTF-8) is converted to ANSI when it is read, and back to Unicode only where
// it leaves the system (the output document, the terminal, the window). The conversions are those of
// the engine's code-page module (dbf/CodePage.h), the one the tables' text goes through.

#include <string>
#include <string_view>

namespace pontrel::ansi {

// UTF-8 to Windows-1252; a character the code page cannot represent becomes '?'.
std::string fromUtf8(std::string_view utf8);
// Windows-1252 to UTF-8 (the five unassigned codes map to the C1 controls of the same value).
std::string toUtf8(std::string_view ansi);

// Letter case, by the one rule of dbf/TextFold.h:
// Upper case of the letters a to z only; every other byte stays as it is. Velmora upper-cases a subject's
// name so when it looks the name up (Matemáticas does not find MATEMÁTICAS): a rule of its own, kept.
std::string upperAsciiOnly(std::string_view ansi);
// Upper case as Windows' ANSI comparison folds it: a-z and the accented letters of the code page. The
// short-code registries that ignore letter case compare by it.
std::string upperAnsi(std::string_view ansi);
// Equal without regard to letter case, accented letters included (Á = á, Ñ = ñ).
bool equalIgnoringCase(std::string_view a, std::string_view b);

// Removes leading and trailing characters whose code is 32 or less.
std::string_view trimControls(std::string_view text);
// True when nothing but blanks and control characters is left.
bool isBlank(std::string_view text);

} // namespace pontrel::ansi
