// The activities step: ACTIVIDADES appended to the ASIGNOMT that the subjects step made, the task-513
// flag, and the end of the subject registries.

#include "StepTestSupport.h"

#include "dbf/Error.h"

#include <gtest/gtest.h>

namespace pontrel::exporting {
namespace {

const std::vector<std::string> nameFields{"COD", "CODLARGO", "NOMBRE", "CODTAREA"};

// An ACTIVIDADES record: position 0 is not read.
YedraFields activity(std::string code, std::string name) {
    return {"X", std::move(code), std::move(name)};
}

YedraGroup subjects() {
    return {"MATERIAS", {{"11", "101", "Matemáticas", "MAT"}}};
}

TEST(ActivityStep, AppendsActivitiesAfterTheSubjects) {
    StepFixture fixture({subjects(),
                         {"ACTIVIDADES",
                          {activity("G12", "Coordinación general"),
                           {"X"},
                           // a code equal to a subject's is appended all the same
                           activity("MAT", "Guardia"),
                           // 12 characters: whole in CODTAREA, its first 10 in COD
                           activity("ACT-GUARDIA1", std::string(85, 'g')),
                           // two fields: the missing name reads as empty
                           {"X", "G13"}}}});
    subjectStep(fixture.context);
    activityStep(fixture.context);

    const std::string name80(80, 'g');
    EXPECT_EQ(readRows(fixture.table("ASIGNOMT.DBF"), nameFields),
              (Rows{{"MAT", "MAT", "Matemáticas", ""},
                    {"G12", "Coordinaci", "Coordinación general", "G12"},
                    {"MAT", "Guardia", "Guardia", "MAT"},
                    {"ACT-GUARDI", "gggggggggg", name80, "ACT-GUARDIA1"},
                    {"G13", "", "", "G13"}}));
    EXPECT_EQ(readBooleans(fixture.table("ASIGNOMT.DBF"), "ESTAREA"),
              (std::vector<std::optional<bool>>{false, true, true, true, true}));

    ASSERT_EQ(fixture.ui.progress.size(), 2u);
    EXPECT_EQ(fixture.ui.progress[1].step, "Actividades");
    EXPECT_EQ(fixture.ui.progress[1].recordsRead, 4u);
    EXPECT_EQ(fixture.ui.progress[1].tablesWritten, "ASIGNOMT");
}

TEST(ActivityStep, SetsTheTask513FlagOnlyForCode513) {
    struct Case {
        const char* what;
        std::vector<YedraFields> activities;
        bool flagBefore;
        bool expected;
    };
    const std::vector<Case> cases{
        {"no 513", {activity("G12", "Guardia")}, false, false},
        {"513 then another code",
         {activity("513", "Horario regular"), activity("G12", "Guardia")},
         false,
         true},
        {"513 read trimmed", {activity(" \t513\n", "Horario regular")}, false, true},
        {"a code only containing 513", {activity("5130", "Otra"), activity("513A", "Otra")}, false, false},
        {"513 in the name only", {activity("G1", "513")}, false, false},
        {"a one-field record", {{"513"}}, false, false},
        {"flag left by an earlier run", {activity("G12", "Guardia")}, true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        StepFixture fixture({subjects(), {"ACTIVIDADES", c.activities}});
        subjectStep(fixture.context);
        fixture.context.task513 = c.flagBefore;
        activityStep(fixture.context);
        EXPECT_EQ(fixture.context.task513, c.expected);
    }
}

TEST(ActivityStep, WithoutTheGroupLeavesTheSubjectsAlone) {
    StepFixture fixture({subjects()});
    subjectStep(fixture.context);
    fixture.context.task513 = true;
    activityStep(fixture.context);
    EXPECT_EQ(readRows(fixture.table("ASIGNOMT.DBF"), nameFields), (Rows{{"MAT", "MAT", "Matemáticas", ""}}));
    EXPECT_FALSE(fixture.context.task513);
}

TEST(ActivityStep, ReleasesTheSubjectRegistries) {
    StepFixture fixture({subjects(), {"ACTIVIDADES", {activity("G12", "Guardia")}}});
    subjectStep(fixture.context);
    ASSERT_TRUE(fixture.context.subjects.shortCodes.contains("MAT"));
    activityStep(fixture.context);
    const auto& registries = fixture.context.subjects;
    EXPECT_FALSE(registries.shortCodes.contains("MAT"));
    EXPECT_TRUE(registries.longCodes.empty());
    EXPECT_TRUE(registries.upperNames.empty());
    EXPECT_TRUE(registries.pairs.empty());
}

TEST(ActivityStep, WithoutASIGNOMTStopsWithAMessageNamingIt) {
    StepFixture fixture({{"ACTIVIDADES", {activity("G12", "Guardia")}}});
    try {
        activityStep(fixture.context);
        FAIL() << "the step ran without ASIGNOMT";
    } catch (const Error& error) {
        EXPECT_NE(std::string(error.what()).find("ASIGNOMT.DBF"), std::string::npos) << error.what();
    }
    EXPECT_FALSE(std::filesystem::exists(fixture.table("ASIGNOMT.DBF")));
}

// Velmora is not Pontrel: another dBase library must read the subject and activity records alike.
TEST(ActivityStep, TheIndependentReaderReadsBothSubjectTablesAsPontrelDoes) {
    if (!test::independentReaderAvailable())
        GTEST_SKIP() << test::kNoIndependentReader;
    StepFixture fixture(
        {{"MATERIAS",
          {{"11", "101", "Matemáticas", "MAT"},
           {"12", "102", "Matemáticas", "MAT"},
           {"11", "103",
            "Educación Física y Deportiva en la etapa secundaria obligatoria, ciclo"
            " segundo y tercero",
            ""}}},
         {"ACTIVIDADES", {activity("513", "Horario regular"), activity("G12", "Coordinación")}}});
    subjectStep(fixture.context);
    activityStep(fixture.context);
    ASSERT_EQ(readRows(fixture.table("ASIGNOMT.DBF"), nameFields).size(), 4u);
    EXPECT_TRUE(testing::independentReaderAgrees(fixture.table("ASIGNOMT.DBF")));
    EXPECT_TRUE(testing::independentReaderAgrees(fixture.table("ASIGNOMT2.DBF")));
}

} // namespace
} // namespace pontrel::exporting
