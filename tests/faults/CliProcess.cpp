#include "CliProcess.h"

#include "support/Bytes.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace pontrel::faults {

namespace fs = std::filesystem;

fs::path cliPath() {
    return fs::path(PONTREL_BIN_DIR) / "pontrel-cli";
}

bool underAddressSanitizer() {
#if defined(__SANITIZE_ADDRESS__)
    return true;
#else
    return false;
#endif
}

std::vector<std::string> childEnvironment(const fs::path& workingFolder, MemoryCeiling ceiling) {
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        const std::string entry = *e;
        if (entry.rfind("ASAN_OPTIONS=", 0) == 0 || entry.rfind("UBSAN_OPTIONS=", 0) == 0 ||
            entry.rfind("PONTREL_VTEMP=", 0) == 0)
            continue;
        env.push_back(entry);
    }
    std::string asan = "ASAN_OPTIONS=exitcode=" + std::to_string(kAsanExitCode) + ":detect_leaks=1";
    if (ceiling.megabytes > 0)
        asan += ":hard_rss_limit_mb=" + std::to_string(ceiling.megabytes);
    env.push_back(asan);
    env.push_back("UBSAN_OPTIONS=exitcode=" + std::to_string(kUbsanExitCode) + ":print_stacktrace=1");
    // The working folder also by the environment, for commands without --workdir.
    env.push_back("PONTREL_VTEMP=" + workingFolder.string());
    env.push_back("LC_ALL=C.UTF-8");
    return env;
}

CliProcess::CliProcess(const std::vector<std::string>& args, const fs::path& workingFolder,
                       const fs::path& scratch, MemoryCeiling ceiling) {
    static std::atomic<int> counter{0};
    outputFile_ = scratch / ("salida-" + std::to_string(getpid()) + "-" + std::to_string(counter++) + ".txt");
    std::vector<std::string> argv{cliPath().string()};
    argv.insert(argv.end(), args.begin(), args.end());
    const auto env = childEnvironment(workingFolder, ceiling);
    struct rlimit addressSpace {};
    const bool limitAddressSpace = ceiling.megabytes > 0 && !underAddressSanitizer();
    addressSpace.rlim_cur = addressSpace.rlim_max = static_cast<rlim_t>(ceiling.megabytes) * 1024 * 1024;

    // Everything the child needs is prepared before fork: after it only async-signal-safe calls.
    std::vector<char*> cargv, cenv;
    for (const auto& a : argv)
        cargv.push_back(const_cast<char*>(a.c_str()));
    cargv.push_back(nullptr);
    for (const auto& e : env)
        cenv.push_back(const_cast<char*>(e.c_str()));
    cenv.push_back(nullptr);
    const int out = ::open(outputFile_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (out < 0)
        throw std::runtime_error("cannot create " + outputFile_.string());
    const int in = ::open("/dev/null", O_RDONLY | O_CLOEXEC);

    pid_ = fork();
    if (pid_ == 0) {
        dup2(in, 0); // not a terminal: pontrel-cli never asks
        dup2(out, 1);
        dup2(out, 2);
        if (limitAddressSpace)
            setrlimit(RLIMIT_AS, &addressSpace);
        execve(cargv[0], cargv.data(), cenv.data());
        _exit(127);
    }
    ::close(out);
    ::close(in);
    if (pid_ < 0)
        throw std::runtime_error("fork failed");
}

CliProcess::~CliProcess() {
    if (!reaped_ && pid_ > 0) {
        ::kill(pid_, SIGKILL);
        int status = 0;
        waitpid(pid_, &status, 0);
    }
    std::error_code ec;
    fs::remove(outputFile_, ec);
}

CliResult CliProcess::reap(int status, long rssKb) {
    reaped_ = true;
    if (WIFEXITED(status))
        result_.exitCode = WEXITSTATUS(status);
    if (WIFSIGNALED(status))
        result_.signal = WTERMSIG(status);
    result_.peakRssKb = rssKb;
    result_.output = testing::readFile(outputFile_);
    return result_;
}

bool CliProcess::running() {
    if (reaped_)
        return false;
    int status = 0;
    struct rusage usage {};
    const pid_t r = wait4(pid_, &status, WNOHANG, &usage);
    if (r == pid_) {
        reap(status, usage.ru_maxrss);
        return false;
    }
    return true;
}

CliResult CliProcess::kill() {
    if (reaped_)
        return result_;
    ::kill(pid_, SIGKILL);
    int status = 0;
    struct rusage usage {};
    wait4(pid_, &status, 0, &usage);
    return reap(status, usage.ru_maxrss);
}

CliResult CliProcess::wait(std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (running()) {
        if (std::chrono::steady_clock::now() > deadline) {
            kill();
            result_.timedOut = true;
            return result_;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return result_;
}

CliResult runCli(const std::vector<std::string>& args, const fs::path& workingFolder, const fs::path& scratch,
                 std::chrono::milliseconds limit, MemoryCeiling ceiling) {
    CliProcess p(args, workingFolder, scratch, ceiling);
    return p.wait(limit);
}

} // namespace pontrel::faults
