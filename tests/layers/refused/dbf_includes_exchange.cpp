// Compiled as part of the dBase engine, which knows nothing of schools: this include must not compile.
#include "exchange/yedra/YedraDocument.h"

int refusedDbfIncludesExchange() { return 0; }
