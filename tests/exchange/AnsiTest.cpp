#include "exchange/text/Ansi.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace pontrel {
namespace {

std::string byte(int b) {
    return std::string(1, static_cast<char>(b));
}

// The characters of 0x80 to 0x9F, where Windows-1252 is not Latin-1, and a few of the Latin-1 half.
TEST(Ansi, CodePageTableBothWays) {
    const std::vector<std::pair<std::string, int>> table = {
        {"€", 0x80},
        {"‚", 0x82},
        {"ƒ", 0x83},
        {"„", 0x84},
        {"…", 0x85},
        {"†", 0x86},
        {"‡", 0x87},
        {"ˆ", 0x88},
        {"‰", 0x89},
        {"Š", 0x8A},
        {"‹", 0x8B},
        {"Œ", 0x8C},
        {"Ž", 0x8E},
        {"‘", 0x91},
        {"’", 0x92},
        {"“", 0x93},
        {"”", 0x94},
        {"•", 0x95},
        {"–", 0x96},
        {"—", 0x97},
        {"˜", 0x98},
        {"™", 0x99},
        {"š", 0x9A},
        {"›", 0x9B},
        {"œ", 0x9C},
        {"ž", 0x9E},
        {"Ÿ", 0x9F},
        {"\u00A0", 0xA0},
        {"º", 0xBA},
        {"Á", 0xC1},
        {"Ñ", 0xD1},
        {"á", 0xE1},
        {"ñ", 0xF1},
        {"ü", 0xFC},
        {"ÿ", 0xFF},
        // the unassigned codes stand for the C1 controls of the same value
        {"\u0081", 0x81},
        {"\u008D", 0x8D},
        {"\u008F", 0x8F},
        {"\u0090", 0x90},
        {"\u009D", 0x9D},
    };
    for (const auto& [utf8, code] : table) {
        SCOPED_TRACE(code);
        EXPECT_EQ(ansi::fromUtf8(utf8), byte(code));
        EXPECT_EQ(ansi::toUtf8(byte(code)), utf8);
    }
}

TEST(Ansi, EveryByteSurvivesARoundTrip) {
    std::string all;
    for (int b = 0; b < 256; ++b)
        all += byte(b);
    EXPECT_EQ(ansi::fromUtf8(ansi::toUtf8(all)), all);
}

TEST(Ansi, UnrepresentableAndInvalidTextBecomesQuestionMarks) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"Ā", "?"},      // a Latin letter the code page lacks
        {"中文", "??"},  // three-byte sequences
        {"a😀b", "a?b"},  // four-byte sequence
        {"\u0080", "?"}, // a C1 control whose byte is the euro sign
        {"a\xFF"
         "b",
         "a?b"}, // a byte that never starts a sequence
        {"\xC3"
         "A",
         "?A"},                       // a lead byte without its continuation
        {"ab\xC3", "ab?"},            // cut at the end
        {"\xC0\xAF", "??"},           // overlong form of '/'
        {"\xED\xA0\x80", "???"},      // an encoded surrogate
        {"\xF4\x90\x80\x80", "????"}, // beyond U+10FFFF
        {"Matemáticas", "Matem\xE1ticas"},
    };
    for (const auto& [utf8, expected] : cases) {
        SCOPED_TRACE(utf8);
        EXPECT_EQ(ansi::fromUtf8(utf8), expected);
    }
}

TEST(Ansi, LetterCaseFolding) {
    // á é í ó ú ñ ç š œ ž ÿ  and the signs that are not letters: × ÷ ß µ º
    const std::string lower = "abz\xE1\xE9\xED\xF3\xFA\xF1\xE7\x9A\x9C\x9E\xFF";
    const std::string upper = "ABZ\xC1\xC9\xCD\xD3\xDA\xD1\xC7\x8A\x8C\x8E\x9F";
    EXPECT_EQ(ansi::upperAnsi(lower), upper);
    EXPECT_EQ(ansi::upperAnsi(upper), upper);
    const std::string signs = "\xD7\xF7\xDF\xB5\xBA"
                              "1-";
    EXPECT_EQ(ansi::upperAnsi(signs), signs);

    EXPECT_EQ(ansi::upperAsciiOnly("mat\xE1ticas \xF1"), "MAT\xE1TICAS \xF1");

    EXPECT_TRUE(ansi::equalIgnoringCase("\xD1"
                                        "and\xFA",
                                        "\xF1"
                                        "AND\xDA"));       // Ñandú = ñANDÚ
    EXPECT_FALSE(ansi::equalIgnoringCase("\xD7", "\xF7")); // × is not ÷
    EXPECT_FALSE(ansi::equalIgnoringCase("MAT", "MAT1"));
    EXPECT_FALSE(ansi::equalIgnoringCase("MAT", "MAU"));
}

TEST(Ansi, TrimmingRemovesCodesUpTo32Only) {
    EXPECT_EQ(ansi::trimControls(" \t\n\r\x01MAT 1\x1F "), "MAT 1");
    EXPECT_EQ(ansi::trimControls("\xA0MAT\xA0"), "\xA0MAT\xA0"); // the non-breaking space stays
    EXPECT_EQ(ansi::trimControls(" \t "), "");
    EXPECT_TRUE(ansi::isBlank(" \t\r\n"));
    EXPECT_TRUE(ansi::isBlank(""));
    EXPECT_FALSE(ansi::isBlank(" \xA0 "));
    EXPECT_FALSE(ansi::isBlank(" x "));
}

} // namespace
} // namespace pontrel
