#pragma once
// Makes a folder that the test process cannot write, as a read-only disk or a folder without write
// permission does (POSIX only). An ordinary user loses the folder's write permission. Root writes
// through any permission: the folder is then bind-mounted read-only onto itself, in a mount namespace
// of this process's own so that no other process sees it; a machine that allows no namespace (a
// container without CAP_SYS_ADMIN) leaves the folder writable and `made()` false.

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>

#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>

namespace pontrel::testing {

class ReadOnlyFolder {
  public:
    explicit ReadOnlyFolder(const std::filesystem::path& folder) : folder_(folder) {
        namespace fs = std::filesystem;
        if (::geteuid() != 0) {
            std::error_code ec;
            fs::permissions(folder_,
                            fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                            fs::perm_options::remove, ec);
            made_ = !ec;
            permissions_ = made_;
            if (!made_)
                why_ = ec.message();
            return;
        }
        const char* path = folder_.c_str();
        // Private first: a mount made in the new namespace must not travel back to the machine's own.
        if (::unshare(CLONE_NEWNS) != 0 ||
            ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            ::mount(path, path, nullptr, MS_BIND, nullptr) != 0) {
            why_ = std::strerror(errno);
            return;
        }
        if (::mount(nullptr, path, nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) != 0) {
            why_ = std::strerror(errno);
            ::umount2(path, MNT_DETACH);
            return;
        }
        made_ = true;
        mounted_ = true;
    }
    ~ReadOnlyFolder() {
        namespace fs = std::filesystem;
        std::error_code ec;
        if (mounted_)
            ::umount2(folder_.c_str(), MNT_DETACH);
        if (permissions_)
            fs::permissions(folder_, fs::perms::owner_write, fs::perm_options::add, ec);
    }
    ReadOnlyFolder(const ReadOnlyFolder&) = delete;
    ReadOnlyFolder& operator=(const ReadOnlyFolder&) = delete;

    bool made() const { return made_; }
    // Why the folder could not be made read-only.
    const std::string& why() const { return why_; }

  private:
    std::filesystem::path folder_;
    bool made_ = false;
    bool mounted_ = false;
    bool permissions_ = false;
    std::string why_;
};

} // namespace pontrel::testing
