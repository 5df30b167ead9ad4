#pragma once
// A small school as Yedra lists it, complete enough for a whole export run with one frame (no frame
// dialog): two offers with their subjects, one activity, three teachers, three rooms, two courses with
// three class units, one frame of two slots. Tests change it a record at a time to make the document
// of a later date.

#include "support/ExportFixtures.h"

#include <algorithm>
#include <string>
#include <vector>

namespace pontrel::testing {

inline std::vector<YedraGroup> smallSchool() {
    return {
        {"MATERIAS",
         {{"3012", "101", "Matemáticas", "MAT", "240"},
          {"3012", "102", "Lengua", "LEN", "180"},
          {"3013", "103", "Matemáticas", "MAT", "240"}}},
        {"ACTIVIDADES", {{"1", "G01", "Guardia"}}},
        {"EMPLEADOS",
         {{"1001", "01/09/2010", "Ciencias", "García", "López", "Ana", ""},
          {"1002", "01/09/2011", "Letras", "Martín", "Ruiz", "Luis", ""},
          {"1003", "01/09/2012", "Letras", "Pérez", "Soto", "Eva", ""}}},
        {"DEPENDENCIAS", {{"A1", "Aula 1"}, {"A2", "Aula 2"}, {"LAB", "Laboratorio"}}},
        {"CURSOS_DEL_CENTRO", {{"3012", "1º E.S.O."}, {"3013", "2º E.S.O."}}},
        {"UNIDADES", {{"55", "1º ESO A", "3012"}, {"56", "1º ESO B", "3012"}, {"57", "2º ESO A", "3013"}}},
        {"JORNADAS_ESCOLARES", {{"JOR1", "Jornada ordinaria", "01/09/2025", "30/06/2026"}}},
        {"TRAMOS_HORARIOS",
         {{"T1", "1ª hora", "480", "535", "JOR1"}, {"T2", "2ª hora", "535", "590", "JOR1"}}},
    };
}

inline YedraGroup& groupOf(std::vector<YedraGroup>& school, const std::string& seq) {
    return *std::find_if(school.begin(), school.end(), [&](const YedraGroup& g) { return g.seq == seq; });
}

// Removes the records of `seq` whose first field is `key`.
inline void removeRecord(std::vector<YedraGroup>& school, const std::string& seq, const std::string& key) {
    auto& records = groupOf(school, seq).records;
    records.erase(
        std::remove_if(records.begin(), records.end(), [&](const YedraFields& r) { return r[0] == key; }),
        records.end());
}

} // namespace pontrel::testing
