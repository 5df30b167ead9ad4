#include "exchange/yedra/XmlFile.h"

#include "dbf/Error.h"
#include "exchange/yedra/XmlEncodings.h"
#include "platform/Utf8Path.h"

#include <libxml/SAX2.h>
#include <libxml/encoding.h>
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xmlerror.h>
#include <libxml/xmlreader.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace pontrel {

namespace {

struct ParseProblem {
    int code = 0;
    int line = 0;
    std::string reason;
    std::string message; // libxml2's own, never shown: some reasons are read from it
};

Error outOfMemory(const std::string& name) {
    return Error("No hay memoria suficiente para leer el archivo «" + name +
                 "». Cierre otros programas y vuelva a intentarlo.");
}

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

} // namespace

// libxml2's reasons in Spanish, with the names the error carries. Its own English texts never reach
// the user: a rare error still gets a Spanish reason of its kind and libxml2's number for it.
std::string xmlErrorReason(const xmlError& e) {
    switch (e.code) {
    case XML_ERR_DOCUMENT_EMPTY:
    case XML_ERR_DOCUMENT_START:
        return "el documento no tiene ningún elemento";
    case XML_ERR_DOCUMENT_END:
    case XML_ERR_EXTRA_CONTENT:
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
    case XML_ERR_LT_REQUIRED:
        return "falta el carácter «<» que abre una etiqueta";
    case XML_ERR_NAME_REQUIRED:
    case XML_ERR_ENTITYREF_NO_NAME:
    case XML_ERR_PEREF_NO_NAME:
        return "falta un nombre de elemento, de atributo o de entidad (un «&» o un «<» sueltos se escriben "
               "&amp; y &lt;)";
    case XML_ERR_NAME_TOO_LONG:
        return "un nombre de elemento, de atributo o de entidad es demasiado largo";
    case XML_ERR_LT_IN_ATTRIBUTE:
        return "hay un carácter «<» dentro del valor de un atributo";
    case XML_ERR_ATTRIBUTE_NOT_STARTED:
    case XML_ERR_ATTRIBUTE_NOT_FINISHED:
    case XML_ERR_ATTRIBUTE_WITHOUT_VALUE:
    case XML_ERR_EQUAL_REQUIRED:
    case XML_ERR_STRING_NOT_STARTED:
    case XML_ERR_STRING_NOT_CLOSED:
    case XML_ERR_VALUE_REQUIRED:
        return "un atributo no tiene su valor entre comillas";
    case XML_ERR_ATTRIBUTE_REDEFINED:
    case XML_NS_ERR_ATTRIBUTE_REDEFINED:
        return "el atributo " + quoted(e.str1) + " aparece dos veces";
    case XML_ERR_SPACE_REQUIRED:
        return "falta un espacio entre dos partes de una etiqueta o de una declaración";
    case XML_ERR_UNDECLARED_ENTITY:
    case XML_WAR_UNDECLARED_ENTITY:
        return "la entidad " + quoted(e.str1) + " no está declarada";
    case XML_ERR_UNPARSED_ENTITY:
    case XML_ERR_ENTITY_IS_EXTERNAL:
    case XML_ERR_ENTITY_IS_PARAMETER:
        return "la entidad " + quoted(e.str1) + " no se puede usar en ese lugar";
    case XML_ERR_ENTITYREF_SEMICOL_MISSING:
    case XML_ERR_PEREF_SEMICOL_MISSING:
        return "falta el «;» de una referencia a entidad (un «&» suelto)";
    case XML_ERR_CHARREF_AT_EOF:
    case XML_ERR_CHARREF_IN_PROLOG:
    case XML_ERR_CHARREF_IN_EPILOG:
    case XML_ERR_CHARREF_IN_DTD:
    case XML_ERR_ENTITYREF_AT_EOF:
    case XML_ERR_ENTITYREF_IN_PROLOG:
    case XML_ERR_ENTITYREF_IN_EPILOG:
    case XML_ERR_ENTITYREF_IN_DTD:
    case XML_ERR_PEREF_AT_EOF:
    case XML_ERR_PEREF_IN_PROLOG:
    case XML_ERR_PEREF_IN_EPILOG:
    case XML_ERR_PEREF_IN_INT_SUBSET:
        return "hay una referencia a un carácter o a una entidad fuera del elemento raíz";
    case XML_ERR_ENTITY_LOOP:
        return "las entidades del documento se expanden sin fin (referencia circular o expansión desmedida)";
    case XML_ERR_NOT_WELL_BALANCED:
    case XML_ERR_ENTITY_BOUNDARY:
        return "el texto de una entidad abre o cierra etiquetas sin emparejar";
    case XML_ERR_INVALID_CHAR:
        if (e.message != nullptr && std::strstr(e.message, "UTF-8") != nullptr)
            return "el texto no está escrito en la codificación que declara el documento (UTF-8 si no "
                   "declara ninguna)";
        return "hay un carácter que XML no admite";
    case XML_ERR_INVALID_CHARREF:
    case XML_ERR_INVALID_DEC_CHARREF:
    case XML_ERR_INVALID_HEX_CHARREF:
        return "hay un carácter que XML no admite";
    case XML_ERR_INVALID_ENCODING:
        return "el texto no está escrito en la codificación que declara el documento";
    case XML_ERR_UNSUPPORTED_ENCODING:
    case XML_ERR_UNKNOWN_ENCODING:
        return "la codificación " + quoted(e.str1) + " no está admitida";
    case XML_ERR_ENCODING_NAME:
    case XML_ERR_MISSING_ENCODING:
        return "el nombre de la codificación de la declaración XML no es válido";
    case XML_ERR_RESERVED_XML_NAME:
        return "la declaración XML no está al principio del documento";
    case XML_ERR_XMLDECL_NOT_STARTED:
    case XML_ERR_XMLDECL_NOT_FINISHED:
    case XML_ERR_VERSION_MISSING:
    case XML_ERR_UNKNOWN_VERSION:
    case XML_ERR_STANDALONE_VALUE:
        return "la declaración XML del principio («<?xml ...?>») está incompleta o mal escrita";
    case XML_ERR_COMMENT_NOT_FINISHED:
        return "un comentario no termina con «-->»";
    case XML_ERR_HYPHEN_IN_COMMENT:
        return "un comentario contiene «--»";
    case XML_ERR_PI_NOT_STARTED:
    case XML_ERR_PI_NOT_FINISHED:
        return "una instrucción de proceso no termina con «?>»";
    case XML_ERR_CDATA_NOT_FINISHED:
        return "una sección CDATA no termina con «]]>»";
    case XML_ERR_MISPLACED_CDATA_END:
        return "hay un «]]>» fuera de una sección CDATA";
    case XML_ERR_NS_DECL_ERROR:
    case XML_NS_ERR_XML_NAMESPACE:
    case XML_NS_ERR_QNAME:
    case XML_NS_ERR_EMPTY:
    case XML_NS_ERR_COLON:
        return "un espacio de nombres está mal declarado o mal usado";
    case XML_NS_ERR_UNDEFINED_NAMESPACE:
        return "el prefijo de espacio de nombres " + quoted(e.str1) + " no está declarado";
    case XML_ERR_NO_MEMORY:
        return "no hay memoria suficiente para leerlo";
    case XML_I18N_CONV_FAILED:
        return "el texto no está escrito en la codificación que declara el documento";
    case XML_ERR_INTERNAL_ERROR:
        // The one internal error a document provokes: nesting deeper than the parser allows.
        if (e.message != nullptr && std::strstr(e.message, "depth") != nullptr)
            return "los elementos están anidados a más de " + std::to_string(e.int1 > 0 ? e.int1 : 256) +
                   " niveles de profundidad";
        break;
    default:
        break;
    }
    if (e.code >= XML_ERR_LITERAL_NOT_STARTED && e.code <= XML_ERR_DOCTYPE_NOT_FINISHED)
        return "la declaración de tipo de documento («<!DOCTYPE ...>») está incompleta o mal escrita";
    if (e.domain == XML_FROM_IO || (e.code >= XML_IO_UNKNOWN && e.code < XML_XINCLUDE_RECURSION))
        return "falló una lectura o escritura (error " + std::to_string(e.code) + " de la biblioteca XML)";
    return "el documento no es XML bien formado (error " + std::to_string(e.code) + " del analizador XML)";
}

namespace {

void collectError(void*, xmlErrorPtr error) {
    if (currentProblem == nullptr || error == nullptr || error->level < XML_ERR_ERROR ||
        currentProblem->has_value())
        return;
    *currentProblem = ParseProblem{error->code, documentLine(*error), xmlErrorReason(*error),
                                   error->message != nullptr ? error->message : ""};
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

// The reader told of the elements of the parse under way on this thread, how deep the element is
// that it keeps whole (-1 when none is open), and the element whose content it takes as texts.
struct ReadingAlong {
    XmlReadAlong* along = nullptr;
    int keptFrom = -1;
    int textsFrom = -1;  // the depth of the element read as texts; -1 when none is open
    int textsInside = 0; // elements open inside it
    // The handlers that build the tree's text and other content, called outside such an element.
    charactersSAXFunc characters = nullptr;
    charactersSAXFunc whitespace = nullptr;
    charactersSAXFunc cdata = nullptr; // a CDATA section's handler takes the same arguments
    commentSAXFunc comment = nullptr;
    processingInstructionSAXFunc instruction = nullptr;
    referenceSAXFunc reference = nullptr;
};
thread_local ReadingAlong* currentAlong = nullptr;

// Only the file's own context is followed: entity text parsed by an inner context builds the entity's
// own node list, which stays whole.
ReadingAlong* alongFor(void* context) {
    return context == currentContext ? currentAlong : nullptr;
}

// Inside an element read as texts, for the parse of the file itself.
ReadingAlong* readingTexts(void* context) {
    ReadingAlong* reading = alongFor(context);
    return reading != nullptr && reading->textsFrom >= 0 ? reading : nullptr;
}

// An element's text content takes in the text of the entities that its references name. The document's
// own declarations make such text; a reference to an entity that it does not declare has none.
bool declaresEntities(const xmlParserCtxt* parser) {
    const xmlDtd* dtd = parser->myDoc != nullptr ? parser->myDoc->intSubset : nullptr;
    return dtd != nullptr && (dtd->entities != nullptr || dtd->pentities != nullptr);
}

void startElementAlong(void* context, const xmlChar* localName, const xmlChar* prefix, const xmlChar* uri,
                       int namespaceCount, const xmlChar** namespaces, int attributeCount, int defaultedCount,
                       const xmlChar** attributes) {
    auto* parser = static_cast<xmlParserCtxt*>(context);
    if (ReadingAlong* reading = readingTexts(context)) {
        ++reading->textsInside;
        reading->along->textElementStarted(reinterpret_cast<const char*>(localName), uri != nullptr,
                                           reading->textsFrom + reading->textsInside);
        return;
    }
    const int openBefore = parser->nodeNr;
    xmlSAX2StartElementNs(context, localName, prefix, uri, namespaceCount, namespaces, attributeCount,
                          defaultedCount, attributes);
    ReadingAlong* reading = alongFor(context);
    // The element just started is the innermost open one; the root is the first.
    if (reading == nullptr || parser->nodeNr != openBefore + 1 || parser->node == nullptr)
        return;
    const int depth = parser->nodeNr - 1;
    switch (reading->along->started(parser->node, depth)) {
    case XmlReadAlong::Keep::Whole:
        if (reading->keptFrom < 0)
            reading->keptFrom = depth;
        break;
    case XmlReadAlong::Keep::Texts:
        if (reading->keptFrom < 0 && !declaresEntities(parser)) {
            reading->textsFrom = depth;
            reading->textsInside = 0;
        }
        break;
    case XmlReadAlong::Keep::Nothing:
        break;
    }
}

void endElementAlong(void* context, const xmlChar* localName, const xmlChar* prefix, const xmlChar* uri) {
    if (ReadingAlong* reading = readingTexts(context)) {
        if (reading->textsInside > 0) {
            reading->along->textElementEnded(reading->textsFrom + reading->textsInside);
            --reading->textsInside;
            return;
        }
        reading->textsFrom = -1; // the element read as texts ends as any other
    }
    auto* parser = static_cast<xmlParserCtxt*>(context);
    xmlNode* ending = parser->node;
    const int depth = parser->nodeNr - 1; // the root's is 0
    xmlSAX2EndElementNs(context, localName, prefix, uri);
    ReadingAlong* reading = alongFor(context);
    if (reading == nullptr || ending == nullptr)
        return;
    reading->along->ended(ending, depth);
    if (reading->keptFrom >= 0 && reading->keptFrom < depth)
        return;
    reading->keptFrom = -1;
    xmlNode* parent = ending->parent;
    if (depth < 1 || parent == nullptr || parent->type != XML_ELEMENT_NODE)
        return;
    // The element goes with everything before it: whitespace between records would otherwise gather
    // into one text node as long as the group.
    xmlFreeNodeList(parent->children);
    parent->children = nullptr;
    parent->last = nullptr;
}

// Text inside an element read as texts goes to the reader; elsewhere to the handler that makes the
// tree's node for it (`handler`: characters, blanks or a CDATA section).
template <charactersSAXFunc ReadingAlong::*handler>
void textAlong(void* context, const xmlChar* text, int length) {
    if (ReadingAlong* reading = readingTexts(context))
        reading->along->text(
            std::string_view(reinterpret_cast<const char*>(text), static_cast<std::size_t>(length)));
    else if (ReadingAlong* along = currentAlong; along != nullptr && along->*handler != nullptr)
        (along->*handler)(context, text, length);
}

// What has no text (a comment, a processing instruction) is left out inside an element read as texts,
// and so is a reference, since no entity is declared there to give it text; elsewhere it goes to the
// handler that makes the tree's node for it.
template <auto ReadingAlong::*handler, typename... Arguments>
void outsideTextsAlong(void* context, Arguments... arguments) {
    if (readingTexts(context) != nullptr)
        return;
    if (ReadingAlong* along = currentAlong; along != nullptr && along->*handler != nullptr)
        (along->*handler)(context, arguments...);
}

struct ContextDeleter {
    void operator()(xmlParserCtxt* c) const { xmlFreeParserCtxt(c); }
};

// The size of the pieces a document is read in.
constexpr std::size_t kPieceBytes = 64 * 1024;

// Hands libxml2 what is left of `bytes` from `used` on, as much as `buffer` takes; 0 when all of it was
// handed on.
int handOn(const std::string& bytes, std::size_t& used, char* buffer, int length) {
    if (used >= bytes.size())
        return 0;
    const std::size_t n = std::min(static_cast<std::size_t>(length), bytes.size() - used);
    std::memcpy(buffer, bytes.data() + used, n);
    used += n;
    return static_cast<int>(n);
}

// A document handed to libxml2 in pieces: first the bytes already read to tell its encoding (kept
// whole: the declaration in them names the encoding in messages), then the rest from `next`, a whole
// piece at a time however little libxml2 asks for at once (a few KiB).
struct PieceSource {
    const XmlPieces* next = nullptr;
    std::string head;
    std::size_t headUsed = 0;
    std::string piece; // the piece of the rest being handed on
    std::size_t pieceUsed = 0;
    bool failed = false;

    static int read(void* context, char* buffer, int length) {
        auto* source = static_cast<PieceSource*>(context);
        if (length <= 0)
            return 0;
        if (const int n = handOn(source->head, source->headUsed, buffer, length); n > 0)
            return n;
        if (const int n = handOn(source->piece, source->pieceUsed, buffer, length); n > 0)
            return n;
        source->piece.resize(kPieceBytes);
        const long got = (*source->next)(source->piece.data(), source->piece.size());
        if (got < 0) {
            source->failed = true;
            return -1;
        }
        source->piece.resize(static_cast<std::size_t>(got));
        source->pieceUsed = 0;
        return handOn(source->piece, source->pieceUsed, buffer, length);
    }
    static int close(void*) { return 0; }
};

// How the first bytes say the file is encoded: a byte-order mark, or, without one, the first
// character «<» in an encoding wider than a byte, as XML's detection of encodings reads them.
struct ByteOrderMark {
    std::size_t length = 0;         // of the mark; 0 when the encoding was read from the first «<»
    const char* encoding = nullptr; // libxml2's name; null when the bytes say nothing
    std::size_t unit = 1;           // bytes per character unit: 1, 2 or 4
    bool bigEndian = false;
    bool ebcdic = false; // «<?xm» in EBCDIC: the declaration names the code page, libxml2 reads it
};

ByteOrderMark byteOrderMarkOf(std::string_view bytes) {
    const auto startsWith = [&](std::string_view prefix) { return bytes.rfind(prefix, 0) == 0; };
    const auto at = [&](std::size_t i) {
        return i < bytes.size() ? static_cast<unsigned char>(bytes[i]) : -1;
    };
    using namespace std::string_view_literals;
    if (startsWith("\xEF\xBB\xBF"sv))
        return {3, "UTF-8", 1, false};
    // UTF-32's marks before UTF-16's, whose little-endian mark begins the same way (libxml2 itself
    // takes FF FE 00 00 for UTF-16).
    if (startsWith("\xFF\xFE\0\0"sv))
        return {4, "UTF-32LE", 4, false};
    if (startsWith("\0\0\xFE\xFF"sv))
        return {4, "UTF-32BE", 4, true};
    // "UTF-16" is little-endian to libxml2, and written back with its mark.
    if (startsWith("\xFF\xFE"sv))
        return {2, "UTF-16", 2, false};
    if (startsWith("\xFE\xFF"sv))
        return {2, "UTF-16BE", 2, true};
    // No mark: a document starts with «<» (its declaration, or its root).
    if (startsWith("\0\0\0<"sv))
        return {0, "UTF-32BE", 4, true};
    if (startsWith("<\0\0\0"sv))
        return {0, "UTF-32LE", 4, false};
    if (at(0) == 0 && at(1) == '<' && at(2) == 0 && at(3) > 0)
        return {0, "UTF-16BE", 2, true};
    if (at(0) == '<' && at(1) == 0 && at(2) > 0 && at(3) == 0)
        return {0, "UTF-16LE", 2, false};
    if (startsWith("\x4C\x6F\xA7\x94"sv))
        return {0, nullptr, 1, false, true};
    return {};
}

// What messages call the encoding that the first bytes give.
std::string encodingName(const ByteOrderMark& mark) {
    if (mark.ebcdic)
        return "EBCDIC";
    return mark.encoding == std::string_view("UTF-16") ? "UTF-16LE" : mark.encoding;
}

// The first character after the mark that is not XML white space; -1 when there is none.
long firstSignificant(std::string_view bytes, const ByteOrderMark& mark) {
    const std::size_t step = mark.unit;
    for (std::size_t i = mark.length; i + step <= bytes.size(); i += step) {
        unsigned long code = 0;
        for (std::size_t k = 0; k < step; ++k) {
            const auto byte = static_cast<unsigned char>(bytes[i + (mark.bigEndian ? k : step - 1 - k)]);
            code = code << 8 | byte;
        }
        if (code == ' ' || code == '\t' || code == '\r' || code == '\n')
            continue;
        return static_cast<long>(code);
    }
    return -1;
}

// libxml2 names the bytes that its converter could not take ("bytes 0x81 0x3C 0x2F 0x64") and reports
// them on line 1, before any line was read: their line is found where they stand in the file, read
// again in pieces. 0 when they cannot be placed (an encoding wider than a byte, bytes not named).
int lineOfUnconvertibleBytes(const std::filesystem::path& file, const ByteOrderMark& mark,
                             const char* message) {
    if (message == nullptr || mark.unit != 1)
        return 0;
    const char* named = std::strstr(message, "bytes ");
    if (named == nullptr)
        return 0;
    std::string sought;
    for (const char* p = named + 6; sought.size() < 4;) {
        unsigned value = 0;
        int used = 0;
        if (std::sscanf(p, " 0x%2X%n", &value, &used) != 1)
            break;
        sought += static_cast<char>(value);
        p += used;
    }
    if (sought.empty())
        return 0;
    std::ifstream in(file, std::ios::binary);
    std::string window; // the piece just read, after the bytes of the one before that a match may start in
    std::string piece(kPieceBytes, '\0');
    long long linesBefore = 0; // line ends in the bytes already dropped from the window
    while (in.read(piece.data(), static_cast<std::streamsize>(piece.size())) || in.gcount() > 0) {
        window.append(piece.data(), static_cast<std::size_t>(in.gcount()));
        const std::size_t at = window.find(sought);
        if (at != std::string::npos)
            return static_cast<int>(
                1 + linesBefore +
                std::count(window.begin(), window.begin() + static_cast<std::ptrdiff_t>(at), '\n'));
        const std::size_t dropped = window.size() - std::min(window.size(), sought.size() - 1);
        linesBefore +=
            std::count(window.begin(), window.begin() + static_cast<std::ptrdiff_t>(dropped), '\n');
        window.erase(0, dropped);
    }
    return 0;
}

// The encoding that the declaration of a file in a byte-wide encoding names; "" when it names none.
std::string declaredEncoding(std::string_view bytes, const ByteOrderMark& mark) {
    if (mark.unit != 1 || mark.ebcdic)
        return {};
    const std::string_view head = bytes.substr(mark.length, 200);
    if (head.rfind("<?xml", 0) != 0)
        return {};
    const std::size_t end = head.find("?>");
    const std::size_t at = head.substr(0, end).find("encoding");
    if (at == std::string_view::npos)
        return {};
    const std::size_t open = head.find_first_of("\"'", at);
    const std::size_t close = open == std::string_view::npos ? open : head.find(head[open], open + 1);
    if (close == std::string_view::npos || close > end)
        return {};
    return std::string(head.substr(open + 1, close - open - 1));
}

// Content that a parse which never reads outside the file leaves out: a reference to an external
// entity, an XInclude. Left silently, the field that holds it would read as empty.
struct UnloadedContent {
    int line = 0;
    std::string what;
};
thread_local std::optional<UnloadedContent>* currentUnloaded = nullptr;

void noteUnloaded(void* context, std::string what) {
    if (currentUnloaded == nullptr || currentUnloaded->has_value())
        return;
    const auto* parser = static_cast<xmlParserCtxt*>(context);
    const int line = parser != nullptr && parser->input != nullptr ? parser->input->line : 0;
    *currentUnloaded = UnloadedContent{line, std::move(what)};
}

void referenceNoting(void* context, const xmlChar* name) {
    auto* parser = static_cast<xmlParserCtxt*>(context);
    const xmlEntity* entity = parser != nullptr ? xmlGetDocEntity(parser->myDoc, name) : nullptr;
    if (entity != nullptr && (entity->etype == XML_EXTERNAL_GENERAL_PARSED_ENTITY ||
                              entity->etype == XML_EXTERNAL_GENERAL_UNPARSED_ENTITY))
        noteUnloaded(context, "la entidad externa «" + textOf(reinterpret_cast<const char*>(name)) +
                                  "», que hace referencia a «" +
                                  textOf(reinterpret_cast<const char*>(entity->SystemID)) + "»");
    xmlSAX2Reference(context, name);
}

bool isXInclude(const xmlChar* uri) {
    const char* u = reinterpret_cast<const char*>(uri);
    return u != nullptr && (std::strcmp(u, "http://www.w3.org/2001/XInclude") == 0 ||
                            std::strcmp(u, "http://www.w3.org/2003/XInclude") == 0);
}

// The element start that the tree is built with, pruned or not.
thread_local startElementNsSAX2Func currentStartElement = nullptr;

void startElementNoting(void* context, const xmlChar* localName, const xmlChar* prefix, const xmlChar* uri,
                        int namespaceCount, const xmlChar** namespaces, int attributeCount,
                        int defaultedCount, const xmlChar** attributes) {
    if (isXInclude(uri)) {
        std::string href;
        // Attributes come as five pointers each: local name, prefix, URI, value start, value end.
        for (int i = 0; i < attributeCount; ++i) {
            const xmlChar** a = attributes + 5 * i;
            if (std::strcmp(reinterpret_cast<const char*>(a[0]), "href") == 0)
                href.assign(reinterpret_cast<const char*>(a[3]), reinterpret_cast<const char*>(a[4]));
        }
        noteUnloaded(context, "la inclusión XInclude «" + textOf(reinterpret_cast<const char*>(localName)) +
                                  "» de «" + href + "»");
    }
    currentStartElement(context, localName, prefix, uri, namespaceCount, namespaces, attributeCount,
                        defaultedCount, attributes);
}

void discardMessage(void*, const char*, ...) {}

} // namespace

void quietXmlLibrary() {
    // Errors that no handler of ours collects (those of writing, above all) would be printed on the
    // standard error output in English; the callers report them in Spanish instead.
    xmlSetGenericErrorFunc(nullptr, discardMessage);
    xmlThrDefSetGenericErrorFunc(nullptr, discardMessage);
}

xmlDoc* parseXmlFile(const std::filesystem::path& file, XmlReadAlong* along) {
    const std::string name = platform::utf8Of(file);

    // Read by us rather than by libxml2, so that the path is taken literally (no URI escapes) and a
    // read failure gets its own message; in pieces, so that no size of document is too large to read.
    std::ifstream in(file, std::ios::binary);
    if (!in)
        throw Error("No se puede abrir el archivo «" + name + "».");
    const XmlPieces readFile = [&in](char* data, std::size_t size) -> long {
        if (!in.read(data, static_cast<std::streamsize>(size)) && in.bad())
            return -1;
        return static_cast<long>(in.gcount());
    };
    PieceSource source;
    source.next = &readFile;
    source.head.resize(kPieceBytes);
    in.read(source.head.data(), static_cast<std::streamsize>(source.head.size()));
    if (in.bad())
        throw Error("No se puede leer el archivo «" + name + "».");
    source.head.resize(static_cast<std::size_t>(in.gcount()));
    const bool wholeInHead = source.head.size() < kPieceBytes;
    in.clear();

    // XML itself names the first character: a file that starts otherwise is no XML document at all.
    const ByteOrderMark mark = byteOrderMarkOf(source.head);
    long first = mark.ebcdic ? '<' : firstSignificant(source.head, mark);
    if (first < 0 && !wholeInHead) {
        // White space beyond the first piece: the rest is looked through, then read again from there.
        ByteOrderMark unmarked = mark;
        unmarked.length = 0;
        std::string piece(kPieceBytes, '\0');
        while (first < 0 &&
               (in.read(piece.data(), static_cast<std::streamsize>(piece.size())) || in.gcount() > 0))
            first = firstSignificant(std::string_view(piece.data(), static_cast<std::size_t>(in.gcount())),
                                     unmarked);
        if (in.bad())
            throw Error("No se puede leer el archivo «" + name + "».");
        in.clear();
        in.seekg(static_cast<std::streamoff>(source.head.size()));
    }
    if (first < 0)
        throw Error("El archivo «" + name +
                    "» no es un documento XML válido (línea 1: el documento está vacío).");
    if (first != '<')
        throw Error("El archivo «" + name +
                    "» no es un documento XML: no empieza por «<», como empieza todo documento XML (¿es "
                    "otro tipo de archivo?).");

    quietXmlLibrary();
    registerXmlEncodings();
    // libxml2 would ignore an encoding it lacks and read the bytes as UTF-8 (a build without iconv
    // has no UTF-32): the encoding is named instead.
    if (mark.encoding != nullptr) {
        xmlCharEncodingHandler* handler = xmlFindCharEncodingHandler(mark.encoding);
        if (handler == nullptr)
            throw Error(
                "El archivo «" + name + "» está escrito en " + encodingName(mark) +
                ", una codificación que Pontrel no sabe leer en este sistema. Guárdelo en UTF-8 y vuelva "
                "a intentarlo.");
        xmlCharEncCloseFunc(handler);
    }
    std::unique_ptr<xmlParserCtxt, ContextDeleter> context(xmlNewParserCtxt());
    if (!context)
        throw outOfMemory(name);

    std::optional<ParseProblem> problem;
    std::optional<UnloadedContent> unloaded;
    xmlDoc* doc = nullptr;
    {
        ErrorCapture capture(problem, context.get());
        context->sax->serror = collectError;
        ReadingAlong reading{along};
        struct AlongScope {
            ReadingAlong* previous = currentAlong;
            ~AlongScope() { currentAlong = previous; }
        } scope;
        currentAlong = along != nullptr ? &reading : nullptr;
        struct NotingScope {
            std::optional<UnloadedContent>* previous = currentUnloaded;
            startElementNsSAX2Func previousStart = currentStartElement;
            ~NotingScope() {
                currentUnloaded = previous;
                currentStartElement = previousStart;
            }
        } noting;
        currentUnloaded = &unloaded;
        context->sax->reference = referenceNoting;
        if (along != nullptr) {
            xmlSAXHandler& sax = *context->sax;
            sax.startElementNs = startElementAlong;
            sax.endElementNs = endElementAlong;
            // The parser tells blanks apart from other text (at some cost) only when the two
            // handlers differ, as they do not when blanks are kept.
            const bool blanksKept = sax.ignorableWhitespace == sax.characters;
            reading.characters = std::exchange(sax.characters, textAlong<&ReadingAlong::characters>);
            reading.whitespace =
                std::exchange(sax.ignorableWhitespace, blanksKept ? textAlong<&ReadingAlong::characters>
                                                                  : textAlong<&ReadingAlong::whitespace>);
            reading.cdata = std::exchange(sax.cdataBlock, textAlong<&ReadingAlong::cdata>);
            reading.comment =
                std::exchange(sax.comment, outsideTextsAlong<&ReadingAlong::comment, const xmlChar*>);
            reading.instruction =
                std::exchange(sax.processingInstruction,
                              outsideTextsAlong<&ReadingAlong::instruction, const xmlChar*, const xmlChar*>);
            reading.reference =
                std::exchange(sax.reference, outsideTextsAlong<&ReadingAlong::reference, const xmlChar*>);
        }
        currentStartElement = context->sax->startElementNs;
        context->sax->startElementNs = startElementNoting;
        // NONET: nothing is fetched from the network. Without NOENT and DTDLOAD an external entity is
        // never read, and libxml2's entity checks stop a billion-laughs document.
        // A byte-order mark says how the bytes are encoded, whatever the declaration claims (some
        // editors put a UTF-8 mark before a declaration of ISO-8859-1): the mark wins, as XML's
        // detection of encodings intends, and the declaration's encoding is then ignored.
        int options = XML_PARSE_NONET | XML_PARSE_NOWARNING | XML_PARSE_COMPACT;
        if (mark.encoding != nullptr)
            options |= XML_PARSE_IGNORE_ENC;
        // The encoding is given, so the mark is not handed on: libxml2 passes over a mark only in bytes it
        // already holds when it switches encodings, and it holds none of a file it reads in pieces.
        source.headUsed = mark.length;
        doc = xmlCtxtReadIO(context.get(), &PieceSource::read, &PieceSource::close, &source, name.c_str(),
                            mark.encoding, options);
    }
    if (source.failed) {
        if (doc != nullptr)
            xmlFreeDoc(doc);
        throw Error("No se puede leer el archivo «" + name + "».");
    }
    if (doc != nullptr && context->wellFormed) {
        if (unloaded) {
            xmlFreeDoc(doc);
            throw Error("El archivo «" + name + "» no se puede leer entero (línea " +
                        std::to_string(unloaded->line) + "): contiene " + unloaded->what +
                        ", y Pontrel no carga nada de fuera del documento; su contenido quedaría vacío. "
                        "Pida a Yedra el documento completo.");
        }
        return doc;
    }
    if (doc != nullptr)
        xmlFreeDoc(doc);
    // libxml2 gives up without a word only when it cannot even allocate its report.
    if (!problem || problem->code == XML_ERR_NO_MEMORY)
        throw outOfMemory(name);

    int line = problem ? problem->line : 0;
    std::string reason = problem ? problem->reason : "el analizador XML no pudo leerlo";
    // With a mark, the mark said how the text is encoded, not the declaration.
    if (problem && mark.length > 0 &&
        (problem->code == XML_ERR_INVALID_ENCODING || problem->code == XML_I18N_CONV_FAILED ||
         (problem->code == XML_ERR_INVALID_CHAR && reason.find("codificación") != std::string::npos)))
        reason = "el texto no está escrito en " + encodingName(mark) +
                 ", la codificación que indica la marca de orden de bytes del principio del archivo";
    else if (problem && problem->code == XML_I18N_CONV_FAILED) {
        line = lineOfUnconvertibleBytes(file, mark, problem->message.c_str());
        const std::string declared = declaredEncoding(source.head, mark);
        reason = "el texto no está escrito en la codificación que declara el documento" +
                 (declared.empty() ? std::string() : " («" + declared + "»)") +
                 ": tiene bytes que esa codificación no admite";
    } else if (mark.length == 0 && (mark.encoding != nullptr || mark.ebcdic))
        reason += " (el archivo está escrito en " + encodingName(mark) + ")";
    throw Error("El archivo «" + name + "» no es un documento XML válido (" +
                (line > 0 ? "línea " + std::to_string(line) + ": " : std::string()) + reason + ").");
}

std::optional<std::string> unreadableXmlReason(const XmlPieces& next) {
    const char* const unreadable = "no se pudo volver a leer lo escrito";
    quietXmlLibrary();
    registerXmlEncodings();
    PieceSource source;
    source.next = &next;
    source.head.resize(kPieceBytes);
    std::size_t filled = 0;
    while (filled < source.head.size()) {
        const long got = next(source.head.data() + filled, source.head.size() - filled);
        if (got < 0)
            return std::string(unreadable);
        if (got == 0)
            break;
        filled += static_cast<std::size_t>(got);
    }
    source.head.resize(filled);
    const ByteOrderMark mark = byteOrderMarkOf(source.head);
    int options = XML_PARSE_NONET | XML_PARSE_NOWARNING | XML_PARSE_COMPACT;
    if (mark.encoding != nullptr)
        options |= XML_PARSE_IGNORE_ENC;
    // As for the documents read: the encoding is given, the mark is not handed on.
    source.headUsed = mark.length;
    std::unique_ptr<xmlParserCtxt, ContextDeleter> context(xmlNewParserCtxt());
    if (!context)
        return std::string("no hay memoria suficiente para leerlo");
    // Only checked: the parser itself sees that the document is well-formed and encoded as it says, so
    // nothing of the root's content is built or handed anywhere (the document and its declarations
    // are, as a document's prolog needs them). Far cheaper than a tree, or a reader's passing nodes.
    xmlSAXHandler* sax = context->sax;
    sax->startElementNs = nullptr;
    sax->endElementNs = nullptr;
    sax->startElement = nullptr;
    sax->endElement = nullptr;
    sax->characters = nullptr;
    sax->ignorableWhitespace = nullptr;
    sax->cdataBlock = nullptr;
    sax->comment = nullptr;
    sax->processingInstruction = nullptr;
    sax->reference = nullptr;
    std::optional<ParseProblem> problem;
    xmlDoc* doc = nullptr;
    {
        ErrorCapture capture(problem, context.get());
        sax->serror = collectError;
        doc = xmlCtxtReadIO(context.get(), &PieceSource::read, &PieceSource::close, &source, "",
                            mark.encoding, options);
    }
    const bool wellFormed = context->wellFormed != 0;
    if (doc != nullptr)
        xmlFreeDoc(doc);
    if (source.failed)
        return std::string(unreadable);
    if (wellFormed && !problem)
        return std::nullopt;
    if (!problem)
        return std::string("el analizador XML no pudo leerlo");
    return "línea " + std::to_string(problem->line) + ": " + problem->reason;
}

std::optional<std::string> unreadableXmlReason(std::string_view bytes) {
    std::size_t at = 0;
    return unreadableXmlReason(XmlPieces([&](char* data, std::size_t size) -> long {
        const std::size_t n = std::min(size, bytes.size() - at);
        std::memcpy(data, bytes.data() + at, n);
        at += n;
        return static_cast<long>(n);
    }));
}

} // namespace pontrel
