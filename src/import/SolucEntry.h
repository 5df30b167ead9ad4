#pragma once
// One timetable entry of SOLUC, the table Velmora writes. Its storage types are Velmora's: DIA and
// HORA may be numeric (N), integer (I) or text (C) fields, at any dBase level.

#include "dbf/Table.h"
#include "exchange/velmora/VelmoraTables.h"
#include "import/FieldRef.h"

#include <cstdint>
#include <string>

namespace pontrel::importing {

struct SolucEntry {
    std::size_t record = 0; // position in SOLUC, from 0
    std::int64_t day = 0;   // DIA
    std::int64_t hour = 0;  // HORA
    std::string frame;      // MARCO
    std::string subject;    // ASIG: subject or task short code
    std::string unit;       // CODGRUPO: class unit short code
    std::string task;       // TAREA, may be blank
    std::string room;       // AULA
};

// A whole number read from a SOLUC field of any type. An empty field reads as 0, as a dBase engine
// reads an empty number; anything that is not a whole number stops the run with a message that names
// the record and the value.
std::int64_t solucWholeNumber(const dbf::Table& soluc, std::size_t record, std::string_view field);
// The same through the field's kept position (see SolucFields).
std::int64_t solucWholeNumber(const dbf::Table& soluc, std::size_t record, const FieldRef& field);

// The fields that the run reads, their positions kept for loops over many entries.
struct SolucFields {
    explicit SolucFields(const dbf::Table& soluc)
        : teacher(soluc, velmora::soluc::kProf), day(soluc, velmora::soluc::kDia),
          hour(soluc, velmora::soluc::kHora), frame(soluc, velmora::soluc::kMarco),
          subject(soluc, velmora::soluc::kAsig), unit(soluc, velmora::soluc::kCodGrupo),
          task(soluc, velmora::soluc::kTarea), room(soluc, velmora::soluc::kAula) {}
    FieldRef teacher, day, hour, frame, subject, unit, task, room;
};

// Reads the fields of one entry that is to be written (the run reads only DIA of entries whose DIA
// is 0, which are never written).
SolucEntry readSolucEntry(const dbf::Table& soluc, std::size_t record);
SolucEntry readSolucEntry(const dbf::Table& soluc, const SolucFields& fields, std::size_t record);

} // namespace pontrel::importing
