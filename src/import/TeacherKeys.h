#pragma once
// A teacher's Yedra keys in PROFT (velmora::proft::kTeacherKeys): which teachers lack them, what the
// entry masks accept, and how a completed key is stored (in place, record by record, as the teacher
// data dialog stores it).

#include "dbf/Table.h"

#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pontrel::importing {

// Mask "#*#": one or more digits, at most the width of X_EMPLEADO.
bool fitsEmployeeKeyMask(std::string_view text);
// Mask "##/##/####": two digits, slash, two digits, slash, four digits.
bool fitsPostDateMask(std::string_view text);

// The mask of the teacher key `field`, one of velmora::proft::kTeacherKeys.
bool fitsTeacherKeyMask(std::string_view field, std::string_view text);
// What the mask asks, as a refusal goes on after "no es válido: ": "debe tener de 1 a 10 dígitos".
std::string teacherKeyMaskRule(std::string_view field);
// The same as the teacher data dialog asks for it: "Escriba solo dígitos, como mucho 10."
std::string teacherKeyMaskHint(std::string_view field);

struct IncompleteTeacher {
    std::size_t record = 0;           // position in PROFT, from 0
    std::string abbreviation;         // ABREV, ANSI
    std::string name;                 // NOMBRE, ANSI
    std::vector<std::string> lacking; // the teacher keys left blank, in PROFT's order

    bool lacks(std::string_view field) const;
};

// Every teacher with a teacher key blank, in stored order; with `firstOnly` the scan stops at the
// first one, as the import run's gate does.
std::vector<IncompleteTeacher> incompleteTeachers(const dbf::Table& proft, bool firstOnly = false);

// The keys a teacher lacks: "X_EMPLEADO", "F_TOMAPOS" or "X_EMPLEADO y F_TOMAPOS".
std::string missingKeysText(const IncompleteTeacher& teacher);
// Every teacher key, for a message about any of them: "X_EMPLEADO o F_TOMAPOS".
std::string anyTeacherKeyText();

// What a key given as empty text asks for. The teacher data dialog lets the user empty a key (the
// import run then stops at the blank key again); the keys file of the command line gives no such key.
enum class EmptyKey { Refused, Clears };

// Teacher keys to store, by PROFT field; a key not named stays as it is.
using TeacherKeyValues = std::map<std::string, std::string, std::less<>>;

// Stores the given keys of one PROFT record at once (the table must be open for writing). A key that
// does not fit its mask is refused with a message naming the teacher, and nothing is stored; an empty
// key is such a key unless `emptyKey` lets it clear the stored one. Keys are checked in PROFT's order.
void storeTeacherKeys(dbf::Table& proft, std::size_t record, const TeacherKeyValues& keys,
                      EmptyKey emptyKey = EmptyKey::Refused);
// The same for X_EMPLEADO and F_TOMAPOS, each given or not.
void storeTeacherKeys(dbf::Table& proft, std::size_t record, const std::optional<std::string>& employeeKey,
                      const std::optional<std::string>& postDate, EmptyKey emptyKey = EmptyKey::Refused);

} // namespace pontrel::importing
