#pragma once
// Turns one SOLUC entry into the Yedra keys and times of its timetable entry. Every lookup takes the
// first matching record in stored order; comparisons are exact, as the tables give the values.
//
// A teacher's entries come one after another and repeat a few subjects and class units many times:
// what an entry's subject and class unit give (the keys, the subject's task) is kept for the latest
// few pairs, and so is what each slot gives. The tables must not change while an assembler uses them
// (the run holds them exclusively).

#include "dbf/Table.h"
#include "exchange/velmora/VelmoraTables.h"
#include "import/ActivityValues.h"
#include "import/FieldRef.h"
#include "import/KeySet.h"
#include "import/SolucEntry.h"

#include <array>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

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

    FieldRef assignmentSubject_{tables_.assignments, velmora::asigt::kCAsig};
    FieldRef assignmentUnit_{tables_.assignments, velmora::asigt::kCGrup};
    FieldRef assignmentKey_{tables_.assignments, velmora::asigt::kClave};
    FieldRef assignmentOffer_{tables_.assignments, velmora::asigt::kClaveCurso};
    FieldRef subjectCode_{tables_.subjects, velmora::asignomt::kCod};
    FieldRef subjectTask_{tables_.subjects, velmora::asignomt::kCodTarea};
    FieldRef slotKey_{tables_.slots, velmora::diashorast::kDiHo};
    FieldRef slotFrame_{tables_.slots, velmora::diashorast::kMarco};
    FieldRef slotDay_{tables_.slots, velmora::diashorast::kDia};
    FieldRef slotCode_{tables_.slots, velmora::diashorast::kCodDiHo};
    FieldRef slotStart_{tables_.slots, velmora::diashorast::kHoraDesde};
    FieldRef slotEnd_{tables_.slots, velmora::diashorast::kHoraHasta};
    FieldRef unitAbbreviation_{tables_.units, velmora::grupost::kAbrev};
    FieldRef unitKey_{tables_.units, velmora::grupost::kClave};
    FieldRef unitOffer_{tables_.units, velmora::grupost::kClaveCurso};
    FieldRef offerSubjectCode_{tables_.subjectsByOffer, velmora::asignomt2::kCod};
    FieldRef offerSubjectOffer_{tables_.subjectsByOffer, velmora::asignomt2::kOfertaMatri};
    FieldRef offerSubjectKey_{tables_.subjectsByOffer, velmora::asignomt2::kMateria};

    // What an entry's subject and class unit give, whatever its day, hour, room and task.
    struct SubjectAndUnit {
        bool filled = false;
        std::string subject; // ASIG
        std::string unit;    // CODGRUPO
        std::string unitKey;
        std::string offerKey;
        std::string subjectKey;
        bool unitMissing = false;
        bool taskSought = false;                // the subject's task is sought only for an entry without one
        std::optional<std::string> subjectTask; // CODTAREA of the first ASIGNOMT record of the subject
    };
    SubjectAndUnit& subjectAndUnit(const std::string& subject, const std::string& unit) const;
    const std::optional<std::string>& subjectTask(SubjectAndUnit& pair) const;
    static constexpr std::size_t kRecentPairs = 16;
    mutable std::array<SubjectAndUnit, kRecentPairs> recentPairs_;
    mutable std::size_t nextPair_ = 0; // the one replaced next, the oldest

    // What a DIASHORAST record gives, by its position; filled as slots are used.
    struct SlotPart {
        std::string day;
        std::string code;
        std::string startMinute;
        std::string endMinute;
    };
    const SlotPart& slotPart(std::size_t record) const;
    mutable std::vector<std::optional<SlotPart>> slotParts_;
    // The DIASHORAST record of each slot key and frame that entries gave (kNoSlot: none): a run's
    // entries name a few dozen slots over and over.
    static constexpr std::uint32_t kNoSlot = UINT32_MAX;
    std::uint32_t slotRecord(const std::string& slotKey, const std::string& frame) const;
    mutable KeySet slotsSought_;                   // "length:key" + frame, numbered
    mutable std::vector<std::uint32_t> slotFound_; // by number in slotsSought_
    mutable std::string slotSought_;

    // The first record of `table` whose fields `fields` hold `values`, sought through buffers that
    // every lookup of every entry reuses.
    // A value that goes into the document, as documentText reads it.
    static std::string written(const dbf::Table& table, std::size_t record, const FieldRef& field);
    std::optional<std::size_t> find(const dbf::Table& table, std::initializer_list<std::size_t> fields,
                                    std::initializer_list<std::string_view> values) const;
    mutable std::vector<std::size_t> soughtFields_;
    mutable std::vector<dbf::Value> soughtValues_;
};

} // namespace pontrel::importing
