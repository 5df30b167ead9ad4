#pragma once
// Files as both systems need them: openings that keep other programs out (share modes on Windows,
// open-file-description locks on POSIX), byte locks, flushing to disk, and replacing a file so that
// a reader never sees half of it.
//
// Every call that can fail returns the system's error code (0: done); SystemError.h turns it into
// the reason for the user. A conflict with another program's opening or lock has ErrorKind::InUse.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace pontrel::platform {

class File {
  public:
    enum class Access { Read, ReadWrite };
    // Shared: other Shared openings may read and write meanwhile. Exclusive: no other opening at all,
    // by this process or another (this opening may still be renamed or deleted by its own process).
    enum class Sharing { Shared, Exclusive };

    File() = default;
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    File(File&& other) noexcept;
    File& operator=(File&& other) noexcept;
    ~File();

    // Opens an existing file. An Exclusive opening of a file that cannot be written (read-only
    // attribute or disk) still keeps every other opening out.
    [[nodiscard]] int open(const std::filesystem::path& path, Access access, Sharing sharing);
    // Creates a new file for writing, nobody else admitted; fails when it exists.
    [[nodiscard]] int createNew(const std::filesystem::path& path);

    bool isOpen() const;
    [[nodiscard]] int size(std::uint64_t& bytes) const;
    // Reads up to `size` bytes; `got` is short only at the end of the file.
    [[nodiscard]] int readAt(std::uint64_t offset, std::uint8_t* data, std::size_t size,
                             std::size_t& got) const;
    [[nodiscard]] int writeAt(std::uint64_t offset, const std::uint8_t* data, std::size_t size);
    [[nodiscard]] int truncate(std::uint64_t size);
    // Waits until the written bytes are on the disk. Another thread may call it while this one writes.
    [[nodiscard]] int flush() const;
    // Asks the system to start putting these written bytes on the disk now, without waiting: the
    // flush() that follows then finds most of them there. Only a hint; where the system has no such
    // request it does nothing.
    void startWritingToDisk(std::uint64_t offset, std::uint64_t size);
    // Takes a one-byte lock without waiting (InUse while another opening holds it); the byte may lie
    // past the end of the file, which keeps locks apart from data.
    [[nodiscard]] int tryLockByte(std::uint64_t offset);
    void unlockByte(std::uint64_t offset);
    // Whether another opening holds a lock on any byte of this file, as another dBase program (or
    // Velmora under Wine) locks records and the header: 0 when none does, an error of ErrorKind::InUse
    // when one does. This opening's own locks do not count. On Windows an exclusive opening already
    // keeps every other opening, and so every lock, out; a test lock over the whole file says the same.
    [[nodiscard]] int testOthersLocks() const;
    void close();

  private:
    friend class TemporaryFile;
#ifdef _WIN32
    void* handle_ = nullptr;
#else
    int fd_ = -1;
#endif
};

// True when another program holds `path` open in a way that would make deleting or replacing it
// unsafe: a lock on any part of it (POSIX) or an opening that refuses deletion (Windows).
bool heldByAnother(const std::filesystem::path& path);

// Waits until a finished file, or a folder's list of names, is on the disk. A folder needs this on
// POSIX only; on Windows it is a no-op returning 0.
[[nodiscard]] int syncFile(const std::filesystem::path& path);
[[nodiscard]] int syncFolder(const std::filesystem::path& folder);

// Moves `from` onto `to` in one step, replacing an existing `to`, and waits until the move is on the
// disk (rename + folder fsync; MoveFileExW with MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH).
[[nodiscard]] int moveReplacing(const std::filesystem::path& from, const std::filesystem::path& to);
// The same move without the wait, for a series of moves made sure on the disk together: each is whole
// or not made at all, and all are on the disk once syncFolder of both folders has returned (Windows
// writes each through at once, as moveReplacing does).
[[nodiscard]] int moveReplacingUnsynced(const std::filesystem::path& from, const std::filesystem::path& to);

// A file written beside its target and put in its place whole. Until commit() the target is untouched;
// a TemporaryFile destroyed without commit() leaves no file behind. Where the system allows (Linux's
// O_TMPFILE) the file has no name until commit(), so not even a killed process leaves one; elsewhere
// it is named "." + the target's name + "." + a unique part.
class TemporaryFile {
  public:
    TemporaryFile() = default;
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;
    ~TemporaryFile();

    // Creates the file in `target`'s folder; readable and writable.
    [[nodiscard]] int create(const std::filesystem::path& target);
    [[nodiscard]] int write(const void* data, std::size_t size);
    // The bytes written so far.
    [[nodiscard]] int readAll(std::string& bytes) const;
    // Up to `size` of them from `offset` on; `got` is short only at the end of what was written.
    [[nodiscard]] int readAt(std::uint64_t offset, std::uint8_t* data, std::size_t size,
                             std::size_t& got) const;
    // Waits until the bytes written so far are on the disk, from another thread while write() goes
    // on: a large file flushed piece by piece as it grows leaves commit() little more than its last
    // piece to wait for (the disk's cache is emptied of the rest already).
    [[nodiscard]] int flushWritten() const { return file_.flush(); }
    // Flushes to disk, closes and moves the file over the target given to create().
    [[nodiscard]] int commit() { return commit(target_); }
    // The same onto another file of the same folder.
    [[nodiscard]] int commit(const std::filesystem::path& target);

    const std::filesystem::path& target() const { return target_; }

  private:
    void discard();

    std::filesystem::path target_;
    std::filesystem::path name_; // empty while the file has no name (O_TMPFILE)
    // Read by readAt() on another thread while write() goes on (a document read back as it is written).
    std::atomic<std::uint64_t> written_ = 0;
    File file_;
};

// Which step of a replacement failed.
enum class ReplaceStep { None, Create, Write, Move };

struct ReplaceResult {
    int error = 0;
    ReplaceStep step = ReplaceStep::None;
    explicit operator bool() const { return error != 0; }
};

// Writes `bytes` to `target` through a TemporaryFile. On failure the target is as it was.
ReplaceResult replaceFile(const std::filesystem::path& target, std::string_view bytes);

} // namespace pontrel::platform
