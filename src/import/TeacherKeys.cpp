#include "import/TeacherKeys.h"

#include "exchange/Ansi.h"

namespace pontrel::importing {

namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

} // namespace

bool fitsEmployeeKeyMask(std::string_view text) {
    if (text.empty() || text.size() > 10)
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

std::vector<IncompleteTeacher> incompleteTeachers(const dbf::Table& proft, bool firstOnly) {
    std::vector<IncompleteTeacher> found;
    const bool hasName = proft.fieldIndex("NOMBRE").has_value();
    for (std::size_t r = 0; r < proft.recordCount(); ++r) {
        IncompleteTeacher teacher;
        teacher.lacksEmployeeKey = ansi::isBlank(proft.text(r, "X_EMPLEADO"));
        teacher.lacksPostDate = ansi::isBlank(proft.text(r, "F_TOMAPOS"));
        if (!teacher.lacksEmployeeKey && !teacher.lacksPostDate)
            continue;
        teacher.record = r;
        teacher.abbreviation = proft.text(r, "ABREV");
        if (hasName)
            teacher.name = proft.text(r, "NOMBRE");
        found.push_back(std::move(teacher));
        if (firstOnly)
            break;
    }
    return found;
}

std::string missingKeysText(const IncompleteTeacher& teacher) {
    if (teacher.lacksEmployeeKey && teacher.lacksPostDate)
        return "X_EMPLEADO y F_TOMAPOS";
    return teacher.lacksEmployeeKey ? "X_EMPLEADO" : "F_TOMAPOS";
}

void storeTeacherKeys(dbf::Table& proft, std::size_t record, const std::optional<std::string>& employeeKey,
                      const std::optional<std::string>& postDate, EmptyKey emptyKey) {
    auto refuse = [&](const std::string& what) {
        throw Error("PROFT, registro " + std::to_string(record + 1) + " (profesor «" +
                    ansi::toUtf8(proft.text(record, "ABREV")) + "»): " + what + ". No se ha guardado nada.");
    };
    // An emptied key, where it may clear the stored one, has no mask to fit.
    auto masked = [&](const std::optional<std::string>& key) {
        return key && !(emptyKey == EmptyKey::Clears && key->empty());
    };
    if (masked(employeeKey) && !fitsEmployeeKeyMask(*employeeKey))
        refuse("X_EMPLEADO «" + ansi::toUtf8(*employeeKey) + "» no es válido: debe tener de 1 a 10 dígitos");
    if (masked(postDate) && !fitsPostDateMask(*postDate))
        refuse("F_TOMAPOS «" + ansi::toUtf8(*postDate) + "» no es válido: debe tener la forma DD/MM/AAAA");
    if (!employeeKey && !postDate)
        return;
    dbf::RecordBuffer values;
    if (employeeKey)
        values.setText("X_EMPLEADO", *employeeKey);
    if (postDate)
        values.setText("F_TOMAPOS", *postDate);
    proft.update(record, values);
}

} // namespace pontrel::importing
