#pragma once
// Reads a written timetable document back with libxml2, independently of the writer, and walks it
// by element and attribute.

#include <libxml/parser.h>
#include <libxml/tree.h>

#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace pontrel::testing {

class XmlProbe {
  public:
    explicit XmlProbe(const std::filesystem::path& file)
        : doc_(xmlReadFile(file.string().c_str(), nullptr, XML_PARSE_NONET | XML_PARSE_NOBLANKS)) {
        if (!doc_)
            throw std::runtime_error("not well-formed XML: " + file.string());
    }
    xmlDoc* doc() const { return doc_.get(); }
    xmlNode* root() const { return xmlDocGetRootElement(doc_.get()); }

    static std::vector<xmlNode*> elements(const xmlNode* parent) {
        std::vector<xmlNode*> out;
        for (xmlNode* n = parent->children; n; n = n->next)
            if (n->type == XML_ELEMENT_NODE)
                out.push_back(n);
        return out;
    }
    static std::string name(const xmlNode* node) { return reinterpret_cast<const char*>(node->name); }
    static std::string attribute(const xmlNode* node, const char* attr) {
        xmlChar* v = xmlGetProp(node, reinterpret_cast<const xmlChar*>(attr));
        std::string s = v ? reinterpret_cast<const char*>(v) : "<none>";
        xmlFree(v);
        return s;
    }
    // Attribute names in document order.
    static std::vector<std::string> attributeNames(const xmlNode* node) {
        std::vector<std::string> out;
        for (xmlAttr* a = node->properties; a; a = a->next)
            out.push_back(reinterpret_cast<const char*>(a->name));
        return out;
    }
    static std::string text(const xmlNode* node) {
        xmlChar* v = xmlNodeGetContent(node);
        std::string s = v ? reinterpret_cast<const char*>(v) : "";
        xmlFree(v);
        return s;
    }
    // The `dato` children of a group as (nombre_dato, text) pairs.
    static std::vector<std::pair<std::string, std::string>> datos(const xmlNode* group) {
        std::vector<std::pair<std::string, std::string>> out;
        for (xmlNode* e : elements(group))
            if (name(e) == "dato")
                out.emplace_back(attribute(e, "nombre_dato"), text(e));
        return out;
    }
    // The `grupo_datos` children of a group.
    static std::vector<xmlNode*> groups(const xmlNode* parent) {
        std::vector<xmlNode*> out;
        for (xmlNode* e : elements(parent))
            if (name(e) == "grupo_datos")
                out.push_back(e);
        return out;
    }

    // /SERVICIO/BLOQUE_DATOS/grupo_datos[@seq="HORARIOS_REGULARES"]
    xmlNode* timetables() const {
        for (xmlNode* block : elements(root()))
            if (name(block) == "BLOQUE_DATOS")
                for (xmlNode* g : groups(block))
                    if (attribute(g, "seq") == "HORARIOS_REGULARES")
                        return g;
        throw std::runtime_error("no HORARIOS_REGULARES group");
    }

  private:
    struct Free {
        void operator()(xmlDoc* d) const { xmlFreeDoc(d); }
    };
    std::unique_ptr<xmlDoc, Free> doc_;
};

} // namespace pontrel::testing
