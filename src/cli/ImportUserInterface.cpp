#include "cli/ImportUserInterface.h"

#include "dbf/Error.h"
#include "dbf/Table.h"
#include "exchange/Ansi.h"
#include "import/TeacherKeys.h"

#include <ostream>

namespace pontrel::cli {

ImportUserInterface::ImportUserInterface(std::filesystem::path document,
                                         std::optional<std::vector<importing::TeacherKeyLine>> teacherKeys,
                                         std::ostream& out, std::ostream& err)
    : document_(std::move(document)), teacherKeys_(std::move(teacherKeys)), out_(out), err_(err) {}

std::optional<std::filesystem::path> ImportUserInterface::chooseDocument() {
    return document_;
}

void ImportUserInterface::showMessage(const std::string& text) {
    messages_.push_back(text);
}

FrameChoice ImportUserInterface::chooseFrames(const std::filesystem::path&) {
    throw Error("La importaci\xC3\xB3n no elige jornadas escolares.");
}

void ImportUserInterface::completeTeacherKeys(const std::filesystem::path& proftTable) {
    if (teacherKeys_) {
        const auto applied = importing::applyTeacherKeys(proftTable, *teacherKeys_);
        out_ << "Claves de profesores guardadas en PROFT: " << applied.keysStored << "\n";
        for (const auto& abbreviation : applied.unknownAbbreviations)
            err_ << "Aviso: el profesor \xC2\xAB" << ansi::toUtf8(abbreviation)
                 << "\xC2\xBB del archivo de claves no est\xC3\xA1 en PROFT; se ignora.\n";
    }
    auto proft = dbf::Table::open(proftTable, dbf::OpenMode::Shared);
    const auto incomplete = importing::incompleteTeachers(proft);
    if (incomplete.empty())
        return;
    err_ << "Profesores sin todos los datos en PROFT"
         << (teacherKeys_ ? " (el archivo de claves no los completa)" : " (use --teacher-keys ARCHIVO.csv)")
         << ":\n";
    for (const auto& teacher : incomplete)
        err_ << "  " << ansi::toUtf8(teacher.abbreviation) << "\t" << ansi::toUtf8(teacher.name) << "\tfalta "
             << importing::missingKeysText(teacher) << "\n";
}

std::string terminalText(std::string text) {
    for (auto at = text.find("\n\r"); at != std::string::npos; at = text.find("\n\r", at + 1))
        text.erase(at + 1, 1);
    return text;
}

} // namespace pontrel::cli
