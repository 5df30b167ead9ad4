#include "exchange/yedra/YedraDocument.h"

#include "dbf/Error.h"
#include "exchange/text/Ansi.h"
#include "exchange/yedra/XmlFile.h"
#include "platform/Utf8Path.h"

#include <libxml/parser.h>
#include <libxml/tree.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <system_error>
#include <unordered_map>
#include <unordered_set>
#include <utility>

namespace pontrel {

namespace {

// Element names are tested as a location path tests them: the local name, and no namespace.
bool isElement(const xmlNode* node, const char* name) {
    return node->type == XML_ELEMENT_NODE && node->ns == nullptr &&
           std::strcmp(reinterpret_cast<const char*>(node->name), name) == 0;
}

// The text of an element whose content is one text node, as the tree holds it; null otherwise.
const char* singleText(const xmlNode* node) {
    if (node->children != nullptr && node->children == node->last && node->children->type == XML_TEXT_NODE &&
        node->children->content != nullptr)
        return reinterpret_cast<const char*>(node->children->content);
    return nullptr;
}

// The text content of a node: the concatenated text of the node and everything inside it.
std::string contentOf(const xmlNode* node) {
    // A `dato` usually holds one text node; reading it directly spares an allocation per field.
    if (const char* text = singleText(node))
        return text;
    xmlChar* text = xmlNodeGetContent(node);
    if (text == nullptr)
        return {};
    std::string result(reinterpret_cast<const char*>(text));
    xmlFree(text);
    return result;
}

// The value of a group's `seq` attribute; nullopt when it has none.
std::optional<std::string> seqOf(const xmlNode* group) {
    for (const xmlAttr* attr = group->properties; attr != nullptr; attr = attr->next) {
        if (attr->ns != nullptr || std::strcmp(reinterpret_cast<const char*>(attr->name), "seq") != 0)
            continue;
        xmlChar* value = xmlNodeGetContent(reinterpret_cast<const xmlNode*>(attr));
        if (value == nullptr)
            return std::string();
        std::string result(reinterpret_cast<const char*>(value));
        xmlFree(value);
        return result;
    }
    return std::nullopt;
}

bool isWhitespaceOnlyText(const xmlNode* node) {
    return node->type == XML_TEXT_NODE && xmlIsBlankNode(const_cast<xmlNode*>(node));
}

// Text of a node as a parser that drops whitespace-only text between elements sees it.
void appendSignificantText(const xmlNode* node, std::string& out) {
    switch (node->type) {
    case XML_TEXT_NODE:
        if (!isWhitespaceOnlyText(node) && node->content != nullptr)
            out += reinterpret_cast<const char*>(node->content);
        break;
    case XML_CDATA_SECTION_NODE:
        if (node->content != nullptr)
            out += reinterpret_cast<const char*>(node->content);
        break;
    case XML_ELEMENT_NODE:
        for (const xmlNode* child = node->children; child != nullptr; child = child->next)
            appendSignificantText(child, out);
        break;
    default:
        out += contentOf(node); // entity references, comments, processing instructions
        break;
    }
}

std::string displayPath(const std::filesystem::path& file) {
    return platform::utf8Of(file);
}

// 4.294.967.295: a size in bytes as a Spanish reader writes it.
std::string bytesText(unsigned long long size) {
    std::string digits = std::to_string(size);
    for (int at = static_cast<int>(digits.size()) - 3; at > 0; at -= 3)
        digits.insert(static_cast<std::size_t>(at), ".");
    return digits;
}

} // namespace

std::string YedraRecord::value(std::size_t position) const {
    if (position >= count_)
        return {};
    // Bytes up to 32 never occur inside a UTF-8 sequence, so the trimming can precede the conversion.
    return ansi::fromUtf8(ansi::trimControls(field(position)));
}

std::string YedraRecord::rawValue(std::size_t position) const {
    if (position >= count_)
        return {};
    return ansi::fromUtf8(field(position));
}

std::string YedraRecord::text(std::size_t position) const {
    if (position >= count_)
        return {};
    return std::string(ansi::trimControls(field(position)));
}

// The records of one data group (every group of the document with its `seq`), compactly: the texts
// of all their fields side by side in one string, a field as its place in it, a record as its first
// field.
struct YedraDocument::Group {
    std::string name;
    std::string texts;
    std::vector<YedraRecord::Field> fields;
    std::vector<std::uint32_t> firstFields; // one per record; the last record's fields run to the end

    std::size_t fieldCount(std::size_t record) const {
        const std::size_t end = record + 1 < firstFields.size() ? firstFields[record + 1] : fields.size();
        return end - firstFields[record];
    }
};

void YedraDocument::DocDeleter::operator()(xmlDoc* d) const {
    xmlFreeDoc(d);
}

YedraDocument::YedraDocument(std::filesystem::path path) : path_(std::move(path)) {}
YedraDocument::YedraDocument(YedraDocument&&) noexcept = default;
YedraDocument& YedraDocument::operator=(YedraDocument&&) noexcept = default;
YedraDocument::~YedraDocument() = default;

// What the document keeps of the file, taken as the parser goes past each element:
// /SERVICIO/BLOQUE_DATOS/grupo_datos[@seq]/grupo_datos/dato for the records, the first child node of
// the first /SERVICIO/BLOQUE_DATOS for the academic year. A record, and a group that is not kept, is
// read as texts (no nodes are made for what it holds) wherever the parser can do so, and element by
// element otherwise.
class YedraDocument::Reading final : public XmlReadAlong {
  public:
    Reading(YedraDocument& document, const std::optional<std::vector<std::string>>& wanted)
        : document_(document), wanted_(wanted) {}

    Keep started(const xmlNode* element, int depth) override {
        switch (depth) {
        case 1:
            inBlock_ = isElement(element, "BLOQUE_DATOS");
            if (inBlock_)
                ++blocks_;
            return Keep::Nothing;
        case 2:
            group_ = nullptr;
            if (inBlock_ && isElement(element, "grupo_datos"))
                group_ = groupFor(element);
            if (inBlock_ && blocks_ == 1 && !yearDecided_) {
                // The first child that is not whitespace-only text: one before this element (they are
                // all still there, since no element came before), or this element, kept whole to be
                // read when it ends.
                for (const xmlNode* earlier = element->parent->children; earlier != element;
                     earlier = earlier->next)
                    if (!isWhitespaceOnlyText(earlier)) {
                        decideYear(earlier);
                        return group_ != nullptr ? Keep::Nothing : Keep::Texts;
                    }
                yearBranch_ = true;
                return Keep::Whole;
            }
            // Nothing inside a group that is not kept is read.
            return group_ != nullptr ? Keep::Nothing : Keep::Texts;
        case 3:
            record_ = group_ != nullptr && isElement(element, "grupo_datos");
            if (record_) {
                if (group_->fields.size() >= kMaxCount)
                    failTooLarge();
                group_->firstFields.push_back(static_cast<std::uint32_t>(group_->fields.size()));
            }
            return Keep::Texts;
        case 4:
            // Read element by element: a field's content is read whole when it ends.
            return record_ && isElement(element, "dato") ? Keep::Whole : Keep::Nothing;
        default:
            return Keep::Nothing;
        }
    }

    // A record read as texts: its fields are the `dato` elements right inside it, each with the text
    // of everything inside it.
    void textElementStarted(std::string_view localName, bool inNamespace, int depth) override {
        if (record_ && depth == 4 && !inNamespace && localName == "dato") {
            inField_ = true;
            fieldStart_ = group_->texts.size();
        }
    }

    void text(std::string_view text) override {
        if (!inField_)
            return;
        group_->texts.append(text);
        if (group_->texts.size() > kMaxCount)
            failTooLarge();
    }

    void textElementEnded(int depth) override {
        if (depth != 4 || !inField_)
            return;
        inField_ = false;
        addField(fieldStart_);
    }

    void ended(const xmlNode* element, int depth) override {
        switch (depth) {
        case 1:
            if (inBlock_ && blocks_ == 1 && !yearDecided_) {
                // No element inside: the year is the first node that is not whitespace-only text.
                for (const xmlNode* child = element->children; child != nullptr; child = child->next)
                    if (!isWhitespaceOnlyText(child)) {
                        decideYear(child);
                        break;
                    }
                yearDecided_ = true;
            }
            inBlock_ = false;
            break;
        case 2:
            if (yearBranch_) {
                decideYear(element);
                yearBranch_ = false;
            }
            group_ = nullptr;
            break;
        case 3:
            record_ = false;
            break;
        case 4:
            if (record_ && isElement(element, "dato"))
                addField(element);
            break;
        default:
            break;
        }
    }

  private:
    // Offsets and counts are kept in 32 bits: a group beyond them is refused rather than read.
    static constexpr std::size_t kMaxCount = std::numeric_limits<std::uint32_t>::max();

    Group* groupFor(const xmlNode* element) {
        const std::optional<std::string> seq = seqOf(element);
        if (!seq)
            return nullptr;
        if (knownNames_.insert(*seq).second)
            document_.groupNames_.push_back(*seq);
        if (const auto found = kept_.find(*seq); found != kept_.end())
            return found->second;
        if (wanted_ && std::find(wanted_->begin(), wanted_->end(), *seq) == wanted_->end())
            return nullptr;
        document_.groups_.push_back(std::make_unique<Group>());
        Group* group = document_.groups_.back().get();
        group->name = *seq;
        kept_.emplace(*seq, group);
        return group;
    }

    void addField(const xmlNode* dato) {
        std::string& texts = group_->texts;
        const std::size_t offset = texts.size();
        // A `dato` usually holds one text node; reading it directly spares an allocation per field.
        if (const char* text = singleText(dato))
            texts.append(text);
        else
            texts += contentOf(dato);
        addField(offset);
    }

    // The field whose text runs from `offset` to the end of the group's texts.
    void addField(std::size_t offset) {
        std::string& texts = group_->texts;
        if (texts.size() > kMaxCount || group_->fields.size() >= kMaxCount)
            failTooLarge();
        group_->fields.push_back(
            {static_cast<std::uint32_t>(offset), static_cast<std::uint32_t>(texts.size() - offset)});
    }

    [[noreturn]] void failTooLarge() const {
        throw Error("El grupo de datos «" + group_->name + "» del documento «" +
                    displayPath(document_.path_) + "» es demasiado grande: sus datos ocupan más de " +
                    bytesText(kMaxCount) + " bytes o son más de " + bytesText(kMaxCount) +
                    ", el límite de lo que Pontrel guarda de un grupo. No se ha leído.");
    }

    void decideYear(const xmlNode* node) {
        std::string text;
        appendSignificantText(node, text);
        document_.academicYearSource_ = ansi::fromUtf8(text);
        yearDecided_ = true;
    }

    YedraDocument& document_;
    const std::optional<std::vector<std::string>>& wanted_;
    std::unordered_map<std::string, Group*> kept_;
    std::unordered_set<std::string> knownNames_;
    std::size_t blocks_ = 0; // BLOQUE_DATOS children of the root so far
    bool inBlock_ = false;   // inside one of them
    bool yearDecided_ = false;
    bool yearBranch_ = false; // inside the element that holds the academic year
    Group* group_ = nullptr;  // the group being read, when it is kept
    bool record_ = false;     // inside a record of it
    bool inField_ = false;    // inside a field of a record read as texts
    std::size_t fieldStart_ = 0;
};

YedraDocument YedraDocument::load(const std::filesystem::path& file) {
    return read(file, std::nullopt);
}

YedraDocument YedraDocument::loadOutline(const std::filesystem::path& file, std::vector<std::string> groups) {
    return read(file, std::move(groups));
}

YedraDocument YedraDocument::read(const std::filesystem::path& file,
                                  std::optional<std::vector<std::string>> groups) {
    std::error_code ec;
    if (!std::filesystem::exists(file, ec))
        throw Error("No existe el documento de Yedra «" + displayPath(file) + "».");
    if (!std::filesystem::is_regular_file(file, ec))
        throw Error("«" + displayPath(file) + "» no es un archivo: elija un documento de Yedra.");

    YedraDocument document(file);
    document.keptGroups_ = std::move(groups);
    Reading reading(document, document.keptGroups_);
    // The groups keep the room their texts grew into: what lies beyond them was never written, and
    // takes no memory until it is (making each group fit would copy it whole).
    document.doc_.reset(parseXmlFile(file, &reading));

    // A well-formed file of another kind would read as a document without data groups, and every
    // table of the working folder would be replaced by an empty one: refuse it before anything is touched.
    const xmlNode* root = xmlDocGetRootElement(document.doc_.get());
    if (root == nullptr || !isElement(root, "SERVICIO")) {
        const std::string rootName =
            root == nullptr ? std::string() : reinterpret_cast<const char*>(root->name);
        // A SERVICIO in a namespace is another element to the location paths that select the groups;
        // naming the namespace keeps the message from reading "is SERVICIO and must be SERVICIO".
        std::string found = "«" + rootName + "»";
        if (root != nullptr && root->ns != nullptr && root->ns->href != nullptr)
            found += " del espacio de nombres «" +
                     std::string(reinterpret_cast<const char*>(root->ns->href)) +
                     "», y debe ser «SERVICIO» sin espacio de nombres";
        else
            found += " y debe ser «SERVICIO»";
        throw Error("El archivo «" + displayPath(file) + "» no es un documento de Yedra (línea " +
                    std::to_string(root == nullptr ? 1 : xmlGetLineNo(root)) + ": el elemento raíz es " +
                    found + ").");
    }
    return document;
}

const YedraDocument::Group* YedraDocument::group(std::string_view name) const {
    if (keptGroups_ && std::find(keptGroups_->begin(), keptGroups_->end(), name) == keptGroups_->end())
        throw Error("Error interno: se piden los registros de " + std::string(name) +
                    " a un documento cargado sin ellos.");
    for (const auto& group : groups_)
        if (group->name == name)
            return group.get();
    return nullptr;
}

std::vector<YedraRecord> YedraDocument::recordsWithAtLeast(std::string_view name, std::size_t fields) const {
    std::vector<YedraRecord> result;
    const Group* g = group(name);
    if (g == nullptr)
        return result;
    result.reserve(g->firstFields.size());
    for (std::size_t r = 0; r < g->firstFields.size(); ++r)
        if (const std::size_t count = g->fieldCount(r); count >= fields)
            result.emplace_back(g->texts.data(), g->fields.data() + g->firstFields[r], count, r + 1);
    return result;
}

std::vector<YedraRecord> YedraDocument::records(std::string_view name) const {
    return recordsWithAtLeast(name, 0);
}

std::vector<YedraRecord> YedraDocument::loopRecords(std::string_view name) const {
    return recordsWithAtLeast(name, 2);
}

std::optional<std::string> YedraDocument::academicYearSource() const {
    return academicYearSource_;
}

} // namespace pontrel
