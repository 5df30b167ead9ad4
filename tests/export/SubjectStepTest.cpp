// The subjects step: MATERIAS folded into ASIGNOMT (one record per subject) and ASIGNOMT2 (one per
// subject and offer), read back from the written tables.

#include "StepTestSupport.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <unordered_set>

namespace pontrel::exporting {
namespace {

// A MATERIAS record: offer key, subject key, name, code.
YedraFields subject(std::string offer, std::string key, std::string name, std::string code) {
    return {std::move(offer), std::move(key), std::move(name), std::move(code)};
}

const std::vector<std::string> nameFields{"COD", "CODLARGO", "NOMBRE", "CODTAREA"};
const std::vector<std::string> offerFields{"COD", "CODLARGO", "NOMBRE", "MATERIA", "OFERTAMATRI", "CODTAREA"};

struct Written {
    Rows names;
    Rows offers;
};

Written runSubjects(StepFixture& fixture) {
    subjectStep(fixture.context);
    return {readRows(fixture.table("ASIGNOMT.DBF"), nameFields),
            readRows(fixture.table("ASIGNOMT2.DBF"), offerFields)};
}

TEST(SubjectStep, CreatesBothTablesWithVelmorasLayout) {
    StepFixture fixture({});
    subjectStep(fixture.context);
    EXPECT_EQ(readLayout(fixture.table("ASIGNOMT.DBF")), (Layout{{"COD", 'C', 10},
                                                                 {"CODLARGO", 'C', 10},
                                                                 {"NOMBRE", 'C', 80},
                                                                 {"CODTAREA", 'C', 12},
                                                                 {"ESTAREA", 'L', 0}}));
    EXPECT_EQ(readLayout(fixture.table("ASIGNOMT2.DBF")), (Layout{{"COD", 'C', 10},
                                                                  {"CODLARGO", 'C', 10},
                                                                  {"NOMBRE", 'C', 80},
                                                                  {"MATERIA", 'C', 20},
                                                                  {"OFERTAMATRI", 'C', 20},
                                                                  {"CODTAREA", 'C', 12},
                                                                  {"ESTAREA", 'L', 0}}));
}

// Subjects repeated across offers, case variants and codes made from names, in one document.
TEST(SubjectStep, FoldsRepeatsAndKeepsEveryOfferOfASubject) {
    StepFixture fixture({{"MATERIAS",
                          {subject("11", "101", "Matemáticas", "MAT"),
                           subject("12", "102", "Matemáticas", "MAT"),
                           subject("12", "102", "Matemáticas", "MAT"),
                           subject("13", "103", "Matemáticas Aplicadas", "MAT"),
                           subject("11", "104", "Lengua Castellana y Literatura", ""),
                           subject("11", "105", "Inglés", "mat"),
                           subject("11", "106", "matemáticas", "MAT"),
                           subject("11", "108", "Física y Química", "FISICAYQUIMICA"),
                           {"14"},
                           subject("12", "109", "Física y Química", "FISICAYQUIMICA")}}});
    const auto written = runSubjects(fixture);

    EXPECT_EQ(written.names, (Rows{{"MAT", "MAT", "Matemáticas", ""},
                                   {"MAT1", "MAT", "Matemáticas Aplicadas", ""},
                                   {"Lengua Cas", "Lengua Cas", "Lengua Castellana y Literatura", ""},
                                   {"mat", "mat", "Inglés", ""},
                                   {"MAT2", "MAT", "matemáticas", ""},
                                   {"FISICAYQUI", "FISICAYQUI", "Física y Química", ""}}));
    EXPECT_EQ(written.offers,
              (Rows{{"MAT", "MAT", "Matemáticas", "101", "11", ""},
                    {"MAT", "MAT", "Matemáticas", "102", "12", ""},
                    {"MAT1", "MAT", "Matemáticas Aplicadas", "103", "13", ""},
                    {"Lengua Cas", "Lengua Cas", "Lengua Castellana y Literatura", "104", "11", ""},
                    {"mat", "mat", "Inglés", "105", "11", ""},
                    {"MAT2", "MAT", "matemáticas", "106", "11", ""},
                    {"FISICAYQUI", "FISICAYQUI", "Física y Química", "108", "11", ""},
                    {"FISICAYQUI", "FISICAYQUI", "Física y Química", "109", "12", ""}}));
    EXPECT_EQ(readBooleans(fixture.table("ASIGNOMT.DBF"), "ESTAREA"),
              std::vector<std::optional<bool>>(6, false));
    EXPECT_EQ(readBooleans(fixture.table("ASIGNOMT2.DBF"), "ESTAREA"),
              std::vector<std::optional<bool>>(8, false));
}

// A long code and a name that merely join to the same text are not the same subject: (TEC, Nología)
// after (TE, CNología) is a subject of its own, not a lost repeat.
TEST(SubjectStep, ARepeatNeedsBothLongCodeAndNameToMatch) {
    StepFixture fixture({{"MATERIAS",
                          {subject("1", "1", "CNología", "TE"), subject("1", "2", "Dibujo", "TEC"),
                           subject("1", "3", "Nología", "XX"), subject("1", "4", "Nología", "TEC")}}});
    const auto written = runSubjects(fixture);
    EXPECT_EQ(written.names, (Rows{{"TE", "TE", "CNología", ""},
                                   {"TEC", "TEC", "Dibujo", ""},
                                   {"XX", "XX", "Nología", ""},
                                   {"TEC1", "TEC", "Nología", ""}}));
    ASSERT_EQ(written.offers.size(), 4u);
    EXPECT_EQ(written.offers[3], (std::vector<std::string>{"TEC1", "TEC", "Nología", "4", "1", ""}));
}

// Values longer than their fields are stored cut; the registries and the repeat test still work on the
// whole values, and the lookups of a repeat compare with what the tables hold.
TEST(SubjectStep, LongValuesAreCutWhereStoredAndComparedAsStored) {
    const std::string longName = std::string(79, 'N') + " de prueba"; // its first 80 end in a blank
    const std::string storedName = std::string(79, 'N');
    const std::string longKey = std::string(20, 'K');
    StepFixture fixture(
        {{"MATERIAS",
          {subject("11", "101", longName, "LNG"), subject("12", "102", longName, "LNG"),
           // keys longer than 20 count as the 20 characters that ASIGNOMT2 holds
           subject("13", longKey + "AAA", longName, "LNG"), subject("13", longKey + "BBB", longName, "LNG"),
           subject("1", "1", "Uno", "ABCDEFGHIJKLMNO"), subject("1", "2", "Dos", "ABCDEFGHIJKLMNO"),
           // another long code with the same first 10: a new subject
           subject("1", "3", "Uno", "ABCDEFGHIJXYZ")}}});
    const auto written = runSubjects(fixture);

    EXPECT_EQ(written.names, (Rows{{"LNG", "LNG", storedName, ""},
                                   {"ABCDEFGHIJ", "ABCDEFGHIJ", "Uno", ""},
                                   {"ABCDEFGHI1", "ABCDEFGHIJ", "Dos", ""},
                                   {"ABCDEFGHI2", "ABCDEFGHIJ", "Uno", ""}}));
    EXPECT_EQ(written.offers, (Rows{{"LNG", "LNG", storedName, "101", "11", ""},
                                    {"LNG", "LNG", storedName, "102", "12", ""},
                                    {"LNG", "LNG", storedName, longKey, "13", ""},
                                    {"ABCDEFGHIJ", "ABCDEFGHIJ", "Uno", "1", "1", ""},
                                    {"ABCDEFGHI1", "ABCDEFGHIJ", "Dos", "2", "1", ""},
                                    {"ABCDEFGHI2", "ABCDEFGHIJ", "Uno", "3", "1", ""}}));
}

// Two subjects that look alike once cut to the widths of CODLARGO and NOMBRE keep their offers apart:
// a repeat is filed under its own subject's short code, not under the first ASIGNOMT record that
// stores the same cut values (which would hand the other subject's key to the timetable).
TEST(SubjectStep, RepeatsOfLookAlikeSubjectsKeepTheirOwnCode) {
    const std::string name = std::string(80, 'N');
    StepFixture fixture(
        {{"MATERIAS",
          {subject("1", "1", "Uno", "ABCDEFGHIJKLMNO"), subject("1", "2", "Uno", "ABCDEFGHIJXYZ"),
           subject("2", "3", "Uno", "ABCDEFGHIJXYZ"), subject("1", "4", name + "A", "LNG"),
           subject("1", "5", name + "B", "LNG"), subject("2", "6", name + "B", "LNG")}}});
    const auto written = runSubjects(fixture);

    ASSERT_EQ(written.offers.size(), 6u);
    EXPECT_EQ(written.offers[2], (std::vector<std::string>{"ABCDEFGHI1", "ABCDEFGHIJ", "Uno", "3", "2", ""}));
    EXPECT_EQ(written.offers[5], (std::vector<std::string>{"LNG1", "LNG", name, "6", "2", ""}));
}

// A repeat's subject and offer keys are compared with ASIGNOMT2 exactly: keys that differ only in
// letter case, or by a leading non-breaking space (which the trimming keeps), are other pairs.
TEST(SubjectStep, RepeatKeysAreComparedExactly) {
    StepFixture fixture({{"MATERIAS",
                          {subject("of1", "m1", "Música", "MUS"), subject("OF1", "m1", "Música", "MUS"),
                           subject("of1", "M1", "Música", "MUS"), subject("of1", "\u00A0m1", "Música", "MUS"),
                           subject("of1", "m1", "Música", "MUS")}}});
    const auto written = runSubjects(fixture);
    EXPECT_EQ(written.names, (Rows{{"MUS", "MUS", "Música", ""}}));
    EXPECT_EQ(written.offers, (Rows{{"MUS", "MUS", "Música", "m1", "of1", ""},
                                    {"MUS", "MUS", "Música", "m1", "OF1", ""},
                                    {"MUS", "MUS", "Música", "M1", "of1", ""},
                                    {"MUS", "MUS", "Música", "\u00A0m1", "of1", ""}}));
}

// Eleven subjects with one code: the eleventh try has two digits and is shortened to 8 + 2.
TEST(SubjectStep, TwoDigitCountersAreShortened) {
    std::vector<YedraFields> records;
    for (int i = 0; i < 11; ++i)
        records.push_back(subject("1", std::to_string(i), "Materia " + std::to_string(i), "ABCDEFGHIJ"));
    StepFixture fixture({{"MATERIAS", records}});
    subjectStep(fixture.context);
    const auto codes = testing::readColumn(fixture.table("ASIGNOMT.DBF"), "COD");
    ASSERT_EQ(codes.size(), 11u);
    EXPECT_EQ(codes[0], "ABCDEFGHIJ");
    EXPECT_EQ(codes[1], "ABCDEFGHI1");
    EXPECT_EQ(codes[9], "ABCDEFGHI9");
    EXPECT_EQ(codes[10], "ABCDEFGH10");
}

TEST(SubjectStep, ReadsTrimmedValuesButKeepsNonBreakingSpaces) {
    StepFixture fixture(
        {{"MATERIAS",
          {subject("\n 11\t", " 101 ", "\tMatemáticas \r\n", "  MAT\t"),
           subject("12", "102", " Matemáticas", "MAT "), subject("13", "103", "\u00A0Música", "")}}});
    const auto written = runSubjects(fixture);
    EXPECT_EQ(written.names, (Rows{{"MAT", "MAT", "Matemáticas", ""},
                                   {"\u00A0Música", "\u00A0Música", "\u00A0Música", ""}}));
    EXPECT_EQ(written.offers, (Rows{{"MAT", "MAT", "Matemáticas", "101", "11", ""},
                                    {"MAT", "MAT", "Matemáticas", "102", "12", ""},
                                    {"\u00A0Música", "\u00A0Música", "\u00A0Música", "103", "13", ""}}));

    // Text is stored in the ANSI code page: one byte per accented letter.
    auto table = dbf::Table::open(fixture.table("ASIGNOMT.DBF"), dbf::OpenMode::Shared);
    EXPECT_EQ(table.text(0, "NOMBRE"), "Matem\xE1ticas");
}

// A record with one field is skipped; one with two reads the missing positions as empty.
TEST(SubjectStep, SkipsOneFieldRecordsAndReadsMissingPositionsAsEmpty) {
    StepFixture fixture({{"MATERIAS", {{"11"}, {"11", "101"}, subject("12", "102", "Música", "MUS")}}});
    const auto written = runSubjects(fixture);
    EXPECT_EQ(written.names, (Rows{{"", "", "", ""}, {"MUS", "MUS", "Música", ""}}));
    EXPECT_EQ(written.offers,
              (Rows{{"", "", "", "101", "11", ""}, {"MUS", "MUS", "Música", "102", "12", ""}}));
    expectOneProgressReport(fixture.ui, "Materias", 2, "ASIGNOMT, ASIGNOMT2");
}

// Tables of an earlier run are replaced, stale index files removed; without MATERIAS both are empty.
TEST(SubjectStep, WithoutTheGroupLeavesBothTablesEmpty) {
    StepFixture earlier({{"MATERIAS", {subject("11", "101", "Matemáticas", "MAT")}}});
    subjectStep(earlier.context);
    std::ofstream(earlier.table("ASIGNOMT.MDX")) << "stale";
    std::ofstream(earlier.table("ASIGNOMT2.MDX")) << "stale";

    StepFixture fixture({{"materias", {subject("11", "101", "Matemáticas", "MAT")}}});
    fixture.context.tablesFolder = earlier.folder.path();
    subjectStep(fixture.context);
    EXPECT_TRUE(readRows(earlier.table("ASIGNOMT.DBF"), nameFields).empty());
    EXPECT_TRUE(readRows(earlier.table("ASIGNOMT2.DBF"), offerFields).empty());
    EXPECT_FALSE(std::filesystem::exists(earlier.table("ASIGNOMT.MDX")));
    EXPECT_FALSE(std::filesystem::exists(earlier.table("ASIGNOMT2.MDX")));
}

// A large school: the offers go to the file batch after batch, and a repeat met after the first
// batch is still found among them (an offer filed once, a new offer of a known subject added).
TEST(SubjectStep, RepeatsAreFoundAmongOffersAlreadyWritten) {
    std::vector<YedraFields> subjects;
    for (int s = 0; s < 3000; ++s)
        subjects.push_back(
            subject("1", std::to_string(1000 + s), "Materia " + std::to_string(s), "C" + std::to_string(s)));
    subjects.push_back(subject("1", "1000", "Materia 0", "C0")); // the first offer again
    subjects.push_back(subject("2", "1000", "Materia 0", "C0")); // the first subject in another offer
    StepFixture fixture({{"MATERIAS", subjects}});
    const auto written = runSubjects(fixture);
    EXPECT_EQ(written.names.size(), 3000u);
    ASSERT_EQ(written.offers.size(), 3001u);
    EXPECT_EQ(written.offers.back(), (std::vector<std::string>{"C0", "C0", "Materia 0", "1000", "2", ""}));
}

// The registries start empty whatever an earlier, stopped run left in them, and stay filled for the
// activities step.
TEST(SubjectStep, StartsFromEmptyRegistriesAndLeavesThemFilled) {
    StepFixture fixture({{"MATERIAS", {subject("11", "101", "Matemáticas", "MAT")}}});
    fixture.context.subjects.shortCodes.assign("MAT");
    fixture.context.subjects.longCodes.insert("MAT");
    fixture.context.subjects.upperNames.insert("MATEM\xE1TICAS");
    fixture.context.subjects.pairs[{"MAT", "Matem\xE1ticas"}] = "MAT";

    const auto written = runSubjects(fixture);
    EXPECT_EQ(written.names, (Rows{{"MAT", "MAT", "Matemáticas", ""}}));
    EXPECT_EQ(written.offers.size(), 1u);

    const auto& registries = fixture.context.subjects;
    EXPECT_TRUE(registries.shortCodes.contains("MAT"));
    EXPECT_FALSE(registries.shortCodes.contains("MAT1"));
    EXPECT_EQ(registries.longCodes, std::unordered_set<std::string>{"MAT"});
    // Only a to z are raised to upper case: the accented letter stays as it is.
    EXPECT_EQ(registries.upperNames, std::unordered_set<std::string>{"MATEM\xE1TICAS"});
    using Pairs = decltype(registries.pairs);
    EXPECT_EQ(registries.pairs, (Pairs{{{"MAT", "Matem\xE1ticas"}, "MAT"}}));
}

} // namespace
} // namespace pontrel::exporting
