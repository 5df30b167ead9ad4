#include "platform/TerminationRequest.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <mutex>
#include <thread>
#include <unistd.h>

namespace pontrel::platform {

namespace {

// The signals whose default action ends the program and that a user or a host sends to ask for it.
constexpr int kRequests[] = {SIGTERM, SIGHUP, SIGINT};

int requestPipe[2] = {-1, -1};

// A signal handler may do next to nothing: it hands the signal number to the listener's thread.
void onSignal(int signal) {
    const unsigned char number = static_cast<unsigned char>(signal);
    const int saved = errno;
    [[maybe_unused]] const ssize_t written = ::write(requestPipe[1], &number, 1);
    errno = saved;
}

void listen() {
    unsigned char number = 0;
    for (;;) {
        const ssize_t got = ::read(requestPipe[0], &number, 1);
        if (got == 1)
            break;
        if (got < 0 && errno == EINTR)
            continue;
        return;
    }
    termination::runRequests();
    // Then the program ends as the signal asked: its default action, so the parent sees the signal.
    struct sigaction fallback {};
    fallback.sa_handler = SIG_DFL;
    sigemptyset(&fallback.sa_mask);
    ::sigaction(number, &fallback, nullptr);
    ::raise(number);
    ::_exit(128 + number); // a signal that was blocked in this thread
}

} // namespace

void termination::installListener() {
    static std::once_flag once;
    std::call_once(once, [] {
        if (::pipe2(requestPipe, O_CLOEXEC) != 0)
            return;
        std::thread(listen).detach();
        struct sigaction action {};
        action.sa_handler = onSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        for (int signal : kRequests) {
            // A signal the parent told this program to ignore (nohup) stays ignored.
            struct sigaction before {};
            if (::sigaction(signal, nullptr, &before) == 0 && before.sa_handler == SIG_IGN)
                continue;
            ::sigaction(signal, &action, nullptr);
        }
    });
}

} // namespace pontrel::platform
