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

void writeCodeReport(const ShortCodeReport& report, const std::filesystem::path& file, std::ostream& out) {
    report.writeCsv(file);
    out << "Códigos guardados de otra forma que en Yedra:";
    const auto counts = report.countsByTable();
    if (counts.empty())
        out << " ninguno";
    for (std::size_t i = 0; i < counts.size(); ++i)
        out << (i ? ", " : " ") << counts[i].first << ' ' << counts[i].second;
    out << "\nInforme de códigos: " << platform::utf8Of(file) << '\n';
}

void printMissingKeys(const std::vector<importing::MissingKeys>& missing, std::ostream& out) {
    if (missing.empty()) {
        out << "Claves enviadas que el documento no contiene: ninguna\n";
        return;
    }
    out << "Claves enviadas que el documento no contiene (el horario se calculó con datos "
           "anteriores):\n";
    for (const auto& line : importing::missingKeyLines(missing))
        out << line << '\n';
}

} // namespace pontrel::cli
