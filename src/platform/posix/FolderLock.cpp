#include "platform/FolderLock.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace pontrel::platform {

int FileLock::tryAcquire(const std::filesystem::path& file) {
    release();
    // The holder removes the file when it lets the lock go. A process that opened the old file before
    // the removal then locks a file nobody else can see: it must notice that and start again with the
    // new file, or two processes would both believe they hold the lock.
    for (int tries = 0; tries < 100; ++tries) {
        const int fd = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        if (fd < 0)
            return errno;
        struct flock lock {};
        lock.l_type = F_WRLCK;
        lock.l_whence = SEEK_SET;
        if (::fcntl(fd, F_OFD_SETLK, &lock) != 0) {
            const int error = errno;
            ::close(fd);
            return error == EACCES ? EAGAIN : error;
        }
        struct stat held {
        }, named{};
        if (::fstat(fd, &held) == 0 && ::stat(file.c_str(), &named) == 0 && held.st_dev == named.st_dev &&
            held.st_ino == named.st_ino) {
            file_ = file;
            handle_ = fd;
            return 0;
        }
        ::close(fd);
    }
    return EAGAIN;
}

void FileLock::release() {
    if (!held())
        return;
    // Removed while still locked, so no other process can lock the file between the two calls.
    ::unlink(file_.c_str());
    ::close(handle_);
    handle_ = kNoHandle;
}

} // namespace pontrel::platform
