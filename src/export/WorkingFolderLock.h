#pragma once
// The working-folder lock now lives in exchange/, where the import run reaches it too; these names
// stay for the front ends that still spell them with the export's namespace.

#include "exchange/WorkingFolderLock.h"

namespace pontrel::exporting {
using pontrel::kLockFileName;
using pontrel::WorkingFolderLock;
} // namespace pontrel::exporting
