#pragma once
// What the real-X tests need: a private Xvfb server, programs started in their own process group with
// their output in files, the X tools (xwininfo, xdotool) run against that server, and waiting.

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include <sys/types.h>

namespace pontrel::xtest {

// A program started with extra environment, its standard output and error going to files.
class Process {
  public:
    // Runs in the folder of `outputFile`.
    Process(const std::vector<std::string>& argv, const std::vector<std::string>& environment,
            const std::filesystem::path& outputFile, const std::filesystem::path& errorFile);
    ~Process();
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    // True once the program has ended (exit status in exitStatus()).
    bool finished();
    int exitStatus() const { return status_; }
    void kill();

  private:
    pid_t pid_ = -1;
    bool done_ = false;
    int status_ = -1;
};

// An Xvfb server on a display it chose itself (-displayfd), so tests can run side by side.
class Xvfb {
  public:
    Xvfb();
    ~Xvfb();
    bool running() const { return pid_ > 0 && !display_.empty(); }
    const std::string& display() const { return display_; }

  private:
    pid_t pid_ = -1;
    std::string display_;
};

// Runs a shell command with DISPLAY set and returns its standard output.
std::string runOnDisplay(const std::string& display, const std::string& command);

// The contents of a file ("" when missing).
std::string readFile(const std::filesystem::path& file);

// Polls `condition` every 50 ms until it holds or `timeout` has passed.
bool waitFor(const std::function<bool()>& condition, std::chrono::milliseconds timeout);

} // namespace pontrel::xtest
