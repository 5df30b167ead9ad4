#pragma once
// Small helpers shared by the engine's tests.

#include "support/Bytes.h"
#include "support/ScratchFolder.h"

#include "dbf/Table.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace dbftest {

namespace fs = std::filesystem;

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
