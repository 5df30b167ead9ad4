#pragma once
// The frame selection dialog `Plantillas`: the document's school-day frames by code, the name, dates
// and time slots of the frame last clicked, and a choice of 1 to 5 frames for Velmora's week.

#include "exchange/runs/UserInterface.h"
#include "exchange/yedra/YedraDocument.h"

#include <QDialog>

#include <exception>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

class QComboBox;
class QLabel;
class QListWidget;
class QPushButton;

namespace pontrel::app {
class GradientPanel;

class TPlantillas : public QDialog {
    Q_OBJECT
  public:
    explicit TPlantillas(std::filesystem::path documentPath, QWidget* parent = nullptr);

    // Results, read after the dialog has closed. The selection string is ANSI text, 10 characters for
    // each selected frame in list order.
    const std::string& selectionString() const { return selection_; }
    bool accepted() const { return accepted_; }
    int frameCount() const;
    // The three together, as the frames step reads them.
    FrameChoice choice() const { return {selection_, accepted_, frameCount()}; }
    // An error of reading the document, which ends the export run once the dialog is gone.
    std::exception_ptr loadError() const { return loadError_; }

    // Handlers.
    void FormActivate();
    void ComboBoxPlantillaChange();
    void ListBox2Click();
    void BitBtnContinuarClick();

  public slots:
    void reject() override;

  protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    void FormClose();
    void fail(std::exception_ptr error);

    std::filesystem::path documentPath_;
    std::optional<YedraDocument> document_; // read at the last activation
    std::vector<std::string> codes_;        // ANSI codes of the hidden list's entries, same order

    GradientPanel* draw3D4_;
    QLabel* labelNombre_;
    QLabel* labelPlanFec1_;
    QLabel* labelPlanFec2_;
    QListWidget* listBox1_;
    QListWidget* listBox2_;
    QComboBox* comboBoxPlantilla_;
    QPushButton* bitBtnContinuar_;

    std::string selection_;
    bool accepted_ = false;
    std::exception_ptr loadError_;
    bool closing_ = false;
    bool activatedOnce_ = false;
    bool leftForOwnWindow_ = false;
};

} // namespace pontrel::app
