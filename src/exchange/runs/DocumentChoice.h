#pragma once
// How both runs begin: the file dialog, then the check that the document exists.

#include "exchange/runs/Messages.h"
#include "exchange/runs/RunSession.h"
#include "exchange/runs/UserInterface.h"

namespace pontrel {

// Shows the file dialog; a confirmed file becomes the session's document path, a cancelled dialog
// keeps the one chosen by an earlier run of either direction. When no file exists at that path (an
// empty path included) shows "No existe archivo", then sets the result code -1 when Velmora reads the
// result, and returns false.
bool chooseExistingDocument(RunSession& session, UserInterface& ui);

} // namespace pontrel
