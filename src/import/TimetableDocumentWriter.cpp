#include "import/TimetableDocumentWriter.h"

#include "dbf/Error.h"
#include "exchange/yedra/XmlEscaping.h"
#include "exchange/yedra/XmlOutput.h"
#include "platform/Utf8Path.h"

#include <charconv>
#include <utility>

namespace pontrel::importing {

namespace {

// The document as messages name it.
constexpr const char* kDocumentName = "el documento de horarios";

// The markup of one `dato` at one indent: what comes before its value, what after, and the whole
// empty element.
class DatoMarkup {
  public:
    DatoMarkup(std::string_view indent, std::string_view name) : name_(name) {
        open_.append(indent).append("<dato nombre_dato=\"").append(name).append("\">");
        empty_.append(indent).append("<dato nombre_dato=\"").append(name).append("\"/>\n");
    }

    // One `dato` on a line of its own. An empty value gives an empty element. A control character
    // that XML cannot hold (a NUL among them) is refused: written it would leave a document that no
    // reader takes, dropped it would send another value than the one given.
    void append(std::string& out, std::string_view ansiValue, xml::TextForm form) const {
        if (ansiValue.empty()) {
            out += empty_;
            return;
        }
        if (const std::size_t bad = xml::firstUnwritableByte(ansiValue); bad != std::string_view::npos)
            throw Error("No se puede escribir el dato " + name_ +
                        " en el documento de horarios: su valor contiene " +
                        xml::describeUnwritableByte(ansiValue, bad) +
                        ", que un documento XML no puede llevar. No se ha escrito nada.");
        out += open_;
        xml::appendAnsiText(out, ansiValue, form);
        out += std::string_view("</dato>\n");
    }

  private:
    std::string name_;
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

std::filesystem::path timetableDocumentPath(const std::filesystem::path& documentPath) {
    return documentPath.parent_path() /
           platform::pathFromUtf8("ResultadoDastel" + platform::utf8Of(documentPath.filename()));
}

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

void TimetableDocumentWriter::StartDocument(YedraDocument document, std::string_view academicYear) {
    const std::string stamp = clock_();
    output_.reset(); // a document started again begins anew
    timetablesOpen_ = false;
    teacherOpen_ = false;
    teacherNumber_ = 1;
    activityNumber_ = 1;

    // Everything outside the old root comes first, the new root after it all.
    auto output = std::make_unique<XmlOutput>(kDocumentName);
    output->start(document, timetableDocumentPath(document.path()));
    encodingNote_ = output->encodingNote();
    std::string& out = output->text();
    out += "<SERVICIO modulo=\"HORARIOS\" tipo=\"I\" autor=\"HORARIOS\" fecha=\"";
    xml::appendEscapedAttribute(out, stamp);
    out += "\">\n  <BLOQUE_DATOS>\n    <grupo_datos seq=\"ANNO_ACADEMICO\">\n";
    datos().academicYear.append(out, academicYear, output->textForm());
    out += "    </grupo_datos>\n";
    output->goDirect();
    output_ = std::move(output);
}

void TimetableDocumentWriter::closeTimetables() {
    if (!timetablesOpen_)
        return;
    // A block without teachers is an empty element.
    output_->text() += teacherOpen_ ? "      </grupo_datos>\n    </grupo_datos>\n" : "/>\n";
    timetablesOpen_ = false;
    teacherOpen_ = false;
}

void TimetableDocumentWriter::StartTimetables(std::size_t teacherCount) {
    require(output_ != nullptr, "StartTimetables");
    closeTimetables();
    std::string& out = output_->text();
    out += "    <grupo_datos seq=\"HORARIOS_REGULARES\" registros=\"";
    out += std::to_string(teacherCount);
    out += '"'; // closed by the first teacher, or as an empty element
    timetablesOpen_ = true;
}

void TimetableDocumentWriter::AddTeacher(std::string_view employeeKey, std::string_view postDate,
                                         std::size_t activityCount) {
    require(output_ != nullptr && timetablesOpen_, "AddTeacher");
    std::string& out = output_->text();
    out += teacherOpen_ ? "      </grupo_datos>\n" : ">\n";
    out += std::string_view("      <grupo_datos seq=\"HORARIO_REGULAR_PROFESOR_");
    appendCount(out, teacherNumber_);
    out += std::string_view("\" registros=\"");
    appendCount(out, activityCount);
    out += std::string_view("\">\n");
    const xml::TextForm form = output_->textForm();
    datos().employee.append(out, employeeKey, form);
    datos().postDate.append(out, postDate, form);
    teacherOpen_ = true;
    ++teacherNumber_;
    activityNumber_ = 1;
    output_->passOnIfFull();
}

void TimetableDocumentWriter::AddActivity(const ActivityValues& v) {
    require(output_ != nullptr && teacherOpen_, "AddActivity");
    std::string& out = output_->text();
    const xml::TextForm form = output_->textForm();
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
    output_->passOnIfFull();
}

std::filesystem::path TimetableDocumentWriter::SaveDocument(const std::filesystem::path& documentPath) {
    require(output_ != nullptr, "SaveDocument");
    // Whatever happens from here, the document is finished: a failed save leaves no temporary file.
    closeTimetables();
    const std::unique_ptr<XmlOutput> output = std::move(output_);
    output->text() += "  </BLOQUE_DATOS>\n</SERVICIO>\n";
    const auto target = timetableDocumentPath(documentPath);
    output->save(target);
    return target;
}

} // namespace pontrel::importing
