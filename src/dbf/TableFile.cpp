#include "dbf/TableFile.h"

#include "dbf/Messages.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace pontrel::dbf {

namespace {

// Lock bytes, far past the end of any table: locking them never blocks reading or writing data.
constexpr std::uint64_t kOpenLockByte = 0x7FFFFFF0;
constexpr std::uint64_t kWriterLockByte = 0x7FFFFFF1;
// A writer waits this long for another opening to finish writing its record.
constexpr auto kWriterWait = std::chrono::seconds(10);

std::string systemReason(int error) {
    switch (error) {
    case ENOENT:
        return "el archivo no existe";
    case EACCES:
    case EPERM:
        return "no hay permiso para abrirlo";
    case EROFS:
        return "está en un disco de solo lectura";
    case ENOSPC:
        return "el disco está lleno";
    case EISDIR:
        return "es una carpeta, no un archivo";
    case EEXIST:
        return "el archivo ya existe";
    default:
        return std::string("error del sistema ") + std::to_string(error) + " (" + std::strerror(error) + ")";
    }
}

Error fileError(const std::string& name, std::string_view what, int error) {
    return Error("No se puede " + std::string(what) + " la tabla «" + name + "»: " + systemReason(error) +
                 ".");
}

Error heldExclusively(const std::string& name) {
    return Error("La tabla «" + name +
                 "» está abierta en exclusiva por otro programa (o por otra ventana de Pontrel). "
                 "Ciérrelo y vuelva a intentarlo.");
}

Error heldByOther(const std::string& name) {
    return Error("La tabla «" + name +
                 "» está abierta por otro programa (o por otra ventana de Pontrel) y no se puede abrir en "
                 "exclusiva. Ciérrelo y vuelva a intentarlo.");
}

} // namespace

TableFile::TableFile(TableFile&& other) noexcept {
    *this = std::move(other);
}

TableFile& TableFile::operator=(TableFile&& other) noexcept {
    if (this != &other) {
        close();
        name_ = std::move(other.name_);
#ifdef _WIN32
        handle_ = other.handle_;
        other.handle_ = nullptr;
#else
        fd_ = other.fd_;
        other.fd_ = -1;
#endif
    }
    return *this;
}

TableFile::~TableFile() {
    close();
}

#ifndef _WIN32

namespace {
bool ofdLock(int fd, short type, std::uint64_t byte, int command = F_OFD_SETLK) {
    struct flock lock {};
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    lock.l_start = static_cast<off_t>(byte);
    lock.l_len = 1;
    return fcntl(fd, command, &lock) == 0;
}

void writeFully(int fd, const std::uint8_t* data, std::size_t size, std::uint64_t offset,
                const std::string& name) {
    while (size > 0) {
        const ssize_t n = pwrite(fd, data, size, static_cast<off_t>(offset));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            throw fileError(name, "escribir en", errno);
        }
        data += n;
        size -= static_cast<std::size_t>(n);
        offset += static_cast<std::uint64_t>(n);
    }
}
} // namespace

TableFile TableFile::open(const std::filesystem::path& path, OpenMode mode, Access access) {
    TableFile file;
    file.name_ = path.string();
    // A write lock needs a descriptor open for writing; an exclusive opening asks for one even to read.
    const bool wantWrite = access == Access::ReadWrite || mode == OpenMode::Exclusive;
    int fd = ::open(file.name_.c_str(), (wantWrite ? O_RDWR : O_RDONLY) | O_CLOEXEC);
    bool writable = wantWrite;
    if (fd < 0 && wantWrite && access == Access::ReadOnly && (errno == EACCES || errno == EROFS)) {
        fd = ::open(file.name_.c_str(), O_RDONLY | O_CLOEXEC);
        writable = false;
    }
    if (fd < 0)
        throw fileError(file.name_, access == Access::ReadWrite ? "abrir para escribir" : "abrir", errno);
    file.fd_ = fd;
    struct stat st {};
    if (fstat(fd, &st) == 0 && S_ISDIR(st.st_mode))
        throw fileError(file.name_, "abrir", EISDIR);

    if (mode == OpenMode::Shared) {
        if (!ofdLock(fd, F_RDLCK, kOpenLockByte))
            throw heldExclusively(file.name_);
    } else if (writable) {
        if (!ofdLock(fd, F_WRLCK, kOpenLockByte))
            throw heldByOther(file.name_);
    } else {
        // A read-only file cannot carry a write lock: keep exclusive openings out with a read lock and
        // refuse when anyone else already holds the table.
        struct flock probe {};
        probe.l_type = F_WRLCK;
        probe.l_whence = SEEK_SET;
        probe.l_start = static_cast<off_t>(kOpenLockByte);
        probe.l_len = 1;
        if (fcntl(fd, F_OFD_GETLK, &probe) != 0 || probe.l_type != F_UNLCK)
            throw heldByOther(file.name_);
        if (!ofdLock(fd, F_RDLCK, kOpenLockByte))
            throw heldByOther(file.name_);
    }
    return file;
}

void TableFile::createNew(const std::filesystem::path& path, const std::vector<std::uint8_t>& content) {
    const std::string name = path.string();
    const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0)
        throw fileError(name, "crear", errno);
    try {
        writeFully(fd, content.data(), content.size(), 0, name);
    } catch (...) {
        ::close(fd);
        std::error_code ignored;
        std::filesystem::remove(path, ignored);
        throw;
    }
    ::close(fd);
}

void TableFile::replaceWhole(const std::filesystem::path& path, const std::vector<std::uint8_t>& content) {
    const std::string name = path.string();
    const std::string temporary = name + ".tmp";
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0)
        throw fileError(name, "escribir el índice de", errno);
    try {
        writeFully(fd, content.data(), content.size(), 0, name);
    } catch (...) {
        ::close(fd);
        ::unlink(temporary.c_str());
        throw;
    }
    ::close(fd);
    if (::rename(temporary.c_str(), name.c_str()) != 0) {
        const int error = errno;
        ::unlink(temporary.c_str());
        throw fileError(name, "escribir el índice de", error);
    }
}

std::vector<std::uint8_t> TableFile::readAll() const {
    struct stat st {};
    if (fstat(fd_, &st) != 0)
        throw fileError(name_, "leer", errno);
    std::vector<std::uint8_t> data(static_cast<std::size_t>(st.st_size));
    std::size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = pread(fd_, data.data() + done, data.size() - done, static_cast<off_t>(done));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            throw fileError(name_, "leer", errno);
        }
        if (n == 0)
            break; // shrunk while reading: the header checks judge what is left
        done += static_cast<std::size_t>(n);
    }
    data.resize(done);
    return data;
}

bool TableFile::readAt(std::uint64_t offset, std::uint8_t* data, std::size_t size) const {
    while (size > 0) {
        const ssize_t n = pread(fd_, data, size, static_cast<off_t>(offset));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            throw fileError(name_, "leer", errno);
        if (n == 0)
            return false;
        data += n;
        size -= static_cast<std::size_t>(n);
        offset += static_cast<std::uint64_t>(n);
    }
    return true;
}

void TableFile::writeAt(std::uint64_t offset, const std::uint8_t* data, std::size_t size) {
    writeFully(fd_, data, size, offset, name_);
}

void TableFile::truncate(std::uint64_t size) {
    if (ftruncate(fd_, static_cast<off_t>(size)) != 0)
        throw fileError(name_, "escribir en", errno);
}

void TableFile::close() {
    if (fd_ >= 0) {
        ::close(fd_); // drops this opening's locks with it
        fd_ = -1;
    }
}

void TableFile::lockWriter() {
    const auto deadline = std::chrono::steady_clock::now() + kWriterWait;
    while (!ofdLock(fd_, F_WRLCK, kWriterLockByte)) {
        if (errno != EAGAIN && errno != EACCES && errno != EINTR)
            throw fileError(name_, "bloquear", errno);
        if (std::chrono::steady_clock::now() > deadline)
            throw Error("La tabla «" + name_ + "» la está escribiendo otro programa desde hace más de " +
                        std::to_string(kWriterWait.count()) + " segundos; no se ha guardado el registro.");
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

void TableFile::unlockWriter() {
    ofdLock(fd_, F_UNLCK, kWriterLockByte);
}

#else // _WIN32

namespace {
std::wstring widePath(const std::filesystem::path& p) {
    return p.wstring();
}

Error windowsError(const std::string& name, std::string_view what) {
    const DWORD code = GetLastError();
    if (code == ERROR_SHARING_VIOLATION || code == ERROR_LOCK_VIOLATION)
        return heldByOther(name);
    return Error("No se puede " + std::string(what) + " la tabla «" + name + "»: error de Windows " +
                 std::to_string(code) + ".");
}

void writeFully(HANDLE h, const std::uint8_t* data, std::size_t size, std::uint64_t offset,
                const std::string& name) {
    while (size > 0) {
        OVERLAPPED at{};
        at.Offset = static_cast<DWORD>(offset);
        at.OffsetHigh = static_cast<DWORD>(offset >> 32);
        DWORD written = 0;
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30));
        if (!WriteFile(h, data, chunk, &written, &at))
            throw windowsError(name, "escribir en");
        data += written;
        size -= written;
        offset += written;
    }
}
} // namespace

TableFile TableFile::open(const std::filesystem::path& path, OpenMode mode, Access access) {
    TableFile file;
    file.name_ = path.string();
    const DWORD desired = GENERIC_READ | (access == Access::ReadWrite ? GENERIC_WRITE : 0);
    // Shared openings let others read and write; an exclusive one lets nobody in.
    const DWORD share = mode == OpenMode::Shared ? (FILE_SHARE_READ | FILE_SHARE_WRITE) : 0;
    HANDLE h = CreateFileW(widePath(path).c_str(), desired, share, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        if (GetLastError() == ERROR_SHARING_VIOLATION)
            throw mode == OpenMode::Shared ? heldExclusively(file.name_) : heldByOther(file.name_);
        throw windowsError(file.name_, "abrir");
    }
    file.handle_ = h;
    return file;
}

void TableFile::createNew(const std::filesystem::path& path, const std::vector<std::uint8_t>& content) {
    const std::string name = path.string();
    HANDLE h = CreateFileW(widePath(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        throw windowsError(name, "crear");
    try {
        writeFully(h, content.data(), content.size(), 0, name);
    } catch (...) {
        CloseHandle(h);
        DeleteFileW(widePath(path).c_str());
        throw;
    }
    CloseHandle(h);
}

void TableFile::replaceWhole(const std::filesystem::path& path, const std::vector<std::uint8_t>& content) {
    const std::filesystem::path temporary = path.wstring() + L".tmp";
    HANDLE h = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                           nullptr);
    if (h == INVALID_HANDLE_VALUE)
        throw windowsError(path.string(), "escribir el índice de");
    try {
        writeFully(h, content.data(), content.size(), 0, path.string());
    } catch (...) {
        CloseHandle(h);
        DeleteFileW(temporary.c_str());
        throw;
    }
    CloseHandle(h);
    if (!MoveFileExW(temporary.c_str(), widePath(path).c_str(), MOVEFILE_REPLACE_EXISTING)) {
        DeleteFileW(temporary.c_str());
        throw windowsError(path.string(), "escribir el índice de");
    }
}

std::vector<std::uint8_t> TableFile::readAll() const {
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(static_cast<HANDLE>(handle_), &size))
        throw windowsError(name_, "leer");
    std::vector<std::uint8_t> data(static_cast<std::size_t>(size.QuadPart));
    std::size_t done = 0;
    while (done < data.size()) {
        OVERLAPPED at{};
        at.Offset = static_cast<DWORD>(done);
        at.OffsetHigh = static_cast<DWORD>(static_cast<std::uint64_t>(done) >> 32);
        DWORD got = 0;
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(data.size() - done, 1u << 30));
        if (!ReadFile(static_cast<HANDLE>(handle_), data.data() + done, chunk, &got, &at))
            throw windowsError(name_, "leer");
        if (got == 0)
            break;
        done += got;
    }
    data.resize(done);
    return data;
}

bool TableFile::readAt(std::uint64_t offset, std::uint8_t* data, std::size_t size) const {
    while (size > 0) {
        OVERLAPPED at{};
        at.Offset = static_cast<DWORD>(offset);
        at.OffsetHigh = static_cast<DWORD>(offset >> 32);
        DWORD got = 0;
        if (!ReadFile(static_cast<HANDLE>(handle_), data, static_cast<DWORD>(size), &got, &at))
            throw windowsError(name_, "leer");
        if (got == 0)
            return false;
        data += got;
        size -= got;
        offset += got;
    }
    return true;
}

void TableFile::writeAt(std::uint64_t offset, const std::uint8_t* data, std::size_t size) {
    writeFully(static_cast<HANDLE>(handle_), data, size, offset, name_);
}

void TableFile::truncate(std::uint64_t size) {
    LARGE_INTEGER at{};
    at.QuadPart = static_cast<LONGLONG>(size);
    if (!SetFilePointerEx(static_cast<HANDLE>(handle_), at, nullptr, FILE_BEGIN) ||
        !SetEndOfFile(static_cast<HANDLE>(handle_)))
        throw windowsError(name_, "escribir en");
}

void TableFile::close() {
    if (handle_) {
        CloseHandle(static_cast<HANDLE>(handle_));
        handle_ = nullptr;
    }
}

void TableFile::lockWriter() {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(kWriterLockByte);
    if (!LockFileEx(static_cast<HANDLE>(handle_), LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &at))
        throw windowsError(name_, "bloquear");
}

void TableFile::unlockWriter() {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(kWriterLockByte);
    UnlockFileEx(static_cast<HANDLE>(handle_), 0, 1, 0, &at);
}

#endif

TableFile::WriterLock::WriterLock(TableFile& file) : file_(file) {
    file_.lockWriter();
}
TableFile::WriterLock::~WriterLock() {
    file_.unlockWriter();
}

} // namespace pontrel::dbf
