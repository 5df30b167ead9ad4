#pragma once
// File bytes and the little-endian numbers of binary headers, for tests that read or damage files byte
// by byte. Works on std::string and on std::vector<std::uint8_t> alike.

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace pontrel::testing {

// The whole file as bytes ("" when it cannot be read).
inline std::string readFile(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline std::vector<std::uint8_t> readBytes(const std::filesystem::path& file) {
    const std::string bytes = readFile(file);
    return std::vector<std::uint8_t>(bytes.begin(), bytes.end());
}

// Writes `bytes` exactly as given, replacing the file.
inline void writeFile(const std::filesystem::path& file, std::string_view bytes) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + file.string());
}

inline void writeFile(const std::filesystem::path& file, const std::vector<std::uint8_t>& bytes) {
    writeFile(file, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

// Unsigned little-endian value of `size` bytes at `at`.
template <typename Bytes> std::uint32_t readLittleEndian(const Bytes& b, std::size_t at, int size) {
    std::uint32_t v = 0;
    for (int i = size - 1; i >= 0; --i)
        v = (v << 8) | static_cast<std::uint8_t>(b[at + static_cast<std::size_t>(i)]);
    return v;
}

template <typename Bytes> void putLittleEndian(Bytes& b, std::size_t at, std::uint32_t v, int size) {
    using Byte = typename Bytes::value_type;
    for (int i = 0; i < size; ++i)
        b[at + static_cast<std::size_t>(i)] = static_cast<Byte>((v >> (8 * i)) & 0xFF);
}

template <typename Bytes> std::uint16_t le16(const Bytes& b, std::size_t at) {
    return static_cast<std::uint16_t>(readLittleEndian(b, at, 2));
}
template <typename Bytes> std::uint32_t le32(const Bytes& b, std::size_t at) {
    return readLittleEndian(b, at, 4);
}
template <typename Bytes> void putLe16(Bytes& b, std::size_t at, std::uint32_t v) {
    putLittleEndian(b, at, v, 2);
}
template <typename Bytes> void putLe32(Bytes& b, std::size_t at, std::uint32_t v) {
    putLittleEndian(b, at, v, 4);
}

} // namespace pontrel::testing
