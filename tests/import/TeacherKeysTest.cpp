// Teacher keys: the entry masks, the scan for incomplete teachers, storing keys in place, and the keys
// file of the command line.

#include "import/WorkingTablesFixture.h"

#include "dbf/Error.h"
#include "import/TeacherKeyFile.h"
#include "import/TeacherKeys.h"

#include <gtest/gtest.h>

#include <tuple>

namespace pontrel::importing {
namespace {

namespace fs = std::filesystem;
using testing::ScratchFolder;

TEST(TeacherKeyMasks, AcceptOnlyTheirForms) {
    const std::vector<std::pair<std::string, bool>> employeeKeys{
        {"12345", true},  {"1", true}, {"1234567890", true}, {"12345678901", false},
        {"12A45", false}, {"", false}, {" 123", false},      {"-12", false}};
    for (const auto& [text, accepted] : employeeKeys)
        EXPECT_EQ(fitsEmployeeKeyMask(text), accepted) << "'" << text << "'";
    const std::vector<std::pair<std::string, bool>> dates{
        {"01/09/2010", true}, {"1/9/2010", false},    {"01-09-2010", false},
        {"01/09/10", false},  {"01/09/20100", false}, {"aa/09/2010", false},
        {"", false}};
    for (const auto& [text, accepted] : dates)
        EXPECT_EQ(fitsPostDateMask(text), accepted) << "'" << text << "'";
}

class TeacherTable : public ::testing::Test {
  protected:
    void SetUp() override {
        testing::writeTable(
            proftPath(), testing::proftLayout(),
            {{{"ABREV", "ANA"}, {"NOMBRE", "Ana"}, {"X_EMPLEADO", "1001"}, {"F_TOMAPOS", "01/09/2010"}},
             {{"ABREV", "LUIS"}, {"NOMBRE", "Luis"}, {"F_TOMAPOS", "01/09/2011"}},
             {{"ABREV", "EVA"}, {"NOMBRE", "Eva"}, {"X_EMPLEADO", "1003"}, {"F_TOMAPOS", " "}},
             {{"ABREV", "PAZ"}, {"NOMBRE", "Paz"}}});
    }
    fs::path proftPath() const { return folder.path() / "PROFT.DBF"; }
    std::pair<std::string, std::string> keysOf(std::size_t record) const {
        auto proft = dbf::Table::open(proftPath(), dbf::OpenMode::Shared);
        return {proft.text(record, "X_EMPLEADO"), proft.text(record, "F_TOMAPOS")};
    }
    fs::path keysFile(const std::string& content) const {
        testing::writeFile(folder.path() / "claves.csv", content);
        return folder.path() / "claves.csv";
    }
    ScratchFolder folder;
};

TEST_F(TeacherTable, IncompleteTeachersAndWhatTheyLack) {
    auto proft = dbf::Table::open(proftPath(), dbf::OpenMode::Shared);
    const auto all = incompleteTeachers(proft);
    ASSERT_EQ(all.size(), 3u);
    EXPECT_EQ(all[0].abbreviation, "LUIS");
    EXPECT_EQ(missingKeysText(all[0]), "X_EMPLEADO");
    EXPECT_EQ(all[1].record, 2u);
    EXPECT_EQ(missingKeysText(all[1]), "F_TOMAPOS");
    EXPECT_EQ(missingKeysText(all[2]), "X_EMPLEADO y F_TOMAPOS");
    EXPECT_EQ(all[2].lacking, (std::vector<std::string>{"X_EMPLEADO", "F_TOMAPOS"})) << "in PROFT's order";
    EXPECT_EQ(anyTeacherKeyText(), "X_EMPLEADO o F_TOMAPOS");
    const auto first = incompleteTeachers(proft, true);
    ASSERT_EQ(first.size(), 1u);
    EXPECT_EQ(first[0].abbreviation, "LUIS");
}

TEST_F(TeacherTable, StoringRefusesTextsOutsideTheMasks) {
    auto proft = dbf::Table::open(proftPath(), dbf::OpenMode::Shared, dbf::Access::ReadWrite);
    EXPECT_THROW(storeTeacherKeys(proft, 1, std::string("12A45"), std::nullopt), Error);
    EXPECT_THROW(storeTeacherKeys(proft, 3, std::string("123"), std::string("1/9/2010")), Error);
    storeTeacherKeys(proft, 1, std::string("12345"), std::nullopt);
    proft.close();
    EXPECT_EQ(keysOf(1), (std::pair<std::string, std::string>{"12345", "01/09/2011"}));
    EXPECT_EQ(keysOf(3), (std::pair<std::string, std::string>{"", ""}))
        << "a refused pair stores neither key";
}

TEST_F(TeacherTable, AnEmptyKeyClearsTheStoredOneOnlyWhereThatIsAllowed) {
    using Keys = std::pair<std::string, std::string>;
    auto proft = dbf::Table::open(proftPath(), dbf::OpenMode::Shared, dbf::Access::ReadWrite);
    // The teacher dialog's way: an emptied key is cleared, a key not given stays.
    storeTeacherKeys(proft, 0, std::string(), std::nullopt, EmptyKey::Clears);
    storeTeacherKeys(proft, 2, std::string("2003"), std::string(), EmptyKey::Clears);
    // Anywhere else an empty key is refused; a key outside its mask is refused either way.
    const std::vector<
        std::tuple<std::optional<std::string>, std::optional<std::string>, EmptyKey, std::string>>
        refused{{std::string("1002"), std::string(), EmptyKey::Refused, "F_TOMAPOS «» no es"},
                {std::string(), std::nullopt, EmptyKey::Refused, "X_EMPLEADO «» no es"},
                {std::string(), std::string("1/1/2001"), EmptyKey::Clears, "F_TOMAPOS «1/1/2001»"}};
    for (const auto& [employeeKey, postDate, emptyKey, expected] : refused) {
        try {
            storeTeacherKeys(proft, 1, employeeKey, postDate, emptyKey);
            ADD_FAILURE() << "refused: " << expected;
        } catch (const Error& e) {
            EXPECT_NE(std::string(e.what()).find("PROFT, registro 2 (profesor «LUIS»): " + expected),
                      std::string::npos)
                << e.what();
        }
    }
    proft.close();
    EXPECT_EQ(keysOf(0), (Keys{"", "01/09/2010"}));
    EXPECT_EQ(keysOf(1), (Keys{"", "01/09/2011"})) << "a refused pair stores neither key";
    EXPECT_EQ(keysOf(2), (Keys{"2003", ""}));
}

TEST_F(TeacherTable, KeysFileFillsOnlyTheBlankKeys) {
    const auto keys = readTeacherKeyFile(keysFile("\xEF\xBB\xBF"
                                                  "ABREV;X_EMPLEADO;F_TOMAPOS\r\n"
                                                  "ANA;9999;09/09/2009\r\n" // complete already: unchanged
                                                  "LUIS;1002;\r\n"
                                                  "\r\n"
                                                  "EVA;;01/09/2013\r\n"
                                                  "PAZ;1004;01/09/2014\r\n"
                                                  "NADIE;1;01/01/2001\r\n"));
    ASSERT_EQ(keys.lines.size(), 5u);
    EXPECT_TRUE(keys.warnings.empty());
    const auto applied = applyTeacherKeys(proftPath(), keys);
    EXPECT_TRUE(applied.stillIncomplete.empty());
    EXPECT_EQ(applied.keysStored, 4u);
    EXPECT_EQ(applied.unknownLines, std::vector<int>{7});
    EXPECT_EQ(keysOf(0), (std::pair<std::string, std::string>{"1001", "01/09/2010"}));
    EXPECT_EQ(keysOf(1), (std::pair<std::string, std::string>{"1002", "01/09/2011"}));
    EXPECT_EQ(keysOf(2), (std::pair<std::string, std::string>{"1003", "01/09/2013"}));
    EXPECT_EQ(keysOf(3), (std::pair<std::string, std::string>{"1004", "01/09/2014"}));

    // A run that stops afterwards takes the keys out again; a key changed meanwhile stays.
    {
        auto proft = dbf::Table::open(proftPath(), dbf::OpenMode::Shared, dbf::Access::ReadWrite);
        storeTeacherKeys(proft, 3, std::string("7777"), std::nullopt);
    }
    withdrawTeacherKeys(proftPath(), applied);
    EXPECT_EQ(keysOf(0), (std::pair<std::string, std::string>{"1001", "01/09/2010"}));
    EXPECT_EQ(keysOf(1), (std::pair<std::string, std::string>{"", "01/09/2011"}));
    EXPECT_EQ(keysOf(2), (std::pair<std::string, std::string>{"1003", ""}));
    EXPECT_EQ(keysOf(3), (std::pair<std::string, std::string>{"7777", ""}));
}

// A file that leaves a teacher without a key stores nothing: the import then stops, and a stopped
// import changes nothing.
TEST_F(TeacherTable, KeysFileThatLeavesATeacherIncompleteStoresNothing) {
    const auto applied = applyTeacherKeys(proftPath(), readTeacherKeyFile(keysFile("LUIS;1002;\n"
                                                                                   "EVA;;01/09/2013\n"
                                                                                   "PAZ;1004;\n")));
    EXPECT_EQ(applied.keysStored, 0u);
    EXPECT_TRUE(applied.stored.empty());
    ASSERT_EQ(applied.stillIncomplete.size(), 1u);
    EXPECT_EQ(applied.stillIncomplete[0].abbreviation, "PAZ");
    EXPECT_EQ(missingKeysText(applied.stillIncomplete[0]), "F_TOMAPOS") << "what the file leaves missing";
    EXPECT_EQ(keysOf(1), (std::pair<std::string, std::string>{"", "01/09/2011"}));
    EXPECT_EQ(keysOf(2), (std::pair<std::string, std::string>{"1003", ""}));
    EXPECT_EQ(keysOf(3), (std::pair<std::string, std::string>{"", ""}));
}

TEST_F(TeacherTable, BadKeysFileIsRefusedNamingTheLine) {
    fs::create_directory(folder.path() / "claves");
    const std::vector<std::pair<std::string, std::string>> cases{
        {"LUIS;12A45;01/09/2011\n", "línea 1: X_EMPLEADO «12A45»"},
        {"LUIS;1002;01/09/2011\nPAZ;1004;1/9/2014\n", "línea 2: F_TOMAPOS «1/9/2014»"},
        {"LUIS;1002\n", "línea 1: se esperaban tres campos"},
        {";1002;01/09/2011\n", "línea 1: falta ABREV"},
        // The same teacher twice with other keys: which is right cannot be told.
        {"LUIS;1002;01/09/2011\nPAZ;1004;01/09/2014\nLUIS;1003;01/09/2011\n",
         "línea 3: el profesor «LUIS» ya está en la línea 1 con otras claves"},
        {"LUIS;1002;01/09/2011\nLUIS;1002;\n", "línea 2: el profesor «LUIS» ya está en la línea 1 con otras"},
        // A windows-1252 file names its values in UTF-8.
        {"LUIS;1\xAA"
         "2;01/09/2011\n",
         "línea 1: X_EMPLEADO «1ª2»"}};
    for (const auto& [content, expected] : cases) {
        SCOPED_TRACE(content);
        try {
            readTeacherKeyFile(keysFile(content));
            ADD_FAILURE() << "the file must be refused";
        } catch (const Error& e) {
            EXPECT_NE(std::string(e.what()).find(expected), std::string::npos) << e.what();
            EXPECT_NE(std::string(e.what()).find("No se ha guardado nada."), std::string::npos) << e.what();
        }
    }
    EXPECT_THROW(readTeacherKeyFile(folder.path() / "no-existe.csv"), Error);
    try {
        readTeacherKeyFile(folder.path() / "claves");
        ADD_FAILURE() << "a folder is no keys file";
    } catch (const Error& e) {
        EXPECT_NE(std::string(e.what()).find("«" + (folder.path() / "claves").string() + "»: es una carpeta"),
                  std::string::npos)
            << e.what();
    }
}

// A Spanish spreadsheet saves CSV in windows-1252: an accented ABREV must find its teacher all the same.
TEST_F(TeacherTable, KeysFileInWindows1252OrUtf8GivesTheSameTeachers) {
    struct Case {
        std::string content;
        std::vector<std::string> warnings; // a part of each warning, in order
    };
    const std::vector<Case> cases{
        {"MAÑ;1005;01/09/2015\n", {}},
        {"\xEF\xBB\xBFMAÑ;1005;01/09/2015\n", {}},
        {"MA\xD1;1005;01/09/2015\n", {"«" + (folder.path() / "claves.csv").string() + "»: no está en UTF-8"}},
        // The same line twice is harmless, but said.
        {"MAÑ;1005;01/09/2015\nMAÑ;1005;01/09/2015\n",
         {"línea 2: el profesor «MAÑ» ya está en la línea 1 con las mismas claves; se ignora"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.content);
        const auto keys = readTeacherKeyFile(keysFile(c.content));
        ASSERT_EQ(keys.lines.size(), 1u);
        EXPECT_EQ(keys.lines[0].abbreviation, "MA\xD1");
        EXPECT_EQ(keys.lines[0].line, 1);
        ASSERT_EQ(keys.warnings.size(), c.warnings.size()) << ::testing::PrintToString(keys.warnings);
        for (std::size_t i = 0; i < c.warnings.size(); ++i)
            EXPECT_NE(keys.warnings[i].find(c.warnings[i]), std::string::npos) << keys.warnings[i];
    }
}

// Two PROFT records with one ABREV: a line for it cannot tell which teacher it means.
TEST(TeacherKeyFileOnProft, AbbreviationSharedByTwoTeachersIsRefusedAndNothingIsStored) {
    ScratchFolder folder;
    const fs::path proft = folder.path() / "PROFT.DBF";
    testing::writeTable(proft, testing::proftLayout(),
                        {{{"ABREV", "LUIS"}, {"NOMBRE", "Luis"}, {"F_TOMAPOS", "01/09/2011"}},
                         {{"ABREV", "ANA"}, {"NOMBRE", "Ana"}, {"F_TOMAPOS", "01/09/2010"}},
                         {{"ABREV", "ANA"}, {"NOMBRE", "Ana Bis"}, {"X_EMPLEADO", "1009"}}});
    testing::writeFile(folder.path() / "claves.csv", "LUIS;1002;\nANA;1001;01/09/2010\n");
    const auto keys = readTeacherKeyFile(folder.path() / "claves.csv");
    try {
        applyTeacherKeys(proft, keys);
        ADD_FAILURE() << "the line for ANA must be refused";
    } catch (const Error& e) {
        EXPECT_NE(
            std::string(e.what()).find("línea 2: PROFT tiene 2 profesores con ABREV «ANA» (registros 2 y 3)"),
            std::string::npos)
            << e.what();
    }
    const auto table = dbf::Table::open(proft, dbf::OpenMode::Shared);
    EXPECT_EQ(table.text(0, "X_EMPLEADO"), "") << "nothing is stored, not even LUIS's key";
    EXPECT_EQ(table.text(1, "X_EMPLEADO"), "");
    EXPECT_EQ(table.text(2, "F_TOMAPOS"), "");
}

} // namespace
} // namespace pontrel::importing
