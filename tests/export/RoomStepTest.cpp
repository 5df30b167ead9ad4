// The rooms step: DEPENDENCIAS -> AULAT, the room code being the Yedra key whenever it can be.

#include "StepTestSupport.h"

#include <gtest/gtest.h>

namespace pontrel::exporting {
namespace {

using Codes = std::vector<std::string>;

std::vector<YedraFields> rooms(const std::string& key, const std::string& name, int count) {
    return std::vector<YedraFields>(count, YedraFields{key, name});
}

std::vector<YedraFields> operator+(std::vector<YedraFields> a, const std::vector<YedraFields>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

TEST(RoomStep, CreatesAULATWithVelmorasLayout) {
    StepFixture fixture({});
    roomStep(fixture.context);
    EXPECT_EQ(readLayout(fixture.table("AULAT.DBF")), (Layout{{"ABREV", 'C', 10},
                                                              {"NOMBRE", 'C', 80},
                                                              {"EDIFICIO", 'C', 1},
                                                              {"MAXALUM", 'I', 0},
                                                              {"DEPCENTRO", 'C', 10}}));
    EXPECT_TRUE(readColumn(fixture.table("AULAT.DBF"), "ABREV").empty());
}

TEST(RoomStep, MakesUniqueRoomCodes) {
    struct Case {
        const char* what;
        std::vector<YedraFields> records;
        Codes expected;
    };
    const std::vector<Case> cases{
        {"a repeated key is numbered", rooms("A12", "Aula", 3), {"A12", "A121", "A122"}},
        {"letter case ignored", {{"A12", "Aula"}, {"a12", "Aula"}}, {"A12", "a121"}},
        {"accented letters ignore case", {{"AÑO1", "Aula"}, {"año1", "Aula"}}, {"AÑO1", "año11"}},
        {"the name's first 10 characters without a key",
         rooms("", "Laboratorio de Idiomas", 2),
         {"Laboratori", "Laborator1"}},
        {"a long unique key is shortened", {{"AULAINFORMATICA2", "Aula"}}, {"AULAINFOA2"}},
        {"a long key twice", rooms("AULAINFORMATICA2", "Aula", 2), {"AULAINFOA2", "AULAINFOR1"}},
        {"a try equal to the taken code", rooms("GIMNASIO01", "Gimnasio", 2), {"GIMNASIO01", "GIMNASIO02"}},
        {"two-digit counters",
         rooms("GIMNASIO-A", "Gimnasio", 12),
         {"GIMNASIO-A", "GIMNASIO-1", "GIMNASIO-2", "GIMNASIO-3", "GIMNASIO-4", "GIMNASIO-5", "GIMNASIO-6",
          "GIMNASIO-7", "GIMNASIO-8", "GIMNASIO-9", "GIMNASIO10", "GIMNASIO11"}},
        {"key and name empty", rooms("", "", 2), {"", "1"}},
        {"the key read trimmed", {{" A12\t", "Aula"}, {"A12", "Aula"}}, {"A12", "A121"}},
        {"a one-field record is skipped, later positions ignored",
         {{"A1"}, {"A2", "Aula", "X", "Y"}},
         {"A2"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        StepFixture fixture({{"DEPENDENCIAS", c.records}});
        roomStep(fixture.context);
        EXPECT_EQ(readColumn(fixture.table("AULAT.DBF"), "ABREV"), c.expected);
    }
}

TEST(RoomStep, StoresTheNameCutAndLeavesTheRestEmpty) {
    StepFixture fixture(
        {{"DEPENDENCIAS", {{"A12", "  Aula de Música\t"}, {"", std::string(85, 'x')}, {"GIM", ""}}}});
    roomStep(fixture.context);
    EXPECT_EQ(readRows(fixture.table("AULAT.DBF"), {"ABREV", "NOMBRE", "EDIFICIO", "DEPCENTRO"}),
              (Rows{{"A12", "Aula de Música", "", ""},
                    {"xxxxxxxxxx", std::string(80, 'x'), "", ""},
                    {"GIM", "", "", ""}}));
    expectNullInEveryRecord(fixture.table("AULAT.DBF"), "MAXALUM");

    expectOneProgressReport(fixture.ui, "Dependencias", 3, "AULAT");
}

TEST(RoomStep, WithoutTheGroupReplacesAnEarlierTableWithAnEmptyOne) {
    StepFixture earlier({{"DEPENDENCIAS", rooms("A12", "Aula", 2)}});
    roomStep(earlier.context);
    ASSERT_EQ(readColumn(earlier.table("AULAT.DBF"), "ABREV").size(), 2u);

    StepFixture fixture({{"MATERIAS", {{"11", "101", "Matemáticas", "MAT"}}}});
    fixture.context.tablesFolder = earlier.folder.path();
    roomStep(fixture.context);
    EXPECT_TRUE(readColumn(earlier.table("AULAT.DBF"), "ABREV").empty());
}

TEST(RoomStep, TheIndependentReaderReadsAULATAsPontrelDoes) {
    if (!test::independentReaderAvailable())
        GTEST_SKIP() << test::kNoIndependentReader;
    StepFixture fixture(
        {{"DEPENDENCIAS", rooms("AULAINFORMATICA2", "Aula de Informática", 2) + rooms("", "", 2)}});
    roomStep(fixture.context);
    ASSERT_EQ(readColumn(fixture.table("AULAT.DBF"), "ABREV").size(), 4u);
    EXPECT_TRUE(testing::independentReaderAgrees(fixture.table("AULAT.DBF")));
}

} // namespace
} // namespace pontrel::exporting
