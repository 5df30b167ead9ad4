#include "import/TeacherKeyFile.h"

#include "dbf/CodePage.h"
#include "dbf/Error.h"
#include "dbf/Table.h"
#include "exchange/Ansi.h"
#include "import/TeacherKeys.h"
#include "platform/Utf8Path.h"

#include <fstream>
#include <iterator>
#include <unordered_map>

namespace pontrel::importing {

namespace fs = std::filesystem;

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

std::string fileName(const fs::path& file) {
    return "Archivo de claves de profesores «" + platform::utf8Of(file) + "»";
}

std::string lineOf(const fs::path& file, int number) {
    return fileName(file) + ", línea " + std::to_string(number) + ": ";
}

} // namespace

TeacherKeyFile readTeacherKeyFile(const fs::path& file) {
    std::error_code ec;
    if (fs::is_directory(file, ec))
        throw Error(fileName(file) + ": es una carpeta, no un archivo. No se ha guardado nada.");
    std::ifstream in(file, std::ios::binary);
    if (!in)
        throw Error("No se puede leer el archivo de claves de profesores «" + platform::utf8Of(file) + "».");
    std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (in.bad())
        throw Error("No se puede leer el archivo de claves de profesores «" + platform::utf8Of(file) + "».");

    TeacherKeyFile result;
    result.file = file;
    const bool byteOrderMark = bytes.rfind("\xEF\xBB\xBF", 0) == 0;
    if (byteOrderMark)
        bytes.erase(0, 3);
    const bool utf8 = dbf::codepage::isWellFormedUtf8(bytes);
    if (!utf8)
        result.warnings.push_back(fileName(file) + ": no está en UTF-8; se lee como windows-1252.");
    // Texts for messages in UTF-8, whatever the file's encoding.
    const auto shown = [utf8](const std::string& text) { return utf8 ? text : ansi::toUtf8(text); };

    std::unordered_map<std::string, std::size_t> byAbbreviation; // ANSI ABREV -> index in lines
    std::size_t from = 0;
    for (int number = 1; from < bytes.size(); ++number) {
        const auto end = bytes.find('\n', from);
        std::string text = bytes.substr(from, end == std::string::npos ? std::string::npos : end - from);
        from = end == std::string::npos ? bytes.size() : end + 1;
        if (ansi::isBlank(text))
            continue;
        auto fields = splitFields(text);
        const auto where = [&] { return lineOf(file, number); };
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
            throw Error(where() + "X_EMPLEADO «" + shown(fields[1]) +
                        "» no es válido: debe tener de 1 a 10 dígitos. No se ha guardado nada.");
        if (!fields[2].empty() && !fitsPostDateMask(fields[2]))
            throw Error(where() + "F_TOMAPOS «" + shown(fields[2]) +
                        "» no es válido: debe tener la forma DD/MM/AAAA. No se ha guardado nada.");
        TeacherKeyLine line{number, utf8 ? ansi::fromUtf8(fields[0]) : fields[0], fields[1], fields[2]};
        const auto [earlier, first] = byAbbreviation.emplace(line.abbreviation, result.lines.size());
        if (!first) {
            const TeacherKeyLine& before = result.lines[earlier->second];
            const std::string teacher =
                "el profesor «" + shown(fields[0]) + "» ya está en la línea " + std::to_string(before.line);
            if (before.employeeKey != line.employeeKey || before.postDate != line.postDate)
                throw Error(where() + teacher +
                            " con otras claves: deje una sola línea por profesor. No se ha guardado nada.");
            result.warnings.push_back(where() + teacher + " con las mismas claves; se ignora esta.");
            continue;
        }
        result.lines.push_back(std::move(line));
    }
    return result;
}

TeacherKeysApplied applyTeacherKeys(const fs::path& proftTable, const TeacherKeyFile& keys) {
    TeacherKeysApplied applied;
    auto proft = dbf::Table::open(proftTable, dbf::OpenMode::Shared, dbf::Access::ReadWrite);
    std::unordered_map<std::string, std::vector<std::size_t>> records; // ABREV -> PROFT records
    for (std::size_t r = 0; r < proft.recordCount(); ++r)
        records[proft.text(r, "ABREV")].push_back(r);

    std::unordered_map<std::string, const TeacherKeyLine*> byAbbreviation;
    for (const auto& line : keys.lines) {
        const auto found = records.find(line.abbreviation);
        if (found == records.end()) {
            applied.unknownLines.push_back(line.line);
            continue;
        }
        // The same key under two teachers would reach Yedra as one teacher's timetable twice.
        if (found->second.size() > 1) {
            std::string list;
            for (std::size_t i = 0; i < found->second.size(); ++i)
                list += (i == 0                          ? ""
                         : i + 1 == found->second.size() ? " y "
                                                         : ", ") +
                        std::to_string(found->second[i] + 1);
            throw Error(lineOf(keys.file, line.line) + "PROFT tiene " + std::to_string(found->second.size()) +
                        " profesores con ABREV «" + ansi::toUtf8(line.abbreviation) + "» (registros " + list +
                        ") y no se sabe a cuál son las claves. Dé a cada uno un ABREV distinto en Velmora. "
                        "No se ha guardado nada.");
        }
        byAbbreviation.emplace(line.abbreviation, &line);
    }

    // What the file would store, teacher by teacher; stored only if it leaves nobody incomplete.
    for (auto teacher : incompleteTeachers(proft)) {
        const auto found = byAbbreviation.find(teacher.abbreviation);
        StoredTeacherKeys keysOf{teacher.record, std::nullopt, std::nullopt};
        if (found != byAbbreviation.end()) {
            if (teacher.lacksEmployeeKey && !found->second->employeeKey.empty()) {
                keysOf.employeeKey = found->second->employeeKey;
                teacher.lacksEmployeeKey = false;
            }
            if (teacher.lacksPostDate && !found->second->postDate.empty()) {
                keysOf.postDate = found->second->postDate;
                teacher.lacksPostDate = false;
            }
        }
        if (teacher.lacksEmployeeKey || teacher.lacksPostDate)
            applied.stillIncomplete.push_back(std::move(teacher));
        if (keysOf.employeeKey || keysOf.postDate)
            applied.stored.push_back(std::move(keysOf));
    }
    if (!applied.stillIncomplete.empty()) {
        applied.stored.clear();
        return applied;
    }
    try {
        for (std::size_t i = 0; i < applied.stored.size(); ++i) {
            const auto& keysOf = applied.stored[i];
            storeTeacherKeys(proft, keysOf.record, keysOf.employeeKey, keysOf.postDate);
            applied.keysStored += (keysOf.employeeKey ? 1 : 0) + (keysOf.postDate ? 1 : 0);
        }
    } catch (...) {
        // All or nothing: what was stored before the failure goes again.
        proft.close();
        try {
            withdrawTeacherKeys(proftTable, applied);
        } catch (const std::exception&) {
        }
        throw;
    }
    proft.close();
    return applied;
}

void withdrawTeacherKeys(const fs::path& proftTable, const TeacherKeysApplied& applied) {
    if (applied.stored.empty())
        return;
    auto proft = dbf::Table::open(proftTable, dbf::OpenMode::Shared, dbf::Access::ReadWrite);
    const auto holds = [&](std::size_t record, const char* field, const std::optional<std::string>& key) {
        return key && record < proft.recordCount() &&
               ansi::trimControls(proft.text(record, field)) == ansi::trimControls(*key);
    };
    for (const auto& keysOf : applied.stored) {
        const bool employeeKey = holds(keysOf.record, "X_EMPLEADO", keysOf.employeeKey);
        const bool postDate = holds(keysOf.record, "F_TOMAPOS", keysOf.postDate);
        if (employeeKey || postDate)
            storeTeacherKeys(proft, keysOf.record,
                             employeeKey ? std::optional<std::string>("") : std::nullopt,
                             postDate ? std::optional<std::string>("") : std::nullopt, EmptyKey::Clears);
    }
    proft.close();
}

} // namespace pontrel::importing
