#pragma once
// Velmora's working tables: every fact of their layout in one place. Each table's file name, its
// fields in Velmora's order (name, type, width, decimals), the index the export writes, the fields
// that identify a record when a preview compares an export with the tables in place, and a named
// constant for every field name the converter reads or writes. Velmora reads the tables by these
// names and widths, so a field changed here is a change to what Velmora is given.
//
// The export run creates the ten exported tables from these layouts; the import run reads them and
// SOLUC, which Velmora writes, by the same names.

#include "dbf/Table.h"

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pontrel::velmora {

struct TableLayout {
    std::string name;                   // without extension, upper case: "ASIGNOMT"
    std::vector<dbf::FieldSpec> fields; // in Velmora's order
    std::optional<dbf::IndexSpec> index = std::nullopt;
    // A re-created table loses the .MDX of its old self; PERIODOS keeps it (Velmora may hold its own).
    bool removeStaleIndex = true;
    // The fields that identify a record: its Yedra key where the table holds one, else its code.
    std::vector<std::string> naturalKey = {};

    std::string fileName() const { return name + ".DBF"; } // "ASIGNOMT.DBF"
    // The field named `field`; a name the layout lacks is a programming error (std::logic_error).
    const dbf::FieldSpec& field(std::string_view field) const;
    std::size_t width(std::string_view field) const {
        return static_cast<std::size_t>(this->field(field).width);
    }
};

// Subjects and activities, one record per distinct subject code.
namespace asignomt {
inline constexpr const char* kCod = "COD";
inline constexpr const char* kCodLargo = "CODLARGO";
inline constexpr const char* kNombre = "NOMBRE";
inline constexpr const char* kCodTarea = "CODTAREA";
inline constexpr const char* kEsTarea = "ESTAREA";
const TableLayout& layout();
} // namespace asignomt

// Subjects by enrolment offer: every (subject key, offer key) pair under its subject's code.
namespace asignomt2 {
inline constexpr const char* kCod = "COD";
inline constexpr const char* kCodLargo = "CODLARGO";
inline constexpr const char* kNombre = "NOMBRE";
inline constexpr const char* kMateria = "MATERIA";
inline constexpr const char* kOfertaMatri = "OFERTAMATRI";
inline constexpr const char* kCodTarea = "CODTAREA";
inline constexpr const char* kEsTarea = "ESTAREA";
const TableLayout& layout();
} // namespace asignomt2

// Teachers: ABREV is the teacher's code inside Velmora; the teacher keys go back to Yedra.
namespace proft {
inline constexpr const char* kAbrev = "ABREV";
inline constexpr const char* kNombre = "NOMBRE";
inline constexpr const char* kDepart = "DEPART";
inline constexpr const char* kEmail = "EMAIL";
inline constexpr const char* kDni = "DNI";
inline constexpr const char* kXEmpleado = "X_EMPLEADO";
inline constexpr const char* kFTomapos = "F_TOMAPOS";
// A teacher's Yedra keys, in PROFT's order: what the teacher data dialog and the keys file complete,
// and what the import run sends with the teacher's timetable. A teacher lacking one stops the import.
inline constexpr std::array<const char*, 2> kTeacherKeys = {kXEmpleado, kFTomapos};
const TableLayout& layout();
} // namespace proft

// Rooms.
namespace aulat {
inline constexpr const char* kAbrev = "ABREV";
inline constexpr const char* kNombre = "NOMBRE";
inline constexpr const char* kEdificio = "EDIFICIO";
inline constexpr const char* kMaxAlum = "MAXALUM";
inline constexpr const char* kDepCentro = "DEPCENTRO";
const TableLayout& layout();
} // namespace aulat

// Courses of the school.
namespace cursost {
inline constexpr const char* kAbrev = "ABREV";
inline constexpr const char* kTurno = "TURNO";
inline constexpr const char* kNivel = "NIVEL";
inline constexpr const char* kCurso = "CURSO";
inline constexpr const char* kClave = "CLAVE";
inline constexpr const char* kEstud = "ESTUD";
const TableLayout& layout();
} // namespace cursost

// Class units: the link between Velmora's unit codes and Yedra's unit and course keys.
namespace grupost {
inline constexpr const char* kAbrev = "ABREV";
inline constexpr const char* kTurno = "TURNO";
inline constexpr const char* kNivel = "NIVEL";
inline constexpr const char* kCurso = "CURSO";
inline constexpr const char* kGrupo = "GRUPO";
inline constexpr const char* kClave = "CLAVE";
inline constexpr const char* kClaveCurso = "CLAVECURSO";
inline constexpr const char* kDescrip = "DESCRIP";
const TableLayout& layout();
} // namespace grupost

// Subject assignments: one record per subject and class unit of its course.
namespace asigt {
inline constexpr const char* kCAsig = "CASIG";
inline constexpr const char* kCProf = "CPROF";
inline constexpr const char* kCGrup = "CGRUP";
inline constexpr const char* kCAula = "CAULA";
inline constexpr const char* kTurno = "TURNO";
inline constexpr const char* kNivel = "NIVEL";
inline constexpr const char* kCurso = "CURSO";
inline constexpr const char* kGrupo = "GRUPO";
inline constexpr const char* kHoras = "HORAS";
inline constexpr const char* kSesiones = "SESIONES";
inline constexpr const char* kNConex = "NCONEX";
inline constexpr const char* kClave = "CLAVE";
inline constexpr const char* kClaveCurso = "CLAVECURSO";
inline constexpr const char* kCTarea = "CTAREA";
const TableLayout& layout();
} // namespace asigt

// Velmora's day-and-slot grid. DIASHORAST2 has the same fields plus ORDEN, the slot's start minute.
namespace diashorast {
inline constexpr const char* kDiHo = "DIHO";
inline constexpr const char* kCodDiHo = "CODDIHO";
inline constexpr const char* kDia = "DIA";
inline constexpr const char* kTextoDia = "TEXTODIA";
inline constexpr const char* kHora = "HORA";
inline constexpr const char* kTextoHor = "TEXTOHOR";
inline constexpr const char* kHoraDesde = "HORADESDE";
inline constexpr const char* kHoraHasta = "HORAHASTA";
inline constexpr const char* kMinutos = "MINUTOS";
inline constexpr const char* kMarco = "MARCO";
inline constexpr const char* kMarcoXml = "MARCOXML";
const TableLayout& layout();
} // namespace diashorast

// The time slots of the chosen frames, indexed by their start minute.
namespace diashorast2 {
using namespace diashorast; // the grid's field names
inline constexpr const char* kOrden = "ORDEN";
inline constexpr const char* kOrdenTag = "ORDEN"; // the tag of the index on ORDEN
const TableLayout& layout();
} // namespace diashorast2

// Code, name and dates of the first chosen frame.
namespace periodos {
inline constexpr const char* kCJornada = "CJORNADA";
inline constexpr const char* kJornada = "JORNADA";
inline constexpr const char* kFecIni = "FECINI";
inline constexpr const char* kFecFin = "FECFIN";
const TableLayout& layout();
} // namespace periodos

// The timetable Velmora computes: one record per lesson, placed or not (DIA 0). Velmora writes it,
// the converter only reads it. Its storage types are Velmora's: DIA and HORA may be numeric (as in
// this layout, dBase III N(2,0)), integer or text, and are read as whichever the table declares.
namespace soluc {
inline constexpr const char* kProf = "PROF";
inline constexpr const char* kDia = "DIA";
inline constexpr const char* kHora = "HORA";
inline constexpr const char* kMarco = "MARCO";
inline constexpr const char* kAsig = "ASIG";
inline constexpr const char* kCodGrupo = "CODGRUPO";
inline constexpr const char* kTarea = "TAREA";
inline constexpr const char* kAula = "AULA";
const TableLayout& layout();
} // namespace soluc

// The ten tables that the export run makes, in the order its steps make them.
const std::vector<const TableLayout*>& exportedTables();

} // namespace pontrel::velmora
