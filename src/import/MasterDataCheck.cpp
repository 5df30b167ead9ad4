#include "import/MasterDataCheck.h"

#include "exchange/Ansi.h"

namespace pontrel::importing {

namespace {

constexpr const char* kKindNames[] = {
    "Profesores (X_EMPLEADO)",   "Dependencias (X_DEPENDENCIA)", "Unidades (X_UNIDAD)",
    "Ofertas (X_OFERTAMATRIG)",  "Materias (X_MATERIAOMG)",      "Actividades (X_ACTIVIDAD)",
    "Tramos horarios (X_TRAMO)",
};

} // namespace

const std::vector<std::string>& MasterDataCheck::groups() {
    static const std::vector<std::string> names = {"EMPLEADOS",      "DEPENDENCIAS",      "UNIDADES",
                                                   "MATERIAS",       "CURSOS_DEL_CENTRO", "ACTIVIDADES",
                                                   "TRAMOS_HORARIOS"};
    return names;
}

MasterDataCheck::MasterDataCheck(const YedraDocument& document) {
    // Each group's key position, as the export reads it.
    const auto collect = [&](Kind kind, const char* group, std::size_t position) {
        for (const auto& record : document.loopRecords(group)) {
            std::string key = record.value(position);
            if (!key.empty())
                known_[kind].insert(std::move(key));
        }
    };
    collect(Teachers, "EMPLEADOS", 0);
    collect(Rooms, "DEPENDENCIAS", 0);
    collect(Units, "UNIDADES", 0);
    // An offer key reaches the timetable from an assignment (MATERIAS) or from a class unit's course.
    collect(Offers, "MATERIAS", 0);
    collect(Offers, "CURSOS_DEL_CENTRO", 0);
    collect(Subjects, "MATERIAS", 1);
    collect(Activities, "ACTIVIDADES", 1);
    collect(Slots, "TRAMOS_HORARIOS", 0);
}

void MasterDataCheck::sent(Kind kind, const std::string& key) {
    if (key.empty() || known_[kind].count(key) || !reported_[kind].insert(key).second)
        return;
    missing_[kind].push_back(key);
}

void MasterDataCheck::teacherSent(std::string_view employeeKey) {
    sent(Teachers, std::string(employeeKey));
}

void MasterDataCheck::activitySent(const ActivityValues& values) {
    sent(Rooms, values.X_DEPENDENCIA);
    sent(Units, values.X_UNIDAD);
    sent(Offers, values.X_OFERTAMATRIG);
    sent(Subjects, values.X_MATERIAOMG);
    sent(Activities, values.X_ACTIVIDAD);
    sent(Slots, values.X_TRAMO);
}

std::vector<MissingKeys> MasterDataCheck::missing() const {
    std::vector<MissingKeys> result;
    for (int kind = 0; kind < KindCount; ++kind)
        if (!missing_[kind].empty())
            result.push_back({kKindNames[kind], missing_[kind]});
    return result;
}

std::vector<std::string> missingKeyLines(const std::vector<MissingKeys>& missing, std::size_t shown) {
    std::vector<std::string> lines;
    for (const auto& kind : missing) {
        std::string line = "  " + kind.kind + ": " + std::to_string(kind.values.size()) + " (";
        for (std::size_t i = 0; i < kind.values.size() && i < shown; ++i)
            line += (i ? ", " : "") + ansi::toUtf8(kind.values[i]);
        line += kind.values.size() > shown ? ", …)" : ")";
        lines.push_back(std::move(line));
    }
    return lines;
}

std::string missingKeysStopMessage(const std::vector<MissingKeys>& missing) {
    std::string message = "El horario usa claves que el documento de Yedra no contiene: se calculó con datos "
                          "anteriores al documento. No se ha guardado el documento de horarios.";
    for (const auto& line : missingKeyLines(missing))
        message += "\n" + line;
    return message;
}

} // namespace pontrel::importing
