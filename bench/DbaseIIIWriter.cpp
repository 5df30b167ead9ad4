#include "DbaseIIIWriter.h"

#include <fstream>
#include <stdexcept>

namespace pontrel::bench {

namespace {

void putLe16(std::string& out, std::size_t offset, std::uint32_t v) {
    out[offset] = static_cast<char>(v & 0xFF);
    out[offset + 1] = static_cast<char>((v >> 8) & 0xFF);
}

void putLe32(std::string& out, std::size_t offset, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out[offset + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

} // namespace

DbaseIIIWriter::DbaseIIIWriter(std::vector<DbaseIIIField> fields) : fields_(std::move(fields)) {
    for (const auto& f : fields_) {
        if (f.name.empty() || f.name.size() > 10 || f.width < 1 || f.width > 254)
            throw std::invalid_argument("bad dBase III field: " + f.name);
        recordLength_ += static_cast<std::size_t>(f.width);
    }
}

void DbaseIIIWriter::add(const std::vector<std::string>& values) {
    append(' ', values);
}

void DbaseIIIWriter::addDeleted(const std::vector<std::string>& values) {
    append('*', values);
}

void DbaseIIIWriter::append(char flag, const std::vector<std::string>& values) {
    if (values.size() != fields_.size())
        throw std::invalid_argument("dBase III record with the wrong number of values");
    body_.push_back(flag);
    for (std::size_t i = 0; i < fields_.size(); ++i) {
        const auto width = static_cast<std::size_t>(fields_[i].width);
        std::string v = values[i].substr(0, width);
        if (fields_[i].type == 'N')
            body_.append(width - v.size(), ' ').append(v); // numbers are right-aligned
        else
            body_.append(v).append(width - v.size(), ' ');
    }
    // A deleted record still occupies its place and counts in the header.
    ++records_;
}

std::string DbaseIIIWriter::bytes() const {
    const std::size_t headerLength = 32 + 32 * fields_.size() + 1;
    std::string out(headerLength, '\0');
    out[0] = 0x03;
    out[1] = 126; // last update: 2026-09-01
    out[2] = 9;
    out[3] = 1;
    putLe32(out, 4, static_cast<std::uint32_t>(records_));
    putLe16(out, 8, static_cast<std::uint32_t>(headerLength));
    putLe16(out, 10, static_cast<std::uint32_t>(recordLength_));
    for (std::size_t i = 0; i < fields_.size(); ++i) {
        const std::size_t d = 32 + 32 * i;
        out.replace(d, fields_[i].name.size(), fields_[i].name);
        out[d + 11] = fields_[i].type;
        out[d + 16] = static_cast<char>(fields_[i].width);
        out[d + 17] = static_cast<char>(fields_[i].decimals);
    }
    out[headerLength - 1] = 0x0D;
    out += body_;
    out.push_back(0x1A);
    return out;
}

void DbaseIIIWriter::save(const std::filesystem::path& file) const {
    const std::string data = bytes();
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(data.data(), static_cast<std::streamsize>(data.size()));
    if (!out)
        throw std::runtime_error("cannot write " + file.string());
}

} // namespace pontrel::bench
