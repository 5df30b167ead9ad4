#pragma once
// Teacher keys given in a file instead of the teacher data dialog: one line per teacher,
// "ABREV;X_EMPLEADO;F_TOMAPOS", UTF-8, an optional heading line with those names.

#include <filesystem>
#include <string>
#include <vector>

namespace pontrel::importing {

struct TeacherKeyLine {
    int line = 0;             // in the file, from 1
    std::string abbreviation; // ANSI
    std::string employeeKey;  // empty when the line leaves it out
    std::string postDate;     // empty when the line leaves it out
};

// Reads and checks the whole file before anything is stored: every key given must fit its mask.
// Errors name the file, the line and the value.
std::vector<TeacherKeyLine> readTeacherKeyFile(const std::filesystem::path& file);

struct TeacherKeysApplied {
    std::size_t keysStored = 0;                    // single keys written into PROFT
    std::vector<std::string> unknownAbbreviations; // lines whose ABREV no PROFT record has (ANSI)
};

// Fills the blank keys of PROFT's teachers from the lines (first line of an ABREV wins); keys already
// present stay as they are. Each teacher's record is stored in place as the dialog stores it.
TeacherKeysApplied applyTeacherKeys(const std::filesystem::path& proftTable,
                                    const std::vector<TeacherKeyLine>& lines);

} // namespace pontrel::importing
