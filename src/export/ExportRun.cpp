#include "export/ExportRun.h"

#include "dbf/Error.h"

namespace pontrel::exporting {

RunOutcome ExportRun::run() { throw Error("La exportación aún no está disponible."); }

} // namespace pontrel::exporting
