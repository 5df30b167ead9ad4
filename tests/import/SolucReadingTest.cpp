// SOLUC as other programs write it: DIA and HORA numeric, integer or text, empty or not a number.

#include "import/WorkingTablesFixture.h"

#include "dbf/Error.h"
#include "import/ImportRun.h"
#include "import/SolucEntry.h"
#include "import/XmlProbe.h"
#include "support/ScriptedUserInterface.h"

#include <gtest/gtest.h>

#include <map>

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
        {1, "DIA", "registro 2: el campo DIA vale «2a»"}, {2, "HORA", "registro 3: el campo HORA vale «x»"}};
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
        {"DIA", "registro 3: el campo DIA vale «2.5»"}, {"HORA", "registro 3: el campo HORA vale «+-2»"}};
    for (const auto& [field, expected] : refused) {
        try {
            solucWholeNumber(soluc, 2, field);
            ADD_FAILURE() << field << " of record 3 must be refused";
        } catch (const Error& e) {
            EXPECT_NE(std::string(e.what()).find(expected), std::string::npos) << e.what();
        }
    }
}

// SOLUC written in an MS-DOS code page: its room "AÑ1" and its unit "1ºESOA" are the working tables'
// "AÑ1" and "1ºESOA" (Windows-1252), so the unit is found in GRUPOST and the room written as it is.
TEST(SolucReading, TextInTheCodePageTheTableDeclares) {
    struct Case {
        const char* name;
        SolucStorage storage;
        testing::SolucCodePage codePage;
        std::string room, unit; // as the table stores them
    };
    const std::string dosRoom = "A\xA5"
                                "1",
                      dosUnit = "1\xA7"
                                "ESOA";
    const std::string ansiRoom = "A\xD1"
                                 "1",
                      ansiUnit = "1\xBA"
                                 "ESOA";
    const std::vector<Case> cases{
        {"dBase III, 437", SolucStorage::DbaseIIINumeric, {0x01, ""}, dosRoom, dosUnit},
        {"dBase III, 850 (Spanish)", SolucStorage::DbaseIIIText, {0x14, ""}, dosRoom, dosUnit},
        {"level 7, DB437US0", SolucStorage::Level7Integer, {0x00, "DB437US0"}, dosRoom, dosUnit},
        {"level 7, DB850US0", SolucStorage::Level7Integer, {0x00, "DB850US0"}, dosRoom, dosUnit},
        {"dBase III, Windows ANSI", SolucStorage::DbaseIIINumeric, {0x03, ""}, ansiRoom, ansiUnit},
        {"dBase III, none given", SolucStorage::DbaseIIINumeric, {0x00, ""}, ansiRoom, ansiUnit},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScratchFolder work, docs;
        testing::SchoolTables school;
        school.grupost.push_back({{"ABREV", ansiUnit}, {"CLAVE", "U1E"}, {"CLAVECURSO", "11"}});
        school.asigt.push_back(
            {{"CASIG", "MAT"}, {"CGRUP", ansiUnit}, {"HORAS", "4"}, {"CLAVE", "101"}, {"CLAVECURSO", "11"}});
        school.aulat.push_back({{"ABREV", ansiRoom}, {"NOMBRE", "Aula de m\xFAsica"}});
        school.soluc = {{"ANA", "1", "1", "0", "MAT", c.unit, "", c.room}};
        school.solucStorage = c.storage;
        school.solucCodePage = c.codePage;
        school.write(work.path());
        const auto document = docs.path() / "centro.xml";
        testing::writeFile(document, testing::schoolDocument());

        RunSession session;
        session.workingFolder = work.path();
        testing::ScriptedUserInterface ui;
        ui.documents.push_back(document);
        ImportRun run(session, ui);
        ASSERT_EQ(run.run(), RunOutcome::Completed) << (ui.messages.empty() ? "" : ui.messages.back());
        EXPECT_EQ(run.summary().unitsNotFound, 0u);

        testing::XmlProbe probe(docs.path() / "ResultadoDastelcentro.xml");
        const auto teachers = testing::XmlProbe::groups(probe.timetables());
        ASSERT_FALSE(teachers.empty());
        const auto activities = testing::XmlProbe::groups(teachers[0]);
        ASSERT_EQ(activities.size(), 1u);
        std::map<std::string, std::string> v;
        for (const auto& [name, value] : testing::XmlProbe::datos(activities[0]))
            v[name] = value;
        EXPECT_EQ(v["X_DEPENDENCIA"], "AÑ1");
        EXPECT_EQ(v["X_UNIDAD"], "U1E");
        EXPECT_EQ(v["X_OFERTAMATRIG"], "11");
        EXPECT_EQ(v["X_MATERIAOMG"], "101");
    }
}

} // namespace
} // namespace pontrel::importing
