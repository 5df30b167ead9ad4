#include "exchange/codes/ShortCodeRegistry.h"
#include "exchange/text/Ansi.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace pontrel {
namespace {

// The settings of the tables that make short codes.
constexpr ShortCodeSettings kSubjects{.preCut = true, .shortening = true, .ignoreCase = false};  // ASIGNOMT
constexpr ShortCodeSettings kTeachers{.preCut = false, .shortening = false, .ignoreCase = true}; // PROFT
constexpr ShortCodeSettings kRooms{.preCut = false, .shortening = true, .ignoreCase = true};     // AULAT
constexpr ShortCodeSettings kUnits{.preCut = true, .shortening = true, .ignoreCase = true};      // GRUPOST

struct RuleCase {
    const char* name;
    ShortCodeSettings settings;
    std::vector<std::string> candidates; // given in this order to one registry
    std::vector<std::string> codes;      // the code returned for each
};

std::vector<std::string> repeat(const std::string& candidate, int times) {
    return std::vector<std::string>(static_cast<std::size_t>(times), candidate);
}

std::vector<std::string> numbered(const std::string& first, const std::string& base, int from, int to) {
    std::vector<std::string> codes{first};
    for (int n = from; n <= to; ++n)
        codes.push_back(base + std::to_string(n));
    return codes;
}

std::vector<std::string> plus(std::vector<std::string> codes, const std::vector<std::string>& more) {
    codes.insert(codes.end(), more.begin(), more.end());
    return codes;
}

const std::vector<RuleCase>& ruleCases() {
    static const std::vector<RuleCase> cases = {
        {"FirstCodeIsTheCandidate", kRooms, {"MAT"}, {"MAT"}},
        {"RepeatsAreNumbered", kRooms, {"MAT", "MAT", "MAT"}, {"MAT", "MAT1", "MAT2"}},
        {"TenCharactersRepeated", kSubjects, {"ABCDEFGHIJ", "ABCDEFGHIJ"}, {"ABCDEFGHIJ", "ABCDEFGHI1"}},
        {"TwoDigitTryIsShortened", kSubjects, repeat("ABCDEFGHIJ", 11),
         plus(numbered("ABCDEFGHIJ", "ABCDEFGHI", 1, 9), {"ABCDEFGH10"})},
        {"IgnoringCaseLowerAfterUpper", kRooms, {"MAT", "mat"}, {"MAT", "mat1"}},
        {"CaseSignificantSubjects", kSubjects, {"MAT", "mat"}, {"MAT", "mat"}},
        {"LongRoomKeyShortened", kRooms, {"LABORATORIO1"}, {"LABORATOO1"}},
        {"RoomsA12", kRooms, {"A12", "A12", "A12"}, {"A12", "A121", "A122"}},
        {"RoomLowerCaseRepeat", kRooms, {"A12", "a12"}, {"A12", "a121"}},
        {"RoomsWithoutKey", kRooms, {"Laboratori", "Laboratori"}, {"Laboratori", "Laborator1"}},
        {"RoomTryEqualsTakenCode", kRooms, {"GIMNASIO01", "GIMNASIO01"}, {"GIMNASIO01", "GIMNASIO02"}},
        {"ElevenGymnasiums", kRooms, repeat("GIMNASIO-A", 11),
         plus(numbered("GIMNASIO-A", "GIMNASIO-", 1, 9), {"GIMNASIO10"})},
        {"EmptyKeyAndName", kRooms, {"", ""}, {"", "1"}},
        {"TeachersInitials", kTeachers, {"GLA", "GLA", "GLA", "gla"}, {"GLA", "GLA1", "GLA2", "gla3"}},
        {"TeacherCodeGiven", kTeachers, {"MAT1"}, {"MAT1"}},
        {"LongTeacherCodeStoredCut",
         kTeachers,
         {"PROFESORA-01", "PROFESORA-01"},
         {"PROFESORA-", "PROFESORA1"}},
        {"UnitsWithOrdinal",
         kUnits,
         {"1\xBA"
          "ESOA",
          "1\xBA"
          "ESOA",
          "1\xBA"
          "ESOA",
          "1\xBA"
          "esoa"},
         {"1\xBA"
          "ESOA",
          "1\xBA"
          "ESOA1",
          "1\xBA"
          "ESOA2",
          "1\xBA"
          "esoa3"}},
        {"UnitsTenthRepeat", kUnits, repeat("Bachillera", 11),
         plus(numbered("Bachillera", "Bachiller", 1, 9), {"Bachille10"})},
        {"AccentedLettersIgnoringCase", kUnits, {"\xC1REA", "\xE1rea"}, {"\xC1REA", "\xE1rea1"}},
        {"SubjectCodes",
         kSubjects,
         {"MAT", "MAT", "mat", "MAT", "FISICAYQUIMICA"},
         {"MAT", "MAT1", "mat", "MAT2", "FISICAYQUI"}},
        {"SubjectPreCutBeforeTheTest",
         kSubjects,
         {"FISICAYQUIMICA", "FISICAYQUIMICAS"},
         {"FISICAYQUI", "FISICAYQU1"}},
        // Where the rule as first written stored a code twice:
        {"TwelveGymnasiums", kRooms, repeat("GIMNASIO-A", 12),
         plus(numbered("GIMNASIO-A", "GIMNASIO-", 1, 9), {"GIMNASIO10", "GIMNASIO11"})},
        {"SecondLongRoomKey", kRooms, {"AULAINFORMATICA2", "AULAINFORMATICA2"}, {"AULAINFOA2", "AULAINFOR1"}},
        {"ElevenTeachersWithALongCode", kTeachers, repeat("PROFESORA-01", 11),
         plus(numbered("PROFESORA-", "PROFESORA", 1, 9), {"PROFESOR10"})},
        {"TwoLongTeacherCodesAlikeWhenCut",
         kTeachers,
         {"PROFESORA-01", "PROFESORA-02"},
         {"PROFESORA-", "PROFESORA1"}},
        {"ShortenedFormAlreadyTaken",
         kRooms,
         {"AULAINFOA2", "AULAINFORMATICA2"},
         {"AULAINFOA2", "AULAINFOR1"}},
    };
    return cases;
}

TEST(ShortCodeRule, ExamplesGiveTheirCodes) {
    for (const RuleCase& c : ruleCases()) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(c.candidates.size(), c.codes.size());
        ShortCodeRegistry registry(c.settings);
        for (std::size_t i = 0; i < c.candidates.size(); ++i)
            EXPECT_EQ(registry.assign(c.candidates[i]), c.codes[i]) << "candidate " << i + 1;
    }
}

// Why each code differs from its candidate: a numbered code counts as numbered even when it was also
// cut first or shortened after.
TEST(ShortCodeRule, ExplainsWhyACodeDiffersFromItsCandidate) {
    using R = ShortCodeReason;
    struct ReasonCase {
        const char* name;
        ShortCodeSettings settings;
        std::vector<std::string> candidates;
        std::vector<R> reasons;
    };
    const std::vector<ReasonCase> cases = {
        {"Unchanged", kRooms, {"A12", "ABCDEFGHIJ"}, {R::None, R::None}},
        {"PreCut", kSubjects, {"FISICAYQUIMICA"}, {R::Cut}},
        {"PreCutThenNumbered", kSubjects, {"FISICAYQUIMICA", "FISICAYQUIMICAS"}, {R::Cut, R::Numbered}},
        {"CutByTheFieldWithoutShortening",
         kTeachers,
         {"PROFESORA-01", "PROFESORA-01"},
         {R::Cut, R::Numbered}},
        {"Shortened", kRooms, {"AULAINFORMATICA2", "AULAINFORMATICA2"}, {R::Shortened, R::Numbered}},
        {"NumberedAndShortened",
         kSubjects,
         repeat("ABCDEFGHIJ", 11),
         {R::None, R::Numbered, R::Numbered, R::Numbered, R::Numbered, R::Numbered, R::Numbered, R::Numbered,
          R::Numbered, R::Numbered, R::Numbered}},
        {"CaseIgnoredRepeat", kTeachers, {"GLA", "gla"}, {R::None, R::Numbered}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ShortCodeRegistry registry(c.settings);
        ShortCodeRegistry same(c.settings);
        for (std::size_t i = 0; i < c.candidates.size(); ++i) {
            const AssignedCode assigned = registry.assignExplained(c.candidates[i]);
            EXPECT_EQ(assigned.reason, c.reasons[i]) << "candidate " << i + 1;
            EXPECT_EQ(assigned.code, same.assign(c.candidates[i]))
                << "the code does not depend on the asking";
        }
    }
}

TEST(ShortCodeRule, RegistryComparesAsItsTableDoes) {
    ShortCodeRegistry rooms(kRooms);
    rooms.assign("\xC1"
                 "rea 1"); // Área 1
    EXPECT_TRUE(rooms.contains("\xE1REA 1"));
    EXPECT_TRUE(rooms.contains("\xC1rea 1   ")); // dBase pads text with blanks
    EXPECT_FALSE(rooms.contains("AREA 1"));      // an accent is not dropped

    ShortCodeRegistry subjects(kSubjects);
    subjects.assign("Mat");
    EXPECT_TRUE(subjects.contains("Mat"));
    EXPECT_TRUE(subjects.contains("Mat "));
    EXPECT_FALSE(subjects.contains("MAT"));

    // A candidate that differs from a registered code only by trailing blanks is a repeat.
    ShortCodeRegistry units(kUnits);
    units.assign("1A");
    EXPECT_NE(units.assign("1A  "), "1A  ");
}

TEST(ShortCodeRule, TheRegistryHoldsStoredForms) {
    ShortCodeRegistry teachers(kTeachers);
    teachers.assign("PROFESORA-01");
    EXPECT_TRUE(teachers.contains("PROFESORA-"));
    EXPECT_FALSE(teachers.contains("PROFESORA-01"));

    ShortCodeRegistry rooms(kRooms);
    rooms.assign("AULAINFORMATICA2");
    EXPECT_TRUE(rooms.contains("AULAINFOA2"));
}

// However the candidates repeat, no table ever stores one code twice and no code is longer than its
// field: long codes that agree in their first characters, codes ending in digits that numbered tries
// produce, and many repeats of each.
TEST(ShortCodeRule, StoredCodesAreUniqueAndFitTheirField) {
    const std::vector<std::string> pool = {"GIMNASIO-A",
                                           "GIMNASIO-1",
                                           "GIMNASIO10",
                                           "GIMNASIO1",
                                           "AULAINFORMATICA2",
                                           "AULAINFORMATICA3",
                                           "AULAINFOR1",
                                           "PROFESORA-01",
                                           "PROFESORA-02",
                                           "PROFESORA1",
                                           "ABCDEFGH11",
                                           "ABCDEFGH1",
                                           "abcdefgh1",
                                           "MAT",
                                           "mat",
                                           "M",
                                           "",
                                           "1",
                                           "11"};
    const std::vector<std::pair<const char*, ShortCodeSettings>> tables = {
        {"subjects", kSubjects}, {"teachers", kTeachers}, {"rooms", kRooms}, {"units", kUnits}};
    for (const auto& [name, settings] : tables) {
        SCOPED_TRACE(name);
        ShortCodeRegistry registry(settings);
        std::set<std::string> stored;
        for (int round = 0; round < 15; ++round) {
            for (std::size_t i = 0; i < pool.size(); ++i) {
                const std::string& candidate = pool[(i * 7 + static_cast<std::size_t>(round)) % pool.size()];
                const std::string code = registry.assign(candidate);
                EXPECT_LE(code.size(), 10u) << candidate;
                const std::string key = settings.ignoreCase ? ansi::upperAnsi(code) : code;
                EXPECT_TRUE(stored.insert(key).second) << "stored twice: " << code << " from " << candidate;
            }
        }
    }
}

} // namespace
} // namespace pontrel
