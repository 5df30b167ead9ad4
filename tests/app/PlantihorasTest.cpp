// The frame selection dialog: layout, the current frame's labels and slots, reloading on activation,
// and the three results with their messages.

#include "ModalBoxes.h"
#include "YedraFixture.h"

#include "app/Plantihoras.h"
#include "app/QtUserInterface.h"
#include "dbf/Error.h"

#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

using pontrel::app::TPlantillas;
using pontrel::testing::FieldList;
using pontrel::testing::ModalBoxes;
using pontrel::testing::writeFile;
using pontrel::testing::yedraDocument;

namespace {

const std::vector<FieldList> kFrames = {
    {"J1", "Jornada de mañana", "01/09/2025", "30/06/2026"},
    {"NOCTURNO", "Nocturno", "15/09/2025", "31/05/2026"},
    {" J3", "Tarde", "01/10/2025", "31/05/2026"},
    {"ABCDEFGHIJKL", "Código largo", "-", "-"},
    {"J5", "Viernes", "01/09/2025", "30/06/2026"},
    {"J6", "Sin tramos", "01/09/2025", "30/06/2026"},
};
const std::vector<FieldList> kSlots = {
    {"1", "08:00 - 09:00", "480", "540", "J1"}, {"2", "Noche 1", "1200", "1260", "NOCTURNO"},
    {"3", "09:00 - 10:00", "540", "600", "J1"}, {"4", "Tarde 1", "960", "1020", " J3"},
    {"5", "10:00 - 11:00", "600", "660", "J1"}, {"6", "Largo", "600", "660", "ABCDEFGHIJKL"},
};

void settle() {
    for (int i = 0; i < 5; ++i)
        QApplication::processEvents();
}

QStringList entries(const QListWidget* list) {
    QStringList texts;
    for (int i = 0; i < list->count(); ++i)
        texts << list->item(i)->text();
    return texts;
}

class PlantillasTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        document = writeFile(dir, "centro.xml", yedraDocument(kFrames, kSlots));
    }
    template <class T> T* child(const TPlantillas& dialog, const char* name) {
        T* found = dialog.findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    QString label(const TPlantillas& dialog, const char* name) { return child<QLabel>(dialog, name)->text(); }

    QTemporaryDir dir;
    std::filesystem::path document;
};

TEST_F(PlantillasTest, LayoutNamesCaptionsAndGeometry) {
    TPlantillas dialog(document);
    EXPECT_EQ(dialog.objectName(), "Plantillas");
    EXPECT_EQ(dialog.windowTitle(), "Planillas, Marcos o Jornadas Horarias");
    EXPECT_EQ(dialog.pos(), QPoint(368, 228));
    EXPECT_FALSE(dialog.windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(dialog.windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(dialog.windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_EQ(dialog.font().pixelSize(), 11);

    struct Expected {
        const char* name;
        QRect geometry;
        const char* text; // nullptr: not a label or button
    };
    const Expected controls[] = {
        {"Draw3D4", {0, 0, 369, 333}, nullptr},
        {"LabelPlantillas",
         {16, 2, 321, 31},
         "Seleccione los 5 días de la semana del Marco Horario que desea recoger en Velmora."},
        {"LabelMarcos", {48, 37, 74, 16}, "MARCOS"},
        {"Label1", {215, 37, 67, 18}, "HORAS"},
        {"ListBox2", {16, 55, 127, 83}, nullptr},
        {"ListBox1", {152, 55, 193, 155}, nullptr},
        {"LabelNombre", {9, 208, 120, 41}, "-"},
        {"LabelPlanFec1", {9, 251, 120, 23}, "-"},
        {"LabelPlanFec2", {9, 277, 120, 23}, "-"},
        {"BitBtnContinuar", {255, 305, 89, 25}, "Continuar"},
        {"ComboBoxPlantilla", {168, 307, 81, 21}, nullptr},
    };
    for (const auto& c : controls) {
        auto* widget = child<QWidget>(dialog, c.name);
        ASSERT_NE(widget, nullptr);
        EXPECT_EQ(widget->geometry(), c.geometry) << c.name;
        if (auto* l = qobject_cast<QLabel*>(widget); l && c.text) {
            EXPECT_EQ(l->text(), QString::fromUtf8(c.text)) << c.name;
        }
        if (auto* b = qobject_cast<QPushButton*>(widget); b && c.text) {
            EXPECT_EQ(b->text(), QString::fromUtf8(c.text)) << c.name;
        }
    }

    const QColor maroon(128, 0, 0);
    for (const char* name : {"LabelMarcos", "Label1", "LabelNombre", "LabelPlanFec1", "LabelPlanFec2"}) {
        auto* l = child<QLabel>(dialog, name);
        EXPECT_EQ(l->palette().color(QPalette::WindowText), maroon) << name;
        EXPECT_EQ(l->font().pixelSize(), 16) << name;
        EXPECT_TRUE(l->font().bold()) << name;
    }
    EXPECT_TRUE(child<QLabel>(dialog, "LabelNombre")->font().underline());
    EXPECT_TRUE(child<QLabel>(dialog, "LabelNombre")->wordWrap());
    EXPECT_EQ(child<QLabel>(dialog, "LabelPlantillas")->font().pixelSize(), 13);

    auto* continuar = child<QPushButton>(dialog, "BitBtnContinuar");
    EXPECT_TRUE(continuar->isDefault());
    EXPECT_TRUE(continuar->font().bold());
    EXPECT_FALSE(continuar->icon().isNull());
    EXPECT_EQ(child<QListWidget>(dialog, "ListBox2")->selectionMode(), QAbstractItemView::ExtendedSelection);

    dialog.show();
    settle();
    EXPECT_FALSE(child<QComboBox>(dialog, "ComboBoxPlantilla")->isVisible());
    EXPECT_EQ(dialog.focusWidget(), continuar);
    // Continuar, the hidden combo box, the slot list, the frame list.
    EXPECT_EQ(continuar->nextInFocusChain(), child<QWidget>(dialog, "ComboBoxPlantilla"));
    dialog.hide();
}

TEST_F(PlantillasTest, FirstFrameIsShownBeforeAnyClick) {
    TPlantillas dialog(document);
    dialog.show();
    settle();
    EXPECT_EQ(entries(child<QListWidget>(dialog, "ListBox2")),
              QStringList({"J1", "NOCTURNO", " J3", "ABCDEFGHIJKL", "J5", "J6"}));
    EXPECT_EQ(child<QComboBox>(dialog, "ComboBoxPlantilla")->currentText(), "J1");
    EXPECT_EQ(label(dialog, "LabelNombre"), "Jornada de mañana");
    EXPECT_EQ(label(dialog, "LabelPlanFec1"), "01/09/2025");
    EXPECT_EQ(label(dialog, "LabelPlanFec2"), "30/06/2026");
    EXPECT_EQ(entries(child<QListWidget>(dialog, "ListBox1")),
              QStringList({"08:00 - 09:00", "09:00 - 10:00", "10:00 - 11:00"}));
    EXPECT_TRUE(child<QListWidget>(dialog, "ListBox2")->selectedItems().isEmpty());
    dialog.hide();
}

// A frame name longer than the two lines of `LabelNombre`: the label keeps its place and size, and
// what it draws fits in it and shows the whole name, or the name cut with "…" and whole in the tooltip.
TEST_F(PlantillasTest, LongFrameNamesAreShownWholeInTheLabelsBox) {
    const std::vector<std::string> names = {
        "Jornada de mañana", // fits as it is
        "Jornada de tarde Formación Profesional",
        "Jornada de tarde de los Ciclos Formativos de Grado Superior de Formación Profesional a distancia"};
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        QTemporaryDir folder;
        const auto path = writeFile(folder, "centro.xml",
                                    yedraDocument({{"J1", name, "01/09/2025", "30/06/2026"},
                                                   {"J2", "Otra", "01/09/2025", "30/06/2026"}},
                                                  kSlots));
        TPlantillas dialog(path);
        dialog.show();
        settle();
        auto* nombre = child<QLabel>(dialog, "LabelNombre");
        ASSERT_NE(nombre, nullptr);
        EXPECT_EQ(nombre->geometry(), QRect(9, 208, 120, 41));
        const QString whole = QString::fromStdString(name);
        const QString text = nombre->text();
        const QRect box = nombre->contentsRect();
        const QRect drawn = QFontMetrics(nombre->font())
                                .boundingRect(QRect(0, 0, box.width(), 10000),
                                              Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, text);
        EXPECT_LE(drawn.height(), box.height()) << "lines cut off below the label: " << text.toStdString();
        EXPECT_LE(drawn.width(), box.width()) << text.toStdString();
        EXPECT_TRUE(nombre->font().bold());
        EXPECT_TRUE(nombre->font().underline());
        if (text == whole) {
            EXPECT_GE(nombre->font().pixelSize(), 11);
        } else {
            EXPECT_TRUE(text.endsWith(QChar(0x2026))) << text.toStdString();
            QString start = text.chopped(1);
            start.replace(QLatin1Char('\n'), QLatin1Char(' '));
            EXPECT_TRUE(whole.startsWith(start.trimmed())) << text.toStdString();
        }
        if (nombre->font().pixelSize() == 16 && text == whole)
            EXPECT_TRUE(nombre->toolTip().isEmpty());
        else
            EXPECT_EQ(nombre->toolTip(), whole);

        // The next frame, short again, is shown in the label's own font.
        auto* frames = child<QListWidget>(dialog, "ListBox2");
        QTest::mouseClick(frames->viewport(), Qt::LeftButton, {},
                          frames->visualItemRect(frames->item(1)).center());
        EXPECT_EQ(nombre->text(), "Otra");
        EXPECT_EQ(nombre->font().pixelSize(), 16);
        EXPECT_TRUE(nombre->toolTip().isEmpty());
        dialog.hide();
    }
}

TEST_F(PlantillasTest, TheEntryClickedBecomesCurrentWhetherSelectedOrNot) {
    TPlantillas dialog(document);
    dialog.show();
    settle();
    auto* frames = child<QListWidget>(dialog, "ListBox2");
    auto click = [&](int row, Qt::KeyboardModifiers modifiers) {
        QTest::mouseClick(frames->viewport(), Qt::LeftButton, modifiers,
                          frames->visualItemRect(frames->item(row)).center());
    };
    // Codes are compared raw: the leading blank of " J3" must match its slots' frame code.
    click(2, Qt::NoModifier);
    EXPECT_EQ(label(dialog, "LabelNombre"), "Tarde");
    EXPECT_EQ(entries(child<QListWidget>(dialog, "ListBox1")), QStringList({"Tarde 1"}));

    click(5, Qt::ControlModifier);
    EXPECT_EQ(label(dialog, "LabelNombre"), "Sin tramos");
    EXPECT_TRUE(entries(child<QListWidget>(dialog, "ListBox1")).isEmpty()) << "a frame without slots";
    EXPECT_EQ(frames->selectedItems().size(), 2);

    // Ctrl-click on a selected entry takes it out of the selection and still makes it current.
    click(2, Qt::ControlModifier);
    EXPECT_FALSE(frames->item(2)->isSelected());
    EXPECT_EQ(label(dialog, "LabelNombre"), "Tarde");
    EXPECT_EQ(label(dialog, "LabelPlanFec1"), "01/10/2025");
    dialog.hide();
}

TEST_F(PlantillasTest, MovingThroughTheFramesWithTheKeyboardShowsTheEntryReached) {
    TPlantillas dialog(document);
    dialog.show();
    settle();
    auto* frames = child<QListWidget>(dialog, "ListBox2");
    frames->setFocus();
    QTest::mouseClick(frames->viewport(), Qt::LeftButton, {},
                      frames->visualItemRect(frames->item(0)).center());
    struct Step {
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        const char* name;
        QStringList timeSlots;
        int selected;
    };
    const Step steps[] = {
        {Qt::Key_Down, Qt::NoModifier, "Nocturno", {"Noche 1"}, 1},
        {Qt::Key_Down, Qt::ShiftModifier, "Tarde", {"Tarde 1"}, 2},
        {Qt::Key_Up, Qt::NoModifier, "Nocturno", {"Noche 1"}, 1},
        {Qt::Key_End, Qt::NoModifier, "Sin tramos", {}, 1},
    };
    for (const auto& step : steps) {
        QTest::keyClick(frames, step.key, step.modifiers);
        EXPECT_EQ(label(dialog, "LabelNombre"), QString::fromUtf8(step.name)) << step.name;
        EXPECT_EQ(entries(child<QListWidget>(dialog, "ListBox1")), step.timeSlots) << step.name;
        EXPECT_EQ(frames->selectedItems().size(), step.selected) << step.name;
    }
    dialog.hide();
}

TEST_F(PlantillasTest, ShowingAFrameReadsTheDocumentOfTheLastActivation) {
    TPlantillas dialog(document);
    dialog.show();
    settle();
    // The file changes on disk (or goes away) while the dialog is open: the frames listed are still
    // the ones shown, and clicking one neither fails nor mixes two versions of the document.
    writeFile(dir, "centro.xml", "<SERVICIO><BLOQUE_DATOS>");
    auto* frames = child<QListWidget>(dialog, "ListBox2");
    QTest::mouseClick(frames->viewport(), Qt::LeftButton, {},
                      frames->visualItemRect(frames->item(1)).center());
    settle();
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_FALSE(dialog.loadError());
    EXPECT_EQ(label(dialog, "LabelNombre"), "Nocturno");
    EXPECT_EQ(entries(child<QListWidget>(dialog, "ListBox1")), QStringList({"Noche 1"}));
    dialog.hide();
}

TEST_F(PlantillasTest, SeveralFramesWithTheSameCodeShowTheLastAndCountTwice) {
    writeFile(
        dir, "centro.xml",
        yedraDocument({{"J1", "Primera", "a", "b"}, {"J1", "Segunda", "c", "d"}, {"J2", "Otra", "e", "f"}},
                      {{"1", "Tramo", "480", "540", "J1"}, {"2", "Otro", "540", "600", "J2"}}));
    ModalBoxes boxes;
    TPlantillas dialog(document);
    dialog.show();
    settle();
    EXPECT_EQ(label(dialog, "LabelNombre"), "Segunda");
    EXPECT_EQ(label(dialog, "LabelPlanFec2"), "d");
    auto* frames = child<QListWidget>(dialog, "ListBox2");
    frames->item(0)->setSelected(true);
    frames->item(1)->setSelected(true);
    dialog.close();
    EXPECT_TRUE(dialog.accepted());
    EXPECT_EQ(dialog.selectionString(), "J1        J1        ");
    EXPECT_TRUE(boxes.boxes.empty());
}

enum class Closing { Continuar, CloseBox, Enter, Escape };

struct SelectionCase {
    std::vector<int> rows;
    Closing closing;
    std::string selection;
    bool accepted;
    QString message; // empty: no message
};

class PlantillasSelection : public PlantillasTest, public ::testing::WithParamInterface<SelectionCase> {};

TEST_P(PlantillasSelection, ResultsAndMessageAtClosing) {
    const SelectionCase& c = GetParam();
    ModalBoxes boxes;
    TPlantillas dialog(document);
    dialog.show();
    settle();
    auto* frames = child<QListWidget>(dialog, "ListBox2");
    for (int row : c.rows)
        frames->item(row)->setSelected(true);
    switch (c.closing) {
    case Closing::Continuar:
        child<QPushButton>(dialog, "BitBtnContinuar")->click();
        break;
    case Closing::CloseBox:
        dialog.close();
        break;
    case Closing::Enter:
        QTest::keyClick(&dialog, Qt::Key_Return);
        break;
    case Closing::Escape:
        QTest::keyClick(&dialog, Qt::Key_Escape);
        break;
    }
    settle();
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.selectionString(), c.selection);
    EXPECT_EQ(dialog.accepted(), c.accepted);
    EXPECT_EQ(dialog.frameCount(), 6);
    if (c.message.isEmpty()) {
        EXPECT_TRUE(boxes.boxes.empty()) << boxes.texts().join("|").toStdString();
    } else {
        ASSERT_EQ(boxes.boxes.size(), 1u);
        EXPECT_EQ(boxes.boxes[0].text, c.message);
        EXPECT_EQ(boxes.boxes[0].title, "Pontrel");
        EXPECT_EQ(boxes.boxes[0].buttons, QStringList{"OK"});
    }
}

const QString kNone = QString::fromUtf8("Debe al menos seleccionar 1 Marco Horario.");
const QString kTooMany = QString::fromUtf8("Demasiados Marcos Horarios seleccionados.\n"
                                           "Como máximo puede seleccionar 5 Marcos Horarios");

// "Rows_0_5_CloseBox": the rows picked and how the dialog was closed, as the case's name.
std::string selectionCaseName(const SelectionCase& c) {
    const char* const closings[] = {"Continuar", "CloseBox", "Enter", "Escape"};
    std::string name = c.rows.empty() ? "NoRow" : "Rows";
    for (int row : c.rows)
        name += "_" + std::to_string(row);
    return name + "_" + closings[static_cast<int>(c.closing)];
}

INSTANTIATE_TEST_SUITE_P(
    Selections, PlantillasSelection,
    ::testing::Values(SelectionCase{{}, Closing::Continuar, "", false, kNone},
                      SelectionCase{{}, Closing::Escape, "", false, kNone},
                      SelectionCase{{1}, Closing::Enter, "NOCTURNO  ", true, {}},
                      // Pieces of 10: a short code padded, a leading blank kept, a long code cut.
                      SelectionCase{{0, 1, 2, 3, 4},
                                    Closing::Continuar,
                                    "J1        NOCTURNO   J3       ABCDEFGHIJJ5        ",
                                    true,
                                    {}},
                      SelectionCase{{0, 5}, Closing::CloseBox, "J1        J6        ", true, {}},
                      SelectionCase{{0, 1, 2, 3, 4, 5},
                                    Closing::Continuar,
                                    "J1        NOCTURNO   J3       ABCDEFGHIJJ5        J6        ",
                                    false,
                                    kTooMany}),
    [](const auto& info) { return selectionCaseName(info.param); });

TEST_F(PlantillasTest, ActivationAfterAnotherOwnWindowReloadsTheDocument) {
    TPlantillas dialog(document);
    dialog.show();
    settle();
    QApplication::setActiveWindow(&dialog);
    settle();
    auto* frames = child<QListWidget>(dialog, "ListBox2");
    frames->setCurrentRow(3, QItemSelectionModel::Select);
    ASSERT_EQ(frames->selectedItems().size(), 1);
    ASSERT_EQ(label(dialog, "LabelNombre"), "Código largo");

    // Another program taking the focus changes nothing.
    QApplication::setActiveWindow(nullptr);
    settle();
    QApplication::setActiveWindow(&dialog);
    settle();
    EXPECT_EQ(frames->selectedItems().size(), 1);

    auto frames7 = kFrames;
    frames7.push_back({"J7", "Nueva", "x", "y"});
    writeFile(dir, "centro.xml", yedraDocument(frames7, kSlots));
    QWidget other;
    other.show();
    QApplication::setActiveWindow(&other);
    settle();
    QApplication::setActiveWindow(&dialog);
    settle();
    EXPECT_EQ(frames->count(), 7);
    EXPECT_TRUE(frames->selectedItems().isEmpty());
    EXPECT_EQ(child<QComboBox>(dialog, "ComboBoxPlantilla")->count(), 7);
    EXPECT_EQ(label(dialog, "LabelNombre"), "Jornada de mañana");
    other.hide();
    dialog.hide();
}

TEST_F(PlantillasTest, OneFrameOrNoneLeavesTheListsEmpty) {
    for (const auto& frames : {std::vector<FieldList>{}, std::vector<FieldList>{{"J1", "Única", "a", "b"}}}) {
        writeFile(dir, "centro.xml", yedraDocument(frames, kSlots));
        TPlantillas dialog(document);
        dialog.show();
        settle();
        EXPECT_EQ(dialog.frameCount(), 0);
        EXPECT_EQ(label(dialog, "LabelNombre"), "-");
        dialog.hide();
    }
}

TEST_F(PlantillasTest, ChooseFramesHandsBackTheDialogsResults) {
    QWidget owner;
    QFileDialog files(&owner);
    pontrel::app::QtUserInterface ui(&owner, &files);
    ModalBoxes boxes;
    boxes.onDialog = [](QDialog* dialog) {
        auto* plantillas = qobject_cast<TPlantillas*>(dialog);
        if (!plantillas)
            return false;
        auto* list = plantillas->findChild<QListWidget*>("ListBox2");
        list->item(1)->setSelected(true);
        list->item(4)->setSelected(true);
        plantillas->findChild<QPushButton*>("BitBtnContinuar")->click();
        return true;
    };
    const pontrel::FrameChoice choice = ui.chooseFrames(document, {});
    EXPECT_EQ(choice.selection, "NOCTURNO  J5        ");
    EXPECT_TRUE(choice.accepted);
    EXPECT_EQ(choice.frameCount, 6);
    EXPECT_EQ(boxes.unexpected, 0);
}

TEST_F(PlantillasTest, ADocumentThatCannotBeReadEndsTheChoiceWithItsError) {
    QWidget owner;
    QFileDialog files(&owner);
    pontrel::app::QtUserInterface ui(&owner, &files);
    ModalBoxes boxes; // rejects the dialog should it stay open
    const auto broken = writeFile(dir, "roto.xml", "<SERVICIO><BLOQUE_DATOS>");
    EXPECT_THROW(ui.chooseFrames(broken, {}), pontrel::Error);
    EXPECT_EQ(boxes.unexpected, 0) << "the dialog closes itself on a reading error";
}

} // namespace
