// pontrel-bench: times the export and the import runs on synthetic schools of three sizes against
// their floor (see Floor.h), and reports the peak memory of each. The export and the import of a scale
// run in child processes of their own, so that each peak is its own. The output format is documented
// in bench/README.md and kept stable: scripts compare runs by it.

#include "BenchUserInterface.h"
#include "Floor.h"
#include "SchoolGenerator.h"

#include "dbf/Error.h"
#include "export/ExportRun.h"
#include "import/ImportRun.h"
#include "platform/Memory.h"

#include <malloc.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using namespace pontrel;

namespace {

struct Options {
    std::vector<int> scales{1, 10, 100};
    int repeats = 5;
    std::uint32_t seed = 20260901;
    fs::path keep;         // when set, the generated files of each scale stay there
    int generateScale = 0; // --generate SCALE FOLDER: only write that school (for profiling by hand)
    fs::path generateInto;
};

// The figures of one scale, gathered from its children.
struct ScaleResult {
    int scale = 0;
    int teachers = 0;
    double documentMb = 0, tablesMb = 0;
    double exportS = 0, exportFloorS = 0, importS = 0, importFloorS = 0;
    double exportStreamS = 0, importStreamS = 0; // the streaming floors
    double exportPeakMb = 0, importPeakMb = 0;   // of the runs alone
};

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const auto n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// Each timed section starts from a settled heap: the millions of small blocks that a run frees at its
// end would otherwise be consolidated inside the next section's first allocations, charging one
// section's clean-up to the other.
void settleHeap() {
    malloc_trim(0);
}

// And from a settled disk: a run's first fsync commits the file system's journal, which would
// otherwise carry what the previous section left unwritten (the files an earlier run put aside and
// removed, a floor's scratch file) and charge it to this run.
void settleDisk() {
    ::sync();
}

// The peak resident memory of this process is set back to what it holds now, so that the next peak
// read is that of what runs in between (Linux: /proc/self/clear_refs, VmHWM).
void resetPeakMemory() {
    std::ofstream("/proc/self/clear_refs") << "5";
}

double peakMemoryMb() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0)
            return std::atof(line.c_str() + 6) / 1024.0; // in kB
    return 0;
}

double seconds(std::chrono::steady_clock::time_point a, std::chrono::steady_clock::time_point b) {
    return std::chrono::duration<double>(b - a).count();
}

std::uintmax_t folderBytes(const fs::path& folder, std::vector<fs::path>* files = nullptr) {
    std::uintmax_t total = 0;
    for (const auto& entry : fs::directory_iterator(folder))
        if (entry.is_regular_file()) {
            total += entry.file_size();
            if (files)
                files->push_back(entry.path());
        }
    return total;
}

void requireCompleted(RunOutcome outcome, const bench::BenchUserInterface& ui, const char* run) {
    if (outcome == RunOutcome::Completed)
        return;
    std::string shown;
    for (const auto& m : ui.messages)
        shown += " «" + m + "»";
    throw Error(std::string("La ejecución de ") + run + " no terminó con «Proceso finalizado»:" + shown);
}

// What one child process reports: a line of figures, and its peak resident memory.
struct ChildReport {
    std::string text;
    double peakMb = 0;
};

// Runs `work` in a child process of its own, so that the peak memory is that of the work alone.
// The child writes its figures to a pipe; an error ends it with status 1 and its message on stderr.
bool runInChild(const std::function<std::string()>& work, ChildReport& report) {
    int fds[2];
    if (pipe(fds) != 0)
        return false;
    std::cout.flush();
    std::fflush(stdout);
    const pid_t child = fork();
    if (child == 0) {
        close(fds[0]);
        int status = 0;
        try {
            const std::string text = work();
            if (write(fds[1], text.data(), text.size()) != static_cast<ssize_t>(text.size()))
                status = 1;
        } catch (const std::exception& e) {
            std::cerr << e.what() << '\n';
            status = 1;
        }
        close(fds[1]);
        std::_Exit(status);
    }
    close(fds[1]);
    report.text.clear();
    char buf[512];
    ssize_t n;
    while ((n = read(fds[0], buf, sizeof buf)) > 0)
        report.text.append(buf, static_cast<std::size_t>(n));
    close(fds[0]);
    int status = 0;
    struct rusage usage {};
    wait4(child, &status, 0, &usage);
    report.peakMb = static_cast<double>(usage.ru_maxrss) / 1024.0; // ru_maxrss is in KiB on Linux
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

struct ScaleFolders {
    fs::path root, work, output;
    bench::GeneratedSchool school;
};

RunSession sessionFor(const ScaleFolders& f) {
    RunSession session;
    session.workingFolder = f.work;
    session.programFolder = f.school.levelTable.parent_path();
    session.levelTable = f.school.levelTable;
    return session;
}

// The export child: `repeats` export runs, each followed by its floor. The first run writes into the
// empty working folder, the later ones replace the set the previous one wrote.
std::string measureExports(const ScaleFolders& f, int repeats) {
    std::vector<double> runs, floors, streamFloors;
    double peakMb = 0;
    for (int i = 0; i < repeats; ++i) {
        bench::BenchUserInterface ui(f.school.document, f.school.firstFrameCode, f.school.frameCount);
        RunSession session = sessionFor(f);
        settleDisk();
        settleHeap();
        resetPeakMemory();
        const auto t0 = std::chrono::steady_clock::now();
        requireCompleted(exporting::ExportRun(session, ui).run(), ui, "la exportación");
        runs.push_back(seconds(t0, std::chrono::steady_clock::now()));
        peakMb = std::max(peakMb, peakMemoryMb());
        for (const auto read : {bench::DocumentRead::Stream, bench::DocumentRead::Tree}) {
            settleDisk();
            settleHeap();
            (read == bench::DocumentRead::Tree ? floors : streamFloors)
                .push_back(bench::measureFloor(read, f.school.document, {f.school.levelTable},
                                               folderBytes(f.work), f.root / "suelo.tmp"));
        }
    }
    std::ostringstream line;
    line.precision(9);
    line << median(runs) << ' ' << median(floors) << ' ' << median(streamFloors) << ' ' << peakMb;
    return line.str();
}

// The import child: `repeats` import runs over the exported folder with SOLUC, each with its floor.
std::string measureImports(const ScaleFolders& f, int repeats) {
    std::vector<double> runs, floors, streamFloors;
    double peakMb = 0;
    std::vector<fs::path> inputTables;
    const std::uintmax_t tablesBytes = folderBytes(f.work, &inputTables);
    for (int i = 0; i < repeats; ++i) {
        bench::BenchUserInterface ui(f.school.document, f.school.firstFrameCode, f.school.frameCount);
        RunSession session = sessionFor(f);
        fs::remove(f.output);
        settleDisk();
        settleHeap();
        resetPeakMemory();
        const auto t0 = std::chrono::steady_clock::now();
        requireCompleted(importing::ImportRun(session, ui).run(), ui, "la importación");
        runs.push_back(seconds(t0, std::chrono::steady_clock::now()));
        peakMb = std::max(peakMb, peakMemoryMb());
        for (const auto read : {bench::DocumentRead::Stream, bench::DocumentRead::Tree}) {
            settleDisk();
            settleHeap();
            (read == bench::DocumentRead::Tree ? floors : streamFloors)
                .push_back(bench::measureFloor(read, f.school.document, inputTables, fs::file_size(f.output),
                                               f.root / "suelo.tmp"));
        }
    }
    std::ostringstream line;
    line.precision(9);
    line << median(runs) << ' ' << median(floors) << ' ' << median(streamFloors) << ' ' << peakMb << ' '
         << tablesBytes;
    return line.str();
}

// One scale: the school is generated, exported and imported each in a child process of its own.
bool runScale(int scale, const Options& opt, ScaleResult& result) {
    ScaleFolders f;
    f.root = opt.keep.empty() ? fs::temp_directory_path() / ("pontrel-bench-" + std::to_string(getpid()))
                              : opt.keep / ("scale-" + std::to_string(scale));
    fs::remove_all(f.root);
    fs::create_directories(f.root / "escuela");
    f.work = f.root / "vtemp";
    fs::create_directories(f.work);
    const auto shape = bench::shapeForScale(scale);

    f.school = bench::describeSchool(shape, f.root / "escuela");
    f.output = f.school.document.parent_path() / ("ResultadoDastel" + f.school.document.filename().string());
    ChildReport generated, exported, imported;
    const bool ok =
        runInChild(
            [&] {
                return std::to_string(
                    bench::generateSchool(shape, opt.seed, f.root / "escuela").documentBytes);
            },
            generated) &&
        runInChild([&] { return measureExports(f, opt.repeats); }, exported) &&
        [&] {
            fs::copy_file(f.school.soluc, f.work / "SOLUC.DBF", fs::copy_options::overwrite_existing);
            return true;
        }() &&
        runInChild([&] { return measureImports(f, opt.repeats); }, imported);
    if (ok) {
        std::istringstream e(exported.text), i(imported.text);
        double tablesBytes = 0;
        e >> result.exportS >> result.exportFloorS >> result.exportStreamS >> result.exportPeakMb;
        i >> result.importS >> result.importFloorS >> result.importStreamS >> result.importPeakMb >>
            tablesBytes;
        result.scale = scale;
        result.teachers = shape.teachers;
        result.documentMb = static_cast<double>(fs::file_size(f.school.document)) / 1e6;
        result.tablesMb = tablesBytes / 1e6;
    }
    if (opt.keep.empty())
        fs::remove_all(f.root);
    return ok;
}

bool parseOptions(int argc, char** argv, Options& opt) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--scales" && hasValue) {
            opt.scales.clear();
            std::istringstream list(argv[++i]);
            std::string item;
            while (std::getline(list, item, ','))
                opt.scales.push_back(std::atoi(item.c_str()));
            if (opt.scales.empty() ||
                std::any_of(opt.scales.begin(), opt.scales.end(), [](int s) { return s < 1; }))
                return false;
        } else if (arg == "--repeats" && hasValue) {
            opt.repeats = std::atoi(argv[++i]);
            if (opt.repeats < 1)
                return false;
        } else if (arg == "--seed" && hasValue) {
            opt.seed = static_cast<std::uint32_t>(std::strtoul(argv[++i], nullptr, 10));
        } else if (arg == "--generate" && i + 2 < argc) {
            opt.generateScale = std::atoi(argv[++i]);
            opt.generateInto = argv[++i];
            if (opt.generateScale < 1)
                return false;
        } else if (arg == "--keep" && hasValue) {
            opt.keep = argv[++i];
        } else {
            return false;
        }
    }
    return true;
}

const char* verdict(bool ok) {
    return ok ? "ok" : "FALLA";
}

} // namespace

int main(int argc, char** argv) {
    // As the programs do: the runs measured are the runs that they make.
    pontrel::platform::keepFreedMemoryForReuse();
    Options opt;
    if (!parseOptions(argc, argv, opt)) {
        std::cerr << "Uso: pontrel-bench [--scales 1,10,100] [--repeats 5] [--seed N] [--keep CARPETA]\n"
                     "     pontrel-bench --generate ESCALA CARPETA [--seed N]\n";
        return 2;
    }
    if (opt.generateScale > 0) {
        fs::create_directories(opt.generateInto);
        const auto school =
            bench::generateSchool(bench::shapeForScale(opt.generateScale), opt.seed, opt.generateInto);
        std::printf("%s (%ju bytes), %s, %s (%zu registros); marco %s\n", school.document.c_str(),
                    static_cast<std::uintmax_t>(school.documentBytes), school.levelTable.c_str(),
                    school.soluc.c_str(), school.solucRecords, school.firstFrameCode.c_str());
        return 0;
    }
    std::printf("# pontrel-bench 2 seed=%u repeats=%d (median seconds; MB = 10^6 bytes)\n", opt.seed,
                opt.repeats);
    std::printf("%-5s %8s %8s %9s %9s %9s %7s %9s %9s %7s %9s %9s %7s %7s %9s %7s %9s %7s %7s %7s\n", "scale",
                "teachers", "doc_MB", "tables_MB", "export_s", "floor_s", "ratio", "import_s", "floor_s",
                "ratio", "exp_MB", "imp_MB", "exp_x", "imp_x", "stream_s", "exp_sr", "stream_s", "imp_sr",
                "exp_dx", "imp_dx");
    std::fflush(stdout);
    std::map<int, ScaleResult> results;
    bool allRan = true;
    for (int scale : opt.scales) {
        ScaleResult r;
        if (!runScale(scale, opt, r)) {
            std::printf("%-5d failed\n", scale);
            allRan = false;
            continue;
        }
        results[scale] = r;
        const double inputMb = r.documentMb + r.tablesMb;
        std::printf(
            "%-5d %8d %8.2f %9.2f %9.4f %9.4f %7.2f %9.4f %9.4f %7.2f %9.1f %9.1f %7.2f %7.2f %9.4f %7.2f "
            "%9.4f %7.2f %7.2f %7.2f\n",
            r.scale, r.teachers, r.documentMb, r.tablesMb, r.exportS, r.exportFloorS,
            r.exportS / r.exportFloorS, r.importS, r.importFloorS, r.importS / r.importFloorS, r.exportPeakMb,
            r.importPeakMb, r.exportPeakMb / inputMb, r.importPeakMb / inputMb, r.exportStreamS,
            r.exportS / r.exportStreamS, r.importStreamS, r.importS / r.importStreamS,
            r.exportPeakMb / r.documentMb, r.importPeakMb / r.documentMb);
        std::fflush(stdout);
    }

    bool targetsMet = allRan;
    if (results.count(100)) {
        const auto& big = results[100];
        const bool exportOk = big.exportS <= 2.5 * big.exportStreamS;
        const bool importOk = big.importS <= 3 * big.importStreamS;
        const bool exportMemoryOk = big.exportPeakMb <= 4 * big.documentMb;
        const bool importMemoryOk = big.importPeakMb <= 4 * big.documentMb;
        std::printf("target exp_sr@100 <= 2.5: %s\n", verdict(exportOk));
        std::printf("target imp_sr@100 <= 3: %s\n", verdict(importOk));
        std::printf("target exp_dx@100 <= 4: %s\n", verdict(exportMemoryOk));
        std::printf("target imp_dx@100 <= 4: %s\n", verdict(importMemoryOk));
        targetsMet = targetsMet && exportOk && importOk && exportMemoryOk && importMemoryOk;
        if (results.count(10)) {
            const auto& mid = results[10];
            const double exportGrowth = big.exportS / mid.exportS;
            const double importGrowth = big.importS / mid.importS;
            std::printf("growth export 100/10 = %.2f (target <= 10.5): %s\n", exportGrowth,
                        verdict(exportGrowth <= 10.5));
            std::printf("growth import 100/10 = %.2f (target <= 10.5): %s\n", importGrowth,
                        verdict(importGrowth <= 10.5));
            targetsMet = targetsMet && exportGrowth <= 10.5 && importGrowth <= 10.5;
        }
    }
    return targetsMet ? 0 : 1;
}
