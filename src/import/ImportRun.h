#pragma once
// The import run: SOLUC and the working tables to the Yedra timetable document, saved next to the
// input as "ResultadoDastel" followed by the input's file name.

#include "exchange/RunSession.h"
#include "exchange/UserInterface.h"

namespace pontrel::importing {

class ImportRun {
public:
    ImportRun(RunSession& session, UserInterface& ui) : session_(session), ui_(ui) {}
    RunOutcome run();

private:
    RunSession& session_;
    UserInterface& ui_;
};

} // namespace pontrel::importing
