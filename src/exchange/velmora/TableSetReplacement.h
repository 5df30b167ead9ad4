#pragma once
// All-or-nothing replacement of Velmora's working tables.
//
// The export steps write their tables into a staging folder inside the working folder. Only when the
// whole run has succeeded are the staged files put in place: the old files are moved aside into a
// backup folder, the new ones moved in, and the backup dropped. Moves inside one folder tree are
// renames, so a table is always either the old file or the complete new one.
//
// A journal file in the working folder records the moves before the first one is made. If the process
// dies in the middle, the next start of Pontrel reads the journal and undoes the replacement (or,
// once the journal says the new set is complete, finishes the clean-up), so the folder never keeps a
// mix of old and new tables. The caller holds the WorkingFolderLock for the whole time. Both runs
// put an interrupted replacement right before they open a table.

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace pontrel {

// Names inside the working folder.
inline constexpr const char* kStagingFolderName = ".pontrel-preparacion";
inline constexpr const char* kBackupFolderName = ".pontrel-respaldo";
inline constexpr const char* kJournalFileName = ".pontrel-diario";

class TableSetReplacement {
  public:
    // Starts with an empty staging folder (a leftover of a killed run is removed first).
    explicit TableSetReplacement(const std::filesystem::path& workingFolder);
    // Without a commit, the staging folder is removed and the working folder stays as it was.
    ~TableSetReplacement();
    TableSetReplacement(const TableSetReplacement&) = delete;
    TableSetReplacement& operator=(const TableSetReplacement&) = delete;

    const std::filesystem::path& stagingFolder() const { return staging_; }

    // Puts every staged file in place of the working folder's file of the same name (letter case
    // ignored, since programs under Wine may write proft.dbf). The production index NAME.MDX of every
    // replaced table NAME is removed too, except for the tables named in `keepIndexOf`.
    // Before anything moves, every old file is opened exclusively and tested for locks that other
    // programs hold on any of its bytes: when another program holds a table or an index open or locked,
    // this fails with a message naming it and nothing changes. Any other failure moves everything back
    // before the error escapes.
    void commit(const std::vector<std::string>& keepIndexOf = {});

    // Called with a short description before each move and before the journal is confirmed; a test
    // throws from it to break the replacement at that point.
    std::function<void(const std::string& stage)> beforeEachMove;

  private:
    std::filesystem::path folder_;
    std::filesystem::path staging_;
    bool committed_ = false;
};

// Completes or undoes a replacement that a killed process left half done, and removes what a killed
// run left in the working folder. Returns one Spanish line (UTF-8) for the user when a replacement was
// completed or undone; nullopt when there was nothing to do, or while another Pontrel process holds the
// folder (that process is alive and finishes its own work). Throws pontrel::Error when the folder
// cannot be put right.
std::optional<std::string> recoverInterruptedReplacement(const std::filesystem::path& folder);

// Whether a replacement was left half done in `folder` (its journal says the new set is not complete):
// the folder then holds a mix of old and new tables until recoverInterruptedReplacement puts it right.
// A confirmed journal is not one: the new set is whole and only the clean-up was left, so the tables
// can be read as they are. Only reads; a damaged journal is an error that says so.
bool replacementLeftHalfDone(const std::filesystem::path& folder);

// The same for a caller that already holds the WorkingFolderLock of `folder`.
std::optional<std::string> recoverWhileLocked(const std::filesystem::path& folder);

} // namespace pontrel
