#include "exchange/velmora/VelmoraTables.h"

#include <stdexcept>

namespace pontrel::velmora {

const dbf::FieldSpec& TableLayout::field(std::string_view fieldName) const {
    for (const auto& spec : fields)
        if (spec.name == fieldName)
            return spec;
    throw std::logic_error("La tabla " + name + " no tiene el campo " + std::string(fieldName));
}

namespace {

// Widths of text fields; the engine gives 'I' (4 bytes), 'L' (1) and 'O' (8) their fixed widths.
dbf::FieldSpec text(const char* name, int width) {
    return {name, 'C', width, 0};
}
dbf::FieldSpec integer(const char* name) {
    return {name, 'I', 0, 0};
}
dbf::FieldSpec logical(const char* name) {
    return {name, 'L', 0, 0};
}
dbf::FieldSpec real(const char* name) {
    return {name, 'O', 0, 0};
}

std::vector<dbf::FieldSpec> gridFields() {
    using namespace diashorast;
    return {text(kDiHo, 10),   text(kCodDiHo, 10),  text(kDia, 20),      text(kTextoDia, 20),
            text(kHora, 8),    text(kTextoHor, 15), text(kHoraDesde, 8), text(kHoraHasta, 8),
            text(kMinutos, 8), text(kMarco, 1),     text(kMarcoXml, 10)};
}

} // namespace

const TableLayout& asignomt::layout() {
    // Subjects have no Yedra key here: their code identifies them, and an activity its Yedra code,
    // which it may share with a subject.
    static const TableLayout table{
        "ASIGNOMT",
        {text(kCod, 10), text(kCodLargo, 10), text(kNombre, 80), text(kCodTarea, 12), logical(kEsTarea)},
        std::nullopt,
        true,
        {kCod, kCodTarea}};
    return table;
}

const TableLayout& asignomt2::layout() {
    static const TableLayout table{"ASIGNOMT2",
                                   {text(kCod, 10), text(kCodLargo, 10), text(kNombre, 80),
                                    text(kMateria, 20), text(kOfertaMatri, 20), text(kCodTarea, 12),
                                    logical(kEsTarea)},
                                   std::nullopt,
                                   true,
                                   {kMateria, kOfertaMatri}};
    return table;
}

const TableLayout& proft::layout() {
    static const TableLayout table{"PROFT",
                                   {text(kAbrev, 10), text(kNombre, 80), text(kDepart, 40), text(kEmail, 100),
                                    integer(kDni), text(kXEmpleado, 10), text(kFTomapos, 10)},
                                   std::nullopt,
                                   true,
                                   {kXEmpleado}};
    return table;
}

const TableLayout& aulat::layout() {
    static const TableLayout table{
        "AULAT",
        {text(kAbrev, 10), text(kNombre, 80), text(kEdificio, 1), integer(kMaxAlum), text(kDepCentro, 10)},
        std::nullopt,
        true,
        {kAbrev}};
    return table;
}

const TableLayout& cursost::layout() {
    static const TableLayout table{"CURSOST",
                                   {text(kAbrev, 3), text(kTurno, 1), text(kNivel, 5), text(kCurso, 3),
                                    text(kClave, 10), text(kEstud, 80)},
                                   std::nullopt,
                                   true,
                                   {kClave}};
    return table;
}

const TableLayout& grupost::layout() {
    static const TableLayout table{"GRUPOST",
                                   {text(kAbrev, 10), text(kTurno, 1), text(kNivel, 5), text(kCurso, 3),
                                    text(kGrupo, 2), text(kClave, 10), text(kClaveCurso, 10),
                                    text(kDescrip, 80)},
                                   std::nullopt,
                                   true,
                                   {kClave}};
    return table;
}

const TableLayout& asigt::layout() {
    static const TableLayout table{"ASIGT",
                                   {text(kCAsig, 10), text(kCProf, 10), text(kCGrup, 10), text(kCAula, 10),
                                    text(kTurno, 10), text(kNivel, 5), text(kCurso, 3), text(kGrupo, 2),
                                    real(kHoras), text(kSesiones, 20), text(kNConex, 4), text(kClave, 10),
                                    text(kClaveCurso, 10), text(kCTarea, 10)},
                                   std::nullopt,
                                   true,
                                   {kClave, kClaveCurso, kCGrup}};
    return table;
}

const TableLayout& diashorast::layout() {
    // A time slot appears once per day of the grid.
    static const TableLayout table{"DIASHORAST", gridFields(), std::nullopt, true, {kCodDiHo, kDia}};
    return table;
}

const TableLayout& diashorast2::layout() {
    static const TableLayout table = [] {
        auto fields = gridFields();
        fields.push_back(integer(kOrden));
        return TableLayout{
            "DIASHORAST2", std::move(fields), dbf::IndexSpec{kOrdenTag, kOrden}, true, {kCodDiHo}};
    }();
    return table;
}

const TableLayout& periodos::layout() {
    static const TableLayout table{
        "PERIODOS",
        {text(kCJornada, 10), text(kJornada, 40), text(kFecIni, 10), text(kFecFin, 10)},
        std::nullopt,
        /*removeStaleIndex=*/false,
        {kCJornada}};
    return table;
}

const TableLayout& soluc::layout() {
    static const TableLayout table{"SOLUC",
                                   {text(kProf, 10),
                                    {kDia, 'N', 2, 0},
                                    {kHora, 'N', 2, 0},
                                    text(kMarco, 1),
                                    text(kAsig, 10),
                                    text(kCodGrupo, 10),
                                    text(kTarea, 10),
                                    text(kAula, 10)},
                                   std::nullopt,
                                   true,
                                   {}};
    return table;
}

const std::vector<const TableLayout*>& exportedTables() {
    static const std::vector<const TableLayout*> tables = {
        &asignomt::layout(),    &asignomt2::layout(), &proft::layout(), &aulat::layout(),
        &cursost::layout(),     &grupost::layout(),   &asigt::layout(), &diashorast::layout(),
        &diashorast2::layout(), &periodos::layout()};
    return tables;
}

} // namespace pontrel::velmora
