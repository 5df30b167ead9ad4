#pragma once
// The seven data-group steps of the export run, called in this order by the run. Each creates its
// tables in the context's tables folder and fills them from the document.

#include "export/ExportContext.h"

namespace pontrel::exporting {

void subjectStep(ExportContext& context);    // MATERIAS -> ASIGNOMT, ASIGNOMT2
void activityStep(ExportContext& context);   // ACTIVIDADES appended to ASIGNOMT; sets task513
void teacherStep(ExportContext& context);    // EMPLEADOS -> PROFT
void roomStep(ExportContext& context);       // DEPENDENCIAS -> AULAT
void courseStep(ExportContext& context);     // CURSOS_DEL_CENTRO, UNIDADES -> CURSOST, GRUPOST
void assignmentStep(ExportContext& context); // MATERIAS -> ASIGT
void frameStep(
    ExportContext& context); // JORNADAS_ESCOLARES, TRAMOS_HORARIOS -> DIASHORAST, DIASHORAST2, PERIODOS

} // namespace pontrel::exporting
