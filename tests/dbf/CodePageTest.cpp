// Code pages: the characters of the bytes of each code page the engine reads, the code page a header
// declares, and tables in an MS-DOS code page read and stored in ANSI (Windows-1252).

#include "DbfTestSupport.h"
#include "support/DbaseIIIWriter.h"

#include "dbf/CodePage.h"
#include "dbf/Messages.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace pontrel::dbf;
using codepage::CodePage;
using pontrel::testing::ScratchFolder;

namespace {

TEST(CodePages, CharacterOfEachByte) {
    struct Case {
        CodePage page;
        unsigned char byte;
        char32_t character;
    };
    const std::vector<Case> cases{
        {CodePage::Windows1252, 'A', U'A'},
        {CodePage::Windows1252, 0xD1, U'Ñ'},
        {CodePage::Windows1252, 0xBA, U'º'},
        {CodePage::Windows1252, 0x80, U'€'},
        {CodePage::Windows1252, 0x9F, U'Ÿ'},
        // the five unassigned bytes are the C1 controls of the same value, as Windows maps them
        {CodePage::Windows1252, 0x81, 0x81},
        {CodePage::Windows1252, 0x8D, 0x8D},
        {CodePage::Windows1252, 0x8F, 0x8F},
        {CodePage::Windows1252, 0x90, 0x90},
        {CodePage::Windows1252, 0x9D, 0x9D},
        {CodePage::Dos437, 'A', U'A'},
        {CodePage::Dos437, 0xA5, U'Ñ'}, // read as Windows-1252 it is ¥
        {CodePage::Dos437, 0xA4, U'ñ'},
        {CodePage::Dos437, 0xA7, U'º'}, // read as Windows-1252 it is §
        {CodePage::Dos437, 0xA6, U'ª'},
        {CodePage::Dos437, 0xA0, U'á'},
        {CodePage::Dos437, 0x82, U'é'},
        {CodePage::Dos437, 0x81, U'ü'},
        {CodePage::Dos437, 0xA8, U'¿'},
        {CodePage::Dos437, 0x9E, U'₧'},
        {CodePage::Dos437, 0xC4, U'─'},
        {CodePage::Dos437, 0xE1, U'ß'},
        {CodePage::Dos850, 0xA5, U'Ñ'},
        {CodePage::Dos850, 0xA7, U'º'},
        {CodePage::Dos850, 0xB5, U'Á'},
        {CodePage::Dos850, 0x90, U'É'},
        {CodePage::Dos850, 0xD6, U'Í'},
        {CodePage::Dos850, 0xE0, U'Ó'},
        {CodePage::Dos850, 0xE9, U'Ú'},
        {CodePage::Dos850, 0x9B, U'ø'},
        {CodePage::Dos850, 0xD5, U'ı'},
    };
    for (const Case& c : cases)
        EXPECT_EQ(codepage::unicodeOf(c.page, c.byte), c.character)
            << static_cast<int>(c.page) << " byte " << std::hex << int(c.byte);
}

std::string translated(std::string text, const codepage::ByteMap* map) {
    if (map == nullptr)
        ADD_FAILURE() << "no translation";
    else
        codepage::translate(text, *map);
    return text;
}

TEST(CodePages, DosTextToAnsiAndBack) {
    const auto none = codepage::tableText(CodePage::Windows1252);
    EXPECT_EQ(none.toAnsi, nullptr) << "a Windows-1252 table has nothing to translate";
    EXPECT_EQ(none.fromAnsi, nullptr);

    // The Spanish letters and signs in each code page and in ANSI; 437 has no Á Í Ó Ú.
    const std::string common = "A\xA5"
                               "1 1\xA7"
                               "ESOA \xA0\x82\xA1\xA2\xA3\x81\xA4\x90\x9A\xA8\xAD\xA6";
    const std::string commonAnsi = "A\xD1"
                                   "1 1\xBA"
                                   "ESOA \xE1\xE9\xED\xF3\xFA\xFC\xF1\xC9\xDC\xBF\xA1\xAA";
    struct Case {
        CodePage page;
        std::string stored, ansi;
    };
    const std::vector<Case> cases{
        {CodePage::Dos437, common, commonAnsi},
        {CodePage::Dos850, common + "\xB5\xD6\xE0\xE9", commonAnsi + "\xC1\xCD\xD3\xDA"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.page));
        const auto text = codepage::tableText(c.page);
        EXPECT_EQ(translated(c.stored, text.toAnsi), c.ansi);
        EXPECT_EQ(translated(c.ansi, text.fromAnsi), c.stored);
        // What the other side lacks becomes '?': a box-drawing line, the euro sign.
        EXPECT_EQ(translated("\xC4", text.toAnsi), "?");
        EXPECT_EQ(translated("\x80", text.fromAnsi), "?");
    }
    EXPECT_EQ(translated("\xC1", codepage::tableText(CodePage::Dos437).fromAnsi), "?");
}

TEST(CodePages, DeclaredByTheHeader) {
    struct Case {
        bool level7;
        std::uint8_t languageId;
        std::string driverName;
        std::optional<CodePage> page; // nullopt: refused
        std::string refusalNames;     // what the refusal says
    };
    const std::vector<Case> cases{
        {false, 0x00, "", CodePage::Windows1252, ""}, // none given
        {false, 0x03, "", CodePage::Windows1252, ""},
        {false, 0x57, "", CodePage::Windows1252, ""},
        {false, 0x01, "", CodePage::Dos437, ""},
        {false, 0x18, "", CodePage::Dos437, ""}, // Spanish, 437
        {false, 0x02, "", CodePage::Dos850, ""},
        {false, 0x14, "", CodePage::Dos850, ""}, // Spanish, 850
        {false, 0x26, "", std::nullopt, "866"},
        {false, 0xC8, "", std::nullopt, "1250"},
        {false, 0xEE, "", CodePage::Windows1252, ""}, // names no code page
        {true, 0x00, "DBWINUS0", CodePage::Windows1252, ""},
        {true, 0x00, "DBWINWE0", CodePage::Windows1252, ""},
        {true, 0x00, "DB437US0", CodePage::Dos437, ""},
        {true, 0x00, "DB850US0", CodePage::Dos850, ""},
        {true, 0x00, "DB850ES0", CodePage::Dos850, ""},
        {true, 0x03, "DB437US0", CodePage::Dos437, ""}, // the name wins
        {true, 0x02, "", CodePage::Dos850, ""},         // no name: the id
        {true, 0x00, "", CodePage::Windows1252, ""},
        {true, 0x00, "DB866RU0", std::nullopt, "866 («DB866RU0»)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE((c.level7 ? "level 7 " : "dBase III ") + std::to_string(c.languageId) + " " +
                     c.driverName);
        std::vector<std::uint8_t> header(68, 0);
        header[0] = c.level7 ? 0x04 : 0x03;
        header[29] = c.languageId;
        std::copy(c.driverName.begin(), c.driverName.end(), header.begin() + 32);
        if (c.page) {
            EXPECT_EQ(codepage::declaredCodePage(header.data(), c.level7, "T.DBF"), *c.page);
        } else {
            const std::string error =
                dbftest::errorOf([&] { codepage::declaredCodePage(header.data(), c.level7, "T.DBF"); });
            EXPECT_NE(error.find("T.DBF"), std::string::npos) << error;
            EXPECT_NE(error.find("página de códigos " + c.refusalNames), std::string::npos) << error;
        }
    }
}

// SOLUC as a timetable tool writes it in MS-DOS code page 437: room "AÑ1" and unit "1ºESOA".
TEST(CodePages, DosTableReadAndStoredInAnsi) {
    ScratchFolder dir;
    pontrel::testing::DbaseIIIWriter writer({{"AULA", 'C', 10}, {"A\xA5O", 'C', 10}});
    writer.setLanguageDriver(0x01);
    writer.addRecord({"A\xA5"
                      "1",
                      "1\xA7"
                      "ESOA"});
    writer.addRecord({"B2", "2\xA7"
                            "ESOB"});
    writer.write(dir / "SOLUC.DBF");
    {
        Table t = Table::open(dir / "SOLUC.DBF", OpenMode::Exclusive, Access::ReadWrite);
        EXPECT_EQ(t.fields()[1].name, "A\xD1O");
        EXPECT_EQ(t.text(0, "AULA"), "A\xD1"
                                     "1");
        EXPECT_EQ(t.value(0, "a\xF1o"), Value(std::string("1\xBA"
                                                          "ESOA")))
            << "field named in ANSI, any case";
        EXPECT_EQ(t.locate({{"A\xD1O", Value(std::string("2\xBA"
                                                         "ESOB"))}}),
                  1u);
        EXPECT_EQ(t.select("AULA", Value(std::string("A\xD1"
                                                     "1"))),
                  std::vector<std::size_t>{0});
        RecordBuffer row;
        row.setText("AULA", "\xD1u\xF1o");
        row.setText("A\xD1O", "\x80 1");
        t.append(row);
        RecordBuffer change;
        change.setText("AULA", "B\xC9");
        t.update(1, change);
        EXPECT_EQ(t.text(1, "AULA"), "B\xC9");
        t.close();
    }
    const auto bytes = pontrel::testing::readBytes(dir / "SOLUC.DBF");
    const std::string stored(bytes.begin(), bytes.end());
    EXPECT_NE(stored.find("\xA5u\xA4o      ? 1"), std::string::npos) << "stored in 437; no euro sign there";
    EXPECT_NE(stored.find("B\x90"), std::string::npos);
    EXPECT_EQ(stored.find("\xD1"), std::string::npos) << "no ANSI byte reached the file";
    Table again = Table::open(dir / "SOLUC.DBF", OpenMode::Shared);
    EXPECT_EQ(again.text(2, "AULA"), "\xD1u\xF1o");
}

// A level-7 table whose driver name says 850, as dBase writes it with that language driver.
TEST(CodePages, Level7DriverNameGivesTheCodePage) {
    ScratchFolder dir;
    Table::create(dir / "GRUPOS.DBF", {{"ABREV", 'C', 10}});
    auto bytes = pontrel::testing::readBytes(dir / "GRUPOS.DBF");
    const std::string name = "DB850US0";
    std::copy(name.begin(), name.end(), bytes.begin() + 32);
    pontrel::testing::writeFile(dir / "GRUPOS.DBF", bytes);
    {
        Table t = Table::open(dir / "GRUPOS.DBF", OpenMode::Exclusive, Access::ReadWrite);
        RecordBuffer row;
        row.setText("ABREV", "1\xBA"
                             "ESO \xC1");
        t.append(row);
        t.close();
    }
    const auto written = pontrel::testing::readBytes(dir / "GRUPOS.DBF");
    EXPECT_NE(std::string(written.begin(), written.end())
                  .find("1\xA7"
                        "ESO \xB5"),
              std::string::npos);
    Table t = Table::open(dir / "GRUPOS.DBF", OpenMode::Shared);
    EXPECT_EQ(t.text(0, "ABREV"), "1\xBA"
                                  "ESO \xC1");
}

TEST(CodePages, UnknownCodePageIsRefusedAtOpening) {
    ScratchFolder dir;
    pontrel::testing::DbaseIIIWriter writer({{"AULA", 'C', 10}});
    writer.setLanguageDriver(0x65); // MS-DOS Russian, 866
    writer.addRecord({"A1"});
    writer.write(dir / "SOLUC.DBF");
    const std::string error = dbftest::errorOf([&] { Table::open(dir / "SOLUC.DBF", OpenMode::Shared); });
    EXPECT_NE(error.find("SOLUC.DBF"), std::string::npos) << error;
    EXPECT_NE(error.find("866"), std::string::npos) << error;
}

// Error texts show ANSI text with the characters of the same decoding; controls as '?'.
TEST(CodePages, MessagesShowTheSameCharacters) {
    EXPECT_EQ(messages::printable("A\xD1O \x80\x93"), "AÑO €“");
    EXPECT_EQ(messages::printable("a\x81"
                                  "b\x9D\tc"),
              "a?b??c");
    EXPECT_EQ(codepage::ansiToUtf8("\x81\x8D\x8F\x90\x9D"), "\xC2\x81\xC2\x8D\xC2\x8F\xC2\x90\xC2\x9D");
    EXPECT_EQ(codepage::utf8ToAnsi("\xC2\x81\xC2\x9D\xE2\x82\xAC\xCE\xB1"), "\x81\x9D\x80?");
}

} // namespace
