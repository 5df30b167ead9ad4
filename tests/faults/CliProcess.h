#pragma once
// Runs pontrel-cli as a separate process, as a district office's script or a second window would:
// to the end with a time limit, or started and then killed at a chosen moment.

#include <chrono>
#include <filesystem>
#include <string>
#include <sys/types.h>
#include <vector>

namespace pontrel::faults {

struct CliResult {
    int exitCode = -1; // when it ended by itself
    int signal = 0;    // when a signal ended it (also our SIGKILL after the time limit)
    bool timedOut = false;
    std::string output; // stdout and stderr together
    long peakRssKb = 0; // the process's peak resident memory
};

// The pontrel-cli of this build.
std::filesystem::path cliPath();

// A ceiling on the child's memory, so that a run that grows without bound fails its test instead of
// the machine: address space when the build has no AddressSanitizer, resident memory (checked by the
// sanitizer itself) when it has.
struct MemoryCeiling {
    long megabytes = 0; // 0: none
};

// Environment for the child: the sanitizers report with exit codes of their own, so that a sanitizer
// finding is never mistaken for the ordinary "stopped" status 1.
std::vector<std::string> childEnvironment(const std::filesystem::path& workingFolder,
                                          MemoryCeiling ceiling = {});

// True when this build (and so pontrel-cli) runs under AddressSanitizer.
bool underAddressSanitizer();

class CliProcess {
  public:
    // Starts pontrel-cli with `args`; its output goes to a file in `scratch`.
    CliProcess(const std::vector<std::string>& args, const std::filesystem::path& workingFolder,
               const std::filesystem::path& scratch, MemoryCeiling ceiling = {});
    ~CliProcess();
    CliProcess(const CliProcess&) = delete;
    CliProcess& operator=(const CliProcess&) = delete;

    pid_t pid() const { return pid_; }
    // True while the process has not ended (it is reaped when it has).
    bool running();
    // Sends SIGKILL (if still running) and waits for the end.
    CliResult kill();
    // Waits for the end, killing the process after `limit`.
    CliResult wait(std::chrono::milliseconds limit);

  private:
    CliResult reap(int status, long rssKb);
    pid_t pid_ = -1;
    bool reaped_ = false;
    CliResult result_;
    std::filesystem::path outputFile_;
};

// Runs to the end (at most `limit`) and returns how it ended.
CliResult runCli(const std::vector<std::string>& args, const std::filesystem::path& workingFolder,
                 const std::filesystem::path& scratch,
                 std::chrono::milliseconds limit = std::chrono::milliseconds(600000),
                 MemoryCeiling ceiling = {});

// Exit codes of the sanitizers in the child.
inline constexpr int kAsanExitCode = 86;
inline constexpr int kUbsanExitCode = 87;

} // namespace pontrel::faults
