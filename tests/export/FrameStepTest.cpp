// The frames step: the chosen school-day frames' time slots to DIASHORAST2 (by day counter, indexed
// on the start minute), Velmora's grid DIASHORAST built through that index, and PERIODOS. The frame
// choice is answered by a scripted user interface.

#include "StepTestSupport.h"

#include "dbf/Error.h"
#include "export/FrameSelection.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>

namespace pontrel::exporting {
namespace {

using Column = std::vector<std::string>;

YedraFields frame(std::string code, std::string name = "Jornada", std::string from = "01/09/2026",
                  std::string to = "30/06/2027") {
    return {std::move(code), std::move(name), std::move(from), std::move(to)};
}

// A TRAMOS_HORARIOS record: key, text, start, end, frame code.
YedraFields slot(std::string key, std::string frameCode, std::string start, std::string end = "0") {
    return {key, "Tramo " + key, std::move(start), std::move(end), std::move(frameCode)};
}

// The selection string of a frame dialog in which `codes` were selected.
std::string selection(const std::vector<std::string>& codes) {
    FrameSelection dialog(0);
    for (const auto& code : codes)
        dialog.add(code);
    return dialog.choice().selection;
}

FrameChoice accepted(const std::vector<std::string>& codes, int frameCount) {
    return {selection(codes), true, frameCount};
}

const std::vector<std::string> kSlotFields{"DIHO",      "DIA",     "HORA",     "TEXTODIA",
                                           "MARCO",     "CODDIHO", "TEXTOHOR", "HORADESDE",
                                           "HORAHASTA", "MINUTOS", "MARCOXML"};

struct FrameFixture : StepFixture {
    using StepFixture::StepFixture;
    Rows slots() { return readRows(table("DIASHORAST2.DBF"), kSlotFields); }
    Rows grid() { return readRows(table("DIASHORAST.DBF"), kSlotFields); }
    Column slotColumn(const std::string& field) { return readColumn(table("DIASHORAST2.DBF"), field); }
    Column gridColumn(const std::string& field) { return readColumn(table("DIASHORAST.DBF"), field); }
    Rows periods() { return readRows(table("PERIODOS.DBF"), {"CJORNADA", "JORNADA", "FECINI", "FECFIN"}); }
};

TEST(FrameStep, CreatesTheThreeTablesWithVelmorasLayoutAndLeavesPeriodosMdxAlone) {
    FrameFixture fixture(std::vector<YedraGroup>{});
    for (const char* stale : {"DIASHORAST.MDX", "PERIODOS.MDX"})
        std::ofstream(fixture.table(stale)) << "stale";
    frameStep(fixture.context);

    const Layout grid{{"DIHO", 'C', 10},     {"CODDIHO", 'C', 10},  {"DIA", 'C', 20},
                      {"TEXTODIA", 'C', 20}, {"HORA", 'C', 8},      {"TEXTOHOR", 'C', 15},
                      {"HORADESDE", 'C', 8}, {"HORAHASTA", 'C', 8}, {"MINUTOS", 'C', 8},
                      {"MARCO", 'C', 1},     {"MARCOXML", 'C', 10}};
    Layout slots = grid;
    slots.emplace_back("ORDEN", 'I', 0);
    EXPECT_EQ(readLayout(fixture.table("DIASHORAST.DBF")), grid);
    EXPECT_EQ(readLayout(fixture.table("DIASHORAST2.DBF")), slots);
    EXPECT_EQ(
        readLayout(fixture.table("PERIODOS.DBF")),
        (Layout{{"CJORNADA", 'C', 10}, {"JORNADA", 'C', 40}, {"FECINI", 'C', 10}, {"FECFIN", 'C', 10}}));
    EXPECT_FALSE(std::filesystem::exists(fixture.table("DIASHORAST.MDX")));
    EXPECT_TRUE(std::filesystem::exists(fixture.table("DIASHORAST2.MDX")));
    EXPECT_TRUE(std::filesystem::exists(fixture.table("PERIODOS.MDX")));
}

// A document without frames: nothing to choose, the three tables stay empty even with slots listed.
TEST(FrameStep, WithoutFramesWritesEmptyTablesAndAsksNothing) {
    FrameFixture fixture({{"TRAMOS_HORARIOS", {slot("T1", "", "480", "535")}}});
    frameStep(fixture.context);
    EXPECT_EQ(fixture.ui.frameRequests, 0);
    EXPECT_EQ(fixture.ui.framesTakenWithoutAsking, 1);
    EXPECT_TRUE(fixture.slots().empty());
    EXPECT_TRUE(fixture.grid().empty());
    EXPECT_TRUE(fixture.periods().empty());
}

// One frame: no dialog, every slot on day 1 in DIASHORAST2, and on the seven days in the grid.
TEST(FrameStep, RepeatsTheSlotsOfASingleFrameOnEveryDay) {
    std::vector<YedraFields> slots;
    const std::vector<int> starts{480, 535, 590, 660, 715, 770};
    for (std::size_t i = 0; i < starts.size(); ++i)
        slots.push_back(slot("T" + std::to_string(i + 1), "ORD", std::to_string(starts[i]),
                             std::to_string(starts[i] + 55)));
    FrameFixture fixture(
        {{"JORNADAS_ESCOLARES", {frame("ORD", "Jornada ordinaria")}}, {"TRAMOS_HORARIOS", slots}});
    frameStep(fixture.context);

    EXPECT_EQ(fixture.ui.frameRequests, 0);
    EXPECT_EQ(fixture.ui.framesTakenWithoutAsking, 1);
    EXPECT_EQ(fixture.slots().front(),
              (Column{"", "1", "", "", "", "T1", "Tramo T1", "08:00", "08:55", "55", "ORD"}));
    EXPECT_EQ(fixture.slotColumn("DIA"), Column(6, "1"));

    const Rows grid = fixture.grid();
    ASSERT_EQ(grid.size(), 42u);
    Column diho, expectedDiho;
    for (int hour = 1; hour <= 6; ++hour)
        for (int day = 1; day <= 7; ++day)
            expectedDiho.push_back(std::to_string(day) + std::to_string(hour));
    for (const auto& row : grid)
        diho.push_back(row[0]);
    EXPECT_EQ(diho, expectedDiho);
    EXPECT_EQ(grid[0], (Column{"11", "1", "1", "", "0", "T1", "Tramo T1", "08:00", "08:55", "55", "ORD"}));
    EXPECT_EQ(grid[41], (Column{"76", "7", "6", "", "0", "T6", "Tramo T6", "12:50", "13:45", "55", "ORD"}));

    EXPECT_EQ(fixture.periods(), (Rows{{"ORD", "Jornada ordinaria", "01/09/2026", "30/06/2027"}}));
    expectOneProgressReport(fixture.ui, "Marcos y tramos horarios", 7, "DIASHORAST, DIASHORAST2, PERIODOS");
}

TEST(FrameStep, WritesTimesAsHoursAndMinutes) {
    struct Case {
        std::string start, end, from, to, minutes;
    };
    const std::vector<Case> cases{{"480", "535", "08:00", "08:55", "55"},
                                  {"0", "45", "00:00", "00:45", "45"},
                                  {"765", "1439", "12:45", "23:59", "674"},
                                  {"+600", "660", "10:00", "11:00", "60"},
                                  {"1500", "1440", "25:00", "24:00", "-60"}};
    std::vector<YedraFields> slots;
    for (const auto& c : cases)
        slots.push_back(slot("T", "A", c.start, c.end));
    FrameFixture fixture({{"JORNADAS_ESCOLARES", {frame("A")}}, {"TRAMOS_HORARIOS", slots}});
    frameStep(fixture.context);

    const Rows written = fixture.slots();
    ASSERT_EQ(written.size(), cases.size());
    for (std::size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(cases[i].start + "-" + cases[i].end);
        EXPECT_EQ(written[i][7], cases[i].from);
        EXPECT_EQ(written[i][8], cases[i].to);
        EXPECT_EQ(written[i][9], cases[i].minutes);
    }
}

// DIASHORAST2's index gives the slots by start minute, equal starts in the order appended; with one
// frame each slot gets its own number, also two that start at the same minute.
TEST(FrameStep, NumbersTheSlotsThroughTheStartMinuteIndex) {
    FrameFixture fixture({{"JORNADAS_ESCOLARES", {frame("A")}},
                          {"TRAMOS_HORARIOS",
                           {slot("S535", "A", "535", "590"), slot("S480a", "A", "480", "535"),
                            slot("S480b", "A", "480", "535"), slot("S590", "A", "590", "645")}}});
    frameStep(fixture.context);

    auto slots = dbf::Table::open(fixture.table("DIASHORAST2.DBF"), dbf::OpenMode::Shared);
    EXPECT_EQ(slots.indexOrder("ORDEN"), (std::vector<std::size_t>{1, 2, 0, 3}));
    std::vector<std::int64_t> orden;
    for (std::size_t r = 0; r < slots.recordCount(); ++r)
        orden.push_back(slots.integer(r, "ORDEN").value_or(-1));
    EXPECT_EQ(orden, (std::vector<std::int64_t>{535, 480, 480, 590}));
    slots.close();

    const Column codes = fixture.gridColumn("CODDIHO");
    const Column hours = fixture.gridColumn("HORA");
    ASSERT_EQ(codes.size(), 28u);
    EXPECT_EQ((Column{codes[0], codes[7], codes[14], codes[21]}), (Column{"S480a", "S480b", "S535", "S590"}));
    EXPECT_EQ((Column{hours[0], hours[7], hours[14], hours[21]}), (Column{"1", "2", "3", "4"}));
}

// Several frames: the day counter runs over every slot record read (chosen or not, one-field records
// excepted) and starts again after the frame count; slots starting at the same minute share a number.
TEST(FrameStep, GivesSlotsOfSeveralFramesTheirDayAndSharedNumbers) {
    struct Case {
        std::string name;
        std::vector<std::string> frames;
        std::vector<std::string> chosen;
        std::vector<YedraFields> slots;
        Column days;     // DIASHORAST2, in stored order
        Column gridDiho; // DIASHORAST, in start-minute order
        Column gridHours;
    };
    const std::vector<Case> cases{
        {"interleaved",
         {"A", "B"},
         {"A", "B"},
         {slot("1", "A", "480"), slot("2", "B", "480"), slot("3", "A", "535"), slot("4", "B", "535")},
         {"1", "2", "1", "2"},
         {"11", "21", "12", "22"},
         {"1", "1", "2", "2"}},
        {"grouped by frame",
         {"A", "B"},
         {"A", "B"},
         {slot("1", "A", "480"), slot("2", "A", "535"), slot("3", "B", "480"), slot("4", "B", "535")},
         {"1", "2", "1", "2"},
         {"11", "11", "22", "22"},
         {"1", "1", "2", "2"}},
        {"different starts",
         {"A", "B"},
         {"A", "B"},
         {slot("1", "A", "480"), slot("2", "A", "535"), slot("3", "B", "480"), slot("4", "B", "540")},
         {"1", "2", "1", "2"},
         {"11", "11", "22", "23"},
         {"1", "1", "2", "3"}},
        {"two of five",
         {"A", "B", "C", "D", "E"},
         {"B", "D"},
         {slot("1", "A", "480"),
          slot("2", "B", "480"),
          {"solo"},
          slot("3", "C", "480"),
          slot("4", "D", "480"),
          slot("5", "E", "480"),
          slot("6", "B", "535"),
          slot("7", "D", "535")},
         {"2", "4", "1", "2"},
         {"21", "41", "12", "22"},
         {"1", "1", "2", "2"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<YedraFields> frames;
        for (const auto& code : c.frames)
            frames.push_back(frame(code));
        FrameFixture fixture({{"JORNADAS_ESCOLARES", frames}, {"TRAMOS_HORARIOS", c.slots}});
        fixture.ui.frameChoices.push_back(accepted(c.chosen, static_cast<int>(c.frames.size())));
        frameStep(fixture.context);

        EXPECT_EQ(fixture.slotColumn("DIA"), c.days);
        EXPECT_EQ(fixture.gridColumn("DIHO"), c.gridDiho);
        EXPECT_EQ(fixture.gridColumn("HORA"), c.gridHours);
        EXPECT_EQ(fixture.gridColumn("MARCO"), Column(c.gridDiho.size(), "0"));
    }
}

// A choice that was not accepted (no frame, or more than five) is asked again until one is.
TEST(FrameStep, AsksAgainUntilTheChoiceIsAccepted) {
    FrameFixture fixture({{"JORNADAS_ESCOLARES", {frame("A", "Mañana"), frame("B", "Tarde")}},
                          {"TRAMOS_HORARIOS", {slot("1", "A", "480"), slot("2", "B", "900")}}});
    fixture.ui.frameChoices = {
        {"", false, 2}, {selection({"A", "B", "A", "B", "A", "B"}), false, 2}, accepted({"B"}, 2)};
    frameStep(fixture.context);

    EXPECT_EQ(fixture.ui.frameRequests, 3);
    // Each question gets the frame list the run has read.
    EXPECT_EQ(fixture.ui.framesOffered, (std::vector<std::size_t>{2, 2, 2}));
    EXPECT_EQ(fixture.ui.framesTakenWithoutAsking, 0);
    EXPECT_EQ(fixture.slotColumn("CODDIHO"), Column{"2"});
    // A single chosen frame: its slots go on the seven days.
    EXPECT_EQ(fixture.slotColumn("DIA"), Column{"1"});
    EXPECT_EQ(fixture.gridColumn("DIHO"), (Column{"11", "21", "31", "41", "51", "61", "71"}));
    EXPECT_EQ(fixture.periods(), (Rows{{"B", "Tarde", "01/09/2026", "30/06/2027"}}));
}

// Frame codes are compared cut to 10 characters; chosen codes left empty take slots without a code.
TEST(FrameStep, TakesTheSlotsOfTheChosenFramesOnly) {
    struct Case {
        std::string name;
        std::vector<YedraFields> frames;
        std::vector<FrameChoice> choices;
        Column taken;
        Rows periods;
    };
    const std::vector<YedraFields> slots{
        slot("long", "JORNADA-2026", "480"), slot("tail", "26", "490"), slot("none", "", "500"),
        slot("other", "OTRA", "8:15"),       slot("A", "A", "510"),     slot("B", "B", "520")};
    const std::vector<Case> cases{
        // One frame whose code does not fit: its first 10 and its last 2 characters are the chosen codes.
        {"single long code", {frame("JORNADA-2026")}, {}, {"long", "tail", "none"}, {}},
        // One frame read without the field-count test.
        {"single one-field frame", {{"A"}}, {}, {"none", "A"}, {{"A", "", "", ""}}},
        {"second and fourth of four",
         {frame("W"), frame("A", "Primer marco elegido, con un nombre de más de cuarenta letras", "1", "2"),
          frame("Y"), frame("B"), frame("A", "Otra vez", "3", "4")},
         {accepted({"A", "B"}, 5)},
         {"none", "A", "B"},
         {{"A", "Primer marco elegido, con un nombre de m", "1", "2"}, {"A", "Otra vez", "3", "4"}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FrameFixture fixture({{"JORNADAS_ESCOLARES", c.frames}, {"TRAMOS_HORARIOS", slots}});
        fixture.ui.frameChoices.assign(c.choices.begin(), c.choices.end());
        frameStep(fixture.context);
        EXPECT_EQ(fixture.ui.frameRequests, static_cast<int>(c.choices.size()));
        EXPECT_EQ(fixture.slotColumn("CODDIHO"), c.taken);
        EXPECT_EQ(fixture.periods(), c.periods);
    }
}

TEST(FrameStep, RefusesSlotTimesThatAreNotWholeNumbers) {
    struct Case {
        std::string start, end, value;
        std::size_t position;
    };
    for (const auto& c : std::vector<Case>{{"8:15", "535", "8:15", 2},
                                           {"480", "$1F", "$1F", 3},
                                           {"", "535", "", 2},
                                           {"480", "9h", "9h", 3}}) {
        SCOPED_TRACE(c.value);
        FrameFixture fixture(
            {{"JORNADAS_ESCOLARES", {frame("A")}},
             {"TRAMOS_HORARIOS", {slot("1", "A", "420", "475"), slot("2", "A", c.start, c.end)}}});
        try {
            frameStep(fixture.context);
            ADD_FAILURE() << "no error";
        } catch (const Error& e) {
            EXPECT_THAT(e.what(), ::testing::HasSubstr("«" + c.value + "»"));
            EXPECT_THAT(e.what(), ::testing::HasSubstr("posición " + std::to_string(c.position) +
                                                       " del registro 2 del grupo TRAMOS_HORARIOS"));
        }
    }
}

} // namespace
} // namespace pontrel::exporting
