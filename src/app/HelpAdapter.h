#pragma once
// Help through the compiled help file "YEDRA.chm". The adapter serves only help files whose name ends
// in ".chm" (letter case ignored), looks a bare name up in the executable's folder and shows nothing
// when it cannot show help. The viewer behind it is replaceable: HTML Help on Windows, xchm elsewhere,
// a recording stand-in in tests.

#include <QString>

#include <memory>

class QObject;
class QWidget;

namespace pontrel::app {

// Help contexts of the windows: 3 for the main window and the frame dialog, 1 for the teacher dialog.
inline constexpr int kMainWindowHelpContext = 3;
inline constexpr int kTeacherDialogHelpContext = 1;
// The widget property that carries a control's help context; 0 or absent means "as its parent".
inline constexpr const char* kHelpContextProperty = "helpContext";

// What shows help, kept beside its one user, the adapter.
class HelpViewer {
  public:
    virtual ~HelpViewer() = default;
    // Both return false when the viewer could not be started.
    virtual bool showContents(const QString& chmFile) = 0;
    virtual bool showContext(const QString& chmFile, int context) = 0;
};

// xchm on X11 (-c for a context), HtmlHelpA of "HHCtrl.ocx" on Windows. nullptr when neither exists.
std::unique_ptr<HelpViewer> makeSystemHelpViewer();

class HelpAdapter {
  public:
    HelpAdapter(std::unique_ptr<HelpViewer> viewer, QString programFolder);

    void setHelpFile(const QString& name) { helpFile_ = name; }
    const QString& helpFile() const { return helpFile_; }

    // The file the viewer is given: empty when the name does not end in ".chm" or the file is missing.
    QString resolvedHelpFile() const;

    bool showContents();
    bool showContext(int context);

    // The help context of `widget`: its own, or the nearest ancestor's.
    static int contextOf(const QWidget* widget);

  private:
    std::unique_ptr<HelpViewer> viewer_;
    QString programFolder_;
    QString helpFile_;
};

// Makes F1 anywhere in the program ask `adapter` for the help context of the focused control: its own
// or its nearest ancestor's, so a window that sets its context on itself answers for every control that
// sets none. Returns the event filter, owned by `application`; deleting it ends the F1 handling.
QObject* installF1Help(HelpAdapter& adapter, QObject* application);

} // namespace pontrel::app
