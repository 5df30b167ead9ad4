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
    const auto lines = readTeacherKeyFile(keysFile("\xEF\xBB\xBF"
                                                   "ABREV;X_EMPLEADO;F_TOMAPOS\r\n"
                                                   "ANA;9999;09/09/2009\r\n" // complete already: unchanged
                                                   "LUIS;1002;\r\n"
                                                   "\r\n"
                                                   "PAZ;1004;01/09/2014\r\n"
                                                   "NADIE;1;01/01/2001\r\n"));
    ASSERT_EQ(lines.size(), 4u);
    const auto applied = applyTeacherKeys(proftPath(), lines);
    EXPECT_EQ(applied.keysStored, 3u);
    EXPECT_EQ(applied.unknownAbbreviations, std::vector<std::string>{"NADIE"});
    EXPECT_EQ(keysOf(0), (std::pair<std::string, std::string>{"1001", "01/09/2010"}));
    EXPECT_EQ(keysOf(1), (std::pair<std::string, std::string>{"1002", "01/09/2011"}));
    EXPECT_EQ(keysOf(2), (std::pair<std::string, std::string>{"1003", ""})) << "no line for EVA";
    EXPECT_EQ(keysOf(3), (std::pair<std::string, std::string>{"1004", "01/09/2014"}));
}

TEST_F(TeacherTable, BadKeysFileIsRefusedNamingTheLine) {
    const std::vector<std::pair<std::string, std::string>> cases{
        {"LUIS;12A45;01/09/2011\n", "línea 1"},
        {"LUIS;1002;01/09/2011\nPAZ;1004;1/9/2014\n", "línea 2"},
        {"LUIS;1002\n", "tres campos"},
        {";1002;01/09/2011\n", "falta ABREV"}};
    for (const auto& [content, expected] : cases) {
        SCOPED_TRACE(content);
        try {
            readTeacherKeyFile(keysFile(content));
            ADD_FAILURE() << "the file must be refused";
        } catch (const Error& e) {
            EXPECT_NE(std::string(e.what()).find(expected), std::string::npos) << e.what();
        }
    }
    EXPECT_THROW(readTeacherKeyFile(folder.path() / "no-existe.csv"), Error);
}

} // namespace
} // namespace pontrel::importing
