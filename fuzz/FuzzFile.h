#pragma once
// The readers take file paths: each fuzz input is written to a file of this process's own, in a
// private temporary folder that is reused for every input.

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace pontrel::fuzzing {

inline const std::filesystem::path& scratchFolder() {
    static const std::filesystem::path folder = [] {
        auto f = std::filesystem::temp_directory_path() / ("pontrel-fuzz-" + std::to_string(getpid()));
        std::filesystem::create_directories(f);
        std::atexit([] {
            std::error_code ec;
            std::filesystem::remove_all(scratchFolder(), ec);
        });
        return f;
    }();
    return folder;
}

inline void writeBytes(const std::filesystem::path& file, const std::uint8_t* data, std::size_t size) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
}

} // namespace pontrel::fuzzing
