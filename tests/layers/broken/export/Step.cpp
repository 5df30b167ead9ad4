#include "exchange/YedraDocument.h"
#include "dbf/Table.h"
#include "import/Activity.h"
