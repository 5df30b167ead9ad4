// EMPLEADOS -> PROFT, one record per staff member. ABREV is the teacher's code inside Velmora (its
// timetable refers to teachers by it); X_EMPLEADO and F_TOMAPOS are the keys that go back to Yedra.

#include "export/StepTable.h"
#include "export/Steps.h"

#include "exchange/codes/ShortCodeRegistry.h"
#include "exchange/yedra/YedraGroups.h"

namespace pontrel::exporting {

using namespace velmora::proft;
namespace empleados = yedra::empleados;

namespace {

// "Surname1 Surname2, Forename": the blank and the comma stay even when a part is empty.
std::string fullName(const YedraRecord& record) {
    return record.value(empleados::kSurname1) + " " + record.value(empleados::kSurname2) + ", " +
           record.value(empleados::kForename);
}

// The initials come from the untrimmed texts: a name part that Yedra starts with a blank gives a blank.
std::string initials(const YedraRecord& record) {
    std::string code;
    for (std::size_t position : {empleados::kSurname1, empleados::kSurname2, empleados::kForename}) {
        const std::string raw = record.rawValue(position);
        if (!raw.empty())
            code += raw.front();
    }
    return code;
}

} // namespace

void teacherStep(ExportContext& context) {
    auto tables = recreateStepTables(context.tablesFolder, {layout()});
    dbf::Table& teachers = tables[0];
    ShortCodeRegistry codes{ShortCodeSettings{.preCut = false, .shortening = false, .ignoreCase = true}};

    const auto records = context.document.loopRecords(empleados::kGroup);
    teachers.appendOnly();
    for (const auto& record : records) {
        std::string candidate = record.value(empleados::kShortCode);
        const bool ownCode = !candidate.empty();
        if (!ownCode)
            candidate = initials(record);

        dbf::RecordBuffer row; // EMAIL and DNI stay empty
        const CodeOrigin origin{layout().name.c_str(),
                                kAbrev,
                                record.value(empleados::kEmployeeKey),
                                candidate,
                                false,
                                record.text(empleados::kEmployeeKey),
                                ownCode ? record.text(empleados::kShortCode) : std::string()};
        row.setText(kAbrev, assignCode(context, codes, candidate, origin));
        row.setText(kNombre, fullName(record));
        row.setText(kDepart, record.value(empleados::kDepartment));
        row.setText(kXEmpleado, record.value(empleados::kEmployeeKey));
        row.setText(kFTomapos, record.value(empleados::kPostDate));
        teachers.append(row);
    }
    closeStepTable(context, teachers, layout());

    context.ui.reportProgress({"Profesores", records.size(), "PROFT"});
}

} // namespace pontrel::exporting
