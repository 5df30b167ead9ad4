#include "import/TimetableDocumentWriter.h"

#include "dbf/CodePage.h"
#include "dbf/Error.h"
#include "exchange/Ansi.h"
#include "exchange/XmlEncodings.h"
#include "platform/Files.h"
#include "platform/Regional.h"
#include "platform/SystemError.h"

#include <libxml/encoding.h>
#include <libxml/tree.h>
#include <libxml/xmlIO.h>
#include <libxml/xmlerror.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>
#include <utility>

namespace pontrel::importing {

namespace {

// libxml2's last error in Spanish.
std::string lastXmlMessage() {
    const xmlError* error = xmlGetLastError();
    if (!error || error->code == XML_ERR_OK)
        return "error desconocido de la biblioteca XML";
    return xmlErrorReason(*error);
}

// Why a file operation failed, in the user's words.
std::string systemReason(int error) {
    return platform::errorReason(error);
}

// Writes `bytes` to a temporary file in the target's folder and renames it over the target, so a
// failure at any point leaves an earlier output as it was (Yedra rejects a half-written file).
void replaceAtomically(const std::filesystem::path& target, const char* bytes, std::size_t size) {
    const auto failure = platform::replaceFile(target, std::string_view(bytes, size));
    if (!failure)
        return;
    const std::string shown = target.string();
    switch (failure.step) {
    case platform::ReplaceStep::Create:
        throw Error("No se pudo guardar el documento de horarios \xC2\xAB" + shown +
                    "\xC2\xBB: no se puede escribir en su carpeta (" + systemReason(failure.error) + ").");
    case platform::ReplaceStep::Write:
        throw Error("No se pudo guardar el documento de horarios \xC2\xAB" + shown +
                    "\xC2\xBB: la escritura fall\xC3\xB3 (" + systemReason(failure.error) +
                    "). El documento anterior, si lo hab\xC3\xAD"
                    "a, no se ha modificado.");
    default:
        throw Error("No se pudo guardar el documento de horarios \xC2\xAB" + shown +
                    "\xC2\xBB: no se puede reemplazar (" + systemReason(failure.error) +
                    "). El documento anterior, si lo hab\xC3\xAD"
                    "a, no se ha modificado.");
    }
}


// What collects before it goes to libxml2's output buffer.
constexpr std::size_t kPassOnSize = 1 << 16;

// What a byte of an element's text needs when written: nothing, an entity (& < > and the carriage
// return, which a reader would otherwise turn into a line feed; quotes stay as they are), or, above
// 0x7F, the conversion of its text from Windows-1252.
enum ByteNeed : unsigned char { kAsIs, kEntity, kHigh };

constexpr std::array<unsigned char, 256> kByteNeeds = [] {
    std::array<unsigned char, 256> needs{};
    needs['&'] = needs['<'] = needs['>'] = needs['\r'] = kEntity;
    for (unsigned i = 0x80; i < 256; ++i)
        needs[i] = kHigh;
    return needs;
}();

std::string_view entityOf(char c) {
    switch (c) {
    case '&': return "&amp;";
    case '<': return "&lt;";
    case '>': return "&gt;";
    default: return "&#13;"; // the carriage return
    }
}

// The length of the leading part of `text` that is written as it is.
std::size_t plainPrefix(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && kByteNeeds[static_cast<unsigned char>(text[i])] == kAsIs)
        ++i;
    return i;
}

// Element text escaped as libxml2's serializer escapes a text node, from text without bytes above
// 0x7F (ASCII, or UTF-8 that is passed through).
void appendEscapedText(std::string& out, std::string_view text) {
    std::size_t from = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (kByteNeeds[static_cast<unsigned char>(text[i])] != kEntity)
            continue;
        out.append(text.data() + from, i - from);
        out += entityOf(text[i]);
        from = i + 1;
    }
    out.append(text.data() + from, text.size() - from);
}

// An attribute value escaped as libxml2 escapes one: also the quote and the white space that a
// reader would normalise to a blank.
void appendEscapedAttribute(std::string& out, std::string_view text) {
    for (const char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\n': out += "&#10;"; break;
        case '\r': out += "&#13;"; break;
        case '\t': out += "&#9;"; break;
        default: out += c;
        }
    }
}

// Element text as appendEscapedText escapes it, from a Windows-1252 text written straight as
// ISO-8859-1: the codes 0x80 to 0x9F that Windows-1252 gives to other characters (the euro sign,
// typographic quotes) become decimal references, as libxml2 writes a character that the encoding
// lacks; the five codes it leaves unassigned stay the C1 controls of the same value.
void appendEscapedLatin1(std::string& out, std::string_view ansiText) {
    static const std::array<std::string, 32> high = [] {
        std::array<std::string, 32> forms;
        for (unsigned i = 0; i < forms.size(); ++i) {
            const char32_t code = dbf::codepage::unicodeOf(dbf::codepage::CodePage::Windows1252,
                                                           static_cast<unsigned char>(0x80 + i));
            forms[i] = code <= 0xFF ? std::string(1, static_cast<char>(code))
                                    : "&#" + std::to_string(static_cast<unsigned>(code)) + ";";
        }
        return forms;
    }();
    std::size_t from = 0;
    for (std::size_t i = 0; i < ansiText.size(); ++i) {
        const auto byte = static_cast<unsigned char>(ansiText[i]);
        const bool entity = kByteNeeds[byte] == kEntity;
        if (!entity && (byte < 0x80 || byte >= 0xA0))
            continue; // ISO-8859-1 has it at the same code
        out.append(ansiText.data() + from, i - from);
        out += entity ? entityOf(ansiText[i]) : std::string_view(high[byte - 0x80]);
        from = i + 1;
    }
    out.append(ansiText.data() + from, ansiText.size() - from);
}

// How the texts of `pending` are encoded: UTF-8 for libxml2's converter, or ISO-8859-1 already.
enum class TextForm { Utf8, Latin1 };

// The value of a `dato`, escaped, from its Windows-1252 text. Most values (keys, codes, numbers,
// dates) are plain ASCII and go in with one copy.
void appendDatoValue(std::string& out, std::string_view ansiValue, TextForm form) {
    const std::size_t plain = plainPrefix(ansiValue);
    if (plain == ansiValue.size()) {
        out.append(ansiValue);
        return;
    }
    const std::string_view rest = ansiValue.substr(plain);
    if (form == TextForm::Utf8 &&
        std::any_of(rest.begin(), rest.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; })) {
        appendEscapedText(out, ansi::toUtf8(ansiValue));
        return;
    }
    // ASCII is the same in both forms, and appendEscapedLatin1 leaves it as appendEscapedText does.
    out.append(ansiValue.data(), plain);
    appendEscapedLatin1(out, rest);
}

// The markup of one `dato` at one indent: what comes before its value, what after, and the whole
// empty element.
class DatoMarkup {
  public:
    DatoMarkup(std::string_view indent, std::string_view name) {
        open_.append(indent).append("<dato nombre_dato=\"").append(name).append("\">");
        empty_.append(indent).append("<dato nombre_dato=\"").append(name).append("\"/>\n");
    }

    // One `dato` on a line of its own. An empty value gives an empty element. A value passed to
    // libxml2 as a C string ended at its first NUL: the text does here too, and the element keeps
    // its end tag.
    void append(std::string& out, std::string_view ansiValue, TextForm form = TextForm::Utf8) const {
        if (ansiValue.empty()) {
            out += empty_;
            return;
        }
        out += open_;
        appendDatoValue(out, ansiValue.substr(0, ansiValue.find('\0')), form);
        out += std::string_view("</dato>\n");
    }

  private:
    std::string open_;
    std::string empty_;
};

// The data items of the document, each at the indent where it stands.
struct DatoMarkups {
    DatoMarkup academicYear{"      ", "C_ANNO"};
    DatoMarkup employee{"        ", "X_EMPLEADO"};
    DatoMarkup postDate{"        ", "F_TOMAPOS"};
    DatoMarkup weekDay{"          ", "N_DIASEMANA"};
    DatoMarkup slot{"          ", "X_TRAMO"};
    DatoMarkup room{"          ", "X_DEPENDENCIA"};
    DatoMarkup unit{"          ", "X_UNIDAD"};
    DatoMarkup offer{"          ", "X_OFERTAMATRIG"};
    DatoMarkup subject{"          ", "X_MATERIAOMG"};
    DatoMarkup start{"          ", "F_INICIO"};
    DatoMarkup end{"          ", "F_FIN"};
    DatoMarkup startMinute{"          ", "N_HORINI"};
    DatoMarkup endMinute{"          ", "N_HORFIN"};
    DatoMarkup activity{"          ", "X_ACTIVIDAD"};
};

const DatoMarkups& datos() {
    static const DatoMarkups markups;
    return markups;
}

// A count in decimal.
void appendCount(std::string& out, std::size_t count) {
    char digits[24];
    const auto written = std::to_chars(digits, digits + sizeof digits, count);
    out.append(digits, written.ptr);
}

} // namespace

std::string regionalTimestamp() {
    return platform::regionalDateTime(platform::localTime(std::time(nullptr)));
}

std::filesystem::path timetableDocumentPath(const std::filesystem::path& documentPath) {
    return documentPath.parent_path() / ("ResultadoDastel" + documentPath.filename().string());
}

// The document under construction. Markup and text collect in `pending` and go to libxml2's output
// buffer in large pieces; its encoding handler converts them to the declared encoding (a character
// that the encoding lacks becomes a character reference) and hands the bytes to the file.
struct TimetableDocumentWriter::Output {
    std::filesystem::path target; // the output that the loaded document's path gives
    std::filesystem::path folder; // where the temporary file lies
    std::string encoding;
    platform::TemporaryFile file; // beside the output, put in its place by SaveDocument
    int writeError = 0;           // system error of the first failed write
    bool discarding = false; // set when the document is abandoned: nothing more reaches the file
    xmlOutputBuffer* buffer = nullptr;
    std::string pending;
    bool latin1 = false;     // the encoding is ISO-8859-1, which the texts can be written in directly
    bool direct = false;     // pending holds ISO-8859-1 and goes to the file as it is

    ~Output() {
        discarding = true;
        if (buffer)
            xmlOutputBufferClose(buffer);
    }

    std::string shown() const { return target.string(); }

    [[noreturn]] void failWrite(int error) const {
        throw Error("No se pudo guardar el documento de horarios \xC2\xAB" + shown() +
                    "\xC2\xBB: la escritura fall\xC3\xB3 (" + systemReason(error) +
                    "). El documento anterior, si lo hab\xC3\xAD"
                    "a, no se ha modificado.");
    }

    static int write(void* context, const char* bytes, int size) {
        auto* out = static_cast<Output*>(context);
        if (out->discarding)
            return size;
        if (const int error = out->file.write(bytes, static_cast<std::size_t>(size))) {
            out->writeError = error;
            return -1;
        }
        return size;
    }

    // The file stays ours: it is flushed and put in place after the buffer is gone.
    static int keepOpen(void*) { return 0; }

    // A killed run leaves no file behind where the system allows it (see platform::TemporaryFile).
    void openTemporary() {
        if (const int error = file.create(target))
            throw Error("No se pudo guardar el documento de horarios \xC2\xAB" + shown() +
                        "\xC2\xBB: no se puede escribir en su carpeta (" + systemReason(error) + ").");
    }

    void open(const std::filesystem::path& output, const char* declaredEncoding) {
        target = output;
        folder = target.parent_path().empty() ? std::filesystem::path(".") : target.parent_path();
        encoding = declaredEncoding;
        registerXmlEncodings();
        xmlCharEncodingHandler* handler = xmlFindCharEncodingHandler(encoding.c_str());
        if (!handler)
            throw Error("No se pudo preparar el documento de horarios \xC2\xAB" + shown() +
                        "\xC2\xBB en la codificaci\xC3\xB3n " + encoding + ": " + lastXmlMessage());
        try {
            openTemporary();
        } catch (...) {
            xmlCharEncCloseFunc(handler);
            throw;
        }
        latin1 = handler->name != nullptr && std::strcmp(handler->name, "ISO-8859-1") == 0;
        buffer = xmlOutputBufferCreateIO(&Output::write, &Output::keepOpen, this, handler);
        if (!buffer) {
            xmlCharEncCloseFunc(handler);
            throw Error("No se pudo preparar el documento de horarios \xC2\xAB" + shown() + "\xC2\xBB: " +
                        lastXmlMessage());
        }
    }

    void passOn() {
        if (pending.empty())
            return;
        if (direct) {
            const int written = write(this, pending.data(), static_cast<int>(pending.size()));
            pending.clear();
            if (written < 0)
                failWrite(writeError);
            return;
        }
        const int written = xmlOutputBufferWrite(buffer, static_cast<int>(pending.size()), pending.data());
        pending.clear();
        if (written < 0)
            failBuffer();
    }

    // Once the start of the document is out, ISO-8859-1 (the encoding of the documents that Yedra
    // exports) is written directly: the texts go from Windows-1252 to ISO-8859-1 without the round
    // trip through UTF-8 and libxml2's converter, which cost more than the rest of the writing.
    void goDirect() {
        if (!latin1 || direct)
            return;
        if (xmlOutputBufferFlush(buffer) < 0)
            failBuffer();
        direct = true;
    }

    [[noreturn]] void failBuffer() const {
        if (writeError != 0)
            failWrite(writeError);
        throw Error("No se pudo preparar el documento de horarios \xC2\xAB" + shown() +
                    "\xC2\xBB en la codificaci\xC3\xB3n " + encoding + ": " + lastXmlMessage());
    }
};

TimetableDocumentWriter::TimetableDocumentWriter(std::function<std::string()> clock)
    : clock_(std::move(clock)) {}

TimetableDocumentWriter::~TimetableDocumentWriter() = default;
TimetableDocumentWriter::TimetableDocumentWriter(TimetableDocumentWriter&&) noexcept = default;
TimetableDocumentWriter& TimetableDocumentWriter::operator=(TimetableDocumentWriter&&) noexcept = default;

void TimetableDocumentWriter::require(bool started, const char* operation) const {
    if (!started)
        throw Error(std::string("Error interno del documento de horarios: ") + operation +
                    " llamado fuera de orden.");
}

void TimetableDocumentWriter::passOn(bool whole) {
    if (whole || output_->pending.size() >= kPassOnSize)
        output_->passOn();
}

void TimetableDocumentWriter::StartDocument(YedraDocument document, std::string_view academicYear) {
    const std::string stamp = clock_();
    output_.reset(); // a document started again begins anew
    timetablesOpen_ = false;
    teacherOpen_ = false;
    teacherNumber_ = 1;
    activityNumber_ = 1;

    xmlDoc* doc = document.xml();
    // The declaration's encoding is kept; a document without one is written as UTF-8.
    const char* encoding = doc->encoding ? reinterpret_cast<const char*>(doc->encoding) : "UTF-8";
    auto output = std::make_unique<Output>();
    xmlResetLastError();
    output->open(timetableDocumentPath(document.path()), encoding);
    std::string& out = output->pending;

    // The declaration as libxml2 writes a document's: its version, the encoding, its standalone.
    out += "<?xml version=\"";
    out += doc->version ? reinterpret_cast<const char*>(doc->version) : "1.0";
    out += "\" encoding=\"";
    out += encoding;
    out += '"';
    if (doc->standalone == 0)
        out += " standalone=\"no\"";
    else if (doc->standalone == 1)
        out += " standalone=\"yes\"";
    out += "?>\n";
    // Every node outside the old root, unchanged and in its order; the new root comes after them all.
    const xmlNode* oldRoot = xmlDocGetRootElement(doc);
    for (xmlNode* node = doc->children; node != nullptr; node = node->next) {
        if (node == oldRoot)
            continue;
        output->passOn();
        xmlNodeDumpOutput(output->buffer, doc, node, 0, 1, encoding);
        out += '\n';
    }

    out += "<SERVICIO modulo=\"HORARIOS\" tipo=\"I\" autor=\"HORARIOS\" fecha=\"";
    appendEscapedAttribute(out, stamp);
    out += "\">\n  <BLOQUE_DATOS>\n    <grupo_datos seq=\"ANNO_ACADEMICO\">\n";
    datos().academicYear.append(out, academicYear);
    out += "    </grupo_datos>\n";
    output_ = std::move(output);
    passOn(true);
    output_->goDirect();
}

void TimetableDocumentWriter::closeTimetables() {
    if (!timetablesOpen_)
        return;
    // A block without teachers is an empty element.
    output_->pending += teacherOpen_ ? "      </grupo_datos>\n    </grupo_datos>\n" : "/>\n";
    timetablesOpen_ = false;
    teacherOpen_ = false;
}

void TimetableDocumentWriter::StartTimetables(std::size_t teacherCount) {
    require(output_ != nullptr, "StartTimetables");
    closeTimetables();
    std::string& out = output_->pending;
    out += "    <grupo_datos seq=\"HORARIOS_REGULARES\" registros=\"";
    out += std::to_string(teacherCount);
    out += '"'; // closed by the first teacher, or as an empty element
    timetablesOpen_ = true;
}

void TimetableDocumentWriter::AddTeacher(std::string_view employeeKey, std::string_view postDate,
                                         std::size_t activityCount) {
    require(output_ != nullptr && timetablesOpen_, "AddTeacher");
    std::string& out = output_->pending;
    out += teacherOpen_ ? "      </grupo_datos>\n" : ">\n";
    out += std::string_view("      <grupo_datos seq=\"HORARIO_REGULAR_PROFESOR_");
    appendCount(out, teacherNumber_);
    out += std::string_view("\" registros=\"");
    appendCount(out, activityCount);
    out += std::string_view("\">\n");
    const TextForm form = output_->direct ? TextForm::Latin1 : TextForm::Utf8;
    datos().employee.append(out, employeeKey, form);
    datos().postDate.append(out, postDate, form);
    teacherOpen_ = true;
    ++teacherNumber_;
    activityNumber_ = 1;
    passOn(false);
}

void TimetableDocumentWriter::AddActivity(const ActivityValues& v) {
    require(output_ != nullptr && teacherOpen_, "AddActivity");
    std::string& out = output_->pending;
    const TextForm form = output_->direct ? TextForm::Latin1 : TextForm::Utf8;
    out += std::string_view("        <grupo_datos seq=\"ACTIVIDAD_");
    appendCount(out, activityNumber_);
    out += std::string_view("\">\n");
    const DatoMarkups& d = datos();
    d.weekDay.append(out, v.N_DIASEMANA, form);
    d.slot.append(out, v.X_TRAMO, form);
    d.room.append(out, v.X_DEPENDENCIA, form);
    d.unit.append(out, v.X_UNIDAD, form);
    d.offer.append(out, v.X_OFERTAMATRIG, form);
    d.subject.append(out, v.X_MATERIAOMG, form);
    d.start.append(out, v.F_INICIO, form);
    d.end.append(out, v.F_FIN, form);
    d.startMinute.append(out, v.N_HORINI, form);
    d.endMinute.append(out, v.N_HORFIN, form);
    d.activity.append(out, v.X_ACTIVIDAD, form);
    out += std::string_view("        </grupo_datos>\n");
    ++activityNumber_;
    passOn(false);
}

std::filesystem::path TimetableDocumentWriter::SaveDocument(const std::filesystem::path& documentPath) {
    require(output_ != nullptr, "SaveDocument");
    // Whatever happens from here, the document is finished: a failed save leaves no temporary file.
    closeTimetables();
    const std::unique_ptr<Output> output = std::move(output_);
    Output& file = *output;
    file.pending += "  </BLOQUE_DATOS>\n</SERVICIO>\n";
    file.passOn();
    if (xmlOutputBufferFlush(file.buffer) < 0)
        file.failBuffer();
    xmlOutputBufferClose(file.buffer);
    file.buffer = nullptr;
    if (file.writeError != 0)
        file.failWrite(file.writeError);

    const auto target = timetableDocumentPath(documentPath);
    std::error_code ec;
    const auto targetFolder = target.parent_path().empty() ? std::filesystem::path(".") : target.parent_path();
    if (!std::filesystem::equivalent(targetFolder, file.folder, ec)) {
        // Saved under another folder than the loaded document's: the bytes go there through a
        // temporary file of that folder.
        std::string bytes;
        if (const int error = file.file.readAll(bytes))
            file.failWrite(error);
        replaceAtomically(target, bytes.data(), bytes.size());
        return target;
    }
    if (const int error = file.file.commit(target))
        throw Error("No se pudo guardar el documento de horarios \xC2\xAB" + target.string() +
                    "\xC2\xBB: no se puede reemplazar (" + systemReason(error) +
                    "). El documento anterior, si lo hab\xC3\xAD"
                    "a, no se ha modificado.");
    return target;
}

} // namespace pontrel::importing
