#pragma once
// What the data-group steps share for their tables: a table's layout in Velmora's order, the
// re-creation of all of a step's tables before any is filled, and reading back what a step stored.

#include "dbf/Table.h"

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pontrel::exporting {

// One table that a step makes. The fields, their order, types and widths are Velmora's interface.
struct StepTableLayout {
    std::string name; // without extension, upper case: "ASIGNOMT"
    std::vector<dbf::FieldSpec> fields;
    std::optional<dbf::IndexSpec> index = std::nullopt;
    bool deleteMdx = true; // PERIODOS leaves a stale .MDX alone
};

// Deletes and creates every table in the order given before any of them is opened, then opens them
// all shared for writing, in the same order.
std::vector<dbf::Table> recreateStepTables(const std::filesystem::path& folder,
                                           const std::vector<StepTableLayout>& layouts);

// Opens a table that an earlier step of the same run made in `folder` (e.g. "ASIGNOMT.DBF"), shared.
// A missing table is an error that names it and the folder.
dbf::Table openRunTable(const std::filesystem::path& folder, std::string_view fileName, dbf::Access access);

// The first `count` characters of an ANSI text (all of it when it is shorter).
std::string leftChars(std::string_view text, std::size_t count);

// A text as the table gives it back once stored in a text field of `width`: cut to the width, its
// trailing blanks gone (dBase pads with blanks, so they never count). Lookups of values that a step
// has just written compare against this form.
std::string storedText(std::string_view text, std::size_t width);

} // namespace pontrel::exporting
