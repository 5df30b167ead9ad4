#pragma once
// Whether the timetable going back to Yedra still matches the school's data: every key the import
// sends (teachers, rooms, class units, offers, subjects, activities, time slots) is sought among the
// master data of the document it writes into. A key the document lacks means that the timetable was
// computed from older data than the document; Yedra would not find what the entry refers to.
//
// Keys are compared exactly, as the working tables give them and as the document's field values read
// (trimmed, ANSI). An empty value is no key and is not sought. A teacher is sought by both of its keys:
// X_EMPLEADO, then the F_TOMAPOS the document gives that employee.
//
// Not every code sent is a Yedra key: the export made some from the document's data (a room without a
// key gets a code from its name; a code that is too long is shortened or cut to its field; a repeated
// one is numbered). The check makes those codes again from the document's current data, as the export
// does, and keeps them apart: they are no sign of older data.

#include "exchange/yedra/YedraDocument.h"
#include "import/ActivityValues.h"
#include "import/KeySet.h"

#include <cstddef>
#include <initializer_list>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace pontrel::importing {

// The keys of one kind that were sent and that the document does not contain.
struct MissingKeys {
    std::string kind;                // "Profesores (X_EMPLEADO)", UTF-8
    std::vector<std::string> values; // each once, in the order first sent (ANSI)

    bool operator==(const MissingKeys&) const = default;
};

class MasterDataCheck {
  public:
    // The data groups whose keys the check reads.
    static const std::vector<std::string>& groups();

    // Reads the keys of the master data; the document may be let go afterwards.
    explicit MasterDataCheck(const YedraDocument& document);

    void teacherSent(std::string_view employeeKey, std::string_view postDate);
    void activitySent(const ActivityValues& values);

    // The kinds with at least one missing key, in a fixed order.
    std::vector<MissingKeys> missing() const;
    // The kinds with at least one code sent that the export made from the document's current data
    // (same order); Yedra does not know them as keys, but they do not mean that the data is older.
    std::vector<MissingKeys> derived() const;

  private:
    enum Kind { Teachers, PostDates, Rooms, Units, Offers, Subjects, Activities, Slots, KindCount };
    // Whether `key` is a key of the document; notes it as missing or derived when it is not.
    bool sent(Kind kind, const std::string& key);
    void collect(const YedraDocument& document, Kind kind, const char* group, std::size_t position,
                 std::initializer_list<std::size_t> storedWidths);
    void collectRooms(const YedraDocument& document);

    // Asked for every key of every entry sent: sets that answer in a cache miss or two.
    KeySet known_[KindCount];
    KeySet made_[KindCount]; // codes the export makes from the document
    std::unordered_map<std::string, std::unordered_set<std::string>> postDates_; // X_EMPLEADO -> F_TOMAPOS
    std::unordered_set<std::string> reported_[KindCount];
    std::vector<std::string> missing_[KindCount];
    std::vector<std::string> derived_[KindCount];
};

// How many missing keys of each kind were found, with the first `shown` of them, one line per kind
// indented by two blanks (UTF-8): "  Profesores (X_EMPLEADO): 1 (9001)". Empty when none is missing.
std::vector<std::string> missingKeyLines(const std::vector<MissingKeys>& missing, std::size_t shown = 5);

// The message of a strict import that stops on missing keys (UTF-8, several lines).
std::string missingKeysStopMessage(const std::vector<MissingKeys>& missing);

} // namespace pontrel::importing
