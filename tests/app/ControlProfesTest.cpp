// The teacher data dialog offscreen: layout and texts, the masks, Enter, the fixed columns, storing
// on leaving a row or the grid, the navigator, and the import run going on with what was typed.

#include "import/WorkingTablesFixture.h"
#include "support/ScriptedUserInterface.h"

#include "ModalBoxes.h"

#include "app/ControlProfes.h"
#include "app/FixedColumnsGrid.h"
#include "app/HelpAdapter.h"
#include "app/ProftTableModel.h"
#include "import/ImportRun.h"

#include <QApplication>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

#include <functional>

namespace {

namespace fs = std::filesystem;
using pontrel::app::FixedColumnsGrid;
using pontrel::app::HelpAdapter;
using pontrel::app::ProftTableModel;
using pontrel::app::TControlProfesores;
using pontrel::testing::Row;

void settle() {
    for (int i = 0; i < 5; ++i)
        QApplication::processEvents();
}

class ControlProfesoresTest : public ::testing::Test {
  protected:
    void SetUp() override {
        // Twelve teachers, so that the page moves of the navigator have room; the second lacks both keys.
        std::vector<Row> rows;
        for (int i = 1; i <= 12; ++i)
            rows.push_back({{"ABREV", "P" + std::to_string(i)},
                            {"NOMBRE", "Profesor " + std::to_string(i)},
                            {"X_EMPLEADO", i == 2 ? "" : std::to_string(1000 + i)},
                            {"F_TOMAPOS", i == 2 ? "" : "01/09/2010"}});
        pontrel::testing::writeTable(proft(), pontrel::testing::proftLayout(), rows);
    }
    fs::path proft() const { return folder.path() / "PROFT.DBF"; }
    std::pair<std::string, std::string> storedKeys(std::size_t record) const {
        auto table = pontrel::dbf::Table::open(proft(), pontrel::dbf::OpenMode::Shared);
        return {table.text(record, "X_EMPLEADO"), table.text(record, "F_TOMAPOS")};
    }
    // Shows the dialog and gives the grid the focus on the cell (row, column).
    void enterGrid(TControlProfesores& dialog, int row, int column) {
        dialog.show();
        QApplication::setActiveWindow(&dialog);
        ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
        // From outside the grid, so that giving it the focus is entering it.
        dialog.findChild<QPushButton*>(QStringLiteral("BitBtn1"))->setFocus();
        settle();
        auto* grid = this->grid(dialog);
        grid->setCurrentIndex(dialog.model()->index(row, column));
        grid->setFocus();
        settle();
    }
    static FixedColumnsGrid* grid(const TControlProfesores& dialog) {
        return dialog.findChild<FixedColumnsGrid*>(QStringLiteral("ProftDBGrid"));
    }
    static QToolButton* nav(const TControlProfesores& dialog, const char* name) {
        return dialog.findChild<QToolButton*>(QStringLiteral("wwDBNavigator1") + QString::fromLatin1(name));
    }
    // Types as a user does: each key goes to whatever has the focus then (the first key opens the
    // cell's editor, the others go to it).
    static void type(const char* text) {
        for (const char* c = text; *c; ++c) {
            QTest::keyClick(QApplication::focusWidget(), *c);
            settle();
        }
    }
    static QWidget* focused() { return QApplication::focusWidget(); }
    // The navigator's buttons left to right, 1 for enabled.
    static std::string navigatorStates(const TControlProfesores& dialog) {
        std::string states;
        for (const char* name :
             {"First", "PriorPage", "Prior", "Next", "NextPage", "Last", "Edit", "Post", "Cancel", "Refresh"})
            states += nav(dialog, name)->isEnabled() ? '1' : '0';
        return states;
    }

    pontrel::testing::ScratchFolder folder;
};

TEST_F(ControlProfesoresTest, LayoutTextsAndColumns) {
    TControlProfesores dialog(QString::fromStdString(proft().string()));
    EXPECT_EQ(dialog.objectName(), "ControlProfesores");
    EXPECT_EQ(dialog.windowTitle(), "Control de Profesores");
    EXPECT_EQ(dialog.size(), QSize(754, 499));
    EXPECT_EQ(dialog.minimumSize(), dialog.maximumSize()) << "a fixed frame";

    const std::vector<std::pair<const char*, QString>> labels{
        {"Label1", "CONTROL DE DATOS DE LOS PROFESORES"},
        {"Label3", "INCIDENCIAS EN EL TRASPASO"},
        {"Label2",
         "Se ha detectado que existe algún Profesor sin todos los datos necesarios. (Seguramente hayan "
         "sido creados directamente desde Velmora.)      Para poder realizar correctamente la integración "
         "del Horario en YEDRA, deberán asignarlos en esta rejilla. "},
        {"Label4",
         "Los Profesores deberán estar creados previamente en YEDRA, con los mismos Datos de X_EMPLEADO y "
         "F_TOMAPOS. "},
        {"Label5",
         "YEDRA, dispone de un proceso mediante el cual pueden obtener la información de estos 2 datos "
         "mencionados. "},
        {"Label6",
         "Después de haber introducido los datos que faltan, pulsando \"Salir\", se reiniciará el proceso."}};
    for (const auto& [name, text] : labels) {
        auto* label = dialog.findChild<QLabel*>(QString::fromLatin1(name));
        ASSERT_NE(label, nullptr) << name;
        EXPECT_EQ(label->text(), text) << name;
    }
    auto* salir = dialog.findChild<QPushButton*>(QStringLiteral("BitBtn1"));
    ASSERT_NE(salir, nullptr);
    EXPECT_EQ(salir->text(), "Salir");
    EXPECT_EQ(salir->geometry(), QRect(583, 368, 75, 25));

    auto* g = grid(dialog);
    ASSERT_NE(g, nullptr);
    EXPECT_EQ(g->geometry(), QRect(9, 56, 490, 433));
    QStringList titles;
    for (int c = 0; c < g->model()->columnCount(); ++c)
        titles << g->model()->headerData(c, Qt::Horizontal).toString();
    EXPECT_EQ(titles, (QStringList{"ABREV", "NOMBRE", "X_EMPLEADO", "F_TOMAPOS"}));
    EXPECT_EQ(g->model()->rowCount(), 12);
    EXPECT_EQ(g->model()->data(g->model()->index(11, 1)).toString(), "Profesor 12") << "stored order";
    EXPECT_EQ(g->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    EXPECT_EQ(g->currentIndex().row(), 0) << "the first teacher is current";
    // The titles are drawn on their colour: a point of the NOMBRE title right of its text.
    dialog.show();
    settle();
    const QImage header = g->horizontalHeader()->grab().toImage();
    const int nombreRight = g->horizontalHeader()->sectionViewportPosition(ProftTableModel::Nombre) +
                            g->columnWidth(ProftTableModel::Nombre) - 10;
    EXPECT_EQ(QColor(header.pixel(nombreRight, header.height() / 2)), ProftTableModel::titleColour());
    dialog.hide();

    const std::vector<std::pair<const char*, const char*>> buttons{
        {"First", "Move to first record"},
        {"PriorPage", "Move backward 10 records"},
        {"Prior", "Move to prior record"},
        {"Next", "Move to next record"},
        {"NextPage", "Move forward 10 records"},
        {"Last", "Move to last record"},
        {"Edit", "Edit current record"},
        {"Post", "Post changes of current record"},
        {"Cancel", "Cancel changes made to current record"},
        {"Refresh", "Refresh the contents of the dataset"}};
    auto* navigator = dialog.findChild<QWidget*>(QStringLiteral("wwDBNavigator1"));
    ASSERT_NE(navigator, nullptr);
    EXPECT_EQ(navigator->geometry(), QRect(224, 29, 275, 24));
    const auto all = navigator->findChildren<QToolButton*>();
    ASSERT_EQ(all.size(), 10);
    for (std::size_t i = 0; i < buttons.size(); ++i) {
        EXPECT_EQ(all[int(i)], nav(dialog, buttons[i].first)) << "left to right: " << buttons[i].first;
        EXPECT_EQ(all[int(i)]->toolTip(), buttons[i].second);
    }
    EXPECT_TRUE(nav(dialog, "Next")->autoRepeat());
    EXPECT_EQ(nav(dialog, "Next")->autoRepeatDelay(), 500);
    EXPECT_EQ(nav(dialog, "Next")->autoRepeatInterval(), 100);
    EXPECT_FALSE(nav(dialog, "Post")->autoRepeat()) << "post and cancel never repeat";
    EXPECT_FALSE(nav(dialog, "Cancel")->autoRepeat());

    // F1 anywhere in the dialog, on a control that sets no help context too, opens the teacher topic.
    for (const QWidget* control : dialog.findChildren<QWidget*>())
        EXPECT_EQ(HelpAdapter::contextOf(control), pontrel::app::kTeacherDialogHelpContext)
            << control->metaObject()->className() << " " << control->objectName().toStdString();
}

TEST_F(ControlProfesoresTest, MasksRefuseAnyOtherText) {
    pontrel::testing::ModalBoxes boxes;
    TControlProfesores dialog(QString::fromStdString(proft().string()));
    ProftTableModel* model = dialog.model();
    const std::vector<std::tuple<int, const char*, bool>> cases{
        {ProftTableModel::XEmpleado, "12345", true},        {ProftTableModel::XEmpleado, "12A45", false},
        {ProftTableModel::XEmpleado, "12345678901", false}, {ProftTableModel::XEmpleado, "1234567890", true},
        {ProftTableModel::FTomapos, "01/09/2010", true},    {ProftTableModel::FTomapos, "1/9/2010", false},
        {ProftTableModel::FTomapos, "01-09-2010", false}};
    for (const auto& [column, text, accepted] : cases) {
        const QModelIndex cell = model->index(1, column);
        const QString before = model->data(cell).toString();
        EXPECT_EQ(model->setData(cell, QString::fromLatin1(text)), accepted) << text;
        EXPECT_EQ(model->data(cell).toString(), accepted ? QString::fromLatin1(text) : before) << text;
    }
    ASSERT_TRUE(model->post());
    EXPECT_EQ(storedKeys(1), (std::pair<std::string, std::string>{"1234567890", "01/09/2010"}));
    // A key emptied on purpose is no text outside the mask: it is stored empty.
    EXPECT_TRUE(model->setData(model->index(1, ProftTableModel::FTomapos), QString()));
    ASSERT_TRUE(model->post());
    EXPECT_EQ(storedKeys(1), (std::pair<std::string, std::string>{"1234567890", ""}));

    settle();
    ASSERT_FALSE(boxes.boxes.empty()) << "a refusal is shown";
    EXPECT_EQ(boxes.boxes.back().icon, QMessageBox::Warning);

    // Typed into the grid: a key or a date written wrong is never changed into another one (a letter
    // dropped, a digit cut): it is refused with a message naming the field, and the cell stays open
    // with the text as typed.
    const std::vector<std::pair<int, const char*>> typed{{ProftTableModel::XEmpleado, "12A45"},
                                                         {ProftTableModel::XEmpleado, "12345678901"},
                                                         {ProftTableModel::FTomapos, "1/9/2010"},
                                                         {ProftTableModel::FTomapos, "01-09-2010"}};
    for (const auto& [column, text] : typed) {
        SCOPED_TRACE(text);
        boxes.boxes.clear();
        enterGrid(dialog, 2, column);
        type(text);
        QTest::keyClick(focused(), Qt::Key_Return);
        settle();
        ASSERT_EQ(boxes.boxes.size(), 1u) << "the refusal is shown";
        const QString field = column == ProftTableModel::XEmpleado ? "X_EMPLEADO" : "F_TOMAPOS";
        EXPECT_TRUE(boxes.boxes[0].text.contains(field)) << boxes.boxes[0].text.toStdString();
        EXPECT_TRUE(boxes.boxes[0].text.contains(QString::fromLatin1(text)))
            << boxes.boxes[0].text.toStdString();
        auto* editor = qobject_cast<QLineEdit*>(grid(dialog)->indexWidget(model->index(2, column)));
        ASSERT_NE(editor, nullptr) << "the cell is open again";
        EXPECT_EQ(editor->text(), QString::fromLatin1(text));
        QApplication::setActiveWindow(&dialog);
        QTest::keyClick(editor, Qt::Key_Escape); // the refused text given up
        settle();
        QTest::keyClick(grid(dialog), Qt::Key_Escape); // and the row's edit cancelled
        settle();
        EXPECT_FALSE(model->isEditing());
    }
    dialog.close();
    EXPECT_EQ(storedKeys(2), (std::pair<std::string, std::string>{"1003", "01/09/2010"}));
}

// A refused date keeps the cursor and the typed text in its cell, whichever way the user tried to leave
// it; the refusal is a box captioned "Pontrel" with one "OK" button.
TEST_F(ControlProfesoresTest, ARefusedValueStaysInItsCellAsTyped) {
    struct Way {
        const char* name;
        std::function<void(TControlProfesores&)> leave;
    };
    const std::vector<Way> ways{
        {"Enter", [](TControlProfesores&) { QTest::keyClick(focused(), Qt::Key_Return); }},
        {"Tab", [](TControlProfesores&) { QTest::keyClick(focused(), Qt::Key_Tab); }},
        {"a click on another row",
         [](TControlProfesores& dialog) {
             FixedColumnsGrid* g = grid(dialog);
             QTest::mouseClick(g->viewport(), Qt::LeftButton, {},
                               g->visualRect(dialog.model()->index(5, ProftTableModel::XEmpleado)).center());
         }},
        {"Salir",
         [](TControlProfesores& dialog) {
             auto* salir = dialog.findChild<QPushButton*>(QStringLiteral("BitBtn1"));
             salir->setFocus(); // leaving the grid, as clicking it does
             QTest::mouseClick(salir, Qt::LeftButton);
         }},
        {"the close box", [](TControlProfesores& dialog) { dialog.close(); }},
    };
    for (const Way& way : ways) {
        SCOPED_TRACE(way.name);
        pontrel::testing::ModalBoxes boxes;
        TControlProfesores dialog(QString::fromStdString(proft().string()));
        ProftTableModel* model = dialog.model();
        enterGrid(dialog, 2, ProftTableModel::FTomapos);
        type("1/9/2010");
        way.leave(dialog);
        settle();
        settle();

        ASSERT_EQ(boxes.boxes.size(), 1u) << boxes.texts().join("|").toStdString();
        EXPECT_EQ(boxes.boxes[0].title, "Pontrel");
        EXPECT_EQ(boxes.boxes[0].buttons, QStringList{"OK"});
        EXPECT_TRUE(boxes.boxes[0].text.contains("F_TOMAPOS")) << boxes.boxes[0].text.toStdString();
        EXPECT_TRUE(dialog.isVisible());
        EXPECT_EQ(grid(dialog)->currentIndex(), model->index(2, ProftTableModel::FTomapos));
        EXPECT_EQ(model->editingRow(), 2);
        auto* editor = qobject_cast<QLineEdit*>(grid(dialog)->indexWidget(model->index(2, 3)));
        ASSERT_NE(editor, nullptr) << "the cell is open again";
        EXPECT_EQ(editor->text(), "1/9/2010");
        EXPECT_EQ(dialog.focusWidget(), editor) << "typing goes on in it";

        // Corrected there, it is stored as usual. (The offscreen platform does not give the dialog back
        // its activation when the box closes; a desktop does.)
        QApplication::setActiveWindow(&dialog);
        settle();
        editor->selectAll();
        type("02/09/2019");
        QTest::keyClick(focused(), Qt::Key_Return);
        settle();
        EXPECT_EQ(boxes.boxes.size(), 1u);
        EXPECT_EQ(grid(dialog)->currentIndex(), model->index(3, ProftTableModel::XEmpleado));
        EXPECT_EQ(storedKeys(2), (std::pair<std::string, std::string>{"1003", "02/09/2019"}));
    }
}

// With the grid already focused, typing into a cell of another row edits that row; the navigator
// follows, and what was typed is stored or dropped only by post or cancel.
TEST_F(ControlProfesoresTest, TypingIntoACellOfAnotherRowEditsThatRow) {
    struct End {
        const char* name;
        int row;
        std::vector<const char*> buttons;
        std::string stored;
    };
    const std::vector<End> ends{{"Post", 3, {"Post"}, "999"},
                                {"Refresh, then Post", 4, {"Refresh", "Post"}, "999"},
                                {"Cancel", 5, {"Cancel"}, "1006"}};
    for (const End& end : ends) {
        SCOPED_TRACE(end.name);
        TControlProfesores dialog(QString::fromStdString(proft().string()));
        ProftTableModel* model = dialog.model();
        enterGrid(dialog, 0, ProftTableModel::XEmpleado);
        ASSERT_EQ(model->editingRow(), 0);
        FixedColumnsGrid* g = grid(dialog);
        QTest::mouseClick(g->viewport(), Qt::LeftButton, {},
                          g->visualRect(model->index(end.row, ProftTableModel::XEmpleado)).center());
        settle();
        ASSERT_EQ(g->currentIndex(), model->index(end.row, ProftTableModel::XEmpleado));
        EXPECT_FALSE(model->isEditing()) << "moving to the row stored the first one";

        type("999");
        ASSERT_TRUE(qobject_cast<QLineEdit*>(focused())) << "typing in the cell";
        EXPECT_EQ(model->editingRow(), end.row);
        EXPECT_EQ(navigatorStates(dialog), "1111110110") << "post and cancel, no edit or refresh";

        for (const char* button : end.buttons) {
            nav(dialog, button)->click();
            settle();
        }
        EXPECT_FALSE(model->isEditing());
        EXPECT_EQ(storedKeys(std::size_t(end.row)).first, end.stored);
        EXPECT_EQ(model->data(model->index(end.row, ProftTableModel::XEmpleado)).toString(),
                  QString::fromStdString(end.stored));
        EXPECT_EQ(navigatorStates(dialog), "1111111001");
    }
}

TEST_F(ControlProfesoresTest, EnterMovesToTheNextColumnAndLeavingARowStoresIt) {
    TControlProfesores dialog(QString::fromStdString(proft().string()));
    ProftTableModel* model = dialog.model();
    enterGrid(dialog, 1, ProftTableModel::XEmpleado);
    EXPECT_EQ(model->editingRow(), 1) << "entering the grid puts the current row into editing";

    type("12345");
    QTest::keyClick(focused(), Qt::Key_Return);
    settle();
    EXPECT_EQ(grid(dialog)->currentIndex(), model->index(1, ProftTableModel::FTomapos));
    EXPECT_EQ(storedKeys(1).first, "") << "not stored while the row is being edited";

    type("02/09/2019");
    QTest::keyClick(focused(), Qt::Key_Return);
    settle();
    EXPECT_EQ(grid(dialog)->currentIndex(), model->index(2, ProftTableModel::XEmpleado))
        << "from the last column to the first editable column of the next row";
    EXPECT_EQ(storedKeys(1), (std::pair<std::string, std::string>{"12345", "02/09/2019"}))
        << "moving to another row stores the row";
}

TEST_F(ControlProfesoresTest, LeavingTheGridStoresTheRowBeingEdited) {
    TControlProfesores dialog(QString::fromStdString(proft().string()));
    enterGrid(dialog, 1, ProftTableModel::XEmpleado);
    type("12345");
    ASSERT_TRUE(qobject_cast<QLineEdit*>(focused())) << "still typing in the cell";
    auto* salir = dialog.findChild<QPushButton*>(QStringLiteral("BitBtn1"));
    salir->setFocus(); // leaving the grid, as clicking "Salir" does
    settle();
    EXPECT_FALSE(dialog.model()->isEditing());
    EXPECT_EQ(storedKeys(1).first, "12345");
    QTest::mouseClick(salir, Qt::LeftButton);
    settle();
    EXPECT_FALSE(dialog.isVisible()) << "\"Salir\" closes the dialog";
}

TEST_F(ControlProfesoresTest, ClosingWithTheCellStillOpenStoresWhatWasTyped) {
    TControlProfesores dialog(QString::fromStdString(proft().string()));
    enterGrid(dialog, 1, ProftTableModel::XEmpleado);
    type("4321");
    ASSERT_TRUE(qobject_cast<QLineEdit*>(focused())) << "still typing in the cell";
    dialog.close(); // the close box: the focus stays in the cell
    settle();
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(storedKeys(1).first, "4321");
}

// A PROFT whose X_EMPLEADO is a number of 3 digits, as another program might have made it: the engine
// refuses 12345 although the mask takes it.
TEST_F(ControlProfesoresTest, ARowTheTableRefusesKeepsTheDialogOpenUntilItIsCancelled) {
    const fs::path narrow = folder.path() / "NARROW.DBF";
    pontrel::testing::DbaseIIIWriter writer(
        {{"ABREV", 'C', 10}, {"NOMBRE", 'C', 40}, {"X_EMPLEADO", 'N', 3}, {"F_TOMAPOS", 'C', 10}});
    writer.addRecord({"P1", "Profesor 1", "", "01/09/2010"});
    writer.write(narrow);
    pontrel::testing::ModalBoxes boxes;
    TControlProfesores dialog(QString::fromStdString(narrow.string()));
    dialog.show();
    settle();
    ProftTableModel* model = dialog.model();
    ASSERT_TRUE(model->setData(model->index(0, ProftTableModel::XEmpleado), QStringLiteral("12345")));

    for (int attempt = 0; attempt < 2; ++attempt) {
        if (attempt == 0)
            dialog.close();
        else
            dialog.findChild<QPushButton*>(QStringLiteral("BitBtn1"))->click();
        settle();
        EXPECT_TRUE(dialog.isVisible()) << "attempt " << attempt;
        EXPECT_TRUE(model->isEditing());
        EXPECT_EQ(model->data(model->index(0, ProftTableModel::XEmpleado)).toString(), "12345");
    }
    ASSERT_EQ(boxes.boxes.size(), 2u) << "the engine's refusal, at each attempt";
    EXPECT_EQ(boxes.boxes[0].icon, QMessageBox::Critical);
    EXPECT_TRUE(boxes.boxes[0].text.contains("X_EMPLEADO")) << boxes.boxes[0].text.toStdString();

    nav(dialog, "Cancel")->click();
    dialog.close();
    settle();
    EXPECT_FALSE(dialog.isVisible());
    auto table = pontrel::dbf::Table::open(narrow, pontrel::dbf::OpenMode::Shared);
    EXPECT_EQ(table.text(0, "X_EMPLEADO"), "");
}

TEST_F(ControlProfesoresTest, FixedColumnsStayAndCannotBeCurrentOrEdited) {
    TControlProfesores dialog(QString::fromStdString(proft().string()));
    ProftTableModel* model = dialog.model();
    for (int column : {int(ProftTableModel::Abrev), int(ProftTableModel::Nombre)}) {
        EXPECT_FALSE(model->flags(model->index(0, column)) & (Qt::ItemIsEditable | Qt::ItemIsSelectable));
        EXPECT_FALSE(model->setData(model->index(0, column), QStringLiteral("X")));
        EXPECT_EQ(model->data(model->index(0, column), Qt::BackgroundRole).value<QColor>(),
                  ProftTableModel::titleColour());
    }
    EXPECT_EQ(model->data(model->index(0, 2), Qt::BackgroundRole).value<QColor>(), QColor(0xF0, 0xFB, 0xFF));
    EXPECT_EQ(model->data(model->index(1, 2), Qt::BackgroundRole).value<QColor>(), QColor(0xCF, 0xD9, 0xFE));

    enterGrid(dialog, 3, ProftTableModel::XEmpleado);
    auto* g = grid(dialog);
    QTest::keyClick(g, Qt::Key_Left);
    QTest::keyClick(g, Qt::Key_Home);
    settle();
    EXPECT_EQ(g->currentIndex(), model->index(3, ProftTableModel::XEmpleado)) << "the keys never reach them";
    const QRect fixedCell = g->visualRect(model->index(5, ProftTableModel::Nombre));
    QTest::mouseClick(g->viewport(), Qt::LeftButton, {}, fixedCell.center());
    settle();
    EXPECT_EQ(g->currentIndex(), model->index(3, ProftTableModel::XEmpleado)) << "nor does a click";

    QTableView* fixed = g->fixedColumns();
    EXPECT_FALSE(fixed->isColumnHidden(0));
    EXPECT_FALSE(fixed->isColumnHidden(1));
    EXPECT_TRUE(fixed->isColumnHidden(2));
    EXPECT_TRUE(fixed->isColumnHidden(3));
    // Narrow the grid so that it scrolls sideways: the fixed columns keep their place.
    g->setColumnWidth(ProftTableModel::Nombre, 600);
    settle();
    const QPoint before = fixed->pos();
    g->horizontalScrollBar()->setValue(g->horizontalScrollBar()->maximum());
    settle();
    ASSERT_GT(g->horizontalScrollBar()->maximum(), 0);
    EXPECT_EQ(fixed->pos(), before);
    EXPECT_EQ(fixed->width(), g->columnWidth(0) + g->columnWidth(1));
}

TEST_F(ControlProfesoresTest, NavigatorButtonsAreEnabledWhenTheyApply) {
    TControlProfesores dialog(QString::fromStdString(proft().string()));
    ProftTableModel* model = dialog.model();
    auto enabled = [&] { return navigatorStates(dialog); };
    EXPECT_EQ(enabled(), "0001111001") << "first row, browsing";
    nav(dialog, "Edit")->click();
    EXPECT_EQ(model->editingRow(), 0);
    EXPECT_EQ(enabled(), "0001110110") << "editing: post and cancel only";
    model->setData(model->index(0, ProftTableModel::XEmpleado), QStringLiteral("55"));
    nav(dialog, "Cancel")->click();
    EXPECT_EQ(enabled(), "0001111001");
    EXPECT_EQ(model->data(model->index(0, ProftTableModel::XEmpleado)).toString(), "1001")
        << "cancel drops it";

    nav(dialog, "NextPage")->click();
    EXPECT_EQ(grid(dialog)->currentIndex().row(), 10);
    nav(dialog, "Last")->click();
    EXPECT_EQ(grid(dialog)->currentIndex().row(), 11);
    EXPECT_EQ(enabled(), "1110001001") << "last row";
    nav(dialog, "PriorPage")->click();
    EXPECT_EQ(grid(dialog)->currentIndex().row(), 1);
    nav(dialog, "Prior")->click();
    nav(dialog, "Prior")->click(); // already at the first: stays
    EXPECT_EQ(grid(dialog)->currentIndex().row(), 0);

    model->setData(model->index(0, ProftTableModel::XEmpleado), QStringLiteral("55"));
    nav(dialog, "Post")->click();
    EXPECT_FALSE(model->isEditing());
    EXPECT_EQ(storedKeys(0).first, "55");
}

// Escape never closes the dialog, whose closing ends the import while a key is missing: in an open cell
// it drops what was typed there, then it cancels the row's edit, and then it does nothing.
TEST_F(ControlProfesoresTest, EscapeCancelsTheEditAndNeverClosesTheDialog) {
    TControlProfesores dialog(QString::fromStdString(proft().string()));
    ProftTableModel* model = dialog.model();
    enterGrid(dialog, 1, ProftTableModel::XEmpleado);
    type("4321");
    QTest::keyClick(focused(), Qt::Key_Return); // stored in the row; the next cell opens
    settle();
    ASSERT_EQ(model->data(model->index(1, ProftTableModel::XEmpleado)).toString(), "4321");
    ASSERT_TRUE(qobject_cast<QLineEdit*>(focused()));
    const std::vector<std::pair<const char*, bool>> escapes{
        {"closes the open cell", true}, {"cancels the row", false}, {"does nothing", false}};
    for (const auto& [what, editing] : escapes) {
        SCOPED_TRACE(what);
        QTest::keyClick(focused(), Qt::Key_Escape);
        settle();
        ASSERT_TRUE(dialog.isVisible());
        EXPECT_EQ(model->isEditing(), editing);
        EXPECT_FALSE(qobject_cast<QLineEdit*>(focused()));
    }
    EXPECT_EQ(model->data(model->index(1, ProftTableModel::XEmpleado)).toString(), "");
    dialog.close();
    EXPECT_EQ(storedKeys(1), (std::pair<std::string, std::string>{"", ""}));
}

// The navigator from the keyboard: Ctrl+Enter posts the row being edited, F5 refreshes, and Tab from
// "Salir" reaches the buttons, which Enter clicks.
TEST_F(ControlProfesoresTest, NavigatorWorksFromTheKeyboard) {
    TControlProfesores dialog(QString::fromStdString(proft().string()));
    ProftTableModel* model = dialog.model();
    dialog.show();
    QApplication::setActiveWindow(&dialog);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    settle();
    EXPECT_TRUE(focused() == grid(dialog) || grid(dialog)->isAncestorOf(focused()))
        << "the dialog opens in the grid, not on a navigator button: "
        << (focused() ? focused()->objectName().toStdString() : "nothing");
    enterGrid(dialog, 1, ProftTableModel::XEmpleado);
    type("4321");
    QTest::keyClick(focused(), Qt::Key_Return, Qt::ControlModifier);
    QTest::qWait(300); // a button's shortcut shows it pressed for a moment before it clicks
    EXPECT_FALSE(model->isEditing()) << "posted";
    EXPECT_EQ(storedKeys(1).first, "4321");

    {
        auto table = pontrel::dbf::Table::open(proft(), pontrel::dbf::OpenMode::Shared,
                                               pontrel::dbf::Access::ReadWrite);
        pontrel::dbf::RecordBuffer values;
        values.setText("X_EMPLEADO", "4242");
        table.update(5, values);
    }
    QTest::keyClick(focused(), Qt::Key_F5);
    QTest::qWait(300);
    EXPECT_EQ(model->data(model->index(5, ProftTableModel::XEmpleado)).toString(), "4242") << "refreshed";

    auto* salir = dialog.findChild<QPushButton*>(QStringLiteral("BitBtn1"));
    salir->setFocus();
    settle();
    const int row = grid(dialog)->currentIndex().row();
    QTest::keyClick(salir, Qt::Key_Tab);
    settle();
    auto* button = qobject_cast<QToolButton*>(focused());
    ASSERT_NE(button, nullptr) << "Tab from Salir reaches the navigator";
    EXPECT_EQ(button->parentWidget(), dialog.findChild<QWidget*>(QStringLiteral("wwDBNavigator1")));
    EXPECT_EQ(button, nav(dialog, "First")) << "the first button, enabled on the second row";
    QTest::keyClick(button, Qt::Key_Return);
    QTest::qWait(300);
    EXPECT_EQ(grid(dialog)->currentIndex().row(), 0) << "from row " << row;
    EXPECT_TRUE(dialog.isVisible());
}

TEST_F(ControlProfesoresTest, RefreshReadsWhatAnotherOpeningStored) {
    TControlProfesores dialog(QString::fromStdString(proft().string()));
    {
        auto table = pontrel::dbf::Table::open(proft(), pontrel::dbf::OpenMode::Shared,
                                               pontrel::dbf::Access::ReadWrite);
        pontrel::dbf::RecordBuffer values;
        values.setText("X_EMPLEADO", "4242");
        table.update(1, values);
    }
    grid(dialog)->setCurrentIndex(dialog.model()->index(7, ProftTableModel::FTomapos));
    nav(dialog, "Refresh")->click();
    EXPECT_EQ(dialog.model()->data(dialog.model()->index(1, ProftTableModel::XEmpleado)).toString(), "4242");
    EXPECT_EQ(grid(dialog)->currentIndex().row(), 7) << "the same teacher stays current";
}

// The import run with the real dialog in place of the window's: what is typed reaches the document.
TEST_F(ControlProfesoresTest, ImportRunGoesOnWithTheKeysTypedInTheDialog) {
    pontrel::testing::ScratchFolder work;
    pontrel::testing::SchoolTables school;
    school.proft[1]["X_EMPLEADO"] = "";
    school.soluc = {{"LUIS", "1", "1", "0", "MAT", "1A", "", "A1"}};
    school.write(work.path());
    const fs::path document = folder.path() / "centro.xml";
    pontrel::testing::writeFile(document, pontrel::testing::schoolDocument());

    pontrel::testing::ScriptedUserInterface ui;
    ui.documents.push_back(document);
    ui.onTeacherDialog = [](const fs::path& proftPath) {
        TControlProfesores dialog(QString::fromStdString(proftPath.string()));
        ASSERT_TRUE(dialog.model()->setData(dialog.model()->index(1, ProftTableModel::XEmpleado),
                                            QStringLiteral("2002")));
        dialog.close();
    };
    pontrel::RunSession session;
    session.workingFolder = work.path();
    EXPECT_EQ(pontrel::importing::ImportRun(session, ui).run(), pontrel::RunOutcome::Completed);
    EXPECT_EQ(ui.teacherDialogs, 1);
    const std::string written = pontrel::testing::readFile(folder.path() / "ResultadoDastelcentro.xml");
    EXPECT_NE(written.find(">2002<"), std::string::npos);
}

} // namespace
