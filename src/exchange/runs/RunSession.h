#pragma once
// What a run needs from the program that starts it, and how the run ended. The front end owns the
// session for as long as the program runs (the document path carries over from one run to the next).

#include <filesystem>
#include <optional>

namespace pontrel {

struct RunSession {
    std::filesystem::path documentPath;  // last document confirmed in the file dialog; empty at start
    std::filesystem::path workingFolder; // Velmora's working folder
    std::filesystem::path programFolder; // the executable's folder: NIVELCAN.DBF, Velmora.ini, YEDRA.chm
    std::filesystem::path levelTable;    // empty: programFolder / "NIVELCAN.DBF"
    // Velmora started the program and reads its result code when the window closes: a missing document
    // then leaves -1 for it.
    bool hostReadsResult = false;
};

// The session a front end starts with: the working folder it was given, or Velmora's own when none
// was, and the folder of the program's own files.
RunSession startSession(const std::optional<std::filesystem::path>& workingFolder,
                        std::filesystem::path programFolder);

// How a run ended. Errors that stop a run escape as pontrel::Error; the front end shows them.
enum class RunOutcome {
    Completed,          // "Proceso finalizado" shown: result code 1, buttons disabled, embedded window closes
    DocumentMissing,    // "No existe archivo" shown: embedded result code -1 and the window closes
    Stopped,            // stopped with a message: nothing changes, the window stays
    TeacherDataMissing, // import stopped after the teacher dialog: the window closes in both modes
};

} // namespace pontrel
