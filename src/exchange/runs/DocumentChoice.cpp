#include "exchange/runs/DocumentChoice.h"

#include <system_error>

namespace pontrel {

bool chooseExistingDocument(RunSession& session, UserInterface& ui) {
    if (auto chosen = ui.chooseDocument())
        session.documentPath = *chosen;
    std::error_code ec;
    if (session.documentPath.empty() || !std::filesystem::is_regular_file(session.documentPath, ec)) {
        ui.showMessage(messages::kNoDocument);
        if (session.hostReadsResult)
            ui.setResultCode(-1);
        return false;
    }
    return true;
}

} // namespace pontrel
