#pragma once
// The main window `MForm`: the two directions as buttons, help and "&Salir"; the state that lasts as
// long as the program (document path, result code, embedded flag); the command line and the place
// inside Velmora's window; the result code left in "Velmora.ini" when it closes.

#include "app/QtUserInterface.h"
#include "exchange/runs/RunSession.h"

#include <QStringList>
#include <QWidget>

#include <atomic>
#include <functional>
#include <memory>

class QFileDialog;
class QLabel;
class QPushButton;

namespace pontrel::platform {
class TerminationWatch;
}

namespace pontrel::app {
class GradientPanel;
class HelpAdapter;
class HostEmbedding;

// A direction's run, as the window starts it. The tests put fakes in its place. It lives here, beside
// the one window that takes it.
using RunFunction = std::function<RunOutcome(RunSession&, UserInterface&)>;
struct Runs {
    RunFunction exportRun;
    RunFunction importRun;
    // The export and import runs themselves.
    static Runs standard();
};

class TMForm : public QWidget {
    Q_OBJECT
  public:
    // `arguments`: the program's own command-line arguments, counted before Qt took its options out.
    TMForm(QStringList arguments, RunSession session, Runs runs = Runs::standard(),
           HelpAdapter* help = nullptr, QWidget* parent = nullptr);
    ~TMForm() override;

    int resultCode() const { return resultCode_; }
    bool embedded() const { return embedded_; }
    RunSession& session() { return session_; }
    QFileDialog* openDialogXML() const { return openDialogXML_; }

    // What ends the program once the window has done its closing; by default a queued
    // QCoreApplication::exit, since an embedded window cannot close itself and the first run may
    // happen before the event loop runs.
    void setEndProgram(std::function<void()> endProgram) { endProgram_ = std::move(endProgram); }

    // Handlers.
    void BExportarClick();
    void BImportarClick();
    void Button1Click();
    // Every way of closing ends here: "&Salir", the system close, a run that closes the window,
    // the host window going away.
    void closeMainWindow();

  protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    void FormCreate();
    void FormShow();
    void FormClose();
    void buildWindow();
    void runDirection(const RunFunction& run);
    void applyOutcome(RunOutcome outcome);
    // Leaves the result code in "Velmora.ini". Shown: a failure is shown in the error box; Ignored:
    // the closing write (or the next change) reports it. Safe from the termination request's thread.
    enum class ResultFailure { Shown, Ignored };
    void writeResult(ResultFailure failure);

    QStringList arguments_;
    RunSession session_;
    Runs runs_;
    HelpAdapter* help_;
    std::function<void()> endProgram_;

    // Read by the termination request's thread as well.
    std::atomic<int> resultCode_{0};
    bool embedded_ = false;
    bool shownOnce_ = false;
    bool closed_ = false;
    bool running_ = false;

    QFileDialog* openDialogXML_ = nullptr;
    QPushButton* bExportar_ = nullptr;
    QPushButton* bImportar_ = nullptr;
    QPushButton* bClose_ = nullptr;
    QPushButton* button1_ = nullptr;
    HostEmbedding* embedding_ = nullptr;
    std::unique_ptr<QtUserInterface> ui_;
    std::unique_ptr<platform::TerminationWatch> terminationWatch_;
};

} // namespace pontrel::app
