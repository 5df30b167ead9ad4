#pragma once
// The benchmark's user interface: answers the file dialog with the generated document and the frame
// dialog with one frame, never shows anything, and keeps the messages so that a run that did not end
// with "Proceso finalizado" can be reported.

#include "exchange/runs/UserInterface.h"
#include "export/FrameSelection.h"

#include <string>
#include <vector>

namespace pontrel::bench {

class BenchUserInterface : public UserInterface {
  public:
    BenchUserInterface(std::filesystem::path document, std::string frameCode, int frameCount)
        : document_(std::move(document)), frameCode_(std::move(frameCode)), frameCount_(frameCount) {}

    std::optional<std::filesystem::path> chooseDocument() override { return document_; }
    void showMessage(const std::string& text) override { messages.push_back(text); }
    FrameChoice chooseFrames(const std::filesystem::path&, const std::vector<YedraRecord>&) override {
        exporting::FrameSelection selection(frameCount_);
        selection.add(frameCode_);
        return selection.choice();
    }
    void completeTeacherKeys(const std::filesystem::path&) override { ++teacherDialogs; }
    void setBusy(bool) override {}

    std::vector<std::string> messages;
    int teacherDialogs = 0;

  private:
    std::filesystem::path document_;
    std::string frameCode_;
    int frameCount_;
};

} // namespace pontrel::bench
