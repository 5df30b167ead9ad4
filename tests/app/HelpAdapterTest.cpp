// The help adapter: which help files it serves, where it finds them, and F1's help contexts.

#include "app/HelpAdapter.h"
#include "app/Plantihoras.h"
#include "exchange/runs/Messages.h"
#include "export/ExportRun.h"
#include "import/ImportRun.h"

#include <QDialog>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMap>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using pontrel::app::HelpAdapter;
using pontrel::app::HelpViewer;
using pontrel::app::TPlantillas;

namespace {

struct RecordingViewer : HelpViewer {
    QStringList* calls;
    bool works;
    RecordingViewer(QStringList* c, bool w = true) : calls(c), works(w) {}
    bool showContents(const QString& chm) override {
        *calls << "contents " + chm;
        return works;
    }
    bool showContext(const QString& chm, int context) override {
        *calls << QString("context %1 %2").arg(context).arg(chm);
        return works;
    }
};

class HelpAdapterTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(programFolder.isValid() && elsewhere.isValid());
        touch(programFolder.filePath("YEDRA.chm"));
        touch(programFolder.filePath("ayuda.hlp"));
        touch(elsewhere.filePath("Otra.CHM"));
    }
    static void touch(const QString& file) {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    QTemporaryDir programFolder, elsewhere;
    QStringList calls;
};

TEST_F(HelpAdapterTest, ServesOnlyChmFilesItCanFind) {
    struct Case {
        QString helpFile;
        QString shown; // empty: the viewer is not asked
    };
    const Case cases[] = {
        {"YEDRA.chm", programFolder.filePath("YEDRA.chm")},
        {elsewhere.filePath("Otra.CHM"), elsewhere.filePath("Otra.CHM")}, // letter case ignored, folder kept
        {"ayuda.hlp", {}},                                                // not a compiled help file
        {"NOESTA.chm", {}},                                               // missing beside the program
        {"", {}},
    };
    for (const auto& c : cases) {
        calls.clear();
        HelpAdapter help(std::make_unique<RecordingViewer>(&calls), programFolder.path());
        help.setHelpFile(c.helpFile);
        const bool shownContents = help.showContents();
        const bool shownContext = help.showContext(3);
        if (c.shown.isEmpty()) {
            EXPECT_TRUE(calls.isEmpty()) << c.helpFile.toStdString();
            EXPECT_FALSE(shownContents || shownContext);
        } else {
            EXPECT_EQ(calls, QStringList({"contents " + c.shown, "context 3 " + c.shown}))
                << c.helpFile.toStdString();
        }
    }
}

TEST_F(HelpAdapterTest, ShowsNothingWithoutAViewer) {
    HelpAdapter help(nullptr, programFolder.path());
    help.setHelpFile("YEDRA.chm");
    EXPECT_FALSE(help.showContents());
    EXPECT_FALSE(help.showContext(1));
}

TEST_F(HelpAdapterTest, F1AsksForTheFocusedControlsContext) {
    HelpAdapter help(std::make_unique<RecordingViewer>(&calls), programFolder.path());
    help.setHelpFile("YEDRA.chm");
    std::unique_ptr<QObject> f1(pontrel::app::installF1Help(help, qApp));
    const QString chm = programFolder.filePath("YEDRA.chm");

    // The frame dialog's button carries context 3.
    TPlantillas dialog("/no/existe.xml");
    dialog.show();
    QApplication::setActiveWindow(&dialog);
    auto* continuar = dialog.findChild<QPushButton*>("BitBtnContinuar");
    continuar->setFocus();
    QTest::keyClick(continuar, Qt::Key_F1);
    dialog.hide();

    // The teacher dialog's context reaches a control that sets none of its own.
    QDialog teacher;
    teacher.setProperty(pontrel::app::kHelpContextProperty, 1);
    auto* field = new QLineEdit(&teacher);
    teacher.show();
    QApplication::setActiveWindow(&teacher);
    field->setFocus();
    QTest::keyClick(field, Qt::Key_F1);
    teacher.hide();

    f1.reset();
    QTest::keyClick(field, Qt::Key_F1); // no longer handled
    ASSERT_EQ(calls.size(), 2);
    EXPECT_EQ(calls[0], "context 3 " + chm);
    EXPECT_EQ(calls[1], "context 1 " + chm);
}

// The help file the build writes beside the program: both context topics are in it and mapped.
TEST(HelpFile, IsBuiltBesideTheProgramWithBothContextTopicsMapped) {
    QFile project(PONTREL_SOURCE_DIR "/docs/help/YEDRA.hhp");
    ASSERT_TRUE(project.open(QIODevice::ReadOnly | QIODevice::Text));
    QString section;
    QMap<QString, int> contextOfName;
    QMap<QString, QString> pageOfName;
    for (const QString& raw : QString::fromLatin1(project.readAll()).split('\n')) {
        const QString line = raw.trimmed();
        if (line.startsWith('['))
            section = line;
        else if (section == "[MAP]" && line.startsWith("#define"))
            contextOfName[line.section(' ', 1, 1, QString::SectionSkipEmpty)] =
                line.section(' ', 2, 2, QString::SectionSkipEmpty).toInt();
        else if (section == "[ALIAS]" && line.contains('='))
            pageOfName[line.section('=', 0, 0).trimmed()] = line.section('=', 1).trimmed();
    }
    QMap<int, QString> pageOfContext;
    for (auto it = contextOfName.cbegin(); it != contextOfName.cend(); ++it)
        pageOfContext[it.value()] = pageOfName.value(it.key());
    EXPECT_EQ(pageOfContext.value(pontrel::app::kMainWindowHelpContext), "ventana_principal.html");
    EXPECT_EQ(pageOfContext.value(pontrel::app::kTeacherDialogHelpContext), "datos_profesorado.html");

    QFile chm(PONTREL_BIN_DIR "/YEDRA.chm");
    ASSERT_TRUE(chm.open(QIODevice::ReadOnly)) << "YEDRA.chm is not built (chmcmd from fp-utils)";
    const QByteArray bytes = chm.readAll();
    EXPECT_TRUE(bytes.startsWith("ITSF")) << "not a compiled help file";
    for (const char* entry : {"/ventana_principal.html", "/datos_profesorado.html", "/#IVB", "/#STRINGS"})
        EXPECT_TRUE(bytes.contains(entry)) << entry;
}

// The help's page of messages explains each fixed message of the catalogue, as the user reads it in
// the box.
TEST(HelpFile, MessagesPageExplainsEveryMessageOfTheRuns) {
    QFile page(PONTREL_SOURCE_DIR "/docs/help/mensajes.html");
    ASSERT_TRUE(page.open(QIODevice::ReadOnly));
    // The pages are written in Windows-1252; Latin-1 differs from it only in characters none of these
    // messages holds.
    const auto collapsed = [](QString text) {
        return text.replace(QRegularExpression(QStringLiteral("\\s+")), QStringLiteral(" "));
    };
    const QString html = collapsed(QString::fromLatin1(page.readAll()));
    for (const char* message : pontrel::messages::kFixed)
        EXPECT_TRUE(html.contains(collapsed(QString::fromUtf8(message)))) << message;
}

} // namespace
