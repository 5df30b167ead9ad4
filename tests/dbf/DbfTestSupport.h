#pragma once
// Small helpers shared by the engine's tests.

#include "support/Bytes.h"
#include "support/ErrorOf.h"
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

using pontrel::testing::errorOf;

} // namespace dbftest
