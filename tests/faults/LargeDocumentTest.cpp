// A valid Yedra document of 200 MB: converted within the memory target (ten times the document plus
// the tables it yields), or refused before any table is touched with a message that names the size
// limit. Never a crash, a sanitizer report or an out-of-memory kill. PONTREL_LARGE_DOCUMENT_SCALE
// changes the generator's scale (2100 gives about 200 MB).

#include "FaultFixtures.h"

namespace pontrel::faults {
namespace {

class LargeDocument : public FaultTest {};

TEST_F(LargeDocument, IsConvertedWithinTheMemoryTargetOrRefusedByTheSizeLimit) {
    const auto small = makeSchool("escuela", 1, 3);
    const fs::path work = makeWorkingFolder("vtemp");
    ASSERT_EQ(exportInto(small, work).exitCode, 0);
    const auto before = snapshot(work);

    const auto shape =
        bench::shapeForScale(static_cast<int>(envNumber("PONTREL_LARGE_DOCUMENT_SCALE", 2100)));
    const fs::path document = root() / "distrito.xml";
    const double documentMb = static_cast<double>(bench::writeYedraDocument(shape, 9, document)) / 1e6;

    // The tables a run yields are about as large as its document: the ceiling is the memory target
    // for that case, and keeps a run that grows beyond it from taking the machine down.
    const MemoryCeiling ceiling{static_cast<long>(10 * 2 * documentMb)};
    // The level table beside pontrel-cli serves: unknown course keys only give the level "Niv".
    const auto r = runCli({"export", document.string(), "--workdir", work.string(), "--frames", "J0001"},
                          work, scratch(), std::chrono::minutes(10), ceiling);
    ASSERT_TRUE(endedCleanly(r)) << "techo de memoria " << ceiling.megabytes << " MB; " << describe(r);
    if (r.exitCode == 0) {
        double tablesMb = 0;
        for (const auto& entry : fs::directory_iterator(work))
            tablesMb += static_cast<double>(entry.file_size()) / 1e6;
        for (const char* table : {"ASIGNOMT.DBF", "PROFT.DBF", "ASIGT.DBF", "DIASHORAST2.MDX"})
            EXPECT_TRUE(fs::exists(work / table)) << table;
        // Under AddressSanitizer the ceiling above is the check; the sanitizer's own memory would
        // make the target meaningless.
        if (!underAddressSanitizer()) {
            EXPECT_LT(static_cast<double>(r.peakRssKb) / 1024.0, 10 * (documentMb + tablesMb));
        }
    } else {
        EXPECT_EQ(r.exitCode, 1) << describe(r);
        EXPECT_NE(r.output.find("distrito.xml"), std::string::npos) << describe(r);
        EXPECT_NE(r.output.find("MB"), std::string::npos) << "el mensaje no nombra el límite: " << r.output;
        EXPECT_EQ(describeDifference(before, snapshot(work)), "");
    }
}

} // namespace
} // namespace pontrel::faults
