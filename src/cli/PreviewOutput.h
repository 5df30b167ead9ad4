#pragma once
// What pontrel-cli prints of the export preview (--dry-run, --detalle), the report of codes (--report)
// and the import's check of the keys it sends. The features themselves live in the runs.

#include "exchange/codes/ShortCodeReport.h"
#include "export/TableComparison.h"
#include "import/MasterDataCheck.h"

#include <filesystem>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

namespace pontrel::cli {

// One line per table, and with `detail` the records added, removed and changed.
void printPreview(const std::vector<exporting::TableComparison>& preview, bool detail, std::ostream& out);

// Says, per table, how many codes differ and where the report (written to `file`) is.
void printCodeReport(const ShortCodeReport& report, const std::filesystem::path& file, std::ostream& out);

// The import summary's lines on keys sent that the document does not contain, and on codes sent that
// the export made from the document's data.
void printMissingKeys(const std::vector<importing::MissingKeys>& missing,
                      const std::vector<importing::MissingKeys>& derived, std::ostream& out);

} // namespace pontrel::cli
