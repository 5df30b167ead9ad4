// EMPLEADOS -> PROFT, one record per staff member. ABREV is the teacher's code inside Velmora (its
// timetable refers to teachers by it); X_EMPLEADO and F_TOMAPOS are the keys that go back to Yedra.

#include "export/StepTable.h"
#include "export/Steps.h"

#include "exchange/ShortCodeRegistry.h"

namespace pontrel::exporting {

using namespace velmora::proft;

namespace {

// "Surname1 Surname2, Forename": the blank and the comma stay even when a part is empty.
std::string fullName(const YedraRecord& record) {
    return record.value(3) + " " + record.value(4) + ", " + record.value(5);
}

// The initials come from the untrimmed texts: a name part that Yedra starts with a blank gives a blank.
std::string initials(const YedraRecord& record) {
    std::string code;
    for (std::size_t position : {3, 4, 5}) {
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

    const auto records = context.document.loopRecords("EMPLEADOS");
    for (const auto& record : records) {
        std::string candidate = record.value(6);
        const bool ownCode = !candidate.empty();
        if (!ownCode)
            candidate = initials(record);

        dbf::RecordBuffer row; // EMAIL and DNI stay empty
        const CodeOrigin origin{layout().name.c_str(),
                                kAbrev,
                                record.value(0),
                                candidate,
                                false,
                                record.text(0),
                                ownCode ? record.text(6) : std::string()};
        row.setText(kAbrev, assignCode(context, codes, candidate, origin));
        row.setText(kNombre, fullName(record));
        row.setText(kDepart, record.value(2));
        row.setText(kXEmpleado, record.value(0));
        row.setText(kFTomapos, record.value(1));
        teachers.append(row);
    }
    teachers.close();

    context.ui.reportProgress({"Profesores", records.size(), "PROFT"});
}

} // namespace pontrel::exporting
