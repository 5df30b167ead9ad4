#pragma once
// Teacher keys given in a file instead of the teacher data dialog: one line per teacher,
// "ABREV;X_EMPLEADO;F_TOMAPOS" (ABREV, then every teacher key), an optional heading line with those
// names. The file is UTF-8, or windows-1252 when it is not valid UTF-8 (what a Spanish spreadsheet
// saves as CSV by default).
//
// The file is all or nothing: it is checked whole, and its keys are stored only when they leave no
// teacher of PROFT without a key; a run that stops later takes them back out
// (withdrawTeacherKeys), so a stopped import leaves PROFT as it was.

#include "import/TeacherKeys.h"

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pontrel::importing {

struct TeacherKeyLine {
    int line = 0;             // in the file, from 1
    std::string abbreviation; // ANSI
    // One per teacher key, in PROFT's order (velmora::proft::kTeacherKeys); empty when the line
    // leaves it out.
    std::vector<std::string> keys;

    // The key given for the teacher key `field`.
    const std::string& key(std::string_view field) const;
};

struct TeacherKeyFile {
    std::filesystem::path file;
    std::vector<TeacherKeyLine> lines; // one per teacher
    std::vector<std::string> warnings; // UTF-8, each naming the file and the line
};

// Reads and checks the whole file before anything is stored: every key given must fit its mask, and a
// teacher given twice with different keys is refused. Errors name the file, the line and the value.
TeacherKeyFile readTeacherKeyFile(const std::filesystem::path& file);

// One teacher's keys as the file completed them in PROFT.
struct StoredTeacherKeys {
    std::size_t record = 0;
    TeacherKeyValues keys; // each stored where the record had none
};

struct TeacherKeysApplied {
    std::size_t keysStored = 0;    // single keys written into PROFT
    std::vector<int> unknownLines; // lines whose ABREV no PROFT record has
    std::vector<StoredTeacherKeys> stored;
    // The teachers that would still lack a key after the file, with what they would lack; when there
    // is any, nothing was stored.
    std::vector<IncompleteTeacher> stillIncomplete;
};

// Fills the blank keys of PROFT's teachers from the file's lines; keys already present stay as they
// are. Each teacher's record is stored in place as the dialog stores it. Nothing is stored when some
// teacher would still lack a key (stillIncomplete), and a line whose ABREV several PROFT records share
// is refused with an error that names the line and the records.
TeacherKeysApplied applyTeacherKeys(const std::filesystem::path& proftTable, const TeacherKeyFile& keys);

// Clears again the keys that applyTeacherKeys stored, where they still hold what it stored.
void withdrawTeacherKeys(const std::filesystem::path& proftTable, const TeacherKeysApplied& applied);

} // namespace pontrel::importing
