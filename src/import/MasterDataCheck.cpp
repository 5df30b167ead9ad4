#include "import/MasterDataCheck.h"

#include "exchange/codes/RoomCodes.h"
#include "exchange/text/Ansi.h"
#include "exchange/velmora/VelmoraTables.h"
#include "exchange/yedra/YedraGroups.h"

namespace pontrel::importing {

namespace {

constexpr const char* kKindNames[] = {
    "Profesores (X_EMPLEADO)",      "Tomas de posesión (X_EMPLEADO: F_TOMAPOS)",
    "Dependencias (X_DEPENDENCIA)", "Unidades (X_UNIDAD)",
    "Ofertas (X_OFERTAMATRIG)",     "Materias (X_MATERIAOMG)",
    "Actividades (X_ACTIVIDAD)",    "Tramos horarios (X_TRAMO)",
};

// A text as a table gives it back once stored in a text field of `width`: cut, trailing blanks gone.
std::string storedForm(std::string_view text, std::size_t width) {
    auto stored = text.substr(0, width);
    while (!stored.empty() && stored.back() == ' ')
        stored.remove_suffix(1);
    return std::string(stored);
}

namespace v = velmora;

} // namespace

const std::vector<std::string>& MasterDataCheck::groups() {
    static const std::vector<std::string> names = {
        yedra::empleados::kGroup,     yedra::dependencias::kGroup,    yedra::unidades::kGroup,
        yedra::materias::kGroup,      yedra::cursosDelCentro::kGroup, yedra::actividades::kGroup,
        yedra::tramosHorarios::kGroup};
    return names;
}

// Each group's key position, as the export reads it, and the widths of the fields it stores the key
// in on the way to the timetable: a longer key comes back cut to one of them.
void MasterDataCheck::collect(const YedraDocument& document, Kind kind, const char* group,
                              std::size_t position, std::initializer_list<std::size_t> storedWidths) {
    for (const auto& record : document.loopRecords(group)) {
        std::string key = record.value(position);
        if (key.empty())
            continue;
        for (std::size_t width : storedWidths)
            if (key.size() > width)
                made_[kind].insert(storedForm(key, width));
        known_[kind].insert(key);
    }
}

// The room codes the export makes from the rooms as the document lists them now.
void MasterDataCheck::collectRooms(const YedraDocument& document) {
    ShortCodeRegistry codes{roomCodeSettings()};
    for (const auto& record : document.loopRecords(yedra::dependencias::kGroup)) {
        const std::string key = record.value(yedra::dependencias::kKey);
        std::string code =
            storedForm(codes.assign(roomCodeCandidate(key, record.value(yedra::dependencias::kName))),
                       v::aulat::layout().width(v::aulat::kAbrev));
        if (!key.empty())
            known_[Rooms].insert(key);
        if (code != key && !code.empty())
            made_[Rooms].insert(code);
    }
}

MasterDataCheck::MasterDataCheck(const YedraDocument& document) {
    namespace y = yedra;
    const auto& proft = v::proft::layout();
    collect(document, Teachers, y::empleados::kGroup, y::empleados::kEmployeeKey,
            {proft.width(v::proft::kXEmpleado)});
    const std::size_t postDateWidth = proft.width(v::proft::kFTomapos);
    for (const auto& record : document.loopRecords(y::empleados::kGroup)) {
        const std::string postDate = record.value(y::empleados::kPostDate);
        auto& dates = postDates_[record.value(y::empleados::kEmployeeKey)];
        dates.insert(postDate);
        dates.insert(storedForm(postDate, postDateWidth));
    }
    collectRooms(document);
    collect(document, Units, y::unidades::kGroup, y::unidades::kKey,
            {v::grupost::layout().width(v::grupost::kClave)});
    // An offer key reaches the timetable from an assignment (MATERIAS) or from a class unit's course.
    collect(document, Offers, y::materias::kGroup, y::materias::kOfferKey,
            {v::asigt::layout().width(v::asigt::kClaveCurso)});
    collect(document, Offers, y::cursosDelCentro::kGroup, y::cursosDelCentro::kKey,
            {v::grupost::layout().width(v::grupost::kClaveCurso)});
    // A subject key from ASIGT (CLAVE) or ASIGNOMT2 (MATERIA); an activity code from ASIGNOMT
    // (CODTAREA, or COD where Velmora takes the code).
    collect(
        document, Subjects, y::materias::kGroup, y::materias::kSubjectKey,
        {v::asigt::layout().width(v::asigt::kClave), v::asignomt2::layout().width(v::asignomt2::kMateria)});
    collect(document, Activities, y::actividades::kGroup, y::actividades::kCode,
            {v::asignomt::layout().width(v::asignomt::kCod),
             v::asignomt::layout().width(v::asignomt::kCodTarea)});
    collect(document, Slots, y::tramosHorarios::kGroup, y::tramosHorarios::kKey,
            {v::diashorast::layout().width(v::diashorast::kCodDiHo)});
}

bool MasterDataCheck::sent(Kind kind, const std::string& key) {
    if (key.empty() || known_[kind].contains(key))
        return true;
    if (!reported_[kind].insert(key).second)
        return false;
    (made_[kind].contains(key) ? derived_[kind] : missing_[kind]).push_back(key);
    return false;
}

void MasterDataCheck::teacherSent(std::string_view employeeKey, std::string_view postDate) {
    const std::string key(employeeKey);
    if (key.empty() || !sent(Teachers, key))
        return;
    // Yedra knows the teacher by both keys: a date other than the document's does not find it either.
    const std::string date =
        storedForm(ansi::trimControls(postDate), v::proft::layout().width(v::proft::kFTomapos));
    const auto dates = postDates_.find(key);
    if (date.empty() || (dates != postDates_.end() && dates->second.count(date)))
        return;
    const std::string pair = key + ": " + date;
    if (reported_[PostDates].insert(pair).second)
        missing_[PostDates].push_back(pair);
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

std::vector<MissingKeys> MasterDataCheck::derived() const {
    std::vector<MissingKeys> result;
    for (int kind = 0; kind < KindCount; ++kind)
        if (!derived_[kind].empty())
            result.push_back({kKindNames[kind], derived_[kind]});
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
