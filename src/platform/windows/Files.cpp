#include "platform/Files.h"
#include "platform/Utf8Path.h"

#include <algorithm>
#include <utility>
#include <windows.h>

namespace pontrel::platform {

namespace fs = std::filesystem;

namespace {

HANDLE native(void* handle) {
    return static_cast<HANDLE>(handle);
}

int last() {
    return static_cast<int>(GetLastError());
}

OVERLAPPED at(std::uint64_t offset) {
    OVERLAPPED where{};
    where.Offset = static_cast<DWORD>(offset);
    where.OffsetHigh = static_cast<DWORD>(offset >> 32);
    return where;
}

} // namespace

File& File::operator=(File&& other) noexcept {
    if (this != &other) {
        close();
        handle_ = std::exchange(other.handle_, nullptr);
    }
    return *this;
}

int File::open(const fs::path& path, Access access, Sharing sharing) {
    close();
    const DWORD desired = GENERIC_READ | (access == Access::ReadWrite ? GENERIC_WRITE : 0);
    // A dBase engine opens a shared table letting others read and write; an exclusive opening lets
    // nobody in, but its own process may still move the file (the table-set replacement does).
    const DWORD share = sharing == Sharing::Shared ? (FILE_SHARE_READ | FILE_SHARE_WRITE) : FILE_SHARE_DELETE;
    HANDLE h = CreateFileW(path.wstring().c_str(), desired | (sharing == Sharing::Exclusive ? DELETE : 0),
                           share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE && sharing == Sharing::Exclusive && GetLastError() == ERROR_ACCESS_DENIED)
        h = CreateFileW(path.wstring().c_str(), desired, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                        nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        const int error = last();
        // CreateFileW opens a folder only with backup semantics; say what it is.
        if (error == ERROR_ACCESS_DENIED) {
            const DWORD attributes = GetFileAttributesW(path.wstring().c_str());
            if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
                return ERROR_DIRECTORY;
        }
        return error;
    }
    handle_ = h;
    return 0;
}

int File::createNew(const fs::path& path) {
    close();
    HANDLE h = CreateFileW(path.wstring().c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, FILE_SHARE_DELETE,
                           nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return last();
    handle_ = h;
    return 0;
}

bool File::isOpen() const {
    return handle_ != nullptr;
}

int File::size(std::uint64_t& bytes) const {
    LARGE_INTEGER value{};
    if (!GetFileSizeEx(native(handle_), &value))
        return last();
    bytes = static_cast<std::uint64_t>(value.QuadPart);
    return 0;
}

int File::readAt(std::uint64_t offset, std::uint8_t* data, std::size_t size, std::size_t& got) const {
    got = 0;
    while (got < size) {
        OVERLAPPED where = at(offset + got);
        DWORD n = 0;
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(size - got, 1u << 30));
        if (!ReadFile(native(handle_), data + got, chunk, &n, &where)) {
            if (GetLastError() == ERROR_HANDLE_EOF)
                break;
            return last();
        }
        if (n == 0)
            break;
        got += n;
    }
    return 0;
}

int File::writeAt(std::uint64_t offset, const std::uint8_t* data, std::size_t size) {
    while (size > 0) {
        OVERLAPPED where = at(offset);
        DWORD n = 0;
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30));
        if (!WriteFile(native(handle_), data, chunk, &n, &where))
            return last();
        data += n;
        size -= n;
        offset += n;
    }
    return 0;
}

int File::truncate(std::uint64_t size) {
    LARGE_INTEGER where{};
    where.QuadPart = static_cast<LONGLONG>(size);
    if (!SetFilePointerEx(native(handle_), where, nullptr, FILE_BEGIN) || !SetEndOfFile(native(handle_)))
        return last();
    return 0;
}

int File::flush() const {
    return FlushFileBuffers(native(handle_)) ? 0 : last();
}

// Windows has no request to start writing a range without waiting; FlushFileBuffers does it all.
void File::startWritingToDisk(std::uint64_t, std::uint64_t) {}

int File::tryLockByte(std::uint64_t offset) {
    OVERLAPPED where = at(offset);
    if (LockFileEx(native(handle_), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &where))
        return 0;
    const int error = last();
    return error == ERROR_IO_PENDING ? ERROR_LOCK_VIOLATION : error;
}

void File::unlockByte(std::uint64_t offset) {
    OVERLAPPED where = at(offset);
    UnlockFileEx(native(handle_), 0, 1, 0, &where);
}

int File::testOthersLocks() const {
    // The whole range a lock can cover; a lock that another handle holds on any byte of it makes the
    // test lock fail at once.
    OVERLAPPED where = at(0);
    if (!LockFileEx(native(handle_), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, MAXDWORD,
                    MAXDWORD, &where)) {
        const int error = last();
        return error == ERROR_IO_PENDING ? ERROR_LOCK_VIOLATION : error;
    }
    UnlockFileEx(native(handle_), 0, MAXDWORD, MAXDWORD, &where);
    return 0;
}

void File::close() {
    if (handle_) {
        CloseHandle(native(handle_));
        handle_ = nullptr;
    }
}

// A file that another program has open without letting others delete it (a dBase engine's opening)
// cannot be replaced; asking for delete access while sharing everything else finds out.
bool heldByAnother(const fs::path& path) {
    HANDLE h =
        CreateFileW(path.wstring().c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return GetLastError() == ERROR_SHARING_VIOLATION;
    CloseHandle(h);
    return false;
}

int syncFile(const fs::path& path) {
    HANDLE h = CreateFileW(path.wstring().c_str(), GENERIC_WRITE,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return last();
    const int error = FlushFileBuffers(h) ? 0 : last();
    CloseHandle(h);
    return error;
}

// NTFS journals its folders itself: a move made with MOVEFILE_WRITE_THROUGH is on the disk.
int syncFolder(const fs::path&) {
    return 0;
}

int moveReplacingUnsynced(const fs::path& from, const fs::path& to) {
    // A folder's list of names cannot be flushed on its own here: the move is written through at once.
    return moveReplacing(from, to);
}

int moveReplacing(const fs::path& from, const fs::path& to) {
    if (MoveFileExW(from.wstring().c_str(), to.wstring().c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return 0;
    const int error = last();
    // A folder in the target's place is refused as access denied: say what is in the way.
    const DWORD attributes = GetFileAttributesW(to.wstring().c_str());
    if (error == ERROR_ACCESS_DENIED && attributes != INVALID_FILE_ATTRIBUTES &&
        (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return ERROR_DIRECTORY;
    return error;
}

int TemporaryFile::create(const fs::path& target) {
    discard();
    target_ = target;
    written_ = 0;
    const fs::path folder = target.parent_path().empty() ? fs::path(".") : target.parent_path();
    for (int attempt = 0;; ++attempt) {
        fs::path candidate =
            folder / pathFromUtf8("." + utf8Of(target.filename()) + "." +
                                  std::to_string(GetCurrentProcessId()) + "-" + std::to_string(attempt));
        const int error = file_.createNew(candidate);
        if (error == 0) {
            name_ = std::move(candidate);
            return 0;
        }
        if ((error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) || attempt == 100)
            return error;
    }
}

int TemporaryFile::commit(const fs::path& target) {
    if (const int error = file_.flush())
        return error;
    file_.close();
    if (const int error = moveReplacing(name_, target))
        return error;
    name_.clear();
    return 0;
}

void TemporaryFile::discard() {
    file_.close();
    if (!name_.empty()) {
        DeleteFileW(name_.wstring().c_str());
        name_.clear();
    }
}

} // namespace pontrel::platform
