#pragma once
// A user interface for tests: records everything a run asks and answers from queues set up by the
// test. An unexpected question fails the test instead of hanging it.

#include "exchange/runs/UserInterface.h"
#include "exchange/yedra/YedraDocument.h"

#include <deque>
#include <filesystem>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace pontrel::testing {

class ScriptedUserInterface : public UserInterface {
  public:
    // Answers, consumed in order.
    std::deque<std::optional<std::filesystem::path>> documents;
    std::deque<FrameChoice> frameChoices;
    // Called for each teacher-dialog request with the PROFT path (e.g. to fill keys as a user would).
    std::function<void(const std::filesystem::path&)> onTeacherDialog;

    // What the run did.
    std::vector<std::string> messages;
    int documentRequests = 0;
    int frameRequests = 0;
    std::vector<std::size_t> framesOffered; // the number of frames in each frame question
    int framesTakenWithoutAsking = 0;
    int teacherDialogs = 0;
    std::vector<bool> busyStates;
    std::vector<StepProgress> progress;
    // Each result code set, with the number of messages shown before it.
    std::vector<std::pair<int, std::size_t>> resultCodes;

    std::optional<std::filesystem::path> chooseDocument() override {
        ++documentRequests;
        if (documents.empty())
            throw std::logic_error("the run asked for a document that the test did not provide");
        auto answer = documents.front();
        documents.pop_front();
        return answer;
    }
    void showMessage(const std::string& text) override { messages.push_back(text); }
    FrameChoice chooseFrames(const std::filesystem::path&, const std::vector<YedraRecord>& frames) override {
        ++frameRequests;
        framesOffered.push_back(frames.size());
        if (frameChoices.empty())
            throw std::logic_error("the run asked for frames that the test did not provide");
        auto answer = frameChoices.front();
        frameChoices.pop_front();
        return answer;
    }
    void framesTakenWithoutChoice(const std::vector<YedraRecord>&) override { ++framesTakenWithoutAsking; }
    void completeTeacherKeys(const std::filesystem::path& proft) override {
        ++teacherDialogs;
        if (onTeacherDialog)
            onTeacherDialog(proft);
    }
    void setBusy(bool busy) override { busyStates.push_back(busy); }
    void reportProgress(const StepProgress& step) override { progress.push_back(step); }
    void setResultCode(int code) override { resultCodes.emplace_back(code, messages.size()); }
};

} // namespace pontrel::testing
