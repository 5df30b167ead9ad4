// `pontrel-cli import`: the same run without a window; teacher keys from a file; exit statuses.

#include "import/WorkingTablesFixture.h"

#include "CommandOutcome.h"
#ifndef _WIN32
#include "support/ReadOnlyFolder.h"
#endif

#include <gtest/gtest.h>

#include <iostream>
#include <sstream>

namespace pontrel::cli {
namespace {

namespace fs = std::filesystem;
using testing::ScratchFolder;

CommandOutcome runImport(const std::vector<std::string>& args) {
    return runCapturingStandardStreams([&] { return importCommand(args); });
}

class ImportCommand : public ::testing::Test {
  protected:
    void SetUp() override {
        document = docs.path() / "centro.xml";
        testing::writeFile(document, testing::schoolDocument());
        school.soluc = {{"ANA", "1", "1", "0", "MAT", "1A", "", "A1"},
                        {"LUIS", "2", "1", "0", "MAT", "1A", "", "A1"},
                        {"EVA", "3", "9", "0", "MAT", "9Z", "", "A1"},   // no slot, no unit
                        {"PEPE", "3", "1", "0", "MAT", "1A", "", "A1"}}; // not in PROFT
    }
    std::vector<std::string> args(std::vector<std::string> extra = {}) const {
        std::vector<std::string> a{document.string(), "--workdir", work.path().string()};
        a.insert(a.end(), extra.begin(), extra.end());
        return a;
    }
    fs::path output() const { return docs.path() / "ResultadoDastelcentro.xml"; }
    std::string employeeKeyOf(std::size_t record) const {
        return dbf::Table::open(work.path() / "PROFT.DBF", dbf::OpenMode::Shared).text(record, "X_EMPLEADO");
    }

    ScratchFolder work, docs;
    fs::path document;
    testing::SchoolTables school;
};

TEST_F(ImportCommand, CompletedRunPrintsTheOutputAndASummary) {
    school.write(work.path());
    const auto r = runImport(args());
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(contains(r.out, "Proceso finalizado\n"));
    EXPECT_TRUE(contains(r.out, "Documento escrito: " + output().string() + "\n")) << r.out;
    for (const char* line :
         {"Profesores: 3\n", "Entradas escritas: 3\n", "Entradas sin tramo horario en DIASHORAST: 1\n",
          "Entradas sin unidad en GRUPOST: 1\n", "Entradas de SOLUC cuyo profesor no está en PROFT: 1\n"})
        EXPECT_TRUE(contains(r.out, line)) << line << "\n" << r.out;
    EXPECT_TRUE(fs::exists(output()));
}

#ifndef _WIN32
// A working folder that cannot be written is read without its lock, and the summary says so; the keys
// file is not applied then, as PROFT cannot take them.
TEST_F(ImportCommand, ReadOnlyWorkingFolderIsReadAndTheSummarySaysItWasNotLocked) {
    const std::vector<std::pair<bool, int>> cases{{true, 0}, {false, 1}}; // every key there, status
    for (const auto& [complete, status] : cases) {
        SCOPED_TRACE(complete ? "every key there" : "a key missing");
        ScratchFolder folder;
        testing::SchoolTables tables = school;
        if (!complete)
            tables.proft[1]["X_EMPLEADO"] = "";
        tables.write(folder.path());
        const fs::path keys = docs.path() / "claves.csv";
        testing::writeFile(keys, "LUIS;1002;01/09/2011\n");
        fs::remove(output());
        testing::ReadOnlyFolder readOnly(folder.path());
        if (!readOnly.made())
            GTEST_SKIP() << "this machine lets no folder be made read-only: " << readOnly.why();
        const auto r = runImport(
            {document.string(), "--workdir", folder.path().string(), "--teacher-keys", keys.string()});
        EXPECT_EQ(r.status, status) << r.err;
        EXPECT_EQ(contains(r.out, "Carpeta de trabajo leída sin bloqueo"), complete) << r.out;
        EXPECT_EQ(contains(r.err, "no se pueden guardar"), !complete) << r.err;
        EXPECT_FALSE(contains(r.out, "Claves de profesores guardadas")) << r.out;
        EXPECT_EQ(fs::exists(output()), complete);
    }
}
#endif

// A SOLUC whose header counts 2 of its 4 records: every record is converted, and the summary says
// which table held records its header did not count.
TEST_F(ImportCommand, TheSummaryNamesATableThatHeldMoreRecordsThanItsHeaderCounted) {
    school.write(work.path());
    std::string soluc = testing::readFile(work.path() / "SOLUC.DBF");
    testing::putLe32(soluc, 4, 2);
    testing::writeFile(work.path() / "SOLUC.DBF", soluc);
    const auto r = runImport(args());
    EXPECT_EQ(r.status, 0) << r.err;
    for (const char* line :
         {"Entradas escritas: 3\n", "Entradas de SOLUC cuyo profesor no está en PROFT: 1\n",
          "Registros que la cabecera de SOLUC.DBF no cuenta (leídos): 2 (la cabecera dice 2, "
          "hay 4)\n",
          "guarda 4 registros, pero su cabecera solo cuenta 2"})
        EXPECT_TRUE(contains(r.out, line)) << line << "\n" << r.out;
}

TEST_F(ImportCommand, IncompleteTeachersAreListedAndTheRunStops) {
    school.proft[1]["X_EMPLEADO"] = "";
    school.proft[2]["X_EMPLEADO"] = "";
    school.proft[2]["F_TOMAPOS"] = "";
    school.write(work.path());
    const auto r = runImport(args());
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(contains(r.err, "LUIS\tLuis Gómez\tfalta X_EMPLEADO\n")) << r.err;
    EXPECT_TRUE(contains(r.err, "EVA\tEva Muñoz\tfalta X_EMPLEADO y F_TOMAPOS\n")) << r.err;
    EXPECT_TRUE(contains(r.err, "los DATOS.\nEste proceso se dentendrá y deberá volver a ejecutar\nla "))
        << "the message's line breaks as a terminal shows them: " << r.err;
    EXPECT_FALSE(fs::exists(output()));
}

TEST_F(ImportCommand, TeacherKeysFileCompletesTheTeachers) {
    school.proft[1]["X_EMPLEADO"] = "";
    school.write(work.path());
    testing::writeFile(docs.path() / "claves.csv", "LUIS;2002;01/09/2011\n");
    const auto r = runImport(args({"--teacher-keys", (docs.path() / "claves.csv").string()}));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(employeeKeyOf(1), "2002");
    EXPECT_TRUE(fs::exists(output()));
}

// Status 1 means that nothing changed: a keys file that leaves a teacher incomplete stores nothing, and
// keys stored for a run that stops later (here on a key the document lacks) are taken out again.
TEST_F(ImportCommand, KeysFileThatLeavesATeacherIncompleteStoresNothingAndAStoppedRunTakesItsKeysOut) {
    school.proft[1]["X_EMPLEADO"] = "";
    school.proft[2]["F_TOMAPOS"] = "";
    school.write(work.path());
    const auto before = testing::readFile(work.path() / "PROFT.DBF");
    testing::writeFile(docs.path() / "claves.csv", "LUIS;2002;\nNADIE;1;01/01/2001\n");
    const auto r = runImport(args({"--teacher-keys", (docs.path() / "claves.csv").string()}));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(employeeKeyOf(1), "") << "nothing of the file is stored";
    EXPECT_TRUE(
        contains(r.err, "no se ha guardado ninguna clave del archivo):\n  EVA\tEva Muñoz\tfalta F_TOMAPOS\n"))
        << r.err;
    EXPECT_FALSE(contains(r.err, "LUIS\t")) << r.err;
    EXPECT_TRUE(contains(r.err, "«" + (docs.path() / "claves.csv").string() +
                                    "», línea 2: el profesor no está en PROFT; se ignora."))
        << r.err;
    EXPECT_FALSE(fs::exists(output()));
    EXPECT_EQ(testing::readFile(work.path() / "PROFT.DBF"), before);

    testing::writeFile(docs.path() / "claves.csv", "LUIS;2002;\nEVA;;01/09/2012\n");
    const auto strict =
        runImport(args({"--teacher-keys", (docs.path() / "claves.csv").string(), "--strict"}));
    EXPECT_EQ(strict.status, 1);
    EXPECT_TRUE(contains(strict.err, "El horario usa claves que el documento de Yedra no contiene"))
        << strict.err;
    EXPECT_TRUE(contains(strict.err, "Las claves del archivo se han quitado de PROFT")) << strict.err;
    EXPECT_EQ(employeeKeyOf(1), "");
    EXPECT_FALSE(fs::exists(output()));
}

TEST_F(ImportCommand, BadKeysFileStopsBeforeAnythingIsStored) {
    school.proft[1]["X_EMPLEADO"] = "";
    school.write(work.path());
    testing::writeFile(docs.path() / "claves.csv", "LUIS;2002;01/09/2011\nEVA;12A45;01/09/2012\n");
    const auto r = runImport(args({"--teacher-keys", (docs.path() / "claves.csv").string()}));
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(contains(r.err, "línea 2")) << r.err;
    EXPECT_EQ(employeeKeyOf(1), "");
}

TEST_F(ImportCommand, OptionsTakeTheirValueEitherWayAndHelpEndsWithStatus0) {
    school.proft[1]["X_EMPLEADO"] = "";
    school.write(work.path());
    testing::writeFile(docs.path() / "claves.csv", "LUIS;2002;01/09/2011\n");
    const auto r = runImport({document.string(), "--workdir=" + work.path().string(),
                              "--teacher-keys=" + (docs.path() / "claves.csv").string()});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(contains(r.out, "Claves de profesores guardadas en PROFT: 1\n")) << r.out;
    EXPECT_TRUE(fs::exists(output()));

    const auto help = runImport({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(contains(help.out, "--teacher-keys ARCHIVO.csv")) << help.out;
}

TEST_F(ImportCommand, MissingDocumentAndUsageErrors) {
    const auto missing = runImport({(docs.path() / "otro.xml").string(), "--workdir", work.path().string()});
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.err, "pontrel-cli: No existe archivo: " + (docs.path() / "otro.xml").string() + "\n");
    EXPECT_EQ(missing.out, "");

    const std::vector<std::vector<std::string>> usages{{},
                                                       {"--workdir"},
                                                       {document.string(), "--workdir"},
                                                       {document.string(), "--otra"},
                                                       {"a.xml", "b.xml"}};
    for (const auto& a : usages) {
        const auto r = runImport(a);
        EXPECT_EQ(r.status, 2) << ::testing::PrintToString(a);
        EXPECT_TRUE(contains(r.err, "Uso: pontrel-cli import")) << r.err;
    }
}

} // namespace
} // namespace pontrel::cli
