#include "import/TimetableDocumentWriter.h"

#include "dbf/Error.h"
#include "exchange/Ansi.h"

#include <libxml/tree.h>
#include <libxml/xmlerror.h>
#include <libxml/xmlsave.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <langinfo.h>
#include <locale.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace pontrel::importing {

namespace {

const xmlChar* X(const char* s) {
    return reinterpret_cast<const xmlChar*>(s);
}

// The regional formats may carry a time-zone part (%Z, %z) that the Windows long time format has
// not: drop it together with the blank before it.
std::string withoutTimeZone(std::string format) {
    for (const char* zone : {"%Z", "%z"}) {
        for (auto at = format.find(zone); at != std::string::npos; at = format.find(zone)) {
            auto from = at;
            while (from > 0 && format[from - 1] == ' ')
                --from;
            format.erase(from, at + 2 - from);
        }
    }
    return format;
}

std::string formatNow(locale_t locale, const std::tm& now, nl_item item, const char* fallback) {
    std::string format = locale ? nl_langinfo_l(item, locale) : "";
    if (format.empty())
        format = fallback;
    format = withoutTimeZone(format);
    char buffer[128];
    const std::size_t n = locale ? strftime_l(buffer, sizeof buffer, format.c_str(), &now, locale)
                                 : std::strftime(buffer, sizeof buffer, format.c_str(), &now);
    return std::string(buffer, n);
}

std::string lastXmlMessage() {
    const xmlError* error = xmlGetLastError();
    if (!error || !error->message)
        return "error desconocido de la biblioteca XML";
    std::string message = error->message;
    while (!message.empty() && (message.back() == '\n' || message.back() == ' '))
        message.pop_back();
    return message;
}

// Writes `bytes` to a temporary file in the target's folder and renames it over the target, so a
// failure at any point leaves an earlier output as it was (Yedra rejects a half-written file).
void replaceAtomically(const std::filesystem::path& target, const char* bytes, std::size_t size) {
    const std::string shown = target.string();
    std::string tempName = (target.parent_path() / ("." + target.filename().string() + ".XXXXXX")).string();
    const int fd = mkstemp(tempName.data());
    if (fd < 0)
        throw Error("No se pudo guardar el documento de horarios \xC2\xAB" + shown +
                    "\xC2\xBB: no se puede escribir en su carpeta (" + std::strerror(errno) + ").");
    auto fail = [&](const char* what) {
        const int saved = errno;
        ::close(fd);
        ::unlink(tempName.c_str());
        throw Error("No se pudo guardar el documento de horarios \xC2\xAB" + shown + "\xC2\xBB: " + what +
                    " (" + std::strerror(saved) +
                    "). El documento anterior, si lo hab\xC3\xAD"
                    "a, no se ha modificado.");
    };
    const mode_t mask = ::umask(0);
    ::umask(mask);
    if (::fchmod(fd, 0666 & ~mask) != 0)
        fail("no se pudieron fijar los permisos");
    for (std::size_t done = 0; done < size;) {
        const ssize_t n = ::write(fd, bytes + done, size - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            fail("la escritura fall\xC3\xB3");
        }
        done += static_cast<std::size_t>(n);
    }
    if (::fsync(fd) != 0)
        fail("la escritura fall\xC3\xB3");
    if (::close(fd) != 0) {
        const int saved = errno;
        ::unlink(tempName.c_str());
        errno = saved;
        throw Error("No se pudo guardar el documento de horarios \xC2\xAB" + shown +
                    "\xC2\xBB: " + std::strerror(saved) + ".");
    }
    if (std::rename(tempName.c_str(), target.c_str()) != 0) {
        const int saved = errno;
        ::unlink(tempName.c_str());
        throw Error("No se pudo guardar el documento de horarios \xC2\xAB" + shown +
                    "\xC2\xBB: no se puede reemplazar (" + std::strerror(saved) +
                    "). El documento anterior, si lo hab\xC3\xAD"
                    "a, no se ha modificado.");
    }
}

} // namespace

std::string regionalTimestamp() {
    const std::time_t t = std::time(nullptr);
    std::tm now{};
    localtime_r(&t, &now);
    // The user's regional settings without touching the process-wide locale.
    locale_t locale = newlocale(LC_TIME_MASK | LC_CTYPE_MASK, "", static_cast<locale_t>(0));
    if (!locale)
        locale = newlocale(LC_TIME_MASK | LC_CTYPE_MASK, "C", static_cast<locale_t>(0));
    std::string stamp =
        formatNow(locale, now, D_FMT, "%d/%m/%Y") + " " + formatNow(locale, now, T_FMT, "%H:%M:%S");
    if (locale) {
        const std::string codeset = nl_langinfo_l(CODESET, locale);
        if (codeset != "UTF-8" && codeset != "utf8")
            stamp = ansi::toUtf8(stamp); // month or AM/PM names of a Latin-1 locale
        freelocale(locale);
    }
    return stamp;
}

std::filesystem::path timetableDocumentPath(const std::filesystem::path& documentPath) {
    return documentPath.parent_path() / ("ResultadoDastel" + documentPath.filename().string());
}

TimetableDocumentWriter::TimetableDocumentWriter(std::function<std::string()> clock)
    : clock_(std::move(clock)) {}

void TimetableDocumentWriter::require(bool started, const char* operation) const {
    if (!started)
        throw Error(std::string("Error interno del documento de horarios: ") + operation +
                    " llamado fuera de orden.");
}

xmlNode* TimetableDocumentWriter::newGroup(xmlNode* parent, std::string_view seq) {
    xmlNode* group = xmlNewChild(parent, nullptr, X("grupo_datos"), nullptr);
    if (!group)
        throw Error("No se pudo crear un elemento del documento de horarios: " + lastXmlMessage());
    xmlNewProp(group, X("seq"), X(std::string(seq).c_str()));
    return group;
}

void TimetableDocumentWriter::addDato(xmlNode* parent, std::string_view name, std::string_view ansiValue) {
    // A text child, so that & < > are escaped when the document is written; no content at all for an
    // empty value, which gives an empty element in its place.
    const std::string utf8 = ansi::toUtf8(ansiValue);
    xmlNode* dato = xmlNewTextChild(parent, nullptr, X("dato"), utf8.empty() ? nullptr : X(utf8.c_str()));
    if (!dato)
        throw Error("No se pudo crear un elemento del documento de horarios: " + lastXmlMessage());
    xmlNewProp(dato, X("nombre_dato"), X(std::string(name).c_str()));
}

void TimetableDocumentWriter::StartDocument(YedraDocument document, std::string_view academicYear) {
    const std::string stamp = clock_();
    document_.emplace(std::move(document));
    xmlDoc* doc = document_->xml();
    if (xmlNode* oldRoot = xmlDocGetRootElement(doc)) {
        xmlUnlinkNode(oldRoot);
        xmlFreeNode(oldRoot);
    }
    xmlNode* root = xmlNewDocNode(doc, nullptr, X("SERVICIO"), nullptr);
    if (!root)
        throw Error("No se pudo crear el elemento SERVICIO: " + lastXmlMessage());
    xmlNewProp(root, X("modulo"), X("HORARIOS"));
    xmlNewProp(root, X("tipo"), X("I"));
    xmlNewProp(root, X("autor"), X("HORARIOS"));
    xmlNewProp(root, X("fecha"), X(stamp.c_str()));
    // Appended after every other node at document level: the new root is the document's last node.
    xmlAddChild(reinterpret_cast<xmlNode*>(doc), root);
    dataBlock_ = xmlNewChild(root, nullptr, X("BLOQUE_DATOS"), nullptr);
    xmlNode* year = newGroup(dataBlock_, "ANNO_ACADEMICO");
    addDato(year, "C_ANNO", academicYear);
    timetables_ = nullptr;
    currentTeacher_ = nullptr;
    teacherNumber_ = 1;
    activityNumber_ = 1;
}

void TimetableDocumentWriter::StartTimetables(std::size_t teacherCount) {
    require(dataBlock_ != nullptr, "StartTimetables");
    timetables_ = newGroup(dataBlock_, "HORARIOS_REGULARES");
    xmlNewProp(timetables_, X("registros"), X(std::to_string(teacherCount).c_str()));
}

void TimetableDocumentWriter::AddTeacher(std::string_view employeeKey, std::string_view postDate,
                                         std::size_t activityCount) {
    require(timetables_ != nullptr, "AddTeacher");
    currentTeacher_ = newGroup(timetables_, "HORARIO_REGULAR_PROFESOR_" + std::to_string(teacherNumber_));
    xmlNewProp(currentTeacher_, X("registros"), X(std::to_string(activityCount).c_str()));
    addDato(currentTeacher_, "X_EMPLEADO", employeeKey);
    addDato(currentTeacher_, "F_TOMAPOS", postDate);
    ++teacherNumber_;
    activityNumber_ = 1;
}

void TimetableDocumentWriter::AddActivity(const ActivityValues& v) {
    require(currentTeacher_ != nullptr, "AddActivity");
    xmlNode* activity = newGroup(currentTeacher_, "ACTIVIDAD_" + std::to_string(activityNumber_));
    addDato(activity, "N_DIASEMANA", v.N_DIASEMANA);
    addDato(activity, "X_TRAMO", v.X_TRAMO);
    addDato(activity, "X_DEPENDENCIA", v.X_DEPENDENCIA);
    addDato(activity, "X_UNIDAD", v.X_UNIDAD);
    addDato(activity, "X_OFERTAMATRIG", v.X_OFERTAMATRIG);
    addDato(activity, "X_MATERIAOMG", v.X_MATERIAOMG);
    addDato(activity, "F_INICIO", v.F_INICIO);
    addDato(activity, "F_FIN", v.F_FIN);
    addDato(activity, "N_HORINI", v.N_HORINI);
    addDato(activity, "N_HORFIN", v.N_HORFIN);
    addDato(activity, "X_ACTIVIDAD", v.X_ACTIVIDAD);
    ++activityNumber_;
}

std::filesystem::path TimetableDocumentWriter::SaveDocument(const std::filesystem::path& documentPath) {
    require(document_.has_value() && dataBlock_ != nullptr, "SaveDocument");
    xmlDoc* doc = document_->xml();
    // The declaration's encoding is kept; a document without one is written as UTF-8.
    const char* encoding = doc->encoding ? reinterpret_cast<const char*>(doc->encoding) : "UTF-8";
    xmlChar* bytes = nullptr;
    int size = 0;
    xmlResetLastError();
    xmlDocDumpFormatMemoryEnc(doc, &bytes, &size, encoding, 1);
    const auto target = timetableDocumentPath(documentPath);
    if (!bytes)
        throw Error("No se pudo preparar el documento de horarios \xC2\xAB" + target.string() +
                    "\xC2\xBB en la codificaci\xC3\xB3n " + encoding + ": " + lastXmlMessage());
    std::unique_ptr<xmlChar, void (*)(void*)> owned(bytes, [](void* p) { xmlFree(p); });
    replaceAtomically(target, reinterpret_cast<const char*>(bytes), static_cast<std::size_t>(size));
    return target;
}

} // namespace pontrel::importing
