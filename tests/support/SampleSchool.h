#pragma once
// The sample school bundled with Pontrel (data/sample/colegio.xml): a whole Yedra document, which the
// package installs and the tests export and import as a user would.

#include <filesystem>

namespace pontrel::testing {

inline std::filesystem::path sampleSchool() {
    return std::filesystem::path(PONTREL_SOURCE_DIR) / "data" / "sample" / "colegio.xml";
}

} // namespace pontrel::testing
