#pragma once
// A tiny dBase III writer standing in for another program (the timetable tool writes SOLUC this way):
// version byte 0x03, 32-byte header and descriptors, character (C) and numeric (N) fields, numbers as
// right-aligned ASCII, an empty value stored as blanks (NULL), deleted records marked '*'.
// The project's own engine writes only level 7, so tests need this to read tables "from outside".

#include "support/Bytes.h"

#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

namespace pontrel::testing {

struct DbaseIIIField {
    std::string name; // at most 10 characters
    char type = 'C';  // 'C' or 'N'
    int width = 10;
    int decimals = 0;
};

class DbaseIIIWriter {
  public:
    explicit DbaseIIIWriter(std::vector<DbaseIIIField> fields) : fields_(std::move(fields)) {
        for (const auto& f : fields_)
            if (f.name.empty() || f.name.size() > 10 || (f.type != 'C' && f.type != 'N') || f.width < 1 ||
                f.width > 254)
                throw std::invalid_argument("unsupported dBase III field " + f.name);
    }

    // The language driver id of header byte 29 (0x03, Windows ANSI, unless set): 0x01 is code page
    // 437, 0x02 is 850, 0 declares none.
    void setLanguageDriver(std::uint8_t id) { languageDriver_ = id; }

    // One value per field, as text (bytes of the table's code page); numbers are given as their digits.
    void addRecord(const std::vector<std::string>& values, bool deleted = false) {
        if (values.size() != fields_.size())
            throw std::invalid_argument("one value per field expected");
        std::string record(1, deleted ? '*' : ' ');
        for (std::size_t i = 0; i < fields_.size(); ++i) {
            const auto& f = fields_[i];
            std::string v = values[i].substr(0, static_cast<std::size_t>(f.width));
            const std::string pad(static_cast<std::size_t>(f.width) - v.size(), ' ');
            record += f.type == 'N' ? pad + v : v + pad; // numbers right-aligned, text left-aligned
        }
        records_.push_back(record);
    }

    std::size_t recordCount() const { return records_.size(); }

    // The whole file: header, descriptors, 0x0D, records, 0x1A. A deleted record still occupies its
    // place and counts in the header.
    std::string bytes() const {
        const std::size_t headerLength = 32 + 32 * fields_.size() + 1;
        std::size_t recordLength = 1;
        for (const auto& f : fields_)
            recordLength += static_cast<std::size_t>(f.width);
        std::string bytes(32, '\0');
        bytes[0] = 0x03;
        bytes[1] = 126; // 2026
        bytes[2] = 12;
        bytes[3] = 1;
        putLe32(bytes, 4, static_cast<std::uint32_t>(records_.size()));
        putLe16(bytes, 8, static_cast<std::uint32_t>(headerLength));
        putLe16(bytes, 10, static_cast<std::uint32_t>(recordLength));
        bytes[29] = static_cast<char>(languageDriver_);
        for (const auto& f : fields_) {
            std::string descriptor(32, '\0');
            descriptor.replace(0, f.name.size(), f.name);
            descriptor[11] = f.type;
            descriptor[16] = static_cast<char>(f.width);
            descriptor[17] = static_cast<char>(f.decimals);
            bytes += descriptor;
        }
        bytes += '\x0D';
        for (const auto& r : records_)
            bytes += r;
        bytes += '\x1A';
        return bytes;
    }

    void write(const std::filesystem::path& file) const { writeFile(file, bytes()); }

  private:
    std::vector<DbaseIIIField> fields_;
    std::vector<std::string> records_;
    std::uint8_t languageDriver_ = 0x03; // Windows ANSI (code page 1252)
};

} // namespace pontrel::testing
