#pragma once
// The header of a dBase table: where each field lies in a record, how the file's level stores its
// numbers, and the level-7 header that this engine writes.

#include "dbf/CodePage.h"
#include "dbf/Table.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace pontrel::dbf {

// Level-7 header facts (offsets in the file).
namespace level7 {
constexpr std::uint8_t kVersion = 0x04;
constexpr std::size_t kHeaderFixedPart = 68; // before the first field descriptor
constexpr std::size_t kDescriptorSize = 48;
constexpr std::size_t kMdxFlagOffset = 28; // 1 when NAME.MDX holds the production index
constexpr std::size_t kLanguageNameOffset = 32;
constexpr const char* kLanguageName = "DBWINUS0"; // Windows ANSI, code page 1252
constexpr std::size_t kDescriptorMdxFlag = 37;    // within a descriptor: the field has a tag
} // namespace level7

constexpr std::uint8_t kHeaderTerminator = 0x0D;
constexpr std::uint8_t kEndOfFile = 0x1A;
constexpr std::uint8_t kLiveMark = ' ';
constexpr std::uint8_t kDeletedMark = '*';
constexpr std::size_t kCountOffset = 4; // u32 LE record count, after the YY MM DD date
constexpr std::size_t kMaxRecordLength = 65535;

// How the file's level stores integers: level 7 big-endian with the sign bit flipped, the FoxPro
// family and older levels little-endian two's complement.
enum class IntegerStorage { Level7, LittleEndian };

struct FieldLayout {
    FieldInfo info;
    std::size_t offset = 0; // within the record, after the deletion mark
    bool system = false;    // FoxPro's hidden _NullFlags column
    int nullBit = -1;       // FoxPro: bit in _NullFlags that marks NULL, or -1
    bool indexed = false;   // level 7: the production index has a tag on it
};

struct TableLayout {
    std::uint8_t version = 0;
    bool level7 = false;
    IntegerStorage integers = IntegerStorage::LittleEndian;
    // The records the table holds: those the header counts and whole records after them that begin
    // with a deletion mark. An engine that updates the count lazily, or that stopped half-way through
    // an append, leaves more records than its header counts; other dBase engines read them too.
    std::uint32_t recordCount = 0;
    std::uint32_t headerRecordCount = 0; // the count the header states
    std::size_t headerLength = 0;
    std::size_t recordLength = 0;
    bool hasProductionIndex = false;
    std::vector<FieldLayout> fields; // every field, system ones included, in record order
    int nullFlagsField = -1;         // position in `fields` of _NullFlags, or -1
    codepage::TableText text;        // how the table's text becomes ANSI and back (1252: nothing to do)
};

// Reads and checks the header of a table of any supported level. `fileSize` is the whole file's
// size; errors name `fileName` and what is wrong.
// A field or tag name as names are matched: without regard to letter case, accented letters included
// (dbf/TextFold.h's ANSI rule, the names being ANSI by then). dBase programs match names so: TDbf
// upper-cases a new table's field names with the ANSI upper-case of Windows, and Delphi finds a field by
// its name without regard to case. The same key decides both whether a new table defines a field twice
// and which field a name finds, so a table cannot hold two fields that one name would find.
std::string nameKey(std::string_view name);

TableLayout parseHeader(const std::uint8_t* data, std::size_t fileSize, const std::string& fileName);

// The fixed width that a type has, or 0 when the width is the definer's (C, N, F).
int fixedWidth(char type, bool level7);

// Checks the definitions and lays the fields out for a new level-7 table.
TableLayout level7Layout(const std::vector<FieldSpec>& fields, const std::string& fileName);

// The bytes of a level-7 header, up to and including the terminator.
std::vector<std::uint8_t> buildLevel7Header(const TableLayout& layout, const Date& date);

// Writes YY MM DD at p.
void stampDate(std::uint8_t* p, const Date& date);

Date today();

} // namespace pontrel::dbf
