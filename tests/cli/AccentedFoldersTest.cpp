// A planner's folders as they are named on a Spanish Windows: the document, the working folder and the
// program's own folder (with its level table) all carry accents, and every file lands where its name
// says, the timetable document beside the accented document.

#include "CommandOutcome.h"

#include "cli/ExportCommand.h"
#include "import/WorkingTablesFixture.h"
#include "platform/Utf8Path.h"
#include "support/SampleSchool.h"

#include <gtest/gtest.h>

#include <sstream>

namespace pontrel::cli {
namespace {

namespace fs = std::filesystem;
using platform::pathFromUtf8;
using platform::utf8Of;

class AccentedFolders : public ::testing::Test {
  protected:
    void SetUp() override {
        const fs::path user = scratch.path() / pathFromUtf8("José Núñez");
        documents = user / "Documentos" / pathFromUtf8("Horario 2026-27");
        work = user / pathFromUtf8("Carpeta de trabajo ñ");
        program = user / pathFromUtf8("Programas ÁÉÍ") / "Pontrel";
        for (const fs::path& folder : {documents, work, program})
            fs::create_directories(folder);
        fs::copy_file(fs::path(PONTREL_BIN_DIR) / "NIVELCAN.DBF", program / "NIVELCAN.DBF");
        document = documents / pathFromUtf8("colegio Ñandú.xml");
    }

    CommandOutcome run(int (*command)(const std::vector<std::string>&, CommandEnvironment&),
                       const std::vector<std::string>& args) const {
        std::istringstream in;
        std::ostringstream out, err;
        CommandEnvironment environment{in, out, err, false, program};
        CommandOutcome outcome;
        outcome.status = command(args, environment);
        outcome.out = out.str();
        outcome.err = err.str();
        return outcome;
    }

    testing::ScratchFolder scratch;
    fs::path documents, work, program, document;
};

TEST_F(AccentedFolders, ExportReadsTheDocumentAndTheProgramsLevelTable) {
    fs::copy_file(testing::sampleSchool(), document);
    // The arguments arrive as UTF-8, as the platform layer gives them from the wide command line.
    const auto r = run(runExportCommand, {utf8Of(document), "--workdir", utf8Of(work), "--frames", "JOR1"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(contains(r.out, "Tablas escritas en " + utf8Of(work) + ":\n")) << r.out;
    EXPECT_TRUE(fs::exists(work / "PROFT.DBF"));
    EXPECT_TRUE(fs::exists(work / "CURSOST.DBF"));
}

TEST_F(AccentedFolders, ImportWritesTheTimetableBesideTheDocument) {
    testing::writeFile(document, testing::schoolDocument());
    testing::SchoolTables school;
    school.soluc = {{"ANA", "1", "1", "0", "MAT", "1A", "", "A1"}};
    school.write(work);
    const auto r = run(runImportCommand, {utf8Of(document), "--workdir", utf8Of(work)});
    ASSERT_EQ(r.status, 0) << r.err;
    const fs::path output = documents / pathFromUtf8("ResultadoDastelcolegio Ñandú.xml");
    EXPECT_TRUE(contains(r.out, "Documento escrito: " + utf8Of(output) + "\n")) << r.out;
    EXPECT_TRUE(fs::exists(output));
}

TEST_F(AccentedFolders, MissingDocumentIsNamedAsTyped) {
    const fs::path missing = documents / pathFromUtf8("otro colegio Ñ.xml");
    const auto r = run(runExportCommand, {utf8Of(missing), "--workdir", utf8Of(work), "--frames", "JOR1"});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(contains(r.out + r.err, "otro colegio Ñ.xml")) << r.out << r.err;
}

} // namespace
} // namespace pontrel::cli
