// pontrel-cli export: its arguments, the frame choice made on the command line or at a terminal with
// the dialog's rules and messages, exit statuses, and what it prints.

#include "CommandOutcome.h"

#include "cli/ExportCommand.h"
#include "cli/TerminalUserInterface.h"

#include "dbf/Table.h"
#include "exchange/velmora/TableSetReplacement.h"
#include "export/RunFolderFixture.h"
#include "support/ExportFixtures.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#ifndef _WIN32
#include <sys/wait.h>
#endif

namespace pontrel::cli {
namespace {

namespace fs = std::filesystem;
using testing::ScratchFolder;

const fs::path kSample = testing::sampleSchool();
const fs::path kExportData = fs::path(PONTREL_TEST_DATA_DIR) / "export";
// A missing document is named by its full path; under Wine the test's POSIX path becomes a drive path.
#ifdef _WIN32
const std::string kMissingDocumentLine = "No existe archivo: ";
#else
const std::string kMissingDocumentLine =
    "No existe archivo: " + (kExportData / "no_such.xml").string() + "\n";
#endif

// ---- The dialog's rules applied to codes from the command line ----

struct FrameCase {
    std::vector<std::string> codes;
    std::string selection;
    bool accepted;
    std::string message;
};

TEST(FrameSelection, PicksEveryEntryWhoseCodeMatchesAndBuildsTheSelectionAsTheDialogDoes) {
    // Raw codes as the frame list holds them: a leading blank, a long code, a code listed twice.
    const std::vector<std::string> entries = {"JOR1", " JOR2", "JORNADA-LARGA", "JOR1", "ext"};
    const std::vector<FrameCase> cases = {
        {{"JOR1"}, "JOR1      JOR1      ", true, ""},
        {{" JOR2 "}, " JOR2     ", true, ""},
        {{"JORNADA-LARGA", "ext"}, "JORNADA-LAext       ", true, ""},
        {{"EXT"}, "", false, messages::kNoFrame}, // letter case counts
        {{}, "", false, messages::kNoFrame},
        {{"JOR1", "JOR2", "JORNADA-LARGA", "ext"},
         "JOR1       JOR2     JORNADA-LAJOR1      ext       ",
         true,
         ""},
    };
    for (const auto& c : cases) {
        const FrameChoice choice = selectFrames(entries, c.codes);
        EXPECT_EQ(choice.selection, c.selection) << ::testing::PrintToString(c.codes);
        EXPECT_EQ(choice.accepted, c.accepted) << ::testing::PrintToString(c.codes);
        EXPECT_EQ(choice.frameCount, 5);
        EXPECT_EQ(frameChoiceMessage(choice), c.message);
    }
}

TEST(FrameSelection, MoreThanFiveSelectedIsRefusedWithTheDialogsTwoLineMessage) {
    const std::vector<std::string> entries(6, "M");
    const FrameChoice choice = selectFrames(entries, {"M"});
    EXPECT_FALSE(choice.accepted);
    EXPECT_EQ(choice.selection.size(), 60u);
    EXPECT_EQ(frameChoiceMessage(choice),
              "Demasiados Marcos Horarios seleccionados.\r\nComo máximo puede seleccionar 5 Marcos Horarios");
}

TEST(FrameSelection, CodeListsAreSplitAtCommasTrimmedAndConvertedToAnsi) {
    EXPECT_EQ(splitCodes(" JOR1, JOR2 ,,MAÑANA"), (std::vector<std::string>{"JOR1", "JOR2",
                                                                            "MA\xD1"
                                                                            "ANA"}));
    EXPECT_TRUE(splitCodes("").empty());
}

// ---- The subcommand, run in this process ----

// The first line of `text` that starts with `start`.
std::string lineOf(const std::string& text, const std::string& start) {
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);)
        if (line.rfind(start, 0) == 0)
            return line;
    return "";
}

using Outcome = CommandOutcome;

class ExportCommandTest : public ::testing::Test {
  protected:
    void SetUp() override {
        work = root.path() / "VTEMP";
        fs::create_directory(work);
        std::ofstream(work / "SOLUC.DBF") << "tabla de Velmora";
    }

    Outcome exportWith(std::vector<std::string> args, bool interactive = false,
                       const std::string& typed = "") {
        return runInEnvironment(
            [&](CommandEnvironment& environment) { return runExportCommand(args, environment); }, interactive,
            typed);
    }

    std::vector<std::string> withWorkdir(std::vector<std::string> args) const {
        args.push_back("--workdir");
        args.push_back(work.string());
        return args;
    }

    std::size_t records(const std::string& table) const {
        return dbf::Table::open(work / table, dbf::OpenMode::Shared).recordCount();
    }

    std::set<std::string> names() const {
        std::set<std::string> found;
        for (const auto& entry : fs::directory_iterator(work))
            found.insert(entry.path().filename().string());
        return found;
    }

    ScratchFolder root;
    fs::path work;
};

TEST_F(ExportCommandTest, SampleSchoolWithOneChosenFrameWritesTheTablesAndListsThem) {
    const auto result = exportWith(withWorkdir({kSample.string(), "--frames", "JOR1"}));
    ASSERT_EQ(result.status, 0) << result.out << result.err;
    EXPECT_EQ(result.out.rfind("Proceso finalizado\n", 0), 0u) << result.out;
    EXPECT_EQ(lineOf(result.out, "  PROFT.DBF "), "  PROFT.DBF           40 registros");
    EXPECT_EQ(lineOf(result.out, "  DIASHORAST.DBF "), "  DIASHORAST.DBF      49 registros");
    EXPECT_NE(result.out.find("DIASHORAST2.MDX"), std::string::npos) << result.out;
    EXPECT_EQ(result.out.find("registros leídos"), std::string::npos) << "progress only on a terminal";
    EXPECT_TRUE(result.err.empty()) << result.err;
    EXPECT_EQ(records("DIASHORAST2.DBF"), 7u);
    EXPECT_EQ(testing::readColumn(work / "PERIODOS.DBF", "CJORNADA"), std::vector<std::string>{"JOR1"});
}

TEST_F(ExportCommandTest, TwoChosenFramesGiveTheirSlotsOnAlternateDays) {
    const auto result = exportWith(withWorkdir({kSample.string(), "--frames=JOR2, JOR1"}));
    ASSERT_EQ(result.status, 0) << result.out << result.err;
    EXPECT_EQ(records("DIASHORAST2.DBF"), 14u);
    EXPECT_EQ(records("DIASHORAST.DBF"), 14u);
    // The first chosen frame is the first in the list, whatever the order on the command line.
    EXPECT_EQ(testing::readColumn(work / "PERIODOS.DBF", "CJORNADA"), std::vector<std::string>{"JOR1"});
}

// Every stop leaves the working folder as it was and ends with status 1.
struct CommandStop {
    const char* name;
    std::vector<std::string> args; // the working folder is added
    bool interactive;
    const char* typed;
    const char* out; // part of standard output
    const char* err; // part of standard error
};

void PrintTo(const CommandStop& stop, std::ostream* os) {
    *os << stop.name;
}

class ExportCommandStops : public ExportCommandTest, public ::testing::WithParamInterface<CommandStop> {};

TEST_P(ExportCommandStops, EndWithStatusOneAndTouchNothing) {
    const auto& stop = GetParam();
    const auto before = names();
    const auto result = exportWith(withWorkdir(stop.args), stop.interactive, stop.typed);
    EXPECT_EQ(result.status, 1) << result.out << result.err;
    EXPECT_NE(result.out.find(stop.out), std::string::npos) << result.out;
    EXPECT_NE(result.err.find(stop.err), std::string::npos) << result.err;
    EXPECT_EQ(names(), before);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ExportCommandStops,
    ::testing::Values(CommandStop{"FramesSelectNothing",
                                  {kSample.string(), "--frames", ","},
                                  false,
                                  "",
                                  "",
                                  "pontrel-cli: Debe al menos seleccionar 1 Marco Horario.\n"},
                      CommandStop{"FrameCodeUnknown",
                                  {kSample.string(), "--frames", "JOR9"},
                                  false,
                                  "",
                                  "",
                                  "pontrel-cli: Ningún marco horario del documento tiene el "
                                  "código «JOR9». Marcos horarios del documento: JOR1 "
                                  "(Jornada de mañana ESO y Bachillerato), JOR2 (Jornada de "
                                  "tarde Formación Profesional)."},
                      CommandStop{"SeveralFramesAndNoTerminal",
                                  {kSample.string()},
                                  false,
                                  "",
                                  "",
                                  "marcos horarios (JOR1, JOR2). Indique con --frames"},
                      CommandStop{"TerminalGivesNoAnswer",
                                  {kSample.string()},
                                  true,
                                  "",
                                  "Marcos horarios del documento:",
                                  "No se ha elegido ningún marco horario"},
                      CommandStop{"DocumentMissing",
                                  {(kExportData / "no_such.xml").string()},
                                  false,
                                  "",
                                  "",
                                  "pontrel-cli: No existe archivo: "},
                      CommandStop{"LevelTableMissing",
                                  {(kExportData / "run_small.xml").string(), "--level-table",
                                   (kExportData / "NADA.DBF").string()},
                                  false,
                                  "",
                                  "",
                                  "pontrel-cli: ATENCIÓN - NIVELCAN.DBF No encontrado - Reinstale "
                                  "PONTREL\n"},
                      CommandStop{"CourseKeyNotAWholeNumber",
                                  {(kExportData / "run_bad_course_key.xml").string()},
                                  false,
                                  "",
                                  "",
                                  "«30A»"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ExportCommandTest, TerminalListsTheFramesAsksAgainAfterARefusedChoiceAndShowsProgress) {
    const auto result = exportWith({kSample.string(), "--workdir", work.string()}, true, ",\njor2\nJOR2\n");
    ASSERT_EQ(result.status, 0) << result.out << result.err;
    EXPECT_NE(result.out.find("  JOR2  Jornada de tarde Formación Profesional  15/09/2025 - 19/06/2026"),
              std::string::npos)
        << result.out;
    // No code, then a code in the wrong letter case: each refused with its reason, and asked again.
    EXPECT_EQ(result.err,
              "pontrel-cli: Debe al menos seleccionar 1 Marco Horario.\n"
              "pontrel-cli: Ningún marco horario del documento tiene el código «jor2». Marcos "
              "horarios del documento: JOR1 (Jornada de mañana ESO y Bachillerato), JOR2 (Jornada "
              "de tarde Formación Profesional).\n");
    EXPECT_EQ(result.out.find("Proceso finalizado"), result.out.rfind("Proceso finalizado"));
    EXPECT_NE(result.out.find("Materias: 94 registros leídos -> ASIGNOMT, ASIGNOMT2"), std::string::npos)
        << result.out;
    // The question comes at the frames step: after the six steps before it, before the frames step's line.
    EXPECT_LT(result.out.find("Asignaciones de materias: 94 registros leídos"),
              result.out.find("Marcos horarios del documento:"))
        << result.out;
    EXPECT_LT(result.out.find("Códigos de los marcos"), result.out.find("Marcos y tramos horarios: "))
        << result.out;
    EXPECT_EQ(testing::readColumn(work / "PERIODOS.DBF", "CJORNADA"), std::vector<std::string>{"JOR2"});
}

// A frame choice that the command line cannot make stops the run at its frames step. The run's own
// checks come first, with their own messages: a document that a step before it refuses (course key
// "30A") stops there, and its frames are never asked for. Whichever stop it is, a working folder that
// holds an earlier set of tables comes out byte for byte as it was.
TEST_F(ExportCommandTest, AFrameChoiceTheCommandLineCannotMakeStopsAtTheFramesStepAndTouchesNothing) {
    fs::remove(work / "SOLUC.DBF"); // the earlier set brings Velmora's own
    testing::fillWithEarlierSet(work);
    const std::vector<testing::YedraFields> sixFrames = {{"A", "Mañana"}, {"B", "Tarde"}, {"A"},
                                                         {"B"},           {"A"},          {"B"}};
    const fs::path sixFramesDocument =
        testing::writeYedraDocument(root.path(), {{"JORNADAS_ESCOLARES", sixFrames}}, "seis_marcos.xml");
    const fs::path refusedCourse = testing::writeYedraDocument(
        root.path(), {{"JORNADAS_ESCOLARES", sixFrames}, {"CURSOS_DEL_CENTRO", {{"30A", "1º E.S.O."}}}},
        "curso_30A.xml");
    struct Case {
        const char* name;
        std::vector<std::string> args;
        bool interactive;
        std::string out, err; // parts of standard output and standard error
        std::string absent;   // in neither
    };
    const std::vector<Case> cases = {
        {"unknown code, on a terminal",
         {kSample.string(), "--frames", "JOR9"},
         true,
         "Asignaciones de materias: 94 registros leídos -> ASIGT",
         "«JOR9»",
         "Marcos y tramos horarios: "},
        {"codes selecting six frames",
         {sixFramesDocument.string(), "--frames", "A,B"},
         false,
         "",
         "pontrel-cli: Demasiados Marcos Horarios seleccionados.\nComo máximo puede seleccionar 5 Marcos "
         "Horarios\n",
         "Proceso finalizado"},
        {"no codes and no terminal",
         {sixFramesDocument.string()},
         false,
         "",
         "6 marcos horarios (A, B, A, B, A, B)",
         "Proceso finalizado"},
        {"a step before the frames refuses the document",
         {refusedCourse.string(), "--frames", "JOR9"},
         false,
         "",
         "«30A»",
         "JOR9"},
        {"document missing",
         {(kExportData / "no_such.xml").string(), "--frames", "JOR9"},
         false,
         "",
         kMissingDocumentLine,
         "JOR9"},
        {"level table missing",
         {kSample.string(), "--frames", "JOR9", "--level-table", (kExportData / "NADA.DBF").string()},
         false,
         "",
         "ATENCIÓN - NIVELCAN.DBF No encontrado - Reinstale PONTREL\n",
         "JOR9"},
    };
    const auto before = testing::folderContents(work);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto result = exportWith(withWorkdir(c.args), c.interactive);
        EXPECT_EQ(result.status, 1);
        EXPECT_NE(result.out.find(c.out), std::string::npos) << result.out;
        EXPECT_NE(result.err.find(c.err), std::string::npos) << result.err;
        EXPECT_EQ((result.out + result.err).find(c.absent), std::string::npos) << result.out << result.err;
        EXPECT_EQ(testing::folderContents(work), before);
    }
}

TEST_F(ExportCommandTest, UsageErrorsEndWithStatusTwo) {
    const std::vector<std::vector<std::string>> cases = {
        {},
        {"a.xml", "b.xml"},
        {"a.xml", "--workdir"},
        {"a.xml", "--bogus", "x"},
        {"a.xml", "--frames", "A", "--frames", "B"},
        {"a.xml", "--workdir="},
    };
    for (const auto& args : cases) {
        const auto result = exportWith(args);
        EXPECT_EQ(result.status, 2) << ::testing::PrintToString(args);
        EXPECT_EQ(result.err.rfind("pontrel-cli: ", 0), 0u) << result.err;
        EXPECT_NE(result.err.find("Uso: pontrel-cli export"), std::string::npos) << result.err;
        EXPECT_EQ(result.out, "");
    }
    EXPECT_EQ(names(), std::set<std::string>{"SOLUC.DBF"});
}

TEST_F(ExportCommandTest, StartPutsRightAReplacementThatAKilledRunLeftAndSaysSo) {
    // A replacement killed after its journal confirmed the new set: only the backup is left to drop.
    fs::create_directory(work / kBackupFolderName);
    std::ofstream(work / kBackupFolderName / "PROFT.DBF") << "tabla anterior";
    std::ofstream(work / kJournalFileName) << "PONTREL DIARIO 1\nESTADO CONFIRMADO\nANTERIOR PROFT.DBF\n";

    const auto result = exportWith(withWorkdir({(kExportData / "no_such.xml").string()}));
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.out.find("Pontrel ha terminado de sustituir las tablas de trabajo"), 0u)
        << result.out << result.err;
    EXPECT_NE(result.err.find("No existe archivo"), std::string::npos) << result.err;
    EXPECT_EQ(names(), std::set<std::string>{"SOLUC.DBF"});
}

TEST_F(ExportCommandTest, FramesGivenForADocumentWithOneFrameOrNoneAreNotUsedAndSaySo) {
    const fs::path small = kExportData / "run_small.xml";
    const auto used = exportWith(withWorkdir({small.string(), "--frames", "JOR7"}));
    ASSERT_EQ(used.status, 0) << used.err;
    EXPECT_EQ(used.err, "pontrel-cli: aviso: el documento tiene un solo marco horario, JOR1 (Jornada de "
                        "mañana), que se toma sin elegir; no se ha usado --frames.\n");
    EXPECT_EQ(testing::readColumn(work / "PERIODOS.DBF", "CJORNADA"), std::vector<std::string>{"JOR1"});

    const auto quiet = exportWith(withWorkdir({small.string()}));
    ASSERT_EQ(quiet.status, 0) << quiet.err;
    EXPECT_EQ(quiet.err, "") << "no warning when --frames is not given";

    const fs::path noFrames =
        testing::writeYedraDocument(root.path(), {{"JORNADAS_ESCOLARES", {}}}, "sin_marcos.xml");
    const auto none = exportWith(withWorkdir({noFrames.string(), "--frames", "JOR1"}));
    EXPECT_NE(none.err.find(
                  "pontrel-cli: aviso: el documento no tiene marcos horarios; no se ha usado --frames.\n"),
              std::string::npos)
        << none.err;
}

TEST_F(ExportCommandTest, UnknownCodesStopEvenBesideKnownOnesAndOnlyTheUnknownAreNamed) {
    const auto before = names();
    const auto result = exportWith(withWorkdir({kSample.string(), "--frames", "JOR1,JOR8, jor2"}));
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.err.find("tiene los códigos «JOR8», «jor2». Marcos horarios del documento: JOR1 "),
              std::string::npos)
        << result.err;
    EXPECT_EQ(result.err.find("«JOR1»"), std::string::npos) << result.err;
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(names(), before);
}

// Another export into the same folder can finish between this run's end and its report: the report
// still gives what this run wrote (the sample's 40 teachers, not the small school's one).
TEST_F(ExportCommandTest, TheClosingListIsWhatThisRunWroteEvenWhenAnotherRunFollowsAtOnce) {
    std::istringstream in;
    std::ostringstream out, err, otherOut, otherErr;
    CommandEnvironment environment{in, out, err, false, PONTREL_BIN_DIR};
    const auto status =
        runExportCommand(withWorkdir({kSample.string(), "--frames", "JOR1"}), environment, [&] {
            CommandEnvironment other{in, otherOut, otherErr, false, PONTREL_BIN_DIR};
            ASSERT_EQ(runExportCommand(withWorkdir({(kExportData / "run_small.xml").string()}), other), 0)
                << otherErr.str();
        });
    ASSERT_EQ(status, 0) << err.str();
    ASSERT_EQ(records("PROFT.DBF"), 1u) << "the second run replaced the tables";
    EXPECT_EQ(lineOf(out.str(), "  PROFT.DBF "), "  PROFT.DBF           40 registros") << out.str();
    EXPECT_EQ(lineOf(out.str(), "  DIASHORAST.DBF "), "  DIASHORAST.DBF      49 registros") << out.str();
}

// ---- Two processes at once ----

// Two processes through a POSIX shell; under Wine the export stops for a held table instead.
#ifndef _WIN32
std::map<std::string, std::string> tableBytes(const fs::path& folder) {
    std::map<std::string, std::string> bytes;
    for (const auto& entry : fs::directory_iterator(folder))
        bytes[entry.path().filename().string()] = testing::readFile(entry.path());
    return bytes;
}

TEST_F(ExportCommandTest, TwoProcessesExportingIntoOneFolderEndWithOneCompleteSet) {
    const fs::path cli = fs::path(PONTREL_BIN_DIR) / "pontrel-cli";
    ASSERT_TRUE(fs::exists(cli)) << "pontrel-cli is not built: " << cli;
    const fs::path reference = root.path() / "referencia";
    fs::create_directory(reference);
    std::ofstream(reference / "SOLUC.DBF") << "tabla de Velmora";
    const std::string command = cli.string() + " export '" + kSample.string() + "' --frames JOR1 --workdir ";
    ASSERT_EQ(std::system((command + "'" + reference.string() + "' >/dev/null 2>&1").c_str()), 0);

    FILE* first = ::popen((command + "'" + work.string() + "' 2>&1").c_str(), "r");
    FILE* second = ::popen((command + "'" + work.string() + "' 2>&1").c_str(), "r");
    ASSERT_TRUE(first && second);
    const auto finish = [](FILE* process) {
        std::string output;
        char buffer[512];
        while (std::fgets(buffer, sizeof buffer, process))
            output += buffer;
        const int status = ::pclose(process);
        return std::make_pair(WIFEXITED(status) ? WEXITSTATUS(status) : -1, output);
    };
    const auto [firstStatus, firstOutput] = finish(first);
    const auto [secondStatus, secondOutput] = finish(second);
    EXPECT_EQ(firstStatus, 0) << firstOutput;
    EXPECT_EQ(secondStatus, 0) << secondOutput;
    EXPECT_EQ(tableBytes(work), tableBytes(reference));
}
#endif

} // namespace
} // namespace pontrel::cli
