#pragma once
// The codes of one export run that Velmora shows differently from Yedra: cut to their width, shortened
// to their first 8 and last 2 characters, or numbered to stay unique within their table. The planner
// reads the list as a CSV file beside the run (the same CSV form as `pontrel-cli dump`, UTF-8).

#include "exchange/ShortCodeRegistry.h"

#include <cstddef>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace pontrel {

// One code stored differently from the value Yedra gave. Texts are ANSI, as the tables hold them.
struct ChangedCode {
    std::string table;      // "AULAT"
    std::string field;      // "ABREV"
    std::string yedraKey;   // the record's key in Yedra (X_EMPLEADO, room key, unit key, ...)
    std::string yedraValue; // the text the code was made from
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

    // The rows as CSV: the header `tabla,campo,clave_yedra,valor_yedra,valor_guardado,motivo`, then one
    // line per code in the order recorded.
    std::string csv() const;
    // Writes csv() to `file`, replacing it; an error names the file.
    void writeCsv(const std::filesystem::path& file) const;

  private:
    std::vector<ChangedCode> codes_;
};

} // namespace pontrel
