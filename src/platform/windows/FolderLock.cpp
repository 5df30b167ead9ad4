#include "platform/FolderLock.h"

#include <utility>
#include <windows.h>

namespace pontrel::platform {

FileLock::FileLock(FileLock&& other) noexcept {
    *this = std::move(other);
}

FileLock& FileLock::operator=(FileLock&& other) noexcept {
    if (this != &other) {
        release();
        file_ = std::move(other.file_);
        handle_ = std::exchange(other.handle_, nullptr);
    }
    return *this;
}

FileLock::~FileLock() {
    release();
}

int FileLock::tryAcquire(const std::filesystem::path& file) {
    release();
    // Sharing nothing is the lock: another process's opening fails with a sharing violation. The
    // system deletes the file when the last handle goes, also when the holder is killed.
    HANDLE h = CreateFileW(file.wstring().c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, 0, nullptr,
                           OPEN_ALWAYS, FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        // A lock file still being deleted by its last holder refuses new openings for a moment.
        if (error == ERROR_ACCESS_DENIED &&
            GetFileAttributesW(file.wstring().c_str()) != INVALID_FILE_ATTRIBUTES)
            return ERROR_SHARING_VIOLATION;
        return static_cast<int>(error);
    }
    file_ = file;
    handle_ = h;
    return 0;
}

bool FileLock::held() const {
    return handle_ != nullptr;
}

void FileLock::release() {
    if (!handle_)
        return;
    CloseHandle(static_cast<HANDLE>(handle_));
    handle_ = nullptr;
}

} // namespace pontrel::platform
