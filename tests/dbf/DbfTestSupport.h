#pragma once
// Small helpers shared by the engine's tests: a private folder per test and file bytes.

#include "dbf/Table.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <unistd.h>

namespace dbftest {

namespace fs = std::filesystem;

// A fresh folder under the system's temporary folder, removed at the end of the test.
class TempFolder {
  public:
    TempFolder() {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string name = std::string("pontrel-dbf-") + (info ? info->test_suite_name() : "x") + "-" +
                           (info ? info->name() : "y") + "-" + std::to_string(::getpid());
        for (char& c : name)
            if (c == '/')
                c = '_';
        path_ = fs::temp_directory_path() / name;
        fs::remove_all(path_);
        fs::create_directories(path_);
    }
    ~TempFolder() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    const fs::path& path() const { return path_; }
    fs::path operator/(const std::string& name) const { return path_ / name; }

  private:
    fs::path path_;
};

inline std::vector<std::uint8_t> readBytes(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void writeBytes(const fs::path& file, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

inline std::uint32_t u32le(const std::vector<std::uint8_t>& b, std::size_t at) {
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<std::uint32_t>(b[at + 3]) << 24);
}

inline std::uint16_t u16le(const std::vector<std::uint8_t>& b, std::size_t at) {
    return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8));
}

// A table written by another program (dBase, FoxPro), kept with the tests in data/dbf/other-writers.
inline fs::path otherWriterFixture(const std::string& name) {
    return fs::path(PONTREL_TEST_DATA_DIR) / "dbf" / "other-writers" / name;
}

// Runs `action` and returns the text of the pontrel::Error it throws ("" when it throws none).
template <typename Action> std::string errorOf(Action&& action) {
    try {
        action();
    } catch (const pontrel::Error& e) {
        return e.what();
    }
    return "";
}

} // namespace dbftest
