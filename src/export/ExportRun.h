#pragma once
// The export run: asks for the Yedra document, checks it and the level table, and runs the seven
// data-group steps into a staging folder; only a run that succeeds as a whole replaces the working
// tables. Errors escape as pontrel::Error after the working folder has been left as it was.

#include "exchange/codes/ShortCodeReport.h"
#include "exchange/runs/DocumentChoice.h"
#include "exchange/runs/Messages.h"
#include "exchange/runs/RunSession.h"
#include "exchange/runs/UserInterface.h"
#include "export/TableComparison.h"

#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace pontrel::exporting {

// The ten tables that a completed run leaves in the working folder, in the order the steps make them.
const std::vector<std::string>& exportedTables();

// NIVELCAN.DBF as the run looks for it: the file the session names, or the one beside the program (in
// any letter case); nullopt when there is none and the run would stop with messages::kNoLevelTable.
std::optional<std::filesystem::path> findLevelTable(const RunSession& session);

struct ExportOptions {
    // How long a run waits for another Pontrel process that is writing the same working folder.
    std::chrono::milliseconds lockWait{60000};
    // Called before each move of the replacement; tests throw from it to break the replacement.
    std::function<void(const std::string& stage)> beforeEachMove;
    // Preview: the steps run as in an export, into a temporary folder outside the working folder, and
    // their tables are compared with the working folder's (ExportRun::preview). The working folder is
    // only read: no lock, no journal, no recovery, no replacement, and no "Proceso finalizado".
    bool dryRun = false;
    // When set, receives every code that a step stored differently from the value Yedra gave.
    ShortCodeReport* codeReport = nullptr;
    // Called once the new tables are complete, before anything in the working folder changes (in a
    // preview, once the comparison is made): a front end writes its own output files there, beside
    // their places, so that one it cannot write stops the run while every table is as it was. What it
    // throws escapes run() as any other error.
    std::function<void()> beforeReplacing{};
};

// What a completed run wrote: each table with its record count, counted in the new set before it
// replaced the old one, so that another run finishing just after this one cannot change the figures.
struct ExportSummary {
    std::vector<std::pair<std::string, std::size_t>> tables; // in the order of exportedTables()
    bool orderIndex = false;                                 // DIASHORAST2.MDX (index ORDEN) written
};

class ExportRun {
  public:
    ExportRun(RunSession& session, UserInterface& ui) : session_(session), ui_(ui) {}
    ExportRun(RunSession& session, UserInterface& ui, ExportOptions options)
        : session_(session), ui_(ui), options_(std::move(options)) {}
    RunOutcome run();
    // Filled when run() returns Completed.
    const ExportSummary& summary() const { return summary_; }

    // After a completed dry run: each exported table compared with the working folder's.
    const std::vector<TableComparison>& preview() const { return preview_; }

  private:
    RunSession& session_;
    UserInterface& ui_;
    ExportOptions options_;
    ExportSummary summary_;
    std::vector<TableComparison> preview_;
};

} // namespace pontrel::exporting
