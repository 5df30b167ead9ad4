#pragma once
// Text that goes from a working table into the timetable document. A control character other than
// tab, line feed and carriage return cannot stand in an XML document, not even as a reference: written,
// it would leave a document that Yedra cannot read; dropped or cut at (a NUL), it would send another
// key than the table holds. Either way the run stops, naming the table, the record and the field.

#include "dbf/Table.h"
#include "import/FieldRef.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace pontrel::importing {

// The field's text (ANSI) when the document can carry it; otherwise an error naming the table, the
// record (from 1), the field, the character and its place in the value.
std::string documentText(const dbf::Table& table, std::size_t record, std::size_t field,
                         std::string_view fieldName);
std::string documentText(const dbf::Table& table, std::size_t record, std::string_view fieldName);
// The same through a field's kept position (FieldRef of `table`).
inline std::string documentText(const dbf::Table& table, std::size_t record, const FieldRef& field) {
    return documentText(table, record, field(), field.name());
}

} // namespace pontrel::importing
