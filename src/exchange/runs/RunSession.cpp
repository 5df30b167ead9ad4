#include "exchange/runs/RunSession.h"

#include "exchange/velmora/WorkingFolder.h"

namespace pontrel {

RunSession startSession(const std::optional<std::filesystem::path>& workingFolder,
                        std::filesystem::path programFolder) {
    RunSession session;
    session.workingFolder = workingFolder ? *workingFolder : defaultWorkingFolder();
    session.programFolder = std::move(programFolder);
    return session;
}

} // namespace pontrel
