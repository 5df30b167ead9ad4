#pragma once
// Keeps two Pontrel processes (an export and an import, or two of either) from working in Velmora's
// working folder at the same time.
//
// The lock is a small file in the working folder held through the platform's file lock: the system
// drops it when its holder ends, also when the holder is killed, so a stale lock can never block a
// later run. The lock file is removed on release, which leaves the folder exactly as it was.

#include "platform/FolderLock.h"

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>

namespace pontrel {

// The lock file's name inside the working folder.
inline constexpr const char* kLockFileName = ".pontrel-bloqueo";

class WorkingFolderLock {
  public:
    // Waits up to `wait` for another holder to finish; then fails with a Spanish message that says
    // another Pontrel run is using the folder. Also fails when the folder cannot be written.
    WorkingFolderLock(const std::filesystem::path& folder, std::chrono::milliseconds wait);

    // Takes the lock only if it is free right now; nullopt while another process holds it.
    static std::optional<WorkingFolderLock> tryAcquire(const std::filesystem::path& folder);

    // For a run that only reads the tables: waits as the constructor does, but a folder that cannot be
    // written (a read-only disk, no permission) can hold no lock file: nullopt, with the system's reason
    // in `whyNone`. The caller must then write nothing into the folder.
    static std::optional<WorkingFolderLock> forReading(const std::filesystem::path& folder,
                                                       std::chrono::milliseconds wait, std::string& whyNone);

    WorkingFolderLock(WorkingFolderLock&& other) noexcept = default;
    WorkingFolderLock& operator=(WorkingFolderLock&&) = delete;
    WorkingFolderLock(const WorkingFolderLock&) = delete;

  private:
    explicit WorkingFolderLock(platform::FileLock lock) : lock_(std::move(lock)) {}

    platform::FileLock lock_;
};

} // namespace pontrel
