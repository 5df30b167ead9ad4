#pragma once
// A tiny dBase III writer standing in for another program (the timetable tool writes SOLUC this way):
// version byte 0x03, 32-byte header and descriptors, character (C) and numeric (N) fields, numbers as
// right-aligned ASCII, an empty value stored as blanks (NULL), deleted records marked '*'.
// The project's own engine writes only level 7, so tests need this to read tables "from outside".

#include <cstdint>
#include <filesystem>
#include <fstream>
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
            if (f.name.size() > 10 || (f.type != 'C' && f.type != 'N') || f.width < 1 || f.width > 254)
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

    void write(const std::filesystem::path& file) const {
        const std::size_t headerLength = 32 + 32 * fields_.size() + 1;
        std::size_t recordLength = 1;
        for (const auto& f : fields_)
            recordLength += static_cast<std::size_t>(f.width);
        std::string bytes(32, '\0');
        bytes[0] = 0x03;
        bytes[1] = 126; // 2026
        bytes[2] = 12;
        bytes[3] = 1;
        putLittleEndian(bytes, 4, records_.size(), 4);
        putLittleEndian(bytes, 8, headerLength, 2);
        putLittleEndian(bytes, 10, recordLength, 2);
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
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        if (!out)
            throw std::runtime_error("cannot write " + file.string());
    }

  private:
    static void putLittleEndian(std::string& bytes, std::size_t at, std::size_t value, int size) {
        for (int i = 0; i < size; ++i)
            bytes[at + static_cast<std::size_t>(i)] = static_cast<char>((value >> (8 * i)) & 0xFF);
    }

    std::vector<DbaseIIIField> fields_;
    std::vector<std::string> records_;
    std::uint8_t languageDriver_ = 0x03; // Windows ANSI (code page 1252)
};

} // namespace pontrel::testing
