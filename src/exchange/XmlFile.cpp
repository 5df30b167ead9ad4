#include "exchange/XmlFile.h"

#include "dbf/Error.h"
#include "exchange/XmlEncodings.h"

#include <libxml/SAX2.h>
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xmlerror.h>

#include <climits>
#include <cstring>
#include <fstream>
#include <memory>
#include <optional>
#include <string>

namespace pontrel {

namespace {

struct ParseProblem {
    int code = 0;
    int line = 0;
    std::string reason;
};

// The first error of the current parse on this thread. libxml2 reports errors through a callback;
// the first one names the cause, the ones after it are usually its consequences.
thread_local std::optional<ParseProblem>* currentProblem = nullptr;
// The context that parses the file itself. Entity text is parsed by inner contexts whose lines count
// from the entity's own start; the file's line is what the user can look up.
thread_local xmlParserCtxt* currentContext = nullptr;

int documentLine(const xmlError& e) {
    const xmlParserCtxt* outer = currentContext;
    const bool fromTheFileItself = e.ctxt == outer && outer != nullptr && outer->inputNr <= 1;
    if (fromTheFileItself || outer == nullptr || outer->inputNr < 1 || outer->inputTab[0] == nullptr)
        return e.line;
    return outer->inputTab[0]->line;
}

std::string textOf(const char* s) {
    return s == nullptr ? std::string() : std::string(s);
}

std::string quoted(const char* s) {
    return "«" + textOf(s) + "»";
}

// The parser's reason in Spanish for the errors that a hand-edited or truncated document gives;
// anything rarer keeps libxml2's own English text.
std::string spanishReason(const xmlError& e) {
    switch (e.code) {
    case XML_ERR_DOCUMENT_EMPTY:
        return "el documento está vacío";
    case XML_ERR_DOCUMENT_END:
        return "hay contenido después del final del elemento raíz";
    case XML_ERR_TAG_NAME_MISMATCH:
        return "la etiqueta de cierre " + quoted(e.str2) + " no corresponde a la etiqueta " + quoted(e.str1) +
               " abierta en la línea " + std::to_string(e.int1);
    case XML_ERR_TAG_NOT_FINISHED:
        return "el documento termina sin cerrar la etiqueta " + quoted(e.str1) + " abierta en la línea " +
               std::to_string(e.int1);
    case XML_ERR_LTSLASH_REQUIRED:
        return "falta una etiqueta de cierre";
    case XML_ERR_GT_REQUIRED:
        return "falta el carácter «>» que cierra una etiqueta";
    case XML_ERR_NAME_REQUIRED:
        return "falta un nombre de elemento, de atributo o de entidad (un «&» o un «<» sueltos se escriben "
               "&amp; y &lt;)";
    case XML_ERR_LT_IN_ATTRIBUTE:
        return "hay un carácter «<» dentro del valor de un atributo";
    case XML_ERR_ATTRIBUTE_NOT_STARTED:
    case XML_ERR_ATTRIBUTE_WITHOUT_VALUE:
    case XML_ERR_EQUAL_REQUIRED:
    case XML_ERR_STRING_NOT_STARTED:
    case XML_ERR_STRING_NOT_CLOSED:
        return "un atributo no tiene su valor entre comillas";
    case XML_ERR_ATTRIBUTE_REDEFINED:
        return "el atributo " + quoted(e.str1) + " aparece dos veces";
    case XML_ERR_UNDECLARED_ENTITY:
        return "la entidad " + quoted(e.str1) + " no está declarada";
    case XML_ERR_ENTITYREF_SEMICOL_MISSING:
        return "falta el «;» de una referencia a entidad (un «&» suelto)";
    case XML_ERR_ENTITY_LOOP:
        return "las entidades del documento se expanden sin fin (referencia circular o expansión desmedida)";
    case XML_ERR_INVALID_CHAR:
        if (e.message != nullptr && std::strstr(e.message, "UTF-8") != nullptr)
            return "el texto no está escrito en la codificación que declara el documento (UTF-8 si no "
                   "declara "
                   "ninguna)";
        return "hay un carácter que XML no admite";
    case XML_ERR_INVALID_CHARREF:
    case XML_ERR_INVALID_DEC_CHARREF:
    case XML_ERR_INVALID_HEX_CHARREF:
        return "hay un carácter que XML no admite";
    case XML_ERR_INVALID_ENCODING:
        return "el texto no está escrito en la codificación que declara el documento";
    case XML_ERR_UNSUPPORTED_ENCODING:
        return "la codificación " + quoted(e.str1) + " no está admitida";
    case XML_ERR_RESERVED_XML_NAME:
        return "la declaración XML no está al principio del documento";
    default:
        break;
    }
    std::string reason = textOf(e.message);
    while (!reason.empty() && (reason.back() == '\n' || reason.back() == ' '))
        reason.pop_back();
    return "error del analizador XML: " + reason;
}

void collectError(void*, xmlErrorPtr error) {
    if (currentProblem == nullptr || error == nullptr || error->level < XML_ERR_ERROR ||
        currentProblem->has_value())
        return;
    *currentProblem = ParseProblem{error->code, documentLine(*error), spanishReason(*error)};
}

// Routes libxml2's error reports of this thread to collectError while one file is parsed, and gives
// back whatever handler was there before.
class ErrorCapture {
  public:
    ErrorCapture(std::optional<ParseProblem>& problem, xmlParserCtxt* context)
        : previousProblem_(currentProblem), previousParser_(currentContext),
          previousHandler_(xmlStructuredError), previousContext_(xmlStructuredErrorContext) {
        currentProblem = &problem;
        currentContext = context;
        xmlSetStructuredErrorFunc(nullptr, collectError);
    }
    ~ErrorCapture() {
        xmlSetStructuredErrorFunc(previousContext_, previousHandler_);
        currentProblem = previousProblem_;
        currentContext = previousParser_;
    }
    ErrorCapture(const ErrorCapture&) = delete;
    ErrorCapture& operator=(const ErrorCapture&) = delete;

  private:
    std::optional<ParseProblem>* previousProblem_;
    xmlParserCtxt* previousParser_;
    xmlStructuredErrorFunc previousHandler_;
    void* previousContext_;
};

// The branch policy of the parse under way on this thread, and whether the branch being read is kept.
struct BranchPruning {
    const KeepBranch* keep = nullptr;
    bool insideKeptBranch = false;
};
thread_local BranchPruning* currentPruning = nullptr;

// Only the file's own context prunes: entity text parsed by an inner context builds the entity's
// own node list, which stays whole.
BranchPruning* pruningFor(void* context) {
    return context == currentContext ? currentPruning : nullptr;
}

void startElementPruning(void* context, const xmlChar* localName, const xmlChar* prefix, const xmlChar* uri,
                         int namespaceCount, const xmlChar** namespaces, int attributeCount,
                         int defaultedCount, const xmlChar** attributes) {
    xmlSAX2StartElementNs(context, localName, prefix, uri, namespaceCount, namespaces, attributeCount,
                          defaultedCount, attributes);
    auto* parser = static_cast<xmlParserCtxt*>(context);
    BranchPruning* pruning = pruningFor(context);
    // The element just started is the innermost open one; the root is the first.
    if (pruning != nullptr && parser->node != nullptr && parser->nodeNr == 3)
        pruning->insideKeptBranch = (*pruning->keep)(parser->node);
}

void endElementPruning(void* context, const xmlChar* localName, const xmlChar* prefix, const xmlChar* uri) {
    auto* parser = static_cast<xmlParserCtxt*>(context);
    xmlNode* ending = parser->node;
    const int depth = parser->nodeNr - 1; // the root's is 0
    xmlSAX2EndElementNs(context, localName, prefix, uri);
    BranchPruning* pruning = pruningFor(context);
    if (pruning == nullptr || ending == nullptr || depth < 2 || pruning->insideKeptBranch ||
        ending->children == nullptr)
        return;
    // The element itself stays, empty: text that follows it must not join the text before it.
    xmlFreeNodeList(ending->children);
    ending->children = nullptr;
    ending->last = nullptr;
}

struct ContextDeleter {
    void operator()(xmlParserCtxt* c) const { xmlFreeParserCtxt(c); }
};

} // namespace

xmlDoc* parseXmlFile(const std::filesystem::path& file, const KeepBranch& keep) {
    const std::string name = file.string();

    // Read by us rather than by libxml2, so that the path is taken literally (no URI escapes) and a
    // read failure gets its own message.
    std::ifstream in(file, std::ios::binary | std::ios::ate);
    if (!in)
        throw Error("No se puede abrir el archivo «" + name + "».");
    const std::streamoff size = in.tellg();
    if (size < 0)
        throw Error("No se puede leer el archivo «" + name + "».");
    if (size > static_cast<std::streamoff>(kMaxDocumentBytes))
        throw Error("El archivo «" + name + "» ocupa " + std::to_string(size / (1024 * 1024)) +
                    " MB y supera el límite de " + std::to_string(kMaxDocumentBytes / (1024 * 1024)) +
                    " MB de un documento XML de Yedra (el de un centro de 6.000 profesores ocupa unos "
                    "10 MB). No se ha leído.");
    std::string bytes(static_cast<std::size_t>(size), '\0');
    in.seekg(0);
    if (!in.read(bytes.data(), size))
        throw Error("No se puede leer el archivo «" + name + "».");

    registerXmlEncodings();
    std::unique_ptr<xmlParserCtxt, ContextDeleter> context(xmlNewParserCtxt());
    if (!context)
        throw Error("No hay memoria suficiente para leer el archivo «" + name + "».");

    std::optional<ParseProblem> problem;
    xmlDoc* doc = nullptr;
    {
        ErrorCapture capture(problem, context.get());
        context->sax->serror = collectError;
        BranchPruning pruning{&keep};
        if (keep) {
            context->sax->startElementNs = startElementPruning;
            context->sax->endElementNs = endElementPruning;
        }
        struct PruningScope {
            BranchPruning* previous = currentPruning;
            ~PruningScope() { currentPruning = previous; }
        } scope;
        currentPruning = keep ? &pruning : nullptr;
        // NONET: nothing is fetched from the network. Without NOENT and DTDLOAD an external entity is
        // never read, and libxml2's entity checks stop a billion-laughs document.
        doc = xmlCtxtReadMemory(context.get(), bytes.data(), static_cast<int>(bytes.size()), name.c_str(),
                                nullptr, XML_PARSE_NONET | XML_PARSE_NOWARNING | XML_PARSE_COMPACT);
    }
    if (doc != nullptr && context->wellFormed)
        return doc;
    if (doc != nullptr)
        xmlFreeDoc(doc);

    const int line = problem ? problem->line : 0;
    const std::string reason = problem ? problem->reason : "el analizador XML no pudo leerlo";
    throw Error("El archivo «" + name + "» no es un documento XML válido (línea " + std::to_string(line) +
                ": " + reason + ").");
}

} // namespace pontrel
