// The main window: its components, the command line, and what each way a run ends does to the
// result code, the buttons and the window.

#include "ModalBoxes.h"

#include "app/GradientPanel.h"
#include "app/HelpAdapter.h"
#include "app/HostEmbedding.h"
#include "app/MainForm.h"
#include "dbf/Error.h"

#include <QFileDialog>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

using pontrel::RunOutcome;
using pontrel::RunSession;
using pontrel::UserInterface;
using pontrel::app::Runs;
using pontrel::app::TMForm;
using pontrel::testing::ModalBoxes;

namespace {

void settle() {
    for (int i = 0; i < 5; ++i)
        QApplication::processEvents();
}

// Runs that record their calls and end as the test says.
struct FakeRuns {
    std::vector<std::string> calls;
    std::function<RunOutcome(RunSession&, UserInterface&)> behaviour = [](RunSession&, UserInterface&) {
        return RunOutcome::Stopped;
    };
    Runs runs() {
        return Runs{[this](RunSession& s, UserInterface& ui) {
                        calls.push_back("exportar");
                        return behaviour(s, ui);
                    },
                    [this](RunSession& s, UserInterface& ui) {
                        calls.push_back("importar");
                        return behaviour(s, ui);
                    }};
    }
};

class MainFormTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(programFolder.isValid());
        session.programFolder = programFolder.path().toStdString();
    }
    std::unique_ptr<TMForm> makeForm(const QStringList& arguments) {
        auto form = std::make_unique<TMForm>(arguments, session, fake.runs());
        form->setEndProgram([this] { ++programEnds; });
        return form;
    }
    QPushButton* button(const TMForm& form, const char* name) {
        return form.findChild<QPushButton*>(QString::fromLatin1(name));
    }
    bool resultFileWritten() const { return QFile::exists(programFolder.filePath("Velmora.ini")); }

    QTemporaryDir programFolder;
    RunSession session;
    FakeRuns fake;
    int programEnds = 0;
};

TEST_F(MainFormTest, ComponentsByNameWithGeometryCaptionsAndLook) {
    auto form = makeForm({});
    EXPECT_EQ(form->objectName(), "MForm");
    EXPECT_EQ(form->windowTitle(), "Exportar e importar datos entre Velmora y Yedra");
    EXPECT_EQ(form->size(), QSize(632, 266));
    EXPECT_EQ(form->minimumSize(), form->maximumSize()) << "no resizing";
    EXPECT_FALSE(form->windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(form->windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_EQ(form->font().pixelSize(), 11);

    struct Expected {
        const char* name;
        const char* parent;
        QRect geometry;
        const char* text;
    };
    const Expected components[] = {
        {"Draw3D2", "MForm", {1, 0, 315, 169}, nullptr},
        {"Label3", "Draw3D2", {24, 24, 265, 57}, "Transformar datos desde Yedra hacia Velmora "},
        {"BExportar", "Draw3D2", {96, 120, 89, 25}, "OK"},
        {"Draw3D3", "MForm", {316, 0, 317, 169}, nullptr},
        {"Label4", "Draw3D3", {8, 24, 305, 57}, "Transformar datos desde Velmora hacia Yedra"},
        {"BImportar", "Draw3D3", {96, 120, 89, 25}, "OK"},
        {"Draw3D1", "MForm", {0, 168, 633, 97}, nullptr},
        {"Label1", "Draw3D1", {8, 72, 217, 13}, "Pontrel para RT48 V-1.0"},
        {"BClose", "Draw3D1", {256, 32, 89, 25}, "&Salir"},
        {"Button1", "Draw3D1", {264, 64, 75, 25}, "F1 Ayuda"},
    };
    for (const auto& c : components) {
        auto* widget = form->findChild<QWidget*>(QString::fromLatin1(c.name));
        ASSERT_NE(widget, nullptr) << c.name;
        EXPECT_EQ(widget->parentWidget()->objectName(), c.parent) << c.name;
        EXPECT_EQ(widget->geometry(), c.geometry) << c.name;
        EXPECT_EQ(pontrel::app::HelpAdapter::contextOf(widget), 3) << c.name;
        if (auto* label = qobject_cast<QLabel*>(widget)) {
            EXPECT_EQ(label->text(), QString::fromUtf8(c.text)) << c.name;
        }
        if (auto* b = qobject_cast<QPushButton*>(widget)) {
            EXPECT_EQ(b->text(), QString::fromUtf8(c.text)) << c.name;
        }
    }
    for (const char* name : {"Label3", "Label4"}) {
        auto* label = form->findChild<QLabel*>(name);
        EXPECT_EQ(label->font().pixelSize(), 16) << name;
        EXPECT_TRUE(label->font().bold()) << name;
        EXPECT_TRUE(label->wordWrap()) << name;
        EXPECT_FALSE(label->autoFillBackground()) << name;
    }
    auto* version = form->findChild<QLabel*>("Label1");
    EXPECT_TRUE(version->font().bold());
    EXPECT_EQ(version->palette().color(QPalette::WindowText), QColor(Qt::red));
    EXPECT_FALSE(button(*form, "BExportar")->icon().isNull());

    auto* exportSide = form->findChild<pontrel::app::GradientPanel*>("Draw3D2");
    EXPECT_EQ(exportSide->startColour(), QColor(0xF9, 0xD3, 0x7D));
    EXPECT_EQ(exportSide->middleColour(), QColor(Qt::white));
    EXPECT_EQ(exportSide->endColour(), QColor(0xFF, 0xEE, 0xDD));
    auto* strip = form->findChild<pontrel::app::GradientPanel*>("Draw3D1");
    EXPECT_EQ(strip->startColour(), QColor(0xC2, 0xCD, 0xFE));
    EXPECT_EQ(strip->middleColour(), QColor(0xCF, 0xF2, 0xFE));
    EXPECT_EQ(strip->endColour(), QColor(0xCC, 0xD8, 0xE6));

    QFileDialog* files = form->openDialogXML();
    EXPECT_EQ(files->objectName(), "OpenDialogXML");
    EXPECT_EQ(files->windowTitle(), "Archivo XML");
    EXPECT_EQ(files->nameFilters(), QStringList{"*.xml"});
    EXPECT_EQ(files->defaultSuffix(), "xml");
    EXPECT_TRUE(files->testOption(QFileDialog::DontUseNativeDialog));
}

// What a run's ending does in a standalone window. The result code is the run's to set (see below).
struct OutcomeCase {
    const char* name;
    RunOutcome outcome;
    bool buttonsEnabled;
    bool windowCloses;
};

class MainFormOutcome : public MainFormTest, public ::testing::WithParamInterface<OutcomeCase> {};

TEST_P(MainFormOutcome, ResultButtonsAndWindow) {
    const OutcomeCase& c = GetParam();
    fake.behaviour = [&](RunSession&, UserInterface&) { return c.outcome; };
    auto form = makeForm({});
    form->show();
    button(*form, "BExportar")->click();
    settle();
    EXPECT_EQ(fake.calls, std::vector<std::string>{"exportar"});
    EXPECT_EQ(form->resultCode(), 0) << "the ending alone sets no code";
    EXPECT_EQ(button(*form, "BExportar")->isEnabled(), c.buttonsEnabled);
    EXPECT_EQ(button(*form, "BImportar")->isEnabled(), c.buttonsEnabled);
    EXPECT_EQ(programEnds, c.windowCloses ? 1 : 0);
    EXPECT_FALSE(resultFileWritten()) << "a standalone window never writes the result file";
}

INSTANTIATE_TEST_SUITE_P(
    Standalone, MainFormOutcome,
    ::testing::Values(OutcomeCase{"Completed", RunOutcome::Completed, false, false},
                      OutcomeCase{"DocumentMissing", RunOutcome::DocumentMissing, true, false},
                      OutcomeCase{"Stopped", RunOutcome::Stopped, true, false},
                      OutcomeCase{"TeacherDataMissing", RunOutcome::TeacherDataMissing, true, true}),
    [](const auto& info) { return std::string(info.param.name); });

// Velmora gave a well-formed handle that names no window (offscreen there are none): an ordinary window,
// but the code a run sets is kept at once and left in "Velmora.ini" however the window is closed, even
// while the run's last message is still open.
TEST_F(MainFormTest, CodeSetByARunIsLeftWhenTheWindowClosesUnderItsLastMessage) {
    const QString resultFile = programFolder.filePath("Velmora.ini");
    int codeWhileMessageOpen = 99;
    QByteArray fileWhileMessageOpen;
    fake.behaviour = [](RunSession& s, UserInterface& ui) {
        EXPECT_TRUE(s.hostReadsResult);
        ui.setResultCode(1);
        ui.showMessage("Proceso finalizado");
        return RunOutcome::Completed;
    };
    TMForm* formSeen = nullptr;
    QTimer answer;
    answer.setInterval(10);
    QObject::connect(&answer, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || !box->isVisible())
            return;
        if (box->text() == "Proceso finalizado" && formSeen) {
            codeWhileMessageOpen = formSeen->resultCode();
            formSeen->closeMainWindow();
            QFile file(resultFile);
            if (file.open(QIODevice::ReadOnly))
                fileWhileMessageOpen = file.readAll();
        }
        box->buttons().constFirst()->click();
    });
    answer.start();
    auto form = makeForm({"exportar", "1A2B"});
    formSeen = form.get();
    EXPECT_TRUE(form->embedded()) << "embedded mode, although no window holds it";
    form->show();
    settle();
    EXPECT_EQ(fake.calls, std::vector<std::string>{"exportar"});
    EXPECT_EQ(codeWhileMessageOpen, 1);
    EXPECT_EQ(fileWhileMessageOpen, "[Transformadores]\r\nTransformado=1\r\n");
    EXPECT_EQ(programEnds, 1);
}

TEST_F(MainFormTest, AnErrorThatEscapesARunIsShownAndChangesNothing) {
    fake.behaviour = [](RunSession&, UserInterface& ui) -> RunOutcome {
        ui.setBusy(true);
        throw pontrel::Error("La tabla \"PROFT\" está abierta por otro programa.");
    };
    ModalBoxes boxes;
    auto form = makeForm({});
    form->show();
    button(*form, "BImportar")->click();
    settle();
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].title, "Pontrel");
    EXPECT_EQ(boxes.boxes[0].text, "La tabla \"PROFT\" está abierta por otro programa.");
    EXPECT_EQ(boxes.boxes[0].icon, QMessageBox::Critical);
    EXPECT_EQ(boxes.boxes[0].buttons, QStringList{"OK"});
    EXPECT_EQ(QApplication::overrideCursor(), nullptr) << "the busy cursor is taken back";
    EXPECT_TRUE(button(*form, "BExportar")->isEnabled());
    EXPECT_EQ(form->resultCode(), 0);
    EXPECT_EQ(programEnds, 0);
}

TEST_F(MainFormTest, TheDocumentPathCarriesOverFromOneRunToTheNext) {
    std::vector<std::filesystem::path> seen;
    fake.behaviour = [&](RunSession& s, UserInterface&) {
        seen.push_back(s.documentPath);
        s.documentPath = "/escuela/centro.xml";
        return RunOutcome::Stopped;
    };
    auto form = makeForm({});
    button(*form, "BExportar")->click();
    button(*form, "BImportar")->click();
    EXPECT_EQ(seen, (std::vector<std::filesystem::path>{"", "/escuela/centro.xml"}));
}

// The command line as the window reads it when no host window can be embedded (offscreen).
struct CommandLineCase {
    const char* name;
    QStringList arguments;
    std::vector<std::string> runsOnShow;
    QString errorBox;  // empty: none
    bool writesResult; // a well-formed handle: Velmora reads the result, even when no window has it
};

class MainFormCommandLine : public MainFormTest, public ::testing::WithParamInterface<CommandLineCase> {};

TEST_P(MainFormCommandLine, DirectionAndHandle) {
    const CommandLineCase& c = GetParam();
    ModalBoxes boxes;
    std::vector<bool> hostReadsResult;
    fake.behaviour = [&](RunSession& s, UserInterface&) {
        hostReadsResult.push_back(s.hostReadsResult);
        return RunOutcome::Stopped;
    };
    auto form = makeForm(c.arguments);
    EXPECT_EQ(form->embedded(), c.writesResult);
    form->show();
    settle();
    EXPECT_EQ(fake.calls, c.runsOnShow);
    if (c.errorBox.isEmpty()) {
        EXPECT_TRUE(boxes.boxes.empty()) << boxes.texts().join("|").toStdString();
    } else {
        ASSERT_EQ(boxes.boxes.size(), 1u);
        EXPECT_EQ(boxes.boxes[0].text, c.errorBox);
        EXPECT_EQ(boxes.boxes[0].icon, QMessageBox::Critical);
        EXPECT_EQ(boxes.boxes[0].buttons, QStringList{"OK"});
    }
    // Showing again later does not start the direction a second time.
    form->hide();
    form->show();
    settle();
    EXPECT_EQ(fake.calls, c.runsOnShow);
    form->findChild<QPushButton*>("BClose")->click();
    EXPECT_EQ(programEnds, 1);
    EXPECT_EQ(hostReadsResult, std::vector<bool>(c.runsOnShow.size(), c.writesResult));
    if (c.writesResult) {
        QFile file(programFolder.filePath("Velmora.ini"));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_EQ(file.readAll(), "[Transformadores]\r\nTransformado=0\r\n");
    } else {
        EXPECT_FALSE(resultFileWritten());
    }
}

const QString kNoWindow =
    QString::fromUtf8("No existe ninguna ventana con el identificador hexadecimal '1A2B': Pontrel se abre "
                      "como ventana independiente y, al terminar, dejará el resultado para Velmora.");

INSTANTIATE_TEST_SUITE_P(
    Arguments, MainFormCommandLine,
    ::testing::Values(
        CommandLineCase{"None", {}, {}, {}, false}, CommandLineCase{"One", {"exportar"}, {}, {}, false},
        CommandLineCase{"Three", {"exportar", "1A2B", "x"}, {}, {}, false},
        CommandLineCase{"BadHexStillRunsExport",
                        {"EXPORTAR", "XYZ"},
                        {"exportar"},
                        QString::fromUtf8("'XYZ' no es un número hexadecimal válido"),
                        false},
        CommandLineCase{"BadHexStillRunsImport",
                        {"Importar", "0x1f"},
                        {"importar"},
                        QString::fromUtf8("'0x1f' no es un número hexadecimal válido"),
                        false},
        CommandLineCase{"HandleOfNoWindow", {"exportar", "1A2B"}, {"exportar"}, kNoWindow, true},
        CommandLineCase{"UnknownWordRunsNothing", {"exportarr", "1A2B"}, {}, kNoWindow, true},
        // Only A to Z are folded: a dotless capital I is another word.
        CommandLineCase{"OnlyAsciiFolded", {QString::fromUtf8("İMPORTAR"), "1A2B"}, {}, kNoWindow, true}),
    [](const auto& info) { return std::string(info.param.name); });

// A well-formed handle that names no window is embedded mode all the same: the run starts, a run that
// completes or finds no document closes the window, and the code is left for Velmora. From the start
// the file holds 0, so an earlier run's 1 is never read as this run's, even if the program is killed.
TEST_F(MainFormTest, HandleOfNoWindowEndsAsEmbeddedAndReplacesAnEarlierResultAtOnce) {
    struct Case {
        const char* name;
        RunOutcome outcome;
        int code; // set by the run
        bool closes;
        const char* result;
    };
    const Case cases[] = {
        {"Completed", RunOutcome::Completed, 1, true, "Transformado=1"},
        {"DocumentMissing", RunOutcome::DocumentMissing, -1, true, "Transformado=-1"},
        {"Stopped", RunOutcome::Stopped, 0, false, "Transformado=0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString resultFile = programFolder.filePath("Velmora.ini");
        {
            QFile earlier(resultFile);
            ASSERT_TRUE(earlier.open(QIODevice::WriteOnly | QIODevice::Truncate));
            earlier.write("[Transformadores]\r\nTransformado=1\r\n");
        }
        QByteArray whileRunning;
        fake.behaviour = [&](RunSession&, UserInterface& ui) {
            QFile file(resultFile);
            if (file.open(QIODevice::ReadOnly))
                whileRunning = file.readAll();
            if (c.code != 0)
                ui.setResultCode(c.code);
            return c.outcome;
        };
        ModalBoxes boxes;
        programEnds = 0;
        auto form = makeForm({"exportar", "1A2B"});
        form->show();
        settle();
        EXPECT_EQ(whileRunning, "[Transformadores]\r\nTransformado=0\r\n") << "an earlier 1 stays no longer";
        EXPECT_EQ(programEnds, c.closes ? 1 : 0);
        QFile file(resultFile);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_EQ(file.readAll(), QByteArray("[Transformadores]\r\n") + c.result + "\r\n");
        ASSERT_EQ(boxes.boxes.size(), 1u) << "the handle's explanation";
        EXPECT_EQ(boxes.boxes[0].text, kNoWindow);
    }
}

// Enter on a focused button clicks it, as Space does; the focus shows on the button however it came.
TEST_F(MainFormTest, EnterClicksTheFocusedButtonAndTheFocusShows) {
    QFile chm(programFolder.filePath("YEDRA.chm"));
    ASSERT_TRUE(chm.open(QIODevice::WriteOnly));
    chm.close();
    QStringList helpCalls;
    struct Viewer : pontrel::app::HelpViewer {
        QStringList* calls;
        explicit Viewer(QStringList* c) : calls(c) {}
        bool showContents(const QString&) override {
            *calls << "contents";
            return true;
        }
        bool showContext(const QString&, int) override { return true; }
    };
    pontrel::app::HelpAdapter help(std::make_unique<Viewer>(&helpCalls), programFolder.path());
    struct Case {
        const char* button;
        int key;
        std::function<bool()> clicked;
    };
    const Case cases[] = {
        {"BExportar", Qt::Key_Return, [&] { return fake.calls == std::vector<std::string>{"exportar"}; }},
        {"BImportar", Qt::Key_Enter, [&] { return fake.calls == std::vector<std::string>{"importar"}; }},
        {"Button1", Qt::Key_Return, [&] { return helpCalls == QStringList{"contents"}; }},
        {"BClose", Qt::Key_Enter, [&] { return programEnds == 1; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.button);
        fake.calls.clear();
        helpCalls.clear();
        programEnds = 0;
        TMForm form({}, session, fake.runs(), &help);
        form.setEndProgram([this] { ++programEnds; });
        form.show();
        QApplication::setActiveWindow(&form);
        ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
        QPushButton* target = button(form, c.button);
        QPushButton* other = button(form, std::string(c.button) == "BClose" ? "Button1" : "BClose");
        other->setFocus();
        settle();
        const QImage unfocused = target->grab().toImage();
        target->setFocus();
        settle();
        EXPECT_NE(target->grab().toImage(), unfocused) << "the focused button looks the same";
        QTest::keyClick(target, Qt::Key(c.key), c.key == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier);
        QTest::qWait(300); // the button is shown pressed for a moment before it clicks
        EXPECT_TRUE(c.clicked());
    }
}

// Argument 2 as a number, the way the host writes it: hexadecimal digits without prefix, of 32 bits.
TEST(HostHandle, HexadecimalDigitsWithoutPrefix) {
    struct Case {
        const char* text;
        std::optional<quintptr> handle;
    };
    const Case cases[] = {
        {"3a00007", 0x3a00007},
        {"3A00007", 0x3a00007},
        {"FFFFFFFF", 0xFFFFFFFFu},
        {"0", 0},
        {"0003A00007", 0x3a00007}, // padded to a fixed width
        {"00000000FFFFFFFF", 0xFFFFFFFFu},
        {"100000000", std::nullopt}, // more than 32 bits
        {"", std::nullopt},
        {"0x1f", std::nullopt},
        {"-1F", std::nullopt},
        {" 1F", std::nullopt},
        {"1G", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(pontrel::app::parseHostHandle(QString::fromLatin1(c.text)), c.handle)
            << '"' << c.text << '"';
}

// A viewer that records what the adapter asks of it.
struct RecordingViewer : pontrel::app::HelpViewer {
    QStringList* calls;
    explicit RecordingViewer(QStringList* c) : calls(c) {}
    bool showContents(const QString& chm) override {
        *calls << "contents " + chm;
        return true;
    }
    bool showContext(const QString& chm, int context) override {
        *calls << QString("context %1 %2").arg(context).arg(chm);
        return true;
    }
};

TEST_F(MainFormTest, HelpButtonOpensTheContentsOfTheFileBesideTheProgram) {
    QFile chm(programFolder.filePath("YEDRA.chm"));
    ASSERT_TRUE(chm.open(QIODevice::WriteOnly));
    chm.close();
    QStringList calls;
    pontrel::app::HelpAdapter help(std::make_unique<RecordingViewer>(&calls), programFolder.path());
    help.setHelpFile("otra.hlp");
    TMForm form({}, session, fake.runs(), &help);
    form.findChild<QPushButton*>("Button1")->click();
    EXPECT_EQ(calls, QStringList{"contents " + programFolder.filePath("YEDRA.chm")});
}

} // namespace
