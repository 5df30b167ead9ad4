// The export's preview (a dry run): it runs every step, compares the new tables with the working
// folder's by each table's natural key, and leaves the folder and the temporary folder as it found
// them. Also the comparison of two tables on its own.

#include "export/RunFolderFixture.h"
#include "support/EnvironmentGuard.h"
#include "support/ErrorOf.h"
#include "support/SmallSchool.h"

#include "dbf/Error.h"
#include "exchange/velmora/TableSetReplacement.h"
#include "exchange/velmora/WorkingFolderLock.h"
#include "export/ExportRun.h"
#include "export/PreviewStaging.h"
#include "export/TableComparison.h"
#include "platform/FolderLock.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <set>

namespace pontrel::exporting {
namespace {

namespace fs = std::filesystem;
using testing::folderContents;
using testing::removeRecord;
using testing::ScratchFolder;
using testing::smallSchool;
using testing::YedraGroup;

// Points the system's temporary folder at an empty folder of the test's own, so that what a preview
// leaves there can be seen.
class OwnTemporaryFolder {
  public:
    OwnTemporaryFolder() : path_(root_.path() / "tmp") {
        fs::create_directory(path_);
        for (const char* name : kVariables)
            environment_.set(name, path_.string());
    }
    bool empty() const { return fs::is_empty(path_); }
    const fs::path& path() const { return path_; }

  private:
    // Where the system looks for its temporary folder.
#ifdef _WIN32
    static constexpr const char* kVariables[] = {"TMP", "TEMP"};
#else
    static constexpr const char* kVariables[] = {"TMPDIR"};
#endif
    ScratchFolder root_;
    fs::path path_;
    testing::EnvironmentGuard environment_;
};

// (added, removed, changed, unchanged) of one table.
using Counts = std::tuple<std::size_t, std::size_t, std::size_t, std::size_t>;

std::map<std::string, Counts> countsOf(const std::vector<TableComparison>& preview) {
    std::map<std::string, Counts> counts;
    for (const auto& c : preview)
        counts[c.table] = {c.added.size(), c.removed.size(), c.changed.size(), c.unchanged};
    return counts;
}

const TableComparison& tableIn(const std::vector<TableComparison>& preview, const std::string& name) {
    return *std::find_if(preview.begin(), preview.end(), [&](const auto& c) { return c.table == name; });
}

class ExportPreview : public ::testing::Test {
  protected:
    void SetUp() override {
        work = root.path() / "VTEMP";
        fs::create_directory(work);
        session.workingFolder = work;
        session.programFolder = PONTREL_BIN_DIR; // NIVELCAN.DBF is installed beside the executables
    }

    fs::path document(const std::vector<YedraGroup>& school, const std::string& name) {
        return testing::writeYedraDocument(root.path(), school, name);
    }

    RunOutcome exportFor(const fs::path& doc) {
        ui.documents.push_back(doc);
        return ExportRun(session, ui, {.lockWait = std::chrono::milliseconds{0}, .beforeEachMove = {}}).run();
    }

    // A dry run of `doc`: its outcome and its comparison.
    std::vector<TableComparison> preview(const fs::path& doc) {
        ui.documents.push_back(doc);
        ExportOptions options;
        options.dryRun = true;
        ExportRun run(session, ui, options);
        EXPECT_EQ(run.run(), RunOutcome::Completed);
        return run.preview();
    }

    ScratchFolder root;
    fs::path work;
    RunSession session;
    testing::ScriptedUserInterface ui;
};

TEST_F(ExportPreview, SameDocumentAgainFindsEveryRecordEqualAndChangesNothing) {
    const auto doc = document(smallSchool(), "centro.xml");
    ASSERT_EQ(exportFor(doc), RunOutcome::Completed);
    ui.messages.clear();
    const auto before = folderContents(work);
    OwnTemporaryFolder temporary;

    const auto result = preview(doc);

    const std::map<std::string, Counts> expected = {
        {"ASIGNOMT", {0, 0, 0, 3}}, {"ASIGNOMT2", {0, 0, 0, 3}},   {"PROFT", {0, 0, 0, 3}},
        {"AULAT", {0, 0, 0, 3}},    {"CURSOST", {0, 0, 0, 2}},     {"GRUPOST", {0, 0, 0, 3}},
        {"ASIGT", {0, 0, 0, 5}},    {"DIASHORAST", {0, 0, 0, 14}}, {"DIASHORAST2", {0, 0, 0, 2}},
        {"PERIODOS", {0, 0, 0, 1}}};
    EXPECT_EQ(countsOf(result), expected);
    EXPECT_EQ(result.front().table, "ASIGNOMT") << "tables come in the order the steps make them";
    EXPECT_EQ(folderContents(work), before);
    EXPECT_TRUE(temporary.empty()) << "the preview's staging must be gone";
    EXPECT_TRUE(ui.messages.empty()) << "a preview does not end with \"Proceso finalizado\"";
}

TEST_F(ExportPreview, LaterDocumentCountsEachTablesChangesByItsKey) {
    ASSERT_EQ(exportFor(document(smallSchool(), "septiembre.xml")), RunOutcome::Completed);
    const auto before = folderContents(work);

    // In Yedra since: Luis left, room A2 became the music room, a third first-year unit opened.
    auto later = smallSchool();
    removeRecord(later, "EMPLEADOS", "1002");
    testing::groupOf(later, "DEPENDENCIAS").records[1][1] = "Aula de música";
    testing::groupOf(later, "UNIDADES").records.push_back({"58", "1º ESO C", "3012"});
    OwnTemporaryFolder temporary;

    const auto result = preview(document(later, "enero.xml"));

    const std::map<std::string, Counts> expected = {
        {"ASIGNOMT", {0, 0, 0, 3}},    {"ASIGNOMT2", {0, 0, 0, 3}},   {"PROFT", {0, 1, 0, 2}},
        {"AULAT", {0, 0, 1, 2}},       {"CURSOST", {0, 0, 0, 2}},     {"GRUPOST", {1, 0, 0, 3}},
        {"ASIGT", {2, 0, 0, 5}}, // both subjects of course 3012 for the new unit
        {"DIASHORAST", {0, 0, 0, 14}}, {"DIASHORAST2", {0, 0, 0, 2}}, {"PERIODOS", {0, 0, 0, 1}}};
    EXPECT_EQ(countsOf(result), expected);

    EXPECT_EQ(detailLines(tableIn(result, "PROFT")), std::vector<std::string>{"  - X_EMPLEADO=1002"});
    EXPECT_EQ(detailLines(tableIn(result, "AULAT")),
              std::vector<std::string>{"  ~ ABREV=A2: NOMBRE «Aula 2» → «Aula de música»"});
    EXPECT_EQ(detailLines(tableIn(result, "GRUPOST")), std::vector<std::string>{"  + CLAVE=58"});
    EXPECT_EQ(detailLines(tableIn(result, "ASIGT")),
              (std::vector<std::string>{"  + CLAVE=101, CLAVECURSO=3012, CGRUP=1ºESOC",
                                        "  + CLAVE=102, CLAVECURSO=3012, CGRUP=1ºESOC"}));
    EXPECT_EQ(summaryLine(tableIn(result, "PROFT")), "PROFT añadidos=0 quitados=1 cambiados=0 iguales=2");
    EXPECT_EQ(folderContents(work), before);
    EXPECT_TRUE(temporary.empty());
}

TEST_F(ExportPreview, WorksWhileAnotherProgramReadsTheTablesAndLeavesEveryByte) {
    const auto doc = document(smallSchool(), "centro.xml");
    ASSERT_EQ(exportFor(doc), RunOutcome::Completed);
    const auto before = folderContents(work);

    // Velmora reading its tables: shared openings through the engine, held during the whole preview.
    const auto proft = dbf::Table::open(work / "PROFT.DBF", dbf::OpenMode::Shared);
    const auto slots = dbf::Table::open(work / "DIASHORAST2.DBF", dbf::OpenMode::Shared);
    const auto result = preview(doc);

    EXPECT_EQ(std::get<3>(countsOf(result)["PROFT"]), 3u);
    EXPECT_EQ(folderContents(work), before);
    // A real export, by contrast, cannot replace a table that is held open.
    ui.documents.push_back(doc);
    EXPECT_THROW(
        ExportRun(session, ui, {.lockWait = std::chrono::milliseconds{0}, .beforeEachMove = {}}).run(),
        Error);
}

TEST_F(ExportPreview, EmptyFolderCountsEveryNewRecordAsAdded) {
    const auto result = preview(document(smallSchool(), "centro.xml"));
    EXPECT_EQ(countsOf(result)["DIASHORAST"], (Counts{14, 0, 0, 0}));
    EXPECT_EQ(countsOf(result)["PROFT"], (Counts{3, 0, 0, 0}));
    EXPECT_TRUE(fs::is_empty(work));
}

TEST_F(ExportPreview, RunThatWouldStopStopsTheSameWayAndLeavesNothing) {
    ASSERT_EQ(exportFor(document(smallSchool(), "centro.xml")), RunOutcome::Completed);
    const auto before = folderContents(work);
    OwnTemporaryFolder temporary;
    ui.documents.push_back(testing::runDocument("run_bad_minutes.xml"));
    ExportOptions options;
    options.dryRun = true;
    EXPECT_THROW(ExportRun(session, ui, options).run(), Error);
    EXPECT_EQ(folderContents(work), before);
    EXPECT_TRUE(temporary.empty());

    // A missing working folder is the run's own stop, before any step.
    session.workingFolder = root.path() / "no-existe";
    ui.documents.push_back(document(smallSchool(), "centro.xml"));
    EXPECT_THROW(ExportRun(session, ui, options).run(), Error);
}

// A replacement left half done by a killed run leaves a mix of old and new tables: the preview says so
// and stops, changing nothing (the next export or import mends it). A confirmed one has the new set in
// place, which compares like any other.
TEST_F(ExportPreview, FolderLeftHalfReplacedStopsThePreviewAndChangesNothing) {
    const auto doc = document(smallSchool(), "centro.xml");
    ASSERT_EQ(exportFor(doc), RunOutcome::Completed);
    fs::create_directory(work / kBackupFolderName);
    testing::writeFile(work / kBackupFolderName / "PROFT.DBF", "tabla anterior");
    struct Case {
        std::string journal;
        std::string stop; // part of the message; empty: the preview completes
    };
    const std::vector<Case> cases = {
        {"PONTREL DIARIO 1\nESTADO REEMPLAZANDO\nANTERIOR PROFT.DBF\nNUEVO PROFT.DBF\n", "dejó a medias"},
        {"PONTREL DIARIO 1\nESTADO REEMPLAZANDO\n", "dejó a medias"},
        {"otra cosa\n", "está dañado"},
        {"PONTREL DIARIO 1\nESTADO CONFIRMADO\nANTERIOR PROFT.DBF\nNUEVO PROFT.DBF\n", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.journal);
        testing::writeFile(work / kJournalFileName, c.journal);
        const auto before = folderContents(work);
        ui.documents.push_back(doc);
        ExportOptions options;
        options.dryRun = true;
        ExportRun run(session, ui, options);
        if (c.stop.empty()) {
            EXPECT_EQ(run.run(), RunOutcome::Completed);
            EXPECT_EQ(std::get<3>(countsOf(run.preview())["PROFT"]), 3u);
        } else {
            const std::string message = testing::errorOf([&] { run.run(); });
            EXPECT_NE(message.find(c.stop), std::string::npos) << message;
            EXPECT_NE(message.find(work.string()), std::string::npos) << message;
        }
        EXPECT_EQ(folderContents(work), before);
    }
}

// A damaged table in the working folder is named; the other tables are compared all the same.
TEST_F(ExportPreview, DamagedCurrentTableIsNamedAndTheOthersCompared) {
    const auto doc = document(smallSchool(), "centro.xml");
    ASSERT_EQ(exportFor(doc), RunOutcome::Completed);
    testing::writeFile(work / "AULAT.DBF", "esto no es una tabla de dBase");
    const auto before = folderContents(work);

    const auto result = preview(doc);

    const auto& rooms = tableIn(result, "AULAT");
    ASSERT_TRUE(rooms.currentUnreadable.has_value());
    EXPECT_EQ(summaryLine(rooms).rfind("AULAT sin comparar: la tabla actual no se puede leer (", 0), 0u)
        << summaryLine(rooms);
    EXPECT_NE(summaryLine(rooms).find("la exportación la sustituiría por una de 3 registros"),
              std::string::npos)
        << summaryLine(rooms);
    EXPECT_EQ(countsOf(result)["PROFT"], (Counts{0, 0, 0, 3}));
    EXPECT_EQ(countsOf(result)["GRUPOST"], (Counts{0, 0, 0, 3}));
    EXPECT_EQ(folderContents(work), before);
}

// The preview reads the current tables under Pontrel's lock of the folder: a running export is waited
// for, and an export never finds its tables held by a preview. The lock file goes with the lock.
TEST_F(ExportPreview, CurrentTablesAreReadUnderTheFoldersLock) {
    const auto doc = document(smallSchool(), "centro.xml");
    ASSERT_EQ(exportFor(doc), RunOutcome::Completed);
    const auto before = folderContents(work);
    ExportOptions options;
    options.dryRun = true;
    options.lockWait = std::chrono::milliseconds{0};
    {
        const WorkingFolderLock exporting(work, std::chrono::milliseconds{0});
        ui.documents.push_back(doc);
        const std::string message = testing::errorOf([&] { ExportRun(session, ui, options).run(); });
        EXPECT_NE(message.find("Otra ejecución de Pontrel está usando las tablas"), std::string::npos)
            << message;
    }
    ui.documents.push_back(doc);
    EXPECT_EQ(ExportRun(session, ui, options).run(), RunOutcome::Completed);
    EXPECT_EQ(folderContents(work), before);
}

// A killed preview leaves its folder in the temporary folder: the next preview removes it, and leaves
// alone the folder of a preview that is running (its lock is held) and anything that is not a preview's.
TEST(PreviewStagingTest, FoldersOfKilledPreviewsAreRemovedAndThoseOfRunningOnesKept) {
    OwnTemporaryFolder temporary;
    const fs::path tmp = temporary.path();
    fs::create_directories(tmp / "pontrel-vista-111" / "sub");
    testing::writeFile(tmp / "pontrel-vista-111" / "sub" / "PROFT.DBF", "tabla");
    testing::writeFile(tmp / "pontrel-vista-111.bloqueo", "");
    fs::create_directory(tmp / "pontrel-vista-222"); // killed before it took its lock's file
    testing::writeFile(tmp / "pontrel-vista-333.bloqueo", "");
    fs::create_directory(tmp / "pontrel-vista-444");
    platform::FileLock running;
    ASSERT_EQ(running.tryAcquire(tmp / "pontrel-vista-444.bloqueo"), 0);
    fs::create_directory(tmp / "otra-pontrel-vista-555");

    fs::path own;
    {
        const PreviewStaging staging;
        own = staging.folder();
        EXPECT_TRUE(fs::is_directory(own));
    }
    std::set<std::string> left;
    for (const auto& entry : fs::directory_iterator(tmp))
        left.insert(entry.path().filename().string());
    EXPECT_EQ(left, (std::set<std::string>{"pontrel-vista-444", "pontrel-vista-444.bloqueo",
                                           "otra-pontrel-vista-555"}));
    EXPECT_FALSE(fs::exists(own));
}

#ifndef _WIN32
TEST(PreviewStagingTest, NoTemporaryFolderIsReportedInSpanish) {
    ScratchFolder root;
    testing::EnvironmentGuard environment;
    environment.set("TMPDIR", (root.path() / "no-existe").string());
    const std::string message = testing::errorOf([] { PreviewStaging staging; });
    EXPECT_EQ(message, "No se encuentra la carpeta temporal del sistema para preparar la vista previa (no "
                       "existe).");
}
#endif

// ---- Two tables compared on their own ----

void writeTable(const fs::path& file, const std::vector<dbf::FieldSpec>& fields,
                const std::vector<std::vector<std::string>>& rows) {
    dbf::Table::create(file, fields);
    auto table = dbf::Table::open(file, dbf::OpenMode::Shared, dbf::Access::ReadWrite);
    for (const auto& row : rows) {
        dbf::RecordBuffer record;
        for (std::size_t f = 0; f < row.size(); ++f)
            record.setText(fields[f].name, row[f]);
        table.append(record);
    }
    table.close();
}

TEST(TableComparisonTest, RepeatedKeysPairInStoredOrderAndMissingFieldsReadEmpty) {
    ScratchFolder folder;
    const TableKey key{"PROFT", {"X_EMPLEADO"}};
    // Two teachers without a Yedra key (added in Velmora), and a field the new table no longer has.
    writeTable(folder.path() / "old.dbf", {{"ABREV", 'C', 10}, {"X_EMPLEADO", 'C', 10}, {"NOTA", 'C', 10}},
               {{"ANA", "1", ""}, {"X1", "", ""}, {"X2", "", "libre"}, {"BEA", "2", ""}});
    writeTable(folder.path() / "new.dbf", {{"ABREV", 'C', 10}, {"X_EMPLEADO", 'C', 10}},
               {{"ANA", "1"}, {"X1", ""}, {"X3", ""}, {"X4", ""}, {"CARL", "3"}});

    const auto c = compareTable(key, folder.path() / "new.dbf", folder.path() / "old.dbf");

    EXPECT_EQ(c.unchanged, 2u); // ANA, and the first keyless record X1
    EXPECT_EQ(c.added, (std::vector<std::string>{"X_EMPLEADO=", "X_EMPLEADO=3"}));
    EXPECT_EQ(c.removed, std::vector<std::string>{"X_EMPLEADO=2"});
    ASSERT_EQ(c.changed.size(), 1u);
    EXPECT_EQ(c.changed[0].key, "X_EMPLEADO=");
    ASSERT_EQ(c.changed[0].fields.size(), 2u);
    EXPECT_EQ(c.changed[0].fields[0].field, "ABREV");
    EXPECT_EQ(c.changed[0].fields[0].before, "X2");
    EXPECT_EQ(c.changed[0].fields[0].after, "X3");
    EXPECT_EQ(c.changed[0].fields[1].field, "NOTA");
    EXPECT_EQ(c.changed[0].fields[1].before, "libre");
    EXPECT_EQ(c.changed[0].fields[1].after, "");

    const auto missing = compareTable(key, folder.path() / "new.dbf", std::nullopt);
    EXPECT_EQ(missing.added.size(), 5u);
    EXPECT_EQ(missing.unchanged + missing.removed.size() + missing.changed.size(), 0u);
}

TEST(TableComparisonTest, EveryExportedTableHasAKeyAndTheHelpNamesIt) {
    std::vector<std::string> names;
    for (const auto& key : comparisonKeys())
        names.push_back(key.table);
    EXPECT_EQ(names, exportedTables());
    EXPECT_NE(comparisonKeysHelp().find("ASIGT (CLAVE + CLAVECURSO + CGRUP)"), std::string::npos);
}

} // namespace
} // namespace pontrel::exporting
