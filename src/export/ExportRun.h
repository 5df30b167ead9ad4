#pragma once
// The export run: asks for the Yedra document, checks it and the level table, and runs the seven
// data-group steps into a staging folder; only a run that succeeds as a whole replaces the working
// tables. Errors escape as pontrel::Error after the working folder has been left as it was.

#include "exchange/RunSession.h"
#include "exchange/UserInterface.h"

namespace pontrel::exporting {

class ExportRun {
public:
    ExportRun(RunSession& session, UserInterface& ui) : session_(session), ui_(ui) {}
    RunOutcome run();

private:
    RunSession& session_;
    UserInterface& ui_;
};

} // namespace pontrel::exporting
