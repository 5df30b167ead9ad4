// Kill-safety of the working folder and of the import's output: pontrel-cli is killed with SIGKILL at
// random moments (seeded; PONTREL_KILL_SEED, PONTREL_KILL_COUNT, PONTREL_KILL_SECONDS and
// PONTREL_KILL_SCALE change the defaults), and after one more start of Pontrel the folder must hold
// the complete old set of files or the complete new one, byte for byte.

#include "FaultFixtures.h"

#include "exchange/velmora/TableSetReplacement.h"

#include <algorithm>
#include <chrono>
#include <random>
#include <regex>
#include <thread>

namespace pontrel::faults {
namespace {

using namespace std::chrono;

struct KillBudget {
    long count = envNumber("PONTREL_KILL_COUNT", 30);
    seconds limit{envNumber("PONTREL_KILL_SECONDS", 100)};
    std::uint32_t seed = static_cast<std::uint32_t>(envNumber("PONTREL_KILL_SEED", 6));
    int scale = static_cast<int>(envNumber("PONTREL_KILL_SCALE", 10));
};

class KillSafety : public FaultTest {
  protected:
    // The old set (a small school exported over Velmora's own files) and the new set (the large school
    // exported over the old set), each kept as a pristine copy and as a snapshot.
    void prepareSets() {
        oldSchool_ = makeSchool("anterior", 2, 7);
        newSchool_ = makeSchool("nueva", budget_.scale, 11);
        oldPristine_ = makeWorkingFolder("vtemp-anterior");
        const auto first = exportInto(oldSchool_, oldPristine_);
        ASSERT_EQ(first.exitCode, 0) << describe(first);
        oldSet_ = snapshot(oldPristine_);

        work_ = root() / "vtemp";
        restoreFolder(oldPristine_, work_);
        const auto start = steady_clock::now();
        const auto full = exportInto(newSchool_, work_);
        exportTime_ = duration_cast<milliseconds>(steady_clock::now() - start);
        ASSERT_EQ(full.exitCode, 0) << describe(full);
        newSet_ = snapshot(work_);
        ASSERT_NE(oldSet_, newSet_);
    }

    // After one more start, the folder is exactly one of the two sets.
    void expectOldOrNew(const std::string& when) {
        const auto again = startAgain(work_);
        ASSERT_TRUE(endedCleanly(again)) << when << ": " << describe(again);
        const auto now = snapshot(work_);
        if (now == oldSet_)
            ++oldOutcomes_;
        else if (now == newSet_)
            ++newOutcomes_;
        else
            FAIL() << when << ": la carpeta de trabajo no es ni el juego anterior ni el nuevo.\n"
                   << "Frente al anterior:\n"
                   << describeDifference(oldSet_, now) << "Frente al nuevo:\n"
                   << describeDifference(newSet_, now);
    }

    KillBudget budget_;
    bench::GeneratedSchool oldSchool_, newSchool_;
    fs::path oldPristine_, work_;
    FolderSnapshot oldSet_, newSet_;
    milliseconds exportTime_{0};
    int oldOutcomes_ = 0, newOutcomes_ = 0;
};

TEST_F(KillSafety, ExportKilledAtRandomMomentsLeavesTheOldSetOrTheNewOne) {
    ASSERT_NO_FATAL_FAILURE(prepareSets());
    std::mt19937 rng(budget_.seed);
    // Half of the kills fall anywhere in the run (and a little past its usual end); the other half
    // right after the replacement's journal appears, within the few milliseconds the moves take,
    // which a uniform moment would hardly ever hit.
    std::uniform_int_distribution<long> anyMoment(0, exportTime_.count() * 11 / 10 + 1);
    std::uniform_int_distribution<long> duringMoves(0, 4000); // microseconds after the journal
    const fs::path journal = work_ / kJournalFileName;
    const auto deadline = steady_clock::now() + budget_.limit;
    int killedWhileRunning = 0, kills = 0, journalsLeft = 0;
    for (; kills < budget_.count && steady_clock::now() < deadline; ++kills) {
        restoreFolder(oldPristine_, work_);
        std::string when;
        {
            CliProcess run(exportArgs(newSchool_, work_), work_, scratch());
            if (kills % 2 == 0) {
                const long at = anyMoment(rng);
                std::this_thread::sleep_for(milliseconds(at));
                when = "muerte a los " + std::to_string(at) + " ms";
            } else {
                while (run.running() && !fs::exists(journal))
                    std::this_thread::sleep_for(microseconds(200));
                const long at = duringMoves(rng);
                std::this_thread::sleep_for(microseconds(at));
                when = "muerte " + std::to_string(at) + " µs después del diario";
            }
            const bool wasRunning = run.running();
            const auto ended = run.kill();
            if (wasRunning && ended.signal == SIGKILL)
                ++killedWhileRunning;
            else
                ASSERT_EQ(ended.exitCode, 0) << "sin matar: " << describe(ended);
        }
        when += " (semilla " + std::to_string(budget_.seed) + ")";
        const bool journalLeft = fs::exists(journal);
        journalsLeft += journalLeft;
        if (journalLeft) {
            // The start that finds the journal puts the folder right and says so in one line.
            const auto again = startAgain(work_);
            ASSERT_TRUE(endedCleanly(again)) << when << ": " << describe(again);
            EXPECT_NE(again.output.find('\n'), again.output.rfind('\n'))
                << when << ": sin aviso de la recuperación\n"
                << again.output;
        }
        ASSERT_NO_FATAL_FAILURE(expectOldOrNew(when));
    }
    std::printf("[ kill ] %d muertes (%d en plena ejecución de %lld ms, %d con el diario a medias): "
                "%d juego anterior, %d juego nuevo\n",
                kills, killedWhileRunning, static_cast<long long>(exportTime_.count()), journalsLeft,
                oldOutcomes_, newOutcomes_);
    // Most kills must land inside the run, or the loop proves nothing.
    EXPECT_GE(killedWhileRunning * 2, kills);
}

TEST_F(KillSafety, TwoExportsIntoOneFolderAtOnceEndWithOneCompleteSet) {
    ASSERT_NO_FATAL_FAILURE(prepareSets());
    // A second new set, from another school of the same size.
    const auto otherSchool = makeSchool("otra", budget_.scale, 12);
    const fs::path otherWork = root() / "vtemp-otra";
    restoreFolder(oldPristine_, otherWork);
    ASSERT_EQ(exportInto(otherSchool, otherWork).exitCode, 0);
    const auto otherSet = snapshot(otherWork);

    for (const long offsetPercent : {0L, 30L, 70L}) {
        restoreFolder(oldPristine_, work_);
        CliProcess first(exportArgs(newSchool_, work_), work_, scratch());
        std::this_thread::sleep_for(milliseconds(exportTime_.count() * offsetPercent / 100));
        CliProcess second(exportArgs(otherSchool, work_), work_, scratch());
        const auto a = first.wait(minutes(5));
        const auto b = second.wait(minutes(5));
        const std::string when = "segunda exportación al " + std::to_string(offsetPercent) + " %";
        ASSERT_TRUE(endedCleanly(a)) << when << ": " << describe(a);
        ASSERT_TRUE(endedCleanly(b)) << when << ": " << describe(b);
        EXPECT_TRUE(a.exitCode == 0 || b.exitCode == 0) << when << ": ninguna terminó\n"
                                                        << a.output << b.output;
        for (const auto* r : {&a, &b})
            if (r->exitCode != 0) {
                EXPECT_NE(r->output.find_first_not_of(" \r\n"), std::string::npos)
                    << when << ": parada sin mensaje";
            }
        ASSERT_TRUE(endedCleanly(startAgain(work_)));
        const auto now = snapshot(work_);
        EXPECT_TRUE(now == newSet_ || now == otherSet)
            << when << ": mezcla de juegos.\nFrente al primero:\n"
            << describeDifference(newSet_, now) << "Frente al segundo:\n"
            << describeDifference(otherSet, now);
    }
}

// The output document, with the moment of writing (attribute fecha) left out.
std::string withoutDate(const std::string& document) {
    static const std::regex fecha("fecha=\"[^\"]*\"");
    return std::regex_replace(document, fecha, "fecha=\"\"");
}

TEST_F(KillSafety, ImportKilledAtRandomMomentsLeavesTheEarlierOutputOrTheNewOne) {
    // A smaller school: the output's safety does not depend on its size, and the import is the slower run.
    const auto school = makeSchool("escuela", std::max(1, budget_.scale / 4), 13);
    work_ = makeWorkingFolder("vtemp");
    ASSERT_EQ(exportInto(school, work_).exitCode, 0);
    fs::copy_file(school.soluc, work_ / "SOLUC.DBF");
    const std::vector<std::string> importArgs = {"import", school.document.string(), "--workdir",
                                                 work_.string()};
    const fs::path output =
        school.document.parent_path() / ("ResultadoDastel" + school.document.filename().string());

    const auto start = steady_clock::now();
    const auto full = runCli(importArgs, work_, scratch());
    const auto importTime = duration_cast<milliseconds>(steady_clock::now() - start);
    ASSERT_EQ(full.exitCode, 0) << describe(full);
    const std::string complete = withoutDate(readFile(output));
    ASSERT_NE(complete.find("</SERVICIO>"), std::string::npos);
    const std::string earlier = "<?xml version=\"1.0\"?>\n<SERVICIO>documento anterior</SERVICIO>\n";
    const auto tablesBefore = snapshot(work_);
    std::size_t leftovers = 0;

    std::mt19937 rng(budget_.seed + 1);
    std::uniform_int_distribution<long> anyMoment(0, importTime.count() * 11 / 10 + 1);
    std::uniform_int_distribution<long> duringSave(0, 3000); // microseconds after the save begins
    const fs::path outputFolder = output.parent_path();
    const auto known = [&](const fs::path& p) {
        return p == output || p == school.document || p == school.levelTable || p == school.soluc;
    };
    const auto saving = [&] {
        for (const auto& entry : fs::directory_iterator(outputFolder))
            if (!known(entry.path()))
                return true;
        return false;
    };
    const auto deadline = steady_clock::now() + budget_.limit;
    int kills = 0, earlierKept = 0, newWritten = 0, duringSaveKills = 0;
    for (; kills < budget_.count && steady_clock::now() < deadline; ++kills) {
        writeFile(output, earlier);
        std::string when;
        {
            CliProcess run(importArgs, work_, scratch());
            if (kills % 2 == 0) {
                const long at = anyMoment(rng);
                std::this_thread::sleep_for(milliseconds(at));
                when = "muerte a los " + std::to_string(at) + " ms";
            } else {
                // Right after the save has created its file next to the output.
                while (run.running() && !saving())
                    std::this_thread::sleep_for(microseconds(200));
                duringSaveKills += run.running();
                const long at = duringSave(rng);
                std::this_thread::sleep_for(microseconds(at));
                when = "muerte " + std::to_string(at) + " µs después de empezar a guardar";
            }
            run.kill();
        }
        const std::string now = readFile(output);
        if (now == earlier)
            ++earlierKept;
        else if (withoutDate(now) == complete)
            ++newWritten;
        else
            FAIL() << when << ": el documento de salida está a medias (" << now.size() << " bytes de "
                   << complete.size() << ")";
        // What a killed save leaves beside the output is not the output; it goes before the next kill.
        for (const auto& entry : fs::directory_iterator(outputFolder))
            if (!known(entry.path())) {
                ++leftovers;
                fs::remove(entry.path());
            }
    }
    std::printf("[ kill ] %d muertes de la importación (%lld ms, %d mientras guardaba): %d salida anterior, "
                "%d salida nueva, %zu archivos temporales abandonados\n",
                kills, static_cast<long long>(importTime.count()), duringSaveKills, earlierKept, newWritten,
                leftovers);
    // The import only reads the working tables: a kill leaves them as they were.
    EXPECT_EQ(describeDifference(tablesBefore, snapshot(work_)), "");
}

} // namespace
} // namespace pontrel::faults
