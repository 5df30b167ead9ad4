#pragma once
// The user interface of every pontrel-cli command: answers from the command line where the window would
// ask and, on a terminal, asks what the command line did not say. The run's messages are kept until
// the run ends: a completed run's go to standard output, a stopped run's to standard error.

#include "exchange/runs/UserInterface.h"
#include "exchange/yedra/YedraDocument.h"
#include "export/FrameSelection.h"

#include <exception>
#include <filesystem>
#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace pontrel::cli {

// Thrown where the window would keep asking but the command line cannot: the user has already been
// told why, so the front end ends with status 1 and prints nothing more.
class StopReported : public std::exception {
  public:
    const char* what() const noexcept override { return "ejecución detenida"; }
};

// The frame dialog's results for the entries of its frame list (raw codes, ANSI) when the user picks
// every entry whose code equals one of `codes` (ANSI; blanks around codes do not count, empty codes
// pick nothing).
FrameChoice selectFrames(const std::vector<std::string>& entries, const std::vector<std::string>& codes);

// The message the dialog shows on closing with this choice; empty when it shows none.
std::string frameChoiceMessage(const FrameChoice& choice);

// "A, B ,C" as the codes A, B and C, each converted from UTF-8 to ANSI.
std::vector<std::string> splitCodes(const std::string& utf8List);

// The codes (ANSI) that name no entry of the frame list, in the order given.
std::vector<std::string> unknownFrameCodes(const std::vector<std::string>& entries,
                                           const std::vector<std::string>& codes);

class TerminalUserInterface : public UserInterface {
  public:
    // `interactive`: standard input and output are a terminal, so questions can be asked and progress
    // shown; otherwise the interface never waits for an answer.
    TerminalUserInterface(std::istream& in, std::ostream& out, std::ostream& err, bool interactive);

    // The document the command line names; chooseDocument answers with it (nullopt: "cancelled").
    void setDocument(std::optional<std::filesystem::path> document) { document_ = std::move(document); }
    // The frame codes the command line gives (ANSI); without them a terminal is asked.
    void setFrameCodes(std::optional<std::vector<std::string>> codes) { frameCodes_ = std::move(codes); }
    // What to do when a run needs teacher keys completed (the import sets it); without it nothing is done.
    void setTeacherKeysHandler(std::function<void(const std::filesystem::path&)> handler) {
        teacherKeys_ = std::move(handler);
    }

    std::optional<std::filesystem::path> chooseDocument() override;
    void showMessage(const std::string& text) override;
    // From the command line's codes, at the terminal, or a stop (StopReported) that says why; the run
    // is then left at its frames step, with the working folder untouched.
    FrameChoice chooseFrames(const std::filesystem::path& document,
                             const std::vector<YedraRecord>& frames) override;
    // Codes given on the command line for a document that has one frame or none: a warning.
    void framesTakenWithoutChoice(const std::vector<YedraRecord>& frames) override;
    void completeTeacherKeys(const std::filesystem::path& proftTable) override;
    void setBusy(bool) override {}
    void reportProgress(const StepProgress& step) override;

    // Prints the messages the run has shown: on standard output when it completed, otherwise as errors.
    void reportMessages(bool completed);
    // Prints the messages kept so far as errors, then `error`.
    void reportError(const std::string& error);

    bool interactive() const { return interactive_; }
    std::ostream& out() { return out_; }
    std::ostream& err() { return err_; }

  private:
    FrameChoice askForFrames(const std::vector<YedraRecord>& frames);

    std::istream& in_;
    std::ostream& out_;
    std::ostream& err_;
    bool interactive_;
    std::optional<std::filesystem::path> document_;
    std::optional<std::vector<std::string>> frameCodes_;
    std::function<void(const std::filesystem::path&)> teacherKeys_;
    std::vector<std::string> messages_;
};

// A message for a terminal: the system's line breaks "\n\r" become plain line feeds.
std::string terminalText(std::string text);

} // namespace pontrel::cli
