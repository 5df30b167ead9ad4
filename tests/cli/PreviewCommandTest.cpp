// pontrel-cli's preview (export --dry-run, --detalle), report of codes (export --report) and strict
// import (--strict): what they print, their exit statuses, and that a preview leaves the folder alone.

#include "import/WorkingTablesFixture.h"

#include "CommandOutcome.h"
#include "cli/ExportCommand.h"
#include "exchange/velmora/TableSetReplacement.h"
#include "export/RunFolderFixture.h"
#include "support/ExportFixtures.h"

#include <gtest/gtest.h>

#include <iostream>
#include <sstream>

namespace pontrel::cli {
namespace {

namespace fs = std::filesystem;

const fs::path kSample = testing::sampleSchool();

using Outcome = CommandOutcome;
using testing::folderContents;

class ExportPreviewCommand : public ::testing::Test {
  protected:
    void SetUp() override {
        work = root.path() / "VTEMP";
        fs::create_directory(work);
    }

    Outcome exportWith(std::vector<std::string> args) {
        args.insert(args.end(), {"--workdir", work.string(), "--frames", "JOR1"});
        return runInEnvironment(
            [&](CommandEnvironment& environment) { return runExportCommand(args, environment); });
    }

    testing::ScratchFolder root;
    fs::path work;
};

TEST_F(ExportPreviewCommand, PreviewOfTheExportedSchoolPrintsOneLinePerTableAndChangesNothing) {
    ASSERT_EQ(exportWith({kSample.string()}).status, 0);
    const auto before = folderContents(work);

    const auto result = exportWith({kSample.string(), "--dry-run", "--detalle"});

    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, "ASIGNOMT añadidos=0 quitados=0 cambiados=0 iguales=62\n"
                          "ASIGNOMT2 añadidos=0 quitados=0 cambiados=0 iguales=94\n"
                          "PROFT añadidos=0 quitados=0 cambiados=0 iguales=40\n"
                          "AULAT añadidos=0 quitados=0 cambiados=0 iguales=26\n"
                          "CURSOST añadidos=0 quitados=0 cambiados=0 iguales=11\n"
                          "GRUPOST añadidos=0 quitados=0 cambiados=0 iguales=19\n"
                          "ASIGT añadidos=0 quitados=0 cambiados=0 iguales=187\n"
                          "DIASHORAST añadidos=0 quitados=0 cambiados=0 iguales=49\n"
                          "DIASHORAST2 añadidos=0 quitados=0 cambiados=0 iguales=7\n"
                          "PERIODOS añadidos=0 quitados=0 cambiados=0 iguales=1\n");
    EXPECT_EQ(folderContents(work), before);
}

TEST_F(ExportPreviewCommand, DetailListsTheRecordsOfAnEmptyFolderAsAdded) {
    const auto result = exportWith({kSample.string(), "--dry-run", "--detalle"});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_TRUE(
        contains(result.out, "PERIODOS añadidos=1 quitados=0 cambiados=0 iguales=0\n  + CJORNADA=JOR1\n"))
        << result.out;
    EXPECT_TRUE(fs::is_empty(work));
}

TEST_F(ExportPreviewCommand, ReportIsWrittenWithTheExportAndWithThePreview) {
    const fs::path report = root.path() / "codigos.csv";
    const auto exported = exportWith({kSample.string(), "--report", report.string()});
    ASSERT_EQ(exported.status, 0) << exported.err;
    EXPECT_TRUE(
        contains(exported.out, "Códigos guardados de otra forma que en Yedra: ASIGNOMT 6, PROFT 4, AULAT 3\n"
                               "Informe de códigos: " +
                                   report.string() + "\n"))
        << exported.out;
    const std::string csv = testing::readFile(report);
    EXPECT_EQ(csv.rfind("\xEF\xBB\xBFtabla;campo;clave_yedra;valor_yedra;valor_guardado;motivo\r\n", 0), 0u);
    EXPECT_TRUE(contains(csv, "\nAULAT;ABREV;AULAINFORMATICA3;AULAINFORMATICA3;AULAINFOA3;acortado\r\n"))
        << csv;
    EXPECT_TRUE(contains(csv, "\nPROFT;ABREV;204956;PROFESORA-01;PROFESORA-;recortado\r\n")) << csv;

    fs::remove(report);
    const auto before = folderContents(work);
    const auto previewed = exportWith({kSample.string(), "--dry-run", "--report", report.string()});
    ASSERT_EQ(previewed.status, 0) << previewed.err;
    EXPECT_EQ(testing::readFile(report), csv);
    EXPECT_EQ(folderContents(work), before);
}

// A report that cannot be written is found out before any table is replaced: status 1 then means that
// nothing changed, and "Proceso finalizado" is not shown.
TEST_F(ExportPreviewCommand, ReportThatCannotBeWrittenStopsTheRunBeforeAnyTableChanges) {
    ASSERT_EQ(exportWith({kSample.string()}).status, 0);
    const auto before = folderContents(work);
    fs::create_directory(root.path() / "carpeta");
    const std::vector<fs::path> places = {root.path() / "no-existe" / "codigos.csv", root.path() / "carpeta"};
    for (const auto& place : places)
        for (const bool dryRun : {false, true}) {
            SCOPED_TRACE(place.string() + (dryRun ? " --dry-run" : ""));
            std::vector<std::string> args{kSample.string(), "--report", place.string()};
            if (dryRun)
                args.push_back("--dry-run");
            const auto result = exportWith(args);
            EXPECT_EQ(result.status, 1);
            EXPECT_TRUE(
                contains(result.err, "No se puede escribir el informe de códigos «" + place.string() + "»"))
                << result.err;
            EXPECT_FALSE(contains(result.out + result.err, "Proceso finalizado")) << result.out;
            EXPECT_EQ(folderContents(work), before);
        }
}

TEST_F(ExportPreviewCommand, StopsAndUsageErrors) {
    // A preview that would stop ends with the run's own message and status 1, and does not even put
    // right what a killed export left: it only reads the folder.
    fs::create_directory(work / kBackupFolderName);
    testing::writeFile(work / kBackupFolderName / "PROFT.DBF", "tabla anterior");
    testing::writeFile(work / kJournalFileName, "PONTREL DIARIO 1\nESTADO CONFIRMADO\nANTERIOR PROFT.DBF\n");
    const auto before = folderContents(work);
    const auto stopped = exportWith({(root.path() / "no-existe.xml").string(), "--dry-run"});
    EXPECT_EQ(stopped.status, 1);
    EXPECT_TRUE(contains(stopped.out + stopped.err, "No existe archivo")) << stopped.out << stopped.err;
    EXPECT_EQ(folderContents(work), before);

    for (const auto& args : std::vector<std::vector<std::string>>{{kSample.string(), "--detalle"},
                                                                  {kSample.string(), "--report"},
                                                                  {kSample.string(), "--report="}}) {
        const auto result = exportWith(args);
        EXPECT_EQ(result.status, 2) << ::testing::PrintToString(args);
    }
}

// ---- import --strict ----

Outcome runImport(const std::vector<std::string>& args) {
    return runCapturingStandardStreams([&] { return importCommand(args); });
}

TEST(StrictImportCommand, KeysTheDocumentLacksAreSummarisedAndStrictStopsWithoutWriting) {
    testing::ScratchFolder work, docs;
    testing::SchoolTables school; // its teachers, rooms and units are not in the document below
    school.write(work.path());
    const fs::path document = docs.path() / "centro.xml";
    testing::writeFile(document, testing::schoolDocument());
    const fs::path output = docs.path() / "ResultadoDastelcentro.xml";

    const auto strict = runImport({document.string(), "--workdir", work.path().string(), "--strict"});
    EXPECT_EQ(strict.status, 1);
    EXPECT_TRUE(contains(strict.err, "El horario usa claves que el documento de Yedra no contiene"))
        << strict.err;
    EXPECT_TRUE(contains(strict.err, "\n  Profesores (X_EMPLEADO): 3 (1001, 1002, 1003)\n")) << strict.err;
    EXPECT_FALSE(fs::exists(output));

    const auto lenient = runImport({document.string(), "--workdir", work.path().string()});
    EXPECT_EQ(lenient.status, 0) << lenient.err;
    EXPECT_TRUE(contains(lenient.out,
                         "Claves enviadas que el documento no contiene (el horario se calculó con datos "
                         "anteriores):\n  Profesores (X_EMPLEADO): 3 (1001, 1002, 1003)\n"))
        << lenient.out;
    EXPECT_TRUE(fs::exists(output));

    const auto help = runImport({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(contains(help.out, "--strict")) << help.out;
}

} // namespace
} // namespace pontrel::cli
