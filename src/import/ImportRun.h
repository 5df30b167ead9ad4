#pragma once
// The import run: SOLUC and the working tables to the Yedra timetable document, saved next to the
// input as "ResultadoDastel" followed by the input's file name.
//
// Messages, the teacher data dialog and the busy cursor go through the user interface; errors escape
// as pontrel::Error after the tables have been closed and the cursor restored. Nothing is written to
// the output before every teacher has been converted. The run holds the working-folder lock while it
// reads the tables, and first puts right a table-set replacement that a killed run left half done; a
// folder it cannot write is read without the lock, and the run stops only where it would write there
// (the teacher keys into PROFT).

#include "exchange/runs/DocumentChoice.h"
#include "exchange/runs/Messages.h"
#include "exchange/runs/RunSession.h"
#include "exchange/runs/UserInterface.h"
#include "import/MasterDataCheck.h"

#include <chrono>
#include <cstddef>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

namespace pontrel::dbf {
class Table;
}

namespace pontrel {
class WorkingFolderLock;
}

namespace pontrel::importing {

class TimetableDocumentWriter;

// A table read whole although its header counts fewer records than the file holds.
struct UncountedRecords {
    std::filesystem::path table;
    std::size_t headerCount = 0; // what the header states
    std::size_t recordsRead = 0; // what the file holds, deleted records included
};

// What a completed run wrote, for front ends that report it (the command line).
struct ImportSummary {
    std::filesystem::path output;          // the document written
    std::size_t teachers = 0;              // teacher groups (PROFT records)
    std::size_t entriesWritten = 0;        // activity groups
    std::size_t slotsNotFound = 0;         // entries with no DIASHORAST record for DIA, HORA and MARCO
    std::size_t unitsNotFound = 0;         // entries with no GRUPOST record for CODGRUPO
    std::size_t subjectsNotFound = 0;      // entries left without a subject key
    std::size_t entriesWithoutTeacher = 0; // SOLUC records whose PROF no PROFT record has
    bool task513 = false;                  // ASIGNOMT holds the activity "513"
    bool teacherDialogShown = false;
    // Set when the working folder could not be written, so no lock kept an export out while the run
    // read it: the system's reason.
    std::optional<std::string> folderNotLocked;
    std::vector<UncountedRecords> uncountedRecords; // each also shown as a message while the run reads
    // Keys sent that the document's master data does not contain (also after a strict stop).
    std::vector<MissingKeys> missingKeys;
    // Codes sent that the export made from the document's current data (not Yedra keys, not a sign of
    // older data; a strict run does not stop on them).
    std::vector<MissingKeys> derivedCodes;
};

struct ImportOptions {
    // Any key sent that the document does not contain stops the run before the output is saved.
    bool strict = false;
};

class ImportRun {
  public:
    ImportRun(RunSession& session, UserInterface& ui) : session_(session), ui_(ui) {}
    ImportRun(RunSession& session, UserInterface& ui, ImportOptions options)
        : session_(session), ui_(ui), options_(options) {}
    RunOutcome run();

    // Filled by a completed run.
    const ImportSummary& summary() const { return summary_; }

    // The `fecha` of the output document; the user's regional date and time unless set (tests).
    void setClock(std::function<std::string()> clock) { clock_ = std::move(clock); }

    // How long the run waits for another Pontrel run to let go of the working folder.
    void setLockWait(std::chrono::milliseconds wait) { lockWait_ = wait; }

  private:
    struct Stop {
        RunOutcome outcome;
        std::string message;
    };
    struct WorkingTables;
    struct CourseDates {
        std::string start; // FECINI of PERIODOS
        std::string end;   // FECFIN
    };
    // The conversion as a line of steps; a Stop is a message and outcome that end the run early.
    std::optional<Stop> convert(TimetableDocumentWriter& writer);
    std::optional<WorkingFolderLock> lockWorkingFolder(const std::filesystem::path& folder);
    std::optional<CourseDates> readCourseDates(const std::filesystem::path& folder);
    std::optional<Stop> passTeacherGate(dbf::Table& teachers, const std::filesystem::path& folder);
    void writeTimetables(const WorkingTables& tables, const CourseDates& course, MasterDataCheck& check,
                         TimetableDocumentWriter& writer);
    void countEntriesWithoutTeacher(const WorkingTables& tables);
    void noteUncountedRecords(const dbf::Table& table);

    RunSession& session_;
    UserInterface& ui_;
    ImportOptions options_;
    ImportSummary summary_;
    std::function<std::string()> clock_;
    std::chrono::milliseconds lockWait_{60000};
};

// Said when a table holds more records than its header counts: all of them are read.
std::string uncountedRecordsMessage(const UncountedRecords& table);

} // namespace pontrel::importing
