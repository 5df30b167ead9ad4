#include "platform/FolderLock.h"

#include <windows.h>

namespace pontrel::platform {

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

void FileLock::release() {
    if (!held())
        return;
    CloseHandle(static_cast<HANDLE>(handle_));
    handle_ = kNoHandle;
}

} // namespace pontrel::platform
