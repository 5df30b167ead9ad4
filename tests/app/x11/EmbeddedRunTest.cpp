// Pontrel started by a host window under a private X server, as Velmora starts it: the window goes
// into the host, the direction runs by itself, and the result code reaches "Velmora.ini".
// Each test runs a copy of the program in its own folder, so the result file lands there.

#include "XSession.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <regex>
#include <thread>

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using pontrel::xtest::Process;
using pontrel::xtest::readFile;
using pontrel::xtest::runOnDisplay;
using pontrel::xtest::waitFor;
using pontrel::xtest::Xvfb;

namespace {

constexpr auto kSlow = 60s; // a sanitizer build under a busy machine starts slowly
const char* const kMainTitle = "Exportar e importar datos entre Velmora y Yedra";

class EmbeddedRunTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (std::system("command -v Xvfb >/dev/null && command -v xdotool >/dev/null && command -v xwininfo "
                        ">/dev/null") != 0)
            GTEST_SKIP() << "Xvfb, xdotool and xwininfo are needed (scripts/setup.sh installs them)";
        xvfb = std::make_unique<Xvfb>();
        ASSERT_TRUE(xvfb->running()) << "Xvfb did not start";
        char pattern[] = "/tmp/pontrel-x11-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        folder = pattern;
        program = folder / "pontrel";
        fs::copy_file(PONTREL_PROGRAM, program);
        const fs::path levels = fs::path(PONTREL_BIN_DIR) / "NIVELCAN.DBF";
        if (fs::exists(levels))
            fs::copy_file(levels, folder / "NIVELCAN.DBF");
        fs::create_directory(folder / "vtemp");
    }
    void TearDown() override {
        pontrel.reset();
        host.reset();
        xvfb.reset();
        if (!folder.empty() && !HasFailure())
            fs::remove_all(folder);
        else if (!folder.empty())
            std::fprintf(stderr, "kept for inspection: %s\n", folder.c_str());
    }

    std::vector<std::string> environment() const {
        return {"DISPLAY=" + xvfb->display(), "QT_QPA_PLATFORM=xcb", "ASAN_OPTIONS=detect_leaks=0",
                "PONTREL_ECHO_MESSAGES=1", "PONTREL_VTEMP=" + (folder / "vtemp").string()};
    }
    // Starts the host window, which starts Pontrel with `direction`; returns the host's handle.
    // `hostOptions`: how the host window goes away (--close-after-ms N, --close-when FILE).
    std::string startHost(const std::string& direction, const std::vector<std::string>& hostOptions = {}) {
        std::vector<std::string> argv{PONTREL_HOST_WINDOW};
        argv.insert(argv.end(), hostOptions.begin(), hostOptions.end());
        argv.push_back(program.string());
        argv.push_back(direction);
        host = std::make_unique<Process>(argv, environment(), folder / "host.out", folder / "host.err");
        std::smatch match;
        std::string out;
        const std::regex line("HOST ([0-9a-f]+)\n");
        waitFor(
            [&] {
                out = readFile(folder / "host.out");
                return std::regex_search(out, match, line);
            },
            10s);
        return match.size() > 1 ? "0x" + match[1].str() : std::string();
    }
    std::string messages() const { return readFile(folder / "host.err") + readFile(folder / "pontrel.err"); }
    bool said(const std::string& text) const {
        return messages().find("Pontrel: " + text) != std::string::npos;
    }

    // The id of the visible top-level window whose name matches `regex` ("" until there is one).
    std::string findWindow(const std::string& regex) {
        std::string found;
        waitFor(
            [&] {
                std::string ids =
                    runOnDisplay(xvfb->display(), "xdotool search --onlyvisible --name '" + regex + "'");
                found = ids.substr(0, ids.find('\n'));
                return !found.empty();
            },
            kSlow);
        return found;
    }
    void key(const std::string& window, const std::string& keys) {
        // Focus first, then a plain key: a key sent to a window that closes on it can stick.
        runOnDisplay(xvfb->display(), "xdotool windowfocus --sync " + window);
        runOnDisplay(xvfb->display(), "xdotool key " + keys);
    }
    void click(const std::string& window, int x, int y) {
        runOnDisplay(xvfb->display(), "xdotool mousemove --window " + window + " " + std::to_string(x) + " " +
                                          std::to_string(y) + " click 1");
    }
    // Types a document's name into the file dialog, which opens in the program's working folder (the
    // test folder) with the focus in its name field, and accepts it. The pauses let a loaded machine
    // settle the dialog first: keys typed too early go to the file list.
    void chooseDocument(const std::string& dialog, const std::string& name) {
        runOnDisplay(xvfb->display(), "xdotool windowfocus --sync " + dialog);
        std::this_thread::sleep_for(1s);
        runOnDisplay(xvfb->display(), "xdotool type --delay 40 '" + name + "'");
        std::this_thread::sleep_for(300ms);
        runOnDisplay(xvfb->display(), "xdotool key Return");
    }
    // The export of the sample school as far as its frames: the document chosen in the file dialog,
    // the first of its several frames taken.
    void exportSampleWithFirstFrame() {
        const std::string dialog = findWindow("^Archivo XML$");
        ASSERT_FALSE(dialog.empty()) << messages();
        chooseDocument(dialog, "colegio.xml");
        const std::string frames = findWindow("^Planillas, Marcos o Jornadas Horarias$");
        ASSERT_FALSE(frames.empty()) << messages();
        click(frames, 40, 63);
        key(frames, "Return");
    }
    // Answers the message box that says `text` with its "OK".
    void answerMessage(const std::string& text) {
        ASSERT_TRUE(waitFor([&] { return said(text); }, kSlow)) << "no message \"" << text << "\"; got:\n"
                                                                << messages();
        const std::string box = findWindow("^Pontrel$");
        ASSERT_FALSE(box.empty()) << "no message box for \"" << text << "\"";
        key(box, "Return");
        waitFor(
            [&] {
                return runOnDisplay(xvfb->display(), "xdotool search --onlyvisible --name '^Pontrel$'")
                    .empty();
            },
            10s);
    }
    bool hostEnded(std::chrono::milliseconds timeout = kSlow) {
        return waitFor([&] { return readFile(folder / "host.out").find("EXIT") != std::string::npos; },
                       timeout);
    }
    std::string resultFile() const { return readFile(folder / "Velmora.ini"); }
    // xwininfo's line for Pontrel's window among the host's children ("" when it is not there).
    std::string embeddedChild(const std::string& hostHandle) {
        std::string tree;
        waitFor(
            [&] {
                tree = runOnDisplay(xvfb->display(), "xwininfo -children -id " + hostHandle);
                return tree.find(kMainTitle) != std::string::npos;
            },
            kSlow);
        std::size_t at = tree.find(kMainTitle);
        if (at == std::string::npos)
            return {};
        std::size_t begin = tree.rfind('\n', at) + 1;
        return tree.substr(begin, tree.find('\n', at) - begin);
    }

    std::unique_ptr<Xvfb> xvfb;
    fs::path folder, program;
    std::unique_ptr<Process> host, pontrel;
};

TEST_F(EmbeddedRunTest, CancelledFileDialogEndsWithMinusOne) {
    const std::string hostHandle = startHost("exportar");
    ASSERT_FALSE(hostHandle.empty());
    const std::string dialog = findWindow("^Archivo XML$");
    ASSERT_FALSE(dialog.empty()) << messages();
    const std::string child = embeddedChild(hostHandle);
    EXPECT_NE(child.find("632x266+0+0"), std::string::npos)
        << "Pontrel's window is not the host's child: " << child;
    key(dialog, "Escape");
    answerMessage("No existe archivo");
    ASSERT_TRUE(hostEnded()) << "Pontrel did not end; messages:\n" << messages();
    EXPECT_EQ(resultFile(), "[Transformadores]\r\nTransformado=-1\r\n");
}

TEST_F(EmbeddedRunTest, CompletedExportEndsWithOne) {
    const fs::path document = folder / "colegio.xml";
    fs::copy_file(fs::path(PONTREL_SOURCE_DIR) / "data/sample/colegio.xml", document);
    ASSERT_TRUE(fs::exists(folder / "NIVELCAN.DBF")) << "the level table is built beside the program";
    const std::string hostHandle = startHost("EXPORTAR");
    ASSERT_NO_FATAL_FAILURE(exportSampleWithFirstFrame());

    answerMessage("Proceso finalizado");
    ASSERT_TRUE(hostEnded()) << messages();
    EXPECT_EQ(resultFile(), "[Transformadores]\r\nTransformado=1\r\n");
    EXPECT_TRUE(fs::exists(folder / "vtemp" / "PROFT.DBF"));
}

// The result code is set before "Proceso finalizado" is shown: Velmora's window closed while that message
// is still open reads the completed run's 1.
TEST_F(EmbeddedRunTest, HostClosedWhileProcesoFinalizadoShowsReadsOne) {
    fs::copy_file(fs::path(PONTREL_SOURCE_DIR) / "data/sample/colegio.xml", folder / "colegio.xml");
    ASSERT_TRUE(fs::exists(folder / "NIVELCAN.DBF")) << "the level table is built beside the program";
    const fs::path closeHost = folder / "close-host";
    const std::string hostHandle = startHost("exportar", {"--close-when", closeHost.string()});
    ASSERT_NO_FATAL_FAILURE(exportSampleWithFirstFrame());

    ASSERT_TRUE(waitFor([&] { return said("Proceso finalizado"); }, kSlow)) << messages();
    ASSERT_FALSE(findWindow("^Pontrel$").empty()) << "the message box is not open";
    std::ofstream(closeHost) << "now\n";
    ASSERT_TRUE(hostEnded()) << "Pontrel outlived its host window; " << messages();
    EXPECT_NE(readFile(folder / "host.out").find("HOST CLOSED"), std::string::npos)
        << "Pontrel ended before its host window went away";
    EXPECT_EQ(resultFile(), "[Transformadores]\r\nTransformado=1\r\n");
    EXPECT_TRUE(fs::exists(folder / "vtemp" / "PROFT.DBF"));
}

TEST_F(EmbeddedRunTest, UnknownDirectionClosedWithSalirWritesZeroKeepingTheRestOfTheFile) {
    const std::string before = "; Velmora\n[General]\nRuta=C:\\VTEMP\n\n[Transformadores]\nTransformado=5\n"
                               "Otro=texto con espacios\n";
    std::ofstream(folder / "Velmora.ini", std::ios::binary) << before;
    const std::string hostHandle = startHost("nada");
    ASSERT_FALSE(embeddedChild(hostHandle).empty()) << "Pontrel's window is not the host's child";
    // "&Salir" lies at 256,32 on the bottom strip, which starts at 0,168.
    click(hostHandle, 256 + 44, 168 + 32 + 12);
    ASSERT_TRUE(hostEnded()) << messages();
    EXPECT_EQ(resultFile(), "; Velmora\n[General]\nRuta=C:\\VTEMP\n\n[Transformadores]\nTransformado=0\n"
                            "Otro=texto con espacios\n");
    EXPECT_TRUE(messages().find("Pontrel: ") == std::string::npos) << "nothing runs: " << messages();
}

TEST_F(EmbeddedRunTest, MissingLevelTableStopsTheRunAndTheWindowStays) {
    fs::remove(folder / "NIVELCAN.DBF");
    const fs::path document = folder / "colegio.xml";
    fs::copy_file(fs::path(PONTREL_SOURCE_DIR) / "data/sample/colegio.xml", document);
    const std::string hostHandle = startHost("exportar");
    const std::string dialog = findWindow("^Archivo XML$");
    ASSERT_FALSE(dialog.empty()) << messages();
    chooseDocument(dialog, "colegio.xml");
    answerMessage("ATENCIÓN - NIVELCAN.DBF No encontrado - Reinstale PONTREL");
    // Still inside the host, waiting; "&Salir" then leaves the result of no completed run.
    EXPECT_FALSE(hostEnded(2s)) << "the window must stay after this message";
    click(hostHandle, 256 + 44, 168 + 32 + 12);
    ASSERT_TRUE(hostEnded()) << messages();
    EXPECT_EQ(resultFile(), "[Transformadores]\r\nTransformado=0\r\n");
    EXPECT_TRUE(fs::is_empty(folder / "vtemp")) << "no table is touched";
}

// Velmora's window closed while Pontrel waits in its window, and while a run waits in the file dialog.
class HostGoingAway : public EmbeddedRunTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(HostGoingAway, EndsPontrelWritingTheResult) {
    const std::string hostHandle = startHost(GetParam(), {"--close-after-ms", "5000"});
    ASSERT_FALSE(embeddedChild(hostHandle).empty());
    ASSERT_TRUE(hostEnded()) << "Pontrel outlived its host window; " << messages();
    EXPECT_NE(readFile(folder / "host.out").find("HOST CLOSED"), std::string::npos)
        << "Pontrel ended before its host window went away";
    EXPECT_EQ(resultFile(), "[Transformadores]\r\nTransformado=0\r\n");
    EXPECT_EQ(messages().find("Pontrel: "), std::string::npos)
        << "no box after the host has gone: " << messages();
}

INSTANTIATE_TEST_SUITE_P(Waiting, HostGoingAway, ::testing::Values("nada", "exportar"),
                         [](const auto& info) { return std::string(info.param); });

// Velmora asked Pontrel to end (SIGTERM, as a session ending or a host that gives up does): the file
// holds the code reached by then, never an earlier run's. 0 while the run waits in its file dialog,
// 1 once it has completed and shows "Proceso finalizado".
struct Termination {
    const char* name;
    const char* earlier; // "Velmora.ini" before the start
    const char* result;
};

class TerminationTest : public EmbeddedRunTest, public ::testing::WithParamInterface<Termination> {};

TEST_P(TerminationTest, LeavesTheCodeReachedThenEnds) {
    const Termination& c = GetParam();
    std::ofstream(folder / "Velmora.ini", std::ios::binary) << c.earlier;
    fs::copy_file(fs::path(PONTREL_SOURCE_DIR) / "data/sample/colegio.xml", folder / "colegio.xml");
    const std::string hostHandle = startHost("exportar");
    std::string window;
    if (std::string(c.name) == "WaitingInTheFileDialog") {
        window = findWindow("^Archivo XML$");
    } else {
        ASSERT_NO_FATAL_FAILURE(exportSampleWithFirstFrame());
        ASSERT_TRUE(waitFor([&] { return said("Proceso finalizado"); }, kSlow)) << messages();
        window = findWindow("^Pontrel$");
    }
    ASSERT_FALSE(window.empty()) << messages();
    std::string pid = runOnDisplay(xvfb->display(), "xdotool getwindowpid " + window);
    pid = pid.substr(0, pid.find('\n'));
    ASSERT_FALSE(pid.empty());
    ASSERT_EQ(std::system(("kill -TERM " + pid).c_str()), 0);
    ASSERT_TRUE(hostEnded()) << messages();
    EXPECT_NE(readFile(folder / "host.out").find("EXIT 143"), std::string::npos)
        << "ended by the signal: " << readFile(folder / "host.out");
    EXPECT_EQ(resultFile(), c.result);
}

INSTANTIATE_TEST_SUITE_P(
    Signal, TerminationTest,
    ::testing::Values(Termination{"WaitingInTheFileDialog", "[Transformadores]\r\nTransformado=1\r\n",
                                  "[Transformadores]\r\nTransformado=0\r\n"},
                      Termination{"ShowingProcesoFinalizado", "[Transformadores]\r\nTransformado=-1\r\n",
                                  "[Transformadores]\r\nTransformado=1\r\n"}),
    [](const auto& info) { return std::string(info.param.name); });

// A handle that cannot be used: the error box, then the direction runs in an ordinary window. A handle
// that is no hexadecimal number means no Velmora asked: the window stays open after the run and closing
// it leaves no result. A well-formed handle that names no window still comes from Velmora, which waits
// for the result: the window ends as an embedded one does, here with -1 after "No existe archivo".
struct UnusableHandle {
    const char* name;
    const char* handle;
    const char* message;
    const char* result; // nullptr: no "Velmora.ini" at all, and the window stays after the run
};

class UnusableHandleTest : public EmbeddedRunTest, public ::testing::WithParamInterface<UnusableHandle> {};

TEST_P(UnusableHandleTest, GivesAnOrdinaryWindowThatLeavesOnlyAnAskedResult) {
    const UnusableHandle& c = GetParam();
    pontrel = std::make_unique<Process>(std::vector<std::string>{program.string(), "exportar", c.handle},
                                        environment(), folder / "pontrel.out", folder / "pontrel.err");
    answerMessage(c.message);
    const std::string dialog = findWindow("^Archivo XML$");
    ASSERT_FALSE(dialog.empty()) << messages();
    key(dialog, "Escape");
    answerMessage("No existe archivo");
    if (c.result) {
        ASSERT_TRUE(waitFor([&] { return pontrel->finished(); }, kSlow)) << "the window stayed after the run";
        EXPECT_EQ(pontrel->exitStatus(), 0);
        EXPECT_EQ(resultFile(), c.result);
        return;
    }
    const std::string main = findWindow(std::string("^") + kMainTitle + "$");
    ASSERT_FALSE(main.empty()) << "the window stays open after the run";
    EXPECT_NE(runOnDisplay(xvfb->display(), "xwininfo -tree -id " + main).find("Parent window id: 0x"),
              std::string::npos);
    EXPECT_FALSE(pontrel->finished());
    click(main, 256 + 44, 168 + 32 + 12);
    ASSERT_TRUE(waitFor([&] { return pontrel->finished(); }, kSlow)) << "\"&Salir\" did not end the program";
    EXPECT_FALSE(fs::exists(folder / "Velmora.ini"));
}

INSTANTIATE_TEST_SUITE_P(
    Handles, UnusableHandleTest,
    ::testing::Values(UnusableHandle{"NotHexadecimal", "XYZ", "'XYZ' no es un número hexadecimal válido",
                                     nullptr},
                      UnusableHandle{"NoSuchWindow", "0FFFFFFF",
                                     "No existe ninguna ventana con el identificador hexadecimal '0FFFFFFF'",
                                     "[Transformadores]\r\nTransformado=-1\r\n"}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
