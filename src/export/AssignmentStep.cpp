// Subject assignments: one ASIGT record for every subject of MATERIAS and every class unit of its
// course in GRUPOST, with the subject code that ASIGNOMT gave to the subject's name.

#include "export/StepTable.h"
#include "export/Steps.h"
#include "export/WholeNumber.h"

#include "dbf/Table.h"
#include "exchange/text/Ansi.h"
#include "exchange/yedra/YedraGroups.h"
#include "platform/Utf8Path.h"

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

namespace pontrel::exporting {

namespace {

using dbf::RecordBuffer;
using dbf::Table;

namespace asigt = velmora::asigt;
namespace asignomt = velmora::asignomt;
namespace grupost = velmora::grupost;
namespace materias = yedra::materias;

// A subject record without minutes counts as four hours a week.
const std::string kDefaultMinutes = "240";
// Velmora's SESIONES pattern holds at most 13 single sessions; longer subjects put the rest in front.
constexpr std::int64_t kSessionPlaces = 13;

// The name as the subject lookup compares it: only a to z upper-cased, then trimmed.
std::string nameKey(std::string_view name) {
    return std::string(ansi::trimControls(ansi::upperAsciiOnly(name)));
}

// ASIGNOMT read once: name key -> COD of the first record with that key (even when its COD is empty,
// since the first match decides).
std::unordered_map<std::string, std::string> readSubjectCodes(const std::filesystem::path& folder) {
    Table subjects = openRunTable(folder, asignomt::layout(), dbf::Access::ReadOnly);
    std::unordered_map<std::string, std::string> codes;
    codes.reserve(subjects.recordCount());
    for (std::size_t r = 0; r < subjects.recordCount(); ++r)
        codes.emplace(nameKey(subjects.text(r, asignomt::kNombre)), subjects.text(r, asignomt::kCod));
    subjects.close();
    return codes;
}

std::int64_t weeklyHours(std::int32_t minutes) {
    // Rounded up: 90 minutes are 2 hours, 60 are 1; nothing below one hour.
    std::int64_t hours = minutes / 60 + (minutes % 60 > 0 ? 1 : 0);
    return hours < 1 ? 1 : hours;
}

std::string sessionPattern(std::int64_t hours) {
    if (hours <= kSessionPlaces)
        return std::string(static_cast<std::size_t>(hours), '1');
    return std::to_string(hours - kSessionPlaces) + std::string(kSessionPlaces, '1');
}

} // namespace

void assignmentStep(ExportContext& context) {
    auto tables = recreateStepTables(context.tablesFolder, {asigt::layout()});
    Table& assignments = tables[0];
    assignments.appendOnly();
    Table units = openRunTable(context.tablesFolder, grupost::layout(), dbf::Access::ReadOnly);
    const auto subjectCodes = readSubjectCodes(context.tablesFolder);
    const std::size_t unitCode = units.requireFieldIndex(grupost::kAbrev);
    const std::size_t unitLevel = units.requireFieldIndex(grupost::kNivel);
    const std::size_t unitCourse = units.requireFieldIndex(grupost::kCurso);
    const std::size_t unitGroup = units.requireFieldIndex(grupost::kGrupo);
    RecordBuffer row;

    std::size_t read = 0;
    for (const YedraRecord& record : context.document.loopRecords(materias::kGroup)) {
        ++read;
        const std::string courseKey = record.value(materias::kOfferKey);
        const std::string subjectKey = record.value(materias::kSubjectKey);
        const std::string name = record.value(materias::kName);
        std::string minutes = record.value(materias::kMinutes);

        auto code = subjectCodes.find(
            nameKey(std::string_view(name).substr(0, asignomt::layout().width(asignomt::kNombre))));
        if (code == subjectCodes.end() || code->second.empty())
            continue;
        const auto courseUnits = units.select(grupost::kClaveCurso, dbf::Value{courseKey});
        if (courseUnits.empty())
            continue;

        // The minutes are converted only for a subject that yields assignments.
        if (minutes.empty())
            minutes = kDefaultMinutes;
        const std::int64_t hours = weeklyHours(
            requireWholeNumber(minutes, {materias::kGroup, record.number(), materias::kMinutes,
                                         "minutos semanales", platform::utf8Of(context.document.path())}));
        const std::string sessions = sessionPattern(hours);

        for (std::size_t unit : courseUnits) {
            row.clear();
            row.setText(asigt::kCAsig, code->second);
            row.setText(asigt::kCGrup, units.text(unit, unitCode));
            row.setText(asigt::kCAula, "");
            row.setText(asigt::kTurno, "");
            row.setText(asigt::kNivel, units.text(unit, unitLevel));
            row.setText(asigt::kCurso, units.text(unit, unitCourse));
            row.setText(asigt::kGrupo, units.text(unit, unitGroup));
            row.setDouble(asigt::kHoras, static_cast<double>(hours));
            row.setText(asigt::kSesiones, sessions);
            row.setText(asigt::kClave, subjectKey);
            row.setText(asigt::kClaveCurso, courseKey);
            if (context.task513)
                row.setText(asigt::kCTarea, "513");
            assignments.append(row);
        }
    }
    units.close();
    closeStepTable(context, assignments, asigt::layout());

    context.ui.reportProgress({"Asignaciones de materias", read, "ASIGT"});
}

} // namespace pontrel::exporting
