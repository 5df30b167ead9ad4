#pragma once
// A dBase table: create (level 7, optionally with a production .MDX index), open shared or
// exclusively, read any level (III, IV, 5, 7, FoxPro family), append, update in place, look up.
//
// Text is handed out and taken in ANSI (Windows-1252), the code page of the tables that this engine
// writes: a table whose header declares an MS-DOS code page (437, 850) has its text translated as it
// is read and stored (dbf/CodePage.h); a Windows-1252 table's bytes pass as they are.
// Records are addressed by their position among the live (not deleted) records, from 0, in stored order.

#include "dbf/Error.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace pontrel::dbf {

// One field definition for creating a table. Types written: 'C' (width 1..254), 'I', 'L', 'O'.
struct FieldSpec {
    std::string name; // up to 31 characters
    char type = 'C';
    int width = 0; // only for 'C'; the engine fills the fixed widths of the other types
    int decimals = 0;
};

// A production index with one ascending tag on an integer field, duplicates allowed.
struct IndexSpec {
    std::string tag;
    std::string field;
};

// A field as a table describes it (also for tables written by other programs).
struct FieldInfo {
    std::string name;
    char type = 'C';
    int width = 0;
    int decimals = 0;
};

// A value as the engine gives it: NULL, text (trailing blanks removed), integer, floating point, Boolean.
using Value = std::variant<std::monostate, std::string, std::int64_t, double, bool>;

// A calendar date as the table header stores it (the date of the last update).
struct Date {
    int year = 0;  // e.g. 2026
    int month = 0; // 1..12
    int day = 0;   // 1..31
};

enum class OpenMode { Shared, Exclusive };
enum class Access { ReadOnly, ReadWrite };

// Values to store in one record, assigned field by field; unassigned fields stay NULL.
class RecordBuffer {
  public:
    void setText(std::string_view field, std::string_view value); // cut to the field's width silently
    void setInteger(std::string_view field, std::int64_t value);
    void setDouble(std::string_view field, double value);
    void setBool(std::string_view field, bool value);
    void setNull(std::string_view field);
    void clear() { assigned_.clear(); }

  private:
    friend class Table;
    void add(std::string_view field, Value value);
    std::vector<std::pair<std::string, Value>> assigned_;
};

class Table {
  public:
    // Writes an empty table (and its .MDX when an index is given). Fails if the file exists.
    // `date` stamps the header (and the index); today when not given.
    static void create(const std::filesystem::path& file, const std::vector<FieldSpec>& fields,
                       const std::optional<IndexSpec>& index = std::nullopt,
                       const std::optional<Date>& date = std::nullopt);

    // Opens a table. An exclusive open fails while any other opening holds the file; a shared
    // open fails while one holds it exclusively. Errors name the file and what is wrong.
    static Table open(const std::filesystem::path& file, OpenMode mode, Access access = Access::ReadOnly);

    Table(Table&&) noexcept;
    Table& operator=(Table&&) noexcept;
    ~Table();

    // Brings the header (date, record count), the end marker and the index up to date and
    // releases the file and its lock. Called by the destructor when not called before.
    void close();

    // The date that a change stamps into the header at close; today unless set (for byte-exact files).
    void setUpdateDate(const Date& date);

    const std::filesystem::path& path() const;
    const std::vector<FieldInfo>& fields() const;
    // The position of a field, its name compared without regard to letter case; nullopt if none.
    std::optional<std::size_t> fieldIndex(std::string_view name) const;
    // The same, where an unknown name is the error that reading the field by name gives.
    std::size_t requireFieldIndex(std::string_view name) const;

    // The number of live records.
    std::size_t recordCount() const;
    // Records (live or deleted) that the file holds past the count its header states: an engine that
    // updates the count lazily, or that stopped half-way through an append, leaves them. They are read
    // like the others, as other dBase engines read them; 0 for a sound table. A change written through
    // this opening brings the header's count up to date at close.
    std::size_t recordsBeyondHeaderCount() const;
    // The count that the header stated when the table was opened.
    std::size_t headerRecordCount() const;

    // Reading. `record` is a live record's position; `field` a field name (letter case ignored).
    // An unknown field name is an error that names the table and the field.
    Value value(std::size_t record, std::string_view field) const;
    // Text fields, numbers stored as text and dates as stored (trailing blanks removed); integers in
    // decimal, doubles in their shortest exact form, Booleans as T or F; NULL reads as "".
    std::string text(std::size_t record, std::string_view field) const;
    // NULL (and blank text) gives nullopt; a value that is not one (text "2h" read as an integer) is
    // an error naming the table, the record, the field and the value.
    std::optional<std::int64_t> integer(std::size_t record, std::string_view field) const;
    std::optional<double> number(std::size_t record, std::string_view field) const;
    std::optional<bool> boolean(std::size_t record, std::string_view field) const;

    // The same by field position (see fieldIndex), for loops that read many records.
    Value value(std::size_t record, std::size_t field) const;
    std::string text(std::size_t record, std::size_t field) const;

    // Lookups with first-match-in-stored-order semantics. Text compares as `text` gives it (trailing
    // blanks not counting), numbers by value, NULL equals NULL and the empty text. Each field set sought
    // gets a hashed map on first use, kept up to date by append and update: constant time per lookup.
    std::optional<std::size_t> locate(const std::vector<std::pair<std::string, Value>>& equals) const;
    // The same with the fields given by position (see fieldIndex) and the values in the same order,
    // for loops that look up many records: no field names to resolve on every call.
    std::optional<std::size_t> locate(const std::vector<std::size_t>& fields,
                                      const std::vector<Value>& equals) const;
    std::vector<std::size_t> select(std::string_view field, const Value& equals) const;

    // Writing (needs Access::ReadWrite). Appends and posts one record; returns its position. Records
    // reach the file in batches, each followed by the header's count, and all of them at close: a
    // program killed while appending leaves a table that opens with the batches written so far.
    // A value that its field cannot hold is an error, and the record is not appended.
    std::size_t append(const RecordBuffer& values);
    // For an opening that writes a table and reads nothing back of it: records are kept in memory only
    // until they are written to the file, so that however many it appends it holds no more than one
    // batch of them. Reading or updating a record that has gone to the file is then refused, and so
    // is a lookup that would have to be built from such records; one made before they went holds
    // their keys and keeps finding them (where they are, not what they hold). Takes no effect on a
    // table with a production index, which is rebuilt from every record at close.
    void appendOnly();
    // Writes the assigned fields of an existing record back to the file at once, under a lock that
    // keeps two writers apart. A value that its field cannot hold changes nothing.
    void update(std::size_t record, const RecordBuffer& values);

    // Records in the order of the production index's tag (equal keys in stored order): read through
    // the index's tree, or, when this opening changed keys since, in the order that the index
    // rebuilt at close will have. The tag's name is compared without regard to letter case.
    std::vector<std::size_t> indexOrder(std::string_view tag) const;

    struct Impl;

  private:
    explicit Table(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

} // namespace pontrel::dbf
