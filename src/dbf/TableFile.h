#pragma once
// The open file of a table and the locks that keep openings apart.
//
// Linux: open-file-description locks (F_OFD_SETLK) on bytes far past any real table's end. They
// belong to the opening, not to the process, so two openings of one table in one run exclude each
// other as two programs would, and closing one descriptor does not drop another opening's lock
// (classic fcntl locks would). One byte says how the table is open (read lock: shared, write lock:
// exclusive); a second byte is held while a record is written, keeping two writers apart.
// Windows: the share mode of the opening, and LockFileEx on the same writer byte.

#include "dbf/Table.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace pontrel::dbf {

class TableFile {
  public:
    TableFile() = default;
    TableFile(const TableFile&) = delete;
    TableFile& operator=(const TableFile&) = delete;
    TableFile(TableFile&& other) noexcept;
    TableFile& operator=(TableFile&& other) noexcept;
    ~TableFile();

    // Opens and locks; errors name the file and say who is in the way.
    static TableFile open(const std::filesystem::path& path, OpenMode mode, Access access);

    // Writes a new file; fails when it exists. Used for the empty table and its index.
    static void createNew(const std::filesystem::path& path, const std::vector<std::uint8_t>& content);

    // Writes `content` to `path` through a temporary file renamed over it, so that a reader never
    // sees half of it.
    static void replaceWhole(const std::filesystem::path& path, const std::vector<std::uint8_t>& content);

    std::vector<std::uint8_t> readAll() const;
    // Reads exactly `size` bytes; false when the file is shorter.
    bool readAt(std::uint64_t offset, std::uint8_t* data, std::size_t size) const;
    void writeAt(std::uint64_t offset, const std::uint8_t* data, std::size_t size);
    void truncate(std::uint64_t size);
    void close();

    // Held while records are written to the file.
    class WriterLock {
      public:
        explicit WriterLock(TableFile& file);
        ~WriterLock();
        WriterLock(const WriterLock&) = delete;
        WriterLock& operator=(const WriterLock&) = delete;

      private:
        TableFile& file_;
    };

    const std::string& name() const { return name_; }

  private:
    void lockWriter();
    void unlockWriter();

    std::string name_;
#ifdef _WIN32
    void* handle_ = nullptr;
#else
    int fd_ = -1;
#endif
};

} // namespace pontrel::dbf
