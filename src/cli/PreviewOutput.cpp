#include "cli/PreviewOutput.h"
#include "platform/Utf8Path.h"

#include <ostream>

namespace pontrel::cli {

void printPreview(const std::vector<exporting::TableComparison>& preview, bool detail, std::ostream& out) {
    for (const auto& table : preview) {
        out << exporting::summaryLine(table) << '\n';
        if (detail)
            for (const auto& line : exporting::detailLines(table))
                out << line << '\n';
    }
}

void printCodeReport(const ShortCodeReport& report, const std::filesystem::path& file, std::ostream& out) {
    out << "Códigos guardados de otra forma que en Yedra:";
    const auto counts = report.countsByTable();
    if (counts.empty())
        out << " ninguno";
    for (std::size_t i = 0; i < counts.size(); ++i)
        out << (i ? ", " : " ") << counts[i].first << ' ' << counts[i].second;
    out << "\nInforme de códigos: " << platform::utf8Of(file) << '\n';
}

void printMissingKeys(const std::vector<importing::MissingKeys>& missing,
                      const std::vector<importing::MissingKeys>& derived, std::ostream& out) {
    if (missing.empty()) {
        out << "Claves enviadas que el documento no contiene: ninguna\n";
    } else {
        out << "Claves enviadas que el documento no contiene (el horario se calculó con datos "
               "anteriores):\n";
        for (const auto& line : importing::missingKeyLines(missing))
            out << line << '\n';
    }
    if (derived.empty())
        return;
    out << "Códigos enviados que hizo la exportación con los datos del documento (sin clave propia, "
           "acortados, numerados o recortados; Yedra no los tiene como claves):\n";
    for (const auto& line : importing::missingKeyLines(derived))
        out << line << '\n';
}

} // namespace pontrel::cli
