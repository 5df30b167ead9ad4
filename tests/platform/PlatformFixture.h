#pragma once
// The platform tests' shared helpers: the scratch folder and file bytes of all tests, and what tells
// the two systems apart.

#include "support/Bytes.h"
#include "support/ScratchFolder.h"

#include <filesystem>

namespace pontrel::platformtest {

namespace fs = std::filesystem;

using testing::readFile;
using testing::ScratchFolder;
using testing::writeFile;

inline std::size_t entriesIn(const fs::path& folder) {
    std::size_t n = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(folder))
        ++n;
    return n;
}

#ifdef _WIN32
inline constexpr bool kWindows = true;
#else
inline constexpr bool kWindows = false;
#endif

} // namespace pontrel::platformtest
