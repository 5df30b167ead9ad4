// SOLUC as other programs write it: DIA and HORA numeric, integer or text, empty or not a number.

#include "import/WorkingTablesFixture.h"

#include "dbf/Error.h"
#include "import/SolucEntry.h"

#include <gtest/gtest.h>

namespace pontrel::importing {
namespace {

using testing::ScratchFolder;
using testing::SolucRow;
using testing::SolucStorage;

TEST(SolucReading, DayAndHourWhateverTheirStorage) {
    const std::vector<std::pair<SolucStorage, const char*>> storages{
        {SolucStorage::DbaseIIINumeric, "dBase III, N"},
        {SolucStorage::DbaseIIIText, "dBase III, C"},
        {SolucStorage::Level7Integer, "level 7, I"}};
    for (const auto& [storage, what] : storages) {
        SCOPED_TRACE(what);
        ScratchFolder folder;
        testing::writeSoluc(folder.path() / "SOLUC.DBF",
                            {{"ANA", "3", "12", "0", "MAT", "1A", "", "A1"},
                             {"ANA", "", "", "0", "MAT", "1A", "", ""}, // empty reads as 0
                             {"LUIS", "0", "7", "1", "GUA", "2A", "T9", "B2"}},
                            storage);
        const auto soluc = dbf::Table::open(folder.path() / "SOLUC.DBF", dbf::OpenMode::Exclusive);
        const auto first = readSolucEntry(soluc, 0);
        EXPECT_EQ(first.day, 3);
        EXPECT_EQ(first.hour, 12);
        EXPECT_EQ(first.frame, "0");
        EXPECT_EQ(first.subject, "MAT");
        EXPECT_EQ(first.unit, "1A");
        EXPECT_EQ(first.room, "A1");
        EXPECT_EQ(solucWholeNumber(soluc, 1, "DIA"), 0);
        EXPECT_EQ(solucWholeNumber(soluc, 1, "HORA"), 0);
        const auto third = readSolucEntry(soluc, 2);
        EXPECT_EQ(third.day, 0);
        EXPECT_EQ(third.hour, 7);
        EXPECT_EQ(third.task, "T9");
    }
}

TEST(SolucReading, TextThatIsNotAWholeNumberNamesRecordAndValue) {
    ScratchFolder folder;
    testing::writeSoluc(folder.path() / "SOLUC.DBF",
                        {{"ANA", "1", "1", "0", "MAT", "1A", "", ""},
                         {"ANA", "2a", "1", "0", "MAT", "1A", "", ""},
                         {"ANA", "1", "x", "0", "MAT", "1A", "", ""}},
                        SolucStorage::DbaseIIIText);
    const auto soluc = dbf::Table::open(folder.path() / "SOLUC.DBF", dbf::OpenMode::Exclusive);
    const std::vector<std::tuple<std::size_t, const char*, std::string>> cases{
        {1, "DIA",
         "registro 2: el campo DIA vale \xC2\xAB"
         "2a\xC2\xBB"},
        {2, "HORA", "registro 3: el campo HORA vale \xC2\xABx\xC2\xBB"}};
    for (const auto& [record, field, expected] : cases) {
        try {
            solucWholeNumber(soluc, record, field);
            ADD_FAILURE() << field << " of record " << record + 1 << " must be refused";
        } catch (const Error& e) {
            EXPECT_NE(std::string(e.what()).find(expected), std::string::npos) << e.what();
        }
    }
}

// Wider fields than the usual two digits: numbers with decimals, and signs in text.
TEST(SolucReading, WholeNumbersWithDecimalsOrSignsInWiderFields) {
    ScratchFolder folder;
    testing::DbaseIIIWriter writer({{"PROF", 'C', 10}, {"DIA", 'N', 4, 1}, {"HORA", 'C', 4}});
    writer.addRecord({"ANA", "3.0", "+12"});
    writer.addRecord({"ANA", "-1.0", "-7"});
    writer.addRecord({"ANA", "2.5", "+-2"});
    writer.write(folder.path() / "SOLUC.DBF");
    const auto soluc = dbf::Table::open(folder.path() / "SOLUC.DBF", dbf::OpenMode::Exclusive);
    EXPECT_EQ(solucWholeNumber(soluc, 0, "DIA"), 3);
    EXPECT_EQ(solucWholeNumber(soluc, 0, "HORA"), 12);
    EXPECT_EQ(solucWholeNumber(soluc, 1, "DIA"), -1);
    EXPECT_EQ(solucWholeNumber(soluc, 1, "HORA"), -7);
    const std::vector<std::pair<const char*, std::string>> refused{
        {"DIA", "registro 3: el campo DIA vale \xC2\xAB"
                "2.5\xC2\xBB"},
        {"HORA", "registro 3: el campo HORA vale \xC2\xAB+-2\xC2\xBB"}};
    for (const auto& [field, expected] : refused) {
        try {
            solucWholeNumber(soluc, 2, field);
            ADD_FAILURE() << field << " of record 3 must be refused";
        } catch (const Error& e) {
            EXPECT_NE(std::string(e.what()).find(expected), std::string::npos) << e.what();
        }
    }
}

} // namespace
} // namespace pontrel::importing
