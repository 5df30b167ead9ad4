#pragma once
// What the tests of the export steps share on top of the export fixtures: the fixture's names in the
// steps' namespace, the one progress report a step gives, and a column every record leaves NULL.

#include "support/ExportFixtures.h"

#include "export/Steps.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

namespace pontrel::exporting {

using testing::readBooleans;
using testing::readColumn;
using testing::readLayout;
using testing::readRows;
using testing::StepFixture;
using testing::YedraFields;
using testing::YedraGroup;
// Records as text, each its named fields in order (see readRows).
using Rows = std::vector<std::vector<std::string>>;
// A table's fields: name, type, width.
using Layout = std::vector<std::tuple<std::string, char, int>>;

// A step run once reports itself once: its name, the records it read, the tables it wrote.
inline void expectOneProgressReport(const testing::ScriptedUserInterface& ui, const std::string& step,
                                    std::size_t recordsRead, const std::string& tablesWritten) {
    ASSERT_EQ(ui.progress.size(), 1u);
    EXPECT_EQ(ui.progress[0].step, step);
    EXPECT_EQ(ui.progress[0].recordsRead, recordsRead);
    EXPECT_EQ(ui.progress[0].tablesWritten, tablesWritten);
}

// The integer field `field` is NULL in every record of `file`.
inline void expectNullInEveryRecord(const std::filesystem::path& file, const std::string& field) {
    auto table = dbf::Table::open(file, dbf::OpenMode::Shared);
    for (std::size_t r = 0; r < table.recordCount(); ++r)
        EXPECT_FALSE(table.integer(r, field).has_value()) << field << " of record " << r;
}

} // namespace pontrel::exporting
