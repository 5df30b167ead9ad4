// The one rule of letter case: ANSI text (field names, short codes) and file names compared without
// regard to case, and a file found by its name in a folder, all giving the same answers.

#include "dbf/TextFold.h"
#include "DbfTestSupport.h"
#include "dbf/CodePage.h"
#include "dbf/FileLookup.h"
#include "support/ErrorOf.h"

#include <gtest/gtest.h>

#include <optional>

using namespace pontrel::dbf;
using pontrel::testing::errorOf;
using pontrel::testing::ScratchFolder;
namespace fs = std::filesystem;

namespace {

// Two names in UTF-8 and whether each rule takes them for the same. nullopt: the rule does not apply (a
// character that Windows-1252 lacks cannot be in ANSI text).
struct FoldCase {
    const char* a;
    const char* b;
    std::optional<bool> sameAnsiText;  // text::equalIgnoringCase on their ANSI forms
    bool sameFileName;                 // text::sameFileName, and findFile(a) finding a file named b
    std::optional<bool> sameAsciiOnly; // text::upperAsciiOnly on their ANSI forms
};

// Before one rule: the working folder's finder folded only a-z (año.dbf was not AÑO.DBF, though Wine
// opens it), the index finder folded the bytes of UTF-8 as if they were ANSI (€ matched a C1 control
// followed by a stray byte), field names ignored š œ ž ÿ when looked up and every accented letter,
// depending on the locale, when a new table was checked for a field defined twice.
const FoldCase kCases[] = {
    {"PROFT.DBF", "proft.dbf", true, true, true},
    {"Proft.Mdx", "PROFT.MDX", true, true, true},
    {"AÑO.DBF", "año.dbf", true, true, false},
    {"ÉTÉ", "été", true, true, false},
    {"ŠŒŽŸ", "šœžÿ", true, true, false},
    {"MATEMÁTICAS", "Matemáticas", true, true, false}, // Velmora's subject lookup tells them apart
    {"×", "÷", false, false, false},                   // signs, not letters
    {"ß", "SS", false, false, false},                  // no single upper-case letter
    {"µ", "Μ", std::nullopt, false, std::nullopt},     // micro sign and Greek capital mu
    {"PERIODOS.DBF", "perıodos.dbf", std::nullopt, true, std::nullopt}, // dotless ı is I to Wine
    {"Ą", "ą", std::nullopt, true, std::nullopt},                       // Latin letters beyond Windows-1252
    {"€", "\xC2\x82\xAC", std::nullopt, false, std::nullopt},
    {"\xE1", "\xC1", std::nullopt, false, std::nullopt}, // a Latin-1 name, not UTF-8: bytes as they are
    {"SOLUC.DBF", "SOLUC.DBF.BAK", false, false, false},
};

TEST(LetterCase, OneRuleForTextFileNamesAndTheFolderSearch) {
    for (const FoldCase& c : kCases) {
        SCOPED_TRACE(std::string(c.a) + " / " + c.b);
        const std::string ansiA = codepage::utf8ToAnsi(c.a);
        const std::string ansiB = codepage::utf8ToAnsi(c.b);
        if (c.sameAnsiText) {
            EXPECT_EQ(text::equalIgnoringCase(ansiA, ansiB), *c.sameAnsiText);
            EXPECT_EQ(text::upperAnsi(ansiA) == text::upperAnsi(ansiB), *c.sameAnsiText);
        }
        if (c.sameAsciiOnly) {
            EXPECT_EQ(text::upperAsciiOnly(ansiA) == text::upperAsciiOnly(ansiB), *c.sameAsciiOnly);
        }
        EXPECT_EQ(text::sameFileName(c.a, c.b), c.sameFileName);
        EXPECT_EQ(text::sameFileName(c.b, c.a), c.sameFileName);
#ifndef _WIN32 // Windows' own file system decides there, and a name not in UTF-8 cannot be made
        ScratchFolder folder;
        folder.write(c.b, "x");
        const std::optional<fs::path> found = findFile(folder.path(), c.a);
        if (c.sameFileName) {
            EXPECT_EQ(found, folder.path() / c.b);
        } else {
            EXPECT_EQ(found, std::nullopt);
        }
#endif
    }
}

TEST(LetterCase, UpperCaseStaysInsideTheCodePage) {
    // Every ANSI byte upper-cased is a byte whose Unicode character is the upper case of the original's
    // when the code page has it, and the byte itself otherwise.
    for (unsigned b = 0; b < 256; ++b) {
        const std::string byte(1, static_cast<char>(b));
        const char32_t character =
            codepage::unicodeOf(codepage::CodePage::Windows1252, static_cast<unsigned char>(b));
        const auto expected = codepage::ansiByteOf(text::upperCase(character));
        SCOPED_TRACE(b);
        EXPECT_EQ(static_cast<unsigned char>(text::upperAnsi(byte)[0]),
                  expected ? *expected : static_cast<unsigned char>(b));
        EXPECT_EQ(text::fileNameKey(codepage::ansiToUtf8(byte)), codepage::ansiToUtf8(text::upperAnsi(byte)));
    }
    EXPECT_EQ(text::upperAnsi("\xB5\xDF\xAA\xBA"), "\xB5\xDF\xAA\xBA"); // µ ß ª º
    EXPECT_EQ(text::fileNameKey("ſ ĸ ŉ İ ǆ"), "S ĸ ŉ İ ǆ");             // only Latin Extended-A is folded
}

// A table cannot hold two fields that one name finds: the check for a field defined twice and the
// lookup of a field by name use the same rule.
TEST(LetterCase, FieldNamesOfATable) {
    ScratchFolder dir;
    const std::string message = errorOf([&] {
        Table::create(dir / "DOBLE.DBF", {{"A\xD1O", 'C', 4}, {"a\xF1o", 'C', 4}}); // AÑO, año
    });
    EXPECT_NE(message.find("definido dos veces"), std::string::npos) << message;
    EXPECT_FALSE(fs::exists(dir / "DOBLE.DBF"));

    Table::create(dir / "CAMPOS.DBF", {{"A\xD1O", 'C', 4},
                                       {"\x8A"
                                        "EDE",
                                        'C', 4}}); // AÑO, ŠEDE
    Table table = Table::open(dir / "CAMPOS.DBF", OpenMode::Shared, Access::ReadWrite);
    RecordBuffer row;
    row.setText("a\xF1o", "2024");
    row.setText("\x9A"
                "ede",
                "Sur"); // šede
    table.append(row);
    EXPECT_EQ(table.text(0, "A\xD1O"), "2024");
    EXPECT_EQ(table.text(0, "\x8A"
                            "EDE"),
              "Sur");
    table.close();
}

} // namespace
