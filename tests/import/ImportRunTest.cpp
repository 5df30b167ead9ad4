// The import run over a small school's working tables: how each way out ends, the teacher-key gate,
// and the document it writes, checked element by element.

#include "import/WorkingTablesFixture.h"
#include "import/XmlProbe.h"
#include "support/ErrorOf.h"
#include "support/ScriptedUserInterface.h"
#ifndef _WIN32
#include "support/ReadOnlyFolder.h"
#endif

#include "dbf/Error.h"
#include "exchange/velmora/TableSetReplacement.h"
#include "exchange/velmora/WorkingFolderLock.h"
#include "import/ImportRun.h"
#include "import/TeacherKeys.h"

#include <gtest/gtest.h>

#include <functional>
#include <optional>

namespace pontrel::importing {
namespace {

namespace fs = std::filesystem;
using testing::ScratchFolder;
using testing::SolucStorage;
using testing::XmlProbe;
using Datos = std::vector<std::pair<std::string, std::string>>;

const std::string kFinished = "Proceso finalizado";
const std::string kThreeLines = "¡Atención! Sigue habiendo algún Profesor sin todos los DATOS.\n\r"
                                "Este proceso se dentendrá y deberá volver a ejecutar\n\r"
                                "la Importación, para poder corregir la incidencia";

Datos activityDatos(const std::vector<std::string>& v) {
    static const std::vector<std::string> names{"N_DIASEMANA",    "X_TRAMO",      "X_DEPENDENCIA", "X_UNIDAD",
                                                "X_OFERTAMATRIG", "X_MATERIAOMG", "F_INICIO",      "F_FIN",
                                                "N_HORINI",       "N_HORFIN",     "X_ACTIVIDAD"};
    Datos out;
    for (std::size_t i = 0; i < names.size(); ++i)
        out.emplace_back(names[i], v.at(i));
    return out;
}

class ImportRunTest : public ::testing::Test {
  protected:
    void SetUp() override {
        document = docs.path() / "exportacion.xml";
        testing::writeFile(document, testing::schoolDocument("2025/2026"));
        session.workingFolder = work.path();
        // ANA: two placed entries with a DIA 0 entry between them; LUIS: DIA 0 only; EVA: one entry
        // whose unit has no assignment; PEPE is no teacher of PROFT.
        school.soluc = {
            {"ANA", "1", "1", "0", "MAT", "1A", "", "A1"}, {"LUIS", "0", "1", "0", "MAT", "1A", "", "A1"},
            {"ANA", "0", "2", "0", "MAT", "1A", "", "A1"}, {"PEPE", "3", "1", "0", "MAT", "1A", "", "A1"},
            {"ANA", "2", "2", "0", "GUA", "1A", "", "A1"}, {"EVA", "5", "2", "0", "MAT", "2A", "", ""}};
    }

    RunOutcome runImport() {
        school.write(work.path());
        ui.documents.push_back(document);
        ImportRun run(session, ui);
        run.setClock([] { return "10/12/2026 11:43:52"; });
        const RunOutcome outcome = run.run();
        summary = run.summary();
        return outcome;
    }

    fs::path output() const { return docs.path() / "ResultadoDastelexportacion.xml"; }

    // Every table the run opens can be opened exclusively again: the run has let go of it.
    void expectTablesReleased() const {
        for (const char* name :
             {"SOLUC.DBF", "GRUPOST.DBF", "CURSOST.DBF", "PROFT.DBF", "AULAT.DBF", "ASIGNOMT.DBF",
              "ASIGNOMT2.DBF", "DIASHORAST.DBF", "ASIGT.DBF", "PERIODOS.DBF"})
            if (fs::exists(work.path() / name)) {
                EXPECT_NO_THROW(dbf::Table::open(work.path() / name, dbf::OpenMode::Exclusive)) << name;
            }
    }

    ScratchFolder work;
    ScratchFolder docs;
    fs::path document;
    testing::SchoolTables school;
    RunSession session;
    testing::ScriptedUserInterface ui;
    ImportSummary summary;
};

TEST_F(ImportRunTest, WritesEveryTeacherWithThePlacedEntriesOfSoluc) {
    ASSERT_EQ(runImport(), RunOutcome::Completed);
    EXPECT_EQ(ui.messages, std::vector<std::string>{kFinished});
    EXPECT_EQ(ui.resultCodes, (std::vector<std::pair<int, std::size_t>>{{1, 0}})) << "1 before the message";
    EXPECT_EQ(ui.teacherDialogs, 0);
    EXPECT_EQ(ui.busyStates, (std::vector<bool>{true, false}));
    EXPECT_EQ(session.documentPath, document);
    expectTablesReleased();

    EXPECT_EQ(summary.output, output());
    EXPECT_EQ(summary.teachers, 3u);
    EXPECT_EQ(summary.entriesWritten, 3u);
    EXPECT_EQ(summary.slotsNotFound, 0u);
    EXPECT_EQ(summary.unitsNotFound, 0u);
    EXPECT_EQ(summary.subjectsNotFound, 1u); // GUA is an activity: no subject key
    EXPECT_EQ(summary.entriesWithoutTeacher, 1u);
    EXPECT_TRUE(summary.task513);

    XmlProbe probe(output());
    const auto block = XmlProbe::elements(probe.root()).at(0);
    EXPECT_EQ(XmlProbe::datos(XmlProbe::groups(block).at(0)), (Datos{{"C_ANNO", "2025"}}));
    const auto timetables = probe.timetables();
    EXPECT_EQ(XmlProbe::attribute(timetables, "registros"), "3");
    const auto teachers = XmlProbe::groups(timetables);
    ASSERT_EQ(teachers.size(), 3u);

    EXPECT_EQ(XmlProbe::attribute(teachers[0], "registros"), "2");
    EXPECT_EQ(XmlProbe::datos(teachers[0]), (Datos{{"X_EMPLEADO", "1001"}, {"F_TOMAPOS", "01/09/2010"}}));
    const auto ana = XmlProbe::groups(teachers[0]);
    ASSERT_EQ(ana.size(), 2u);
    EXPECT_EQ(XmlProbe::attribute(ana[0], "seq"), "ACTIVIDAD_1");
    EXPECT_EQ(XmlProbe::datos(ana[0]), activityDatos({"1", "T1", "A1", "U1A", "11", "101", "15/09/2025",
                                                      "22/06/2026", "510", "565", "513"}));
    EXPECT_EQ(XmlProbe::attribute(ana[1], "seq"), "ACTIVIDAD_2") << "the DIA 0 entry leaves no gap";
    EXPECT_EQ(XmlProbe::datos(ana[1]), activityDatos({"2", "T2", "A1", "U1A", "11", "", "15/09/2025",
                                                      "22/06/2026", "565", "620", "GUA77"}));

    EXPECT_EQ(XmlProbe::attribute(teachers[1], "registros"), "0");
    EXPECT_EQ(XmlProbe::elements(teachers[1]).size(), 2u) << "only X_EMPLEADO and F_TOMAPOS";

    const auto eva = XmlProbe::groups(teachers[2]);
    ASSERT_EQ(eva.size(), 1u);
    EXPECT_EQ(XmlProbe::attribute(eva[0], "seq"), "ACTIVIDAD_1");
    EXPECT_EQ(XmlProbe::datos(eva[0]), activityDatos({"5", "T2", "", "U2A", "12", "102", "15/09/2025",
                                                      "22/06/2026", "565", "620", "513"}));
}

TEST_F(ImportRunTest, SolucStorageTypesGiveTheSameDocument) {
    std::vector<std::string> outputs;
    for (auto storage :
         {SolucStorage::DbaseIIINumeric, SolucStorage::DbaseIIIText, SolucStorage::Level7Integer}) {
        for (const auto& entry : fs::directory_iterator(work.path()))
            fs::remove(entry.path());
        school.solucStorage = storage;
        ASSERT_EQ(runImport(), RunOutcome::Completed);
        outputs.push_back(testing::readFile(output()));
    }
    EXPECT_EQ(outputs[0], outputs[1]);
    EXPECT_EQ(outputs[0], outputs[2]);
}

TEST_F(ImportRunTest, NoDocumentMeansNoRun) {
    struct Case {
        const char* what;
        std::optional<fs::path> chosen;
    };
    for (const bool hostReadsResult : {false, true})
        for (const auto& c : {Case{"cancelled with no earlier document", std::nullopt},
                              Case{"a file that does not exist", docs.path() / "no-existe.xml"},
                              Case{"a folder", docs.path()}}) {
            SCOPED_TRACE(std::string(c.what) + (hostReadsResult ? ", started by Velmora" : ", standalone"));
            RunSession fresh;
            fresh.workingFolder = work.path();
            fresh.hostReadsResult = hostReadsResult;
            testing::ScriptedUserInterface quiet;
            quiet.documents.push_back(c.chosen);
            EXPECT_EQ(ImportRun(fresh, quiet).run(), RunOutcome::DocumentMissing);
            EXPECT_EQ(quiet.messages, std::vector<std::string>{"No existe archivo"});
            EXPECT_TRUE(quiet.busyStates.empty());
            // -1 after the message, and only for Velmora.
            const auto codes = hostReadsResult ? std::vector<std::pair<int, std::size_t>>{{-1, 1}}
                                               : std::vector<std::pair<int, std::size_t>>{};
            EXPECT_EQ(quiet.resultCodes, codes);
        }
}

TEST_F(ImportRunTest, CancelledDialogUsesTheDocumentChosenBefore) {
    session.documentPath = document;
    school.write(work.path());
    ui.documents.push_back(std::nullopt);
    EXPECT_EQ(ImportRun(session, ui).run(), RunOutcome::Completed);
    EXPECT_TRUE(fs::exists(output()));
}

TEST_F(ImportRunTest, MissingPeriodosStopsWithItsMessage) {
    school.withPeriodos = false;
    EXPECT_EQ(runImport(), RunOutcome::Stopped);
    EXPECT_EQ(ui.messages, std::vector<std::string>{
                               "ATENCIÓN - PERIODOS.DBF No encontrado - Importe de nuevo XML de YEDRA."});
    EXPECT_EQ(ui.busyStates, (std::vector<bool>{true, false}));
    EXPECT_FALSE(fs::exists(output()));
    expectTablesReleased();
}

TEST_F(ImportRunTest, DialogCompletesTheMissingKeysOnceAndTheRunGoesOn) {
    school.proft[2]["F_TOMAPOS"] = "";
    bool busyDuringDialog = true;
    ui.onTeacherDialog = [&](const fs::path& proftPath) {
        busyDuringDialog = ui.busyStates.back();
        auto proft = dbf::Table::open(proftPath, dbf::OpenMode::Shared, dbf::Access::ReadWrite);
        storeTeacherKeys(proft, 2, std::nullopt, std::string("01/09/2012"));
    };
    ASSERT_EQ(runImport(), RunOutcome::Completed);
    EXPECT_EQ(ui.teacherDialogs, 1);
    EXPECT_FALSE(busyDuringDialog);
    EXPECT_EQ(ui.busyStates.back(), false);
    EXPECT_TRUE(summary.teacherDialogShown);
    XmlProbe probe(output());
    EXPECT_EQ(XmlProbe::datos(XmlProbe::groups(probe.timetables()).at(2)).at(1),
              (std::pair<std::string, std::string>{"F_TOMAPOS", "01/09/2012"}));
}

TEST_F(ImportRunTest, TeacherStillIncompleteAfterTheDialogStopsTheRun) {
    school.proft[1]["X_EMPLEADO"] = "  ";
    testing::writeFile(output(), "earlier output");
    EXPECT_EQ(runImport(), RunOutcome::TeacherDataMissing);
    EXPECT_EQ(ui.teacherDialogs, 1) << "the dialog is shown once";
    EXPECT_EQ(ui.messages, std::vector<std::string>{kThreeLines});
    EXPECT_EQ(ui.busyStates.back(), false);
    EXPECT_EQ(testing::readFile(output()), "earlier output");
    expectTablesReleased();
}

TEST_F(ImportRunTest, DocumentWithoutAcademicYearStopsBeforeWriting) {
    for (const std::string xml :
         {"<SERVICIO><OTRO/></SERVICIO>", "<SERVICIO><BLOQUE_DATOS>\n  \n</BLOQUE_DATOS></SERVICIO>"}) {
        SCOPED_TRACE(xml);
        testing::writeFile(document, xml);
        ui.busyStates.clear();
        try {
            runImport();
            ADD_FAILURE() << "the run must stop";
        } catch (const Error& e) {
            EXPECT_NE(std::string(e.what()).find("BLOQUE_DATOS"), std::string::npos) << e.what();
        }
        EXPECT_EQ(ui.busyStates, (std::vector<bool>{true, false}));
        EXPECT_FALSE(fs::exists(output()));
        expectTablesReleased();
        for (const auto& entry : fs::directory_iterator(work.path()))
            fs::remove(entry.path());
    }
}

TEST_F(ImportRunTest, DayThatIsNotANumberStopsAndKeepsTheEarlierOutput) {
    school.solucStorage = SolucStorage::DbaseIIIText;
    school.soluc[4].dia = "x";
    testing::writeFile(output(), "earlier output");
    try {
        runImport();
        ADD_FAILURE() << "the run must stop";
    } catch (const Error& e) {
        EXPECT_NE(std::string(e.what()).find("registro 5"), std::string::npos) << e.what();
    }
    EXPECT_EQ(testing::readFile(output()), "earlier output");
    EXPECT_EQ(ui.busyStates.back(), false);
    expectTablesReleased();
}

TEST_F(ImportRunTest, MissingWorkingTableIsNamed) {
    school.write(work.path());
    fs::remove(work.path() / "ASIGT.DBF");
    ui.documents.push_back(document);
    try {
        ImportRun(session, ui).run();
        ADD_FAILURE() << "the run must stop";
    } catch (const Error& e) {
        EXPECT_NE(std::string(e.what()).find("ASIGT.DBF"), std::string::npos) << e.what();
    }
    EXPECT_EQ(ui.busyStates, (std::vector<bool>{true, false}));
    expectTablesReleased();
}

// The tables and the document are read at the same time, but the run stops as when one came after the
// other: on the tables' fault first, and with the tables' notes said before the document's fault.
TEST_F(ImportRunTest, TablesAreJudgedBeforeTheDocument) {
    testing::writeFile(document, "<SERVICIO><BLOQUE_DATOS>"); // never closed
    school.write(work.path());
    fs::remove(work.path() / "ASIGT.DBF");
    ui.documents.push_back(document);
    try {
        ImportRun(session, ui).run();
        ADD_FAILURE() << "the run must stop";
    } catch (const Error& e) {
        EXPECT_NE(std::string(e.what()).find("ASIGT.DBF"), std::string::npos) << e.what();
    }
    EXPECT_TRUE(ui.messages.empty());
    expectTablesReleased();

    // With every table there, the note about SOLUC's header comes first, then the document's fault.
    for (const auto& entry : fs::directory_iterator(work.path()))
        fs::remove(entry.path());
    school.write(work.path());
    std::string soluc = testing::readFile(work.path() / "SOLUC.DBF");
    testing::putLe32(soluc, 4, 2);
    testing::writeFile(work.path() / "SOLUC.DBF", soluc);
    ui.documents.push_back(document);
    try {
        ImportRun(session, ui).run();
        ADD_FAILURE() << "the run must stop";
    } catch (const Error& e) {
        EXPECT_NE(std::string(e.what()).find("exportacion.xml"), std::string::npos) << e.what();
    }
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_NE(ui.messages[0].find("SOLUC.DBF» guarda 6 registros"), std::string::npos) << ui.messages[0];
    EXPECT_FALSE(fs::exists(output()));
    expectTablesReleased();
}

// An export killed half way through its replacement: PROFT moved aside, the new one not yet in place.
// The import itself puts the old set back before it reads a table, and says so.
TEST_F(ImportRunTest, PutsBackATableSetThatAKilledExportLeftHalfReplaced) {
    school.write(work.path());
    const fs::path folder = work.path();
    fs::create_directory(folder / kBackupFolderName);
    fs::create_directory(folder / kStagingFolderName);
    fs::rename(folder / "PROFT.DBF", folder / kBackupFolderName / "PROFT.DBF");
    testing::writeFile(folder / kStagingFolderName / "PROFT.DBF", "a half-made table");
    testing::writeFile(folder / kJournalFileName,
                       "PONTREL DIARIO 1\nESTADO REEMPLAZANDO\nANTERIOR PROFT.DBF\nNUEVO PROFT.DBF\n");

    ui.documents.push_back(document);
    ImportRun run(session, ui);
    run.setClock([] { return "10/12/2026 11:43:52"; });
    ASSERT_EQ(run.run(), RunOutcome::Completed);
    ASSERT_EQ(ui.messages.size(), 2u);
    EXPECT_NE(ui.messages[0].find("ha deshecho la sustitución"), std::string::npos) << ui.messages[0];
    EXPECT_EQ(ui.messages[1], kFinished);
    EXPECT_EQ(run.summary().teachers, 3u) << "the old PROFT was read";
    for (const char* leftover : {kBackupFolderName, kStagingFolderName, kJournalFileName, kLockFileName})
        EXPECT_FALSE(fs::exists(folder / leftover)) << leftover;
}

// Another Pontrel run holds the working folder: the import waits for it, then stops before it opens
// a table, and writes nothing.
TEST_F(ImportRunTest, StopsWhileAnotherRunHoldsTheWorkingFolder) {
    school.write(work.path());
    WorkingFolderLock other(work.path(), std::chrono::milliseconds(0));
    ui.documents.push_back(document);
    ImportRun run(session, ui);
    run.setLockWait(std::chrono::milliseconds(100));
    try {
        run.run();
        ADD_FAILURE() << "the run must stop";
    } catch (const Error& e) {
        EXPECT_NE(std::string(e.what()).find("Otra ejecución de Pontrel"), std::string::npos) << e.what();
    }
    EXPECT_FALSE(fs::exists(output()));
    EXPECT_EQ(ui.busyStates, (std::vector<bool>{true, false}));
}

#ifndef _WIN32
// A working folder the run cannot write (a read-only disk, a folder without permission) is read all the
// same, without the lock, which the summary says; the run stops only where it would write there: the
// teacher keys into PROFT, or putting right a replacement that a killed export left half done.
TEST_F(ImportRunTest, ReadOnlyWorkingFolderIsReadAndOnlyWritingStops) {
    struct Case {
        const char* name;
        std::function<void(testing::SchoolTables&, const fs::path&)> prepare;
        std::optional<RunOutcome> outcome; // nullopt: an error escapes
        const char* said;                  // in the message or the error
    };
    const std::vector<Case> cases{
        {"every key there", [](testing::SchoolTables&, const fs::path&) {}, RunOutcome::Completed,
         "Proceso finalizado"},
        {"a key missing", [](testing::SchoolTables& s, const fs::path&) { s.proft[1]["X_EMPLEADO"] = ""; },
         RunOutcome::Stopped, "no se pueden guardar"},
        {"a replacement left half done",
         [](testing::SchoolTables&, const fs::path& folder) {
             testing::writeFile(
                 folder / kJournalFileName,
                 "PONTREL DIARIO 1\nESTADO REEMPLAZANDO\nANTERIOR PROFT.DBF\nNUEVO PROFT.DBF\n");
         },
         std::nullopt, "sustitución de tablas interrumpida"},
        // The new set was complete and only the clean-up was cut short: the tables are whole.
        {"a replacement completed but not cleaned up",
         [](testing::SchoolTables&, const fs::path& folder) {
             testing::writeFile(folder / kJournalFileName,
                                "PONTREL DIARIO 1\nESTADO CONFIRMADO\nANTERIOR PROFT.DBF\nNUEVO PROFT.DBF\n");
         },
         RunOutcome::Completed, "Proceso finalizado"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScratchFolder folder;
        testing::SchoolTables tables;
        tables.soluc = school.soluc;
        c.prepare(tables, folder.path());
        tables.write(folder.path());
        fs::remove(output());
        testing::ReadOnlyFolder readOnly(folder.path());
        if (!readOnly.made())
            GTEST_SKIP() << "this machine lets no folder be made read-only: " << readOnly.why();

        RunSession readOnlySession;
        readOnlySession.workingFolder = folder.path();
        testing::ScriptedUserInterface fresh;
        fresh.documents.push_back(document);
        ImportRun run(readOnlySession, fresh);
        run.setClock([] { return "10/12/2026 11:43:52"; });
        std::string said;
        std::optional<RunOutcome> outcome;
        try {
            outcome = run.run();
            said = fresh.messages.empty() ? "" : fresh.messages.back();
        } catch (const Error& e) {
            said = e.what();
        }
        EXPECT_EQ(outcome, c.outcome);
        EXPECT_NE(said.find(c.said), std::string::npos) << said;
        EXPECT_EQ(fresh.teacherDialogs, 0) << "no dialog for keys that could not be stored";
        EXPECT_EQ(fs::exists(output()), c.outcome == RunOutcome::Completed);
        if (c.outcome == RunOutcome::Completed) {
            ASSERT_TRUE(run.summary().folderNotLocked.has_value());
            EXPECT_EQ(run.summary().teachers, 3u);
        }
    }
}
#endif

// Every way out lets go of the tables and the busy cursor before its message appears; a completed run
// has saved the document by then.
TEST_F(ImportRunTest, EachWayOutReleasesTablesAndCursorBeforeItsMessage) {
    struct RecordingUserInterface : testing::ScriptedUserInterface {
        std::function<std::string()> state;
        std::vector<std::string> events;
        void setBusy(bool busy) override {
            ScriptedUserInterface::setBusy(busy);
            events.push_back(busy ? "busy" : "normal");
        }
        void showMessage(const std::string& text) override {
            ScriptedUserInterface::showMessage(text);
            events.push_back("message, " + state());
        }
        void setResultCode(int code) override {
            ScriptedUserInterface::setResultCode(code);
            events.push_back("result " + std::to_string(code) + ", " + state());
        }
    };
    struct Case {
        const char* what;
        std::function<void(testing::SchoolTables&)> setUp;
        RunOutcome outcome;
        std::vector<std::string> events;
    };
    const std::vector<Case> cases{
        {"completed",
         [](testing::SchoolTables&) {},
         RunOutcome::Completed,
         {"busy", "normal", "result 1, tables released, output written",
          "message, tables released, output written"}},
        {"PERIODOS missing",
         [](testing::SchoolTables& s) { s.withPeriodos = false; },
         RunOutcome::Stopped,
         {"busy", "normal", "message, tables released, no output"}},
        {"teacher still incomplete",
         [](testing::SchoolTables& s) { s.proft[0]["F_TOMAPOS"] = ""; },
         RunOutcome::TeacherDataMissing,
         {"busy", "normal", "busy", "normal", "message, tables released, no output"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        for (const auto& entry : fs::directory_iterator(work.path()))
            fs::remove(entry.path());
        fs::remove(output());
        testing::SchoolTables tables = school;
        c.setUp(tables);
        tables.write(work.path());
        session.hostReadsResult = true;
        RecordingUserInterface recording;
        recording.state = [&] {
            bool released = true;
            for (const auto& entry : fs::directory_iterator(work.path())) {
                try {
                    dbf::Table::open(entry.path(), dbf::OpenMode::Exclusive);
                } catch (const Error&) {
                    released = false;
                }
            }
            return std::string(released ? "tables released" : "tables held") +
                   (fs::exists(output()) ? ", output written" : ", no output");
        };
        recording.documents.push_back(document);
        ImportRun run(session, recording);
        EXPECT_EQ(run.run(), c.outcome);
        EXPECT_EQ(recording.events, c.events);
    }
}

TEST_F(ImportRunTest, TableNamesInAnyLetterCase) {
    school.write(work.path());
    fs::rename(work.path() / "SOLUC.DBF", work.path() / "soluc.dbf");
    fs::rename(work.path() / "PROFT.DBF", work.path() / "Proft.DBF");
    fs::rename(work.path() / "PERIODOS.DBF", work.path() / "periodos.dbf");
    ui.documents.push_back(document);
    EXPECT_EQ(ImportRun(session, ui).run(), RunOutcome::Completed);
    XmlProbe probe(output());
    EXPECT_EQ(XmlProbe::groups(XmlProbe::groups(probe.timetables()).at(0)).size(), 2u);
}

} // namespace
} // namespace pontrel::importing

namespace pontrel::importing {
namespace {

// A control character in a value that goes into the document: the run stops naming the table, the
// record and the field, and writes nothing. Written raw it would leave a document no reader takes;
// cut at (a NUL) or dropped it would send another key than the table holds.
TEST_F(ImportRunTest, AControlCharacterInAWrittenValueStopsTheRunNamingWhereItIs) {
    const testing::SchoolTables sound = school;
    const struct {
        const char* what;
        std::function<void(testing::SchoolTables&)> damage;
        std::vector<std::string> named; // what the message must name
    } cases[] = {
        {"SOLUC AULA with 0x01",
         [](auto& s) { s.soluc[0].aula = "A\x01"; },
         {"SOLUC.DBF", "registro 1", "campo AULA", "0x01", "«A?»"}},
        {"SOLUC TAREA with a NUL inside",
         [](auto& s) { s.soluc[4].tarea = std::string("GU\0A", 4); },
         {"SOLUC.DBF", "registro 5", "campo TAREA", "carácter nulo 0x00 (posición 3)"}},
        {"PROFT X_EMPLEADO with an escape",
         [](auto& s) {
             s.proft[2]["X_EMPLEADO"] = "10\x1B"
                                        "03";
         },
         {"PROFT.DBF", "registro 3", "campo X_EMPLEADO", "0x1B"}},
        {"GRUPOST CLAVE with 0x1F",
         [](auto& s) { s.grupost[1]["CLAVE"] = "U2\x1F"; },
         {"GRUPOST.DBF", "registro 2", "campo CLAVE", "0x1F"}},
        {"PERIODOS FECINI with a form feed",
         [](auto& s) { s.periodos[0]["FECINI"] = "15/09\f2025"; },
         {"PERIODOS.DBF", "registro 1", "campo FECINI", "0x0C"}},
        {"DIASHORAST CODDIHO with 0x02",
         [](auto& s) { s.diashorast[0]["CODDIHO"] = "T\x02"; },
         {"DIASHORAST.DBF", "registro 1", "campo CODDIHO", "0x02"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        for (const auto& entry : fs::directory_iterator(work.path()))
            fs::remove(entry.path());
        school = sound;
        c.damage(school);
        const std::string message = testing::errorOf([&] { runImport(); });
        for (const auto& part : c.named)
            EXPECT_NE(message.find(part), std::string::npos) << part << " in: " << message;
        EXPECT_FALSE(fs::exists(output()));
        expectTablesReleased();
    }
    // Tab, line feed and carriage return are text XML holds: written, and read back as they were.
    for (const auto& entry : fs::directory_iterator(work.path()))
        fs::remove(entry.path());
    school = sound;
    school.soluc[0].aula = "A\t1";
    ASSERT_EQ(runImport(), RunOutcome::Completed);
    XmlProbe probe(output());
    const auto ana = XmlProbe::groups(XmlProbe::groups(probe.timetables()).at(0));
    EXPECT_EQ(XmlProbe::datos(ana.at(0)).at(2),
              (std::pair<std::string, std::string>{"X_DEPENDENCIA", "A\t1"}));
}

// A table that holds more records than its header counts (another engine updated the count lazily, or
// stopped half-way through an append) is read whole, and the run says so.
TEST_F(ImportRunTest, RecordsPastAHeaderCountAreReadAndReported) {
    ASSERT_EQ(runImport(), RunOutcome::Completed);
    const std::string complete = testing::readFile(output());
    const ImportSummary sound = summary;

    // The header of SOLUC counts 2 of its 6 records, that of PROFT 1 of its 3.
    for (const auto& [table, counted] :
         {std::pair<const char*, unsigned>{"SOLUC.DBF", 2}, {"PROFT.DBF", 1}}) {
        std::string bytes = testing::readFile(work.path() / table);
        testing::putLe32(bytes, 4, counted);
        testing::writeFile(work.path() / table, bytes);
    }
    ui.messages.clear();
    ui.documents.push_back(document);
    ImportRun run(session, ui);
    run.setClock([] { return "10/12/2026 11:43:52"; });
    ASSERT_EQ(run.run(), RunOutcome::Completed);
    EXPECT_EQ(testing::readFile(output()), complete) << "the same document as with sound headers";
    EXPECT_EQ(run.summary().entriesWritten, sound.entriesWritten);
    EXPECT_EQ(run.summary().teachers, sound.teachers);
    ASSERT_EQ(run.summary().uncountedRecords.size(), 2u);
    EXPECT_EQ(run.summary().uncountedRecords[0].table, work.path() / "SOLUC.DBF");
    EXPECT_EQ(run.summary().uncountedRecords[0].headerCount, 2u);
    EXPECT_EQ(run.summary().uncountedRecords[0].recordsRead, 6u);
    EXPECT_EQ(run.summary().uncountedRecords[1].table, work.path() / "PROFT.DBF");
    ASSERT_EQ(ui.messages.size(), 3u);
    EXPECT_NE(ui.messages[0].find("SOLUC.DBF» guarda 6 registros, pero su cabecera solo cuenta 2"),
              std::string::npos)
        << ui.messages[0];
    EXPECT_NE(ui.messages[1].find("PROFT.DBF» guarda 3 registros"), std::string::npos) << ui.messages[1];
    EXPECT_EQ(ui.messages[2], kFinished);
}

} // namespace
} // namespace pontrel::importing
