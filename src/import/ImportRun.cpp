#include "import/ImportRun.h"

#include "dbf/Error.h"

namespace pontrel::importing {

RunOutcome ImportRun::run() { throw Error("La importación aún no está disponible."); }

} // namespace pontrel::importing
