#include "export/TableComparison.h"

#include "dbf/Table.h"
#include "exchange/text/Ansi.h"
#include "exchange/velmora/VelmoraTables.h"
#include "exchange/velmora/WorkingFolder.h"

#include <deque>
#include <iomanip>
#include <map>
#include <sstream>

namespace pontrel::exporting {

namespace fs = std::filesystem;

const std::vector<TableKey>& comparisonKeys() {
    static const std::vector<TableKey> keys = [] {
        std::vector<TableKey> list;
        for (const auto* table : velmora::exportedTables())
            list.push_back({table->name, table->naturalKey});
        return list;
    }();
    return keys;
}

std::string comparisonKeysHelp() {
    std::string text;
    for (const auto& key : comparisonKeys()) {
        text += (text.empty() ? "" : ", ") + key.table + " (";
        for (std::size_t i = 0; i < key.fields.size(); ++i)
            text += (i ? " + " : "") + key.fields[i];
        text += ")";
    }
    return text;
}

namespace {

// One side of the comparison: the table's records as text, by field position.
struct Side {
    std::vector<std::string> fieldNames;
    std::vector<std::vector<std::string>> rows;

    // The position of a field, its name compared without regard to letter case.
    std::optional<std::size_t> column(const std::string& name) const {
        const std::string wanted = ansi::upperAnsi(name);
        for (std::size_t f = 0; f < fieldNames.size(); ++f)
            if (ansi::upperAnsi(fieldNames[f]) == wanted)
                return f;
        return std::nullopt;
    }
    // The positions of `names`; nullopt where this table lacks the field.
    std::vector<std::optional<std::size_t>> columns(const std::vector<std::string>& names) const {
        std::vector<std::optional<std::size_t>> positions;
        for (const auto& name : names)
            positions.push_back(column(name));
        return positions;
    }
    // A field that the table lacks reads as empty.
    const std::string& value(std::size_t row, const std::optional<std::size_t>& column) const {
        static const std::string empty;
        return column ? rows[row][*column] : empty;
    }
};

Side readSide(const fs::path& file) {
    Side side;
    const auto table = dbf::Table::open(file, dbf::OpenMode::Shared, dbf::Access::ReadOnly);
    for (const auto& field : table.fields())
        side.fieldNames.push_back(field.name);
    const std::size_t count = table.recordCount();
    side.rows.reserve(count);
    for (std::size_t r = 0; r < count; ++r) {
        std::vector<std::string> row;
        row.reserve(side.fieldNames.size());
        for (std::size_t f = 0; f < side.fieldNames.size(); ++f)
            row.push_back(table.text(r, f));
        side.rows.push_back(std::move(row));
    }
    return side;
}

std::string keyText(const TableKey& key, const Side& side,
                    const std::vector<std::optional<std::size_t>>& keyColumns, std::size_t row) {
    std::string text;
    for (std::size_t i = 0; i < key.fields.size(); ++i) {
        if (i > 0)
            text += ", ";
        text += key.fields[i] + "=" + side.value(row, keyColumns[i]);
    }
    return text;
}

// The new table's fields first, in its order, then those only the current table has.
std::vector<std::string> fieldUnion(const Side& fresh, const Side& current) {
    std::vector<std::string> names = fresh.fieldNames;
    for (const auto& name : current.fieldNames)
        if (!fresh.column(name))
            names.push_back(name);
    return names;
}

} // namespace

TableComparison compareTable(const TableKey& key, const fs::path& newFile,
                             const std::optional<fs::path>& currentFile) {
    TableComparison result;
    result.table = key.table;
    const Side fresh = readSide(newFile);
    result.newRecords = fresh.rows.size();
    Side current;
    try {
        if (currentFile)
            current = readSide(*currentFile);
    } catch (const std::exception& error) {
        // A damaged table in the working folder is what an export would mend: name it, compare the rest.
        result.currentUnreadable = error.what();
        return result;
    }

    // The current records of each key, in stored order, waiting for a new record with that key.
    const auto currentKey = current.columns(key.fields);
    const auto freshKey = fresh.columns(key.fields);
    std::map<std::string, std::deque<std::size_t>> waiting;
    for (std::size_t r = 0; r < current.rows.size(); ++r)
        waiting[keyText(key, current, currentKey, r)].push_back(r);
    std::vector<bool> matched(current.rows.size(), false);

    const auto names = fieldUnion(fresh, current);
    const auto currentColumns = current.columns(names);
    const auto freshColumns = fresh.columns(names);
    for (std::size_t r = 0; r < fresh.rows.size(); ++r) {
        const std::string k = keyText(key, fresh, freshKey, r);
        auto found = waiting.find(k);
        if (found == waiting.end() || found->second.empty()) {
            result.added.push_back(k);
            continue;
        }
        const std::size_t old = found->second.front();
        found->second.pop_front();
        matched[old] = true;
        RecordChange change{k, {}};
        for (std::size_t f = 0; f < names.size(); ++f) {
            const std::string& before = current.value(old, currentColumns[f]);
            const std::string& after = fresh.value(r, freshColumns[f]);
            if (before != after)
                change.fields.push_back({names[f], before, after});
        }
        if (change.fields.empty())
            ++result.unchanged;
        else
            result.changed.push_back(std::move(change));
    }
    for (std::size_t r = 0; r < current.rows.size(); ++r)
        if (!matched[r])
            result.removed.push_back(keyText(key, current, currentKey, r));
    return result;
}

std::vector<TableComparison> compareWithWorkingFolder(const fs::path& stagingFolder,
                                                      const fs::path& workingFolder) {
    std::vector<TableComparison> comparisons;
    for (const auto& key : comparisonKeys())
        comparisons.push_back(compareTable(key, stagingFolder / (key.table + ".DBF"),
                                           findTableFile(workingFolder, key.table + ".DBF")));
    return comparisons;
}

std::string summaryLine(const TableComparison& c) {
    if (c.currentUnreadable)
        return c.table + " sin comparar: la tabla actual no se puede leer (" + *c.currentUnreadable +
               "); la exportación la sustituiría por una de " + std::to_string(c.newRecords) +
               (c.newRecords == 1 ? " registro" : " registros");
    return c.table + " añadidos=" + std::to_string(c.added.size()) +
           " quitados=" + std::to_string(c.removed.size()) +
           " cambiados=" + std::to_string(c.changed.size()) + " iguales=" + std::to_string(c.unchanged);
}

std::vector<std::string> detailLines(const TableComparison& c) {
    std::vector<std::string> lines;
    for (const auto& key : c.added)
        lines.push_back("  + " + ansi::toUtf8(key));
    for (const auto& key : c.removed)
        lines.push_back("  - " + ansi::toUtf8(key));
    for (const auto& change : c.changed) {
        std::string line = "  ~ " + ansi::toUtf8(change.key) + ":";
        for (std::size_t i = 0; i < change.fields.size(); ++i) {
            const auto& field = change.fields[i];
            line += (i ? "; " : " ") + ansi::toUtf8(field.field) + " «" + ansi::toUtf8(field.before) +
                    "» → «" + ansi::toUtf8(field.after) + "»";
        }
        lines.push_back(std::move(line));
    }
    return lines;
}

} // namespace pontrel::exporting
