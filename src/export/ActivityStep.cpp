// ACTIVIDADES appended to ASIGNOMT beside the subjects, told apart by ESTAREA and CODTAREA. Activity
// codes go in as Yedra gives them: not shortened, not made unique (one may equal a subject's code).

#include "exchange/yedra/YedraGroups.h"
#include "export/StepTable.h"
#include "export/Steps.h"

namespace pontrel::exporting {

using namespace velmora::asignomt;
namespace actividades = yedra::actividades;

void activityStep(ExportContext& context) {
    context.task513 = false;
    const auto records = context.document.loopRecords(actividades::kGroup);

    // The subjects step made ASIGNOMT in this run; its subject records stay.
    auto names = openRunTable(context.tablesFolder, layout(), dbf::Access::ReadWrite);
    names.appendOnly();
    for (const auto& record : records) {
        const std::string name = record.value(actividades::kName);
        const std::string code = record.value(actividades::kCode);

        dbf::RecordBuffer row;
        row.setText(kCod, code);
        noteCutCode(context,
                    {layout().name.c_str(), kCod, code, code, false, record.text(actividades::kCode),
                     record.text(actividades::kCode)},
                    layout().width(kCod));
        row.setText(kCodLargo, leftChars(name, layout().width(kCodLargo)));
        row.setText(kNombre, name);
        row.setText(kCodTarea, code);
        row.setBool(kEsTarea, true);
        names.append(row);

        // Activity 513 makes every subject assignment of the run carry the task code 513.
        if (code == "513")
            context.task513 = true;
    }
    closeStepTable(context, names, layout());

    // The subject registries end with this step.
    context.subjects = SubjectRegistries{};

    context.ui.reportProgress({"Actividades", records.size(), "ASIGNOMT"});
}

} // namespace pontrel::exporting
