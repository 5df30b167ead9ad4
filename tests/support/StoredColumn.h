#pragma once
// One text field of a table's live records as the table stores it (ANSI bytes, not converted), for the
// tools and tests that copy codes from the working tables into SOLUC or look them up there.

#include "dbf/Table.h"

#include <cstddef>
#include <filesystem>
#include <limits>
#include <string>
#include <vector>

namespace pontrel::testing {

// The values of `field` in record order, the first `most` of them; deleted records are skipped.
inline std::vector<std::string> storedColumn(const std::filesystem::path& table, const std::string& field,
                                             std::size_t most = std::numeric_limits<std::size_t>::max()) {
    const auto t = dbf::Table::open(table, dbf::OpenMode::Shared, dbf::Access::ReadOnly);
    std::vector<std::string> values;
    for (std::size_t r = 0; r < t.recordCount() && values.size() < most; ++r)
        values.push_back(t.text(r, field));
    return values;
}

} // namespace pontrel::testing
