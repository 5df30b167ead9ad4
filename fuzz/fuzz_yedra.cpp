// Fuzz target: the Yedra document reader. Loads the input as a document and reads every field of
// every record of every data group it holds, raw and trimmed, and a position past the last field.
// Loads it again as the import does, keeping only its outline, which must be accepted or refused as
// the whole document is and give the same academic year and the same nodes outside the root.
// A refusal (pontrel::Error) is an accepted outcome; anything else that escapes or trips a sanitizer
// is a fault.

#include "FuzzFile.h"

#include "dbf/Error.h"
#include "exchange/yedra/YedraDocument.h"

#include <libxml/tree.h>

#include <optional>
#include <string>
#include <vector>

namespace {

// The groups the runs read, and whatever other `seq` names the document itself uses.
std::vector<std::string> groupNames(const pontrel::YedraDocument& doc) {
    std::vector<std::string> names = {"MATERIAS",           "ACTIVIDADES",       "EMPLEADOS",
                                      "DEPENDENCIAS",       "CURSOS_DEL_CENTRO", "UNIDADES",
                                      "JORNADAS_ESCOLARES", "TRAMOS_HORARIOS"};
    for (const auto& name : doc.groupNames())
        names.push_back(name);
    return names;
}

// What the timetable document keeps of a loaded document: the nodes outside the root, as written.
std::string outsideTheRoot(const pontrel::YedraDocument& doc) {
    xmlDoc* tree = doc.xml();
    const xmlNode* root = xmlDocGetRootElement(tree);
    std::string written;
    xmlBuffer* buffer = xmlBufferCreate();
    for (xmlNode* node = tree->children; node; node = node->next) {
        if (node == root)
            continue;
        xmlBufferEmpty(buffer);
        xmlNodeDump(buffer, tree, node, 0, 1);
        written.append(reinterpret_cast<const char*>(xmlBufferContent(buffer)),
                       static_cast<std::size_t>(xmlBufferLength(buffer)));
        written += '\n';
    }
    xmlBufferFree(buffer);
    return written;
}

// Every field of every record of a group, raw.
std::vector<std::string> fieldsOf(const pontrel::YedraDocument& doc, const std::string& group) {
    std::vector<std::string> fields;
    for (const auto& record : doc.records(group)) {
        fields.emplace_back("|");
        for (std::size_t i = 0; i < record.fieldCount(); ++i)
            fields.push_back(record.rawValue(i));
    }
    return fields;
}

// Loads `file` as a whole and as an outline that keeps the frame groups; both must agree on what the
// import and the frame choice read.
void compareWithOutline(const std::filesystem::path& file) {
    const std::vector<std::string> kept = {"JORNADAS_ESCOLARES", "TRAMOS_HORARIOS"};
    std::optional<pontrel::YedraDocument> whole, outline;
    std::string wholeRefusal, outlineRefusal;
    try {
        whole.emplace(pontrel::YedraDocument::load(file));
    } catch (const pontrel::Error& e) {
        wholeRefusal = e.what();
    }
    try {
        outline.emplace(pontrel::YedraDocument::loadOutline(file, kept));
    } catch (const pontrel::Error& e) {
        outlineRefusal = e.what();
    }
    if (whole.has_value() != outline.has_value() || wholeRefusal != outlineRefusal)
        __builtin_trap();
    if (!whole)
        return;
    if (whole->academicYearSource() != outline->academicYearSource() ||
        outsideTheRoot(*whole) != outsideTheRoot(*outline))
        __builtin_trap();
    for (const auto& group : kept)
        if (fieldsOf(*whole, group) != fieldsOf(*outline, group))
            __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto file = pontrel::fuzzing::scratchFolder() / "documento.xml";
    pontrel::fuzzing::writeBytes(file, data, size);
    try {
        const auto doc = pontrel::YedraDocument::load(file);
        std::size_t total = 0;
        for (const auto& name : groupNames(doc)) {
            for (const auto& record : doc.records(name))
                for (std::size_t i = 0; i <= record.fieldCount(); ++i)
                    total += record.value(i).size() + record.rawValue(i).size();
            total += doc.loopRecords(name).size();
        }
        // Keeps the reads from being optimised away.
        if (total == static_cast<std::size_t>(-1))
            __builtin_trap();
    } catch (const pontrel::Error&) {
    }
    compareWithOutline(file);
    return 0;
}
