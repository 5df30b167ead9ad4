#include "import/TeacherKeyFile.h"

#include "dbf/CodePage.h"
#include "dbf/Error.h"
#include "dbf/Table.h"
#include "exchange/text/Ansi.h"
#include "exchange/velmora/VelmoraTables.h"
#include "import/TeacherKeys.h"
#include "platform/Utf8Path.h"

#include <fstream>
#include <iterator>
#include <stdexcept>
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

// A line's fields: ABREV, then each teacher key in PROFT's order.
constexpr std::size_t kFieldsPerLine = 1 + velmora::proft::kTeacherKeys.size();

// "ABREV;X_EMPLEADO;F_TOMAPOS"
std::string lineForm() {
    std::string form = velmora::proft::kAbrev;
    for (const char* key : velmora::proft::kTeacherKeys)
        form += std::string(";") + key;
    return form;
}

// The number of fields a line must have, in words as the message says it.
std::string fieldCountText() {
    static const char* const kWords[] = {"cero", "uno", "dos", "tres", "cuatro", "cinco", "seis"};
    return kFieldsPerLine < std::size(kWords) ? kWords[kFieldsPerLine] : std::to_string(kFieldsPerLine);
}

} // namespace

const std::string& TeacherKeyLine::key(std::string_view field) const {
    for (std::size_t k = 0; k < velmora::proft::kTeacherKeys.size(); ++k)
        if (field == velmora::proft::kTeacherKeys[k])
            return keys.at(k);
    throw std::logic_error("El archivo de claves no lleva la clave " + std::string(field));
}

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
        if (number == 1 && ansi::equalIgnoringCase(fields[0], velmora::proft::kAbrev))
            continue;
        if (fields.size() != kFieldsPerLine)
            throw Error(where() + "se esperaban " + fieldCountText() + " campos separados por «;» (" +
                        lineForm() + ") y hay " + std::to_string(fields.size()) +
                        ". No se ha guardado nada.");
        if (fields[0].empty())
            throw Error(where() + "falta " + velmora::proft::kAbrev + ". No se ha guardado nada.");
        TeacherKeyLine line{number, utf8 ? ansi::fromUtf8(fields[0]) : fields[0], {}};
        for (std::size_t k = 0; k < velmora::proft::kTeacherKeys.size(); ++k) {
            const char* key = velmora::proft::kTeacherKeys[k];
            const std::string& value = fields[1 + k];
            if (!value.empty() && !fitsTeacherKeyMask(key, value))
                throw Error(where() + key + " «" + shown(value) +
                            "» no es válido: " + teacherKeyMaskRule(key) + ". No se ha guardado nada.");
            line.keys.push_back(value);
        }
        const auto [earlier, first] = byAbbreviation.emplace(line.abbreviation, result.lines.size());
        if (!first) {
            const TeacherKeyLine& before = result.lines[earlier->second];
            const std::string teacher =
                "el profesor «" + shown(fields[0]) + "» ya está en la línea " + std::to_string(before.line);
            if (before.keys != line.keys)
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
        records[proft.text(r, velmora::proft::kAbrev)].push_back(r);

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
        StoredTeacherKeys keysOf{teacher.record, {}};
        std::vector<std::string> stillLacking;
        for (const std::string& field : teacher.lacking) {
            const std::string* given = found == byAbbreviation.end() ? nullptr : &found->second->key(field);
            if (given && !given->empty())
                keysOf.keys.emplace(field, *given);
            else
                stillLacking.push_back(field);
        }
        teacher.lacking = std::move(stillLacking);
        if (!teacher.lacking.empty())
            applied.stillIncomplete.push_back(std::move(teacher));
        if (!keysOf.keys.empty())
            applied.stored.push_back(std::move(keysOf));
    }
    if (!applied.stillIncomplete.empty()) {
        applied.stored.clear();
        return applied;
    }
    try {
        for (const auto& keysOf : applied.stored) {
            storeTeacherKeys(proft, keysOf.record, keysOf.keys);
            applied.keysStored += keysOf.keys.size();
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
    for (const auto& keysOf : applied.stored) {
        // Only a key that still holds what was stored goes; one changed meanwhile stays.
        TeacherKeyValues cleared;
        for (const auto& [field, key] : keysOf.keys)
            if (keysOf.record < proft.recordCount() &&
                ansi::trimControls(proft.text(keysOf.record, field)) == ansi::trimControls(key))
                cleared.emplace(field, "");
        if (!cleared.empty())
            storeTeacherKeys(proft, keysOf.record, cleared, EmptyKey::Clears);
    }
    proft.close();
}

} // namespace pontrel::importing
