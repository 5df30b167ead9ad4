#pragma once
// The system asking the program to end: SIGTERM, SIGHUP or SIGINT on POSIX; the session ending
// (log-off, shut-down) or the console being closed on Windows. Velmora reads the program's result
// after it has gone, so the program gets a moment to leave it before it ends as it was asked to.

#include <functional>

namespace pontrel::platform {

// While a watch lives, a termination request runs its `onRequest` once, on a thread of the platform's
// own (never the user-interface thread, which may be busy in a run), before the program ends: with the
// signal that asked for it on POSIX; on Windows as the system ends a process whose session ends.
// `onRequest` must only touch state that is safe from another thread. Several watches may live at
// once; each is called.
class TerminationWatch {
  public:
    explicit TerminationWatch(std::function<void()> onRequest);
    ~TerminationWatch();
    TerminationWatch(const TerminationWatch&) = delete;
    TerminationWatch& operator=(const TerminationWatch&) = delete;

  private:
    int id_;
};

namespace termination {
// Shared by the systems' implementations: runs every registered watch's call (under the registry's
// lock, so a watch being destroyed waits for its call to finish).
void runRequests();
// Installs the system's listener the first time a watch is made; it then stays for the program's life.
void installListener();
} // namespace termination

} // namespace pontrel::platform
