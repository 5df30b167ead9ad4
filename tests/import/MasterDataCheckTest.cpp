// The import's check of the keys it sends against the master data of the document it writes into:
// each kind of key on its own, and a whole export, timetable and import with a document from which a
// teacher and a room were removed after the export, with and without --strict.

#include "import/WorkingTablesFixture.h"
#include "support/ScriptedUserInterface.h"
#include "support/SmallSchool.h"

#include "exchange/yedra/YedraDocument.h"
#include "export/ExportRun.h"
#include "import/ImportRun.h"
#include "import/MasterDataCheck.h"
#include "import/TimetableDocumentWriter.h"

#include <gtest/gtest.h>

namespace pontrel::importing {

// Readable failures: the kind and its values.
void PrintTo(const MissingKeys& m, std::ostream* os) {
    *os << m.kind << ": " << ::testing::PrintToString(m.values);
}

namespace {

namespace fs = std::filesystem;

TEST(MasterDataCheck, EachKindIsSoughtInItsOwnGroup) {
    testing::ScratchFolder folder;
    const auto document =
        YedraDocument::load(testing::writeYedraDocument(folder.path(), testing::smallSchool()));
    MasterDataCheck check(document);

    // One entry whose every key is in the document, then one whose every key is not; the offer of a
    // course (CURSOS_DEL_CENTRO) counts like that of an assignment.
    ActivityValues known;
    known.X_DEPENDENCIA = "LAB";
    known.X_UNIDAD = "57";
    known.X_OFERTAMATRIG = "3013";
    known.X_MATERIAOMG = "102";
    known.X_ACTIVIDAD = "G01";
    known.X_TRAMO = "T2";
    check.activitySent(known);
    check.teacherSent("1003", "01/09/2012");
    EXPECT_TRUE(check.missing().empty());

    ActivityValues unknown;
    unknown.X_DEPENDENCIA = "lab"; // letter case counts
    unknown.X_UNIDAD = "3012";     // an offer key is no unit key
    unknown.X_OFERTAMATRIG = "55";
    unknown.X_MATERIAOMG = "3012";
    unknown.X_ACTIVIDAD = "513";
    unknown.X_TRAMO = "T3";
    check.activitySent(unknown);
    check.activitySent(unknown);          // each key once
    check.activitySent(ActivityValues{}); // empty values are no keys
    check.teacherSent("9999", "01/01/2001");
    check.teacherSent("1002", "02/09/2011"); // Yedra knows 1002 from 01/09/2011 only
    check.teacherSent("1001", "01/09/2011"); // 1002's date is not 1001's
    check.teacherSent("", "");

    const std::vector<MissingKeys> expected = {
        {"Profesores (X_EMPLEADO)", {"9999"}},
        {"Tomas de posesión (X_EMPLEADO: F_TOMAPOS)", {"1002: 02/09/2011", "1001: 01/09/2011"}},
        {"Dependencias (X_DEPENDENCIA)", {"lab"}},
        {"Unidades (X_UNIDAD)", {"3012"}},
        {"Ofertas (X_OFERTAMATRIG)", {"55"}},
        {"Materias (X_MATERIAOMG)", {"3012"}},
        {"Actividades (X_ACTIVIDAD)", {"513"}},
        {"Tramos horarios (X_TRAMO)", {"T3"}}};
    EXPECT_EQ(check.missing(), expected);
    EXPECT_TRUE(check.derived().empty());
}

// Codes the export made from the document's current data come back in the timetable: they are kept
// apart from the keys the document lacks, and only the codes this document would give count.
TEST(MasterDataCheck, CodesTheExportMakesFromTheDocumentAreKeptApart) {
    testing::ScratchFolder folder;
    auto school = testing::smallSchool();
    auto& rooms = testing::groupOf(school, "DEPENDENCIAS").records;
    rooms.push_back({"", "Laboratorio de Idiomas"});                // no key: Laboratori
    rooms.push_back({"AULAINFORMATICA2", "Aula de informática 2"}); // shortened: AULAINFOA2
    rooms.push_back({"a1", "Aula 1 bis"});                          // A1 taken: a11
    rooms.push_back({"GIMNASIO-PRINCIPAL", "Gimnasio"});            // shortened: GIMNASIOAL
    testing::groupOf(school, "TRAMOS_HORARIOS")
        .records.push_back({"TRAMO-LARGO", "Recreo", "590", "620", "JOR1"});
    testing::groupOf(school, "ACTIVIDADES").records.push_back({"2", "COORDINACION-TIC", "Coordinación"});
    const auto document = YedraDocument::load(testing::writeYedraDocument(folder.path(), school));

    struct Case {
        std::string room, slot, activity;
        bool derived; // false: the document lacks it
    };
    const std::vector<Case> cases = {
        {"Laboratori", "", "", true},   {"AULAINFOA2", "", "", true},
        {"a11", "", "", true},          {"GIMNASIOAL", "", "", true},
        {"", "TRAMO-LARG", "", true},   {"", "", "COORDINACI", true}, // COD, cut to 10
        {"", "", "COORDINACIO", false}, // neither COD nor CODTAREA (12) holds this
        {"", "", "COORDINACION", true}, // CODTAREA
        {"Laborator1", "", "", false},  // would need a second room without a key of that name
        {"AULAINFOA3", "", "", false},  {"A1", "", "", false}, // a key of the document: neither
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.room + c.slot + c.activity);
        MasterDataCheck check(document);
        ActivityValues values;
        values.X_DEPENDENCIA = c.room;
        values.X_TRAMO = c.slot;
        values.X_ACTIVIDAD = c.activity;
        check.activitySent(values);
        const auto sent = c.room + c.slot + c.activity;
        const bool known = c.room == "A1";
        EXPECT_EQ(check.derived().size(), c.derived ? 1u : 0u);
        EXPECT_EQ(check.missing().size(), c.derived || known ? 0u : 1u);
        for (const auto& list : {check.derived(), check.missing()})
            for (const auto& kind : list)
                EXPECT_EQ(kind.values, std::vector<std::string>{sent});
    }
}

TEST(MasterDataCheck, LinesGiveTheCountAndTheFirstFewValues) {
    const std::vector<MissingKeys> missing = {
        {"Profesores (X_EMPLEADO)", {"1", "2", "3", "4", "5", "6", "7"}},
        {"Dependencias (X_DEPENDENCIA)", {"M\xDASICA"}}};
    EXPECT_EQ(missingKeyLines(missing),
              (std::vector<std::string>{"  Profesores (X_EMPLEADO): 7 (1, 2, 3, 4, 5, …)",
                                        "  Dependencias (X_DEPENDENCIA): 1 (MÚSICA)"}));
    EXPECT_TRUE(missingKeyLines({}).empty());
}

// The school exported, a timetable placed for every teacher in every room, and the document that the
// import then writes into.
class ImportAfterChanges : public ::testing::Test {
  protected:
    void SetUp() override {
        session.workingFolder = work.path();
        session.programFolder = PONTREL_BIN_DIR;
        ui.documents.push_back(
            testing::writeYedraDocument(docs.path(), testing::smallSchool(), "exportado.xml"));
        ASSERT_EQ(exporting::ExportRun(session, ui).run(), RunOutcome::Completed);

        const auto proft = dbf::Table::open(work.path() / "PROFT.DBF", dbf::OpenMode::Shared);
        const auto aulat = dbf::Table::open(work.path() / "AULAT.DBF", dbf::OpenMode::Shared);
        const auto units = dbf::Table::open(work.path() / "GRUPOST.DBF", dbf::OpenMode::Shared);
        std::vector<testing::SolucRow> rows;
        for (std::size_t t = 0; t < proft.recordCount(); ++t)
            rows.push_back({proft.text(t, "ABREV"), "1", std::to_string(t % 2 + 1), "0", "MAT",
                            units.text(0, "ABREV"), "", aulat.text(t, "ABREV")});
        testing::writeSoluc(work.path() / "SOLUC.DBF", rows, testing::SolucStorage::DbaseIIINumeric);
    }

    RunOutcome importInto(const std::vector<testing::YedraGroup>& school, ImportOptions options = {}) {
        document = testing::writeYedraDocument(docs.path(), school, "centro.xml");
        ui.documents.push_back(document);
        run.emplace(session, ui, options);
        return run->run();
    }

    testing::ScratchFolder work, docs;
    RunSession session;
    testing::ScriptedUserInterface ui;
    fs::path document;
    std::optional<ImportRun> run;
};

TEST_F(ImportAfterChanges, DocumentOfTheExportHasEveryKey) {
    ASSERT_EQ(importInto(testing::smallSchool()), RunOutcome::Completed);
    // Every entry found its slot, unit and subject, so every kind of key was sent and sought.
    const ImportSummary& summary = run->summary();
    EXPECT_EQ(summary.entriesWritten, 3u);
    EXPECT_EQ(summary.slotsNotFound + summary.unitsNotFound + summary.subjectsNotFound, 0u);
    EXPECT_TRUE(summary.missingKeys.empty());
}

TEST_F(ImportAfterChanges, TeacherAndRoomRemovedSinceAreListedAndTheDocumentIsStillWritten) {
    auto later = testing::smallSchool();
    testing::removeRecord(later, "EMPLEADOS", "1002");
    testing::removeRecord(later, "DEPENDENCIAS", "A2");

    ASSERT_EQ(importInto(later), RunOutcome::Completed);

    const std::vector<MissingKeys> expected = {{"Profesores (X_EMPLEADO)", {"1002"}},
                                               {"Dependencias (X_DEPENDENCIA)", {"A2"}}};
    EXPECT_EQ(run->summary().missingKeys, expected);
    EXPECT_TRUE(fs::exists(timetableDocumentPath(document)));
    EXPECT_EQ(ui.messages.back(), messages::kFinished);
}

// Yedra finds a teacher by X_EMPLEADO and F_TOMAPOS together: a date changed in Yedra since the export
// (a new appointment) is as much a mismatch as a teacher removed.
TEST_F(ImportAfterChanges, TeacherWhosePostDateChangedSinceIsListedAndStopsAStrictRun) {
    auto later = testing::smallSchool();
    testing::groupOf(later, "EMPLEADOS").records[1][1] = "01/09/2024";

    ASSERT_EQ(importInto(later), RunOutcome::Completed);
    const std::vector<MissingKeys> expected = {
        {"Tomas de posesión (X_EMPLEADO: F_TOMAPOS)", {"1002: 01/09/2011"}}};
    EXPECT_EQ(run->summary().missingKeys, expected);

    EXPECT_EQ(importInto(later, {.strict = true}), RunOutcome::Stopped);
    EXPECT_NE(ui.messages.back().find("  Tomas de posesión (X_EMPLEADO: F_TOMAPOS): 1 (1002: 01/09/2011)"),
              std::string::npos)
        << ui.messages.back();
}

TEST_F(ImportAfterChanges, StrictRunStopsBeforeSavingAndKeepsTheEarlierOutput) {
    auto later = testing::smallSchool();
    testing::removeRecord(later, "EMPLEADOS", "1002");
    testing::removeRecord(later, "DEPENDENCIAS", "A2");
    const fs::path output = timetableDocumentPath(docs.path() / "centro.xml");
    testing::writeFile(output, "<salida anterior/>");

    EXPECT_EQ(importInto(later, {.strict = true}), RunOutcome::Stopped);

    const std::vector<MissingKeys> expected = {{"Profesores (X_EMPLEADO)", {"1002"}},
                                               {"Dependencias (X_DEPENDENCIA)", {"A2"}}};
    EXPECT_EQ(run->summary().missingKeys, expected);
    EXPECT_EQ(testing::readFile(output), "<salida anterior/>");
    ASSERT_FALSE(ui.messages.empty());
    EXPECT_EQ(ui.messages.back(), missingKeysStopMessage(expected));
    EXPECT_NE(ui.messages.back().find("  Profesores (X_EMPLEADO): 1 (1002)"), std::string::npos);
    // Nothing of the stopped run is left beside the documents.
    std::size_t files = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(docs.path()))
        ++files;
    EXPECT_EQ(files, 3u); // the exported document, the later one, the earlier output

    // With every key in the document, a strict run writes as any other.
    EXPECT_EQ(importInto(testing::smallSchool(), {.strict = true}), RunOutcome::Completed);
    EXPECT_NE(testing::readFile(output), "<salida anterior/>");
}

} // namespace
} // namespace pontrel::importing
