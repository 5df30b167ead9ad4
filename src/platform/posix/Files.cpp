#include "platform/Files.h"
#include "platform/Utf8Path.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace pontrel::platform {

namespace fs = std::filesystem;

namespace {

// Open-file-description locks belong to the opening, not to the process: two openings in one
// process exclude each other as two programs would, and closing one descriptor keeps the other's
// locks (classic fcntl locks would drop them). The byte past any real file's end says how the file
// is open: read lock shared, write lock exclusive.
constexpr off_t kOpeningByte = 0x7FFFFFF0;

int lockRange(int fd, short type, off_t start, off_t length) {
    struct flock lock {};
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    lock.l_start = start;
    lock.l_len = length;
    if (::fcntl(fd, F_OFD_SETLK, &lock) == 0)
        return 0;
    return (errno == EAGAIN || errno == EACCES) ? EAGAIN : errno;
}

// Whether anyone holds a lock that a write lock on the range would meet.
bool rangeHeld(int fd, off_t start, off_t length) {
    struct flock probe {};
    probe.l_type = F_WRLCK;
    probe.l_whence = SEEK_SET;
    probe.l_start = start;
    probe.l_len = length;
    return ::fcntl(fd, F_OFD_GETLK, &probe) != 0 || probe.l_type != F_UNLCK;
}

mode_t creationMode() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

} // namespace

File& File::operator=(File&& other) noexcept {
    if (this != &other) {
        close();
        fd_ = other.fd_;
        other.fd_ = -1;
    }
    return *this;
}

int File::open(const fs::path& path, Access access, Sharing sharing) {
    close();
    // A write lock needs a descriptor open for writing; an exclusive opening asks for one even to read.
    const bool wantWrite = access == Access::ReadWrite || sharing == Sharing::Exclusive;
    int fd = ::open(path.c_str(), (wantWrite ? O_RDWR : O_RDONLY) | O_CLOEXEC);
    bool writable = wantWrite;
    if (fd < 0 && wantWrite && access == Access::Read && (errno == EACCES || errno == EROFS)) {
        fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        writable = false;
    }
    if (fd < 0)
        return errno;
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        ::close(fd);
        return EISDIR;
    }
    int error = 0;
    if (sharing == Sharing::Shared)
        error = lockRange(fd, F_RDLCK, kOpeningByte, 1);
    else if (writable)
        error = lockRange(fd, F_WRLCK, kOpeningByte, 1);
    // A read-only file cannot carry a write lock: keep others out with a read lock, refusing when
    // anyone already holds the file.
    else if (rangeHeld(fd, kOpeningByte, 1))
        error = EAGAIN;
    else
        error = lockRange(fd, F_RDLCK, kOpeningByte, 1);
    if (error != 0) {
        ::close(fd);
        return error;
    }
    fd_ = fd;
    return 0;
}

int File::createNew(const fs::path& path) {
    close();
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0)
        return errno;
    fd_ = fd;
    return 0;
}

bool File::isOpen() const {
    return fd_ >= 0;
}

int File::size(std::uint64_t& bytes) const {
    struct stat st {};
    if (::fstat(fd_, &st) != 0)
        return errno;
    bytes = static_cast<std::uint64_t>(st.st_size);
    return 0;
}

int File::readAt(std::uint64_t offset, std::uint8_t* data, std::size_t size, std::size_t& got) const {
    got = 0;
    while (got < size) {
        const ssize_t n = ::pread(fd_, data + got, size - got, static_cast<off_t>(offset + got));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        if (n == 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    return 0;
}

int File::writeAt(std::uint64_t offset, const std::uint8_t* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::pwrite(fd_, data, size, static_cast<off_t>(offset));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
        offset += static_cast<std::uint64_t>(n);
    }
    return 0;
}

int File::truncate(std::uint64_t size) {
    return ::ftruncate(fd_, static_cast<off_t>(size)) == 0 ? 0 : errno;
}

int File::flush() const {
    return ::fsync(fd_) == 0 ? 0 : errno;
}

void File::startWritingToDisk(std::uint64_t offset, std::uint64_t size) {
#ifdef SYNC_FILE_RANGE_WRITE
    // A failure only means the bytes wait for flush(), which reports any real error.
    (void)::sync_file_range(fd_, static_cast<off_t>(offset), static_cast<off_t>(size), SYNC_FILE_RANGE_WRITE);
#else
    (void)offset;
    (void)size;
#endif
}

int File::tryLockByte(std::uint64_t offset) {
    return lockRange(fd_, F_WRLCK, static_cast<off_t>(offset), 1);
}

void File::unlockByte(std::uint64_t offset) {
    lockRange(fd_, F_UNLCK, static_cast<off_t>(offset), 1);
}

// An open-file-description probe meets the locks of every other opening, classic fcntl locks of other
// processes included, and never this opening's own.
int File::testOthersLocks() const {
    struct flock probe {};
    probe.l_type = F_WRLCK;
    probe.l_whence = SEEK_SET;
    probe.l_start = 0;
    probe.l_len = 0; // to the end of the file and past it
    if (::fcntl(fd_, F_OFD_GETLK, &probe) != 0)
        return errno;
    return probe.l_type == F_UNLCK ? 0 : EAGAIN;
}

void File::close() {
    if (fd_ >= 0) {
        ::close(fd_); // drops this opening's locks with it
        fd_ = -1;
    }
}

// Linux lets a file be deleted while another program has it open, and that program then goes on
// writing a file that no longer exists. dBase engines lock what they hold (open-file-description
// locks also see classic fcntl locks), so a lock anywhere in the file means someone holds it.
bool heldByAnother(const fs::path& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool held = rangeHeld(fd, 0, 0);
    ::close(fd);
    return held;
}

namespace {
int syncPath(const fs::path& path, bool folder) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | (folder ? O_DIRECTORY : 0));
    if (fd < 0)
        return errno;
    const int result = ::fsync(fd);
    const int error = errno;
    ::close(fd);
    // Some file systems cannot sync a folder; their renames are then as safe as they get.
    return result == 0 || error == EINVAL ? 0 : error;
}
} // namespace

int syncFile(const fs::path& path) {
    return syncPath(path, false);
}

int syncFolder(const fs::path& folder) {
    return syncPath(folder.empty() ? fs::path(".") : folder, true);
}

int moveReplacing(const fs::path& from, const fs::path& to) {
    if (const int error = moveReplacingUnsynced(from, to))
        return error;
    return syncFolder(to.parent_path());
}

int moveReplacingUnsynced(const fs::path& from, const fs::path& to) {
    return ::rename(from.c_str(), to.c_str()) != 0 ? errno : 0;
}

int TemporaryFile::create(const fs::path& target) {
    discard();
    target_ = target;
    written_ = 0;
    const fs::path folder = target.parent_path().empty() ? fs::path(".") : target.parent_path();
#ifdef O_TMPFILE
    // A file without a name: a killed process leaves nothing behind. It gets its name at commit().
    std::error_code ec;
    if (fs::exists("/proc/self/fd", ec)) {
        const int fd = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, creationMode());
        if (fd >= 0) {
            File opened;
            opened.fd_ = fd;
            file_ = std::move(opened);
            return 0;
        }
    }
#endif
    std::string name = (folder / ("." + utf8Of(target.filename()) + ".XXXXXX")).string();
    const int fd = ::mkstemp(name.data());
    if (fd < 0)
        return errno;
    File opened;
    opened.fd_ = fd;
    file_ = std::move(opened);
    name_ = name;
    if (::fchmod(fd, creationMode()) != 0)
        return errno;
    return 0;
}

int TemporaryFile::commit(const fs::path& target) {
    if (const int error = file_.flush())
        return error;
    const fs::path folder = target_.parent_path().empty() ? fs::path(".") : target_.parent_path();
    if (name_.empty()) {
        const std::string self = "/proc/self/fd/" + std::to_string(file_.fd_);
        for (int attempt = 0;; ++attempt) {
            fs::path candidate = folder / ("." + utf8Of(target_.filename()) + "." +
                                           std::to_string(::getpid()) + "-" + std::to_string(attempt));
            if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, candidate.c_str(), AT_SYMLINK_FOLLOW) == 0) {
                name_ = std::move(candidate);
                break;
            }
            if (errno != EEXIST || attempt == 100)
                return errno;
        }
    }
    const int fd = std::exchange(file_.fd_, -1);
    if (::close(fd) != 0)
        return errno;
    if (const int error = moveReplacing(name_, target))
        return error;
    name_.clear(); // it is the target now
    return 0;
}

void TemporaryFile::discard() {
    file_.close();
    if (!name_.empty()) {
        ::unlink(name_.c_str());
        name_.clear();
    }
}

} // namespace pontrel::platform
