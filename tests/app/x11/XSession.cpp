#include "XSession.h"

#include <array>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace pontrel::xtest {

Process::Process(const std::vector<std::string>& argv, const std::vector<std::string>& environment,
                 const std::filesystem::path& outputFile, const std::filesystem::path& errorFile) {
    pid_ = fork();
    if (pid_ == 0) {
        setpgid(0, 0);
        int out = open(outputFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int err = open(errorFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(out, 1);
        dup2(err, 2);
        if (chdir(outputFile.parent_path().c_str()) != 0)
            _exit(126);
        for (const auto& variable : environment)
            putenv(const_cast<char*>(variable.c_str()));
        std::vector<char*> args;
        for (const auto& a : argv)
            args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execv(args[0], args.data());
        std::perror("exec");
        _exit(127);
    }
    if (pid_ > 0)
        setpgid(pid_, pid_);
}

Process::~Process() {
    kill();
}

bool Process::finished() {
    if (done_ || pid_ <= 0)
        return true;
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
        done_ = true;
        status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    return done_;
}

void Process::kill() {
    if (pid_ <= 0 || finished())
        return;
    ::kill(-pid_, SIGKILL);
    int status = 0;
    waitpid(pid_, &status, 0);
    done_ = true;
}

Xvfb::Xvfb() {
    int fds[2];
    if (pipe(fds) != 0)
        return;
    pid_ = fork();
    if (pid_ == 0) {
        close(fds[0]);
        int devnull = open("/dev/null", O_WRONLY);
        dup2(devnull, 1);
        dup2(devnull, 2);
        std::string fd = std::to_string(fds[1]);
        execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1024x768x24", "-nolisten", "tcp",
               static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    // Xvfb writes the display number once it accepts connections.
    std::string number;
    pollfd p{fds[0], POLLIN, 0};
    while (poll(&p, 1, 20000) > 0) {
        char c;
        if (read(fds[0], &c, 1) != 1 || c == '\n')
            break;
        number += c;
    }
    close(fds[0]);
    if (!number.empty())
        display_ = ":" + number;
}

Xvfb::~Xvfb() {
    if (pid_ > 0) {
        ::kill(pid_, SIGTERM);
        int status = 0;
        waitpid(pid_, &status, 0);
    }
}

std::string runOnDisplay(const std::string& display, const std::string& command) {
    const std::string full = "DISPLAY=" + display + " " + command + " 2>/dev/null";
    std::string output;
    if (FILE* pipe = popen(full.c_str(), "r")) {
        std::array<char, 4096> buffer;
        std::size_t n;
        while ((n = fread(buffer.data(), 1, buffer.size(), pipe)) > 0)
            output.append(buffer.data(), n);
        pclose(pipe);
    }
    return output;
}

std::string readFile(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

bool waitFor(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < end) {
        if (condition())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return condition();
}

} // namespace pontrel::xtest
