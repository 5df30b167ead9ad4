#pragma once
// A lock file that keeps two processes apart. The system drops the lock when its holder ends, also
// when it is killed, so a stale lock never blocks a later run; releasing removes the file, which
// leaves the folder as it was. (POSIX: an open-file-description lock; Windows: an opening that shares
// nothing and deletes the file on close.)

#include <filesystem>

namespace pontrel::platform {

class FileLock {
  public:
    FileLock() = default;
    FileLock(FileLock&& other) noexcept;
    FileLock& operator=(FileLock&& other) noexcept;
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;
    ~FileLock();

    // Creates `file` if needed and takes the lock when it is free: 0, an error of ErrorKind::InUse
    // while another process holds it, or the error that kept the file from being created.
    [[nodiscard]] int tryAcquire(const std::filesystem::path& file);
    bool held() const;
    // Removes the file and lets the lock go.
    void release();

  private:
#ifdef _WIN32
    using Handle = void*; // the opening's HANDLE
    static constexpr Handle kNoHandle = nullptr;
#else
    using Handle = int; // the file descriptor
    static constexpr Handle kNoHandle = -1;
#endif
    std::filesystem::path file_;
    Handle handle_ = kNoHandle;
};

} // namespace pontrel::platform
