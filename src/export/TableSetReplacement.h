#pragma once
// The table-set replacement now lives in exchange/, where the import run reaches it too; these names
// stay for the front ends that still spell them with the export's namespace.

#include "exchange/TableSetReplacement.h"

namespace pontrel::exporting {
using pontrel::kBackupFolderName;
using pontrel::kJournalFileName;
using pontrel::kStagingFolderName;
using pontrel::recoverInterruptedReplacement;
using pontrel::recoverWhileLocked;
using pontrel::TableSetReplacement;
} // namespace pontrel::exporting
