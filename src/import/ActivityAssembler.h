#pragma once
// Turns one SOLUC entry into the Yedra keys and times of its timetable entry. Every lookup takes the
// first matching record in stored order; comparisons are exact, as the tables give the values.

#include "dbf/Table.h"
#include "import/ActivityValues.h"
#include "import/SolucEntry.h"

#include <string>
#include <string_view>

namespace pontrel::importing {

// The tables the lookups read, held open by the run.
struct LookupTables {
    const dbf::Table& assignments;     // ASIGT
    const dbf::Table& subjects;        // ASIGNOMT
    const dbf::Table& subjectsByOffer; // ASIGNOMT2
    const dbf::Table& slots;           // DIASHORAST
    const dbf::Table& units;           // GRUPOST
};

// What could not be found for one entry, for the run's summary.
struct AssemblyGaps {
    bool slotMissing = false;    // no DIASHORAST record for DIA, HORA and MARCO
    bool unitMissing = false;    // no GRUPOST record for CODGRUPO
    bool subjectMissing = false; // no subject key from ASIGT nor ASIGNOMT2
};

// Minutes after midnight of a time text HH:MM (also H:MM; an empty text gives "0"), as decimal text.
// `where` names the table and record for the message when the text is not a time.
std::string minuteCount(std::string_view timeText, const std::string& where);

class ActivityAssembler {
  public:
    ActivityAssembler(LookupTables tables, std::string courseStart, std::string courseEnd, bool task513)
        : tables_(tables), courseStart_(std::move(courseStart)), courseEnd_(std::move(courseEnd)),
          task513_(task513) {}

    ActivityValues assemble(const SolucEntry& entry, AssemblyGaps* gaps = nullptr) const;

  private:
    LookupTables tables_;
    std::string courseStart_;
    std::string courseEnd_;
    bool task513_;
};

} // namespace pontrel::importing
