#pragma once
// A Yedra exchange document loaded with libxml2: never from the network, never expanding external
// entities. A file that is not well-formed XML, or whose root is not SERVICIO, is refused with a
// message that names the file, the line and the reason.

#include "exchange/XmlFile.h"

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

typedef struct _xmlDoc xmlDoc;
typedef struct _xmlNode xmlNode;

namespace pontrel {

// One record of a data group: its direct `dato` children, read by position from 0. It views fields that
// its document holds, and is valid as long as that document.
class YedraRecord {
  public:
    // A field whose content is one text node has that text (UTF-8) copied out of the tree; any other
    // field keeps its element, whose content is gathered when it is read.
    struct Field {
        std::string_view text;
        const xmlNode* element = nullptr;
    };
    // `count` fields from `fields` on, in document order; `number` is the record's place in its group.
    YedraRecord(const Field* fields, std::size_t count, std::size_t number)
        : fields_(fields), count_(count), number_(number) {}
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
    const Field* fields_;
    std::size_t count_;
    std::size_t number_;
};

class YedraDocument {
  public:
    static YedraDocument load(const std::filesystem::path& file);
    // The document read and checked whole, as load() does, keeping only its outline: everything
    // outside the root, the root, the academic year, and the records of the data groups named in
    // `groups` (what the timetable document or the frame choice needs). Asking it for the records of
    // any other group is an error.
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

    // The underlying tree, for writing a document from it (XmlOutput). Whoever takes it may change it,
    // so the selections after this call walk the tree anew.
    xmlDoc* xml() const;

  private:
    struct DocDeleter {
        void operator()(xmlDoc* d) const;
    };
    struct Selection;
    YedraDocument(std::filesystem::path path, xmlDoc* doc);
    static YedraDocument load(const std::filesystem::path& file, const KeepBranch& keep);
    const Selection& select(std::string_view group) const;
    std::filesystem::path path_;
    std::unique_ptr<xmlDoc, DocDeleter> doc_;
    std::optional<std::vector<std::string>> keptGroups_; // an outline's groups; nullopt: every group
    // A group is walked once: the export selects some groups twice, and each walk of a large tree is
    // a cache miss per node. Earlier selections stay alive (records view their fields) until the
    // document goes; `treeVersion_` tells those made before xml() handed the tree out.
    mutable std::vector<std::unique_ptr<Selection>> selections_;
    mutable unsigned treeVersion_ = 0;
};

} // namespace pontrel
