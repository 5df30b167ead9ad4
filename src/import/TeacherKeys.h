#pragma once
// A teacher's two Yedra keys in PROFT: which teachers lack them, what the entry masks accept, and how
// a completed key is stored (in place, record by record, as the teacher data dialog stores it).

#include "dbf/Table.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pontrel::importing {

// Mask "#*#": one or more digits, at most 10 (the width of X_EMPLEADO).
bool fitsEmployeeKeyMask(std::string_view text);
// Mask "##/##/####": two digits, slash, two digits, slash, four digits.
bool fitsPostDateMask(std::string_view text);

struct IncompleteTeacher {
    std::size_t record = 0;   // position in PROFT, from 0
    std::string abbreviation; // ABREV, ANSI
    std::string name;         // NOMBRE, ANSI
    bool lacksEmployeeKey = false;
    bool lacksPostDate = false;
};

// Every teacher whose X_EMPLEADO or F_TOMAPOS is blank, in stored order; with `firstOnly` the scan
// stops at the first one, as the import run's gate does.
std::vector<IncompleteTeacher> incompleteTeachers(const dbf::Table& proft, bool firstOnly = false);

// "X_EMPLEADO", "F_TOMAPOS" or "X_EMPLEADO y F_TOMAPOS".
std::string missingKeysText(const IncompleteTeacher& teacher);

// What a key given as empty text asks for. The teacher data dialog lets the user empty a key (the
// import run then stops at the blank key again); the keys file of the command line gives no such key.
enum class EmptyKey { Refused, Clears };

// Stores the given keys of one PROFT record at once (the table must be open for writing); a key not
// given stays as it is. A key that does not fit its mask is refused with a message naming the teacher,
// and nothing is stored; an empty key is such a key unless `emptyKey` lets it clear the stored one.
void storeTeacherKeys(dbf::Table& proft, std::size_t record, const std::optional<std::string>& employeeKey,
                      const std::optional<std::string>& postDate, EmptyKey emptyKey = EmptyKey::Refused);

} // namespace pontrel::importing
