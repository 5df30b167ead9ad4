// Assembling one timetable entry: every lookup in its order, first match wins, and the fallbacks.

#include "import/WorkingTablesFixture.h"

#include "dbf/Error.h"
#include "import/ActivityAssembler.h"

#include <gtest/gtest.h>

#include <ostream>

namespace pontrel::importing {

void PrintTo(const ActivityValues& v, std::ostream* os) {
    *os << "{" << v.N_DIASEMANA << "|" << v.X_TRAMO << "|" << v.X_DEPENDENCIA << "|" << v.X_UNIDAD << "|"
        << v.X_OFERTAMATRIG << "|" << v.X_MATERIAOMG << "|" << v.F_INICIO << "|" << v.F_FIN << "|"
        << v.N_HORINI << "|" << v.N_HORFIN << "|" << v.X_ACTIVIDAD << "}";
}

namespace {

using testing::Row;
using testing::ScratchFolder;
using testing::writeTable;

// Lookup tables holding the traps each case needs: repeated keys (the first must win), a blank offer
// key in an assignment, a subject offered twice, and slots of two frames under the same DIHO.
class ActivityAssembly : public ::testing::Test {
  protected:
    void SetUp() override {
        const auto& f = folder.path();
        writeTable(f / "ASIGT.DBF", testing::asigtLayout(),
                   {{{"CASIG", "MAT"}, {"CGRUP", "1A"}, {"CLAVE", "101"}, {"CLAVECURSO", "11"}},
                    {{"CASIG", "MAT"}, {"CGRUP", "1A"}, {"CLAVE", "999"}, {"CLAVECURSO", "99"}},
                    {{"CASIG", "LEN"}, {"CGRUP", "2A"}, {"CLAVE", "201"}, {"CLAVECURSO", ""}}});
        writeTable(f / "ASIGNOMT.DBF", testing::asignomtLayout(),
                   {{{"COD", "MAT"}, {"CODTAREA", ""}},
                    {{"COD", "GUA"}, {"CODTAREA", "GUA77"}},
                    {{"COD", "GUA"}, {"CODTAREA", "SEGUNDA"}}});
        writeTable(f / "ASIGNOMT2.DBF", testing::asignomt2Layout(),
                   {{{"COD", "FIS"}, {"OFERTAMATRI", "99"}, {"MATERIA", "301"}},
                    {{"COD", "FIS"}, {"OFERTAMATRI", "1234"}, {"MATERIA", "302"}},
                    {{"COD", "FIS"}, {"OFERTAMATRI", "1234"}, {"MATERIA", "303"}}});
        writeTable(f / "GRUPOST.DBF", testing::grupostLayout(),
                   {{{"ABREV", "1A"}, {"CLAVE", "U1A"}, {"CLAVECURSO", "19"}},
                    {{"ABREV", "2A"}, {"CLAVE", "U2A"}, {"CLAVECURSO", "12"}},
                    {{"ABREV", "3B"}, {"CLAVE", "U3B"}, {"CLAVECURSO", "1234"}}});
        writeTable(
            f / "DIASHORAST.DBF", testing::diashorastLayout(),
            {slot("11", "0", "T1", "1", "08:30", "09:25"), slot("11", "1", "X1", "1", "12:00", "13:00"),
             slot("210", "0", "T10", "2", "8:30", "14:05"), slot("13", "0", "T3", "1", "xx:00", "11:00")});
        auto open = [&](const char* name) { return dbf::Table::open(f / name, dbf::OpenMode::Exclusive); };
        asigt.emplace(open("ASIGT.DBF"));
        asignomt.emplace(open("ASIGNOMT.DBF"));
        asignomt2.emplace(open("ASIGNOMT2.DBF"));
        grupost.emplace(open("GRUPOST.DBF"));
        diashorast.emplace(open("DIASHORAST.DBF"));
    }

    static Row slot(const char* diho, const char* marco, const char* key, const char* day, const char* from,
                    const char* to) {
        return {{"DIHO", diho}, {"MARCO", marco},    {"CODDIHO", key},
                {"DIA", day},   {"HORADESDE", from}, {"HORAHASTA", to}};
    }

    ActivityAssembler assembler(bool task513) const {
        return ActivityAssembler(LookupTables{*asigt, *asignomt, *asignomt2, *diashorast, *grupost},
                                 "15/09/2025", "22/06/2026", task513);
    }

    ScratchFolder folder;
    std::optional<dbf::Table> asigt, asignomt, asignomt2, grupost, diashorast;
};

SolucEntry entry(int day, int hour, const char* frame, const char* subject, const char* unit,
                 const char* task = "", const char* room = "A1") {
    return SolucEntry{0, day, hour, frame, subject, unit, task, room};
}

struct LookupCase {
    const char* what;
    SolucEntry entry;
    bool task513;
    ActivityValues expected;
};

std::vector<LookupCase> lookupCases() {
    const std::string a = "15/09/2025", b = "22/06/2026";
    return {
        {"the first assignment gives both keys; the unit only adds its own key",
         entry(1, 1, "0", "MAT", "1A"),
         false,
         {"1", "T1", "A1", "U1A", "11", "101", a, b, "510", "565", ""}},
        {"no task anywhere and the 513 activity present",
         entry(1, 1, "0", "MAT", "1A"),
         true,
         {"1", "T1", "A1", "U1A", "11", "101", a, b, "510", "565", "513"}},
        {"an assignment with a blank offer key: the unit fills it, the subject key stays",
         entry(1, 1, "0", "LEN", "2A"),
         false,
         {"1", "T1", "A1", "U2A", "12", "201", a, b, "510", "565", ""}},
        {"no assignment: offer key from the unit, subject from the first ASIGNOMT2 record of that offer",
         entry(2, 10, "0", "FIS", "3B"),
         false,
         {"2", "T10", "A1", "U3B", "1234", "302", a, b, "510", "845", ""}},
        {"no assignment and no ASIGNOMT2 record for the unit's offer",
         entry(1, 1, "0", "FIS", "2A"),
         false,
         {"1", "T1", "A1", "U2A", "12", "", a, b, "510", "565", ""}},
        {"unknown unit: no unit key, and the subject fallback searches with an empty offer key",
         entry(1, 1, "0", "FIS", "ZZ"),
         false,
         {"1", "T1", "A1", "", "", "", a, b, "510", "565", ""}},
        {"task from the first ASIGNOMT record of the subject code, before the 513 default",
         entry(1, 1, "0", "GUA", "1A"),
         true,
         {"1", "T1", "A1", "U1A", "19", "", a, b, "510", "565", "GUA77"}},
        {"the entry's own task wins",
         entry(1, 1, "0", "GUA", "1A", "T9"),
         true,
         {"1", "T1", "A1", "U1A", "19", "", a, b, "510", "565", "T9"}},
        {"the frame tells slots with the same DIHO apart",
         entry(1, 1, "1", "MAT", "1A"),
         false,
         {"1", "X1", "A1", "U1A", "11", "101", a, b, "720", "780", ""}},
        {"no slot for day, hour and frame: empty day and slot, times 0",
         entry(1, 1, "2", "MAT", "1A", "", ""),
         false,
         {"", "", "", "U1A", "11", "101", a, b, "0", "0", ""}},
        {"a slot key and frame whose texts run on into another slot's (\"21\" \"00\", \"210\" \"0\"): no "
         "slot",
         entry(2, 1, "00", "MAT", "1A"),
         false,
         {"", "", "A1", "U1A", "11", "101", a, b, "0", "0", ""}},
        {"a blank room gives an empty room key",
         entry(1, 1, "0", "MAT", "1A", "", "   "),
         false,
         {"1", "T1", "", "U1A", "11", "101", a, b, "510", "565", ""}},
    };
}

TEST_F(ActivityAssembly, EachLookupInItsOrderWithTheFirstMatch) {
    for (const auto& c : lookupCases()) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(assembler(c.task513).assemble(c.entry), c.expected);
    }
}

// One assembler serves a whole run: what it keeps of earlier entries (their subject and class unit,
// their slot) must never leak into an entry that differs in any of them, however the entries follow
// one another and however many other pairs came between.
TEST_F(ActivityAssembly, EntriesOfOneRunGiveWhatEachGivesAlone) {
    const std::vector<LookupCase> cases = lookupCases();
    const ActivityAssembler withoutTask513 = assembler(false);
    const ActivityAssembler withTask513 = assembler(true);
    auto check = [&](const LookupCase& c) {
        SCOPED_TRACE(c.what);
        AssemblyGaps gaps;
        EXPECT_EQ((c.task513 ? withTask513 : withoutTask513).assemble(c.entry, &gaps), c.expected);
        AssemblyGaps alone;
        assembler(c.task513).assemble(c.entry, &alone);
        EXPECT_EQ(gaps.slotMissing, alone.slotMissing);
        EXPECT_EQ(gaps.unitMissing, alone.unitMissing);
        EXPECT_EQ(gaps.subjectMissing, alone.subjectMissing);
    };
    for (const auto& c : cases)
        check(c);
    for (auto c = cases.rbegin(); c != cases.rend(); ++c)
        check(*c);
    // Many pairs that no table knows push the earlier ones out; the cases still give the same.
    for (int i = 0; i < 40; ++i) {
        withoutTask513.assemble(entry(1, 1, "0", ("S" + std::to_string(i)).c_str(), "1A"));
        withTask513.assemble(entry(1, 1, "0", "MAT", ("U" + std::to_string(i)).c_str()));
    }
    for (const auto& c : cases)
        check(c);
}

TEST_F(ActivityAssembly, ReportsWhatItCouldNotFind) {
    AssemblyGaps found;
    assembler(false).assemble(entry(1, 1, "0", "MAT", "1A"), &found);
    EXPECT_FALSE(found.slotMissing || found.unitMissing || found.subjectMissing);

    AssemblyGaps missing;
    assembler(false).assemble(entry(9, 9, "0", "FIS", "ZZ"), &missing);
    EXPECT_TRUE(missing.slotMissing);
    EXPECT_TRUE(missing.unitMissing);
    EXPECT_TRUE(missing.subjectMissing);
}

TEST_F(ActivityAssembly, SlotTimeThatIsNotATimeStopsWithTheRecord) {
    try {
        assembler(false).assemble(entry(1, 3, "0", "MAT", "1A"));
        FAIL() << "a start time xx:00 must stop the run";
    } catch (const Error& e) {
        const std::string message = e.what();
        EXPECT_NE(message.find("DIASHORAST, registro 4"), std::string::npos) << message;
        EXPECT_NE(message.find("xx:00"), std::string::npos) << message;
    }
}

TEST(MinuteCount, TimeTextsToMinutesAfterMidnight) {
    const std::vector<std::pair<std::string, std::string>> cases{
        {"08:30", "510"}, {"8:30", "510"}, {"14:05", "845"}, {"00:00", "0"}, {"23:59", "1439"}, {"", "0"}};
    for (const auto& [time, minutes] : cases)
        EXPECT_EQ(minuteCount(time, "prueba"), minutes) << "'" << time << "'";
    for (const std::string bad : {"ab:30", "08:3x", "8:"})
        EXPECT_THROW(minuteCount(bad, "prueba"), Error) << "'" << bad << "'";
}

} // namespace
} // namespace pontrel::importing
