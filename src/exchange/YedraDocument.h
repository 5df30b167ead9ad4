#pragma once
// A Yedra exchange document loaded with libxml2: never from the network, never expanding external
// entities. A file that is not well-formed XML, or whose root is not SERVICIO, is refused with a
// message that names the file, the line and the reason.

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

typedef struct _xmlDoc xmlDoc;
typedef struct _xmlNode xmlNode;

namespace pontrel {

// One record of a data group: its direct `dato` children, read by position from 0.
class YedraRecord {
  public:
    explicit YedraRecord(xmlNode* element);
    std::size_t fieldCount() const { return fields_.size(); }
    // Trimmed of codes up to 32, converted to ANSI. A position beyond the last field reads as "".
    std::string value(std::size_t position) const;
    // The same without the trimming.
    std::string rawValue(std::size_t position) const;

  private:
    std::vector<xmlNode*> fields_;
};

class YedraDocument {
  public:
    static YedraDocument load(const std::filesystem::path& file);

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

    // The underlying tree, for the timetable document writer.
    xmlDoc* xml() const { return doc_.get(); }

  private:
    struct DocDeleter {
        void operator()(xmlDoc* d) const;
    };
    YedraDocument(std::filesystem::path path, xmlDoc* doc);
    std::vector<YedraRecord> select(std::string_view group, std::size_t minimumFields) const;
    std::filesystem::path path_;
    std::unique_ptr<xmlDoc, DocDeleter> doc_;
};

} // namespace pontrel
