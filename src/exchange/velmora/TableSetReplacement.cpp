#include "exchange/velmora/TableSetReplacement.h"

#include "dbf/Error.h"
#include "dbf/TextFold.h"
#include "exchange/velmora/WorkingFolderLock.h"
#include "platform/Files.h"
#include "platform/SystemError.h"
#include "platform/Utf8Path.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <memory>
#include <set>
#include <sstream>
#include <system_error>

namespace pontrel {

namespace fs = std::filesystem;

namespace {

constexpr const char* kJournalHeader = "PONTREL DIARIO 1";
constexpr const char* kPending = "ESTADO REEMPLAZANDO";
constexpr const char* kConfirmed = "ESTADO CONFIRMADO";
constexpr const char* kOldPrefix = "ANTERIOR ";
constexpr const char* kNewPrefix = "NUEVO ";

// The moves of one replacement, written before the first move is made.
struct Journal {
    bool confirmed = false;
    std::vector<std::string> oldFiles; // names in the working folder, moved into the backup folder
    std::vector<std::string> newFiles; // names in the staging folder, moved into the working folder
};

// Names in the working folder compared as Windows compares them.
std::string upper(std::string_view name) {
    return dbf::text::fileNameKey(name);
}

bool endsWith(std::string_view text, std::string_view tail) {
    return text.size() >= tail.size() && text.substr(text.size() - tail.size()) == tail;
}

// Makes a finished file or a folder's list of names survive a power cut as well as a killed process.
void sync(const fs::path& path, bool folder) {
    if (const int error = folder ? platform::syncFolder(path) : platform::syncFile(path))
        throw Error("No se puede asegurar en disco " + platform::utf8Of(path) + " (" +
                    platform::errorReason(error) + ").");
}

[[noreturn]] void failMove(const fs::path& from, const fs::path& to, int error) {
    throw Error("No se puede mover " + platform::utf8Of(from) + " a " + platform::utf8Of(to) + " (" +
                platform::errorReason(error) + ")");
}

// One move, in one step, replacing nothing that the journal has not put aside; on the disk when it
// returns.
void move(const fs::path& from, const fs::path& to) {
    if (const int error = platform::moveReplacing(from, to))
        failMove(from, to, error);
}

// One move of a phase of the replacement, made sure on the disk with the rest of the phase when the
// phase ends (syncing both folders): each file is in one place or the other, whatever comes first.
void moveInPhase(const fs::path& from, const fs::path& to) {
    if (const int error = platform::moveReplacingUnsynced(from, to))
        failMove(from, to, error);
}

std::vector<std::string> regularFiles(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        if (entry.is_regular_file())
            names.push_back(platform::utf8Of(entry.path().filename()));
    std::sort(names.begin(), names.end());
    return names;
}

// Temporary files of a journal being replaced when the process was killed (their names begin with the
// journal's and a dot).
std::vector<std::string> unfinishedJournals(const fs::path& folder) {
    const std::string prefix = "." + std::string(kJournalFileName) + ".";
    std::vector<std::string> names;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec); !ec && it != fs::directory_iterator(); it.increment(ec)) {
        const std::string name = platform::utf8Of(it->path().filename());
        if (name.rfind(prefix, 0) == 0)
            names.push_back(name);
    }
    return names;
}

void writeJournal(const fs::path& folder, const Journal& journal) {
    const fs::path file = folder / kJournalFileName;
    std::ostringstream out;
    out << kJournalHeader << '\n' << (journal.confirmed ? kConfirmed : kPending) << '\n';
    for (const auto& name : journal.oldFiles)
        out << kOldPrefix << name << '\n';
    for (const auto& name : journal.newFiles)
        out << kNewPrefix << name << '\n';
    // The journal is replaced in one step: a reader finds the old version or the new one whole.
    if (const auto failure = platform::replaceFile(file, out.str()))
        throw Error("No se puede escribir el diario " + platform::utf8Of(file) +
                    " en la carpeta de trabajo (" + platform::errorReason(failure.error) + ").");
    sync(folder, true);
}

std::optional<Journal> readJournal(const fs::path& folder) {
    const fs::path file = folder / kJournalFileName;
    std::error_code ec;
    if (!fs::exists(file, ec))
        return std::nullopt;
    std::ifstream in(file, std::ios::binary);
    std::string line;
    Journal journal;
    bool stateSeen = false;
    const auto damaged = [&] {
        return Error("El diario " + platform::utf8Of(file) +
                     " de una exportación interrumpida está dañado y no se puede usar. Revise las tablas de "
                     "la carpeta de trabajo y las carpetas " +
                     std::string(kBackupFolderName) + " y " + kStagingFolderName + ", y borre el diario.");
    };
    // A journal that went through a Windows editor or text-mode stream ends its lines with CR LF.
    const auto nextLine = [&] {
        if (!std::getline(in, line))
            return false;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        return true;
    };
    if (!nextLine() || line != kJournalHeader)
        throw damaged();
    while (nextLine()) {
        if (line == kPending || line == kConfirmed) {
            journal.confirmed = line == kConfirmed;
            stateSeen = true;
        } else if (line.rfind(kOldPrefix, 0) == 0) {
            journal.oldFiles.push_back(line.substr(std::strlen(kOldPrefix)));
        } else if (line.rfind(kNewPrefix, 0) == 0) {
            journal.newFiles.push_back(line.substr(std::strlen(kNewPrefix)));
        } else if (!line.empty()) {
            throw damaged();
        }
    }
    if (!stateSeen)
        throw damaged();
    for (const auto& name : journal.oldFiles)
        if (name.empty() || name.find('/') != std::string::npos)
            throw damaged();
    for (const auto& name : journal.newFiles)
        if (name.empty() || name.find('/') != std::string::npos)
            throw damaged();
    return journal;
}

// Puts the old files back. All old files are moved aside before the first new file moves in, so a new
// name missing from the staging folder is one that was moved in. It goes back to the staging folder
// rather than away: an undo killed half way can then be repeated without mistaking a restored old
// file of the same name for a new one.
void undo(const fs::path& folder, const Journal& journal) {
    const fs::path staging = folder / kStagingFolderName;
    const fs::path backup = folder / kBackupFolderName;
    fs::create_directory(staging);
    for (const auto& name : journal.newFiles) {
        const fs::path file = platform::pathFromUtf8(name);
        if (!fs::exists(staging / file) && fs::exists(folder / file))
            move(folder / file, staging / file);
    }
    for (const auto& name : journal.oldFiles)
        if (const fs::path file = platform::pathFromUtf8(name); fs::exists(backup / file))
            move(backup / file, folder / file);
    sync(folder, true);
}

// Drops what a replacement leaves besides the tables. The journal goes first: once it is gone the
// backup and the staging folder are leftovers that any later start may simply remove.
void finish(const fs::path& folder) {
    fs::remove(folder / kJournalFileName);
    for (const auto& name : unfinishedJournals(folder))
        fs::remove(folder / platform::pathFromUtf8(name));
    sync(folder, true);
    fs::remove_all(folder / kBackupFolderName);
    fs::remove_all(folder / kStagingFolderName);
}

// Exclusive openings of the old files, held until the new ones are in place: another program that has
// one open (Velmora holds its tables and indexes while it runs) keeps the whole set from changing, and
// none can open one while the files move.
class HeldTables {
  public:
    void take(const fs::path& file) {
        auto held = std::make_unique<platform::File>();
        // A read-only file can still be held: the platform keeps every other opening out.
        const int error =
            held->open(file, platform::File::Access::ReadWrite, platform::File::Sharing::Exclusive) == 0
                ? 0
                : held->open(file, platform::File::Access::Read, platform::File::Sharing::Exclusive);
        if (error == 0) {
            // A dBase program may keep a table without an opening that keeps others out, holding only
            // locks on its records or header (another engine, or Velmora under Wine, on Linux); any
            // such lock says that the table is in use as well.
            const int locked = held->testOthersLocks();
            if (locked == 0) {
                files_.push_back(std::move(held));
                return;
            }
            if (platform::errorKind(locked) == platform::ErrorKind::InUse)
                throw Error("La tabla " + platform::utf8Of(file.filename()) + " de la carpeta de trabajo " +
                            platform::utf8Of(file.parent_path()) +
                            " está bloqueada por otro programa (¿Velmora?). Ciérrelo y vuelva a exportar; no "
                            "se ha cambiado ninguna tabla.");
            throw Error("No se puede comprobar si otro programa usa la tabla " +
                        platform::utf8Of(file.filename()) + " de la carpeta de trabajo " +
                        platform::utf8Of(file.parent_path()) + " (" + platform::errorReason(locked) +
                        "); no se ha cambiado ninguna tabla.");
        }
        if (platform::errorKind(error) == platform::ErrorKind::InUse)
            throw Error("La tabla " + platform::utf8Of(file.filename()) + " de la carpeta de trabajo " +
                        platform::utf8Of(file.parent_path()) +
                        " está abierta en otro programa (¿Velmora?). Ciérrelo y vuelva a exportar; no se ha "
                        "cambiado ninguna tabla.");
        throw Error("No se puede abrir la tabla " + platform::utf8Of(file.filename()) +
                    " de la carpeta de trabajo " + platform::utf8Of(file.parent_path()) + " (" +
                    platform::errorReason(error) + "); no se ha cambiado ninguna tabla.");
    }

    // Once the new set is in place: the old files may then be deleted with the backup folder (Windows
    // keeps a deleted file, and so its folder, until its last opening closes).
    void release() { files_.clear(); }

  private:
    std::vector<std::unique_ptr<platform::File>> files_;
};

std::string describe(const std::exception& e) {
    if (const auto* filesystem = dynamic_cast<const fs::filesystem_error*>(&e))
        return platform::errorReason(filesystem->code()) + ": " + platform::utf8Of(filesystem->path1());
    return e.what();
}

} // namespace

TableSetReplacement::TableSetReplacement(const fs::path& workingFolder)
    : folder_(workingFolder), staging_(workingFolder / kStagingFolderName) {
    std::error_code ec;
    fs::remove_all(staging_, ec);
    if (!fs::create_directory(staging_, ec) || ec)
        throw Error("No se puede crear la carpeta " + platform::utf8Of(staging_) +
                    " en la carpeta de trabajo (" + platform::errorReason(ec) +
                    "). Compruebe que tiene permiso de escritura y espacio libre.");
}

TableSetReplacement::~TableSetReplacement() {
    if (committed_)
        return;
    // A journal left by a commit that could not be undone needs the staging folder to be put right.
    std::error_code ec;
    if (!fs::exists(folder_ / kJournalFileName, ec))
        fs::remove_all(staging_, ec);
}

void TableSetReplacement::commit(const std::vector<std::string>& keepIndexOf) {
    Journal journal;
    journal.newFiles = regularFiles(staging_);

    std::set<std::string> newNames, replacedTables, keep;
    for (const auto& name : journal.newFiles) {
        const std::string key = upper(name);
        newNames.insert(key);
        if (endsWith(key, ".DBF"))
            replacedTables.insert(key.substr(0, key.size() - 4));
    }
    for (const auto& name : keepIndexOf)
        keep.insert(upper(name));
    for (const auto& name : regularFiles(folder_)) {
        const std::string key = upper(name);
        if (name == kJournalFileName || name == kLockFileName)
            continue;
        const bool staleIndex = endsWith(key, ".MDX") &&
                                replacedTables.count(key.substr(0, key.size() - 4)) &&
                                !keep.count(key.substr(0, key.size() - 4));
        if (newNames.count(key) || staleIndex)
            journal.oldFiles.push_back(name);
    }

    HeldTables held;
    for (const auto& name : journal.oldFiles)
        held.take(folder_ / platform::pathFromUtf8(name));

    for (const auto& name : journal.newFiles)
        sync(staging_ / platform::pathFromUtf8(name), false);
    sync(staging_, true);

    const fs::path backup = folder_ / kBackupFolderName;
    try {
        writeJournal(folder_, journal);
        fs::remove_all(backup);
        fs::create_directory(backup);
        // Every old file is aside, on the disk, before the first new one moves in: undoing relies on it.
        for (const auto& name : journal.oldFiles) {
            if (beforeEachMove)
                beforeEachMove("apartar " + name);
            const fs::path file = platform::pathFromUtf8(name);
            moveInPhase(folder_ / file, backup / file);
        }
        sync(backup, true);
        sync(folder_, true);
        for (const auto& name : journal.newFiles) {
            if (beforeEachMove)
                beforeEachMove("colocar " + name);
            const fs::path file = platform::pathFromUtf8(name);
            moveInPhase(staging_ / file, folder_ / file);
        }
        sync(staging_, true);
        sync(folder_, true);
        if (beforeEachMove)
            beforeEachMove("confirmar");
        journal.confirmed = true;
        writeJournal(folder_, journal);
    } catch (const std::exception& failure) {
        const std::string what = describe(failure);
        try {
            undo(folder_, journal);
            finish(folder_);
        } catch (const std::exception& second) {
            throw Error("No se pudieron colocar las tablas nuevas en la carpeta de trabajo " +
                        platform::utf8Of(folder_) + " (" + what + ") ni volver a dejar las anteriores (" +
                        describe(second) + "). Pontrel lo intentará de nuevo la próxima vez que arranque.");
        }
        throw Error("No se pudieron colocar las tablas nuevas en la carpeta de trabajo " +
                    platform::utf8Of(folder_) + " (" + what + "); las tablas anteriores siguen en su sitio.");
    }
    committed_ = true;
    held.release();
    // The new set is complete; what remains is clean-up that the next start repeats if it fails here.
    if (beforeEachMove)
        beforeEachMove("limpiar");
    try {
        finish(folder_);
    } catch (const std::exception&) {
        // The tables are in place; the next start removes what is left.
    }
}

bool replacementLeftHalfDone(const fs::path& folder) {
    const auto journal = readJournal(folder);
    return journal && !journal->confirmed;
}

std::optional<std::string> recoverWhileLocked(const fs::path& folder) {
    bool interrupted = false; // a journal says that a replacement was under way
    try {
        const auto journal = readJournal(folder);
        interrupted = journal.has_value();
        if (!journal) {
            // A run killed before its replacement began: only its staging folder is left over.
            finish(folder);
            return std::nullopt;
        }
        if (journal->confirmed) {
            finish(folder);
            return "Pontrel ha terminado de sustituir las tablas de trabajo de " + platform::utf8Of(folder) +
                   " que una ejecución interrumpida dejó a medias: están las tablas nuevas.";
        }
        undo(folder, *journal);
        finish(folder);
        return "Pontrel ha deshecho la sustitución de tablas que una ejecución interrumpida dejó a medias "
               "en " +
               platform::utf8Of(folder) + ": siguen las tablas anteriores.";
    } catch (const Error&) {
        throw;
    } catch (const std::exception& e) {
        const auto* filesystem = dynamic_cast<const fs::filesystem_error*>(&e);
        if (filesystem != nullptr && filesystem->code() == std::errc::filename_too_long)
            throw Error("La ruta de la carpeta de trabajo " + platform::utf8Of(folder) +
                        " es demasiado larga para los archivos que Pontrel escribe en ella (" + describe(e) +
                        "). Use una carpeta de ruta más corta.");
        if (!interrupted)
            throw Error("No se puede preparar la carpeta de trabajo " + platform::utf8Of(folder) + " (" +
                        describe(e) + "). Compruebe los permisos de la carpeta.");
        throw Error("No se puede reparar la carpeta de trabajo " + platform::utf8Of(folder) +
                    ", que una exportación interrumpida dejó a medias (" + describe(e) +
                    "). Compruebe los permisos de la carpeta y vuelva a arrancar Pontrel.");
    }
}

std::optional<std::string> recoverInterruptedReplacement(const fs::path& folder) {
    std::error_code ec;
    if (!fs::is_directory(folder, ec))
        return std::nullopt;
    // A lock file without a holder is a leftover too: the kernel dropped the lock of a killed run.
    const bool leftovers = fs::exists(folder / kLockFileName, ec) ||
                           fs::exists(folder / kJournalFileName, ec) || !unfinishedJournals(folder).empty() ||
                           fs::exists(folder / kStagingFolderName, ec) ||
                           fs::exists(folder / kBackupFolderName, ec);
    if (!leftovers)
        return std::nullopt;
    auto lock = WorkingFolderLock::tryAcquire(folder);
    if (!lock)
        return std::nullopt;
    return recoverWhileLocked(folder);
}

} // namespace pontrel
