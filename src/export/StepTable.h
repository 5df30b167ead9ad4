#pragma once
// What the data-group steps share for their tables: the re-creation of all of a step's tables (in
// the layouts Velmora expects) before any is filled, and reading back what a step stored.

#include "dbf/Table.h"
#include "exchange/codes/ShortCodeRegistry.h"
#include "exchange/velmora/VelmoraTables.h"

#include <cstddef>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace pontrel::exporting {

struct ExportContext;

// Deletes and creates every table in the order given before any of them is opened, then opens them
// all shared for writing, in the same order.
std::vector<dbf::Table>
recreateStepTables(const std::filesystem::path& folder,
                   const std::vector<std::reference_wrapper<const velmora::TableLayout>>& layouts);

// Closes a table that the step wrote, noting its records for the run's summary.
void closeStepTable(ExportContext& context, dbf::Table& table, const velmora::TableLayout& layout);

// Opens a table that an earlier step of the same run made in `folder`, shared. A missing table is an
// error that names it and the folder.
dbf::Table openRunTable(const std::filesystem::path& folder, const velmora::TableLayout& table,
                        dbf::Access access);

// The first `count` characters of an ANSI text (all of it when it is shorter).
std::string leftChars(std::string_view text, std::size_t count);

// A text as the table gives it back once stored in a text field of `width`: cut to the width, its
// trailing blanks gone (dBase pads with blanks, so they never count). Lookups of values that a step
// has just written compare against this form.
std::string storedText(std::string_view text, std::size_t width);

// Where a short code comes from, for the report of codes that Velmora shows unlike Yedra.
struct CodeOrigin {
    const char* table;         // "AULAT"
    const char* field;         // "ABREV"
    std::string yedraKey;      // the record's key in Yedra (ANSI)
    std::string yedraValue;    // the text the candidate was made from (ANSI)
    bool candidateCut = false; // the step already cut yedraValue to make the candidate
    // The same two texts as the document gives them (UTF-8), for the report, which must keep the
    // characters the code page lacks; left empty, the report converts the ANSI texts.
    std::string yedraKeyText;
    std::string yedraValueText;
};

// The short-code rule applied to `candidate`; a code that differs from what Yedra gave is added to
// the run's report of codes, when it keeps one.
std::string assignCode(ExportContext& context, ShortCodeRegistry& codes, std::string_view candidate,
                       const CodeOrigin& origin);

// A code that a step stores without the rule, cut to its field's `width`; reported when it is cut.
void noteCutCode(ExportContext& context, const CodeOrigin& origin, std::size_t width);

} // namespace pontrel::exporting
