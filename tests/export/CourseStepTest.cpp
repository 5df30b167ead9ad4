// The courses step: CURSOS_DEL_CENTRO to CURSOST with the level table's names, UNIDADES to GRUPOST
// with unique unit codes, read back from the written tables. Also the level table installed beside
// the executables, checked against its source.

#include "StepTestSupport.h"

#include "dbf/Error.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace pontrel::exporting {
namespace {

const std::vector<std::string> courseFields{"ABREV", "TURNO", "NIVEL", "CURSO", "CLAVE", "ESTUD"};
const std::vector<std::string> unitFields{"ABREV", "TURNO", "NIVEL",      "CURSO",
                                          "GRUPO", "CLAVE", "CLAVECURSO", "DESCRIP"};

struct Level {
    std::int64_t key;
    std::string abbreviation; // UTF-8
    std::string name;         // UTF-8
};

// A level table of the installation's layout, written beside the document.
std::filesystem::path writeLevelTable(const std::filesystem::path& folder, const std::vector<Level>& levels) {
    const auto file = folder / "NIVELCAN.DBF";
    dbf::Table::create(file, {{"X_OFERTAMATRIG", 'I', 0}, {"NIVEL_ABREV", 'C', 10}, {"NIVEL", 'C', 80}});
    auto table = dbf::Table::open(file, dbf::OpenMode::Exclusive, dbf::Access::ReadWrite);
    for (const auto& level : levels) {
        dbf::RecordBuffer row;
        row.setInteger("X_OFERTAMATRIG", level.key);
        row.setText("NIVEL_ABREV", ansi::fromUtf8(level.abbreviation));
        row.setText("NIVEL", ansi::fromUtf8(level.name));
        table.append(row);
    }
    table.close();
    return file;
}

const std::vector<Level> kLevels{
    {3012, "ESO", "Educación Secundaria Obligatoria"},
    {3101, "BACHILLER", "Bachillerato de Ciencias"},
    {3200, "", "Programa de Diversificación"},
    {3012, "OTRO", "No debe usarse: gana el primer registro de la clave"},
};

struct CourseFixture : StepFixture {
    explicit CourseFixture(const std::vector<YedraGroup>& groups) : StepFixture(groups) {
        context.levelTable = writeLevelTable(folder.path(), kLevels);
    }
    Rows courses() { return readRows(table("CURSOST.DBF"), courseFields); }
    Rows units() { return readRows(table("GRUPOST.DBF"), unitFields); }
};

const YedraFields kFirstOfEso{"3012", "1º E.S.O."};

TEST(CourseStep, CreatesBothTablesWithVelmorasLayout) {
    CourseFixture fixture({});
    courseStep(fixture.context);
    EXPECT_EQ(readLayout(fixture.table("CURSOST.DBF")), (Layout{{"ABREV", 'C', 3},
                                                                {"TURNO", 'C', 1},
                                                                {"NIVEL", 'C', 5},
                                                                {"CURSO", 'C', 3},
                                                                {"CLAVE", 'C', 10},
                                                                {"ESTUD", 'C', 80}}));
    EXPECT_EQ(readLayout(fixture.table("GRUPOST.DBF")), (Layout{{"ABREV", 'C', 10},
                                                                {"TURNO", 'C', 1},
                                                                {"NIVEL", 'C', 5},
                                                                {"CURSO", 'C', 3},
                                                                {"GRUPO", 'C', 2},
                                                                {"CLAVE", 'C', 10},
                                                                {"CLAVECURSO", 'C', 10},
                                                                {"DESCRIP", 'C', 80}}));
    EXPECT_TRUE(fixture.courses().empty());
    EXPECT_TRUE(fixture.units().empty());
}

// Known and unknown keys, a level abbreviation longer than NIVEL, an empty one, signs and blanks
// around the key, a repeated key in the level table (the first record wins).
TEST(CourseStep, NamesEachCourseByItsLevel) {
    CourseFixture fixture({{"CURSOS_DEL_CENTRO",
                            {kFirstOfEso,
                             {"9999", "1º E.S.O."},
                             {" 3101\t", "2º Bachillerato"},
                             {"3200", "3º Diversificación"},
                             {"3012"},
                             {"+3012", ""},
                             {"-7", "4º Sin nivel"}}}});
    courseStep(fixture.context);
    EXPECT_EQ(fixture.courses(),
              (Rows{{"E1", "", "ESO", "1", "3012", "1º E.S.O. (Educación Secundaria Obligatoria)"},
                    {"N1", "", "Niv", "1", "9999", "1º E.S.O."},
                    {"B2", "", "BACHI", "2", "3101", "2º Bachillerato (Bachillerato de Ciencias)"},
                    {"N3", "", "Niv", "3", "3200", "3º Diversificación (Programa de Diversificación)"},
                    {"E", "", "ESO", "", "+3012", " (Educación Secundaria Obligatoria)"},
                    {"N4", "", "Niv", "4", "-7", "4º Sin nivel"}}));
}

// Anything but an optional sign and decimal digits within 32 bits stops the step, with a message
// that names the group, the record and the value.
TEST(CourseStep, RefusesCourseKeysThatAreNotWholeNumbers) {
    for (const std::string key :
         {"30A", "2h", "8:15", "$1F", "", "3 012", "2147483648", "-2147483649", "+-5"}) {
        SCOPED_TRACE(key);
        CourseFixture fixture({{"CURSOS_DEL_CENTRO", {kFirstOfEso, {"1"}, {key, "2º E.S.O."}}}});
        try {
            courseStep(fixture.context);
            ADD_FAILURE() << "no error";
        } catch (const Error& e) {
            EXPECT_THAT(e.what(), ::testing::HasSubstr("«" + key + "»"));
            EXPECT_THAT(e.what(), ::testing::HasSubstr("registro 3 del grupo CURSOS_DEL_CENTRO"));
            EXPECT_THAT(e.what(), ::testing::HasSubstr("no es un número entero"));
            EXPECT_THAT(e.what(), ::testing::HasSubstr(fixture.document.path().string()));
        }
    }
}

TEST(CourseStep, AcceptsTheLimitsOf32Bits) {
    CourseFixture fixture({{"CURSOS_DEL_CENTRO", {{"2147483647", "1º"}, {"-2147483648", "2º"}}}});
    courseStep(fixture.context);
    EXPECT_EQ(fixture.courses(),
              (Rows{{"N1", "", "Niv", "1", "2147483647", "1º"}, {"N2", "", "Niv", "2", "-214748364", "2º"}}));
}

TEST(CourseStep, LinksEachUnitToItsCourse) {
    CourseFixture fixture({{"CURSOS_DEL_CENTRO", {kFirstOfEso, {"00000003101", "1º Bachillerato"}}},
                           {"UNIDADES",
                            {{"55", "1º ESO A", "3012"},
                             {"56", "1º ESO B", "9999"},
                             {"57", "1º Bach C", "00000003101"}, // CURSOST holds the key cut to 10: not found
                             {"58", "Sin curso D"},              // no course key at all
                             {"59"},
                             {"60", "1º ESO con un nombre largo que no deja sitio E", "3012"}}}});
    courseStep(fixture.context);
    EXPECT_EQ(fixture.units(),
              (Rows{{"1ºESOA", "", "ESO", "1", "A", "55", "3012",
                     "(1º ESO A) 1º E.S.O. (Educación Secundaria Obligatoria)"},
                    {"1ºESOB", "", "", "", "B", "56", "9999", "   B"},
                    {"1ºBachC", "", "", "", "C", "57", "0000000310", "   C"},
                    {"SincursoD", "", "", "", "D", "58", "", "   D"},
                    {"1ºESOconun", "", "ESO", "1", "E", "60", "3012",
                     "(1º ESO con un nombre largo que no deja sitio E) 1º E.S.O. (Educación Secundaria"}}));
    expectOneProgressReport(fixture.ui, "Cursos y unidades", 7, "CURSOST, GRUPOST");
}

// Codes repeat without regard to letter case; the tenth numbered try is shortened to 8 + 2.
TEST(CourseStep, GivesEveryUnitACodeOfItsOwn) {
    std::vector<YedraFields> units{{"1", "1º ESO A", "3012"}, {"2", "1º ESO A", "3012"},
                                   {"3", "1º ESO A", "3012"}, {"4", "1º eso a", "3012"},
                                   {"5", "1º\tB", "3012"},    {"6", " \t"}};
    for (int i = 0; i < 11; ++i)
        units.push_back({"B" + std::to_string(i), "Bachillerato Ciencias A", "3101"});
    CourseFixture fixture({{"CURSOS_DEL_CENTRO", {kFirstOfEso}}, {"UNIDADES", units}});
    courseStep(fixture.context);
    EXPECT_EQ(
        testing::readColumn(fixture.table("GRUPOST.DBF"), "ABREV"),
        (std::vector<std::string>{"1ºESOA", "1ºESOA1", "1ºESOA2", "1ºesoa3", "1º\tB", "", "Bachillera",
                                  "Bachiller1", "Bachiller2", "Bachiller3", "Bachiller4", "Bachiller5",
                                  "Bachiller6", "Bachiller7", "Bachiller8", "Bachiller9", "Bachille10"}));
}

TEST(CourseStep, AMissingLevelTableStopsTheStep) {
    StepFixture fixture({{"CURSOS_DEL_CENTRO", {kFirstOfEso}}});
    fixture.context.levelTable = fixture.folder.path() / "NIVELCAN.DBF";
    EXPECT_THROW(courseStep(fixture.context), Error);
}

// The level table installed beside the executables holds exactly the lines of its source.
TEST(LevelTable, IsBuiltFromItsSource) {
    std::ifstream source(std::string(PONTREL_SOURCE_DIR) + "/data/levels.csv");
    ASSERT_TRUE(source);
    Rows expected;
    std::string line;
    bool header = true;
    while (std::getline(source, line)) {
        if (line.empty() || line.front() == '#')
            continue;
        if (header) {
            EXPECT_EQ(line, "X_OFERTAMATRIG;NIVEL_ABREV;NIVEL");
            header = false;
            continue;
        }
        std::vector<std::string> fields;
        std::stringstream parts(line);
        for (std::string field; std::getline(parts, field, ';');)
            fields.push_back(field);
        expected.push_back(fields);
    }
    ASSERT_GT(expected.size(), 10u);

    const auto file = std::filesystem::path(PONTREL_BIN_DIR) / "NIVELCAN.DBF";
    auto table = dbf::Table::open(file, dbf::OpenMode::Shared);
    ASSERT_EQ(table.fields().size(), 3u);
    EXPECT_EQ(table.fields()[0].name, "X_OFERTAMATRIG");
    EXPECT_EQ(table.fields()[0].type, 'I');
    Rows stored;
    for (std::size_t r = 0; r < table.recordCount(); ++r)
        stored.push_back({std::to_string(table.integer(r, "X_OFERTAMATRIG").value_or(-1)),
                          ansi::toUtf8(table.text(r, "NIVEL_ABREV")), ansi::toUtf8(table.text(r, "NIVEL"))});
    EXPECT_EQ(stored, expected);
}

} // namespace
} // namespace pontrel::exporting
