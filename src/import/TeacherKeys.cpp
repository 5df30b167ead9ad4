#include "import/TeacherKeys.h"

#include "exchange/text/Ansi.h"
#include "exchange/velmora/VelmoraTables.h"

#include <stdexcept>

namespace pontrel::importing {

namespace proft = velmora::proft;

namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

std::size_t employeeKeyWidth() {
    return proft::layout().width(proft::kXEmpleado);
}

// The entry mask of each teacher key: the test, and how a refusal words it.
struct KeyMask {
    const char* field;
    bool (*fits)(std::string_view);
    std::string (*rule)();
    std::string (*hint)();
};

const KeyMask kMasks[] = {
    {proft::kXEmpleado, fitsEmployeeKeyMask,
     [] { return "debe tener de 1 a " + std::to_string(employeeKeyWidth()) + " dígitos"; },
     [] { return "Escriba solo dígitos, como mucho " + std::to_string(employeeKeyWidth()) + "."; }},
    {proft::kFTomapos, fitsPostDateMask, [] { return std::string("debe tener la forma DD/MM/AAAA"); },
     [] { return std::string("Escriba la fecha como DD/MM/AAAA."); }},
};

const KeyMask& maskOf(std::string_view field) {
    for (const auto& mask : kMasks)
        if (field == mask.field)
            return mask;
    throw std::logic_error("La clave de profesor " + std::string(field) + " no tiene máscara");
}

// "A", "A y B", "A, B y C" (or with `last` as the last joint).
std::string listed(const std::vector<std::string>& fields, const char* last) {
    std::string text;
    for (std::size_t i = 0; i < fields.size(); ++i)
        text += (i == 0 ? "" : i + 1 == fields.size() ? last : ", ") + fields[i];
    return text;
}

} // namespace

bool fitsEmployeeKeyMask(std::string_view text) {
    if (text.empty() || text.size() > employeeKeyWidth())
        return false;
    for (char c : text)
        if (!isDigit(c))
            return false;
    return true;
}

bool fitsPostDateMask(std::string_view text) {
    if (text.size() != 10)
        return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const bool slash = i == 2 || i == 5;
        if (slash ? text[i] != '/' : !isDigit(text[i]))
            return false;
    }
    return true;
}

bool fitsTeacherKeyMask(std::string_view field, std::string_view text) {
    return maskOf(field).fits(text);
}

std::string teacherKeyMaskRule(std::string_view field) {
    return maskOf(field).rule();
}

std::string teacherKeyMaskHint(std::string_view field) {
    return maskOf(field).hint();
}

bool IncompleteTeacher::lacks(std::string_view field) const {
    for (const auto& key : lacking)
        if (key == field)
            return true;
    return false;
}

std::vector<IncompleteTeacher> incompleteTeachers(const dbf::Table& table, bool firstOnly) {
    std::vector<IncompleteTeacher> found;
    const bool hasName = table.fieldIndex(proft::kNombre).has_value();
    for (std::size_t r = 0; r < table.recordCount(); ++r) {
        IncompleteTeacher teacher;
        for (const char* key : proft::kTeacherKeys)
            if (ansi::isBlank(table.text(r, key)))
                teacher.lacking.push_back(key);
        if (teacher.lacking.empty())
            continue;
        teacher.record = r;
        teacher.abbreviation = table.text(r, proft::kAbrev);
        if (hasName)
            teacher.name = table.text(r, proft::kNombre);
        found.push_back(std::move(teacher));
        if (firstOnly)
            break;
    }
    return found;
}

std::string missingKeysText(const IncompleteTeacher& teacher) {
    return listed(teacher.lacking, " y ");
}

std::string anyTeacherKeyText() {
    return listed({proft::kTeacherKeys.begin(), proft::kTeacherKeys.end()}, " o ");
}

void storeTeacherKeys(dbf::Table& table, std::size_t record, const TeacherKeyValues& keys,
                      EmptyKey emptyKey) {
    for (const auto& given : keys)
        maskOf(given.first); // only teacher keys are stored here
    for (const char* field : proft::kTeacherKeys) {
        const auto given = keys.find(std::string_view(field));
        // An emptied key, where it may clear the stored one, has no mask to fit.
        if (given == keys.end() || (emptyKey == EmptyKey::Clears && given->second.empty()))
            continue;
        if (!fitsTeacherKeyMask(field, given->second))
            throw Error("PROFT, registro " + std::to_string(record + 1) + " (profesor «" +
                        ansi::toUtf8(table.text(record, proft::kAbrev)) + "»): " + field + " «" +
                        ansi::toUtf8(given->second) + "» no es válido: " + teacherKeyMaskRule(field) +
                        ". No se ha guardado nada.");
    }
    if (keys.empty())
        return;
    dbf::RecordBuffer values;
    for (const auto& [field, key] : keys)
        values.setText(field, key);
    table.update(record, values);
}

void storeTeacherKeys(dbf::Table& table, std::size_t record, const std::optional<std::string>& employeeKey,
                      const std::optional<std::string>& postDate, EmptyKey emptyKey) {
    TeacherKeyValues keys;
    if (employeeKey)
        keys.emplace(proft::kXEmpleado, *employeeKey);
    if (postDate)
        keys.emplace(proft::kFTomapos, *postDate);
    storeTeacherKeys(table, record, keys, emptyKey);
}

} // namespace pontrel::importing
