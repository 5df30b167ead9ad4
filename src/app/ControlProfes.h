#pragma once
// The teacher data dialog `ControlProfesores`: shown once by the import run when a teacher in PROFT
// lacks X_EMPLEADO or F_TOMAPOS, so that the user can type the missing keys into PROFT. Edits are
// stored in PROFT row by row as the user leaves a row or the grid; the run reads PROFT again after
// the dialog has closed.

#include <QDialog>
#include <QPersistentModelIndex>

#include <functional>
#include <vector>

class QLabel;
class QPushButton;
class QToolButton;

namespace pontrel::app {
class FixedColumnsGrid;
class GradientPanel;
class ProftTableModel;

class TControlProfesores : public QDialog {
    Q_OBJECT
  public:
    // Opens PROFT at `proftTablePath` shared at once; an engine error escapes as pontrel::Error.
    explicit TControlProfesores(const QString& proftTablePath, QWidget* parent = nullptr);
    ~TControlProfesores() override;

    ProftTableModel* model() const { return model_; }

    // Handlers.
    void ProftDBGridEnter();
    void ProftDBGridExit();
    void BitBtn1Click();

  public slots:
    void done(int result) override;

  protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void buildNavigator();
    void updateNavigator();
    void moveToRow(int row);
    // A refused value: its message is shown, then the cursor goes back to the refused cell with the
    // text as typed.
    void showRefusal(const QString& message);
    void queueRefusal();
    void answerRefusal();
    bool inGrid(const QWidget* widget) const;
    bool storeBeforeClosing();

    ProftTableModel* model_ = nullptr;
    GradientPanel* draw3D1_ = nullptr;
    FixedColumnsGrid* proftDBGrid_ = nullptr;
    QWidget* wwDBNavigator1_ = nullptr;
    // The navigator's buttons, each with the state of the grid in which it applies.
    struct NavigatorButton {
        QToolButton* button;
        std::function<bool()> applies;
    };
    std::vector<NavigatorButton> navigator_;
    QPushButton* bitBtn1_ = nullptr;
    QMetaObject::Connection focusWatch_;
    QString refusalMessage_;
    QPersistentModelIndex refusedCell_;
    QString refusedText_;
    bool refusalQueued_ = false;
};

} // namespace pontrel::app
