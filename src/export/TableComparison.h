#pragma once
// What an export would change in Velmora's working folder: each table the steps made, compared with
// the table of the same name in the folder, record by record. Records are matched by the table's
// natural key: its Yedra key where the table holds one, else its code. When several records share a
// key, the first with that key in one table is matched with the first in the other, and so on.

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace pontrel::exporting {

// The fields that identify a record of one working table.
struct TableKey {
    std::string table;               // "PROFT"
    std::vector<std::string> fields; // {"X_EMPLEADO"}
};

// The key of each of the ten exported tables, in the order the steps make them.
const std::vector<TableKey>& comparisonKeys();

// The keys for a help text, one after another: "…, PROFT (X_EMPLEADO), …".
std::string comparisonKeysHelp();

struct FieldChange {
    std::string field;
    std::string before; // ANSI, as the table gives it
    std::string after;
};

struct RecordChange {
    std::string key; // "X_EMPLEADO=1001": the key's fields and values (ANSI)
    std::vector<FieldChange> fields;
};

struct TableComparison {
    std::string table;
    std::vector<std::string> added;   // keys of records only in the new table
    std::vector<std::string> removed; // keys of records only in the current table
    std::vector<RecordChange> changed;
    std::size_t unchanged = 0;
    // Set when the current table could not be read (damaged, not a table): why, in Spanish. The
    // table is then not compared; the other fields stay empty.
    std::optional<std::string> currentUnreadable;
    std::size_t newRecords = 0; // records of the new table
};

// Compares the new table `newFile` with `currentFile` (nullopt: the folder has no such table, and every
// new record counts as added). Fields are compared by name as the engine reads them as text; a field
// that only one table has reads as empty in the other. Both tables are opened shared and only read.
TableComparison compareTable(const TableKey& key, const std::filesystem::path& newFile,
                             const std::optional<std::filesystem::path>& currentFile);

// Every exported table staged in `stagingFolder` against the working folder's, in comparisonKeys() order.
// A current table that cannot be read is named in its comparison (currentUnreadable) and the others are
// compared all the same.
std::vector<TableComparison> compareWithWorkingFolder(const std::filesystem::path& stagingFolder,
                                                      const std::filesystem::path& workingFolder);

// "PROFT añadidos=1 quitados=2 cambiados=0 iguales=37" (UTF-8); for a current table that could not be
// read, what the export would put in its place and why it is not compared.
std::string summaryLine(const TableComparison& comparison);

// One line per added (+), removed (-) and changed (~) record, a change with its fields old → new,
// each line indented by two blanks (UTF-8).
std::vector<std::string> detailLines(const TableComparison& comparison);

} // namespace pontrel::exporting
