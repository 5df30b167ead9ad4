// The teachers step: EMPLEADOS -> PROFT, with the composed name and the teacher codes made from the
// document's code or from the raw initials.

#include "StepTestSupport.h"

#include <gtest/gtest.h>

#include <set>

namespace pontrel::exporting {
namespace {

// An EMPLEADOS record: employee key, date, department, surname 1, surname 2, forename, code.
YedraFields teacher(std::string surname1, std::string surname2, std::string forename, std::string code = "") {
    return {"E1",
            "01/09/2020",
            "Matemáticas",
            std::move(surname1),
            std::move(surname2),
            std::move(forename),
            std::move(code)};
}

TEST(TeacherStep, CreatesPROFTWithVelmorasLayout) {
    StepFixture fixture({});
    teacherStep(fixture.context);
    EXPECT_EQ(readLayout(fixture.table("PROFT.DBF")), (Layout{{"ABREV", 'C', 10},
                                                              {"NOMBRE", 'C', 80},
                                                              {"DEPART", 'C', 40},
                                                              {"EMAIL", 'C', 100},
                                                              {"DNI", 'I', 0},
                                                              {"X_EMPLEADO", 'C', 10},
                                                              {"F_TOMAPOS", 'C', 10}}));
    EXPECT_EQ(readColumn(fixture.table("PROFT.DBF"), "ABREV").size(), 0u);
}

TEST(TeacherStep, MakesNamesAndCodes) {
    struct Case {
        const char* what;
        std::vector<YedraFields> teachers;
        Rows expected; // ABREV, NOMBRE
    };
    const std::vector<Case> cases{
        {"initials", {teacher("GARCIA", "LOPEZ", "ANA")}, {{"GLA", "GARCIA LOPEZ, ANA"}}},
        {"the document's code", {teacher("GARCIA", "LOPEZ", "ANA", "MAT1")}, {{"MAT1", "GARCIA LOPEZ, ANA"}}},
        {"repeated initials, letter case ignored",
         {teacher("GARCIA", "LOPEZ", "ANA"), teacher("GOMEZ", "LUIS", "ALBA"), teacher("GIL", "LEON", "AMOR"),
          teacher("gil", "leon", "amor")},
         {{"GLA", "GARCIA LOPEZ, ANA"},
          {"GLA1", "GOMEZ LUIS, ALBA"},
          {"GLA2", "GIL LEON, AMOR"},
          {"gla3", "gil leon, amor"}}},
        {"accented initials ignore letter case too",
         {teacher("ÁLVAREZ", "ÑÚÑEZ", "ELENA"), teacher("álvarez", "ñúñez", "elena")},
         {{"ÁÑE", "ÁLVAREZ ÑÚÑEZ, ELENA"}, {"áñe1", "álvarez ñúñez, elena"}}},
        {"an empty part keeps its blank and comma", {teacher("GARCIA", "", "ANA")}, {{"GA", "GARCIA , ANA"}}},
        {"all parts empty", {teacher("", "", "")}, {{"", " ,"}}},
        {"initials from the untrimmed texts, the name trimmed",
         {teacher(" GARCIA", "LOPEZ\t", "ANA ")},
         {{" LA", "GARCIA LOPEZ, ANA"}}},
        {"a control character leading a part is an initial too",
         {teacher("GARCIA", "\tLOPEZ", "ANA")},
         {{"G\tA", "GARCIA LOPEZ, ANA"}}},
        {"a code of 12 characters is registered whole and stored cut",
         {teacher("A", "B", "C", "PROFESORA-01"), teacher("D", "E", "F", "PROFESORA-01"),
          teacher("G", "H", "I", "PROFESORA-02")},
         {{"PROFESORA-", "A B, C"}, {"PROFESORA1", "D E, F"}, {"PROFESORA2", "G H, I"}}},
        {"the document's code read trimmed", {teacher("A", "B", "C", "  MAT1 \t")}, {{"MAT1", "A B, C"}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        StepFixture fixture({{"EMPLEADOS", c.teachers}});
        teacherStep(fixture.context);
        EXPECT_EQ(readRows(fixture.table("PROFT.DBF"), {"ABREV", "NOMBRE"}), c.expected);
    }
}

// The un-numbered code is stored cut to 10; a later numbered try must not land on a stored code.
TEST(TeacherStep, CodesStayUniqueAsStored) {
    std::vector<YedraFields> teachers;
    for (int i = 0; i < 12; ++i)
        teachers.push_back(teacher("A", "B", "C", "PROFESORA-01"));
    for (int i = 0; i < 120; ++i)
        teachers.push_back(teacher(i % 2 ? "garcia" : "GARCIA", "LOPEZ", "ANA"));
    StepFixture fixture({{"EMPLEADOS", teachers}});
    teacherStep(fixture.context);

    const auto codes = readColumn(fixture.table("PROFT.DBF"), "ABREV");
    ASSERT_EQ(codes.size(), teachers.size());
    EXPECT_EQ(codes[10], "PROFESOR10");
    EXPECT_EQ(codes[11], "PROFESOR11");
    std::set<std::string> upper;
    for (const auto& code : codes)
        upper.insert(ansi::upperAnsi(code));
    EXPECT_EQ(upper.size(), codes.size()) << "two teachers share a code";
}

TEST(TeacherStep, StoresKeysAndDepartmentTrimmedAndCut) {
    StepFixture fixture({{"EMPLEADOS",
                          {{" 123456 ", "\t01/09/2020\n", " Matemáticas ", "GARCIA", "LOPEZ", "ANA", ""},
                           {"12345678901", "01/09/2020 09:00", std::string(45, 'D'), std::string(50, 'N'),
                            std::string(40, 'M'), "ANA", "X"},
                           {"1"},
                           // three fields: the name parts and code read as empty
                           {"77", "02/09/2021", "Música"}}}});
    teacherStep(fixture.context);

    EXPECT_EQ(readRows(fixture.table("PROFT.DBF"), {"X_EMPLEADO", "F_TOMAPOS", "DEPART", "NOMBRE", "EMAIL"}),
              (Rows{{"123456", "01/09/2020", "Matemáticas", "GARCIA LOPEZ, ANA", ""},
                    {"1234567890", "01/09/2020", std::string(40, 'D'),
                     std::string(50, 'N') + " " + std::string(29, 'M'), ""},
                    {"77", "02/09/2021", "Música", " ,", ""}}));
    expectNullInEveryRecord(fixture.table("PROFT.DBF"), "DNI");

    expectOneProgressReport(fixture.ui, "Profesores", 3, "PROFT");
}

TEST(TeacherStep, ReplacesAnEarlierTable) {
    StepFixture fixture({{"EMPLEADOS", {teacher("GARCIA", "LOPEZ", "ANA")}}});
    teacherStep(fixture.context);
    teacherStep(fixture.context);
    EXPECT_EQ(readColumn(fixture.table("PROFT.DBF"), "ABREV"), std::vector<std::string>{"GLA"});

    StepFixture empty({{"Empleados", {teacher("GARCIA", "LOPEZ", "ANA")}}});
    empty.context.tablesFolder = fixture.folder.path();
    teacherStep(empty.context);
    EXPECT_TRUE(readColumn(fixture.table("PROFT.DBF"), "ABREV").empty());
}

TEST(TeacherStep, TheIndependentReaderReadsPROFTAsPontrelDoes) {
    if (!test::independentReaderAvailable())
        GTEST_SKIP() << test::kNoIndependentReader;
    StepFixture fixture({{"EMPLEADOS",
                          {teacher("GARCÍA", "LÓPEZ", "ANA"),
                           teacher("NÚÑEZ", "", "Mª JOSÉ", "PROFESORA-01"),
                           {"3", "", "", std::string(90, 'N')}}}});
    teacherStep(fixture.context);
    ASSERT_EQ(readColumn(fixture.table("PROFT.DBF"), "ABREV").size(), 3u);
    EXPECT_TRUE(testing::independentReaderAgrees(fixture.table("PROFT.DBF")));
}

} // namespace
} // namespace pontrel::exporting
