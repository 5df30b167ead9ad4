#pragma once
// The production index file NAME.MDX: writing it whole from a table's keys, and reading a tag's
// B-tree back in key order.
//
// Layout (level 7): 512-byte pages, 1024-byte blocks. Pages 0-5 hold the file header and the tag
// table (entry i at 512 + 43·(i+1), room for 48 tags); each tag has a header block after them, then
// its nodes. A node holds its
// entry count, a previous-block word (0 here) and entries of [record number or child page, u32
// little-endian][key]. An inner node's count excludes its last child, whose pointer follows the
// counted entries; a leaf has 0 in that place. The key of an inner entry is its child's highest key.

#include "dbf/Table.h"

#include <cstdint>
#include <string>
#include <vector>

namespace pontrel::dbf {

struct MdxEntry {
    std::vector<std::uint8_t> key;
    std::uint32_t record = 0; // physical record number, from 1
};

struct MdxTagContent {
    std::string name;       // tag name
    std::string expression; // the key: a field name
    char keyType = 'I';
    int keyLength = 4;
    std::vector<MdxEntry> entries; // sorted: by key bytes, then by record number
};

// The bytes of an .MDX file for the table `tableName` (without extension), whose language driver
// has the id `languageId` (see indexLanguageId).
std::vector<std::uint8_t> buildMdx(const std::string& tableName, const std::vector<MdxTagContent>& tags,
                                   const Date& date, std::uint8_t languageId);

// The language id of a table as its index records it: the id of the table's language driver
// (level 7 names the driver, 0x57 for DBWINUS0; older levels keep the id in byte 29), or 0, which
// readers take as "the table's", for a driver not known here. `header` holds `size` bytes.
std::uint8_t indexLanguageId(const std::uint8_t* header, std::size_t size, bool level7);

struct MdxTagInfo {
    std::string name;
    std::string expression;
    char keyType = 0;
    int keyLength = 0;
    bool descending = false;
    std::uint32_t headerPage = 0;
};

// A parsed index file. Every page number and count is checked before use: a damaged file gives an
// error naming it, never a read outside the file or an endless walk.
class MdxFile {
  public:
    static MdxFile parse(std::vector<std::uint8_t> data, const std::string& fileName);

    const std::vector<MdxTagInfo>& tags() const { return tags_; }
    // The entries of tag `tag` in tree order (keys ascending, as the writer of the file ordered them).
    std::vector<MdxEntry> entriesInOrder(std::size_t tag) const;

  private:
    std::vector<std::uint8_t> data_;
    std::string fileName_;
    std::vector<MdxTagInfo> tags_;
};

} // namespace pontrel::dbf
