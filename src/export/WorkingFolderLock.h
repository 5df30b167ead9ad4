#pragma once
// Keeps two Pontrel processes from writing Velmora's working folder at the same time.
//
// The lock is an open-file-description lock on a small file in the working folder. The kernel drops it
// when its holder ends, also when the holder is killed, so a stale lock can never block a later run.
// The lock file is removed on release, which leaves the folder exactly as it was before the run.

#include <chrono>
#include <filesystem>
#include <optional>

namespace pontrel::exporting {

// The lock file's name inside the working folder.
inline constexpr const char* kLockFileName = ".pontrel-bloqueo";

class WorkingFolderLock {
  public:
    // Waits up to `wait` for another holder to finish; then fails with a Spanish message that says
    // another Pontrel run is writing the folder. Also fails when the folder cannot be written.
    WorkingFolderLock(const std::filesystem::path& folder, std::chrono::milliseconds wait);

    // Takes the lock only if it is free right now; nullopt while another process holds it.
    static std::optional<WorkingFolderLock> tryAcquire(const std::filesystem::path& folder);

    WorkingFolderLock(WorkingFolderLock&& other) noexcept;
    WorkingFolderLock& operator=(WorkingFolderLock&&) = delete;
    WorkingFolderLock(const WorkingFolderLock&) = delete;
    ~WorkingFolderLock();

  private:
    WorkingFolderLock(std::filesystem::path file, int fd) : file_(std::move(file)), fd_(fd) {}
    // One attempt: the open descriptor holding the lock, or -1 when another process holds it.
    static int attempt(const std::filesystem::path& file);

    std::filesystem::path file_;
    int fd_ = -1;
};

} // namespace pontrel::exporting
