#pragma once
// The eleven texts of one timetable entry, named after the Yedra data items that carry them.
// All texts are ANSI (Windows-1252), as the working tables give them; any of them may be empty.

#include <string>

namespace pontrel::importing {

struct ActivityValues {
    std::string N_DIASEMANA;    // DIA of the slot found in DIASHORAST
    std::string X_TRAMO;        // CODDIHO of that slot
    std::string X_DEPENDENCIA;  // AULA of the SOLUC entry
    std::string X_UNIDAD;       // CLAVE of the class unit in GRUPOST
    std::string X_OFERTAMATRIG; // CLAVECURSO of the assignment, else of the class unit
    std::string X_MATERIAOMG;   // CLAVE of the assignment, else MATERIA from ASIGNOMT2
    std::string F_INICIO;       // PERIODOS.FECINI
    std::string F_FIN;          // PERIODOS.FECFIN
    std::string N_HORINI;       // minute count of the slot's start
    std::string N_HORFIN;       // minute count of the slot's end
    std::string X_ACTIVIDAD;    // TAREA, else CODTAREA of the subject, else "513" or empty

    bool operator==(const ActivityValues&) const = default;
};

} // namespace pontrel::importing
