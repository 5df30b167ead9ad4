#include "platform/TerminationRequest.h"

#include <map>
#include <mutex>
#include <utility>

// The registry of watches, the same on every system; listening for the request is the system's.
namespace pontrel::platform {

namespace {

struct Registry {
    std::mutex mutex;
    std::map<int, std::function<void()>> calls;
    int next = 0;
    bool ran = false;
};

Registry& registry() {
    static Registry* instance = new Registry; // never destroyed: the listener may outlive static objects
    return *instance;
}

} // namespace

TerminationWatch::TerminationWatch(std::function<void()> onRequest) {
    termination::installListener();
    Registry& r = registry();
    std::lock_guard<std::mutex> guard(r.mutex);
    id_ = r.next++;
    r.calls.emplace(id_, std::move(onRequest));
}

TerminationWatch::~TerminationWatch() {
    Registry& r = registry();
    std::lock_guard<std::mutex> guard(r.mutex);
    r.calls.erase(id_);
}

void termination::runRequests() {
    Registry& r = registry();
    std::lock_guard<std::mutex> guard(r.mutex);
    // A second request (a second signal while the first is being served) adds nothing.
    if (std::exchange(r.ran, true))
        return;
    for (auto& [id, call] : r.calls)
        if (call)
            call();
}

} // namespace pontrel::platform
