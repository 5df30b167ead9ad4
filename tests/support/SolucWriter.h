#pragma once
// SOLUC, the timetable the timetable tool computes, as that tool writes it: a dBase III table with one
// record per lesson placed (or left unplaced with DIA 0), values in this field order.

#include "support/DbaseIIIWriter.h"

namespace pontrel::testing {

// PROF, DIA, HORA, MARCO, ASIG, CODGRUPO, TAREA, AULA. DIA and HORA are numbers ('N'), or text
// holding the digits ('C') as some versions of the tool write them.
inline DbaseIIIWriter solucWriter(char dayAndHourType = 'N') {
    return DbaseIIIWriter({{"PROF", 'C', 10},
                           {"DIA", dayAndHourType, 2},
                           {"HORA", dayAndHourType, 2},
                           {"MARCO", 'C', 1},
                           {"ASIG", 'C', 10},
                           {"CODGRUPO", 'C', 10},
                           {"TAREA", 'C', 10},
                           {"AULA", 'C', 10}});
}

} // namespace pontrel::testing
