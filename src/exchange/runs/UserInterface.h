#pragma once
// The one way a run reaches the user. The window, pontrel-cli and the tests each implement it;
// a run never shows anything itself.

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace pontrel {

class YedraRecord;

// What the frame choice hands back: the selected frames' codes, 10 characters each (ANSI text),
// whether 1 to 5 frames were selected, and how many frames the list holds.
struct FrameChoice {
    std::string selection;
    bool accepted = false;
    int frameCount = 0;
};

// One line of progress, for front ends that show it (the command line on a terminal).
struct StepProgress {
    std::string step; // the step's name, Spanish, UTF-8
    std::size_t recordsRead = 0;
    std::string tablesWritten; // e.g. "ASIGNOMT, ASIGNOMT2"
};

class UserInterface {
  public:
    virtual ~UserInterface() = default;

    // The file dialog `OpenDialogXML` ("Archivo XML", "*.xml"); nullopt when the user cancels.
    virtual std::optional<std::filesystem::path> chooseDocument() = 0;

    // A plain message box captioned "Pontrel" with one "OK" button. Text in UTF-8.
    virtual void showMessage(const std::string& text) = 0;

    // The frame selection dialog, asked by the export's frames step when the document lists more than
    // one frame: `frames` are its JORNADAS_ESCOLARES records as the run has read them, in document
    // order; `document` is its file, for a front end that reads a copy of its own (the window's dialog).
    virtual FrameChoice chooseFrames(const std::filesystem::path& document,
                                     const std::vector<YedraRecord>& frames) = 0;

    // Told by the frames step when the document lists one frame or none: it is taken without asking.
    virtual void framesTakenWithoutChoice(const std::vector<YedraRecord>& /*frames*/) {}

    // The teacher data dialog over the table PROFT at `proftTable`; returns when the user closes it.
    virtual void completeTeacherKeys(const std::filesystem::path& proftTable) = 0;

    // The application-wide busy cursor.
    virtual void setBusy(bool busy) = 0;

    // Progress of a run's steps; most front ends ignore it.
    virtual void reportProgress(const StepProgress&) {}

    // The result code left for Velmora: 1 just before "Proceso finalizado", -1 after "No existe
    // archivo" when Velmora reads the result. The window keeps it at once, so that however it is closed
    // from then on (even with the message still open) the host reads this code. Front ends that leave
    // no result ignore it.
    virtual void setResultCode(int) {}
};

} // namespace pontrel
