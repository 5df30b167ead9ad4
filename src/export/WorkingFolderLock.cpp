#include "export/WorkingFolderLock.h"

#include "dbf/Error.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace pontrel::exporting {

namespace fs = std::filesystem;

namespace {

std::string folderText(const fs::path& file) {
    return file.parent_path().string();
}

[[noreturn]] void failToCreate(const fs::path& file, int error) {
    throw Error("No se puede escribir en la carpeta de trabajo " + folderText(file) + " (" +
                std::strerror(error) + "). Compruebe que existe y que tiene permiso de escritura.");
}

} // namespace

int WorkingFolderLock::attempt(const fs::path& file) {
    // The holder removes the file when it releases the lock. A process that opened the old file
    // before the removal then locks a file nobody else can see: it must notice that and start again
    // with the new file, or two processes would both believe they hold the lock.
    for (int tries = 0; tries < 100; ++tries) {
        const int fd = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        if (fd < 0)
            failToCreate(file, errno);
        struct flock lock {};
        lock.l_type = F_WRLCK;
        lock.l_whence = SEEK_SET;
        if (::fcntl(fd, F_OFD_SETLK, &lock) != 0) {
            const int error = errno;
            ::close(fd);
            if (error == EAGAIN || error == EACCES)
                return -1;
            failToCreate(file, error);
        }
        struct stat held {
        }, named{};
        if (::fstat(fd, &held) == 0 && ::stat(file.c_str(), &named) == 0 && held.st_dev == named.st_dev &&
            held.st_ino == named.st_ino)
            return fd;
        ::close(fd);
    }
    return -1;
}

WorkingFolderLock::WorkingFolderLock(const fs::path& folder, std::chrono::milliseconds wait)
    : file_(folder / kLockFileName) {
    const auto deadline = std::chrono::steady_clock::now() + wait;
    for (;;) {
        fd_ = attempt(file_);
        if (fd_ >= 0)
            return;
        if (std::chrono::steady_clock::now() >= deadline)
            throw Error("Otra ejecución de Pontrel está escribiendo las tablas de la carpeta de trabajo " +
                        folder.string() +
                        ". Espere a que termine y vuelva a intentarlo; no se ha cambiado ninguna tabla.");
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

std::optional<WorkingFolderLock> WorkingFolderLock::tryAcquire(const fs::path& folder) {
    fs::path file = folder / kLockFileName;
    const int fd = attempt(file);
    if (fd < 0)
        return std::nullopt;
    return WorkingFolderLock(std::move(file), fd);
}

WorkingFolderLock::WorkingFolderLock(WorkingFolderLock&& other) noexcept
    : file_(std::move(other.file_)), fd_(other.fd_) {
    other.fd_ = -1;
}

WorkingFolderLock::~WorkingFolderLock() {
    if (fd_ < 0)
        return;
    // Removed while still locked, so no other process can lock the file between the two calls.
    ::unlink(file_.c_str());
    ::close(fd_);
}

} // namespace pontrel::exporting
