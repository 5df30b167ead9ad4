#pragma once
// Whole numbers as Yedra writes them in its documents (course keys, minutes, slot start and end):
// an optional sign and decimal digits that fit in 32 bits, read after the field value's trimming.
// Anything else ("30A", "2h", "8:15", "$1F", "") is not a whole number.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace pontrel::exporting {

// The number that `text` writes, or nullopt when it is not a whole number within 32 bits.
// Leading and trailing characters with codes up to 32 are ignored, as the field value drops them.
std::optional<std::int32_t> parseWholeNumber(std::string_view text);

// Where a value that must be a whole number was read, for the message when it is not one.
struct WholeNumberSource {
    std::string group;      // the data group, e.g. "CURSOS_DEL_CENTRO"
    std::size_t record = 0; // the record's number within its group, from 1, in document order
    std::size_t position = 0;
    std::string meaning;  // what the value is, in Spanish (UTF-8): "clave del curso"
    std::string document; // the document's path (UTF-8)
};

// The number that `ansiValue` writes; a pontrel::Error naming the document, group, record, position
// and value when it is not a whole number.
std::int32_t requireWholeNumber(std::string_view ansiValue, const WholeNumberSource& source);

} // namespace pontrel::exporting
