#pragma once
// A Yedra exchange document read with libxml2: never from the network, never expanding external
// entities. A file that is not well-formed XML, or whose root is not SERVICIO, is refused with a
// message that names the file, the line and the reason.
//
// The document is read as a stream: what the runs ask for (the records of the data groups, the
// academic year, what lies outside the root) is kept as it goes past, compactly (the texts of a
// group's fields side by side), and every element goes from memory once it has been read. A document
// of any size is read in memory of about the size of the texts kept.

#include "exchange/yedra/XmlFile.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

typedef struct _xmlDoc xmlDoc;
typedef struct _xmlNode xmlNode;

namespace pontrel {

// One record of a data group: its direct `dato` children, read by position from 0. It views the field
// texts that its document keeps, and is valid as long as that document.
class YedraRecord {
  public:
    // Where one field's text (UTF-8, the element's whole text content) lies among its group's texts.
    struct Field {
        std::uint32_t offset = 0;
        std::uint32_t length = 0;
    };
    // `count` fields from `fields` on, in document order, whose texts lie in `texts`; `number` is the
    // record's place in its group.
    YedraRecord(const char* texts, const Field* fields, std::size_t count, std::size_t number)
        : texts_(texts), fields_(fields), count_(count), number_(number) {}
    std::size_t fieldCount() const { return count_; }
    // The record's number within its data group, from 1, in document order, counting every record
    // (those the record loop leaves out too): what messages name the record by.
    std::size_t number() const { return number_; }
    // Trimmed of codes up to 32, converted to ANSI. A position beyond the last field reads as "".
    std::string value(std::size_t position) const;
    // The same without the trimming.
    std::string rawValue(std::size_t position) const;
    // Trimmed as value() is, but as the document gives it (UTF-8): for texts shown to the user that
    // must keep the characters the code page lacks.
    std::string text(std::size_t position) const;

  private:
    std::string_view field(std::size_t position) const {
        return std::string_view(texts_ + fields_[position].offset, fields_[position].length);
    }
    const char* texts_;
    const Field* fields_;
    std::size_t count_;
    std::size_t number_;
};

class YedraDocument {
  public:
    // The document read and checked whole, keeping the records of every data group.
    static YedraDocument load(const std::filesystem::path& file);
    // The document read and checked whole, as load() does, keeping only its outline: everything
    // outside the root, the root, the academic year, and the records of the data groups named in
    // `groups` (what a run, the timetable document or the frame choice needs). Asking it for the
    // records of any other group is an error.
    static YedraDocument loadOutline(const std::filesystem::path& file, std::vector<std::string> groups = {});

    YedraDocument(YedraDocument&&) noexcept;
    YedraDocument& operator=(YedraDocument&&) noexcept;
    ~YedraDocument();

    const std::filesystem::path& path() const { return path_; }

    // Every record of every `grupo_datos` child of /SERVICIO/BLOQUE_DATOS whose `seq` equals `group`
    // (letter case significant), in document order, whatever its field count.
    std::vector<YedraRecord> records(std::string_view group) const;

    // The record loop: the same records without those that have fewer than 2 fields.
    std::vector<YedraRecord> loopRecords(std::string_view group) const;

    // The text of the first child node of the first /SERVICIO/BLOQUE_DATOS (ANSI), where the academic
    // year stands. Whitespace-only text between elements is not a node here, nor part of the text.
    // nullopt when there is no BLOQUE_DATOS or it has no child.
    std::optional<std::string> academicYearSource() const;

    // The `seq` of every data group the document has, once each, in the order they first appear.
    const std::vector<std::string>& groupNames() const { return groupNames_; }

    // What is left of the tree, for writing a document from it (XmlOutput): the declaration, every node
    // outside the root, unchanged, and the root without its content.
    xmlDoc* xml() const { return doc_.get(); }

  private:
    struct DocDeleter {
        void operator()(xmlDoc* d) const;
    };
    struct Group;
    class Reading;
    YedraDocument(std::filesystem::path path);
    static YedraDocument read(const std::filesystem::path& file,
                              std::optional<std::vector<std::string>> groups);
    const Group* group(std::string_view name) const;
    // The group's records that have `fields` fields or more, in document order.
    std::vector<YedraRecord> recordsWithAtLeast(std::string_view name, std::size_t fields) const;
    std::filesystem::path path_;
    std::unique_ptr<xmlDoc, DocDeleter> doc_;
    std::optional<std::vector<std::string>> keptGroups_; // an outline's groups; nullopt: every group
    std::vector<std::unique_ptr<Group>> groups_;         // the groups kept, in their first appearance
    std::vector<std::string> groupNames_;
    std::optional<std::string> academicYearSource_;
};

} // namespace pontrel
