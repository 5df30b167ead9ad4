// The assignments step: every subject of MATERIAS with a code in ASIGNOMT, once for every class unit
// of its course in GRUPOST, read back from ASIGT. ASIGNOMT and GRUPOST are small fixtures written
// here, so each case shows only what the join does.

#include "StepTestSupport.h"

#include "dbf/Error.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace pontrel::exporting {
namespace {

// Writes a text-only table; values in UTF-8.
void writeTable(const std::filesystem::path& file, const std::vector<dbf::FieldSpec>& fields,
                const Rows& rows) {
    dbf::Table::create(file, fields);
    auto table = dbf::Table::open(file, dbf::OpenMode::Exclusive, dbf::Access::ReadWrite);
    for (const auto& values : rows) {
        dbf::RecordBuffer row;
        for (std::size_t i = 0; i < values.size(); ++i)
            row.setText(fields[i].name, ansi::fromUtf8(values[i]));
        table.append(row);
    }
    table.close();
}

// ASIGNOMT as the subjects step leaves it, reduced to what is read here: (COD, NOMBRE).
void writeSubjectCodes(const std::filesystem::path& folder, const Rows& rows) {
    writeTable(folder / "ASIGNOMT.DBF", {{"COD", 'C', 10}, {"NOMBRE", 'C', 80}}, rows);
}

// GRUPOST: (ABREV, NIVEL, CURSO, GRUPO, CLAVECURSO).
void writeUnits(const std::filesystem::path& folder, const Rows& rows) {
    writeTable(folder / "GRUPOST.DBF",
               {{"ABREV", 'C', 10},
                {"NIVEL", 'C', 5},
                {"CURSO", 'C', 3},
                {"GRUPO", 'C', 2},
                {"CLAVECURSO", 'C', 10}},
               rows);
}

const std::vector<std::string> kAssignmentFields{"CASIG",  "CPROF", "CGRUP",      "CAULA", "TURNO",
                                                 "NIVEL",  "CURSO", "GRUPO",      "HORAS", "SESIONES",
                                                 "NCONEX", "CLAVE", "CLAVECURSO", "CTAREA"};

// A MATERIAS record: course key, subject key, name, (position 3, not read), minutes.
YedraFields subject(std::string course, std::string key, std::string name, std::string minutes) {
    return {std::move(course), std::move(key), std::move(name), "x", std::move(minutes)};
}

struct AssignmentFixture : StepFixture {
    AssignmentFixture(const std::vector<YedraFields>& subjects, const Rows& codes, const Rows& units)
        : StepFixture({{"MATERIAS", subjects}}) {
        writeSubjectCodes(folder.path(), codes);
        writeUnits(folder.path(), units);
    }
    Rows assignments() { return readRows(table("ASIGT.DBF"), kAssignmentFields); }
    std::vector<double> hours() {
        auto asigt = dbf::Table::open(table("ASIGT.DBF"), dbf::OpenMode::Shared);
        std::vector<double> column;
        for (std::size_t r = 0; r < asigt.recordCount(); ++r)
            column.push_back(asigt.number(r, "HORAS").value_or(-1));
        return column;
    }
};

const Rows kOneUnit{{"1ºESOA", "ESO", "1", "A", "3012"}};

TEST(AssignmentStep, CreatesTheTableWithVelmorasLayout) {
    AssignmentFixture fixture({}, {}, {});
    assignmentStep(fixture.context);
    EXPECT_EQ(readLayout(fixture.table("ASIGT.DBF")), (Layout{{"CASIG", 'C', 10},
                                                              {"CPROF", 'C', 10},
                                                              {"CGRUP", 'C', 10},
                                                              {"CAULA", 'C', 10},
                                                              {"TURNO", 'C', 10},
                                                              {"NIVEL", 'C', 5},
                                                              {"CURSO", 'C', 3},
                                                              {"GRUPO", 'C', 2},
                                                              {"HORAS", 'O', 0},
                                                              {"SESIONES", 'C', 20},
                                                              {"NCONEX", 'C', 4},
                                                              {"CLAVE", 'C', 10},
                                                              {"CLAVECURSO", 'C', 10},
                                                              {"CTAREA", 'C', 10}}));
    EXPECT_TRUE(fixture.assignments().empty());
}

// Weekly minutes become whole hours rounded up, at least 1, and Velmora's SESIONES pattern.
TEST(AssignmentStep, TurnsMinutesIntoHoursAndSessions) {
    const std::string thirteen(13, '1');
    struct Case {
        std::string minutes;
        double hours;
        std::string sessions;
    };
    const std::vector<Case> cases{
        {"240", 4, "1111"},
        {"", 4, "1111"},
        {"90", 2, "11"},
        {"61", 2, "11"},
        {"60", 1, "1"},
        {"0", 1, "1"},
        {"-90", 1, "1"},
        {"780", 13, thirteen},
        {"840", 14, "1" + thirteen},
        {"1000", 17, "4" + thirteen},
        {"1380", 23, "10" + thirteen},
        {"+120", 2, "11"},
    };
    std::vector<YedraFields> subjects;
    Rows codes;
    for (std::size_t i = 0; i < cases.size(); ++i) {
        subjects.push_back(
            subject("3012", "K" + std::to_string(i), "Materia " + std::to_string(i), cases[i].minutes));
        codes.push_back({"M" + std::to_string(i), "MATERIA " + std::to_string(i)});
    }
    AssignmentFixture fixture(subjects, codes, kOneUnit);
    assignmentStep(fixture.context);

    const auto rows = fixture.assignments();
    const auto hours = fixture.hours();
    ASSERT_EQ(rows.size(), cases.size());
    for (std::size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE("minutos \"" + cases[i].minutes + "\"");
        EXPECT_EQ(hours[i], cases[i].hours);
        EXPECT_EQ(rows[i][9], cases[i].sessions);
    }
}

// The name lookup upper-cases only a to z and compares the first 80 characters; the first ASIGNOMT
// record of a name decides, also when its code is empty; units come in GRUPOST's order.
TEST(AssignmentStep, JoinsSubjectCodesAndTheUnitsOfTheCourse) {
    const std::string longName = std::string(80, 'a') + " y algo más";
    AssignmentFixture fixture(
        {subject("3012", "101", "Lengua castellana", "120"),
         subject("3012", "102", "Matemáticas", "120"), // MATEMÁTICAS: á is not upper-cased
         subject("3012", "103", longName, "60"),
         subject("3012", "104", "Música", "60"),            // first record of the name has no code
         subject("3013", "105", "Lengua castellana", "60"), // a course without units
         subject("9999", "106", "Tecnología", "2h"),        // no units: minutes never converted
         subject("3012", "107", "Sin código", "x"),         // not in ASIGNOMT: minutes never converted
         subject("3012", "108", "Tecnología", "60"),
         subject("3012", "109", "  Física\t", "60"),
         {"3012"},
         subject("a1", "110", "Tecnología", "60")},
        {{"LCL", "LENGUA CASTELLANA"},
         {"MAT", "MATEMÁTICAS"},
         {"LARGA", ansi::toUtf8(ansi::upperAsciiOnly(std::string(80, 'a')))},
         {"", "Música"},
         {"MUS", "Música"},
         {"TEC", "tecnología "},
         {"TEC2", "Tecnología"},
         {"FQ", "  física"}},
        {{"1ºESOA", "ESO", "1", "A", "3012"},
         {"1ºBACHA", "BACH", "1", "A", "A1"},
         {"1ºESOB", "ESO", "1", "B", "3012"},
         {"2ºESOA", "ESO", "2", "A", "3014"},
         {"1ºESOC", "ESO", "1", "C", "3012"}});
    assignmentStep(fixture.context);

    auto row = [](std::string code, std::string unit, std::string group, std::string sessions,
                  std::string key) {
        return std::vector<std::string>{code,  "", unit,     "", "",  "ESO",  "1",
                                        group, "", sessions, "", key, "3012", ""};
    };
    Rows rows = fixture.assignments();
    for (auto& r : rows)
        r[8].clear(); // HORAS is checked by the minutes test
    EXPECT_EQ(rows, (Rows{row("LCL", "1ºESOA", "A", "11", "101"), row("LCL", "1ºESOB", "B", "11", "101"),
                          row("LCL", "1ºESOC", "C", "11", "101"), row("LARGA", "1ºESOA", "A", "1", "103"),
                          row("LARGA", "1ºESOB", "B", "1", "103"), row("LARGA", "1ºESOC", "C", "1", "103"),
                          row("TEC", "1ºESOA", "A", "1", "108"), row("TEC", "1ºESOB", "B", "1", "108"),
                          row("TEC", "1ºESOC", "C", "1", "108"), row("FQ", "1ºESOA", "A", "1", "109"),
                          row("FQ", "1ºESOB", "B", "1", "109"), row("FQ", "1ºESOC", "C", "1", "109")}));
    expectOneProgressReport(fixture.ui, "Asignaciones de materias", 10, "ASIGT");
}

TEST(AssignmentStep, MarksEveryAssignmentWithTask513OnlyWhenTheFlagIsSet) {
    for (bool task513 : {false, true}) {
        SCOPED_TRACE(task513);
        AssignmentFixture fixture(
            {subject("3012", "101", "Lengua", "60"), subject("3012", "102", "Inglés", "60")},
            {{"LEN", "LENGUA"}, {"ING", "INGLéS"}},
            {{"1ºESOA", "ESO", "1", "A", "3012"}, {"1ºESOB", "ESO", "1", "B", "3012"}});
        fixture.context.task513 = task513;
        assignmentStep(fixture.context);
        const auto tasks = testing::readColumn(fixture.table("ASIGT.DBF"), "CTAREA");
        EXPECT_EQ(tasks, std::vector<std::string>(4, task513 ? "513" : ""));
    }
}

TEST(AssignmentStep, RefusesMinutesThatAreNotWholeNumbers) {
    for (const std::string minutes : {"2h", "8:15", "$1F", "1.5", "99999999999"}) {
        SCOPED_TRACE(minutes);
        AssignmentFixture fixture(
            {subject("3012", "101", "Lengua", "60"), subject("3012", "102", "Lengua", minutes)},
            {{"LEN", "LENGUA"}}, kOneUnit);
        try {
            assignmentStep(fixture.context);
            ADD_FAILURE() << "no error";
        } catch (const Error& e) {
            EXPECT_THAT(e.what(), ::testing::HasSubstr("«" + minutes + "»"));
            EXPECT_THAT(e.what(), ::testing::HasSubstr("posición 4 del registro 2 del grupo MATERIAS"));
        }
    }
}

TEST(AssignmentStep, NeedsTheTablesOfTheEarlierSteps) {
    StepFixture fixture({{"MATERIAS", {subject("3012", "101", "Lengua", "60")}}});
    writeSubjectCodes(fixture.folder.path(), {{"LEN", "LENGUA"}});
    try {
        assignmentStep(fixture.context);
        ADD_FAILURE() << "no error";
    } catch (const Error& e) {
        EXPECT_THAT(e.what(), ::testing::HasSubstr("GRUPOST"));
    }
}

} // namespace
} // namespace pontrel::exporting
