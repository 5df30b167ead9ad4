#include "platform/FolderLock.h"

#include <utility>

// What a lock does with itself, the same on every system; taking and letting go are the system's.
namespace pontrel::platform {

FileLock::FileLock(FileLock&& other) noexcept {
    *this = std::move(other);
}

FileLock& FileLock::operator=(FileLock&& other) noexcept {
    if (this != &other) {
        release();
        file_ = std::move(other.file_);
        handle_ = std::exchange(other.handle_, kNoHandle);
    }
    return *this;
}

FileLock::~FileLock() {
    release();
}

bool FileLock::held() const {
    return handle_ != kNoHandle;
}

} // namespace pontrel::platform
