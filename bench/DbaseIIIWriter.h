#pragma once
// A minimal dBase III writer, as other programs write tables: version byte 0x03, 32-byte header and
// field descriptors, character and numeric fields only. Used to write SOLUC the way the timetable
// tool would, independently of Pontrel's own engine, and to build damaged copies for fault tests.

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace pontrel::bench {

struct DbaseIIIField {
    std::string name; // up to 10 characters
    char type = 'C';  // 'C' text, 'N' number (right-aligned ASCII)
    int width = 10;
    int decimals = 0;
};

class DbaseIIIWriter {
  public:
    explicit DbaseIIIWriter(std::vector<DbaseIIIField> fields);

    // Values in field order; text is cut to the width, numbers are right-aligned. An empty value
    // stays blank, which a dBase reader takes as NULL.
    void add(const std::vector<std::string>& values);
    // The same record bytes, for an existing deleted record ('*' flag) that readers must skip.
    void addDeleted(const std::vector<std::string>& values);

    std::size_t recordCount() const { return records_; }
    // The whole file: header, descriptors, 0x0D, records, 0x1A.
    std::string bytes() const;
    void save(const std::filesystem::path& file) const;

  private:
    void append(char flag, const std::vector<std::string>& values);
    std::vector<DbaseIIIField> fields_;
    std::size_t recordLength_ = 1;
    std::size_t records_ = 0;
    std::string body_;
};

} // namespace pontrel::bench
