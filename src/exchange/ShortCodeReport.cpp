#include "exchange/ShortCodeReport.h"

#include "dbf/Error.h"
#include "exchange/Ansi.h"
#include "exchange/Csv.h"
#include "platform/Utf8Path.h"

#include <algorithm>
#include <fstream>

namespace pontrel {

const char* motivo(ShortCodeReason reason) {
    switch (reason) {
    case ShortCodeReason::Cut:
        return "recortado";
    case ShortCodeReason::Shortened:
        return "acortado";
    case ShortCodeReason::Numbered:
        return "numerado";
    case ShortCodeReason::None:
        break;
    }
    return "";
}

std::vector<std::pair<std::string, std::size_t>> ShortCodeReport::countsByTable() const {
    std::vector<std::pair<std::string, std::size_t>> counts;
    for (const auto& code : codes_) {
        auto found = std::find_if(counts.begin(), counts.end(),
                                  [&](const auto& entry) { return entry.first == code.table; });
        if (found == counts.end())
            counts.emplace_back(code.table, 1);
        else
            ++found->second;
    }
    return counts;
}

std::string ShortCodeReport::csv() const {
    std::string text = "tabla,campo,clave_yedra,valor_yedra,valor_guardado,motivo\n";
    for (const auto& code : codes_) {
        appendCsvField(text, ansi::toUtf8(code.table));
        text += ',';
        appendCsvField(text, ansi::toUtf8(code.field));
        text += ',';
        appendCsvField(text, ansi::toUtf8(code.yedraKey));
        text += ',';
        appendCsvField(text, ansi::toUtf8(code.yedraValue));
        text += ',';
        appendCsvField(text, ansi::toUtf8(code.stored));
        text += ',';
        text += motivo(code.reason);
        text += '\n';
    }
    return text;
}

void ShortCodeReport::writeCsv(const std::filesystem::path& file) const {
    const std::string text = csv();
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    if (!out)
        throw Error("No se puede escribir el informe de códigos «" + platform::utf8Of(file) + "».");
}

} // namespace pontrel
