#pragma once
// The state of an open table, shared by the files that implement Table.

#include "dbf/Header.h"
#include "dbf/Lookups.h"
#include "dbf/MdxIndex.h"
#include "dbf/Table.h"
#include "dbf/TableFile.h"

#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace pontrel::dbf {

// How a tag's keys are rebuilt from the records: the raw bytes of one field, which compare as the
// index compares (level-7 integers and doubles, text, dates).
struct TagPlan {
    std::string name;
    std::string expression;
    char keyType = 'I';
    std::size_t field = 0; // position in layout.fields
};

struct Table::Impl {
    std::filesystem::path path;
    std::string name; // the path as error texts show it
    TableFile file;
    Access access = Access::ReadOnly;
    TableLayout layout;

    std::vector<FieldInfo> publicFields;                       // without system columns
    std::vector<std::size_t> publicToLayout;                   // public position -> position in layout.fields
    std::unordered_map<std::string, std::size_t> publicByName; // upper-case name -> public position

    // The physical records from `droppedCount` on, raw, in stored order (those before have gone to
    // the file of an append-only opening); `live` maps live positions to physical ones.
    std::vector<std::uint8_t> records;
    std::size_t droppedCount = 0;
    bool appendOnly = false;
    std::size_t physicalCount = 0;
    std::vector<std::uint32_t> live;
    std::size_t flushedCount = 0;  // physical records that are in the file
    std::size_t countInHeader = 0; // the count the file's header holds, as this opening last saw it

    bool appended = false;
    bool changed = false;
    std::optional<Date> updateDate;
    bool closed = false;

    // The production index.
    std::optional<std::filesystem::path> mdxPath;
    std::optional<MdxFile> mdx;
    std::optional<std::vector<TagPlan>> tagPlans;
    bool indexDirty = false;
    std::uint8_t indexLanguage = 0; // the table's language id, as a rebuilt index records it

    mutable Lookups lookups;
    // Reused by every lookup by field positions, so that a loop of lookups allocates nothing for them.
    mutable std::vector<std::size_t> lookupFields;
    mutable std::string lookupKeyBuffer;

    const std::uint8_t* recordAt(std::size_t position) const {
        const std::size_t physical = live[position];
        if (physical < droppedCount)
            refuseDropped(position);
        return records.data() + (physical - droppedCount) * layout.recordLength;
    }
    [[noreturn]] void refuseDropped(std::size_t position) const;

    std::size_t requireRecord(std::size_t position) const;
    std::size_t requirePublicField(std::string_view field) const; // public position
    // The same, trying the fields from public position `from` first: a record is mostly filled in
    // the order of its fields, so the next field named is usually the one after the last.
    std::size_t requirePublicField(std::string_view field, std::size_t from) const;
    const FieldLayout& publicField(std::size_t position) const;
    std::size_t requireLayoutField(std::string_view field) const {
        return publicToLayout[requirePublicField(field)];
    }
    void requireWritable() const;
    void requireOpen() const;

    std::string combinedKey(const std::vector<std::size_t>& fields, std::size_t position) const;
    Lookups::KeyOf keyOf() const;

    const MdxFile& loadMdx();
    const std::vector<TagPlan>& plansForChange();
    bool changesIndexKeys(const std::vector<std::size_t>& fields);
    void rebuildIndex();

    void flush();
    void dropWritten(); // for an append-only opening, the records already in the file
    void writeHeaderCount(std::size_t count);
    void finish();
};

} // namespace pontrel::dbf
