// Compiled as part of the export run, which sees the document through the exchange layer's classes
// only: this include must not compile.
#include <libxml/tree.h>

int refusedExportIncludesLibxml() { return 0; }
