// The window's side of the runs' user interface: the file dialog, the message boxes, the busy cursor.

#include "ModalBoxes.h"

#include "app/MainForm.h"
#include "app/QtUserInterface.h"

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using pontrel::app::TMForm;
using pontrel::testing::ModalBoxes;

namespace {

class QtUserInterfaceTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        session.programFolder = dir.path().toStdString();
        form = std::make_unique<TMForm>(QStringList{}, session);
        files = form->openDialogXML();
        files->setDirectory(dir.path());
    }
    QTemporaryDir dir;
    pontrel::RunSession session;
    std::unique_ptr<TMForm> form;
    QFileDialog* files = nullptr;
};

TEST_F(QtUserInterfaceTest, FileDialogGivesTheTypedDocumentWithItsDefaultExtension) {
    pontrel::app::QtUserInterface ui(form.get(), files);
    ModalBoxes boxes;
    QString acceptText;
    boxes.onDialog = [&](QDialog* dialog) {
        if (dialog != files)
            return false;
        auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
        if (!name)
            return false;
        acceptText = dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Open)->text();
        name->setText("centro");
        dialog->accept();
        return true;
    };
    const auto chosen = ui.chooseDocument();
    ASSERT_TRUE(chosen.has_value());
    EXPECT_EQ(*chosen, std::filesystem::path(dir.path().toStdString()) / "centro.xml");
    EXPECT_EQ(acceptText, "&Abrir") << "Qt's own dialogs speak Spanish";
    EXPECT_EQ(boxes.unexpected, 0);
}

TEST_F(QtUserInterfaceTest, CancelledFileDialogGivesNothing) {
    pontrel::app::QtUserInterface ui(form.get(), files);
    ModalBoxes boxes;
    int asked = 0;
    boxes.onDialog = [&](QDialog* dialog) {
        ++asked;
        dialog->reject();
        return dialog == files;
    };
    EXPECT_FALSE(ui.chooseDocument().has_value());
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(boxes.unexpected, 0);
}

TEST_F(QtUserInterfaceTest, MessagesArePlainBoxesCaptionedPontrelWithOneOK) {
    pontrel::app::QtUserInterface ui(form.get(), files);
    ModalBoxes boxes;
    ui.showMessage("ATENCIÓN - NIVELCAN.DBF No encontrado - Reinstale PONTREL");
    ui.showMessage("Primera línea\r\nSegunda");
    // The import's message of three lines breaks them with a line feed and then a carriage return.
    ui.showMessage("Una\n\rDos\n\rTres");
    ASSERT_EQ(boxes.boxes.size(), 3u);
    EXPECT_EQ(boxes.boxes[0].text,
              QString::fromUtf8("ATENCIÓN - NIVELCAN.DBF No encontrado - Reinstale PONTREL"));
    EXPECT_EQ(boxes.boxes[1].text, QString::fromUtf8("Primera línea\nSegunda"));
    EXPECT_EQ(boxes.boxes[2].text, QString::fromUtf8("Una\nDos\nTres")) << "three lines, no empty ones";
    for (const auto& box : boxes.boxes) {
        EXPECT_EQ(box.title, "Pontrel");
        EXPECT_EQ(box.buttons, QStringList{"OK"}) << "not Qt's translated \"Aceptar\"";
        EXPECT_EQ(box.icon, QMessageBox::NoIcon);
    }
}

TEST_F(QtUserInterfaceTest, BusyCursorIsTheWholeProgramsAndIsGivenBack) {
    {
        pontrel::app::QtUserInterface ui(form.get(), files);
        ui.setBusy(true);
        ui.setBusy(true); // said twice, taken back once
        ASSERT_NE(QApplication::overrideCursor(), nullptr);
        EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
        ui.setBusy(false);
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
        ui.setBusy(true);
    } // a run that ends without saying so does not leave the hourglass behind
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

} // namespace
