#pragma once
// The user interface of `pontrel-cli import`: the document comes from the command line, the teacher
// keys from a file (--teacher-keys) instead of the dialog, and the run's messages are kept for the
// command to print once it knows how the run ended.

#include "exchange/UserInterface.h"
#include "import/TeacherKeyFile.h"

#include <filesystem>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

namespace pontrel::cli {

class ImportUserInterface : public UserInterface {
  public:
    // `teacherKeys`: the lines of the keys file, read and checked before the run starts.
    ImportUserInterface(std::filesystem::path document,
                        std::optional<std::vector<importing::TeacherKeyLine>> teacherKeys, std::ostream& out,
                        std::ostream& err);

    std::optional<std::filesystem::path> chooseDocument() override;
    void showMessage(const std::string& text) override;
    FrameChoice chooseFrames(const std::filesystem::path& document) override;
    // Stores the missing keys from the file, then lists the teachers that still lack a key.
    void completeTeacherKeys(const std::filesystem::path& proftTable) override;
    void setBusy(bool) override {}

    const std::vector<std::string>& messages() const { return messages_; }

  private:
    std::filesystem::path document_;
    std::optional<std::vector<importing::TeacherKeyLine>> teacherKeys_;
    std::ostream& out_;
    std::ostream& err_;
    std::vector<std::string> messages_;
};

// A message for a terminal: the system's line breaks "\n\r" become plain line feeds.
std::string terminalText(std::string text);

} // namespace pontrel::cli
