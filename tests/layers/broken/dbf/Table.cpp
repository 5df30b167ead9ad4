#include "dbf/Table.h"
#include "platform/Files.h"
#include <string>
#include "import/ImportRun.h"
