#pragma once
// What the fault tests share: a private scratch folder per test, synthetic schools, and the
// pontrel-cli commands that export and import them.

#include "CliProcess.h"
#include "FolderSnapshot.h"
#include "SchoolGenerator.h"
#include "support/Bytes.h"
#include "support/ScratchFolder.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

namespace pontrel::faults {

namespace fs = std::filesystem;

inline long envNumber(const char* name, long fallback) {
    const char* v = std::getenv(name);
    return v && *v ? std::strtol(v, nullptr, 10) : fallback;
}

using testing::readFile;
using testing::writeFile;

// True when the process ended by itself with a status of pontrel-cli's own (0, 1 or 2), not by a
// signal, a time limit or a sanitizer report.
inline bool endedCleanly(const CliResult& r) {
    return !r.timedOut && r.signal == 0 && r.exitCode >= 0 && r.exitCode <= 2;
}

inline std::string describe(const CliResult& r) {
    // A sanitizer's report can run to megabytes (a memory map): its head and tail say enough.
    std::string shown = r.output;
    if (shown.size() > 6000)
        shown = shown.substr(0, 3000) + "\n[...]\n" + shown.substr(shown.size() - 3000);
    return "estado " + std::to_string(r.exitCode) + ", señal " + std::to_string(r.signal) +
           (r.timedOut ? ", tiempo agotado" : "") + ", salida:\n" + shown;
}

class FaultTest : public ::testing::Test {
  protected:
    void SetUp() override {
        folder_.emplace();
        root_ = folder_->path();
        fs::create_directories(root_ / "salidas");
        ASSERT_TRUE(fs::exists(cliPath())) << "pontrel-cli no está construido: " << cliPath();
    }
    void TearDown() override {
        if (HasFailure() && std::getenv("PONTREL_FAULTS_KEEP")) {
            folder_->keep();
            std::fprintf(stderr, "kept for inspection: %s\n", root_.string().c_str());
        }
        folder_.reset();
    }

    const fs::path& root() const { return root_; }
    fs::path scratch() const { return root_ / "salidas"; }

    // A school written into root/<name>/.
    bench::GeneratedSchool makeSchool(const std::string& name, int scale, std::uint32_t seed) {
        const fs::path folder = root_ / name;
        fs::create_directories(folder);
        return bench::generateSchool(bench::shapeForScale(scale), seed, folder);
    }

    // A working folder with what Velmora keeps there besides Pontrel's tables, which every run must
    // leave alone.
    fs::path makeWorkingFolder(const std::string& name) {
        const fs::path folder = root_ / name;
        fs::create_directories(folder);
        writeFile(folder / "VELMORA.CFG", "[Centro]\r\nNombre=Prueba\r\n");
        writeFile(folder / "PERIODOS.MDX", std::string(1024, '\x01'));
        return folder;
    }

    std::vector<std::string> exportArgs(const bench::GeneratedSchool& school, const fs::path& work) const {
        return {"export",        school.document.string(),   "--workdir", work.string(),
                "--level-table", school.levelTable.string(), "--frames",  school.firstFrameCode};
    }

    CliResult exportInto(const bench::GeneratedSchool& school, const fs::path& work) {
        return runCli(exportArgs(school, work), work, scratch());
    }

    // One more start of Pontrel: any command recovers the working folder first.
    CliResult startAgain(const fs::path& work) {
        return runCli({"export", (root_ / "no-existe.xml").string(), "--workdir", work.string()}, work,
                      scratch());
    }

  private:
    std::optional<testing::ScratchFolder> folder_;
    fs::path root_;
};

} // namespace pontrel::faults
