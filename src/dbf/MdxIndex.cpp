#include "dbf/MdxIndex.h"

#include "dbf/Bytes.h"
#include "dbf/Header.h"

#include <algorithm>
#include <string_view>
#include <unordered_set>

namespace pontrel::dbf {

namespace {

constexpr std::size_t kPage = 512;
constexpr std::size_t kBlock = 1024;
constexpr std::uint32_t kPagesPerBlock = kBlock / kPage;
constexpr std::size_t kNodeHeader = 8; // entry count, previous block

// File header offsets.
constexpr std::size_t kVersionAt = 0;
constexpr std::size_t kTableNameAt = 4;
constexpr std::size_t kPagesPerBlockAt = 20;
constexpr std::size_t kBlockSizeAt = 22;
constexpr std::size_t kProductionAt = 24;
constexpr std::size_t kTagSlotsAt = 25;
constexpr std::size_t kTagSizeAt = 26;
constexpr std::size_t kTagsUsedAt = 28;
constexpr std::size_t kLanguageAt = 31;
constexpr std::size_t kFilePagesAt = 32;
constexpr std::size_t kFirstFreePageAt = 36; // head of the list of freed blocks, 0 for none
constexpr std::size_t kFreeBlocksAt = 40;    // freed blocks
constexpr std::size_t kUpdateDateAt = 44;
constexpr std::size_t kTagFlagAt = 529; // 1 in every file seen
constexpr std::uint8_t kLevel7Version = 3;
constexpr std::uint8_t kTagSlots = 48;
constexpr std::uint8_t kLevel7TagSize = 43;
constexpr std::size_t kTableNameLength = 8;

// The header region: the file header and room for all 48 tag slots (512 + 48 · 43 = 2,576 bytes),
// in whole blocks: pages 0-5. Other engines keep this region cached while a table is open and
// write it back whole when a header field changes (the page count, after every new block), so
// nothing that changes on its own, like a tag header and its root page, may lie inside it.
constexpr std::uint32_t kHeaderRegionPages =
    static_cast<std::uint32_t>((kPage + kTagSlots * kLevel7TagSize + kBlock - 1) / kBlock * kPagesPerBlock);
// Files written before kept the tag header at page 4, right after a dBase IV-sized region
// (512 + 48 · 32 bytes): no node can lie lower than that in any file this reader accepts.
constexpr std::uint32_t kLowestNodePage = 4;

// Tag table entry offsets (level 7; dBase IV has an 11-byte name and the key type at 20).
constexpr std::size_t kTagNameAt = 4;
constexpr std::size_t kTagKeyFormatAt = 37;
constexpr std::size_t kTagReservedAt = 41;
constexpr std::size_t kTagKeyTypeAt = 42;
constexpr std::uint8_t kKeyFormatField = 0x10;

// Tag header offsets.
constexpr std::size_t kRootAt = 0;
constexpr std::size_t kTagPagesAt = 4;
constexpr std::size_t kHeaderKeyFormatAt = 8;
constexpr std::size_t kHeaderKeyTypeAt = 9;
constexpr std::size_t kKeyLengthAt = 12;
constexpr std::size_t kKeysPerNodeAt = 14;
constexpr std::size_t kEntryLengthAt = 18;
constexpr std::size_t kTagVersionAt = 20;
constexpr std::uint8_t kTagVersion = 4;
constexpr std::size_t kExpressionAt = 24;
constexpr std::size_t kExpressionLength = 220;
constexpr std::size_t kKeyPresentAt = 246;
constexpr std::uint8_t kDescending = 0x08;
constexpr std::uint8_t kStringKey = 0x10;

// Leaves keep one slot free for the zero that marks them as leaves; inner nodes need it for
// their last child. A full node thus holds (1024 - 8) / entry length - 1 counted entries.
std::size_t nodeCapacity(std::size_t entryLength) {
    return (kBlock - kNodeHeader) / entryLength - 1;
}

struct Node {
    std::vector<std::uint32_t> pointers; // record numbers (leaf) or child pages (inner)
    std::vector<const std::vector<std::uint8_t>*> keys;
    bool leaf = true;
};

// Splits `count` items into as few groups of at most `capacity` as possible, of nearly equal size.
std::vector<std::size_t> groupSizes(std::size_t count, std::size_t capacity) {
    const std::size_t groups = std::max<std::size_t>(1, (count + capacity - 1) / capacity);
    std::vector<std::size_t> sizes(groups, count / groups);
    for (std::size_t i = 0; i < count % groups; ++i)
        ++sizes[i];
    return sizes;
}

void writeNode(std::uint8_t* block, const Node& node, std::size_t entryLength) {
    const std::size_t counted = node.leaf ? node.pointers.size() : node.pointers.size() - 1;
    bytes::writeU32LE(block, static_cast<std::uint32_t>(counted));
    for (std::size_t i = 0; i < node.pointers.size(); ++i) {
        std::uint8_t* e = block + kNodeHeader + i * entryLength;
        bytes::writeU32LE(e, node.pointers[i]);
        std::copy(node.keys[i]->begin(), node.keys[i]->end(), e + 4);
    }
}

// Writes one tag's header block and nodes from `firstPage` on; returns the next free page.
std::uint32_t writeTag(std::vector<std::uint8_t>& file, const MdxTagContent& tag, std::uint32_t headerPage) {
    const std::size_t entryLength = (static_cast<std::size_t>(tag.keyLength) + 4 + 3) / 4 * 4;
    const std::size_t capacity = nodeCapacity(entryLength);
    std::uint32_t nextPage = headerPage + kPagesPerBlock;

    std::vector<Node> nodes;
    std::vector<std::uint32_t> levelPages;
    std::vector<const std::vector<std::uint8_t>*> levelHighest;
    static const std::vector<std::uint8_t> kNoKey;

    std::size_t at = 0;
    for (std::size_t size : groupSizes(tag.entries.size(), capacity)) {
        Node leaf;
        for (std::size_t i = 0; i < size; ++i, ++at) {
            leaf.pointers.push_back(tag.entries[at].record);
            leaf.keys.push_back(&tag.entries[at].key);
        }
        levelHighest.push_back(size ? leaf.keys.back() : &kNoKey);
        levelPages.push_back(nextPage);
        nextPage += kPagesPerBlock;
        nodes.push_back(std::move(leaf));
    }
    while (levelPages.size() > 1) {
        std::vector<std::uint32_t> upperPages;
        std::vector<const std::vector<std::uint8_t>*> upperHighest;
        std::size_t child = 0;
        for (std::size_t size : groupSizes(levelPages.size(), capacity + 1)) {
            Node inner;
            inner.leaf = false;
            for (std::size_t i = 0; i < size; ++i, ++child) {
                inner.pointers.push_back(levelPages[child]);
                inner.keys.push_back(levelHighest[child]);
            }
            upperHighest.push_back(inner.keys.back());
            upperPages.push_back(nextPage);
            nextPage += kPagesPerBlock;
            nodes.push_back(std::move(inner));
        }
        levelPages = std::move(upperPages);
        levelHighest = std::move(upperHighest);
    }

    file.resize(static_cast<std::size_t>(nextPage) * kPage, 0);
    std::uint8_t* h = file.data() + static_cast<std::size_t>(headerPage) * kPage;
    bytes::writeU32LE(h + kRootAt, levelPages.front());
    bytes::writeU32LE(h + kTagPagesAt, nextPage - headerPage);
    h[kHeaderKeyFormatAt] = tag.keyType == 'C' ? kStringKey : 0;
    h[kHeaderKeyTypeAt] = static_cast<std::uint8_t>(tag.keyType);
    bytes::writeU16LE(h + kKeyLengthAt, static_cast<std::uint16_t>(tag.keyLength));
    bytes::writeU16LE(h + kKeysPerNodeAt, static_cast<std::uint16_t>((kBlock - kNodeHeader) / entryLength));
    bytes::writeU16LE(h + kEntryLengthAt, static_cast<std::uint16_t>(entryLength));
    // The tag's version byte: an engine that changes the tag in a shared opening counts it up, and
    // the other openings re-read the tree when they see it change. dBase IV starts it at 2 (as a
    // word); TDbf 7 starts it at 4, as the older engine does, and so does this writer (no
    // dBase-written level-7 file seen says otherwise).
    h[kTagVersionAt] = kTagVersion;
    std::copy_n(tag.expression.begin(), std::min(tag.expression.size(), kExpressionLength - 1),
                h + kExpressionAt);
    h[kKeyPresentAt] = 1;

    std::uint32_t page = headerPage + kPagesPerBlock;
    for (const Node& node : nodes) {
        writeNode(file.data() + static_cast<std::size_t>(page) * kPage, node, entryLength);
        page += kPagesPerBlock;
    }
    return nextPage;
}

} // namespace

std::vector<std::uint8_t> buildMdx(const std::string& tableName, const std::vector<MdxTagContent>& tags,
                                   const Date& date, std::uint8_t languageId) {
    std::vector<std::uint8_t> file(static_cast<std::size_t>(kHeaderRegionPages) * kPage, 0);
    file[kVersionAt] = kLevel7Version;
    stampDate(&file[1], date);
    // The field has room for 15 characters; TDbf 7 cuts the name to 8, as the older engine does,
    // and so does this writer (no dBase-written file seen has a longer one).
    std::copy_n(tableName.begin(), std::min(tableName.size(), kTableNameLength), file.begin() + kTableNameAt);
    bytes::writeU16LE(&file[kPagesPerBlockAt], kPagesPerBlock);
    bytes::writeU16LE(&file[kBlockSizeAt], kBlock);
    file[kProductionAt] = 1;
    file[kTagSlotsAt] = kTagSlots;
    file[kTagSizeAt] = kLevel7TagSize;
    bytes::writeU16LE(&file[kTagsUsedAt], static_cast<std::uint16_t>(tags.size()));
    // The table's language driver id: TDbf 7 writes it and refuses an index whose id is neither 0
    // nor the table's; 0x57 for DBWINUS0.
    file[kLanguageAt] = languageId;
    // Whole files are written: every page is in use, and the list of freed blocks is empty.
    bytes::writeU32LE(&file[kFirstFreePageAt], 0);
    bytes::writeU32LE(&file[kFreeBlocksAt], 0);
    stampDate(&file[kUpdateDateAt], date);
    file[kTagFlagAt] = 1;

    // Tag headers and their nodes come after the header region.
    std::uint32_t page = kHeaderRegionPages;
    for (std::size_t i = 0; i < tags.size(); ++i) {
        const MdxTagContent& tag = tags[i];
        std::uint8_t* e = file.data() + kPage + kLevel7TagSize * (i + 1);
        bytes::writeU32LE(e, page);
        std::copy_n(tag.name.begin(), std::min<std::size_t>(tag.name.size(), 32), e + kTagNameAt);
        e[kTagKeyFormatAt] = kKeyFormatField;
        e[kTagReservedAt] = 2;
        e[kTagKeyTypeAt] = static_cast<std::uint8_t>(tag.keyType);
        page = writeTag(file, tag, page);
    }
    bytes::writeU32LE(&file[kFilePagesAt], page);
    return file;
}

std::uint8_t indexLanguageId(const std::uint8_t* header, std::size_t size, bool level7) {
    constexpr std::size_t kOldLanguageIdAt = 29;
    constexpr std::uint8_t kWindowsAnsiUs = 0x57; // DBWINUS0
    if (!level7)
        return size > kOldLanguageIdAt ? header[kOldLanguageIdAt] : 0;
    const std::string_view driver = level7::kLanguageName;
    if (size < level7::kLanguageNameOffset + driver.size() + 1)
        return 0;
    const char* name = reinterpret_cast<const char*>(header + level7::kLanguageNameOffset);
    return driver == std::string_view(name, driver.size()) && name[driver.size()] == 0 ? kWindowsAnsiUs : 0;
}

namespace {
[[noreturn]] void damagedIndex(const std::string& file, const std::string& detail) {
    throw Error("El índice «" + file + "» está dañado: " + detail + ".");
}
} // namespace

MdxFile MdxFile::parse(std::vector<std::uint8_t> data, const std::string& fileName) {
    MdxFile mdx;
    mdx.fileName_ = fileName;
    if (data.size() < kBlock)
        damagedIndex(fileName,
                     "el archivo mide " + std::to_string(data.size()) + " bytes, menos que su cabecera");
    const std::uint8_t version = data[kVersionAt];
    const bool level7 = version == kLevel7Version;
    const std::size_t tagSize = data[kTagSizeAt];
    const std::size_t used = bytes::readU16LE(&data[kTagsUsedAt]);
    if (tagSize < (level7 ? kLevel7TagSize : 21u))
        damagedIndex(fileName,
                     "el tamaño de las entradas de etiqueta (" + std::to_string(tagSize) + ") no es válido");
    if (used > kTagSlots)
        damagedIndex(fileName, "anuncia " + std::to_string(used) + " etiquetas");
    for (std::size_t i = 0; i < used; ++i) {
        const std::size_t at = kPage + tagSize * (i + 1);
        if (at + tagSize > data.size())
            damagedIndex(fileName, "la tabla de etiquetas sobrepasa el final del archivo");
        const std::uint8_t* e = data.data() + at;
        MdxTagInfo tag;
        tag.headerPage = bytes::readU32LE(e);
        tag.name = bytes::readName(e + kTagNameAt, level7 ? 33 : 11);
        tag.keyType = static_cast<char>(e[level7 ? kTagKeyTypeAt : 20]);
        const std::uint64_t headerAt = static_cast<std::uint64_t>(tag.headerPage) * kPage;
        if (tag.headerPage < 1 || headerAt + kBlock > data.size())
            damagedIndex(fileName, "la etiqueta «" + tag.name + "» apunta fuera del archivo");
        const std::uint8_t* h = data.data() + headerAt;
        tag.keyLength = bytes::readU16LE(h + kKeyLengthAt);
        tag.descending = (h[kHeaderKeyFormatAt] & kDescending) != 0;
        tag.expression = bytes::readName(h + kExpressionAt, kExpressionLength);
        const std::size_t entryLength = bytes::readU16LE(h + kEntryLengthAt);
        if (tag.keyLength < 1 || entryLength < static_cast<std::size_t>(tag.keyLength) + 4 ||
            entryLength > (kBlock - kNodeHeader) / 2)
            damagedIndex(fileName, "la etiqueta «" + tag.name + "» tiene longitudes de clave imposibles");
        mdx.tags_.push_back(std::move(tag));
    }
    mdx.data_ = std::move(data);
    return mdx;
}

std::vector<MdxEntry> MdxFile::entriesInOrder(std::size_t tagPosition) const {
    const MdxTagInfo& tag = tags_.at(tagPosition);
    const std::uint8_t* h = data_.data() + static_cast<std::size_t>(tag.headerPage) * kPage;
    const std::size_t entryLength = bytes::readU16LE(h + kEntryLengthAt);
    const std::size_t slots = (kBlock - kNodeHeader) / entryLength;
    const auto keyLength = static_cast<std::size_t>(tag.keyLength);

    std::vector<MdxEntry> out;
    std::unordered_set<std::uint32_t> visited;
    // Depth-first walk with an explicit stack of (page, next child) so that a deep or cyclic file
    // cannot exhaust the program's stack.
    struct Step {
        std::uint32_t page;
        std::size_t next;
    };
    std::vector<Step> stack{{bytes::readU32LE(h + kRootAt), 0}};
    while (!stack.empty()) {
        Step& step = stack.back();
        const std::uint64_t at = static_cast<std::uint64_t>(step.page) * kPage;
        if (step.page < kLowestNodePage || at + kBlock > data_.size())
            damagedIndex(fileName_, "un nodo de «" + tag.name + "» apunta a la página " +
                                        std::to_string(step.page) + ", fuera del archivo");
        const std::uint8_t* node = data_.data() + at;
        const std::size_t count = bytes::readU32LE(node);
        if (count > slots)
            damagedIndex(fileName_,
                         "un nodo de «" + tag.name + "» dice tener " + std::to_string(count) + " entradas");
        const bool inner = count < slots && bytes::readU32LE(node + kNodeHeader + count * entryLength) != 0;
        if (step.next == 0 && !visited.insert(step.page).second)
            damagedIndex(fileName_,
                         "el árbol de «" + tag.name + "» vuelve a la página " + std::to_string(step.page));
        if (!inner) {
            for (std::size_t i = 0; i < count; ++i) {
                const std::uint8_t* e = node + kNodeHeader + i * entryLength;
                out.push_back(
                    MdxEntry{std::vector<std::uint8_t>(e + 4, e + 4 + keyLength), bytes::readU32LE(e)});
            }
            stack.pop_back();
            continue;
        }
        if (step.next > count) {
            stack.pop_back();
            continue;
        }
        const std::uint32_t child = bytes::readU32LE(node + kNodeHeader + step.next * entryLength);
        ++step.next;
        if (stack.size() > 64)
            damagedIndex(fileName_, "el árbol de «" + tag.name + "» es demasiado profundo");
        stack.push_back(Step{child, 0});
    }
    return out;
}

} // namespace pontrel::dbf
