#include "import/TeacherKeyFile.h"

#include "dbf/Error.h"
#include "dbf/Table.h"
#include "exchange/Ansi.h"
#include "import/TeacherKeys.h"
#include "platform/Utf8Path.h"

#include <fstream>
#include <optional>
#include <unordered_map>
#include <unordered_set>

namespace pontrel::importing {

namespace {

std::string trimmed(std::string_view text) {
    return std::string(ansi::trimControls(text));
}

std::vector<std::string> splitFields(const std::string& line) {
    std::vector<std::string> fields;
    std::size_t from = 0;
    for (;;) {
        const auto at = line.find(';', from);
        fields.push_back(trimmed(
            std::string_view(line).substr(from, at == std::string::npos ? std::string::npos : at - from)));
        if (at == std::string::npos)
            return fields;
        from = at + 1;
    }
}

} // namespace

std::vector<TeacherKeyLine> readTeacherKeyFile(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in)
        throw Error("No se puede leer el archivo de claves de profesores «" + platform::utf8Of(file) + "».");
    std::vector<TeacherKeyLine> lines;
    std::string text;
    for (int number = 1; std::getline(in, text); ++number) {
        if (number == 1 && text.rfind("\xEF\xBB\xBF", 0) == 0)
            text.erase(0, 3);
        if (ansi::isBlank(text))
            continue;
        auto fields = splitFields(text);
        auto where = [&] {
            return "Archivo de claves de profesores «" + platform::utf8Of(file) + "», línea " +
                   std::to_string(number) + ": ";
        };
        if (number == 1 && ansi::equalIgnoringCase(fields[0], "ABREV"))
            continue;
        if (fields.size() != 3)
            throw Error(where() +
                        "se esperaban tres campos separados por «;» (ABREV;X_EMPLEADO;F_TOMAPOS) "
                        "y hay " +
                        std::to_string(fields.size()) + ". No se ha guardado nada.");
        if (fields[0].empty())
            throw Error(where() + "falta ABREV. No se ha guardado nada.");
        if (!fields[1].empty() && !fitsEmployeeKeyMask(fields[1]))
            throw Error(where() + "X_EMPLEADO «" + fields[1] +
                        "» no es válido: debe tener de 1 a 10 dígitos. No se ha guardado nada.");
        if (!fields[2].empty() && !fitsPostDateMask(fields[2]))
            throw Error(where() + "F_TOMAPOS «" + fields[2] +
                        "» no es válido: debe tener la forma DD/MM/AAAA. No se ha guardado nada.");
        lines.push_back({number, ansi::fromUtf8(fields[0]), fields[1], fields[2]});
    }
    return lines;
}

TeacherKeysApplied applyTeacherKeys(const std::filesystem::path& proftTable,
                                    const std::vector<TeacherKeyLine>& lines) {
    std::unordered_map<std::string, const TeacherKeyLine*> byAbbreviation;
    for (const auto& line : lines)
        byAbbreviation.emplace(line.abbreviation, &line);

    TeacherKeysApplied applied;
    auto proft = dbf::Table::open(proftTable, dbf::OpenMode::Shared, dbf::Access::ReadWrite);
    std::unordered_set<std::string> known;
    for (std::size_t r = 0; r < proft.recordCount(); ++r)
        known.insert(proft.text(r, "ABREV"));
    for (const auto& teacher : incompleteTeachers(proft)) {
        const auto found = byAbbreviation.find(teacher.abbreviation);
        if (found == byAbbreviation.end())
            continue;
        std::optional<std::string> employeeKey, postDate;
        if (teacher.lacksEmployeeKey && !found->second->employeeKey.empty())
            employeeKey = found->second->employeeKey;
        if (teacher.lacksPostDate && !found->second->postDate.empty())
            postDate = found->second->postDate;
        storeTeacherKeys(proft, teacher.record, employeeKey, postDate);
        applied.keysStored += (employeeKey ? 1 : 0) + (postDate ? 1 : 0);
    }
    for (const auto& line : lines)
        if (!known.count(line.abbreviation))
            applied.unknownAbbreviations.push_back(line.abbreviation);
    proft.close();
    return applied;
}

} // namespace pontrel::importing
