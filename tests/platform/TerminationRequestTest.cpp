// A termination request runs the watches' calls before the program ends as it was asked to: a child
// process is sent each signal (POSIX), or the listener window hears the session end (Windows).

#include "PlatformFixture.h"

#include "platform/TerminationRequest.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#ifdef _WIN32
#include <windows.h>
#else
#include <csignal>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace {

using namespace pontrel::platformtest;
using pontrel::platform::TerminationWatch;

#ifndef _WIN32

struct SignalCase {
    int signal;
    bool watching; // a watch lives when the signal comes
};

// The child writes "resultado" from its watch, as the window writes its result code.
TEST(TerminationRequest, ASignalRunsTheWatchThenEndsTheProgramWithIt) {
    const SignalCase cases[] = {{SIGTERM, true}, {SIGHUP, true}, {SIGINT, true}, {SIGTERM, false}};
    for (const SignalCase& c : cases) {
        SCOPED_TRACE("signal " + std::to_string(c.signal) + (c.watching ? " watched" : " after the watch"));
        ScratchFolder folder;
        const fs::path marker = folder / "resultado";
        int ready[2];
        ASSERT_EQ(::pipe(ready), 0);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            ::close(ready[0]);
            {
                TerminationWatch watch([&] { writeFile(marker, "0"); });
                if (c.watching) {
                    [[maybe_unused]] auto n = ::write(ready[1], "w", 1);
                    for (;;)
                        ::pause();
                }
            }
            [[maybe_unused]] auto n = ::write(ready[1], "g", 1);
            for (;;)
                ::pause();
        }
        ::close(ready[1]);
        char state = 0;
        ASSERT_EQ(::read(ready[0], &state, 1), 1);
        ::close(ready[0]);
        ASSERT_EQ(::kill(child, c.signal), 0);
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status)) << "status " << status;
        EXPECT_EQ(WTERMSIG(status), c.signal);
        EXPECT_EQ(fs::exists(marker), c.watching);
    }
}

#else

// The session's end reaches the hidden listener window even while the program's own windows are
// children of another program's window.
TEST(TerminationRequest, TheSessionEndingRunsTheWatch) {
    // Wine started without a display (scripts/wine-run.sh) has no window driver and creates no window.
    if (HWND probe =
            CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr))
        DestroyWindow(probe);
    else
        GTEST_SKIP() << "this system creates no windows (Wine without a display)";
    std::atomic<int> calls{0};
    TerminationWatch watch([&] { ++calls; });
    HWND listener = nullptr;
    for (int i = 0; i < 200 && !listener; ++i) {
        listener = FindWindowW(L"PontrelTerminationListener", nullptr);
        if (!listener)
            std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
    ASSERT_NE(listener, nullptr);
    EXPECT_FALSE(IsWindowVisible(listener));
    EXPECT_EQ(SendMessageW(listener, WM_QUERYENDSESSION, 0, 0), TRUE);
    EXPECT_EQ(calls.load(), 0) << "asking is not ending";
    SendMessageW(listener, WM_ENDSESSION, FALSE, 0);
    EXPECT_EQ(calls.load(), 0) << "an end that was called off";
    SendMessageW(listener, WM_ENDSESSION, TRUE, 0);
    EXPECT_EQ(calls.load(), 1);
}

#endif

} // namespace
