#include "exchange/YedraDocument.h"

#include "dbf/Error.h"
#include "exchange/Ansi.h"
#include "exchange/XmlFile.h"
#include "platform/Utf8Path.h"

#include <libxml/parser.h>
#include <libxml/tree.h>

#include <algorithm>
#include <cstring>
#include <system_error>
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

bool hasSeq(const xmlNode* group, std::string_view seq) {
    for (const xmlAttr* attr = group->properties; attr != nullptr; attr = attr->next) {
        if (attr->ns != nullptr || std::strcmp(reinterpret_cast<const char*>(attr->name), "seq") != 0)
            continue;
        xmlChar* value = xmlNodeGetContent(reinterpret_cast<const xmlNode*>(attr));
        const bool equal = value != nullptr && seq == reinterpret_cast<const char*>(value);
        xmlFree(value);
        return equal;
    }
    return false;
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

} // namespace

std::string YedraRecord::value(std::size_t position) const {
    if (position >= count_)
        return {};
    const Field& field = fields_[position];
    // Bytes up to 32 never occur inside a UTF-8 sequence, so the trimming can precede the conversion.
    if (field.element == nullptr)
        return ansi::fromUtf8(ansi::trimControls(field.text));
    const std::string text = contentOf(field.element);
    return ansi::fromUtf8(ansi::trimControls(text));
}

std::string YedraRecord::rawValue(std::size_t position) const {
    if (position >= count_)
        return {};
    const Field& field = fields_[position];
    if (field.element == nullptr)
        return ansi::fromUtf8(field.text);
    return ansi::fromUtf8(contentOf(field.element));
}

std::string YedraRecord::text(std::size_t position) const {
    if (position >= count_)
        return {};
    const Field& field = fields_[position];
    if (field.element == nullptr)
        return std::string(ansi::trimControls(field.text));
    return std::string(ansi::trimControls(contentOf(field.element)));
}

// Every record of one group as the tree stood at `treeVersion`, their fields side by side in one array.
// The texts sit together in `texts`, so that the steps read them without a cache miss per tree node.
struct YedraDocument::Selection {
    std::string group;
    unsigned treeVersion = 0;
    std::string texts;
    std::vector<YedraRecord::Field> fields;
    std::vector<YedraRecord> records;
};

void YedraDocument::DocDeleter::operator()(xmlDoc* d) const {
    xmlFreeDoc(d);
}

YedraDocument::YedraDocument(std::filesystem::path path, xmlDoc* doc) : path_(std::move(path)), doc_(doc) {}
YedraDocument::YedraDocument(YedraDocument&&) noexcept = default;
YedraDocument& YedraDocument::operator=(YedraDocument&&) noexcept = default;
YedraDocument::~YedraDocument() = default;

namespace {

// The first child of the first /SERVICIO/BLOQUE_DATOS that is not whitespace-only text: where
// academicYearSource() reads. `branch` is an element two levels below the root.
bool isAcademicYearBranch(const xmlNode* branch) {
    const xmlNode* block = branch->parent;
    if (block == nullptr || !isElement(block, "BLOQUE_DATOS"))
        return false;
    for (const xmlNode* earlier = block->prev; earlier != nullptr; earlier = earlier->prev)
        if (isElement(earlier, "BLOQUE_DATOS"))
            return false;
    for (const xmlNode* earlier = branch->prev; earlier != nullptr; earlier = earlier->prev)
        if (!isWhitespaceOnlyText(earlier))
            return false;
    return true;
}

// A data group that select() reads for one of `groups`.
bool isOneOfTheGroups(const xmlNode* branch, const std::vector<std::string>& groups) {
    if (groups.empty() || branch->parent == nullptr || !isElement(branch->parent, "BLOQUE_DATOS") ||
        !isElement(branch, "grupo_datos"))
        return false;
    for (const std::string& group : groups)
        if (hasSeq(branch, group))
            return true;
    return false;
}

} // namespace

YedraDocument YedraDocument::load(const std::filesystem::path& file) {
    return load(file, KeepBranch());
}

YedraDocument YedraDocument::loadOutline(const std::filesystem::path& file, std::vector<std::string> groups) {
    const KeepBranch keep = [&groups](const xmlNode* branch) {
        return isAcademicYearBranch(branch) || isOneOfTheGroups(branch, groups);
    };
    YedraDocument document = load(file, keep);
    document.keptGroups_ = std::move(groups);
    return document;
}

YedraDocument YedraDocument::load(const std::filesystem::path& file, const KeepBranch& keep) {
    std::error_code ec;
    if (!std::filesystem::exists(file, ec))
        throw Error("No existe el documento de Yedra «" + displayPath(file) + "».");
    if (!std::filesystem::is_regular_file(file, ec))
        throw Error("«" + displayPath(file) + "» no es un archivo: elija un documento de Yedra.");

    xmlDoc* doc = parseXmlFile(file, keep);
    YedraDocument document(file, doc);

    // A well-formed file of another kind would read as a document without data groups, and every
    // table of the working folder would be replaced by an empty one: refuse it before anything is touched.
    const xmlNode* root = xmlDocGetRootElement(doc);
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

xmlDoc* YedraDocument::xml() const {
    ++treeVersion_;
    return doc_.get();
}

std::vector<YedraRecord> YedraDocument::records(std::string_view group) const {
    return select(group).records;
}

std::vector<YedraRecord> YedraDocument::loopRecords(std::string_view group) const {
    const std::vector<YedraRecord>& all = select(group).records;
    std::vector<YedraRecord> result;
    result.reserve(all.size());
    for (const YedraRecord& record : all)
        if (record.fieldCount() >= 2)
            result.push_back(record);
    return result;
}

const YedraDocument::Selection& YedraDocument::select(std::string_view group) const {
    if (keptGroups_ && std::find(keptGroups_->begin(), keptGroups_->end(), group) == keptGroups_->end())
        throw Error("Error interno: se piden los registros de " + std::string(group) +
                    " a un documento cargado sin ellos.");
    for (const auto& selection : selections_)
        if (selection->treeVersion == treeVersion_ && selection->group == group)
            return *selection;

    auto selection = std::make_unique<Selection>();
    selection->group = std::string(group);
    selection->treeVersion = treeVersion_;
    // Offsets first: the texts and the field array grow while they are filled, and views may only point
    // into them once they have stopped moving.
    struct Gathered {
        const xmlNode* element; // null when the text was copied
        std::size_t offset, length;
    };
    std::vector<Gathered> gathered;
    std::vector<std::pair<std::size_t, std::size_t>> spans;
    const xmlNode* root = xmlDocGetRootElement(doc_.get());
    // /SERVICIO/BLOQUE_DATOS/grupo_datos[@seq="GROUP"]/grupo_datos, walked along the child axis.
    for (const xmlNode* block = root == nullptr ? nullptr : root->children; block != nullptr;
         block = block->next) {
        if (!isElement(block, "BLOQUE_DATOS"))
            continue;
        for (const xmlNode* g = block->children; g != nullptr; g = g->next) {
            if (!isElement(g, "grupo_datos") || !hasSeq(g, group))
                continue;
            for (const xmlNode* record = g->children; record != nullptr; record = record->next) {
                if (!isElement(record, "grupo_datos"))
                    continue;
                const std::size_t first = gathered.size();
                for (const xmlNode* child = record->children; child != nullptr; child = child->next) {
                    if (!isElement(child, "dato"))
                        continue;
                    if (const char* text = singleText(child)) {
                        const std::size_t length = std::strlen(text);
                        gathered.push_back({nullptr, selection->texts.size(), length});
                        selection->texts.append(text, length);
                    } else {
                        gathered.push_back({child, 0, 0});
                    }
                }
                spans.emplace_back(first, gathered.size() - first);
            }
        }
    }
    selection->fields.reserve(gathered.size());
    for (const Gathered& g : gathered)
        selection->fields.push_back(
            {std::string_view(selection->texts).substr(g.offset, g.length), g.element});
    selection->records.reserve(spans.size());
    for (std::size_t i = 0; i < spans.size(); ++i)
        selection->records.emplace_back(selection->fields.data() + spans[i].first, spans[i].second, i + 1);
    selections_.push_back(std::move(selection));
    return *selections_.back();
}

std::optional<std::string> YedraDocument::academicYearSource() const {
    const xmlNode* root = xmlDocGetRootElement(doc_.get());
    if (root == nullptr)
        return std::nullopt;
    for (const xmlNode* block = root->children; block != nullptr; block = block->next) {
        if (!isElement(block, "BLOQUE_DATOS"))
            continue;
        // Only the first BLOQUE_DATOS counts, whether or not it has a child.
        for (const xmlNode* child = block->children; child != nullptr; child = child->next) {
            if (isWhitespaceOnlyText(child))
                continue;
            std::string text;
            appendSignificantText(child, text);
            return ansi::fromUtf8(text);
        }
        return std::nullopt;
    }
    return std::nullopt;
}

} // namespace pontrel
