#pragma once
// The open file of a table and the locks that keep openings apart: the platform's shared and
// exclusive openings (share modes on Windows, open-file-description locks elsewhere), and a byte far
// past any real table's end that is held while a record is written, keeping two writers apart.

#include "dbf/Table.h"
#include "platform/Files.h"

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
    // Asks the system to start putting the first `size` bytes on the disk now, without waiting, so
    // that whoever later waits for them (a replacement of the table set) finds them there.
    void startWritingToDisk(std::uint64_t size) { file_.startWritingToDisk(0, size); }
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
    platform::File file_;
};

} // namespace pontrel::dbf
