// The export run as a whole: its checks and messages, the busy state, the outcome, and that a run
// which stops for any reason leaves the working folder exactly as it was.

#include "export/RunFolderFixture.h"

#include "dbf/Error.h"
#include "export/ExportRun.h"
#include "support/IndependentReader.h"

#include <gtest/gtest.h>

namespace pontrel::exporting {
namespace {

namespace fs = std::filesystem;
using testing::folderContents;
using testing::readColumn;
using testing::runDocument;
using testing::sampleSchool;
using testing::ScratchFolder;
using testing::ScriptedUserInterface;

constexpr std::chrono::milliseconds kNoWait{0};

class ExportRunTest : public ::testing::Test {
  protected:
    void SetUp() override {
        work = root.path() / "VTEMP";
        fs::create_directory(work);
        testing::fillWithEarlierSet(work);
        session.workingFolder = work;
        session.programFolder = PONTREL_BIN_DIR; // NIVELCAN.DBF is installed beside the executables
        before = folderContents(work);
    }

    RunOutcome run(ExportOptions options = {.lockWait = kNoWait, .beforeEachMove = {}}) {
        return ExportRun(session, ui, std::move(options)).run();
    }

    fs::path table(const std::string& name) const { return work / name; }

    ScratchFolder root;
    fs::path work;
    RunSession session;
    ScriptedUserInterface ui;
    std::map<std::string, std::string> before;
};

TEST_F(ExportRunTest, CompleteRunOnTheSampleSchoolReplacesTheTenTablesAndNothingElse) {
    ui.documents.push_back(sampleSchool());
    ui.frameChoices.push_back({.selection = "JOR1      ", .accepted = true, .frameCount = 2});

    ASSERT_EQ(run(), RunOutcome::Completed);

    EXPECT_EQ(ui.messages, std::vector<std::string>{"Proceso finalizado"});
    // Result code 1 before the closing message: a host window closed while it shows reads 1.
    EXPECT_EQ(ui.resultCodes, (std::vector<std::pair<int, std::size_t>>{{1, 0}}));
    EXPECT_EQ(ui.busyStates, (std::vector<bool>{true, false}));
    EXPECT_EQ(ui.frameRequests, 1);
    EXPECT_EQ(session.documentPath, sampleSchool());

    const std::vector<std::pair<std::string, std::size_t>> counts = {
        {"ASIGNOMT.DBF", 62},   {"ASIGNOMT2.DBF", 94}, {"PROFT.DBF", 40},  {"AULAT.DBF", 26},
        {"CURSOST.DBF", 11},    {"GRUPOST.DBF", 19},   {"ASIGT.DBF", 187}, {"DIASHORAST.DBF", 49},
        {"DIASHORAST2.DBF", 7}, {"PERIODOS.DBF", 1}};
    for (const auto& [name, count] : counts)
        EXPECT_EQ(dbf::Table::open(table(name), dbf::OpenMode::Shared).recordCount(), count) << name;

    const auto subjects = readColumn(table("ASIGNOMT.DBF"), "COD");
    EXPECT_EQ(subjects.front(), "LCL");
    EXPECT_NE(std::find(subjects.begin(), subjects.end(), "FISICAYQUI"), subjects.end());
    EXPECT_NE(std::find(subjects.begin(), subjects.end(), "MAT1"), subjects.end()); // Matemáticas Aplicadas
    EXPECT_NE(std::find(subjects.begin(), subjects.end(), "Ámbito Lin"), subjects.end());
    EXPECT_EQ(subjects.back(), "MAT"); // the activity that shares a subject's code
    const auto teachers = readColumn(table("PROFT.DBF"), "ABREV");
    EXPECT_EQ(teachers[0], "GLA");
    EXPECT_EQ(teachers[1], "GLA1");
    EXPECT_EQ(teachers[38], "PROFESORA-");
    EXPECT_EQ(teachers[39], "PROFESORA1");
    EXPECT_EQ(readColumn(table("PROFT.DBF"), "NOMBRE")[0], "García López, Ana");
    const auto rooms = readColumn(table("AULAT.DBF"), "ABREV");
    EXPECT_EQ(rooms[21], "AULAINFOA3");
    EXPECT_EQ(rooms[25], "Aula de d1");
    EXPECT_EQ(readColumn(table("CURSOST.DBF"), "ESTUD")[0], "1º E.S.O. (Educación Secundaria Obligatoria)");
    EXPECT_EQ(readColumn(table("CURSOST.DBF"), "NIVEL")[4], "Niv"); // a course the level table does not know
    EXPECT_EQ(readColumn(table("GRUPOST.DBF"), "ABREV")[0], "1ºESOA");
    for (const auto& task : readColumn(table("ASIGT.DBF"), "CTAREA"))
        ASSERT_EQ(task, "513");
    EXPECT_EQ(readColumn(table("DIASHORAST.DBF"), "HORADESDE")[0], "08:15");
    EXPECT_EQ(readColumn(table("PERIODOS.DBF"), "FECINI"), std::vector<std::string>{"15/09/2025"});

    // The old set is gone (PROFT's lower-case files with it); Velmora's own files stay as they were.
    const auto after = folderContents(work);
    EXPECT_FALSE(after.count("proft.dbf"));
    EXPECT_FALSE(after.count("proft.mdx"));
    EXPECT_NE(after.at("DIASHORAST2.MDX"), before.at("DIASHORAST2.MDX"));
    for (const char* kept : {"SOLUC.DBF", "PERIODOS.MDX", "notas.txt"})
        EXPECT_EQ(after.at(kept), before.at(kept)) << kept;
    std::set<std::string> names;
    for (const auto& [name, bytes] : after)
        names.insert(name);
    EXPECT_EQ(names,
              (std::set<std::string>{"ASIGNOMT.DBF", "ASIGNOMT2.DBF", "ASIGT.DBF", "AULAT.DBF", "CURSOST.DBF",
                                     "DIASHORAST.DBF", "DIASHORAST2.DBF", "DIASHORAST2.MDX", "GRUPOST.DBF",
                                     "PERIODOS.DBF", "PERIODOS.MDX", "PROFT.DBF", "SOLUC.DBF", "notas.txt"}));
}

TEST_F(ExportRunTest, EveryTableTheRunWritesReadsTheSameWithAnIndependentReader) {
    if (!test::independentReaderAvailable())
        GTEST_SKIP() << test::kNoIndependentReader;
    ui.documents.push_back(sampleSchool());
    ui.frameChoices.push_back({.selection = "JOR2      JOR1      ", .accepted = true, .frameCount = 2});
    ASSERT_EQ(run(), RunOutcome::Completed);

    for (const auto& name : exportedTables()) {
        const auto file = table(name + ".DBF");
        const auto table = dbf::Table::open(file, dbf::OpenMode::Shared);
        const auto other = test::readWithIndependentReader(file);
        std::vector<std::string> fields;
        for (const auto& field : table.fields())
            fields.push_back(field.name);
        EXPECT_EQ(other.fields, fields) << name;
        EXPECT_EQ(other.rows, test::independentRows(table)) << name;
        EXPECT_FALSE(other.rows.empty()) << name;
    }
}

// Each stop, and what the user is told. The working folder must come out byte for byte as it went in.
struct Stop {
    const char* name;
    std::optional<fs::path> chosen; // the dialog's answer; nullopt: cancelled
    bool levelTablePresent;
    const char* message;   // the run's own message, or nullptr when an error escapes
    const char* errorPart; // part of the error's text
    RunOutcome outcome;
};

void PrintTo(const Stop& stop, std::ostream* os) {
    *os << stop.name;
}

class ExportRunStops : public ExportRunTest, public ::testing::WithParamInterface<Stop> {};

// The summary's counts are what the steps wrote as they closed their tables: each must be what the
// table holds once in place, ASIGNOMT with the activities that a later step appends to it.
TEST_F(ExportRunTest, SummaryCountsEveryTableAsItIsInPlace) {
    ui.documents.push_back(sampleSchool());
    ui.frameChoices.push_back({.selection = "JOR1      ", .accepted = true, .frameCount = 2});
    ExportRun exportRun(session, ui, {.lockWait = kNoWait, .beforeEachMove = {}});

    ASSERT_EQ(exportRun.run(), RunOutcome::Completed);

    const ExportSummary& summary = exportRun.summary();
    ASSERT_EQ(summary.tables.size(), 10u);
    for (const auto& [name, count] : summary.tables)
        EXPECT_EQ(count, dbf::Table::open(table(name + ".DBF"), dbf::OpenMode::Shared).recordCount()) << name;
    EXPECT_TRUE(summary.orderIndex);
}

TEST_P(ExportRunStops, LeaveTheWorkingFolderAsItWas) {
    const Stop& stop = GetParam();
    session.hostReadsResult = true; // started by Velmora: only a missing document leaves a code (-1)
    ui.documents.push_back(stop.chosen);
    if (!stop.levelTablePresent)
        session.programFolder = root.path(); // no NIVELCAN.DBF there

    if (stop.message) {
        EXPECT_EQ(run(), stop.outcome);
        EXPECT_EQ(ui.messages, std::vector<std::string>{stop.message});
        EXPECT_TRUE(ui.busyStates.empty());
        // -1 comes after "No existe archivo"; no other stop touches the code.
        const auto codes = stop.outcome == RunOutcome::DocumentMissing
                               ? std::vector<std::pair<int, std::size_t>>{{-1, 1}}
                               : std::vector<std::pair<int, std::size_t>>{};
        EXPECT_EQ(ui.resultCodes, codes);
    } else {
        try {
            run();
            FAIL() << "the run should have stopped with an error";
        } catch (const Error& error) {
            EXPECT_NE(std::string(error.what()).find(stop.errorPart), std::string::npos) << error.what();
        }
        EXPECT_TRUE(ui.messages.empty());
        EXPECT_TRUE(ui.resultCodes.empty());
        // A document that does not load stops before the busy cursor; a step's error gives it back.
        const bool loaded = std::string(stop.name) != "DocumentNotWellFormed";
        const std::vector<bool> busy = loaded ? std::vector<bool>{true, false} : std::vector<bool>{};
        EXPECT_EQ(ui.busyStates, busy);
    }
    EXPECT_EQ(folderContents(work), before);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ExportRunStops,
    ::testing::Values(Stop{"DialogCancelledBeforeAnyChoice", std::nullopt, true, "No existe archivo", nullptr,
                           RunOutcome::DocumentMissing},
                      Stop{"ChosenDocumentMissing", runDocument("no_such_document.xml"), true,
                           "No existe archivo", nullptr, RunOutcome::DocumentMissing},
                      Stop{"LevelTableMissing", runDocument("run_small.xml"), false,
                           "ATENCIÓN - NIVELCAN.DBF No encontrado - Reinstale PONTREL", nullptr,
                           RunOutcome::Stopped},
                      Stop{"DocumentNotWellFormed", runDocument("run_truncated.xml"), true, nullptr,
                           "run_truncated.xml", RunOutcome::Stopped},
                      Stop{"CourseKeyNotAWholeNumber", runDocument("run_bad_course_key.xml"), true, nullptr,
                           "«30A»", RunOutcome::Stopped},
                      Stop{"MinutesNotAWholeNumber", runDocument("run_bad_minutes.xml"), true, nullptr,
                           "«2h»", RunOutcome::Stopped},
                      Stop{"SlotStartNotAWholeNumber", runDocument("run_bad_slot_start.xml"), true, nullptr,
                           "«8:15»", RunOutcome::Stopped}),
    [](const auto& info) { return std::string(info.param.name); });

// The frames are asked for at the frames step, after the six steps before it have passed their checks,
// with the frame list the run has read. A user who stops there (pontrel-cli throws when the codes it
// was given do not do) leaves the working folder byte for byte as it was.
TEST_F(ExportRunTest, AStopAtTheFrameQuestionLeavesTheWorkingFolderAsItWas) {
    struct Stopped : std::exception {};
    struct StoppingUserInterface : ScriptedUserInterface {
        std::vector<std::string> offered;
        std::size_t stepsBefore = 0;
        FrameChoice chooseFrames(const fs::path&, const std::vector<YedraRecord>& frames) override {
            for (const auto& frame : frames)
                offered.push_back(frame.rawValue(0));
            stepsBefore = progress.size();
            throw Stopped();
        }
    } stopping;
    stopping.documents.push_back(sampleSchool());

    ExportRun stoppedRun(session, stopping, {.lockWait = kNoWait, .beforeEachMove = {}});
    EXPECT_THROW(stoppedRun.run(), Stopped);
    EXPECT_EQ(stopping.offered, (std::vector<std::string>{"JOR1", "JOR2"}));
    EXPECT_EQ(stopping.stepsBefore, 6u);
    EXPECT_TRUE(stopping.messages.empty());
    EXPECT_EQ(stopping.busyStates, (std::vector<bool>{true, false}));
    EXPECT_EQ(folderContents(work), before);
}

TEST_F(ExportRunTest, MissingDocumentLeavesMinusOneOnlyWhenVelmoraReadsTheResult) {
    for (const bool hostReadsResult : {false, true}) {
        SCOPED_TRACE(hostReadsResult ? "started by Velmora" : "standalone");
        ScriptedUserInterface fresh;
        session.hostReadsResult = hostReadsResult;
        fresh.documents.push_back(std::nullopt);
        EXPECT_EQ(ExportRun(session, fresh, {.lockWait = kNoWait, .beforeEachMove = {}}).run(),
                  RunOutcome::DocumentMissing);
        EXPECT_EQ(fresh.messages, std::vector<std::string>{"No existe archivo"});
        const auto codes = hostReadsResult ? std::vector<std::pair<int, std::size_t>>{{-1, 1}}
                                           : std::vector<std::pair<int, std::size_t>>{};
        EXPECT_EQ(fresh.resultCodes, codes);
    }
}

TEST_F(ExportRunTest, CancelledDialogReusesTheDocumentOfAnEarlierRun) {
    session.programFolder = root.path();
    ui.documents = {runDocument("run_small.xml"), std::nullopt};
    EXPECT_EQ(run(), RunOutcome::Stopped);
    session.programFolder = PONTREL_BIN_DIR;
    EXPECT_EQ(run(), RunOutcome::Completed);
    EXPECT_EQ(ui.messages,
              (std::vector<std::string>{"ATENCIÓN - NIVELCAN.DBF No encontrado - Reinstale PONTREL",
                                        "Proceso finalizado"}));
    EXPECT_EQ(readColumn(table("AULAT.DBF"), "ABREV"), std::vector<std::string>{"A101"});
}

TEST_F(ExportRunTest, TableHeldByAnotherProgramStopsBeforeAnythingMovesAndALaterRunSucceeds) {
    ui.documents = {runDocument("run_small.xml"), std::nullopt};
    {
        auto held = dbf::Table::open(table("GRUPOST.DBF"), dbf::OpenMode::Exclusive);
        try {
            run();
            FAIL() << "the run should have stopped on the held table";
        } catch (const Error& error) {
            const std::string text = error.what();
            EXPECT_NE(text.find("GRUPOST.DBF"), std::string::npos) << text;
            EXPECT_NE(text.find("abierta en otro programa"), std::string::npos) << text;
        }
        EXPECT_TRUE(ui.messages.empty());
    }
    EXPECT_EQ(folderContents(work), before);

    // Nothing of the stopped run lingers: the same run goes through once the table is free.
    EXPECT_EQ(run(), RunOutcome::Completed);
    EXPECT_EQ(readColumn(table("GRUPOST.DBF"), "ABREV"), std::vector<std::string>{"1ºESOA"});
}

TEST_F(ExportRunTest, ReplacementBrokenBetweenMovesPutsTheOldSetBack) {
    ui.documents.push_back(runDocument("run_small.xml"));
    int moves = 0;
    ExportOptions options{.lockWait = kNoWait, .beforeEachMove = [&](const std::string& stage) {
                              if (++moves == 7)
                                  throw std::runtime_error("disco lleno al " + stage);
                          }};
    try {
        run(std::move(options));
        FAIL() << "the replacement should have failed";
    } catch (const Error& error) {
        EXPECT_NE(std::string(error.what()).find("las tablas anteriores siguen en su sitio"),
                  std::string::npos)
            << error.what();
    }
    EXPECT_EQ(folderContents(work), before);
}

TEST_F(ExportRunTest, WorkingFolderMissingStopsWithItsName) {
    session.workingFolder = root.path() / "no-existe";
    ui.documents.push_back(runDocument("run_small.xml"));
    try {
        run();
        FAIL() << "the run should have stopped";
    } catch (const Error& error) {
        EXPECT_NE(std::string(error.what()).find("no-existe"), std::string::npos) << error.what();
    }
    EXPECT_FALSE(fs::exists(session.workingFolder));
}

} // namespace
} // namespace pontrel::exporting
