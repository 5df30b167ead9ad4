#pragma once
// The data groups of a Yedra master-data document that the runs read, and what the positions of their
// records hold (counted from 0 among a record's `dato` children). The export steps read them into the
// working tables, and the import run's check of the school's data reads the same keys back: each
// position is named once here so that both read the same value.

#include <cstddef>

namespace pontrel::yedra {

// Subjects, one record per subject and enrolment offer that teaches it.
namespace materias {
inline constexpr const char* kGroup = "MATERIAS";
inline constexpr std::size_t kOfferKey = 0;   // the enrolment offer (the course)
inline constexpr std::size_t kSubjectKey = 1; // the subject's key in this offer
inline constexpr std::size_t kName = 2;
inline constexpr std::size_t kLongCode = 3; // may be empty
inline constexpr std::size_t kMinutes = 4;  // weekly minutes, may be empty
} // namespace materias

// Activities (tasks) other than subjects.
namespace actividades {
inline constexpr const char* kGroup = "ACTIVIDADES";
inline constexpr std::size_t kCode = 1;
inline constexpr std::size_t kName = 2;
} // namespace actividades

// Staff.
namespace empleados {
inline constexpr const char* kGroup = "EMPLEADOS";
inline constexpr std::size_t kEmployeeKey = 0; // X_EMPLEADO
inline constexpr std::size_t kPostDate = 1;    // F_TOMAPOS: the date of taking up the post
inline constexpr std::size_t kDepartment = 2;
inline constexpr std::size_t kSurname1 = 3;
inline constexpr std::size_t kSurname2 = 4;
inline constexpr std::size_t kForename = 5;
inline constexpr std::size_t kShortCode = 6; // the teacher's own code, may be empty
} // namespace empleados

// Rooms.
namespace dependencias {
inline constexpr const char* kGroup = "DEPENDENCIAS";
inline constexpr std::size_t kKey = 0; // may be empty
inline constexpr std::size_t kName = 1;
} // namespace dependencias

// Courses of the school.
namespace cursosDelCentro {
inline constexpr const char* kGroup = "CURSOS_DEL_CENTRO";
inline constexpr std::size_t kKey = 0; // X_OFERTAMATRIG, a whole number
inline constexpr std::size_t kName = 1;
} // namespace cursosDelCentro

// Class units.
namespace unidades {
inline constexpr const char* kGroup = "UNIDADES";
inline constexpr std::size_t kKey = 0;
inline constexpr std::size_t kName = 1;
inline constexpr std::size_t kCourseKey = 2;
} // namespace unidades

// School-day frames.
namespace jornadasEscolares {
inline constexpr const char* kGroup = "JORNADAS_ESCOLARES";
inline constexpr std::size_t kCode = 0;
inline constexpr std::size_t kName = 1;
inline constexpr std::size_t kStartDate = 2;
inline constexpr std::size_t kEndDate = 3;
} // namespace jornadasEscolares

// Time slots of the frames.
namespace tramosHorarios {
inline constexpr const char* kGroup = "TRAMOS_HORARIOS";
inline constexpr std::size_t kKey = 0;
inline constexpr std::size_t kText = 1;
inline constexpr std::size_t kStartMinute = 2;
inline constexpr std::size_t kEndMinute = 3;
inline constexpr std::size_t kFrameCode = 4;
} // namespace tramosHorarios

} // namespace pontrel::yedra
