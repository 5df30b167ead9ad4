// The synthetic school that the benchmark and the fault tests rest on: its SOLUC must read back as
// written, and must name what the export makes of the document (teacher, subject, unit and slot
// codes), or the benchmark would time lookups that all miss.

#include "FaultFixtures.h"
#include "support/DbaseIIIWriter.h"
#include "support/StoredColumn.h"

#include "dbf/Table.h"

#include <set>

namespace pontrel::faults {
namespace {

using dbf::OpenMode;
using dbf::Table;

std::set<std::string> column(const fs::path& table, const char* field) {
    const auto values = testing::storedColumn(table, field);
    return {values.begin(), values.end()};
}

TEST(DbaseIIIWriter, WritesATableThatReadsBackValueForValue) {
    const testing::ScratchFolder folder;
    const fs::path file = folder / "SOLUC.DBF";
    testing::DbaseIIIWriter writer({{"PROF", 'C', 4}, {"DIA", 'N', 2}});
    writer.addRecord({"ANA", "7"});
    writer.addRecord({"BEA", "1"}, /*deleted=*/true);
    writer.addRecord({"CARLOTA", ""}); // cut to the width; an empty number is NULL
    writer.write(file);
    auto table = Table::open(file, OpenMode::Shared);
    ASSERT_EQ(table.recordCount(), 2u); // the deleted record is skipped
    EXPECT_EQ(table.text(0, "PROF"), "ANA");
    EXPECT_EQ(table.integer(0, "DIA"), 7);
    EXPECT_EQ(table.text(1, "PROF"), "CARL");
    EXPECT_EQ(table.integer(1, "DIA"), std::nullopt);
    table.close();
}

class SchoolGenerator : public FaultTest {};

TEST_F(SchoolGenerator, SolucNamesWhatTheExportMakesOfTheDocument) {
    const auto school = makeSchool("escuela", 2, 17);
    const fs::path work = makeWorkingFolder("vtemp");
    const auto r = exportInto(school, work);
    ASSERT_EQ(r.exitCode, 0) << describe(r);

    auto soluc = Table::open(school.soluc, OpenMode::Shared);
    const auto shape = bench::shapeForScale(2);
    ASSERT_EQ(soluc.recordCount(), school.solucRecords);
    ASSERT_EQ(soluc.recordCount(), static_cast<std::size_t>(shape.teachers * (shape.lessonsPerTeacher + 2)));

    const auto teachers = column(work / "PROFT.DBF", "ABREV");
    const auto units = column(work / "GRUPOST.DBF", "ABREV");
    const auto subjects = column(work / "ASIGNOMT.DBF", "COD");
    const auto slots = column(work / "DIASHORAST.DBF", "DIHO");
    std::set<std::pair<std::string, std::string>> assignments;
    {
        auto asigt = Table::open(work / "ASIGT.DBF", OpenMode::Shared);
        for (std::size_t i = 0; i < asigt.recordCount(); ++i)
            assignments.emplace(asigt.text(i, "CASIG"), asigt.text(i, "CGRUP"));
    }
    EXPECT_EQ(teachers.size(), static_cast<std::size_t>(shape.teachers));

    std::size_t placed = 0, taught = 0;
    for (std::size_t i = 0; i < soluc.recordCount(); ++i) {
        SCOPED_TRACE("registro " + std::to_string(i) + " de SOLUC");
        EXPECT_TRUE(teachers.count(soluc.text(i, "PROF")));
        EXPECT_TRUE(subjects.count(soluc.text(i, "ASIG")));
        const auto day = soluc.integer(i, "DIA").value_or(-1);
        if (day == 0)
            continue;
        ++placed;
        EXPECT_TRUE(slots.count(std::to_string(day) + std::to_string(soluc.integer(i, "HORA").value_or(-1))));
        const std::string unit = soluc.text(i, "CODGRUPO");
        if (!unit.empty()) {
            ++taught;
            EXPECT_TRUE(units.count(unit)) << unit;
            EXPECT_TRUE(assignments.count({soluc.text(i, "ASIG"), unit})) << unit;
        }
    }
    EXPECT_EQ(placed, static_cast<std::size_t>(shape.teachers * shape.lessonsPerTeacher));
    // Most placed entries are lessons of a class unit, the rest activities.
    EXPECT_GT(taught * 4, placed * 3);
}

} // namespace
} // namespace pontrel::faults
