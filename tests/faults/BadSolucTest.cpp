// A SOLUC that another program left damaged: the import stops with a message that names SOLUC, the
// earlier output stays as it was and the working tables are not touched.

#include "FaultFixtures.h"

#include <algorithm>

namespace pontrel::faults {
namespace {

using testing::le16;
using testing::putLe16;
using testing::putLe32;

std::string lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? char(c + 32) : c; });
    return s;
}

class DamagedSoluc : public FaultTest {};

TEST_F(DamagedSoluc, StopsTheImportWithAMessageAndKeepsTheEarlierOutput) {
    const auto school = makeSchool("escuela", 1, 21);
    const fs::path work = makeWorkingFolder("vtemp");
    ASSERT_EQ(exportInto(school, work).exitCode, 0);
    const std::string good = readFile(school.soluc);
    const unsigned recordLength = le16(good, 10);
    const fs::path output =
        school.document.parent_path() / ("ResultadoDastel" + school.document.filename().string());
    const std::string earlier = "documento anterior";

    auto damaged = [&](auto change) {
        std::string b = good;
        change(b);
        return b;
    };
    const struct {
        const char* name;
        std::string bytes;
    } cases[] = {
        {"cortado a la mitad", good.substr(0, good.size() / 2)},
        {"cortado dentro de la cabecera", good.substr(0, 40)},
        {"diez bytes", good.substr(0, 10)},
        {"vacío", ""},
        {"más registros de los que hay", damaged([&](std::string& b) {
             putLe32(b, 4, static_cast<unsigned>((good.size() / recordLength) + 500));
         })},
        {"cabecera más larga que el archivo",
         damaged([&](std::string& b) { putLe16(b, 8, static_cast<unsigned>(good.size() + 100)); })},
        {"cabecera más corta que sus campos", damaged([&](std::string& b) { putLe16(b, 8, 40); })},
        {"registro más largo de lo escrito",
         damaged([&](std::string& b) { putLe16(b, 10, recordLength + 7); })},
        {"registro de longitud cero", damaged([&](std::string& b) { putLe16(b, 10, 0); })},
        {"campo que se sale del registro",
         damaged([&](std::string& b) { b[32 + 32 * 4 + 16] = static_cast<char>(250); })},
    };
    const auto tablesBefore = snapshot(work);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        writeFile(work / "SOLUC.DBF", c.bytes);
        writeFile(output, earlier);
        const auto r = runCli({"import", school.document.string(), "--workdir", work.string()}, work,
                              scratch(), std::chrono::minutes(3));
        ASSERT_TRUE(endedCleanly(r)) << describe(r);
        EXPECT_EQ(r.exitCode, 1) << describe(r);
        EXPECT_NE(lower(r.output).find("soluc"), std::string::npos) << describe(r);
        EXPECT_EQ(readFile(output), earlier);
        fs::remove(work / "SOLUC.DBF");
        EXPECT_EQ(describeDifference(tablesBefore, snapshot(work)), "");
    }
}

// A SOLUC whose header counts 100 records fewer than it holds, as an engine that updates the count
// lazily, or stopped half-way through an append, leaves it: every entry is imported all the same, and
// the summary says so.
TEST_F(DamagedSoluc, RecordsPastTheHeaderCountAreImportedAndReported) {
    const auto school = makeSchool("escuela", 1, 21);
    const fs::path work = makeWorkingFolder("vtemp");
    ASSERT_EQ(exportInto(school, work).exitCode, 0);
    const std::vector<std::string> import = {"import", school.document.string(), "--workdir", work.string()};
    writeFile(work / "SOLUC.DBF", readFile(school.soluc));
    const auto sound = runCli(import, work, scratch(), std::chrono::minutes(3));
    ASSERT_EQ(sound.exitCode, 0) << describe(sound);
    const auto entriesLine = [](const std::string& output) {
        const auto at = output.find("Entradas escritas: ");
        return at == std::string::npos ? std::string() : output.substr(at, output.find('\n', at) - at);
    };
    ASSERT_NE(entriesLine(sound.output), "");

    std::string soluc = readFile(school.soluc);
    const unsigned counted = testing::le32(soluc, 4);
    ASSERT_GT(counted, 100u);
    putLe32(soluc, 4, counted - 100);
    writeFile(work / "SOLUC.DBF", soluc);
    const auto lying = runCli(import, work, scratch(), std::chrono::minutes(3));
    ASSERT_TRUE(endedCleanly(lying)) << describe(lying);
    EXPECT_EQ(lying.exitCode, 0) << describe(lying);
    EXPECT_EQ(entriesLine(lying.output), entriesLine(sound.output));
    EXPECT_NE(lying.output.find(
                  "Registros que la cabecera de SOLUC.DBF no cuenta (leídos): 100 (la cabecera dice " +
                  std::to_string(counted - 100) + ", hay " + std::to_string(counted) + ")"),
              std::string::npos)
        << describe(lying);
}

} // namespace
} // namespace pontrel::faults
