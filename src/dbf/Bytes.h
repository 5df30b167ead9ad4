#pragma once
// Explicit byte-order helpers: every multi-byte number of the table and index files goes through
// these, never through a cast of a struct.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

namespace pontrel::dbf::bytes {

// A name kept in a place of `maxLength` bytes (field, tag, index expression): the bytes up to the
// first NUL, without the blanks after it.
inline std::string readName(const std::uint8_t* p, std::size_t maxLength) {
    std::size_t n = 0;
    while (n < maxLength && p[n] != 0)
        ++n;
    while (n > 0 && p[n - 1] == ' ')
        --n;
    return std::string(reinterpret_cast<const char*>(p), n);
}

inline std::uint16_t readU16LE(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

inline std::uint32_t readU32LE(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

inline std::uint32_t readU32BE(const std::uint8_t* p) {
    return (static_cast<std::uint32_t>(p[0]) << 24) | (static_cast<std::uint32_t>(p[1]) << 16) |
           (static_cast<std::uint32_t>(p[2]) << 8) | static_cast<std::uint32_t>(p[3]);
}

inline std::uint64_t readU64BE(const std::uint8_t* p) {
    return (static_cast<std::uint64_t>(readU32BE(p)) << 32) | readU32BE(p + 4);
}

inline std::uint64_t readU64LE(const std::uint8_t* p) {
    return (static_cast<std::uint64_t>(readU32LE(p + 4)) << 32) | readU32LE(p);
}

inline void writeU16LE(std::uint8_t* p, std::uint16_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}

inline void writeU32LE(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

inline void writeU32BE(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<std::uint8_t>(v >> (8 * (3 - i)));
}

inline void writeU64BE(std::uint8_t* p, std::uint64_t v) {
    writeU32BE(p, static_cast<std::uint32_t>(v >> 32));
    writeU32BE(p + 4, static_cast<std::uint32_t>(v));
}

inline std::uint64_t doubleBits(double d) {
    std::uint64_t bits;
    std::memcpy(&bits, &d, sizeof bits);
    return bits;
}

inline double bitsToDouble(std::uint64_t bits) {
    double d;
    std::memcpy(&d, &bits, sizeof d);
    return d;
}

} // namespace pontrel::dbf::bytes
