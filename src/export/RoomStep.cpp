// DEPENDENCIAS -> AULAT, one record per room. The room code is the Yedra key whenever it is present,
// unique and short enough: the import sends it back unchanged, so only such codes find their room again.

#include "export/StepTable.h"
#include "export/Steps.h"

#include "exchange/codes/RoomCodes.h"
#include "exchange/codes/ShortCodeRegistry.h"
#include "exchange/yedra/YedraGroups.h"

namespace pontrel::exporting {

using namespace velmora::aulat;
namespace dependencias = yedra::dependencias;

void roomStep(ExportContext& context) {
    auto tables = recreateStepTables(context.tablesFolder, {layout()});
    dbf::Table& rooms = tables[0];
    ShortCodeRegistry codes{roomCodeSettings()};

    const auto records = context.document.loopRecords(dependencias::kGroup);
    rooms.appendOnly();
    for (const auto& record : records) {
        const std::string key = record.value(dependencias::kKey);
        const std::string name = record.value(dependencias::kName);

        dbf::RecordBuffer row; // EDIFICIO, MAXALUM and DEPCENTRO stay empty
        const CodeOrigin origin{layout().name.c_str(),
                                kAbrev,
                                key,
                                key.empty() ? name : key,
                                key.empty() && name.size() > layout().width(kAbrev),
                                record.text(dependencias::kKey),
                                record.text(key.empty() ? dependencias::kName : dependencias::kKey)};
        row.setText(kAbrev, assignCode(context, codes, roomCodeCandidate(key, name), origin));
        row.setText(kNombre, name);
        rooms.append(row);
    }
    closeStepTable(context, rooms, layout());

    context.ui.reportProgress({"Dependencias", records.size(), "AULAT"});
}

} // namespace pontrel::exporting
