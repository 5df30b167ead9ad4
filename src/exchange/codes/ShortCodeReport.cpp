#include "exchange/codes/ShortCodeReport.h"

#include "dbf/Error.h"
#include "exchange/text/Ansi.h"
#include "exchange/text/Csv.h"
#include "platform/Files.h"
#include "platform/SystemError.h"
#include "platform/Utf8Path.h"

#include <algorithm>

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

namespace {

constexpr char kSeparator = ';';
constexpr const char* kLineEnd = "\r\n";
constexpr const char* kByteOrderMark = "\xEF\xBB\xBF";

Error cannotWrite(const std::filesystem::path& file, const std::string& reason) {
    return Error("No se puede escribir el informe de códigos «" + platform::utf8Of(file) + "» (" + reason +
                 "); no se ha cambiado ninguna tabla.");
}

} // namespace

std::string ShortCodeReport::csv() const {
    std::string text = kByteOrderMark;
    text += "tabla;campo;clave_yedra;valor_yedra;valor_guardado;motivo";
    text += kLineEnd;
    for (const auto& code : codes_) {
        for (const std::string& cell : {ansi::toUtf8(code.table), ansi::toUtf8(code.field), code.yedraKey,
                                        code.yedraValue, ansi::toUtf8(code.stored)}) {
            appendSpreadsheetField(text, cell, kSeparator);
            text += kSeparator;
        }
        text += motivo(code.reason);
        text += kLineEnd;
    }
    return text;
}

void ShortCodeReport::writeCsv(const std::filesystem::path& file) const {
    StagedCodeReport staged(*this, file);
    staged.commit();
}

struct StagedCodeReport::Pending {
    platform::TemporaryFile file;
};

StagedCodeReport::StagedCodeReport(const ShortCodeReport& report, const std::filesystem::path& file)
    : pending_(std::make_unique<Pending>()), file_(file) {
    std::error_code ec;
    // Moving the report onto a folder would only fail once the tables were replaced.
    if (std::filesystem::is_directory(file, ec))
        throw cannotWrite(file, "es una carpeta, no un archivo");
    const std::filesystem::path folder = file.parent_path();
    if (!folder.empty() && !std::filesystem::is_directory(folder, ec))
        throw cannotWrite(file, "la carpeta «" + platform::utf8Of(folder) + "» no existe");
    const std::string text = report.csv();
    if (const int error = pending_->file.create(file))
        throw cannotWrite(file, platform::errorReason(error));
    if (const int error = pending_->file.write(text.data(), text.size()))
        throw cannotWrite(file, platform::errorReason(error));
}

StagedCodeReport::~StagedCodeReport() = default;

void StagedCodeReport::commit() {
    if (const int error = pending_->file.commit())
        throw Error("No se puede colocar el informe de códigos en «" + platform::utf8Of(file_) + "» (" +
                    platform::errorReason(error) + ").");
}

} // namespace pontrel
