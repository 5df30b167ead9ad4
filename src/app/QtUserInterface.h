#pragma once
// The window's side of the interface through which the runs reach the user: the file dialog
// `OpenDialogXML`, the plain message boxes, the frame dialog, the teacher data dialog, the busy cursor.

#include "exchange/runs/UserInterface.h"

#include <functional>

class QFileDialog;
class QWidget;

namespace pontrel::app {

class QtUserInterface : public UserInterface {
  public:
    // `owner` is the main window; `fileDialog` its `OpenDialogXML`.
    QtUserInterface(QWidget* owner, QFileDialog* fileDialog) : owner_(owner), fileDialog_(fileDialog) {}
    ~QtUserInterface() override;

    std::optional<std::filesystem::path> chooseDocument() override;
    void showMessage(const std::string& text) override;
    FrameChoice chooseFrames(const std::filesystem::path& document,
                             const std::vector<YedraRecord>& frames) override;
    void completeTeacherKeys(const std::filesystem::path& proftTable) override;
    void setBusy(bool busy) override;
    // Handed straight to the window, which keeps it as the code it leaves on closing.
    void setResultCode(int code) override;

    bool busy() const { return busy_; }
    void onResultCode(std::function<void(int)> keep) { keepResultCode_ = std::move(keep); }

    // The program is ending under a running run (Velmora's window went away): every later question
    // fails with an error, so the run stops where it is, as after any error, instead of going on alone.
    void abandon() { abandoned_ = true; }

  private:
    void stopIfAbandoned() const;

    QWidget* owner_;
    QFileDialog* fileDialog_;
    std::function<void(int)> keepResultCode_;
    bool busy_ = false;
    bool abandoned_ = false;
};

} // namespace pontrel::app
