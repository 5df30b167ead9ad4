#pragma once
// The codes of one export run that Velmora shows differently from Yedra: cut to their width, shortened
// to their first 8 and last 2 characters, or numbered to stay unique within their table. The planner
// reads the list in a spreadsheet: a CSV file as a Spanish spreadsheet opens it right (UTF-8 with a
// byte-order mark, so accents are not garbled; ";" between cells, the list separator of Spanish
// settings; no cell that the spreadsheet would run as a formula).

#include "exchange/codes/ShortCodeRegistry.h"

#include <cstddef>
#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace pontrel {

// One code stored differently from the value Yedra gave. Yedra's texts are UTF-8 as the document gives
// them (a character the code page lacks stays in the report); the others are ANSI, as the tables hold
// them.
struct ChangedCode {
    std::string table;      // "AULAT"
    std::string field;      // "ABREV"
    std::string yedraKey;   // the record's key in Yedra (X_EMPLEADO, room key, unit key, ...), UTF-8
    std::string yedraValue; // the text the code was made from, UTF-8
    std::string stored;     // the code as the table holds it
    ShortCodeReason reason = ShortCodeReason::Cut;
};

// The `motivo` column: "recortado", "acortado" or "numerado".
const char* motivo(ShortCodeReason reason);

class ShortCodeReport {
  public:
    void record(ChangedCode code) { codes_.push_back(std::move(code)); }
    const std::vector<ChangedCode>& codes() const { return codes_; }

    // How many codes each table changed, tables in the order of their first changed code.
    std::vector<std::pair<std::string, std::size_t>> countsByTable() const;

    // The rows as CSV: the byte-order mark, the header
    // `tabla;campo;clave_yedra;valor_yedra;valor_guardado;motivo`, then one line per code in the order
    // recorded, lines ended by CR LF.
    std::string csv() const;
    // Writes csv() to `file`, replacing it; an error names the file.
    void writeCsv(const std::filesystem::path& file) const;

  private:
    std::vector<ChangedCode> codes_;
};

// The report written beside its place before the export replaces any table, and put in place only
// after: a report that cannot be written stops the run while the tables are still as they were, and a
// run that stops later leaves no report (nor an earlier one changed).
class StagedCodeReport {
  public:
    // Writes `report` beside `file`; fails with a message that names the file and the reason.
    StagedCodeReport(const ShortCodeReport& report, const std::filesystem::path& file);
    ~StagedCodeReport();
    StagedCodeReport(const StagedCodeReport&) = delete;
    StagedCodeReport& operator=(const StagedCodeReport&) = delete;

    // Puts the report in place of `file`; fails with a message that names it.
    void commit();

  private:
    struct Pending;
    std::unique_ptr<Pending> pending_;
    std::filesystem::path file_;
};

} // namespace pontrel
