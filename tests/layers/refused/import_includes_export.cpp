// Compiled as part of the import run, which never includes the export run's headers (they are
// siblings): this include must not compile.
#include "export/ExportRun.h"

int refusedImportIncludesExport() { return 0; }
