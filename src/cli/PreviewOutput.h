#pragma once
// pontrel-cli's part of the export preview (--dry-run, --detalle), the report of codes (--report) and
// the import's check of the keys it sends (--strict): the options' help and what is printed. The
// features themselves live in the runs.

#include "exchange/ShortCodeReport.h"
#include "export/TableComparison.h"
#include "import/MasterDataCheck.h"

#include <filesystem>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

namespace pontrel::cli {

struct ExportPreviewArguments {
    bool dryRun = false;
    bool detail = false; // --detalle, only with --dry-run
    std::optional<std::filesystem::path> report;
};

// The export's help lines for --dry-run, --detalle and --report, with the key of each table.
std::string exportPreviewHelp();
// The import's help line for --strict.
std::string importStrictHelp();

// One line per table, and with `detail` the records added, removed and changed.
void printPreview(const std::vector<exporting::TableComparison>& preview, bool detail, std::ostream& out);

// Writes the report to `file` and says, per table, how many codes differ and where the report is.
void writeCodeReport(const ShortCodeReport& report, const std::filesystem::path& file, std::ostream& out);

// The import summary's lines on keys sent that the document does not contain.
void printMissingKeys(const std::vector<importing::MissingKeys>& missing, std::ostream& out);

} // namespace pontrel::cli
