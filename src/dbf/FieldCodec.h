#pragma once
// A field's stored bytes and the values the engine gives and takes: decoding on access (records stay
// raw bytes in memory), encoding on assignment, and the comparison keys of the lookups.

#include "dbf/Header.h"
#include "dbf/Table.h"

#include <cstdint>
#include <optional>
#include <string>

namespace pontrel::dbf {

// Where a value comes from, for error texts.
struct FieldSite {
    const std::string& file;
    std::size_t record; // live position, from 0
};

// The value of field `f` in `record` (which starts with its deletion mark).
Value decodeField(const TableLayout& layout, const FieldLayout& f, const std::uint8_t* record,
                  const FieldSite& site);

// The field as text: text fields, numbers stored as text and dates as stored, trailing blanks
// removed; other types rendered from their value (T/F for Booleans); NULL as "".
std::string fieldText(const TableLayout& layout, const FieldLayout& f, const std::uint8_t* record,
                      const FieldSite& site);

// Stores `value` in field `f` of `record`. A text longer than a text field is cut silently; a value
// that the field cannot hold is an error naming the table, the field and the value.
void encodeField(const TableLayout& layout, const FieldLayout& f, const Value& value, std::uint8_t* record,
                 const std::string& file);

// The empty record: live mark and every field NULL.
void fillNullRecord(const TableLayout& layout, std::uint8_t* record);

// Lookup keys: equal keys mean equal as the lookups compare (text as `text` gives it, numbers by
// value, Booleans by truth, NULL only with NULL or with the empty text).
std::string lookupKey(const TableLayout& layout, const FieldLayout& f, const std::uint8_t* record,
                      const FieldSite& site);
// nullopt when the value can equal no stored value of the field (e.g. "abc" sought in a number field).
std::optional<std::string> queryKey(const FieldLayout& f, const Value& value);

// A value read as a number, as the field writer and the table's readers both take it: NULL and blank
// text give nullopt; text counts without the blanks around it and a leading '+'. False when the value
// is no number (for readWholeNumber: no whole number within 64 bits); `number` is then unchanged.
bool readNumber(const Value& v, std::optional<double>& number);
bool readWholeNumber(const Value& v, std::optional<std::int64_t>& number);

// Shortest text that reads back as the same double, independent of the C locale.
std::string formatDouble(double d);

} // namespace pontrel::dbf
