#pragma once
// The fixed messages that the runs show the planner, verbatim (UTF-8), in one place: the help's page of
// messages explains each one, and a test holds the page to this list. Velmora's planners know these
// texts as they stand (the misspelling of "detendrá" and the "\n\r" line ends included), so they are
// never reworded.

#include <array>

namespace pontrel::messages {

inline constexpr const char* kNoDocument = "No existe archivo";
inline constexpr const char* kNoLevelTable = "ATENCIÓN - NIVELCAN.DBF No encontrado - Reinstale PONTREL";
inline constexpr const char* kFinished = "Proceso finalizado";
inline constexpr const char* kNoPeriods =
    "ATENCIÓN - PERIODOS.DBF No encontrado - Importe de nuevo XML de YEDRA.";
inline constexpr const char* kTeacherDataMissing =
    "¡Atención! Sigue habiendo algún Profesor sin todos los DATOS.\n\r"
    "Este proceso se dentendrá y deberá volver a ejecutar\n\r"
    "la Importación, para poder corregir la incidencia";
// The frame dialog's refusals (the first one has two lines).
inline constexpr const char* kTooManyFrames =
    "Demasiados Marcos Horarios seleccionados.\r\nComo máximo puede seleccionar 5 Marcos Horarios";
inline constexpr const char* kNoFrame = "Debe al menos seleccionar 1 Marco Horario.";

// Every message above, for the check against the help.
inline constexpr std::array kFixed = {kNoDocument,         kNoLevelTable,  kFinished, kNoPeriods,
                                      kTeacherDataMissing, kTooManyFrames, kNoFrame};

} // namespace pontrel::messages
